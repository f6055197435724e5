// The local tables: the exact create statements. A table that is already there passes
// silently; any other failure is shown and the start-up goes on.
#include "db/localschema.h"

#include "db/messages.h"

namespace db {

namespace {

int createTable(Connection* db, const QString& statement) {
  if (execute(db, statement)) return 1;
  if (!lastError().contains(u"exists")) reportFailure(MessageForm::TableError, statement);
  return 0;
}

// The measures assistant looks outlets and measures up one by one (by AUID, by ID); on the
// device's file these indexes keep that a lookup rather than a pass over the table. Made
// beside a new or an existing table, silently: a file without them is only slower.
void addLocalIndex(Connection* db, const char* statement) {
  if (backendOf(db) != Backend::Sqlite) return;
  const QString error = lastError();
  execute(db, QString::fromLatin1(statement));
  setLastError(error);
}

}  // namespace

int createOutletTable(Connection* db) {
  const int created = createTable(db, QStringLiteral(
      "CREATE TABLE auslass (ID longint PRIMARY KEY, AUID varchar(32) Not NULL, code varchar(32) "
      "Default NULL, art varchar(32) Default NULL, raum varchar(64) Default NULL, region "
      "varchar(64) Default NULL, hydron varchar(64) Default NULL);"));
  addLocalIndex(db, "CREATE INDEX IF NOT EXISTS auslass_AUID ON auslass (AUID);");
  return created;
}

int createMeasureTable(Connection* db) {
  const int created = createTable(db, QStringLiteral(
      "CREATE TABLE massnahme (ID longint NOT NULL,AUID varchar(32) NOT NULL,wastun varchar(128) "
      "DEFAULT NULL,dasoll longint DEFAULT NULL,dadurch longint DEFAULT NULL,werdurch varchar(64) "
      "DEFAULT NULL,anmerkung varchar(128) DEFAULT NULL);"));
  addLocalIndex(db, "CREATE INDEX IF NOT EXISTS massnahme_AUID ON massnahme (AUID);");
  addLocalIndex(db, "CREATE INDEX IF NOT EXISTS massnahme_ID ON massnahme (ID);");
  return created;
}

int createResultTable(Connection* db) {
  return createTable(db, QStringLiteral(
      "CREATE TABLE resultat (ID longint PRIMARY KEY, AUID varchar(32) Not NULL, abda longint "
      "Default NULL, anme varchar(256) Default NULL, keim varchar(32) Default NULL, syst "
      "varchar(32) Default NULL, temp double Default NULL, resu varchar(256) Default NULL, prot "
      "varchar(32) Default NULL);"));
}

int createDialogTable(Connection* db) {
  return createTable(db, QStringLiteral(
      "CREATE TABLE xele (ID longint PRIMARY KEY, gruppe varchar(64) Not NULL, element "
      "varchar(64) Not NULL, XML longtext DEFAULT NULL);"));
}

}  // namespace db
