// The connection layer's front: dispatch to the backend of a connection, the typed reads
// of a row, and the error text that the whole layer shares.
#include "db/backend.h"
#include "db/quoting.h"

#include <sqlite3.h>

#include <QLocale>
#include <QStringEncoder>

#include <charconv>
#include <cmath>
#include <limits>

namespace db {

namespace {
QString& errorText() {
  static QString text;
  return text;
}

// The longest leading number of a text, as SQLite reads "12,5" or " 7 kg".
double leadingNumber(const QString& text) {
  const QByteArray bytes = text.trimmed().toUtf8();
  double value = 0;
  const char* begin = bytes.constData();
  if (*begin == '+') ++begin;
  std::from_chars(begin, bytes.constData() + bytes.size(), value);
  return value;
}
}  // namespace

static bool& duplicateKey() {
  static bool duplicate = false;
  return duplicate;
}

static bool& conflict() {
  static bool conflicted = false;
  return conflicted;
}

void setLastError(const QString& text) {
  errorText() = text;
  duplicateKey() = false;
  conflict() = false;
}
bool lastErrorIsDuplicateKey() { return duplicateKey(); }
void markLastErrorDuplicateKey() { duplicateKey() = true; }
bool lastErrorIsConflict() { return conflict(); }
void markLastErrorConflict() { conflict() = true; }
QString lastError() { return errorText(); }

qint64 cellInt64(const Cell& cell) {
  switch (cell.type) {
    case Cell::Integer: return cell.integer;
    case Cell::Single:
    case Cell::Real:
    case Cell::Text: {
      const double d = cell.type == Cell::Text ? leadingNumber(cell.text) : cell.real;
      if (!std::isfinite(d)) return 0;
      if (d >= 9.2e18) return std::numeric_limits<qint64>::max();
      if (d <= -9.2e18) return std::numeric_limits<qint64>::min();
      return static_cast<qint64>(d);
    }
    case Cell::Null: break;
  }
  return 0;
}

double cellReal(const Cell& cell) {
  switch (cell.type) {
    case Cell::Integer: return static_cast<double>(cell.integer);
    case Cell::Single:
    case Cell::Real: return cell.real;
    case Cell::Text: return leadingNumber(cell.text);
    case Cell::Null: break;
  }
  return 0;
}

QString cellText(const Cell& cell) {
  switch (cell.type) {
    case Cell::Integer: return QString::number(cell.integer);
    case Cell::Single: {
      char buffer[32];
      auto end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(cell.real)).ptr;
      return QString::fromLatin1(buffer, end - buffer);
    }
    case Cell::Real: return QString::number(cell.real, 'g', QLocale::FloatingPointShortest);
    case Cell::Text: return cell.text;
    case Cell::Null: break;
  }
  return QString();
}

Connection* openDatabase(const QString& name, const QString& user, const QString& password,
                         Backend backend) {
  switch (backend) {
    case Backend::Sqlite: return sqliteOpen(name);
    case Backend::Odbc: return odbcOpen(name, user, password);
    case Backend::MariaDb: return mariaOpen(name, user, password);
  }
  return nullptr;
}

void closeDatabase(Connection* c) {
  if (!c) return;
  switch (c->backend) {
    case Backend::Sqlite: sqliteClose(c); break;
    case Backend::Odbc: odbcClose(c); break;
    case Backend::MariaDb: mariaClose(c); break;
  }
  delete c;
}

Backend backendOf(const Connection* c) { return c->backend; }

QString databaseFile(const Connection* c) {
  if (!c || c->backend != Backend::Sqlite) return {};
  const char* file = sqlite3_db_filename(c->sqlite, "main");
  return file ? QString::fromUtf8(file) : QString();
}

namespace {
void setParameter(Connection* c, int index, const QVariant& value) {
  if (!c || index < 0) return;
  if (static_cast<size_t>(index) >= c->parameters.size()) c->parameters.resize(index + 1);
  c->parameters[index] = value;
}
}  // namespace

void bindText(Connection* c, int index, const QString& value) { setParameter(c, index, value); }
void bindInteger(Connection* c, int index, qint64 value) {
  setParameter(c, index, QVariant::fromValue(value));
}

bool execute(Connection* c, const QString& sql) {
  if (!c) {
    setLastError(QStringLiteral("Keine Datenbankverbindung"));
    return false;
  }
  bool ok = false;
  switch (c->backend) {
    case Backend::Sqlite: ok = sqliteExecute(c, sql); break;
    case Backend::Odbc: ok = odbcExecute(c, sql); break;
    case Backend::MariaDb: ok = mariaExecute(c, sql); break;
  }
  c->parameters.clear();
  return ok;
}

namespace {
bool transactionStep(Connection* c, TransactionStep step) {
  if (!c) {
    setLastError(QStringLiteral("Keine Datenbankverbindung"));
    return false;
  }
  switch (c->backend) {
    case Backend::Sqlite:
      return sqliteExecute(c, step == TransactionStep::Begin    ? QStringLiteral("BEGIN")
                              : step == TransactionStep::Commit ? QStringLiteral("COMMIT")
                                                                : QStringLiteral("ROLLBACK"));
    case Backend::Odbc: return odbcTransaction(c, step);
    case Backend::MariaDb: return mariaTransaction(c, step);
  }
  return false;
}
}  // namespace

bool beginTransaction(Connection* c) { return transactionStep(c, TransactionStep::Begin); }
bool commitTransaction(Connection* c) { return transactionStep(c, TransactionStep::Commit); }
void rollbackTransaction(Connection* c) {
  const QString error = lastError();
  transactionStep(c, TransactionStep::Rollback);
  setLastError(error);
}

Query::Query(Connection* c, const QString& sql, ReadMode mode) : impl_(std::make_unique<Impl>()) {
  impl_->connection = c;
  impl_->mode = mode;
  if (!c) {
    setLastError(QStringLiteral("Keine Datenbankverbindung"));
    return;
  }
  switch (c->backend) {
    case Backend::Sqlite: impl_->ok = sqliteQuery(*impl_, sql); break;
    case Backend::Odbc: impl_->ok = odbcQuery(*impl_, sql); break;
    case Backend::MariaDb: impl_->ok = mariaQuery(*impl_, sql); break;
  }
  c->parameters.clear();
}

Query::~Query() {
  if (!impl_->connection) return;
  switch (impl_->connection->backend) {
    case Backend::Sqlite: sqliteFinish(*impl_); break;
    case Backend::Odbc: odbcFinish(*impl_); break;
    case Backend::MariaDb: mariaFinish(*impl_); break;
  }
}

bool Query::ok() const { return impl_->ok; }
bool Query::failed() const { return impl_->failed; }

bool Query::next() {
  if (!impl_->ok) return false;
  switch (impl_->connection->backend) {
    case Backend::Sqlite: return sqliteNext(*impl_);
    case Backend::Odbc: return odbcNext(*impl_);
    case Backend::MariaDb: return mariaNext(*impl_);
  }
  return false;
}

int Query::columnCount() const { return static_cast<int>(impl_->columns.size()); }

QString Query::columnName(int column) const {
  if (column < 0 || column >= columnCount()) return QString();
  return impl_->columns[column].name;
}

ColumnKind Query::columnKind(int column) const {
  if (column < 0 || column >= columnCount()) return ColumnKind::Other;
  return impl_->columns[column].kind;
}

// SQLite rows are read straight from the statement, with SQLite's own conversions; MariaDB
// rows and ODBC blocks from the library's buffers when a cell is asked for; ODBC rows read
// one by one from the cells taken when the row was stepped to.
namespace {
bool cellAt(const Query::Impl& q, int column, Cell& cell) {
  if (column < 0 || static_cast<size_t>(column) >= q.columns.size()) return false;
  if (q.mysqlRow) {
    cell = mariaCell(q, column);
    return true;
  }
  if (q.odbcBlock) return odbcBlockCell(q, column, cell);
  if (static_cast<size_t>(column) >= q.cells.size()) return false;
  cell = q.cells[column];
  return true;
}
bool sqliteColumn(const Query::Impl& q, int column) {
  return q.sqliteStatement && column >= 0 && column < sqlite3_data_count(q.sqliteStatement);
}
}  // namespace

bool Query::isNull(int column) const {
  if (impl_->sqliteStatement)
    return !sqliteColumn(*impl_, column) ||
           sqlite3_column_type(impl_->sqliteStatement, column) == SQLITE_NULL;
  if (impl_->mysqlRow) return column < 0 || column >= columnCount() || !impl_->mysqlRow[column];
  Cell cell;
  return !cellAt(*impl_, column, cell) || cell.type == Cell::Null;
}

qint64 Query::int64(int column) const {
  if (impl_->sqliteStatement)
    return sqliteColumn(*impl_, column) ? sqlite3_column_int64(impl_->sqliteStatement, column) : 0;
  Cell cell;
  return cellAt(*impl_, column, cell) ? cellInt64(cell) : 0;
}

qint32 Query::int32(int column) const { return static_cast<qint32>(int64(column)); }

double Query::real(int column) const {
  if (impl_->sqliteStatement)
    return sqliteColumn(*impl_, column) ? sqlite3_column_double(impl_->sqliteStatement, column) : 0;
  Cell cell;
  return cellAt(*impl_, column, cell) ? cellReal(cell) : 0;
}

float Query::single(int column) const { return static_cast<float>(real(column)); }

QString Query::text(int column) const {
  if (impl_->sqliteStatement) {
    if (!sqliteColumn(*impl_, column)) return QString();
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(impl_->sqliteStatement, column));
    return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(impl_->sqliteStatement, column))
                 : QString();
  }
  Cell cell;
  return cellAt(*impl_, column, cell) ? cellText(cell) : QString();
}

bool isPlainUtf8(const char* data, qsizetype size) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  const auto* end = p + size;
  // A byte order mark at the start is a decoder's business; leave it to QString.
  if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return false;
  while (p < end) {
    const unsigned char b = *p;
    if (b < 0x80) {
      ++p;
      continue;
    }
    int extra;
    unsigned int code;
    if (b >= 0xC2 && b <= 0xDF) extra = 1, code = b & 0x1F;
    else if (b >= 0xE0 && b <= 0xEF) extra = 2, code = b & 0x0F;
    else if (b >= 0xF0 && b <= 0xF4) extra = 3, code = b & 0x07;
    else return false;
    if (end - p <= extra) return false;
    for (int i = 1; i <= extra; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      code = (code << 6) | (p[i] & 0x3F);
    }
    if ((extra == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
        (extra == 3 && (code < 0x10000 || code > 0x10FFFF)))
      return false;
    p += extra + 1;
  }
  return true;
}

// ---- Statements prepared once ----

bool NumberLiteral::isInteger() const {
  const qsizetype first = text.startsWith(u'-') || text.startsWith(u'+') ? 1 : 0;
  if (text.size() <= first) return false;
  for (qsizetype i = first; i < text.size(); ++i)
    if (!text[i].isDigit()) return false;
  return true;
}

struct Statement::Impl {
  Connection* connection = nullptr;
  QString sql;
  sqlite3_stmt* sqlite = nullptr;
  st_mysql_stmt* mysql = nullptr;
  void* odbc = nullptr;
  bool ok = false;
  qint64 changed = -1;
  std::vector<QByteArray> texts;  // UTF-8 of bound texts, kept until the statement runs
  QStringEncoder encoder{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
};

Statement::Statement(Connection* c, const QString& sql) : impl_(std::make_unique<Impl>()) {
  impl_->connection = c;
  impl_->sql = sql;
  if (!c) {
    setLastError(QStringLiteral("Keine Datenbankverbindung"));
    return;
  }
  c->parameters.clear();
  switch (c->backend) {
    case Backend::Sqlite:
      impl_->sqlite = sqlitePrepare(c, sql);
      impl_->ok = impl_->sqlite != nullptr;
      break;
    case Backend::MariaDb:
      impl_->mysql = mariaPrepare(c, sql);
      impl_->ok = impl_->mysql != nullptr;
      break;
    case Backend::Odbc:
      impl_->odbc = odbcPrepare(c, sql);
      impl_->ok = impl_->odbc != nullptr;
      break;
  }
}

Statement::~Statement() {
  sqlite3_finalize(impl_->sqlite);
  if (impl_->mysql) mariaFreePrepared(impl_->mysql);
  if (impl_->odbc) odbcFreePrepared(impl_->odbc);
}

bool Statement::ok() const { return impl_->ok; }

void Statement::bindInteger(int index, qint64 value) {
  if (impl_->sqlite) sqlite3_bind_int64(impl_->sqlite, index + 1, value);
  else if (impl_->connection) db::bindInteger(impl_->connection, index, value);
}

void Statement::bindText(int index, const QString& value) {
  if (!impl_->sqlite) {
    if (impl_->connection) db::bindText(impl_->connection, index, value);
    return;
  }
  if (static_cast<size_t>(index) >= impl_->texts.size()) impl_->texts.resize(index + 1);
  QByteArray& bytes = impl_->texts[index];
  // Encoded into the buffer this position keeps, so that a long copy makes no new one per row.
  bytes.resize(value.size() * 3);
  char* end = impl_->encoder.appendToBuffer(bytes.data(), value);
  bytes.resize(end - bytes.constData());
  sqlite3_bind_text(impl_->sqlite, index + 1, bytes.constData(), static_cast<int>(bytes.size()), SQLITE_STATIC);
}

namespace {
// The UTF-8 bytes of a text cell that the backend holds and that Query::text() would give
// back unchanged; false when only Query::text() can tell.
bool heldText(const Query::Impl& q, int column, Utf8View& view) {
  if (column < 0 || static_cast<size_t>(column) >= q.columns.size()) return false;
  const ColumnKind kind = q.columns[column].kind;
  if (kind != ColumnKind::Text && kind != ColumnKind::Other) return false;
  const bool held = (q.mysqlRow && mariaUtf8(q, column, view)) || (q.odbcBlock && odbcBlockUtf8(q, column, view));
  return held && isPlainUtf8(view.data, view.size);
}
}  // namespace

void Statement::bindNumber(int index, const QString& literal) {
  const NumberLiteral number{literal};
  if (impl_->sqlite) {
    if (number.isInteger()) sqlite3_bind_int64(impl_->sqlite, index + 1, literal.toLongLong());
    else sqlite3_bind_double(impl_->sqlite, index + 1, literal.toDouble());
  } else if (impl_->connection) {
    setParameter(impl_->connection, index, QVariant::fromValue(number));
  }
}

void Statement::bindTextOf(int index, const Query& rows, int column) {
  Utf8View view;
  if (impl_->sqlite && heldText(*rows.impl_, column, view)) {
    sqlite3_bind_text(impl_->sqlite, index + 1, view.data ? view.data : "", static_cast<int>(view.size),
                      SQLITE_STATIC);
  } else {
    bindText(index, rows.text(column));
  }
}

namespace {
// A stored text that decoding and storing again leave as it is: nothing to decode (no
// entity, no backslash) and nothing to escape.
bool storesAsItIs(const char* data, qsizetype size) {
  for (qsizetype i = 0; i < size; ++i) {
    switch (data[i]) {
      case 7: case 8: case 9: case 10: case 11: case 12: case 13:
      case '"': case '\\': case '&': case '<': case '>': case '\'': return false;
      default: break;
    }
  }
  return true;
}
}  // namespace

void Statement::bindRestoredTextOf(int index, const Query& rows, int column) {
  Utf8View view;
  if (impl_->sqlite && heldText(*rows.impl_, column, view) && storesAsItIs(view.data, view.size)) {
    sqlite3_bind_text(impl_->sqlite, index + 1, view.data ? view.data : "", static_cast<int>(view.size),
                      SQLITE_STATIC);
  } else {
    bindText(index, restoreText(rows.text(column)));
  }
}

bool Statement::execute() {
  if (!impl_->ok) return false;
  impl_->changed = -1;
  if (!impl_->sqlite) {
    Connection* c = impl_->connection;
    const bool ok = impl_->mysql ? mariaExecutePrepared(c, impl_->mysql, impl_->changed)
                                 : odbcExecutePrepared(c, impl_->odbc, impl_->changed);
    c->parameters.clear();
    return ok;
  }
  int rc;
  while ((rc = sqlite3_step(impl_->sqlite)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) setLastError(QString::fromUtf8(sqlite3_errmsg(impl_->connection->sqlite)));
  else impl_->changed = sqlite3_changes64(impl_->connection->sqlite);
  sqlite3_reset(impl_->sqlite);
  return rc == SQLITE_DONE;
}

qint64 Statement::changedRows() const { return impl_->changed; }

}  // namespace db
