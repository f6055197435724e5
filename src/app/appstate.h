// The one application state: configuration, current object, its local database, the main
// window with its two lists, the icon set and the server's known objects. Only the start-up,
// chooseObject and the first full reading of the object list change it.
#pragma once

#include "db/database.h"
#include "db/serverdb.h"

#include <QMap>
#include <QString>
#include <QStringList>

namespace app {

inline const QString programVersion = QStringLiteral("3.1.11123");
inline const QString noObject = QStringLiteral("nicht ausgewählt");

struct AppState {
  QString programFolder;      // with the trailing separator
  db::ServerSettings config;  // DB_MODE, DB_HOST, DB_PORT, DB_USER, DB_PASS
  QString currentObject = noObject;
  db::Connection* localDb = nullptr;
  int mainWindow = 0;
  int commandList = 0;
  int objectList = 0;
  QString aboutText;
  QMap<QString, int> images;  // icon name -> image number
  QString noObjectsReason;    // why the last fill found no object; empty when it found some
  QStringList serverSchemas;  // the objects a MariaDB server listed, kept once read in full
};

AppState& state();

// Resets the state to that of a program that has not started, closing what is open.
void resetState();

}  // namespace app
