// The check at start-up whether a version other than the program's own has been published:
// first on the maker's version server, then in every ODBC database that the user names.
#pragma once

#include <QString>
#include <QStringList>

namespace app {

// Where the notice sends the user, and the page the start-up opens after it.
inline const QString makerWebAddress = QStringLiteral("https://www.varnothm.example");
inline const QString downloadPage = QStringLiteral("https://www.varnothm.example/download/");

// The version server. Host, port and password are fixed; the environment variables
// VARNOTHM_VERSION_HOST, VARNOTHM_VERSION_PORT and VARNOTHM_VERSION_PASS replace them, for
// tests and for installations that run a version server of their own.
struct VersionServer {
  QString host;
  QString port;
  QString password;
};
VersionServer versionServer();

// The notice text, or the empty text when no other version was found. Reports nothing.
QString checkVersion();

// Appends the "DATABASE" setting, trimmed, of every user data source whose name is not
// excluded; returns the list size.
int listOdbcDatabases(QStringList& names);

// The notice for a published row of the version table.
QString versionNotice(const QString& programm, const QString& version, const QString& anmerkung);

}  // namespace app
