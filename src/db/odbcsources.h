// The user's ODBC data sources as the driver manager lists them.
#pragma once

#include <QStringList>

namespace db {

// Appends the names of the user's data sources, in the driver manager's order. Returns
// false when the list cannot be read; the names read until then stay appended.
bool userDataSources(QStringList& names);

}  // namespace db
