// The browser acts on the row the person chose, whatever its ID: two rows with one ID, IDs
// past 32 bits and below 0, no ID at all; and a new ID is never wrapped past 2147483647.
#include "tableeditor_fixture.h"

#include "tableeditor/tablesettings.h"

namespace {

using tableeditor::BrowserConfig;

BrowserConfig measuresById() {
  BrowserConfig c = tableeditor::measureBrowserConfig();
  c.orderClause = u"ORDER BY ID"_qs;
  return c;
}

// The measures, their texts decoded, in the order they were added.
QStringList measuresInRowOrder(db::Connection* c) {
  QStringList seen;
  db::Query query(c, u"SELECT ID,AUID,werdurch,anmerkung FROM massnahme ORDER BY rowid"_qs);
  while (query.next())
    seen.append(query.text(0) + u" | "_qs + db::unescapeText(query.text(1)) + u" | "_qs +
                db::unescapeText(query.text(2)) + u" | "_qs + db::unescapeText(query.text(3)));
  return seen;
}

// The local measures have no key: the server delivered two rows with ID 7, of two outlets.
TEST_F(TableEditorTest, TwoRowsWithOneIdAreEachOpenedEditedAndDeletedOnTheirOwn) {
  const qint32 due = common::makeDate(2026, 12, 9, 8);
  addMeasure(7, u"WB-1"_qs, u"Spülen"_qs, due, 0, QString(), u"Spülen WB-1"_qs);
  addMeasure(7, u"DU-2 Bad & <Süd>"_qs, u"Probe"_qs, due, 0, QString(), u"Probe DU-2"_qs);
  BrowserConfig config = measuresById();
  QStringList seen = browse(u"click tableList 1 0\nkey Return\nset werdurch \"Jürgen O'Neil\"\npress dbStore\n"
                            "click tableList 1 Anmerkung\nset longText \"Perlator 😀\\nneu\"\npress longTextOK\n"
                            "key Escape"_qs,
                            config);
  EXPECT_TRUE(seen.contains(u"field AUID | DU-2 Bad & <Süd>"_qs)) << seen.join(u'\n').toStdString();
  EXPECT_EQ(measuresInRowOrder(database.get()),
            (QStringList{u"7 | WB-1 |  | Spülen WB-1"_qs, u"7 | DU-2 Bad & <Süd> | Jürgen O'Neil | Perlator 😀\r\nneu"_qs}));

  seen = browse(u"click tableList 1 0\nkey Delete\nanswer Ja\nkey Escape"_qs, config);
  EXPECT_TRUE(seen.contains(u"box Frage | warning | Wollen Sie Eintrag mit ID=7 wirklich löschen?"_qs));
  EXPECT_EQ(measuresInRowOrder(database.get()), (QStringList{u"7 | WB-1 |  | Spülen WB-1"_qs}));
}

// IDs as SQLite keeps them, 64 bits wide: 4294967297 is not row 1, and -3 is not a copy of 3.
TEST_F(TableEditorTest, IdsPastThirtyTwoBitsAndBelowZeroNameTheirOwnRows) {
  addMeasure(1, u"WB-01"_qs, u"Spülen"_qs, 0, 0, u"hans"_qs, QString());
  addMeasure(3, u"WB-03"_qs, u"Spülen"_qs, 0, 0, u"hans"_qs, QString());
  addMeasure(-3, u"WB-minus"_qs, u"Probe"_qs, 0, 0, u"hans"_qs, QString());
  addMeasure(4294967297, u"WB-groß"_qs, u"Probe"_qs, 0, 0, u"hans"_qs, QString());
  BrowserConfig config = measuresById();  // rows -3, 1, 3, 4294967297
  QStringList seen = browse(u"click tableList 3 Mitarbeiter\ninput \"Jörg\"\n"
                            "click tableList 0 0\nkey Return\nkey Escape\n"
                            "key Escape"_qs,
                            config);
  EXPECT_TRUE(seen.contains(u"title Tabelle massnahme ID=-3"_qs)) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.contains(u"field AUID | WB-minus"_qs));
  EXPECT_EQ(measuresInRowOrder(database.get()),
            (QStringList{u"1 | WB-01 | hans | "_qs, u"3 | WB-03 | hans | "_qs, u"-3 | WB-minus | hans | "_qs,
                         u"4294967297 | WB-groß | Jörg | "_qs}));

  seen = browse(u"click tableList 3 0\nkey Delete\nanswer Ja\nkey Escape"_qs, config);
  EXPECT_TRUE(seen.contains(u"box Frage | warning | Wollen Sie Eintrag mit ID=4294967297 wirklich löschen?"_qs))
      << seen.join(u'\n').toStdString();
  EXPECT_EQ(measuresInRowOrder(database.get()),
            (QStringList{u"1 | WB-01 | hans | "_qs, u"3 | WB-03 | hans | "_qs, u"-3 | WB-minus | hans | "_qs}));
}

// The servers keep IDs in 32 bits: past 2147483647 there is no new ID, and none wraps.
TEST_F(TableEditorTest, InsertAfterTheLargestIdIsRefusedWithANote) {
  addMeasure(2147483647, u"WB-max"_qs, u"Spülen"_qs, 0, 0, QString(), QString());
  const QStringList before = rows(u"massnahme"_qs);
  BrowserConfig config = measuresById();
  const QStringList seen = browse(u"key Insert\nanswer OK\nkey Insert\nanswer OK\n"
                                  "click tableList 0 0\nkey Insert\nanswer OK\nkey Escape"_qs,
                                  config);
  EXPECT_EQ(seen.filter(u"box Hinweis | info | Die höchste ID der Tabelle massnahme ist 2147483647. Eine neue ID über "
                        "2147483647 ist nicht möglich; es wird kein Eintrag angelegt."_qs)
                .size(),
            3)
      << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.filter(u"title Tabelle massnahme"_qs).isEmpty()) << "no form for a row that cannot be";
  EXPECT_EQ(rows(u"massnahme"_qs), before);
}

// Results without ID (the column allows NULL): counted, paged and shown like every other.
TEST_F(TableEditorTest, RowsWithoutIdAreCountedAndEachShownOnce) {
  QStringList outlets;
  for (int i = 1; i <= 25; ++i) {
    const QString outlet = u"WB-%1"_qs.arg(i, 2, 10, QLatin1Char('0'));
    outlets.append(outlet);
    testsupport::run(database.get(), {u"INSERT INTO resultat (ID,AUID,temp) VALUES ("_qs +
                                      (i % 5 == 0 ? u"NULL"_qs : QString::number(i)) + u",'"_qs + outlet + u"',20.5)"_qs});
  }
  BrowserConfig config = tableeditor::resultBrowserConfig();
  config.orderClause = u"ORDER BY ID"_qs;
  const QStringList seen = browse(u"key PageDown\nkey Home\nkey End\nkey PageUp\nkey Escape"_qs, config);
  // The outlets of each fill of the list.
  std::vector<QStringList> fills;
  bool inFill = false;
  for (const QString& line : seen) {
    if (!line.startsWith(u"row tableList | "_qs)) {
      inFill = false;
      continue;
    }
    const QStringList cells = line.split(u" | "_qs);
    if (!inFill || cells.value(1) == u"0"_qs) fills.emplace_back();
    inFill = true;
    fills.back().append(cells.value(3).trimmed());
  }
  ASSERT_EQ(fills.size(), 5u) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.contains(u"slider tableSlider | 0..25 | 20 | enabled"_qs)) << "25 rows, the second page from row 20";
  QStringList byId;  // no ID first, then by ID
  for (int i = 5; i <= 25; i += 5) byId.append(outlets[i - 1]);
  for (int i = 1; i <= 25; ++i)
    if (i % 5 != 0) byId.append(outlets[i - 1]);
  EXPECT_EQ(fills[0] + fills[1], byId) << "Page Down skips nothing and repeats nothing";
  EXPECT_EQ(fills[2], byId.mid(0, 20));
  EXPECT_EQ(fills[3], byId.mid(5)) << "End: the last page read from the end joins the same order";
  EXPECT_EQ(fills[4], byId.mid(0, 20));
}

}  // namespace
