// Benchmark of the table browser's paging on a local measure table of 100,000 rows, sorted by ID
// (indexed) and by the planned time (not indexed): the time
// of the first page and of End (the last page), beside the same two page queries through the
// raw SQLite C API with a statement prepared once, and beside a raw read of the whole table,
// which is what End cost when the program skipped the rows before the page itself.
#include "testservers.h"

#include "common/programend.h"
#include "db/localschema.h"
#include "platform/events.h"
#include "platform/scripteduser.h"
#include "platform/windows.h"
#include "tableeditor/browser.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

constexpr int tableRows = 100000;
constexpr int repeats = 10;
QTextStream out(stdout);

tableeditor::BrowserConfig measureConfig(const QString& field) {
  tableeditor::BrowserConfig c;
  c.table = u"massnahme"_qs;
  c.orderClause = u"ORDER BY "_qs + field + u" DESC"_qs;
  c.fields = u"ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung"_qs;
  c.columnTitles = u"ID,Auslass,Tätigkeit,Planzeit,Durchf.Zeit,Mitarbeiter,Anmerkung"_qs;
  c.columnSpecs = u"10L,10L,20X,%yyyy-%mm-%dd %hh:%ii,%yyyy-%mm-%dd %hh:%ii,10L,20X"_qs;
  return c;
}

QString makeTable() {
  const QString file = testsupport::temporaryFolder() + u"/paging.DBF"_qs;
  QFile::remove(file);
  QFile(file).open(QIODevice::WriteOnly);
  db::ConnectionGuard local(db::openDatabase(file, {}, {}, db::Backend::Sqlite));
  db::createMeasureTable(local.get());
  db::execute(local.get(), u"BEGIN"_qs);
  for (int first = 1; first <= tableRows; first += 1000) {
    QStringList values;
    for (int id = first; id < first + 1000; ++id)
      values << QStringLiteral("(%1,'WB-%2','Spülen',%3,0,'mkeller','ohne Befund')").arg(id).arg(id % 997).arg(1780000000 + id);
    testsupport::run(local.get(), {u"INSERT INTO massnahme VALUES "_qs + values.join(u',')});
  }
  db::execute(local.get(), u"COMMIT"_qs);
  return file;
}

// Milliseconds of a browser run on the file that plays the script and then Esc.
double browse(const QString& file, const QString& field, const QString& script) {
  db::ConnectionGuard local(db::openDatabase(file, {}, {}, db::Backend::Sqlite));
  platform::WindowFeatures features;
  features.sizingBorder = true;
  const int window = platform::openWindow(0, 0, 1100, 450, u"Bearbeiten"_qs, features);
  tableeditor::BrowserConfig config = measureConfig(field);
  platform::clearWindowEvents();
  platform::startScript(script + u"key Escape\n"_qs);
  QElapsedTimer timer;
  timer.start();
  tableeditor::browseTable(window, local.get(), config);
  const double ms = timer.nsecsElapsed() / 1e6;
  platform::stopScript();
  platform::closeWindow(window);
  EXPECT_EQ(config.firstRow, script.isEmpty() ? 0 : tableRows - config.pageSize);
  return ms;
}

// The physical limit: the count and one page query, each prepared once, stepped through the
// raw API; the page's 20 rows are read with all their columns.
double rawPage(sqlite3* handle, sqlite3_stmt* count, const char* sql) {
  sqlite3_stmt* page = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(handle, sql, -1, &page, nullptr), SQLITE_OK) << sqlite3_errmsg(handle);
  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < repeats; ++i) {
    sqlite3_reset(count);
    sqlite3_step(count);
    sqlite3_reset(page);
    int rows = 0;
    while (sqlite3_step(page) == SQLITE_ROW) {
      for (int c = 0; c < 7; ++c) sqlite3_column_text(page, c);
      ++rows;
    }
    EXPECT_EQ(rows, 20) << sqlite3_errmsg(handle);
  }
  const double ms = timer.nsecsElapsed() / 1e6 / repeats;
  sqlite3_finalize(page);
  return ms;
}

// What End cost when every row before the page was read and skipped by the program.
double rawWholeTable(sqlite3_stmt* whole) {
  QElapsedTimer timer;
  timer.start();
  sqlite3_reset(whole);
  int rows = 0;
  while (sqlite3_step(whole) == SQLITE_ROW) {
    for (int c = 0; c < 7; ++c) sqlite3_column_text(whole, c);
    ++rows;
  }
  EXPECT_EQ(rows, tableRows);
  return timer.nsecsElapsed() / 1e6;
}

// The device's measures sorted by ID (indexed in the local file) and by the planned time
// (no index: the database sorts the table for every page).
void measure(const QString& file, const QString& field) {
  browse(file, field, QString());  // warms the file cache
  double first = 0;
  double firstAndEnds = 0;
  for (int i = 0; i < 3; ++i) first += browse(file, field, QString()) / 3;
  QString ends;
  for (int i = 0; i < repeats; ++i) ends += u"key End\nkey Home\n"_qs;
  for (int i = 0; i < 3; ++i) firstAndEnds += browse(file, field, ends + u"key End\n"_qs) / 3;
  // Each End and Home re-reads a page; the first page is read once at the start.
  const double perPage = (firstAndEnds - first) / (2 * repeats + 1);

  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open_v2(file.toUtf8().constData(), &handle, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* count = nullptr;
  sqlite3_stmt* whole = nullptr;
  const QByteArray select = "SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung FROM massnahme ORDER BY " + field.toUtf8();
  sqlite3_prepare_v2(handle, "SELECT COUNT(ID) FROM massnahme", -1, &count, nullptr);
  sqlite3_prepare_v2(handle, (select + " DESC").constData(), -1, &whole, nullptr);
  const double rawFirst = rawPage(handle, count, (select + " DESC LIMIT 20 OFFSET 0").constData());
  const double rawLastByOffset = rawPage(handle, count, (select + " DESC LIMIT 20 OFFSET 99980").constData());
  const double rawLastFromEnd = rawPage(handle, count, (select + " ASC LIMIT 20 OFFSET 0").constData());
  const double rawAll = rawWholeTable(whole);
  sqlite3_finalize(count);
  sqlite3_finalize(whole);
  sqlite3_close(handle);

  out << QStringLiteral("sorted by %1: browser: first page (with opening) %2, End or Home %3\n")
             .arg(field)
             .arg(first, 0, 'f', 1)
             .arg(perPage, 0, 'f', 1);
  out << QStringLiteral("  raw C API, prepared once: first page %1, last page by OFFSET %2, last page read from the "
                        "end %3, whole table %4\n")
             .arg(rawFirst, 0, 'f', 1)
             .arg(rawLastByOffset, 0, 'f', 1)
             .arg(rawLastFromEnd, 0, 'f', 1)
             .arg(rawAll, 0, 'f', 1);
  out.flush();
}

TEST(PagingBenchmark, EndCostsNoMoreThanTheFirstPage) {
  const QString file = makeTable();
  out << QStringLiteral("table of %1 measures, pages of 20 rows, times in ms\n").arg(tableRows);
  measure(file, u"ID"_qs);
  measure(file, u"dasoll"_qs);
}

}  // namespace
