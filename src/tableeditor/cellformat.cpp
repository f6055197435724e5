// Cell texts of the table editor. The browser's list and the record dialog both show their
// values through these functions, so a value looks the same in both.
#include "tableeditor/cellformat.h"

#include "common/dates.h"
#include "common/numbers.h"

#include <QStringList>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace tableeditor {

QString listItem(const QString& list, int i) {
  if (i < 0) return QString();
  return list.section(QLatin1Char(','), i, i);
}

int listItemCount(const QString& list) { return static_cast<int>(list.count(QLatin1Char(',')) + 1); }

qint64 leadingInteger(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  qint64 value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    const int digit = text[i].unicode() - '0';
    if (value > (std::numeric_limits<qint64>::max() - digit) / 10) break;  // stays at the largest it read
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

bool isDateSpec(const QString& spec) { return spec.startsWith(QLatin1Char('%')); }

bool isMultiLineSpec(const QString& spec) { return spec.endsWith(QLatin1Char('X')); }

QString padToSpec(const QString& text, const QString& spec) {
  if (spec.isEmpty()) return text;
  const qint64 width = isDateSpec(spec) ? 0 : leadingInteger(spec);
  const QChar alignment = spec.back().toUpper();
  QString padded = text;
  if (alignment == u'L') {
    if (padded.size() < width) padded += QString(width - padded.size(), u' ');
  } else if (alignment == u'R') {
    if (padded.size() < width) padded.prepend(QString(width - padded.size(), u' '));
  } else if (alignment == u'M') {
    while (padded.size() < width) {
      padded += u' ';
      if (padded.size() < width) padded.prepend(u' ');
    }
  }
  return padded;
}

int specCharWidth(const QString& spec) {
  if (isDateSpec(spec)) return static_cast<int>(QString(spec).remove(QLatin1Char('%')).size());
  const qsizetype dot = spec.indexOf(QLatin1Char('.'));
  return static_cast<int>(leadingInteger(dot >= 0 ? spec.mid(dot + 1) : spec));
}

QString formatIntegerCell(qint64 value, const QString& spec) {
  if (isDateSpec(spec)) {
    if (value < 1) return QStringLiteral("---");
    // A value past the last date a date value can hold is shown as the number it is.
    if (value > std::numeric_limits<qint32>::max()) return QString::number(value);
    return common::formatDate(spec, static_cast<qint32>(value));
  }
  return padToSpec(value == 0 ? QStringLiteral("---") : QString::number(value), spec);
}

QString formatRealCell(double value, const QString& spec) {
  const qsizetype dot = spec.indexOf(QLatin1Char('.'));
  const QString decimals = dot >= 0 ? spec.left(dot) : spec;
  const QString widthAndAlignment = dot >= 0 ? spec.mid(dot + 1) : QString();
  if (value == 0) return padToSpec(QStringLiteral("---"), widthAndAlignment);
  const int places = static_cast<int>(qBound(qint64(0), leadingInteger(decimals), qint64(15)));
  return padToSpec(QString::number(value, 'f', places), widthAndAlignment);
}

// Control characters are those of the C0 and C1 blocks, DEL and the line and paragraph
// separators. U+0080 has always passed as a character of its own and still does.
static bool isControl(QChar c) {
  const char16_t u = c.unicode();
  if (u < 0x20 || u == 0x7F) return true;
  if (u > 0x80 && u < 0xA0) return true;
  return u == 0x2028 || u == 0x2029;
}

QString keepPrintable(const QString& text) {
  QString kept;
  kept.reserve(text.size());
  for (const QChar c : text) {
    if (!isControl(c)) kept += c;
  }
  return kept;
}

static const char controlLetters[] = "abtnvfr";  // codes 7 to 13

QString escapeControls(const QString& text) {
  QString escaped;
  escaped.reserve(text.size());
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u >= 7 && u <= 13) {
      escaped += u'\\';
      escaped += QLatin1Char(controlLetters[u - 7]);
    } else if (u == u'"' || u == u'\\') {
      escaped += u'\\';
      escaped += c;
    } else {
      escaped += c;
    }
  }
  return escaped;
}

QString unescapeControls(const QString& text) {
  QString plain;
  plain.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c != u'\\' || i + 1 >= text.size()) {
      plain += c;
      continue;
    }
    const QChar next = text[i + 1];
    const char* letter = next.unicode() < 128 ? std::strchr(controlLetters, next.toLatin1()) : nullptr;
    if (letter && next.unicode() != 0) {
      plain += QChar(7 + static_cast<int>(letter - controlLetters));
      ++i;
    } else if (next == u'"' || next == u'\\') {
      plain += next;
      ++i;
    } else {
      plain += c;  // a backslash before any other character stays, and so does that character
    }
  }
  return plain;
}

static QString noNumberNote(const QString& text, const QString& title, const QString& kind, const QString& example) {
  return QStringLiteral("Die Eingabe ") + text.trimmed() + QStringLiteral(" ist keine ") + kind +
         QStringLiteral("; die Spalte \"") + title + QStringLiteral("\" nimmt eine ") + kind + QStringLiteral(" wie ") +
         example + QStringLiteral(".");
}

QString readReal(const QString& text, bool single, const QString& title, double& value) {
  double read = 0;
  if (!text.trimmed().isEmpty() && !common::readDecimal(text, read))
    return noNumberNote(text, title, QStringLiteral("Zahl"), QStringLiteral("36,6 oder 36.6"));
  if (!std::isfinite(read) || (single && std::fabs(read) > std::numeric_limits<float>::max()))
    return QStringLiteral("Die Zahl ") + text.trimmed() + QStringLiteral(" ist zu groß für die Spalte \"") + title +
           QStringLiteral("\".");
  value = single ? static_cast<double>(static_cast<float>(read)) : read;
  return QString();
}

QString readWholeNumber(const QString& text, const QString& title, qint64& value) {
  qint64 read = 0;
  if (!text.trimmed().isEmpty() && !common::readInteger(text, read))
    return noNumberNote(text, title, QStringLiteral("ganze Zahl"), QStringLiteral("42"));
  value = read;
  return QString();
}

}  // namespace tableeditor
