// How the program writes a floating-point value into statements and lists, and how it reads
// the numbers a person types or a file holds: one form for every layer, the same under
// every locale of the desktop.
#pragma once

#include <QString>
#include <QtGlobal>

namespace common {

// Fixed point with ten decimals, then without trailing zeros and point; never "-0".
QString decimalText(double value);

// A decimal number as a person types it: blanks around it, a sign, digits with "," or "."
// as the decimal separator (one of them, once), an exponent. The desktop's language plays
// no part. False when the text is no such number, the empty text included. A number too
// large for a double reads as an infinity, one too small as 0: the caller judges the range.
bool readDecimal(const QString& text, double& value);

// The longest leading part of the text that forms such a number, blanks and tabs before it
// skipped. Returns the position just after the number; 0 when the text begins with none
// (value is then 0).
qsizetype readLeadingDecimal(const QString& text, double& value);

// A whole number as a person types it: blanks around it, a sign, digits. False when the
// text is no such number or lies beyond 64 bits.
bool readInteger(const QString& text, qint64& value);

}  // namespace common
