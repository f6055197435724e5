// The return by the device's record, on each kind of server: only work the server lacks is
// sent, each row once, never onto another measure; what a return sent before it broke off
// is not sent again.
#include "relay.h"
#include "testservers.h"
#include "transfer_fixture.h"

#include "common/dates.h"
#include "db/localschema.h"
#include "db/quoting.h"
#include "db/serverdb.h"
#include "sync/transferrecord.h"
#include "sync/transfers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

namespace {

using namespace transfertest;
using testsupport::Place;

const qint32 day = common::makeDate(2026, 3, 5);
QString at(int hour) { return QString::number(day + hour * 3600); }

QString testName() {
  return QString::fromStdString(::testing::UnitTest::GetInstance()->current_test_info()->name());
}

db::Connection* openLocal(const QString& name) {
  db::Connection* local = testsupport::openEmpty(Place::LocalSqlite, name);
  db::createOutletTable(local);
  db::createResultTable(local);
  db::createMeasureTable(local);
  db::createDialogTable(local);
  return local;
}

class ReturnRecordTest : public ::testing::TestWithParam<Place> {
 protected:
  void SetUp() override {
    server.reset(testsupport::openEmpty(GetParam(), testName()));
    ASSERT_TRUE(server) << db::lastError().toStdString();
    testsupport::run(server.get(), serverTables(GetParam()));
    local.reset(openLocal(testName() + u"_local"_qs));
    ASSERT_TRUE(local);
    // The day: two open measures and one done; another day holds the measure with ID 4.
    testsupport::run(server.get(), {
        u"INSERT INTO massnahme VALUES (1, 'A1', 'Spülen 😀', "_qs + at(8) + u", 0, '', '')"_qs,
        u"INSERT INTO massnahme VALUES (2, 'A2', 'Probe', "_qs + at(9) + u", 0, '', '')"_qs,
        u"INSERT INTO massnahme VALUES (3, 'A3', 'Spülen 😀', "_qs + at(10) + u", "_qs + at(11) +
            u", 'schulz', 'erledigt')"_qs,
        u"INSERT INTO massnahme VALUES (4, 'B7', 'Probe', "_qs + QString::number(day + 86400 * 7) + u", 0, '', '')"_qs,
        u"INSERT INTO resultat (ID, AUID, keim) VALUES (40, 'A0', 'alt')"_qs,
    });
  }

  int fetchDay() {
    return transfer::fetchDueMeasures(server.get(), local.get(), common::startOfDay(day), common::endOfDay(day),
                                      status.screen());
  }
  std::pair<int, int> giveBack() {
    const common::MainScreen screen = status.screen();
    const int measures = transfer::returnMeasures(server.get(), local.get(), screen);
    const int results = transfer::returnResults(server.get(), local.get(), screen);
    return {measures, results};
  }
  QStringList serverRows() { return dump(server.get(), u"massnahme"_qs) + dump(server.get(), u"resultat"_qs); }

  // What the assistant does: a measure carried out, with a result.
  void carryOut(int id, const QString& remark) {
    testsupport::run(local.get(), {u"UPDATE massnahme SET dadurch="_qs + at(12) + u",werdurch='meier',anmerkung="_qs +
                                   db::quoteText(remark) + u" WHERE ID="_qs + QString::number(id)});
  }
  void addResult(int id, const QString& remark, const QString& temp = u"36.5"_qs) {
    testsupport::run(local.get(), {u"INSERT INTO resultat VALUES ("_qs + QString::number(id) + u", 'A1', "_qs + at(12) +
                                   u", "_qs + db::quoteText(remark) + u", 'KW', 'TWK', "_qs + temp + u", 'ok', 'P1')"_qs});
  }

  db::ConnectionGuard server, local;
  StatusLog status;
  testsupport::BoxRecorder boxes;
};

TEST_P(ReturnRecordTest, AMeasureMadeOnTheDeviceGoesInOnceAndNeverOntoAnotherMeasure) {
  ASSERT_EQ(fetchDay(), 3);
  carryOut(1, u"Bad 😀 ok, \"C:\\temp\" & <gut>"_qs);
  // The table editor's new row: the local highest ID + 1, which the server holds for another day.
  testsupport::run(local.get(), {u"INSERT INTO massnahme VALUES (4, 'A9', 'Neu 😀', "_qs + at(13) + u", "_qs + at(14) +
                                 u", 'meier', 'neu')"_qs});
  addResult(1, u"Bad 😀 ok"_qs);
  addResult(2, u"kalt"_qs, u"7.26"_qs);

  EXPECT_EQ(giveBack(), std::make_pair(2, 2));
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(dump(server.get(), u"massnahme"_qs),
            (QStringList{u"1|A1|Spülen 😀|"_qs + at(8) + u'|' + at(12) + u"|meier|"_qs +
                             db::escapeText(u"Bad 😀 ok, \"C:\\temp\" & <gut>"_qs),
                         u"2|A2|Probe|"_qs + at(9) + u"|0||"_qs,  // open, not sent
                         u"3|A3|Spülen 😀|"_qs + at(10) + u'|' + at(11) + u"|schulz|erledigt"_qs,
                         u"4|B7|Probe|"_qs + QString::number(day + 86400 * 7) + u"|0||"_qs,  // untouched
                         u"5|A9|Neu 😀|"_qs + at(13) + u'|' + at(14) + u"|meier|neu"_qs}));
  EXPECT_EQ(dump(server.get(), u"resultat"_qs, u"ID,anme,temp"_qs),
            (QStringList{u"40|NULL|NULL"_qs, u"41|Bad 😀 ok|36.5"_qs, u"42|kalt|7.3"_qs}));

  // Returning again sends nothing: the server stays as it is.
  const QStringList once = serverRows();
  EXPECT_EQ(giveBack(), std::make_pair(0, 0));
  EXPECT_EQ(serverRows(), once);
  EXPECT_EQ(transfer::pendingWork(local.get()).measures, 0);
  EXPECT_EQ(transfer::pendingWork(local.get()).results, 0);

  // A later change of the new measure updates its own server row; a new result goes in once.
  testsupport::run(local.get(), {u"UPDATE massnahme SET anmerkung='nachgetragen' WHERE ID=4"_qs});
  addResult(3, u"dritte"_qs);
  EXPECT_EQ(transfer::pendingWork(local.get()).measures, 1);
  EXPECT_EQ(transfer::pendingWork(local.get()).results, 1);
  EXPECT_EQ(giveBack(), std::make_pair(1, 1));
  EXPECT_EQ(dump(server.get(), u"massnahme"_qs, u"ID,anmerkung"_qs).mid(3),
            (QStringList{u"4|"_qs, u"5|nachgetragen"_qs}));
  EXPECT_EQ(dump(server.get(), u"resultat"_qs, u"ID"_qs).size(), 4);
}

TEST_P(ReturnRecordTest, RowsSentWhoseCommitTheDeviceNeverSawAreNeitherSentTwiceNorLost) {
  ASSERT_EQ(fetchDay(), 3);
  carryOut(1, u"ok"_qs);
  testsupport::run(local.get(), {u"INSERT INTO massnahme VALUES (4, 'A9', 'Neu 😀', "_qs + at(13) + u", "_qs + at(14) +
                                 u", 'meier', 'neu')"_qs});
  addResult(1, u"Haus Süd 😀 / O'Neil & <Söhne> \\ 1"_qs, u"7.25"_qs);
  addResult(2, u"zwei"_qs);
  // A text as another program may have left it: an apostrophe and a backslash unescaped.
  testsupport::run(local.get(), {u"INSERT INTO resultat VALUES (3, 'A3', "_qs + at(12) +
                                 u", 'O''Brien \\ roh', 'KW', 'TWK', 36.5, 'ok', 'P1')"_qs});
  EXPECT_EQ(giveBack(), std::make_pair(2, 3));
  const QStringList once = serverRows();

  // A return that broke off after the server's commit and before the device recorded it
  // leaves its rows in transit; the fetch counts them as not yet returned.
  testsupport::run(local.get(), {u"UPDATE abgleich SET vorgang='unterwegs' WHERE vorgang='abgegeben'"_qs});
  EXPECT_EQ(transfer::pendingWork(local.get()).results, 3);
  EXPECT_EQ(giveBack(), std::make_pair(0, 0));  // the server holds them all: nothing goes again
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(serverRows(), once);
  EXPECT_EQ(transfer::pendingWork(local.get()).measures, 0);
  EXPECT_EQ(transfer::pendingWork(local.get()).results, 0);

  // Where the server never committed them, they go once more, each under a new ID.
  testsupport::run(local.get(), {u"UPDATE abgleich SET vorgang='unterwegs' WHERE vorgang='abgegeben' AND serverID<>1"_qs});
  testsupport::run(server.get(), {u"DELETE FROM massnahme WHERE ID=5"_qs, u"DELETE FROM resultat WHERE ID=42"_qs});
  EXPECT_EQ(giveBack(), std::make_pair(1, 1));
  EXPECT_EQ(dump(server.get(), u"massnahme"_qs, u"ID,AUID,anmerkung"_qs).mid(3), (QStringList{u"4|B7|"_qs, u"5|A9|neu"_qs}));
  EXPECT_EQ(dump(server.get(), u"resultat"_qs, u"ID,anme"_qs),
            (QStringList{u"40|NULL"_qs, u"41|"_qs + db::escapeText(u"Haus Süd 😀 / O'Neil & <Söhne> \\ 1"_qs),
                         u"43|"_qs + db::escapeText(u"O'Brien \\ roh"_qs), u"44|zwei"_qs}));
  EXPECT_EQ(giveBack(), std::make_pair(0, 0));
}

TEST_P(ReturnRecordTest, AnUnchangedMeasureLeavesWorkDoneOnTheServer) {
  ASSERT_EQ(fetchDay(), 3);
  testsupport::run(server.get(), {u"UPDATE massnahme SET dadurch="_qs + at(15) + u", werdurch='büro' WHERE ID=2"_qs});
  EXPECT_EQ(giveBack(), std::make_pair(0, 0));
  EXPECT_EQ(dump(server.get(), u"massnahme"_qs, u"ID,dadurch,werdurch"_qs)[1], u"2|"_qs + at(15) + u"|büro"_qs);
}

TEST_P(ReturnRecordTest, AnUpdateThatWouldWriteTwoServerMeasuresIsRefusedByName) {
  testsupport::run(server.get(), {u"INSERT INTO massnahme VALUES (2, 'A2b', 'Probe', "_qs + at(9) + u", 0, '', '')"_qs});
  ASSERT_EQ(fetchDay(), 4);
  carryOut(2, u"nur eine"_qs);
  carryOut(1, u"ok"_qs);
  addResult(1, u"ok"_qs);
  EXPECT_EQ(giveBack(), std::make_pair(1, 1));  // measure 1 and the result went
  ASSERT_EQ(boxes.boxes.size(), 2u);  // each of the two local rows with ID 2 was refused
  EXPECT_EQ(boxes.boxes[0].title, u"Datenbankfehler"_qs);
  EXPECT_TRUE(boxes.boxes[0].text.startsWith(u"Die Abfrage UPDATE massnahme SET dadurch="_qs));
  EXPECT_TRUE(boxes.boxes[0].text.contains(u" WHERE ID=2; konnte nicht ausgeführt werden: Auf dem Server tragen "
                                           "2 Maßnahmen die ID 2"_qs)) << boxes.boxes[0].text.toStdString();
  EXPECT_EQ(dump(server.get(), u"massnahme"_qs, u"ID,AUID,dadurch,anmerkung"_qs).mid(1, 2),
            (QStringList{u"2|A2|0|"_qs, u"2|A2b|0|"_qs}));
  // Still work on the device: the next fetch warns of it.
  EXPECT_EQ(transfer::pendingWork(local.get()).measures, 2);
}

TEST_P(ReturnRecordTest, AFailedReturnGoesOnWhereItStoppedAndSendsNothingTwice) {
  // The server refuses temperatures of 100 degrees and more.
  const QString real = GetParam() == Place::OdbcPostgres ? u"double precision"_qs : u"double"_qs;
  testsupport::run(server.get(), {u"DROP TABLE resultat"_qs,
                                  u"CREATE TABLE resultat (ID int, AUID varchar(32), abda int, anme varchar(256), keim "
                                  "varchar(32), syst varchar(32), temp "_qs + real + u" CHECK (temp < 100), resu varchar(256), "
                                  "prot varchar(32))"_qs});
  ASSERT_EQ(fetchDay(), 3);
  carryOut(1, u"ok"_qs);
  addResult(1, u"eins"_qs);
  addResult(2, u"zwei"_qs);
  addResult(3, u"verschrieben"_qs, u"365"_qs);
  addResult(4, u"vier"_qs);
  EXPECT_EQ(giveBack(), std::make_pair(1, -1));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_TRUE(boxes.boxes[0].text.startsWith(u"Die Abfrage INSERT INTO resultat (ID,AUID,abda,anme,keim,syst,temp,resu,prot) "
                                             "VALUES (3,'A1',"_qs)) << boxes.boxes[0].text.toStdString();
  // The batch of the refused row went back as a whole: nothing of it is on the server, and
  // nothing of it counts as returned.
  EXPECT_TRUE(dump(server.get(), u"resultat"_qs).isEmpty());
  EXPECT_EQ(transfer::pendingWork(local.get()).results, 4);
  // The technician corrects the temperature and returns again: what is missing goes, once.
  testsupport::run(local.get(), {u"UPDATE resultat SET temp=36.5 WHERE ID=3"_qs});
  EXPECT_EQ(giveBack(), std::make_pair(0, 4));
  EXPECT_EQ(dump(server.get(), u"resultat"_qs, u"ID,anme"_qs),
            (QStringList{u"1|eins"_qs, u"2|zwei"_qs, u"3|verschrieben"_qs, u"4|vier"_qs}));
  EXPECT_EQ(dump(server.get(), u"massnahme"_qs, u"ID"_qs).size(), 4);
}

TEST_P(ReturnRecordTest, NewIdsOnAKeyedTableSkipATakenId) {
  // Where the server's table has a key, an ID that another device took after the highest ID
  // was read makes the insert try the next one. On SQLite a key over abs(ID) with a row -41,
  // which MAX(ID) does not see, plays that other device's row.
  const Place place = GetParam();
  if (place == Place::OdbcSqlite || place == Place::OdbcPostgres) {
    testsupport::run(server.get(), {u"CREATE UNIQUE INDEX resultat_id ON resultat (abs(ID))"_qs,
                                    u"INSERT INTO resultat (ID, AUID) VALUES (-41, 'andere')"_qs});
  } else {
    testsupport::run(server.get(), {u"CREATE UNIQUE INDEX resultat_id ON resultat (ID)"_qs});
  }
  addResult(1, u"eins"_qs);
  addResult(2, u"zwei"_qs);
  EXPECT_EQ(giveBack().second, 2);
  EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text.toStdString();
  const QStringList rows = dump(server.get(), u"resultat"_qs, u"ID,anme"_qs);
  if (place == Place::OdbcSqlite || place == Place::OdbcPostgres)
    EXPECT_EQ(rows, (QStringList{u"-41|NULL"_qs, u"40|NULL"_qs, u"42|eins"_qs, u"43|zwei"_qs}));
  else EXPECT_EQ(rows, (QStringList{u"40|NULL"_qs, u"41|eins"_qs, u"42|zwei"_qs}));
}

TEST_P(ReturnRecordTest, TheWarningOfTheFetchCountsWorkNotYetReturned) {
  ASSERT_EQ(fetchDay(), 3);
  EXPECT_EQ(transfer::pendingWork(local.get()).measures, 0);
  carryOut(1, u"ok"_qs);
  addResult(1, u"eins"_qs);
  addResult(2, u"zwei"_qs);
  const transfer::PendingWork pending = transfer::pendingWork(local.get());
  EXPECT_EQ(pending.measures, 1);
  EXPECT_EQ(pending.results, 2);
  // The user sees it under the warning and answers it with OK, which fetches nothing.
  transfer::fetchDayCommand(local.get(), {}, status.screen(), u"Daten abholen"_qs);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, u"Warnung"_qs);
  EXPECT_EQ(boxes.boxes[0].text,
            u"Wenn Sie das machen, werden alle Daten auf diesem Gerät mit denen des Servers überschrieben.\r\n"
            "Sie müssen Ihre erfassten Daten VORHER ABGEGEBEN haben,sonst sind sie weg.\r\n\r\n"
            "Wollen Sie WIRKLICH fortfahren?\r\nNoch nicht abgegeben: 1 Maßnahmen, 2 Resultate."_qs);
  // A new day empties the results and forgets them; the record then holds the new measures.
  EXPECT_EQ(giveBack(), std::make_pair(1, 2));
  ASSERT_EQ(fetchDay(), 3);
  EXPECT_EQ(transfer::pendingWork(local.get()).measures, 0);
}

TEST_P(ReturnRecordTest, AnOfficeEditOrDeleteBeforeTheRetryOfABrokenReturnDuplicatesNothing) {
  ASSERT_EQ(fetchDay(), 3);
  carryOut(1, u"ok"_qs);
  testsupport::run(local.get(), {u"INSERT INTO massnahme VALUES (4, 'A9', 'Neu 😀', "_qs + at(13) + u", "_qs + at(14) +
                                 u", 'meier', 'neu')"_qs});
  addResult(1, u"Bad 😀 O'Neil & <Söhne>"_qs);
  addResult(2, u"zwei"_qs);
  addResult(3, u"drei \\ Süd/Nord"_qs);
  EXPECT_EQ(giveBack(), std::make_pair(2, 3));
  // The return broke off after the server's commit, before the device recorded it.
  testsupport::run(local.get(), {u"UPDATE abgleich SET vorgang='unterwegs' WHERE vorgang='abgegeben'"_qs});
  // Meanwhile the office corrects a temperature and remarks, and deletes a result.
  testsupport::run(server.get(), {u"UPDATE resultat SET temp=37.2, anme='Büro: nachgemessen' WHERE ID=41"_qs,
                                  u"UPDATE massnahme SET werdurch='büro', anmerkung='Büro 😀 geprüft' WHERE ID=5"_qs,
                                  u"UPDATE massnahme SET anmerkung='Büro' WHERE ID=1"_qs,
                                  u"DELETE FROM resultat WHERE ID=42"_qs});
  // Only the deleted result goes again: sending it twice is the lesser harm than losing it.
  EXPECT_EQ(giveBack(), std::make_pair(0, 1));
  EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text.toStdString();
  EXPECT_EQ(dump(server.get(), u"massnahme"_qs, u"ID,AUID,werdurch,anmerkung"_qs),
            (QStringList{u"1|A1|meier|Büro"_qs, u"2|A2||"_qs, u"3|A3|schulz|erledigt"_qs, u"4|B7||"_qs,
                         u"5|A9|büro|Büro 😀 geprüft"_qs}));
  EXPECT_EQ(dump(server.get(), u"resultat"_qs, u"ID,anme,temp"_qs),
            (QStringList{u"40|NULL|NULL"_qs, u"41|Büro: nachgemessen|37.2"_qs,
                         u"43|"_qs + db::escapeText(u"drei \\ Süd/Nord"_qs) + u"|36.5"_qs, u"44|zwei|36.5"_qs}));
  EXPECT_EQ(giveBack(), std::make_pair(0, 0));
  EXPECT_EQ(transfer::pendingWork(local.get()).measures, 0);
  EXPECT_EQ(transfer::pendingWork(local.get()).results, 0);
}

TEST_P(ReturnRecordTest, TwoDevicesCarryingOutOneMeasureKeepBothExecutions) {
  // Device B: its own file, the same day fetched.
  db::ConnectionGuard other(openLocal(u"geraet_b_"_qs + testsupport::placeName(GetParam())));
  ASSERT_TRUE(other);
  ASSERT_EQ(fetchDay(), 3);
  ASSERT_EQ(transfer::fetchDueMeasures(server.get(), other.get(), common::startOfDay(day), common::endOfDay(day),
                                       status.screen()), 3);
  carryOut(1, u"A: gespült 😀"_qs);
  testsupport::run(other.get(), {u"UPDATE massnahme SET dadurch="_qs + at(13) +
                                 u",werdurch='O''Neil',anmerkung='B: Filter C:\\\\temp & <neu>' WHERE ID IN (1,2)"_qs});
  EXPECT_EQ(giveBack(), std::make_pair(1, 0));
  const QString first = dump(server.get(), u"massnahme"_qs)[0];

  // B returns through the command: measure 1 changed on the server since B fetched it.
  const testsupport::ObjectServer b = testsupport::objectServer(GetParam(), testName());
  common::MainScreen screen = status.screen();
  screen.currentObject = b.object;
  transfer::returnWorkCommand(other.get(), b.settings, screen);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, u"Info"_qs);
  EXPECT_EQ(boxes.boxes[0].text, u"2 Abgleichvorgänge für Massnahme durchgeführt.\r\n"
                                 "0 Abgleichvorgänge für Resultat durchgeführt.\r\n"
                                 "Davon 1 als neue Maßnahme gesendet, weil sie auf dem Server inzwischen geändert wurde."_qs);
  // A's execution is untouched; B's is a measure of its own, of the same outlet, kind and due time.
  const QString remarkB = db::escapeText(u"B: Filter C:\\temp & <neu>"_qs);
  const QString oneil = db::escapeText(u"O'Neil"_qs);
  EXPECT_EQ(dump(server.get(), u"massnahme"_qs),
            (QStringList{first, u"2|A2|Probe|"_qs + at(9) + u'|' + at(13) + u'|' + oneil + u'|' + remarkB,
                         u"3|A3|Spülen 😀|"_qs + at(10) + u'|' + at(11) + u"|schulz|erledigt"_qs,
                         u"4|B7|Probe|"_qs + QString::number(day + 86400 * 7) + u"|0||"_qs,
                         u"5|A1|Spülen 😀|"_qs + at(8) + u'|' + at(13) + u'|' + oneil + u'|' + remarkB}));

  // Nothing goes twice; B's later change goes to B's own row.
  int asNew = -1;
  EXPECT_EQ(transfer::returnMeasures(server.get(), other.get(), status.screen(), &asNew), 0);
  EXPECT_EQ(asNew, 0);
  testsupport::run(other.get(), {u"UPDATE massnahme SET anmerkung='B: nachgetragen' WHERE ID=1"_qs});
  EXPECT_EQ(transfer::returnMeasures(server.get(), other.get(), status.screen(), &asNew), 1);
  EXPECT_EQ(asNew, 0);
  EXPECT_EQ(dump(server.get(), u"massnahme"_qs, u"ID,anmerkung"_qs),
            (QStringList{first.section(u'|', 0, 0) + u'|' + first.section(u'|', 6), u"2|"_qs + remarkB,
                         u"3|erledigt"_qs, u"4|"_qs, u"5|B: nachgetragen"_qs}));
}

TEST_P(ReturnRecordTest, AnotherDevicesExecutionStaysAlsoWhenTheNewRowWentBackWithItsBatch) {
  // The server refuses the remark "verboten".
  const QString integer = GetParam() == Place::OdbcSqlite ? u"INTEGER"_qs : u"int"_qs;
  testsupport::run(server.get(), {u"CREATE TABLE massnahme_neu (ID "_qs + integer + u", AUID varchar(32), wastun varchar(128), "
                                  "dasoll "_qs + integer + u", dadurch "_qs + integer + u", werdurch varchar(64), anmerkung "
                                  "varchar(128) CHECK (anmerkung <> 'verboten'))"_qs,
                                  u"INSERT INTO massnahme_neu SELECT * FROM massnahme"_qs, u"DROP TABLE massnahme"_qs,
                                  u"ALTER TABLE massnahme_neu RENAME TO massnahme"_qs});
  db::ConnectionGuard other(openLocal(u"geraet_c_"_qs + testsupport::placeName(GetParam())));
  ASSERT_TRUE(other);
  ASSERT_EQ(fetchDay(), 3);
  ASSERT_EQ(transfer::fetchDueMeasures(server.get(), other.get(), common::startOfDay(day), common::endOfDay(day),
                                       status.screen()), 3);
  carryOut(1, u"A: gespült"_qs);
  EXPECT_EQ(giveBack(), std::make_pair(1, 0));
  const QStringList afterA = dump(server.get(), u"massnahme"_qs);
  // B's execution of the same measure goes as a new row, which the server refuses: the
  // batch goes back, and nothing of it counts as returned.
  testsupport::run(other.get(), {u"UPDATE massnahme SET dadurch="_qs + at(13) + u",werdurch='schulz',anmerkung='verboten' "
                                 "WHERE ID=1"_qs});
  EXPECT_EQ(transfer::returnMeasures(server.get(), other.get(), status.screen()), -1);
  EXPECT_EQ(dump(server.get(), u"massnahme"_qs), afterA);
  EXPECT_EQ(transfer::pendingWork(other.get()).measures, 1);
  // Corrected and returned again: still a row of its own, A's stays.
  testsupport::run(other.get(), {u"UPDATE massnahme SET anmerkung='B: gespült' WHERE ID=1"_qs});
  int asNew = 0;
  EXPECT_EQ(transfer::returnMeasures(server.get(), other.get(), status.screen(), &asNew), 1);
  EXPECT_EQ(asNew, 1);
  EXPECT_EQ(dump(server.get(), u"massnahme"_qs, u"ID,AUID,werdurch,anmerkung"_qs),
            (QStringList{u"1|A1|meier|A: gespült"_qs, u"2|A2||"_qs, u"3|A3|schulz|erledigt"_qs, u"4|B7||"_qs,
                         u"5|A1|schulz|B: gespült"_qs}));
}

TEST_P(ReturnRecordTest, AResultCorrectedAfterItsReturnCorrectsItsServerRow) {
  addResult(1, u"Bad 😀 warm"_qs, u"58.04"_qs);
  addResult(2, u"kalt"_qs);
  EXPECT_EQ(giveBack(), std::make_pair(0, 2));
  // The technician corrects the temperature and the remark of the first result.
  testsupport::run(local.get(), {u"UPDATE resultat SET temp=48.26, anme='Bad 😀 warm, nachgemessen', resu='O''Neil & <ok>' "
                                 "WHERE ID=1"_qs});
  EXPECT_EQ(transfer::pendingWork(local.get()).results, 1);
  EXPECT_EQ(giveBack(), std::make_pair(0, 1));
  EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text.toStdString();
  EXPECT_EQ(dump(server.get(), u"resultat"_qs, u"ID,AUID,abda,anme,temp,resu"_qs),
            (QStringList{u"40|A0|NULL|NULL|NULL|NULL"_qs,
                         u"41|A1|"_qs + at(12) + u"|Bad 😀 warm, nachgemessen|48.3|"_qs + db::escapeText(u"O'Neil & <ok>"_qs),
                         u"42|A1|"_qs + at(12) + u"|kalt|36.5|ok"_qs}));
  EXPECT_EQ(giveBack(), std::make_pair(0, 0));
  // A correction of a result the office has deleted since brings it back.
  testsupport::run(server.get(), {u"DELETE FROM resultat WHERE ID=41"_qs});
  testsupport::run(local.get(), {u"UPDATE resultat SET resu='nochmals' WHERE ID=1"_qs});
  EXPECT_EQ(giveBack(), std::make_pair(0, 1));
  EXPECT_EQ(dump(server.get(), u"resultat"_qs, u"ID,resu"_qs),
            (QStringList{u"40|NULL"_qs, u"42|ok"_qs, u"43|nochmals"_qs}));
}

// The office: a second session on the server, in the mariadb client, that holds a transaction
// on measure 3 and rows of another day. The device's batch updates measures 1 and 2 and
// waits for measure 3; then the office asks for measure 1, which the device holds: the
// server rolls the device's lighter transaction back as the deadlock's victim, with the two
// updates that had gone through, and the office commits.
TEST_P(ReturnRecordTest, ABatchTheServerRolledBackAsADeadlockVictimIsSentAgainWhole) {
  if (GetParam() == Place::OdbcSqlite) GTEST_SKIP() << "SQLite locks the whole file: no deadlock between two sessions";
  if (GetParam() == Place::OdbcPostgres) GTEST_SKIP() << "the office session here is a MariaDB client";
  QString schema;
  {
    db::Query name(server.get(), u"SELECT DATABASE()"_qs);
    ASSERT_TRUE(name.next());
    schema = name.text(0);
  }
  QStringList otherDay;
  for (int id = 100; id < 150; ++id)
    otherDay << u"("_qs + QString::number(id) + u", 'B"_qs + QString::number(id) + u"', 'Probe', "_qs +
                    QString::number(day + 86400 * 2) + u", 0, '', '')"_qs;
  testsupport::run(server.get(), {u"ALTER TABLE massnahme ADD PRIMARY KEY (ID)"_qs,
                                  u"INSERT INTO massnahme VALUES "_qs + otherDay.join(u',')});
  ASSERT_EQ(fetchDay(), 3);
  carryOut(1, u"eins 😀"_qs);
  carryOut(2, u"zwei O'Neil"_qs);
  carryOut(3, u"drei & <vier>"_qs);
  const QStringList before = dump(server.get(), u"massnahme"_qs);

  const auto& s = testsupport::servers();
  QProcess office;
  office.setProcessChannelMode(QProcess::MergedChannels);
  office.start(u"mariadb"_qs, {u"--no-defaults"_qs, u"-h"_qs, s.mariaHost, u"-P"_qs, s.mariaPort, u"-u"_qs, s.mariaUser,
                               u"-p"_qs + s.mariaPass, schema});
  ASSERT_TRUE(office.waitForStarted());
  const QString waiting = u"SELECT 1 FROM information_schema.INNODB_TRX t JOIN information_schema.PROCESSLIST p ON "
                          "p.ID=t.trx_mysql_thread_id WHERE t.trx_state='LOCK WAIT' AND p.DB='"_qs + schema + u'\'';
  office.write((u"START TRANSACTION;\n"
                "SELECT ID FROM massnahme WHERE ID=3 FOR UPDATE;\n"
                "UPDATE massnahme SET werdurch='büro' WHERE ID>=100;\n"
                "DELIMITER //\n"
                "BEGIN NOT ATOMIC DECLARE n INT DEFAULT 0; WHILE n < 300 AND NOT EXISTS ("_qs + waiting +
                u") DO DO SLEEP(0.2); SET n = n + 1; END WHILE; END//\n"
                "DELIMITER ;\n"
                "SELECT ID FROM massnahme WHERE ID=1 FOR UPDATE;\n"
                "COMMIT;\n"_qs)
                   .toUtf8());
  office.closeWriteChannel();
  ASSERT_TRUE(office.waitForBytesWritten(10000));
  // The device starts once the office holds its rows and waits. (The server refreshes its
  // list of transactions only when it was not read for a tenth of a second: the office looks
  // at it every 0.2 s, and the test looks at the sessions instead.)
  {
    db::ConnectionGuard admin(testsupport::openMariaAdmin());
    const QString holding = u"SELECT 1 FROM information_schema.PROCESSLIST WHERE INFO LIKE 'DO SLEEP%' AND DB='"_qs +
                            schema + u'\'';
    bool held = false;
    for (int attempt = 0; attempt < 600 && !held; ++attempt) {
      db::Query q(admin.get(), holding);
      held = q.next();
      if (!held) QThread::msleep(50);
    }
    ASSERT_TRUE(held) << office.readAll().toStdString();
  }
  EXPECT_EQ(giveBack(), std::make_pair(-1, 0));
  ASSERT_TRUE(office.waitForFinished(120000));
  EXPECT_EQ(office.exitCode(), 0) << office.readAll().toStdString();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, u"Datenbankfehler"_qs);
  EXPECT_TRUE(boxes.boxes[0].text.contains(u"Deadlock"_qs)) << boxes.boxes[0].text.toStdString();
  // Nothing the server lacks counts as returned.
  EXPECT_EQ(dump(server.get(), u"massnahme"_qs).mid(0, 4), before.mid(0, 4));
  EXPECT_EQ(transfer::pendingWork(local.get()).measures, 3);

  // The retry sends every measure once, with the device's values.
  EXPECT_EQ(giveBack(), std::make_pair(3, 0));
  EXPECT_EQ(dump(server.get(), u"massnahme"_qs, u"ID,werdurch,anmerkung"_qs).mid(0, 4),
            (QStringList{u"1|meier|eins 😀"_qs, u"2|meier|"_qs + db::escapeText(u"zwei O'Neil"_qs),
                         u"3|meier|"_qs + db::escapeText(u"drei & <vier>"_qs), u"4||"_qs}));
  EXPECT_EQ(dump(server.get(), u"massnahme"_qs, u"ID"_qs).size(), 54);
  EXPECT_EQ(transfer::pendingWork(local.get()).measures, 0);
}

// The record is written entry by entry, each write naming the entry it replaces: an entry that
// another transfer wrote meanwhile stays, and the write fails with a reason.
TEST(TransferRecord, NeverOverwritesAnEntryAnotherTransferWrote) {
  db::ConnectionGuard local(openLocal(u"fremder_eintrag"_qs));
  // The record as an earlier version made it gains the columns of an entry before its transit.
  testsupport::run(local.get(), {u"CREATE TABLE abgleich (tabelle varchar(16) NOT NULL, zeile longint NOT NULL, ID longint "
                                 "NOT NULL, serverID longint NOT NULL, vorgang varchar(16) NOT NULL, kennung longtext NOT "
                                 "NULL, stand longtext NOT NULL, PRIMARY KEY (tabelle, zeile))"_qs});
  ASSERT_TRUE(transfer::ensureTransferRecord(local.get()));
  ASSERT_TRUE(transfer::ensureTransferRecord(local.get()));
  EXPECT_TRUE(db::Query(local.get(), u"SELECT vorherVorgang, vorherID, vorherStand FROM abgleich"_qs).ok());
  testsupport::run(local.get(), {u"INSERT INTO resultat VALUES (1, 'A1', 100, 'Süd 😀', 'KW', 'TWK', 36.5, 'ok', 'P1')"_qs,
                                 u"INSERT INTO massnahme VALUES (7, 'A7', 'Spülen', 100, 200, 'meier', 'ok')"_qs});
  // Another transfer recorded the result as in transit to server row 9, and the measure as sent.
  transfer::RecordWriter results(local.get(), u"resultat"_qs);
  transfer::RecordWriter measures(local.get(), u"massnahme"_qs);
  ASSERT_TRUE(results.write(1, {}, 9, transfer::inTransitEvent));
  ASSERT_TRUE(measures.write(1, {}, 70, transfer::returnedEvent));
  const QStringList entries = dump(local.get(), u"abgleich"_qs, u"tabelle,zeile,serverID,vorgang"_qs);
  struct Case {
    transfer::RecordWriter* writer;
    transfer::RecordEntry before;  // what this transfer read
    qint64 serverId;
  };
  for (const Case& c : {Case{&results, {}, 12}, Case{&results, {transfer::returnedEvent, 9}, 12},
                        Case{&results, {transfer::inTransitEvent, 8}, 12}, Case{&measures, {}, 71},
                        Case{&measures, {transfer::fetchedEvent, 7}, 7}}) {
    EXPECT_FALSE(c.writer->write(1, c.before, c.serverId, transfer::inTransitEvent)) << c.writer->statement().toStdString();
    EXPECT_FALSE(c.writer->statement().isEmpty());
    EXPECT_FALSE(db::lastError().isEmpty());
  }
  EXPECT_FALSE(results.arrived(1, 8));
  EXPECT_FALSE(results.move(1, 8, 12));
  EXPECT_EQ(db::lastError(), u"Ein anderer Vorgang hat den Abgleich dieser Zeile inzwischen eingetragen; "
                             "sein Eintrag wird nicht überschrieben."_qs);
  EXPECT_EQ(dump(local.get(), u"abgleich"_qs, u"tabelle,zeile,serverID,vorgang"_qs), entries);
  // The entry it read is replaced.
  EXPECT_TRUE(results.write(1, {transfer::inTransitEvent, 9}, 12, transfer::returnedEvent));
}

// A new MariaDB database of the name with the server's tables, as a building's server holds them.
db::Connection* freshMariaSchema(const QString& schema) {
  const auto& s = testsupport::servers();
  {
    db::ConnectionGuard admin(testsupport::openMariaAdmin());
    testsupport::run(admin.get(), {u"DROP DATABASE IF EXISTS "_qs + schema, u"CREATE DATABASE "_qs + schema});
  }
  db::Connection* server = db::openMariaDb(s.mariaHost, s.mariaPort, schema, s.mariaUser, s.mariaPass);
  if (server) testsupport::run(server, serverTables(Place::MariaDb));
  return server;
}

// Two devices returning to one server at the same moment: each a process of its own with
// 500 results of its own, started together.
TEST(TwoDevices, ReturningAtOnceNeverShareAnId) {
  const QString schema = u"t_zwei_geraete"_qs;
  db::ConnectionGuard server(freshMariaSchema(schema));
  ASSERT_TRUE(server);
  const QString folder = testsupport::temporaryFolder();
  std::vector<std::unique_ptr<QProcess>> devices;
  for (int device = 1; device <= 2; ++device) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"VARNOTHM_DEVICE"_qs, QString::number(device));
    environment.insert(u"VARNOTHM_DEVICE_SCHEMA"_qs, schema);
    environment.insert(u"VARNOTHM_DEVICE_FOLDER"_qs, folder);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(QCoreApplication::applicationFilePath(),
                   {u"--gtest_also_run_disabled_tests"_qs, u"--gtest_filter=TwoDevices.DISABLED_OneDeviceReturns"_qs});
    devices.push_back(std::move(process));
  }
  // Both prepare their results, then go at the same moment.
  for (int waited = 0; waited < 600; ++waited) {
    if (QFile::exists(folder + u"/bereit1"_qs) && QFile::exists(folder + u"/bereit2"_qs)) break;
    QThread::msleep(100);
  }
  QFile(folder + u"/los"_qs).open(QIODevice::WriteOnly);
  for (auto& process : devices) {
    ASSERT_TRUE(process->waitForFinished(240000));
    EXPECT_EQ(process->exitCode(), 0) << process->readAll().toStdString();
  }
  db::Query ids(server.get(), u"SELECT COUNT(*), COUNT(DISTINCT ID), COUNT(DISTINCT anme) FROM resultat"_qs);
  ASSERT_TRUE(ids.next());
  EXPECT_EQ(ids.int32(0), 1000);
  EXPECT_EQ(ids.int32(1), 1000);
  EXPECT_EQ(ids.int32(2), 1000);
}

TEST(TwoDevices, AUserWithoutTheRightToLockTablesStillReturns) {
  const auto& s = testsupport::servers();
  const QString schema = u"t_ohne_sperre"_qs;
  {
    db::ConnectionGuard admin(testsupport::openMariaAdmin());
    testsupport::run(admin.get(), {u"DROP DATABASE IF EXISTS "_qs + schema, u"CREATE DATABASE "_qs + schema,
                                   u"CREATE USER IF NOT EXISTS 'techniker'@'%' IDENTIFIED BY 'Spülen-1'"_qs,
                                   u"GRANT SELECT, INSERT, UPDATE, CREATE ON "_qs + schema + u".* TO 'techniker'@'%'"_qs});
  }
  db::ConnectionGuard server(db::openMariaDb(s.mariaHost, s.mariaPort, schema, u"techniker"_qs, u"Spülen-1"_qs));
  ASSERT_TRUE(server) << db::lastError().toStdString();
  testsupport::run(server.get(), serverTables(Place::MariaDb));
  EXPECT_FALSE(db::execute(server.get(), u"LOCK TABLES resultat WRITE"_qs));
  db::ConnectionGuard local(openLocal(u"ohne_sperre"_qs));
  testsupport::run(local.get(), {u"INSERT INTO resultat (ID, AUID, anme) VALUES (1, 'A1', 'eins'), (2, 'A2', 'zwei')"_qs});
  StatusLog status;
  testsupport::BoxRecorder boxes;
  EXPECT_EQ(transfer::returnResults(server.get(), local.get(), status.screen()), 2);
  EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text.toStdString();
  EXPECT_EQ(dump(server.get(), u"resultat"_qs, u"ID,anme"_qs), (QStringList{u"1|eins"_qs, u"2|zwei"_qs}));
}

// One device of the test above; runs only when that test starts it.
TEST(TwoDevices, DISABLED_OneDeviceReturns) {
  const auto& s = testsupport::servers();
  const QString device = qEnvironmentVariable("VARNOTHM_DEVICE");
  const QString folder = qEnvironmentVariable("VARNOTHM_DEVICE_FOLDER");
  ASSERT_FALSE(device.isEmpty());
  db::ConnectionGuard local(openLocal(u"geraet"_qs + device));
  QStringList results;
  for (int i = 1; i <= 500; ++i)
    results << u"("_qs + QString::number(i) + u", 'A"_qs + QString::number(i % 7) + u"', "_qs + at(12) + u", 'Gerät "_qs +
                   device + u" Probe "_qs + QString::number(i) + u" 😀', 'KW', 'TWK', 36.5, 'ok', 'P1')"_qs;
  testsupport::run(local.get(), {u"INSERT INTO resultat VALUES "_qs + results.join(u',')});
  db::ConnectionGuard server(db::openMariaDb(s.mariaHost, s.mariaPort, qEnvironmentVariable("VARNOTHM_DEVICE_SCHEMA"),
                                             s.mariaUser, s.mariaPass));
  ASSERT_TRUE(server);
  QFile(folder + u"/bereit"_qs + device).open(QIODevice::WriteOnly);
  while (!QFile::exists(folder + u"/los"_qs)) QThread::msleep(10);
  StatusLog status;
  testsupport::BoxRecorder boxes;
  EXPECT_EQ(transfer::returnResults(server.get(), local.get(), status.screen()), 500);
  EXPECT_TRUE(boxes.boxes.empty());
}

// Two devices returning a day's work to one ODBC server at the same moment, each a process of
// its own with 1,000 results and 20 measures made on the device, with keys on ID and without:
// they take turns, so every row arrives once under an ID of its own and neither device sees
// an error. Over SQLite the second waits for the first's write lock rather than giving up.
class TwoDevicesAtOnce : public ::testing::TestWithParam<std::tuple<Place, bool>> {};

TEST_P(TwoDevicesAtOnce, EveryRowArrivesOnceUnderAnIdOfItsOwn) {
  const auto [place, keyed] = GetParam();
  db::ConnectionGuard server(testsupport::openEmpty(place, testName()));
  ASSERT_TRUE(server) << db::lastError().toStdString();
  testsupport::run(server.get(), serverTables(place));
  if (keyed)
    testsupport::run(server.get(), {u"CREATE UNIQUE INDEX resultat_id ON resultat (ID)"_qs,
                                    u"CREATE UNIQUE INDEX massnahme_id ON massnahme (ID)"_qs});
  const QString folder = testsupport::temporaryFolder() + u'/' + testName().replace(u'/', u'_');
  ASSERT_TRUE(QDir().mkpath(folder));
  std::vector<std::unique_ptr<QProcess>> devices;
  for (int device = 1; device <= 2; ++device) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"VARNOTHM_DEVICE"_qs, QString::number(device));
    environment.insert(u"VARNOTHM_DEVICE_SOURCE"_qs, testsupport::lastOdbcSource());
    environment.insert(u"VARNOTHM_DEVICE_ODBCINI"_qs, qEnvironmentVariable("ODBCINI"));
    environment.insert(u"VARNOTHM_DEVICE_FOLDER"_qs, folder);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(QCoreApplication::applicationFilePath(),
                   {u"--gtest_also_run_disabled_tests"_qs, u"--gtest_filter=TwoDevices.DISABLED_OneDeviceReturnsADay"_qs});
    devices.push_back(std::move(process));
  }
  for (int waited = 0; waited < 600; ++waited) {
    if (QFile::exists(folder + u"/bereit1"_qs) && QFile::exists(folder + u"/bereit2"_qs)) break;
    QThread::msleep(100);
  }
  QFile(folder + u"/los"_qs).open(QIODevice::WriteOnly);
  for (auto& process : devices) {
    ASSERT_TRUE(process->waitForFinished(400000));
    EXPECT_EQ(process->exitCode(), 0) << process->readAll().toStdString();
  }
  const std::vector<std::tuple<QString, QString, int>> tables{{u"resultat"_qs, u"anme"_qs, 2000},
                                                               {u"massnahme"_qs, u"anmerkung"_qs, 40}};
  for (const auto& [table, text, rows] : tables) {
    db::Query ids(server.get(), u"SELECT COUNT(*), COUNT(DISTINCT ID), COUNT(DISTINCT "_qs + text + u") FROM "_qs + table);
    ASSERT_TRUE(ids.next()) << db::lastError().toStdString();
    EXPECT_EQ(ids.int32(0), rows) << table.toStdString();
    EXPECT_EQ(ids.int32(1), rows) << table.toStdString();
    EXPECT_EQ(ids.int32(2), rows) << table.toStdString();
  }
}

// One device of the test above; runs only when that test starts it.
TEST(TwoDevices, DISABLED_OneDeviceReturnsADay) {
  const QString device = qEnvironmentVariable("VARNOTHM_DEVICE");
  const QString folder = qEnvironmentVariable("VARNOTHM_DEVICE_FOLDER");
  ASSERT_FALSE(device.isEmpty());
  testsupport::servers();  // then the data-source file of the test that started this device
  qputenv("ODBCINI", qgetenv("VARNOTHM_DEVICE_ODBCINI"));
  db::ConnectionGuard local(openLocal(u"tag"_qs + device));
  QStringList results, measures;
  for (int i = 1; i <= 1000; ++i)
    results << u"("_qs + QString::number(i) + u", 'A"_qs + QString::number(i % 7) + u"', "_qs + at(12) + u", 'Gerät "_qs +
                   device + u" Probe "_qs + QString::number(i) + u" 😀 O&apos;Neil', 'KW', 'TWK', 36.5, 'ok', 'P1')"_qs;
  for (int i = 1; i <= 20; ++i)
    measures << u"("_qs + QString::number(i) + u", 'G"_qs + device + u"-"_qs + QString::number(i) +
                    u"', 'Neu 😀 & <Spülen>', "_qs + at(13) +
                    u", "_qs + at(14) + u", 'meier', 'Gerät "_qs + device + u" Maßnahme "_qs + QString::number(i) + u"')"_qs;
  testsupport::run(local.get(), {u"INSERT INTO resultat VALUES "_qs + results.join(u','),
                                 u"INSERT INTO massnahme VALUES "_qs + measures.join(u',')});
  db::ConnectionGuard server(
      db::openDatabase(qEnvironmentVariable("VARNOTHM_DEVICE_SOURCE"), {}, {}, db::Backend::Odbc));
  ASSERT_TRUE(server) << db::lastError().toStdString();
  QFile(folder + u"/bereit"_qs + device).open(QIODevice::WriteOnly);
  while (!QFile::exists(folder + u"/los"_qs)) QThread::msleep(10);
  StatusLog status;
  testsupport::BoxRecorder boxes;
  const common::MainScreen screen = status.screen();
  EXPECT_EQ(transfer::returnMeasures(server.get(), local.get(), screen), 20);
  EXPECT_EQ(transfer::returnResults(server.get(), local.get(), screen), 1000);
  EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Servers, TwoDevicesAtOnce,
                         ::testing::Values(std::tuple{Place::OdbcPostgres, true}, std::tuple{Place::OdbcPostgres, false},
                                           std::tuple{Place::OdbcSqlite, false}),
                         [](const auto& info) {
                           return testsupport::placeName(std::get<0>(info.param)).toStdString() +
                                  (std::get<1>(info.param) ? "KeysOnId" : "NoKeys");
                         });

// The rows a return sends cost one round trip each on PostgreSQL, with the driver's own
// settings (statements prepared on the server): counted at a relay in front of the server.
TEST(ReturnToPostgres, EachRowSentIsOneRoundTrip) {
  {
    db::ConnectionGuard tables(testsupport::openEmpty(Place::OdbcPostgres, u"round_trips"_qs));
    ASSERT_TRUE(tables) << db::lastError().toStdString();
    testsupport::run(tables.get(), serverTables(Place::OdbcPostgres));
  }
  const auto& s = testsupport::servers();
  testsupport::Relay relay(u"127.0.0.1"_qs, s.postgresPort.toUShort());
  testsupport::addOdbcPostgresSource(u"VarnothPgRelay"_qs, relay.port(), testsupport::lastPostgresDatabase());
  db::ConnectionGuard server(db::openDatabase(u"VarnothPgRelay"_qs, {}, {}, db::Backend::Odbc));
  ASSERT_TRUE(server) << db::lastError().toStdString();
  db::ConnectionGuard local(openLocal(u"round_trips_local"_qs));
  constexpr int rows = 300;
  QStringList results;
  for (int i = 1; i <= rows; ++i)
    results << u"("_qs + QString::number(i) + u", 'A1', "_qs + at(12) + u", 'Probe "_qs + QString::number(i) +
                   u" 😀', 'KW', 'TWK', 36.5, 'ok', 'P1')"_qs;
  testsupport::run(local.get(), {u"INSERT INTO resultat VALUES "_qs + results.join(u',')});
  StatusLog status;
  testsupport::BoxRecorder boxes;
  relay.passAll();
  EXPECT_EQ(transfer::returnResults(server.get(), local.get(), status.screen()), rows);
  EXPECT_TRUE(boxes.boxes.empty());
  // Besides the rows: per batch (6 of them) the lock, the highest ID and the commit, and a
  // few statements at the start.
  EXPECT_LE(relay.roundTrips(), rows + 40);
  EXPECT_GE(relay.roundTrips(), rows);
}

// A device whose program is killed in the middle of "Daten abgeben", again and again, each
// time at another point of the server's answers (a relay holds them back, then the program
// is killed): on tables with transactions the batch under way goes back with the lost
// connection; on MyISAM tables every INSERT the server took stays. The device's file keeps
// what it committed, and the next return sends each measure and result exactly once.
class KilledDevice : public ::testing::TestWithParam<const char*> {};

TEST_P(KilledDevice, EveryRowReachesTheServerOnceHoweverOftenTheReturnIsKilled) {
  const QString engine = QString::fromLatin1(GetParam());
  const QString schema = u"t_abgebrochen_"_qs + engine.toLower();
  db::ConnectionGuard server(freshMariaSchema(schema));
  ASSERT_TRUE(server);
  testsupport::run(server.get(), {u"ALTER TABLE massnahme ENGINE="_qs + engine, u"ALTER TABLE resultat ENGINE="_qs + engine});
  constexpr int measures = 100, results = 3000, total = measures + results;
  const QString file = testsupport::temporaryFolder() + u"/abgebrochen_"_qs + engine + u".db"_qs;
  {
    QFile::remove(file);
    QFile(file).open(QIODevice::WriteOnly);
    db::ConnectionGuard local(db::openDatabase(file, {}, {}, db::Backend::Sqlite));
    db::createResultTable(local.get());
    db::createMeasureTable(local.get());
    QStringList made, found;
    // Measures made on the device, whose local IDs follow those of an earlier day.
    for (int i = 1; i <= measures; ++i)
      made << u"("_qs + QString::number(5000 + i) + u", 'A"_qs + QString::number(i % 7) + u"', 'Nachprobe "_qs +
                  QString::number(i) + u" 😀', "_qs + at(9) + u", "_qs + at(10) + u", 'O&apos;Neil', 'neu')"_qs;
    for (int i = 1; i <= results; ++i)
      found << u"("_qs + QString::number(i) + u", 'A"_qs + QString::number(i % 7) + u"', "_qs + at(12) +
                   u", 'Süd 😀 O&apos;Neil "_qs + QString::number(i) + u"', 'KW', 'TWK', 36.5, 'ok', 'P1')"_qs;
    testsupport::run(local.get(), {u"INSERT INTO massnahme VALUES "_qs + made.join(u','),
                                   u"INSERT INTO resultat VALUES "_qs + found.join(u',')});
  }
  auto serverCount = [&] {
    db::Query count(server.get(), u"SELECT (SELECT COUNT(*) FROM massnahme) + (SELECT COUNT(*) FROM resultat)"_qs);
    return count.next() ? count.int32(0) : -1;
  };
  const auto& s = testsupport::servers();
  testsupport::Relay relay(s.mariaHost, s.mariaPort.toUShort());
  // Killed once the server's answers reached these many bytes, each time by a new program.
  for (qint64 answered : {1500, 5000, 12000, 9000, 12000}) {
    relay.stallAfter(answered);
    QProcess device;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"VARNOTHM_DEVICE_FILE"_qs, file);
    environment.insert(u"VARNOTHM_DEVICE_SCHEMA"_qs, schema);
    environment.insert(u"VARNOTHM_DEVICE_PORT"_qs, QString::number(relay.port()));
    device.setProcessEnvironment(environment);
    device.start(QCoreApplication::applicationFilePath(),
                 {u"--gtest_also_run_disabled_tests"_qs, u"--gtest_filter=KilledDeviceProgram.DISABLED_Returns"_qs});
    device.setProcessChannelMode(QProcess::MergedChannels);
    ASSERT_TRUE(device.waitForStarted());
    bool ended = false;
    while (!ended && relay.answerBytes() < answered) ended = device.waitForFinished(2);
    if (ended)
      ADD_FAILURE() << "the program ended before it was killed, after " << relay.answerBytes() << " bytes: "
                    << device.readAll().toStdString();
    device.kill();
    device.waitForFinished();
    relay.cutAfter(0);  // the killed program's server session ends
  }
  const int before = serverCount();
  EXPECT_GT(before, 0);
  EXPECT_LT(before, total) << "every return ran to its end: the test killed none";
  db::ConnectionGuard local(db::openDatabase(file, {}, {}, db::Backend::Sqlite));
  StatusLog status;
  testsupport::BoxRecorder boxes;
  const int sent = transfer::returnMeasures(server.get(), local.get(), status.screen()) +
                   transfer::returnResults(server.get(), local.get(), status.screen());
  EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text.toStdString();
  EXPECT_EQ(sent, total - before);
  for (const QString& table : {u"massnahme"_qs, u"resultat"_qs}) {
    const QString text = table == u"massnahme" ? u"wastun"_qs : u"anme"_qs;
    db::Query rows(server.get(), u"SELECT COUNT(*), COUNT(DISTINCT ID), COUNT(DISTINCT "_qs + text + u") FROM "_qs + table);
    ASSERT_TRUE(rows.next());
    const int expected = table == u"massnahme" ? measures : results;
    EXPECT_EQ(rows.int32(0), expected) << table.toStdString();
    EXPECT_EQ(rows.int32(1), expected) << table.toStdString();
    EXPECT_EQ(rows.int32(2), expected) << table.toStdString();
  }
  EXPECT_EQ(transfer::pendingWork(local.get()).measures, 0);
  EXPECT_EQ(transfer::pendingWork(local.get()).results, 0);
}

INSTANTIATE_TEST_SUITE_P(Engines, KilledDevice, ::testing::Values("InnoDB", "MyISAM"),
                         [](const auto& info) { return std::string(info.param); });

// The device of the test above; runs only when that test starts it, until it is killed.
TEST(KilledDeviceProgram, DISABLED_Returns) {
  const auto& s = testsupport::servers();
  db::ConnectionGuard local(db::openDatabase(qEnvironmentVariable("VARNOTHM_DEVICE_FILE"), {}, {}, db::Backend::Sqlite));
  db::ConnectionGuard server(db::openMariaDb(s.mariaHost, qEnvironmentVariable("VARNOTHM_DEVICE_PORT"),
                                             qEnvironmentVariable("VARNOTHM_DEVICE_SCHEMA"), s.mariaUser, s.mariaPass));
  ASSERT_TRUE(local && server);
  StatusLog status;
  testsupport::BoxRecorder boxes;
  transfer::returnMeasures(server.get(), local.get(), status.screen());
  transfer::returnResults(server.get(), local.get(), status.screen());
}

// Two program windows on one object, each a process of its own: while the first returns,
// the server makes it wait (an office holds its measures locked); the second window's return
// and fetches meanwhile say so and do nothing.
class TwoWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    schema = u"t_fenster_"_qs + testName().left(40);
    server.reset(freshMariaSchema(schema));
    ASSERT_TRUE(server);
    testsupport::run(server.get(), {u"INSERT INTO auslass VALUES (7, 'A7', 'K1', 'Dusche', 'Bad Süd', 'EG', 'h')"_qs});
    db::ConnectionGuard local(openLocal(testName()));
    file = db::databaseFile(local.get());
    ASSERT_FALSE(file.isEmpty());
    QStringList measures, results;
    for (int i = 1; i <= measureCount; ++i)
      measures << u"("_qs + QString::number(i) + u", 'A"_qs + QString::number(i) + u"', 'Spülen 😀 O''Neil & <Süd>', "_qs +
                      at(8) + u", "_qs + at(12) + u", 'meier', 'Straße \\ 1/2')"_qs;
    for (int i = 1; i <= resultCount; ++i)
      results << u"("_qs + QString::number(i) + u", 'A"_qs + QString::number(i % 7) + u"', "_qs + at(12) +
                     u", 'Fenster Probe "_qs + QString::number(i) + u" ß 😀', 'KW', 'TWK', 36.5, 'ok', 'P1')"_qs;
    testsupport::run(local.get(), {u"INSERT INTO massnahme VALUES "_qs + measures.join(u','),
                                   u"INSERT INTO resultat VALUES "_qs + results.join(u',')});
  }
  void TearDown() override {
    for (auto& window : windows) {
      if (window->state() == QProcess::NotRunning) continue;
      window->kill();
      window->waitForFinished();
    }
  }

  // A program window of the given role (see AWindow below), started.
  QProcess& startWindow(const QString& role) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"VARNOTHM_WINDOW_ROLE"_qs, role);
    environment.insert(u"VARNOTHM_WINDOW_FILE"_qs, file);
    environment.insert(u"VARNOTHM_WINDOW_SCHEMA"_qs, schema);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(QCoreApplication::applicationFilePath(),
                   {u"--gtest_also_run_disabled_tests"_qs, u"--gtest_filter=AWindow.DISABLED_OnTheSameObject"_qs});
    windows.push_back(std::move(process));
    return *windows.back();
  }

  // The first window, returning and held up by the office's lock on the measures.
  QProcess& startHeldUpReturn() {
    testsupport::run(server.get(), {u"LOCK TABLES massnahme WRITE"_qs});
    QProcess& first = startWindow(u"abgeben"_qs);
    EXPECT_TRUE(first.waitForStarted());
    db::ConnectionGuard admin(testsupport::openMariaAdmin());
    const QString waiting = u"SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE DB='"_qs + schema +
                            u"' AND STATE='Waiting for table metadata lock'"_qs;
    for (;;) {
      db::Query q(admin.get(), waiting);
      if (q.next() && q.int32(0) > 0) break;
      if (first.state() == QProcess::NotRunning) {
        ADD_FAILURE() << "the first window ended without waiting: " << first.readAll().toStdString();
        break;
      }
      first.waitForFinished(20);
    }
    return first;
  }

  // The second window: its return and both fetches, while the first one holds the file.
  void secondWindowDoesNothing() {
    QProcess& second = startWindow(u"zweites"_qs);
    ASSERT_TRUE(second.waitForFinished(120000));
    EXPECT_EQ(second.exitCode(), 0) << second.readAll().toStdString();
  }

  void expectEveryRowOnce() {
    for (const auto& [table, count] : {std::pair{u"massnahme"_qs, measureCount}, std::pair{u"resultat"_qs, resultCount}}) {
      const QString column = table == u"massnahme" ? u"AUID"_qs : u"anme"_qs;
      db::Query rows(server.get(), u"SELECT COUNT(*), COUNT(DISTINCT ID), COUNT(DISTINCT "_qs + column + u") FROM "_qs + table);
      ASSERT_TRUE(rows.next());
      EXPECT_EQ(rows.int32(0), count) << table.toStdString();
      EXPECT_EQ(rows.int32(1), count) << table.toStdString();
      EXPECT_EQ(rows.int32(2), count) << table.toStdString();
    }
  }

  static constexpr int measureCount = 20, resultCount = 300;
  QString schema, file;
  db::ConnectionGuard server;
  std::vector<std::unique_ptr<QProcess>> windows;
};

const QString summary = u"20 Abgleichvorgänge für Massnahme durchgeführt.\r\n300 Abgleichvorgänge für Resultat durchgeführt."_qs;

TEST_F(TwoWindows, TheSecondWindowSaysAnotherTransferRunsAndSendsNothing) {
  QProcess& first = startHeldUpReturn();
  secondWindowDoesNothing();
  testsupport::run(server.get(), {u"UNLOCK TABLES"_qs});
  ASSERT_TRUE(first.waitForFinished(240000));
  EXPECT_EQ(first.exitCode(), 0) << first.readAll().toStdString();
  expectEveryRowOnce();
}

// The hold ends with its program: a window killed in the middle of its return keeps no
// later return from running.
TEST_F(TwoWindows, AKilledWindowDoesNotHoldTheObject) {
  QProcess& first = startHeldUpReturn();
  secondWindowDoesNothing();
  first.kill();
  first.waitForFinished();
  testsupport::run(server.get(), {u"UNLOCK TABLES"_qs});
  const auto& s = testsupport::servers();
  db::ConnectionGuard local(db::openDatabase(file, {}, {}, db::Backend::Sqlite));
  StatusLog status;
  common::MainScreen screen = status.screen();
  screen.currentObject = schema;
  testsupport::BoxRecorder boxes;
  transfer::returnWorkCommand(local.get(), {u"MARIADB"_qs, s.mariaHost, s.mariaPort, s.mariaUser, s.mariaPass}, screen);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, summary);
  expectEveryRowOnce();
}

// A window of the tests above; runs only when they start it. "abgeben" returns the work;
// "zweites" tries the return and both fetches while the other holds the object.
TEST(AWindow, DISABLED_OnTheSameObject) {
  const QString role = qEnvironmentVariable("VARNOTHM_WINDOW_ROLE");
  ASSERT_FALSE(role.isEmpty());
  const auto& s = testsupport::servers();
  const db::ServerSettings settings{u"MARIADB"_qs, s.mariaHost, s.mariaPort, s.mariaUser, s.mariaPass};
  db::ConnectionGuard local(db::openDatabase(qEnvironmentVariable("VARNOTHM_WINDOW_FILE"), {}, {}, db::Backend::Sqlite));
  ASSERT_TRUE(local);
  StatusLog status;
  common::MainScreen screen = status.screen();
  screen.currentObject = qEnvironmentVariable("VARNOTHM_WINDOW_SCHEMA");
  testsupport::BoxRecorder boxes;
  if (role == u"abgeben") {
    transfer::returnWorkCommand(local.get(), settings, screen);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, summary);
    return;
  }
  const QStringList before = dump(local.get(), u"auslass"_qs) + dump(local.get(), u"massnahme"_qs) + dump(local.get(), u"resultat"_qs);
  transfer::returnWorkCommand(local.get(), settings, screen);
  transfer::fetchOutletsCommand(local.get(), settings, screen);
  transfer::fetchDayCommand(local.get(), settings, screen, u"Daten abholen"_qs);
  ASSERT_EQ(boxes.boxes.size(), 3u);
  for (const platform::BoxRequest& box : boxes.boxes) {
    EXPECT_EQ(box.title, u"Hinweis"_qs);
    EXPECT_EQ(box.text, u"Auf diesem Objekt läuft bereits eine Datenübertragung in einem anderen Programmfenster. "
                        "Bitte warten Sie, bis sie beendet ist, und versuchen Sie es dann erneut."_qs);
  }
  EXPECT_EQ(dump(local.get(), u"auslass"_qs) + dump(local.get(), u"massnahme"_qs) + dump(local.get(), u"resultat"_qs), before);
}

INSTANTIATE_TEST_SUITE_P(Servers, ReturnRecordTest,
                         ::testing::Values(Place::MariaDb, Place::OdbcSqlite, Place::OdbcMariaDb, Place::OdbcPostgres),
                         [](const auto& info) { return testsupport::placeName(info.param).toStdString(); });

}  // namespace
