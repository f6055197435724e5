// The transcript of a scripted run: titles, status texts, list fills with colours, boxes
// answered and unanswered, the input box, the shell hand-off, the exhausted script and the end.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/boxes.h"
#include "platform/iconlists.h"
#include "platform/statusbar.h"
#include "platform/system.h"
#include "toolkit_fixture.h"

namespace {

using platform::EventKind;

class TranscriptTest : public ToolkitTest {
 protected:
  // A small program in the manner of the main window: two named lists, a status bar, and
  // commands by the position of the clicked item.
  void openMainWindow() {
    window = platform::openWindow(0, 0, 800, 600, QStringLiteral("VarnothM"),
                                  {.minimiseBox = true, .maximiseBox = true, .sizingBorder = true});
    platform::createStatusBar(window);
    platform::addStatusField(window);
    platform::addStatusField(window);
    platform::setStatusFieldText(window, 0, QStringLiteral("VarnothM 3.1.11123"), true);
    platform::setStatusFieldProgress(window, 1, 0);
    commandList = platform::createIconList(window, 10, 10, 780, 200, QStringLiteral("commandList"));
    objectList = platform::createIconList(window, 10, 220, 780, 300, QStringLiteral("objectList"));
    fillLists();
  }

  void fillLists() {
    platform::clearIconList(commandList);
    for (const char* text : {"Warnung zeigen", "Eingabe", "Hilfe", "Titel"})
      platform::addIconItem(commandList, QString::fromUtf8(text));
    platform::clearIconList(objectList);
    platform::addIconItem(objectList, QStringLiteral("Bad 1"));
    platform::addIconItem(objectList, QStringLiteral("Küche"));
    platform::setIconItemBackground(objectList, 0, {255, 0, 0});
    platform::setIconItemTextColour(objectList, 0, {255, 255, 255});
    platform::setIconItemTextColour(objectList, 1, {0, 128, 0});
  }

  void program(const platform::WindowEvent& event) {
    if (event.kind != EventKind::Control || event.control != commandList) return;
    switch (platform::selectedIconItem(commandList)) {
      case 0:
        answers << static_cast<int>(platform::messageBox(QStringLiteral("Warnung"),
                                                         QStringLiteral("Daten werden\r\nüberschrieben."),
                                                         platform::BoxIcon::Warning,
                                                         platform::BoxButtons::YesNoCancel));
        break;
      case 1:
        inputs << platform::inputBox(QStringLiteral("Anmerkung"), QStringLiteral("Bemerkung:"),
                                     QStringLiteral(" "));
        break;
      case 2: platform::openWithShell(QStringLiteral("/opt/varnothm/VarnothM.PDF")); break;
      case 3:
        platform::setWindowTitle(window, QStringLiteral("VarnothM Objekt HAUS A"));
        platform::setStatusFieldText(window, 0, QStringLiteral("Tabelle auslass"), false);
        fillLists();
        break;
    }
  }

  int window = 0;
  int commandList = 0;
  int objectList = 0;
  QList<int> answers;
  QStringList inputs;
};

TEST_F(TranscriptTest, RecordsWhatThePersonSawInOrder) {
  QTemporaryDir folder;
  const QString transcriptFile = folder.filePath(QStringLiteral("transcript.txt"));
  platform::startScript(QStringLiteral("click commandList 0\n"
                      "answer Nein\n"
                      "click commandList 0          # no answer: cancelled\n"
                      "click commandList 1\n"
                      "input \"Spülen ok\"\n"
                      "click commandList 1\n"
                      "answer OK                     # the preset, confirmed\n"
                      "click commandList 1\n"
                      "input cancel\n"
                      "click commandList \"Hilfe\"\n"
                      "click commandList 3\n"));
  openMainWindow();  // recorded from its opening on
  runProgram([this](const platform::WindowEvent& e) { program(e); });
  platform::recordProgramEnd();
  ASSERT_TRUE(platform::writeTranscript(transcriptFile));

  const QStringList lists = {
      QStringLiteral("item commandList | 0 | Warnung zeigen | - | -"),
      QStringLiteral("item commandList | 1 | Eingabe | - | -"),
      QStringLiteral("item commandList | 2 | Hilfe | - | -"),
      QStringLiteral("item commandList | 3 | Titel | - | -"),
      QStringLiteral("item objectList | 0 | Bad 1 | 255,0,0 | 255,255,255"),
      QStringLiteral("item objectList | 1 | Küche | - | 0,128,0"),
  };
  QStringList expected = {QStringLiteral("title VarnothM"), QStringLiteral("status VarnothM 3.1.11123")};
  expected << lists;
  const QString box = QStringLiteral("box Warnung | warning | Daten werden\\nüberschrieben.");
  const QString input = QStringLiteral("input Anmerkung | Bemerkung: |  ");
  expected << box << box << QStringLiteral("unanswered") << input << input << input
           << QStringLiteral("shell /opt/varnothm/VarnothM.PDF")
           << QStringLiteral("title VarnothM Objekt HAUS A") << QStringLiteral("status Tabelle auslass");
  expected << lists;
  expected << QStringLiteral("script exhausted") << QStringLiteral("end");
  EXPECT_EQ(platform::transcript(), expected);

  EXPECT_EQ(answers, (QList<int>{static_cast<int>(platform::BoxAnswer::No),
                                 static_cast<int>(platform::BoxAnswer::Cancel)}));
  EXPECT_EQ(inputs, (QStringList{QStringLiteral("Spülen ok"), QStringLiteral(" "), QString()}));

  QFile written(transcriptFile);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(written.readAll()), expected.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

TEST_F(TranscriptTest, MistakesOfTheScriptAreWrittenDownAndPassedOver) {
  openMainWindow();
  play(QStringLiteral("answer Ja\n"
                      "click nowhere 0\n"
                      "click objectList 7\n"
                      "click objectList \"Dachboden\"\n"
                      "click commandList 0\n"
                      "answer OK\n"),  // OK is no button of a Yes/No/Cancel box
       [this](const platform::WindowEvent& e) { program(e); });
  const QStringList seen = platform::transcript();
  const QStringList expected = {
      QStringLiteral("skipped line 1: no box is open"),
      QStringLiteral("skipped line 2: no control named nowhere"),
      QStringLiteral("skipped line 3: objectList has no item 7"),
      QStringLiteral("skipped line 4: objectList has no item Dachboden"),
      QStringLiteral("box Warnung | warning | Daten werden\\nüberschrieben."),
      QStringLiteral("unanswered"),
      QStringLiteral("skipped line 6: no box is open"),
      QStringLiteral("script exhausted"),
  };
  // The lists were filled before the script started, so they come first.
  EXPECT_EQ(seen.mid(seen.size() - expected.size()), expected);
  EXPECT_EQ(answers, QList<int>{static_cast<int>(platform::BoxAnswer::Cancel)});
}

TEST_F(TranscriptTest, EnvironmentNamesScriptAndTranscript) {
  QTemporaryDir folder;
  const QString scriptFile = folder.filePath(QStringLiteral("script.txt"));
  const QString transcriptFile = folder.filePath(QStringLiteral("out.txt"));
  QFile script(scriptFile);
  ASSERT_TRUE(script.open(QIODevice::WriteOnly));
  script.write("# only the help\nclick commandList \"Hilfe\"\n");
  script.close();
  qputenv("VARNOTHM_SCRIPT", scriptFile.toUtf8());
  qputenv("VARNOTHM_TRANSCRIPT", transcriptFile.toUtf8());
  ASSERT_TRUE(platform::startScriptFromEnvironment());
  qunsetenv("VARNOTHM_SCRIPT");
  qunsetenv("VARNOTHM_TRANSCRIPT");
  openMainWindow();
  try {
    for (;;) program(platform::waitWindowEvent());
  } catch (const common::ProgramEnd&) {
    platform::recordProgramEnd();
  }
  QFile written(transcriptFile);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(written.readAll()).split(QLatin1Char('\n'));
  EXPECT_EQ(lines.first(), QStringLiteral("title VarnothM"));
  EXPECT_EQ(lines.mid(lines.size() - 4),
            (QStringList{QStringLiteral("shell /opt/varnothm/VarnothM.PDF"), QStringLiteral("script exhausted"),
                         QStringLiteral("end"), QString()}));
  EXPECT_FALSE(platform::startScriptFromEnvironment());  // nothing named: the person plays
}

}  // namespace
