// The status bar during a transfer. A copy does not return to the event loop until it ends,
// so what the status fields show must be painted when it changes, not at the next event:
// the test looks at what the window shows (its painted pixels) in the middle of a copy.
#include "testservers.h"

#include "app/appstate.h"
#include "app/mainwindow.h"
#include "db/database.h"
#include "db/localschema.h"
#include "platform/statusbar.h"
#include "platform/widgetregistry.h"
#include "platform/windows.h"
#include "sync/transfers.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// A fresh SQLite file with the outlet table, as the device and as the server have it.
db::Connection* outletDatabase(const QString& path) {
  QFile::remove(path);
  QFile(path).open(QIODevice::WriteOnly);
  db::Connection* c = db::openDatabase(path, {}, {}, db::Backend::Sqlite);
  if (c) db::createOutletTable(c);
  return c;
}

// What the window shows now, from the pixels painted so far; processes no event.
QImage shownWindow(int window) {
  QWidget* widget = platform::windowWidget(window);
  return QGuiApplication::primaryScreen()->grabWindow(widget->winId()).toImage();
}

TEST(StatusBar, TextAndProgressArePaintedWhileACopyRuns) {
  const QString folder = testsupport::temporaryFolder() + u"/statusleiste/"_qs;
  QDir(folder).removeRecursively();
  QDir().mkpath(folder);
  db::ConnectionGuard server(outletDatabase(folder + u"server.db"_qs));
  db::ConnectionGuard local(outletDatabase(folder + u"Varnoth.DBF"_qs));
  ASSERT_TRUE(server && local);
  ASSERT_TRUE(db::execute(server.get(), u"BEGIN"_qs));
  for (int id = 1; id <= 400; ++id)
    ASSERT_TRUE(db::execute(server.get(), u"INSERT INTO auslass VALUES ("_qs + QString::number(id) +
                                              u", 'DU-"_qs + QString::number(id) +
                                              u"', '', 'Dusche', 'Bad \"Süd\" & Flur', 'EG/OG', '')"_qs));
  ASSERT_TRUE(db::execute(server.get(), u"COMMIT"_qs));

  app::resetState();
  app::AppState& s = app::state();
  s.mainWindow = platform::openWindow(0, 0, 1024, 768, u"VarnothM"_qs, {});
  platform::createStatusBar(s.mainWindow);
  platform::addStatusField(s.mainWindow);
  platform::addStatusField(s.mainWindow);
  app::setStatusText(QString());  // as the main loop leaves it after the click
  app::setStatusProgress(0);
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  const QImage before = shownWindow(s.mainWindow);
  ASSERT_FALSE(before.isNull());

  // Looked at twice: on the first row, when only the text has changed, and half-way.
  common::MainScreen screen = app::mainScreen();
  const auto showProgress = screen.statusProgress;
  QImage firstRow, halfWay;
  QString textHalfWay;
  screen.statusProgress = [&](int percent) {
    showProgress(percent);
    if (firstRow.isNull()) firstRow = shownWindow(s.mainWindow);
    if (halfWay.isNull() && percent >= 50) {
      halfWay = shownWindow(s.mainWindow);
      textHalfWay = platform::statusFieldText(s.mainWindow, 0);
    }
  };
  EXPECT_EQ(transfer::copyServerTable(u"auslass"_qs, server.get(), local.get(), screen), 400);
  ASSERT_FALSE(firstRow.isNull());
  ASSERT_FALSE(halfWay.isNull());
  EXPECT_EQ(textHalfWay, u"Tabelle auslass 400 Einträge - kopiere ..."_qs);

  // The two fields share the bar's width: the text on the left, the progress on the right.
  const int height = platform::statusBarHeight(s.mainWindow);
  ASSERT_GT(height, 0);
  const int width = before.width();
  const QRect textField(4, before.height() - height + 2, width / 2 - 8, height - 4);
  const QRect progressField(width / 2 + 4, before.height() - height + 2, width / 2 - 8, height - 4);
  EXPECT_NE(firstRow.copy(textField), before.copy(textField)) << "the status text was not painted";
  EXPECT_EQ(firstRow.copy(progressField), before.copy(progressField));  // still at 0
  EXPECT_EQ(halfWay.copy(textField), firstRow.copy(textField));
  EXPECT_NE(halfWay.copy(progressField), before.copy(progressField)) << "the progress was not painted";

  const QString pictures = qEnvironmentVariable("VARNOTHM_PICTURES");
  if (!pictures.isEmpty())
    halfWay.copy(0, before.height() - height, width, height).save(pictures + u"/statusleiste.png"_qs);

  platform::closeWindow(s.mainWindow);
  s.mainWindow = 0;
}

}  // namespace
