// The transfers between an object's server database and its local database: outlets and
// dialog definitions, the measures of a day, and the recorded work going back.
#pragma once

#include "common/mainscreen.h"
#include "db/database.h"
#include "db/serverdb.h"

#include <QList>

namespace transfer {

// Copies the whole server table into the local table of that name, driven by the server's
// columns. Rows inserted, or -1 after a reported failure; the local table is then unchanged.
int copyServerTable(const QString& table, db::Connection* server, db::Connection* local,
                    const common::MainScreen& screen);

// Replaces the local xele rows by the server's rows of the group, decoded. Rows stored,
// or -1 after a reported failure; the local table is then unchanged.
int fetchDialogGroup(db::Connection* server, db::Connection* local, const QString& group,
                     const common::MainScreen& screen);

// Appends column 0 of "SELECT modifier column FROM  table condition;" to the list.
// The list's size, or -1 after a reported failure.
int selectIntegerColumn(db::Connection* c, const QString& table, const QString& column,
                        const QString& modifier, const QString& condition, QList<qint32>& values);

// Replaces the local measures by the server's measures due from..to (both included).
// Measures copied, or -1 after a reported failure; the local table is then unchanged.
int fetchDueMeasures(db::Connection* server, db::Connection* local, qint32 from, qint32 to,
                     const common::MainScreen& screen);

// Empties a table by the database's kind: 1, or -1 (reported, or an unknown kind).
int clearTable(db::Connection* c, const QString& table);

// Sends every local measure (update by ID, or insert under the server's highest ID + 1)
// and appends every local result. Each returns the rows sent or -1 after a reported failure.
// sentAsNew, when given, counts the measures that went in as new rows because their
// execution on the server had changed since the fetch.
int returnMeasures(db::Connection* server, db::Connection* local, const common::MainScreen& screen,
                   int* sentAsNew = nullptr);
int returnResults(db::Connection* server, db::Connection* local, const common::MainScreen& screen);

// The day choice in the main window: the days with open measures on the server. Returns
// 00:00:00 of the chosen day, or 0 when the user goes back.
void showDueDays(db::Connection* server, const QString& commandText, const common::MainScreen& screen);
qint32 chooseDueDay(db::Connection* server, const QString& commandText, const common::MainScreen& screen);

// The three commands. Without a local database they only say so; a server that cannot be
// opened is reported and ends the program. The caller refills the main lists afterwards
// where the command asks for it ("Daten abholen", "Daten abgeben").
void fetchOutletsCommand(db::Connection* local, const db::ServerSettings& settings,
                         const common::MainScreen& screen);
void fetchDayCommand(db::Connection* local, const db::ServerSettings& settings,
                     const common::MainScreen& screen, const QString& commandText);
void returnWorkCommand(db::Connection* local, const db::ServerSettings& settings,
                       const common::MainScreen& screen);

}  // namespace transfer
