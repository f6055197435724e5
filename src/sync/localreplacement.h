// Replacing a local table as one transaction: begun before the old rows go, rolled back on
// any failure, so the table is either the complete new copy or exactly what it was.
#pragma once

#include "db/database.h"
#include "db/messages.h"

namespace transfer {

class LocalReplacement {
 public:
  // Failures are reported in the given message form, with the statement that failed.
  LocalReplacement(db::Connection* local, db::MessageForm form) : local_(local), form_(form) {}
  ~LocalReplacement();  // rolls back what was not committed
  LocalReplacement(const LocalReplacement&) = delete;
  LocalReplacement& operator=(const LocalReplacement&) = delete;

  bool begin(const QString& deleteStatement);  // BEGIN, then the DELETE of the old rows
  bool execute(const QString& statement);
  bool commit();
  void fail(const QString& statement);  // reports the statement's failure and rolls back

 private:
  void rollback();
  db::Connection* local_;
  db::MessageForm form_;
  bool open_ = false;
};

}  // namespace transfer
