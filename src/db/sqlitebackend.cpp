// The local database: SQLite files through the SQLite C API.
// Column kinds follow the declared column type, as the table browser records them.
#include "db/backend.h"

#include <sqlite3.h>

#include <map>
#include <string>

namespace db {

namespace {

ColumnKind kindOfDeclaredType(const char* declared) {
  const QString type = QString::fromUtf8(declared ? declared : "").toUpper();
  if (type.contains(u"REAL") || type.contains(u"FLOA") || type.contains(u"DOUB")) return ColumnKind::Double;
  if (type.contains(u"CHAR") || type.contains(u"CLOB") || type.contains(u"TEXT")) return ColumnKind::Text;
  if (type.contains(u"BLOB")) return ColumnKind::Other;
  return ColumnKind::Quad;
}

void reportError(sqlite3* handle) { setLastError(QString::fromUtf8(sqlite3_errmsg(handle))); }

// Statements with "?" markers are the ones a caller runs again and again with new values
// (a query per row of a list); each connection keeps them prepared, up to a few dozen, and
// resets them for the next use instead of parsing and planning the text anew.
struct CachedStatement {
  sqlite3_stmt* statement = nullptr;
  bool inUse = false;  // a query still reads its rows; a second one prepares its own
};
using StatementCache = std::map<std::string, CachedStatement>;
constexpr size_t cachedStatementLimit = 32;

std::map<sqlite3*, StatementCache>& statementCaches() {
  static std::map<sqlite3*, StatementCache> caches;
  return caches;
}

void bindParameters(Connection* c, sqlite3_stmt* statement) {
  for (size_t i = 0; i < c->parameters.size(); ++i) {
    const QVariant& value = c->parameters[i];
    const int position = static_cast<int>(i) + 1;
    if (value.typeId() == QMetaType::LongLong) {
      sqlite3_bind_int64(statement, position, value.toLongLong());
    } else if (value.typeId() == qMetaTypeId<NumberLiteral>()) {
      const NumberLiteral number = value.value<NumberLiteral>();
      if (number.isInteger()) sqlite3_bind_int64(statement, position, number.text.toLongLong());
      else sqlite3_bind_double(statement, position, number.text.toDouble());
    } else if (value.isValid()) {
      const QByteArray bytes = value.toString().toUtf8();
      sqlite3_bind_text(statement, position, bytes.constData(), static_cast<int>(bytes.size()),
                        SQLITE_TRANSIENT);
    }
  }
}

// Prepares the first statement of the text and binds the connection's parameters. With
// reuse, a statement with markers comes from the connection's cache (or goes into it).
sqlite3_stmt* prepare(Connection* c, const QString& sql, bool reuse = false) {
  const QByteArray text = sql.toUtf8();
  CachedStatement* slot = nullptr;
  if (reuse && text.contains('?')) {
    StatementCache& cache = statementCaches()[c->sqlite];
    const std::string key(text.constData(), static_cast<size_t>(text.size()));
    auto found = cache.find(key);
    if (found != cache.end() && !found->second.inUse) {
      sqlite3_reset(found->second.statement);
      sqlite3_clear_bindings(found->second.statement);
      found->second.inUse = true;
      bindParameters(c, found->second.statement);
      return found->second.statement;
    }
    if (found == cache.end() && cache.size() < cachedStatementLimit) slot = &cache[key];
  }
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(c->sqlite, text.constData(), static_cast<int>(text.size()), &statement,
                         nullptr) != SQLITE_OK) {
    reportError(c->sqlite);
    sqlite3_finalize(statement);
    if (slot) statementCaches()[c->sqlite].erase(std::string(text.constData(), static_cast<size_t>(text.size())));
    return nullptr;
  }
  if (slot) *slot = {statement, true};
  bindParameters(c, statement);
  return statement;
}

// A statement that changes the tables makes the kept ones stale: they are prepared anew, so
// that a query of a table that is gone fails at once, as it always did.
void forgetStatementsAfterSchemaChange(Connection* c, const QString& sql) {
  const QString verb = sql.trimmed().section(u' ', 0, 0).toUpper();
  if (verb != u"CREATE" && verb != u"DROP" && verb != u"ALTER") return;
  auto caches = statementCaches().find(c->sqlite);
  if (caches == statementCaches().end()) return;
  for (auto it = caches->second.begin(); it != caches->second.end();) {
    if (it->second.inUse) {
      ++it;
      continue;
    }
    sqlite3_finalize(it->second.statement);
    it = caches->second.erase(it);
  }
}

// Gives a statement back: a cached one is reset for its next use, any other finalized.
void release(Connection* c, sqlite3_stmt* statement) {
  auto caches = statementCaches().find(c->sqlite);
  if (caches != statementCaches().end()) {
    for (auto& [text, cached] : caches->second) {
      if (cached.statement != statement) continue;
      sqlite3_reset(statement);
      sqlite3_clear_bindings(statement);
      cached.inUse = false;
      return;
    }
  }
  sqlite3_finalize(statement);
}

}  // namespace

sqlite3_stmt* sqlitePrepare(Connection* c, const QString& sql) { return prepare(c, sql); }

Connection* sqliteOpen(const QString& file) {
  sqlite3* handle = nullptr;
  const int rc = sqlite3_open_v2(file.toUtf8().constData(), &handle, SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) {
    setLastError(handle ? QString::fromUtf8(sqlite3_errmsg(handle))
                        : QString::fromUtf8(sqlite3_errstr(rc)));
    sqlite3_close(handle);
    return nullptr;
  }
  // Another program holding the file briefly (a copy, a backup) should not fail a statement.
  sqlite3_busy_timeout(handle, 5000);
  auto* c = new Connection;
  c->backend = Backend::Sqlite;
  c->sqlite = handle;
  return c;
}

void sqliteClose(Connection* c) {
  auto caches = statementCaches().find(c->sqlite);
  if (caches != statementCaches().end()) {
    for (auto& [text, cached] : caches->second) sqlite3_finalize(cached.statement);
    statementCaches().erase(caches);
  }
  sqlite3_close_v2(c->sqlite);
}

bool sqliteExecute(Connection* c, const QString& sql) {
  forgetStatementsAfterSchemaChange(c, sql);
  if (c->parameters.empty()) {
    char* message = nullptr;
    if (sqlite3_exec(c->sqlite, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK)
      return true;
    setLastError(QString::fromUtf8(message ? message : sqlite3_errmsg(c->sqlite)));
    sqlite3_free(message);
    return false;
  }
  sqlite3_stmt* statement = prepare(c, sql);
  if (!statement) return false;
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) reportError(c->sqlite);
  sqlite3_finalize(statement);
  return rc == SQLITE_DONE;
}

bool sqliteQuery(Query::Impl& q, const QString& sql) {
  q.sqliteStatement = prepare(q.connection, sql, true);
  if (!q.sqliteStatement) return false;
  const int count = sqlite3_column_count(q.sqliteStatement);
  for (int i = 0; i < count; ++i) {
    q.columns.push_back({QString::fromUtf8(sqlite3_column_name(q.sqliteStatement, i)),
                         kindOfDeclaredType(sqlite3_column_decltype(q.sqliteStatement, i))});
  }
  return true;
}

bool sqliteNext(Query::Impl& q) {
  const int rc = sqlite3_step(q.sqliteStatement);
  if (rc == SQLITE_ROW) return true;
  if (rc != SQLITE_DONE) {
    reportError(q.connection->sqlite);
    q.failed = true;
  }
  return false;
}

void sqliteFinish(Query::Impl& q) {
  if (q.sqliteStatement) release(q.connection, q.sqliteStatement);
  q.sqliteStatement = nullptr;
}

}  // namespace db
