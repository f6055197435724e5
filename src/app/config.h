// The configuration file "VarnothM.CFG" beside the program: five settings, read once.
#pragma once

#include "db/serverdb.h"

namespace app {

inline const QString defaultHost = QStringLiteral("localhost");
inline const QString defaultPassword = QStringLiteral("Varnoth");

// Reads "key = value" lines at the top level of the file. A missing or unreadable file
// leaves all five values empty; a file that lacks a key gives that key's default.
db::ServerSettings readConfiguration(const QString& file);

}  // namespace app
