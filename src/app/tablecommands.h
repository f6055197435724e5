// The commands "Maßnahmen bearb." and "Resultate bearb.": the table browser on the local
// measures or results, in a window of its own, with the settings of each table.
#pragma once

#include "tableeditor/browser.h"

namespace app {

// The browser settings of the measures (command 4) and of the results (command 5), with
// first row and page size 0 and no column kinds yet.
tableeditor::BrowserConfig measureBrowserConfig();
tableeditor::BrowserConfig resultBrowserConfig();

// Runs command 4 (measures) or 5 (results): the no-object message, or the browser in its
// window, closed when the browser returns.
void editTableCommand(bool results);

}  // namespace app
