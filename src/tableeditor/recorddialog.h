// The record dialog: one row of the browsed table as a form generated as dialog markup,
// for editing a row, creating one, or creating a copy of one under a new ID.
#pragma once

#include "tableeditor/browser.h"

#include <QList>

namespace tableeditor {

// Which row the dialog works on. A row is named by the table's own row number (rowid): the
// local tables have no key, so one ID may stand in several rows, or in none.
struct RecordChoice {
  enum Use { Edit, Copy, New } use = New;
  qint64 row = 0;  // the rowid of the row to edit or to copy
};

// The largest ID a new row may get: the servers keep IDs as 32-bit integers.
inline constexpr qint64 largestNewId = 2147483647;

// Returns the ID the dialog worked on (the row's own, or the new ID of a new row or copy),
// whether the user saved or cancelled; -1 when the dialog could not be built or no new ID
// is left (after its message). Saving writes only the values the user changed: an edited
// row keeps every other column as stored, a copy takes them from its source row as stored.
// A failed query or statement ends the program after its message. window is the browser's
// window: the form is at least half as wide.
qint64 editRecord(int window, db::Connection* database, RecordChoice choice, BrowserConfig& config);

// The markup of the form, as editRecord opens it.
QString recordMarkup(const BrowserConfig& config, qint64 id, int windowWidth, const QList<int>& kinds);

}  // namespace tableeditor
