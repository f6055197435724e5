// One connection interface over the three database kinds: the local SQLite file, ODBC data
// sources and MariaDB servers. The last error text is kept once for the whole layer.
#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

namespace db {

enum class Backend { Sqlite, Odbc, MariaDb };

// The type class of a result column; the codes are those the table browser stores.
enum class ColumnKind : int { Long = 1, Text = 2, Float = 3, Double = 4, Quad = 5, Other = 6 };

struct Connection;

// Opens a database; nullptr on failure, with lastError() telling why.
//   Sqlite:  name is the file; it must exist and is opened for reading and writing.
//   Odbc:    name is the data source; empty user and password leave the source's own.
//   MariaDb: name is "host=… port=… dbname=…".
Connection* openDatabase(const QString& name, const QString& user, const QString& password,
                         Backend backend);
void closeDatabase(Connection* connection);
Backend backendOf(const Connection* connection);
// The file of an SQLite connection, as the operating system names it; empty for a database
// in memory and for the other kinds.
QString databaseFile(const Connection* connection);

// Owns a connection and closes it on every path out of its scope.
struct ConnectionCloser {
  void operator()(Connection* c) const { closeDatabase(c); }
};
using ConnectionGuard = std::unique_ptr<Connection, ConnectionCloser>;

// The error text of the last failed operation of any connection.
QString lastError();
void setLastError(const QString& text);
// The last failure was a second row for a key that the table holds only once.
bool lastErrorIsDuplicateKey();
void markLastErrorDuplicateKey();
// The last failure was the server giving up the transaction for a conflict with another
// one (a deadlock, or a cluster node's certification of a commit): tried again from its
// beginning, the same work may go through.
bool lastErrorIsConflict();
void markLastErrorConflict();

// Values for the "?" markers of the next execute or query on this connection, by
// position from 0. They are used once and then forgotten.
void bindText(Connection* connection, int index, const QString& value);
void bindInteger(Connection* connection, int index, qint64 value);

// Runs a statement without result. false on failure (lastError() is set).
bool execute(Connection* connection, const QString& sql);

// Statements between beginTransaction and commitTransaction take effect together: a
// rollback, or a connection that breaks before the commit, leaves none of them. On a server
// the session leaves autocommit for that time and goes back to it after the commit or the
// rollback. false after a failure, with lastError() telling why.
bool beginTransaction(Connection* connection);
bool commitTransaction(Connection* connection);
void rollbackTransaction(Connection* connection);  // the failure's own words stay for its message

// How a query hands over its rows. Buffered: the whole result is on the client when the
// query returns, and other statements may run on the connection meanwhile. Streamed: rows
// come as the server sends them (a MariaDB result read as it arrives, ODBC rows fetched in
// blocks), so memory stays flat however many rows there are; on a MariaDB connection no
// other statement may run until the query is finished.
enum class ReadMode { Buffered, Streamed };

// A query and its rows; finished when it goes out of scope. NULL reads as 0 or ''.
class Query {
 public:
  Query(Connection* connection, const QString& sql, ReadMode mode = ReadMode::Buffered);
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  bool ok() const;  // the query ran; false means lastError() tells why
  bool next();      // steps to the next row; false at the end or on failure
  bool failed() const;  // the last step met an error rather than the end of the rows
  int columnCount() const;
  QString columnName(int column) const;
  ColumnKind columnKind(int column) const;
  bool isNull(int column) const;
  qint32 int32(int column) const;
  qint64 int64(int column) const;
  float single(int column) const;
  double real(int column) const;
  QString text(int column) const;

  struct Impl;

 private:
  friend class Statement;
  std::unique_ptr<Impl> impl_;
};

// A statement with "?" markers, prepared once and executed for many rows with new values,
// such as the inserts of a copy into the local file or the rows a return sends. Every value
// is bound before each execution. SQLite compiles it once; a MariaDB server and an ODBC
// driver prepare it once, and each execution sends only the values. It must not outlive its
// connection.
class Statement {
 public:
  Statement(Connection* connection, const QString& sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const;  // prepared; false means lastError() tells why
  void bindInteger(int index, qint64 value);
  void bindText(int index, const QString& value);
  // A number as a statement's text writes it ("36.5", "-7"): each database takes it as it
  // takes that literal (SQLite as an integer or a real, a server as an exact number).
  void bindNumber(int index, const QString& literal);
  // The text a query's current row holds in the column, as Query::text() reads it, passed
  // on without an intermediate copy where the database allows; valid until the next row.
  void bindTextOf(int index, const Query& rows, int column);
  // The same text decoded from its stored form and stored again: what stands between the
  // apostrophes of quoteText(unescapeText(text)).
  void bindRestoredTextOf(int index, const Query& rows, int column);
  bool execute();  // false on failure, with lastError() telling why
  // The rows the last execution inserted, changed or deleted; -1 when the database cannot tell.
  qint64 changedRows() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace db
