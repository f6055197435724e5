// The table browser: one local table as a paged, sortable list with in-place cell editing,
// deleting, and the record dialog for editing, copying and creating rows.
#pragma once

#include <QString>
#include <QtGlobal>

namespace db {
struct Connection;
}

namespace tableeditor {

// What the browser knows about its table; the caller fills it in before each use and the
// browser reads and updates it. The lists are comma-separated, one item per column, in
// display order; the first field is ID, the table's integer key.
struct BrowserConfig {
  qint32 firstRow = 0;  // index of the first row of the result that the page shows
  qint32 pageSize = 0;  // rows per page, computed by the browser
  QString table{};
  QString filter{};       // inserted after the table name in both queries
  QString orderClause{};  // the ORDER BY clause of the data query; header clicks replace it
  QString fields{};
  QString columnTitles{};
  QString columnSpecs{};
  QString columnKinds{};  // db::ColumnKind codes; built by the browser on its first fill
};

// The names a script finds the browser's controls by.
inline const QString browserSliderName = QStringLiteral("tableSlider");
inline const QString browserListName = QStringLiteral("tableList");

// Runs the browser in the window until the user closes it (Esc, close box) or a database
// failure has been reported. The caller opens and closes the window.
int browseTable(int window, db::Connection* database, BrowserConfig& config);

// The column of the list under the window x, -1 when there is none.
int columnAtX(int list, int x);

}  // namespace tableeditor
