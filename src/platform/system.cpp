// Operating-system services over Qt and POSIX: folders, login name, screen, shell hand-off.
// The hand-off goes to the desktop's opener (xdg-open behind QDesktopServices) without waiting.
#include "platform/system.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>

#include "platform/recorder.h"

namespace platform {

namespace {

QString withTrailingSlash(const QString& folder) {
  return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

}  // namespace

QString programFolder() { return withTrailingSlash(QCoreApplication::applicationDirPath()); }

QString loginName() {
  if (const passwd* entry = getpwuid(geteuid())) return QString::fromLocal8Bit(entry->pw_name);
  return qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME"));
}

QString tempFolder() {
  // QDir::tempPath() resolves the folder, and gives an empty text (the root, once the slash
  // is added) for one that does not exist: that folder is kept as named instead, so that a
  // file in it cannot be made rather than landing in the root.
  const QString named = qEnvironmentVariable("TMPDIR");
  if (named.isEmpty() || QDir(named).exists()) return withTrailingSlash(QDir::tempPath());
  return withTrailingSlash(QDir::cleanPath(QDir(named).absolutePath()));
}

int desktopWidth() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().width() : 0;
}

int desktopHeight() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().height() : 0;
}

// flock rather than fcntl: its hold belongs to the open file, so a second open of the same
// file in this process is refused as well, and a child of a shell hand-off does not inherit
// it (the descriptor closes on exec).
FileHold::FileHold(const QString& path) {
  descriptor_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (descriptor_ < 0) {
    error_ = QString::fromLocal8Bit(std::strerror(errno));
    return;
  }
  int rc;
  do rc = ::flock(descriptor_, LOCK_EX | LOCK_NB);
  while (rc != 0 && errno == EINTR);
  if (rc == 0) {
    state_ = State::Held;
    return;
  }
  state_ = errno == EWOULDBLOCK ? State::HeldElsewhere : State::Failed;
  error_ = QString::fromLocal8Bit(std::strerror(errno));
  ::close(descriptor_);
  descriptor_ = -1;
}

FileHold::~FileHold() {
  if (descriptor_ >= 0) ::close(descriptor_);  // closing the file ends the hold
}

void openWithShell(const QString& target) {
  if (isScriptPlaying()) {
    recordShell(target);
    return;
  }
  const QUrl asAddress(target, QUrl::StrictMode);
  const bool isAddress = asAddress.isValid() && asAddress.scheme().size() > 1 &&
                         target.contains(QLatin1String("://"));
  QDesktopServices::openUrl(isAddress ? asAddress : QUrl::fromLocalFile(target));
}

}  // namespace platform
