// Windows over plain top-level QWidgets with absolute child positions, as the program lays
// out its controls itself; shortcuts are QShortcuts of the window that queue their number.
#include "platform/windows.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QShortcut>
#include <QWidget>

#include "platform/recorder.h"
#include "platform/screenfit.h"
#include "platform/widgetregistry.h"

namespace platform {

namespace {

const char* const shortcutNumberProperty = "varnothShortcutNumber";

Qt::WindowFlags windowFlags(const WindowFeatures& features) {
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (features.toolWindow) return flags | Qt::Tool;
  if (features.systemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (features.minimiseBox) flags |= Qt::WindowMinimizeButtonHint;
  if (features.maximiseBox) flags |= Qt::WindowMaximizeButtonHint;
  return flags;
}

QList<QShortcut*> shortcutsOf(QWidget* window) {
  return window->findChildren<QShortcut*>(QString(), Qt::FindDirectChildrenOnly);
}

// The pointer in the window's coordinates, from the last mouse event the program's windows
// saw; the system pointer only before any mouse event.
QPoint pointerIn(QWidget* window) {
  int x = 0;
  int y = 0;
  const QPoint global = lastPointerPosition(x, y) ? QPoint(x, y) : QCursor::pos();
  return window->mapFromGlobal(global);
}

}  // namespace

int openWindow(int x, int y, int width, int height, const QString& title,
               const WindowFeatures& features) {
  auto* window = new QWidget(nullptr, windowFlags(features));
  window->setAttribute(Qt::WA_DeleteOnClose, false);
  window->setWindowTitle(title);
  if (features.centred) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry().marginsRemoved(expectedFrame());
    x = screen.x() + (screen.width() - width) / 2;
    y = screen.y() + (screen.height() - height) / 2;
  }
  window->setGeometry(x, y, width, height);
  if (!features.sizingBorder && !features.maximiseBox && !features.maximised)
    window->setFixedSize(width, height);
  const int number = registerWindow(window);
  if (features.maximised)
    window->showMaximized();
  else
    window->show();
  keepWithinScreen(window, false);  // once the window manager has framed it
  window->raise();
  window->activateWindow();
  return number;
}

void closeWindow(int window) {
  QWidget* widget = windowWidget(window);
  unregisterWindow(window);
  delete widget;
}

bool isWindow(int window) { return windowWidget(window) != nullptr; }

void setWindowTitle(int window, const QString& title) {
  QWidget* widget = windowWidget(window);
  if (!widget) return;
  const QString previous = widget->windowTitle();
  widget->setWindowTitle(title);
  recordTitle(window, previous, title);
}

QString windowTitle(int window) {
  QWidget* widget = windowWidget(window);
  return widget ? widget->windowTitle() : QString();
}

int windowClientWidth(int window) {
  QWidget* widget = windowWidget(window);
  return widget ? widget->width() : 0;
}

int windowClientHeight(int window) {
  QWidget* widget = windowWidget(window);
  return widget ? widget->height() : 0;
}

void showWindowNormal(int window) {
  QWidget* widget = windowWidget(window);
  if (!widget) return;
  if (widget->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized) || !widget->isVisible())
    widget->showNormal();
  widget->raise();
  widget->activateWindow();
}

int windowPointerX(int window) {
  QWidget* widget = windowWidget(window);
  if (!widget) return -1;
  const QPoint at = pointerIn(widget);
  return widget->rect().contains(at) ? at.x() : -1;
}

int windowPointerY(int window) {
  QWidget* widget = windowWidget(window);
  if (!widget) return -1;
  const QPoint at = pointerIn(widget);
  return widget->rect().contains(at) ? at.y() : -1;
}

void addShortcut(int window, int number, Qt::Key key, Qt::KeyboardModifiers modifiers) {
  QWidget* widget = windowWidget(window);
  if (!widget) return;
  removeShortcut(window, number);
  auto* shortcut = new QShortcut(widget);
  QList<QKeySequence> keys{QKeySequence(QKeyCombination(modifiers, key))};
  // The keypad's Enter is the same key to the user as Return.
  if (key == Qt::Key_Return)
    keys.append(QKeySequence(QKeyCombination(modifiers | Qt::KeypadModifier, Qt::Key_Enter)));
  shortcut->setKeys(keys);
  shortcut->setContext(Qt::WindowShortcut);
  shortcut->setProperty(shortcutNumberProperty, number);
  QObject::connect(shortcut, &QShortcut::activated, shortcut, [window, number] {
    queueWindowEvent({window, number, EventKind::Shortcut, {}});
  });
}

void removeShortcut(int window, int number) {
  QWidget* widget = windowWidget(window);
  if (!widget) return;
  for (QShortcut* shortcut : shortcutsOf(widget)) {
    if (shortcut->property(shortcutNumberProperty).toInt() == number) delete shortcut;
  }
}

void removeAllShortcuts(int window) {
  QWidget* widget = windowWidget(window);
  if (!widget) return;
  qDeleteAll(shortcutsOf(widget));
}

}  // namespace platform
