// The demo preparation: its program folder, the three demo buildings read back through the
// database layer, and the built program started on it through the scripted user.
#include "testservers.h"

#include "common/dates.h"
#include "db/database.h"
#include "db/quoting.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <gtest/gtest.h>
#include <pugixml.hpp>

namespace {

const QStringList demoBuildings{u"Kita Sonnenschein"_qs, u"Seniorenheim Lindenhof"_qs, u"Sporthalle Nord"_qs};

// Runs makedemo on the folder; its exit code.
int makeDemo(const QString& folder) {
  QProcess tool;
  tool.start(QStringLiteral(VARNOTH_MAKEDEMO), {folder, QStringLiteral(VARNOTH_PROGRAM), QStringLiteral(VARNOTH_HELP)});
  if (!tool.waitForFinished(60000)) return -1;
  return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

QString readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The server database of a demo building, as the demo's data-source file names it.
QString serverFile(const QString& folder, const QString& building) {
  const QString sources = readFile(folder + u"/odbc.ini"_qs);
  const qsizetype section = sources.indexOf(u"["_qs + building + u"]"_qs);
  if (section < 0) return {};
  const qsizetype key = sources.indexOf(u"Database="_qs, section);
  return sources.mid(key + 9, sources.indexOf(u'\n', key) - key - 9);
}

QStringList column(db::Connection* c, const QString& sql) {
  QStringList values;
  db::Query query(c, sql);
  EXPECT_TRUE(query.ok()) << sql.toStdString() << ": " << db::lastError().toStdString();
  while (query.next()) values << query.text(0);
  return values;
}

qint64 count(db::Connection* c, const QString& sql) {
  db::Query query(c, sql);
  EXPECT_TRUE(query.ok()) << sql.toStdString() << ": " << db::lastError().toStdString();
  return query.next() ? query.int64(0) : -1;
}

class Demo : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder = testsupport::temporaryFolder() + u"/demo"_qs;
    ASSERT_EQ(makeDemo(folder), 0);
  }
  static QString folder;
};
QString Demo::folder;

TEST_F(Demo, TheProgramFolderHoldsProgramHelpConfigurationAndItsOwnDataSources) {
  EXPECT_TRUE(QFileInfo(folder + u"/VarnothM"_qs).isExecutable());
  EXPECT_TRUE(readFile(folder + u"/VarnothM.PDF"_qs).startsWith(u"%PDF"_qs));
  EXPECT_EQ(readFile(folder + u"/VarnothM.CFG"_qs), u"DB_MODE = ODBC\n"_qs);
  for (const QString& building : demoBuildings) {
    const QString file = serverFile(folder, building);
    EXPECT_TRUE(file.startsWith(folder)) << building.toStdString();
    EXPECT_TRUE(QFileInfo::exists(file)) << file.toStdString();
  }
  EXPECT_TRUE(readFile(folder + u"/odbc.ini"_qs).contains(u"Driver=SQLite3"_qs));
}

TEST_F(Demo, EachBuildingHasAreasShowersBasinsAndSinksMeasuresAroundTodayAndItsDialogs) {
  const qint32 today = common::startOfDay(common::now());
  const QString todayFrom = QString::number(today), todayTo = QString::number(common::endOfDay(today));
  for (const QString& building : demoBuildings) {
    SCOPED_TRACE(building.toStdString());
    db::ConnectionGuard server(db::openDatabase(serverFile(folder, building), {}, {}, db::Backend::Sqlite));
    ASSERT_TRUE(server);

    // Outlets in several areas; showers carry "DU" in their identifier.
    EXPECT_GE(count(server.get(), u"SELECT COUNT(DISTINCT region) FROM auslass"_qs), 2);
    EXPECT_GE(count(server.get(), u"SELECT COUNT(*) FROM auslass WHERE AUID LIKE '%DU%'"_qs), 1);
    EXPECT_GE(count(server.get(), u"SELECT COUNT(*) FROM auslass WHERE AUID NOT LIKE '%DU%'"_qs), 1);

    // Measures over several days: today's, overdue open ones, carried-out ones.
    EXPECT_GE(count(server.get(), u"SELECT COUNT(DISTINCT dasoll / 86400) FROM massnahme"_qs), 3);
    EXPECT_GE(count(server.get(), u"SELECT COUNT(*) FROM massnahme WHERE dasoll>="_qs + todayFrom +
                                      u" AND dasoll<="_qs + todayTo),
              1);
    EXPECT_GE(count(server.get(), u"SELECT COUNT(*) FROM massnahme WHERE dadurch<=0 AND dasoll<"_qs + todayFrom), 1);
    EXPECT_GE(count(server.get(), u"SELECT COUNT(*) FROM massnahme WHERE dadurch>0"_qs), 1);
    EXPECT_EQ(count(server.get(), u"SELECT COUNT(*) FROM massnahme m WHERE NOT EXISTS "
                                  "(SELECT 1 FROM auslass a WHERE a.AUID = m.AUID)"_qs),
              0);

    // Texts are stored in the escaped form the program writes.
    for (const QString& remark : column(server.get(), u"SELECT anmerkung FROM massnahme"_qs))
      EXPECT_EQ(db::quoteText(db::unescapeText(remark)), u'\'' + remark + u'\'') << remark.toStdString();
    EXPECT_GE(count(server.get(), u"SELECT COUNT(*) FROM massnahme WHERE anmerkung LIKE '%&amp;%'"_qs), 1);

    // One dialog of the group per kind of measure but one, which is recorded with a remark
    // alone; each dialog a window "dialog".
    const QStringList kinds = column(server.get(), u"SELECT DISTINCT wastun FROM massnahme ORDER BY wastun"_qs);
    const QStringList elements =
        column(server.get(), u"SELECT element FROM xele WHERE gruppe='XML_merfassung' ORDER BY element"_qs);
    EXPECT_GE(kinds.size(), 4);
    QStringList withoutDialog = kinds;
    for (const QString& element : elements) EXPECT_TRUE(withoutDialog.removeOne(element)) << element.toStdString();
    EXPECT_EQ(withoutDialog, QStringList{db::quoteText(u"Sichtprüfung"_qs).mid(1).chopped(1)});
    db::Query dialogs(server.get(), u"SELECT element, XML FROM xele WHERE gruppe='XML_merfassung'"_qs);
    while (dialogs.next()) {
      const QString stored = dialogs.text(1);
      EXPECT_FALSE(stored.contains(u'<')) << "stored escaped";
      const QByteArray markup = db::unescapeText(stored).toUtf8();
      pugi::xml_document document;
      ASSERT_TRUE(document.load_buffer(markup.constData(), markup.size())) << markup.toStdString();
      const pugi::xml_node window = document.first_child();
      EXPECT_STREQ(window.name(), "window");
      EXPECT_STREQ(window.attribute("name").value(), "dialog");
      QSet<QString> fields;
      for (const pugi::xpath_node& field : document.select_nodes("//string"))
        fields << QString::fromUtf8(field.node().attribute("name").value());
      EXPECT_TRUE(fields.contains(u"_anmerkung"_qs));
      if (db::unescapeText(dialogs.text(0)) == u"Temperaturmessung")
        EXPECT_EQ(fields, (QSet<QString>{u"_KW"_qs, u"_WW"_qs, u"_anmerkung"_qs}));
      EXPECT_TRUE(document.select_node("//button[@name='doOK']"));
      EXPECT_TRUE(document.select_node("//button[@name='doExit']"));
    }
  }
}

TEST_F(Demo, TheBuiltProgramListsTheBuildingsAndFetchesTodayThroughTheDataSources) {
  const QString today = common::formatDay(common::now());
  const QString building = demoBuildings[0];
  qint64 todays = 0;
  {
    db::ConnectionGuard server(db::openDatabase(serverFile(folder, building), {}, {}, db::Backend::Sqlite));
    const qint32 start = common::startOfDay(common::now());
    todays = count(server.get(), u"SELECT COUNT(*) FROM massnahme WHERE dasoll>="_qs + QString::number(start) +
                                     u" AND dasoll<="_qs + QString::number(common::endOfDay(start)));
  }
  const QString script = folder + u"/script.txt"_qs, transcript = folder + u"/transcript.txt"_qs;
  QFile file(script);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write((u"click commandList 1\nclick commandList 2\nanswer Ja\nclick objectList \""_qs + today +
              u"\"\nanswer OK\nclick commandList 7\n"_qs).toUtf8());
  file.close();

  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(u"ODBCINI"_qs, folder + u"/odbc.ini"_qs);
  environment.insert(u"VARNOTHM_SCRIPT"_qs, script);
  environment.insert(u"VARNOTHM_TRANSCRIPT"_qs, transcript);
  environment.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
  environment.insert(u"VARNOTHM_VERSION_HOST"_qs, u"127.0.0.1"_qs);  // never past the loopback
  environment.insert(u"VARNOTHM_VERSION_PORT"_qs, u"1"_qs);
  program.setProcessEnvironment(environment);
  program.start(folder + u"/VarnothM"_qs, {});
  ASSERT_TRUE(program.waitForFinished(60000));
  EXPECT_EQ(program.exitCode(), 0);

  const QStringList seen = readFile(transcript).split(u'\n');
  for (int i = 0; i < demoBuildings.size(); ++i)
    EXPECT_TRUE(seen.contains(u"item objectList | "_qs + QString::number(i) + u" | "_qs + demoBuildings[i] + u" | - | -"_qs))
        << readFile(transcript).toStdString();
  EXPECT_TRUE(seen.contains(u"title VarnothM Objekt KITA SONNENSCHEIN"_qs));
  EXPECT_EQ(seen.filter(u" | "_qs + today + u" | - | -"_qs).size(), 1) << "today in the day choice";
  EXPECT_TRUE(seen.contains(u"box Info | info | "_qs + QString::number(todays) + u" Abgleichvorgänge für Massnahme durchgeführt."_qs));
  EXPECT_FALSE(seen.join(u'\n').contains(u"box Fehler"_qs));
  EXPECT_FALSE(seen.join(u'\n').contains(u"box Datenbankfehler"_qs));

  // The device now holds the building's outlets, its dialogs and today's measures.
  db::ConnectionGuard local(db::openDatabase(folder + u"/"_qs + building + u"/Varnoth.DBF"_qs, {}, {}, db::Backend::Sqlite));
  ASSERT_TRUE(local);
  db::ConnectionGuard server(db::openDatabase(serverFile(folder, building), {}, {}, db::Backend::Sqlite));
  EXPECT_EQ(count(local.get(), u"SELECT COUNT(*) FROM auslass"_qs), count(server.get(), u"SELECT COUNT(*) FROM auslass"_qs));
  EXPECT_EQ(count(local.get(), u"SELECT COUNT(*) FROM xele"_qs),
            count(server.get(), u"SELECT COUNT(*) FROM xele WHERE gruppe='XML_merfassung'"_qs));
  EXPECT_EQ(count(local.get(), u"SELECT COUNT(*) FROM massnahme"_qs), todays);
}

TEST(DemoFolder, AFolderThatIsNoDemoIsLeftAloneAndADemoIsMadeAfresh) {
  const QString other = testsupport::temporaryFolder() + u"/eigene-daten"_qs;
  QDir().mkpath(other);
  QFile mine(other + u"/wichtig.txt"_qs);
  ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
  mine.close();
  EXPECT_NE(makeDemo(other), 0);
  EXPECT_TRUE(QFileInfo::exists(other + u"/wichtig.txt"_qs));

  const QString demo = testsupport::temporaryFolder() + u"/nochmal"_qs;
  ASSERT_EQ(makeDemo(demo), 0);
  QDir().mkpath(demo + u"/Sporthalle Nord"_qs);  // a local database of an earlier run
  ASSERT_EQ(makeDemo(demo), 0);
  EXPECT_FALSE(QFileInfo::exists(demo + u"/Sporthalle Nord"_qs));
  EXPECT_TRUE(QFileInfo::exists(demo + u"/VarnothM.CFG"_qs));
}

}  // namespace
