// The program's start, main window and main loop, played through the scripted user on
// real widgets: titles, status, the lists, the commands without an object, the end.
#include "testservers.h"

#include "app/application.h"
#include "app/appstate.h"
#include "app/config.h"
#include "app/mainwindow.h"
#include "db/database.h"
#include "platform/controls.h"
#include "platform/iconlists.h"
#include "platform/scripteduser.h"
#include "platform/windows.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

// A program folder of its own for each test, with an optional configuration file.
QString programFolder(const QString& name, const QString& config = {}) {
  const QString folder = testsupport::temporaryFolder() + u'/' + name + u'/';
  QDir(folder).removeRecursively();
  QDir().mkpath(folder);
  if (!config.isNull()) {
    QFile file(folder + u"VarnothM.CFG"_qs);
    file.open(QIODevice::WriteOnly);
    file.write(config.toUtf8());
  }
  return folder;
}

// Plays the script on the program in the folder and returns the transcript.
QStringList play(const QString& folder, const QString& script, int* exitCode = nullptr) {
  EXPECT_TRUE(platform::startScript(script));
  const int code = app::runApplication(folder);
  if (exitCode) *exitCode = code;
  QStringList seen = platform::transcript();
  platform::stopScript();
  return seen;
}

// A user data-source file with SQLite sources of the given names, in this order.
QString dataSourceFile(const QString& name, const QStringList& sources) {
  const QString path = testsupport::temporaryFolder() + u'/' + name + u".ini"_qs;
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  for (const QString& source : sources)
    file.write((u"["_qs + source + u"]\nDriver=SQLite3\nDatabase="_qs + testsupport::temporaryFolder() +
                u"/"_qs + name + u".db\n\n"_qs).toUtf8());
  return path;
}

// Points the driver manager at another data-source file for the test's duration.
struct DataSources {
  explicit DataSources(const QString& file) : previous(qgetenv("ODBCINI")) { qputenv("ODBCINI", file.toUtf8()); }
  ~DataSources() { qputenv("ODBCINI", previous); }
  QByteArray previous;
};

TEST(Start, WithoutConfigurationEveryObjectCommandSaysSoAndBeendenEnds) {
  const QString script =
      u"click commandList 1\nclick commandList 2\nclick commandList 3\nclick commandList 4\n"
      "click commandList 5\nclick commandList 8\nclick commandList 0\nclick commandList 7\n"_qs;
  int exitCode = -1;
  const QStringList seen = play(programFolder(u"noconfig"_qs), script, &exitCode);
  EXPECT_EQ(exitCode, 0);
  ASSERT_GE(seen.size(), 3);
  EXPECT_EQ(seen[0], u"title VarnothM"_qs);
  EXPECT_TRUE(seen.contains(u"status VarnothM 3.1.11123"_qs));
  EXPECT_TRUE(seen.contains(u"title VarnothM Objekt NICHT AUSGEWÄHLT"_qs));
  EXPECT_TRUE(seen.contains(u"item commandList | 7 | Beenden | - | -"_qs));
  EXPECT_FALSE(seen.join(u'\n').contains(u"item objectList"_qs));

  QStringList boxes;
  for (const QString& line : seen)
    if (line.startsWith(u"box "_qs)) boxes << line;
  const QString meldung = u"box Meldung | none | Noch kein Objekt ausgewählt."_qs;
  EXPECT_EQ(boxes, (QStringList{u"box Info | info | Noch kein Objekt ausgewählt."_qs, meldung, meldung,
                                meldung, meldung, meldung}));
  EXPECT_EQ(seen.last(), u"end"_qs);
}

TEST(Start, TheCloseBoxAndAnExhaustedScriptEndTheProgram) {
  for (const QString& script : {u"close\n"_qs, u"# nothing to do\n"_qs}) {
    int exitCode = -1;
    const QStringList seen = play(programFolder(u"closing"_qs), script, &exitCode);
    EXPECT_EQ(exitCode, 0) << script.toStdString();
    EXPECT_EQ(seen.last(), u"end"_qs);
    EXPECT_EQ(app::state().localDb, nullptr);
  }
}

TEST(Layout, NineCommandsOnAnInnerWidthOf1044GiveARowOf180) {
  app::resetState();
  app::AppState& s = app::state();
  s.mainWindow = platform::openWindow(0, 0, 1044, 700, u"VarnothM"_qs, {});
  s.commandList = platform::createIconList(s.mainWindow, 0, 0, 10, 10);
  s.objectList = platform::createIconList(s.mainWindow, 0, 0, 10, 10);
  for (int i = 0; i < 9; ++i) platform::addIconItem(s.commandList, QString::number(i));
  ASSERT_EQ(platform::windowClientWidth(s.mainWindow), 1044);
  app::layoutMainLists();
  EXPECT_EQ(platform::controlX(s.commandList), 10);
  EXPECT_EQ(platform::controlWidth(s.commandList), 1024);
  EXPECT_EQ(platform::controlHeight(s.commandList), 180);
  EXPECT_EQ(platform::controlY(s.objectList), 200);
  EXPECT_EQ(platform::controlHeight(s.objectList), platform::windowClientHeight(s.mainWindow) - 200 - 35);
  EXPECT_TRUE(platform::isControlVisible(s.objectList));
  EXPECT_TRUE(platform::isIconView(s.commandList));
  platform::closeWindow(s.mainWindow);
  s = app::AppState{};
}

TEST(Configuration, ReadsTrimmedValuesWithDefaultsForMissingKeys) {
  const struct {
    QString content;  // null: no file
    db::ServerSettings expected;
  } cases[] = {
      {QString(), {}},
      {u"DB_MODE=MARIADB\n"_qs, {u"MARIADB"_qs, app::defaultHost, u"3307"_qs, u"DB_USER"_qs, app::defaultPassword}},
      {u"DB_MODE =  ODBC \r\nDB_HOST= 10.0.0.7\nDB_PORT=3310\nDB_USER = techniker\nDB_PASS = a=b \n"_qs,
       {u"ODBC"_qs, u"10.0.0.7"_qs, u"3310"_qs, u"techniker"_qs, u"a=b"_qs}},
      {u"[Gruppe]\nDB_MODE=MARIADB\n"_qs, {u"ODBC"_qs, app::defaultHost, u"3307"_qs, u"DB_USER"_qs, app::defaultPassword}},
  };
  for (const auto& c : cases) {
    const QString folder = programFolder(u"config"_qs, c.content);
    const db::ServerSettings read = app::readConfiguration(folder + u"VarnothM.CFG"_qs);
    EXPECT_EQ(read.mode, c.expected.mode) << c.content.toStdString();
    EXPECT_EQ(read.host, c.expected.host);
    EXPECT_EQ(read.port, c.expected.port);
    EXPECT_EQ(read.user, c.expected.user);
    EXPECT_EQ(read.password, c.expected.password);
  }
}

TEST(Objects, OdbcSourcesLessTheExcludedNamesInTheDriverManagersOrder) {
  DataSources sources(dataSourceFile(u"sources"_qs, {u"Haus Zeta"_qs, u"Excel Files"_qs, u"ms access database"_qs,
                                                   u"Excel Files 2"_qs, u"DBASE FILES"_qs, u"Haus Alpha"_qs}));
  QStringList names{u"vorher"_qs};
  EXPECT_EQ(app::listOdbcSources(names), 4);
  EXPECT_EQ(names, (QStringList{u"vorher"_qs, u"Haus Zeta"_qs, u"Excel Files 2"_qs, u"Haus Alpha"_qs}));
}

TEST(Objects, MariaDbSchemasLessInformationSchemaAndVersionSorted) {
  const testsupport::Servers& s = testsupport::servers();
  {
    db::ConnectionGuard admin(testsupport::openMariaAdmin());
    testsupport::run(admin.get(), {
        u"DROP USER IF EXISTS 'objekte'@'%'"_qs, u"CREATE USER 'objekte'@'%' IDENTIFIED BY 'geheim1'"_qs,
        u"CREATE DATABASE IF NOT EXISTS version"_qs, u"CREATE DATABASE IF NOT EXISTS zeta_haus"_qs,
        u"CREATE DATABASE IF NOT EXISTS alpha_haus"_qs,
        u"GRANT ALL ON version.* TO 'objekte'@'%'"_qs, u"GRANT ALL ON zeta_haus.* TO 'objekte'@'%'"_qs,
        u"GRANT ALL ON alpha_haus.* TO 'objekte'@'%'"_qs});
  }
  QStringList names;
  EXPECT_EQ(app::listMariaDbSchemas(s.mariaHost, s.mariaPort, u"objekte"_qs, u"geheim1"_qs, names), 2);
  EXPECT_EQ(names, (QStringList{u"alpha_haus"_qs, u"zeta_haus"_qs}));
  names.clear();
  EXPECT_EQ(app::listMariaDbSchemas(s.mariaHost, s.mariaPort, u"objekte"_qs, u"falsch"_qs, names), 0);
  EXPECT_TRUE(names.isEmpty());

  // The program shows them and chooses the first.
  const QString config = u"DB_MODE=MARIADB\nDB_HOST="_qs + s.mariaHost + u"\nDB_PORT="_qs + s.mariaPort +
                         u"\nDB_USER=objekte\nDB_PASS=geheim1\n"_qs;
  const QString folder = programFolder(u"maria"_qs, config);
  const QStringList seen = play(folder, u"click commandList 7\n"_qs);
  EXPECT_TRUE(seen.contains(u"item objectList | 0 | alpha_haus | - | -"_qs));
  EXPECT_TRUE(seen.contains(u"item objectList | 1 | zeta_haus | - | -"_qs));
  EXPECT_TRUE(seen.contains(u"title VarnothM Objekt ALPHA_HAUS"_qs));
  EXPECT_TRUE(QFile::exists(folder + u"alpha_haus/Varnoth.DBF"_qs));
}

TEST(Objects, ModesOtherThanTheTwoOfferNoObject) {
  DataSources sources(dataSourceFile(u"modes"_qs, {u"Haus A"_qs}));
  for (const QString& config : {u"DB_MODE=\n"_qs, u"DB_MODE=odbc\n"_qs}) {
    const QStringList seen = play(programFolder(u"modes"_qs, config), u"click commandList 7\n"_qs);
    EXPECT_FALSE(seen.join(u'\n').contains(u"item objectList"_qs)) << config.toStdString();
    EXPECT_TRUE(seen.contains(u"title VarnothM Objekt NICHT AUSGEWÄHLT"_qs));
  }
}

TEST(Objects, TheFirstObjectIsChosenAndAClickChoosesAnother) {
  DataSources sources(dataSourceFile(u"choose"_qs, {u"Haus A"_qs, u"Haus B"_qs}));
  const QString folder = programFolder(u"choose"_qs, u"DB_MODE=ODBC\n"_qs);
  const QStringList seen = play(folder, u"click objectList \"Haus B\"\nclick objectList -1\nclick commandList 7\n"_qs);
  EXPECT_TRUE(seen.contains(u"title VarnothM Objekt HAUS A"_qs));
  EXPECT_TRUE(seen.contains(u"title VarnothM Objekt HAUS B"_qs));
  EXPECT_EQ(seen.filter(u"title "_qs).last(), u"title VarnothM Objekt HAUS B"_qs);  // empty area: unchanged
  EXPECT_TRUE(QFileInfo(folder + u"Haus A"_qs).isDir());
  EXPECT_TRUE(QFile::exists(folder + u"Haus B/Varnoth.DBF"_qs));
  EXPECT_EQ(app::state().currentObject, u"Haus B"_qs);
}

// The transcript shows what the program changes after the fill: the caption of command item 0
// after a click on an object, and the first object that command 0 selects, icons and all.
TEST(Objects, TheCaptionAndTheSelectionTheProgramSetsAreInTheTranscript) {
  DataSources sources(dataSourceFile(u"caption"_qs, {u"Haus Nord & Co"_qs, u"O'Brien Bau"_qs}));
  const QString folder = programFolder(u"caption"_qs, u"DB_MODE=ODBC\n"_qs);
  const QStringList seen = play(folder, u"click objectList 1\nclick commandList 0\nclick commandList 7\n"_qs);
  // Chosen before the first look: the fill already shows the first object's name.
  EXPECT_TRUE(seen.contains(u"item commandList | 0 | Haus Nord & Co | - | -"_qs)) << seen.join(u'\n').toStdString();
  const qsizetype chosen = seen.indexOf(u"title VarnothM Objekt O'BRIEN BAU"_qs);
  ASSERT_GE(chosen, 0) << seen.join(u'\n').toStdString();
  EXPECT_EQ(seen.mid(chosen).join(u'\n').toStdString(),
            QStringList({u"title VarnothM Objekt O'BRIEN BAU"_qs, u"item commandList | 0 | O'Brien Bau | - | -"_qs,
                         u"icon commandList | 0 | object"_qs, u"selected objectList | 0"_qs, u"end"_qs})
                .join(u'\n')
                .toStdString());
  EXPECT_TRUE(seen.contains(u"icon objectList | 1 | object"_qs));
  EXPECT_TRUE(seen.contains(u"icon commandList | 7 | onoff"_qs));
}

// A double click on a command runs it once: the click runs it, the double click that follows
// on the same item does not. Two gestures run it twice.
TEST(Commands, ADoubleClickRunsTheCommandOnce) {
  // Without an object: the command's message shows once per gesture.
  QStringList seen = play(programFolder(u"doppelt"_qs),
                          u"dclick commandList 4\nanswer OK\ndclick commandList 4\nanswer OK\n"
                          "click commandList 5\nanswer OK\nclick commandList 5\nanswer OK\nclick commandList 7\n"_qs);
  EXPECT_EQ(seen.filter(u"box "_qs).size(), 4) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.filter(u"unanswered"_qs).isEmpty()) << seen.join(u'\n').toStdString();

  // With an object: "Auslassliste holen" copies the outlets once.
  DataSources sources(dataSourceFile(u"doppelt"_qs, {u"Haus Doppel"_qs}));
  {
    const QString server = testsupport::temporaryFolder() + u"/doppelt.db"_qs;
    QFile::remove(server);
    QFile(server).open(QIODevice::WriteOnly);  // the connection opens only existing files
    db::ConnectionGuard c(db::openDatabase(server, {}, {}, db::Backend::Sqlite));
    ASSERT_TRUE(c);
    testsupport::run(c.get(), {
        u"CREATE TABLE auslass (ID int, AUID varchar(32), code varchar(32), art varchar(32), raum varchar(64), "
        "region varchar(64), hydron varchar(64))"_qs,
        u"INSERT INTO auslass VALUES (1, 'DU-01', '', 'Dusche', 'Bad', 'EG', '')"_qs,
        u"CREATE TABLE xele (ID int, gruppe varchar(64), element varchar(64), XML text)"_qs,
    });
  }
  seen = play(programFolder(u"doppelt"_qs, u"DB_MODE=ODBC\n"_qs), u"dclick commandList 1\nclick commandList 7\n"_qs);
  EXPECT_EQ(seen.filter(u"status Tabelle auslass"_qs).size(), 1) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.filter(u"box "_qs).isEmpty()) << seen.join(u'\n').toStdString();
}

TEST(LocalDatabase, FirstStartCreatesFolderFileAndTablesLaterStartsOnlyOpen) {
  DataSources sources(dataSourceFile(u"local"_qs, {u"Haus A"_qs}));
  const QString folder = programFolder(u"local"_qs, u"DB_MODE=ODBC\n"_qs);
  play(folder, u"click commandList 7\n"_qs);
  const QString file = folder + u"Haus A/Varnoth.DBF"_qs;
  {
    db::ConnectionGuard local(db::openDatabase(file, {}, {}, db::Backend::Sqlite));
    ASSERT_TRUE(local);
    db::Query tables(local.get(), u"SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid"_qs);
    QStringList names;
    while (tables.next()) names << tables.text(0);
    EXPECT_EQ(names, (QStringList{u"auslass"_qs, u"resultat"_qs, u"massnahme"_qs, u"xele"_qs}));
    testsupport::run(local.get(), {u"DROP TABLE xele"_qs});
  }
  play(folder, u"click commandList 7\n"_qs);
  db::ConnectionGuard local(db::openDatabase(file, {}, {}, db::Backend::Sqlite));
  db::Query xele(local.get(), u"SELECT COUNT(*) FROM sqlite_master WHERE name='xele'"_qs);
  ASSERT_TRUE(xele.next());
  EXPECT_EQ(xele.int32(0), 0);  // the existing file was opened, nothing created
}

TEST(LocalDatabase, AFileInPlaceOfTheFolderIsReportedAndEndsTheProgram) {
  DataSources sources(dataSourceFile(u"blocked"_qs, {u"Haus A"_qs}));
  const QString folder = programFolder(u"blocked"_qs, u"DB_MODE=ODBC\n"_qs);
  QFile blocker(folder + u"Haus A"_qs);
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  int exitCode = 0;
  const QStringList seen = play(folder, u"click commandList 7\n"_qs, &exitCode);
  EXPECT_NE(exitCode, 0);
  EXPECT_TRUE(seen.contains(u"box Fehler | none | Ordner "_qs + folder + u"Haus A/ kann nicht angelegt werden."_qs))
      << seen.join(u'\n').toStdString();
  EXPECT_EQ(seen.last(), u"end"_qs);
}

}  // namespace
