// The record dialog: one row of the browsed table as a form generated as dialog markup,
// for editing a row, creating one, or creating a copy of one under a new ID.
#pragma once

#include "tableeditor/browser.h"

namespace tableeditor {

// id > 0 edits that row, 0 creates a row, a negative id creates a copy of row -id. Returns
// the ID the dialog worked on, whether the user saved or cancelled; -1 when the dialog could
// not be built (after its message). A failed query or statement ends the program after its
// message. window is the browser's window: the form is at least half as wide.
int editRecord(int window, db::Connection* database, int id, BrowserConfig& config);

// The markup of the form, as editRecord opens it.
QString recordMarkup(const BrowserConfig& config, int id, int windowWidth, const QList<int>& kinds);

}  // namespace tableeditor
