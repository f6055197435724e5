// The scripted user's player: plays a script through the real widgets with QtTest's mouse and
// key events. The parser is in scriptparser.cpp, the box responder in boxresponder.cpp and the
// transcript in transcript.cpp.
#include "platform/scripteduser.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWindow>
#include <QtTest/QTest>
#include <algorithm>

#include "platform/boxes.h"
#include "platform/recorder.h"
#include "platform/scripteduser_internal.h"
#include "platform/scriptedtables.h"
#include "platform/widgetregistry.h"

namespace platform {

namespace scripted {

Player& player() {
  static Player p;
  return p;
}

}  // namespace scripted

namespace {

using scripted::complain;
using scripted::parseKeyName;
using scripted::Player;
using scripted::player;

// ---- playing through the widgets ----

// The named control of the front window, or else of the newest window that has one.
QWidget* namedControl(const QString& name) {
  const int front = frontWindow();
  std::vector<int> windows = liveWindows();
  std::stable_partition(windows.rbegin(), windows.rend(), [front](int w) { return w == front; });
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    for (int control : controlsOfWindow(*it)) {
      if (controlName(control) == name && controlWidget(control)) return controlWidget(control);
    }
  }
  return nullptr;
}

QWidget* frontWindowWidget() { return windowWidget(frontWindow()); }

// A point of the view's empty area: no item lies under it.
bool emptyPoint(QAbstractItemView* view, QPoint& at) {
  const QRect area = view->viewport()->rect();
  for (int y = area.bottom() - 2; y > area.top(); y -= 10) {
    for (int x = area.right() - 2; x > area.left(); x -= 10) {
      if (!view->indexAt(QPoint(x, y)).isValid()) {
        at = QPoint(x, y);
        return true;
      }
    }
  }
  return false;
}

int rowWithText(QAbstractItemView* view, const QString& text) {
  const QAbstractItemModel* model = view->model();
  for (int row = 0; row < model->rowCount(); ++row) {
    for (int column = 0; column < model->columnCount(); ++column) {
      if (model->index(row, column).data().toString() == text) return row;
    }
  }
  return -1;
}

void clickAt(QWidget* widget, QPoint at, bool twice) {
  QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
  if (!twice) return;
  // The second press of a double click reaches a widget as a double-click event.
  QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, at);
}

void playClick(const ScriptAction& action) {
  const bool twice = action.verb == ScriptVerb::DoubleClick;
  QWidget* control = namedControl(action.target);
  if (!control) return complain(action, QStringLiteral("no control named %1").arg(action.target));
  if (!control->isVisible()) return complain(action, QStringLiteral("%1 is hidden").arg(action.target));
  if (action.column >= 0 || action.columnByText) return scripted::playCellClick(control, action);
  auto* view = qobject_cast<QAbstractItemView*>(control);
  if (!view) return clickAt(control, control->rect().center(), twice);
  const int row = action.byText ? rowWithText(view, action.text) : action.index;
  QPoint at;
  if (row == -1 && !action.byText) {
    if (!emptyPoint(view, at)) return complain(action, QStringLiteral("no empty area to click"));
  } else if (row < 0 || row >= view->model()->rowCount()) {
    return complain(action, QStringLiteral("%1 has no item %2")
                                .arg(action.target, action.byText ? action.text : QString::number(row)));
  } else {
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    at = view->visualRect(index).center();
  }
  clickAt(view->viewport(), at, twice);
}

void typeText(QWidget* field, const QString& text) {
  field->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  if (text.isEmpty()) QTest::keyClick(field, Qt::Key_Delete);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c == QLatin1Char('\n')) {
      QTest::keyClick(field, Qt::Key_Return);
    } else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
      // A character beyond the first 65,536 ("😀") is one key press with both halves.
      QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, text.mid(i, 2), Qt::NoModifier);
      ++i;
    } else {
      QTest::sendKeyEvent(QTest::Click, field, static_cast<Qt::Key>(c.toUpper().unicode()),
                          QString(c), Qt::NoModifier);
    }
  }
}

// True for a control that shows its value but takes no typing.
bool isReadOnly(QWidget* control) {
  if (auto* field = qobject_cast<QLineEdit*>(control)) return field->isReadOnly();
  if (auto* editor = qobject_cast<QPlainTextEdit*>(control)) return editor->isReadOnly();
  if (auto* spin = qobject_cast<QAbstractSpinBox*>(control)) return spin->isReadOnly();
  return false;
}

void playSet(const ScriptAction& action) {
  QWidget* control = namedControl(action.target);
  if (!control) return complain(action, QStringLiteral("no control named %1").arg(action.target));
  // A person can neither type into nor move what is disabled or read-only.
  if (!control->isEnabled()) return complain(action, QStringLiteral("%1 is disabled").arg(action.target));
  if (isReadOnly(control)) return complain(action, QStringLiteral("%1 is read-only").arg(action.target));
  if (qobject_cast<QLineEdit*>(control) || qobject_cast<QPlainTextEdit*>(control))
    return typeText(control, action.text);
  if (auto* slider = qobject_cast<QAbstractSlider*>(control)) {
    bool isNumber = false;
    const int position = action.text.toInt(&isNumber);
    if (!isNumber) return complain(action, QStringLiteral("a slider takes a number"));
    return slider->setValue(position);
  }
  if (auto* date = qobject_cast<QDateTimeEdit*>(control)) {
    QDateTime value = QDateTime::fromString(action.text, date->displayFormat());
    if (!value.isValid())
      return complain(action, QStringLiteral("%1 does not fit the date field").arg(action.text));
    value.setTimeSpec(Qt::UTC);
    return date->setDateTime(value);
  }
  if (auto* box = qobject_cast<QCheckBox*>(control)) {
    const bool tick = action.text == QLatin1String("1");
    if (!tick && action.text != QLatin1String("0")) return complain(action, QStringLiteral("a check box takes 1 or 0"));
    if (box->isChecked() == tick) return;
    // A click on the check mark itself, as the person's hand would give it.
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect mark = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    return QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, mark.center());
  }
  if (auto* combo = qobject_cast<QComboBox*>(control)) {
    const int index = combo->findText(action.text, Qt::MatchExactly);
    if (index < 0) return complain(action, QStringLiteral("%1 has no entry %2").arg(action.target, action.text));
    combo->setCurrentIndex(index);
    return;
  }
  if (auto* calendar = qobject_cast<QCalendarWidget*>(control)) {
    const QDate day = QDate::fromString(action.text, Qt::ISODate);
    if (!day.isValid()) return complain(action, QStringLiteral("a calendar takes a date yyyy-mm-dd"));
    calendar->setSelectedDate(day);
    return;
  }
  complain(action, QStringLiteral("%1 takes no text").arg(action.target));
}

void playPress(const ScriptAction& action) {
  QWidget* control = namedControl(action.target);
  if (!control) return complain(action, QStringLiteral("no control named %1").arg(action.target));
  QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->rect().center());
}

void playKey(const ScriptAction& action) {
  QWidget* window = frontWindowWidget();
  if (!window) return complain(action, QStringLiteral("no window is open"));
  Qt::Key key = Qt::Key_unknown;
  Qt::KeyboardModifiers modifiers;
  parseKeyName(action.target, key, modifiers);
  // Shortcuts of a window answer only while it is the active one, as the person's would.
  window->activateWindow();
  QApplication::setActiveWindow(window);
  QWidget* focus = QApplication::focusWidget();
  QWidget* target = focus && focus->window() == window ? focus : window;
  QTest::keyClick(target, key, modifiers);
}

void playClose(const ScriptAction& action) {
  QWidget* window = frontWindowWidget();
  if (!window) return complain(action, QStringLiteral("no window is open"));
  // Through the window system's side, as a click on the close box arrives.
  if (QWindow* handle = window->windowHandle()) {
    QCloseEvent close;
    QCoreApplication::sendEvent(handle, &close);
  } else {
    window->close();
  }
}

}  // namespace

// ---- the script's whole life ----

using scripted::record;

bool startScript(const QString& text) {
  Player& p = player();
  const ParsedScript parsed = parseScript(text);
  p.playing = true;
  p.actions = parsed.actions;
  p.next = 0;
  p.transcript.clear();
  p.shownDialogs.clear();
  if (!p.transcriptPath.isEmpty()) QFile(p.transcriptPath).resize(0);
  setBoxResponder(scripted::answerBox);
  if (parsed.error.isEmpty()) return true;
  record(QStringLiteral("script error ") + scripted::oneLine(parsed.error));
  return false;
}

bool startScriptFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    startScript(QString());
    record(QStringLiteral("script error: %1 cannot be read").arg(scripted::oneLine(path)));
    return false;
  }
  return startScript(QString::fromUtf8(file.readAll()));
}

bool startScriptFromEnvironment() {
  const QString script = qEnvironmentVariable("VARNOTHM_SCRIPT");
  if (script.isEmpty()) return false;
  player().transcriptPath = qEnvironmentVariable("VARNOTHM_TRANSCRIPT");
  if (!player().transcriptPath.isEmpty()) {
    QFile file(player().transcriptPath);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.close();
  }
  startScriptFile(script);
  return true;
}

void stopScript() {
  Player& p = player();
  p.playing = false;
  p.actions.clear();
  p.next = 0;
  p.transcriptPath.clear();
  p.shownDialogs.clear();
  setBoxResponder({});
}

bool isScriptActive() { return player().playing; }

// ---- the player's turn in the event wait (recorder.h) ----

bool isScriptPlaying() { return player().playing; }

bool playNextScriptAction() {
  Player& p = player();
  if (!p.playing || p.next >= p.actions.size()) return false;
  const ScriptAction action = p.actions[p.next++];
  switch (action.verb) {
    case ScriptVerb::Click:
    case ScriptVerb::DoubleClick: playClick(action); break;
    case ScriptVerb::Answer:
    case ScriptVerb::Input: complain(action, QStringLiteral("no box is open")); break;
    case ScriptVerb::Set: playSet(action); break;
    case ScriptVerb::Press: playPress(action); break;
    case ScriptVerb::Key: playKey(action); break;
    case ScriptVerb::Close: playClose(action); break;
    case ScriptVerb::Header: scripted::playHeader(namedControl(action.target), action); break;
    case ScriptVerb::Resize: scripted::playColumnResize(namedControl(action.target), action); break;
  }
  return true;
}

}  // namespace platform
