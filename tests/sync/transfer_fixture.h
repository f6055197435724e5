// What the transfer tests share: the status bar's log, the server tables in each server's
// dialect and a dump of a table's rows for before-and-after comparisons.
#pragma once

#include "testservers.h"

#include "common/mainscreen.h"
#include "db/database.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace transfertest {

using testsupport::Place;

// What the status bar showed during a transfer.
struct StatusLog {
  QStringList texts;
  QList<int> progress;
  common::MainScreen screen() {
    common::MainScreen s;
    s.statusText = [this](const QString& t) { texts << t; };
    s.statusProgress = [this](int p) { progress << p; };
    s.image = [](const QString&) { return 0; };
    s.layout = [] {};
    return s;
  }
};

// Server tables in the dialect of each server, with the columns the program uses: on
// PostgreSQL of its own types, with names unquoted as an office makes them.
inline QStringList serverTables(Place place) {
  const bool sqlite = place == Place::OdbcSqlite;
  const bool postgres = place == Place::OdbcPostgres;
  const QString integer = sqlite ? u"INTEGER"_qs : postgres ? u"integer"_qs : u"int"_qs;
  const QString text = sqlite ? u"TEXT"_qs : postgres ? u"text"_qs : u"longtext"_qs;
  const QString real = postgres ? u"double precision"_qs : u"double"_qs;
  return {u"CREATE TABLE auslass (ID "_qs + integer + u", AUID varchar(32) NOT NULL, code varchar(32), art varchar(32), "
              "raum varchar(64), region varchar(64), hydron varchar(64))"_qs,
          u"CREATE TABLE massnahme (ID "_qs + integer + u", AUID varchar(32), wastun varchar(128), dasoll "_qs + integer +
              u", dadurch "_qs + integer + u", werdurch varchar(64), anmerkung varchar(128))"_qs,
          u"CREATE TABLE resultat (ID "_qs + integer + u", AUID varchar(32), abda "_qs + integer +
              u", anme varchar(256), keim varchar(32), syst varchar(32), temp "_qs + real +
              u", resu varchar(256), prot varchar(32))"_qs,
          u"CREATE TABLE xele (ID "_qs + integer + u", gruppe varchar(64), element varchar(64), XML "_qs + text + u")"_qs};
}

// All rows of a table as text lines, in ID order, for before-and-after comparisons.
inline QStringList dump(db::Connection* c, const QString& table, const QString& columns = u"*"_qs) {
  QStringList lines;
  db::Query rows(c, u"SELECT "_qs + columns + u" FROM "_qs + table + u" ORDER BY ID"_qs);
  EXPECT_TRUE(rows.ok()) << db::lastError().toStdString();
  while (rows.next()) {
    QStringList cells;
    for (int i = 0; i < rows.columnCount(); ++i) cells << (rows.isNull(i) ? u"NULL"_qs : rows.text(i));
    lines << cells.join(u'|');
  }
  return lines;
}

}  // namespace transfertest
