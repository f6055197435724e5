// "Daten abgeben": the recorded measures and results go to the server. Nothing changes on
// the device and nothing is deleted on the server.
#include "sync/transfers.h"

#include "common/programend.h"
#include "db/messages.h"
#include "db/quoting.h"
#include "platform/boxes.h"
#include "sync/transfersupport.h"

namespace transfer {

namespace {

QString quotedText(const db::Query& row, int column) { return db::quoteText(db::unescapeText(row.text(column))); }

// The temperature as the device holds it (single precision), with exactly one decimal.
QString temperature(const db::Query& row, int column) {
  return QString::number(static_cast<double>(static_cast<float>(row.real(column))), 'f', 1);
}

}  // namespace

int returnMeasures(db::Connection* server, db::Connection* local, const common::MainScreen& screen) {
  const qint64 total = db::countRows(local, u"massnahme"_qs);
  const QString select = u"SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung FROM massnahme;"_qs;
  db::Query rows(local, select);
  if (!queryRan(rows, db::MessageForm::QueryFailed, select)) return -1;
  screen.statusText(u"Tabelle massnahme "_qs + QString::number(total) + u" Einträge abgeben"_qs);
  int n = 0;
  while (rows.next()) {
    screen.statusProgress(common::progressPercent(n, total));
    const qint32 id = rows.int32(0);
    const QString lookup = u"SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung FROM massnahme WHERE ID="_qs +
                           QString::number(id) + u';';
    bool exists = false;
    {
      db::Query found(server, lookup);
      if (!queryRan(found, db::MessageForm::QueryFailed, lookup)) return -1;
      exists = found.next();
    }
    QString statement;
    if (exists) {
      statement = u"UPDATE massnahme SET dadurch="_qs + QString::number(rows.int32(4)) + u",werdurch="_qs +
                  quotedText(rows, 5) + u",anmerkung="_qs + quotedText(rows, 6) + u" WHERE ID="_qs +
                  QString::number(id) + u';';
    } else {
      const qint32 newId = db::maxId(server, u"massnahme"_qs) + 1;
      statement = u"INSERT INTO massnahme (ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung) VALUES ("_qs +
                  QString::number(newId) + u',' + quotedText(rows, 1) + u',' + quotedText(rows, 2) + u',' +
                  QString::number(rows.int32(3)) + u',' + QString::number(rows.int32(4)) + u',' +
                  quotedText(rows, 5) + u',' + quotedText(rows, 6) + u");"_qs;
    }
    if (!db::execute(server, statement)) {
      db::reportFailure(db::MessageForm::QueryFailed, statement);
      return -1;
    }
    ++n;
  }
  if (rows.failed()) {
    db::reportFailure(db::MessageForm::QueryFailed, select);
    return -1;
  }
  return n;
}

int returnResults(db::Connection* server, db::Connection* local, const common::MainScreen& screen) {
  const qint64 total = db::countRows(local, u"resultat"_qs);
  const QString select = u"SELECT ID,AUID,abda,anme,keim,syst,temp,resu,prot FROM resultat;"_qs;
  db::Query rows(local, select);
  if (!queryRan(rows, db::MessageForm::QueryFailed, select)) return -1;
  screen.statusText(u"Tabelle resultat "_qs + QString::number(total) + u" Einträge abgeben"_qs);
  int n = 0;
  while (rows.next()) {
    screen.statusProgress(common::progressPercent(n, total));
    const qint32 newId = db::maxId(server, u"resultat"_qs) + 1;
    const QString insert = u"INSERT INTO resultat (ID,AUID,abda,anme,keim,syst,temp,resu,prot) VALUES ("_qs +
                           QString::number(newId) + u',' + quotedText(rows, 1) + u',' +
                           QString::number(rows.int32(2)) + u',' + quotedText(rows, 3) + u',' +
                           quotedText(rows, 4) + u',' + quotedText(rows, 5) + u',' + temperature(rows, 6) + u',' +
                           quotedText(rows, 7) + u',' + quotedText(rows, 8) + u");"_qs;
    if (!db::execute(server, insert)) {
      db::reportFailure(db::MessageForm::QueryFailed, insert);
      return -1;
    }
    ++n;
  }
  if (rows.failed()) {
    db::reportFailure(db::MessageForm::QueryFailed, select);
    return -1;
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
