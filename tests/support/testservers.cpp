// The test run's servers: read once from servers.env, fresh databases on demand.
#include "testservers.h"

#include "db/serverdb.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

namespace testsupport {

namespace {

void ownDataSources(Servers& s);

Servers readServers() {
  const QString folder = qEnvironmentVariable("VARNOTHM_TEST_SERVERS");
  QFile file(folder + u"/servers.env"_qs);
  if (folder.isEmpty() || !file.open(QIODevice::ReadOnly)) {
    ADD_FAILURE() << "the test servers are not running: no servers.env in '" << folder.toStdString()
                  << "' (run the tests through ctest, which starts them)";
    throw std::runtime_error("no test servers");
  }
  QMap<QString, QString> values;
  for (const QByteArray& line : file.readAll().split('\n')) {
    const qsizetype eq = line.indexOf('=');
    if (eq > 0) values.insert(QString::fromUtf8(line.left(eq)), QString::fromUtf8(line.mid(eq + 1)));
  }
  Servers s{values["MARIADB_HOST"], values["MARIADB_PORT"], values["MARIADB_USER"], values["MARIADB_PASS"],
            values["ODBCINI"], values["ODBC_SQLITE_DSN"], values["ODBC_SQLITE_FILE"],
            values["ODBC_MARIADB_DSN"], values["ODBC_MARIADB_SCHEMA"], values["POSTGRES_PORT"],
            values["ODBC_POSTGRES_DSN"]};
  ownDataSources(s);
  qputenv("ODBCINI", s.odbcIni.toUtf8());
  return s;
}

// Every test program (under CTest: every test) gets data sources of its own, of the run's
// names, on a SQLite file in its own folder and on a schema of its own, so that tests that
// run at the same time never share a database.
void ownDataSources(Servers& s) {
  const QString folder = temporaryFolder();
  s.sqliteFile = folder + u"/odbc-sqlite.db"_qs;
  s.mariaOdbcSchema = u"varnoth_odbc_"_qs + QString::number(QCoreApplication::applicationPid());
  s.odbcIni = folder + u"/odbc.ini"_qs;
  {
    db::ConnectionGuard admin(db::openMariaDb(s.mariaHost, s.mariaPort, u"information_schema"_qs, s.mariaUser, s.mariaPass));
    if (!admin || !db::execute(admin.get(), u"CREATE DATABASE IF NOT EXISTS "_qs + s.mariaOdbcSchema)) {
      ADD_FAILURE() << "cannot make the schema of the data sources: " << db::lastError().toStdString();
      throw std::runtime_error("no data sources");
    }
  }
  QFile file(s.odbcIni);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    ADD_FAILURE() << "cannot write " << s.odbcIni.toStdString();
    throw std::runtime_error("no data sources");
  }
  file.write((u"["_qs + s.sqliteDsn + u"]\nDriver=SQLite3\nDatabase="_qs + s.sqliteFile + u"\n\n["_qs + s.mariaDsn +
              u"]\nDriver=MariaDB Unicode\nServer="_qs + s.mariaHost + u"\nPort="_qs + s.mariaPort + u"\nUser="_qs +
              s.mariaUser + u"\nPassword="_qs + s.mariaPass + u"\nDatabase="_qs + s.mariaOdbcSchema + u"\n\n["_qs +
              s.postgresDsn + u"]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort="_qs + s.postgresPort +
              u"\nUsername="_qs + s.mariaUser + u"\nPassword="_qs + s.mariaPass + u"\nDatabase=varnoth_odbc\n"_qs)
                 .toUtf8());
}

// A schema name of this process for the test's name, within MariaDB's 64 characters.
QString schemaName(const QString& name) {
  QString out = u"t"_qs + QString::number(QCoreApplication::applicationPid()) + u'_';
  for (QChar c : name.toLower()) out += (c.isLetterOrNumber() && c.unicode() < 128) ? c : u'_';
  return out.left(64);
}

}  // namespace

const GaleraCluster& galera() {
  static const GaleraCluster cluster = [] {
    const QString folder = qEnvironmentVariable("VARNOTHM_TEST_GALERA");
    QFile file(folder + u"/galera.env"_qs);
    if (folder.isEmpty() || !file.open(QIODevice::ReadOnly)) {
      ADD_FAILURE() << "the test Galera cluster is not running: no galera.env in '" << folder.toStdString()
                    << "' (run the tests through ctest, which starts it)";
      throw std::runtime_error("no test cluster");
    }
    QMap<QString, QString> values;
    for (const QByteArray& line : file.readAll().split('\n')) {
      const qsizetype eq = line.indexOf('=');
      if (eq > 0) values.insert(QString::fromUtf8(line.left(eq)), QString::fromUtf8(line.mid(eq + 1)));
    }
    return GaleraCluster{values["GALERA_HOST"], values["GALERA_PORT1"], values["GALERA_PORT2"], values["GALERA_USER"],
                         values["GALERA_PASS"]};
  }();
  return cluster;
}

const Servers& servers() {
  static const Servers s = readServers();
  return s;
}

QString placeName(Place place) {
  switch (place) {
    case Place::LocalSqlite: return u"LocalSqlite"_qs;
    case Place::MariaDb: return u"MariaDb"_qs;
    case Place::OdbcSqlite: return u"OdbcSqlite"_qs;
    case Place::OdbcMariaDb: return u"OdbcMariaDb"_qs;
    case Place::OdbcPostgres: return u"OdbcPostgres"_qs;
  }
  return QString();
}

const std::vector<Place>& allPlaces() {
  static const std::vector<Place> places{Place::LocalSqlite, Place::MariaDb, Place::OdbcSqlite,
                                         Place::OdbcMariaDb};
  return places;
}

db::Connection* openMariaAdmin() {
  const Servers& s = servers();
  db::Connection* c = db::openMariaDb(s.mariaHost, s.mariaPort, u"information_schema"_qs, s.mariaUser, s.mariaPass);
  if (!c) ADD_FAILURE() << "test MariaDB server unreachable: " << db::lastError().toStdString();
  return c;
}

namespace {
// Adds a data source to this process's own data-source file, which starts as a copy of the
// run's. A new file for every source: the driver manager keeps what it read of a file by its
// name and time, so a file written twice in a second would keep its first form.
void addSource(const QString& source, const QByteArray& settings) {
  const Servers& s = servers();
  QFile shared(s.odbcIni);
  ASSERT_TRUE(shared.open(QIODevice::ReadOnly));
  QByteArray text = shared.readAll();
  const QString own = temporaryFolder() + u"/odbc-"_qs + source + u".ini"_qs;
  QFile current(qEnvironmentVariable("ODBCINI"));
  if (current.fileName().startsWith(temporaryFolder()) && current.open(QIODevice::ReadOnly)) text = current.readAll();
  text += "\n[" + source.toUtf8() + "]\n" + settings;
  QFile file(own);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(text);
  file.close();
  qputenv("ODBCINI", own.toUtf8());
}

// Data-source names are short (32 characters at most).
QString sourceName(const QString& prefix, const QString& name) {
  return prefix + QString::number(qHash(name) % 100000000u);
}

QString& lastSource() {
  static QString source;
  return source;
}
QString& lastDatabase() {
  static QString database;
  return database;
}

// A new database on the PostgreSQL cluster, made through the run's data source on its
// first database. Its name is folded to lower case, as PostgreSQL does with unquoted names.
void freshPostgresDatabase(const QString& database) {
  db::ConnectionGuard admin(db::openDatabase(servers().postgresDsn, {}, {}, db::Backend::Odbc));
  ASSERT_TRUE(admin) << "test PostgreSQL cluster unreachable: " << db::lastError().toStdString();
  run(admin.get(), {u"DROP DATABASE IF EXISTS "_qs + database + u" WITH (FORCE)"_qs, u"CREATE DATABASE "_qs + database});
}
}  // namespace

QString lastOdbcSource() { return lastSource(); }
QString lastPostgresDatabase() { return lastDatabase(); }

void addOdbcPostgresSource(const QString& source, quint16 port, const QString& database) {
  const Servers& s = servers();
  addSource(source, "Driver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=" + QByteArray::number(port) +
                        "\nUsername=" + s.mariaUser.toUtf8() + "\nPassword=" + s.mariaPass.toUtf8() +
                        "\nDatabase=" + database.toUtf8() + "\n");
}

void addOdbcMariaSource(const QString& source, quint16 port, const QString& schema) {
  const Servers& s = servers();
  addSource(source, "Driver=MariaDB Unicode\nServer=127.0.0.1\nPort=" + QByteArray::number(port) + "\nUser=" +
                        s.mariaUser.toUtf8() + "\nPassword=" + s.mariaPass.toUtf8() + "\nDatabase=" + schema.toUtf8() +
                        "\n");
}

void run(db::Connection* c, const QStringList& statements) {
  for (const QString& statement : statements)
    ASSERT_TRUE(db::execute(c, statement)) << statement.toStdString() << ": " << db::lastError().toStdString();
}

db::Connection* openEmpty(Place place, const QString& name) {
  const Servers& s = servers();
  switch (place) {
    case Place::LocalSqlite: {
      const QString file = temporaryFolder() + u"/"_qs + schemaName(name) + u".db"_qs;
      QFile(file).open(QIODevice::WriteOnly);
      return db::openDatabase(file, {}, {}, db::Backend::Sqlite);
    }
    case Place::MariaDb: {
      const QString schema = schemaName(name);
      db::ConnectionGuard admin(openMariaAdmin());
      run(admin.get(), {u"DROP DATABASE IF EXISTS "_qs + schema, u"CREATE DATABASE "_qs + schema});
      return db::openMariaDb(s.mariaHost, s.mariaPort, schema, s.mariaUser, s.mariaPass);
    }
    case Place::OdbcSqlite: {
      // A data source of the test's own, so that tests run side by side.
      const QString file = temporaryFolder() + u"/"_qs + schemaName(name) + u"_odbc.db"_qs;
      QFile::remove(file);
      const QString source = sourceName(u"VarnothSqlite"_qs, name);
      addSource(source, "Driver=SQLite3\nDatabase=" + file.toUtf8() + "\n");
      lastSource() = source;
      return db::openDatabase(source, {}, {}, db::Backend::Odbc);
    }
    case Place::OdbcMariaDb: {
      const QString schema = schemaName(name).left(55) + u"_odbc"_qs;
      db::ConnectionGuard admin(openMariaAdmin());
      run(admin.get(), {u"DROP DATABASE IF EXISTS "_qs + schema, u"CREATE DATABASE "_qs + schema});
      const QString source = sourceName(u"VarnothMaria"_qs, name);
      addOdbcMariaSource(source, s.mariaPort.toUShort(), schema);
      lastSource() = source;
      return db::openDatabase(source, {}, {}, db::Backend::Odbc);
    }
    case Place::OdbcPostgres: {
      const QString database = schemaName(name).left(58) + u"_pg"_qs;
      freshPostgresDatabase(database);
      lastDatabase() = database;
      const QString source = sourceName(u"VarnothPostgres"_qs, name);
      addOdbcPostgresSource(source, s.postgresPort.toUShort(), database);
      lastSource() = source;
      return db::openDatabase(source, {}, {}, db::Backend::Odbc);
    }
  }
  return nullptr;
}

ObjectServer objectServer(Place place, const QString& name) {
  const Servers& s = servers();
  switch (place) {
    case Place::MariaDb:
      return {{u"MARIADB"_qs, s.mariaHost, s.mariaPort, s.mariaUser, s.mariaPass}, schemaName(name)};
    case Place::OdbcSqlite: return {{u"ODBC"_qs, {}, {}, {}, {}}, sourceName(u"VarnothSqlite"_qs, name)};
    case Place::OdbcMariaDb: return {{u"ODBC"_qs, {}, {}, {}, {}}, sourceName(u"VarnothMaria"_qs, name)};
    case Place::OdbcPostgres: return {{u"ODBC"_qs, {}, {}, {}, {}}, sourceName(u"VarnothPostgres"_qs, name)};
    case Place::LocalSqlite: break;
  }
  return {};
}

BoxRecorder::BoxRecorder(platform::BoxAnswer a, QStringList in) : answer(a), inputs(std::move(in)) {
  platform::setBoxResponder([this](const platform::BoxRequest& request) {
    boxes.push_back(request);
    if (request.isInput) {
      if (inputs.isEmpty()) return platform::BoxReply{platform::BoxAnswer::Cancel, {}};
      return platform::BoxReply{platform::BoxAnswer::Ok, inputs.takeFirst()};
    }
    return platform::BoxReply{answer, {}};
  });
}

BoxRecorder::~BoxRecorder() { platform::setBoxResponder({}); }

QString temporaryFolder() {
  // One folder per test program run, removed when the program ends.
  static QTemporaryDir dir;
  return dir.path();
}

}  // namespace testsupport
