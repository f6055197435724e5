// Date values: signed 32-bit seconds from 1970-01-01 00:00:00 of the local wall clock, read
// as if that clock were UTC. The one place for now, day bounds, masks and parsing.
#pragma once

#include <QString>
#include <QtGlobal>

namespace common {

// The local date and time now, as a date value.
qint32 now();

// A value below 1 means no date.
bool isEmptyDate(qint32 date);

// 00:00:00 and 23:59:59 of the same calendar day.
qint32 startOfDay(qint32 date);
qint32 endOfDay(qint32 date);

// Builds a date value; 0 when the parts name no representable date.
qint32 makeDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// The last second a date value can hold: 2038-01-19 03:14:07.
inline constexpr qint32 lastDateValue = 2147483647;

// Builds a date value of a valid day and time held within what a date value can hold: a
// moment past its last second gives that second (and one before its first, the first).
// 0 when the parts name no valid day or time.
qint32 makeDateWithin(int year, int month, int day, int hour, int minute, int second);

// A 64-bit number stored in a date column, held within what a date value can hold.
qint32 dateWithin(qint64 stored);

// Masks: "%yyyy" four-digit year, "%yy" two-digit year (20yy below 70, else 19yy), "%mm",
// "%dd", "%hh" (00-23), "%ii" minutes, "%ss" seconds, letters in any case; every other
// character stands for itself.
QString formatDate(const QString& mask, qint32 date);

// Reads a text through a mask; 0 when the text does not fit the mask or names no date.
qint32 parseDate(const QString& mask, const QString& text);

// "%yyyy-%mm-%dd" of the date, or "leer" for no date.
QString formatDay(qint32 date);

}  // namespace common
