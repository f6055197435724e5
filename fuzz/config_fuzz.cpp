// The configuration reader on any bytes, as a file "VarnothM.CFG" may hold after any editor
// or any transfer: it gives five settings and never fails otherwise.
#include "app/config.h"

#include <QDir>
#include <QFile>
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString path = QDir::tempPath() + QStringLiteral("/varnothm-fuzz-%1.CFG").arg(qint64(::getpid()));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
  file.write(reinterpret_cast<const char*>(data), qint64(size));
  file.close();
  const db::ServerSettings settings = app::readConfiguration(path);
  // A value is the rest of one line: it never holds a line end.
  for (const QString* value : {&settings.mode, &settings.host, &settings.port, &settings.user, &settings.password}) {
    if (value->contains(u'\n') || value->contains(u'\r')) {
      std::fprintf(stderr, "broken: a setting holds a line end\n");
      std::abort();
    }
  }
  return 0;
}
