// The date and time picker and the long-text editor: each a small tool window of its own,
// centred, with its own loop; any event of another window only brings it to the front.
#include "tableeditor/pickers.h"

#include "common/dates.h"
#include "platform/controls.h"
#include "platform/events.h"
#include "platform/system.h"
#include "platform/windows.h"

#include <QDateTime>

namespace tableeditor {

namespace {

enum Shortcut { escapeKey = 1 };

// Closes the window on every path out, a program end included.
struct WindowCloser {
  int window;
  ~WindowCloser() { platform::closeWindow(window); }
};

int openToolWindow(int width, int height, const QString& title) {
  platform::WindowFeatures features;
  features.systemMenu = false;
  features.toolWindow = true;
  features.centred = true;
  const int window = platform::openWindow(0, 0, width, height, title, features);
  platform::addShortcut(window, escapeKey, Qt::Key_Escape);
  return window;
}

int namedControl(int control, const QString& name) {
  platform::setControlName(control, name);
  return control;
}

QDateTime wallClock(qint32 date) { return QDateTime::fromSecsSinceEpoch(qMax<qint32>(date, 0), Qt::UTC); }

}  // namespace

qint32 pickDateTime(const QString& title, const QString& mask, qint32 date) {
  if (date <= 0) date = common::now();
  const int window = openToolWindow(445, 125, title);
  const WindowCloser closer{window};
  const QTime start = wallClock(date).time();
  const int hour = namedControl(platform::createSlider(window, 5, 5, 405, 25, 0, 23, true), pickerHourName);
  const int minute = namedControl(platform::createSlider(window, 5, 35, 405, 25, 0, 59, true), pickerMinuteName);
  platform::setSliderPosition(hour, start.hour());
  platform::setSliderPosition(minute, start.minute());
  const int field = namedControl(platform::createDateField(window, 5, 65, 405, 25, mask, date), pickerDateName);
  const int cancel = namedControl(platform::createButton(window, 5, 95, 200, 25, QStringLiteral("Esc")), pickerCancelName);
  const int clear = namedControl(platform::createButton(window, 210, 95, 25, 25, QStringLiteral("X")), pickerClearName);
  const int ok = namedControl(platform::createButton(window, 240, 95, 200, 25, QStringLiteral("OK")), pickerOkName);
  platform::setControlEnabled(hour, mask.contains(QLatin1String("%h")));
  platform::setControlEnabled(minute, mask.contains(QLatin1String("%i")));

  for (;;) {
    const platform::WindowEvent e = platform::waitWindowEvent();
    if (e.window != window) {
      platform::showWindowNormal(window);
      continue;
    }
    if (e.kind == platform::EventKind::Shortcut && e.control == escapeKey) return -1;
    if (e.kind != platform::EventKind::Control) continue;
    if (e.type == platform::ControlEventType::LeftClick) {
      if (e.control == ok) return platform::dateValue(field);
      if (e.control == clear) return 0;
      if (e.control == cancel) return -1;
    } else if (e.type == platform::ControlEventType::Change) {
      const qint32 shown = platform::dateValue(field);
      if (shown < 0) continue;
      if (e.control == hour || e.control == minute) {
        // On the last day a date value holds, an hour past 03:14:07 keeps that last second,
        // and the sliders show it.
        const QDate day = wallClock(shown).date();
        const qint32 chosen = common::makeDateWithin(day.year(), day.month(), day.day(), platform::sliderPosition(hour),
                                                     platform::sliderPosition(minute), 0);
        platform::setDateValue(field, chosen);
        if (chosen == common::lastDateValue) {
          const QTime last = wallClock(chosen).time();
          platform::setSliderPosition(hour, last.hour());
          platform::setSliderPosition(minute, last.minute());
        }
      } else if (e.control == field) {
        const QTime time = wallClock(shown).time();
        platform::setSliderPosition(hour, time.hour());
        platform::setSliderPosition(minute, time.minute());
      }
    }
  }
}

QString editLongText(const QString& title, const QString& text) {
  const int width = platform::desktopWidth() / 3 * 2;
  const int height = platform::desktopHeight() / 3 * 2;
  const int window = openToolWindow(width, height, title);
  const WindowCloser closer{window};
  // The editor keeps a line break as one character; CR LF and a lone CR are one break each.
  QString lines = text;
  lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  const int editor = namedControl(platform::createMultiLineField(window, 5, 5, width - 10, height - 40, lines), longTextName);
  const int cancel = namedControl(platform::createButton(window, 5, height - 30, 200, 25, QStringLiteral("Esc")),
                                  longTextCancelName);
  const int ok = namedControl(platform::createButton(window, width - 205, height - 30, 200, 25, QStringLiteral("OK")),
                              longTextOkName);
  platform::focusControl(editor);

  for (;;) {
    const platform::WindowEvent e = platform::waitWindowEvent();
    if (e.window != window) {
      platform::showWindowNormal(window);
      continue;
    }
    if (e.kind == platform::EventKind::Shortcut && e.control == escapeKey) return QString();
    if (e.kind != platform::EventKind::Control || e.type != platform::ControlEventType::LeftClick) continue;
    if (e.control == cancel) return QString();
    if (e.control == ok) return platform::controlText(editor).replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  }
}

}  // namespace tableeditor
