// What the transfers share: the object's server connection, and replacing a local table as one
// transaction that is rolled back on any failure, so the table is the new copy or what it was.
#pragma once

#include "common/mainscreen.h"
#include "db/database.h"
#include "db/messages.h"
#include "db/serverdb.h"
#include "platform/system.h"

#include <memory>

namespace transfer {

// The current object's server database; one that cannot be opened is reported with the
// icon the command uses and ends the program.
db::Connection* openObjectServer(const db::ServerSettings& settings, const common::MainScreen& screen,
                                 platform::BoxIcon icon);

// Holds the object's local file for one transfer, so that a second program window started
// in the same folder cannot send or replace the same rows meanwhile. Taken at the start of a
// command, before anything is read or sent; a command that does not get it tells the user
// and does nothing. The hold ends with the object, or with the program however it ends.
class TransferHold {
 public:
  explicit TransferHold(db::Connection* local);
  TransferHold(const TransferHold&) = delete;
  TransferHold& operator=(const TransferHold&) = delete;

  bool held() const { return held_; }  // false: the user was told why
  void release() { hold_.reset(); }

 private:
  std::unique_ptr<platform::FileHold> hold_;
  bool held_ = true;
};

// True when the query ran; otherwise reports the statement in the given form.
bool queryRan(const db::Query& rows, db::MessageForm form, const QString& statement);

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

  // After the server's rows: commits, or reports the query whose rows broke off and rolls back.
  bool finish(const db::Query& rows, const QString& select);

 private:
  void rollback();
  db::Connection* local_;
  db::MessageForm form_;
  bool open_ = false;
};

}  // namespace transfer
