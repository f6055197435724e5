// The stored-text escapes on any text: unescaping never fails, and the inside of a quoted
// text unescapes to the text itself, whatever characters it holds.
#include "db/quoting.h"

#include <cstdint>
#include <cstdlib>
#include <cstdio>

namespace {

void mustHold(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "broken: %s\n", what);
  std::abort();
}

void check(const QString& text) {
  const QString quoted = db::quoteText(text);
  mustHold(quoted.size() >= 2 && quoted.front() == u'\'' && quoted.back() == u'\'', "quoteText gives a literal");
  const QString inside = quoted.mid(1, quoted.size() - 2);
  mustHold(!inside.contains(u'\''), "no apostrophe inside the literal");
  mustHold(!inside.contains(u'<') && !inside.contains(u'"'), "no markup character inside the literal");
  mustHold(inside == db::escapeText(text), "the literal holds the escaped form");
  mustHold(db::unescapeText(inside) == text, "unescapeText(inside of quoteText(x)) == x");
  // Any stored text at all is read without failing; trimming keeps to its rules.
  const QString read = db::unescapeText(text);
  mustHold(read.size() <= text.size(), "unescaping never lengthens a text");
  (void)db::unescapeTrimmed(text);
  (void)db::quoteTrimmed(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The bytes once as UTF-8 and once as UTF-16 code units (lone surrogates included).
  check(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
  check(QString(reinterpret_cast<const QChar*>(data), qsizetype(size / 2)));
  return 0;
}
