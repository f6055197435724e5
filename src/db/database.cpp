// The connection layer's front: dispatch to the backend of a connection, the typed reads
// of a row, and the error text that the whole layer shares.
#include "db/backend.h"

#include <sqlite3.h>

#include <QLocale>

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

void setLastError(const QString& text) {
  errorText() = text;
  duplicateKey() = false;
}
bool lastErrorIsDuplicateKey() { return duplicateKey(); }
void markLastErrorDuplicateKey() { duplicateKey() = true; }
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

Query::Query(Connection* c, const QString& sql) : impl_(std::make_unique<Impl>()) {
  impl_->connection = c;
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

// SQLite rows are read straight from the statement, with SQLite's own conversions; the
// other backends read from the cells taken when the row was stepped to.
namespace {
const Cell* cellAt(const Query::Impl& q, int column) {
  if (column < 0 || static_cast<size_t>(column) >= q.cells.size()) return nullptr;
  return &q.cells[column];
}
bool sqliteColumn(const Query::Impl& q, int column) {
  return q.sqliteStatement && column >= 0 && column < sqlite3_data_count(q.sqliteStatement);
}
}  // namespace

bool Query::isNull(int column) const {
  if (impl_->sqliteStatement)
    return !sqliteColumn(*impl_, column) ||
           sqlite3_column_type(impl_->sqliteStatement, column) == SQLITE_NULL;
  const Cell* cell = cellAt(*impl_, column);
  return !cell || cell->type == Cell::Null;
}

qint64 Query::int64(int column) const {
  if (impl_->sqliteStatement)
    return sqliteColumn(*impl_, column) ? sqlite3_column_int64(impl_->sqliteStatement, column) : 0;
  const Cell* cell = cellAt(*impl_, column);
  return cell ? cellInt64(*cell) : 0;
}

qint32 Query::int32(int column) const { return static_cast<qint32>(int64(column)); }

double Query::real(int column) const {
  if (impl_->sqliteStatement)
    return sqliteColumn(*impl_, column) ? sqlite3_column_double(impl_->sqliteStatement, column) : 0;
  const Cell* cell = cellAt(*impl_, column);
  return cell ? cellReal(*cell) : 0;
}

float Query::single(int column) const { return static_cast<float>(real(column)); }

QString Query::text(int column) const {
  if (impl_->sqliteStatement) {
    if (!sqliteColumn(*impl_, column)) return QString();
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(impl_->sqliteStatement, column));
    return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(impl_->sqliteStatement, column))
                 : QString();
  }
  const Cell* cell = cellAt(*impl_, column);
  return cell ? cellText(*cell) : QString();
}

}  // namespace db
