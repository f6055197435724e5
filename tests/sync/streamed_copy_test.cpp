// The copies read server rows as they come (MariaDB streamed, ODBC in blocks of bound
// columns) and insert them through one prepared statement: rows past a block's end, texts
// longer than a bound buffer and a server failing in a later block, on each server kind.
#include "testservers.h"

#include "db/localschema.h"
#include "db/quoting.h"
#include "sync/transfers.h"

#include <gtest/gtest.h>

using testsupport::Place;

namespace {

constexpr int rowCount = 600;  // more than two blocks of ODBC rows

QStringList lines(db::Connection* c, const QString& sql) {
  QStringList out;
  db::Query rows(c, sql);
  EXPECT_TRUE(rows.ok()) << db::lastError().toStdString();
  while (rows.next()) {
    QStringList cells;
    for (int i = 0; i < rows.columnCount(); ++i) cells << (rows.isNull(i) ? u"NULL"_qs : rows.text(i));
    out << cells.join(u'|');
  }
  return out;
}

// Texts of real buildings, in their stored form, and one far longer than any bound buffer.
QString storedText(int id, int longRepeats) {
  static const QStringList texts{
      u"Waschbecken"_qs, u"Raum O&apos;Neil"_qs, u"Ärzte &amp; Söhne &lt;1&gt;"_qs, u"Dusche ß"_qs,
      u"C:\\\\temp\\\\neu"_qs, u"A/B\\&quot;x\\&quot;"_qs, u"Sagt \"ok\""_qs, u"Zeile\\nzwei"_qs, u"O'Neil"_qs,
      u"  Blanks  "_qs, QString()};
  if (id == 1 || id == 300 || id == rowCount) return QString(u"Überlang ß € &amp; "_qs).repeated(longRepeats);
  return texts[id % texts.size()];
}

QString literal(const QString& stored) {
  return stored.isNull() ? u"NULL"_qs : u'\'' + QString(stored).replace(u"'"_qs, u"''"_qs) + u'\'';
}

class StreamedCopyTest : public ::testing::TestWithParam<Place> {
 protected:
  void SetUp() override {
    const QString name = QString::fromStdString(::testing::UnitTest::GetInstance()->current_test_info()->name());
    server.reset(testsupport::openEmpty(GetParam(), name));
    ASSERT_TRUE(server) << db::lastError().toStdString();
    const bool sqlite = GetParam() == Place::OdbcSqlite;
    // On SQLite a varchar(64) holds any length, so the long texts overrun the declared size.
    // Elsewhere the outlets' long texts fit their declared size and the measures' are texts
    // of no declared bound, longer than any buffer.
    const QString boundedText = sqlite ? u"varchar(64)"_qs : u"varchar(2000)"_qs;
    const QString longText = sqlite ? u"varchar(64)"_qs : u"text"_qs;
    testsupport::run(server.get(), {
        u"CREATE TABLE auslass_daten (ID int, AUID varchar(32), code varchar(32), art varchar(32), raum "_qs +
            boundedText + u", region varchar(64), hydron varchar(64))"_qs,
        u"CREATE TABLE massnahme_daten (ID int, AUID varchar(32), wastun "_qs + longText +
            u", dasoll int, dadurch int, werdurch varchar(64), anmerkung "_qs + longText + u')'});
    QStringList outlets, measures;
    for (int id = 1; id <= rowCount; ++id) {
      outlets << QStringLiteral("(%1, 'WB-%1', NULL, 'Waschbecken', %2, '%3. OG', 'H')")
                     .arg(id).arg(literal(storedText(id, 100))).arg(id % 9);
      measures << QStringLiteral("(%1, 'WB-%1', %2, %3, %4, NULL, %2)").arg(id).arg(literal(storedText(id, 400))).arg(1000 + id).arg(id % 2 ? 0 : 5000);
    }
    testsupport::run(server.get(), {u"INSERT INTO auslass_daten VALUES "_qs + outlets.join(u','),
                                    u"INSERT INTO massnahme_daten VALUES "_qs + measures.join(u',')});
    local.reset(testsupport::openEmpty(Place::LocalSqlite, name + u"_local"_qs));
    ASSERT_TRUE(local);
    db::createOutletTable(local.get());
    db::createMeasureTable(local.get());
    testsupport::run(local.get(), {u"INSERT INTO auslass (ID, AUID) VALUES (9999, 'alt')"_qs,
                                   u"INSERT INTO massnahme (ID, AUID) VALUES (9999, 'alt')"_qs});
    screen.statusText = [](const QString&) {};
    screen.statusProgress = [this](int p) { progress << p; };
  }

  // The server's tables as views: plain, or failing from row 300 on.
  void serverViews(bool failing) {
    const bool sqlite = GetParam() == Place::OdbcSqlite;
    QString auid = u"AUID"_qs;
    if (failing)
      auid = sqlite ? u"CASE WHEN ID>=300 THEN abs(-9223372036854775807-1) ELSE AUID END"_qs
                    : u"IF(ID>=300, (SELECT 1 UNION SELECT 2), AUID)"_qs;
    testsupport::run(server.get(), {
        u"CREATE VIEW auslass AS SELECT ID, "_qs + auid + u" AS AUID, code, art, raum, region, hydron FROM auslass_daten"_qs,
        u"CREATE VIEW massnahme AS SELECT ID, "_qs + auid +
            u" AS AUID, wastun, dasoll, dadurch, werdurch, anmerkung FROM massnahme_daten"_qs});
  }

  db::ConnectionGuard server, local;
  common::MainScreen screen;
  QList<int> progress;
  testsupport::BoxRecorder boxes;
};

TEST_P(StreamedCopyTest, EveryRowAndEveryLongTextArrivesAsTheStatementTextWouldStoreIt) {
  serverViews(false);
  ASSERT_EQ(transfer::copyServerTable(u"auslass"_qs, server.get(), local.get(), screen), rowCount);
  // The outlet copy moves the stored texts unchanged; NULL arrives as ''.
  QStringList expected;
  for (int id = 1; id <= rowCount; ++id) {
    const QString text = storedText(id, 100).isNull() ? QString(u""_qs) : storedText(id, 100);
    expected << QStringLiteral("%1|WB-%1||Waschbecken|%2|%3. OG|H").arg(id).arg(text).arg(id % 9);
  }
  EXPECT_EQ(lines(local.get(), u"SELECT * FROM auslass ORDER BY ID"_qs), expected);
  // The progress is passed on once per new percentage.
  QList<int> once;
  for (int p = 0; p < 100; ++p) once << p;
  once << 0;
  EXPECT_EQ(progress, once);

  // The day's copy stores each text decoded and stored again.
  ASSERT_EQ(transfer::fetchDueMeasures(server.get(), local.get(), 0, 100000, screen), rowCount);
  expected.clear();
  for (int id = 1; id <= rowCount; ++id) {
    const QString text = db::quoteText(db::unescapeText(storedText(id, 400))).chopped(1).mid(1);
    expected << QStringLiteral("%1|WB-%1|%2|%3|%4||%2").arg(id).arg(text).arg(1000 + id).arg(id % 2 ? 0 : 5000);
  }
  EXPECT_EQ(lines(local.get(), u"SELECT * FROM massnahme ORDER BY ID"_qs), expected);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_P(StreamedCopyTest, AServerFailingInALaterBlockIsAFailureAndKeepsTheLocalRows) {
  serverViews(true);
  const QStringList before = lines(local.get(), u"SELECT ID, AUID FROM auslass UNION ALL SELECT ID, AUID FROM massnahme"_qs);
  EXPECT_EQ(transfer::copyServerTable(u"auslass"_qs, server.get(), local.get(), screen), -1);
  EXPECT_EQ(transfer::fetchDueMeasures(server.get(), local.get(), 0, 100000, screen), -1);
  EXPECT_EQ(lines(local.get(), u"SELECT ID, AUID FROM auslass UNION ALL SELECT ID, AUID FROM massnahme"_qs), before);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_TRUE(boxes.boxes[0].text.startsWith(u"Abfrage SELECT * FROM auslass ORDER BY ID; hat folgende Fehlermeldung ergeben:"_qs))
      << boxes.boxes[0].text.toStdString();
  EXPECT_TRUE(boxes.boxes[1].text.startsWith(u"Die Abfrage SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung FROM massnahme WHERE dasoll>=0"_qs))
      << boxes.boxes[1].text.toStdString();
  // The server connection is free again for the next statement.
  EXPECT_EQ(db::countRows(server.get(), u"auslass_daten"_qs), rowCount);
}

TEST_P(StreamedCopyTest, NumbersStoreWhatTheirLiteralWouldInEveryKindOfLocalColumn) {
  // The same server values into a REAL, an INTEGER, a text and an untyped local column: bound
  // values where SQLite converts them as it converts a literal, the statement text elsewhere.
  testsupport::run(server.get(), {u"CREATE TABLE messwert (ID int, r double, i double, t double, b double)"_qs,
                                  u"INSERT INTO messwert VALUES (1, 1234567.1234567891, 3, 1234567.1234567891, 0.5), "
                                  "(2, -0.25, 2.5, 3, 3)"_qs});
  testsupport::run(local.get(), {u"CREATE TABLE messwert (ID longint, r double, i longint, t varchar(20), b)"_qs});
  ASSERT_EQ(transfer::copyServerTable(u"messwert"_qs, server.get(), local.get(), screen), 2);
  EXPECT_EQ(lines(local.get(), u"SELECT ID, typeof(r), r, typeof(i), i, typeof(t), t, typeof(b), b FROM messwert ORDER BY ID"_qs),
            (QStringList{u"1|real|1234567.12345679|integer|3|text|1234567.12345679|real|0.5"_qs,
                         u"2|real|-0.25|real|2.5|text|3|integer|3"_qs}));
  EXPECT_TRUE(boxes.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Servers, StreamedCopyTest,
                         ::testing::Values(Place::MariaDb, Place::OdbcSqlite, Place::OdbcMariaDb),
                         [](const auto& info) { return testsupport::placeName(info.param).toStdString(); });

}  // namespace
