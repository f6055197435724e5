// "Daten abholen": the day choice in the main window and the copy of that day's measures.
// The local measures are replaced in one transaction; results go only after a good copy.
#include "sync/transfers.h"

#include "common/dates.h"
#include "common/textlist.h"
#include "db/messages.h"
#include "db/quoting.h"
#include "platform/boxes.h"
#include "platform/screenloop.h"
#include "platform/iconlists.h"
#include "platform/system.h"
#include "platform/windows.h"
#include "sync/transferrecord.h"
#include "sync/transfersupport.h"

namespace transfer {

int selectIntegerColumn(db::Connection* c, const QString& table, const QString& column,
                        const QString& modifier, const QString& condition, QList<qint32>& values) {
  const QString statement = u"SELECT "_qs + modifier + u' ' + column + u" FROM  "_qs + table + u' ' + condition + u';';
  db::Query rows(c, statement);
  if (!queryRan(rows, db::MessageForm::QueryFailed, statement)) return -1;
  while (rows.next()) values.append(rows.int32(0));
  if (rows.failed()) {  // rows that broke off are no complete list
    db::reportFailure(db::MessageForm::QueryFailed, statement);
    return -1;
  }
  return static_cast<int>(values.size());
}

int fetchDueMeasures(db::Connection* server, db::Connection* local, qint32 from, qint32 to,
                     const common::MainScreen& screen) {
  const qint64 total = db::countRows(server, u"massnahme"_qs);
  const QString select = u"SELECT ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung FROM massnahme WHERE dasoll>="_qs +
                         QString::number(from) + u" AND dasoll<="_qs + QString::number(to) + u';';
  if (!ensureTransferRecord(local)) return -1;
  // Only local statements run while the rows are read, so the server may stream them.
  db::Query rows(server, select, db::ReadMode::Streamed);
  if (!queryRan(rows, db::MessageForm::QueryFailed, select)) return -1;
  LocalReplacement replacement(local, db::MessageForm::QueryFailed);
  if (!replacement.begin(u"DELETE FROM massnahme;"_qs)) return -1;
  screen.statusText(u"Tabelle massnahme "_qs + QString::number(total) + u" Einträge abholen"_qs);
  common::TransferProgress progress(screen, total);
  // One prepared INSERT with the row's values bound stores what the row's statement text
  // would; the text is built only to name a failure.
  db::Statement insert(local, u"INSERT INTO massnahme (ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung) VALUES (?,?,?,?,?,?,?);"_qs);
  int n = 0;
  while (rows.next()) {
    progress.show(n);
    insert.bindInteger(0, rows.int32(0));
    insert.bindRestoredTextOf(1, rows, 1);
    insert.bindRestoredTextOf(2, rows, 2);
    insert.bindInteger(3, rows.int32(3));
    insert.bindInteger(4, rows.int32(4));
    insert.bindRestoredTextOf(5, rows, 5);
    insert.bindRestoredTextOf(6, rows, 6);
    if (!insert.execute()) {
      auto quoted = [&](int column) { return db::quoteText(db::unescapeText(rows.text(column))); };
      replacement.fail(u"INSERT INTO massnahme (ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung) VALUES ("_qs +
                       QString::number(rows.int32(0)) + u',' + quoted(1) + u',' + quoted(2) + u',' +
                       QString::number(rows.int32(3)) + u',' + QString::number(rows.int32(4)) + u',' +
                       quoted(5) + u',' + quoted(6) + u");"_qs);
      return -1;
    }
    ++n;
  }
  // The device's record of what it fetched goes with the copy, in the same transaction.
  if (!rows.failed()) {
    for (const QString& statement : recordFetchedMeasures())
      if (!replacement.execute(statement)) return -1;
  }
  if (!replacement.finish(rows, select)) return -1;
  common::clearStatus(screen);
  return n;
}

int clearTable(db::Connection* c, const QString& table) {
  QString statement;
  switch (db::databaseKind(c)) {
    case 1: statement = u"DELETE FROM "_qs + table + u';'; break;
    case 2:
    case 3:
    case 4:
    case db::postgreSqlKind: statement = u"TRUNCATE TABLE "_qs + table + u';'; break;
    default: return -1;
  }
  if (db::execute(c, statement)) return 1;
  db::reportFailure(db::MessageForm::QueryError, statement);
  return -1;
}

void showDueDays(db::Connection* server, const QString& commandText, const common::MainScreen& screen) {
  platform::setWindowTitle(screen.window, u"VarnothM Objekt "_qs + screen.currentObject.toUpper() +
                                              u" Datumswahl für "_qs + commandText);
  platform::showScreenCommands(screen);
  QList<qint32> due;
  if (selectIntegerColumn(server, u"massnahme"_qs, u"dasoll"_qs, u"DISTINCT"_qs, u"WHERE dasoll>0 And dadurch<=0"_qs,
                          due) < 0)
    due.clear();  // reported; a part of the days would be a wrong choice
  common::SortedTextList days;
  for (qint32 value : due) common::insertSortedUnique(days, common::formatDay(value));
  for (const QString& day : days.items) platform::addIconItem(screen.objectList, day, screen.image(u"date"_qs));
  screen.layout();
}

qint32 chooseDueDay(db::Connection* server, const QString& commandText, const common::MainScreen& screen) {
  showDueDays(server, commandText, screen);
  const int index = platform::waitScreenChoice(screen);
  if (index < 0) return 0;
  const QString text = platform::iconItemText(screen.objectList, index);
  qint32 day = common::parseDate(u"%yyyy-%mm-%dd %hh:%ii"_qs, text);
  if (day < 1) day = common::parseDate(u"%yyyy-%mm-%dd"_qs, text);
  return day;
}

void fetchDayCommand(db::Connection* local, const db::ServerSettings& settings,
                     const common::MainScreen& screen, const QString& commandText) {
  if (!local) {
    platform::messageBox(u"Meldung"_qs, u"Noch kein Objekt ausgewählt."_qs);
    return;
  }
  // Held from the count of work not yet returned to the end of the copy.
  TransferHold hold(local);
  if (!hold.held()) return;
  QString warning =
      u"Wenn Sie das machen, werden alle Daten auf diesem Gerät mit denen des Servers überschrieben.\r\n"
      "Sie müssen Ihre erfassten Daten VORHER ABGEGEBEN haben,sonst sind sie weg.\r\n\r\n"
      "Wollen Sie WIRKLICH fortfahren?"_qs;
  const PendingWork pending = pendingWork(local);
  if (pending.measures > 0 || pending.results > 0)
    warning += u"\r\nNoch nicht abgegeben: "_qs + QString::number(qMax(pending.measures, 0)) + u" Maßnahmen, "_qs +
               QString::number(qMax(pending.results, 0)) + u" Resultate."_qs;
  if (platform::messageBox(u"Warnung"_qs, warning, platform::BoxIcon::Warning, platform::BoxButtons::YesNoCancel) !=
      platform::BoxAnswer::Yes)
    return;
  db::ConnectionGuard server(openObjectServer(settings, screen, platform::BoxIcon::Info));
  const qint32 day = chooseDueDay(server.get(), commandText, screen);
  if (day == 0) return;
  const int n = fetchDueMeasures(server.get(), local, common::startOfDay(day), common::endOfDay(day), screen);
  if (n > 0 && clearTable(local, u"resultat"_qs) == 1 && !db::execute(local, forgetResults()))
    db::reportFailure(db::MessageForm::QueryFailed, forgetResults());
  hold.release();  // a summary left open keeps no other window waiting
  if (n == 0) {
    platform::messageBox(u"Info"_qs, u"Für diese Wochen sind für diesen Tag keine Maßnahmenahmen vorgesehen."_qs,
                         platform::BoxIcon::Info);
  } else if (n > 0) {
    platform::messageBox(u"Info"_qs, QString::number(n) + u" Abgleichvorgänge für Massnahme durchgeführt."_qs,
                         platform::BoxIcon::Info);
  }
}

}  // namespace transfer
