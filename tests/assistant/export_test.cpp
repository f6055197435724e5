// The export files: their lines byte for byte in Windows-1252 with CR LF, the header once per
// empty file, the silent loss when a file cannot be had, and whole lines from two writers.
#include "assistant_fixture.h"

#include "common/filenames.h"

#include <QFileInfo>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

using assistant::exportMeasure;
using assistant::exportResult;

const QByteArray measureHeader = "AUID;dasoll;wastun;dadurch;werdurch;anmerkung\r\n";
const QByteArray resultHeader = "AUID;abda;prot;keim;syst;temp;resu;anme\r\n";

assistant::MeasureRecord a17() {
  return {345, u"A17"_qs, u"Spülen"_qs, common::makeDate(2021, 5, 3, 7, 0), common::makeDate(2021, 5, 3, 7, 12, 45),
          u"tech01"_qs, QString()};
}

class ExportTest : public AssistantTest {};

TEST_F(ExportTest, TheMeasureLineOfTheExampleWithItsHeaderOnceAndCrLf) {
  const QString path = assistant::measureExportPath(u"Haus Süd"_qs);
  EXPECT_EQ(path, folder + u"tmp/Haus Süd_massnahme.CSV"_qs);
  exportMeasure(u"Haus Süd"_qs, a17());
  assistant::MeasureRecord m = a17();
  m.dasoll = 0;                                        // no due date
  m.dadurch = common::makeDate(2021, 5, 4);            // carried out at midnight
  m.anmerkung = u"Bad; WC & 'Keller' \\ 😀 €"_qs;      // a ";" makes more fields
  exportMeasure(u"Haus Süd"_qs, m);
  EXPECT_EQ(readBytes(path), measureHeader + "A17;2021-05-03 07:00;Sp\xFClen;2021-05-03 07:12;tech01;\r\n" +
                                 "A17;leer;Sp\xFClen;2021-05-04;tech01;Bad; WC & 'Keller' \\ ? \x80\r\n");
}

TEST_F(ExportTest, TheResultLineInItsOwnFieldOrderWithOneDecimalAndTheDegreeAsOneByte) {
  const QString path = assistant::resultExportPath(u"Haus Süd"_qs);
  assistant::ResultRecord r;
  r.ID = 4;
  r.AUID = u"A17"_qs;
  r.abda = common::makeDate(2021, 5, 3, 7, 13, 2);
  r.keim = u"M"_qs;
  r.syst = u"K"_qs;
  r.resu = u"°KW°60"_qs;
  for (float temp : {12.0f, 7.25f, -3.5f, 0.0f}) {
    r.temp = temp;
    exportResult(u"Haus Süd"_qs, r);
  }
  EXPECT_EQ(readBytes(path), resultHeader + "A17;2021-05-03 07:13;;M;K;12.0;\xB0KW\xB0" "60;\r\n" +
                                 "A17;2021-05-03 07:13;;M;K;7.3;\xB0KW\xB0" "60;\r\n" +
                                 "A17;2021-05-03 07:13;;M;K;-3.5;\xB0KW\xB0" "60;\r\n" +
                                 "A17;2021-05-03 07:13;;M;K;0.0;\xB0KW\xB0" "60;\r\n");
}

TEST_F(ExportTest, AFileEmptiedByHandGetsTheHeaderAgainAndOneWithoutHeaderGetsNone) {
  const QString path = assistant::measureExportPath(u"Haus"_qs);
  exportMeasure(u"Haus"_qs, a17());
  QFile(path).resize(0);
  exportMeasure(u"Haus"_qs, a17());
  const QByteArray line = "A17;2021-05-03 07:00;Sp\xFClen;2021-05-03 07:12;tech01;\r\n";
  EXPECT_EQ(readBytes(path), measureHeader + line);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(line);
  file.close();
  exportMeasure(u"Haus"_qs, a17());
  EXPECT_EQ(readBytes(path), line + line);
}

TEST_F(ExportTest, AFileThatCannotBeHadLosesItsLineSilently) {
  testsupport::BoxRecorder boxes;
  // A missing temporary folder.
  qputenv("TMPDIR", QFile::encodeName(folder + u"fehlt/nicht-da"_qs));
  EXPECT_EQ(assistant::measureExportPath(u"Haus"_qs), folder + u"fehlt/nicht-da/Haus_massnahme.CSV"_qs);
  EXPECT_FALSE(exportMeasure(u"Haus"_qs, a17()));
  EXPECT_FALSE(QFileInfo::exists(folder + u"fehlt"_qs));
  qputenv("TMPDIR", QFile::encodeName(folder + u"tmp"_qs));

  // A file held locked by another program: this line is lost, the next one after it is written.
  const QString path = assistant::measureExportPath(u"Haus"_qs);
  exportMeasure(u"Haus"_qs, a17());
  const int other = ::open(QFile::encodeName(path).constData(), O_RDWR);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX), 0);
  assistant::MeasureRecord lost = a17();
  lost.AUID = u"verloren"_qs;
  EXPECT_FALSE(exportMeasure(u"Haus"_qs, lost));
  ::close(other);
  exportMeasure(u"Haus"_qs, a17());
  EXPECT_FALSE(readBytes(path).contains("verloren"));
  EXPECT_EQ(readBytes(path).count("A17;"), 2);

  // A name the file system rejects as a file: the object's name is made one.
  exportMeasure(u"Haus 1/2"_qs, a17());
  EXPECT_TRUE(readBytes(folder + u"tmp/"_qs + common::safeFileName(u"Haus 1/2"_qs) + u"_massnahme.CSV"_qs)
                  .startsWith(measureHeader));
  EXPECT_EQ(QDir(folder + u"tmp"_qs).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ExportTest, TwoWritersAtOnceLeaveWholeLinesAndOneHeader) {
  constexpr int linesEach = 300;
  auto writer = [](const QString& auid) {
    assistant::MeasureRecord m = a17();
    m.AUID = auid;
    m.anmerkung = QString(200, u'x');
    for (int i = 0; i < linesEach; ++i) exportMeasure(u"Haus"_qs, m);
  };
  std::thread one(writer, u"EINS"_qs), two(writer, u"ZWEI"_qs);
  one.join();
  two.join();
  const QList<QByteArray> lines = readBytes(assistant::measureExportPath(u"Haus"_qs)).split('\n');
  ASSERT_EQ(lines.size(), 2 * linesEach + 2);
  EXPECT_EQ(lines[0] + '\n', measureHeader);
  const QByteArray tail = ";2021-05-03 07:00;Sp\xFClen;2021-05-03 07:12;tech01;" + QByteArray(200, 'x') + "\r";
  for (int i = 1; i <= 2 * linesEach; ++i)
    ASSERT_TRUE(lines[i] == "EINS" + tail || lines[i] == "ZWEI" + tail) << i << ": " << lines[i].toStdString();
}

TEST(FormatDayTime, NoDateMidnightAndMinutes) {
  EXPECT_EQ(assistant::formatDayTime(0), u"leer"_qs);
  EXPECT_EQ(assistant::formatDayTime(-7), u"leer"_qs);
  EXPECT_EQ(assistant::formatDayTime(common::makeDate(2021, 5, 3)), u"2021-05-03"_qs);
  EXPECT_EQ(assistant::formatDayTime(common::makeDate(2021, 5, 3, 0, 0, 1)), u"2021-05-03 00:00"_qs);
  EXPECT_EQ(assistant::formatDayTime(common::makeDate(2021, 12, 31, 23, 59, 59)), u"2021-12-31 23:59"_qs);
}

TEST(ExportCodePage, WindowsCodePageWithAQuestionMarkForWhatItLacks) {
  EXPECT_EQ(assistant::toExportCodePage(u"°äöüÄÖÜß€"_qs), QByteArray("\xB0\xE4\xF6\xFC\xC4\xD6\xDC\xDF\x80"));
  EXPECT_EQ(assistant::toExportCodePage(u"a😀b ő ‰"_qs), QByteArray("a?b ? \x89"));
  EXPECT_EQ(assistant::toExportCodePage(QString()), QByteArray());
}

}  // namespace
