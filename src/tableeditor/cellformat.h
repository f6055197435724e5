// The column spec language of the table editor and the cell texts it makes: padding, widths,
// integer, date and float cells, the printable filter and the control escapes.
#pragma once

#include <QString>
#include <QtGlobal>

namespace tableeditor {

// Item i (from 0) of a comma-separated list; a missing item is the empty text.
QString listItem(const QString& list, int i);
int listItemCount(const QString& list);

// The integer at the start of the text (blanks before it and a sign allowed); 0 when none.
qint64 leadingInteger(const QString& text);

// A spec that begins with "%" is a date mask.
bool isDateSpec(const QString& spec);
// A text column whose spec ends in an upper-case "X" holds several lines.
bool isMultiLineSpec(const QString& spec);

// Pads the text to the spec's width by its alignment letter (L, R, M; any other adds
// nothing). The text is never cut.
QString padToSpec(const QString& text, const QString& spec);

// The width of a column in characters.
int specCharWidth(const QString& spec);

// A cell of an integer or date column; "---" stands for 0 (or no date).
QString formatIntegerCell(qint64 value, const QString& spec);

// A cell of a float column: spec "D.WA", D decimals, padded by WA.
QString formatRealCell(double value, const QString& spec);

// The text without line breaks, tabs and other control characters; every printable
// character of any script stays, the backslash and the euro sign too.
QString keepPrintable(const QString& text);

// Control characters 7 to 13, the double quote and the backslash as backslash escapes,
// and back. A backslash before any other character stays as it is.
QString escapeControls(const QString& text);
QString unescapeControls(const QString& text);

// A typed number for a float column, read as a 32-bit float (single) or a 64-bit one, with
// "," or "." as the decimal separator whatever the desktop's language; blanks alone read as
// 0. Empty when it can be stored; else the note that says why not, titled "Hinweis": a text
// that is no number, or a number beyond what such a float holds.
QString readReal(const QString& text, bool single, const QString& title, double& value);

// A typed whole number for an integer column; blanks alone read as 0. Empty, or the note.
QString readWholeNumber(const QString& text, const QString& title, qint64& value);

}  // namespace tableeditor
