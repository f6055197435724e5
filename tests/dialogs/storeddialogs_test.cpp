// Stored dialogs played through the scripted user on real widgets: values entered, kept in the
// document in the escaped form and shown again; the endings; the messages of broken definitions.
#include "dialog_fixture.h"

#include "common/dates.h"
#include "db/quoting.h"
#include "dialogs/storeddialogs.h"
#include "platform/controls.h"

namespace {

using dialogs::runStoredDialog;

// A text with a backslash, a double quote and an ampersand, as the technician types it.
const QString awkward = QStringLiteral("Rohr \\ \"alt\" & neu");
const char* const awkwardInScript = "\"Rohr \\\\ \\\"alt\\\" & neu\"";

TEST_F(DialogTest, ValuesEnteredAndAcceptedWithDo3AreKeptEscapedAndShownAgainRoundAfterRound) {
  const int document = dialogs::parseDialogMarkup(measureDialog);
  ASSERT_EQ(document, 1);
  int result = -5;
  QStringList seen = playWhile(
      QStringLiteral("set _anmerkung ") + QLatin1String(awkwardInScript) +
          QStringLiteral("\n"
                         "set _KW_60 \"58,5\"\n"
                         "set _abnahme \"25.05.2026 14:30\"\n"
                         "set _protokoll \"Probe <3> ok\"\n"
                         "set _geprueft \"0\"\n"
                         "set _system \"Warmwasser\"\n"
                         "click _keim 2\n"
                         "click _proben 1\n"
                         "click _bereich 1\n"  // the top-level entry OG, entry 3 in document order
                         "set _termin \"2026-06-01\"\n"
                         "press do3\n"),
      [&] { result = runStoredDialog(document, QStringLiteral("dialog")); });
  EXPECT_EQ(result, 3);
  EXPECT_TRUE(seen.contains(QStringLiteral("title Spülen und Temperatur")));
  // What the first opening showed, from the definition.
  for (const char* line : {"field _anmerkung | ", "field _abnahme | 24.05.2026 10:00", "field _protokoll | Probe 1\\nProbe 2",
                           "field _geprueft | [x]", "field _system | Kaltwasser", "field _keim | ",
                           "field _proben | P1", "field _bereich | ", "field _termin | 2026-05-28",
                           "field frei | bleibt"})
    EXPECT_TRUE(seen.contains(QString::fromUtf8(line))) << line << "\n" << seen.join(u'\n').toStdString();

  // The document holds the escaped form of the texts and the numbers of the rest.
  const pugi::xml_node anmerkung = named(document, "_anmerkung");
  EXPECT_EQ(attributeOf(anmerkung, "text"), db::escapeText(awkward));
  EXPECT_EQ(attributeOf(anmerkung, "text"), QStringLiteral("Rohr \\\\ \\&quot;alt\\&quot; &amp; neu"));
  EXPECT_EQ(attributeOf(anmerkung, "data"), QStringLiteral("7"));
  EXPECT_EQ(attributeOf(named(document, "_KW_60"), "text"), QStringLiteral("58,5"));
  EXPECT_EQ(attributeOf(named(document, "_KW_60"), "data"), QStringLiteral("0"));  // created when missing
  EXPECT_EQ(attributeOf(named(document, "_abnahme"), "state"), QString::number(common::makeDate(2026, 5, 25, 14, 30)));
  EXPECT_EQ(attributeOf(named(document, "_abnahme"), "data"), QStringLiteral("-3"));
  EXPECT_EQ(attributeOf(named(document, "_protokoll"), "text"), QStringLiteral("Probe &lt;3&gt; ok"));
  EXPECT_EQ(attributeOf(named(document, "_geprueft"), "state"), QStringLiteral("0"));
  const pugi::xml_node system = named(document, "_system");
  EXPECT_EQ(attributeOf(system, "state"), QStringLiteral("1"));
  EXPECT_EQ(itemAttribute(system, 1, "text"), QStringLiteral("Warmwasser"));
  EXPECT_EQ(itemAttribute(system, 2, "data"), QStringLiteral("3"));
  const pugi::xml_node keim = named(document, "_keim");
  EXPECT_EQ(attributeOf(keim, "state"), QStringLiteral("2"));
  EXPECT_EQ(itemAttribute(keim, 2, "state"), QStringLiteral("4"));
  const pugi::xml_node proben = named(document, "_proben");
  EXPECT_EQ(attributeOf(proben, "state"), QStringLiteral("1"));
  EXPECT_EQ(itemAttribute(proben, 0, "text"), QStringLiteral("P1\\nKüche"));
  EXPECT_EQ(itemAttribute(proben, 1, "text"), QStringLiteral("P2\\nBad &amp; WC"));
  EXPECT_EQ(itemAttribute(proben, 1, "data"), QStringLiteral("12"));
  const pugi::xml_node bereich = named(document, "_bereich");
  EXPECT_EQ(attributeOf(bereich, "data"), QStringLiteral("5"));
  EXPECT_FALSE(bereich.attribute("state"));  // a tree keeps no state of its own
  EXPECT_EQ(itemAttribute(bereich, 0, "state"), QStringLiteral("2"));  // EG shows its children
  EXPECT_EQ(itemAttribute(bereich, 1, "data"), QStringLiteral("21"));
  EXPECT_EQ(itemAttribute(bereich, 3, "text"), QStringLiteral("OG"));
  EXPECT_EQ(itemAttribute(bereich, 3, "state"), QStringLiteral("1"));  // the selected entry
  EXPECT_EQ(itemAttribute(bereich, 1, "level"), QStringLiteral("1"));  // never written, still there
  EXPECT_EQ(attributeOf(named(document, "_termin"), "state"), QString::number(common::makeDate(2026, 6, 1, 20, 26, 40)));
  EXPECT_EQ(attributeOf(named(document, "frei"), "text"), QStringLiteral("bleibt"));

  // Reopened and accepted again and again: the screen shows what was entered, the document
  // does not drift.
  const QString afterFirst = markupOf(document);
  for (int round = 0; round < 3; ++round) {
    seen = playWhile(QStringLiteral("press doOK\n"), [&] { result = runStoredDialog(document, QStringLiteral("dialog")); });
    EXPECT_EQ(result, 1);
    for (const QString& line :
         {QStringLiteral("field _anmerkung | Rohr \\\\ \"alt\" & neu"), QStringLiteral("field _KW_60 | 58,5"),
          QStringLiteral("field _abnahme | 25.05.2026 14:30"), QStringLiteral("field _protokoll | Probe <3> ok"),
          QStringLiteral("field _geprueft | [ ]"), QStringLiteral("field _system | Warmwasser"),
          QStringLiteral("field _keim | Coliforme Bakterien"), QStringLiteral("field _proben | P2"),
          QStringLiteral("field _bereich | OG"), QStringLiteral("field _termin | 2026-06-01")})
      EXPECT_TRUE(seen.contains(line)) << line.toStdString() << "\n" << seen.join(u'\n').toStdString();
    EXPECT_EQ(markupOf(document), afterFirst) << "round " << round;
  }
  dialogs::freeMarkupDocument(document);
}

TEST_F(DialogTest, EscapeDoExitAndTheCloseBoxLeaveTheDocumentUntouched) {
  const int document = dialogs::parseDialogMarkup(measureDialog);
  ASSERT_GT(document, 0);
  const QString before = markupOf(document);
  for (const char* ending : {"key Escape", "press doExit", "close"}) {
    int result = -5;
    playWhile(QStringLiteral("set _anmerkung \"getippt\"\nset _geprueft \"0\"\nclick _keim 1\nset _protokoll \"neu\"\n") +
                  QLatin1String(ending),
              [&] { result = runStoredDialog(document, QStringLiteral("dialog")); });
    EXPECT_EQ(result, 0) << ending;
    EXPECT_EQ(markupOf(document), before) << ending;
    EXPECT_TRUE(platform::liveWindows().empty()) << ending;
  }
  dialogs::freeMarkupDocument(document);
}

TEST_F(DialogTest, ReturnInTheMultiLineEditorAcceptsTheDialog) {
  const int document = dialogs::parseDialogMarkup(measureDialog);
  int result = -5;
  playWhile(QStringLiteral("set _protokoll \"eine Zeile\"\nkey Return\n"),
            [&] { result = runStoredDialog(document, QStringLiteral("dialog")); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(attributeOf(named(document, "_protokoll"), "text"), QStringLiteral("eine Zeile"));  // no line break typed
  dialogs::freeMarkupDocument(document);
}

TEST_F(DialogTest, ACheckboxWithState2ShowsTickedAndIsWrittenBackAs1) {
  const int document = dialogs::parseDialogMarkup(measureDialog);
  int result = -5;
  const QStringList seen =
      playWhile(QStringLiteral("press doOK\n"), [&] { result = runStoredDialog(document, QStringLiteral("dialog")); });
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(seen.contains(QStringLiteral("field _geprueft | [x]")));
  EXPECT_EQ(attributeOf(named(document, "_geprueft"), "state"), QStringLiteral("1"));
  dialogs::freeMarkupDocument(document);
}

TEST_F(DialogTest, Do1AndDo100DoNothingWhileDo2AndDo99EndWithTheirNumber) {
  const int document = dialogs::parseDialogMarkup(measureDialog);
  const struct {
    const char* script;
    int result;
  } cases[] = {
      {"press do1\npress do100\nkey Escape", 0},  // still open after both: Escape ends it
      {"press do2", 2},
      {"press do99", 99},
      {"press do3", 3},
      {"press doOK", 1},
      {"press doExit", 0},
  };
  for (const auto& c : cases) {
    int result = -5;
    playWhile(QString::fromUtf8(c.script), [&] { result = runStoredDialog(document, QStringLiteral("dialog")); });
    EXPECT_EQ(result, c.result) << c.script;
  }
  dialogs::freeMarkupDocument(document);
}

TEST_F(DialogTest, AClickIntoAnotherWindowIsDroppedAndTheDialogStaysInFront) {
  platform::WindowFeatures features;
  const int other = platform::openWindow(0, 0, 300, 200, QStringLiteral("Hauptfenster"), features);
  platform::setControlName(platform::createButton(other, 10, 10, 100, 30, QStringLiteral("Anderes")),
                           QStringLiteral("anderes"));
  const int document = dialogs::parseDialogMarkup(measureDialog);
  int result = -5;
  playWhile(QStringLiteral("press anderes\nset _anmerkung \"danach\"\npress doOK"),
            [&] { result = runStoredDialog(document, QStringLiteral("dialog")); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(attributeOf(named(document, "_anmerkung"), "text"), QStringLiteral("danach"));
  EXPECT_TRUE(platform::isWindow(other));
  dialogs::freeMarkupDocument(document);
}

TEST_F(DialogTest, TwoStringsOfTheSameNameGiveTheLaterValueToCollectFields) {
  const int document = dialogs::parseDialogMarkup(QStringLiteral(
      "<window name='dialog'><vbox>"
      "<string name='_wert' text='erster' /><string name='_anmerkung' text='A' />"
      "<hbox><String name='_wert' text='zweiter' /><editor name='_protokoll' text='E' /></hbox>"
      "<string name='ohne' text='X' /><string text='ohne Namen' /></vbox></window>"));
  ASSERT_GT(document, 0);
  QMap<QString, QString> fields;
  EXPECT_EQ(dialogs::collectFields(dialogs::mainElement(document), QStringLiteral("STRING"), QStringLiteral("name"),
                                   QStringLiteral("text"), fields),
            2);
  EXPECT_EQ(fields, (QMap<QString, QString>{{QStringLiteral("_wert"), QStringLiteral("zweiter")},
                                            {QStringLiteral("_anmerkung"), QStringLiteral("A")}}));
  dialogs::freeMarkupDocument(document);
}

TEST_F(DialogTest, CollectFieldsReadsTheEscapedFormAfterAWriteBack) {
  const int document = dialogs::parseDialogMarkup(measureDialog);
  playWhile(QStringLiteral("set _anmerkung ") + QLatin1String(awkwardInScript) + QStringLiteral("\npress doOK"),
            [&] { runStoredDialog(document, QStringLiteral("dialog")); });
  QMap<QString, QString> fields;
  EXPECT_EQ(dialogs::collectFields(dialogs::mainElement(document), QStringLiteral("string"), QStringLiteral("name"),
                                   QStringLiteral("text"), fields),
            2);
  EXPECT_EQ(fields.value(QStringLiteral("_anmerkung")), db::escapeText(awkward));
  EXPECT_EQ(db::unescapeText(fields.value(QStringLiteral("_anmerkung"))), awkward);
  dialogs::freeMarkupDocument(document);
}

// An element outside the dialect in the middle of a chain: its message on fill and on
// write-back; it, its children and its later siblings keep their values; the rest moves.
TEST_F(DialogTest, AnElementOutsideTheDialectIsNamedOnFillAndWriteBackAndTheRestStillTransfers) {
  const struct {
    const char* element;
    const char* markup;
  } cases[] = {
      {"frame", "<frame text='Zusatz'><string name='_innen' text='i' /></frame>"},
      {"panel", "<panel><tab text='Seite'><string name='_innen' text='i' /></tab></panel>"},
      {"option", "<option name='_innen' text='Option' />"},
      {"spin", "<spin name='_innen' min='0' max='9' />"},
  };
  for (const auto& c : cases) {
    const int document = dialogs::parseDialogMarkup(
        QStringLiteral("<window name='dialog' text='Fremd' minwidth='auto' minheight='auto' "
                       "flags='#PB_Window_SystemMenu'><vbox>"
                       "<hbox><string name='_vor' text='v' />") +
        QString::fromUtf8(c.markup) +
        QStringLiteral("<string name='_nach' text='x\\\\y' /></hbox>"
                       "<string name='_danach' text='x\\\\y' /><button name='doOK' text='OK' /></vbox></window>"));
    ASSERT_GT(document, 0) << c.element;
    int result = -5;
    const QStringList seen =
        playWhile(QStringLiteral("answer OK\nset _vor \"v2\"\nset _nach \"n2\"\nset _danach \"d2\"\npress doOK\nanswer OK"),
                  [&] { result = runStoredDialog(document, QStringLiteral("dialog")); });
    EXPECT_EQ(result, 1) << c.element;
    const QString message = QStringLiteral("box Fehler | error | Dialoggadget ") + QString::fromUtf8(c.element) +
                            QStringLiteral(" ist noch nicht implementiert.");
    EXPECT_EQ(seen.filter(QStringLiteral("box ")), (QStringList{message, message})) << seen.join(u'\n').toStdString();
    EXPECT_EQ(seen.filter(QStringLiteral("buttons ")), (QStringList{QStringLiteral("buttons OK"), QStringLiteral("buttons OK")}));
    EXPECT_TRUE(seen.contains(QStringLiteral("field _vor | v")));
    // Not filled: the engine's own showing of the attribute, escapes and all.
    // (The transcript writes each backslash as two.)
    EXPECT_TRUE(seen.contains(QStringLiteral("field _nach | x\\\\\\\\y"))) << seen.join(u'\n').toStdString();
    EXPECT_TRUE(seen.contains(QStringLiteral("field _danach | x\\\\y")));  // filled: unescaped
    EXPECT_EQ(attributeOf(named(document, "_vor"), "text"), QStringLiteral("v2"));
    EXPECT_EQ(attributeOf(named(document, "_nach"), "text"), QStringLiteral("x\\\\y"));
    EXPECT_EQ(attributeOf(named(document, "_danach"), "text"), QStringLiteral("d2"));
    EXPECT_FALSE(named(document, "_innen").attribute("data")) << c.element;
    dialogs::freeMarkupDocument(document);
  }
}

TEST_F(DialogTest, ADefinitionWithoutAWindowDialogCannotBeOpened) {
  const int document = dialogs::parseDialogMarkup(
      QStringLiteral("<window name='edit' text='Anders'><vbox><string name='_a' text='x' /></vbox></window>"));
  ASSERT_GT(document, 0);
  const QString before = markupOf(document);
  int result = 0;
  const QStringList seen =
      playWhile(QStringLiteral("answer OK"), [&] { result = runStoredDialog(document, QStringLiteral("dialog")); });
  EXPECT_EQ(result, -1);
  EXPECT_EQ(seen, (QStringList{QStringLiteral("box Fehler | error | Interner Fehler bei der Erstellung des XML-Dialogs "
                                              "(OpenXMLDialog) Kein Fenster 'dialog' im XML-Dokument"),
                               QStringLiteral("buttons OK")}));
  EXPECT_EQ(markupOf(document), before);
  EXPECT_TRUE(platform::liveWindows().empty());
  dialogs::freeMarkupDocument(document);

  // Without any document at all the engine says so in the same message.
  const QStringList none = playWhile(QStringLiteral("answer OK"), [&] { result = runStoredDialog(77, QStringLiteral("dialog")); });
  EXPECT_EQ(result, -1);
  EXPECT_EQ(none, (QStringList{QStringLiteral("box Fehler | error | Interner Fehler bei der Erstellung des XML-Dialogs "
                                              "(OpenXMLDialog) Kein XML-Dokument"),
                               QStringLiteral("buttons OK")}));
}

TEST_F(DialogTest, AnElementTheEngineDoesNotKnowFailsTheOpening) {
  const int document = dialogs::parseDialogMarkup(
      QStringLiteral("<window name='dialog'><vbox><leinwand name='_x' /></vbox></window>"));
  int result = 0;
  const QStringList seen =
      playWhile(QStringLiteral("answer OK"), [&] { result = runStoredDialog(document, QStringLiteral("dialog")); });
  EXPECT_EQ(result, -1);
  EXPECT_EQ(seen, (QStringList{QStringLiteral("box Fehler | error | Interner Fehler bei der Erstellung des XML-Dialogs "
                                              "(OpenXMLDialog) Unbekanntes Dialogelement <leinwand>"),
                               QStringLiteral("buttons OK")}));
  dialogs::freeMarkupDocument(document);
}

}  // namespace
