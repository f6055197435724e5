// "Auslassliste holen": the outlet table and the recording dialogs from the server.
// Each replacement runs in one local transaction, so a failure keeps the device's rows.
#include "sync/transfers.h"

#include "common/programend.h"
#include "db/messages.h"
#include "db/quoting.h"
#include "platform/boxes.h"
#include "sync/transfersupport.h"

#include <cmath>

namespace transfer {

namespace {

// Fixed point with ten decimals, then without trailing zeros and point; never "-0".
QString renderReal(double value) {
  QString text = QString::number(value, 'f', 10);
  if (text.contains(u'.')) {
    while (text.endsWith(u'0')) text.chop(1);
    if (text.endsWith(u'.')) text.chop(1);
  }
  if (text == u"-0") text = u"0"_qs;
  return text;
}

// A value of the server's row as the local INSERT writes it, by its column's type class.
// Texts are written as they are stored, with apostrophes doubled so that they arrive
// unchanged and cannot end the literal.
QString renderValue(const db::Query& row, int column) {
  switch (row.columnKind(column)) {
    case db::ColumnKind::Long:
    case db::ColumnKind::Quad: return QString::number(row.int64(column));
    case db::ColumnKind::Text: return u'\'' + row.text(column).replace(u"'"_qs, u"''"_qs) + u'\'';
    case db::ColumnKind::Float: return renderReal(static_cast<double>(row.single(column)));
    case db::ColumnKind::Double: return renderReal(row.real(column));
    case db::ColumnKind::Other:
      // A binary value: a text literal of its bytes read as UTF-8, as a text column holds it.
      if (row.isNull(column)) return u"NULL"_qs;
      return u'\'' + row.text(column).replace(u"'"_qs, u"''"_qs) + u'\'';
  }
  return QString();
}

}  // namespace

int copyServerTable(const QString& table, db::Connection* server, db::Connection* local,
                    const common::MainScreen& screen) {
  const qint64 total = db::countRows(server, table);
  const QString select = u"SELECT * FROM "_qs + table + u" ORDER BY ID;"_qs;
  db::Query rows(server, select);
  if (!queryRan(rows, db::MessageForm::QueryError, select)) return -1;
  LocalReplacement replacement(local, db::MessageForm::QueryError);
  if (!replacement.begin(u"DELETE FROM "_qs + table + u';')) return -1;
  screen.statusText(u"Tabelle "_qs + table + u' ' + QString::number(total) + u" Einträge - kopiere ..."_qs);
  QString columns;
  int n = 0;
  while (rows.next()) {
    screen.statusProgress(common::progressPercent(n, total));
    QStringList values;
    for (int i = 0; i < rows.columnCount(); ++i) values << renderValue(rows, i);
    if (columns.isEmpty()) {
      QStringList names;
      for (int i = 0; i < rows.columnCount(); ++i) names << rows.columnName(i);
      columns = names.join(u", "_qs);
    }
    if (!replacement.execute(u"INSERT INTO "_qs + table + u" ("_qs + columns + u") VALUES ("_qs +
                             values.join(u", "_qs) + u");"_qs))
      return -1;
    ++n;
  }
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
  int n = 0;
  while (rows.next()) {
    screen.statusProgress(common::progressPercent(n, total));
    db::bindInteger(local, 0, rows.int32(0));
    for (int i = 1; i <= 3; ++i) db::bindText(local, i, db::unescapeText(rows.text(i)));
    if (!replacement.execute(u"INSERT INTO xele (ID,gruppe,element,XML) VALUES (?,?,?,?);"_qs)) return -1;
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
  db::ConnectionGuard server(openObjectServer(settings, screen, platform::BoxIcon::Error));
  copyServerTable(u"auslass"_qs, server.get(), local, screen);
  fetchDialogGroup(server.get(), local, u"XML_merfassung"_qs, screen);
}

}  // namespace transfer
