// The record dialog: the ID and the row, the form's markup, the fields filled by kind and
// spec, the dialog's own loop, and the values the user changed written back as one INSERT
// or UPDATE of that row.
#include "tableeditor/recorddialog.h"

#include "common/dates.h"
#include "common/numbers.h"
#include "common/programend.h"
#include "db/database.h"
#include "db/messages.h"
#include "db/quoting.h"
#include "platform/boxes.h"
#include "platform/controls.h"
#include "platform/dialogengine.h"
#include "platform/events.h"
#include "platform/windows.h"
#include "tableeditor/cellformat.h"

#include <QStringList>
#include <memory>
#include <pugixml.hpp>
#include <vector>

namespace tableeditor {

namespace {

enum Shortcut { cancelKey = 1, saveKey = 2 };

void reportError(const QString& text) {
  platform::messageBox(QStringLiteral("Fehler"), text, platform::BoxIcon::Error);
}

[[noreturn]] void failAndEnd(db::MessageForm form, const QString& sql) {
  db::reportFailure(form, sql);
  common::endProgram(1);
}

// One value of the row as it was read, with what its field held once filled: the field's
// text as the control gives it back, or a date field's value. A field that still holds that
// is unchanged, and its column is not written.
struct FieldValue {
  qint64 integer = 0;
  double real = 0;
  QString text;    // the stored text, decoded
  QString shown;
  qint32 shownDate = 0;
};

// The text of a multi-line field as the table keeps it: line breaks as CR LF.
QString withCrLf(QString text) {
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  return text;
}

}  // namespace

QString recordMarkup(const BrowserConfig& config, qint64 id, int windowWidth, const QList<int>& kinds) {
  QString markup = QStringLiteral("<window id='#PB_Any' name='edit' text='Tabelle ") + config.table +
                   QStringLiteral(" ID=") + QString::number(id) + QStringLiteral("' minwidth='") +
                   QString::number(windowWidth / 2) +
                   QStringLiteral("' minheight='auto' flags='#PB_Window_ScreenCentered|#PB_Window_SystemMenu|"
                                  "#PB_Window_MinimizeGadget|#PB_Window_MaximizeGadget|#PB_Window_SizeGadget'> <vbox>");
  for (int i = 0; i < kinds.size(); ++i) {
    const QString title = listItem(config.columnTitles, i);
    const QString field = listItem(config.fields, i);
    const QString spec = listItem(config.columnSpecs, i);
    const int kind = kinds[i];
    if (i == 0) {
      markup += QStringLiteral("<text text='ID' /><string name='ID' disabled='yes' />");
    } else if ((kind == 1 || kind == 5) && isDateSpec(spec)) {
      markup += QStringLiteral("<text text='") + title + QStringLiteral("' /><date name='") + field + QStringLiteral("' />");
    } else if (kind == 2 && isMultiLineSpec(spec)) {
      markup += QStringLiteral("<text text='") + title + QStringLiteral("' /><editor name='") + field +
                QStringLiteral("' height='") + QString::number(leadingInteger(spec) * 14) + QStringLiteral("' />");
    } else {
      markup += QStringLiteral("<text text='") + title + QStringLiteral("' /><string name='") + field + QStringLiteral("' />");
    }
  }
  markup += QStringLiteral("<button name='dbExit' text='Esc' /><button name='dbStore' text='Speichern' /></vbox></window>");
  return markup;
}

namespace {

void reportNote(const QString& text) { platform::messageBox(QStringLiteral("Hinweis"), text, platform::BoxIcon::Info); }

// The ID of a new row: the highest ID + 1, 1 in an empty table; 0 after the note when the
// next ID would pass what the servers keep.
qint64 newId(db::Connection* database, const BrowserConfig& config) {
  const QString sql = QStringLiteral("SELECT ID FROM ") + config.table + QStringLiteral(" ORDER BY ID DESC LIMIT 1;");
  db::Query highest(database, sql);
  if (!highest.ok()) failAndEnd(db::MessageForm::RequestError, sql);
  if (!highest.next()) {
    if (highest.failed()) failAndEnd(db::MessageForm::RequestError, sql);
    return 1;
  }
  const qint64 top = highest.int64(0);
  if (top >= largestNewId) {
    reportNote(QStringLiteral("Die höchste ID der Tabelle ") + config.table + QStringLiteral(" ist ") +
               QString::number(top) + QStringLiteral(". Eine neue ID über ") + QString::number(largestNewId) +
               QStringLiteral(" ist nicht möglich; es wird kein Eintrag angelegt."));
    return 0;
  }
  return qMax<qint64>(top + 1, 1);
}

}  // namespace

qint64 editRecord(int window, db::Connection* database, RecordChoice choice, BrowserConfig& config) {
  // 1. The ID and the row.
  qint64 recordId = 0;
  if (choice.use != RecordChoice::Edit) {
    recordId = newId(database, config);
    if (recordId == 0) return -1;
  }
  const QString head = QStringLiteral("SELECT ") + config.fields + QStringLiteral(" FROM ") + config.table;
  const QString rowSql = choice.use == RecordChoice::New
                             ? head + QStringLiteral(" LIMIT 0;")
                             : head + QStringLiteral(" WHERE rowid=") + QString::number(choice.row) + QLatin1Char(';');
  std::vector<FieldValue> values;
  QList<int> kinds;
  {
    db::Query row(database, rowSql);
    if (!row.ok()) failAndEnd(db::MessageForm::RequestError, rowSql);
    const bool haveRow = row.next();
    if (!haveRow && row.failed()) failAndEnd(db::MessageForm::RequestError, rowSql);
    for (int i = 0; i < row.columnCount(); ++i) {
      kinds.append(static_cast<int>(row.columnKind(i)));
      FieldValue value;
      if (haveRow) {
        value.integer = row.int64(i);
        value.real = row.real(i);
        value.text = db::unescapeText(row.text(i));
      }
      values.push_back(value);
    }
    if (choice.use == RecordChoice::Edit && haveRow) recordId = values.empty() ? 0 : values[0].integer;
  }
  const int n = static_cast<int>(kinds.size());
  // 2. The markup, and the column kinds as the dialog saw them.
  const QString markup = recordMarkup(config, recordId, platform::windowClientWidth(window), kinds);
  QStringList kindTexts{QStringLiteral("0")};
  for (int i = 1; i < n; ++i) kindTexts.append(QString::number(kinds[i]));
  config.columnKinds = kindTexts.join(QLatin1Char(','));

  // 3. Opening.
  auto document = std::make_unique<pugi::xml_document>();
  const QByteArray bytes = markup.toUtf8();
  const pugi::xml_parse_result parsed = document->load_buffer(bytes.constData(), bytes.size(), pugi::parse_default,
                                                                pugi::encoding_utf8);
  if (!parsed) {
    reportError(QStringLiteral("Interner Fehler bei der Erstellung des XML-Dialogs (XMLSatus):") +
                QString::fromUtf8(parsed.description()) + QLatin1Char(' ') + QString::number(parsed.offset));
    return -1;
  }
  platform::DialogGuard dialog;
  if (!dialog.number()) {
    reportError(QStringLiteral("Interner Fehler bei der Erstellung des XML-Dialogs (CreateDialog)"));
    return -1;
  }
  QString engineError;
  if (!platform::openXmlDialog(dialog.number(), *document, QStringLiteral("edit"), engineError)) {
    reportError(QStringLiteral("Interner Fehler bei der Erstellung des XML-Dialogs (OpenXMLDialog) ") + engineError);
    return -1;
  }
  const int dialogWindow = platform::dialogWindow(dialog.number());
  platform::addShortcut(dialogWindow, cancelKey, Qt::Key_Escape);
  platform::addShortcut(dialogWindow, saveKey, Qt::Key_Return, Qt::ControlModifier);

  // 4. Filling the fields.
  std::vector<int> controls(n, 0);
  for (int i = 0; i < n; ++i) {
    const QString name = i == 0 ? QStringLiteral("ID") : listItem(config.fields, i);
    const QString spec = listItem(config.columnSpecs, i);
    const int control = platform::dialogControl(dialog.number(), name);
    controls[i] = control;
    FieldValue& value = values[i];
    const int kind = kinds[i];
    if ((kind == 1 || kind == 5) && isDateSpec(spec) && i > 0) {
      platform::setDateMask(control, spec);
      platform::setDateValue(control, common::dateWithin(value.integer));
      value.shownDate = platform::dateValue(control);
    } else if (kind == 1 || kind == 5) {
      platform::setControlText(control, formatIntegerCell(value.integer, spec).remove(QStringLiteral("---")));
    } else if (kind == 3 || kind == 4) {
      platform::setControlText(control, formatRealCell(value.real, spec).remove(QStringLiteral("---")).trimmed());
    } else if (kind == 2 && isMultiLineSpec(spec)) {
      platform::setControlText(control, value.text);
    } else if (kind == 2) {
      platform::setControlText(control, keepPrintable(value.text));
    } else {
      platform::setControlText(control, QStringLiteral("???"));
    }
    value.shown = platform::controlText(control);
  }

  // Whether the user changed a field, and the value its column gets from what it holds
  // now (with the note when a typed number cannot be stored).
  auto changed = [&](int i) {
    const bool isDate = (kinds[i] == 1 || kinds[i] == 5) && isDateSpec(listItem(config.columnSpecs, i));
    return isDate ? platform::dateValue(controls[i]) != values[i].shownDate
                  : platform::controlText(controls[i]) != values[i].shown;
  };
  auto typedValue = [&](int i, QString& value) -> QString {
    const int kind = static_cast<int>(leadingInteger(listItem(config.columnKinds, i)));
    const QString spec = listItem(config.columnSpecs, i);
    const QString title = listItem(config.columnTitles, i);
    const QString text = platform::controlText(controls[i]);
    if ((kind == 1 || kind == 5) && isDateSpec(spec)) {
      value = QString::number(platform::dateValue(controls[i]));
    } else if (kind == 1 || kind == 5) {
      qint64 number = 0;
      if (QString note = readWholeNumber(text, title, number); !note.isEmpty()) return note;
      value = QString::number(number);
    } else if (kind == 3 || kind == 4) {
      double number = 0;
      if (QString note = readReal(text, kind == 3, title, number); !note.isEmpty()) return note;
      value = common::decimalText(number);
    } else if (kind == 2 && isMultiLineSpec(spec)) {
      value = db::quoteText(withCrLf(text));  // the field holds the text itself, not its escaped form
    } else {
      value = db::quoteText(text);
    }
    return QString();
  };

  // 5. Waiting.
  bool save = false;
  for (bool done = false; !done;) {
    const platform::WindowEvent e = platform::waitWindowEvent();
    if (e.window != dialogWindow) {
      platform::showWindowNormal(dialogWindow);
      continue;
    }
    switch (e.kind) {
      case platform::EventKind::Shortcut:
        done = true;
        save = e.control == saveKey;
        break;
      case platform::EventKind::Control:
        if (e.type != platform::ControlEventType::LeftClick) break;
        if (e.control == platform::dialogControl(dialog.number(), QStringLiteral("dbStore"))) done = save = true;
        if (e.control == platform::dialogControl(dialog.number(), QStringLiteral("dbExit"))) done = true;
        break;
      case platform::EventKind::Close: done = true; break;
      case platform::EventKind::Size:
      case platform::EventKind::Maximise:
      case platform::EventKind::Restore: platform::refreshDialog(dialog.number()); break;
      default: break;
    }
    // A changed number that cannot be stored is not saved: the note, and the dialog stays.
    for (int i = 1; save && i < n; ++i) {
      if (!changed(i)) continue;
      QString value;
      if (const QString note = typedValue(i, value); !note.isEmpty()) {
        platform::messageBox(QStringLiteral("Hinweis"), note, platform::BoxIcon::Info);
        done = save = false;
      }
    }
  }

  // 6. Saving: only the columns the user changed. An edit updates them in its row; a copy
  // takes every other column from its source row as stored; a new row gets every field.
  if (save) {
    QString columnValues;
    QString copiedValues;
    QString assignments;
    for (int i = 1; i < n; ++i) {
      const QString field = listItem(config.fields, i);
      const bool written = choice.use == RecordChoice::New || changed(i);
      QString value;
      if (written) typedValue(i, value);  // checked before the dialog ended
      columnValues += QLatin1Char(',') + value;
      copiedValues += QLatin1Char(',') + (written ? value : field);
      if (written) assignments += (assignments.isEmpty() ? QString() : QStringLiteral(",")) + field + QLatin1Char('=') + value;
    }
    const QString idText = QString::number(recordId);
    QString sql;
    if (choice.use == RecordChoice::New)
      sql = QStringLiteral("INSERT INTO ") + config.table + QStringLiteral(" (") + config.fields +
            QStringLiteral(") VALUES (") + idText + columnValues + QStringLiteral(");");
    else if (choice.use == RecordChoice::Copy)
      sql = QStringLiteral("INSERT INTO ") + config.table + QStringLiteral(" (") + config.fields +
            QStringLiteral(") SELECT ") + idText + copiedValues + QStringLiteral(" FROM ") + config.table +
            QStringLiteral(" WHERE rowid=") + QString::number(choice.row) + QLatin1Char(';');
    else if (!assignments.isEmpty())
      sql = QStringLiteral("UPDATE ") + config.table + QStringLiteral(" SET ") + assignments +
            QStringLiteral(" WHERE rowid=") + QString::number(choice.row) + QLatin1Char(';');
    if (!sql.isEmpty() && !db::execute(database, sql)) failAndEnd(db::MessageForm::AccessError, sql);
  }

  // 7. Closing: the guard closes the window and frees the dialog.
  platform::removeAllShortcuts(dialogWindow);
  return recordId;
}

}  // namespace tableeditor
