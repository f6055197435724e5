// Lookups of one row at a time on the local file: prepared statements kept for their next use,
// a read snapshot over many queries, and the indexes the local tables get.
#include "testservers.h"

#include "db/localschema.h"
#include "db/snapshot.h"

#include <QFile>
#include <gtest/gtest.h>

using testsupport::Place;

namespace {

QStringList column(db::Connection* c, const QString& sql) {
  QStringList values;
  db::Query q(c, sql);
  EXPECT_TRUE(q.ok()) << db::lastError().toStdString();
  while (q.next()) values << q.text(0);
  return values;
}

QString lookup(db::Connection* c, const QString& auid) {
  db::bindText(c, 0, auid);
  db::Query q(c, u"SELECT region FROM auslass WHERE AUID=?;"_qs);
  return q.next() ? q.text(0) : u"-"_qs;
}

TEST(RowLookups, AStatementWithMarkersServesEveryValueAlsoNestedAndAfterTheTableChanged) {
  db::ConnectionGuard local(testsupport::openEmpty(Place::LocalSqlite, u"lookups"_qs));
  db::createOutletTable(local.get());
  testsupport::run(local.get(), {u"INSERT INTO auslass (ID,AUID,region) VALUES (1,'A1','Keller'),(2,'B &amp; 2','Bad'),(3,'C3','Dach')"_qs});
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(lookup(local.get(), u"A1"_qs), u"Keller"_qs);
    EXPECT_EQ(lookup(local.get(), u"B &amp; 2"_qs), u"Bad"_qs);
    EXPECT_EQ(lookup(local.get(), u"fehlt"_qs), u"-"_qs);
  }
  // The same text while its first query still reads rows: each reads its own.
  db::bindText(local.get(), 0, u"A1"_qs);
  db::Query outer(local.get(), u"SELECT region FROM auslass WHERE AUID=? OR ID>1 ORDER BY ID;"_qs);
  QStringList seen;
  while (outer.next()) {
    db::bindText(local.get(), 0, u"C3"_qs);
    db::Query inner(local.get(), u"SELECT region FROM auslass WHERE AUID=? OR ID>1 ORDER BY ID;"_qs);
    QStringList inside;
    while (inner.next()) inside << inner.text(0);
    EXPECT_EQ(inside, (QStringList{u"Bad"_qs, u"Dach"_qs}));
    seen << outer.text(0);
  }
  EXPECT_EQ(seen, (QStringList{u"Keller"_qs, u"Bad"_qs, u"Dach"_qs}));
  // The table dropped and made anew (a kept statement must not stand in the way, nor read
  // the old table), and a query that fails leaves the next one working.
  testsupport::run(local.get(), {u"DROP TABLE auslass"_qs});
  db::bindText(local.get(), 0, u"A1"_qs);
  EXPECT_FALSE(db::Query(local.get(), u"SELECT region FROM auslass WHERE AUID=?;"_qs).ok());
  db::createOutletTable(local.get());
  testsupport::run(local.get(), {u"INSERT INTO auslass (ID,AUID,region) VALUES (1,'A1','Neu')"_qs});
  EXPECT_EQ(lookup(local.get(), u"A1"_qs), u"Neu"_qs);
}

TEST(RowLookups, ASnapshotReadsOnceLockedAndLeavesACallersTransactionAlone) {
  db::ConnectionGuard local(testsupport::openEmpty(Place::LocalSqlite, u"snapshot"_qs));
  db::createMeasureTable(local.get());
  testsupport::run(local.get(), {u"INSERT INTO massnahme (ID,AUID) VALUES (1,'A1')"_qs});
  {
    const db::ReadSnapshot snapshot(local.get());
    EXPECT_EQ(column(local.get(), u"SELECT AUID FROM massnahme"_qs), QStringList{u"A1"_qs});
  }
  // Released: a write of the same connection takes effect on its own, as ever.
  testsupport::run(local.get(), {u"INSERT INTO massnahme (ID,AUID) VALUES (2,'B2')"_qs});
  // Inside the caller's transaction the snapshot neither commits nor rolls back.
  testsupport::run(local.get(), {u"BEGIN"_qs, u"INSERT INTO massnahme (ID,AUID) VALUES (3,'C3')"_qs});
  { const db::ReadSnapshot snapshot(local.get()); }
  testsupport::run(local.get(), {u"ROLLBACK"_qs});
  EXPECT_EQ(column(local.get(), u"SELECT AUID FROM massnahme ORDER BY ID"_qs), (QStringList{u"A1"_qs, u"B2"_qs}));
}

TEST(RowLookups, LocalTablesGetTheirLookupIndexesAlsoOnAnOlderFile) {
  db::ConnectionGuard local(testsupport::openEmpty(Place::LocalSqlite, u"indexes"_qs));
  // A file of an earlier version: the tables without indexes.
  testsupport::run(local.get(), {u"CREATE TABLE auslass (ID longint PRIMARY KEY, AUID varchar(32) Not NULL)"_qs,
                                 u"CREATE TABLE massnahme (ID longint NOT NULL,AUID varchar(32) NOT NULL)"_qs});
  EXPECT_EQ(db::createOutletTable(local.get()), 0);
  EXPECT_EQ(db::createMeasureTable(local.get()), 0);
  EXPECT_EQ(column(local.get(), u"SELECT name FROM sqlite_master WHERE type='index' AND sql IS NOT NULL ORDER BY name"_qs),
            (QStringList{u"auslass_AUID"_qs, u"massnahme_AUID"_qs, u"massnahme_ID"_qs}));
  QStringList plan;
  db::Query q(local.get(), u"EXPLAIN QUERY PLAN SELECT COUNT(*) FROM massnahme WHERE AUID='x'"_qs);
  while (q.next()) plan << q.text(3);
  EXPECT_TRUE(plan.join(u' ').contains(u"massnahme_AUID"_qs)) << plan.join(u' ').toStdString();
}

}  // namespace
