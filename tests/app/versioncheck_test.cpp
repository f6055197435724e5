// The version check against a real version server on the test MariaDB and real ODBC data
// sources, the notice at start-up, and the bound on a server that cannot be reached.
#include "testservers.h"

#include "app/application.h"
#include "app/versioncheck.h"
#include "db/database.h"
#include "platform/scripteduser.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString versionPassword = u"Vers$ion$9"_qs;

// Sets an environment variable for the test's duration.
struct Environment {
  Environment(const char* name, const QString& value) : name(name), previous(qgetenv(name)), had(qEnvironmentVariableIsSet(name)) {
    qputenv(name, value.toUtf8());
  }
  ~Environment() {
    if (had) qputenv(name, previous);
    else qunsetenv(name);
  }
  const char* name;
  QByteArray previous;
  bool had;
};

// A loopback port that takes connections (the kernel completes them) and never says a word.
struct SilentServer {
  SilentServer() {
    socketFd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(socketFd, 16);
    socklen_t length = sizeof address;
    ::getsockname(socketFd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
  }
  ~SilentServer() { ::close(socketFd); }
  int socketFd = -1;
  int port = 0;
};

struct Published {
  QString programm, version, anmerkung;
};

// A user data-source file of the given sections ("[name]" followed by its lines). The
// driver manager keeps the settings it has read for a second, by source and key, so the
// tests give every asking source a name of its own.
QString dataSourceFile(const QString& name, const QString& sections) {
  static int count = 0;
  const QString path = testsupport::temporaryFolder() + u'/' + name + QString::number(++count) + u".ini"_qs;
  QFile file(path);
  file.open(QIODevice::WriteOnly | QIODevice::Truncate);
  file.write(sections.toUtf8());
  return path;
}

// The schema "version" with its table, the reader "version" and the version server
// variables pointing at the test server; a fresh empty data-source file.
class VersionCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    const testsupport::Servers& s = testsupport::servers();
    db::ConnectionGuard admin(testsupport::openMariaAdmin());
    testsupport::run(admin.get(), {
        u"DROP DATABASE IF EXISTS version"_qs,
        u"CREATE DATABASE version"_qs,
        u"CREATE TABLE version.version (ID int PRIMARY KEY AUTO_INCREMENT, programm varchar(64), "
        "version varchar(64), anmerkung varchar(255))"_qs,
        u"DROP USER IF EXISTS 'version'@'%'"_qs,
        u"CREATE USER 'version'@'%' IDENTIFIED BY '"_qs + versionPassword + u"'"_qs,
        u"GRANT SELECT ON version.* TO 'version'@'%'"_qs,
    });
    host = std::make_unique<Environment>("VARNOTHM_VERSION_HOST", s.mariaHost);
    port = std::make_unique<Environment>("VARNOTHM_VERSION_PORT", s.mariaPort);
    pass = std::make_unique<Environment>("VARNOTHM_VERSION_PASS", versionPassword);
    sources = std::make_unique<Environment>("ODBCINI", dataSourceFile(u"keine"_qs, QString()));
  }
  void TearDown() override {
    db::ConnectionGuard admin(testsupport::openMariaAdmin());
    testsupport::run(admin.get(), {u"DROP DATABASE IF EXISTS version"_qs, u"DROP USER IF EXISTS 'version'@'%'"_qs});
  }

  void publish(const std::vector<Published>& rows, const QString& table = u"version.version"_qs) {
    db::ConnectionGuard admin(testsupport::openMariaAdmin());
    testsupport::run(admin.get(), {u"DELETE FROM "_qs + table});
    for (const Published& row : rows)
      testsupport::run(admin.get(), {u"INSERT INTO "_qs + table + u" (programm, version, anmerkung) VALUES ('"_qs +
                                     row.programm + u"', '"_qs + row.version + u"', '"_qs + row.anmerkung + u"')"_qs});
  }

  // A data source on the test server that reads the version table as the reader "version".
  static QString versionSource(const QString& name) {
    const testsupport::Servers& s = testsupport::servers();
    return u"["_qs + name + u"]\nDriver=MariaDB Unicode\nServer="_qs + s.mariaHost + u"\nPort="_qs + s.mariaPort +
           u"\nUser=version\nPassword="_qs + versionPassword + u"\n\n"_qs;
  }

  void useServerPort(const QString& number) { replace(port, "VARNOTHM_VERSION_PORT", number); }
  void withoutVersionServer() { useServerPort(u"1"_qs); }
  void useSources(const QString& file) { replace(sources, "ODBCINI", file); }

  // The old setting is restored before the new one is made, not after.
  static void replace(std::unique_ptr<Environment>& setting, const char* name, const QString& value) {
    setting.reset();
    setting = std::make_unique<Environment>(name, value);
  }

  std::unique_ptr<Environment> host, port, pass, sources;
};

const QString tail = u"Die aktuelle Version finden Sie auf der Internetseite https://www.varnothm.example"_qs;

TEST_F(VersionCheck, TheFirstPublishedVersionOtherThanTheOwnGivesTheNotice) {
  const struct {
    std::vector<Published> rows;
    QString notice;
  } cases[] = {
      {{}, QString()},
      {{{u"VarnothM"_qs, u"3.1.11123"_qs, u"aktuell"_qs}}, QString()},
      {{{u"Andere"_qs, u"9.9"_qs, u"fremd"_qs}, {u"VarnothM"_qs, u"3.1.11123"_qs, QString()}}, QString()},
      {{{u"VarnothM"_qs, u"3.1.11123"_qs, QString()}, {u"VarnothM"_qs, u"3.2.0"_qs, u"Neue Farben"_qs},
        {u"VarnothM"_qs, u"3.3.0"_qs, QString()}},
       u"Programm VarnothM VarnothM\r\n installierte Version 3.1.11123\r\n aktuelle Version 3.2.0\r\nNeue Farben\r\n"_qs +
           tail},
      {{{u"VarnothM"_qs, u"3.4.1"_qs, QString()}},
       u"Programm VarnothM VarnothM\r\n installierte Version 3.1.11123\r\n aktuelle Version 3.4.1\r\n"_qs + tail},
      // Older or merely different: any text but the own one.
      {{{u"VarnothM"_qs, u"3.1.1"_qs, QString()}},
       u"Programm VarnothM VarnothM\r\n installierte Version 3.1.11123\r\n aktuelle Version 3.1.1\r\n"_qs + tail},
      {{{u"VarnothM"_qs, u"3.1.11123 "_qs, QString()}},
       u"Programm VarnothM VarnothM\r\n installierte Version 3.1.11123\r\n aktuelle Version 3.1.11123 \r\n"_qs + tail},
  };
  for (const auto& c : cases) {
    publish(c.rows);
    EXPECT_EQ(app::checkVersion(), c.notice) << c.rows.size() << " rows";
  }
}

TEST_F(VersionCheck, OdbcDatabasesAreAskedAfterTheServerButNeverTheExcludedOnes) {
  withoutVersionServer();
  publish({{u"VarnothM"_qs, u"3.5.0"_qs, u"über ODBC"_qs}});
  const QString notice =
      u"Programm VarnothM VarnothM\r\n installierte Version 3.1.11123\r\n aktuelle Version 3.5.0\r\nüber ODBC\r\n"_qs +
      tail;
  // The asking source names the data source of the version table in its DATABASE setting.
  const struct {
    QString asking;
    QString notice;
  } cases[] = {
      {u"Zentrale"_qs, notice},
      {u"abrechnung"_qs, QString()},
      {u"Abrechnung"_qs, QString()},
      {u"ABRECHNUNG"_qs, QString()},
      {u"Excel Files"_qs, QString()},
  };
  for (const auto& c : cases) {
    useSources(dataSourceFile(u"fragen"_qs, u"["_qs + c.asking + u"]\nDriver=SQLite3\nDATABASE= Versionsdaten \n\n"_qs +
                                                versionSource(u"Versionsdaten"_qs)));
    EXPECT_EQ(app::checkVersion(), c.notice) << c.asking.toStdString();
  }
}

TEST_F(VersionCheck, TheOdbcDatabasesAreStillAskedWhenTheServerListsOnlyTheOwnVersion) {
  // Server and data source reach the one test server; a view shows each reader its own
  // rows, so that the server publishes the own version and the data source another.
  db::ConnectionGuard admin(testsupport::openMariaAdmin());
  testsupport::run(admin.get(), {
      u"DROP TABLE version.version"_qs,
      u"CREATE TABLE version.published (ID int PRIMARY KEY AUTO_INCREMENT, reader varchar(64), "
      "programm varchar(64), version varchar(64), anmerkung varchar(255))"_qs,
      u"CREATE SQL SECURITY INVOKER VIEW version.version AS SELECT ID, programm, version, anmerkung "
      "FROM version.published WHERE reader = SUBSTRING_INDEX(USER(), '@', 1)"_qs,
      u"INSERT INTO version.published (reader, programm, version, anmerkung) VALUES "
      "('version', 'VarnothM', '3.1.11123', ''), ('varnoth', 'VarnothM', '3.6.0', '')"_qs,
  });
  const testsupport::Servers& s = testsupport::servers();
  useSources(dataSourceFile(
      u"beide"_qs, u"[Verwaltung]\nDriver=SQLite3\nDatabase=Buchhaltung\n\n[Buchhaltung]\nDriver=MariaDB Unicode\nServer="_qs +
                       s.mariaHost + u"\nPort="_qs + s.mariaPort + u"\nUser="_qs + s.mariaUser + u"\nPassword="_qs +
                       s.mariaPass + u"\n\n"_qs));
  EXPECT_EQ(app::checkVersion(),
            u"Programm VarnothM VarnothM\r\n installierte Version 3.1.11123\r\n aktuelle Version 3.6.0\r\n"_qs + tail);
}

TEST_F(VersionCheck, AServerOrDataSourceThatCannotBeReachedDelaysOnlyBrieflyAndGivesNothing) {
  SilentServer silent;
  const QString silentPort = QString::number(silent.port);
  const struct {
    QString what;
    QString serverPort;  // of the version server
    QString sources;     // the data-source file
  } cases[] = {
      {u"a version server that refuses"_qs, u"1"_qs, QString()},
      {u"a version server that never answers"_qs, silentPort, QString()},
      {u"a data source that refuses"_qs, u"1"_qs,
       u"[Leitstelle]\nDATABASE=Stumm\n\n[Stumm]\nDriver=MariaDB Unicode\nServer=127.0.0.1\nPort=1\nUser=version\n"_qs},
      {u"a data source that never answers"_qs, u"1"_qs,
       u"[Pforte]\nDATABASE=Still\n\n[Still]\nDriver=MariaDB Unicode\nServer=127.0.0.1\nPort="_qs + silentPort +
           u"\nUser=version\n"_qs},
  };
  for (const auto& c : cases) {
    useServerPort(c.serverPort);
    useSources(dataSourceFile(u"stumm"_qs, c.sources));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(app::checkVersion(), QString()) << c.what.toStdString();
    // Only that the start goes on: the connect timeout is 5 s per source.
    EXPECT_LT(clock.elapsed(), 15000) << c.what.toStdString();
  }
}

TEST(OdbcDatabases, TheTrimmedDatabaseSettingOfEverySourceNotExcluded) {
  Environment sources("ODBCINI", dataSourceFile(u"liste"_qs,
                                                u"[Listenhaus A]\nDriver=SQLite3\nDatabase=  Objekt A  \n\n"
                                                "[Listenhaus B]\nDriver=SQLite3\n\n"
                                                "[abRechnung]\nDATABASE=Geld\n\n"
                                                "[ms access database]\nDATABASE=Zugriff\n\n"
                                                "[Listenhaus C]\ndatabase=Objekt C\n\n"
                                                "[dBase Files]\nDATABASE=Alt\n\n"
                                                "[Listenhaus D]\nDATABASE=\n\n"
                                                "[abrechnung 2]\nDATABASE=Geld 2\n"_qs));
  QStringList names{u"vorher"_qs};
  EXPECT_EQ(app::listOdbcDatabases(names), 5);
  EXPECT_EQ(names, (QStringList{u"vorher"_qs, u"Objekt A"_qs, u"Objekt C"_qs, QString(), u"Geld 2"_qs}));
}

TEST_F(VersionCheck, AtStartTheNoticeIsShownBeforeTheMainWindowAndTheDownloadPageIsOpened) {
  publish({{u"VarnothM"_qs, u"3.2.0"_qs, u"Bitte aktualisieren"_qs}});
  const QString folder = testsupport::temporaryFolder() + u"/hinweis/"_qs;
  QDir().mkpath(folder);
  ASSERT_TRUE(platform::startScript(u"answer OK\nclick commandList 7\n"_qs));
  EXPECT_EQ(app::runApplication(folder), 0);
  const QStringList seen = platform::transcript();
  platform::stopScript();
  ASSERT_GE(seen.size(), 4);
  EXPECT_EQ(seen[0],
            u"box Hinweis | info | Programm VarnothM VarnothM\\r\\n installierte Version 3.1.11123\\r\\n aktuelle Version 3.2.0"
            "\\r\\nBitte aktualisieren\\r\\nDie aktuelle Version finden Sie auf der Internetseite https://www.varnothm.example"_qs);
  EXPECT_EQ(seen[1], u"buttons OK"_qs);
  EXPECT_EQ(seen[2], u"shell https://www.varnothm.example/download/"_qs);
  EXPECT_EQ(seen[3], u"title VarnothM"_qs);

  publish({{u"VarnothM"_qs, u"3.1.11123"_qs, QString()}});
  ASSERT_TRUE(platform::startScript(u"click commandList 7\n"_qs));
  app::runApplication(folder);
  const QStringList quiet = platform::transcript();
  platform::stopScript();
  ASSERT_FALSE(quiet.isEmpty());
  EXPECT_EQ(quiet[0], u"title VarnothM"_qs);
  EXPECT_FALSE(quiet.join(u'\n').contains(u"shell"_qs));
}

}  // namespace
