// The commands "Maßnahmen bearb." and "Resultate bearb.": the table browser on the local
// measures or results, in a window of its own, with the settings of each table.
#pragma once

namespace app {

// Runs command 4 (measures) or 5 (results): the no-object message, or the browser in its
// window, closed when the browser returns.
void editTableCommand(bool results);

}  // namespace app
