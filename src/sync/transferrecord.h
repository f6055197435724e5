// The device's record of its exchange with the server, kept in the local table "abgleich"
// beside the four tables of the object: for every measure fetched, its server ID and its
// values as fetched; for every measure and result returned, the server ID it went to and its
// values as sent. The return sends only what the record does not already hold.
#pragma once

#include "db/database.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace transfer {

// A local row of massnahme or resultat is known by its row number in the local file, its ID
// and its identifying values (measure: AUID, wastun, dasoll; result: AUID and abda). The
// record's "kennung" holds a measure's identifying values and all values of a result, its
// "stand" a measure's dadurch, werdurch and anmerkung, as last fetched or sent. While a
// measure is in transit, "vorherVorgang", "vorherID" and "vorherStand" keep its entry before.
inline const QString recordTable = QStringLiteral("abgleich");

// The record table, made when the file has none yet (files of older versions). false after
// a reported failure.
bool ensureTransferRecord(db::Connection* local);

// Statements on the local connection that record the measures just fetched (all rows of the
// local massnahme table, under their own IDs) in place of the former record of measures.
QStringList recordFetchedMeasures();

// The statement that forgets the results (after the local results were emptied).
QString forgetResults();

// What the record says of a row: a measure fetched, or found on the server as it stands; a
// row the server took; a row sent inside a server transaction whose commit the device has
// not seen yet (the next return asks the server whether it holds the row).
inline const QString fetchedEvent = QStringLiteral("abgeholt");
inline const QString returnedEvent = QStringLiteral("abgegeben");
inline const QString inTransitEvent = QStringLiteral("unterwegs");

// The columns whose values a record holds, those of its "kennung", then those of its "stand".
QStringList recordedColumns(const QString& table);

// The columns by which a row on the server is recognisably the one the device sent, whatever
// else was changed there since: a measure's AUID, wastun and dasoll, a result's AUID and abda.
// They are the first columns of the record's "kennung".
QStringList identityColumns(const QString& table);

// The rows of the table in transit: rowid, server ID, then the values as they were sent
// (quote() forms, see sentValues).
QString rowsInTransit(const QString& table);

// The values of a record's "kennung" and "stand" (SQLite quote() forms joined by commas) in
// column order; a NULL is an empty text. Texts are in their stored form.
struct SentValue {
  QString text;
  bool isText = false;
};
std::vector<SentValue> sentValues(const QString& kennung, const QString& stand);

// The record's entry of a local row as the return read it: none (empty event), or its event
// and server ID.
struct RecordEntry {
  QString event;
  qint64 serverId = 0;
};

// Writes the entries of one table's rows. Each write names the entry it replaces and changes
// exactly that one: an entry that another transfer wrote meanwhile is never overwritten, the
// write fails instead. A failed write leaves lastError() and statement() for its message.
class RecordWriter {
 public:
  RecordWriter(db::Connection* local, const QString& table) : local_(local), table_(table) {}

  // The local row, with its values as they stand, as belonging to the server row. A measure
  // going in transit keeps the entry it had, for the case that the server never takes it.
  bool write(qint64 row, const RecordEntry& before, qint64 serverId, const QString& event);
  // A row in transit that goes to another server ID, before it is sent again.
  bool move(qint64 row, qint64 from, qint64 to);
  // A row in transit that the server holds: returned.
  bool arrived(qint64 row, qint64 serverId);
  // A row in transit that the server does not hold: its entry is what it was before, or none.
  bool notArrived(qint64 row, qint64 serverId);

  const QString& statement() const { return statement_; }

 private:
  // Runs the statement with the integer values for its markers; true when it changed one entry.
  bool changeOne(const QString& sql, const std::vector<qint64>& values);
  bool changed(const QString& sql, const std::vector<qint64>& values, int& count);

  db::Connection* local_;
  QString table_;
  QString statement_;
};

// The local rows with what the record knows of each, in local order: rowid, the columns of
// the table, then from the entry that belongs to the row (the same ID and identifying
// values; NULL when none) its server ID, 1 when the row is unchanged since the entry (a
// measure's "stand", all of a result's values) and, for a measure, its "stand"; last the
// event and server ID of whatever entry the record holds for the row's number (NULL when none).
QString measuresWithRecord();
QString resultsWithRecord();

// Work on the device that the server does not have yet. -1 in both after a failure (not
// reported: the caller only adds a hint).
struct PendingWork {
  int measures = 0;
  int results = 0;
};
PendingWork pendingWork(db::Connection* local);

}  // namespace transfer
