// The registry of windows and controls by number, and the one event filter that turns widget
// input into queued events. Nothing here calls program code: it only fills the event queue.
#include "platform/widgetregistry.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QApplication>
#include <QDateTimeEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QStatusBar>
#include <QWidget>
#include <QWindowStateChangeEvent>
#include <map>
#include <unordered_map>

#include "platform/recorder.h"

namespace platform {

namespace {

struct WindowEntry {
  QPointer<QWidget> widget;
};

struct ControlEntry {
  int window = 0;
  QPointer<QWidget> widget;
  QString name;
};

struct Registry {
  int lastNumber = 0;
  std::map<int, WindowEntry> windows;
  std::map<int, ControlEntry> controls;
  std::unordered_map<const QWidget*, int> windowByWidget;
  std::unordered_map<const QWidget*, int> controlByWidget;
  bool havePointer = false;
  QPoint pointer;
  // The release that ends a double click is no second click.
  QPointer<QWidget> swallowNextRelease;
};

Registry& registry() {
  static Registry r;
  return r;
}

int windowNumberOfWidget(const QWidget* widget) {
  auto found = registry().windowByWidget.find(widget);
  return found == registry().windowByWidget.end() ? 0 : found->second;
}

// The item view whose viewport the widget is, when that view is a control.
QAbstractItemView* viewOfViewport(QWidget* widget) {
  auto* view = qobject_cast<QAbstractItemView*>(widget->parentWidget());
  if (!view || view->viewport() != widget || !controlNumber(view)) return nullptr;
  return view;
}

void queueControlEvent(QWidget* control, ControlEventType type) {
  const int number = controlNumber(control);
  if (!number) return;
  queueWindowEvent({windowOfControl(number), number, EventKind::Control, type});
}

// A click on empty space leaves no item selected, as the user expects of a list.
void clearSelectionOnEmptyArea(QAbstractItemView* view, const QPoint& at) {
  if (view->indexAt(at).isValid()) return;
  view->clearSelection();
  if (view->selectionModel()) view->selectionModel()->clearCurrentIndex();
}

class EventWiring : public QObject {
 public:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (!object->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(object);
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
        return mouseButton(widget, static_cast<QMouseEvent*>(event));
      case QEvent::MouseMove:
        notePointer(static_cast<QMouseEvent*>(event));
        return false;
      default:
        break;
    }
    const int window = windowNumberOfWidget(widget);
    if (!window) return false;
    switch (event->type()) {
      case QEvent::Resize:
        placeStatusBar(widget);
        if (widget->isVisible()) queueWindowEvent({window, 0, EventKind::Size, {}});
        return false;
      case QEvent::Move:
        if (widget->isVisible()) queueWindowEvent({window, 0, EventKind::Move, {}});
        return false;
      case QEvent::WindowStateChange: {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        const Qt::WindowStates now = widget->windowState();
        if (now & Qt::WindowMinimized)
          queueWindowEvent({window, 0, EventKind::Minimise, {}});
        else if (now & Qt::WindowMaximized)
          queueWindowEvent({window, 0, EventKind::Maximise, {}});
        else if (change->oldState() & (Qt::WindowMinimized | Qt::WindowMaximized))
          queueWindowEvent({window, 0, EventKind::Restore, {}});
        return false;
      }
      case QEvent::Close:
        // The close box only asks; the program decides and closes the window itself.
        queueWindowEvent({window, 0, EventKind::Close, {}});
        event->ignore();
        return true;
      default:
        return false;
    }
  }

 private:
  static void notePointer(const QMouseEvent* mouse) {
    registry().havePointer = true;
    registry().pointer = mouse->globalPosition().toPoint();
  }

  static bool mouseButton(QWidget* widget, QMouseEvent* mouse) {
    notePointer(mouse);
    if (mouse->button() != Qt::LeftButton) return false;
    const int window = windowNumberOfWidget(widget->window());
    if (!window) return false;
    QAbstractItemView* view = viewOfViewport(widget);
    const QPoint at = mouse->position().toPoint();
    switch (mouse->type()) {
      case QEvent::MouseButtonPress:
        queueWindowEvent({window, 0, EventKind::LeftButtonDown, {}});
        if (view) clearSelectionOnEmptyArea(view, at);
        break;
      case QEvent::MouseButtonDblClick:
        queueWindowEvent({window, 0, EventKind::LeftButtonDown, {}});
        if (view) {
          clearSelectionOnEmptyArea(view, at);
          queueControlEvent(view, ControlEventType::LeftDoubleClick);
          registry().swallowNextRelease = widget;
        }
        break;
      case QEvent::MouseButtonRelease:
        if (registry().swallowNextRelease == widget) {
          registry().swallowNextRelease = nullptr;
          break;
        }
        if (view && widget->rect().contains(at)) {
          clearSelectionOnEmptyArea(view, at);
          queueControlEvent(view, ControlEventType::LeftClick);
        }
        break;
      default:
        break;
    }
    return false;
  }
};

void installWiring() {
  static EventWiring* wiring = nullptr;
  if (wiring) return;
  wiring = new EventWiring;
  qApp->installEventFilter(wiring);
}

void forgetControl(int number) {
  auto found = registry().controls.find(number);
  if (found == registry().controls.end()) return;
  registry().controlByWidget.erase(found->second.widget.data());
  registry().controls.erase(found);
}

void connectControlSignals(QWidget* control) {
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    QObject::connect(button, &QAbstractButton::clicked, button,
                     [button] { queueControlEvent(button, ControlEventType::LeftClick); });
  } else if (auto* slider = qobject_cast<QAbstractSlider*>(control)) {
    QObject::connect(slider, &QAbstractSlider::valueChanged, slider,
                     [slider] { queueControlEvent(slider, ControlEventType::Change); });
  } else if (auto* date = qobject_cast<QDateTimeEdit*>(control)) {
    QObject::connect(date, &QDateTimeEdit::dateTimeChanged, date,
                     [date] { queueControlEvent(date, ControlEventType::Change); });
  }
}

}  // namespace

void placeStatusBar(QWidget* window) {
  if (auto* bar = window->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly)) {
    const int height = bar->sizeHint().height();
    bar->setGeometry(0, window->height() - height, window->width(), height);
  }
}

int nextNumber() { return ++registry().lastNumber; }

int registerWindow(QWidget* window) {
  installWiring();
  const int number = nextNumber();
  registry().windows[number] = {window};
  registry().windowByWidget[window] = number;
  QObject::connect(window, &QObject::destroyed, qApp, [number] {
    if (registry().windows.count(number)) unregisterWindow(number);
  });
  if (!window->windowTitle().isEmpty()) recordTitle(number, QString(), window->windowTitle());
  return number;
}

void unregisterWindow(int window) {
  auto found = registry().windows.find(window);
  if (found == registry().windows.end()) return;
  if (found->second.widget) recordClosed(found->second.widget->windowTitle());
  for (int control : controlsOfWindow(window)) forgetControl(control);
  for (auto it = registry().windowByWidget.begin(); it != registry().windowByWidget.end();) {
    it = it->second == window ? registry().windowByWidget.erase(it) : std::next(it);
  }
  registry().windows.erase(found);
  dropWindowEvents(window);
}

int registerControl(int window, QWidget* control, const QString& name) {
  const int number = nextNumber();
  registry().controls[number] = {window, control, name};
  registry().controlByWidget[control] = number;
  if (const QFont* font = defaultControlFont()) control->setFont(*font);
  connectControlSignals(control);
  QObject::connect(control, &QObject::destroyed, qApp, [number] { forgetControl(number); });
  return number;
}

QWidget* windowWidget(int window) {
  auto found = registry().windows.find(window);
  return found == registry().windows.end() ? nullptr : found->second.widget.data();
}

QWidget* controlWidget(int control) {
  auto found = registry().controls.find(control);
  return found == registry().controls.end() ? nullptr : found->second.widget.data();
}

int windowOfControl(int control) {
  auto found = registry().controls.find(control);
  return found == registry().controls.end() ? 0 : found->second.window;
}

int controlNumber(const QWidget* widget) {
  auto found = registry().controlByWidget.find(widget);
  return found == registry().controlByWidget.end() ? 0 : found->second;
}

QString controlName(int control) {
  auto found = registry().controls.find(control);
  return found == registry().controls.end() ? QString() : found->second.name;
}

void setControlName(int control, const QString& name) {
  auto found = registry().controls.find(control);
  if (found != registry().controls.end()) found->second.name = name;
}

int frontWindow() {
  for (auto it = registry().windows.rbegin(); it != registry().windows.rend(); ++it) {
    if (it->second.widget && it->second.widget->isVisible()) return it->first;
  }
  return 0;
}

std::vector<int> liveWindows() {
  std::vector<int> numbers;
  for (const auto& [number, entry] : registry().windows) numbers.push_back(number);
  return numbers;
}

std::vector<int> controlsOfWindow(int window) {
  std::vector<int> numbers;
  for (const auto& [number, entry] : registry().controls) {
    if (entry.window == window) numbers.push_back(number);
  }
  return numbers;
}

bool lastPointerPosition(int& globalX, int& globalY) {
  if (!registry().havePointer) return false;
  globalX = registry().pointer.x();
  globalY = registry().pointer.y();
  return true;
}

}  // namespace platform
