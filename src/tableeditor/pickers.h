// The two small editors of the browser's cells: the date and time picker for date columns
// and the long-text editor for multi-line text columns. Neither touches the database.
#pragma once

#include <QString>
#include <QtGlobal>

namespace tableeditor {

// Names a script finds their controls by.
inline const QString pickerHourName = QStringLiteral("pickHour");
inline const QString pickerMinuteName = QStringLiteral("pickMinute");
inline const QString pickerDateName = QStringLiteral("pickDate");
inline const QString pickerCancelName = QStringLiteral("pickEsc");
inline const QString pickerClearName = QStringLiteral("pickClear");
inline const QString pickerOkName = QStringLiteral("pickOK");
inline const QString longTextName = QStringLiteral("longText");
inline const QString longTextCancelName = QStringLiteral("longTextEsc");
inline const QString longTextOkName = QStringLiteral("longTextOK");

// The chosen date value on "OK", 0 on "X" (clear), -1 on "Esc" or the Esc key. A date of 0
// or less starts the picker at the current date and time.
qint32 pickDateTime(const QString& title, const QString& mask, qint32 date);

// The edited text on "OK", its line breaks as CR LF; the empty text on "Esc" or the Esc key.
QString editLongText(const QString& title, const QString& text);

}  // namespace tableeditor
