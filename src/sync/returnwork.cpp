// "Daten abgeben": the recorded measures and results go to the server. Only what the
// device's record (sync/transferrecord.h) does not hold yet is sent, and each row is recorded
// as soon as the server took it, so a return that broke off goes on where it stopped.
// Nothing is deleted on the server.
#include "sync/transfers.h"

#include "common/programend.h"
#include "db/messages.h"
#include "db/quoting.h"
#include "platform/boxes.h"
#include "sync/transferrecord.h"
#include "sync/transfersupport.h"

#include <functional>
#include <vector>

namespace transfer {

namespace {

QString quoted(const QString& stored) { return db::quoteText(db::unescapeText(stored)); }

// The temperature as the device holds it (single precision), with exactly one decimal.
QString temperature(double value) {
  return QString::number(static_cast<double>(static_cast<float>(value)), 'f', 1);
}

// Rows under new server IDs, the table's highest ID + 1. On MariaDB and MySQL the highest ID
// is read and the row inserted under a table lock, so that two devices returning at once
// never take the same ID; elsewhere an insert that meets a taken key tries the next ID.
class NewServerRows {
 public:
  explicit NewServerRows(db::Connection* server) : server_(server) {
    const int kind = db::databaseKind(server);
    lockTables_ = kind == 2 || kind == 3;
    if (lockTables_) {
      // A device whose network falls silent while it holds the lock would otherwise keep
      // every other device waiting for hours: the server ends such a session after half a
      // minute, and a device waits for the lock at most 20 s before it says so.
      db::execute(server, u"SET SESSION wait_timeout=30"_qs);
      db::execute(server, u"SET SESSION lock_wait_timeout=20"_qs);
    }
  }

  // Runs the statement made for the new ID; the ID, or -1 after a reported failure.
  qint64 insert(const QString& table, const std::function<QString(qint64)>& statementFor) {
    if (lockTables_) {
      const QString lock = u"LOCK TABLES "_qs + table + u" WRITE;"_qs;
      Unlock unlock{server_, u"UNLOCK TABLES;"_qs};
      if (!db::execute(server_, lock)) {
        // A user without the right to lock tables: a named lock, which every device of this
        // program takes before it inserts, keeps the devices apart all the same.
        const QString error = db::lastError();
        const QString name = u"'varnothm."_qs + table + u'\'';
        db::Query named(server_, u"SELECT GET_LOCK("_qs + name + u",30);"_qs);
        if (!named.ok() || !named.next() || named.int32(0) != 1) {
          db::setLastError(error);
          unlock.statement.clear();
          db::reportFailure(db::MessageForm::QueryFailed, lock);
          return -1;
        }
        unlock.statement = u"DO RELEASE_LOCK("_qs + name + u");"_qs;
      }
      const qint64 id = static_cast<qint64>(db::maxId(server_, table)) + 1;
      const QString statement = statementFor(id);
      if (db::execute(server_, statement)) return id;
      db::reportFailure(db::MessageForm::QueryFailed, statement);
      return -1;
    }
    qint64 tried = 0;
    for (int attempt = 1;; ++attempt) {
      const qint64 id = qMax(static_cast<qint64>(db::maxId(server_, table)) + 1, tried + 1);
      tried = id;
      const QString statement = statementFor(id);
      if (db::execute(server_, statement)) return id;
      if (!db::lastErrorIsDuplicateKey() || attempt == maxAttempts) {
        db::reportFailure(db::MessageForm::QueryFailed, statement);
        return -1;
      }
    }
  }

 private:
  static constexpr int maxAttempts = 50;
  struct Unlock {
    db::Connection* server;
    QString statement;
    ~Unlock() {
      if (statement.isEmpty()) return;
      const QString error = db::lastError();  // the failure's own words stay for its message
      db::execute(server, statement);
      db::setLastError(error);
    }
  };
  db::Connection* server_;
  bool lockTables_ = false;
};

// Records a local row after its server statement; false after a reported failure.
bool record(db::Connection* local, const QString& statement) {
  if (db::execute(local, statement)) return true;
  db::reportFailure(db::MessageForm::QueryFailed, statement);
  return false;
}

struct LocalMeasure {
  qint64 row = 0;
  qint32 id = 0;
  QString auid, wastun, werdurch, anmerkung;  // stored forms
  qint32 dasoll = 0, dadurch = 0;
  bool recorded = false;  // the record knows this row
  qint64 serverId = 0;
  bool unchanged = false;  // dadurch, werdurch, anmerkung as last fetched or sent
};

struct ServerMeasure {
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
  const qint64 total = db::countRows(local, u"massnahme"_qs);
  const QString select = measuresWithRecord();
  std::vector<LocalMeasure> measures;
  {
    db::Query rows(local, select);
    if (!queryRan(rows, db::MessageForm::QueryFailed, select)) return -1;
    while (rows.next()) {
      measures.push_back({rows.int64(0), rows.int32(1), rows.text(2), rows.text(3), rows.text(6), rows.text(7),
                          rows.int32(4), rows.int32(5), !rows.isNull(8), rows.int64(8), rows.int32(9) == 1});
    }
    if (rows.failed()) {
      db::reportFailure(db::MessageForm::QueryFailed, select);
      return -1;
    }
  }
  screen.statusText(u"Tabelle massnahme "_qs + QString::number(total) + u" Einträge abgeben"_qs);
  NewServerRows newRows(server);
  int n = 0;
  for (size_t i = 0; i < measures.size(); ++i) {
    screen.statusProgress(common::progressPercent(static_cast<qint64>(i), total));
    const LocalMeasure& m = measures[i];
    if (m.recorded && m.unchanged) continue;  // the server has it as it stands

    // The server's rows under the ID this measure belongs to.
    const qint64 serverId = m.recorded ? m.serverId : m.id;
    const QString lookup = u"SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung FROM massnahme WHERE ID="_qs +
                           QString::number(serverId) + u';';
    std::vector<ServerMeasure> found;
    {
      db::Query rows(server, lookup);
      if (!queryRan(rows, db::MessageForm::QueryFailed, lookup)) return -1;
      while (rows.next())
        found.push_back({rows.text(1), rows.text(2), rows.text(5), rows.text(6), rows.int32(3), rows.int32(4)});
      if (rows.failed()) {
        db::reportFailure(db::MessageForm::QueryFailed, lookup);
        return -1;
      }
    }
    const ServerMeasure* same = nullptr;
    for (const ServerMeasure& s : found)
      if (sameMeasure(m, s)) same = same ? same : &s;

    enum class Send { Update, Insert, Nothing } send;
    if (m.recorded) {
      // Fetched or sent before, changed since: its own server row, unless the server lost it.
      send = found.empty() ? Send::Insert : Send::Update;
    } else if (!same) {
      // Made on the device: a local ID says nothing about the server's rows.
      send = Send::Insert;
    } else {
      // Fetched before the device kept its record: sent only when carried out here and
      // different from the server's row, so work done on the server meanwhile stays.
      send = m.dadurch > 0 && !sameExecution(m, *same) ? Send::Update : Send::Nothing;
    }

    if (send == Send::Nothing) {
      if (!record(local, recordRow(u"massnahme"_qs, m.row, serverId, u"abgeholt"_qs))) return -1;
      continue;
    }
    if (send == Send::Update) {
      const QString update = u"UPDATE massnahme SET dadurch="_qs + QString::number(m.dadurch) + u",werdurch="_qs +
                             quoted(m.werdurch) + u",anmerkung="_qs + quoted(m.anmerkung) + u" WHERE ID="_qs +
                             QString::number(serverId) + u';';
      if (found.size() > 1) {
        // It would write every one of them: the others would lose their own data.
        db::setLastError(u"Auf dem Server tragen "_qs + QString::number(found.size()) +
                         u" Maßnahmen die ID "_qs + QString::number(serverId) +
                         u"; die Änderung würde sie alle überschreiben und wurde nicht gesendet."_qs);
        db::reportFailure(db::MessageForm::QueryFailed, update);
        continue;
      }
      if (!db::execute(server, update)) {
        db::reportFailure(db::MessageForm::QueryFailed, update);
        return -1;
      }
      if (!record(local, recordRow(u"massnahme"_qs, m.row, serverId))) return -1;
      ++n;
      continue;
    }
    const qint64 newId = newRows.insert(u"massnahme"_qs, [&](qint64 id) {
      return u"INSERT INTO massnahme (ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung) VALUES ("_qs +
             QString::number(id) + u',' + quoted(m.auid) + u',' + quoted(m.wastun) + u',' + QString::number(m.dasoll) +
             u',' + QString::number(m.dadurch) + u',' + quoted(m.werdurch) + u',' + quoted(m.anmerkung) + u");"_qs;
    });
    if (newId < 0) return -1;
    if (!record(local, recordRow(u"massnahme"_qs, m.row, newId))) return -1;
    ++n;
  }
  return n;
}

int returnResults(db::Connection* server, db::Connection* local, const common::MainScreen& screen) {
  if (!ensureTransferRecord(local)) return -1;
  const qint64 total = db::countRows(local, u"resultat"_qs);
  const QString select = resultsWithRecord();
  struct LocalResult {
    qint64 row;
    QString values;  // the VALUES after the ID
  };
  std::vector<LocalResult> results;
  {
    db::Query rows(local, select);
    if (!queryRan(rows, db::MessageForm::QueryFailed, select)) return -1;
    while (rows.next()) {
      if (!rows.isNull(10)) continue;  // returned already, as it stands
      results.push_back({rows.int64(0), quoted(rows.text(2)) + u',' + QString::number(rows.int32(3)) + u',' +
                                            quoted(rows.text(4)) + u',' + quoted(rows.text(5)) + u',' +
                                            quoted(rows.text(6)) + u',' + temperature(rows.real(7)) + u',' +
                                            quoted(rows.text(8)) + u',' + quoted(rows.text(9))});
    }
    if (rows.failed()) {
      db::reportFailure(db::MessageForm::QueryFailed, select);
      return -1;
    }
  }
  screen.statusText(u"Tabelle resultat "_qs + QString::number(total) + u" Einträge abgeben"_qs);
  NewServerRows newRows(server);
  int n = 0;
  for (const LocalResult& r : results) {
    screen.statusProgress(common::progressPercent(total - static_cast<qint64>(results.size()) + n, total));
    const qint64 newId = newRows.insert(u"resultat"_qs, [&](qint64 id) {
      return u"INSERT INTO resultat (ID,AUID,abda,anme,keim,syst,temp,resu,prot) VALUES ("_qs + QString::number(id) +
             u',' + r.values + u");"_qs;
    });
    if (newId < 0) return -1;
    if (!record(local, recordRow(u"resultat"_qs, r.row, newId))) return -1;
    ++n;
  }
  common::clearStatus(screen);
  return n;
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
