// The export files of the recorded work: one line per carried-out measure and per result,
// appended to the object's two files in the user's temporary folder, in Windows-1252.
#include "assistant/assistant.h"

#include "common/dates.h"
#include "common/filenames.h"
#include "platform/system.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <iconv.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

namespace assistant {

namespace {

const QByteArray measureHeader = "AUID;dasoll;wastun;dadurch;werdurch;anmerkung";
const QByteArray resultHeader = "AUID;abda;prot;keim;syst;temp;resu;anme";

// The length of the UTF-8 sequence that starts with the byte; 1 for a stray byte.
int sequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

bool writeAll(int fd, const QByteArray& bytes) {
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

// Takes the file for itself for the moment of one line. Another copy of the program holds
// it only while it writes its own line, so a short wait lets both lines through whole;
// a program that keeps the file locked makes this line fail, as an unopenable file.
bool lockForOneLine(int fd) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return false;
}

// Appends the line (CR LF added) to the file, with the header first when the file is empty.
// false when the line is not in the file: the recording in the database goes on regardless,
// and the caller tells the user. A write broken off midway is cut back, so that the next
// line starts on a line of its own.
bool appendLine(const QString& path, const QByteArray& header, const QString& line) {
  const QByteArray name = QFile::encodeName(path);
  const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool written = false;
  if (lockForOneLine(fd)) {
    struct stat info {};
    if (::fstat(fd, &info) == 0) {
      QByteArray bytes;
      if (info.st_size == 0) bytes = header + "\r\n";
      bytes += toExportCodePage(line) + "\r\n";
      const off_t end = ::lseek(fd, 0, SEEK_END);
      if (end >= 0) {
        written = writeAll(fd, bytes);
        if (!written) (void)::ftruncate(fd, end);
      }
    }
  }
  ::close(fd);  // releases the lock
  return written;
}

QString temperatureText(float temp) { return QString::number(static_cast<double>(temp), 'f', 1); }

}  // namespace

QByteArray toExportCodePage(const QString& text) {
  QByteArray in = text.toUtf8();
  QByteArray out;
  iconv_t converter = iconv_open("WINDOWS-1252", "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    // Without the converter, the characters of Latin-1 are the same bytes; the rest is "?".
    for (QChar c : text) out += c.unicode() < 256 && !(c.unicode() >= 0x80 && c.unicode() < 0xA0) ? char(c.unicode()) : '?';
    return out;
  }
  out.resize(in.size());  // never longer than UTF-8
  char* source = in.data();
  size_t sourceLeft = static_cast<size_t>(in.size());
  char* target = out.data();
  size_t targetLeft = static_cast<size_t>(out.size());
  while (sourceLeft > 0) {
    if (iconv(converter, &source, &sourceLeft, &target, &targetLeft) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) break;  // cannot happen: every character takes at most its UTF-8 length
    // A character the code page lacks (or a broken sequence) becomes "?".
    const size_t skip = qMin<size_t>(sequenceLength(static_cast<unsigned char>(*source)), sourceLeft);
    *target++ = '?';
    --targetLeft;
    source += skip;
    sourceLeft -= skip;
  }
  iconv_close(converter);
  out.truncate(out.size() - static_cast<qsizetype>(targetLeft));
  return out;
}

QString formatDayTime(qint32 date) {
  if (common::isEmptyDate(date)) return u"leer"_qs;
  if (date == common::startOfDay(date)) return common::formatDay(date);
  return common::formatDate(u"%yyyy-%mm-%dd %hh:%ii"_qs, date);
}

QString measureExportPath(const QString& objectName) {
  return platform::tempFolder() + common::safeFileName(objectName) + u"_massnahme.CSV"_qs;
}

QString resultExportPath(const QString& objectName) {
  return platform::tempFolder() + common::safeFileName(objectName) + u"_resultat.CSV"_qs;
}

bool exportMeasure(const QString& objectName, const MeasureRecord& m) {
  const QStringList fields{m.AUID, formatDayTime(m.dasoll), m.wastun, formatDayTime(m.dadurch), m.werdurch, m.anmerkung};
  return appendLine(measureExportPath(objectName), measureHeader, fields.join(u';'));
}

bool exportResult(const QString& objectName, const ResultRecord& r) {
  const QStringList fields{r.AUID, formatDayTime(r.abda), r.prot, r.keim, r.syst, temperatureText(r.temp), r.resu, r.anme};
  return appendLine(resultExportPath(objectName), resultHeader, fields.join(u';'));
}

}  // namespace assistant
