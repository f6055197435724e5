// A server whose connection breaks off or falls silent in the middle of its answer, through a
// relay in front of the test MariaDB server, reached directly and through ODBC, and (broken
// off) in front of the test PostgreSQL cluster through ODBC: the transfer stops with a
// message, gives up within the time-outs, and the device keeps its tables.
#include "relay.h"
#include "testservers.h"
#include "transfer_fixture.h"

#include "common/dates.h"
#include "common/programend.h"
#include "db/localschema.h"
#include "db/quoting.h"
#include "db/serverdb.h"
#include "sync/transfers.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

using namespace transfertest;
using testsupport::Place;

enum class Operation { OutletCopy, DayFetch, Return };
enum class Break { Cut, Stall };

const qint32 day = common::makeDate(2026, 3, 5);

// Texts as a building gives them; the outlet texts are stored as they are, the others escaped.
QString roomText(int i) { return u"Bad 😀 O'Neil & <Söhne> \\ Süd/"_qs + QString::number(i); }

class BrokenServerTest : public ::testing::TestWithParam<std::tuple<Place, Operation, Break>> {
 protected:
  void SetUp() override {
    const auto& s = testsupport::servers();
    const auto [place, operation, kind] = GetParam();
    schema = u"t_broken_"_qs + QString::number(static_cast<int>(place)) + QString::number(static_cast<int>(operation)) +
             QString::number(static_cast<int>(kind));
    const bool postgres = place == Place::OdbcPostgres;
    if (!postgres) {
      db::ConnectionGuard admin(testsupport::openMariaAdmin());
      testsupport::run(admin.get(), {u"DROP DATABASE IF EXISTS "_qs + schema, u"CREATE DATABASE "_qs + schema});
    }
    db::ConnectionGuard direct(postgres ? testsupport::openEmpty(place, schema)
                                        : db::openMariaDb(s.mariaHost, s.mariaPort, schema, s.mariaUser, s.mariaPass));
    ASSERT_TRUE(direct) << db::lastError().toStdString();
    if (postgres) directSource = testsupport::lastOdbcSource();
    testsupport::run(direct.get(), serverTables(postgres ? place : Place::MariaDb));
    // Enough rows that every answer is many relay pieces long.
    QStringList outlets, measures;
    for (int i = 1; i <= 3000; ++i) {
      outlets << u"("_qs + QString::number(i) + u", 'A"_qs + QString::number(i) + u"', 'C', 'WB', "_qs +
                     db::quoteText(roomText(i)) + u", '1. OG', 'H')"_qs;
      measures << u"("_qs + QString::number(i) + u", 'A"_qs + QString::number(i) + u"', 'Spülen 😀', "_qs +
                      QString::number(day + 3600 + i) + u", 0, '', '')"_qs;
    }
    testsupport::run(direct.get(), {u"INSERT INTO auslass VALUES "_qs + outlets.join(u','),
                                    u"INSERT INTO massnahme VALUES "_qs + measures.join(u',')});

    local.reset(testsupport::openEmpty(Place::LocalSqlite, schema + u"_local"_qs));
    ASSERT_TRUE(local);
    db::createOutletTable(local.get());
    db::createResultTable(local.get());
    db::createMeasureTable(local.get());
    db::createDialogTable(local.get());
    // The device holds yesterday's copy and recorded work that is not yet returned.
    QStringList localRows{u"INSERT INTO auslass (ID, AUID, raum) VALUES (99, 'alt', 'Küche')"_qs,
                          u"INSERT INTO xele VALUES (97, 'XML_merfassung', 'Spülen', '<x/>')"_qs};
    for (int i = 1; i <= 300; ++i) {
      localRows << u"INSERT INTO massnahme VALUES ("_qs + QString::number(i) + u", 'A"_qs + QString::number(i) +
                       u"', 'Spülen 😀', "_qs + QString::number(day + 3600 + i) + u", "_qs +
                       QString::number(day + 7200 + i) + u", 'meier', "_qs + db::quoteText(u"erledigt 😀 \"ok\""_qs) + u")"_qs;
      localRows << u"INSERT INTO resultat VALUES ("_qs + QString::number(i) + u", 'A"_qs + QString::number(i) +
                       u"', "_qs + QString::number(day) + u", 'Probe "_qs + QString::number(i) +
                       u" 😀', 'KW', 'TWK', 36.5, 'ok', 'P1')"_qs;
    }
    testsupport::run(local.get(), localRows);

    relay = std::make_unique<testsupport::Relay>(s.mariaHost, (postgres ? s.postgresPort : s.mariaPort).toUShort());
    if (postgres) {
      const QString source = u"VarnothPgRelay"_qs + QString::number(relay->port());
      testsupport::addOdbcPostgresSource(source, relay->port(), testsupport::lastPostgresDatabase());
      server.reset(db::openDatabase(source, {}, {}, db::Backend::Odbc));
    } else if (place == Place::MariaDb) {
      server.reset(db::openMariaDb(s.mariaHost, QString::number(relay->port()), schema, s.mariaUser, s.mariaPass));
    } else {
      const QString source = u"VarnothRelay"_qs + QString::number(relay->port());
      testsupport::addOdbcMariaSource(source, relay->port(), schema);
      server.reset(db::openDatabase(source, {}, {}, db::Backend::Odbc));
    }
    ASSERT_TRUE(server) << db::lastError().toStdString();
  }

  QStringList localTables() {
    QStringList all;
    for (const QString& table : {u"auslass"_qs, u"massnahme"_qs, u"resultat"_qs, u"xele"_qs})
      all << dump(local.get(), table);
    return all;
  }

  QString schema, directSource;  // directSource: the PostgreSQL database without the relay
  db::ConnectionGuard server, local;
  std::unique_ptr<testsupport::Relay> relay;
  StatusLog status;
  testsupport::BoxRecorder boxes;
};

TEST_P(BrokenServerTest, StopsWithAMessageAndKeepsTheDevicesTables) {
  const auto [place, operation, kind] = GetParam();
  const QStringList before = localTables();
  const common::MainScreen screen = status.screen();
  // Well inside the answer: the outlets and the day are each some 200 kB long; the return
  // of the results has sent some of its 300 rows by then.
  const qint64 budget = operation == Operation::Return ? 4000 : 60000;
  if (kind == Break::Cut) relay->cutAfter(budget);
  else relay->stallAfter(budget);

  QElapsedTimer clock;
  clock.start();
  int result = 0;
  switch (operation) {
    case Operation::OutletCopy:
      result = transfer::copyServerTable(u"auslass"_qs, server.get(), local.get(), screen);
      break;
    case Operation::DayFetch:
      result = transfer::fetchDueMeasures(server.get(), local.get(), common::startOfDay(day),
                                          common::endOfDay(day), screen);
      break;
    case Operation::Return:
      // A break while the highest ID is read ends the program after its message, as a
      // failed highest-ID query does; the device's record keeps what went before.
      try {
        result = transfer::returnResults(server.get(), local.get(), screen);
      } catch (const common::ProgramEnd&) {
        result = -1;
      }
      break;
  }
  const qint64 seconds = clock.elapsed() / 1000;
  EXPECT_EQ(result, -1);
  EXPECT_GE(relay->answerBytes(), budget) << "the break came before the answer";
  // About half a minute at most, then the message.
  EXPECT_LE(seconds, 40);
  ASSERT_FALSE(boxes.boxes.empty());
  const platform::BoxRequest& box = boxes.boxes.front();
  EXPECT_EQ(box.icon, platform::BoxIcon::Error);
  // The statement whose answer broke off: a query, a row sent, or the commit of the rows sent.
  EXPECT_TRUE(box.text.contains(u"SELECT "_qs) || box.text.contains(u"UPDATE "_qs) || box.text.contains(u"INSERT "_qs) ||
              box.text.contains(u"COMMIT;"_qs))
      << box.text.toStdString();
  EXPECT_FALSE(box.text.endsWith(u": "_qs) || box.text.endsWith(u":"_qs)) << "no reason given: " << box.text.toStdString();
  EXPECT_EQ(localTables(), before);
  // The local database is free: no transaction was left open.
  EXPECT_TRUE(db::execute(local.get(), u"BEGIN TRANSACTION;"_qs));
  EXPECT_TRUE(db::execute(local.get(), u"COMMIT;"_qs));

  if (operation == Operation::Return) {
    // Returned again over a sound connection: what went before the break is not sent twice.
    const auto& s = testsupport::servers();
    server.reset();
    server.reset(directSource.isEmpty() ? db::openMariaDb(s.mariaHost, s.mariaPort, schema, s.mariaUser, s.mariaPass)
                                        : db::openDatabase(directSource, {}, {}, db::Backend::Odbc));
    ASSERT_TRUE(server);
    const int sentBefore = static_cast<int>(dump(server.get(), u"resultat"_qs, u"ID"_qs).size());
    EXPECT_GT(sentBefore, 0);
    EXPECT_LT(sentBefore, 300);
    EXPECT_EQ(transfer::returnResults(server.get(), local.get(), screen), 300 - sentBefore);
    db::Query sent(server.get(), u"SELECT COUNT(*), COUNT(DISTINCT ID), COUNT(DISTINCT anme) FROM resultat"_qs);
    ASSERT_TRUE(sent.next());
    EXPECT_EQ(sent.int32(0), 300);
    EXPECT_EQ(sent.int32(1), 300);
    EXPECT_EQ(sent.int32(2), 300);
  }
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<Place, Operation, Break>>& info) {
  const auto [place, operation, kind] = info.param;
  const char* operations[] = {"OutletCopy", "DayFetch", "Return"};
  return testsupport::placeName(place).toStdString() + operations[static_cast<int>(operation)] +
         (kind == Break::Cut ? "Cut" : "Stalled");
}

INSTANTIATE_TEST_SUITE_P(Relay, BrokenServerTest,
                         ::testing::Combine(::testing::Values(Place::MariaDb, Place::OdbcMariaDb),
                                            ::testing::Values(Operation::OutletCopy, Operation::DayFetch,
                                                              Operation::Return),
                                            ::testing::Values(Break::Cut, Break::Stall)),
                         caseName);

// The PostgreSQL driver has no time-out of its own for an answer that stops coming (its query
// time-out is the server's), so a stalled connection is tried on the other kinds only.
INSTANTIATE_TEST_SUITE_P(RelayToPostgres, BrokenServerTest,
                         ::testing::Combine(::testing::Values(Place::OdbcPostgres),
                                            ::testing::Values(Operation::OutletCopy, Operation::DayFetch,
                                                              Operation::Return),
                                            ::testing::Values(Break::Cut)),
                         caseName);

}  // namespace
