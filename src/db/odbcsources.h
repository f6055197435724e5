// The user's ODBC data sources as the driver manager lists them, and their settings.
#pragma once

#include <QStringList>
#include <optional>

namespace db {

// Appends the names of the user's data sources, in the driver manager's order, each as the
// data-source file writes it (UTF-8). Returns false when the list cannot be read (lastError()
// tells why); the names read until then stay appended.
bool userDataSources(QStringList& names);

// The file the driver manager keeps the user's data sources in: $ODBCINI, or ~/.odbc.ini.
QString userDataSourceFile();

// A setting of one of the user's data sources (the key is matched without regard to case),
// read through the driver manager's profile functions: at most 1000 characters, untrimmed.
// Nothing when the source or the key is absent.
std::optional<QString> dataSourceSetting(const QString& source, const QString& key);

}  // namespace db
