// The three transfer commands played through the scripted user against a MariaDB server,
// from the main window's command list to the rows on the server.
#include "testservers.h"

#include "app/application.h"
#include "common/dates.h"
#include "db/serverdb.h"
#include "platform/scripteduser.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

namespace {

const qint32 day = common::makeDate(2026, 12, 9);

// One building on the test server, seen through a user of its own: a command that left its
// server connection open is seen in the server's process list after the program ended.
class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db::ConnectionGuard admin(testsupport::openMariaAdmin());
    ASSERT_TRUE(admin);
    testsupport::run(admin.get(), {
        u"DROP DATABASE IF EXISTS haus_runde"_qs, u"CREATE DATABASE haus_runde"_qs,
        u"DROP USER IF EXISTS 'runde'@'%'"_qs,
        u"CREATE USER 'runde'@'%' IDENTIFIED BY 'runde1'"_qs,
        u"GRANT ALL ON haus_runde.* TO 'runde'@'%'"_qs,
        u"CREATE TABLE haus_runde.auslass (ID int PRIMARY KEY, AUID varchar(32), code varchar(32), art varchar(32), "
        "raum varchar(64), region varchar(64), hydron varchar(64))"_qs,
        u"CREATE TABLE haus_runde.massnahme (ID int, AUID varchar(32), wastun varchar(128), dasoll int, dadurch int, "
        "werdurch varchar(64), anmerkung varchar(128))"_qs,
        u"CREATE TABLE haus_runde.resultat (ID int, AUID varchar(32), abda int, anme varchar(256), keim varchar(32), "
        "syst varchar(32), temp double, resu varchar(256), prot varchar(32))"_qs,
        u"CREATE TABLE haus_runde.xele (ID int, gruppe varchar(64), element varchar(64), XML longtext)"_qs,
        u"INSERT INTO haus_runde.auslass VALUES (1, 'DU-01', '', 'Dusche', 'Bad', 'EG', ''), "
        "(2, 'WB-02', '', 'Waschbecken', 'Küche', 'EG', '')"_qs,
        u"INSERT INTO haus_runde.xele VALUES (1, 'XML_merfassung', 'Spülen', '<dialogs/>')"_qs,
        u"INSERT INTO haus_runde.massnahme VALUES (10, 'DU-01', 'Spülen', "_qs + QString::number(day + 8 * 3600) +
            u", 0, '', ''), (11, 'WB-02', 'Spülen', "_qs + QString::number(day + 14 * 3600 + 1800) +
            u", 0, '', ''), (12, 'WB-02', 'Probe', "_qs + QString::number(day + 86400 + 9 * 3600) + u", 0, '', '')"_qs,
    });
    const testsupport::Servers& s = testsupport::servers();
    folder = testsupport::temporaryFolder() + u"/runde/"_qs;
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QFile config(folder + u"VarnothM.CFG"_qs);
    config.open(QIODevice::WriteOnly);
    config.write((u"DB_MODE = MARIADB\nDB_HOST = "_qs + s.mariaHost + u"\nDB_PORT = "_qs + s.mariaPort +
                  u"\nDB_USER = runde\nDB_PASS = runde1\n"_qs).toUtf8());
  }

  QStringList play(const QString& script) {
    EXPECT_TRUE(platform::startScript(script));
    EXPECT_EQ(app::runApplication(folder), 0);
    const QStringList seen = platform::transcript();
    platform::stopScript();
    EXPECT_TRUE(seen.filter(u"skipped"_qs).isEmpty()) << seen.join(u'\n').toStdString();
    EXPECT_TRUE(seen.filter(u"unanswered"_qs).isEmpty()) << seen.join(u'\n').toStdString();
    EXPECT_EQ(openConnections(), 0) << "a server connection was left open";
    return seen;
  }

  // The server drops a closed connection from its list a moment after the client left.
  int openConnections() {
    db::ConnectionGuard admin(testsupport::openMariaAdmin());
    int count = -1;
    for (int attempt = 0; attempt < 100 && count != 0; ++attempt) {
      if (attempt > 0) QThread::msleep(50);
      db::Query q(admin.get(), u"SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE USER='runde'"_qs);
      count = q.next() ? q.int32(0) : -1;
    }
    return count;
  }

  QStringList rows(bool server, const QString& sql) {
    const testsupport::Servers& s = testsupport::servers();
    db::ConnectionGuard c(server ? db::openMariaDb(s.mariaHost, s.mariaPort, u"haus_runde"_qs, s.mariaUser, s.mariaPass)
                                 : db::openDatabase(folder + u"haus_runde/Varnoth.DBF"_qs, {}, {}, db::Backend::Sqlite));
    QStringList lines;
    db::Query q(c.get(), sql);
    EXPECT_TRUE(q.ok()) << db::lastError().toStdString();
    while (q.next()) {
      QStringList cells;
      for (int i = 0; i < q.columnCount(); ++i) cells << q.text(i);
      lines << cells.join(u'|');
    }
    return lines;
  }

  QString folder;
};

TEST_F(CommandTest, TheWarningAnsweredNeinFetchesNothingAndZurueckClosesTheServer) {
  const QStringList seen = play(
      u"click commandList 2\nanswer Nein\n"        // nothing fetched
      "click commandList 2\nanswer Ja\n"            // the day choice
      "click commandList \"Zurück\"\n"
      "click commandList 1\n"                       // needs the one connection again
      "click commandList 7\n"_qs);
  const QString warning = seen.filter(u"box Warnung | warning | "_qs).value(0);
  EXPECT_TRUE(warning.contains(u"Wollen Sie WIRKLICH fortfahren?"_qs)) << warning.toStdString();
  EXPECT_TRUE(seen.contains(u"title VarnothM Objekt HAUS_RUNDE Datumswahl für Daten abholen"_qs));
  EXPECT_TRUE(seen.contains(u"item commandList | 0 | Zurück | - | -"_qs));
  EXPECT_TRUE(seen.contains(u"item commandList | 2 | Beenden | - | -"_qs));
  EXPECT_TRUE(seen.contains(u"item objectList | 0 | 2026-12-09 | - | -"_qs));
  EXPECT_TRUE(seen.contains(u"item objectList | 1 | 2026-12-10 | - | -"_qs));
  EXPECT_TRUE(seen.filter(u"box "_qs).size() == 2) << seen.join(u'\n').toStdString();  // warnings only
  EXPECT_EQ(seen.filter(u"title "_qs).last(), u"title VarnothM Objekt HAUS_RUNDE"_qs);
  EXPECT_TRUE(rows(false, u"SELECT ID FROM massnahme"_qs).isEmpty());
  EXPECT_EQ(rows(false, u"SELECT AUID FROM auslass ORDER BY ID"_qs), (QStringList{u"DU-01"_qs, u"WB-02"_qs}));
}

TEST_F(CommandTest, AWorkingDayFromFetchToReturnLeavesTheServerAsExpected) {
  QStringList seen = play(
      u"click commandList 1\n"
      "click commandList 2\nanswer Ja\nclick objectList \"2026-12-09\"\nanswer OK\n"
      "click commandList 7\n"_qs);
  EXPECT_TRUE(seen.contains(u"box Info | info | 2 Abgleichvorgänge für Massnahme durchgeführt."_qs))
      << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.contains(u"item commandList | 0 | Objektname | - | -"_qs));  // refilled afterwards
  EXPECT_EQ(rows(false, u"SELECT ID, AUID FROM massnahme ORDER BY ID"_qs), (QStringList{u"10|DU-01"_qs, u"11|WB-02"_qs}));
  EXPECT_EQ(rows(false, u"SELECT element, XML FROM xele"_qs), (QStringList{u"Spülen|<dialogs/>"_qs}));

  // The day's work, recorded in the local database as the assistant would record it.
  {
    db::ConnectionGuard local(db::openDatabase(folder + u"haus_runde/Varnoth.DBF"_qs, {}, {}, db::Backend::Sqlite));
    testsupport::run(local.get(), {
        u"UPDATE massnahme SET dadurch=1765274400, werdurch='meier', anmerkung='gespült' WHERE ID=10"_qs,
        u"INSERT INTO massnahme VALUES (13, 'WB-02', 'Nachprobe', 1765274400, 1765274500, 'meier', 'neu')"_qs,
        u"INSERT INTO resultat VALUES (1, 'DU-01', 1765274400, '', 'Temperatur', 'WW', 58.04, '58', '')"_qs,
    });
  }
  seen = play(u"click commandList 3\nanswer OK\nclick commandList 7\n"_qs);
  // Sent: the measure carried out and the new one; the untouched measure 11 is not sent.
  EXPECT_TRUE(seen.contains(u"box Info | info | 2 Abgleichvorgänge für Massnahme durchgeführt.\\r\\n"
                            "1 Abgleichvorgänge für Resultat durchgeführt."_qs) ||
              seen.contains(u"box Info | info | 2 Abgleichvorgänge für Massnahme durchgeführt.\\n"
                            "1 Abgleichvorgänge für Resultat durchgeführt."_qs))
      << seen.join(u'\n').toStdString();
  EXPECT_EQ(rows(true, u"SELECT ID, AUID, wastun, dadurch, werdurch, anmerkung FROM massnahme ORDER BY ID"_qs),
            (QStringList{u"10|DU-01|Spülen|1765274400|meier|gespült"_qs, u"11|WB-02|Spülen|0||"_qs,
                         u"12|WB-02|Probe|0||"_qs, u"13|WB-02|Nachprobe|1765274500|meier|neu"_qs}));
  EXPECT_EQ(rows(true, u"SELECT ID, AUID, keim, temp FROM resultat"_qs), (QStringList{u"1|DU-01|Temperatur|58"_qs}));
}

TEST_F(CommandTest, AFailedDayFetchKeepsTheRecordedResults) {
  play(u"click commandList 7\n"_qs);  // creates the local database
  {
    db::ConnectionGuard local(db::openDatabase(folder + u"haus_runde/Varnoth.DBF"_qs, {}, {}, db::Backend::Sqlite));
    testsupport::run(local.get(), {u"INSERT INTO resultat (ID, AUID, resu) VALUES (1, 'DU-01', 'noch nicht abgegeben')"_qs});
  }
  // The day list still comes, but the measures of the day fail on the server midway.
  db::ConnectionGuard admin(testsupport::openMariaAdmin());
  testsupport::run(admin.get(), {
      u"RENAME TABLE haus_runde.massnahme TO haus_runde.massnahme_daten"_qs,
      u"CREATE VIEW haus_runde.massnahme AS SELECT ID, IF(ID>10, (SELECT 1 UNION SELECT 2), AUID) AS AUID, wastun, "
      "dasoll, dadurch, werdurch, anmerkung FROM haus_runde.massnahme_daten"_qs});
  const QStringList seen = play(u"click commandList 2\nanswer Ja\nclick objectList \"2026-12-09\"\nanswer OK\n"
                                "click commandList 7\n"_qs);
  EXPECT_EQ(seen.filter(u"box Datenbankfehler | error | Die Abfrage SELECT ID,AUID"_qs).size(), 1)
      << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.filter(u"Abgleichvorgänge"_qs).isEmpty());
  EXPECT_EQ(rows(false, u"SELECT resu FROM resultat"_qs), (QStringList{u"noch nicht abgegeben"_qs}));
}

}  // namespace
