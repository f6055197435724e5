// Objects as a new user meets them: data-source and schema names beyond ASCII, with blanks,
// apostrophes and path characters; the reason an object list stays empty; a broken local
// file; configuration files from other editors. Played through the scripted user.
#include "relay.h"
#include "testservers.h"

#include "app/application.h"
#include "app/appstate.h"
#include "app/config.h"
#include "common/filenames.h"
#include "db/database.h"
#include "db/serverdb.h"
#include "platform/boxes.h"
#include "platform/dialogengine.h"
#include "platform/scripteduser.h"
#include "platform/statusbar.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

QString programFolder(const QString& name, const QString& config = {}) {
  const QString folder = testsupport::temporaryFolder() + u"/objekte-"_qs + name + u'/';
  QDir(folder).removeRecursively();
  QDir().mkpath(folder);
  if (!config.isNull()) {
    QFile file(folder + u"VarnothM.CFG"_qs);
    file.open(QIODevice::WriteOnly);
    file.write(config.toUtf8());
  }
  return folder;
}

QStringList play(const QString& folder, const QString& script, int* exitCode = nullptr) {
  EXPECT_TRUE(platform::startScript(script));
  const int code = app::runApplication(folder);
  if (exitCode) *exitCode = code;
  QStringList seen = platform::transcript();
  platform::stopScript();
  EXPECT_TRUE(seen.filter(u"skipped"_qs).isEmpty()) << seen.join(u'\n').toStdString();
  return seen;
}

// Points the driver manager at a data-source file of the test's for its duration.
struct DataSources {
  explicit DataSources(const QString& text) : previous(qgetenv("ODBCINI")) {
    static int count = 0;
    const QString path = testsupport::temporaryFolder() + u"/quellen"_qs + QString::number(++count) + u".ini"_qs;
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(text.toUtf8());
    qputenv("ODBCINI", path.toUtf8());
  }
  ~DataSources() { qputenv("ODBCINI", previous); }
  QByteArray previous;
};

const QString outletTable =
    u"CREATE TABLE auslass (ID int PRIMARY KEY, AUID varchar(32), code varchar(32), art varchar(32), "
    "raum varchar(64), region varchar(64), hydron varchar(64))"_qs;
const QString dialogTable = u"CREATE TABLE xele (ID int PRIMARY KEY, gruppe varchar(64), element varchar(64), XML text)"_qs;

QString insertOutlet(const QString& auid) {
  return u"INSERT INTO auslass VALUES (1, '"_qs + auid + u"', '', 'Dusche', 'Bad', 'EG', '')"_qs;
}

QStringList localOutlets(const QString& file) {
  db::ConnectionGuard local(db::openDatabase(file, {}, {}, db::Backend::Sqlite));
  QStringList ids;
  db::Query rows(local.get(), u"SELECT AUID FROM auslass ORDER BY ID"_qs);
  EXPECT_TRUE(rows.ok()) << file.toStdString() << ": " << db::lastError().toStdString();
  while (rows.next()) ids << rows.text(0);
  return ids;
}

QString boxes(const QStringList& seen) { return seen.filter(u"box "_qs).join(u'\n'); }

// A source named "Haus Süd" behind the SQLite3 driver and one named with "ß" and an emoji
// behind the MariaDB Unicode driver, on a schema with umlauts: each is listed, shown, given
// its folder and connected as the data-source file writes it.
TEST(ObjectNames, DataSourcesBeyondAsciiAreListedShownAndFetchedAsWritten) {
  const testsupport::Servers& s = testsupport::servers();
  const QString sqliteFile = testsupport::temporaryFolder() + u"/süd.db"_qs;
  {
    QFile(sqliteFile).open(QIODevice::WriteOnly);
    db::ConnectionGuard server(db::openDatabase(sqliteFile, {}, {}, db::Backend::Sqlite));
    testsupport::run(server.get(), {outletTable, dialogTable, insertOutlet(u"DU-Süd"_qs)});
    db::ConnectionGuard admin(testsupport::openMariaAdmin());
    testsupport::run(admin.get(), {u"DROP DATABASE IF EXISTS `Schöne Aussicht`"_qs, u"CREATE DATABASE `Schöne Aussicht`"_qs});
    db::ConnectionGuard maria(db::openMariaDb(s.mariaHost, s.mariaPort, u"Schöne Aussicht"_qs, s.mariaUser, s.mariaPass));
    testsupport::run(maria.get(), {outletTable, dialogTable, insertOutlet(u"WB-Straße"_qs)});
  }
  const QString south = u"Haus Süd"_qs, street = u"Straße Nord 😀"_qs;
  DataSources sources(u"["_qs + south + u"]\nDriver=SQLite3\nDatabase="_qs + sqliteFile + u"\n\n["_qs + street +
                      u"]\nDriver=MariaDB Unicode\nServer="_qs + s.mariaHost + u"\nPort="_qs + s.mariaPort +
                      u"\nUser="_qs + s.mariaUser + u"\nPassword="_qs + s.mariaPass +
                      u"\nDatabase=Schöne Aussicht\n"_qs);
  const QString folder = programFolder(u"utf8"_qs, u"DB_MODE = ODBC\n"_qs);
  const QStringList seen = play(folder, u"click commandList 1\nclick objectList \""_qs + street +
                                            u"\"\nclick commandList 1\nclick commandList 7\n"_qs);
  EXPECT_TRUE(seen.contains(u"item objectList | 0 | Haus Süd | - | -"_qs)) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.contains(u"item objectList | 1 | Straße Nord 😀 | - | -"_qs));
  EXPECT_TRUE(seen.contains(u"title VarnothM Objekt HAUS SÜD"_qs));
  EXPECT_TRUE(seen.contains(u"title VarnothM Objekt "_qs + street.toUpper()));
  EXPECT_EQ(boxes(seen), QString());
  EXPECT_EQ(QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot), (QStringList{south, street}));
  EXPECT_EQ(localOutlets(folder + south + u"/Varnoth.DBF"_qs), QStringList{u"DU-Süd"_qs});
  EXPECT_EQ(localOutlets(folder + street + u"/Varnoth.DBF"_qs), QStringList{u"WB-Straße"_qs});
}

// Schemas "Haus Nord" and "O'Brien Bau" beside a schema "Haus": each fetch copies its own
// building, never the one its first word names.
TEST(ObjectNames, SchemasWithBlanksAndApostrophesAreTheOnesFetched) {
  const testsupport::Servers& s = testsupport::servers();
  const QStringList schemas{u"Haus"_qs, u"Haus Nord"_qs, u"O'Brien Bau"_qs};
  const QStringList outlets{u"FALSCH-Haus"_qs, u"DU-Nord"_qs, u"WB-O'Brien"_qs};
  {
    db::ConnectionGuard admin(testsupport::openMariaAdmin());
    testsupport::run(admin.get(), {u"DROP USER IF EXISTS 'nordbau'@'%'"_qs,
                                   u"CREATE USER 'nordbau'@'%' IDENTIFIED BY 'nord1'"_qs});
    for (int i = 0; i < schemas.size(); ++i) {
      const QString quoted = u'`' + schemas[i] + u'`';
      testsupport::run(admin.get(), {u"DROP DATABASE IF EXISTS "_qs + quoted, u"CREATE DATABASE "_qs + quoted,
                                     u"GRANT ALL ON "_qs + quoted + u".* TO 'nordbau'@'%'"_qs});
      db::ConnectionGuard server(db::openMariaDb(s.mariaHost, s.mariaPort, schemas[i], s.mariaUser, s.mariaPass));
      ASSERT_TRUE(server) << db::lastError().toStdString();
      testsupport::run(server.get(), {outletTable, dialogTable,
                                      insertOutlet(QString(outlets[i]).replace(u"'"_qs, u"''"_qs))});
    }
  }
  const QString folder = programFolder(u"schemata"_qs, u"DB_MODE = MARIADB\nDB_HOST = "_qs + s.mariaHost +
                                                          u"\nDB_PORT = "_qs + s.mariaPort +
                                                          u"\nDB_USER = nordbau\nDB_PASS = nord1\n"_qs);
  const QStringList seen = play(folder, u"click objectList \"Haus Nord\"\nclick commandList 1\n"
                                        "click objectList \"O'Brien Bau\"\nclick commandList 1\nclick commandList 7\n"_qs);
  EXPECT_TRUE(seen.contains(u"item objectList | 1 | Haus Nord | - | -"_qs)) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.contains(u"title VarnothM Objekt O'BRIEN BAU"_qs));
  EXPECT_EQ(boxes(seen), QString());
  EXPECT_EQ(localOutlets(folder + u"Haus Nord/Varnoth.DBF"_qs), QStringList{u"DU-Nord"_qs});
  EXPECT_EQ(localOutlets(folder + u"O'Brien Bau/Varnoth.DBF"_qs), QStringList{u"WB-O'Brien"_qs});
  EXPECT_EQ(localOutlets(folder + u"Haus/Varnoth.DBF"_qs), QStringList());  // chosen at start, never fetched
}

// The schemas are listed through a connection at start-up; after "Daten abgeben" the lists
// are refilled from what is known, without a connection of their own: the relay in front of
// the server sees the start-up's connection and one per return, and the object is still there
// to be chosen.
TEST(ObjectNames, RefillingTheListsAfterAReturnOpensNoConnection) {
  const testsupport::Servers& s = testsupport::servers();
  const QString schema = u"Übergabe Süd"_qs;  // schema names hold no emoji
  {
    db::ConnectionGuard admin(testsupport::openMariaAdmin());
    testsupport::run(admin.get(), {u"DROP USER IF EXISTS 'uebergabe'@'%'"_qs,
                                   u"CREATE USER 'uebergabe'@'%' IDENTIFIED BY 'ueber1'"_qs,
                                   u"DROP DATABASE IF EXISTS `"_qs + schema + u'`', u"CREATE DATABASE `"_qs + schema + u'`',
                                   u"GRANT ALL ON `"_qs + schema + u"`.* TO 'uebergabe'@'%'"_qs});
    db::ConnectionGuard server(db::openMariaDb(s.mariaHost, s.mariaPort, schema, s.mariaUser, s.mariaPass));
    ASSERT_TRUE(server) << db::lastError().toStdString();
    testsupport::run(server.get(),
                     {outletTable, dialogTable,
                      u"CREATE TABLE massnahme (ID int PRIMARY KEY, AUID varchar(32), wastun varchar(128), dasoll int, "
                      "dadurch int, werdurch varchar(64), anmerkung varchar(128))"_qs,
                      u"CREATE TABLE resultat (ID int PRIMARY KEY, AUID varchar(32), abda int, anme varchar(256), "
                      "keim varchar(32), syst varchar(32), temp double, resu varchar(256), prot varchar(32))"_qs});
  }
  testsupport::Relay relay(s.mariaHost, s.mariaPort.toUShort());
  const QString folder = programFolder(u"nachfuellen"_qs, u"DB_MODE = MARIADB\nDB_HOST = "_qs + s.mariaHost +
                                                             u"\nDB_PORT = "_qs + QString::number(relay.port()) +
                                                             u"\nDB_USER = uebergabe\nDB_PASS = ueber1\n"_qs);
  const QStringList seen = play(folder, u"click commandList 3\nclick commandList 3\nclick objectList \""_qs + schema +
                                            u"\"\nclick commandList 7\n"_qs);
  EXPECT_TRUE(seen.contains(u"item objectList | 0 | "_qs + schema + u" | - | -"_qs)) << seen.join(u'\n').toStdString();
  const QStringList shown = seen.filter(u"box "_qs);
  ASSERT_EQ(shown.size(), 2) << boxes(seen).toStdString();
  for (const QString& box : shown) EXPECT_TRUE(box.contains(u"Info"_qs)) << box.toStdString();
  EXPECT_EQ(relay.connections(), 3);
}

// Sources named "..", "a/b" and "<Bau>": the folders stay inside the program folder, the
// program keeps running, and the real name still reaches the server and the title.
TEST(ObjectNames, NamesThatAreNoPlainFileNamesGetFoldersOfTheirOwnInsideTheProgramFolder) {
  const QString sqliteFile = testsupport::temporaryFolder() + u"/pfad.db"_qs;
  {
    QFile(sqliteFile).open(QIODevice::WriteOnly);
    db::ConnectionGuard server(db::openDatabase(sqliteFile, {}, {}, db::Backend::Sqlite));
    testsupport::run(server.get(), {outletTable, dialogTable, insertOutlet(u"DU-1"_qs)});
  }
  const QStringList names{u"a/b"_qs, u".."_qs, u"<Bau>"_qs};
  QString text;
  for (const QString& name : names) text += u"["_qs + name + u"]\nDriver=SQLite3\nDatabase="_qs + sqliteFile + u"\n\n"_qs;
  DataSources sources(text);
  const QString folder = programFolder(u"pfade"_qs, u"DB_MODE = ODBC\n"_qs);
  int exitCode = -1;
  const QStringList seen = play(folder, u"click commandList 1\nclick objectList \"..\"\nclick commandList 1\n"
                                        "click objectList \"<Bau>\"\nclick commandList 7\n"_qs, &exitCode);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(boxes(seen), QString()) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.contains(u"title VarnothM Objekt A/B"_qs));
  EXPECT_TRUE(seen.contains(u"title VarnothM Objekt .."_qs));
  EXPECT_TRUE(seen.contains(u"title VarnothM Objekt <BAU>"_qs));
  EXPECT_EQ(QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
            (QStringList{u"%2E%2E"_qs, u"%3CBau%3E"_qs, u"a%2Fb"_qs}));
  EXPECT_EQ(localOutlets(folder + common::safeFileName(u"a/b"_qs) + u"/Varnoth.DBF"_qs), QStringList{u"DU-1"_qs});
  EXPECT_EQ(localOutlets(folder + common::safeFileName(u".."_qs) + u"/Varnoth.DBF"_qs), QStringList{u"DU-1"_qs});
  EXPECT_FALSE(QFile::exists(folder + u"../Varnoth.DBF"_qs));
  EXPECT_FALSE(QFile::exists(folder + u"a"_qs));
}

// No box, but the status bar says why there is no object, and keeps saying it.
TEST(EmptyObjectList, TheStatusBarSaysWhy) {
  const testsupport::Servers& s = testsupport::servers();
  const QString maria = u"DB_MODE = MARIADB\nDB_HOST = "_qs + s.mariaHost + u"\nDB_PORT = "_qs;
  const QString unreadable = testsupport::temporaryFolder() + u"/keine-datei.ini"_qs;
  QDir().mkpath(unreadable);  // a folder where the file should be
  const QString noSources = testsupport::temporaryFolder() + u"/leer.ini"_qs;
  QFile(noSources).open(QIODevice::WriteOnly);
  const struct {
    QString config;  // null: no file
    QString odbcIni;
    QString status;  // the line begins so
  } cases[] = {
      {QString(), {}, u"status Keine Objekte: VarnothM.CFG fehlt in "_qs},
      {u"DB_MODE =\n"_qs, {}, u"status Keine Objekte: DB_MODE fehlt in VarnothM.CFG (ODBC oder MARIADB)"_qs},
      {u"DB_MODE = odbc\n"_qs, {}, u"status Keine Objekte: DB_MODE = odbc in VarnothM.CFG ist weder ODBC noch MARIADB"_qs},
      {maria + u"1\n"_qs, {}, u"status Keine Objekte: Server "_qs + s.mariaHost + u":1 – "_qs},
      {maria + s.mariaPort + u"\nDB_USER = "_qs + s.mariaUser + u"\nDB_PASS = falsch\n"_qs, {},
       u"status Keine Objekte: Server "_qs + s.mariaHost + u':' + s.mariaPort +
           u" – Access denied for user '"_qs + s.mariaUser},
      {u"DB_MODE = ODBC\n"_qs, unreadable,
       u"status Keine Objekte: die ODBC-Datenquellen können nicht gelesen werden – Datei "_qs + unreadable},
      {u"DB_MODE = ODBC\n"_qs, noSources, u"status Keine Objekte: keine ODBC-Datenquelle in "_qs + noSources},
  };
  for (const auto& c : cases) {
    const QByteArray previous = qgetenv("ODBCINI");
    if (!c.odbcIni.isEmpty()) qputenv("ODBCINI", c.odbcIni.toUtf8());
    const QString folder = programFolder(u"leer"_qs, c.config);
    const QStringList seen = play(folder, u"click commandList 0\nclick objectList -1\nclick commandList 7\n"_qs);
    qputenv("ODBCINI", previous);
    const QStringList status = seen.filter(u"status Keine Objekte"_qs);
    ASSERT_EQ(status.size(), 1) << seen.join(u'\n').toStdString();
    EXPECT_TRUE(status[0].startsWith(c.status)) << status[0].toStdString();
    EXPECT_EQ(boxes(seen), QString());
    // The clicks did not clear it: no other status text came after it.
    EXPECT_EQ(seen.filter(u"status "_qs).last(), status[0]);
  }
}

// The reason as the person sees it: the picture goes to VARNOTHM_PICTURES
// (or the test's folder) as leere-objektliste.png.
TEST(EmptyObjectList, APictureShowsTheReasonInTheStatusBar) {
  const testsupport::Servers& s = testsupport::servers();
  const QString folder = programFolder(u"bild"_qs, u"DB_MODE = MARIADB\nDB_HOST = "_qs + s.mariaHost + u"\nDB_PORT = "_qs +
                                                      s.mariaPort + u"\nDB_USER = techniker\nDB_PASS = falsch\n"_qs);
  const QString pictures = qEnvironmentVariableIsEmpty("VARNOTHM_PICTURES") ? testsupport::temporaryFolder()
                                                                             : qEnvironmentVariable("VARNOTHM_PICTURES");
  const QString path = pictures + u"/leere-objektliste.png"_qs;
  QString shown;
  ASSERT_TRUE(platform::startScript(u"click commandList 1\nclick commandList 7\n"_qs));
  platform::setBoxResponder([&](const platform::BoxRequest&) {
    // The no-object message of "Auslassliste holen": the main window as it stands.
    const int window = app::state().mainWindow;
    shown = platform::statusFieldText(window, 0);
    EXPECT_TRUE(platform::saveWindowPicture(window, path));
    return platform::BoxReply{platform::BoxAnswer::Ok, {}};
  });
  app::runApplication(folder);
  platform::stopScript();
  EXPECT_EQ(shown, u"Keine Objekte: Server "_qs + s.mariaHost + u':' + s.mariaPort +
                       u" – Access denied for user 'techniker'@'"_qs + s.mariaHost + u"' (using password: YES)"_qs);
}

// A local file that an interrupted first start left empty gets its tables; one that is no
// database is reported and ends the program, and is left as it was.
TEST(LocalFile, AnEmptyFileGetsTheTablesAndAFileThatIsNoDatabaseIsReported) {
  const QString sqliteFile = testsupport::temporaryFolder() + u"/lokal.db"_qs;
  DataSources sources(u"[Haus A]\nDriver=SQLite3\nDatabase="_qs + sqliteFile + u"\n"_qs);
  const QByteArray noDatabase = "Dies ist keine Datenbank, sondern ein Text, der lang genug ist.\n";
  for (const QByteArray& content : {QByteArray(), noDatabase}) {
    const QString folder = programFolder(u"lokal"_qs, u"DB_MODE = ODBC\n"_qs);
    QDir().mkpath(folder + u"Haus A"_qs);
    const QString file = folder + u"Haus A/Varnoth.DBF"_qs;
    {
      QFile out(file);
      ASSERT_TRUE(out.open(QIODevice::WriteOnly));
      out.write(content);
    }
    int exitCode = -1;
    const QStringList seen = play(folder, u"click commandList 7\n"_qs, &exitCode);
    if (content.isEmpty()) {
      EXPECT_EQ(exitCode, 0);
      EXPECT_EQ(boxes(seen), QString());
      db::ConnectionGuard local(db::openDatabase(file, {}, {}, db::Backend::Sqlite));
      db::Query tables(local.get(), u"SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid"_qs);
      QStringList names;
      while (tables.next()) names << tables.text(0);
      EXPECT_EQ(names, (QStringList{u"auslass"_qs, u"resultat"_qs, u"massnahme"_qs, u"xele"_qs}));
    } else {
      EXPECT_NE(exitCode, 0);
      EXPECT_EQ(boxes(seen), u"box Fehler | none | Datenbank kann in "_qs + folder + u"Haus A/ nicht geöffnet werden."_qs);
      EXPECT_EQ(seen.last(), u"end"_qs);
      QFile in(file);
      ASSERT_TRUE(in.open(QIODevice::ReadOnly));
      EXPECT_EQ(in.readAll(), noDatabase);
    }
  }
}

// The configuration as editors save it: UTF-8 with and without byte-order mark, Windows-1252,
// UTF-16 with a mark, CR, LF and CR LF line ends.
TEST(Configuration, ReadsTheEncodingsAndLineEndsOfOtherEditors) {
  const QString lines = u"DB_MODE = MARIADB\nDB_HOST = bau-süd\nDB_USER = Müller\nDB_PASS = grün€\n"_qs;
  auto withEnds = [&](const QString& end) { return QString(lines).replace(u"\n"_qs, end); };
  auto utf16 = [](const QString& text, bool littleEndian) {
    QByteArray out = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    for (const QChar c : text) {
      const char hi = static_cast<char>(c.unicode() >> 8), lo = static_cast<char>(c.unicode() & 0xFF);
      out.append(littleEndian ? lo : hi).append(littleEndian ? hi : lo);
    }
    return out;
  };
  QByteArray latin = "DB_MODE = MARIADB\r\nDB_HOST = bau-s\xFC" "d\r\nDB_USER = M\xFCller\r\nDB_PASS = gr\xFCn\x80\r\n";
  const struct {
    const char* name;
    QByteArray bytes;
  } cases[] = {
      {"UTF-8", lines.toUtf8()},
      {"UTF-8 with mark, CR LF", "\xEF\xBB\xBF" + withEnds(u"\r\n"_qs).toUtf8()},
      {"UTF-8, CR only", withEnds(u"\r"_qs).toUtf8()},
      {"Windows-1252, CR LF", latin},
      {"UTF-16 LE with mark", utf16(withEnds(u"\r\n"_qs), true)},
      {"UTF-16 BE with mark, CR only", utf16(withEnds(u"\r"_qs), false)},
  };
  for (const auto& c : cases) {
    const QString folder = programFolder(u"kodierung"_qs);
    QFile file(folder + u"VarnothM.CFG"_qs);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(c.bytes);
    file.close();
    const db::ServerSettings read = app::readConfiguration(file.fileName());
    EXPECT_EQ(read.mode, u"MARIADB"_qs) << c.name;
    EXPECT_EQ(read.host, u"bau-süd"_qs) << c.name;
    EXPECT_EQ(read.port, u"3307"_qs) << c.name;
    EXPECT_EQ(read.user, u"Müller"_qs) << c.name;
    EXPECT_EQ(read.password, u"grün€"_qs) << c.name;
  }
}

// Only the first megabyte is read: a huge file costs no time and memory, and a line that the
// limit cuts is not taken half.
TEST(Configuration, ReadsOnlyTheFirstMegabyte) {
  const QString folder = programFolder(u"gross"_qs);
  QFile file(folder + u"VarnothM.CFG"_qs);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  QByteArray head = "DB_MODE = MARIADB\n# ";
  head += QByteArray((1 << 20) - head.size() - 12, 'x') + "\nDB_USER = grün-abgeschnitten\n";
  file.write(head);
  file.write("DB_HOST = hinter-der-grenze\n");
  file.close();
  ASSERT_TRUE(file.resize(200ll << 20));  // 200 MB, the rest zeros
  const db::ServerSettings read = app::readConfiguration(file.fileName());
  EXPECT_EQ(read.mode, u"MARIADB"_qs);
  EXPECT_EQ(read.user, u"DB_USER"_qs);  // its line crosses the limit
  EXPECT_EQ(read.host, app::defaultHost);
  QFile::remove(file.fileName());
}

}  // namespace
