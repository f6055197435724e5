// What the user leaves alone stays as stored, byte for byte, through every editor of both
// browsers; and a temperature typed or kept reads the same under every desktop locale.
#include "tableeditor_fixture.h"

#include "desktoplocale.h"
#include "tableeditor/tablesettings.h"

namespace {

using tableeditor::BrowserConfig;

// Every value of a table exactly as stored: its type and its bytes (a real as SQLite
// writes it back), row by row.
QStringList rawRows(db::Connection* c, const QString& table) {
  QStringList columns;
  {
    db::Query info(c, u"PRAGMA table_info("_qs + table + u")"_qs);
    while (info.next()) columns.append(info.text(1));
  }
  QStringList cells;
  for (const QString& column : columns)
    cells.append(u"typeof("_qs + column + u")||':'||CASE WHEN typeof("_qs + column + u") IN ('text','blob') THEN hex("_qs +
                 column + u") ELSE quote("_qs + column + u") END"_qs);
  QStringList seen;
  db::Query rows(c, u"SELECT "_qs + cells.join(u"||' | '||"_qs) + u" FROM "_qs + table + u" ORDER BY rowid"_qs);
  EXPECT_TRUE(rows.ok());
  while (rows.next()) seen.append(rows.text(0));
  return seen;
}

// Rows as servers and older versions leave them: CR LF and tabs in single-line texts, NULL,
// a date before 1970 and one past 2038, a float with more decimals than its column shows,
// bytes that are no UTF-8, seconds a minute mask does not show.
TEST_F(TableEditorTest, EveryEditorLeftUnchangedWritesNothing) {
  const QString odd = u"CAST(X'57422DFF' AS TEXT)"_qs;  // "WB-" and a byte that is no UTF-8
  const QString seconds = QString::number(common::makeDate(2021, 3, 5, 9, 30, 17));
  testsupport::run(database.get(),
                   {u"INSERT INTO massnahme VALUES (1, "_qs + odd + u", 'Spülen'||char(13,10)||'kalt', -5, 2147483648, "
                        "'Jörg'||char(9)||'Weiß', NULL)"_qs,
                    u"INSERT INTO massnahme VALUES (2, 'WB-02', 'Probe', "_qs + seconds + u", "_qs + seconds +
                        u", NULL, 'a'||char(13,10)||'b')"_qs,
                    u"INSERT INTO resultat (ID,AUID,abda,anme,keim,syst,temp,resu,prot) VALUES (4, 'WB-01', "_qs +
                        seconds + u", 'Zeile 1'||char(13,10)||'Zeile 2', 'Legio'||char(9)||'p', "_qs + odd +
                        u", 23.46, '100 KBE', NULL)"_qs,
                    u"INSERT INTO resultat (ID,AUID,abda,anme,keim,syst,temp,resu,prot) VALUES (5, 'WB-02', -5, NULL, "
                        "'', 'K', -0.04, NULL, 'P-1')"_qs});
  const QStringList measures = rawRows(database.get(), u"massnahme"_qs);
  const QStringList results = rawRows(database.get(), u"resultat"_qs);

  BrowserConfig measureConfig = tableeditor::measureBrowserConfig();
  measureConfig.orderClause = u"ORDER BY ID"_qs;
  QString script;
  for (int row : {0, 1})
    script += u"click tableList %1 0\nkey Return\npress dbStore\n"
              "click tableList %1 Auslass\nanswer OK\n"
              "click tableList %1 Tätigkeit\npress longTextOK\n"
              "click tableList %1 Durchf.Zeit\npress pickOK\n"
              "click tableList %1 Mitarbeiter\nanswer OK\n"
              "click tableList %1 Anmerkung\npress longTextOK\n"_qs.arg(row);
  browse(script + u"click tableList 1 Planzeit\npress pickOK\nkey Escape"_qs, measureConfig);
  EXPECT_EQ(rawRows(database.get(), u"massnahme"_qs), measures);

  BrowserConfig resultConfig = tableeditor::resultBrowserConfig();
  resultConfig.orderClause = u"ORDER BY ID"_qs;
  script.clear();
  for (int row : {0, 1})
    script += u"click tableList %1 0\nkey Ctrl+Return\nkey Return\nkey Ctrl+Return\n"
              "click tableList %1 Auslass-ID\nanswer OK\n"
              "click tableList %1 Syst.\nanswer OK\n"
              "click tableList %1 Temp.\nanswer OK\n"
              "click tableList %1 Anmerkung\nanswer OK\n"_qs.arg(row);
  browse(script + u"click tableList 0 Abn.Dat.\npress pickOK\nkey Escape"_qs, resultConfig);
  EXPECT_EQ(rawRows(database.get(), u"resultat"_qs), results);
}

// A German desktop reads "36.6" as 36 and writes 58,5 to the C library: neither may reach
// the table. Kept, typed with a comma or a point, in a cell or in the form, a temperature
// is the same number under every locale; a text that is no number is refused with a note.
TEST_F(TableEditorTest, TemperaturesReadTheSameUnderEveryDesktopLocale) {
  for (const char* name : testsupport::desktopLocales) {
    testsupport::DesktopLocale locale(name);
    ASSERT_TRUE(locale.inForce());
    testsupport::run(database.get(), {u"DELETE FROM resultat"_qs});
    for (int id = 1; id <= 6; ++id)
      addResult(id, u"WB-0%1"_qs.arg(id), 0, u"W"_qs, QString(), id == 1 ? 58.5 : 20.25, QString(), QString(), QString());
    BrowserConfig config = tableeditor::resultBrowserConfig();  // by outlet: row i holds ID i + 1
    const QStringList seen = browse(u"click tableList 0 0\nkey Return\npress dbStore\n"
                                    "click tableList 1 Temp.\ninput \"36,6\"\n"
                                    "click tableList 2 Temp.\ninput \" 36.6 \"\n"
                                    "click tableList 3 0\nkey Return\nset temp \"36,6\"\npress dbStore\n"
                                    "click tableList 4 0\nkey Return\nset temp \"36.6\"\npress dbStore\n"
                                    "click tableList 5 Temp.\ninput \"36,6 °C\"\nanswer OK\n"
                                    "click tableList 5 0\nkey Return\nset temp \"sechs\"\npress dbStore\nanswer OK\n"
                                    "press dbExit\nkey Escape"_qs,
                                    config);
    QStringList temps;
    for (int id = 1; id <= 6; ++id)
      temps.append(stored(u"SELECT temp FROM resultat WHERE ID="_qs + QString::number(id)));
    EXPECT_EQ(temps, (QStringList{u"58.5"_qs, u"36.6"_qs, u"36.6"_qs, u"36.6"_qs, u"36.6"_qs, u"20.25"_qs})) << name;
    EXPECT_TRUE(seen.contains(u"box Hinweis | info | Die Eingabe 36,6 °C ist keine Zahl; die Spalte \"Temp.\" nimmt "
                              "eine Zahl wie 36,6 oder 36.6."_qs))
        << name << "\n" << seen.join(u'\n').toStdString();
    EXPECT_TRUE(seen.contains(u"box Hinweis | info | Die Eingabe sechs ist keine Zahl; die Spalte \"Temp.\" nimmt "
                              "eine Zahl wie 36,6 oder 36.6."_qs))
        << name;
  }
}

}  // namespace
