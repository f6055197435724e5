// The table browser: its loop of layout, re-reading and one event at a time; the page read
// with LIMIT and OFFSET so that the last page of a large table costs no more than the first.
#include "tableeditor/browser.h"

#include "common/dates.h"
#include "common/numbers.h"
#include "db/database.h"
#include "db/messages.h"
#include "db/quoting.h"
#include "platform/boxes.h"
#include "platform/columnlists.h"
#include "platform/controls.h"
#include "platform/events.h"
#include "platform/windows.h"
#include "tableeditor/cellformat.h"
#include "tableeditor/pickers.h"
#include "tableeditor/recorddialog.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <vector>

namespace tableeditor {

namespace {

// The shortcut numbers are the keys' virtual-key codes.
enum Key {
  keyReturn = 13,
  keyEscape = 27,
  keyPageUp = 33,
  keyPageDown = 34,
  keyEnd = 35,
  keyHome = 36,
  keyInsert = 45,
  keyDelete = 46,
};

const std::pair<int, Qt::Key> shortcuts[] = {
    {keyEscape, Qt::Key_Escape}, {keyReturn, Qt::Key_Return}, {keyInsert, Qt::Key_Insert},
    {keyDelete, Qt::Key_Delete}, {keyPageUp, Qt::Key_PageUp}, {keyPageDown, Qt::Key_PageDown},
    {keyHome, Qt::Key_Home},     {keyEnd, Qt::Key_End}};

struct Browser {
  int window = 0;
  db::Connection* database = nullptr;
  BrowserConfig* config = nullptr;
  int slider = 0;
  int list = 0;
  qint32 rowCount = 0;
  // The table's own row number (rowid) of each row the list shows: IDs need not be unique
  // in the local tables, nor present, so every action on a row names it by this number.
  std::vector<qint64> rows;
  bool columnsMade = false;  // the first successful fill made the columns
  bool layoutPending = true;
  bool rereadPending = true;
  bool quit = false;
};

// The browser's controls and shortcuts go on every path out, a program end included.
struct BrowserControls {
  Browser& b;
  ~BrowserControls() {
    for (const auto& [number, key] : shortcuts) platform::removeShortcut(b.window, number);
    platform::freeControl(b.list);
    platform::freeControl(b.slider);
  }
};

void reportRequest(const QString& sql) { db::reportFailure(db::MessageForm::RequestError, sql); }
void reportAccess(const QString& sql) { db::reportFailure(db::MessageForm::AccessError, sql); }

// A page holds the rows the list shows whole, under its title row and above its scroll bar,
// so that the last row of a page is never hidden; at least 3.
qint32 rowsThatFit(const Browser& b) { return qMax(3, platform::visibleRowCount(b.list)); }

void layOut(Browser& b) {
  const int width = platform::windowClientWidth(b.window);
  const int height = platform::windowClientHeight(b.window);
  platform::setControlGeometry(b.slider, 5, 5, width - 10, 25);
  platform::setControlGeometry(b.list, 5, 35, width - 10, height - 50);
  b.config->pageSize = rowsThatFit(b);
  b.rereadPending = true;
}

// One cell of the list by the kind of its result column; false for a kind the browser
// does not know.
bool cellOf(const db::Query& query, int column, const QString& spec, QString& cell) {
  switch (static_cast<int>(query.columnKind(column))) {
    case 1:
    case 5: cell = formatIntegerCell(query.int64(column), spec); return true;
    case 3:
    case 4: cell = formatRealCell(query.real(column), spec); return true;
    case 2: {
      const QString text = db::unescapeText(query.text(column));
      cell = padToSpec(isMultiLineSpec(spec) ? escapeControls(text) : keepPrintable(text), spec);
      return true;
    }
    default: return false;
  }
}

// The data query of the page: only its rows, LIMIT and OFFSET, each with its rowid last.
// Sorted by one column, a page in the later half of the table is read from the end in the
// opposite order (fromEnd), so that End costs what Home costs: the database then keeps the
// rows up to the page's end while it sorts, not the whole table. The row number breaks ties
// in both directions, so the pages read either way are the mirror images of each other.
QString pageQuery(const BrowserConfig& c, qint32 rowCount, bool& fromEnd) {
  static const QRegularExpression singleColumn(
      QStringLiteral("^\\s*ORDER\\s+BY\\s+([A-Za-z_][A-Za-z0-9_]*)(?:\\s+(ASC|DESC))?\\s*$"),
      QRegularExpression::CaseInsensitiveOption);
  const QString head = QStringLiteral("SELECT ") + c.fields + QStringLiteral(",rowid FROM ") + c.table +
                       QLatin1Char(' ') + c.filter + QLatin1Char(' ');
  const QRegularExpressionMatch order = singleColumn.match(c.orderClause);
  fromEnd = false;
  if (!order.hasMatch())
    return head + c.orderClause + QStringLiteral(" LIMIT ") + QString::number(c.pageSize) + QStringLiteral(" OFFSET ") +
           QString::number(c.firstRow) + QLatin1Char(';');
  const QString field = order.captured(1);
  const bool descending = order.captured(2).compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0;
  const qint32 rowsOfPage = qMax<qint32>(0, qMin<qint32>(c.pageSize, rowCount - c.firstRow));
  fromEnd = rowsOfPage > 0 && c.firstRow + rowsOfPage / 2 > rowCount / 2;
  const bool down = descending != fromEnd;
  const QString direction = down ? QStringLiteral(" DESC") : QStringLiteral(" ASC");
  const qint32 offset = fromEnd ? rowCount - c.firstRow - rowsOfPage : c.firstRow;
  return head + QStringLiteral("ORDER BY ") + field + direction + QStringLiteral(", rowid") + direction +
         QStringLiteral(" LIMIT ") + QString::number(fromEnd ? rowsOfPage : c.pageSize) + QStringLiteral(" OFFSET ") +
         QString::number(offset) + QLatin1Char(';');
}

// Re-reads the page: the row count, the first-row correction, the slider, then only the
// rows of the page. The list shows what skipping first-row rows of the whole result would
// show; the database skips them instead of the program.
void reread(Browser& b) {
  BrowserConfig& c = *b.config;
  // Every row counts, also one without ID: the pages are read by the same rows.
  const QString countSql = QStringLiteral("SELECT COUNT(*) FROM ") + c.table + QLatin1Char(' ') + c.filter + QLatin1Char(';');
  {
    db::Query count(b.database, countSql);
    if (!count.ok()) {
      reportRequest(countSql);
      b.quit = true;
      return;
    }
    b.rowCount = 0;
    if (count.next()) {
      b.rowCount = count.int32(0);
    } else if (count.failed()) {
      reportRequest(countSql);
      b.quit = true;
      return;
    }
  }
  if (c.firstRow >= b.rowCount) c.firstRow = b.rowCount - c.pageSize;
  if (c.firstRow < 0) c.firstRow = 0;
  platform::setSliderRange(b.slider, 0, b.rowCount);
  platform::setSliderPosition(b.slider, c.firstRow);

  bool fromEnd = false;
  const QString dataSql = pageQuery(c, b.rowCount, fromEnd);
  db::Query data(b.database, dataSql);
  if (!data.ok()) {
    reportRequest(dataSql);
    b.quit = true;
    return;
  }
  const int n = data.columnCount() - 1;  // the rowid is not shown
  if (!b.columnsMade) {
    b.columnsMade = true;
    QStringList kinds{QStringLiteral("1")};
    for (int i = 1; i < n; ++i) {
      kinds.append(QString::number(static_cast<int>(data.columnKind(i))));
      platform::addColumn(b.list, listItem(c.columnTitles, i), 0);
    }
    c.columnKinds = kinds.join(QLatin1Char(','));
  }
  for (int i = 0; i < n; ++i) platform::setColumnWidth(b.list, i, 10 * specCharWidth(listItem(c.columnSpecs, i)));
  // The columns' widths decide whether a scroll bar takes a row's room: read again with
  // the page size that fits now.
  if (const qint32 fits = rowsThatFit(b); fits != c.pageSize) {
    c.pageSize = fits;
    b.rereadPending = true;
    return;
  }
  platform::clearRows(b.list);
  b.rows.clear();
  bool unknownKind = false;
  QStringList rows;
  std::vector<qint64> rowids;
  for (int added = 0; added < c.pageSize && data.next(); ++added) {
    QStringList cells;
    for (int i = 0; i < n; ++i) {
      QString cell;
      if (!cellOf(data, i, listItem(c.columnSpecs, i), cell)) {
        platform::messageBox(QStringLiteral("Fehler"), QStringLiteral("Unbekannter Feldtyp"), platform::BoxIcon::Error);
        cell = cells.isEmpty() ? QString() : cells.back();
        unknownKind = true;
      }
      cells.append(cell);
    }
    rows.append(cells.join(QLatin1Char('\n')));
    rowids.push_back(data.int64(n));
  }
  if (fromEnd) {
    std::reverse(rows.begin(), rows.end());
    std::reverse(rowids.begin(), rowids.end());
  }
  for (const QString& row : rows) platform::addRow(b.list, row);
  b.rows = std::move(rowids);
  if (data.failed()) {
    reportRequest(dataSql);
    b.quit = true;
  }
  if (unknownKind) b.quit = true;
}

// The ID a row of the list shows, 0 when it shows no number ("---").
qint64 idOfRow(const Browser& b, int row) { return leadingInteger(platform::cellText(b.list, row, 0)); }

// The ID of the selected row, 0 when no row is selected or its ID shows no number.
qint64 selectedId(const Browser& b) {
  const int row = platform::selectedRow(b.list);
  return row < 0 ? 0 : idOfRow(b, row);
}

// The rowid of a row of the list, 0 when the list has no such row.
qint64 rowidOf(const Browser& b, int row) {
  return row >= 0 && row < static_cast<int>(b.rows.size()) ? b.rows[row] : 0;
}

QString whereRow(qint64 rowid) { return QStringLiteral(" WHERE rowid=") + QString::number(rowid) + QLatin1Char(';'); }

void openRecord(Browser& b, RecordChoice choice) {
  if (editRecord(b.window, b.database, choice, *b.config) != -1) b.rereadPending = true;
}

void deleteSelected(Browser& b) {
  const int row = platform::selectedRow(b.list);
  const qint64 id = selectedId(b);
  if (id == 0) return;
  const QString question = QStringLiteral("Wollen Sie Eintrag mit ID=") + QString::number(id) +
                           QStringLiteral(" wirklich löschen?");
  if (platform::messageBox(QStringLiteral("Frage"), question, platform::BoxIcon::Warning,
                           platform::BoxButtons::YesNo) != platform::BoxAnswer::Yes)
    return;
  const QString sql = QStringLiteral("DELETE FROM ") + b.config->table + whereRow(rowidOf(b, row));
  if (!db::execute(b.database, sql)) {
    reportAccess(sql);
    b.quit = true;
    return;
  }
  b.rereadPending = true;
}

// Two texts that differ at most in the form of their line breaks (CR LF, LF or CR).
bool sameLines(QString a, QString b) {
  for (QString* text : {&a, &b}) text->replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return a == b;
}

// The stored value of a date column in one row, for the picker to start from: the cell
// shows no seconds, and a value past what a date value holds as a number.
bool storedDate(Browser& b, const QString& field, qint64 rowid, qint64& date) {
  const QString sql = QStringLiteral("SELECT ") + field + QStringLiteral(" FROM ") + b.config->table + whereRow(rowid);
  db::Query query(b.database, sql);
  const bool found = query.ok() && query.next();
  if (!found && (!query.ok() || query.failed())) {
    reportRequest(sql);
    b.quit = true;
    return false;
  }
  date = found ? query.int64(0) : 0;
  return true;
}

// Shows a note when a typed number cannot be stored; true when it can.
bool acceptable(const QString& note) {
  if (!note.isEmpty()) platform::messageBox(QStringLiteral("Hinweis"), note, platform::BoxIcon::Info);
  return note.isEmpty();
}

// Edits one cell in place. The editor by the column's kind and spec; an empty answer, a
// cancel or an answer left as it was offered writes nothing.
void editCell(Browser& b, int row, int column) {
  const BrowserConfig& c = *b.config;
  const qint64 rowid = rowidOf(b, row);
  const int kind = static_cast<int>(leadingInteger(listItem(c.columnKinds, column)));
  const QString spec = listItem(c.columnSpecs, column);
  const QString field = listItem(c.fields, column);
  const QString title = listItem(c.columnTitles, column);
  const QString current = platform::cellText(b.list, row, column).trimmed();
  QString cell;
  QString value;
  if ((kind == 1 || kind == 5) && isDateSpec(spec)) {
    qint64 stored = 0;
    if (!storedDate(b, field, rowid, stored)) return;
    const qint32 start = common::dateWithin(stored);
    const qint32 picked = pickDateTime(title, spec, start);
    if (picked < 0 || picked == start) return;
    cell = formatIntegerCell(picked, spec);
    value = QString::number(picked);
  } else if (kind == 1 || kind == 5 || kind == 3 || kind == 4) {
    const QString offered = QString(current).remove(QStringLiteral("---"));
    const QString answer = platform::inputBox(title, QString(), offered);
    if (answer.trimmed().isEmpty() || answer.trimmed() == offered.trimmed()) return;
    if (kind == 3 || kind == 4) {
      double number = 0;
      if (!acceptable(readReal(answer, kind == 3, title, number))) return;
      cell = formatRealCell(number, spec);
      value = common::decimalText(number);
    } else {
      qint64 number = 0;
      if (!acceptable(readWholeNumber(answer, title, number))) return;
      cell = formatIntegerCell(number, spec);
      value = QString::number(number);
    }
  } else if (kind == 2 && isMultiLineSpec(spec)) {
    const QString start = unescapeControls(current);
    const QString edited = editLongText(title, start);
    const QString text = escapeControls(edited);
    if (text.isEmpty() || sameLines(edited, start)) return;
    cell = padToSpec(text.trimmed(), spec);
    value = db::quoteText(unescapeControls(text));
  } else if (kind == 2) {
    const QString start = keepPrintable(current);
    const QString text = keepPrintable(platform::inputBox(title, QString(), start));
    if (text.isEmpty() || text == start) return;
    cell = padToSpec(text.trimmed(), spec);
    // A single-line text holds no escapes: its backslashes are characters of their own.
    value = db::quoteText(text);
  } else {
    return;
  }
  platform::setCellText(b.list, row, column, cell);
  const QString sql = QStringLiteral("UPDATE ") + c.table + QStringLiteral(" SET ") + field + QLatin1Char('=') + value +
                      whereRow(rowid);
  if (!db::execute(b.database, sql)) {
    reportAccess(sql);
    b.quit = true;
  }
}

// A click on a column's title sorts by that column; the press that starts widening a
// column is no click.
void headerClick(Browser& b) {
  const int column = columnAtX(b.list, platform::windowPointerX(b.window));
  if (column < 0) return;
  BrowserConfig& c = *b.config;
  const QString field = listItem(c.fields, column);
  if (c.orderClause.contains(field) && c.orderClause.contains(QLatin1String("ASC")))
    c.orderClause = QStringLiteral("ORDER BY ") + field + QStringLiteral(" DESC");
  else
    c.orderClause = QStringLiteral("ORDER BY ") + field + QStringLiteral(" ASC");
  b.rereadPending = true;
}

void shortcut(Browser& b, int number) {
  BrowserConfig& c = *b.config;
  switch (number) {
    case keyEscape: b.quit = true; break;
    case keyReturn:
      if (selectedId(b) != 0) openRecord(b, {RecordChoice::Edit, rowidOf(b, platform::selectedRow(b.list))});
      break;
    case keyInsert:
      if (platform::selectedRow(b.list) < 0)
        openRecord(b, {RecordChoice::New, 0});
      else if (selectedId(b) != 0)
        openRecord(b, {RecordChoice::Copy, rowidOf(b, platform::selectedRow(b.list))});
      break;
    case keyDelete: deleteSelected(b); break;
    case keyPageUp:
      c.firstRow -= c.pageSize;
      b.rereadPending = true;
      break;
    case keyPageDown:
      c.firstRow += c.pageSize;
      b.rereadPending = true;
      break;
    case keyHome:
      c.firstRow = 0;
      b.rereadPending = true;
      break;
    case keyEnd:
      c.firstRow = b.rowCount - c.pageSize;
      b.rereadPending = true;
      break;
    default: break;
  }
}

void handle(Browser& b, const platform::WindowEvent& e) {
  if (e.window != b.window) {
    // The browser is modal: another window's event only brings it back to the front.
    platform::showWindowNormal(b.window);
    return;
  }
  switch (e.kind) {
    case platform::EventKind::Close: b.quit = true; break;
    case platform::EventKind::Size:
    case platform::EventKind::Maximise:
    case platform::EventKind::Restore: b.layoutPending = true; break;
    case platform::EventKind::Shortcut: shortcut(b, e.control); break;
    case platform::EventKind::Control:
      if (e.control == b.slider && e.type == platform::ControlEventType::Change) {
        b.config->firstRow = platform::sliderPosition(b.slider);
        b.rereadPending = true;
      } else if (e.control == b.list && e.type == platform::ControlEventType::HeaderClick) {
        headerClick(b);
      } else if (e.control == b.list && e.type == platform::ControlEventType::LeftDoubleClick) {
        shortcut(b, keyReturn);
      } else if (e.control == b.list && e.type == platform::ControlEventType::LeftClick) {
        const int row = platform::selectedRow(b.list);
        const int column = columnAtX(b.list, platform::windowPointerX(b.window));
        if (row >= 0 && column >= 1 && selectedId(b) != 0) editCell(b, row, column);
      }
      break;
    default: break;
  }
}

}  // namespace

int columnAtX(int list, int x) {
  // From the left edge of column 0: a list scrolled to the right shows its later columns
  // under the pointer, and those are the ones the person means.
  x -= platform::columnOrigin(list);
  int column = 0;
  while (x >= 1) {
    const int width = platform::columnWidth(list, column);
    if (width == 0) return -1;
    x -= width;
    ++column;
  }
  return column - 1;
}

int browseTable(int window, db::Connection* database, BrowserConfig& config) {
  Browser b;
  b.window = window;
  b.database = database;
  b.config = &config;
  const int width = platform::windowClientWidth(window);
  const int height = platform::windowClientHeight(window);
  b.slider = platform::createSlider(window, 5, 5, width - 10, 25, 0, 0);
  platform::setControlName(b.slider, browserSliderName);
  b.list = platform::createColumnList(window, 5, 35, width - 10, height - 50, browserListName);
  platform::setFullRowSelect(b.list, true);
  platform::setGridLines(b.list, true);
  platform::addColumn(b.list, QStringLiteral("ID"), 0);
  for (const auto& [number, key] : shortcuts) platform::addShortcut(window, number, key);
  const BrowserControls cleanup{b};

  while (!b.quit) {
    if (b.layoutPending) {
      b.layoutPending = false;
      layOut(b);
    }
    if (b.rereadPending) {
      b.rereadPending = false;
      reread(b);
      if (b.quit) break;
    }
    handle(b, platform::waitWindowEvent());
  }
  return 0;
}

}  // namespace tableeditor
