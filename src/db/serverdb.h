// Server connections of an object, the database kind of a connection, and the two small
// queries every transfer needs: the row count and the highest ID of a table.
#pragma once

#include "db/database.h"

#include <QMap>

namespace db {

// The five configuration values that decide how a server database is reached.
struct ServerSettings {
  QString mode;  // "ODBC" or "MARIADB"; anything else reaches no server
  QString host;
  QString port;
  QString user;
  QString password;
};

// The server database of an object, or nullptr (lastError() tells why). Reports nothing.
Connection* openServerDatabase(const QString& objectName, const ServerSettings& settings);

// "host=… port=… dbname=…" with the three character-set statements after connecting.
Connection* openMariaDb(const QString& host, const QString& port, const QString& database,
                        const QString& user, const QString& password);

// The connection text. A value that holds a blank, an apostrophe or a backslash is written
// between apostrophes, with \' and \\ inside (dbname='Haus Nord'); any other stands as it is.
QString mariaDbConnectionText(const QString& host, const QString& port, const QString& database);

// The "key=value" pairs of a connection text, keys in lower case, values as written before
// quoting. A later pair of the same key replaces an earlier one.
QMap<QString, QString> readMariaDbConnectionText(const QString& text);

// 0 none or unknown, 1 SQLite, 2 MariaDB, 3 MySQL, 4 Microsoft SQL Server, 5 PostgreSQL.
// Asked once per connection, of the ODBC driver before any statement. Reports nothing.
constexpr int postgreSqlKind = 5;
int databaseKind(Connection* connection);

// True for a node of a MariaDB Galera cluster (wsrep_on), where neither a table lock nor a
// named lock reaches the other nodes. Asked once per connection; reports nothing.
bool isClusterNode(Connection* connection);

// True when the server table of the current database has a unique key on ID alone, so that
// the server refuses a second row with the same ID. Reports nothing.
bool hasKeyOnId(Connection* connection, const QString& table);

// The number of rows, or -1 after a reported failure.
qint64 countRows(Connection* connection, const QString& table);

// The highest ID, 0 for an empty table. A failure is reported and ends the program.
qint32 maxId(Connection* connection, const QString& table);

}  // namespace db
