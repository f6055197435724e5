// Benchmark of the transfers beside what the databases allow in the same run: the outlet
// copy (100,000 rows) and a day's measures (5,000) against the server's own C API feeding one
// prepared SQLite statement, and the return against its round trips times the loopback time
// and against the same statements through the raw C APIs.
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
#include <cstring>
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
// The tables of the return, under the prefix ("" for the program's, "raw_" for the yardstick's).
void createReturnTables(db::Connection* server, bool sqlite, const QString& prefix) {
  const QString integer = sqlite ? u"INTEGER"_qs : u"int"_qs;
  const QString key = integer + u" PRIMARY KEY"_qs;
  testsupport::run(server, {
      u"CREATE TABLE "_qs + prefix + u"massnahme (ID "_qs + key + u", AUID varchar(32), wastun varchar(128), dasoll "_qs +
          integer + u", dadurch "_qs + integer + u", werdurch varchar(64), anmerkung varchar(128))"_qs,
      u"CREATE TABLE "_qs + prefix + u"resultat (ID "_qs + key + u", AUID varchar(32), abda "_qs + integer +
          u", anme varchar(256), keim varchar(32), syst varchar(32), temp double, resu varchar(256), "
          "prot varchar(32))"_qs});
}

void fill(db::Connection* server, bool sqlite) {
  const QString integer = sqlite ? u"INTEGER"_qs : u"int"_qs;
  const QString key = integer + u" PRIMARY KEY"_qs;
  testsupport::run(server, {
      u"CREATE TABLE auslass (ID "_qs + key + u", AUID varchar(32), code varchar(32), art varchar(32), "
      "raum varchar(64), region varchar(64), hydron varchar(64))"_qs});
  createReturnTables(server, sqlite, QString());
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
};

// The MariaDB server's own counters; the bench is the only client of its server.
StatementCounts serverCounters(MYSQL* admin) {
  StatementCounts counts;
  mysql_query(admin, "SHOW GLOBAL STATUS WHERE Variable_name IN ('Questions','Com_select','Com_insert','Com_update')");
  MYSQL_RES* result = mysql_store_result(admin);
  while (MYSQL_ROW row = mysql_fetch_row(result)) {
    const qint64 value = std::strtoll(row[1], nullptr, 10);
    const std::string name = row[0];
    if (name == "Questions") counts.total = value;
    else if (name == "Com_select") counts.reads = value;
    else counts.writes += value;
  }
  mysql_free_result(result);
  return counts;
}

StatementCounts operator-(const StatementCounts& a, const StatementCounts& b) {
  // The second counter query is a question of its own (a SHOW, neither read nor write).
  return {a.total - b.total - 1, a.reads - b.reads, a.writes - b.writes};
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

// ---- The return's raw yardstick: the same work through the raw C APIs. ----

// A value bound to a prepared statement.
struct RawValue {
  enum Kind { Integer, Real, Text } kind;
  long long integer = 0;
  double real = 0;
  std::string text;
};
RawValue rawInteger(long long v) { return {RawValue::Integer, v, 0, {}}; }
RawValue rawReal(double v) { return {RawValue::Real, 0, v, {}}; }
RawValue rawText(std::string v) { return {RawValue::Text, 0, 0, std::move(v)}; }

// A server through its own C API: statements run as text, or prepared once and executed
// with bound values; one transaction at a time.
struct RawServer {
  virtual ~RawServer() = default;
  virtual bool exec(const char* sql) = 0;  // every row of a result is read
  virtual long long maxId(const char* table) = 0;
  virtual bool prepare(int slot, const char* sql) = 0;
  virtual bool run(int slot, const std::vector<RawValue>& values) = 0;
  virtual bool begin() = 0;
  virtual bool commit() = 0;
};

struct RawMariaServer : RawServer {
  MYSQL* m;
  MYSQL_STMT* statements[2] = {};
  explicit RawMariaServer(MYSQL* handle) : m(handle) {}
  ~RawMariaServer() override {
    for (MYSQL_STMT* s : statements)
      if (s) mysql_stmt_close(s);
  }
  bool exec(const char* sql) override {
    if (mysql_query(m, sql) != 0) return false;
    if (MYSQL_RES* r = mysql_store_result(m)) mysql_free_result(r);
    return true;
  }
  long long maxId(const char* table) override {
    const std::string sql = std::string("SELECT MAX(ID) FROM ") + table;
    if (mysql_query(m, sql.c_str()) != 0) return -1;
    MYSQL_RES* r = mysql_store_result(m);
    MYSQL_ROW row = r ? mysql_fetch_row(r) : nullptr;
    const long long id = row && row[0] ? std::strtoll(row[0], nullptr, 10) : 0;
    if (r) mysql_free_result(r);
    return id;
  }
  bool prepare(int slot, const char* sql) override {
    statements[slot] = mysql_stmt_init(m);
    return mysql_stmt_prepare(statements[slot], sql, std::strlen(sql)) == 0;
  }
  bool run(int slot, const std::vector<RawValue>& values) override {
    std::vector<MYSQL_BIND> binds(values.size());
    std::vector<unsigned long> lengths(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
      MYSQL_BIND& b = binds[i];
      std::memset(&b, 0, sizeof b);
      const RawValue& v = values[i];
      if (v.kind == RawValue::Integer) {
        b.buffer_type = MYSQL_TYPE_LONGLONG;
        b.buffer = const_cast<long long*>(&v.integer);
      } else if (v.kind == RawValue::Real) {
        b.buffer_type = MYSQL_TYPE_DOUBLE;
        b.buffer = const_cast<double*>(&v.real);
      } else {
        b.buffer_type = MYSQL_TYPE_STRING;
        b.buffer = const_cast<char*>(v.text.data());
        lengths[i] = v.text.size();
        b.length = &lengths[i];
      }
    }
    return mysql_stmt_bind_param(statements[slot], binds.data()) == 0 && mysql_stmt_execute(statements[slot]) == 0;
  }
  bool begin() override { return mysql_autocommit(m, 0) == 0; }
  bool commit() override { return mysql_commit(m) == 0 && mysql_autocommit(m, 1) == 0; }
};

struct RawOdbcServer : RawServer {
  RawOdbc& odbc;
  SQLHSTMT statements[2] = {SQL_NULL_HSTMT, SQL_NULL_HSTMT};
  explicit RawOdbcServer(RawOdbc& o) : odbc(o) {}
  ~RawOdbcServer() override {
    for (SQLHSTMT s : statements)
      if (s != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, s);
  }
  bool exec(const char* sql) override {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, odbc.dbc, &stmt);
    const SQLRETURN rc = SQLExecDirect(stmt, (SQLCHAR*)sql, SQL_NTS);
    const bool ok = SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
    SQLSMALLINT columns = 0;
    if (ok && SQL_SUCCEEDED(SQLNumResultCols(stmt, &columns)) && columns > 0) {
      char cell[512];
      SQLLEN indicator = 0;
      while (SQL_SUCCEEDED(SQLFetch(stmt)))
        for (SQLUSMALLINT c = 1; c <= columns; ++c) SQLGetData(stmt, c, SQL_C_CHAR, cell, sizeof cell, &indicator);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return ok;
  }
  long long maxId(const char* table) override {
    const std::string sql = std::string("SELECT MAX(ID) FROM ") + table;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, odbc.dbc, &stmt);
    SQLBIGINT id = 0;
    SQLLEN indicator = 0;
    const bool ok = SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR*)sql.c_str(), SQL_NTS)) && SQL_SUCCEEDED(SQLFetch(stmt)) &&
                    SQL_SUCCEEDED(SQLGetData(stmt, 1, SQL_C_SBIGINT, &id, 0, &indicator));
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return ok ? (indicator == SQL_NULL_DATA ? 0 : id) : -1;
  }
  bool prepare(int slot, const char* sql) override {
    SQLAllocHandle(SQL_HANDLE_STMT, odbc.dbc, &statements[slot]);
    return SQL_SUCCEEDED(SQLPrepare(statements[slot], (SQLCHAR*)sql, SQL_NTS));
  }
  bool run(int slot, const std::vector<RawValue>& values) override {
    SQLHSTMT stmt = statements[slot];
    std::vector<SQLLEN> lengths(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
      const RawValue& v = values[i];
      const SQLUSMALLINT n = static_cast<SQLUSMALLINT>(i + 1);
      if (v.kind == RawValue::Integer) {
        SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, const_cast<long long*>(&v.integer), 0,
                         nullptr);
      } else if (v.kind == RawValue::Real) {
        SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, const_cast<double*>(&v.real), 0, nullptr);
      } else {
        lengths[i] = static_cast<SQLLEN>(v.text.size());
        SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, std::max<SQLULEN>(1, v.text.size()), 0,
                         const_cast<char*>(v.text.data()), lengths[i], &lengths[i]);
      }
    }
    const SQLRETURN rc = SQLExecute(stmt);
    SQLFreeStmt(stmt, SQL_CLOSE);
    return SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
  }
  bool begin() override {
    return SQL_SUCCEEDED(
        SQLSetConnectAttr(odbc.dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER));
  }
  bool commit() override {
    return SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, odbc.dbc, SQL_COMMIT)) &&
           SQL_SUCCEEDED(SQLSetConnectAttr(odbc.dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON),
                                           SQL_IS_UINTEGER));
  }
};

// Batches of 16, 32, ... up to 512 rows, as the program sends them.
template <typename Work>
bool rawBatches(int n, Work work) {
  int size = 16;
  for (int first = 0; first < n; first += size, size = std::min(size * 2, 512))
    if (!work(first, std::min(size, n - first))) return false;
  return true;
}

// The return's work on copies of the server's tables (raw_massnahme, raw_resultat): per batch
// one read of the server's rows of the batch's measures, then each UPDATE of a changed
// measure, or each INSERT of a result under the highest ID + 1 (read once per batch, under
// a table lock where the server has one), all in one server transaction; and for each row
// the device's record written into a SQLite file by one statement prepared once, one local
// transaction per batch. Seconds, or NaN when a statement failed.
double rawReturn(RawServer& server, bool lockTables, const QString& localFile) {
  sqlite3* local = nullptr;
  sqlite3_open_v2(localFile.toUtf8().constData(), &local, SQLITE_OPEN_READWRITE, nullptr);
  sqlite3_exec(local,
               "CREATE TABLE IF NOT EXISTS rec (tabelle text, zeile int, serverID int, vorgang text, kennung text, "
               "PRIMARY KEY (tabelle, zeile))",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* record = nullptr;
  sqlite3_prepare_v2(local, "INSERT OR REPLACE INTO rec VALUES (?,?,?,?,?)", -1, &record, nullptr);
  auto recordRow = [&](const char* table, int row, long long serverId) {
    sqlite3_bind_text(record, 1, table, -1, SQLITE_STATIC);
    sqlite3_bind_int(record, 2, row);
    sqlite3_bind_int64(record, 3, serverId);
    sqlite3_bind_text(record, 4, "abgegeben", -1, SQLITE_STATIC);
    sqlite3_bind_text(record, 5, "'WB-1234','Spülen',1780000000", -1, SQLITE_STATIC);
    const bool ok = sqlite3_step(record) == SQLITE_DONE;
    sqlite3_reset(record);
    return ok;
  };
  bool ok = server.prepare(0, "UPDATE raw_massnahme SET dadurch=?,werdurch=?,anmerkung=? WHERE ID=?") &&
            server.prepare(1, "INSERT INTO raw_resultat (ID,AUID,abda,anme,keim,syst,temp,resu,prot) "
                              "VALUES (?,?,?,?,?,?,?,?,?)");
  QElapsedTimer timer;
  timer.start();
  ok = ok && rawBatches(changedMeasures, [&](int first, int count) {
    std::string ids;
    for (int id = first; id < first + count; ++id) ids += (ids.empty() ? "" : ",") + std::to_string(id);
    const std::string lookup =
        "SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung FROM raw_massnahme WHERE ID IN (" + ids + ")";
    if (!server.exec(lookup.c_str()) || !server.begin()) return false;
    sqlite3_exec(local, "BEGIN", nullptr, nullptr, nullptr);
    for (int id = first; id < first + count; ++id) {
      if (!server.run(0, {rawInteger(benchDay + 36000), rawText("Jürgen Weiß"), rawText("Spülen ok, 38 °C"),
                          rawInteger(id)}) ||
          !recordRow("massnahme", id + 1, id))
        return false;
    }
    return sqlite3_exec(local, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK && server.commit();
  });
  ok = ok && rawBatches(newResults, [&](int first, int count) {
    if (!server.begin()) return false;
    if (lockTables && !server.exec("LOCK TABLES raw_resultat WRITE")) return false;
    long long id = server.maxId("raw_resultat");
    if (id < 0) return false;
    sqlite3_exec(local, "BEGIN", nullptr, nullptr, nullptr);
    for (int i = first; i < first + count; ++i) {
      const std::string n = std::to_string(i + 1);
      if (!server.run(1, {rawInteger(++id), rawText("WB-" + n), rawInteger(benchDay + 36000 + i), rawText("Kaltwasser"),
                          rawText("KBE"), rawText("Trinkwasser"), rawReal(8.0 + (i % 500) / 10.0), rawText("&lt; 1"),
                          rawText("P-" + n)}) ||
          !recordRow("resultat", i + 1, id))
        return false;
    }
    return sqlite3_exec(local, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK && server.commit() &&
           (!lockTables || server.exec("UNLOCK TABLES"));
  });
  const double seconds = timer.nsecsElapsed() / 1e9;
  sqlite3_finalize(record);
  sqlite3_close(local);
  return ok ? seconds : qQNaN();
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
  out << "Return beside its round trips and beside the raw C APIs (one run)\n";
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
    // The cost of one round trip, taken before the return; on a file, one prepared keyed read
    // is the smallest exchange.
    double roundTrip = 0;
    if (b.maria) roundTrip = rawMariaStatement(b.maria, nullptr, 2000);
    else if (admin) roundTrip = rawMariaStatement(admin, nullptr, 2000);
    else roundTrip = rawOdbcStatement(*b.odbc, "SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung FROM massnahme "
                                               "WHERE ID=2500", 1000);

    // The same work through the raw C APIs, on copies of the tables in the same database.
    createReturnTables(b.server.get(), place == Place::OdbcSqlite, u"raw_"_qs);
    testsupport::run(b.server.get(), {u"INSERT INTO raw_massnahme SELECT * FROM massnahme"_qs});
    std::unique_ptr<RawServer> raw;
    if (b.maria) raw = std::make_unique<RawMariaServer>(b.maria);
    else raw = std::make_unique<RawOdbcServer>(*b.odbc);
    const double rawTime = rawReturn(*raw, place != Place::OdbcSqlite, b.rawFile);
    raw.reset();

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
    out << QStringLiteral("    the same statements through the raw C APIs (each prepared once, the same "
                          "transactions, the device's record by one prepared SQLite statement): %1 = %2 x the round "
                          "trips, ratio %3\n")
               .arg(ms(rawTime), ratio(rawTime, counts.total * roundTrip), ratio(program, rawTime));
    out.flush();
  }
}

}  // namespace
