// The main window as the commands below the shell see it: its window and two lists, and
// the shell's services they call. The shell fills it from the application state.
#pragma once

#include <QString>
#include <functional>

namespace common {

struct MainScreen {
  int window = 0;
  int commandList = 0;
  int objectList = 0;
  QString programFolder;  // with the trailing separator
  QString currentObject;
  std::function<int(const QString&)> image;        // icon number by name, 0 when absent
  std::function<void()> layout;                    // places the two lists anew
  std::function<void(const QString&)> statusText;  // field 0 of the status bar
  std::function<void(int)> statusProgress;         // field 1, 0..99
};

// Empties the status text and sets the progress back to 0, as every transfer does at its end.
void clearStatus(const MainScreen& screen);

// The per-row progress n × 100 / total, kept within 0..99 also for a total of 0 or -1.
int progressPercent(qint64 done, qint64 total);

// The progress field of a transfer: the per-row share, passed on to the status bar only when
// it differs from the one shown, so that a long copy does not redraw it for every row.
class TransferProgress {
 public:
  TransferProgress(const MainScreen& screen, qint64 total) : screen_(screen), total_(total) {}
  void show(qint64 done) {
    const int percent = progressPercent(done, total_);
    if (percent == shown_) return;
    shown_ = percent;
    screen_.statusProgress(percent);
  }

 private:
  const MainScreen& screen_;
  qint64 total_;
  int shown_ = -1;
};

}  // namespace common
