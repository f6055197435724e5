// The progress share of a transfer.
#include "common/mainscreen.h"

namespace common {

void clearStatus(const MainScreen& screen) {
  screen.statusText(QString());
  screen.statusProgress(0);
}

int progressPercent(qint64 done, qint64 total) {
  if (total <= 0 || done <= 0) return 0;
  return static_cast<int>(qMin<qint64>(done * 100 / total, 99));
}

}  // namespace common
