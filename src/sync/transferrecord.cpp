// The record table and the statements that read and write it. Values are compared in
// SQLite's own literal form (quote()), which tells NULL, numbers and texts apart exactly.
#include "sync/transferrecord.h"

#include "db/messages.h"

namespace transfer {

namespace {

const QStringList measureKeyColumns{u"AUID"_qs, u"wastun"_qs, u"dasoll"_qs};
const QStringList measureStandColumns{u"dadurch"_qs, u"werdurch"_qs, u"anmerkung"_qs};
const QStringList resultKeyColumns{u"AUID"_qs, u"abda"_qs, u"anme"_qs, u"keim"_qs,
                                   u"syst"_qs, u"temp"_qs, u"resu"_qs, u"prot"_qs};

// The columns of the row a in SQLite's literal form, joined by commas.
QString quotedColumns(const QString& a, const QStringList& columns) {
  QStringList parts;
  for (const QString& column : columns) parts << u"quote("_qs + a + u'.' + column + u')';
  return parts.join(u"||','||"_qs);
}

QString measureKey(const QString& a) { return quotedColumns(a, measureKeyColumns); }
QString measureStand(const QString& a) { return quotedColumns(a, measureStandColumns); }
QString resultKey(const QString& a) { return quotedColumns(a, resultKeyColumns); }

QString recordJoin(const QString& table, const QString& a) {
  return u" LEFT JOIN abgleich r ON r.tabelle='"_qs + table + u"' AND r.zeile="_qs + a + u".rowid AND r.ID="_qs + a +
         u".ID AND r.kennung="_qs + (table == u"massnahme" ? measureKey(a) : resultKey(a));
}

}  // namespace

bool ensureTransferRecord(db::Connection* local) {
  const QString statement = QStringLiteral(
      "CREATE TABLE IF NOT EXISTS abgleich (tabelle varchar(16) NOT NULL, zeile longint NOT NULL, "
      "ID longint NOT NULL, serverID longint NOT NULL, vorgang varchar(16) NOT NULL, "
      "kennung longtext NOT NULL, stand longtext NOT NULL, PRIMARY KEY (tabelle, zeile));");
  if (db::execute(local, statement)) return true;
  db::reportFailure(db::MessageForm::TableError, statement);
  return false;
}

QStringList recordFetchedMeasures() {
  return {u"DELETE FROM abgleich WHERE tabelle='massnahme';"_qs,
          u"INSERT INTO abgleich (tabelle,zeile,ID,serverID,vorgang,kennung,stand) SELECT 'massnahme',m.rowid,m.ID,m.ID,"
          "'abgeholt',"_qs + measureKey(u"m"_qs) + u',' + measureStand(u"m"_qs) + u" FROM massnahme m;"_qs};
}

QString forgetResults() { return u"DELETE FROM abgleich WHERE tabelle='resultat';"_qs; }

QString recordRowStatement(const QString& table) {
  const bool measure = table == u"massnahme";
  return u"INSERT OR REPLACE INTO abgleich (tabelle,zeile,ID,serverID,vorgang,kennung,stand) SELECT '"_qs + table +
         u"',t.rowid,t.ID,?,?,"_qs +
         (measure ? measureKey(u"t"_qs) + u',' + measureStand(u"t"_qs) : resultKey(u"t"_qs) + u",''"_qs) +
         u" FROM "_qs + table + u" t WHERE t.rowid=?;"_qs;
}

QString rowsInTransit(const QString& table) {
  return u"SELECT zeile,serverID,kennung,stand FROM abgleich WHERE tabelle='"_qs + table + u"' AND vorgang='"_qs +
         inTransitEvent + u"' ORDER BY zeile;"_qs;
}

QStringList recordedColumns(const QString& table) {
  return table == u"massnahme" ? measureKeyColumns + measureStandColumns : resultKeyColumns;
}

std::vector<SentValue> sentValues(const QString& kennung, const QString& stand) {
  std::vector<SentValue> values;
  for (const QString& list : {kennung, stand}) {
    qsizetype i = 0;
    const qsizetype n = list.size();
    while (i < n) {
      SentValue value;
      if (list[i] == u'\'') {
        // 'text' with each apostrophe inside doubled
        value.isText = true;
        for (++i; i < n; ++i) {
          if (list[i] != u'\'') {
            value.text += list[i];
          } else if (i + 1 < n && list[i + 1] == u'\'') {
            value.text += u'\'';
            ++i;
          } else {
            ++i;
            break;
          }
        }
      } else {
        const qsizetype end = list.indexOf(u',', i);
        value.text = list.mid(i, (end < 0 ? n : end) - i);
        if (value.text == u"NULL") value.text.clear();
        i = end < 0 ? n : end;
      }
      values.push_back(value);
      if (i < n && list[i] == u',') ++i;
    }
  }
  return values;
}

QString measuresWithRecord() {
  return u"SELECT m.rowid,m.ID,m.AUID,m.wastun,m.dasoll,m.dadurch,m.werdurch,m.anmerkung,r.serverID,r.stand="_qs +
         measureStand(u"m"_qs) + u" FROM massnahme m"_qs + recordJoin(u"massnahme"_qs, u"m"_qs) + u" ORDER BY m.rowid;"_qs;
}

QString resultsWithRecord() {
  return u"SELECT t.rowid,t.ID,t.AUID,t.abda,t.anme,t.keim,t.syst,t.temp,t.resu,t.prot,r.serverID FROM resultat t"_qs +
         recordJoin(u"resultat"_qs, u"t"_qs) + u" ORDER BY t.rowid;"_qs;
}

PendingWork pendingWork(db::Connection* local) {
  PendingWork pending{-1, -1};
  if (!db::Query(local, u"SELECT 1 FROM abgleich LIMIT 1;"_qs).ok()) {
    // A file the record has not reached yet: only measures carried out are surely work.
    db::Query done(local, u"SELECT COUNT(*) FROM massnahme WHERE dadurch>0;"_qs);
    db::Query results(local, u"SELECT COUNT(*) FROM resultat;"_qs);
    if (done.next() && results.next()) pending = {done.int32(0), results.int32(0)};
    return pending;
  }
  // A measure without a record is one made on the device, unless no fetch was ever
  // recorded (then, as above, only when carried out).
  db::Query measures(local, u"SELECT COUNT(*) FROM massnahme m"_qs + recordJoin(u"massnahme"_qs, u"m"_qs) +
                                u" WHERE (r.zeile IS NULL AND (m.dadurch>0 OR EXISTS (SELECT 1 FROM abgleich WHERE "
                                "tabelle='massnahme'))) OR r.stand<>"_qs + measureStand(u"m"_qs) + u" OR r.vorgang='"_qs +
                                inTransitEvent + u"';"_qs);
  db::Query results(local, u"SELECT COUNT(*) FROM resultat t"_qs + recordJoin(u"resultat"_qs, u"t"_qs) +
                               u" WHERE r.zeile IS NULL OR r.vorgang='"_qs + inTransitEvent + u"';"_qs);
  if (measures.next() && results.next()) pending = {measures.int32(0), results.int32(0)};
  return pending;
}

}  // namespace transfer
