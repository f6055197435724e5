// The message forms of database failures: one place for their titles, texts and icons.
#include "db/messages.h"

#include "db/database.h"

namespace db {

void reportFailure(MessageForm form, const QString& statement) {
  const QString error = lastError();
  QString title = QStringLiteral("Fehler");
  QString text;
  switch (form) {
    case MessageForm::QueryFailed:
      title = QStringLiteral("Datenbankfehler");
      text = u"Die Abfrage "_qs + statement + u" konnte nicht ausgeführt werden: "_qs + error;
      break;
    case MessageForm::QueryError:
      text = u"Abfrage "_qs + statement + u" hat folgende Fehlermeldung ergeben:"_qs + error;
      break;
    case MessageForm::TableError:
      text = u"Datanbankabfrage "_qs + statement + u" Fehlermeldung "_qs + error;
      break;
    case MessageForm::RequestError:
      text = u"Die Datenbankabfrage "_qs + statement + u" ergab folgenden Fehler: "_qs + error;
      break;
    case MessageForm::AccessError:
      text = u"Datenbankzugriff "_qs + statement + u" ergab Fehler "_qs + error;
      break;
  }
  platform::messageBox(title, text, platform::BoxIcon::Error);
}

void reportOpenFailure(const QString& objectName, platform::BoxIcon icon) {
  platform::messageBox(QStringLiteral("Fehler"),
                       u"Datenbank "_qs + objectName + u" kann nicht geöffnet werden. "_qs + lastError(),
                       icon);
}

}  // namespace db
