// What the three backends of the connection layer share: the connection record, the row
// cell that ODBC and MariaDB rows are read into, and the layer's error text.
#pragma once

#include "db/database.h"

#include <QVariant>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
struct st_mysql;
struct st_mysql_res;
struct st_mysql_stmt;

namespace db {

struct Connection {
  Backend backend = Backend::Sqlite;
  sqlite3* sqlite = nullptr;
  void* odbcEnv = nullptr;
  void* odbcDbc = nullptr;
  bool odbcUnicode = false;  // the driver takes UTF-16 calls; otherwise UTF-8 bytes
  bool odbcUtf8Rows = false;  // a MariaDB or MySQL session whose rows come as UTF-8 bytes
  bool odbcPrepareQueries = false;  // queries for rows go through SQLPrepare and SQLExecute
  bool odbcSqlite = false;  // the driver of an SQLite file, which reads a number literal as a real
  QString odbcProduct;  // the database the driver says it serves, with its version
  bool odbcInTransaction = false;
  bool odbcTransactionFailed = false;  // a statement of the open transaction failed
  int kind = -1;  // databaseKind, once known
  st_mysql* mysql = nullptr;
  int clusterNode = -1;  // the answer of isClusterNode, once asked
  std::vector<QVariant> parameters;  // QString, qint64 or NumberLiteral, by "?" position
};

// A bound number in the form a statement's text gives it (Statement::bindNumber).
struct NumberLiteral {
  QString text;
  bool isInteger() const;
};

// A value of a row that was read out of the driver when the row was stepped to.
struct Cell {
  enum Type { Null, Integer, Single, Real, Text } type = Null;
  qint64 integer = 0;
  double real = 0;
  QString text;
};

struct ColumnInfo {
  QString name;
  ColumnKind kind = ColumnKind::Other;
};

// The rows of a streamed ODBC query: bound column arrays filled a block at a time.
struct OdbcBlock;
void freeOdbcBlock(OdbcBlock* block);
struct OdbcBlockDeleter {
  void operator()(OdbcBlock* block) const { freeOdbcBlock(block); }
};

struct Query::Impl {
  Connection* connection = nullptr;
  ReadMode mode = ReadMode::Buffered;
  bool ok = false;
  bool failed = false;  // a step met an error
  std::vector<ColumnInfo> columns;
  std::vector<Cell> cells;  // the current row (ODBC row by row)
  sqlite3_stmt* sqliteStatement = nullptr;
  void* odbcStatement = nullptr;
  std::unique_ptr<OdbcBlock, OdbcBlockDeleter> odbcBlock;
  st_mysql_res* mysqlResult = nullptr;
  char** mysqlRow = nullptr;  // the current row as the client library holds it
  const unsigned long* mysqlLengths = nullptr;
};

// A cell's text as UTF-8 bytes that stay valid until the next row, when the backend holds
// it so; false when the caller has to go through Query::text().
struct Utf8View {
  const char* data = nullptr;
  qsizetype size = 0;
};

// True for bytes that QString::fromUtf8 takes over unchanged (and toUtf8 gives back).
bool isPlainUtf8(const char* data, qsizetype size);

// The cells of a row held by the MariaDB client library or an ODBC block, read on demand.
Cell mariaCell(const Query::Impl& q, int column);
bool mariaUtf8(const Query::Impl& q, int column, Utf8View& view);
bool odbcBlockCell(const Query::Impl& q, int column, Cell& cell);
bool odbcBlockUtf8(const Query::Impl& q, int column, Utf8View& view);

// Makes a MariaDB or MySQL session take string literals as written. The program's literals
// already carry their own backslash escaping (the stored text form); a server that read
// backslashes as escapes would store "C:\temp" as "C:" + tab + "emp".
inline const QString literalBackslashes =
    QStringLiteral("SET SESSION sql_mode=CONCAT_WS(',', NULLIF(@@sql_mode, ''), 'NO_BACKSLASH_ESCAPES')");

// Conversions of a stored cell to what the caller asks for, like SQLite's own.
qint64 cellInt64(const Cell& cell);
double cellReal(const Cell& cell);
QString cellText(const Cell& cell);

enum class TransactionStep { Begin, Commit, Rollback };

// Per backend; each reports its own failures through setLastError.
Connection* sqliteOpen(const QString& file);
void sqliteClose(Connection* c);
bool sqliteExecute(Connection* c, const QString& sql);
bool sqliteQuery(Query::Impl& q, const QString& sql);
sqlite3_stmt* sqlitePrepare(Connection* c, const QString& sql);
bool sqliteNext(Query::Impl& q);
void sqliteFinish(Query::Impl& q);

Connection* odbcOpen(const QString& source, const QString& user, const QString& password);
void odbcClose(Connection* c);
bool odbcExecute(Connection* c, const QString& sql);
bool odbcTransaction(Connection* c, TransactionStep step);
// A statement prepared once and run with the connection's parameters; nullptr on failure.
void* odbcPrepare(Connection* c, const QString& sql);
// changed: the rows the statement inserted, changed or deleted, -1 when the driver cannot tell.
bool odbcExecutePrepared(Connection* c, void* statement, qint64& changed);
void odbcFreePrepared(void* statement);
bool odbcQuery(Query::Impl& q, const QString& sql);
bool odbcNext(Query::Impl& q);
void odbcFinish(Query::Impl& q);

Connection* mariaOpen(const QString& connectionText, const QString& user, const QString& password);
void mariaClose(Connection* c);
bool mariaExecute(Connection* c, const QString& sql);
bool mariaTransaction(Connection* c, TransactionStep step);
st_mysql_stmt* mariaPrepare(Connection* c, const QString& sql);
bool mariaExecutePrepared(Connection* c, st_mysql_stmt* statement, qint64& changed);
void mariaFreePrepared(st_mysql_stmt* statement);
bool mariaQuery(Query::Impl& q, const QString& sql);
bool mariaNext(Query::Impl& q);
void mariaFinish(Query::Impl& q);

}  // namespace db

Q_DECLARE_METATYPE(db::NumberLiteral)
