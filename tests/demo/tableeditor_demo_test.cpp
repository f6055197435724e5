// The built program on the demo's first building: a scripted technician corrects measures and
// a result through both table browsers, and the device's file holds exactly the rows expected.
#include "testservers.h"

#include "common/dates.h"
#include "db/database.h"
#include "db/quoting.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <map>

namespace {

struct Measure {
  qint32 id = 0;
  QString auid, wastun;
  qint32 dasoll = 0, dadurch = 0;
  QString werdurch, anmerkung;  // stored form
  bool operator==(const Measure&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Measure& m) {
  return out << m.id << " " << m.auid.toStdString() << " " << m.wastun.toStdString() << " " << m.dasoll << " "
             << m.dadurch << " " << m.werdurch.toStdString() << " " << m.anmerkung.toStdString();
}

std::vector<Measure> measures(db::Connection* c) {
  std::vector<Measure> all;
  db::Query q(c, u"SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung FROM massnahme ORDER BY AUID, ID"_qs);
  while (q.next())
    all.push_back({q.int32(0), q.text(1), q.text(2), q.int32(3), q.int32(4), q.text(5), q.text(6)});
  return all;
}

QStringList results(db::Connection* c) {
  QStringList all;
  db::Query q(c, u"SELECT ID,AUID,abda,syst,keim,temp,resu,prot,anme FROM resultat ORDER BY ID"_qs);
  while (q.next()) {
    QStringList cells;
    for (int i = 0; i < 9; ++i) cells << q.text(i);
    all << cells.join(u" | "_qs);
  }
  return all;
}

QString readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(DemoTableEditor, AScriptedTechnicianCorrectsMeasuresAndAResultInTheBuiltProgram) {
  const QString folder = testsupport::temporaryFolder() + u"/tabellen"_qs;
  QProcess tool;
  tool.start(QStringLiteral(VARNOTH_MAKEDEMO), {folder, QStringLiteral(VARNOTH_PROGRAM), QStringLiteral(VARNOTH_HELP)});
  ASSERT_TRUE(tool.waitForFinished(60000));
  ASSERT_EQ(tool.exitCode(), 0);
  const QString device = folder + u"/Kita Sonnenschein/Varnoth.DBF"_qs;

  std::vector<Measure> before;
  QStringList resultsBefore;
  {
    db::ConnectionGuard local(db::openDatabase(device, {}, {}, db::Backend::Sqlite));
    ASSERT_TRUE(local);
    before = measures(local.get());
    resultsBefore = results(local.get());
  }
  ASSERT_GE(before.size(), 3u) << "the demo's device holds today's measures";
  ASSERT_EQ(resultsBefore.size(), 4);

  const QString script = folder + u"/script.txt"_qs, transcript = folder + u"/transcript.txt"_qs;
  QFile file(script);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(u"click commandList 4              # Maßnahmen bearb.\n"
             "key PageDown\nkey Home\n"
             "header tableList Auslass         # by outlet, A to Z\n"
             "click tableList 0 Planzeit       # the picker\n"
             "set pickHour 6\npress pickOK\n"
             "click tableList 0 Anmerkung      # the long-text editor\n"
             "set longText \"Perlator gewechselt\\nWasser klar\"\npress longTextOK\n"
             "key Return                       # the record dialog of the row\n"
             "set werdurch \"S. Weiß\"\npress dbStore\n"
             "click tableList 2 0\nkey Delete\nanswer Ja\n"
             "click tableList 1 0\nkey Insert       # a copy of the second row\n"
             "press dbStore\n"
             "key Escape\n"
             "click commandList 5              # Resultate bearb.\n"
             "click tableList \"SP-KU-01  \" Temp.\ninput \"12.5\"\n"
             "key Escape\n"
             "click commandList 7\n"_qs.toUtf8());
  file.close();

  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(u"ODBCINI"_qs, folder + u"/odbc.ini"_qs);
  environment.insert(u"VARNOTHM_SCRIPT"_qs, script);
  environment.insert(u"VARNOTHM_TRANSCRIPT"_qs, transcript);
  environment.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
  environment.insert(u"VARNOTHM_VERSION_HOST"_qs, u"127.0.0.1"_qs);
  environment.insert(u"VARNOTHM_VERSION_PORT"_qs, u"1"_qs);
  program.setProcessEnvironment(environment);
  program.start(folder + u"/VarnothM"_qs, {});
  ASSERT_TRUE(program.waitForFinished(120000));
  EXPECT_EQ(program.exitCode(), 0);
  const QString seen = readFile(transcript);
  EXPECT_FALSE(seen.contains(u"skipped"_qs)) << seen.toStdString();
  EXPECT_FALSE(seen.contains(u"unanswered"_qs)) << seen.toStdString();
  EXPECT_FALSE(seen.contains(u"box Fehler"_qs)) << seen.toStdString();
  EXPECT_TRUE(seen.contains(u"title Bearbeiten der Maßnahmen von Objekt Kita Sonnenschein\n"_qs));
  EXPECT_TRUE(seen.contains(u"title Bearbeiten der Befunde von Objekt Kita Sonnenschein\n"_qs));
  EXPECT_TRUE(seen.contains(u"closed Bearbeiten der Maßnahmen von Objekt Kita Sonnenschein\n"_qs));

  // The rows expected: the first (by outlet) re-timed to 6 o'clock, with the new remark and
  // technician; the third deleted; a copy of the second under the next ID.
  std::vector<Measure> expected = before;
  Measure& first = expected[0];
  const QDateTime planned = QDateTime::fromSecsSinceEpoch(first.dasoll, Qt::UTC);
  first.dasoll = common::makeDate(planned.date().year(), planned.date().month(), planned.date().day(), 6,
                                  planned.time().minute());
  first.anmerkung = db::escapeText(u"Perlator gewechselt\r\nWasser klar"_qs);
  first.werdurch = db::escapeText(u"S. Weiß"_qs);
  qint32 highest = 0;
  for (const Measure& m : before) highest = std::max(highest, m.id);
  Measure copy = expected[1];
  copy.id = highest + 1;
  expected.erase(expected.begin() + 2);
  expected.push_back(copy);
  std::sort(expected.begin(), expected.end(),
            [](const Measure& a, const Measure& b) { return std::pair(a.auid, a.id) < std::pair(b.auid, b.id); });

  QStringList resultsExpected = resultsBefore;
  for (QString& row : resultsExpected) {
    if (row.contains(u"SP-KU-01"_qs)) row.replace(u" | 21.5 | "_qs, u" | 12.5 | "_qs);
  }

  db::ConnectionGuard local(db::openDatabase(device, {}, {}, db::Backend::Sqlite));
  EXPECT_EQ(measures(local.get()), expected) << seen.toStdString();
  EXPECT_EQ(results(local.get()), resultsExpected);
}

// The built program started under German settings, as a German desktop starts it: Qt sets
// the C library's locale from LANG, and its decimal comma must not reach a number. A result
// saved unchanged keeps 58.5; "12,5" typed in a cell and "36.6" typed in the form are stored
// as those numbers.
TEST(DemoTableEditor, UnderGermanSettingsTemperaturesKeepTheirDecimals) {
  const QString folder = testsupport::temporaryFolder() + u"/deutsch"_qs;
  QProcess tool;
  tool.start(QStringLiteral(VARNOTH_MAKEDEMO), {folder, QStringLiteral(VARNOTH_PROGRAM), QStringLiteral(VARNOTH_HELP)});
  ASSERT_TRUE(tool.waitForFinished(60000));
  ASSERT_EQ(tool.exitCode(), 0);
  const QString device = folder + u"/Kita Sonnenschein/Varnoth.DBF"_qs;
  const QString script = folder + u"/script.txt"_qs, transcript = folder + u"/transcript.txt"_qs;
  QFile file(script);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(u"click commandList 5              # Resultate bearb., by outlet: IDs 1, 2, 4, 3\n"
             "click tableList 0 0\nkey Return\npress dbStore\n"
             "click tableList \"SP-KU-01  \" Temp.\ninput \"12,5\"\n"
             "click tableList 1 0\nkey Return\nset temp \"36.6\"\npress dbStore\n"
             "key Escape\n"
             "click commandList 7\n"_qs.toUtf8());
  file.close();

  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const QString& name : {u"LANG"_qs, u"LC_ALL"_qs, u"LC_NUMERIC"_qs}) environment.insert(name, u"de_DE.UTF-8"_qs);
  environment.insert(u"ODBCINI"_qs, folder + u"/odbc.ini"_qs);
  environment.insert(u"VARNOTHM_SCRIPT"_qs, script);
  environment.insert(u"VARNOTHM_TRANSCRIPT"_qs, transcript);
  environment.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
  environment.insert(u"VARNOTHM_VERSION_HOST"_qs, u"127.0.0.1"_qs);
  environment.insert(u"VARNOTHM_VERSION_PORT"_qs, u"1"_qs);
  program.setProcessEnvironment(environment);
  program.start(folder + u"/VarnothM"_qs, {});
  ASSERT_TRUE(program.waitForFinished(120000));
  EXPECT_EQ(program.exitCode(), 0);
  const QString seen = readFile(transcript);
  EXPECT_FALSE(seen.contains(u"skipped"_qs)) << seen.toStdString();
  EXPECT_FALSE(seen.contains(u"box "_qs)) << seen.toStdString();

  db::ConnectionGuard local(db::openDatabase(device, {}, {}, db::Backend::Sqlite));
  QStringList temps;
  db::Query q(local.get(), u"SELECT ID, temp FROM resultat ORDER BY ID"_qs);
  while (q.next()) temps << q.text(0) + u'|' + q.text(1);
  EXPECT_EQ(temps, (QStringList{u"1|58.5"_qs, u"2|36.6"_qs, u"3|55.0"_qs, u"4|12.5"_qs})) << seen.toStdString();
}

}  // namespace
