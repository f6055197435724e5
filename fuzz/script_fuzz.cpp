// The scripted user's script reader on any bytes: it reads or says which line it cannot
// read, and never fails otherwise.
#include "platform/scripteduser.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
  const platform::ParsedScript parsed = platform::parseScript(text);
  const int lines = int(text.count(u'\n')) + 1;
  for (const platform::ScriptAction& action : parsed.actions) {
    if (action.line < 1 || action.line > lines) {
      std::fprintf(stderr, "broken: an action of line %d in a script of %d lines\n", action.line, lines);
      std::abort();
    }
  }
  if (!parsed.error.isEmpty() && !parsed.error.startsWith(QLatin1String("line "))) {
    std::fprintf(stderr, "broken: an error that names no line: %s\n", qPrintable(parsed.error));
    std::abort();
  }
  return 0;
}
