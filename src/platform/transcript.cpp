// The transcript: every line of what a person would have seen while a script plays, in the
// forms of docs/scripted-user.md, and the recorder calls through which the toolkit reports it.
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTreeWidget>
#include <utility>

#include "platform/iconlists.h"
#include "platform/recorder.h"
#include "platform/scripteduser_internal.h"
#include "platform/scriptedtables.h"
#include "platform/widgetregistry.h"

namespace platform {

namespace scripted {

// One thing seen is one line. CR and LF are written as \r and \n, and so that a reader can
// tell a line break from the two characters backslash and n, a backslash is written as \\.
QString oneLine(QString text) {
  text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
  text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
  text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
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
  record(QStringLiteral("skipped line %1: %2").arg(action.line).arg(oneLine(reason)));
}

}  // namespace scripted

namespace {

using scripted::ListChanges;
using scripted::oneLine;
using scripted::Player;
using scripted::player;
using scripted::record;

QString colourText(bool set, platform::Rgb colour) {
  if (!set) return QStringLiteral("-");
  return QStringLiteral("%1,%2,%3").arg(colour.red).arg(colour.green).arg(colour.blue);
}

// An item as the person sees it: its text and colours, then its icon.
void recordListItem(const QString& name, int list, int index) {
  platform::Rgb background, foreground;
  const bool hasBackground = iconItemBackground(list, index, background);
  const bool hasForeground = iconItemTextColour(list, index, foreground);
  record(QStringLiteral("item %1 | %2 | %3 | %4 | %5")
             .arg(name)
             .arg(index)
             .arg(oneLine(iconItemText(list, index)), colourText(hasBackground, background),
                  colourText(hasForeground, foreground)));
  const QString icon = imageName(iconItemImage(list, index));
  record(QStringLiteral("icon %1 | %2 | %3").arg(name).arg(index).arg(icon.isEmpty() ? QStringLiteral("-") : oneLine(icon)));
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

}  // namespace

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

void markListFilled(int list) {
  ListChanges& changes = player().lists[list];
  changes.filled = true;
  changes.items.clear();
}

void markItemChanged(int list, int index) {
  ListChanges& changes = player().lists[list];
  if (!changes.filled) changes.items.insert(index);
}

void markItemSelected(int list, int index) { player().lists[list].selected = index; }

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
  scripted::recordTableControls();
  for (auto& [list, pending] : p.lists) {
    const ListChanges changes = std::exchange(pending, {});
    const QString name = controlName(list);
    if (name.isEmpty()) continue;
    if (auto* table = qobject_cast<QTableWidget*>(controlWidget(list))) {
      if (changes.filled) scripted::recordTableRows(name, table);
      continue;
    }
    if (!qobject_cast<QListWidget*>(controlWidget(list))) continue;
    const int count = iconItemCount(list);
    if (changes.filled) {
      for (int index = 0; index < count; ++index) recordListItem(name, list, index);
    } else {
      for (int index : changes.items)
        if (index < count) recordListItem(name, list, index);
    }
    if (changes.selected) record(QStringLiteral("selected %1 | %2").arg(name).arg(*changes.selected));
  }
}

void recordClosed(const QString& title) {
  // The windows that go after the program's end are not written: "end" is the last line.
  const Player& p = player();
  if (!p.playing || title.isEmpty() || p.transcript.value(p.transcript.size() - 1) == QLatin1String("end")) return;
  record(QStringLiteral("closed ") + oneLine(title));
}

void recordScriptExhausted() { record(QStringLiteral("script exhausted")); }

}  // namespace platform
