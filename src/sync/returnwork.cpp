// "Daten abgeben": the recorded measures and results go to the server. Only what the
// device's record (sync/transferrecord.h) does not hold yet is sent, in batches that are one
// transaction each on the server, and the record keeps pace with the server's commits, so a
// return that broke off goes on where it stopped. Nothing is deleted on the server, and work
// done there since the device fetched it is not overwritten.
#include "sync/transfers.h"

#include "common/programend.h"
#include "db/messages.h"
#include "db/quoting.h"
#include "platform/boxes.h"
#include "sync/transferrecord.h"
#include "sync/transfersupport.h"

#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
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

// What a batch does with one local row: send an UPDATE of its server row, INSERT it under a
// new ID, or only record it (the server holds it as it stands).
struct Planned {
  enum Action { Update, Insert, Record } action = Record;
  qint64 row = 0;           // local rowid
  RecordEntry before;       // the record's entry of the row as the return read it
  qint64 serverId = 0;      // Update, Record: the server row; Insert: the new ID once taken
  QString event;            // Record: what the record says of the row
  QString sql;              // Update, Insert: the statement; an INSERT's first marker is the new ID
  std::vector<SqlValue> values;  // its values (an INSERT's without the ID)
};

// One batch after the other of a return. Each batch is one transaction on the server: a
// failure of any of its statements (a deadlock that made the server roll the transaction
// back, a lock not had, a value refused) rolls the whole batch back, and nothing of it is
// recorded as returned.
//
// A row inserted under a new ID is recorded as in transit, in a local transaction committed
// before its statement is sent, and as returned in the local transaction right after the
// server's commit. So wherever a return breaks off, also on tables that keep each INSERT at
// once, the next return knows each row the server may hold (see settleRowsInTransit). A
// changed measure or result is recorded after the server's commit: should the return break
// off in between, the next one finds the measure's server row holding what was sent and
// only records it; a result's UPDATE goes once more, writing the same values.
//
// New IDs are the table's highest ID + 1, read once per batch. The batch holds a lock from
// its first insert to its commit, so that two devices returning at once never take the same
// ID and take turns: a table lock on MariaDB, MySQL and PostgreSQL, the write lock of the
// file on SQLite; a device waits for it at most 30 s before it says so. An insert that meets
// a taken key all the same (a key the highest ID does not show) tries the next ID.
//
// On a node of a Galera cluster no lock reaches the other nodes. There the batch reads the
// highest ID inside its transaction, after the node applied what the others committed, and
// the cluster's refusal of the batch (a deadlock or a failed certification at any statement
// or at the commit, or a new ID another node took meanwhile) rolls it back: its rows in
// transit move to IDs read anew and it goes again as a whole (sendOnCluster).
class ReturnBatch {
 public:
  ReturnBatch(db::Connection* server, db::Connection* local, const QString& table)
      : server_(server), local_(local), table_(table), record_(local, table) {
    const int kind = db::databaseKind(server);
    cluster_ = (kind == 2 || kind == 3) && db::isClusterNode(server);
    lockTables_ = (kind == 2 || kind == 3) && !cluster_;
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
    if (cluster_) {
      // A read of the highest ID waits until this node applied what the others committed
      // before, so that a batch sent again does not meet the same IDs.
      db::execute(server, u"SET SESSION wait_timeout=30"_qs);
      db::execute(server, u"SET SESSION wsrep_sync_wait=1"_qs);
    }
  }
  ~ReturnBatch() { abandon(); }
  ReturnBatch(const ReturnBatch&) = delete;
  ReturnBatch& operator=(const ReturnBatch&) = delete;

  // Sends the planned rows as one server transaction. true when the server committed it;
  // false after a reported failure, and then the server keeps none of the batch.
  bool send(std::vector<Planned>& rows) {
    if (failed_) return false;
    if (cluster_) return sendOnCluster(rows);
    if (!db::beginTransaction(server_)) return reported(u"SET autocommit=0;"_qs);
    serverOpen_ = true;
    if (std::any_of(rows.begin(), rows.end(), [](const Planned& p) { return p.action == Planned::Insert; })) {
      if (!lock()) return fail();
      qint64 next = static_cast<qint64>(db::maxId(server_, table_)) + 1;
      for (Planned& p : rows)
        if (p.action == Planned::Insert) p.serverId = next++;
    }
    // The rows in transit, and those the server holds as they stand, before anything is sent.
    if (!beginLocal()) return fail();
    for (const Planned& p : rows) {
      if (p.action == Planned::Update) continue;
      if (!record_.write(p.row, p.before, p.serverId, p.action == Planned::Insert ? inTransitEvent : p.event))
        return fail(record_.statement());
    }
    if (!commitLocal()) return fail();
    int sent = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].action == Planned::Record) continue;
      if (!(rows[i].action == Planned::Insert ? insert(rows, i) : execute(rows[i].sql, rows[i].values))) return fail();
      ++sent;
    }
    if (!db::commitTransaction(server_)) return fail(u"COMMIT;"_qs);
    serverOpen_ = false;
    unlock();
    sent_ += sent;
    return recordTaken(rows);  // at once, before the next batch
  }

  // The rows the server took in the batches committed so far.
  int sent() const { return sent_; }

 private:
  static constexpr int maxAttempts = 50;
  // Times a cluster may refuse one batch before the return gives up and says so.
  static constexpr int maxRefusals = 30;

  enum class Outcome { Committed, Refused, Failed };

  // Records what the server took, in one local transaction: the rows in transit are
  // returned, the changed rows are recorded with the values sent.
  bool recordTaken(const std::vector<Planned>& rows) {
    if (!beginLocal()) return fail();
    for (const Planned& p : rows) {
      const bool ok = p.action == Planned::Insert   ? record_.arrived(p.row, p.serverId)
                      : p.action == Planned::Update ? record_.write(p.row, p.before, p.serverId, returnedEvent)
                                                    : true;
      if (!ok) return fail(record_.statement());
    }
    return commitLocal() || fail();
  }

  // send() on a cluster node: the batch goes as a whole until the cluster takes it.
  bool sendOnCluster(std::vector<Planned>& rows) {
    const auto firstInsert =
        std::find_if(rows.begin(), rows.end(), [](const Planned& p) { return p.action == Planned::Insert; });
    if (firstInsert != rows.end() && !keyChecked_) {
      // Without the key two nodes would each take the same ID and commit it.
      if (!db::hasKeyOnId(server_, table_)) {
        db::setLastError(u"Die Tabelle "_qs + table_ +
                         u" hat auf dem Server keinen Schlüssel auf ID; auf einem Galera-Cluster könnten zwei Geräte "
                         "sonst dieselbe ID vergeben. Neue Einträge werden erst gesendet, wenn ein Primärschlüssel auf "
                         "ID angelegt ist (ALTER TABLE "_qs +
                         table_ + u" ADD PRIMARY KEY (ID))."_qs);
        return fail(firstInsert->sql);
      }
      keyChecked_ = true;
    }
    bool recorded = false;  // the rows in transit and those found are in the local record
    int sent = 0;
    for (int refusals = 0;;) {
      const Outcome outcome = tryOnCluster(rows, recorded, sent);
      if (outcome == Outcome::Committed) break;
      if (outcome == Outcome::Failed) return fail();
      const QString error = db::lastError();
      abandon();
      if (++refusals == maxRefusals) {
        db::setLastError(u"Der Cluster hat die Übertragung "_qs + QString::number(maxRefusals) +
                         u"-mal wegen gleichzeitiger Änderungen anderer Geräte abgelehnt: "_qs + error);
        return fail(u"COMMIT;"_qs);
      }
      // Another device is sending at this moment: a short pause lets its commit pass.
      QThread::msleep(QRandomGenerator::global()->bounded(10, 40) * static_cast<unsigned long>(refusals));
    }
    serverOpen_ = false;
    sent_ += sent;
    return recordTaken(rows);
  }

  // Sends the batch once in a transaction of its own. Refused: the cluster gave the
  // transaction up, nothing reported; Failed: reported.
  Outcome tryOnCluster(std::vector<Planned>& rows, bool& recorded, int& sent) {
    sent = 0;
    if (!db::beginTransaction(server_)) return refusal(u"SET autocommit=0;"_qs);
    serverOpen_ = true;
    if (std::any_of(rows.begin(), rows.end(), [](const Planned& p) { return p.action == Planned::Insert; })) {
      const QString statement = u"SELECT MAX(ID) FROM "_qs + table_ + u';';
      qint64 next = 0;
      {
        db::Query highest(server_, statement);
        if (!highest.ok() || !highest.next() || highest.failed()) return refusal(statement);
        next = highest.int64(0) + 1;
      }
      if (recorded) {
        // The rows in transit move to the IDs they get now, before they are sent again.
        if (!renumber(rows, 0, next)) return Outcome::Failed;
      } else {
        for (Planned& p : rows)
          if (p.action == Planned::Insert) p.serverId = next++;
      }
    }
    if (!recorded) {
      if (!beginLocal()) return Outcome::Failed;
      for (const Planned& p : rows) {
        if (p.action == Planned::Update) continue;
        if (!record_.write(p.row, p.before, p.serverId, p.action == Planned::Insert ? inTransitEvent : p.event)) {
          reported(record_.statement());
          return Outcome::Failed;
        }
      }
      if (!commitLocal()) return Outcome::Failed;
      recorded = true;
    }
    for (const Planned& p : rows) {
      if (p.action == Planned::Record) continue;
      std::vector<SqlValue> values = p.values;
      if (p.action == Planned::Insert) values.insert(values.begin(), integerValue(p.serverId));
      if (!execute(p.sql, values, true)) return refusal(describe(p.sql, values));
      ++sent;
    }
    if (!db::commitTransaction(server_)) return refusal(u"COMMIT;"_qs);
    return Outcome::Committed;
  }

  // The failure just met: the cluster's refusal of the batch (a deadlock, a failed
  // certification, or a new ID another node took meanwhile: the transaction's view stays
  // that of its first read, so only a new one sees the highest ID as it is now), or a
  // failure of the statement, reported.
  Outcome refusal(const QString& statement) {
    if (db::lastErrorIsConflict() || db::lastErrorIsDuplicateKey()) return Outcome::Refused;
    reported(statement);
    return Outcome::Failed;
  }

  // Reports the statement's failure, unless one of the return was reported before.
  bool reported(const QString& statement) {
    if (!failed_) db::reportFailure(db::MessageForm::QueryFailed, statement);
    failed_ = true;
    return false;
  }

  // Rolls the batch back on both sides, after the failure was reported (or is reported now).
  bool fail(const QString& statement = {}) {
    if (!statement.isEmpty()) reported(statement);
    failed_ = true;
    abandon();
    return false;
  }

  // Runs the statement, prepared on its first use, with the values; false after a failure,
  // reported unless the caller reports it.
  bool execute(const QString& sql, const std::vector<SqlValue>& values, bool quiet = false) {
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

  // Inserts rows[i] under its new ID. An ID that another device took meanwhile makes this
  // row and those after it go to the next free IDs, recorded as such before any is sent.
  bool insert(std::vector<Planned>& rows, size_t i) {
    Planned& p = rows[i];
    std::vector<SqlValue> values = p.values;
    values.insert(values.begin(), integerValue(0));
    // PostgreSQL refuses every further statement of a transaction in which one failed: there
    // the insert leaves a row with a taken key out rather than failing, and says so by the
    // rows it changed.
    const QString sql = postgres_ ? p.sql.chopped(p.sql.endsWith(u';') ? 1 : 0) + u" ON CONFLICT DO NOTHING;"_qs : p.sql;
    for (int attempt = 1;; ++attempt) {
      values.front().integer = p.serverId;
      const bool sent = execute(sql, values, true);
      const bool taken = sent ? changed_ == 0 : db::lastErrorIsDuplicateKey();
      if (sent && !taken) return true;
      if (sent) db::setLastError(u"Die ID "_qs + QString::number(p.serverId) + u" ist auf dem Server schon vergeben."_qs);
      if (!taken || attempt == maxAttempts) return reported(describe(p.sql, values));
      const QString error = db::lastError();
      if (!renumber(rows, i, qMax(static_cast<qint64>(db::maxId(server_, table_)) + 1, p.serverId + 1))) return false;
      db::setLastError(error);
    }
  }

  // Gives the rows to insert from rows[first] on the IDs from `next` on, in one local
  // transaction; false after a reported failure.
  bool renumber(std::vector<Planned>& rows, size_t first, qint64 next) {
    if (!beginLocal()) return false;
    for (size_t j = first; j < rows.size(); ++j) {
      if (rows[j].action != Planned::Insert) continue;
      if (!record_.move(rows[j].row, rows[j].serverId, next)) return reported(record_.statement());
      rows[j].serverId = next++;
    }
    return commitLocal();
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

  bool lock() {
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

  // Leaves nothing open on either side when a batch fails or the return ends inside one.
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
  RecordWriter record_;
  bool lockTables_ = false, postgres_ = false, sqlite_ = false;
  bool cluster_ = false, keyChecked_ = false;
  bool serverOpen_ = false, localOpen_ = false, failed_ = false;
  QString unlock_;
  std::map<QString, std::unique_ptr<db::Statement>> prepared_;  // on the server, by their text
  qint64 changed_ = -1;  // the rows the last statement sent changed, -1 when unknown
  int sent_ = 0;
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

// A value as the device holds it (a record's, or a statement's) against the server's value.
bool sameValue(const QString& column, const QString& device, const QString& server) {
  if (column == u"abda" || column == u"dasoll" || column == u"dadurch")
    return static_cast<qint32>(device.toDouble()) == server.toLongLong();
  return db::unescapeText(device) == db::unescapeText(server);
}

// A local transaction that is rolled back unless it was committed.
class LocalTransaction {
 public:
  explicit LocalTransaction(db::Connection* local) : local_(local) {}
  ~LocalTransaction() {
    if (!open_) return;
    const QString error = db::lastError();
    db::execute(local_, u"ROLLBACK;"_qs);
    db::setLastError(error);
  }
  LocalTransaction(const LocalTransaction&) = delete;
  LocalTransaction& operator=(const LocalTransaction&) = delete;
  bool begin() { return open_ = ran(u"BEGIN;"_qs); }
  bool commit() { return !(open_ = !ran(u"COMMIT;"_qs)); }

 private:
  bool ran(const QString& statement) {
    if (db::execute(local_, statement)) return true;
    db::reportFailure(db::MessageForm::QueryFailed, statement);
    return false;
  }
  db::Connection* local_;
  bool open_ = false;
};

// Rows a return that broke off had sent without seeing the server's commit. A row counts as
// arrived when its server ID holds a row recognisably the one sent (identityColumns),
// whatever else was changed there since: it is recorded as returned. A row whose ID holds
// nothing of it goes again; its entry is what it was before. false after a reported failure.
bool settleRowsInTransit(db::Connection* server, db::Connection* local, const QString& table) {
  struct InTransit {
    qint64 row, serverId;
    std::vector<SentValue> identity;
  };
  std::vector<InTransit> rows;
  {
    const QString select = rowsInTransit(table);
    db::Query q(local, select);
    if (!queryRan(q, db::MessageForm::QueryFailed, select)) return false;
    while (q.next()) rows.push_back({q.int64(0), q.int64(1), sentValues(q.text(2), {})});
    if (q.failed()) {
      db::reportFailure(db::MessageForm::QueryFailed, select);
      return false;
    }
  }
  if (rows.empty()) return true;
  const QStringList columns = identityColumns(table);
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
        if (rows[i].serverId != q.int64(0) || rows[i].identity.size() < static_cast<size_t>(columns.size())) continue;
        bool same = true;
        for (int c = 0; same && c < columns.size(); ++c) same = sameValue(columns[c], rows[i].identity[c].text, q.text(c + 1));
        held[i] = held[i] || same;
      }
    }
    if (q.failed()) {
      db::reportFailure(db::MessageForm::QueryFailed, lookup);
      return false;
    }
  }
  RecordWriter record(local, table);
  LocalTransaction settle(local);
  if (!settle.begin()) return false;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (held[i] ? record.arrived(rows[i].row, rows[i].serverId) : record.notArrived(rows[i].row, rows[i].serverId))
      continue;
    db::reportFailure(db::MessageForm::QueryFailed, record.statement());
    return false;
  }
  return settle.commit();
}

// The server's rows under the IDs, as "SELECT ID,<columns> FROM <table> WHERE ID IN (…);"
// gives them, sorted by ID (rows of one ID in the server's order). false after a reported
// failure.
template <typename Row, typename Read>
bool serverRowsById(db::Connection* server, const QString& table, const QString& columns, const QStringList& ids,
                    std::vector<Row>& found, Read read) {
  if (ids.isEmpty()) return true;
  const QString lookup =
      u"SELECT ID,"_qs + columns + u" FROM "_qs + table + u" WHERE ID IN ("_qs + ids.join(u',') + u");"_qs;
  db::Query rows(server, lookup);
  if (!queryRan(rows, db::MessageForm::QueryFailed, lookup)) return false;
  while (rows.next()) found.push_back(read(rows));
  if (rows.failed()) {
    db::reportFailure(db::MessageForm::QueryFailed, lookup);
    return false;
  }
  std::stable_sort(found.begin(), found.end(), [](const Row& a, const Row& b) { return a.id < b.id; });
  return true;
}

// The rows of the sorted list under the ID.
template <typename Row>
std::pair<typename std::vector<Row>::const_iterator, typename std::vector<Row>::const_iterator> rowsWithId(
    const std::vector<Row>& found, qint64 id) {
  Row key;
  key.id = id;
  return std::equal_range(found.begin(), found.end(), key, [](const Row& a, const Row& b) { return a.id < b.id; });
}

// An UPDATE that would write more than one server row (several rows with one ID) is not sent:
// the others would lose their own data. Reported by name; the row stays work on the device.
void refuseUpdate(const QString& rowsNamed, qint64 count, qint64 serverId, const QString& statement) {
  db::setLastError(u"Auf dem Server tragen "_qs + QString::number(count) + u' ' + rowsNamed + u" die ID "_qs +
                   QString::number(serverId) + u"; die Änderung würde sie alle überschreiben und wurde nicht gesendet."_qs);
  db::reportFailure(db::MessageForm::QueryFailed, statement);
}

struct LocalMeasure {
  qint64 row = 0;
  qint32 id = 0;
  QString auid, wastun, werdurch, anmerkung;  // stored forms
  qint32 dasoll = 0, dadurch = 0;
  bool recorded = false;  // an entry of the record belongs to this row
  qint64 serverId = 0;
  bool unchanged = false;  // dadurch, werdurch, anmerkung as last fetched or sent
  QString stand;           // those values as the record holds them
  RecordEntry entry;       // whatever entry the record holds for the row's number
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

// The server row's execution is still the one the record holds (as fetched or last sent).
bool executionAsRecorded(const LocalMeasure& m, const ServerMeasure& s) {
  const std::vector<SentValue> stand = sentValues({}, m.stand);
  return stand.size() == 3 && sameValue(u"dadurch"_qs, stand[0].text, QString::number(s.dadurch)) &&
         sameValue(u"werdurch"_qs, stand[1].text, s.werdurch) && sameValue(u"anmerkung"_qs, stand[2].text, s.anmerkung);
}

RecordEntry entryOf(const db::Query& rows, int column) {
  return rows.isNull(column) ? RecordEntry{} : RecordEntry{rows.text(column), rows.int64(column + 1)};
}

}  // namespace

int returnMeasures(db::Connection* server, db::Connection* local, const common::MainScreen& screen, int* sentAsNew) {
  if (sentAsNew) *sentAsNew = 0;
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
                     rows.int32(4), rows.int32(5), !rows.isNull(8), rows.int64(8), rows.int32(9) == 1,
                     rows.text(10), entryOf(rows, 11)};
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
  const QString update = u"UPDATE massnahme SET dadurch=?,werdurch=?,anmerkung=? WHERE ID=?;"_qs;
  const QString insert = u"INSERT INTO massnahme (ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung) VALUES (?,?,?,?,?,?,?);"_qs;
  const bool complete = inBatches(measures.size(), [&](size_t first, size_t count) {
    // The server's rows under the IDs these measures belong to.
    QStringList ids;
    for (size_t i = first; i < first + count; ++i) ids << QString::number(measures[i].lookupId());
    std::vector<ServerMeasure> found;
    if (!serverRowsById(server, u"massnahme"_qs, u"AUID,wastun,dasoll,dadurch,werdurch,anmerkung"_qs, ids, found,
                        [](const db::Query& r) {
                          return ServerMeasure{r.int64(0), r.text(1), r.text(2), r.text(5), r.text(6), r.int32(3), r.int32(4)};
                        }))
      return false;
    std::vector<Planned> planned;
    int asNew = 0;
    for (size_t i = first; i < first + count; ++i) {
      progress.show(unchanged + static_cast<qint64>(i));
      const LocalMeasure& m = measures[i];
      const qint64 serverId = m.lookupId();
      const auto [begin, end] = rowsWithId(found, serverId);
      const auto sameId = end - begin;
      const auto match = std::find_if(begin, end, [&](const ServerMeasure& s) { return sameMeasure(m, s); });

      Planned p;
      p.row = m.row;
      p.before = m.entry;
      p.serverId = serverId;
      if (m.recorded && sameId == 1 && sameExecution(m, *begin)) {
        // The server holds this execution already (sent by a return that broke off).
        p.event = returnedEvent;
      } else if (m.recorded && sameId == 1 && !executionAsRecorded(m, *begin)) {
        // Carried out on the server, or by another device, since this device fetched it:
        // that work stays, and this execution goes in as a measure of its own.
        p.action = Planned::Insert;
        ++asNew;
      } else if (m.recorded) {
        // Fetched or sent before, changed since: its own server row, unless the server lost it.
        p.action = sameId == 0 ? Planned::Insert : Planned::Update;
      } else if (match == end) {
        // Made on the device: a local ID says nothing about the server's rows.
        p.action = Planned::Insert;
      } else if (m.dadurch > 0 && !sameExecution(m, *match)) {
        // Fetched before the device kept its record: sent only when carried out here and
        // different from the server's row, so work done on the server meanwhile stays.
        p.action = Planned::Update;
      } else {
        p.event = fetchedEvent;
      }

      if (p.action == Planned::Update) {
        p.sql = update;
        p.values = {integerValue(m.dadurch), textValue(m.werdurch), textValue(m.anmerkung), integerValue(serverId)};
        if (sameId > 1) {
          refuseUpdate(u"Maßnahmen"_qs, sameId, serverId, describe(p.sql, p.values));
          continue;
        }
      } else if (p.action == Planned::Insert) {
        p.sql = insert;
        p.values = {textValue(m.auid), textValue(m.wastun), integerValue(m.dasoll), integerValue(m.dadurch),
                    textValue(m.werdurch), textValue(m.anmerkung)};
      }
      planned.push_back(std::move(p));
    }
    if (!batch.send(planned)) return false;
    if (sentAsNew) *sentAsNew += asNew;
    return true;
  });
  return complete ? batch.sent() : -1;
}

int returnResults(db::Connection* server, db::Connection* local, const common::MainScreen& screen) {
  if (!ensureTransferRecord(local)) return -1;
  if (!settleRowsInTransit(server, local, u"resultat"_qs)) return -1;
  const qint64 total = db::countRows(local, u"resultat"_qs);
  const QString select = resultsWithRecord();
  struct LocalResult {
    qint64 row;
    std::vector<SqlValue> values;  // those after the ID
    qint64 serverId;               // returned before under this ID (corrected since), or 0
    RecordEntry entry;
  };
  std::vector<LocalResult> results;
  {
    db::Query rows(local, select);
    if (!queryRan(rows, db::MessageForm::QueryFailed, select)) return -1;
    while (rows.next()) {
      if (rows.int32(11) == 1) continue;  // returned already, as it stands
      results.push_back({rows.int64(0),
                         {textValue(rows.text(2)), integerValue(rows.int32(3)), textValue(rows.text(4)),
                          textValue(rows.text(5)), textValue(rows.text(6)), numberValue(temperature(rows.real(7))),
                          textValue(rows.text(8)), textValue(rows.text(9))},
                         rows.isNull(10) ? 0 : rows.int64(10), entryOf(rows, 12)});
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
  const QString update = u"UPDATE resultat SET anme=?,keim=?,syst=?,temp=?,resu=?,prot=? WHERE ID=?;"_qs;
  const QString insert = u"INSERT INTO resultat (ID,AUID,abda,anme,keim,syst,temp,resu,prot) VALUES (?,?,?,?,?,?,?,?,?);"_qs;
  struct ServerResult {
    qint64 id = 0;
  };
  const bool complete = inBatches(results.size(), [&](size_t first, size_t count) {
    // A result corrected after its return goes to the server row it was returned as.
    QStringList ids;
    for (size_t i = first; i < first + count; ++i)
      if (results[i].serverId != 0) ids << QString::number(results[i].serverId);
    std::vector<ServerResult> found;
    if (!serverRowsById(server, u"resultat"_qs, u"AUID"_qs, ids, found,
                        [](const db::Query& r) { return ServerResult{r.int64(0)}; }))
      return false;
    std::vector<Planned> planned;
    for (size_t i = first; i < first + count; ++i) {
      progress.show(before + static_cast<qint64>(i));
      const LocalResult& r = results[i];
      const auto [begin, end] = rowsWithId(found, r.serverId);
      Planned p;
      p.row = r.row;
      p.before = r.entry;
      if (r.serverId != 0 && begin != end) {
        p.action = Planned::Update;
        p.serverId = r.serverId;
        p.sql = update;
        p.values = {r.values.begin() + 2, r.values.end()};
        p.values.push_back(integerValue(r.serverId));
        if (end - begin > 1) {
          refuseUpdate(u"Resultate"_qs, end - begin, r.serverId, describe(p.sql, p.values));
          continue;
        }
      } else {
        // Not returned yet, or the server no longer holds the row it went to.
        p.action = Planned::Insert;
        p.sql = insert;
        p.values = r.values;
      }
      planned.push_back(std::move(p));
    }
    return batch.send(planned);
  });
  common::clearStatus(screen);
  return complete ? batch.sent() : -1;
}


void returnWorkCommand(db::Connection* local, const db::ServerSettings& settings,
                       const common::MainScreen& screen) {
  if (!local) {
    platform::messageBox(u"Meldung"_qs, u"Noch kein Objekt ausgewählt."_qs);
    return;
  }
  TransferHold hold(local);
  if (!hold.held()) return;
  int measures = -1, results = -1, asNew = 0;
  {
    db::ConnectionGuard server(openObjectServer(settings, screen, platform::BoxIcon::Error));
    measures = returnMeasures(server.get(), local, screen, &asNew);
    results = returnResults(server.get(), local, screen);
  }
  hold.release();  // a summary left open keeps no other window waiting
  // A failed transfer was reported where it happened; the summary says it stopped rather
  // than showing a count that was never reached.
  auto line = [](int count, const QString& table) {
    return count < 0 ? u"Abgleich für "_qs + table + u" nach einem Fehler abgebrochen."_qs
                     : QString::number(count) + u" Abgleichvorgänge für "_qs + table + u" durchgeführt."_qs;
  };
  QString summary = line(measures, u"Massnahme"_qs) + u"\r\n"_qs + line(results, u"Resultat"_qs);
  // Measures whose execution on the server changed since the fetch went in as new rows.
  if (asNew == 1)
    summary += u"\r\nDavon 1 als neue Maßnahme gesendet, weil sie auf dem Server inzwischen geändert wurde."_qs;
  else if (asNew > 1)
    summary += u"\r\nDavon "_qs + QString::number(asNew) +
               u" als neue Maßnahmen gesendet, weil sie auf dem Server inzwischen geändert wurden."_qs;
  platform::messageBox(u"Info"_qs, summary, platform::BoxIcon::Info);
}

}  // namespace transfer
