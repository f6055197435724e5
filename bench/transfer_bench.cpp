// Benchmark of the two large transfers: an outlet table of 100,000 rows and a day of 5,000
// measures, from each kind of server, beside a plain SQLite bulk load of the same rows.
#include "testservers.h"

#include "common/dates.h"
#include "db/localschema.h"
#include "sync/transfers.h"

#include <QElapsedTimer>
#include <QTextStream>
#include <gtest/gtest.h>

using testsupport::Place;

namespace {

constexpr int outletRows = 100000;
constexpr int measureRows = 5000;
const qint32 benchDay = common::makeDate(2026, 6, 1);

QTextStream out(stdout);

void fill(db::Connection* server, bool sqlite) {
  const QString integer = sqlite ? u"INTEGER"_qs : u"int"_qs;
  testsupport::run(server, {
      u"CREATE TABLE auslass (ID "_qs + integer + u", AUID varchar(32), code varchar(32), art varchar(32), "
      "raum varchar(64), region varchar(64), hydron varchar(64))"_qs,
      u"CREATE TABLE massnahme (ID "_qs + integer + u", AUID varchar(32), wastun varchar(128), dasoll "_qs + integer +
          u", dadurch "_qs + integer + u", werdurch varchar(64), anmerkung varchar(128))"_qs});
  db::execute(server, u"BEGIN"_qs);
  for (int first = 0; first < outletRows; first += 1000) {
    QStringList values;
    for (int id = first; id < first + 1000; ++id)
      values << QStringLiteral("(%1,'WB-%1','C%2','Waschbecken','Raum %2','%3. OG','H%2')").arg(id).arg(id % 97).arg(id % 9);
    testsupport::run(server, {u"INSERT INTO auslass VALUES "_qs + values.join(u',')});
  }
  for (int first = 0; first < measureRows; first += 1000) {
    QStringList values;
    for (int id = first; id < first + 1000; ++id)
      values << QStringLiteral("(%1,'WB-%1','Spülen',%2,0,'','')").arg(id).arg(benchDay + id % 86400);
    testsupport::run(server, {u"INSERT INTO massnahme VALUES "_qs + values.join(u',')});
  }
  db::execute(server, u"COMMIT"_qs);
}

db::Connection* freshLocal(const QString& name) {
  db::Connection* local = testsupport::openEmpty(Place::LocalSqlite, name);
  db::createOutletTable(local);
  db::createMeasureTable(local);
  return local;
}

// The yardstick: the same outlet rows through one prepared statement in one transaction.
double plainBulkLoad() {
  db::ConnectionGuard local(freshLocal(u"bulk"_qs));
  QElapsedTimer timer;
  timer.start();
  db::execute(local.get(), u"BEGIN"_qs);
  for (int id = 0; id < outletRows; ++id) {
    db::bindInteger(local.get(), 0, id);
    db::bindText(local.get(), 1, QStringLiteral("WB-%1").arg(id));
    db::bindText(local.get(), 2, QStringLiteral("C%1").arg(id % 97));
    db::bindText(local.get(), 3, u"Waschbecken"_qs);
    db::bindText(local.get(), 4, QStringLiteral("Raum %1").arg(id % 97));
    db::bindText(local.get(), 5, QStringLiteral("%1. OG").arg(id % 9));
    db::bindText(local.get(), 6, QStringLiteral("H%1").arg(id % 97));
    db::execute(local.get(), u"INSERT INTO auslass VALUES (?,?,?,?,?,?,?)"_qs);
  }
  db::execute(local.get(), u"COMMIT"_qs);
  return outletRows / (timer.nsecsElapsed() / 1e9);
}

TEST(TransferBenchmark, RowsPerSecondAgainstAPlainBulkLoad) {
  const double bulk = plainBulkLoad();
  out << QStringLiteral("plain SQLite bulk load: %1 rows/s\n").arg(bulk, 0, 'f', 0);
  out << "server        outlets rows/s  ratio   day rows/s  ratio\n";
  common::MainScreen screen;
  screen.statusText = [](const QString&) {};
  screen.statusProgress = [](int) {};
  for (Place place : {Place::MariaDb, Place::OdbcSqlite, Place::OdbcMariaDb}) {
    db::ConnectionGuard server(testsupport::openEmpty(place, u"bench"_qs));
    ASSERT_TRUE(server);
    fill(server.get(), place == Place::OdbcSqlite);
    db::ConnectionGuard local(freshLocal(u"bench_local_"_qs + testsupport::placeName(place)));
    QElapsedTimer timer;
    timer.start();
    ASSERT_EQ(transfer::copyServerTable(u"auslass"_qs, server.get(), local.get(), screen), outletRows);
    const double outlets = outletRows / (timer.nsecsElapsed() / 1e9);
    timer.restart();
    ASSERT_EQ(transfer::fetchDueMeasures(server.get(), local.get(), common::startOfDay(benchDay),
                                         common::endOfDay(benchDay), screen), measureRows);
    const double day = measureRows / (timer.nsecsElapsed() / 1e9);
    out << QStringLiteral("%1 %2 %3 %4 %5\n")
               .arg(testsupport::placeName(place), -12)
               .arg(outlets, 16, 'f', 0)
               .arg(outlets / bulk, 6, 'f', 2)
               .arg(day, 12, 'f', 0)
               .arg(day / bulk, 6, 'f', 2);
    out.flush();
  }
}

}  // namespace
