// The scripted user: the script parser, the player that drives the real widgets with QtTest's
// mouse and key events, the box responder, and the transcript of what a person would have seen.
#include "platform/scripteduser.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTreeWidget>
#include <QAbstractSlider>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTimeEdit>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QtTest/QTest>
#include <QWindow>
#include <map>
#include <utility>

#include "platform/boxes.h"
#include "platform/recorder.h"
#include "platform/widgetregistry.h"

namespace platform {

namespace {

struct Player {
  bool playing = false;
  std::vector<ScriptAction> actions;
  size_t next = 0;
  QStringList transcript;
  QString transcriptPath;
  std::map<int, bool> filledLists;
  std::vector<int> shownDialogs;
};

Player& player() {
  static Player p;
  return p;
}

// ---- the transcript ----

// One thing seen is one line, so the line breaks inside a text are written as \n.
QString oneLine(QString text) {
  text.replace(QLatin1String("\r\n"), QLatin1String("\\n"));
  text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
  text.replace(QLatin1Char('\r'), QLatin1String("\\n"));
  return text;
}

void record(const QString& line) {
  player().transcript.append(line);
  if (player().transcriptPath.isEmpty()) return;
  // Written line by line, so a run that dies still leaves what it saw.
  QFile file(player().transcriptPath);
  if (file.open(QIODevice::Append)) file.write((line + QLatin1Char('\n')).toUtf8());
}

void complain(const ScriptAction& action, const QString& reason) {
  record(QStringLiteral("skipped line %1: %2").arg(action.line).arg(reason));
}

QString colourText(bool set, const QColor& colour) {
  if (!set) return QStringLiteral("-");
  return QStringLiteral("%1,%2,%3").arg(colour.red()).arg(colour.green()).arg(colour.blue());
}

void recordListItems(const QString& name, QListWidget* list) {
  for (int i = 0; i < list->count(); ++i) {
    const QListWidgetItem* item = list->item(i);
    const QVariant background = item->data(Qt::BackgroundRole);
    const QVariant foreground = item->data(Qt::ForegroundRole);
    record(QStringLiteral("item %1 | %2 | %3 | %4 | %5")
               .arg(name)
               .arg(i)
               .arg(oneLine(item->text()),
                    colourText(background.isValid(), background.value<QBrush>().color()),
                    colourText(foreground.isValid(), foreground.value<QBrush>().color())));
  }
}

// What a value control of a dialog shows, in one line; false for controls that hold no value.
bool shownValue(QWidget* widget, QString& value) {
  if (auto* field = qobject_cast<QLineEdit*>(widget)) {
    value = field->text();
  } else if (auto* editor = qobject_cast<QPlainTextEdit*>(widget)) {
    value = editor->toPlainText();
  } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
    value = box->isChecked() ? QStringLiteral("[x]") : QStringLiteral("[ ]");
  } else if (auto* date = qobject_cast<QDateTimeEdit*>(widget)) {
    value = date->text().trimmed();
  } else if (auto* calendar = qobject_cast<QCalendarWidget*>(widget)) {
    value = calendar->selectedDate().toString(Qt::ISODate);
  } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    value = combo->currentText();
  } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    value = selected.isEmpty() ? QString() : selected.first()->text();
  } else if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
    const QList<QTreeWidgetItem*> selected = tree->selectedItems();
    value = selected.isEmpty() ? QString() : selected.first()->text(0);
  } else {
    return false;
  }
  return true;
}

void recordDialogFields(int window) {
  for (int control : controlsOfWindow(window)) {
    const QString name = controlName(control);
    QString value;
    if (!name.isEmpty() && shownValue(controlWidget(control), value))
      record(QStringLiteral("field %1 | %2").arg(name, oneLine(value)));
  }
}

// ---- the script's words ----

struct Token {
  QString text;
  bool quoted = false;
};

// Splits a line into words and quoted texts; a # outside quotes ends the line.
bool tokenize(const QString& line, std::vector<Token>& tokens, QString& error) {
  qsizetype i = 0;
  const qsizetype n = line.size();
  while (i < n) {
    const QChar c = line.at(i);
    if (c.isSpace()) {
      ++i;
    } else if (c == QLatin1Char('#')) {
      break;
    } else if (c == QLatin1Char('"')) {
      Token token{QString(), true};
      ++i;
      bool closed = false;
      while (i < n) {
        const QChar d = line.at(i++);
        if (d == QLatin1Char('"')) {
          closed = true;
          break;
        }
        if (d != QLatin1Char('\\')) {
          token.text += d;
          continue;
        }
        if (i >= n) break;
        const QChar escaped = line.at(i++);
        if (escaped == QLatin1Char('"') || escaped == QLatin1Char('\\'))
          token.text += escaped;
        else if (escaped == QLatin1Char('n'))
          token.text += QLatin1Char('\n');
        else {
          error = QStringLiteral("unknown escape \\%1").arg(escaped);
          return false;
        }
      }
      if (!closed) {
        error = QStringLiteral("text without closing quote");
        return false;
      }
      tokens.push_back(token);
    } else {
      Token token;
      while (i < n && !line.at(i).isSpace() && line.at(i) != QLatin1Char('#') &&
             line.at(i) != QLatin1Char('"'))
        token.text += line.at(i++);
      tokens.push_back(token);
    }
  }
  return true;
}

const std::pair<const char*, Qt::Key> keyNames[] = {
    {"Escape", Qt::Key_Escape},     {"Esc", Qt::Key_Escape},       {"Return", Qt::Key_Return},
    {"Enter", Qt::Key_Return},      {"Insert", Qt::Key_Insert},    {"Delete", Qt::Key_Delete},
    {"PageUp", Qt::Key_PageUp},     {"PageDown", Qt::Key_PageDown}, {"Home", Qt::Key_Home},
    {"End", Qt::Key_End},           {"Tab", Qt::Key_Tab},          {"Backspace", Qt::Key_Backspace},
    {"Space", Qt::Key_Space},       {"Up", Qt::Key_Up},            {"Down", Qt::Key_Down},
    {"Left", Qt::Key_Left},         {"Right", Qt::Key_Right},
};

// "Ctrl+Return", "Escape", "F5", "A": the key and its modifiers.
bool parseKeyName(const QString& name, Qt::Key& key, Qt::KeyboardModifiers& modifiers) {
  QStringList parts = name.split(QLatin1Char('+'));
  const QString keyName = parts.takeLast();
  modifiers = Qt::NoModifier;
  for (const QString& part : parts) {
    if (part.compare(QLatin1String("Ctrl"), Qt::CaseInsensitive) == 0)
      modifiers |= Qt::ControlModifier;
    else if (part.compare(QLatin1String("Shift"), Qt::CaseInsensitive) == 0)
      modifiers |= Qt::ShiftModifier;
    else if (part.compare(QLatin1String("Alt"), Qt::CaseInsensitive) == 0)
      modifiers |= Qt::AltModifier;
    else
      return false;
  }
  for (const auto& [known, code] : keyNames) {
    if (keyName.compare(QLatin1String(known), Qt::CaseInsensitive) == 0) {
      key = code;
      return true;
    }
  }
  if (keyName.size() == 1 && keyName.at(0).isLetterOrNumber()) {
    key = static_cast<Qt::Key>(keyName.at(0).toUpper().unicode());
    return true;
  }
  bool isNumber = false;
  const int function = keyName.size() > 1 && keyName.at(0).toUpper() == QLatin1Char('F')
                           ? keyName.mid(1).toInt(&isNumber)
                           : 0;
  if (isNumber && function >= 1 && function <= 12) {
    key = static_cast<Qt::Key>(Qt::Key_F1 + function - 1);
    return true;
  }
  return false;
}

const char* const answerWords[] = {"OK", "Ja", "Nein", "Abbrechen"};

BoxAnswer answerOfWord(const QString& word) {
  if (word == QLatin1String("Ja")) return BoxAnswer::Yes;
  if (word == QLatin1String("Nein")) return BoxAnswer::No;
  if (word == QLatin1String("Abbrechen")) return BoxAnswer::Cancel;
  return BoxAnswer::Ok;
}

bool parseLine(const std::vector<Token>& t, ScriptAction& action, QString& error) {
  const QString verb = t[0].quoted ? QString() : t[0].text;
  auto wordAt = [&](size_t i) { return i < t.size() && !t[i].quoted; };
  auto expectCount = [&](size_t count) {
    if (t.size() == count) return true;
    error = t.size() < count ? QStringLiteral("%1 needs more").arg(verb)
                             : QStringLiteral("%1 takes less").arg(verb);
    return false;
  };
  if (verb == QLatin1String("click") || verb == QLatin1String("dclick")) {
    action.verb = verb == QLatin1String("click") ? ScriptVerb::Click : ScriptVerb::DoubleClick;
    if (!expectCount(3)) return false;
    if (!wordAt(1)) {
      error = QStringLiteral("a list name is a word");
      return false;
    }
    action.target = t[1].text;
    if (t[2].quoted) {
      action.byText = true;
      action.text = t[2].text;
      return true;
    }
    bool isNumber = false;
    action.index = t[2].text.toInt(&isNumber);
    if (!isNumber || action.index < -1) error = QStringLiteral("an item is an index or a quoted text");
    return isNumber && action.index >= -1;
  }
  if (verb == QLatin1String("answer")) {
    action.verb = ScriptVerb::Answer;
    if (!expectCount(2)) return false;
    for (const char* word : answerWords) {
      if (t[1].text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0) {
        action.target = QLatin1String(word);
        return true;
      }
    }
    error = QStringLiteral("answer is OK, Ja, Nein or Abbrechen");
    return false;
  }
  if (verb == QLatin1String("input")) {
    action.verb = ScriptVerb::Input;
    if (!expectCount(2)) return false;
    action.cancel = !t[1].quoted && t[1].text == QLatin1String("cancel");
    if (!t[1].quoted && !action.cancel) {
      error = QStringLiteral("input takes a quoted text or cancel");
      return false;
    }
    action.text = t[1].text;
    return true;
  }
  if (verb == QLatin1String("set")) {
    action.verb = ScriptVerb::Set;
    if (!expectCount(3)) return false;
    action.target = t[1].text;
    action.text = t[2].text;
    return true;
  }
  if (verb == QLatin1String("press")) {
    action.verb = ScriptVerb::Press;
    if (!expectCount(2)) return false;
    action.target = t[1].text;
    return true;
  }
  if (verb == QLatin1String("key")) {
    action.verb = ScriptVerb::Key;
    if (!expectCount(2)) return false;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    if (!parseKeyName(t[1].text, key, modifiers)) {
      error = QStringLiteral("unknown key %1").arg(t[1].text);
      return false;
    }
    action.target = t[1].text;
    return true;
  }
  if (verb == QLatin1String("close")) {
    action.verb = ScriptVerb::Close;
    return expectCount(1);
  }
  error = QStringLiteral("unknown action %1").arg(t[0].text);
  return false;
}

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
  for (const QChar c : text) {
    if (c == QLatin1Char('\n'))
      QTest::keyClick(field, Qt::Key_Return);
    else
      QTest::sendKeyEvent(QTest::Click, field, static_cast<Qt::Key>(c.toUpper().unicode()),
                          QString(c), Qt::NoModifier);
  }
}

void playSet(const ScriptAction& action) {
  QWidget* control = namedControl(action.target);
  if (!control) return complain(action, QStringLiteral("no control named %1").arg(action.target));
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

// ---- answering boxes ----

const ScriptAction* nextAction() {
  Player& p = player();
  return p.next < p.actions.size() ? &p.actions[p.next] : nullptr;
}

bool fits(BoxAnswer answer, BoxButtons buttons) {
  switch (buttons) {
    case BoxButtons::Ok: return answer == BoxAnswer::Ok;
    case BoxButtons::YesNo: return answer == BoxAnswer::Yes || answer == BoxAnswer::No;
    case BoxButtons::YesNoCancel: return answer != BoxAnswer::Ok;
  }
  return false;
}

BoxAnswer cancelOrDefault(BoxButtons buttons) {
  switch (buttons) {
    case BoxButtons::Ok: return BoxAnswer::Ok;
    case BoxButtons::YesNo: return BoxAnswer::No;
    case BoxButtons::YesNoCancel: return BoxAnswer::Cancel;
  }
  return BoxAnswer::Cancel;
}

BoxReply answerBox(const BoxRequest& request) {
  recordFilledLists();
  const ScriptAction* action = nextAction();
  if (request.isInput) {
    record(QStringLiteral("input %1 | %2 | %3")
               .arg(oneLine(request.title), oneLine(request.text), oneLine(request.preset)));
    if (action && action->verb == ScriptVerb::Input) {
      ++player().next;
      if (action->cancel) return {BoxAnswer::Cancel, QString()};
      return {BoxAnswer::Ok, action->text};
    }
    if (action && action->verb == ScriptVerb::Answer &&
        (action->target == QLatin1String("OK") || action->target == QLatin1String("Abbrechen"))) {
      ++player().next;
      if (action->target == QLatin1String("OK")) return {BoxAnswer::Ok, request.preset};
      return {BoxAnswer::Cancel, QString()};
    }
    record(QStringLiteral("unanswered"));
    return {BoxAnswer::Cancel, QString()};
  }
  record(QStringLiteral("box %1 | %2 | %3")
             .arg(oneLine(request.title), boxIconName(request.icon), oneLine(request.text)));
  if (action && action->verb == ScriptVerb::Answer) {
    const BoxAnswer answer = answerOfWord(action->target);
    if (fits(answer, request.buttons)) {
      ++player().next;
      return {answer, QString()};
    }
  }
  record(QStringLiteral("unanswered"));
  return {cancelOrDefault(request.buttons), QString()};
}

}  // namespace

// ---- the script's whole life ----

ParsedScript parseScript(const QString& text) {
  ParsedScript parsed;
  const QStringList lines = text.split(QLatin1Char('\n'));
  for (int i = 0; i < lines.size(); ++i) {
    QString line = lines[i];
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    std::vector<Token> tokens;
    QString error;
    ScriptAction action;
    action.line = i + 1;
    if (tokenize(line, tokens, error) && (tokens.empty() || parseLine(tokens, action, error))) {
      if (!tokens.empty()) parsed.actions.push_back(action);
      continue;
    }
    parsed.actions.clear();
    parsed.error = QStringLiteral("line %1: %2").arg(i + 1).arg(error);
    break;
  }
  return parsed;
}

bool startScript(const QString& text) {
  Player& p = player();
  const ParsedScript parsed = parseScript(text);
  p.playing = true;
  p.actions = parsed.actions;
  p.next = 0;
  p.transcript.clear();
  p.shownDialogs.clear();
  if (!p.transcriptPath.isEmpty()) QFile(p.transcriptPath).resize(0);
  setBoxResponder(answerBox);
  if (parsed.error.isEmpty()) return true;
  record(QStringLiteral("script error ") + parsed.error);
  return false;
}

bool startScriptFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    startScript(QString());
    record(QStringLiteral("script error: %1 cannot be read").arg(path));
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

void recordProgramEnd() {
  if (!player().playing) return;
  recordFilledLists();
  record(QStringLiteral("end"));
}

QStringList transcript() { return player().transcript; }

bool writeTranscript(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  for (const QString& line : player().transcript) file.write((line + QLatin1Char('\n')).toUtf8());
  return true;
}

// ---- what the toolkit reports (recorder.h) ----

bool isScriptPlaying() { return player().playing; }

void recordTitle(int, const QString& previous, const QString& title) {
  if (player().playing && title != previous) record(QStringLiteral("title ") + oneLine(title));
}

void recordStatus(const QString& previous, const QString& text) {
  if (player().playing && !text.isEmpty() && text != previous)
    record(QStringLiteral("status ") + oneLine(text));
}

void recordShell(const QString& target) {
  recordFilledLists();
  record(QStringLiteral("shell ") + oneLine(target));
}

void markListFilled(int list) { player().filledLists[list] = true; }

void markDialogShown(int window) {
  if (player().playing) player().shownDialogs.push_back(window);
}

void recordShownDialogs() {
  Player& p = player();
  if (!p.playing) return;
  const std::vector<int> dialogs = std::exchange(p.shownDialogs, {});
  for (int window : dialogs) recordDialogFields(window);
}

void recordFilledLists() {
  Player& p = player();
  if (!p.playing) return;
  for (auto& [list, filled] : p.filledLists) {
    if (!filled) continue;
    filled = false;
    auto* widget = qobject_cast<QListWidget*>(controlWidget(list));
    const QString name = controlName(list);
    if (widget && !name.isEmpty()) recordListItems(name, widget);
  }
}

void recordScriptExhausted() { record(QStringLiteral("script exhausted")); }

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
  }
  return true;
}

}  // namespace platform
