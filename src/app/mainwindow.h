// The main window's services: its two icon lists, their layout and filling, the status bar,
// the icon set, the objects the server offers, and the choice of the current object.
#pragma once

#include "common/mainscreen.h"

#include <QString>
#include <QStringList>

namespace app {

// The thirteen icons by name; an icon that cannot be decoded stays absent.
void loadImages();
int image(const QString& name);  // 0 when absent

// Places both lists by the inner size of the main window and arranges their icons anew.
void layoutMainLists();

// Field 0 text (plain) and field 1 progress 0..99; nothing while there is no status bar.
void setStatusText(const QString& text);
void setStatusProgress(int value);

// The nine commands and the objects of the server, then the layout.
void fillMainLists();

// Appends the user's ODBC data sources less the excluded ones; the list size, -1 when
// the data-source list cannot be read.
int listOdbcSources(QStringList& names);

// Appends the schemas of the MariaDB server less "information_schema" and "version";
// returns how many it appended. A failure's cause goes to *failure when given.
int listMariaDbSchemas(const QString& host, const QString& port, const QString& user,
                       const QString& password, QStringList& names, QString* failure = nullptr);

// Why the object list of the last fill is empty, for the status bar; empty when it holds
// objects.
QString emptyObjectListReason();

// Opens (creating folder, file and tables when needed) the current object's local database.
// A folder or file that cannot be made or opened is reported and ends the program.
void openLocalDatabase();

// Makes the object current, opens its local database, names it in title and command item 0.
void chooseObject(const QString& name);

// The main window and its services as the commands see them.
common::MainScreen mainScreen();

// "VarnothM Objekt " + the current object in upper case, and command item 0 its name.
void showCurrentObject();

}  // namespace app
