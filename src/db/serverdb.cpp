// Opening an object's server database by the configured mode, and the small queries that
// the transfers share.
#include "db/serverdb.h"

#include "common/programend.h"
#include "db/backend.h"
#include "db/messages.h"

namespace db {

namespace {

QString connectionValue(const QString& value) {
  if (!value.contains(u' ') && !value.contains(u'\'') && !value.contains(u'\\')) return value;
  QString quoted = u"'"_qs;
  for (const QChar c : value) {
    if (c == u'\'' || c == u'\\') quoted += u'\\';
    quoted += c;
  }
  return quoted + u'\'';
}

}  // namespace

QString mariaDbConnectionText(const QString& host, const QString& port, const QString& database) {
  return u"host="_qs + connectionValue(host) + u" port="_qs + connectionValue(port) + u" dbname="_qs +
         connectionValue(database);
}

QMap<QString, QString> readMariaDbConnectionText(const QString& text) {
  QMap<QString, QString> pairs;
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n) {
    while (i < n && text[i] == u' ') ++i;
    const qsizetype start = i;
    while (i < n && text[i] != u'=' && text[i] != u' ') ++i;
    if (i >= n || text[i] != u'=') continue;  // a word without "=" means nothing
    const QString key = text.mid(start, i - start).toLower();
    ++i;
    QString value;
    if (i < n && text[i] == u'\'') {
      // Quoted: \' and \\ stand for the character; the closing apostrophe ends the value.
      for (++i; i < n && text[i] != u'\''; ++i) {
        if (text[i] == u'\\' && i + 1 < n && (text[i + 1] == u'\'' || text[i + 1] == u'\\')) ++i;
        value += text[i];
      }
      ++i;
    } else {
      while (i < n && text[i] != u' ') value += text[i++];
    }
    pairs.insert(key, value);
  }
  return pairs;
}

Connection* openMariaDb(const QString& host, const QString& port, const QString& database,
                        const QString& user, const QString& password) {
  // The connection comes with its session set up for utf8mb4 and literal backslashes.
  return openDatabase(mariaDbConnectionText(host, port, database), user, password, Backend::MariaDb);
}

Connection* openServerDatabase(const QString& objectName, const ServerSettings& settings) {
  if (settings.mode == u"ODBC") return openDatabase(objectName, QString(), QString(), Backend::Odbc);
  if (settings.mode == u"MARIADB")
    return openMariaDb(settings.host, settings.port, objectName, settings.user, settings.password);
  setLastError(u"Unbekannte Verbindungsart DB_MODE="_qs + settings.mode);
  return nullptr;
}

namespace {
// The kind a version text names, 0 for none of them.
int kindOfVersion(const QString& version) {
  if (version.contains(u"Maria", Qt::CaseInsensitive)) return 2;
  if (version.contains(u"my", Qt::CaseInsensitive)) return 3;
  if (version.contains(u"Microsoft", Qt::CaseInsensitive)) return 4;
  return 0;
}

// Asks the server with statements; each one a server of another kind does not know stands in
// its log as a failure, so only where the connection cannot say what it is.
int probeKind(Connection* connection) {
  if (connection->backend != Backend::MariaDb) {
    Query sqlite(connection, QStringLiteral("SELECT sqlite_version();"));
    if (sqlite.ok()) return 1;
  }
  Query query(connection, QStringLiteral("SELECT @@VERSION;"));
  if (!query.ok()) return 0;
  return kindOfVersion(query.next() ? query.text(0) : QString());
}

// The kind of a connection: the local file is SQLite; an ODBC driver names its database
// (name and version), which spares the server statements it would refuse.
int connectionKind(Connection* connection) {
  if (connection->backend == Backend::Sqlite) return 1;
  const QString product = connection->odbcProduct;
  if (connection->backend == Backend::Odbc && !product.isEmpty()) {
    if (product.contains(u"SQLite", Qt::CaseInsensitive)) return 1;
    if (product.contains(u"PostgreSQL", Qt::CaseInsensitive)) return postgreSqlKind;
    if (const int kind = kindOfVersion(product)) return kind;
  }
  return probeKind(connection);
}
}  // namespace

int databaseKind(Connection* connection) {
  if (!connection) return 0;
  if (connection->kind < 0) connection->kind = connectionKind(connection);
  return connection->kind;
}

bool isClusterNode(Connection* connection) {
  if (!connection) return false;
  if (connection->clusterNode < 0) {
    // Only MariaDB and MySQL know the variable; another server is not asked, as a refused
    // query would spoil a transaction open on it.
    const int kind = databaseKind(connection);
    if (kind != 2 && kind != 3) {
      connection->clusterNode = 0;
      return false;
    }
    const QString error = lastError();
    // A server without the variable (MySQL, MariaDB before 10.1) refuses the query: no node.
    Query query(connection, QStringLiteral("SELECT @@wsrep_on;"));
    connection->clusterNode = query.ok() && query.next() && query.int32(0) == 1;
    setLastError(error);
  }
  return connection->clusterNode == 1;
}

bool hasKeyOnId(Connection* connection, const QString& table) {
  const QString error = lastError();
  bindText(connection, 0, table);
  Query query(connection, QStringLiteral(
                              "SELECT INDEX_NAME FROM information_schema.STATISTICS WHERE TABLE_SCHEMA=DATABASE() "
                              "AND TABLE_NAME=? AND NON_UNIQUE=0 GROUP BY INDEX_NAME "
                              "HAVING COUNT(*)=1 AND UPPER(MAX(COLUMN_NAME))='ID';"));
  const bool keyed = query.ok() && query.next();
  setLastError(error);
  return keyed;
}

qint64 countRows(Connection* connection, const QString& table) {
  const QString statement = u"SELECT COUNT(*) FROM "_qs + table + u';';
  Query query(connection, statement);
  const bool row = query.ok() && query.next();
  if (!query.ok() || query.failed()) {  // a row that broke off is no count
    reportFailure(MessageForm::QueryError, statement);
    return -1;
  }
  return row ? query.int64(0) : 0;
}

qint32 maxId(Connection* connection, const QString& table) {
  const QString statement = u"SELECT MAX(ID) FROM "_qs + table + u';';
  Query query(connection, statement);
  // A row that cannot be read is a failure too: taken as 0 it would hand out ID 1 again.
  const bool row = query.ok() && query.next();
  if (!query.ok() || query.failed()) {
    reportFailure(MessageForm::QueryFailed, statement);
    common::endProgram(1);
  }
  return row ? query.int32(0) : 0;
}

}  // namespace db
