// Sorted text lists without duplicates, compared without regard to letter case; the day,
// area and outlet lists are built with them.
#pragma once

#include <QStringList>

namespace common {

struct SortedTextList {
  QStringList items;
  qsizetype current = -1;  // the element inserted (or found) last; the search starts here
};

// The text without leading and trailing blanks (other white space stays).
QString trimBlanks(const QString& text);

// Inserts the text, trimmed of blanks, at its sorted place unless an equal one is there
// (an empty text is not inserted). Returns the list's size.
int insertSortedUnique(SortedTextList& list, const QString& text);

// Whether the two texts are one entry of such a list: equal once trimmed of blanks and
// without regard to letter case.
bool sameListEntry(const QString& a, const QString& b);

}  // namespace common
