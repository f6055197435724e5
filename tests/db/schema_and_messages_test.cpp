// The local tables, the message forms of database failures, and how an object's server
// database is opened by the configured mode.
#include "relay.h"
#include "testservers.h"

#include "db/localschema.h"
#include "db/messages.h"
#include "db/serverdb.h"

#include <gtest/gtest.h>

using platform::BoxIcon;

namespace {

TEST(LocalSchema, CreatesTheFourTablesOnceAndPassesOverExistingOnesSilently) {
  db::ConnectionGuard c(testsupport::openEmpty(testsupport::Place::LocalSqlite, u"schema"_qs));
  testsupport::BoxRecorder boxes;
  EXPECT_EQ(db::createOutletTable(c.get()), 1);
  EXPECT_EQ(db::createResultTable(c.get()), 1);
  EXPECT_EQ(db::createMeasureTable(c.get()), 1);
  EXPECT_EQ(db::createDialogTable(c.get()), 1);
  EXPECT_EQ(db::createOutletTable(c.get()), 0);
  EXPECT_EQ(db::createResultTable(c.get()), 0);
  EXPECT_EQ(db::createMeasureTable(c.get()), 0);
  EXPECT_EQ(db::createDialogTable(c.get()), 0);
  EXPECT_TRUE(boxes.boxes.empty());

  // Measures may share an ID; the other tables keep theirs unique.
  EXPECT_TRUE(db::execute(c.get(), u"INSERT INTO massnahme (ID, AUID) VALUES (1, 'A'), (1, 'B')"_qs));
  for (const QString& insert : {u"INSERT INTO auslass (ID, AUID) VALUES (1, 'A'), (1, 'B')"_qs,
                                u"INSERT INTO resultat (ID, AUID) VALUES (1, 'A'), (1, 'B')"_qs,
                                u"INSERT INTO xele (ID, gruppe, element) VALUES (1, 'g', 'a'), (1, 'g', 'b')"_qs})
    EXPECT_FALSE(db::execute(c.get(), insert)) << insert.toStdString();

  db::Query q(c.get(), u"SELECT ID, AUID, abda, anme, keim, syst, temp, resu, prot FROM resultat"_qs);
  ASSERT_TRUE(q.ok());
  EXPECT_EQ(q.columnKind(0), db::ColumnKind::Quad);
  EXPECT_EQ(q.columnKind(2), db::ColumnKind::Quad);
  EXPECT_EQ(q.columnKind(3), db::ColumnKind::Text);
  EXPECT_EQ(q.columnKind(6), db::ColumnKind::Double);
}

TEST(LocalSchema, OtherFailuresShowTheTableForm) {
  testsupport::BoxRecorder boxes;
  EXPECT_EQ(db::createDialogTable(nullptr), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, u"Fehler"_qs);
  EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Error);
  EXPECT_EQ(boxes.boxes[0].text,
            u"Datanbankabfrage CREATE TABLE xele (ID longint PRIMARY KEY, gruppe varchar(64) Not NULL, "
            "element varchar(64) Not NULL, XML longtext DEFAULT NULL); Fehlermeldung "_qs + db::lastError());
}

TEST(MessageForms, EachFormHasItsTitleTextAndIcon) {
  const QString sql = u"SELECT x FROM y;"_qs;
  db::setLastError(u"kaputt"_qs);
  const struct {
    db::MessageForm form;
    QString title, text;
  } cases[] = {
      {db::MessageForm::QueryFailed, u"Datenbankfehler"_qs,
       u"Die Abfrage SELECT x FROM y; konnte nicht ausgeführt werden: kaputt"_qs},
      {db::MessageForm::QueryError, u"Fehler"_qs, u"Abfrage SELECT x FROM y; hat folgende Fehlermeldung ergeben:kaputt"_qs},
      {db::MessageForm::TableError, u"Fehler"_qs, u"Datanbankabfrage SELECT x FROM y; Fehlermeldung kaputt"_qs},
      {db::MessageForm::RequestError, u"Fehler"_qs,
       u"Die Datenbankabfrage SELECT x FROM y; ergab folgenden Fehler: kaputt"_qs},
      {db::MessageForm::AccessError, u"Fehler"_qs, u"Datenbankzugriff SELECT x FROM y; ergab Fehler kaputt"_qs},
  };
  for (const auto& c : cases) {
    testsupport::BoxRecorder boxes;
    db::reportFailure(c.form, sql);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, c.title);
    EXPECT_EQ(boxes.boxes[0].text, c.text);
    EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Error);
    EXPECT_EQ(boxes.boxes[0].buttons, platform::BoxButtons::Ok);
  }
  for (BoxIcon icon : {BoxIcon::Error, BoxIcon::Info}) {
    testsupport::BoxRecorder boxes;
    db::reportOpenFailure(u"Haus A"_qs, icon);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, u"Fehler"_qs);
    EXPECT_EQ(boxes.boxes[0].text, u"Datenbank Haus A kann nicht geöffnet werden. kaputt"_qs);
    EXPECT_EQ(boxes.boxes[0].icon, icon);
  }
}

TEST(ServerDatabase, TheConnectionTextQuotesValuesWithBlanksApostrophesAndBackslashes) {
  const struct {
    QString host, database, text;
  } cases[] = {
      {u"db.example"_qs, u"HausA"_qs, u"host=db.example port=3307 dbname=HausA"_qs},
      {u"db.example"_qs, u"Haus_Süd-Ost"_qs, u"host=db.example port=3307 dbname=Haus_Süd-Ost"_qs},
      {u"db.example"_qs, u"Haus Nord"_qs, u"host=db.example port=3307 dbname='Haus Nord'"_qs},
      {u"db.example"_qs, u"O'Brien Bau"_qs, u"host=db.example port=3307 dbname='O\\'Brien Bau'"_qs},
      {u"db.example"_qs, u"C:\\Bau\\"_qs, u"host=db.example port=3307 dbname='C:\\\\Bau\\\\'"_qs},
      {u"db.example"_qs, u"a=b port=1"_qs, u"host=db.example port=3307 dbname='a=b port=1'"_qs},
      {u"db example"_qs, u""_qs, u"host='db example' port=3307 dbname="_qs},
  };
  for (const auto& c : cases) {
    const QString text = db::mariaDbConnectionText(c.host, u"3307"_qs, c.database);
    EXPECT_EQ(text, c.text);
    const QMap<QString, QString> read = db::readMariaDbConnectionText(text);
    EXPECT_EQ(read.value(u"host"_qs), c.host) << text.toStdString();
    EXPECT_EQ(read.value(u"port"_qs), u"3307"_qs) << text.toStdString();
    EXPECT_EQ(read.value(u"dbname"_qs), c.database) << text.toStdString();
  }
}

// A schema whose name holds a blank or an apostrophe is the one opened, never the schema
// named by its first word.
TEST(ServerDatabase, ASchemaNameWithBlankOrApostropheOpensThatSchema) {
  const testsupport::Servers& s = testsupport::servers();
  {
    db::ConnectionGuard admin(testsupport::openMariaAdmin());
    testsupport::run(admin.get(), {u"DROP DATABASE IF EXISTS `Bau`"_qs, u"CREATE DATABASE `Bau`"_qs,
                                   u"DROP DATABASE IF EXISTS `Bau Nord`"_qs, u"CREATE DATABASE `Bau Nord`"_qs,
                                   u"DROP DATABASE IF EXISTS `O'Bau 2`"_qs, u"CREATE DATABASE `O'Bau 2`"_qs});
  }
  const db::ServerSettings maria{u"MARIADB"_qs, s.mariaHost, s.mariaPort, s.mariaUser, s.mariaPass};
  for (const QString& schema : {u"Bau Nord"_qs, u"O'Bau 2"_qs}) {
    db::ConnectionGuard c(db::openServerDatabase(schema, maria));
    ASSERT_TRUE(c) << db::lastError().toStdString();
    db::Query opened(c.get(), u"SELECT DATABASE()"_qs);
    ASSERT_TRUE(opened.next());
    EXPECT_EQ(opened.text(0), schema);
  }
}

// A MariaDB connection is set up by the log-in and one statement, not one per setting: each
// costs a round trip, and over a slow link those add up for every command. The session then
// reads backslashes as written and speaks utf8mb4 both ways.
TEST(ServerDatabase, AMariaDbSessionIsSetUpInOneStatement) {
  const testsupport::Servers& s = testsupport::servers();
  {
    db::ConnectionGuard admin(testsupport::openMariaAdmin());
    testsupport::run(admin.get(), {u"CREATE DATABASE IF NOT EXISTS objekt_sitzung"_qs});
  }
  testsupport::Relay relay(s.mariaHost, s.mariaPort.toUShort());
  db::ConnectionGuard c(db::openMariaDb(s.mariaHost, QString::number(relay.port()), u"objekt_sitzung"_qs, s.mariaUser,
                                        s.mariaPass));
  ASSERT_TRUE(c) << db::lastError().toStdString();
  EXPECT_EQ(relay.roundTrips(), 2);  // the log-in, the session's settings
  db::Query session(c.get(), u"SELECT @@sql_mode, @@character_set_connection, @@character_set_client, "
                             "@@character_set_results, 'C:\\temp'"_qs);
  ASSERT_TRUE(session.next());
  EXPECT_TRUE(session.text(0).contains(u"NO_BACKSLASH_ESCAPES"_qs)) << session.text(0).toStdString();
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(session.text(i), u"utf8mb4"_qs);
  EXPECT_EQ(session.text(4), u"C:\\temp"_qs);
}

TEST(ServerDatabase, OpensByTheConfiguredMode) {
  const testsupport::Servers& s = testsupport::servers();

  // MARIADB: the object is a schema of the configured server.
  {
    db::ConnectionGuard admin(testsupport::openMariaAdmin());
    testsupport::run(admin.get(), {u"CREATE DATABASE IF NOT EXISTS objekt_a"_qs});
  }
  const db::ServerSettings maria{u"MARIADB"_qs, s.mariaHost, s.mariaPort, s.mariaUser, s.mariaPass};
  db::ConnectionGuard byMaria(db::openServerDatabase(u"objekt_a"_qs, maria));
  ASSERT_TRUE(byMaria) << db::lastError().toStdString();
  db::Query schema(byMaria.get(), u"SELECT DATABASE(), @@character_set_client, @@character_set_results"_qs);
  ASSERT_TRUE(schema.next());
  EXPECT_EQ(schema.text(0), u"objekt_a"_qs);
  EXPECT_TRUE(schema.text(1).startsWith(u"utf8"_qs));
  EXPECT_TRUE(schema.text(2).startsWith(u"utf8"_qs));

  // ODBC: the object is a data source, opened with its own user and password.
  db::ConnectionGuard byOdbc(db::openServerDatabase(s.mariaDsn, {u"ODBC"_qs, {}, {}, u"nobody"_qs, u"wrong"_qs}));
  ASSERT_TRUE(byOdbc) << db::lastError().toStdString();
  EXPECT_EQ(db::databaseKind(byOdbc.get()), 2);

  // Neither mode, or a mode in other letter case, reaches no server.
  for (const QString& mode : {QString(), u"odbc"_qs, u"MariaDB"_qs})
    EXPECT_EQ(db::openServerDatabase(s.mariaDsn, {mode, s.mariaHost, s.mariaPort, s.mariaUser, s.mariaPass}), nullptr);

  // Wrong credentials and an unknown data source fail with the driver's words.
  EXPECT_EQ(db::openServerDatabase(u"objekt_a"_qs, {u"MARIADB"_qs, s.mariaHost, s.mariaPort, s.mariaUser, u"falsch"_qs}), nullptr);
  EXPECT_TRUE(db::lastError().contains(u"denied"_qs)) << db::lastError().toStdString();
  EXPECT_EQ(db::openServerDatabase(u"GibtEsNicht"_qs, {u"ODBC"_qs, {}, {}, {}, {}}), nullptr);
  EXPECT_FALSE(db::lastError().isEmpty());
}

TEST(ServerDatabase, AnUnreachableServerFailsPromptly) {
  // Nothing listens on the discard port of the loopback address.
  db::Connection* c = db::openMariaDb(u"127.0.0.1"_qs, u"9"_qs, u"x"_qs, u"u"_qs, u"p"_qs);
  EXPECT_EQ(c, nullptr);
  EXPECT_FALSE(db::lastError().isEmpty());
}

}  // namespace
