// The program's one written form of a floating-point value.
#include "common/numbers.h"

namespace common {

QString decimalText(double value) {
  QString text = QString::number(value, 'f', 10);
  if (text.contains(u'.')) {
    while (text.endsWith(u'0')) text.chop(1);
    if (text.endsWith(u'.')) text.chop(1);
  }
  if (text == u"-0") text = QStringLiteral("0");
  return text;
}

}  // namespace common
