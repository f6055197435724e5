// The sorted insertion: a walk from the last inserted element, as insertions of nearly
// sorted input (days from a server, areas of one floor) land close to it.
#include "common/textlist.h"

namespace common {

namespace {

// Each character upper-cased on its own (ä becomes Ä, ß stays), then UTF-16 code units.
int compareIgnoringCase(const QString& a, const QString& b) {
  const qsizetype n = qMin(a.size(), b.size());
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t x = a[i].toUpper().unicode();
    const char16_t y = b[i].toUpper().unicode();
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

QString trimBlanks(const QString& text) {
  qsizetype begin = 0, end = text.size();
  while (begin < end && text[begin] == u' ') ++begin;
  while (end > begin && text[end - 1] == u' ') --end;
  return text.mid(begin, end - begin);
}

int insertSortedUnique(SortedTextList& list, const QString& raw) {
  const QString text = trimBlanks(raw);
  if (text.isEmpty()) return static_cast<int>(list.items.size());
  if (list.items.isEmpty()) {
    list.items.append(text);
    list.current = 0;
    return 1;
  }
  qsizetype i = qBound<qsizetype>(0, list.current, list.items.size() - 1);
  while (compareIgnoringCase(list.items[i], text) > 0 && i > 0) --i;
  while (compareIgnoringCase(list.items[i], text) < 0 && i + 1 < list.items.size()) ++i;
  const int order = compareIgnoringCase(list.items[i], text);
  if (order > 0) {
    list.items.insert(i, text);
  } else if (order < 0) {
    list.items.insert(++i, text);
  }
  list.current = i;
  return static_cast<int>(list.items.size());
}

bool sameListEntry(const QString& a, const QString& b) {
  return compareIgnoringCase(trimBlanks(a), trimBlanks(b)) == 0;
}

}  // namespace common
