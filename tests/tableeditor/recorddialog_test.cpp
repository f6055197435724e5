// The record dialog: its generated markup, edit, new and copy, the fields by kind and spec,
// Esc and Ctrl+Return, the ID handed out again after a cancel, and rows saved unchanged that
// keep every character.
#include "tableeditor_fixture.h"

#include "tableeditor/recorddialog.h"
#include "tableeditor/tablesettings.h"

namespace {

using tableeditor::BrowserConfig;

BrowserConfig measureConfig() { return tableeditor::measureBrowserConfig(); }
BrowserConfig resultConfig() { return tableeditor::resultBrowserConfig(); }

class RecordDialogTest : public TableEditorTest {
 protected:
  QStringList edit(const QString& script, tableeditor::RecordChoice choice, BrowserConfig& config,
                   qint64* result = nullptr) {
    const int window = browserWindow();
    qint64 returned = 0;
    const QStringList seen =
        playWhile(script, [&] { returned = tableeditor::editRecord(window, database.get(), choice, config); });
    platform::closeWindow(window);
    if (result) *result = returned;
    return seen;
  }
  // As the browser names them: the row with that ID (the only one), a copy of it, a new row.
  tableeditor::RecordChoice row(const BrowserConfig& config, qint64 id) {
    return {tableeditor::RecordChoice::Edit, rowidOf(config.table, id)};
  }
  tableeditor::RecordChoice copyOf(const BrowserConfig& config, qint64 id) {
    return {tableeditor::RecordChoice::Copy, rowidOf(config.table, id)};
  }
  static tableeditor::RecordChoice newRow() { return {tableeditor::RecordChoice::New, 0}; }
};

TEST_F(RecordDialogTest, TheMarkupIsGeneratedFromTheConfiguration) {
  EXPECT_EQ(tableeditor::recordMarkup(measureConfig(), 42, 1001, {5, 2, 2, 5, 5, 2, 2}),
            u"<window id='#PB_Any' name='edit' text='Tabelle massnahme ID=42' minwidth='500' minheight='auto' "
            "flags='#PB_Window_ScreenCentered|#PB_Window_SystemMenu|#PB_Window_MinimizeGadget|#PB_Window_MaximizeGadget|"
            "#PB_Window_SizeGadget'> <vbox><text text='ID' /><string name='ID' disabled='yes' /><text text='Auslass' />"
            "<string name='AUID' /><text text='Tätigkeit' /><editor name='wastun' height='280' /><text text='Planzeit' />"
            "<date name='dasoll' /><text text='Durchf.Zeit' /><date name='dadurch' /><text text='Mitarbeiter' />"
            "<string name='werdurch' /><text text='Anmerkung' /><editor name='anmerkung' height='280' />"
            "<button name='dbExit' text='Esc' /><button name='dbStore' text='Speichern' /></vbox></window>"_qs);
}

TEST_F(RecordDialogTest, EditShowsEachFieldByKindAndSpec) {
  addMeasure(42, u"José ł € C:\\temp"_qs, u"a\r\nb"_qs, common::makeDate(2021, 3, 5, 9, 30), 0, u"hans"_qs, u"x"_qs);
  BrowserConfig config = measureConfig();
  qint64 result = 0;
  const QStringList seen = edit(u"key Escape"_qs, row(config, 42), config, &result);
  EXPECT_EQ(result, 42);
  EXPECT_EQ(seen, (QStringList{u"title Tabelle massnahme ID=42"_qs, u"field ID | 42        "_qs,
                               u"field AUID | José ł € C:\\\\temp"_qs, u"field wastun | a\\nb"_qs,
                               u"field dasoll | 2021-03-05 09:30"_qs, u"field dadurch | "_qs, u"field werdurch | hans"_qs,
                               u"field anmerkung | x"_qs, u"closed Tabelle massnahme ID=42"_qs}));
  EXPECT_EQ(config.columnKinds, u"0,2,2,5,5,2,2"_qs);
}

TEST_F(RecordDialogTest, NewRowsTakeTheNextIdAndACancelLeavesNoTrace) {
  BrowserConfig config = measureConfig();
  qint64 result = 0;
  QStringList seen = edit(u"press dbExit"_qs, newRow(), config, &result);
  EXPECT_EQ(result, 1) << "an empty table starts at 1";
  EXPECT_TRUE(rows(u"massnahme"_qs).isEmpty());
  addMeasure(41, u"WB-41"_qs, u"Probe"_qs, 0, 0, QString(), QString());
  seen = edit(u"close"_qs, newRow(), config, &result);
  EXPECT_EQ(result, 42);
  seen = edit(u"key Escape"_qs, newRow(), config, &result);
  EXPECT_EQ(result, 42) << "the cancelled ID is handed out again";
  EXPECT_EQ(rows(u"massnahme"_qs).size(), 1);
  seen = edit(u"set AUID \"WB-42\"\nset dasoll \"2026-12-09 08:15\"\nkey Ctrl+Return"_qs, newRow(), config, &result);
  EXPECT_EQ(rows(u"massnahme"_qs).value(1),
            u"42 | WB-42 |  | "_qs + QString::number(common::makeDate(2026, 12, 9, 8, 15)) + u" | 0 |  | "_qs);
}

TEST_F(RecordDialogTest, ACopyOfRowSevenIsStoredUnderTheNewId) {
  addMeasure(7, u"WB-07"_qs, u"Probe"_qs, common::makeDate(2021, 3, 5, 9, 30), common::makeDate(2021, 3, 6), u"José"_qs,
             u"C:\\temp\r\nZeile 2"_qs);
  addMeasure(9, u"WB-09"_qs, u"Spülen"_qs, 0, 0, QString(), QString());
  BrowserConfig config = measureConfig();
  qint64 result = 0;
  const QStringList seen = edit(u"press dbStore"_qs, copyOf(config, 7), config, &result);
  EXPECT_EQ(result, 10);
  EXPECT_EQ(seen.value(0), u"title Tabelle massnahme ID=10"_qs);
  EXPECT_EQ(seen.value(1), u"field ID | 7         "_qs) << "the ID field shows the source row";
  const QStringList stored = rows(u"massnahme"_qs);
  ASSERT_EQ(stored.size(), 3);
  EXPECT_EQ(stored[2], QString(stored[0]).replace(0, 1, u"10"_qs));
}

// Saved unchanged, a row keeps every character: the single-line text with its accents,
// euro sign and backslash, the multi-line text with its CR LF, and the float as stored,
// though the form shows it rounded to its spec.
TEST_F(RecordDialogTest, ARowSavedUnchangedKeepsEveryCharacter) {
  addMeasure(3, u"José ł € C:\\temp"_qs, u"a\r\nb"_qs, common::makeDate(2021, 3, 5, 9, 30), 0, u"Jürgen \\n"_qs,
             u"C:\\new\\table \"x\"\r\nb"_qs);
  const QStringList before = rows(u"massnahme"_qs);
  BrowserConfig config = measureConfig();
  edit(u"press dbStore"_qs, row(config, 3), config);
  EXPECT_EQ(rows(u"massnahme"_qs), before);

  addResult(4, u"WB-02"_qs, 1614902400, u"KW"_qs, u"Legio"_qs, 23.46, u"José ł € C:\\temp"_qs, u"P-1"_qs,
            u"über 😀 & <x>"_qs);
  const QString stored = rows(u"resultat"_qs).value(0);
  BrowserConfig results = resultConfig();
  const QStringList seen = edit(u"key Ctrl+Return"_qs, row(results, 4), results);
  EXPECT_TRUE(seen.contains(u"field temp | 23.5"_qs)) << seen.join(u'\n').toStdString();
  EXPECT_EQ(rows(u"resultat"_qs).value(0), stored);
}

// A single-line field shows its text without control characters; saved unchanged, the
// stored text keeps them; typed anew, the field's text is stored as typed.
TEST_F(RecordDialogTest, ASingleLineFieldShowsNoControlCharactersAndKeepsThemWhenLeftAlone) {
  addMeasure(3, u"WB\t03"_qs, u"x"_qs, 0, 0, u"a\r\nb"_qs, QString());
  const QStringList before = rows(u"massnahme"_qs);
  BrowserConfig config = measureConfig();
  const QStringList seen = edit(u"press dbStore"_qs, row(config, 3), config);
  EXPECT_TRUE(seen.contains(u"field werdurch | ab"_qs));
  EXPECT_TRUE(seen.contains(u"field AUID | WB03"_qs));
  EXPECT_EQ(rows(u"massnahme"_qs), before);
  edit(u"set werdurch \"a b\"\npress dbStore"_qs, row(config, 3), config);
  EXPECT_EQ(rows(u"massnahme"_qs).value(0), u"3 | "_qs + db::escapeText(u"WB\t03"_qs) + u" | x | 0 | 0 | a b | "_qs);
}

TEST_F(RecordDialogTest, AFailedSaveIsReportedAndEndsTheProgram) {
  addMeasure(3, u"WB-03"_qs, u"x"_qs, 0, 0, QString(), QString());
  BrowserConfig config = measureConfig();
  config.fields = u"ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung"_qs;
  testsupport::run(database.get(), {u"CREATE TRIGGER nein BEFORE UPDATE ON massnahme BEGIN SELECT RAISE(ABORT, 'gesperrt'); END"_qs});
  const int window = browserWindow();
  platform::startScript(u"set AUID \"WB-04\"\npress dbStore\nanswer OK"_qs);
  bool ended = false;
  try {
    tableeditor::editRecord(window, database.get(), row(config, 3), config);
  } catch (const common::ProgramEnd& end) {
    ended = end.exitCode != 0;
  }
  const QStringList seen = platform::transcript();
  EXPECT_TRUE(ended);
  EXPECT_TRUE(seen.contains(u"box Fehler | error | Datenbankzugriff UPDATE massnahme SET AUID='WB-04' WHERE rowid=1; "
                            "ergab Fehler gesperrt"_qs))
      << seen.join(u'\n').toStdString();
}

}  // namespace

namespace {

// A number beyond what the float column holds is never written: a note, and nothing changes.
TEST_F(RecordDialogTest, ANumberTooLargeForItsColumnIsNotWritten) {
  addResult(4, u"WB-02"_qs, 0, QString(), QString(), 23.5, QString(), QString(), QString());
  const QStringList before = rows(u"resultat"_qs);
  BrowserConfig config = resultConfig();
  QStringList seen = edit(u"set temp \"1e999\"\npress dbStore\nanswer OK\npress dbExit"_qs, row(config, 4), config);
  EXPECT_TRUE(seen.contains(u"box Hinweis | info | Die Zahl 1e999 ist zu groß für die Spalte \"Temp.\"."_qs)) << seen.join(u'\n').toStdString();
  EXPECT_EQ(rows(u"resultat"_qs), before);
  const int window = browserWindow();
  seen = playWhile(u"click tableList 0 Temp.\ninput \"-1e400\"\nanswer OK\nkey Escape"_qs,
                   [&] { tableeditor::browseTable(window, database.get(), config); });
  platform::closeWindow(window);
  EXPECT_TRUE(seen.contains(u"box Hinweis | info | Die Zahl -1e400 ist zu groß für die Spalte \"Temp.\"."_qs)) << seen.join(u'\n').toStdString();
  EXPECT_EQ(rows(u"resultat"_qs), before);
}

}  // namespace
