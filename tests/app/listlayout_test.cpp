// The main window's two lists at the screen sizes technicians use: every item, icon and
// label, is seen without scrolling, in the main window and in the screens that reuse its
// lists (the day choice, and the assistant's screens with their three items and outlets).
// VARNOTHM_PICTURES names a folder for the pictures (1024 x 768, and one wide screen).
#include "testservers.h"

#include "app/appstate.h"
#include "app/mainwindow.h"
#include "db/database.h"
#include "platform/controls.h"
#include "platform/dialogengine.h"
#include "platform/iconlists.h"
#include "platform/statusbar.h"
#include "platform/windows.h"
#include "sync/transfers.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

namespace {

const QStringList objects{u"Kita Sonnenschein"_qs, u"Seniorenheim Lindenhof"_qs, u"Sporthalle Nord"_qs,
                          u"Wohnanlage Am Stadtpark 12-14 / Haus B"_qs};

// The items of the list that are not seen whole, as "index text".
QStringList hiddenItems(int list) {
  QStringList hidden;
  for (int i = 0; i < platform::iconItemCount(list); ++i)
    if (!platform::iconItemShownWhole(list, i)) hidden << QString::number(i) + u' ' + platform::iconItemText(list, i);
  return hidden;
}

// The main window as the program opens it, with a client area of the given size, its lists
// filled from a data-source file with the objects above, and the first object chosen.
class ListLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    // A folder of each test's own, so that the tests may run side by side.
    folder = testsupport::temporaryFolder() + u"/listenlayout-"_qs +
             QString::fromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name()) + u'/';
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QFile sources(folder + u"odbc.ini"_qs);
    ASSERT_TRUE(sources.open(QIODevice::WriteOnly));
    for (const QString& name : objects)
      sources.write((u"["_qs + name + u"]\nDriver=SQLite3\nDatabase="_qs + folder + u"leer.db\n\n"_qs).toUtf8());
    sources.close();
    previousSources = qgetenv("ODBCINI");
    qputenv("ODBCINI", (folder + u"odbc.ini"_qs).toUtf8());
  }

  void TearDown() override {
    qputenv("ODBCINI", previousSources);
    if (app::state().mainWindow) platform::closeWindow(app::state().mainWindow);
    app::resetState();
  }

  void openMainWindow(int width, int height) {
    if (app::state().mainWindow) platform::closeWindow(app::state().mainWindow);
    app::resetState();
    app::AppState& s = app::state();
    s.config.mode = u"ODBC"_qs;
    app::loadImages();
    s.mainWindow = platform::openWindow(0, 0, width, height, u"VarnothM"_qs, {});
    platform::createStatusBar(s.mainWindow);
    platform::addStatusField(s.mainWindow);
    platform::addStatusField(s.mainWindow);
    platform::setStatusFieldText(s.mainWindow, 0, u"VarnothM "_qs + app::programVersion, true);
    platform::setStatusFieldProgress(s.mainWindow, 1, 0);
    s.commandList = platform::createIconList(s.mainWindow, 10, 10, 100, 100, u"commandList"_qs);
    s.objectList = platform::createIconList(s.mainWindow, 10, 120, 100, 100, u"objectList"_qs);
    app::fillMainLists();
    s.currentObject = objects[0];
    app::showCurrentObject();
  }

  // The day choice of "Daten abholen" on a server with open measures on three days.
  void showDayChoice() {
    const QString path = folder + u"server.db"_qs;
    QFile::remove(path);
    QFile(path).open(QIODevice::WriteOnly);
    db::ConnectionGuard server(db::openDatabase(path, {}, {}, db::Backend::Sqlite));
    ASSERT_TRUE(server);
    ASSERT_TRUE(db::execute(server.get(), u"CREATE TABLE massnahme (ID int, AUID varchar(32), wastun varchar(128), "
                                          "dasoll int, dadurch int, werdurch varchar(64), anmerkung varchar(128))"_qs));
    ASSERT_TRUE(db::execute(server.get(), u"INSERT INTO massnahme VALUES (1, 'DU-01', 'Spülen', 1765274400, 0, '', ''), "
                                          "(2, 'WB-02', 'Probe', 1765360800, 0, '', ''), "
                                          "(3, 'WB-03', 'Probe', 1765447200, 0, '', '')"_qs));
    transfer::showDueDays(server.get(), u"Daten abholen"_qs, app::mainScreen());
  }

  // The outlet screen of the assistant: its three items and outlets with long names.
  void showOutlets() {
    const app::AppState& s = app::state();
    platform::clearIconList(s.commandList);
    platform::addIconItem(s.commandList, u"Zurück"_qs, app::image(u"left"_qs));
    platform::addIconItem(s.commandList, u"Hilfe"_qs, app::image(u"help"_qs));
    platform::addIconItem(s.commandList, u"Beenden"_qs, app::image(u"onoff"_qs));
    platform::clearIconList(s.objectList);
    platform::addIconItem(s.objectList, u"alle fälligen Maßnahmen"_qs, app::image(u"plus"_qs));
    for (int i = 1; i <= 12; ++i)
      platform::addIconItem(s.objectList, u"WB-2."_qs + QString::number(i) + u" Waschbecken Küche 2. OG links"_qs,
                            app::image(i % 3 ? u"tap"_qs : u"shower"_qs));
    app::layoutMainLists();
  }

  QString folder;
  QByteArray previousSources;
};

TEST_F(ListLayout, EveryItemIsSeenWholeAt1024x768AndLarger) {
  // The usual screens, and every 48 pixels of width in between.
  std::vector<QSize> sizes{{1024, 768}, {1024, 700}, {1280, 800}, {1366, 768}, {1440, 900},
                           {1600, 900}, {1680, 1050}, {1920, 1080}, {2560, 1440}};
  for (int width = 1072; width < 2560; width += 48) sizes.emplace_back(width, 768);
  for (const QSize& size : sizes) {
    const std::string at = std::to_string(size.width()) + "x" + std::to_string(size.height());
    openMainWindow(size.width(), size.height());
    const app::AppState& s = app::state();
    ASSERT_EQ(platform::iconItemCount(s.commandList), 9);
    EXPECT_EQ(hiddenItems(s.commandList), QStringList()) << "main window " << at;
    EXPECT_EQ(hiddenItems(s.objectList), QStringList()) << "main window " << at;
    // The caption of command item 0 becomes the chosen object's name, however long.
    app::state().currentObject = objects[3];
    app::showCurrentObject();
    EXPECT_EQ(hiddenItems(s.commandList), QStringList()) << "main window, long name " << at;

    showDayChoice();
    ASSERT_EQ(platform::iconItemCount(s.commandList), 3);
    ASSERT_EQ(platform::iconItemCount(s.objectList), 3);
    EXPECT_EQ(platform::controlHeight(s.commandList), 60) << at;
    EXPECT_EQ(hiddenItems(s.commandList), QStringList()) << "day choice " << at;
    EXPECT_EQ(hiddenItems(s.objectList), QStringList()) << "day choice " << at;

    showOutlets();
    EXPECT_EQ(hiddenItems(s.commandList), QStringList()) << "outlets " << at;
    EXPECT_EQ(hiddenItems(s.objectList), QStringList()) << "outlets " << at;
  }
}

TEST_F(ListLayout, PicturesOfTheMainWindowAndTheDayChoice) {
  const QString pictures = qEnvironmentVariableIsEmpty("VARNOTHM_PICTURES") ? folder
                                                                            : qEnvironmentVariable("VARNOTHM_PICTURES");
  openMainWindow(1024, 768);
  const int window = app::state().mainWindow;
  ASSERT_TRUE(platform::saveWindowPicture(window, pictures + u"/hauptfenster.png"_qs));
  EXPECT_EQ(QImage(pictures + u"/hauptfenster.png"_qs).size(), QSize(1024, 768));
  showDayChoice();
  ASSERT_TRUE(platform::saveWindowPicture(window, pictures + u"/datumswahl.png"_qs));
  EXPECT_EQ(QImage(pictures + u"/datumswahl.png"_qs).size(), QSize(1024, 768));
  // A wide screen: the nine commands in one row of a 60-pixel list.
  openMainWindow(1680, 1050);
  ASSERT_TRUE(platform::saveWindowPicture(app::state().mainWindow, pictures + u"/hauptfenster-breit.png"_qs));
}

}  // namespace
