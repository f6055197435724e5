// The two browser commands of the main window and their fixed settings.
#include "app/tablecommands.h"

#include "app/appstate.h"
#include "platform/boxes.h"
#include "platform/windows.h"
#include "tableeditor/tablesettings.h"

namespace app {

namespace {

// Closes the browser's window on every path out, a program end inside the browser included.
struct WindowCloser {
  int window;
  ~WindowCloser() { platform::closeWindow(window); }
};

}  // namespace

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
  tableeditor::BrowserConfig config = results ? tableeditor::resultBrowserConfig() : tableeditor::measureBrowserConfig();
  tableeditor::browseTable(window.window, s.localDb, config);
}

}  // namespace app
