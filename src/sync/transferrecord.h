// The device's record of its exchange with the server, kept in the local table "abgleich"
// beside the four tables of the object: for every measure fetched, its server ID and its
// values as fetched; for every measure and result returned, the server ID it went to and its
// values as sent. The return sends only what the record does not already hold.
#pragma once

#include "db/database.h"

#include <QString>
#include <QStringList>

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

// The statement that records one local row, with its values as they stand, as belonging to
// the server's row serverId: "abgegeben" after it was sent, "abgeholt" when the server
// was found to hold it already.
QString recordRow(const QString& table, qint64 row, qint64 serverId, const QString& event = QStringLiteral("abgegeben"));

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
