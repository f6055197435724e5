// Inside the scripted user only: what it sees and does at lists with columns and sliders.
// The row, columns and slider lines of the transcript; cell clicks and header presses.
#pragma once

#include <QString>

#include "platform/scripteduser.h"

class QTableWidget;
class QWidget;

namespace platform::scripted {

// Writes a "columns" line for every named list with columns whose columns changed and a
// "slider" line for every named slider shown anew or changed since its last line.
void recordTableControls();

// Writes a "row" line for every row of a list with columns that was filled anew.
void recordTableRows(const QString& name, QTableWidget* table);

// click LIST ROW COLUMN, dclick LIST ROW COLUMN: a click on that cell.
void playCellClick(QWidget* control, const ScriptAction& action);

// header LIST COLUMN: the left button pressed and released in the header over that column.
void playHeader(QWidget* control, const ScriptAction& action);

// resize LIST COLUMN WIDTH: the right border of that column's title dragged with the left
// button until the column is WIDTH pixels wide.
void playColumnResize(QWidget* control, const ScriptAction& action);

}  // namespace platform::scripted
