// A whole working day played through the built program: fetch the outlets and a day, record
// measures in the assistant through the remark prompt, a stored dialog and the "all" row,
// return the work, then read the server and the export files. On MariaDB and on ODBC over
// SQLite and over PostgreSQL.
#include "testservers.h"

#include "assistant/assistant.h"
#include "common/dates.h"
#include "db/quoting.h"
#include "db/serverdb.h"
#include "platform/system.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

enum class ServerKind { MariaDb, OdbcSqlite, OdbcPostgres };

const QString temperatureDialog =
    u"<window name='dialog' text='Temperaturmessung' minwidth='300' minheight='auto'><vbox><gridbox columns='2'>"
    "<text text='Kaltwasser'/><string name='_KW' text=''/><text text='Warmwasser'/><string name='_WW' text=''/>"
    "<text text='Anmerkung'/><string name='_anmerkung' text=''/></gridbox>"
    "<hbox><button name='doExit' text='Abbrechen'/><button name='doOK' text='OK'/></hbox></vbox></window>"_qs;

QString readText(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QByteArray readBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class WorkingDay : public ::testing::TestWithParam<ServerKind> {
 protected:
  void SetUp() override {
    const testsupport::Servers& s = testsupport::servers();
    folder = testsupport::temporaryFolder() + u"/tag/"_qs;
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + u"tmp"_qs);
    ASSERT_TRUE(QFile::copy(QStringLiteral(VARNOTH_PROGRAM), folder + u"VarnothM"_qs));
    QString config;
    db::Connection* server = nullptr;
    if (GetParam() == ServerKind::MariaDb) {
      object = u"haus_tag"_qs;
      db::ConnectionGuard admin(testsupport::openMariaAdmin());
      ASSERT_TRUE(admin);
      testsupport::run(admin.get(), {u"DROP DATABASE IF EXISTS haus_tag"_qs, u"CREATE DATABASE haus_tag"_qs,
                                     u"DROP USER IF EXISTS 'tag'@'%'"_qs, u"CREATE USER 'tag'@'%' IDENTIFIED BY 'tag1'"_qs,
                                     u"GRANT ALL ON haus_tag.* TO 'tag'@'%'"_qs});
      server = db::openMariaDb(s.mariaHost, s.mariaPort, object, s.mariaUser, s.mariaPass);
      config = u"DB_MODE = MARIADB\nDB_HOST = "_qs + s.mariaHost + u"\nDB_PORT = "_qs + s.mariaPort +
               u"\nDB_USER = tag\nDB_PASS = tag1\n"_qs;
    } else if (GetParam() == ServerKind::OdbcPostgres) {
      object = u"Haus Tag"_qs;
      server = testsupport::openEmpty(testsupport::Place::OdbcPostgres, u"haus_tag"_qs);
      serverSource = testsupport::lastOdbcSource();
      odbcIni = folder + u"odbc.ini"_qs;
      QFile ini(odbcIni);
      ini.open(QIODevice::WriteOnly);
      ini.write((u"[Haus Tag]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort="_qs + s.postgresPort +
                 u"\nUsername="_qs + s.mariaUser + u"\nPassword="_qs + s.mariaPass + u"\nDatabase="_qs +
                 testsupport::lastPostgresDatabase() + u'\n')
                    .toUtf8());
      config = u"DB_MODE = ODBC\n"_qs;
    } else {
      object = u"Haus Tag"_qs;
      const QString file = folder + u"server.sqlite"_qs;
      QFile(file).open(QIODevice::WriteOnly);
      server = db::openDatabase(file, {}, {}, db::Backend::Sqlite);
      odbcIni = folder + u"odbc.ini"_qs;
      QFile ini(odbcIni);
      ini.open(QIODevice::WriteOnly);
      ini.write((u"[Haus Tag]\nDriver=SQLite3\nDatabase="_qs + file + u'\n').toUtf8());
      config = u"DB_MODE = ODBC\n"_qs;
      serverFile = file;
    }
    ASSERT_TRUE(server) << db::lastError().toStdString();
    db::ConnectionGuard guard(server);
    QFile cfg(folder + u"VarnothM.CFG"_qs);
    cfg.open(QIODevice::WriteOnly);
    cfg.write(config.toUtf8());

    const qint32 today = common::startOfDay(common::now());
    auto q = [](const QString& t) { return db::quoteText(t); };
    auto measure = [&](int id, const QString& auid, const QString& kind, qint32 due) {
      return u"INSERT INTO massnahme VALUES ("_qs + QString::number(id) + u',' + q(auid) + u',' + q(kind) + u',' +
             QString::number(due) + u",0,'','')"_qs;
    };
    // PostgreSQL's own types there.
    const bool postgres = GetParam() == ServerKind::OdbcPostgres;
    const QString integer = postgres ? u"integer"_qs : u"int"_qs;
    const QString real = postgres ? u"double precision"_qs : u"double"_qs;
    testsupport::run(guard.get(), {
        u"CREATE TABLE auslass (ID "_qs + integer + u", AUID varchar(32), code varchar(32), art varchar(32), "
        "raum varchar(64), region varchar(64), hydron varchar(64))"_qs,
        u"CREATE TABLE massnahme (ID "_qs + integer + u", AUID varchar(32), wastun varchar(128), dasoll "_qs + integer +
            u", dadurch "_qs + integer + u", werdurch varchar(64), anmerkung varchar(128))"_qs,
        u"CREATE TABLE resultat (ID "_qs + integer + u", AUID varchar(32), abda "_qs + integer +
            u", anme varchar(256), keim varchar(32), syst varchar(32), temp "_qs + real +
            u", resu varchar(256), prot varchar(32))"_qs,
        u"CREATE TABLE xele (ID "_qs + integer + u", gruppe varchar(64), element varchar(64), XML text)"_qs,
        u"INSERT INTO auslass VALUES (1,'DU-01','','Dusche','Bad',"_qs + q(u"Bad & WC"_qs) + u",'')"_qs,
        u"INSERT INTO auslass VALUES (2,'WT-02','','Waschtisch','Küche','Küche','')"_qs,
        u"INSERT INTO xele VALUES (1,'XML_merfassung','Temperaturmessung',"_qs + q(temperatureDialog) + u")"_qs,
        measure(10, u"DU-01"_qs, u"Spülen"_qs, today + 8 * 3600),
        measure(11, u"DU-01"_qs, u"Temperaturmessung"_qs, today + 9 * 3600),
        measure(12, u"WT-02"_qs, u"Spülen"_qs, today + 10 * 3600),
        measure(13, u"DU-01"_qs, u"Sichtprüfung"_qs, today + 60),
        measure(14, u"DU-01"_qs, u"Sichtprüfung"_qs, today + 86400 + 60),  // another day
    });
  }

  QStringList play(const QString& script) {
    QFile file(folder + u"script.txt"_qs);
    file.open(QIODevice::WriteOnly);
    file.write(script.toUtf8());
    file.close();
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!odbcIni.isEmpty()) environment.insert(u"ODBCINI"_qs, odbcIni);
    environment.insert(u"VARNOTHM_SCRIPT"_qs, folder + u"script.txt"_qs);
    environment.insert(u"VARNOTHM_TRANSCRIPT"_qs, folder + u"transcript.txt"_qs);
    environment.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
    environment.insert(u"TMPDIR"_qs, folder + u"tmp"_qs);
    environment.insert(u"VARNOTHM_VERSION_HOST"_qs, u"127.0.0.1"_qs);
    environment.insert(u"VARNOTHM_VERSION_PORT"_qs, u"1"_qs);
    program.setProcessEnvironment(environment);
    program.start(folder + u"VarnothM"_qs, {});
    EXPECT_TRUE(program.waitForFinished(120000));
    EXPECT_EQ(program.exitCode(), 0);
    return readText(folder + u"transcript.txt"_qs).split(u'\n');
  }

  db::Connection* openServer() {
    const testsupport::Servers& s = testsupport::servers();
    if (GetParam() == ServerKind::MariaDb) return db::openMariaDb(s.mariaHost, s.mariaPort, object, s.mariaUser, s.mariaPass);
    if (GetParam() == ServerKind::OdbcPostgres) return db::openDatabase(serverSource, {}, {}, db::Backend::Odbc);
    return db::openDatabase(serverFile, {}, {}, db::Backend::Sqlite);
  }

  QString folder, object, odbcIni, serverFile, serverSource;
};

TEST_P(WorkingDay, FetchRecordWithPromptDialogAndAllRowReturnTheWork) {
  const QString today = common::formatDay(common::now());
  const qint32 started = common::now();
  const QStringList seen = play(u"click commandList 1\n"
                                "click commandList 2\nanswer Ja\nclick objectList \""_qs + today + u"\"\nanswer OK\n"
                                "click commandList 8\n"
                                "click objectList \"Bad & WC\"\n"
                                "click objectList \"DU-01 Spülen (10)\"\n"
                                "input \"Spülen & 'ok' \\\\ C:\\\\temp\"\n"
                                "click objectList \"DU-01 Temperaturmessung (11)\"\n"
                                "set _KW \"12,5\"\nset _WW \"55\"\nset _anmerkung \"Temperaturen <ok>\"\npress doOK\n"
                                "click objectList 0\n"
                                "click commandList 0\nclick commandList 0\n"
                                "click commandList 3\nanswer OK\n"
                                "click commandList 7\n"_qs);
  const QString all = seen.join(u'\n');
  EXPECT_TRUE(seen.filter(u"skipped"_qs).isEmpty()) << all.toStdString();
  EXPECT_TRUE(seen.filter(u"unanswered"_qs).isEmpty()) << all.toStdString();
  EXPECT_TRUE(seen.contains(u"box Info | info | 4 Abgleichvorgänge für Massnahme durchgeführt."_qs)) << all.toStdString();
  EXPECT_TRUE(seen.contains(u"title VarnothM Objekt "_qs + object.toUpper() + u" Bereichswahl für Massnahmenassistent"_qs));
  // The return sends the three measures carried out; the one left open is unchanged and stays home.
  EXPECT_TRUE(seen.contains(u"box Info | info | 3 Abgleichvorgänge für Massnahme durchgeführt.\\r\\n"
                            "2 Abgleichvorgänge für Resultat durchgeführt."_qs)) << all.toStdString();
  EXPECT_FALSE(all.contains(u"box Fehler"_qs) || all.contains(u"box Datenbankfehler"_qs)) << all.toStdString();
  // Back in the main window after the assistant.
  EXPECT_GE(seen.filter(u"item commandList | 8 | Massnahmenassistent"_qs).size(), 3);

  db::ConnectionGuard server(openServer());
  ASSERT_TRUE(server);
  const QString user = platform::loginName();
  struct Row {
    QString auid, wastun;
    qint32 dasoll, dadurch;
    QString werdurch, anmerkung;
  };
  QMap<int, Row> measures;
  db::Query m(server.get(), u"SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung FROM massnahme ORDER BY ID"_qs);
  while (m.next())
    measures[m.int32(0)] = {db::unescapeText(m.text(1)), db::unescapeText(m.text(2)), m.int32(3), m.int32(4),
                            db::unescapeText(m.text(5)), db::unescapeText(m.text(6))};
  ASSERT_EQ(measures.size(), 5);
  EXPECT_EQ(measures[10].anmerkung, u"Spülen & 'ok' \\ C:\\temp"_qs);
  EXPECT_EQ(measures[11].anmerkung, u"Temperaturen <ok>"_qs);
  EXPECT_EQ(measures[13].anmerkung, u"Temperaturen <ok>"_qs);  // the "all" row: the remark used last
  for (int id : {10, 11, 13}) {
    EXPECT_EQ(measures[id].werdurch, user);
    EXPECT_GE(measures[id].dadurch, started);
  }
  EXPECT_EQ(measures[12].dadurch, 0);  // another area
  EXPECT_EQ(measures[14].dadurch, 0);  // another day, never fetched

  QStringList results;
  QMap<QString, qint32> abda;
  db::Query r(server.get(), u"SELECT AUID,keim,syst,temp,resu,abda FROM resultat ORDER BY resu"_qs);
  while (r.next()) {
    results << r.text(0) + u'|' + r.text(1) + u'|' + r.text(2) + u'|' + QString::number(r.real(3), 'f', 1) + u'|' +
                   db::unescapeText(r.text(4));
    abda[db::unescapeText(r.text(4))] = r.int32(5);
  }
  EXPECT_EQ(results, (QStringList{u"DU-01|M|K|12.5|°KW"_qs, u"DU-01|M|W|55.0|°WW"_qs}));

  // The export files, byte for byte.
  auto line = [&](int id) {
    const Row& x = measures[id];
    return assistant::toExportCodePage(x.auid + u';' + assistant::formatDayTime(x.dasoll) + u';' + x.wastun + u';' +
                                       assistant::formatDayTime(x.dadurch) + u';' + x.werdurch + u';' + x.anmerkung) +
           "\r\n";
  };
  EXPECT_EQ(readBytes(folder + u"tmp/"_qs + object + u"_massnahme.CSV"_qs),
            "AUID;dasoll;wastun;dadurch;werdurch;anmerkung\r\n" + line(10) + line(11) + line(13));
  auto when = [&](const QString& resu) { return assistant::formatDayTime(abda.value(resu)).toLatin1(); };
  QByteArray resultFile = readBytes(folder + u"tmp/"_qs + object + u"_resultat.CSV"_qs);
  EXPECT_TRUE(resultFile.startsWith("AUID;abda;prot;keim;syst;temp;resu;anme\r\n")) << resultFile.toStdString();
  EXPECT_TRUE(resultFile.contains("DU-01;" + when(u"°KW"_qs) + ";;M;K;12.5;\xB0KW;\r\n")) << resultFile.toStdString();
  EXPECT_TRUE(resultFile.contains("DU-01;" + when(u"°WW"_qs) + ";;M;W;55.0;\xB0WW;\r\n")) << resultFile.toStdString();
  EXPECT_EQ(resultFile.count("\r\n"), 3);
}

std::string serverName(ServerKind kind) {
  switch (kind) {
    case ServerKind::MariaDb: return "MariaDb";
    case ServerKind::OdbcSqlite: return "OdbcSqlite";
    case ServerKind::OdbcPostgres: return "OdbcPostgres";
  }
  return {};
}

INSTANTIATE_TEST_SUITE_P(Servers, WorkingDay,
                         ::testing::Values(ServerKind::MariaDb, ServerKind::OdbcSqlite, ServerKind::OdbcPostgres),
                         [](const auto& info) { return serverName(info.param); });

}  // namespace
