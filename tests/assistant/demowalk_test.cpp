// The demo as a new user walks the assistant: the built program on the demo folder fetches
// today, opens the assistant, shows coloured areas and measures, and records the due ones.
#include "testservers.h"

#include "common/dates.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QString readText(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TEST(DemoWalk, TheDemoShowsOpenOverdueAndCarriedOutMeasuresAndRecordsTheDueOnes) {
  const QString demo = testsupport::temporaryFolder() + u"/demo"_qs;
  QProcess tool;
  tool.start(QStringLiteral(VARNOTH_MAKEDEMO), {demo, QStringLiteral(VARNOTH_PROGRAM), QStringLiteral(VARNOTH_HELP)});
  ASSERT_TRUE(tool.waitForFinished(60000));
  ASSERT_EQ(tool.exitCode(), 0);
  QFile script(demo + u"/script.txt"_qs);
  ASSERT_TRUE(script.open(QIODevice::WriteOnly));
  script.write((u"click commandList 1\nclick commandList 2\nanswer Ja\nclick objectList \""_qs +
                common::formatDay(common::now()) +
                u"\"\nanswer OK\nclick commandList 8\nclick objectList \"Erdgeschoss\"\nclick objectList 0\n"
                "click commandList 0\nclick commandList 0\nclick commandList 7\n"_qs)
                   .toUtf8());
  script.close();
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(u"ODBCINI"_qs, demo + u"/odbc.ini"_qs);
  environment.insert(u"VARNOTHM_SCRIPT"_qs, demo + u"/script.txt"_qs);
  environment.insert(u"VARNOTHM_TRANSCRIPT"_qs, demo + u"/transcript.txt"_qs);
  environment.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
  environment.insert(u"TMPDIR"_qs, demo);
  environment.insert(u"VARNOTHM_VERSION_HOST"_qs, u"127.0.0.1"_qs);
  environment.insert(u"VARNOTHM_VERSION_PORT"_qs, u"1"_qs);
  program.setProcessEnvironment(environment);
  program.start(demo + u"/VarnothM"_qs, {});
  ASSERT_TRUE(program.waitForFinished(60000));
  EXPECT_EQ(program.exitCode(), 0);

  const QStringList seen = readText(demo + u"/transcript.txt"_qs).split(u'\n');
  const QString all = seen.join(u'\n');
  EXPECT_TRUE(seen.filter(u"skipped"_qs).isEmpty() && seen.filter(u"unanswered"_qs).isEmpty()) << all.toStdString();
  EXPECT_FALSE(all.contains(u"box Fehler"_qs) || all.contains(u"box Datenbankfehler"_qs)) << all.toStdString();
  EXPECT_TRUE(seen.contains(u"title VarnothM Objekt KITA SONNENSCHEIN Bereichswahl für Massnahmenassistent"_qs));
  // Several areas, the measures of the ground floor in all three states before the "all" row.
  EXPECT_GE(seen.filter(QRegularExpression(u"^item objectList \\| \\d+ \\| [^|]+ \\| \\d+,\\d+,0 \\| 255,204,255$"_qs)).size(), 2)
      << all.toStdString();
  const qsizetype listed = seen.indexOf(u"title VarnothM Objekt KITA SONNENSCHEIN Massnahmenassistent"_qs);
  ASSERT_GE(listed, 0) << all.toStdString();
  const QStringList first = seen.mid(listed).filter(u"item objectList"_qs).mid(0, 4);
  EXPECT_EQ(first.value(0), u"item objectList | 0 | Alle Items (von ***)(***) | 0,0,170 | 255,255,255"_qs);
  const QString rows = first.join(u'\n');
  EXPECT_TRUE(rows.contains(u"| 0,128,0 |"_qs)) << rows.toStdString();  // carried out
  EXPECT_TRUE(rows.contains(u"| 128,0,0 |"_qs)) << rows.toStdString();  // overdue
  EXPECT_TRUE(rows.contains(u"| 0,0,128 |"_qs)) << rows.toStdString();  // due later
  // The "all" row recorded the overdue measure: its line is in the export file.
  const QString exported = readText(demo + u"/Kita Sonnenschein_massnahme.CSV"_qs);
  EXPECT_TRUE(exported.startsWith(u"AUID;dasoll;wastun;dadurch;werdurch;anmerkung\r\n"_qs)) << exported.toStdString();
  EXPECT_GE(exported.count(u"\r\n"_qs), 2);
}

}  // namespace
