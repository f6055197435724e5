// Many small reads from one snapshot of a local file: the screens that run a query per row
// lock and check the SQLite file once for the whole list instead of once per query.
#pragma once

#include "db/database.h"

namespace db {

// While it lives, the queries of the connection read one snapshot of a SQLite file (one
// read transaction); it only reads, so nothing is held back from being written. Other
// kinds of database, a connection already inside a transaction, or a file that cannot be
// locked now read as before, query by query.
class ReadSnapshot {
 public:
  explicit ReadSnapshot(Connection* connection);
  ~ReadSnapshot();
  ReadSnapshot(const ReadSnapshot&) = delete;
  ReadSnapshot& operator=(const ReadSnapshot&) = delete;

 private:
  Connection* connection_ = nullptr;
  bool open_ = false;
};

}  // namespace db
