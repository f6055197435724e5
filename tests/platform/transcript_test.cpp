// The transcript of a scripted run: titles, status texts, list fills with colours, boxes
// answered and unanswered, the input box, the shell hand-off, the exhausted script and the end.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "platform/boxes.h"
#include "platform/controls.h"
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
      QStringLiteral("icon commandList | 0 | -"),
      QStringLiteral("item commandList | 1 | Eingabe | - | -"),
      QStringLiteral("icon commandList | 1 | -"),
      QStringLiteral("item commandList | 2 | Hilfe | - | -"),
      QStringLiteral("icon commandList | 2 | -"),
      QStringLiteral("item commandList | 3 | Titel | - | -"),
      QStringLiteral("icon commandList | 3 | -"),
      QStringLiteral("item objectList | 0 | Bad 1 | 255,0,0 | 255,255,255"),
      QStringLiteral("icon objectList | 0 | -"),
      QStringLiteral("item objectList | 1 | Küche | - | 0,128,0"),
      QStringLiteral("icon objectList | 1 | -"),
  };
  QStringList expected = {QStringLiteral("title VarnothM"), QStringLiteral("status VarnothM 3.1.11123")};
  expected << lists;
  const QStringList box = {QStringLiteral("box Warnung | warning | Daten werden\\r\\nüberschrieben."),
                           QStringLiteral("buttons Ja Nein Abbrechen")};
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

// What the program changes after a fill is written afresh: an item's text or colours, the
// item it selects; each item with its icon; each box with its buttons; CR, LF and the
// backslash of every text told apart.
TEST_F(TranscriptTest, ChangesAfterAFillIconsSelectionButtonsAndEscapesAreWritten) {
  QTemporaryDir folder;
  QImage picture(64, 64, QImage::Format_ARGB32);
  picture.fill(Qt::darkBlue);
  const int object = platform::loadImage(folder.filePath(QStringLiteral("object.png")));
  EXPECT_EQ(object, 0);  // no such file yet
  ASSERT_TRUE(picture.save(folder.filePath(QStringLiteral("object.png"))));
  ASSERT_TRUE(picture.save(folder.filePath(QStringLiteral("tap.png"))));
  const int house = platform::loadImage(folder.filePath(QStringLiteral("object.png")));
  const int tap = platform::loadImage(folder.filePath(QStringLiteral("tap.png")));
  ASSERT_GT(house, 0);
  ASSERT_GT(tap, 0);

  platform::startScript(QStringLiteral("click commandList 0\nclick commandList 1\nclick commandList 2\n"
                                       "click commandList 3\n"));
  window = platform::openWindow(0, 0, 800, 600, QStringLiteral("VarnothM"), {});
  platform::createStatusBar(window);
  platform::addStatusField(window);
  commandList = platform::createIconList(window, 10, 10, 780, 200, QStringLiteral("commandList"));
  objectList = platform::createIconList(window, 10, 220, 780, 300, QStringLiteral("objectList"));
  for (const char* text : {"Objektname", "Ändern", "Leeren", "Texte"})
    platform::addIconItem(commandList, QString::fromUtf8(text), house);
  platform::addIconItem(objectList, QStringLiteral("Dusche 1/2 \"Süd\""), tap);
  platform::addIconItem(objectList, QStringLiteral("Küche & Bad"));
  platform::setIconItemTextColour(objectList, 1, {0, 0, 255});  // within the fill: no line of its own

  runProgram([&](const platform::WindowEvent& e) {
    if (e.kind != EventKind::Control || e.control != commandList) return;
    switch (platform::selectedIconItem(commandList)) {
      case 0:
        platform::setIconItemText(commandList, 0, QStringLiteral("Haus O'Brien"));
        platform::setIconItemText(commandList, 1, QStringLiteral("Ändern"));  // unchanged: no line
        platform::focusIconItem(objectList, 0);
        break;
      case 1:
        platform::setIconItemBackground(objectList, 1, {0, 255, 0});
        platform::setIconItemTextColour(objectList, 1, {0, 0, 255});  // as before
        platform::setIconItemText(commandList, 2, QStringLiteral("C:\\neu\\Bad"));
        break;
      case 2:
        platform::clearIconList(objectList);
        platform::focusIconItem(objectList, 0);
        platform::messageBox(QStringLiteral("Frage"), QStringLiteral("Weiter?"), platform::BoxIcon::Question,
                             platform::BoxButtons::YesNo);
        break;
      case 3:
        platform::setWindowTitle(window, QStringLiteral("Pfad C:\\neu\\"));
        platform::setStatusFieldText(window, 0, QStringLiteral("1\r2\n3\r\n4 \\n 5"), false);
        platform::messageBox(QStringLiteral("Info"), QStringLiteral("a\\r\nb"), platform::BoxIcon::Info);
        break;
    }
  });
  platform::recordProgramEnd();

  const QStringList expected = {
      QStringLiteral("title VarnothM"),
      QStringLiteral("item commandList | 0 | Objektname | - | -"),
      QStringLiteral("icon commandList | 0 | object"),
      QStringLiteral("item commandList | 1 | Ändern | - | -"),
      QStringLiteral("icon commandList | 1 | object"),
      QStringLiteral("item commandList | 2 | Leeren | - | -"),
      QStringLiteral("icon commandList | 2 | object"),
      QStringLiteral("item commandList | 3 | Texte | - | -"),
      QStringLiteral("icon commandList | 3 | object"),
      QStringLiteral("item objectList | 0 | Dusche 1/2 \"Süd\" | - | -"),
      QStringLiteral("icon objectList | 0 | tap"),
      QStringLiteral("item objectList | 1 | Küche & Bad | - | 0,0,255"),
      QStringLiteral("icon objectList | 1 | -"),
      // command 0: the caption of item 0 and the selection it set
      QStringLiteral("item commandList | 0 | Haus O'Brien | - | -"),
      QStringLiteral("icon commandList | 0 | object"),
      QStringLiteral("selected objectList | 0"),
      // command 1: a colour set later, and a text with backslashes
      QStringLiteral("item commandList | 2 | C:\\\\neu\\\\Bad | - | -"),
      QStringLiteral("icon commandList | 2 | object"),
      QStringLiteral("item objectList | 1 | Küche & Bad | 0,255,0 | 0,0,255"),
      QStringLiteral("icon objectList | 1 | -"),
      // command 2: an emptied list selects nothing
      QStringLiteral("selected objectList | -1"),
      QStringLiteral("box Frage | question | Weiter?"),
      QStringLiteral("buttons Ja Nein"),
      QStringLiteral("unanswered"),
      // command 3: CR, LF, CR LF and the two characters backslash and n, each as it was
      QStringLiteral("title Pfad C:\\\\neu\\\\"),
      QStringLiteral("status 1\\r2\\n3\\r\\n4 \\\\n 5"),
      QStringLiteral("box Info | info | a\\\\r\\nb"),
      QStringLiteral("buttons OK"),
      QStringLiteral("unanswered"),
      QStringLiteral("script exhausted"),
      QStringLiteral("end"),
  };
  EXPECT_EQ(platform::transcript().join(QLatin1Char('\n')).toStdString(), expected.join(QLatin1Char('\n')).toStdString());
  platform::freeImage(house);
  platform::freeImage(tap);
}

// A person can type into no disabled or read-only control, so neither can the script.
TEST_F(TranscriptTest, SetRefusesDisabledAndReadOnlyControls) {
  window = platform::openWindow(0, 0, 400, 300, QStringLiteral("Dialog"), {});
  const int readOnly = platform::createLineField(window, 5, 5, 200, 25, QStringLiteral("7"), true);
  const int disabledField = platform::createLineField(window, 5, 35, 200, 25, QStringLiteral("alt"));
  const int slider = platform::createSlider(window, 5, 65, 200, 25, 0, 10);
  const int field = platform::createLineField(window, 5, 95, 200, 25, QString());
  platform::setControlName(readOnly, QStringLiteral("ID"));
  platform::setControlName(disabledField, QStringLiteral("_KW_60"));
  platform::setControlName(slider, QStringLiteral("_SL"));
  platform::setControlName(field, QStringLiteral("anme"));
  platform::setControlEnabled(disabledField, false);
  platform::setControlEnabled(slider, false);
  play(QStringLiteral("set ID \"99\"\nset _KW_60 \"12,5\"\nset _SL \"4\"\nset anme \"Spülen ok\"\n"));
  EXPECT_EQ(platform::transcript().join(QLatin1Char('\n')).toStdString(),
            QStringList({QStringLiteral("slider _SL | 0..10 | 0 | disabled"), QStringLiteral("skipped line 1: ID is read-only"),
                         QStringLiteral("skipped line 2: _KW_60 is disabled"),
                         QStringLiteral("skipped line 3: _SL is disabled"), QStringLiteral("script exhausted")})
                .join(QLatin1Char('\n'))
                .toStdString());
  EXPECT_EQ(platform::controlText(readOnly), QStringLiteral("7"));
  EXPECT_EQ(platform::controlText(disabledField), QStringLiteral("alt"));
  EXPECT_EQ(platform::sliderPosition(slider), 0);
  EXPECT_EQ(platform::controlText(field), QStringLiteral("Spülen ok"));
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
      QStringLiteral("box Warnung | warning | Daten werden\\r\\nüberschrieben."),
      QStringLiteral("buttons Ja Nein Abbrechen"),
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
