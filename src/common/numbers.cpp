// The program's one written form of a floating-point value, and its one reading of typed
// numbers. Reading never goes through the C library's locale (which Qt sets from the
// desktop): the text is checked here and handed to Qt's C-locale conversion with a point.
#include "common/numbers.h"

#include <QByteArray>
#include <cmath>
#include <limits>

namespace common {

namespace {

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Scans a number from position at: sign, digits, one separator ("," or "."), digits, an
// exponent when digits follow its letter. Writes the number with a point into ascii and
// returns the position after it; returns at itself when no digit was found.
qsizetype scanDecimal(const QString& text, qsizetype at, QByteArray& ascii) {
  qsizetype i = at;
  ascii.clear();
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ascii += static_cast<char>(text[i++].unicode());
  qsizetype digits = 0;
  for (; i < text.size() && isDigit(text[i]); ++i, ++digits) ascii += static_cast<char>(text[i].unicode());
  if (i < text.size() && (text[i] == u'.' || text[i] == u',')) {
    qsizetype after = i + 1;
    QByteArray fraction;
    for (; after < text.size() && isDigit(text[after]); ++after) fraction += static_cast<char>(text[after].unicode());
    if (digits > 0 || !fraction.isEmpty()) {
      ascii += '.';
      ascii += fraction;
      digits += fraction.size();
      i = after;
    }
  }
  if (digits == 0) return at;
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
    qsizetype e = i + 1;
    QByteArray exponent("e");
    if (e < text.size() && (text[e] == u'+' || text[e] == u'-')) exponent += static_cast<char>(text[e++].unicode());
    const qsizetype firstDigit = e;
    for (; e < text.size() && isDigit(text[e]); ++e) exponent += static_cast<char>(text[e].unicode());
    if (e > firstDigit) {
      ascii += exponent;
      i = e;
    }
  }
  return i;
}

// A number past the range of a double either way: an infinity when its first digit other
// than 0 stands at a positive power of ten, else 0 (so far below 1 that it rounds to 0).
double outOfRange(const QByteArray& ascii) {
  const bool negative = ascii.startsWith('-');
  const qsizetype e = ascii.indexOf('e');
  const QByteArray mantissa = e < 0 ? ascii : ascii.left(e);
  qint64 exponent = 0;
  if (e >= 0) {
    const QByteArray digits = ascii.mid(e + 1);
    for (const char c : digits)
      if (c >= '0' && c <= '9') exponent = qMin<qint64>(exponent * 10 + (c - '0'), 1000000);
    if (digits.startsWith('-')) exponent = -exponent;
  }
  const qsizetype point = mantissa.contains('.') ? mantissa.indexOf('.') : mantissa.size();
  for (qsizetype i = 0; i < mantissa.size(); ++i) {
    if (mantissa[i] < '1' || mantissa[i] > '9') continue;
    const qint64 power = (i < point ? point - i - 1 : point - i) + exponent;
    if (power > 0) return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    break;
  }
  return negative ? -0.0 : 0.0;
}

// The value of a number scanDecimal accepted, by Qt's conversion in the C locale.
double valueOf(const QByteArray& ascii) {
  bool ok = false;
  const double value = ascii.toDouble(&ok);
  return ok ? value : outOfRange(ascii);
}

}  // namespace

QString decimalText(double value) {
  QString text = QString::number(value, 'f', 10);
  if (text.contains(u'.')) {
    while (text.endsWith(u'0')) text.chop(1);
    if (text.endsWith(u'.')) text.chop(1);
  }
  if (text == u"-0") text = QStringLiteral("0");
  return text;
}

bool readDecimal(const QString& text, double& value) {
  const QString number = text.trimmed();
  QByteArray ascii;
  if (number.isEmpty() || scanDecimal(number, 0, ascii) != number.size()) return false;
  value = valueOf(ascii);
  return true;
}

qsizetype readLeadingDecimal(const QString& text, double& value) {
  qsizetype start = 0;
  while (start < text.size() && (text[start] == u' ' || text[start] == u'\t')) ++start;
  QByteArray ascii;
  const qsizetype end = scanDecimal(text, start, ascii);
  value = end == start ? 0.0 : valueOf(ascii);
  return end == start ? 0 : end;
}

bool readInteger(const QString& text, qint64& value) {
  const QString number = text.trimmed();
  qsizetype i = 0;
  const bool negative = i < number.size() && number[i] == u'-';
  if (i < number.size() && (number[i] == u'-' || number[i] == u'+')) ++i;
  if (i == number.size()) return false;
  // Gathered as a negative number, which reaches one further than a positive one.
  qint64 gathered = 0;
  for (; i < number.size(); ++i) {
    if (!isDigit(number[i])) return false;
    const int digit = number[i].unicode() - '0';
    if (gathered < (std::numeric_limits<qint64>::min() + digit) / 10) return false;
    gathered = gathered * 10 - digit;
  }
  if (!negative && gathered == std::numeric_limits<qint64>::min()) return false;
  value = negative ? gathered : -gathered;
  return true;
}

}  // namespace common
