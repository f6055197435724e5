// The record dialog: the ID and the row, the form's markup, the fields filled by kind and
// spec, the dialog's own loop, and the row written back as one INSERT or UPDATE.
#include "tableeditor/recorddialog.h"

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
#include <cstdlib>
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

// One value of the row as it was read, with the text its field was filled with.
struct FieldValue {
  qint64 integer = 0;
  double real = 0;
  QString text;    // the stored text, decoded
  QString shown;   // what the field showed once filled, as the control gives it back
};

// The text of a multi-line field as the table keeps it: line breaks as CR LF.
QString withCrLf(QString text) {
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  return text;
}

}  // namespace

QString recordMarkup(const BrowserConfig& config, int id, int windowWidth, const QList<int>& kinds) {
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

int editRecord(int window, db::Connection* database, int id, BrowserConfig& config) {
  // 1. The ID and the row.
  qint32 recordId = id;
  qint32 sourceId = id;
  if (id <= 0) {
    const QString highestSql = QStringLiteral("SELECT ID FROM ") + config.table + QStringLiteral(" ORDER BY ID DESC LIMIT 1;");
    db::Query highest(database, highestSql);
    if (!highest.ok()) failAndEnd(db::MessageForm::RequestError, highestSql);
    recordId = 1;
    if (highest.next())
      recordId = highest.int32(0) + 1;
    else if (highest.failed())
      failAndEnd(db::MessageForm::RequestError, highestSql);
    sourceId = id == 0 ? recordId : -id;
  }
  const QString rowSql = QStringLiteral("SELECT ") + config.fields + QStringLiteral(" FROM ") + config.table +
                         QStringLiteral(" WHERE ID=") + QString::number(sourceId) + QLatin1Char(';');
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
      platform::setDateValue(control, static_cast<qint32>(value.integer));
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
    // A float beyond what its column holds is not saved: the note, and the dialog stays.
    for (int i = 1; save && i < n; ++i) {
      const int kind = static_cast<int>(leadingInteger(listItem(config.columnKinds, i)));
      const QString text = platform::controlText(controls[i]);
      double number = 0;
      if ((kind == 3 || kind == 4) && !readReal(text, kind == 3, number)) {
        platform::messageBox(QStringLiteral("Hinweis"), tooLargeNote(text, listItem(config.columnTitles, i)),
                             platform::BoxIcon::Info);
        done = save = false;
      }
    }
  }

  // 6. Saving.
  if (save) {
    QString columnValues;
    QString assignments;
    for (int i = 1; i < n; ++i) {
      const int kind = static_cast<int>(leadingInteger(listItem(config.columnKinds, i)));
      const QString spec = listItem(config.columnSpecs, i);
      const QString text = platform::controlText(controls[i]);
      QString value;
      if ((kind == 1 || kind == 5) && isDateSpec(spec)) {
        value = QString::number(platform::dateValue(controls[i]));
      } else if (kind == 1 || kind == 5) {
        value = QString::number(leadingInteger(text));
      } else if (kind == 3 || kind == 4) {
        double number = 0;
        readReal(text, kind == 3, number);  // checked before the dialog ended
        value = common::decimalText(number);
      } else if (kind == 2 && isMultiLineSpec(spec)) {
        // The field holds the text itself, not its escaped form; left as it was filled, it
        // is written as it was read, line breaks and backslashes alike.
        value = db::quoteText(text == values[i].shown ? values[i].text : withCrLf(text));
      } else {
        value = db::quoteText(text);
      }
      columnValues += QLatin1Char(',') + value;
      assignments += QLatin1Char(',') + listItem(config.fields, i) + QLatin1Char('=') + value;
    }
    const QString idText = QString::number(recordId);
    const QString sql = id > 0 ? QStringLiteral("UPDATE ") + config.table + QStringLiteral(" SET ID=") + idText +
                                     assignments + QStringLiteral(" WHERE ID=") + idText + QLatin1Char(';')
                               : QStringLiteral("INSERT INTO ") + config.table + QStringLiteral(" (") + config.fields +
                                     QStringLiteral(") VALUES (") + idText + columnValues + QStringLiteral(");");
    if (!db::execute(database, sql)) failAndEnd(db::MessageForm::AccessError, sql);
  }

  // 7. Closing: the guard closes the window and frees the dialog.
  platform::removeAllShortcuts(dialogWindow);
  return recordId;
}

}  // namespace tableeditor
