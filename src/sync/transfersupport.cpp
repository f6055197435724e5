// The object's server connection and the local replacement transaction.
#include "sync/transfersupport.h"

#include "common/programend.h"
#include "platform/boxes.h"

namespace transfer {

db::Connection* openObjectServer(const db::ServerSettings& settings, const common::MainScreen& screen,
                                 platform::BoxIcon icon) {
  db::Connection* server = db::openServerDatabase(screen.currentObject, settings);
  if (!server) {
    db::reportOpenFailure(screen.currentObject, icon);
    common::endProgram(1);
  }
  return server;
}

// The lock file lies beside the local file; a database in memory is this program's alone.
TransferHold::TransferHold(db::Connection* local) {
  const QString file = db::databaseFile(local);
  if (file.isEmpty()) return;
  const QString lockFile = file + u".lock"_qs;
  hold_ = std::make_unique<platform::FileHold>(lockFile);
  switch (hold_->state()) {
    case platform::FileHold::State::Held: return;
    case platform::FileHold::State::HeldElsewhere:
      platform::messageBox(u"Hinweis"_qs,
                           u"Auf diesem Objekt läuft bereits eine Datenübertragung in einem anderen Programmfenster. "
                           "Bitte warten Sie, bis sie beendet ist, und versuchen Sie es dann erneut."_qs,
                           platform::BoxIcon::Info);
      break;
    case platform::FileHold::State::Failed:
      platform::messageBox(u"Fehler"_qs,
                           u"Die Sperrdatei "_qs + lockFile + u" kann nicht angelegt werden: "_qs + hold_->error() +
                               u"\r\nDie Datenübertragung wurde nicht begonnen."_qs,
                           platform::BoxIcon::Error);
      break;
  }
  hold_.reset();
  held_ = false;
}

bool queryRan(const db::Query& rows, db::MessageForm form, const QString& statement) {
  if (!rows.ok()) db::reportFailure(form, statement);
  return rows.ok();
}

LocalReplacement::~LocalReplacement() { rollback(); }

void LocalReplacement::rollback() {
  if (!open_) return;
  open_ = false;
  const QString error = db::lastError();  // keep the failure's own words for its message
  db::execute(local_, QStringLiteral("ROLLBACK;"));
  db::setLastError(error);
}

void LocalReplacement::fail(const QString& statement) {
  const QString error = db::lastError();
  rollback();
  db::setLastError(error);
  db::reportFailure(form_, statement);
}

bool LocalReplacement::begin(const QString& deleteStatement) {
  const QString beginStatement = QStringLiteral("BEGIN TRANSACTION;");
  if (!db::execute(local_, beginStatement)) {
    db::reportFailure(form_, beginStatement);
    return false;
  }
  open_ = true;
  return execute(deleteStatement);
}

bool LocalReplacement::execute(const QString& statement) {
  if (db::execute(local_, statement)) return true;
  fail(statement);
  return false;
}

bool LocalReplacement::finish(const db::Query& rows, const QString& select) {
  if (!rows.failed()) return commit();
  fail(select);
  return false;
}

bool LocalReplacement::commit() {
  const QString statement = QStringLiteral("COMMIT;");
  if (!execute(statement)) return false;
  open_ = false;
  return true;
}

}  // namespace transfer
