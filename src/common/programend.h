// Ending the program from anywhere: after a fatal failure's message, "Beenden", the close box.
// The throw unwinds every open window, query and connection; the top of the run catches it.
#pragma once

namespace common {

// Thrown by endProgram; caught by the application's run, which closes the local database.
struct ProgramEnd {
  int exitCode = 0;
};

[[noreturn]] void endProgram(int exitCode = 0);

}  // namespace common
