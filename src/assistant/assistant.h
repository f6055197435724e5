// The measures assistant: the choice of an area, the list of its measures, the recording of
// a measure with its remark or stored dialog, and the two export files of the recorded work.
#pragma once

#include "common/mainscreen.h"
#include "platform/iconlists.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace db {
struct Connection;
class Query;
}

namespace assistant {

// One massnahme row, texts decoded. Two rows may share an ID (the local table has no key,
// and servers deliver such rows): row, the row's number in the local file, tells them apart.
struct MeasureRecord {
  qint64 ID = 0;
  QString AUID;
  QString wastun;
  qint32 dasoll = 0;
  qint32 dadurch = 0;  // below 1: not yet carried out
  QString werdurch;
  QString anmerkung;
  qint64 row = 0;  // 0 when not read
};

// One auslass row, texts decoded and without outer blanks.
struct OutletRecord {
  qint32 ID = 0;
  QString AUID, code, art, raum, region, hydron;
};

// One resultat row as the assistant writes it.
struct ResultRecord {
  qint32 ID = 0;
  QString AUID;
  qint32 abda = 0;
  QString anme;
  QString keim;
  QString syst;
  float temp = 0;
  QString resu;
  QString prot;
};

// ---- the command and the area choice ----

// "Massnahmenassistent": the area choice and the outlet screen in turn until the user goes
// back. Without a local database it only says so. The caller refills the main lists.
void assistantCommand(db::Connection* local, const common::MainScreen& screen, const QString& commandText);

// Shows the areas and waits: the chosen area's text, or empty when the user goes back.
QString chooseArea(db::Connection* local, const common::MainScreen& screen, const QString& commandText);
void showAreas(db::Connection* local, const common::MainScreen& screen, const QString& commandText);

// The areas of the outlets that have measures, sorted and each once; the list's size.
int collectAreas(db::Connection* db, QStringList& areas);

// A measure from a row of the columns ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung and,
// where the query reads it, the local row number.
MeasureRecord measureFromRow(const db::Query& row);

// The measures due from..to, both included; the list's size or -1 after a reported failure.
int loadMeasuresDue(db::Connection* db, qint32 from, qint32 to, QList<MeasureRecord>& measures);
// The same, each record with its local row (which a view of the measures does not have).
int loadMeasureRowsDue(db::Connection* db, qint32 from, qint32 to, QList<MeasureRecord>& measures);

// The outlet of that AUID: 1 when the query ran (the record cleared when there is none),
// 0 after a reported failure (the record unchanged).
int loadOutlet(db::Connection* db, const QString& AUID, OutletRecord& outlet);

// The background of an area row by the share of its open and carried-out measures.
platform::Rgb areaColour(db::Connection* db, const QString& area);

// Appends one text per row of "SELECT modifier column FROM table condition;", the columns
// joined by "; ". The list's size, or -1 after a reported failure.
int selectRowsAsText(db::Connection* db, const QString& table, const QString& column, const QString& modifier,
                     const QString& condition, QStringList& rows);

// COUNT(*) of the rows that meet the condition, or -1 after a reported failure.
qint64 countWhere(db::Connection* db, const QString& table, const QString& condition);

// The text colour for a row background: light text on the program's dark rows, dark text on
// light ones.
platform::Rgb contrastTextColour(platform::Rgb background);

// ---- the outlet screen ----

// Runs the measure list of the area until "Zurück"; returns the empty text.
QString runOutletList(db::Connection* local, const common::MainScreen& screen, const QString& area,
                      const QString& commandText);
void showOutletList(db::Connection* local, const common::MainScreen& screen, const QString& area,
                    const QString& commandText);

// A row of the measure list: its text and the local row of the measure it stands for (of
// several measures with one text, the first).
struct MeasureRow {
  QString text;
  qint64 row = 0;
};

// The rows of the measures whose outlet lies in the area (the region compared as the area
// list compares it), sorted and each text once; their number.
int collectMeasureRows(db::Connection* db, const QString& area, QList<MeasureRow>& rows);
int collectMeasureRows(db::Connection* db, const QString& area, QStringList& rows);

// showOutletList; the measure rows it listed after the "all" row, in list order.
QList<MeasureRow> showMeasureRows(db::Connection* local, const common::MainScreen& screen, const QString& area,
                                  const QString& commandText);

// The row text of a measure: "AUID wastun (ID)".
QString measureRowText(const MeasureRecord& measure);
inline const QString allRowText = QStringLiteral("Alle Items (von ***)(***)");

// The text between the last "(" and the last ")"; that text as a number (0 when none).
QString rowTag(const QString& rowText);
qint32 rowId(const QString& rowText);
// The trimmed text between the first start and the first stop after it; empty when missing.
QString textBetween(const QString& text, const QString& start, const QString& stop);

// Carried out green, overdue red, due later blue, against now.
platform::Rgb measureColour(const MeasureRecord& measure);

// 1 when the query ran (the record filled when the row exists), 0 after a reported failure:
// the first measure with that ID, or the measure of that local row.
int loadMeasure(db::Connection* db, qint32 id, MeasureRecord& measure);
int loadMeasureRow(db::Connection* db, qint64 row, MeasureRecord& measure);
// Writes what carrying out a measure changes (dadurch, werdurch, anmerkung) into the
// record's own local row, and nothing else: 1, or 0 after a reported failure.
int saveMeasure(db::Connection* db, const MeasureRecord& measure);
// Gives the record the next ID and inserts it: 1, or 0 after a reported failure.
int insertResult(db::Connection* db, ResultRecord& result);

// The dialog's button do2: checks that the document names a measurement.
void measurementRequest(int document);

// A value field of a recording dialog as a result of the outlet: "_" becomes "°" in resu,
// syst from KW/WW in the name, temp from the value (a decimal comma is a decimal point).
ResultRecord resultFromField(const QString& key, const QString& value, const QString& AUID);
float readTemperature(const QString& value);
// True when the value begins with a number (blanks before it skipped; "," or "." as the
// decimal separator) that a temperature can hold: "36,6 °C" is one, "warm" and "ca. 40" are not.
bool isReading(const QString& value);

// ---- the export files ----

// Appends the line of the record to the object's file in the user's temporary folder,
// with the header when the file is empty. false when the line could not be written (the
// file cannot be opened, is held by another program, or the write fails): the caller says so.
bool exportMeasure(const QString& objectName, const MeasureRecord& measure);
bool exportResult(const QString& objectName, const ResultRecord& result);

// "leer", the day alone at midnight, or the day and hh:ii.
QString formatDayTime(qint32 date);

// The two files of an object.
QString measureExportPath(const QString& objectName);
QString resultExportPath(const QString& objectName);

// The text in the export files' code page, Windows-1252; a character it lacks becomes "?".
QByteArray toExportCodePage(const QString& text);

}  // namespace assistant
