// The record dialog of the measures on a real display under a window manager: the window
// manager adds its frame only after the dialog is placed, and the dialog, frame included,
// still lies within the screen's free area with "Speichern" in reach. window_frames.sh plays
// it on a virtual 1024 × 768 display with openbox; on the offscreen platform it is skipped.
#include "tableeditor_fixture.h"

#include "tableeditor/recorddialog.h"
#include "tableeditor/tablesettings.h"

#include <QApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QWidget>

namespace {

QString xwininfo(const QStringList& arguments) {
  QProcess run;
  run.start(u"xwininfo"_qs, arguments);
  run.waitForFinished(10000);
  return QString::fromLocal8Bit(run.readAllStandardOutput());
}

int field(const QString& info, const QString& name) {
  const QRegularExpressionMatch m = QRegularExpression(name + u":\\s*(-?\\d+)"_qs).match(info);
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The outermost window below the root that holds the window: the window manager's frame, as
// the X server itself reports it.
QRect frameOnX(WId window) {
  QString current = u"0x"_qs + QString::number(window, 16);
  for (int depth = 0; depth < 10; ++depth) {
    const QString tree = xwininfo({u"-tree"_qs, u"-id"_qs, current});
    const QRegularExpressionMatch parent = QRegularExpression(u"Parent window id: (0x[0-9a-f]+)( \\(the root window\\))?"_qs).match(tree);
    if (!parent.hasMatch()) return {};
    if (!parent.captured(2).isEmpty()) break;
    current = parent.captured(1);
  }
  const QString info = xwininfo({u"-id"_qs, current});
  return {field(info, u"Absolute upper-left X"_qs), field(info, u"Absolute upper-left Y"_qs), field(info, u"Width"_qs),
          field(info, u"Height"_qs)};
}

QWidget* shownWindow(const QString& title) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->windowTitle() == title) return w;
  return nullptr;
}

std::string text(const QRect& r) {
  return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).toStdString();
}

TEST_F(TableEditorTest, TheRecordDialogOfTheMeasuresWithItsFrameLiesWithinTheScreen) {
  if (QGuiApplication::platformName() != u"xcb"_qs) GTEST_SKIP() << "needs an X display with a window manager";
  addMeasure(42, u"WB-01 Küche"_qs, u"Spülen & Prüfen"_qs, common::makeDate(2026, 5, 4, 7), 0, u"tech01"_qs,
             u"Bad 'Nord' <1/2>"_qs);
  const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
  QRect frame, onX, client, button;
  int framed = 0, ticks = 0;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    QWidget* dialog = shownWindow(u"Tabelle massnahme ID=42"_qs);
    if (!dialog) return;
    // Until the window manager has framed it (20 s at most, for a busy machine), and then
    // until the fit has taken effect (5 s at most).
    if (dialog->frameGeometry() == dialog->geometry() && ++ticks < 400) return;
    ++framed;
    if (framed < 6 || (framed < 100 && !free.contains(dialog->frameGeometry()))) return;
    look.stop();
    frame = dialog->frameGeometry();
    client = dialog->geometry();
    onX = frameOnX(dialog->winId());
    auto* save = dialog->findChild<QPushButton*>();
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
      if (b->text() == u"Speichern"_qs) save = b;
    if (auto* area = dialog->findChild<QScrollArea*>()) area->ensureWidgetVisible(save);
    QApplication::processEvents();
    button = QRect(save->mapToGlobal(QPoint(0, 0)), save->size());
    const QString picture = qEnvironmentVariable("VARNOTHM_FRAME_PICTURE");
    if (!picture.isEmpty()) QGuiApplication::primaryScreen()->grabWindow(0).save(picture);
    dialog->close();
  });
  look.start(50);
  tableeditor::BrowserConfig config = tableeditor::measureBrowserConfig();
  const int window = browserWindow();
  tableeditor::editRecord(window, database.get(), {tableeditor::RecordChoice::Edit, rowidOf(u"massnahme"_qs, 42)}, config);
  platform::closeWindow(window);

  ASSERT_FALSE(frame.isEmpty()) << "the dialog was not seen";
  EXPECT_NE(frame, client) << "no window manager framed the dialog";
  EXPECT_TRUE(free.contains(frame)) << text(frame) << " not within " << text(free);
  EXPECT_TRUE(free.contains(onX)) << "X frame " << text(onX) << " not within " << text(free);
  EXPECT_TRUE(client.contains(button)) << "Speichern at " << text(button) << " outside " << text(client);
}

}  // namespace
