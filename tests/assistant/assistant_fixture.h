// What every assistant test starts from: an object's local database of its own, a main
// window with the two named lists and a status bar, the user's temporary folder of its own,
// and the scripted user playing while the assistant's screens wait.
#pragma once

#include "testservers.h"

#include "app/mainwindow.h"
#include "assistant/assistant.h"
#include "common/dates.h"
#include "common/programend.h"
#include "db/localschema.h"
#include "db/quoting.h"
#include "dialogs/markup.h"
#include "platform/events.h"
#include "platform/iconlists.h"
#include "platform/scripteduser.h"
#include "platform/statusbar.h"
#include "platform/system.h"
#include "platform/widgetregistry.h"
#include "platform/windows.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

// A recording dialog as the stored definitions hold it.
inline QString recordingDialog(const QString& fields) {
  return u"<window name='dialog' text='Erfassung' minwidth='300' minheight='auto'>\n<vbox>\n<gridbox columns='2'>\n"_qs +
         fields +
         u"\n</gridbox>\n<hbox><button name='doExit' text='Abbrechen'/><button name='do2' text='Messung'/>"
         "<button name='do3' text='Weiter'/><button name='doOK' text='OK'/></hbox>\n</vbox>\n</window>"_qs;
}

class AssistantTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset();
    folder = testsupport::temporaryFolder() + u"/assistant/"_qs;
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + u"tmp"_qs);
    qputenv("TMPDIR", QFile::encodeName(folder + u"tmp"_qs));
    const QString file = folder + u"Varnoth.DBF"_qs;
    QFile(file).open(QIODevice::WriteOnly);
    local = db::openDatabase(file, {}, {}, db::Backend::Sqlite);
    ASSERT_TRUE(local) << db::lastError().toStdString();
    db::createOutletTable(local);
    db::createResultTable(local);
    db::createMeasureTable(local);
    db::createDialogTable(local);

    platform::WindowFeatures features;
    features.sizingBorder = features.minimiseBox = features.maximiseBox = true;
    window = platform::openWindow(0, 0, 1024, 700, u"VarnothM"_qs, features);
    platform::createStatusBar(window);
    platform::addStatusField(window);
    platform::addStatusField(window);
    commandList = platform::createIconList(window, 10, 10, 1000, 150, u"commandList"_qs);
    objectList = platform::createIconList(window, 10, 170, 1000, 480, u"objectList"_qs);
    if (app::image(u"tap"_qs) == 0) app::loadImages();
  }

  void TearDown() override {
    db::closeDatabase(local);
    local = nullptr;
    reset();
  }

  static void reset() {
    platform::stopScript();
    for (int w : platform::liveWindows()) platform::closeWindow(w);
    platform::clearWindowEvents();
    for (int number = 1; number <= 20; ++number) dialogs::freeMarkupDocument(number);
  }

  common::MainScreen screen(const QString& object = u"Haus Süd"_qs) {
    common::MainScreen s;
    s.window = window;
    s.commandList = commandList;
    s.objectList = objectList;
    s.programFolder = folder;
    s.currentObject = object;
    s.image = app::image;  // the program's icons, named in the transcript
    s.layout = [] {};
    s.statusText = [this](const QString& t) {
      statusTexts << t;
      platform::setStatusFieldText(window, 0, t, false);
    };
    s.statusProgress = [this](int p) {
      progress << p;
      platform::setStatusFieldProgress(window, 1, p);
    };
    return s;
  }

  // Rows in the stored text form, as the transfers leave them.
  void addOutlet(int id, const QString& auid, const QString& region) {
    testsupport::run(local, {u"INSERT INTO auslass (ID,AUID,code,art,raum,region,hydron) VALUES ("_qs +
                             QString::number(id) + u',' + db::quoteText(auid) + u",'','Waschtisch','Raum 1',"_qs +
                             db::quoteText(region) + u",'');"_qs});
  }
  void addRawOutlet(int id, const QString& auid, const QString& storedRegion) {
    testsupport::run(local, {u"INSERT INTO auslass (ID,AUID,region) VALUES ("_qs + QString::number(id) + u',' +
                             db::quoteText(auid) + u",'"_qs + storedRegion + u"');"_qs});
  }
  void addMeasure(int id, const QString& auid, const QString& wastun, qint32 dasoll, qint32 dadurch = 0,
                  const QString& werdurch = {}, const QString& anmerkung = {}) {
    testsupport::run(local, {u"INSERT INTO massnahme (ID,AUID,wastun,dasoll,dadurch,werdurch,anmerkung) VALUES ("_qs +
                             QString::number(id) + u',' + db::quoteText(auid) + u',' + db::quoteText(wastun) + u',' +
                             QString::number(dasoll) + u',' + QString::number(dadurch) + u',' +
                             db::quoteText(werdurch) + u',' + db::quoteText(anmerkung) + u");"_qs});
  }
  // As the dialog fetch stores them: the texts decoded, through parameters.
  void addDialog(int id, const QString& element, const QString& markup) {
    db::bindInteger(local, 0, id);
    db::bindText(local, 1, u"XML_merfassung"_qs);
    db::bindText(local, 2, element);
    db::bindText(local, 3, markup);
    ASSERT_TRUE(db::execute(local, u"INSERT INTO xele (ID,gruppe,element,XML) VALUES (?,?,?,?);"_qs))
        << db::lastError().toStdString();
  }

  // One row of the local table as "a|b|c", texts decoded.
  QStringList rows(const QString& sql) {
    QStringList lines;
    db::Query q(local, sql);
    EXPECT_TRUE(q.ok()) << sql.toStdString() << ": " << db::lastError().toStdString();
    while (q.next()) {
      QStringList cells;
      for (int i = 0; i < q.columnCount(); ++i) cells << db::unescapeText(q.text(i));
      lines << cells.join(u'|');
    }
    return lines;
  }

  // Plays the script while the program side runs; the transcript. The program may end
  // ("Beenden", a fatal message): ended then tells.
  template <class Program>
  QStringList play(const QString& script, Program program, bool expectComplete = true) {
    platform::clearWindowEvents();
    EXPECT_TRUE(platform::startScript(script));
    ended = false;
    try {
      program();
    } catch (const common::ProgramEnd&) {
      ended = true;
    }
    QStringList seen = platform::transcript();
    platform::stopScript();
    if (expectComplete) {
      EXPECT_TRUE(seen.filter(u"skipped"_qs).isEmpty()) << seen.join(u'\n').toStdString();
      EXPECT_TRUE(seen.filter(u"unanswered"_qs).isEmpty()) << seen.join(u'\n').toStdString();
    }
    return seen;
  }

  QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  QString folder;
  db::Connection* local = nullptr;
  int window = 0, commandList = 0, objectList = 0;
  QStringList statusTexts;
  QList<int> progress;
  bool ended = false;
};
