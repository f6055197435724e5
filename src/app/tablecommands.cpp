// The two browser commands of the main window and their fixed settings.
#include "app/tablecommands.h"

#include "app/appstate.h"
#include "platform/boxes.h"
#include "platform/windows.h"

namespace app {

namespace {

// Closes the browser's window on every path out, a program end inside the browser included.
struct WindowCloser {
  int window;
  ~WindowCloser() { platform::closeWindow(window); }
};

}  // namespace

tableeditor::BrowserConfig measureBrowserConfig() {
  tableeditor::BrowserConfig c;
  c.table = u"massnahme"_qs;
  c.orderClause = u"ORDER BY ID DESC"_qs;
  c.fields = u"ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung"_qs;
  c.columnTitles = u"ID,Auslass,Tätigkeit,Planzeit,Durchf.Zeit,Mitarbeiter,Anmerkung"_qs;
  c.columnSpecs = u"10L,10L,20X,%yyyy-%mm-%dd %hh:%ii,%yyyy-%mm-%dd %hh:%ii,10L,20X"_qs;
  return c;
}

tableeditor::BrowserConfig resultBrowserConfig() {
  tableeditor::BrowserConfig c;
  c.table = u"resultat"_qs;
  c.orderClause = u"ORDER BY AUID"_qs;
  c.fields = u"ID,AUID,abda,syst,keim,temp,resu,prot,anme"_qs;
  c.columnTitles = u"ID,Auslass-ID,Abn.Dat.,Syst.,Param.,Temp.,Resultat,Protokoll,Anmerkung"_qs;
  c.columnSpecs = u"10L,10L,%yyyy-%mm-%dd,5L,5L,1.5L,30L,10L,20L"_qs;
  return c;
}

void editTableCommand(bool results) {
  AppState& s = state();
  if (!s.localDb) {
    platform::messageBox(u"Meldung"_qs, u"Noch kein Objekt ausgewählt."_qs, platform::BoxIcon::None);
    return;
  }
  const QString title = (results ? u"Bearbeiten der Befunde von Objekt "_qs : u"Bearbeiten der Maßnahmen von Objekt "_qs) +
                        s.currentObject;
  platform::WindowFeatures features;
  features.minimiseBox = features.maximiseBox = features.sizingBorder = features.maximised = true;
  const WindowCloser window{platform::openWindow(60, 40, 600, 400, title, features)};
  tableeditor::BrowserConfig config = results ? resultBrowserConfig() : measureBrowserConfig();
  tableeditor::browseTable(window.window, s.localDb, config);
}

}  // namespace app
