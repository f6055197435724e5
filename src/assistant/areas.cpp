// The assistant's first screen: the areas of the building in the main window, coloured by the
// share of their measures still open, and the query routines the outlet screen shares.
#include "assistant/assistant.h"

#include "common/numbers.h"
#include "common/textlist.h"
#include "db/database.h"
#include "db/messages.h"
#include "db/quoting.h"
#include "db/snapshot.h"
#include "platform/boxes.h"
#include "platform/screenloop.h"
#include "platform/system.h"
#include "platform/windows.h"

#include <QSet>

#include <algorithm>
#include <limits>

namespace assistant {

namespace {

constexpr qint32 lastDate = std::numeric_limits<qint32>::max();
const platform::Rgb noMeasures{153, 153, 153};


QString renderCell(const db::Query& row, int column) {
  switch (row.columnKind(column)) {
    case db::ColumnKind::Long:
    case db::ColumnKind::Quad: return QString::number(row.int64(column));
    case db::ColumnKind::Text: return db::unescapeTrimmed(row.text(column));
    case db::ColumnKind::Float: return common::decimalText(static_cast<double>(row.single(column)));
    case db::ColumnKind::Double: return common::decimalText(row.real(column));
    case db::ColumnKind::Other: break;
  }
  return QString();
}

// countWhere of the measures of one outlet in a state, as the area colour counts them: run
// twice per outlet, so with the outlet as a parameter of one prepared statement. A failure
// names the statement with its literal, in message form B; the count is then -1.
qint64 countOutletMeasures(db::Connection* db, const QString& AUID, const QString& state) {
  const QString condition = u"dasoll>=0 AND dasoll<="_qs + QString::number(lastDate) + u" AND "_qs + state + u" AND AUID="_qs;
  const QString sql = u"SELECT COUNT(*) FROM massnahme WHERE "_qs + condition + db::quoteText(AUID) + u';';
  db::bindText(db, 0, db::escapeText(AUID));
  db::Query result(db, u"SELECT COUNT(*) FROM massnahme WHERE "_qs + condition + u"?;"_qs);
  if (result.ok() && result.next()) return result.int64(0);
  if (result.ok() && !result.failed()) return 0;
  db::reportFailure(db::MessageForm::QueryError, sql);
  return -1;
}

// The measures due from..to with the columns of a MeasureRecord and the extra ones; a
// failure names the statement as it reads without the extra columns.
int loadMeasures(db::Connection* db, qint32 from, qint32 to, const QString& extra, QList<MeasureRecord>& measures) {
  measures.clear();
  const QString columns = u"ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung"_qs;
  const QString condition = u" FROM massnahme WHERE dasoll>="_qs + QString::number(from) + u" And dasoll<="_qs +
                            QString::number(to) + u';';
  const QString sql = u"SELECT "_qs + columns + condition;
  db::Query rows(db, u"SELECT "_qs + columns + extra + condition);
  if (!rows.ok()) {
    db::reportFailure(db::MessageForm::QueryFailed, sql);
    return -1;
  }
  while (rows.next()) measures.append(measureFromRow(rows));
  if (rows.failed()) {  // the answer broke off: a part of the measures is no list of them
    db::reportFailure(db::MessageForm::QueryFailed, sql);
    measures.clear();
    return -1;
  }
  return static_cast<int>(measures.size());
}

// The outlets of an area, each AUID once in ascending order: those whose region is the
// area as the area list compares it (trimmed, without regard to letter case), so that an
// area is coloured by the same outlets whose measures its list shows. A failure is reported
// in form A; the area then has no outlets.
int areaOutlets(db::Connection* db, const QString& area, QStringList& outlets) {
  const QString sql = u"SELECT AUID,region FROM auslass ORDER BY AUID ASC;"_qs;
  db::Query result(db, sql);
  if (!result.ok()) {
    db::reportFailure(db::MessageForm::QueryFailed, sql);
    return -1;
  }
  QSet<QString> listed;
  while (result.next()) {
    if (!common::sameListEntry(db::unescapeTrimmed(result.text(1)), area)) continue;
    const QString outlet = db::unescapeTrimmed(result.text(0));
    if (!listed.contains(outlet)) {
      listed.insert(outlet);
      outlets.append(outlet);
    }
  }
  if (result.failed()) {
    db::reportFailure(db::MessageForm::QueryFailed, sql);
    outlets.clear();
    return -1;
  }
  return static_cast<int>(outlets.size());
}

}  // namespace

void assistantCommand(db::Connection* local, const common::MainScreen& screen, const QString& commandText) {
  if (!local) {
    platform::messageBox(u"Meldung"_qs, u"Noch kein Objekt ausgewählt."_qs);
    return;
  }
  for (;;) {
    const QString area = chooseArea(local, screen, commandText);
    if (area.isEmpty()) break;
    runOutletList(local, screen, area, commandText);
  }
}

QString chooseArea(db::Connection* local, const common::MainScreen& screen, const QString& commandText) {
  showAreas(local, screen, commandText);
  const int index = platform::waitScreenChoice(screen);
  return index < 0 ? QString() : platform::iconItemText(screen.objectList, index);
}

void showAreas(db::Connection* local, const common::MainScreen& screen, const QString& commandText) {
  platform::setWindowTitle(screen.window, u"VarnothM Objekt "_qs + screen.currentObject.toUpper() +
                                              u" Bereichswahl für "_qs + commandText);
  screen.statusText(u"Itemliste wird aufgebaut"_qs);
  platform::showScreenCommands(screen);
  const db::ReadSnapshot snapshot(local);  // a query per measure and outlet: one file lock for all
  QStringList areas;
  collectAreas(local, areas);
  const int total = static_cast<int>(areas.size()) + 1;
  for (int i = 1; i <= areas.size(); ++i) {
    screen.statusProgress(i * 100 / total);
    platform::addIconItem(screen.objectList, areas[i - 1], screen.image(u"date"_qs));
    const int item = platform::iconItemCount(screen.objectList) - 1;
    const platform::Rgb background = areaColour(local, areas[i - 1]);
    platform::setIconItemBackground(screen.objectList, item, background);
    platform::setIconItemTextColour(screen.objectList, item, contrastTextColour(background));
  }
  screen.statusProgress(0);
  screen.statusText(QString());
  screen.layout();
}

int collectAreas(db::Connection* db, QStringList& areas) {
  areas.clear();
  QList<MeasureRecord> measures;
  loadMeasuresDue(db, 0, lastDate, measures);
  common::SortedTextList sorted;
  for (const MeasureRecord& measure : measures) {
    OutletRecord outlet;
    if (loadOutlet(db, measure.AUID, outlet) != 0 && !outlet.region.isEmpty())
      common::insertSortedUnique(sorted, outlet.region);
  }
  areas = sorted.items;
  return static_cast<int>(areas.size());
}

MeasureRecord measureFromRow(const db::Query& row) {
  MeasureRecord m;
  m.ID = row.int64(0);
  m.AUID = db::unescapeText(row.text(1));
  m.wastun = db::unescapeText(row.text(2));
  m.dasoll = row.int32(3);
  m.dadurch = row.int32(4);
  m.werdurch = db::unescapeText(row.text(5));
  m.anmerkung = db::unescapeText(row.text(6));
  if (row.columnCount() > 7) m.row = row.int64(7);
  return m;
}

int loadMeasuresDue(db::Connection* db, qint32 from, qint32 to, QList<MeasureRecord>& measures) {
  return loadMeasures(db, from, to, QString(), measures);
}

int loadMeasureRowsDue(db::Connection* db, qint32 from, qint32 to, QList<MeasureRecord>& measures) {
  return loadMeasures(db, from, to, u",rowid"_qs, measures);
}

int loadOutlet(db::Connection* db, const QString& AUID, OutletRecord& outlet) {
  // Run once per measure: the text goes in as a parameter, in its stored form, so that the
  // prepared statement serves every outlet; a failure names the statement with its literal.
  const QString sql =
      u"SELECT ID,AUID,code,art,raum,region,hydron FROM auslass WHERE AUID="_qs + db::quoteTrimmed(AUID) + u';';
  db::bindText(db, 0, db::escapeText(common::trimBlanks(AUID)));
  db::Query row(db, u"SELECT ID,AUID,code,art,raum,region,hydron FROM auslass WHERE AUID=?;"_qs);
  if (!row.ok()) {
    db::reportFailure(db::MessageForm::QueryFailed, sql);
    return 0;
  }
  if (!row.next()) {
    if (row.failed()) {
      db::reportFailure(db::MessageForm::QueryFailed, sql);
      return 0;
    }
    outlet = OutletRecord{};
    return 1;
  }
  outlet.ID = row.int32(0);
  outlet.AUID = db::unescapeTrimmed(row.text(1));
  outlet.code = db::unescapeTrimmed(row.text(2));
  outlet.art = db::unescapeTrimmed(row.text(3));
  outlet.raum = db::unescapeTrimmed(row.text(4));
  outlet.region = db::unescapeTrimmed(row.text(5));
  outlet.hydron = db::unescapeTrimmed(row.text(6));
  return 1;
}

platform::Rgb areaColour(db::Connection* db, const QString& area) {
  QStringList outlets;
  areaOutlets(db, area, outlets);
  qint64 open = 0, done = 0;
  for (const QString& outlet : outlets) {
    open += countOutletMeasures(db, outlet, u"dadurch<=0"_qs);
    done += countOutletMeasures(db, outlet, u"dadurch>0"_qs);
  }
  if (open + done <= 0) return noMeasures;
  // A failed count adds -1, which may leave a share below 0: kept a colour channel.
  const qint64 all = open + done;
  auto channel = [all](qint64 part) { return static_cast<int>(std::clamp<qint64>(part * 128 / all, 0, 255)); };
  return {channel(open), channel(done), 0};
}

int selectRowsAsText(db::Connection* db, const QString& table, const QString& column, const QString& modifier,
                     const QString& condition, QStringList& rows) {
  const QString sql = u"SELECT "_qs + modifier + u' ' + column + u" FROM "_qs + table + u' ' + condition + u';';
  db::Query result(db, sql);
  if (!result.ok()) {
    db::reportFailure(db::MessageForm::QueryFailed, sql);
    return -1;
  }
  while (result.next()) {
    QStringList cells;
    for (int i = 0; i < result.columnCount(); ++i) cells << renderCell(result, i);
    rows.append(cells.join(u"; "_qs));
  }
  if (result.failed()) {
    db::reportFailure(db::MessageForm::QueryFailed, sql);
    return -1;
  }
  return static_cast<int>(rows.size());
}

qint64 countWhere(db::Connection* db, const QString& table, const QString& condition) {
  const QString sql = u"SELECT COUNT(*) FROM "_qs + table + u" WHERE "_qs + condition + u';';
  db::Query result(db, sql);
  if (!result.ok()) {
    db::reportFailure(db::MessageForm::QueryError, sql);
    return -1;
  }
  if (result.next()) return result.int64(0);
  if (result.failed()) {
    db::reportFailure(db::MessageForm::QueryError, sql);
    return -1;
  }
  return 0;
}

platform::Rgb contrastTextColour(platform::Rgb background) {
  // Every row colour the assistant makes is dark (at most 459 in sum); a light background,
  // as another caller may set, gets dark text so that it stays readable.
  if (background.red + background.green + background.blue > 459) return {0, 0, 0};
  return {255, 204, 255};
}

}  // namespace assistant
