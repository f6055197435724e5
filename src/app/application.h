// The whole program run: start-up, the main loop with its commands, and the end.
#pragma once

#include <QString>

namespace app {

// Runs the program with its files in programFolder (with trailing separator). Returns the
// exit code when the program ends, whichever way; the local database is closed by then.
int runApplication(const QString& programFolder);

// Runs the command of a position of the command list (0..8); other positions do nothing.
// Returns false when the command ends the main loop ("Beenden").
bool runCommand(int position);

}  // namespace app
