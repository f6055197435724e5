// Benchmark of the assistant's two screens on a large building: 2,000 outlets in 40 areas and
// 10,000 local measures. Each screen is built in a real (offscreen) main window and timed
// beside one aggregate SQL query that computes the same figures, run through SQLite's own
// C API with the statement prepared once: the least the device can do for that screen.
// Then "Alle Items" on the 500 measures of the busiest area, beside the same writes through
// SQLite's C API in one transaction.
#include "testservers.h"

#include "assistant/assistant.h"
#include "common/dates.h"
#include "db/localschema.h"
#include "platform/iconlists.h"
#include "platform/scripteduser.h"
#include "platform/statusbar.h"
#include "platform/windows.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

constexpr int areas = 40;
constexpr int outlets = 2000;
constexpr int measures = 10000;
constexpr int busyOutlets = 50;        // the outlets of area 0 ...
constexpr int busyMeasuresEach = 10;   // ... carry 500 measures together
constexpr int rounds = 5;

QTextStream out(stdout);

QString areaName(int a) { return QStringLiteral("Bereich %1 & Süd").arg(a, 2, 10, QLatin1Char('0')); }

// The building in the local file, as the transfers leave it (texts in their stored form).
void fill(db::Connection* local) {
  db::createOutletTable(local);
  db::createMeasureTable(local);
  db::createResultTable(local);
  db::createDialogTable(local);
  db::execute(local, u"BEGIN"_qs);
  for (int o = 0; o < outlets; ++o) {
    db::bindInteger(local, 0, o + 1);
    db::bindText(local, 1, QStringLiteral("%1-%2").arg(o % 3 ? u"WT"_qs : u"DU"_qs).arg(o, 4, 10, QLatin1Char('0')));
    db::bindText(local, 2, areaName(o / (outlets / areas)).replace(u"&"_qs, u"&amp;"_qs));
    db::execute(local, u"INSERT INTO auslass (ID,AUID,region) VALUES (?,?,?)"_qs);
  }
  const qint32 day = common::makeDate(2026, 6, 1);
  for (int m = 0; m < measures; ++m) {
    const int busy = busyOutlets * busyMeasuresEach;
    const int o = m < busy ? m % busyOutlets : busyOutlets + (m - busy) % (outlets - busyOutlets);
    db::bindInteger(local, 0, m + 1);
    db::bindText(local, 1, QStringLiteral("%1-%2").arg(o % 3 ? u"WT"_qs : u"DU"_qs).arg(o, 4, 10, QLatin1Char('0')));
    db::bindText(local, 2, m % 2 ? u"Spülen"_qs : u"Temperaturmessung"_qs);
    db::bindInteger(local, 3, day + (m % 600) * 60);
    db::bindInteger(local, 4, m % 3 ? 0 : day + 7200);
    db::execute(local, u"INSERT INTO massnahme (ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung) "
                       "VALUES (?,?,?,?,?,'','')"_qs);
  }
  db::execute(local, u"COMMIT"_qs);
}

// The yardstick: one prepared statement, stepped to the end, best of the rounds.
double rawQuerySeconds(const QString& file, const char* sql, const QByteArray& parameter = {}) {
  sqlite3* handle = nullptr;
  sqlite3_open_v2(file.toUtf8().constData(), &handle, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* statement = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(handle, sql, -1, &statement, nullptr), SQLITE_OK) << sqlite3_errmsg(handle);
  double best = 1e9;
  for (int r = 0; r < rounds; ++r) {
    QElapsedTimer timer;
    timer.start();
    if (!parameter.isEmpty()) sqlite3_bind_text(statement, 1, parameter.constData(), -1, SQLITE_STATIC);
    int rows = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) ++rows;
    sqlite3_reset(statement);
    best = qMin(best, timer.nsecsElapsed() / 1e9);
    EXPECT_GT(rows, 0);
  }
  sqlite3_finalize(statement);
  sqlite3_close(handle);
  return best;
}

template <class Build>
double screenSeconds(Build build) {
  double best = 1e9;
  for (int r = 0; r < rounds; ++r) {
    QElapsedTimer timer;
    timer.start();
    build();
    best = qMin(best, timer.nsecsElapsed() / 1e9);
  }
  return best;
}

// The main window's two lists and status bar, as the assistant fills them.
common::MainScreen mainScreen() {
  platform::WindowFeatures features;
  const int window = platform::openWindow(0, 0, 1024, 768, u"VarnothM"_qs, features);
  platform::createStatusBar(window);
  platform::addStatusField(window);
  platform::addStatusField(window);
  common::MainScreen screen;
  screen.window = window;
  screen.commandList = platform::createIconList(window, 10, 10, 1000, 150, u"commandList"_qs);
  screen.objectList = platform::createIconList(window, 10, 170, 1000, 560, u"objectList"_qs);
  screen.currentObject = u"Bench"_qs;
  screen.image = [](const QString&) { return 0; };
  screen.layout = [] {};
  screen.statusText = [window](const QString& t) { platform::setStatusFieldText(window, 0, t, false); };
  screen.statusProgress = [window](int p) { platform::setStatusFieldProgress(window, 1, p); };
  return screen;
}

QString benchFile(const QString& name) {
  const QString file = testsupport::temporaryFolder() + u'/' + name;
  QFile(file).open(QIODevice::WriteOnly);
  return file;
}

TEST(AssistantBenchmark, BothScreensBesideOneAggregateQuery) {
  const QString file = benchFile(u"bench.DBF"_qs);
  db::ConnectionGuard local(db::openDatabase(file, {}, {}, db::Backend::Sqlite));
  ASSERT_TRUE(local);
  fill(local.get());
  const common::MainScreen screen = mainScreen();
  const int window = screen.window;

  const double areaScreen =
      screenSeconds([&] { assistant::showAreas(local.get(), screen, u"Massnahmenassistent"_qs); });
  ASSERT_EQ(platform::iconItemCount(screen.objectList), areas);
  const double areaQuery = rawQuerySeconds(
      file, "SELECT a.region, SUM(m.dadurch<=0), SUM(m.dadurch>0) FROM massnahme m JOIN auslass a ON a.AUID=m.AUID "
            "WHERE m.dasoll>=0 AND m.dasoll<=2147483647 AND a.region<>'' GROUP BY a.region");

  const double outletScreen = screenSeconds(
      [&] { assistant::showOutletList(local.get(), screen, areaName(0), u"Massnahmenassistent"_qs); });
  ASSERT_EQ(platform::iconItemCount(screen.objectList), busyOutlets * busyMeasuresEach + 1);
  const double outletQuery = rawQuerySeconds(
      file, "SELECT m.AUID, m.wastun, m.ID, m.dasoll, m.dadurch FROM massnahme m JOIN auslass a ON a.AUID=m.AUID "
            "WHERE m.dasoll>=0 AND m.dasoll<=2147483647 AND a.region=?1 ORDER BY m.AUID, m.wastun",
      areaName(0).replace(u"&"_qs, u"&amp;"_qs).toUtf8());

  out << QStringLiteral("%1 outlets in %2 areas, %3 local measures (best of %4)\n").arg(outlets).arg(areas).arg(measures).arg(rounds);
  out << "screen                         screen s   aggregate query s   ratio\n";
  out << QStringLiteral("area screen (40 areas)         %1   %2   %3\n")
             .arg(areaScreen, 8, 'f', 4).arg(areaQuery, 17, 'f', 5).arg(areaScreen / areaQuery, 7, 'f', 1);
  out << QStringLiteral("outlet screen (500 measures)   %1   %2   %3\n")
             .arg(outletScreen, 8, 'f', 4).arg(outletQuery, 17, 'f', 5).arg(outletScreen / outletQuery, 7, 'f', 1);
  out.flush();
  platform::closeWindow(window);
}

// "Alle Items" on the busiest area: its 500 measures, of which a third were carried out
// before, the rest open and overdue, are carried out in one go. The outlet screen with the
// click on the row builds the list twice, the screen without it once: the difference less
// one building is the click's own time. Beside it the same UPDATEs through SQLite's C API,
// prepared once, in one transaction and in one transaction each.
TEST(AssistantBenchmark, AllItemsOfFiveHundredMeasures) {
  const QString file = benchFile(u"alle.DBF"_qs);
  db::ConnectionGuard local(db::openDatabase(file, {}, {}, db::Backend::Sqlite));
  ASSERT_TRUE(local);
  fill(local.get());
  qputenv("TMPDIR", QFile::encodeName(testsupport::temporaryFolder()));
  const common::MainScreen screen = mainScreen();
  const QString area = areaName(0);
  auto reopen = [&] { db::execute(local.get(), u"UPDATE massnahme SET dadurch=0, werdurch='' WHERE werdurch<>''"_qs); };
  auto play = [&](const QString& script) {
    reopen();
    platform::startScript(script);
    QElapsedTimer timer;
    timer.start();
    assistant::runOutletList(local.get(), screen, area, u"Massnahmenassistent"_qs);
    const double seconds = timer.nsecsElapsed() / 1e9;
    platform::stopScript();
    return seconds;
  };
  double withAll = 1e9, without = 1e9;
  for (int r = 0; r < rounds; ++r) {
    withAll = qMin(withAll, play(u"click objectList 0\nclick commandList 0\n"_qs));
    without = qMin(without, play(u"click commandList 0\n"_qs));
  }
  play(u"click objectList 0\nclick commandList 0\n"_qs);
  const double list = screenSeconds([&] { assistant::showOutletList(local.get(), screen, area, u"Massnahmenassistent"_qs); });
  db::Query done(local.get(), u"SELECT COUNT(*) FROM massnahme WHERE werdurch<>''"_qs);
  ASSERT_TRUE(done.next());
  const qint64 recorded = done.int64(0);
  int open = 0;
  for (int m = 0; m < busyOutlets * busyMeasuresEach; ++m) open += m % 3 ? 1 : 0;
  EXPECT_EQ(recorded, open);

  // The yardstick: the same rows written by one prepared statement.
  QList<qint64> rows;
  {
    db::Query q(local.get(), u"SELECT rowid FROM massnahme WHERE werdurch<>''"_qs);
    while (q.next()) rows.append(q.int64(0));
  }
  local.reset();
  sqlite3* handle = nullptr;
  sqlite3_open_v2(file.toUtf8().constData(), &handle, SQLITE_OPEN_READWRITE, nullptr);
  sqlite3_stmt* update = nullptr;
  sqlite3_prepare_v2(handle, "UPDATE massnahme SET dadurch=?1,werdurch='bench',anmerkung='' WHERE rowid=?2", -1, &update,
                     nullptr);
  auto raw = [&](bool oneTransaction) {
    double best = 1e9;
    for (int r = 0; r < rounds; ++r) {
      QElapsedTimer timer;
      timer.start();
      if (oneTransaction) sqlite3_exec(handle, "BEGIN", nullptr, nullptr, nullptr);
      for (qint64 row : rows) {
        sqlite3_bind_int(update, 1, 1781000000 + r);
        sqlite3_bind_int64(update, 2, row);
        sqlite3_step(update);
        sqlite3_reset(update);
      }
      if (oneTransaction) sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr);
      best = qMin(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
  };
  const double rawOne = raw(true);
  const double rawEach = raw(false);
  sqlite3_finalize(update);
  sqlite3_close(handle);

  out << QStringLiteral("\n\"Alle Items\" on 500 listed measures, %1 carried out (best of %2)\n").arg(recorded).arg(rounds);
  out << QStringLiteral("outlet screen with the click      %1 s\n").arg(withAll, 8, 'f', 4);
  out << QStringLiteral("outlet screen without it          %1 s\n").arg(without, 8, 'f', 4);
  out << QStringLiteral("the list built once                %1 s\n").arg(list, 8, 'f', 4);
  out << QStringLiteral("\"Alle Items\" itself               %1 s (the difference less one list)\n")
             .arg(withAll - without - list, 8, 'f', 4);
  out << QStringLiteral("raw UPDATEs in one transaction    %1 s\n").arg(rawOne, 8, 'f', 4);
  out << QStringLiteral("raw UPDATEs, one commit each      %1 s\n").arg(rawEach, 8, 'f', 4);
  out.flush();
  platform::closeWindow(screen.window);
}

}  // namespace
