// The connection layer on each kind of database: typed reads, NULLs, type classes, "?"
// parameters, error texts, row count, highest ID and database kind.
#include "relay.h"
#include "testservers.h"

#include "common/programend.h"
#include "db/quoting.h"
#include "db/serverdb.h"

#include <gtest/gtest.h>

using db::ColumnKind;
using testsupport::Place;

namespace {

class ConnectionTest : public ::testing::TestWithParam<Place> {
 protected:
  void SetUp() override {
    connection.reset(testsupport::openEmpty(GetParam(), QString::fromStdString(
        ::testing::UnitTest::GetInstance()->current_test_info()->name())));
    ASSERT_TRUE(connection) << db::lastError().toStdString();
  }
  db::Connection* c() { return connection.get(); }
  db::ConnectionGuard connection;
};

TEST_P(ConnectionTest, ReadsEachTypeClassAndNullsAsZeroOrEmpty) {
  testsupport::run(c(), {
      u"CREATE TABLE probe (ID bigint, n int, f float, d double, s varchar(64))"_qs,
      u"INSERT INTO probe VALUES (5000000000, -42, 0.1, 36.25, 'Grüße ☺')"_qs,
      u"INSERT INTO probe VALUES (2, NULL, NULL, NULL, NULL)"_qs,
  });
  db::Query q(c(), u"SELECT ID, n, f, d, s FROM probe ORDER BY ID DESC"_qs);
  ASSERT_TRUE(q.ok()) << db::lastError().toStdString();
  ASSERT_EQ(q.columnCount(), 5);
  const QStringList names{u"ID"_qs, u"n"_qs, u"f"_qs, u"d"_qs, u"s"_qs};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(q.columnName(i), names[i]);

  // The declared type decides on SQLite files; the servers report their field types.
  const bool sqliteRule = GetParam() == Place::LocalSqlite;
  const bool sqliteOdbc = GetParam() == Place::OdbcSqlite;
  EXPECT_EQ(q.columnKind(0), ColumnKind::Quad);
  EXPECT_EQ(q.columnKind(1), sqliteRule ? ColumnKind::Quad : ColumnKind::Long);
  EXPECT_EQ(q.columnKind(2), sqliteRule || sqliteOdbc ? ColumnKind::Double : ColumnKind::Float);
  EXPECT_EQ(q.columnKind(3), ColumnKind::Double);
  EXPECT_EQ(q.columnKind(4), ColumnKind::Text);

  ASSERT_TRUE(q.next());
  EXPECT_EQ(q.int64(0), 5000000000LL);
  EXPECT_EQ(q.int32(1), -42);
  EXPECT_EQ(q.text(1), u"-42"_qs);
  EXPECT_FLOAT_EQ(q.single(2), 0.1f);
  EXPECT_DOUBLE_EQ(q.real(3), 36.25);
  EXPECT_EQ(q.text(4), u"Grüße ☺"_qs);
  EXPECT_FALSE(q.isNull(4));

  ASSERT_TRUE(q.next());
  for (int i = 1; i < 5; ++i) {
    EXPECT_TRUE(q.isNull(i)) << i;
    EXPECT_EQ(q.int32(i), 0);
    EXPECT_EQ(q.int64(i), 0);
    EXPECT_EQ(q.real(i), 0.0);
    EXPECT_EQ(q.text(i), QString());
  }
  EXPECT_FALSE(q.next());
}

TEST_P(ConnectionTest, BindsTextAndIntegerParametersByPosition) {
  testsupport::run(c(), {u"CREATE TABLE xele (ID bigint, gruppe varchar(64), element varchar(64))"_qs});
  const QString tricky = u"O'Brien \"?\" \\ ü ✓"_qs;
  db::bindInteger(c(), 0, 7);
  db::bindText(c(), 1, tricky);
  db::bindText(c(), 2, u"Spülen"_qs);
  ASSERT_TRUE(db::execute(c(), u"INSERT INTO xele (ID, gruppe, element) VALUES (?, ?, ?)"_qs))
      << db::lastError().toStdString();

  db::bindText(c(), 0, tricky);
  db::Query q(c(), u"SELECT ID, element, '?' FROM xele WHERE gruppe=?"_qs);
  ASSERT_TRUE(q.ok()) << db::lastError().toStdString();
  ASSERT_TRUE(q.next());
  EXPECT_EQ(q.int32(0), 7);
  EXPECT_EQ(q.text(1), u"Spülen"_qs);
  EXPECT_EQ(q.text(2), u"?"_qs);
  EXPECT_FALSE(q.next());

  // Parameters are used once: the next query sees none.
  db::Query all(c(), u"SELECT COUNT(*) FROM xele"_qs);
  ASSERT_TRUE(all.ok() && all.next());
  EXPECT_EQ(all.int64(0), 1);
}

TEST_P(ConnectionTest, APreparedStatementStoresWhatItsTextWithTheValuesWrittenInStores) {
  const bool sqlite = GetParam() == Place::LocalSqlite || GetParam() == Place::OdbcSqlite;
  // SQLite keeps a value in a column without a type as the type of the value itself.
  testsupport::run(c(), {u"CREATE TABLE p (k int, i int, d double, v varchar(64), t varchar(64)"_qs +
                         (sqlite ? u", u)"_qs : u")"_qs)});
  const QString columns = sqlite ? u"k,i,d,v,t,u"_qs : u"k,i,d,v,t"_qs;
  const QString text = db::escapeText(u"O'Brien \"?\" \\ Süd/ü ✓ 😀 & <x>"_qs);
  db::Statement insert(c(), u"INSERT INTO p ("_qs + columns + u") VALUES (?,?,?,?,?"_qs + (sqlite ? u",?)"_qs : u")"_qs));
  ASSERT_TRUE(insert.ok()) << db::lastError().toStdString();
  const QStringList numbers{u"36.5"_qs, u"-7"_qs, u"7.25"_qs, u"0.1"_qs, u"12"_qs, u"-0.5"_qs};
  for (int n = 0; n < numbers.size(); ++n) {
    const QString& number = numbers[n];
    // The statement's text with the values written in ...
    testsupport::run(c(), {u"INSERT INTO p ("_qs + columns + u") VALUES ("_qs + QString::number(2 * n) + u',' + number +
                           u',' + number + u',' + number + u",'"_qs + text + u'\'' + (sqlite ? u',' + number : QString()) +
                           u')'});
    // ... and the prepared statement with them bound, executed again for each number.
    insert.bindInteger(0, 2 * n + 1);
    for (int i = 1; i <= (sqlite ? 5 : 4); ++i) {
      if (i == 4) insert.bindText(i, text);
      else insert.bindNumber(i, number);
    }
    ASSERT_TRUE(insert.execute()) << db::lastError().toStdString();
  }
  const QString cells = sqlite ? u"quote(i),quote(d),quote(v),quote(t),quote(u)"_qs : u"i,d,v,t"_qs;
  db::Query rows(c(), u"SELECT k,"_qs + cells + u" FROM p ORDER BY k"_qs);
  ASSERT_TRUE(rows.ok()) << db::lastError().toStdString();
  for (int n = 0; n < numbers.size(); ++n) {
    QStringList written, bound;
    ASSERT_TRUE(rows.next());
    for (int i = 1; i < rows.columnCount(); ++i) written << rows.text(i);
    ASSERT_TRUE(rows.next());
    for (int i = 1; i < rows.columnCount(); ++i) bound << rows.text(i);
    EXPECT_EQ(bound, written) << numbers[n].toStdString();
    EXPECT_EQ(written.value(3), sqlite ? u'\'' + text + u'\'' : text);
  }
}

TEST_P(ConnectionTest, FailingStatementSetsTheLayersErrorText) {
  db::setLastError(QString());
  EXPECT_FALSE(db::execute(c(), u"DELETE FROM nosuchtable"_qs));
  EXPECT_TRUE(db::lastError().contains(u"nosuchtable"_qs, Qt::CaseInsensitive)) << db::lastError().toStdString();

  db::setLastError(QString());
  db::Query q(c(), u"SELECT broken FROM"_qs);
  EXPECT_FALSE(q.ok());
  EXPECT_FALSE(q.next());
  EXPECT_FALSE(db::lastError().isEmpty());
}

TEST_P(ConnectionTest, CountsRowsAndFindsTheHighestId) {
  testsupport::run(c(), {u"CREATE TABLE resultat (ID bigint, AUID varchar(32))"_qs});
  testsupport::BoxRecorder boxes;
  EXPECT_EQ(db::countRows(c(), u"resultat"_qs), 0);
  EXPECT_EQ(db::maxId(c(), u"resultat"_qs), 0);  // so the first new row gets ID 1
  testsupport::run(c(), {u"INSERT INTO resultat VALUES (41, 'A'), (7, 'B')"_qs});
  EXPECT_EQ(db::countRows(c(), u"resultat"_qs), 2);
  EXPECT_EQ(db::maxId(c(), u"resultat"_qs), 41);
  EXPECT_TRUE(boxes.boxes.empty());

  EXPECT_EQ(db::countRows(c(), u"fehlt"_qs), -1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, u"Fehler"_qs);
  EXPECT_EQ(boxes.boxes[0].icon, platform::BoxIcon::Error);
  EXPECT_TRUE(boxes.boxes[0].text.startsWith(
      u"Abfrage SELECT COUNT(*) FROM fehlt; hat folgende Fehlermeldung ergeben:"_qs));

  EXPECT_THROW(db::maxId(c(), u"fehlt"_qs), common::ProgramEnd);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].title, u"Datenbankfehler"_qs);
  EXPECT_TRUE(boxes.boxes[1].text.startsWith(
      u"Die Abfrage SELECT MAX(ID) FROM fehlt; konnte nicht ausgeführt werden: "_qs));
}

TEST_P(ConnectionTest, RecognisesTheDatabaseKind) {
  const bool sqlite = GetParam() == Place::LocalSqlite || GetParam() == Place::OdbcSqlite;
  EXPECT_EQ(db::databaseKind(c()), sqlite ? 1 : 2);
  EXPECT_EQ(db::databaseKind(nullptr), 0);
}

// An ODBC connection's kind is asked of its driver, once, before any statement: a server of
// another kind would keep each probing statement it refuses in its log. Counted at a relay in
// front of the server: no round trip at all.
TEST(DatabaseKind, AnOdbcDriverNamesItsDatabaseWithoutAStatement) {
  const auto& s = testsupport::servers();
  db::ConnectionGuard made(testsupport::openEmpty(Place::OdbcPostgres, u"kind"_qs));
  ASSERT_TRUE(made) << db::lastError().toStdString();
  struct Case {
    QString port;
    int kind;
  };
  for (const Case& server : {Case{s.postgresPort, db::postgreSqlKind}, Case{s.mariaPort, 2}}) {
    testsupport::Relay relay(u"127.0.0.1"_qs, server.port.toUShort());
    const QString source = u"VarnothKind"_qs + QString::number(relay.port());
    if (server.kind == 2) testsupport::addOdbcMariaSource(source, relay.port(), s.mariaOdbcSchema);
    else testsupport::addOdbcPostgresSource(source, relay.port(), testsupport::lastPostgresDatabase());
    db::ConnectionGuard c(db::openDatabase(source, {}, {}, db::Backend::Odbc));
    ASSERT_TRUE(c) << db::lastError().toStdString();
    relay.passAll();
    EXPECT_EQ(db::databaseKind(c.get()), server.kind);
    EXPECT_EQ(db::databaseKind(c.get()), server.kind);
    EXPECT_EQ(relay.roundTrips(), 0) << server.kind;
  }
}

INSTANTIATE_TEST_SUITE_P(AllPlaces, ConnectionTest, ::testing::ValuesIn(testsupport::allPlaces()),
                         [](const auto& info) { return testsupport::placeName(info.param).toStdString(); });

}  // namespace
