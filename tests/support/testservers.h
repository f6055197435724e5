// The servers of the test run, read from the file that the run's start step wrote, and
// fresh databases on each kind of server. A test that cannot reach them fails.
#pragma once

#include "db/database.h"
#include "db/serverdb.h"
#include "platform/boxes.h"

#include <QString>
#include <QStringList>
#include <ostream>
#include <vector>

// Texts in failure messages as text, not as code units.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace testsupport {

struct Servers {
  QString mariaHost, mariaPort, mariaUser, mariaPass;
  QString odbcIni;
  QString sqliteDsn, sqliteFile;
  QString mariaDsn, mariaOdbcSchema;
  QString postgresPort, postgresDsn;  // the PostgreSQL cluster; its user and password are MariaDB's
};

// The two nodes of the run's Galera cluster, read from the file its start step wrote.
struct GaleraCluster {
  QString host, port1, port2, user, pass;
  QString port(int node) const { return node == 1 ? port1 : port2; }
};

// The cluster of this run. Fails the test (throws) when it is not running.
const GaleraCluster& galera();

// The servers of this run. Sets ODBCINI for the driver manager. Fails the test (throws)
// when the run's servers are not there.
const Servers& servers();

// The places a database can live, for tests that run the same cases on each.
enum class Place { LocalSqlite, MariaDb, OdbcSqlite, OdbcMariaDb, OdbcPostgres };
QString placeName(Place place);
const std::vector<Place>& allPlaces();  // the first four, for the connection layer's cases

// An empty database at the place, open. Each call starts from nothing: a new SQLite file,
// a new MariaDB schema, or for ODBC a data source of its own on a new file, schema or
// PostgreSQL database.
db::Connection* openEmpty(Place place, const QString& name);

// How the program reaches the database that openEmpty(place, name) made: the server settings
// of its configuration and the object's name (a MariaDB schema or an ODBC data source).
struct ObjectServer {
  db::ServerSettings settings;
  QString object;
};
ObjectServer objectServer(Place place, const QString& name);

// The data source of the last openEmpty at an ODBC place, which other processes of the test
// open by this name (the data-source file is in ODBCINI).
QString lastOdbcSource();
// The PostgreSQL database of the last openEmpty at OdbcPostgres.
QString lastPostgresDatabase();

// An ODBC data source named `source` on the test PostgreSQL cluster, reached at the given
// port (a relay in front of it), on the given database.
void addOdbcPostgresSource(const QString& source, quint16 port, const QString& database);

// An ODBC data source named `source` on the test MariaDB server, reached at the given port
// (a relay in front of it), on the given schema. Rewrites this process's data-source file.
void addOdbcMariaSource(const QString& source, quint16 port, const QString& schema);

// A plain admin connection to the test MariaDB server, on information_schema.
db::Connection* openMariaAdmin();

// Runs statements on a connection and fails the test on the first that fails.
void run(db::Connection* c, const QStringList& statements);

// Records every box while it lives and answers it: message boxes with `answer`, input
// boxes with the next of `inputs` (or cancel when none is left).
struct BoxRecorder {
  explicit BoxRecorder(platform::BoxAnswer answer = platform::BoxAnswer::Ok, QStringList inputs = {});
  ~BoxRecorder();
  std::vector<platform::BoxRequest> boxes;
  platform::BoxAnswer answer;
  QStringList inputs;
};

// A temporary folder removed at the end of the test.
QString temporaryFolder();

}  // namespace testsupport
