// The table browser through the scripted user: paging and its first-row rule, the slider,
// sorting by a header, the cell forms, in-place editing of each kind, deleting, and the
// record dialog opened from the list.
#include "tableeditor_fixture.h"

#include "platform/dialogengine.h"
#include "tableeditor/cellformat.h"
#include "tableeditor/tablesettings.h"

#include <QTableWidget>
#include <QTimer>
#include <QWidget>

namespace {

using tableeditor::BrowserConfig;

BrowserConfig measureConfig(const QString& order = u"ORDER BY ID"_qs) {
  BrowserConfig c = tableeditor::measureBrowserConfig();
  c.orderClause = order;
  return c;
}

BrowserConfig resultConfig() { return tableeditor::resultBrowserConfig(); }

QStringList ids(int from, int to) {
  QStringList list;
  for (int id = from; id <= to; ++id) list.append(QString::number(id));
  return list;
}

TEST_F(TableEditorTest, PagingThroughFiftyRowsWithPagesOfTwenty) {
  addMeasures(50);
  BrowserConfig config = measureConfig();
  const QStringList seen = browse(u"key PageDown\nkey PageDown\nkey PageDown\nkey PageUp\nkey Home\nkey End\nkey Escape"_qs, config);
  EXPECT_EQ(config.pageSize, 20);
  const std::vector<QStringList> shown = pages(seen);
  const std::vector<QStringList> expected{ids(1, 20), ids(21, 40), ids(41, 50), ids(31, 50),
                                          ids(11, 30), ids(1, 20),  ids(31, 50)};
  EXPECT_EQ(shown, expected) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.contains(u"slider tableSlider | 0..50 | 0 | enabled"_qs));
  EXPECT_TRUE(seen.contains(u"slider tableSlider | 0..50 | 30 | enabled"_qs));
  EXPECT_EQ(config.firstRow, 30);
  EXPECT_EQ(config.columnKinds, u"1,2,2,5,5,2,2"_qs);
}

TEST_F(TableEditorTest, TheSliderChoosesTheFirstRow) {
  addMeasures(50);
  BrowserConfig config = measureConfig();
  const QStringList seen = browse(u"set tableSlider 7\nset tableSlider 45\nkey Escape"_qs, config);
  const std::vector<QStringList> shown = pages(seen);
  ASSERT_EQ(shown.size(), 3u) << seen.join(u'\n').toStdString();
  EXPECT_EQ(shown[1], ids(8, 27));
  EXPECT_EQ(shown[2], ids(46, 50)) << "a first row inside the last page shows the rows from there on";
}

TEST_F(TableEditorTest, EndOnAnEmptyTableShowsNothingFromRowZero) {
  BrowserConfig config = measureConfig();
  const QStringList seen = browse(u"key End\nkey PageDown\nkey Escape"_qs, config);
  EXPECT_EQ(config.firstRow, 0);
  EXPECT_TRUE(pages(seen).empty());
  EXPECT_TRUE(seen.contains(u"slider tableSlider | 0..0 | 0 | enabled"_qs)) << seen.join(u'\n').toStdString();
  EXPECT_EQ(seen.filter(u"columns tableList"_qs).value(0),
            u"columns tableList | ID:100 | Auslass:100 | Tätigkeit:200 | Planzeit:160 | Durchf.Zeit:160 | "
            "Mitarbeiter:100 | Anmerkung:200"_qs);
}

// The header band sorts by the column under the pointer: ID is found inside "ORDER BY AUID".
TEST_F(TableEditorTest, HeaderClicksFollowTheOrderRule) {
  addMeasures(3);
  const std::pair<int, QString> cases[] = {{1, u"ORDER BY ID ASC"_qs}, {2, u"ORDER BY ID DESC"_qs}, {3, u"ORDER BY ID ASC"_qs}};
  for (const auto& [clicks, expected] : cases) {
    BrowserConfig config = measureConfig(u"ORDER BY AUID"_qs);
    QString script;
    for (int i = 0; i < clicks; ++i) script += u"header tableList ID\n"_qs;
    const QStringList seen = browse(script + u"key Escape"_qs, config);
    EXPECT_EQ(config.orderClause, expected) << clicks;
    EXPECT_EQ(pages(seen).back(), clicks == 2 ? (QStringList{u"3"_qs, u"2"_qs, u"1"_qs}) : ids(1, 3));
  }
  BrowserConfig config = measureConfig(u"ORDER BY ID DESC"_qs);
  browse(u"header tableList Auslass\nkey Escape"_qs, config);
  EXPECT_EQ(config.orderClause, u"ORDER BY AUID ASC"_qs);
}

TEST_F(TableEditorTest, CellsAreFormedByKindAndSpec) {
  addMeasure(1, u"José ł € C:\\temp"_qs, u"a\r\nb"_qs, common::makeDate(2021, 3, 5, 9, 30), 0,
             u"Jürgen & <Söhne>"_qs, u"Tab\tweg \"ok\""_qs);
  addResult(4, u"WB-02"_qs, 0, u"KW"_qs, u"Legio"_qs, 23.46, u"100 KBE"_qs, u"P-1"_qs, u"über 😀"_qs);
  addResult(5, u"WB-03"_qs, 1614902400, QString(), QString(), 0, QString(), QString(), QString());
  BrowserConfig measures = measureConfig();
  QStringList seen = browse(u"key Escape"_qs, measures);
  EXPECT_TRUE(seen.contains(u"row tableList | 0 | 1          | José ł € C:\\\\temp | a\\\\r\\\\nb | 2021-03-05 09:30 | --- | "
                            "Jürgen & <Söhne> | Tab\\\\tweg \\\\\"ok\\\\\""_qs))
      << seen.join(u'\n').toStdString();
  BrowserConfig results = resultConfig();
  seen = browse(u"key Escape"_qs, results);
  const QString pad13(13, u' ');
  EXPECT_TRUE(seen.contains(u"row tableList | 0 | 4          | WB-02      | --- | KW    | Legio | 23.5  | 100 KBE"_qs +
                            QString(23, u' ') + u" | P-1        | über 😀"_qs + pad13))
      << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.contains(u"row tableList | 1 | 5          | WB-03      | 2021-03-05 |       |       | ---   | "_qs +
                            QString(30, u' ') + u" |            | "_qs + QString(20, u' ')))
      << seen.join(u'\n').toStdString();
  EXPECT_EQ(results.columnKinds, u"1,2,5,2,2,4,2,2,2"_qs);
}

TEST_F(TableEditorTest, AnEmptyOrCancelledCellEditorChangesNothing) {
  addMeasure(1, u"WB-01"_qs, u"Spülen"_qs, common::makeDate(2021, 3, 5, 9, 30), 0, u"hans"_qs, u"a\r\nb"_qs);
  const QStringList before = rows(u"massnahme"_qs);
  BrowserConfig config = measureConfig();
  const QStringList seen = browse(u"click tableList 0 1\ninput \"\"\n"
                                  "click tableList 0 5\ninput cancel\n"
                                  "click tableList 0 3\npress pickEsc\n"
                                  "click tableList 0 3\nkey Escape\n"
                                  "click tableList 0 6\npress longTextEsc\n"
                                  "click tableList 0 6\nset longText \"\"\npress longTextOK\n"
                                  "click tableList 0 6\npress longTextOK\n"
                                  "click tableList 0 0\n"
                                  "key Escape"_qs,
                                  config);
  EXPECT_EQ(rows(u"massnahme"_qs), before);
  EXPECT_TRUE(seen.contains(u"input Auslass |  | WB-01"_qs)) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.contains(u"title Planzeit"_qs));
  EXPECT_TRUE(seen.contains(u"closed Planzeit"_qs));
  EXPECT_EQ(seen.filter(u"title Anmerkung"_qs).size(), 3);
}

TEST_F(TableEditorTest, EachKindIsEditedInPlace) {
  addMeasure(1, u"WB-01"_qs, u"Spülen"_qs, common::makeDate(2021, 3, 5, 9, 30), 0, u"hans"_qs, u"alt"_qs);
  addResult(4, u"WB-02"_qs, 0, QString(), QString(), 23.46, QString(), QString(), QString());
  BrowserConfig measures = measureConfig();
  browse(u"click tableList 0 3\nset pickHour 14\npress pickOK\n"
         "click tableList 0 4\npress pickClear\n"
         "click tableList 0 1\ninput \"C:\\\\temp € ł\"\n"
         "click tableList 0 6\nset longText \"Zeile 1\\nZeile 2\"\npress longTextOK\n"
         "key Home\nkey Escape"_qs,
         measures);
  EXPECT_EQ(stored(u"SELECT dasoll FROM massnahme WHERE ID=1"_qs).toInt(), common::makeDate(2021, 3, 5, 14, 30));
  EXPECT_EQ(stored(u"SELECT dadurch FROM massnahme WHERE ID=1"_qs), u"0"_qs);
  EXPECT_EQ(db::unescapeText(stored(u"SELECT AUID FROM massnahme WHERE ID=1"_qs)), u"C:\\temp € ł"_qs);
  EXPECT_EQ(db::unescapeText(stored(u"SELECT anmerkung FROM massnahme WHERE ID=1"_qs)), u"Zeile 1\r\nZeile 2"_qs);

  BrowserConfig results = resultConfig();
  const QStringList seen = browse(u"click tableList 0 5\ninput \"12.25\"\nclick tableList 0 2\npress pickOK\nkey Home\n"
                                  "key Escape"_qs, results);
  EXPECT_EQ(stored(u"SELECT temp FROM resultat WHERE ID=4"_qs), u"12.25"_qs);
  EXPECT_GT(stored(u"SELECT abda FROM resultat WHERE ID=4"_qs).toLongLong(), 0) << "the picker starts today";
  EXPECT_TRUE(seen.filter(u"| 12.2  |"_qs).size() + seen.filter(u"| 12.3  |"_qs).size() >= 1)
      << seen.join(u'\n').toStdString();
}

// Every character of a row survives: another cell edited in place, the single-line and the
// multi-line editor confirmed unchanged, the row saved unchanged through the record dialog.
TEST_F(TableEditorTest, ARowKeepsItsTextsThroughEveryEditorLeftUnchanged) {
  addMeasure(3, u"WB-03"_qs, u"Spülen"_qs, common::makeDate(2021, 3, 5, 9, 30), 0, u"José ł € C:\\temp"_qs, u"a\r\nb"_qs);
  const QString who = stored(u"SELECT werdurch FROM massnahme WHERE ID=3"_qs);
  const QString remark = stored(u"SELECT anmerkung FROM massnahme WHERE ID=3"_qs);
  BrowserConfig config = measureConfig();
  const QStringList seen = browse(u"click tableList 0 3\nset pickHour 14\npress pickOK\n"
                                  "click tableList 0 Mitarbeiter\nanswer OK\n"
                                  "click tableList 0 Anmerkung\npress longTextOK\n"
                                  "key Return\npress dbStore\n"
                                  "key Escape"_qs,
                                  config);
  EXPECT_TRUE(seen.contains(u"input Mitarbeiter |  | José ł € C:\\\\temp"_qs)) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.contains(u"title Tabelle massnahme ID=3"_qs));
  EXPECT_EQ(stored(u"SELECT dasoll FROM massnahme WHERE ID=3"_qs).toInt(), common::makeDate(2021, 3, 5, 14, 30));
  EXPECT_EQ(stored(u"SELECT werdurch FROM massnahme WHERE ID=3"_qs), who);
  EXPECT_EQ(stored(u"SELECT anmerkung FROM massnahme WHERE ID=3"_qs), remark);
  EXPECT_EQ(db::unescapeText(remark), u"a\r\nb"_qs);
}

TEST_F(TableEditorTest, ClearingADateInThePickerStoresZeroAndShowsDashes) {
  addMeasure(1, u"WB-01"_qs, u"Spülen"_qs, common::makeDate(2021, 3, 5, 9, 30), 0, QString(), QString());
  BrowserConfig config = measureConfig();
  const QStringList seen = browse(u"click tableList 0 3\npress pickClear\nkey Home\nkey Escape"_qs, config);
  EXPECT_EQ(stored(u"SELECT dasoll FROM massnahme WHERE ID=1"_qs), u"0"_qs);
  EXPECT_TRUE(seen.last().contains(u"| --- | --- |"_qs)) << seen.join(u'\n').toStdString();
}

TEST_F(TableEditorTest, DeletingAsksAndOnlyYesDeletes) {
  addMeasures(3);
  BrowserConfig config = measureConfig();
  const QStringList seen =
      browse(u"click tableList 1\nkey Delete\nanswer Nein\nclick tableList 1\nkey Delete\nanswer Ja\nkey Escape"_qs, config);
  EXPECT_EQ(seen.filter(u"box Frage | warning | Wollen Sie Eintrag mit ID=2 wirklich löschen?"_qs).size(), 2);
  EXPECT_EQ(rows(u"massnahme"_qs).size(), 2);
  EXPECT_EQ(pages(seen).back(), (QStringList{u"1"_qs, u"3"_qs}));
}

// Insert without a selected row makes a new row; with one, a copy of it under the new ID.
TEST_F(TableEditorTest, InsertWithAndWithoutASelectedRow) {
  addMeasure(7, u"WB-07"_qs, u"Probe"_qs, common::makeDate(2021, 3, 5, 9, 30), 0, u"José"_qs, u"a\r\nb"_qs);
  BrowserConfig config = measureConfig();
  const QStringList seen = browse(u"key Insert\nset AUID \"NEU-1\"\npress dbStore\n"
                                  "click tableList \"7         \"\nkey Insert\nkey Ctrl+Return\n"
                                  "dclick tableList 0\nkey Escape\n"
                                  "key Escape"_qs,
                                  config);
  EXPECT_TRUE(seen.contains(u"title Tabelle massnahme ID=8"_qs)) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.contains(u"title Tabelle massnahme ID=9"_qs));
  EXPECT_TRUE(seen.contains(u"title Tabelle massnahme ID=7"_qs)) << "a double click opens the row";
  const QStringList stored = rows(u"massnahme"_qs);
  ASSERT_EQ(stored.size(), 3);
  EXPECT_EQ(stored[1], u"8 | NEU-1 |  | 0 | 0 |  | "_qs);
  EXPECT_EQ(stored[2], QString(stored[0]).replace(0, 1, u"9"_qs)) << "the copy of row 7 under ID 9";
}

}  // namespace

namespace {

// A failed query, a failed statement and a column of an unknown kind each close the browser
// after their message.
TEST_F(TableEditorTest, FailuresCloseTheBrowserAfterTheirMessage) {
  BrowserConfig missing = measureConfig();
  missing.table = u"nichtda"_qs;
  QStringList seen = browse(u"answer OK"_qs, missing);
  EXPECT_TRUE(seen.contains(u"box Fehler | error | Die Datenbankabfrage SELECT COUNT(*) FROM nichtda ; ergab folgenden "
                            "Fehler: no such table: nichtda"_qs))
      << seen.join(u'\n').toStdString();

  testsupport::run(database.get(), {u"CREATE TABLE bilder (ID longint, AUID varchar(32), bild BLOB)"_qs,
                                    u"INSERT INTO bilder VALUES (1, 'WB-01', x'00ff'), (2, 'WB-02', x'01')"_qs});
  BrowserConfig blobs{.table = u"bilder"_qs,
                      .orderClause = u"ORDER BY ID"_qs,
                      .fields = u"ID,AUID,bild"_qs,
                      .columnTitles = u"ID,Auslass,Bild"_qs,
                      .columnSpecs = u"10L,10L,10L"_qs};
  seen = browse(u"answer OK\nanswer OK"_qs, blobs);
  EXPECT_EQ(seen.filter(u"box Fehler | error | Unbekannter Feldtyp"_qs).size(), 2);
  EXPECT_FALSE(seen.contains(u"script exhausted"_qs)) << "the browser closed after the fill";

  addMeasure(1, u"WB-01"_qs, u"Spülen"_qs, 0, 0, QString(), QString());
  testsupport::run(database.get(),
                   {u"CREATE TRIGGER nein BEFORE UPDATE ON massnahme BEGIN SELECT RAISE(ABORT, 'gesperrt'); END"_qs});
  BrowserConfig config = measureConfig();
  seen = browse(u"click tableList 0 Mitarbeiter\ninput \"Jörg\"\nanswer OK"_qs, config);
  EXPECT_TRUE(seen.contains(u"box Fehler | error | Datenbankzugriff UPDATE massnahme SET werdurch='Jörg' WHERE rowid=1; "
                            "ergab Fehler gesperrt"_qs))
      << seen.join(u'\n').toStdString();
}

}  // namespace

namespace {

// Pages in the later half are read from the end; with ties in the sort column they still
// join to the one order the first page starts.
TEST_F(TableEditorTest, PagesReadFromTheEndJoinTheOrderOfTheFirstPage) {
  for (int id = 1; id <= 30; ++id)
    addMeasure(id, u"A-%1"_qs.arg(id % 3), u"Spülen"_qs, 0, 0, QString(), QString());
  QStringList order;
  for (int rest : {0, 1, 2})
    for (int id = 1; id <= 30; ++id)
      if (id % 3 == rest) order.append(QString::number(id));
  BrowserConfig config = measureConfig(u"ORDER BY AUID"_qs);
  const QStringList seen = browse(u"key PageDown\nkey End\nkey PageUp\nkey Escape"_qs, config);
  const std::vector<QStringList> expected{order.mid(0, 20), order.mid(20), order.mid(10), order.mid(0, 20)};
  EXPECT_EQ(pages(seen), expected) << seen.join(u'\n').toStdString();
}

}  // namespace

namespace {

// The browser is modal: another window's event only brings it back, in its normal state.
TEST_F(TableEditorTest, AnotherWindowsEventBringsTheBrowserBackAndIsDropped) {
  addMeasures(3);
  platform::WindowFeatures plain;
  const int other = platform::openWindow(0, 0, 200, 100, u"Hauptfenster"_qs, plain);
  platform::WindowFeatures features;
  features.minimiseBox = features.maximiseBox = features.sizingBorder = features.maximised = true;
  const int window = platform::openWindow(60, 40, 600, 400, u"Bearbeiten"_qs, features);
  BrowserConfig config = measureConfig();
  QStringList seen = playWhile(u"key End\nkey Escape"_qs, [&] {
    platform::clearWindowEvents();
    platform::queueWindowEvent({other, 0, platform::EventKind::Close, {}});
    tableeditor::browseTable(window, database.get(), config);
  });
  EXPECT_FALSE(platform::windowWidget(window)->isMaximized()) << "shown in its normal state";
  EXPECT_TRUE(platform::isWindow(other));
  EXPECT_GE(pages(seen).size(), 2u) << "the browser went on after the other window's event";
  platform::closeWindow(window);
}

}  // namespace

namespace {

// Every row of every page is in view: the page holds what the list shows under its title
// row and above its scroll bar, in the fixture's window, on a 1024 x 768 screen and in a
// window whose columns fit without a scroll bar. Looked at from inside the browser's loop
// on the real widget; the picture of the page after End goes to VARNOTHM_PICTURES.
TEST_F(TableEditorTest, AfterEndAndPageDownTheLastRowIsInView) {
  addMeasures(50);
  const QString pictures = qEnvironmentVariableIsEmpty("VARNOTHM_PICTURES") ? testsupport::temporaryFolder()
                                                                           : qEnvironmentVariable("VARNOTHM_PICTURES");
  for (const QSize size : {QSize(600, 490), QSize(1024, 768), QSize(1100, 300)}) {
    platform::WindowFeatures features;
    features.minimiseBox = features.maximiseBox = features.sizingBorder = true;
    const int window = platform::openWindow(0, 0, size.width(), size.height(), u"Bearbeiten"_qs, features);
    QStringList hidden;  // the rows a page held but did not show
    QStringList lastShown;
    QTimer looker;
    QObject::connect(&looker, &QTimer::timeout, [&] {
      QTableWidget* list = nullptr;
      for (int control : platform::controlsOfWindow(window))
        if (platform::controlName(control) == u"tableList"_qs) list = qobject_cast<QTableWidget*>(platform::controlWidget(control));
      if (!list || list->rowCount() == 0) return;
      const QRect view = list->viewport()->rect();
      const QString last = list->item(list->rowCount() - 1, 0)->text().trimmed();
      for (int row = 0; row < list->rowCount(); ++row) {
        const QString id = list->item(row, 0)->text().trimmed();
        if (!view.contains(list->visualItemRect(list->item(row, 0))) && !hidden.contains(id)) hidden.append(id);
      }
      if (last == u"50"_qs && lastShown.isEmpty()) {
        lastShown.append(last);
        platform::saveWindowPicture(window, pictures + u"/tabelle-ende-%1x%2.png"_qs.arg(size.width()).arg(size.height()));
      }
    });
    looker.start(0);
    BrowserConfig config = measureConfig();
    playWhile(u"key End\nkey Home\nkey PageDown\nkey PageDown\nkey PageDown\nkey Escape"_qs,
              [&] { tableeditor::browseTable(window, database.get(), config); });
    looker.stop();
    platform::closeWindow(window);
    EXPECT_TRUE(hidden.isEmpty()) << size.width() << "x" << size.height() << ": rows out of view "
                                  << hidden.join(u' ').toStdString();
    EXPECT_EQ(lastShown, QStringList{u"50"_qs}) << size.width() << "x" << size.height();
    EXPECT_GE(config.pageSize, 3);
  }
}

// Dragging a title's border widens the column and leaves the order alone; a click sorts.
TEST_F(TableEditorTest, WideningAColumnDoesNotSortIt) {
  addMeasures(3);
  BrowserConfig config = measureConfig(u"ORDER BY ID DESC"_qs);
  QStringList seen = browse(u"resize tableList Auslass 150\nresize tableList ID 60\nkey Escape"_qs, config);
  EXPECT_EQ(config.orderClause, u"ORDER BY ID DESC"_qs);
  EXPECT_EQ(pages(seen).size(), 1u) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.contains(u"columns tableList | ID:60 | Auslass:150 | Tätigkeit:200 | Planzeit:160 | Durchf.Zeit:160 | "
                            "Mitarbeiter:100 | Anmerkung:200"_qs))
      << seen.join(u'\n').toStdString();
  seen = browse(u"resize tableList Auslass 150\nheader tableList Auslass\nkey Escape"_qs, config);
  EXPECT_EQ(config.orderClause, u"ORDER BY AUID ASC"_qs);
  EXPECT_EQ(pages(seen).size(), 2u) << "one fill at the start, one after the click";
}

}  // namespace
