// Pictures of the assistant's two screens on the demo, rendered offscreen for the
// documentation: VARNOTHM_PICTURES names the folder (docs/ of the repository to renew them).
// The demo's first building is fetched as "Auslassliste holen" and "Daten abholen" do.
#include "assistant_fixture.h"

#include "app/appstate.h"
#include "app/mainwindow.h"
#include "dialogs/markup.h"
#include "dialogs/storeddialogs.h"
#include "platform/dialogengine.h"
#include "platform/fonts.h"
#include "sync/transfers.h"

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <QProcess>

namespace {

QString pictureFolder() {
  return qEnvironmentVariableIsEmpty("VARNOTHM_PICTURES") ? testsupport::temporaryFolder()
                                                          : qEnvironmentVariable("VARNOTHM_PICTURES");
}

TEST_F(AssistantTest, TheAreaScreenAndTheOutletScreenOfTheDemoAreRenderedOffscreen) {
  const QString demo = testsupport::temporaryFolder() + u"/demo"_qs;
  QProcess tool;
  tool.start(QStringLiteral(VARNOTH_MAKEDEMO), {demo, QStringLiteral(VARNOTH_PROGRAM), QStringLiteral(VARNOTH_HELP)});
  ASSERT_TRUE(tool.waitForFinished(60000));
  ASSERT_EQ(tool.exitCode(), 0);
  db::ConnectionGuard server(db::openDatabase(demo + u"/server/kita-sonnenschein.sqlite"_qs, {}, {}, db::Backend::Sqlite));
  ASSERT_TRUE(server);

  // The main window as the program makes it, with its icons.
  for (int w : platform::liveWindows()) platform::closeWindow(w);
  app::AppState& s = app::state();
  s.currentObject = u"Kita Sonnenschein"_qs;
  s.localDb = local;
  platform::WindowFeatures features;
  features.minimiseBox = features.maximiseBox = features.sizingBorder = true;
  s.mainWindow = platform::openWindow(0, 0, 1024, 600, u"VarnothM"_qs, features);
  platform::createStatusBar(s.mainWindow);
  platform::addStatusField(s.mainWindow);
  platform::addStatusField(s.mainWindow);
  platform::setStatusFieldProgress(s.mainWindow, 1, 0);
  s.commandList = platform::createIconList(s.mainWindow, 10, 10, 100, 100, u"commandList"_qs);
  s.objectList = platform::createIconList(s.mainWindow, 10, 120, 100, 100, u"objectList"_qs);
  app::loadImages();
  const common::MainScreen screen = app::mainScreen();

  ASSERT_GT(transfer::copyServerTable(u"auslass"_qs, server.get(), local, screen), 0);
  ASSERT_GT(transfer::fetchDialogGroup(server.get(), local, u"XML_merfassung"_qs, screen), 0);
  const qint32 today = common::startOfDay(common::now());
  ASSERT_GT(transfer::fetchDueMeasures(server.get(), local, today, common::endOfDay(today), screen), 0);

  assistant::showAreas(local, screen, u"Massnahmenassistent"_qs);
  ASSERT_GE(platform::iconItemCount(s.objectList), 2);
  const QString areas = pictureFolder() + u"/assistent-bereiche.png"_qs;
  ASSERT_TRUE(platform::saveWindowPicture(s.mainWindow, areas));
  EXPECT_EQ(QImage(areas).size(), platform::windowWidget(s.mainWindow)->size());

  assistant::showOutletList(local, screen, u"Erdgeschoss"_qs, u"Massnahmenassistent"_qs);
  ASSERT_GE(platform::iconItemCount(s.objectList), 3);
  const QString outlets = pictureFolder() + u"/assistent-massnahmen.png"_qs;
  ASSERT_TRUE(platform::saveWindowPicture(s.mainWindow, outlets));

  // A recording dialog of the demo as the technician fills it in.
  dialogs::DialogRecord definition;
  ASSERT_EQ(dialogs::loadDialogDefinition(local, u"XML_merfassung"_qs, u"Temperaturmessung"_qs, definition), 1);
  const int document = dialogs::parseDialogMarkup(definition.XML);
  ASSERT_GT(document, 0);
  dialogs::setMarkupAttribute(dialogs::mainElement(document).find_node([](const pugi::xml_node& n) {
    return QString::fromUtf8(n.attribute("name").value()) == u"_KW";
  }), "text", u"12,5"_qs);
  const int font = platform::loadFont(u"Arial"_qs, 16);  // as the assistant opens its dialogs
  platform::setDefaultFont(font);
  const platform::DialogGuard dialog;
  QString error;
  ASSERT_TRUE(platform::openXmlDialog(dialog.number(), *dialogs::markupDocument(document), u"dialog"_qs, error));
  dialogs::fillDialog(dialog.number(), dialogs::mainElement(document));
  QApplication::processEvents();
  ASSERT_TRUE(platform::saveWindowPicture(platform::dialogWindow(dialog.number()),
                                          pictureFolder() + u"/assistent-dialog.png"_qs));
  platform::restoreDefaultFont();
  platform::freeFont(font);
  dialogs::freeMarkupDocument(document);
  s.localDb = nullptr;  // the fixture closes it
}

}  // namespace
