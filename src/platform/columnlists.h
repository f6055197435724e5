// Lists with columns: a title row, rows of text cells, optional full-row selection and grid.
// Rows are 20 pixels high; the frame, the title row and a horizontal scroll bar take their
// share of the height, so visibleRowCount says how many rows a list shows whole. A click on
// a column's title (not the drag of its border) is a HeaderClick event of the list.
#pragma once

#include <QString>

namespace platform {

int createColumnList(int window, int x, int y, int width, int height, const QString& name = {});

void addColumn(int list, const QString& title, int width);
int columnCount(int list);
void setColumnWidth(int list, int column, int width);
int columnWidth(int list, int column);  // 0 when there is no such column
// Where the left edge of column 0 stands, in the window's coordinates: the list's left edge,
// its frame, less what the list has scrolled to the left.
int columnOrigin(int list);

// How many whole rows the list shows at once with its present size and column widths.
int visibleRowCount(int list);

// Appends a row; its cells are separated by line feeds.
void addRow(int list, const QString& cells);
int rowCount(int list);
void setCellText(int list, int row, int column, const QString& text);
QString cellText(int list, int row, int column);
int selectedRow(int list);  // -1 when no row is selected
void selectRow(int list, int row);
void clearRows(int list);

void setFullRowSelect(int list, bool on);
void setGridLines(int list, bool on);

}  // namespace platform
