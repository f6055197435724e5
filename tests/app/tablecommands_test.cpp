// The two browser commands in the running program: a measure copied with Insert in
// "Maßnahmen bearb." reaches the server once, under a new server ID, when the day's work is
// returned, and no other server row changes.
#include "testservers.h"

#include "app/application.h"
#include "common/dates.h"
#include "db/serverdb.h"
#include "platform/scripteduser.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

const qint32 day = common::makeDate(2026, 12, 9);

class TableCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db::ConnectionGuard admin(testsupport::openMariaAdmin());
    ASSERT_TRUE(admin);
    testsupport::run(admin.get(), {
        u"DROP DATABASE IF EXISTS haus_kopie"_qs, u"CREATE DATABASE haus_kopie"_qs,
        u"DROP USER IF EXISTS 'kopie'@'%'"_qs, u"CREATE USER 'kopie'@'%' IDENTIFIED BY 'kopie1'"_qs,
        u"GRANT ALL ON haus_kopie.* TO 'kopie'@'%'"_qs,
        u"CREATE TABLE haus_kopie.auslass (ID int PRIMARY KEY, AUID varchar(32), code varchar(32), art varchar(32), "
        "raum varchar(64), region varchar(64), hydron varchar(64))"_qs,
        u"CREATE TABLE haus_kopie.massnahme (ID int, AUID varchar(32), wastun varchar(128), dasoll int, dadurch int, "
        "werdurch varchar(64), anmerkung varchar(128))"_qs,
        u"CREATE TABLE haus_kopie.resultat (ID int, AUID varchar(32), abda int, anme varchar(256), keim varchar(32), "
        "syst varchar(32), temp double, resu varchar(256), prot varchar(32))"_qs,
        u"CREATE TABLE haus_kopie.xele (ID int, gruppe varchar(64), element varchar(64), XML longtext)"_qs,
        u"INSERT INTO haus_kopie.auslass VALUES (1, 'DU-01', '', 'Dusche', 'Bad', 'EG', ''), "
        "(2, 'WB-02', '', 'Waschbecken', 'Küche', 'EG', '')"_qs,
        // Measure 12 is due the next day: the device never sees it, and its copy's local ID
        // (the device's highest, 11, plus one) is 12 too.
        u"INSERT INTO haus_kopie.massnahme VALUES (10, 'DU-01', 'Spülen', "_qs + QString::number(day + 8 * 3600) +
            u", 0, '', 'C:\\\\temp &amp; €'), (11, 'WB-02', 'Spülen', "_qs + QString::number(day + 14 * 3600) +
            u", 0, '', ''), (12, 'WB-02', 'Probe', "_qs + QString::number(day + 86400 + 9 * 3600) + u", 0, '', '')"_qs,
    });
    const testsupport::Servers& s = testsupport::servers();
    folder = testsupport::temporaryFolder() + u"/kopie/"_qs;
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QFile config(folder + u"VarnothM.CFG"_qs);
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write((u"DB_MODE = MARIADB\nDB_HOST = "_qs + s.mariaHost + u"\nDB_PORT = "_qs + s.mariaPort +
                  u"\nDB_USER = kopie\nDB_PASS = kopie1\n"_qs).toUtf8());
  }

  QStringList serverMeasures() {
    const testsupport::Servers& s = testsupport::servers();
    db::ConnectionGuard c(db::openMariaDb(s.mariaHost, s.mariaPort, u"haus_kopie"_qs, s.mariaUser, s.mariaPass));
    QStringList lines;
    db::Query q(c.get(), u"SELECT ID, AUID, wastun, dasoll, dadurch, werdurch, anmerkung FROM massnahme ORDER BY ID"_qs);
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

TEST_F(TableCommandTest, AMeasureCopiedWithInsertReachesTheServerOnceUnderANewId) {
  const QStringList before = serverMeasures();
  ASSERT_EQ(before.size(), 3);
  EXPECT_TRUE(platform::startScript(u"click commandList 1\n"
                                    "click commandList 2\nanswer Ja\nclick objectList \"2026-12-09\"\nanswer OK\n"
                                    "click commandList 4\n"
                                    "click tableList \"10        \" 0\nkey Insert\npress dbStore\nkey Escape\n"
                                    "click commandList 3\nanswer OK\n"
                                    "click commandList 3\nanswer OK\n"  // returned again: nothing more arrives
                                    "click commandList 7\n"_qs));
  EXPECT_EQ(app::runApplication(folder), 0);
  const QStringList seen = platform::transcript();
  platform::stopScript();
  EXPECT_TRUE(seen.filter(u"skipped"_qs).isEmpty()) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.filter(u"unanswered"_qs).isEmpty()) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.contains(u"title Tabelle massnahme ID=12"_qs)) << "the copy's local ID";

  QStringList expected = before;
  expected.append(QString(before[0]).replace(0, 2, u"13"_qs));  // a copy of measure 10 under a new server ID
  EXPECT_EQ(serverMeasures(), expected) << seen.join(u'\n').toStdString();
}

}  // namespace
