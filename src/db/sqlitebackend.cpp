// The local database: SQLite files through the SQLite C API.
// Column kinds follow the declared column type, as the table browser records them.
#include "db/backend.h"

#include <sqlite3.h>

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

// Prepares the first statement of the text and binds the connection's parameters.
sqlite3_stmt* prepare(Connection* c, const QString& sql) {
  sqlite3_stmt* statement = nullptr;
  const QByteArray text = sql.toUtf8();
  if (sqlite3_prepare_v2(c->sqlite, text.constData(), static_cast<int>(text.size()), &statement,
                         nullptr) != SQLITE_OK) {
    reportError(c->sqlite);
    sqlite3_finalize(statement);
    return nullptr;
  }
  for (size_t i = 0; i < c->parameters.size(); ++i) {
    const QVariant& value = c->parameters[i];
    const int position = static_cast<int>(i) + 1;
    if (value.typeId() == QMetaType::LongLong) {
      sqlite3_bind_int64(statement, position, value.toLongLong());
    } else if (value.isValid()) {
      const QByteArray bytes = value.toString().toUtf8();
      sqlite3_bind_text(statement, position, bytes.constData(), static_cast<int>(bytes.size()),
                        SQLITE_TRANSIENT);
    }
  }
  return statement;
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

void sqliteClose(Connection* c) { sqlite3_close_v2(c->sqlite); }

bool sqliteExecute(Connection* c, const QString& sql) {
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
  q.sqliteStatement = prepare(q.connection, sql);
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
  sqlite3_finalize(q.sqliteStatement);
  q.sqliteStatement = nullptr;
}

}  // namespace db
