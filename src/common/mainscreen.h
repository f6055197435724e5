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

}  // namespace common
