// Ending the program: one exception type that the application's top level catches.
#include "common/programend.h"

namespace common {

void endProgram(int exitCode) { throw ProgramEnd{exitCode}; }

}  // namespace common
