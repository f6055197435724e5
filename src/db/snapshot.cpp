// The read snapshot over SQLite's own transaction: BEGIN takes the shared lock at the first
// read and COMMIT gives it back; the file's error text of the caller is left as it was.
#include "db/snapshot.h"

#include "db/backend.h"

#include <sqlite3.h>

namespace db {

ReadSnapshot::ReadSnapshot(Connection* connection) {
  if (!connection || connection->backend != Backend::Sqlite || !connection->sqlite) return;
  if (!sqlite3_get_autocommit(connection->sqlite)) return;  // inside a transaction already
  connection_ = connection;
  open_ = sqlite3_exec(connection->sqlite, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
}

ReadSnapshot::~ReadSnapshot() {
  if (!open_ || sqlite3_get_autocommit(connection_->sqlite)) return;
  // A snapshot only reads; should a write have slipped in, it is kept, not rolled back.
  if (sqlite3_exec(connection_->sqlite, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
    sqlite3_exec(connection_->sqlite, "ROLLBACK", nullptr, nullptr, nullptr);
}

}  // namespace db
