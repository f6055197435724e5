// The escaping behind safeFileName. It keeps to what every file system the program may meet
// accepts (also FAT and NTFS volumes, where a device's data may live), and leaves room for the
// longest suffix the program appends ("_massnahme.CSV") within the usual 255-byte limit.
#include "common/filenames.h"

#include <QCryptographicHash>

namespace common {

namespace {

constexpr qsizetype maxPlainBytes = 240;  // 255 less the longest appended suffix, rounded
constexpr qsizetype cutBytes = 200;       // an escaped name longer than maxPlainBytes is cut here

bool isOffendingCharacter(char16_t c) {
  if (c < 0x20 || c == 0x7f) return true;
  switch (c) {
    case u'/': case u'\\': case u'<': case u'>': case u':': case u'"': case u'|': case u'?':
    case u'*': case u'%':
      return true;
    default:
      return false;
  }
}

// CON, PRN, AUX, NUL, COM1..COM9, LPT1..LPT9, alone or before a dot, in any letter case.
bool isReservedDeviceName(const QString& name) {
  const QString base = name.section(u'.', 0, 0).trimmed().toUpper();
  if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL") return true;
  return base.size() == 4 && (base.startsWith(u"COM") || base.startsWith(u"LPT")) &&
         base[3] >= u'1' && base[3] <= u'9';
}

bool isPlain(const QString& name) {
  if (name.isEmpty() || name == u"." || name == u".." || isReservedDeviceName(name)) return false;
  if (name.front() == u' ' || name.back() == u' ' || name.back() == u'.') return false;
  for (qsizetype i = 0; i < name.size(); ++i) {
    const QChar c = name[i];
    if (isOffendingCharacter(c.unicode())) return false;
    if (c.isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
      ++i;
    } else if (c.isSurrogate()) {
      return false;  // a lone half of a pair has no UTF-8 form
    }
  }
  return name.toUtf8().size() <= maxPlainBytes;
}

void appendEscaped(QString& out, const QString& characters) {
  for (const char byte : characters.toUtf8())
    out += u'%' + QString::number(static_cast<uchar>(byte), 16).toUpper().rightJustified(2, u'0');
}

QString escaped(const QString& name) {
  if (name.isEmpty()) return u"%"_qs;
  // Characters that are harmless inside but not at this place are escaped there as well.
  const bool wholeNameEscaped = name == u"." || name == u".." || isReservedDeviceName(name);
  qsizetype lastBlankOrDot = name.size();
  while (lastBlankOrDot > 0 && (name[lastBlankOrDot - 1] == u' ' || name[lastBlankOrDot - 1] == u'.'))
    --lastBlankOrDot;
  QString out;
  for (qsizetype i = 0; i < name.size(); ++i) {
    const QChar c = name[i];
    if (c.isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
      out += c;
      out += name[++i];
      continue;
    }
    if (c.isSurrogate()) {
      out += u"%u"_qs + QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0');
      continue;
    }
    const bool atEdge = (i == 0 && c == u' ') || i >= lastBlankOrDot;
    if (isOffendingCharacter(c.unicode()) || atEdge || (wholeNameEscaped && i == 0))
      appendEscaped(out, QString(c));
    else
      out += c;
  }
  return out;
}

// Cuts the escaped name to at most cutBytes of UTF-8, never inside an escape or a pair.
QString cut(const QString& text) {
  QString out;
  qsizetype bytes = 0;
  for (qsizetype i = 0; i < text.size();) {
    qsizetype len = 1;
    if (text[i] == u'%') len = text.mid(i + 1, 1) == u"u" ? 6 : 3;
    else if (text[i].isHighSurrogate() && i + 1 < text.size()) len = 2;
    const QString piece = text.mid(i, len);
    bytes += piece.toUtf8().size();
    if (bytes > cutBytes) break;
    out += piece;
    i += len;
  }
  return out;
}

}  // namespace

QString safeFileName(const QString& objectName) {
  if (isPlain(objectName)) return objectName;
  QString out = escaped(objectName);
  if (out.toUtf8().size() > maxPlainBytes) {
    const QByteArray digest = QCryptographicHash::hash(objectName.toUtf8(), QCryptographicHash::Sha256);
    out = cut(out) + u"%~"_qs + QString::fromLatin1(digest.toHex().left(16)).toUpper();
  }
  return out;
}

}  // namespace common
