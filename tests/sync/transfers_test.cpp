// The transfers against each kind of server: MariaDB, ODBC over SQLite, ODBC over MariaDB.
// The local side is always the object's SQLite file with its four tables.
#include "testservers.h"
#include "transfer_fixture.h"

#include "common/dates.h"
#include "common/textlist.h"
#include "db/localschema.h"
#include "db/quoting.h"
#include "sync/transfers.h"

#include <gtest/gtest.h>

using testsupport::Place;

namespace {

using namespace transfertest;

class TransferTest : public ::testing::TestWithParam<Place> {
 protected:
  void SetUp() override {
    const QString name = QString::fromStdString(::testing::UnitTest::GetInstance()->current_test_info()->name());
    server.reset(testsupport::openEmpty(GetParam(), name));
    ASSERT_TRUE(server) << db::lastError().toStdString();
    testsupport::run(server.get(), serverTables(GetParam()));
    local.reset(testsupport::openEmpty(Place::LocalSqlite, name + u"_local"_qs));
    ASSERT_TRUE(local);
    db::createOutletTable(local.get());
    db::createResultTable(local.get());
    db::createMeasureTable(local.get());
    db::createDialogTable(local.get());
  }
  db::ConnectionGuard server, local;
  StatusLog status;
  testsupport::BoxRecorder boxes;
};

TEST_P(TransferTest, CopiesTheWholeOutletTableAndOnlyTheRecordingDialogs) {
  testsupport::run(server.get(), {
      u"INSERT INTO auslass VALUES (7, 'A7', 'C1', NULL, 'Bad', 'K', NULL)"_qs,
      u"INSERT INTO auslass VALUES (3, 'DU 3', 'C&amp;1', 'Dusche', 'Raum O''Neil', '1. OG', 'H')"_qs,
      u"INSERT INTO auslass (ID, AUID) VALUES (12, 'WB12')"_qs,
      u"INSERT INTO xele VALUES (1, 'XML_merfassung', 'Spülen', '<window name=&quot;dialog&quot;/>')"_qs,
      u"INSERT INTO xele VALUES (2, 'andere', 'x', 'y')"_qs,
      u"INSERT INTO xele VALUES (3, 'XML_merfassung', 'Temperatur \\&quot;WW\\&quot;', NULL)"_qs,
  });
  testsupport::run(local.get(), {u"INSERT INTO auslass (ID, AUID) VALUES (99, 'alt')"_qs,
                                 u"INSERT INTO xele VALUES (50, 'andere', 'alt', '')"_qs});
  const common::MainScreen screen = status.screen();

  EXPECT_EQ(transfer::copyServerTable(u"auslass"_qs, server.get(), local.get(), screen), 3);
  EXPECT_EQ(dump(local.get(), u"auslass"_qs),
            (QStringList{u"3|DU 3|C&amp;1|Dusche|Raum O'Neil|1. OG|H"_qs,  // stored texts unchanged
                         u"7|A7|C1||Bad|K|"_qs, u"12|WB12|||||"_qs}));   // NULL arrives as ''
  EXPECT_EQ(status.texts.first(), u"Tabelle auslass 3 Einträge - kopiere ..."_qs);
  EXPECT_EQ(status.progress, (QList<int>{0, 33, 66, 0}));

  EXPECT_EQ(transfer::fetchDialogGroup(server.get(), local.get(), u" XML_merfassung "_qs, screen), 2);
  EXPECT_EQ(dump(local.get(), u"xele"_qs),
            (QStringList{u"1|XML_merfassung|Spülen|<window name=\"dialog\"/>"_qs,
                         u"3|XML_merfassung|Temperatur \"WW\"|"_qs}));
  EXPECT_TRUE(status.texts.contains(u"Tabelle xele 3 Einträge abholen ..."_qs));
  EXPECT_TRUE(boxes.boxes.empty());

  // An empty group or table leaves an empty local table and counts 0.
  testsupport::run(server.get(), {u"DELETE FROM auslass"_qs});
  EXPECT_EQ(transfer::copyServerTable(u"auslass"_qs, server.get(), local.get(), screen), 0);
  EXPECT_EQ(transfer::fetchDialogGroup(server.get(), local.get(), u"leer"_qs, screen), 0);
  EXPECT_TRUE(dump(local.get(), u"auslass"_qs).isEmpty());
  EXPECT_TRUE(dump(local.get(), u"xele"_qs).isEmpty());
}

TEST_P(TransferTest, RendersNumbersByTypeClass) {
  const bool sqlite = GetParam() == Place::OdbcSqlite;
  const bool postgres = GetParam() == Place::OdbcPostgres;
  testsupport::run(server.get(), {postgres ? u"CREATE TABLE messwert (ID integer, f real, d double precision, n bigint)"_qs
                                           : u"CREATE TABLE messwert (ID int, f float, d double, n bigint)"_qs,
                                  u"INSERT INTO messwert VALUES (1, 0.1, -0.0, -5), (2, 36.5, 1e-12, NULL)"_qs});
  testsupport::run(local.get(), {u"CREATE TABLE messwert (ID longint, f double, d double, n longint)"_qs});
  EXPECT_EQ(transfer::copyServerTable(u"messwert"_qs, server.get(), local.get(), status.screen()), 2);
  // A 32-bit float is widened before it is written; SQLite has no 32-bit float.
  EXPECT_EQ(dump(local.get(), u"messwert"_qs),
            (QStringList{(sqlite ? u"1|0.1|0.0|-5"_qs : u"1|0.1000000015|0.0|-5"_qs), u"2|36.5|0.0|0"_qs}));
}

TEST_P(TransferTest, AServerColumnTheDeviceLacksFailsAndKeepsTheLocalRows) {
  testsupport::run(server.get(), {u"ALTER TABLE auslass ADD extra int"_qs,
                                  u"INSERT INTO auslass (ID, AUID, extra) VALUES (1, 'A1', 4)"_qs});
  testsupport::run(local.get(), {u"INSERT INTO auslass (ID, AUID) VALUES (99, 'alt')"_qs});
  EXPECT_EQ(transfer::copyServerTable(u"auslass"_qs, server.get(), local.get(), status.screen()), -1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, u"Fehler"_qs);
  EXPECT_TRUE(boxes.boxes[0].text.startsWith(
      u"Abfrage INSERT INTO auslass (ID, AUID, code, art, raum, region, hydron, extra) VALUES "
      "(1, 'A1', '', '', '', '', '', 4); hat folgende Fehlermeldung ergeben:"_qs,
      // PostgreSQL names the columns in lower case, as it folds unquoted names.
      GetParam() == Place::OdbcPostgres ? Qt::CaseInsensitive : Qt::CaseSensitive))
      << boxes.boxes[0].text.toStdString();
  EXPECT_EQ(dump(local.get(), u"auslass"_qs), (QStringList{u"99|alt|NULL|NULL|NULL|NULL|NULL"_qs}));
  // The local database is free for the next statement: no transaction was left open.
  EXPECT_TRUE(db::execute(local.get(), u"BEGIN TRANSACTION;"_qs));
  EXPECT_TRUE(db::execute(local.get(), u"COMMIT;"_qs));
}

TEST_P(TransferTest, FetchesEveryMeasureOfTheChosenDayToItsLastSecond) {
  const qint32 day = common::makeDate(2026, 3, 5);
  auto at = [&](int h, int m, int s) { return QString::number(day + h * 3600 + m * 60 + s); };
  const QString next = QString::number(day + 86400);
  testsupport::run(server.get(), {
      u"INSERT INTO massnahme VALUES (1, 'A1', 'Spülen', "_qs + at(8, 0, 0) + u", 0, '', '')"_qs,
      u"INSERT INTO massnahme VALUES (2, 'A2', 'Spülen', "_qs + at(14, 30, 0) + u", 0, '', '')"_qs,
      u"INSERT INTO massnahme VALUES (3, 'A3', 'Probe', "_qs + at(9, 0, 0) + u", "_qs + at(9, 5, 0) +
          u", 'meier', 'erledigt\\nok')"_qs,
      u"INSERT INTO massnahme VALUES (4, 'A4', 'Spülen', "_qs + at(23, 59, 59) + u", 0, NULL, NULL)"_qs,
      u"INSERT INTO massnahme VALUES (5, 'A5', 'Spülen', "_qs + next + u", 0, '', '')"_qs,
      u"INSERT INTO massnahme VALUES (6, 'A6', 'Spülen', "_qs + at(10, 0, 0) + u", NULL, '', '')"_qs,
  });
  QList<qint32> due;
  EXPECT_EQ(transfer::selectIntegerColumn(server.get(), u"massnahme"_qs, u"dasoll"_qs, u"DISTINCT"_qs,
                                          u"WHERE dasoll>0 And dadurch<=0"_qs, due), 4);  // not 3, not 6
  common::SortedTextList days;
  for (qint32 value : due) common::insertSortedUnique(days, common::formatDay(value));
  EXPECT_EQ(days.items, (QStringList{u"2026-03-05"_qs, u"2026-03-06"_qs}));

  testsupport::run(local.get(), {u"INSERT INTO massnahme (ID, AUID) VALUES (77, 'alt')"_qs});
  EXPECT_EQ(transfer::fetchDueMeasures(server.get(), local.get(), common::startOfDay(day + 3600),
                                       common::endOfDay(day + 3600), status.screen()), 5);
  EXPECT_EQ(dump(local.get(), u"massnahme"_qs, u"ID,AUID,dadurch,anmerkung"_qs),
            (QStringList{u"1|A1|0|"_qs, u"2|A2|0|"_qs, u"3|A3|"_qs + at(9, 5, 0) + u"|erledigt\\nok"_qs,
                         u"4|A4|0|"_qs, u"6|A6|0|"_qs}));
  EXPECT_EQ(status.texts.first(), u"Tabelle massnahme 6 Einträge abholen"_qs);
}

TEST_P(TransferTest, ReturnsMeasuresByIdAndAppendsResults) {
  testsupport::run(server.get(), {
      u"INSERT INTO massnahme VALUES (10, 'A1', 'Spülen', 1000, 0, '', '')"_qs,
      u"INSERT INTO massnahme VALUES (11, 'A2', 'Probe', 2000, 5000, 'alt', 'alt')"_qs,
      u"INSERT INTO resultat (ID, AUID) VALUES (40, 'A0')"_qs,
  });
  // A file without the device's record: its measures were fetched before it was kept.
  testsupport::run(local.get(), {
      u"INSERT INTO massnahme VALUES (10, 'A1', 'Spülen', 1000, 1700000000, 'meier', 'Spülen ok &amp; sauber')"_qs,
      u"INSERT INTO massnahme VALUES (11, 'A2', 'Probe', 2000, 0, 'schulz', '')"_qs,
      u"INSERT INTO massnahme VALUES (500, 'A9', 'Neu', 3000, 1700000100, 'meier', 'O&apos;Neil')"_qs,
      u"INSERT INTO resultat VALUES (1, 'A1', 1700000000, 'warm', 'KW', 'TWK', 36, 'ok', 'P1')"_qs,
      u"INSERT INTO resultat VALUES (2, 'A2', NULL, NULL, NULL, NULL, 7.26, NULL, NULL)"_qs,
      u"INSERT INTO resultat (ID, AUID) VALUES (3, 'A3')"_qs,
  });
  const common::MainScreen screen = status.screen();
  EXPECT_EQ(transfer::returnMeasures(server.get(), local.get(), screen), 2);
  EXPECT_EQ(transfer::returnResults(server.get(), local.get(), screen), 3);
  EXPECT_EQ(dump(server.get(), u"massnahme"_qs),
            (QStringList{u"10|A1|Spülen|1000|1700000000|meier|Spülen ok &amp; sauber"_qs,
                         u"11|A2|Probe|2000|5000|alt|alt"_qs,  // not carried out here: the server's work stays
                         u"12|A9|Neu|3000|1700000100|meier|O&apos;Neil"_qs}));
  EXPECT_EQ(dump(server.get(), u"resultat"_qs, u"ID,AUID,abda,anme,temp,prot"_qs),
            (QStringList{u"40|A0|NULL|NULL|NULL|NULL"_qs, u"41|A1|1700000000|warm|36|P1"_qs,
                         u"42|A2|0||7.3|"_qs, u"43|A3|0||0|"_qs}));
  EXPECT_TRUE(boxes.boxes.empty());
  // Returning again sends nothing: the device recorded what went where.
  EXPECT_EQ(transfer::returnMeasures(server.get(), local.get(), screen), 0);
  EXPECT_EQ(transfer::returnResults(server.get(), local.get(), screen), 0);
  EXPECT_EQ(dump(server.get(), u"massnahme"_qs, u"ID"_qs).size(), 3);
  EXPECT_EQ(dump(server.get(), u"resultat"_qs, u"ID"_qs).size(), 4);
}

TEST_P(TransferTest, BackslashesSurviveTheRoundTripThroughTheServer) {
  // A remark with a path: its backslashes must not be read as escapes by the server.
  const QString remark = u"Filter C:\\temp\\neu getauscht, \"alt\" & 'neu'\nZeile 2"_qs;
  testsupport::run(local.get(), {u"INSERT INTO massnahme VALUES (1, 'A1', 'Spülen', 100, 200, 'meier', "_qs +
                                 db::quoteText(remark) + u")"_qs});
  const common::MainScreen screen = status.screen();
  ASSERT_EQ(transfer::returnMeasures(server.get(), local.get(), screen), 1);
  // The server holds the stored form, exactly as the device wrote it.
  EXPECT_EQ(dump(server.get(), u"massnahme"_qs, u"anmerkung"_qs), (QStringList{db::escapeText(remark)}));
  ASSERT_EQ(transfer::fetchDueMeasures(server.get(), local.get(), 100, 100, screen), 1);
  db::Query back(local.get(), u"SELECT anmerkung FROM massnahme"_qs);
  ASSERT_TRUE(back.next());
  EXPECT_EQ(db::unescapeText(back.text(0)), remark);
}

TEST_P(TransferTest, AServerFailingMidwayLeavesTheLocalTablesAsTheyWere) {
  // The server's tables become views whose rows fail from the second row on.
  const bool sqlite = GetParam() == Place::OdbcSqlite;
  const bool postgres = GetParam() == Place::OdbcPostgres;
  const QString failing = sqlite     ? u"CASE WHEN ID>1 THEN abs(-9223372036854775807-1) ELSE AUID END"_qs
                          : postgres ? u"CASE WHEN ID>1 THEN (SELECT 'x' UNION SELECT 'y') ELSE AUID END"_qs
                                     : u"IF(ID>1, (SELECT 1 UNION SELECT 2), AUID)"_qs;
  QStringList statements;
  for (const QString& table : {u"auslass"_qs, u"massnahme"_qs, u"xele"_qs}) {
    statements << u"ALTER TABLE "_qs + table + u" RENAME TO "_qs + table + u"_daten"_qs;
  }
  statements << u"CREATE VIEW auslass AS SELECT ID, "_qs + failing +
                    u" AS AUID, code, art, raum, region, hydron FROM auslass_daten"_qs
             << u"CREATE VIEW massnahme AS SELECT ID, "_qs + failing +
                    u" AS AUID, wastun, dasoll, dadurch, werdurch, anmerkung FROM massnahme_daten"_qs
             << u"CREATE VIEW xele AS SELECT ID, gruppe, "_qs + QString(failing).replace(u"AUID"_qs, u"element"_qs) +
                    u" AS element, XML FROM xele_daten"_qs
             << u"INSERT INTO auslass_daten (ID, AUID) VALUES (1, 'A1'), (2, 'A2'), (3, 'A3')"_qs
             << u"INSERT INTO massnahme_daten VALUES (1, 'A1', 'x', 100, 0, '', ''), (2, 'A2', 'x', 100, 0, '', '')"_qs
             << u"INSERT INTO xele_daten VALUES (1, 'XML_merfassung', 'a', ''), (2, 'XML_merfassung', 'b', '')"_qs;
  testsupport::run(server.get(), statements);
  testsupport::run(local.get(), {u"INSERT INTO auslass (ID, AUID) VALUES (99, 'alt')"_qs,
                                 u"INSERT INTO massnahme VALUES (98, 'alt', 'erfasst', 1, 2, 'meier', 'noch nicht abgegeben')"_qs,
                                 u"INSERT INTO xele VALUES (97, 'XML_merfassung', 'alt', '<x/>')"_qs});
  const QStringList before = dump(local.get(), u"auslass"_qs) + dump(local.get(), u"massnahme"_qs) +
                             dump(local.get(), u"xele"_qs);
  const common::MainScreen screen = status.screen();
  EXPECT_EQ(transfer::copyServerTable(u"auslass"_qs, server.get(), local.get(), screen), -1);
  EXPECT_EQ(transfer::fetchDialogGroup(server.get(), local.get(), u"XML_merfassung"_qs, screen), -1);
  EXPECT_EQ(transfer::fetchDueMeasures(server.get(), local.get(), 0, 1000, screen), -1);
  EXPECT_EQ(dump(local.get(), u"auslass"_qs) + dump(local.get(), u"massnahme"_qs) + dump(local.get(), u"xele"_qs), before);
  EXPECT_FALSE(boxes.boxes.empty());
}

TEST_P(TransferTest, ABinaryColumnIsCopiedAsTheTextOfItsBytes) {
  const bool sqlite = GetParam() == Place::OdbcSqlite;
  const bool postgres = GetParam() == Place::OdbcPostgres;
  // "Bad 😀 O'Neil" as bytes; the second row's value is NULL.
  const QString bytes = postgres ? u"decode('42616420F09F98804F274E65696C', 'hex')"_qs : u"X'42616420F09F98804F274E65696C'"_qs;
  testsupport::run(server.get(), {u"CREATE TABLE geraet (ID int, kennung "_qs +
                                      (sqlite ? u"BLOB"_qs : postgres ? u"bytea"_qs : u"varbinary(32)"_qs) +
                                      u", raum varchar(64))"_qs,
                                  u"INSERT INTO geraet VALUES (1, "_qs + bytes + u", 'Bad 😀'), (2, NULL, 'Flur')"_qs});
  testsupport::run(local.get(), {u"CREATE TABLE geraet (ID longint, kennung varchar(32), raum varchar(64))"_qs});
  EXPECT_EQ(transfer::copyServerTable(u"geraet"_qs, server.get(), local.get(), status.screen()), 2);
  EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text.toStdString();
  EXPECT_EQ(dump(local.get(), u"geraet"_qs), (QStringList{u"1|Bad 😀O'Neil|Bad 😀"_qs, u"2|NULL|Flur"_qs}));
}

TEST_P(TransferTest, TheLastDayADateHoldsIsFetched) {
  const qint32 day = common::makeDate(2038, 1, 19);
  testsupport::run(server.get(), {u"INSERT INTO massnahme VALUES (1, 'A1', 'Spülen 😀', "_qs +
                                  QString::number(day + 3 * 3600) + u", 0, '', '')"_qs});
  QList<qint32> due;
  ASSERT_EQ(transfer::selectIntegerColumn(server.get(), u"massnahme"_qs, u"dasoll"_qs, u"DISTINCT"_qs,
                                          u"WHERE dasoll>0 And dadurch<=0"_qs, due), 1);
  EXPECT_EQ(common::formatDay(due[0]), u"2038-01-19"_qs);
  EXPECT_EQ(common::endOfDay(due[0]), 2147483647);
  EXPECT_EQ(transfer::fetchDueMeasures(server.get(), local.get(), common::startOfDay(due[0]), common::endOfDay(due[0]),
                                       status.screen()), 1);
  EXPECT_EQ(dump(local.get(), u"massnahme"_qs, u"ID,wastun"_qs), (QStringList{u"1|Spülen 😀"_qs}));
}

TEST_P(TransferTest, ClearTableEmptiesByTheDatabasesKind) {
  testsupport::run(local.get(), {u"INSERT INTO resultat (ID, AUID) VALUES (1, 'A')"_qs});
  testsupport::run(server.get(), {u"INSERT INTO resultat (ID, AUID) VALUES (1, 'A')"_qs});
  EXPECT_EQ(transfer::clearTable(local.get(), u"resultat"_qs), 1);
  EXPECT_EQ(transfer::clearTable(server.get(), u"resultat"_qs), 1);
  EXPECT_TRUE(dump(local.get(), u"resultat"_qs).isEmpty());
  EXPECT_TRUE(dump(server.get(), u"resultat"_qs).isEmpty());
  EXPECT_EQ(transfer::clearTable(nullptr, u"resultat"_qs), -1);
  EXPECT_EQ(transfer::clearTable(local.get(), u"fehlt"_qs), -1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_TRUE(boxes.boxes[0].text.startsWith(u"Abfrage DELETE FROM fehlt; hat folgende Fehlermeldung ergeben:"_qs));
}

INSTANTIATE_TEST_SUITE_P(Servers, TransferTest,
                         ::testing::Values(Place::MariaDb, Place::OdbcSqlite, Place::OdbcMariaDb, Place::OdbcPostgres),
                         [](const auto& info) { return testsupport::placeName(info.param).toStdString(); });

TEST(SortedTextList, InsertsTrimmedCaseInsensitiveAndOnce) {
  common::SortedTextList list;
  for (const QString& text : {u"b"_qs, u"A"_qs, u"a "_qs, u"c"_qs, u""_qs, u"   "_qs}) common::insertSortedUnique(list, text);
  EXPECT_EQ(list.items, (QStringList{u"A"_qs, u"b"_qs, u"c"_qs}));
  EXPECT_EQ(common::insertSortedUnique(list, u"Zimmer"_qs), 4);
  EXPECT_EQ(common::insertSortedUnique(list, u"Ärzte"_qs), 5);
  EXPECT_EQ(list.items.mid(3), (QStringList{u"Zimmer"_qs, u"Ärzte"_qs}));
  EXPECT_EQ(common::insertSortedUnique(list, u"B"_qs), 5);
  EXPECT_EQ(list.items[1], u"b"_qs);
}

TEST(Dates, DayBoundsMasksAndEmptyDates) {
  const qint32 t = common::makeDate(2024, 3, 5, 14, 30, 7);
  EXPECT_EQ(common::startOfDay(t), common::makeDate(2024, 3, 5));
  EXPECT_EQ(common::endOfDay(t), common::makeDate(2024, 3, 5, 23, 59, 59));
  EXPECT_EQ(common::formatDay(t), u"2024-03-05"_qs);
  EXPECT_EQ(common::formatDay(0), u"leer"_qs);
  EXPECT_EQ(common::formatDay(-5), u"leer"_qs);
  EXPECT_EQ(common::formatDate(u"%dd.%mm.%yy %HH:%ii:%ss"_qs, t), u"05.03.24 14:30:07"_qs);
  EXPECT_EQ(common::parseDate(u"%yyyy-%mm-%dd %hh:%ii"_qs, u"2024-03-05"_qs), 0);
  EXPECT_EQ(common::parseDate(u"%yyyy-%mm-%dd"_qs, u"2024-03-05"_qs), common::makeDate(2024, 3, 5));
  EXPECT_EQ(common::parseDate(u"%yyyy-%mm-%dd %hh:%ii"_qs, u"2024-03-05 14:30"_qs), common::makeDate(2024, 3, 5, 14, 30));
  EXPECT_EQ(common::parseDate(u"%yyyy-%mm-%dd"_qs, u"2024-02-30"_qs), 0);
  EXPECT_EQ(common::parseDate(u"%dd.%mm.%yy"_qs, u"01.01.69"_qs), common::makeDate(2069, 1, 1));
  EXPECT_EQ(common::makeDate(2038, 1, 19, 3, 14, 7), 2147483647);
  EXPECT_EQ(common::makeDate(2038, 1, 19, 3, 14, 8), 0);
}

}  // namespace
