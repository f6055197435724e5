// Services of the operating system: folders, login name, desktop size, the shell hand-off.
// While a scripted user plays, the shell hand-off is recorded instead of carried out.
#pragma once

#include <QString>

namespace platform {

QString programFolder();  // folder of the running executable, with a trailing "/"
QString loginName();      // the current user's login name
QString tempFolder();     // the user's temporary folder, with a trailing separator

int desktopWidth();   // primary screen
int desktopHeight();

// An exclusive hold on a lock file for as long as the object lives, taken without waiting.
// The operating system ends it with the holder's process however that ends, killed
// included, so a hold is never left behind; while it lives, no other hold on the same file
// is granted, in this process or another. The file is made when missing and stays.
class FileHold {
 public:
  enum class State { Held, HeldElsewhere, Failed };
  explicit FileHold(const QString& path);
  ~FileHold();
  FileHold(const FileHold&) = delete;
  FileHold& operator=(const FileHold&) = delete;

  State state() const { return state_; }
  QString error() const { return error_; }  // the system's words when Failed

 private:
  int descriptor_ = -1;
  State state_ = State::Failed;
  QString error_;
};

// Hands a file path or a web address to the desktop's opener and returns at once.
void openWithShell(const QString& target);

}  // namespace platform
