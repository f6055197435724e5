// "Daten abgeben": the recorded measures and results go to the server. Only what the
// device's record (sync/transferrecord.h) does not hold yet is sent, in batches that are one
// transaction each on the server, and the record keeps pace with the server's commits, so a
// return that broke off goes on where it stopped. Nothing is deleted on the server.
#include "sync/transfers.h"

#include "common/programend.h"
#include "db/messages.h"
#include "db/quoting.h"
#include "platform/boxes.h"
#include "sync/transferrecord.h"
#include "sync/transfersupport.h"

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace transfer {

namespace {

// A value of a statement the return sends: each statement is prepared once with "?" markers
// and runs with its values bound; the statement's text with the values written in (the
// form a failure message names) stores the same.
struct SqlValue {
  enum Kind { Integer, Number, Text } kind;
  qint64 integer = 0;
  QString text;  // a number as written, or a text in the form a literal holds between its apostrophes
};

SqlValue integerValue(qint64 value) { return {SqlValue::Integer, value, {}}; }
SqlValue numberValue(const QString& literal) { return {SqlValue::Number, 0, literal}; }
// A stored text, decoded and stored again.
SqlValue textValue(const QString& stored) { return {SqlValue::Text, 0, db::restoreText(stored)}; }

// The statement's text with the values written in for its markers.
QString describe(const QString& sql, const std::vector<SqlValue>& values) {
  QString text;
  size_t next = 0;
  for (QChar c : sql) {
    if (c != u'?' || next == values.size()) {
      text += c;
      continue;
    }
    const SqlValue& v = values[next++];
    if (v.kind == SqlValue::Integer) text += QString::number(v.integer);
    else if (v.kind == SqlValue::Number) text += v.text;
    else text += u'\'' + v.text + u'\'';
  }
  return text;
}

// The temperature as the device holds it (single precision), with exactly one decimal.
QString temperature(double value) {
  return QString::number(static_cast<double>(static_cast<float>(value)), 'f', 1);
}

// Rows go to the server in batches, each one server transaction: the first batches are
// small, so that the first rows are on the server at once, later ones larger.
constexpr int firstBatchRows = 16;
constexpr int largestBatchRows = 512;

// One batch of a return. The server's statements run in one transaction. A row inserted
// under a new ID is recorded as in transit in a local transaction that is committed just
// before the server's, and as returned in the local transaction of the next batch (or at
// the end), so that after a break at any point the next return knows each row the server
// holds (see settleRowsInTransit). A changed measure is recorded once the server committed
// its UPDATE: sending that once more would write the same values.
//
// New IDs are the table's highest ID + 1, read once per batch. The batch holds a lock from
// its first insert to its commit, so that two devices returning at once never take the same
// ID and take turns: a table lock on MariaDB, MySQL and PostgreSQL, the write lock of the
// file on SQLite; a device waits for it at most 30 s before it says so. An insert that meets
// a taken key all the same (a key the highest ID does not show) tries the next ID.
class ReturnBatch {
 public:
  ReturnBatch(db::Connection* server, db::Connection* local, const QString& table)
      : server_(server), local_(local), table_(table), recordStatement_(recordRowStatement(table)),
        record_(local, recordStatement_) {
    const int kind = db::databaseKind(server);
    lockTables_ = kind == 2 || kind == 3;
    postgres_ = kind == db::postgreSqlKind;
    sqlite_ = kind == 1;
    // A lock the batch waits for ends the wait after 30 s with an error, which ends the
    // return with a message, as a silent server does.
    if (postgres_) db::execute(server, u"SET lock_timeout = '30s'"_qs);
    if (lockTables_) {
      // A device whose network falls silent while it holds the lock would otherwise keep
      // every other device waiting for hours: the server ends such a session after half a
      // minute, and a device waits for the lock at most 20 s before it says so.
      db::execute(server, u"SET SESSION wait_timeout=30"_qs);
      db::execute(server, u"SET SESSION lock_wait_timeout=20"_qs);
    }
  }
  ~ReturnBatch() { abandon(); }
  ReturnBatch(const ReturnBatch&) = delete;
  ReturnBatch& operator=(const ReturnBatch&) = delete;

  // Opens the batch's two transactions; the local one first records what the batch before
  // left on the server. false after a reported failure.
  bool begin() {
    locked_ = false;
    nextId_ = 0;
    batchSent_ = 0;
    inTransit_ = noRows;
    if (!record_.ok()) return reported(recordStatement_);
    if (!beginLocal() || !recordCommitted()) return false;
    if (!db::beginTransaction(server_)) return reported(u"SET autocommit=0;"_qs);
    serverOpen_ = true;
    return true;
  }

  // Sends a statement that changes the server row serverId.
  bool update(const QString& sql, const std::vector<SqlValue>& values, qint64 row, qint64 serverId) {
    if (!send(sql, values)) return false;
    updated_.push_back({row, serverId});
    ++batchSent_;
    return true;
  }

  // Inserts a row under a new ID, the value of the statement's first marker, and records it
  // in transit; false after a reported failure.
  bool insert(qint64 row, const QString& sql, std::vector<SqlValue> values) {
    if (!locked_ && !lock()) return false;
    values.insert(values.begin(), integerValue(0));
    // PostgreSQL refuses every further statement of a transaction in which one failed: there
    // the insert leaves a row with a taken key out rather than failing, and says so by the
    // rows it changed.
    const QString statement = postgres_ ? sql.chopped(sql.endsWith(u';') ? 1 : 0) + u" ON CONFLICT DO NOTHING;"_qs : sql;
    for (int attempt = 1;; ++attempt) {
      if (nextId_ == 0) nextId_ = static_cast<qint64>(db::maxId(server_, table_)) + 1;
      const qint64 id = nextId_;
      values.front().integer = id;
      const bool sent = send(statement, values, true);
      const bool taken = sent ? changed_ == 0 : db::lastErrorIsDuplicateKey();
      if (sent && !taken) {
        nextId_ = id + 1;
        ++batchSent_;
        inTransit_ = {qMin(inTransit_.first, row), qMax(inTransit_.second, row)};
        return record(row, id, inTransitEvent);
      }
      if (sent) db::setLastError(u"Die ID "_qs + QString::number(id) + u" ist auf dem Server schon vergeben."_qs);
      if (!taken || attempt == maxAttempts) return reported(describe(sql, values));
      // Another device took the ID meanwhile.
      nextId_ = qMax(static_cast<qint64>(db::maxId(server_, table_)) + 1, id + 1);
    }
  }

  // Records a row the server already holds as it stands; nothing is sent.
  bool found(qint64 row, qint64 serverId) { return record(row, serverId, fetchedEvent); }

  // Commits the batch: the local record of its rows in transit, then the server's
  // transaction. After a failure of one of its statements (reported then) what went before
  // is kept where the connection still allows it, quietly. false after any failure.
  bool commit() {
    if (!commitLocal()) return false;  // the server's part goes back with the batch
    if (!db::commitTransaction(server_)) return reported(u"COMMIT;"_qs);
    serverOpen_ = false;
    committed_ = true;
    committedInTransit_ = inTransit_;
    unlock();
    sent_ += batchSent_;
    return !failed_;
  }

  // The rows the server took in the batches committed so far.
  int sent() const { return sent_; }

  // Records what the last batch left on the server; false after a failure.
  bool finish() { return !committed_ || (beginLocal() && recordCommitted() && commitLocal()); }

  bool failed() const { return failed_; }

 private:
  static constexpr int maxAttempts = 50;

  // Reports the statement's failure, unless one of the return was reported before.
  bool reported(const QString& statement) {
    if (!failed_) db::reportFailure(db::MessageForm::QueryFailed, statement);
    failed_ = true;
    return false;
  }

  // Runs the statement, prepared on its first use, with the values; false after a failure,
  // reported unless the caller reports it.
  bool send(const QString& sql, const std::vector<SqlValue>& values, bool quiet = false) {
    std::unique_ptr<db::Statement>& statement = prepared_[sql];
    if (!statement) statement = std::make_unique<db::Statement>(server_, sql);
    bool ok = statement->ok();
    for (int i = 0; ok && i < static_cast<int>(values.size()); ++i) {
      const SqlValue& v = values[i];
      if (v.kind == SqlValue::Integer) statement->bindInteger(i, v.integer);
      else if (v.kind == SqlValue::Number) statement->bindNumber(i, v.text);
      else statement->bindText(i, v.text);
    }
    if (ok) ok = statement->execute();
    else prepared_.erase(sql);  // prepared anew on the next use
    changed_ = ok ? statement->changedRows() : -1;
    if (!ok && !quiet) reported(describe(sql, values));
    return ok;
  }

  bool beginLocal() {
    if (!db::execute(local_, u"BEGIN;"_qs)) return reported(u"BEGIN;"_qs);
    localOpen_ = true;
    return true;
  }

  bool commitLocal() {
    if (!db::execute(local_, u"COMMIT;"_qs)) return reported(u"COMMIT;"_qs);
    localOpen_ = false;
    return true;
  }

  bool record(qint64 row, qint64 serverId, const QString& event) {
    record_.bindInteger(0, serverId);
    record_.bindText(1, event);
    record_.bindInteger(2, row);
    return record_.execute() || reported(recordStatement_);
  }

  // The rows of the batch the server committed: those in transit are returned, and the
  // changed measures are recorded with the values sent.
  bool recordCommitted() {
    if (committed_) {
      // Only the rows of that batch lie in its range of local rows.
      const QString mark = u"UPDATE abgleich SET vorgang='"_qs + returnedEvent + u"' WHERE tabelle='"_qs + table_ +
                           u"' AND zeile BETWEEN "_qs + QString::number(committedInTransit_.first) + u" AND "_qs +
                           QString::number(committedInTransit_.second) + u" AND vorgang='"_qs + inTransitEvent +
                           u"';"_qs;
      if (!db::execute(local_, mark)) return reported(mark);
      for (const auto& [row, serverId] : updated_)
        if (!record(row, serverId, returnedEvent)) return false;
      committed_ = false;
    }
    updated_.clear();
    return true;
  }

  bool lock() {
    locked_ = true;
    if (postgres_) {
      // Others still read the table; no other device inserts until the commit.
      const QString lock = u"LOCK TABLE "_qs + table_ + u" IN EXCLUSIVE MODE;"_qs;
      return db::execute(server_, lock) || reported(lock);
    }
    if (sqlite_) {
      // A statement that writes, though nothing: the batch takes the file's write lock before
      // it reads the highest ID. Two devices that had both read first would each wait for
      // the other to let go of its reading, and one of them would give up.
      const QString lock = u"UPDATE "_qs + table_ + u" SET ID=ID WHERE 0=1;"_qs;
      return db::execute(server_, lock) || reported(lock);
    }
    if (!lockTables_) return true;
    const QString lock = u"LOCK TABLES "_qs + table_ + u" WRITE;"_qs;
    if (db::execute(server_, lock)) {
      unlock_ = u"UNLOCK TABLES;"_qs;
      return true;
    }
    // A user without the right to lock tables: a named lock, which every device of this
    // program takes before it inserts, keeps the devices apart all the same.
    const QString error = db::lastError();
    const QString name = u"'varnothm."_qs + table_ + u'\'';
    db::Query named(server_, u"SELECT GET_LOCK("_qs + name + u",30);"_qs);
    if (!named.ok() || !named.next() || named.int32(0) != 1) {
      db::setLastError(error);
      return reported(lock);
    }
    unlock_ = u"DO RELEASE_LOCK("_qs + name + u");"_qs;
    return true;
  }

  void unlock() {
    if (unlock_.isEmpty()) return;
    const QString error = db::lastError();  // the failure's own words stay for its message
    db::execute(server_, unlock_);
    db::setLastError(error);
    unlock_.clear();
  }

  // Leaves nothing open on either side when the return ends inside a batch.
  void abandon() {
    const QString error = db::lastError();
    if (serverOpen_) db::rollbackTransaction(server_);
    serverOpen_ = false;
    unlock();
    if (localOpen_) db::execute(local_, u"ROLLBACK;"_qs);
    localOpen_ = false;
    db::setLastError(error);
  }

  db::Connection* server_;
  db::Connection* local_;
  QString table_;
  QString recordStatement_;
  db::Statement record_;
  bool lockTables_ = false, postgres_ = false, sqlite_ = false;
  bool serverOpen_ = false, localOpen_ = false, locked_ = false, failed_ = false;
  bool committed_ = false;  // the server committed the last batch; the record does not say so yet
  QString unlock_;
  std::map<QString, std::unique_ptr<db::Statement>> prepared_;  // on the server, by their text
  qint64 nextId_ = 0;
  qint64 changed_ = -1;  // the rows the last statement sent changed, -1 when unknown
  int sent_ = 0, batchSent_ = 0;
  std::vector<std::pair<qint64, qint64>> updated_;  // local rowid, server ID
  // The first and last local row the batch recorded in transit, and those of the batch last committed.
  static constexpr std::pair<qint64, qint64> noRows{std::numeric_limits<qint64>::max(), 0};
  std::pair<qint64, qint64> inTransit_ = noRows, committedInTransit_ = noRows;
};

// Splits n rows into batches of growing size: calls work(first, count) for each, in order,
// until it returns false.
template <typename Work>
bool inBatches(size_t n, Work work) {
  size_t size = firstBatchRows;
  for (size_t first = 0; first < n; first += size, size = qMin<size_t>(size * 2, largestBatchRows))
    if (!work(first, qMin(size, n - first))) return false;
  return true;
}

// The value as it was sent (see the statements of the return) against the server's value.
bool sameSentValue(const QString& column, const SentValue& sent, const QString& server) {
  if (column == u"temp") return qAbs(temperature(sent.text.toDouble()).toDouble() - server.toDouble()) < 0.01;
  if (column == u"abda" || column == u"dasoll" || column == u"dadurch")
    return static_cast<qint32>(sent.text.toDouble()) == server.toLongLong();
  return db::unescapeText(sent.text) == db::unescapeText(server);
}

// Rows a return that broke off had sent without seeing the server's commit: those the
// server holds under their ID with the values sent are recorded as returned; the others are
// forgotten and go again. false after a reported failure.
bool settleRowsInTransit(db::Connection* server, db::Connection* local, const QString& table) {
  struct InTransit {
    qint64 row, serverId;
    std::vector<SentValue> values;
  };
  std::vector<InTransit> rows;
  {
    const QString select = rowsInTransit(table);
    db::Query q(local, select);
    if (!queryRan(q, db::MessageForm::QueryFailed, select)) return false;
    while (q.next()) rows.push_back({q.int64(0), q.int64(1), sentValues(q.text(2), q.text(3))});
    if (q.failed()) {
      db::reportFailure(db::MessageForm::QueryFailed, select);
      return false;
    }
  }
  if (rows.empty()) return true;
  const QStringList columns = recordedColumns(table);
  std::vector<bool> held(rows.size(), false);
  for (size_t first = 0; first < rows.size(); first += largestBatchRows) {
    const size_t end = qMin(rows.size(), first + largestBatchRows);
    QStringList ids;
    for (size_t i = first; i < end; ++i) ids << QString::number(rows[i].serverId);
    const QString lookup = u"SELECT ID,"_qs + columns.join(u',') + u" FROM "_qs + table + u" WHERE ID IN ("_qs +
                           ids.join(u',') + u");"_qs;
    db::Query q(server, lookup);
    if (!queryRan(q, db::MessageForm::QueryFailed, lookup)) return false;
    while (q.next()) {
      for (size_t i = first; i < end; ++i) {
        if (rows[i].serverId != q.int64(0) || rows[i].values.size() != static_cast<size_t>(columns.size())) continue;
        bool same = true;
        for (int c = 0; same && c < columns.size(); ++c)
          same = sameSentValue(columns[c], rows[i].values[c], q.text(c + 1));
        held[i] = held[i] || same;
      }
    }
    if (q.failed()) {
      db::reportFailure(db::MessageForm::QueryFailed, lookup);
      return false;
    }
  }
  QStringList statements;
  for (size_t i = 0; i < rows.size(); ++i) {
    const QString where = u" WHERE tabelle='"_qs + table + u"' AND zeile="_qs + QString::number(rows[i].row) + u';';
    statements << (held[i] ? u"UPDATE abgleich SET vorgang='"_qs + returnedEvent + u'\'' + where
                           : u"DELETE FROM abgleich"_qs + where);
  }
  LocalReplacement settle(local, db::MessageForm::QueryFailed);
  if (!settle.begin(statements.takeFirst())) return false;
  for (const QString& statement : statements)
    if (!settle.execute(statement)) return false;
  return settle.commit();
}

struct LocalMeasure {
  qint64 row = 0;
  qint32 id = 0;
  QString auid, wastun, werdurch, anmerkung;  // stored forms
  qint32 dasoll = 0, dadurch = 0;
  bool recorded = false;  // the record knows this row
  qint64 serverId = 0;
  bool unchanged = false;  // dadurch, werdurch, anmerkung as last fetched or sent
  qint64 lookupId() const { return recorded ? serverId : id; }  // the server row it belongs to
};

struct ServerMeasure {
  qint64 id = 0;
  QString auid, wastun, werdurch, anmerkung;
  qint32 dasoll = 0, dadurch = 0;
};

bool sameMeasure(const LocalMeasure& m, const ServerMeasure& s) {
  return db::unescapeText(m.auid) == db::unescapeText(s.auid) && db::unescapeText(m.wastun) == db::unescapeText(s.wastun) &&
         m.dasoll == s.dasoll;
}

bool sameExecution(const LocalMeasure& m, const ServerMeasure& s) {
  return m.dadurch == s.dadurch && db::unescapeText(m.werdurch) == db::unescapeText(s.werdurch) &&
         db::unescapeText(m.anmerkung) == db::unescapeText(s.anmerkung);
}

}  // namespace

int returnMeasures(db::Connection* server, db::Connection* local, const common::MainScreen& screen) {
  if (!ensureTransferRecord(local)) return -1;
  if (!settleRowsInTransit(server, local, u"massnahme"_qs)) return -1;
  const qint64 total = db::countRows(local, u"massnahme"_qs);
  const QString select = measuresWithRecord();
  std::vector<LocalMeasure> measures;  // those the server does not have as they stand
  qint64 unchanged = 0;
  {
    db::Query rows(local, select);
    if (!queryRan(rows, db::MessageForm::QueryFailed, select)) return -1;
    while (rows.next()) {
      LocalMeasure m{rows.int64(0), rows.int32(1), rows.text(2), rows.text(3), rows.text(6), rows.text(7),
                     rows.int32(4), rows.int32(5), !rows.isNull(8), rows.int64(8), rows.int32(9) == 1};
      if (m.recorded && m.unchanged) ++unchanged;
      else measures.push_back(std::move(m));
    }
    if (rows.failed()) {
      db::reportFailure(db::MessageForm::QueryFailed, select);
      return -1;
    }
  }
  screen.statusText(u"Tabelle massnahme "_qs + QString::number(total) + u" Einträge abgeben"_qs);
  common::TransferProgress progress(screen, total);
  ReturnBatch batch(server, local, u"massnahme"_qs);
  const bool complete = inBatches(measures.size(), [&](size_t first, size_t count) {
    // The server's rows under the IDs these measures belong to.
    QStringList ids;
    for (size_t i = first; i < first + count; ++i) ids << QString::number(measures[i].lookupId());
    const QString lookup = u"SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung FROM massnahme WHERE ID IN ("_qs +
                           ids.join(u',') + u");"_qs;
    std::vector<ServerMeasure> found;
    {
      db::Query rows(server, lookup);
      if (!queryRan(rows, db::MessageForm::QueryFailed, lookup)) return false;
      while (rows.next())
        found.push_back(
            {rows.int64(0), rows.text(1), rows.text(2), rows.text(5), rows.text(6), rows.int32(3), rows.int32(4)});
      if (rows.failed()) {
        db::reportFailure(db::MessageForm::QueryFailed, lookup);
        return false;
      }
    }
    // By ID, rows of one ID in the server's order.
    const auto byId = [](const ServerMeasure& a, const ServerMeasure& b) { return a.id < b.id; };
    std::stable_sort(found.begin(), found.end(), byId);
    if (!batch.begin()) return false;
    for (size_t i = first; i < first + count && !batch.failed(); ++i) {
      progress.show(unchanged + static_cast<qint64>(i));
      const LocalMeasure& m = measures[i];
      const qint64 serverId = m.lookupId();
      ServerMeasure key;
      key.id = serverId;
      const auto [begin, end] = std::equal_range(found.begin(), found.end(), key, byId);
      const auto sameId = end - begin;
      const auto match = std::find_if(begin, end, [&](const ServerMeasure& s) { return sameMeasure(m, s); });
      const ServerMeasure* same = match == end ? nullptr : &*match;

      enum class Send { Update, Insert, Nothing } send;
      if (m.recorded) {
        // Fetched or sent before, changed since: its own server row, unless the server lost it.
        send = sameId == 0 ? Send::Insert : Send::Update;
      } else if (!same) {
        // Made on the device: a local ID says nothing about the server's rows.
        send = Send::Insert;
      } else {
        // Fetched before the device kept its record: sent only when carried out here and
        // different from the server's row, so work done on the server meanwhile stays.
        send = m.dadurch > 0 && !sameExecution(m, *same) ? Send::Update : Send::Nothing;
      }

      if (send == Send::Nothing) {
        batch.found(m.row, serverId);
      } else if (send == Send::Update) {
        const QString update = u"UPDATE massnahme SET dadurch=?,werdurch=?,anmerkung=? WHERE ID=?;"_qs;
        const std::vector<SqlValue> values{integerValue(m.dadurch), textValue(m.werdurch), textValue(m.anmerkung),
                                           integerValue(serverId)};
        if (sameId > 1) {
          // It would write every one of them: the others would lose their own data.
          db::setLastError(u"Auf dem Server tragen "_qs + QString::number(sameId) + u" Maßnahmen die ID "_qs +
                           QString::number(serverId) +
                           u"; die Änderung würde sie alle überschreiben und wurde nicht gesendet."_qs);
          db::reportFailure(db::MessageForm::QueryFailed, describe(update, values));
          continue;
        }
        batch.update(update, values, m.row, serverId);
      } else {
        batch.insert(m.row,
                     u"INSERT INTO massnahme (ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung) VALUES (?,?,?,?,?,?,?);"_qs,
                     {textValue(m.auid), textValue(m.wastun), integerValue(m.dasoll), integerValue(m.dadurch),
                      textValue(m.werdurch), textValue(m.anmerkung)});
      }
    }
    return batch.commit();
  });
  return batch.finish() && complete ? batch.sent() : -1;
}

int returnResults(db::Connection* server, db::Connection* local, const common::MainScreen& screen) {
  if (!ensureTransferRecord(local)) return -1;
  if (!settleRowsInTransit(server, local, u"resultat"_qs)) return -1;
  const qint64 total = db::countRows(local, u"resultat"_qs);
  const QString select = resultsWithRecord();
  struct LocalResult {
    qint64 row;
    std::vector<SqlValue> values;  // those after the ID
  };
  std::vector<LocalResult> results;
  {
    db::Query rows(local, select);
    if (!queryRan(rows, db::MessageForm::QueryFailed, select)) return -1;
    while (rows.next()) {
      if (!rows.isNull(10)) continue;  // returned already, as it stands
      results.push_back({rows.int64(0),
                         {textValue(rows.text(2)), integerValue(rows.int32(3)), textValue(rows.text(4)),
                          textValue(rows.text(5)), textValue(rows.text(6)), numberValue(temperature(rows.real(7))),
                          textValue(rows.text(8)), textValue(rows.text(9))}});
    }
    if (rows.failed()) {
      db::reportFailure(db::MessageForm::QueryFailed, select);
      return -1;
    }
  }
  screen.statusText(u"Tabelle resultat "_qs + QString::number(total) + u" Einträge abgeben"_qs);
  common::TransferProgress progress(screen, total);
  const qint64 before = total - static_cast<qint64>(results.size());
  ReturnBatch batch(server, local, u"resultat"_qs);
  const bool complete = inBatches(results.size(), [&](size_t first, size_t count) {
    if (!batch.begin()) return false;
    for (size_t i = first; i < first + count && !batch.failed(); ++i) {
      progress.show(before + static_cast<qint64>(i));
      batch.insert(results[i].row,
                   u"INSERT INTO resultat (ID,AUID,abda,anme,keim,syst,temp,resu,prot) VALUES (?,?,?,?,?,?,?,?,?);"_qs,
                   results[i].values);
    }
    return batch.commit();
  });
  const bool recorded = batch.finish();
  common::clearStatus(screen);
  return recorded && complete ? batch.sent() : -1;
}

void returnWorkCommand(db::Connection* local, const db::ServerSettings& settings,
                       const common::MainScreen& screen) {
  if (!local) {
    platform::messageBox(u"Meldung"_qs, u"Noch kein Objekt ausgewählt."_qs);
    return;
  }
  db::ConnectionGuard server(openObjectServer(settings, screen, platform::BoxIcon::Error));
  const int measures = returnMeasures(server.get(), local, screen);
  const int results = returnResults(server.get(), local, screen);
  // A failed transfer was reported where it happened; the summary says it stopped rather
  // than showing a count that was never reached.
  auto line = [](int count, const QString& table) {
    return count < 0 ? u"Abgleich für "_qs + table + u" nach einem Fehler abgebrochen."_qs
                     : QString::number(count) + u" Abgleichvorgänge für "_qs + table + u" durchgeführt."_qs;
  };
  platform::messageBox(u"Info"_qs, line(measures, u"Massnahme"_qs) + u"\r\n"_qs + line(results, u"Resultat"_qs),
                       platform::BoxIcon::Info);
}

}  // namespace transfer
