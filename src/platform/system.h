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

// Hands a file path or a web address to the desktop's opener and returns at once.
void openWithShell(const QString& target);

}  // namespace platform
