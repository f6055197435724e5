// "Auslassliste holen": the outlet table and the recording dialogs from the server.
// Each replacement runs in one local transaction, so a failure keeps the device's rows.
#include "sync/transfers.h"

#include "common/numbers.h"
#include "common/programend.h"
#include "db/messages.h"
#include "db/quoting.h"
#include "platform/boxes.h"
#include "sync/transfersupport.h"

#include <cmath>
#include <optional>

namespace transfer {

namespace {


// A value of the server's row as the local INSERT writes it, by its column's type class.
// Texts are written as they are stored, with apostrophes doubled so that they arrive
// unchanged and cannot end the literal.
QString renderValue(const db::Query& row, int column) {
  switch (row.columnKind(column)) {
    case db::ColumnKind::Long:
    case db::ColumnKind::Quad: return QString::number(row.int64(column));
    case db::ColumnKind::Text: return u'\'' + row.text(column).replace(u"'"_qs, u"''"_qs) + u'\'';
    case db::ColumnKind::Float: return common::decimalText(static_cast<double>(row.single(column)));
    case db::ColumnKind::Double: return common::decimalText(row.real(column));
    case db::ColumnKind::Other:
      // A binary value: a text literal of its bytes read as UTF-8, as a text column holds it.
      if (row.isNull(column)) return u"NULL"_qs;
      return u'\'' + row.text(column).replace(u"'"_qs, u"''"_qs) + u'\'';
  }
  return QString();
}

// True when SQLite gives a number bound as text the value its literal would get: the
// local column converts numeric text itself (INTEGER, REAL or NUMERIC affinity).
bool takesNumbersAsText(db::Connection* local, const QString& table, const QString& column) {
  db::bindText(local, 0, table);
  db::bindText(local, 1, column);
  db::Query info(local, u"SELECT type FROM pragma_table_info(?) WHERE name=? COLLATE NOCASE;"_qs);
  if (!info.next()) return true;  // no such column: the INSERT fails and names it
  const QString type = info.text(0).toUpper();
  if (type.contains(u"INT"_qs)) return true;
  if (type.contains(u"CHAR"_qs) || type.contains(u"CLOB"_qs) || type.contains(u"TEXT"_qs)) return false;
  if (type.isEmpty() || type.contains(u"BLOB"_qs)) return false;
  return true;  // REAL or NUMERIC
}

}  // namespace

int copyServerTable(const QString& table, db::Connection* server, db::Connection* local,
                    const common::MainScreen& screen) {
  const qint64 total = db::countRows(server, table);
  const QString select = u"SELECT * FROM "_qs + table + u" ORDER BY ID;"_qs;
  // Only local statements run while the rows are read, so the server may stream them.
  db::Query rows(server, select, db::ReadMode::Streamed);
  if (!queryRan(rows, db::MessageForm::QueryError, select)) return -1;
  LocalReplacement replacement(local, db::MessageForm::QueryError);
  if (!replacement.begin(u"DELETE FROM "_qs + table + u';')) return -1;
  screen.statusText(u"Tabelle "_qs + table + u' ' + QString::number(total) + u" Einträge - kopiere ..."_qs);
  common::TransferProgress progress(screen, total);
  QString columns;
  // Each row's INSERT as its text reads; the text is what a failure names.
  auto rowStatement = [&] {
    QStringList values;
    for (int i = 0; i < rows.columnCount(); ++i) values << renderValue(rows, i);
    return u"INSERT INTO "_qs + table + u" ("_qs + columns + u") VALUES ("_qs + values.join(u", "_qs) + u");"_qs;
  };
  // The rows go through one prepared INSERT with their values bound, which stores what the
  // statement text would. Where a value could not be bound so (a column of another type
  // class writes nothing, which breaks the text), every row runs as its text.
  std::optional<db::Statement> insert;
  int n = 0;
  while (rows.next()) {
    progress.show(n);
    if (columns.isEmpty()) {
      QStringList names, markers;
      bool bindable = true;
      for (int i = 0; i < rows.columnCount(); ++i) {
        names << rows.columnName(i);
        markers << u"?"_qs;
        const db::ColumnKind kind = rows.columnKind(i);
        if (kind == db::ColumnKind::Other ||
            ((kind == db::ColumnKind::Float || kind == db::ColumnKind::Double) &&
             !takesNumbersAsText(local, table, rows.columnName(i))))
          bindable = false;
      }
      columns = names.join(u", "_qs);
      if (bindable) {
        insert.emplace(local, u"INSERT INTO "_qs + table + u" ("_qs + columns + u") VALUES ("_qs +
                                  markers.join(u", "_qs) + u");"_qs);
        if (!insert->ok()) {
          replacement.fail(rowStatement());
          return -1;
        }
      }
    }
    if (!insert) {
      if (!replacement.execute(rowStatement())) return -1;
      ++n;
      continue;
    }
    for (int i = 0; i < rows.columnCount(); ++i) {
      switch (rows.columnKind(i)) {
        case db::ColumnKind::Long:
        case db::ColumnKind::Quad: insert->bindInteger(i, rows.int64(i)); break;
        case db::ColumnKind::Float: insert->bindText(i, common::decimalText(static_cast<double>(rows.single(i)))); break;
        case db::ColumnKind::Double: insert->bindText(i, common::decimalText(rows.real(i))); break;
        default: insert->bindTextOf(i, rows, i); break;
      }
    }
    if (!insert->execute()) {
      replacement.fail(rowStatement());
      return -1;
    }
    ++n;
  }
  insert.reset();
  if (!replacement.finish(rows, select)) return -1;
  common::clearStatus(screen);
  return n;
}

int fetchDialogGroup(db::Connection* server, db::Connection* local, const QString& group,
                     const common::MainScreen& screen) {
  const qint64 total = db::countRows(server, u"xele"_qs);
  const QString select =
      u"SELECT ID,gruppe,element, XML FROM xele WHERE gruppe="_qs + db::quoteTrimmed(group) + u';';
  db::Query rows(server, select);
  if (!queryRan(rows, db::MessageForm::QueryFailed, select)) return -1;
  LocalReplacement replacement(local, db::MessageForm::QueryFailed);
  if (!replacement.begin(u"DELETE FROM xele;"_qs)) return -1;
  screen.statusText(u"Tabelle xele "_qs + QString::number(total) + u" Einträge abholen ..."_qs);
  common::TransferProgress progress(screen, total);
  const QString insertText = u"INSERT INTO xele (ID,gruppe,element,XML) VALUES (?,?,?,?);"_qs;
  db::Statement insert(local, insertText);
  int n = 0;
  while (rows.next()) {
    progress.show(n);
    insert.bindInteger(0, rows.int32(0));
    for (int i = 1; i <= 3; ++i) insert.bindText(i, db::unescapeText(rows.text(i)));
    if (!insert.execute()) {
      replacement.fail(insertText);
      return -1;
    }
    ++n;
  }
  if (!replacement.finish(rows, select)) return -1;
  common::clearStatus(screen);
  return n;
}

void fetchOutletsCommand(db::Connection* local, const db::ServerSettings& settings,
                         const common::MainScreen& screen) {
  if (!local) {
    platform::messageBox(u"Info"_qs, u"Noch kein Objekt ausgewählt."_qs, platform::BoxIcon::Info);
    return;
  }
  TransferHold hold(local);
  if (!hold.held()) return;
  db::ConnectionGuard server(openObjectServer(settings, screen, platform::BoxIcon::Error));
  copyServerTable(u"auslass"_qs, server.get(), local, screen);
  fetchDialogGroup(server.get(), local, u"XML_merfassung"_qs, screen);
}

}  // namespace transfer
