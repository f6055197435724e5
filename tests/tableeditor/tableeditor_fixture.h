// What every table-editor test starts from: a local database of its own with the measure and
// result tables, no window, no script; helpers to fill rows, read them raw and play a script
// while the browser, the record dialog or one of the editors runs.
#pragma once

#include "testservers.h"

#include "common/dates.h"
#include "common/programend.h"
#include "db/database.h"
#include "db/localschema.h"
#include "db/quoting.h"
#include "platform/events.h"
#include "platform/scripteduser.h"
#include "platform/widgetregistry.h"
#include "platform/windows.h"
#include "tableeditor/browser.h"

#include <QFile>
#include <QStringList>
#include <gtest/gtest.h>
#include <ostream>

// Texts in a test's own messages, as text.
inline std::ostream& operator<<(std::ostream& out, const QString& text) { return out << text.toStdString(); }

class TableEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset();
    const QString file = testsupport::temporaryFolder() + u"/Varnoth.DBF"_qs;
    QFile::remove(file);
    QFile created(file);
    ASSERT_TRUE(created.open(QIODevice::WriteOnly));
    created.close();
    database.reset(db::openDatabase(file, QString(), QString(), db::Backend::Sqlite));
    ASSERT_TRUE(database);
    db::createResultTable(database.get());
    db::createMeasureTable(database.get());
  }
  void TearDown() override {
    reset();
    database.reset();
  }

  static void reset() {
    platform::stopScript();
    for (int window : platform::liveWindows()) platform::closeWindow(window);
    platform::clearWindowEvents();
  }

  // A measure as the program stores it: texts in the stored form.
  void addMeasure(qint64 id, const QString& auid, const QString& wastun, qint32 dasoll, qint32 dadurch,
                  const QString& werdurch, const QString& anmerkung) {
    testsupport::run(database.get(),
                     {u"INSERT INTO massnahme VALUES ("_qs + QString::number(id) + u","_qs + db::quoteText(auid) +
                      u","_qs + db::quoteText(wastun) + u","_qs + QString::number(dasoll) + u","_qs +
                      QString::number(dadurch) + u","_qs + db::quoteText(werdurch) + u","_qs +
                      db::quoteText(anmerkung) + u")"_qs});
  }

  // A result as the program stores it, given in the browser's column order.
  void addResult(int id, const QString& auid, qint32 abda, const QString& syst, const QString& keim, double temp,
                 const QString& resu, const QString& prot, const QString& anme) {
    testsupport::run(database.get(),
                     {u"INSERT INTO resultat (ID,AUID,abda,syst,keim,temp,resu,prot,anme) VALUES ("_qs +
                      QString::number(id) + u","_qs + db::quoteText(auid) + u","_qs + QString::number(abda) + u","_qs +
                      db::quoteText(syst) + u","_qs + db::quoteText(keim) + u","_qs + QString::number(temp, 'g', 17) +
                      u","_qs + db::quoteText(resu) + u","_qs + db::quoteText(prot) + u","_qs + db::quoteText(anme) +
                      u")"_qs});
  }

  void addMeasures(int count) {
    for (int id = 1; id <= count; ++id)
      addMeasure(id, u"A-%1"_qs.arg(id), u"Spülen"_qs, common::makeDate(2026, 12, 9, 8), 0, QString(), QString());
  }

  // Every row of a table as the database holds it, by ID, columns joined by " | ".
  QStringList rows(const QString& table) {
    QStringList seen;
    db::Query query(database.get(), u"SELECT * FROM "_qs + table + u" ORDER BY ID"_qs);
    EXPECT_TRUE(query.ok());
    while (query.next()) {
      QStringList cells;
      for (int i = 0; i < query.columnCount(); ++i) cells.append(query.text(i));
      seen.append(cells.join(u" | "_qs));
    }
    return seen;
  }

  // The table's own row number of the row with that ID.
  qint64 rowidOf(const QString& table, qint64 id) {
    return stored(u"SELECT rowid FROM "_qs + table + u" WHERE ID="_qs + QString::number(id)).toLongLong();
  }

  QString stored(const QString& sql) {
    db::Query query(database.get(), sql);
    EXPECT_TRUE(query.ok() && query.next()) << sql.toStdString();
    return query.text(0);
  }

  // The browser's window as the commands open it, but not maximised: 600 x 490, so that
  // the list is 440 pixels high and, under its title row and its scroll bar, shows 20 rows.
  static int browserWindow() {
    platform::WindowFeatures features;
    features.minimiseBox = features.maximiseBox = features.sizingBorder = true;
    return platform::openWindow(60, 40, 600, 490, u"Bearbeiten"_qs, features);
  }

  // Plays the script while the program side runs; the transcript of what was seen. A
  // script that runs out before the program side is done fails the test.
  template <class Program>
  static QStringList playWhile(const QString& script, Program program, bool expectClean = true) {
    platform::clearWindowEvents();
    EXPECT_TRUE(platform::startScript(script));
    try {
      program();
    } catch (const common::ProgramEnd&) {
      ADD_FAILURE() << "the script ran out while the program waited\n"
                    << platform::transcript().join(u'\n').toStdString();
    }
    QStringList seen = platform::transcript();
    platform::stopScript();
    if (expectClean) {
      EXPECT_TRUE(seen.filter(u"skipped"_qs).isEmpty()) << seen.join(u'\n').toStdString();
      EXPECT_TRUE(seen.filter(u"unanswered"_qs).isEmpty()) << seen.join(u'\n').toStdString();
    }
    return seen;
  }

  // Runs the browser on the configuration in a window of its own.
  QStringList browse(const QString& script, tableeditor::BrowserConfig& config, bool expectClean = true) {
    const int window = browserWindow();
    const QStringList seen =
        playWhile(script, [&] { tableeditor::browseTable(window, database.get(), config); }, expectClean);
    platform::closeWindow(window);
    return seen;
  }

  // The pages the list showed: for every fill, the first cells (IDs) of its rows.
  static std::vector<QStringList> pages(const QStringList& seen, const QString& list = u"tableList"_qs) {
    std::vector<QStringList> result;
    const QString prefix = u"row "_qs + list + u" | "_qs;
    bool inFill = false;
    for (const QString& line : seen) {
      if (!line.startsWith(prefix)) {
        inFill = false;
        continue;
      }
      const QStringList cells = line.mid(prefix.size()).split(u" | "_qs);
      if (!inFill || cells.value(0) == u"0"_qs) result.emplace_back();
      inFill = true;
      result.back().append(cells.value(1).trimmed());
    }
    return result;
  }

  db::ConnectionGuard database;
};
