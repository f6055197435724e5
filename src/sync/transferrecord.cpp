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
const QStringList resultIdentityColumns{u"AUID"_qs, u"abda"_qs};

// The columns of the row a in SQLite's literal form, joined by commas.
QString quotedColumns(const QString& a, const QStringList& columns) {
  QStringList parts;
  for (const QString& column : columns) parts << u"quote("_qs + a + u'.' + column + u')';
  return parts.join(u"||','||"_qs);
}

QString measureKey(const QString& a) { return quotedColumns(a, measureKeyColumns); }
QString measureStand(const QString& a) { return quotedColumns(a, measureStandColumns); }
QString resultKey(const QString& a) { return quotedColumns(a, resultKeyColumns); }

// The record's entry e of the local row a, by the row's number only.
QString entryJoin(const QString& table, const QString& a) {
  return u" LEFT JOIN abgleich e ON e.tabelle='"_qs + table + u"' AND e.zeile="_qs + a + u".rowid"_qs;
}

// 1 when the entry e belongs to the local row a: the same ID and identifying values (a
// result's "kennung" begins with them); 0 otherwise, also when there is no entry.
QString belongs(const QString& table, const QString& a) {
  QString identity;
  if (table == u"massnahme") {
    identity = u"e.kennung="_qs + measureKey(a);
  } else {
    const QString prefix = quotedColumns(a, resultIdentityColumns) + u"||','"_qs;
    identity = u"substr(e.kennung,1,length("_qs + prefix + u"))="_qs + prefix;
  }
  return u"coalesce(e.ID="_qs + a + u".ID AND "_qs + identity + u",0)"_qs;
}

QString literal(const QString& text) { return u'\'' + QString(text).replace(u'\'', u"''"_qs) + u'\''; }

}  // namespace

bool ensureTransferRecord(db::Connection* local) {
  const QString statement = QStringLiteral(
      "CREATE TABLE IF NOT EXISTS abgleich (tabelle varchar(16) NOT NULL, zeile longint NOT NULL, "
      "ID longint NOT NULL, serverID longint NOT NULL, vorgang varchar(16) NOT NULL, "
      "kennung longtext NOT NULL, stand longtext NOT NULL, vorherVorgang varchar(16), vorherID longint, "
      "vorherStand longtext, PRIMARY KEY (tabelle, zeile));");
  if (!db::execute(local, statement)) {
    db::reportFailure(db::MessageForm::TableError, statement);
    return false;
  }
  if (db::Query(local, u"SELECT vorherStand FROM abgleich LIMIT 0;"_qs).ok()) return true;
  // The record of an earlier version: it gains the columns of an entry before its transit.
  for (const QString& column : {u"vorherVorgang varchar(16)"_qs, u"vorherID longint"_qs, u"vorherStand longtext"_qs}) {
    const QString add = u"ALTER TABLE abgleich ADD COLUMN "_qs + column + u';';
    if (!db::execute(local, add)) {
      db::reportFailure(db::MessageForm::TableError, add);
      return false;
    }
  }
  return true;
}

QStringList recordFetchedMeasures() {
  return {u"DELETE FROM abgleich WHERE tabelle='massnahme';"_qs,
          u"INSERT INTO abgleich (tabelle,zeile,ID,serverID,vorgang,kennung,stand) SELECT 'massnahme',m.rowid,m.ID,m.ID,"
          "'abgeholt',"_qs + measureKey(u"m"_qs) + u',' + measureStand(u"m"_qs) + u" FROM massnahme m;"_qs};
}

QString forgetResults() { return u"DELETE FROM abgleich WHERE tabelle='resultat';"_qs; }

QString rowsInTransit(const QString& table) {
  return u"SELECT zeile,serverID,kennung,stand FROM abgleich WHERE tabelle='"_qs + table + u"' AND vorgang='"_qs +
         inTransitEvent + u"' ORDER BY zeile;"_qs;
}

QStringList recordedColumns(const QString& table) {
  return table == u"massnahme" ? measureKeyColumns + measureStandColumns : resultKeyColumns;
}

QStringList identityColumns(const QString& table) {
  return table == u"massnahme" ? measureKeyColumns : resultIdentityColumns;
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

bool RecordWriter::write(qint64 row, const RecordEntry& before, qint64 serverId, const QString& event) {
  const bool measure = table_ == u"massnahme";
  const QString key = measure ? measureKey(u"t"_qs) : resultKey(u"t"_qs);
  const QString stand = measure ? measureStand(u"t"_qs) : u"''"_qs;
  if (before.event.isEmpty()) {
    return changeOne(u"INSERT INTO abgleich (tabelle,zeile,ID,serverID,vorgang,kennung,stand) SELECT '"_qs + table_ +
                         u"',t.rowid,t.ID,?,"_qs + literal(event) + u',' + key + u',' + stand + u" FROM "_qs + table_ +
                         u" t WHERE t.rowid=?;"_qs,
                     {serverId, row});
  }
  // A measure in transit keeps its entry before; every other entry forgets it.
  const QString keep = measure && event == inTransitEvent
                           ? u"vorherVorgang=abgleich.vorgang,vorherID=abgleich.serverID,vorherStand=abgleich.stand"_qs
                           : u"vorherVorgang=NULL,vorherID=NULL,vorherStand=NULL"_qs;
  return changeOne(u"UPDATE abgleich SET ID=t.ID,serverID=?,vorgang="_qs + literal(event) + u",kennung="_qs + key +
                       u",stand="_qs + stand + u',' + keep + u" FROM "_qs + table_ +
                       u" t WHERE t.rowid=abgleich.zeile AND abgleich.tabelle='"_qs + table_ +
                       u"' AND abgleich.zeile=? AND abgleich.vorgang="_qs + literal(before.event) +
                       u" AND abgleich.serverID=?;"_qs,
                   {serverId, row, before.serverId});
}

bool RecordWriter::move(qint64 row, qint64 from, qint64 to) {
  return changeOne(u"UPDATE abgleich SET serverID=? WHERE tabelle='"_qs + table_ + u"' AND zeile=? AND vorgang='"_qs +
                       inTransitEvent + u"' AND serverID=?;"_qs,
                   {to, row, from});
}

bool RecordWriter::arrived(qint64 row, qint64 serverId) {
  return changeOne(u"UPDATE abgleich SET vorgang='"_qs + returnedEvent +
                       u"',vorherVorgang=NULL,vorherID=NULL,vorherStand=NULL WHERE tabelle='"_qs + table_ +
                       u"' AND zeile=? AND vorgang='"_qs + inTransitEvent + u"' AND serverID=?;"_qs,
                   {row, serverId});
}

bool RecordWriter::notArrived(qint64 row, qint64 serverId) {
  const QString where = u" WHERE tabelle='"_qs + table_ + u"' AND zeile=? AND vorgang='"_qs + inTransitEvent +
                        u"' AND serverID=? AND vorherVorgang IS "_qs;
  int count = 0;
  if (!changed(u"DELETE FROM abgleich"_qs + where + u"NULL;"_qs, {row, serverId}, count)) return false;
  return count == 1 ||
         changeOne(u"UPDATE abgleich SET vorgang=vorherVorgang,serverID=vorherID,stand=vorherStand,vorherVorgang=NULL,"
                   "vorherID=NULL,vorherStand=NULL"_qs + where + u"NOT NULL;"_qs,
                   {row, serverId});
}

bool RecordWriter::changeOne(const QString& sql, const std::vector<qint64>& values) {
  int count = 0;
  if (!changed(sql, values, count)) return false;
  if (count == 1) return true;
  db::setLastError(u"Ein anderer Vorgang hat den Abgleich dieser Zeile inzwischen eingetragen; "
                   "sein Eintrag wird nicht überschrieben."_qs);
  return false;
}

bool RecordWriter::changed(const QString& sql, const std::vector<qint64>& values, int& count) {
  statement_.clear();
  size_t next = 0;
  for (QChar c : sql) statement_ += c == u'?' && next < values.size() ? QString::number(values[next++]) : QString(c);
  for (size_t i = 0; i < values.size(); ++i) db::bindInteger(local_, static_cast<int>(i), values[i]);
  if (!db::execute(local_, sql)) return false;
  db::Query changes(local_, u"SELECT changes();"_qs);
  if (!changes.next()) return false;
  count = changes.int32(0);
  return true;
}

QString measuresWithRecord() {
  const QString b = belongs(u"massnahme"_qs, u"m"_qs);
  return u"SELECT m.rowid,m.ID,m.AUID,m.wastun,m.dasoll,m.dadurch,m.werdurch,m.anmerkung,CASE WHEN "_qs + b +
         u" THEN e.serverID END,"_qs + b + u" AND e.stand="_qs + measureStand(u"m"_qs) + u",CASE WHEN "_qs + b +
         u" THEN e.stand END,e.vorgang,e.serverID FROM massnahme m"_qs + entryJoin(u"massnahme"_qs, u"m"_qs) +
         u" ORDER BY m.rowid;"_qs;
}

QString resultsWithRecord() {
  const QString b = belongs(u"resultat"_qs, u"t"_qs);
  return u"SELECT t.rowid,t.ID,t.AUID,t.abda,t.anme,t.keim,t.syst,t.temp,t.resu,t.prot,CASE WHEN "_qs + b +
         u" THEN e.serverID END,"_qs + b + u" AND e.kennung="_qs + resultKey(u"t"_qs) +
         u",e.vorgang,e.serverID FROM resultat t"_qs + entryJoin(u"resultat"_qs, u"t"_qs) + u" ORDER BY t.rowid;"_qs;
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
  // recorded (then, as above, only when carried out); a result without one, or corrected
  // since it was returned, is work too.
  const QString measureBelongs = belongs(u"massnahme"_qs, u"m"_qs);
  const QString resultBelongs = belongs(u"resultat"_qs, u"t"_qs);
  db::Query measures(local, u"SELECT COUNT(*) FROM massnahme m"_qs + entryJoin(u"massnahme"_qs, u"m"_qs) + u" WHERE (NOT "_qs +
                                measureBelongs + u" AND (m.dadurch>0 OR EXISTS (SELECT 1 FROM abgleich WHERE "
                                "tabelle='massnahme'))) OR ("_qs + measureBelongs + u" AND e.stand<>"_qs +
                                measureStand(u"m"_qs) + u") OR e.vorgang='"_qs + inTransitEvent + u"';"_qs);
  db::Query results(local, u"SELECT COUNT(*) FROM resultat t"_qs + entryJoin(u"resultat"_qs, u"t"_qs) + u" WHERE NOT "_qs +
                               resultBelongs + u" OR e.kennung<>"_qs + resultKey(u"t"_qs) + u" OR e.vorgang='"_qs +
                               inTransitEvent + u"';"_qs);
  if (measures.next() && results.next()) pending = {measures.int32(0), results.int32(0)};
  return pending;
}

}  // namespace transfer
