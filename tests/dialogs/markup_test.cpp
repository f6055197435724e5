// Markup documents: their numbers, the three parse messages, the value forms inside attributes,
// and the stored definitions read from the local table xele.
#include "dialog_fixture.h"

#include "db/localschema.h"
#include "db/quoting.h"
#include "dialogs/storeddialogs.h"

namespace {

TEST_F(DialogTest, DocumentsTakeTheLowestFreeNumberFrom1To10000) {
  EXPECT_EQ(dialogs::freeMarkupNumber(), 1);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(dialogs::parseDialogMarkup(QStringLiteral("<window name='a' />")), i);
  dialogs::freeMarkupDocument(2);
  EXPECT_EQ(dialogs::freeMarkupNumber(), 2);
  EXPECT_EQ(dialogs::parseDialogMarkup(QStringLiteral("<window name='b' />")), 2);
  EXPECT_EQ(QString::fromUtf8(dialogs::mainElement(2).attribute("name").value()), QStringLiteral("b"));
  EXPECT_FALSE(dialogs::createMarkupDocument(3));      // taken
  EXPECT_FALSE(dialogs::createMarkupDocument(10001));  // beyond the range
  for (int number = 1; number <= 3; ++number) dialogs::freeMarkupDocument(number);
}

TEST_F(DialogTest, WhenAll10000NumbersAreTakenParsingSaysSo) {
  for (int number = 1; number <= 10000; ++number) ASSERT_TRUE(dialogs::createMarkupDocument(number));
  EXPECT_EQ(dialogs::freeMarkupNumber(), 0);
  testsupport::BoxRecorder boxes;
  EXPECT_EQ(dialogs::parseDialogMarkup(QStringLiteral("<window name='a' />")), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("Fehler"));
  EXPECT_EQ(boxes.boxes[0].icon, platform::BoxIcon::Error);
  EXPECT_EQ(boxes.boxes[0].text,
            QStringLiteral("Interner Fehler bei der Erstellung des XML-Dialogs (Suche nach freier XML Nummer)"));
  for (int number = 1; number <= 10000; ++number) dialogs::freeMarkupDocument(number);
  EXPECT_EQ(dialogs::freeMarkupNumber(), 1);
}

TEST_F(DialogTest, UnparsableMarkupIsReportedWithTheParsersTextLineAndPosition) {
  const struct {
    const char* markup;
    const char* message;
  } cases[] = {
      {"<window name='dialog'>\r\n<vbox>\r\n  <string name='_a' text='x'>\r\n</vbox></window>",
       "Interner Fehler bei der Erstellung des XML-Dialogs (XMLStatus):Start-end tags mismatch 4/3"},
      {"<window name='dialog' text='Größe'>\n  <text text='Ä' /><text text=Ä /></window>",
       "Interner Fehler bei der Erstellung des XML-Dialogs (XMLStatus):Error parsing element attribute 2/31"},
      {"", "Interner Fehler bei der Erstellung des XML-Dialogs (XMLStatus):No document element found 1/1"},
  };
  for (const auto& c : cases) {
    testsupport::BoxRecorder boxes;
    EXPECT_EQ(dialogs::parseDialogMarkup(QString::fromUtf8(c.markup)), 0);
    ASSERT_EQ(boxes.boxes.size(), 1u) << c.markup;
    EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("Fehler"));
    EXPECT_EQ(boxes.boxes[0].icon, platform::BoxIcon::Error);
    EXPECT_EQ(boxes.boxes[0].text, QString::fromUtf8(c.message));
    EXPECT_EQ(dialogs::freeMarkupNumber(), 1) << "the document is released";
  }
}

TEST_F(DialogTest, IntegersAreReadFromTheStartOfTheAttribute) {
  const int document = dialogs::parseDialogMarkup(QStringLiteral(
      "<window a='12' b='-7' c='3px' d='x3' e='' f=' 42' g='+5' h='99999999999' i='-2147483648' />"));
  const pugi::xml_node w = dialogs::mainElement(document);
  const struct {
    const char* attribute;
    int value;
  } cases[] = {{"a", 12}, {"b", -7}, {"c", 3}, {"d", 0}, {"e", 0}, {"f", 42}, {"g", 5},
               {"h", 2147483647}, {"i", -2147483647 - 1}, {"missing", 0}};
  for (const auto& c : cases) EXPECT_EQ(dialogs::markupInteger(w.attribute(c.attribute)), c.value) << c.attribute;
  dialogs::freeMarkupDocument(document);
}

TEST_F(DialogTest, XmlEscapingTouchesOnlyTheFiveCharacters) {
  EXPECT_EQ(dialogs::xmlEscaped(QStringLiteral("Rock 'n' <Roll> & \"Co\" \\ Ü")),
            QStringLiteral("Rock &apos;n&apos; &lt;Roll&gt; &amp; &quot;Co&quot; \\ Ü"));
}

class DefinitionTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    local.reset(testsupport::openEmpty(testsupport::Place::LocalSqlite, QStringLiteral("dialogdefs")));
    ASSERT_TRUE(local);
    ASSERT_EQ(db::createDialogTable(local.get()), 1);
  }
  db::ConnectionGuard local;
};

TEST_F(DefinitionTest, TheFirstRowOfGroupAndElementIsReadWithItsTextsDecoded) {
  testsupport::run(local.get(), {
      QStringLiteral("INSERT INTO xele VALUES (4, 'XML_merfassung', 'Probe', '<window name=''dialog'' />')"),
      QStringLiteral("INSERT INTO xele VALUES (5, 'XML_merfassung', 'Sp&#252;len \\&quot;warm\\&quot;', "
                     "'<window name=\"dialog\" text=\"a &amp;amp; b\" />')"),
      QStringLiteral("INSERT INTO xele VALUES (6, 'XML_merfassung', 'Sp&#252;len \\&quot;warm\\&quot;', '<zweite />')"),
  });
  // The stored element is in the quoted form; the caller asks with the plain text.
  testsupport::run(local.get(), {QStringLiteral("UPDATE xele SET element=") + db::quoteText(QStringLiteral("Spülen \"warm\"")) +
                                 QStringLiteral(" WHERE ID IN (5, 6)")});
  dialogs::DialogRecord record;
  testsupport::BoxRecorder boxes;
  EXPECT_EQ(dialogs::loadDialogDefinition(local.get(), QStringLiteral("XML_merfassung"), QStringLiteral(" Spülen \"warm\" "),
                                          record),
            1);
  EXPECT_EQ(record.ID, 5);
  EXPECT_EQ(record.gruppe, QStringLiteral("XML_merfassung"));
  EXPECT_EQ(record.element, QStringLiteral("Spülen \"warm\""));
  EXPECT_EQ(record.XML, QStringLiteral("<window name=\"dialog\" text=\"a &amp;amp; b\" />"));  // as stored

  dialogs::DialogRecord untouched{9, QStringLiteral("g"), QStringLiteral("e"), QStringLiteral("x")};
  EXPECT_EQ(dialogs::loadDialogDefinition(local.get(), QStringLiteral("XML_merfassung"), QStringLiteral("Fehlt"), untouched), 0);
  EXPECT_EQ(untouched.ID, 9);
  EXPECT_EQ(untouched.XML, QStringLiteral("x"));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(DefinitionTest, AFailedQueryIsReportedAsDatenbankfehlerAndGivesMinus1) {
  testsupport::run(local.get(), {QStringLiteral("DROP TABLE xele")});
  dialogs::DialogRecord record;
  testsupport::BoxRecorder boxes;
  EXPECT_EQ(dialogs::loadDialogDefinition(local.get(), QStringLiteral("XML_merfassung"), QStringLiteral("Probe"), record), -1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("Datenbankfehler"));
  EXPECT_TRUE(boxes.boxes[0].text.startsWith(QStringLiteral(
      "Die Abfrage SELECT ID,gruppe,element,XML FROM xele WHERE gruppe='XML_merfassung' AND element='Probe'; "
      "konnte nicht ausgeführt werden: ")))
      << boxes.boxes[0].text.toStdString();
}

}  // namespace
