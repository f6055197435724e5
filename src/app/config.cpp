// Reading the configuration: a preferences text of "key = value" lines. Keys inside a
// "[group]" are not the program's; comments start with ";" or "#". The file may come from
// any editor: UTF-8 with or without byte-order mark, UTF-16 with one, or the Windows 8-bit
// code page, with CR, LF or CR LF line ends. Only its first megabyte is read.
#include "app/config.h"

#include <QFile>
#include <QMap>
#include <QStringDecoder>

namespace app {

namespace {

constexpr qint64 maxConfigBytes = 1 << 20;

// Windows-1252 agrees with Latin-1 outside 0x80..0x9F; the five holes of that range stay
// the control characters of the same code, as Windows itself maps them.
QString fromWindows1252(const QByteArray& bytes) {
  static const char16_t high[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  QString text(bytes.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<uchar>(bytes[i]);
    text[i] = (byte >= 0x80 && byte < 0xA0) ? QChar(high[byte - 0x80]) : QChar(byte);
  }
  return text;
}

// A file cut at the limit ends inside its last line, maybe inside a character: that line
// is not read.
QString decodeConfiguration(QByteArray bytes, bool cut) {
  if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
    QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
    QString text = utf16.decode(bytes.mid(2, (bytes.size() - 2) & ~qsizetype(1)));
    if (cut) text.truncate(qMax<qsizetype>(0, qMax(text.lastIndexOf(u'\n'), text.lastIndexOf(u'\r'))));
    return text;
  }
  if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
  if (cut) bytes.truncate(qMax<qsizetype>(0, qMax(bytes.lastIndexOf('\n'), bytes.lastIndexOf('\r'))));
  QStringDecoder utf8(QStringDecoder::Utf8);
  const QString text = utf8.decode(bytes);
  return utf8.hasError() ? fromWindows1252(bytes) : text;
}

}  // namespace

db::ServerSettings readConfiguration(const QString& file) {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = in.read(maxConfigBytes);
  const bool cut = !in.atEnd();
  QString text = decodeConfiguration(bytes, cut);
  text.replace(u"\r\n"_qs, u"\n"_qs).replace(u'\r', u'\n');
  QMap<QString, QString> values;
  bool topLevel = true;
  for (QString line : text.split(u'\n')) {
    line = line.trimmed();
    if (line.startsWith(QChar(0xFEFF))) line.remove(0, 1);
    if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) continue;
    if (line.startsWith(u'[')) {
      topLevel = false;
      continue;
    }
    const qsizetype eq = line.indexOf(u'=');
    if (!topLevel || eq <= 0) continue;
    const QString key = line.left(eq).trimmed();
    if (!values.contains(key)) values.insert(key, line.mid(eq + 1).trimmed());
  }
  return {values.value(u"DB_MODE"_qs, u"ODBC"_qs), values.value(u"DB_HOST"_qs, defaultHost),
          values.value(u"DB_PORT"_qs, u"3307"_qs), values.value(u"DB_USER"_qs, u"DB_USER"_qs),
          values.value(u"DB_PASS"_qs, defaultPassword)};
}

}  // namespace app
