// Reading the configuration: a preferences text of "key = value" lines. Keys inside a
// "[group]" are not the program's; comments start with ";" or "#".
#include "app/config.h"

#include <QFile>
#include <QMap>

namespace app {

db::ServerSettings readConfiguration(const QString& file) {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) return {};
  QMap<QString, QString> values;
  bool topLevel = true;
  for (QString line : QString::fromUtf8(in.readAll()).split(u'\n')) {
    line = line.trimmed();
    if (line.startsWith(QChar(0xFEFF))) line.remove(0, 1);
    if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) continue;
    if (line.startsWith(u'[')) {
      topLevel = false;
      continue;
    }
    const qsizetype eq = line.indexOf(u'=');
    if (!topLevel || eq <= 0) continue;
    const QString key = line.left(eq).trimmed();
    if (!values.contains(key)) values.insert(key, line.mid(eq + 1).trimmed());
  }
  return {values.value(u"DB_MODE"_qs, u"ODBC"_qs), values.value(u"DB_HOST"_qs, defaultHost),
          values.value(u"DB_PORT"_qs, u"3307"_qs), values.value(u"DB_USER"_qs, u"DB_USER"_qs),
          values.value(u"DB_PASS"_qs, defaultPassword)};
}

}  // namespace app
