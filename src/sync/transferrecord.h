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
// and its identifying values (measure: AUID, wastun, dasoll; result: all its values). The
// record's "stand" of a measure holds dadurch, werdurch and anmerkung as last fetched or sent.
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

// The statement that records one local row, with its values as they stand, as belonging to a
// server row. Markers, bound in this order: the server's ID, the event, the local rowid.
QString recordRowStatement(const QString& table);

// The rows of the table in transit: rowid, server ID, then the values as they were sent
// (quote() forms, see sentValues).
QString rowsInTransit(const QString& table);

// The columns whose values a record holds, those of its "kennung", then those of its "stand".
QStringList recordedColumns(const QString& table);

// The values of a record's "kennung" and "stand" (SQLite quote() forms joined by commas) in
// column order; a NULL is an empty text. Texts are in their stored form.
struct SentValue {
  QString text;
  bool isText = false;
};
std::vector<SentValue> sentValues(const QString& kennung, const QString& stand);

// The local rows with what the record knows of each, in local order: rowid, the columns
// of the table, then the record's server ID (NULL when none) and, for a measure, 1 when its
// "stand" is unchanged since the record.
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
