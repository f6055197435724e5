// The browser settings of the device's two editable tables, the measures and the results.
#pragma once

#include "tableeditor/browser.h"

namespace tableeditor {

// The settings of the measures ("Maßnahmen bearb.") and of the results ("Resultate bearb."),
// with first row and page size 0 and no column kinds yet.
BrowserConfig measureBrowserConfig();
BrowserConfig resultBrowserConfig();

}  // namespace tableeditor
