// The text dialog: its generated markup, the text in "eview", Escape and the close box, a
// title that would break unescaped markup, and the size it keeps.
#include "dialog_fixture.h"

#include "dialogs/textdialog.h"
#include "platform/controls.h"
#include "platform/dialogengine.h"

#include <QApplication>
#include <QPlainTextEdit>

namespace {

const QString longText = QStringLiteral("Erste Zeile\r\n~\tmit Tab\r\nDritte Zeile & \"mehr\"");

TEST_F(DialogTest, TheMarkupIsThatOfPart53) {
  EXPECT_EQ(dialogs::textDialogMarkup(QStringLiteral("Über VarnothM")),
            QStringLiteral("<window id='#PB_Any' name='dbdialog' text='Über VarnothM' minwidth='600' minheight='400' "
                           "flags='#PB_Window_ScreenCentered|#PB_Window_SystemMenu|#PB_Window_MinimizeGadget|"
                           "#PB_Window_MaximizeGadget|#PB_Window_SizeGadget'>\r\n<vbox>\r\n<editor name='eview' />\r\n"
                           "</vbox>\r\n</window>\r\n"));
}

TEST_F(DialogTest, TheTextDialogShowsTheTextAndEscapeClosesIt) {
  const QStringList seen =
      playWhile(QStringLiteral("key Escape"), [] { dialogs::showTextDialog(QStringLiteral("Über VarnothM"), longText); });
  EXPECT_EQ(seen, (QStringList{QStringLiteral("title Über VarnothM"),
                               QStringLiteral("field eview | Erste Zeile\\n~\tmit Tab\\nDritte Zeile & \"mehr\""),
                               QStringLiteral("closed Über VarnothM")}));
  EXPECT_TRUE(platform::liveWindows().empty());
  EXPECT_EQ(dialogs::freeMarkupNumber(), 1) << "the markup document is released";
}

TEST_F(DialogTest, TheCloseBoxClosesItAndTypedTextIsGoneNextTime) {
  playWhile(QStringLiteral("set eview \"getippt\"\nkey Return\nclose"),
            [] { dialogs::showTextDialog(QStringLiteral("Text"), QStringLiteral("Original")); });
  EXPECT_TRUE(platform::liveWindows().empty());
  const QStringList seen =
      playWhile(QStringLiteral("close"), [] { dialogs::showTextDialog(QStringLiteral("Text"), QStringLiteral("Original")); });
  EXPECT_TRUE(seen.contains(QStringLiteral("field eview | Original")));
}

TEST_F(DialogTest, ATitleWithApostropheLessThanAndAmpersandStillOpensTheDialog) {
  const QStringList seen = playWhile(QStringLiteral("key Escape"), [] {
    dialogs::showTextDialog(QStringLiteral("Rock 'n' <Roll> & Co"), QStringLiteral("x"));
  });
  EXPECT_EQ(seen.value(0), QStringLiteral("title Rock 'n' <Roll> & Co"));
  EXPECT_TRUE(seen.filter(QStringLiteral("box ")).isEmpty());
}

TEST_F(DialogTest, TheWindowIsAtLeast600By400AndTheEditorGrowsWithIt) {
  const int document = dialogs::parseDialogMarkup(dialogs::textDialogMarkup(QStringLiteral("Größe")));
  const platform::DialogGuard dialog;
  QString error;
  ASSERT_TRUE(platform::openXmlDialog(dialog.number(), *dialogs::markupDocument(document), QStringLiteral("DBDIALOG"), error))
      << error.toStdString();
  QWidget* window = platform::windowWidget(platform::dialogWindow(dialog.number()));
  QWidget* editor = platform::controlWidget(platform::dialogControl(dialog.number(), QStringLiteral("eview")));
  ASSERT_TRUE(window && editor);
  QApplication::processEvents();
  EXPECT_EQ(window->minimumSize(), QSize(600, 400));
  EXPECT_EQ(window->size(), QSize(600, 400));
  const QSize small = editor->size();
  EXPECT_GT(small.width(), 500);
  window->resize(900, 700);
  QApplication::processEvents();
  platform::refreshDialog(dialog.number());
  EXPECT_EQ(editor->width(), small.width() + 300);
  EXPECT_EQ(editor->height(), small.height() + 300);
  window->resize(300, 200);
  QApplication::processEvents();
  EXPECT_EQ(window->size(), QSize(600, 400));
  dialogs::freeMarkupDocument(document);
}

}  // namespace
