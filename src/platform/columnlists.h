// Lists with columns: a title row, rows of text cells, optional full-row selection and grid.
// Rows are 20 pixels high and so is the title row, so a list of height H shows H / 20 - 1 rows.
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
