// "Hilfe" played through the scripted user: the help document handed to the desktop, then the
// program information in the text dialog, closed with Escape; and its texts, line by line.
#include "testservers.h"

#include "app/about.h"
#include "app/application.h"
#include "app/appstate.h"
#include "dialogs/markup.h"
#include "dialogs/textdialog.h"
#include "platform/controls.h"
#include "platform/dialogengine.h"
#include "platform/scripteduser.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <gtest/gtest.h>

namespace {

// The about text, line by line.
const QStringList aboutLines{
    u"VarnothM"_qs,
    u"--------------------"_qs,
    u"Die Zuordnung der Auslässe zu den Angaben einer Maßnahmenplanung ist nicht immer einfach. Dieses Programm "
    "unterstützt Sie dabei unter anderem mit"_qs,
    u"~\tObjektbasierter Arbeitsweise"_qs,
    u"~\tEinfachen Datenabgleich mit dem Zentralgerät über eine Datenbank-/Internet-Verbindung"_qs,
    u"~\tUnterstützung von 1D und 2D - Codereadern"_qs,
    u"~\tEiner Funktion zum direkten uneingeschränkten (Nach)bearbeiten der erfassten Daten"_qs,
};

QString freshFolder(const QString& name) {
  const QString folder = testsupport::temporaryFolder() + u'/' + name + u'/';
  QDir(folder).removeRecursively();
  QDir().mkpath(folder);
  return folder;
}

TEST(Help, TheAboutTextIsThatOfPart11) {
  EXPECT_EQ(app::aboutText(), aboutLines.join(u"\r\n"_qs));
  EXPECT_EQ(aboutLines[1].size(), 20);
}

TEST(Help, TheNoticesNameTheMakerAndEveryComponentWithItsLicence) {
  const QString notices = app::licenceNotices();
  EXPECT_TRUE(notices.startsWith(u"VarnothM 3.1.11123 – Hersteller: "_qs));
  const struct {
    const char* component;
    const char* licence;
  } components[] = {
      {"Qt 6", "LGPL-3.0"},
      {"SQLite 3", "Public Domain"},
      {"MariaDB Connector/C", "LGPL-2.1"},
      {"unixODBC", "LGPL-2.1"},
      {"pugixml", "MIT"},
      {"Symbole (Icons)", "CC0 1.0"},
  };
  const QStringList lines = notices.split(u"\r\n"_qs);
  for (const auto& c : components) {
    const auto at = std::find_if(lines.begin(), lines.end(),
                                 [&](const QString& line) { return line.startsWith(QString::fromUtf8(c.component)); });
    ASSERT_NE(at, lines.end()) << c.component;
    ASSERT_NE(at + 1, lines.end()) << c.component;
    EXPECT_TRUE((at + 1)->contains(QString::fromUtf8(c.licence))) << c.component << ": " << (at + 1)->toStdString();
  }
  EXPECT_EQ(app::programInformation(u"A"_qs), u"A\r\n\r\n"_qs + notices);
}

TEST(Help, HandsOverTheHelpDocumentThenShowsTheProgramInformationUntilEscape) {
  const QString folder = freshFolder(u"hilfe"_qs);
  ASSERT_TRUE(platform::startScript(u"click commandList 6\nkey Escape\nclick commandList 7\n"_qs));
  EXPECT_EQ(app::runApplication(folder), 0);
  const QStringList seen = platform::transcript();
  platform::stopScript();

  EXPECT_EQ(app::state().aboutText, aboutLines.join(u"\r\n"_qs));  // kept in the state from the start
  QString shown = app::programInformation(app::state().aboutText);
  shown.replace(u"\r\n"_qs, u"\\n"_qs);
  const QStringList expected{u"shell "_qs + folder + u"VarnothM.PDF"_qs, u"title Über VarnothM"_qs,
                             u"field eview | "_qs + shown};
  const qsizetype shell = seen.indexOf(expected[0]);
  ASSERT_GE(shell, 0) << seen.join(u'\n').toStdString();
  EXPECT_EQ(seen.mid(shell, 3), expected) << seen.join(u'\n').toStdString();
  // After Escape the main window has the events again: "Beenden" ends the program.
  EXPECT_EQ(seen.mid(shell + 3),
            (QStringList{u"closed Über VarnothM"_qs, u"end"_qs}));
  EXPECT_TRUE(seen.filter(u"skipped"_qs).isEmpty());
  EXPECT_TRUE(seen.filter(u"box "_qs).isEmpty());
}

// The text dialog as "Hilfe" shows it, rendered offscreen: VARNOTHM_PICTURES names the folder.
TEST(Help, TheTextDialogIsRenderedOffscreen) {
  const int document = dialogs::parseDialogMarkup(dialogs::textDialogMarkup(u"Über VarnothM"_qs));
  ASSERT_GT(document, 0);
  {
    const platform::DialogGuard dialog;
    QString error;
    ASSERT_TRUE(platform::openXmlDialog(dialog.number(), *dialogs::markupDocument(document), u"dbdialog"_qs, error));
    platform::setControlText(platform::dialogControl(dialog.number(), u"eview"_qs),
                             app::programInformation(app::aboutText()));
    QApplication::processEvents();
    const QString folder = qEnvironmentVariableIsEmpty("VARNOTHM_PICTURES") ? testsupport::temporaryFolder()
                                                                             : qEnvironmentVariable("VARNOTHM_PICTURES");
    const QString path = folder + u"/textdialog.png"_qs;
    ASSERT_TRUE(platform::saveWindowPicture(platform::dialogWindow(dialog.number()), path));
    EXPECT_EQ(QImage(path).size(), QSize(600, 400));
  }
  dialogs::freeMarkupDocument(document);
}

}  // namespace
