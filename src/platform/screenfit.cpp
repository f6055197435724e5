// The fit of a window and its frame into the screen's free area. The frame is known only
// after the window manager has taken the shown window, so a watcher on the window fits it
// again when the frame it reports differs from the one it was fitted with.
#include "platform/screenfit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace platform {

namespace {

const QString keeperName = QStringLiteral("varnothScreenKeeper");

QMargins& lastFrame() {
  static QMargins frame;
  return frame;
}

QMargins frameOf(const QWidget* window) {
  const QRect outer = window->frameGeometry();
  const QRect inner = window->geometry();
  return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
          outer.bottom() - inner.bottom()};
}

QRect freeArea(const QWidget* window) {
  const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

// The offscreen platform draws frames of its own around a screen of its own and has no
// window manager: there a window keeps the place and size the program gives it.
bool framedByWindowManager() {
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

// Smaller where the frame does not fit, then the frame's corner moved into the free area.
void fit(QWidget* window, const QMargins& frame) {
  const QRect area = freeArea(window);
  const QSize room(area.width() - frame.left() - frame.right(), area.height() - frame.top() - frame.bottom());
  if (window->width() > room.width() || window->height() > room.height()) {
    const QSize smaller = window->size().boundedTo(room).expandedTo(QSize(1, 1));
    window->setMinimumSize(window->minimumSize().boundedTo(smaller));
    window->resize(smaller);
  }
  const QSize outer(window->width() + frame.left() + frame.right(), window->height() + frame.top() + frame.bottom());
  const QRect now(window->frameGeometry().topLeft(), outer);
  const int x = qMax(area.left(), qMin(now.left(), area.left() + area.width() - outer.width()));
  const int y = qMax(area.top(), qMin(now.top(), area.top() + area.height() - outer.height()));
  if (QPoint(x, y) != now.topLeft()) window->move(x, y);  // a window's position is its frame's
}

// Watches one window: at its showing and whenever the window manager reports another frame.
class ScreenKeeper : public QObject {
 public:
  ScreenKeeper(QWidget* window, bool withoutFrame) : QObject(window), window_(window), withoutFrame_(withoutFrame) {
    setObjectName(keeperName);
    window->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != window_) return false;
    switch (event->type()) {
      case QEvent::Show:
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::WindowStateChange: check(); break;
      default: break;
    }
    return false;
  }

  void check() {
    if (!window_->isVisible() || fitting_) return;
    if (window_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)) return;
    const QMargins frame = frameOf(window_);
    if (!frame.isNull()) lastFrame() = frame;
    if (!withoutFrame_ && (frame.isNull() || !framedByWindowManager())) return;
    if (fitted_ && frame == fittedWith_) return;
    fitted_ = true;
    fittedWith_ = frame;
    fitting_ = true;
    fit(window_, frame);
    fitting_ = false;
  }

 private:
  QWidget* window_;
  bool withoutFrame_;
  QMargins fittedWith_;
  bool fitted_ = false;
  bool fitting_ = false;
};

}  // namespace

QMargins expectedFrame() { return lastFrame(); }

void keepWithinScreen(QWidget* window, bool withoutFrame) {
  auto* keeper = static_cast<ScreenKeeper*>(window->findChild<QObject*>(keeperName, Qt::FindDirectChildrenOnly));
  if (!keeper) keeper = new ScreenKeeper(window, withoutFrame);
  keeper->check();
}

}  // namespace platform
