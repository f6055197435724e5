// The fixed forms in which the program reports a failed database operation. Each quotes
// the complete statement and the connection layer's last error text.
#pragma once

#include "platform/boxes.h"

#include <QString>

namespace db {

enum class MessageForm {
  QueryFailed,      // "Datenbankfehler": "Die Abfrage … konnte nicht ausgeführt werden: …"
  QueryError,       // "Fehler": "Abfrage … hat folgende Fehlermeldung ergeben:…"
  TableError,       // "Fehler": "Datanbankabfrage … Fehlermeldung …"
  RequestError,     // "Fehler": "Die Datenbankabfrage … ergab folgenden Fehler: …"
  AccessError,      // "Fehler": "Datenbankzugriff … ergab Fehler …"
};

// Shows the form for the statement with lastError() appended.
void reportFailure(MessageForm form, const QString& statement);

// "Datenbank <object> kann nicht geöffnet werden. <error>", title "Fehler".
void reportOpenFailure(const QString& objectName, platform::BoxIcon icon = platform::BoxIcon::Error);

}  // namespace db
