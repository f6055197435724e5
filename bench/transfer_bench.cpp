// Benchmark of the transfers beside what the databases allow in the same run: the outlet
// copy (100,000 rows) and a day's measures (5,000) against the server's own C API feeding one
// prepared SQLite statement, and the return against its round trips times the loopback time.
#include "testservers.h"

#include "common/dates.h"
#include "db/localschema.h"
#include "platform/statusbar.h"
#include "platform/windows.h"
#include "sync/transfers.h"

#include <mysql.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QtNumeric>
#include <QTextStream>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using testsupport::Place;

namespace {

constexpr int outletRows = 100000;
constexpr int measureRows = 5000;
constexpr int changedMeasures = 2000;
constexpr int newResults = 5000;
constexpr int repeats = 3;  // each copy runs this often; the best time counts
const qint32 benchDay = common::makeDate(2026, 6, 1);

QTextStream out(stdout);

// The server's tables keyed by ID, as a building's server database keeps them.
void fill(db::Connection* server, bool sqlite) {
  const QString integer = sqlite ? u"INTEGER"_qs : u"int"_qs;
  const QString key = integer + u" PRIMARY KEY"_qs;
  testsupport::run(server, {
      u"CREATE TABLE auslass (ID "_qs + key + u", AUID varchar(32), code varchar(32), art varchar(32), "
      "raum varchar(64), region varchar(64), hydron varchar(64))"_qs,
      u"CREATE TABLE massnahme (ID "_qs + key + u", AUID varchar(32), wastun varchar(128), dasoll "_qs + integer +
          u", dadurch "_qs + integer + u", werdurch varchar(64), anmerkung varchar(128))"_qs,
      u"CREATE TABLE resultat (ID "_qs + key + u", AUID varchar(32), abda "_qs + integer +
          u", anme varchar(256), keim varchar(32), syst varchar(32), temp double, resu varchar(256), "
          "prot varchar(32))"_qs,
      u"CREATE TABLE probe (ID "_qs + key + u", wert "_qs + integer + u')'});
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
  testsupport::run(server, {u"INSERT INTO probe VALUES (1,0)"_qs});
  db::execute(server, u"COMMIT"_qs);
}

QString freshLocalFile(const QString& name) {
  const QString file = testsupport::temporaryFolder() + u'/' + name + u".db"_qs;
  QFile::remove(file);
  QFile(file).open(QIODevice::WriteOnly);
  db::ConnectionGuard local(db::openDatabase(file, {}, {}, db::Backend::Sqlite));
  db::createOutletTable(local.get());
  db::createMeasureTable(local.get());
  db::createResultTable(local.get());
  return file;
}

// ---- Peak resident memory, reset before the measured work (Linux). ----

qint64 statusKb(const char* key) {
  QFile file(u"/proc/self/status"_qs);
  if (!file.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : file.readAll().split('\n'))
    if (line.startsWith(key)) return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLongLong();
  return -1;
}

void resetPeakMemory() {
  QFile file(u"/proc/self/clear_refs"_qs);
  if (file.open(QIODevice::WriteOnly)) file.write("5");
}

// ---- The yardstick: the raw C APIs, one prepared SQLite statement, one transaction. ----

// The local end of a raw copy: DELETE, BEGIN, one prepared INSERT stepped per row, COMMIT.
struct RawSink {
  sqlite3* handle = nullptr;
  sqlite3_stmt* insert = nullptr;
  RawSink(const QString& file, const char* table, const char* insertSql) {
    sqlite3_open_v2(file.toUtf8().constData(), &handle, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(handle, (std::string("DELETE FROM ") + table).c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(handle, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(handle, insertSql, -1, &insert, nullptr);
  }
  bool step() {
    const int rc = sqlite3_step(insert);
    sqlite3_reset(insert);
    return rc == SQLITE_DONE;
  }
  bool commit() { return sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK; }
  ~RawSink() {
    sqlite3_finalize(insert);
    sqlite3_close(handle);
  }
};

MYSQL* rawMariaConnect(const QString& schema) {
  const testsupport::Servers& s = testsupport::servers();
  MYSQL* m = mysql_init(nullptr);
  mysql_options(m, MYSQL_SET_CHARSET_NAME, "utf8mb4");
  if (!mysql_real_connect(m, s.mariaHost.toUtf8().constData(), s.mariaUser.toUtf8().constData(),
                          s.mariaPass.toUtf8().constData(), schema.toUtf8().constData(), s.mariaPort.toUInt(),
                          nullptr, 0)) {
    ADD_FAILURE() << "raw MariaDB connection: " << mysql_error(m);
    mysql_close(m);
    return nullptr;
  }
  return m;
}

// Rows streamed with mysql_use_result straight into the prepared statement.
int rawMariaCopy(MYSQL* m, const char* select, RawSink& sink) {
  if (mysql_query(m, select) != 0) return -1;
  MYSQL_RES* result = mysql_use_result(m);
  if (!result) return -1;
  const unsigned count = mysql_num_fields(result);
  const MYSQL_FIELD* fields = mysql_fetch_fields(result);
  std::vector<bool> numeric(count);
  for (unsigned i = 0; i < count; ++i) numeric[i] = IS_NUM(fields[i].type);
  int n = 0;
  while (MYSQL_ROW row = mysql_fetch_row(result)) {
    const unsigned long* lengths = mysql_fetch_lengths(result);
    for (unsigned i = 0; i < count; ++i) {
      if (!row[i]) sqlite3_bind_null(sink.insert, i + 1);
      else if (numeric[i]) sqlite3_bind_int64(sink.insert, i + 1, std::strtoll(row[i], nullptr, 10));
      else sqlite3_bind_text(sink.insert, i + 1, row[i], static_cast<int>(lengths[i]), SQLITE_STATIC);
    }
    if (!sink.step()) n = -1;
    if (n >= 0) ++n;
  }
  const bool broken = mysql_errno(m) != 0;
  mysql_free_result(result);
  return broken || !sink.commit() ? -1 : n;
}

struct RawOdbc {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  // The same driver and database as the program's data source of the place.
  explicit RawOdbc(const QString& connectionText) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    const QByteArray text = connectionText.toUtf8();
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, (SQLCHAR*)text.constData(), SQL_NTS, nullptr, 0, nullptr,
                                        SQL_DRIVER_NOPROMPT)))
      ADD_FAILURE() << "raw ODBC connection " << connectionText.toStdString();
  }
  ~RawOdbc() {
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
  }
};

// Rows fetched 500 at a time into bound column arrays, then into the prepared statement.
int rawOdbcCopy(RawOdbc& odbc, const char* select, RawSink& sink) {
  constexpr SQLULEN block = 500;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  SQLAllocHandle(SQL_HANDLE_STMT, odbc.dbc, &stmt);
  SQLULEN fetched = 0;
  SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
  SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(block), 0);
  SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
  int n = 0;
  if (!SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR*)select, SQL_NTS))) n = -1;
  SQLSMALLINT count = 0;
  SQLNumResultCols(stmt, &count);
  struct Column {
    bool numeric = false;
    SQLLEN width = 0;
    std::vector<SQLBIGINT> integers;
    std::vector<char> texts;
    std::vector<SQLLEN> indicators;
  };
  std::vector<Column> columns(count);
  for (SQLUSMALLINT i = 0; i < count && n >= 0; ++i) {
    SQLCHAR name[256];
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLDescribeCol(stmt, i + 1, name, sizeof name, &nameLength, &type, &size, &digits, &nullable);
    Column& c = columns[i];
    c.numeric = type == SQL_INTEGER || type == SQL_BIGINT || type == SQL_SMALLINT || type == SQL_TINYINT;
    c.indicators.resize(block);
    if (c.numeric) {
      c.integers.resize(block);
      SQLBindCol(stmt, i + 1, SQL_C_SBIGINT, c.integers.data(), sizeof(SQLBIGINT), c.indicators.data());
    } else {
      c.width = static_cast<SQLLEN>(std::min<SQLULEN>(size == 0 ? 255 : size, 1024) * 4 + 1);
      c.texts.resize(block * c.width);
      SQLBindCol(stmt, i + 1, SQL_C_CHAR, c.texts.data(), c.width, c.indicators.data());
    }
  }
  while (n >= 0) {
    const SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) {
      n = -1;
      break;
    }
    for (SQLULEN r = 0; r < fetched && n >= 0; ++r) {
      for (int i = 0; i < count; ++i) {
        const Column& c = columns[i];
        if (c.indicators[r] == SQL_NULL_DATA) sqlite3_bind_null(sink.insert, i + 1);
        else if (c.numeric) sqlite3_bind_int64(sink.insert, i + 1, c.integers[r]);
        else sqlite3_bind_text(sink.insert, i + 1, c.texts.data() + r * c.width, static_cast<int>(c.indicators[r]),
                               SQLITE_STATIC);
      }
      n = sink.step() ? n + 1 : -1;
    }
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return n >= 0 && sink.commit() ? n : -1;
}

// ---- The return's yardstick: statement counts and the cost of one raw statement. ----

struct StatementCounts {
  qint64 total = 0, reads = 0, writes = 0;
  qint64 changed = 0;  // writes that really insert or change a row (each a durable commit)
};

// The MariaDB server's own counters; the bench is the only client of its server.
StatementCounts serverCounters(MYSQL* admin) {
  StatementCounts counts;
  mysql_query(admin, "SHOW GLOBAL STATUS WHERE Variable_name IN ('Questions','Com_select','Com_insert','Com_update',"
                     "'Handler_update')");
  MYSQL_RES* result = mysql_store_result(admin);
  while (MYSQL_ROW row = mysql_fetch_row(result)) {
    const qint64 value = std::strtoll(row[1], nullptr, 10);
    const std::string name = row[0];
    if (name == "Questions") counts.total = value;
    else if (name == "Com_select") counts.reads = value;
    else if (name == "Handler_update") counts.changed += value;  // rows an UPDATE really changed
    else counts.writes += value;
    if (name == "Com_insert") counts.changed += value;  // each INSERT of the return adds one row
  }
  mysql_free_result(result);
  return counts;
}

StatementCounts operator-(const StatementCounts& a, const StatementCounts& b) {
  // The second counter query is a question of its own (a SHOW, neither read nor write).
  return {a.total - b.total - 1, a.reads - b.reads, a.writes - b.writes, a.changed - b.changed};
}

// Average seconds of one statement through the server's own C API, over `times` runs.
double rawMariaStatement(MYSQL* m, const char* sql, int times) {
  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < times; ++i) {
    if (sql) {
      if (mysql_query(m, sql) != 0) {
        out << "    raw statement failed: " << sql << ": " << mysql_error(m) << "\n";
        return qQNaN();
      }
      if (MYSQL_RES* r = mysql_store_result(m)) mysql_free_result(r);
    } else {
      mysql_ping(m);
    }
  }
  return timer.nsecsElapsed() / 1e9 / times;
}

double rawOdbcStatement(RawOdbc& odbc, const char* sql, int times) {
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  SQLAllocHandle(SQL_HANDLE_STMT, odbc.dbc, &stmt);
  SQLPrepare(stmt, (SQLCHAR*)sql, SQL_NTS);
  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < times; ++i) {
    if (!SQL_SUCCEEDED(SQLExecute(stmt))) {
      SQLCHAR state[6] = {}, message[512] = {};
      SQLINTEGER native = 0;
      SQLSMALLINT length = 0;
      SQLGetDiagRec(SQL_HANDLE_STMT, stmt, 1, state, &native, message, sizeof message, &length);
      out << "    raw statement failed: " << sql << ": " << reinterpret_cast<const char*>(message) << "\n";
      SQLFreeHandle(SQL_HANDLE_STMT, stmt);
      return qQNaN();
    }
    while (SQL_SUCCEEDED(SQLFetch(stmt))) {
    }
    SQLFreeStmt(stmt, SQL_CLOSE);
  }
  const double seconds = timer.nsecsElapsed() / 1e9 / times;
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return seconds;
}

// ---- The program's side. ----

// A main window with the program's status bar, so that status and progress cost what they cost.
common::MainScreen benchScreen() {
  static int window = 0;
  if (!window) {
    window = platform::openWindow(0, 0, 1024, 768, u"VarnothM"_qs, {});
    platform::createStatusBar(window);
    platform::addStatusField(window);
    platform::addStatusField(window);
  }
  common::MainScreen screen;
  screen.window = window;
  screen.statusText = [](const QString& text) { platform::setStatusFieldText(window, 0, text, false); };
  screen.statusProgress = [](int value) { platform::setStatusFieldProgress(window, 1, value); };
  return screen;
}

template <typename Work>
double bestSeconds(Work work) {
  double best = 1e9;
  for (int i = 0; i < repeats; ++i) {
    QElapsedTimer timer;
    timer.start();
    work();
    best = std::min(best, timer.nsecsElapsed() / 1e9);
  }
  return best;
}

QString ms(double seconds) { return QString::number(seconds * 1000, 'f', 0) + u" ms"_qs; }
QString ratio(double a, double b) { return QString::number(a / b, 'f', 2) + u'x'; }

const char* outletInsert = "INSERT INTO auslass (ID, AUID, code, art, raum, region, hydron) VALUES (?,?,?,?,?,?,?)";
const char* measureInsert = "INSERT INTO massnahme (ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung) VALUES (?,?,?,?,?,?,?)";

// The device's work of a day: some measures carried out, results recorded.
void recordWork(db::Connection* local) {
  testsupport::run(local, {QStringLiteral("UPDATE massnahme SET dadurch=%1,werdurch='Jürgen Weiß',"
                                          "anmerkung='Spülen ok, 38 °C' WHERE ID<%2")
                               .arg(benchDay + 36000)
                               .arg(changedMeasures),
                           u"DELETE FROM resultat"_qs, u"BEGIN"_qs});
  for (int id = 1; id <= newResults; ++id) {
    testsupport::run(local, {QStringLiteral("INSERT INTO resultat VALUES (%1,'WB-%2',%3,'Kaltwasser','KBE','Trinkwasser',"
                                            "%4,'&lt; 1','P-%1')")
                                 .arg(id)
                                 .arg(id % measureRows)
                                 .arg(benchDay + 36000 + id)
                                 .arg(8.0 + (id % 500) / 10.0)});
  }
  testsupport::run(local, {u"COMMIT"_qs});
}

// A server of the kind filled with the bench's rows, a local file with the program's tables,
// and the raw connections of the yardstick to the same server.
struct BenchPlace {
  Place place;
  QString name;
  db::ConnectionGuard server, local;
  QString rawFile;
  MYSQL* maria = nullptr;
  std::unique_ptr<RawOdbc> odbc;
  explicit BenchPlace(Place p) : place(p), name(testsupport::placeName(p)) {
    server.reset(testsupport::openEmpty(place, u"bench"_qs));
    if (!server) return;
    fill(server.get(), place == Place::OdbcSqlite);
    local.reset(db::openDatabase(freshLocalFile(u"program_"_qs + name), {}, {}, db::Backend::Sqlite));
    rawFile = freshLocalFile(u"raw_"_qs + name);
    const testsupport::Servers& s = testsupport::servers();
    // The names the test support gives the place's database for the name "bench".
    const QString schema = u"t"_qs + QString::number(QCoreApplication::applicationPid()) + u"_bench"_qs;
    if (place == Place::MariaDb) maria = rawMariaConnect(schema);
    else if (place == Place::OdbcSqlite)
      odbc = std::make_unique<RawOdbc>(u"Driver=SQLite3;Database="_qs + testsupport::temporaryFolder() +
                                       u'/' + schema + u"_odbc.db;"_qs);
    else
      odbc = std::make_unique<RawOdbc>(u"Driver=MariaDB Unicode;Server="_qs + s.mariaHost + u";Port="_qs + s.mariaPort +
                                       u";User="_qs + s.mariaUser + u";Password="_qs + s.mariaPass +
                                       u";Database="_qs + schema + u"_odbc;"_qs);
  }
  ~BenchPlace() {
    if (maria) mysql_close(maria);
  }
  int rawCopy(const char* table, const char* select, const char* insert) {
    RawSink sink(rawFile, table, insert);
    return maria ? rawMariaCopy(maria, select, sink) : rawOdbcCopy(*odbc, select, sink);
  }
};

const std::vector<Place> benchPlaces{Place::MariaDb, Place::OdbcSqlite, Place::OdbcMariaDb};

const QByteArray daySelect = QStringLiteral("SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung FROM massnahme "
                                            "WHERE dasoll>=%1 AND dasoll<=%2")
                                 .arg(common::startOfDay(benchDay))
                                 .arg(common::endOfDay(benchDay))
                                 .toUtf8();

TEST(TransferBenchmark, CopiesBesideTheRawApis) {
  common::MainScreen screen = benchScreen();
  out << "Copies beside the raw C APIs (best of " << repeats << " runs)\n";
  out.flush();
  for (Place place : benchPlaces) {
    BenchPlace b(place);
    ASSERT_TRUE(b.server && b.local);
    // "Auslassliste holen": the outlet table.
    const double rawOutlets = bestSeconds([&] {
      EXPECT_EQ(b.rawCopy("auslass", "SELECT * FROM auslass ORDER BY ID", outletInsert), outletRows);
    });
    const qint64 before = statusKb("VmRSS:");
    resetPeakMemory();
    const double programOutlets = bestSeconds([&] {
      EXPECT_EQ(transfer::copyServerTable(u"auslass"_qs, b.server.get(), b.local.get(), screen), outletRows);
    });
    const qint64 peak = statusKb("VmHWM:");
    // "Daten abholen": a day of measures.
    const double rawDay = bestSeconds([&] {
      EXPECT_EQ(b.rawCopy("massnahme", daySelect.constData(), measureInsert), measureRows);
    });
    const double programDay = bestSeconds([&] {
      EXPECT_EQ(transfer::fetchDueMeasures(b.server.get(), b.local.get(), common::startOfDay(benchDay),
                                           common::endOfDay(benchDay), screen),
                measureRows);
    });
    out << QStringLiteral("%1\n").arg(b.name);
    out << QStringLiteral("  Auslassliste holen (%1 outlets): program %2, raw %3, ratio %4\n")
               .arg(outletRows).arg(ms(programOutlets), ms(rawOutlets), ratio(programOutlets, rawOutlets));
    out << QStringLiteral("    peak resident memory during the copy: %1 MB (%2 MB above the %3 MB before it)\n")
               .arg(peak / 1024.0, 0, 'f', 1).arg((peak - before) / 1024.0, 0, 'f', 1).arg(before / 1024.0, 0, 'f', 1);
    out << QStringLiteral("  Daten abholen (%1 measures): program %2, raw %3, ratio %4\n")
               .arg(measureRows).arg(ms(programDay), ms(rawDay), ratio(programDay, rawDay));
    out.flush();
  }
}

TEST(TransferBenchmark, ReturnBesideItsRoundTrips) {
  common::MainScreen screen = benchScreen();
  out << "Return beside its round trips (one run)\n";
  out.flush();
  // Statement counts of the return on the MariaDB server, reused for ODBC over SQLite,
  // whose file keeps no counters: the statements are the same.
  StatementCounts counts;
  for (Place place : benchPlaces) {
    BenchPlace b(place);
    ASSERT_TRUE(b.server && b.local);
    ASSERT_EQ(transfer::fetchDueMeasures(b.server.get(), b.local.get(), common::startOfDay(benchDay),
                                         common::endOfDay(benchDay), screen),
              measureRows);
    recordWork(b.local.get());
    MYSQL* admin = place == Place::OdbcSqlite ? nullptr : rawMariaConnect(u"information_schema"_qs);
    // The cost of one round trip, and of one raw keyed read and one raw autocommitted write
    // of a row, taken before the return: the floor under a statement that takes effect on its own.
    const char* lookup = "SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung FROM massnahme WHERE ID=2500";
    double roundTrip = 0, read = 0, write = 0;
    if (b.maria) {
      roundTrip = rawMariaStatement(b.maria, nullptr, 2000);
      read = rawMariaStatement(b.maria, lookup, 1000);
      write = rawMariaStatement(b.maria, "UPDATE probe SET wert=wert+1 WHERE ID=1", 500);
    } else {
      if (admin) roundTrip = rawMariaStatement(admin, nullptr, 2000);
      read = rawOdbcStatement(*b.odbc, lookup, 1000);
      write = rawOdbcStatement(*b.odbc, "UPDATE probe SET wert=wert+1 WHERE ID=1", 500);
      if (!admin) roundTrip = read;  // a file: one statement is the smallest exchange
    }
    const StatementCounts start = admin ? serverCounters(admin) : StatementCounts{};
    QElapsedTimer timer;
    timer.start();
    const int measures = transfer::returnMeasures(b.server.get(), b.local.get(), screen);
    const double programMeasures = timer.nsecsElapsed() / 1e9;
    timer.restart();
    const int results = transfer::returnResults(b.server.get(), b.local.get(), screen);
    const double programResults = timer.nsecsElapsed() / 1e9;
    EXPECT_GE(measures, changedMeasures);
    EXPECT_EQ(results, newResults);
    if (admin) counts = serverCounters(admin) - start;

    if (admin) mysql_close(admin);
    // SQLite writes and commits a row even when an UPDATE leaves it as it was; InnoDB does not.
    const qint64 durable = place == Place::OdbcSqlite ? counts.writes : counts.changed;
    const double floorTime = counts.reads * read + (counts.writes - durable) * roundTrip + durable * write;
    const double program = programMeasures + programResults;
    out << QStringLiteral("%1\n").arg(b.name);
    out << QStringLiteral("  Daten abgeben (%1 of %2 measures carried out, %3 results): program %4 "
                          "(measures %5, results %6)\n")
               .arg(changedMeasures).arg(measureRows).arg(newResults)
               .arg(ms(program), ms(programMeasures), ms(programResults));
    out << QStringLiteral("    %1 round trips%2 (%3 reads, %4 writes) x %5 us = %6, ratio %7\n")
               .arg(counts.total)
               .arg(place == Place::OdbcSqlite ? u" (counted on MariaDB)"_qs : QString())
               .arg(counts.reads).arg(counts.writes)
               .arg(roundTrip * 1e6, 0, 'f', 1)
               .arg(ms(counts.total * roundTrip), ratio(program, counts.total * roundTrip));
    out << QStringLiteral("    as many keyed reads (%1 us each) and durable autocommitted writes (%2, %3 us each) "
                          "through the raw API = %4, ratio %5\n")
               .arg(read * 1e6, 0, 'f', 1).arg(durable).arg(write * 1e6, 0, 'f', 1)
               .arg(ms(floorTime), ratio(program, floorTime));
    out.flush();
  }
}

}  // namespace
