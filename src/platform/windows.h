// Windows of the program by number: open, close, title, client size, state, pointer, shortcuts.
// The client area is the whole inside of the window; a status bar, when made, lies inside it.
#pragma once

#include <QString>
#include <Qt>

namespace platform {

struct WindowFeatures {
  bool systemMenu = true;  // system menu and close box
  bool minimiseBox = false;
  bool maximiseBox = false;
  bool sizingBorder = false;
  bool maximised = false;   // opened in the maximised state
  bool toolWindow = false;  // narrow caption, no system menu, no close box
  bool centred = false;     // centred on the primary screen; x and y are then ignored
};

// Opens and shows a window with the given client area; returns its number (never 0).
int openWindow(int x, int y, int width, int height, const QString& title,
               const WindowFeatures& features);

// Closes the window and frees it with all its controls and shortcuts; its queued events go.
void closeWindow(int window);

bool isWindow(int window);
void setWindowTitle(int window, const QString& title);
QString windowTitle(int window);

int windowClientWidth(int window);
int windowClientHeight(int window);

// Brings the window back from minimised or maximised and makes it the active window.
void showWindowNormal(int window);

// The pointer's position in the window's client area; -1 when it is outside.
int windowPointerX(int window);
int windowPointerY(int window);

// Keyboard shortcuts of a window: the key with its modifiers (Shift, Ctrl, Alt) queues a
// shortcut event carrying the chosen number. Adding a number again replaces its key.
void addShortcut(int window, int number, Qt::Key key,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void removeShortcut(int window, int number);
void removeAllShortcuts(int window);

}  // namespace platform
