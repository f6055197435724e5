// The four tables of an object's local database and the statements that create them.
// Each returns 1 when it created its table, 0 when the table existed or the failure was shown.
#pragma once

#include "db/database.h"

namespace db {

int createOutletTable(Connection* db);   // auslass
int createResultTable(Connection* db);   // resultat
int createMeasureTable(Connection* db);  // massnahme
int createDialogTable(Connection* db);   // xele

}  // namespace db
