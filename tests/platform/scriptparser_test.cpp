// The script form: one action a line, # comments, texts in double quotes with \" and \\,
// and the line number of the first line that cannot be read.
#include <gtest/gtest.h>

#include "platform/scripteduser.h"

namespace {

using platform::ScriptVerb;

struct LineCase {
  const char* line;
  ScriptVerb verb;
  const char* target;
  const char* text;
  int index;
  bool byText;
  bool cancel;
};

TEST(ScriptParser, ReadsEachActionWithItsWords) {
  const LineCase cases[] = {
      {"click commandList 7          # item 7", ScriptVerb::Click, "commandList", "", 7, false, false},
      {"click objectList \"Haus A\"", ScriptVerb::Click, "objectList", "Haus A", -1, true, false},
      {"click objectList -1", ScriptVerb::Click, "objectList", "", -1, false, false},
      {"  dclick objectList 0", ScriptVerb::DoubleClick, "objectList", "", 0, false, false},
      {"answer Ja", ScriptVerb::Answer, "Ja", "", -1, false, false},
      {"answer abbrechen", ScriptVerb::Answer, "Abbrechen", "", -1, false, false},
      {"input \"Spülen ok\"", ScriptVerb::Input, "", "Spülen ok", -1, false, false},
      {"input cancel", ScriptVerb::Input, "", "cancel", -1, false, true},
      {"input \"cancel\"", ScriptVerb::Input, "", "cancel", -1, false, false},
      {"input \"\"", ScriptVerb::Input, "", "", -1, false, false},
      {"set _KW_60 \"12,5\"", ScriptVerb::Set, "_KW_60", "12,5", -1, false, false},
      {"set anmerkung \"sagte \\\"gut\\\" in C:\\\\Daten # kein Kommentar\"", ScriptVerb::Set,
       "anmerkung", "sagte \"gut\" in C:\\Daten # kein Kommentar", -1, false, false},
      {"set eview \"Zeile 1\\nZeile 2\"", ScriptVerb::Set, "eview", "Zeile 1\nZeile 2", -1, false, false},
      {"press doOK", ScriptVerb::Press, "doOK", "", -1, false, false},
      {"key Ctrl+Return", ScriptVerb::Key, "Ctrl+Return", "", -1, false, false},
      {"key PageDown#blättern", ScriptVerb::Key, "PageDown", "", -1, false, false},
      {"close", ScriptVerb::Close, "", "", -1, false, false},
      {"resize tableList Auslass 150", ScriptVerb::Resize, "tableList", "", 150, false, false},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.line);
    const platform::ParsedScript parsed = platform::parseScript(QString::fromUtf8(c.line));
    ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
    ASSERT_EQ(parsed.actions.size(), 1u);
    const platform::ScriptAction& action = parsed.actions[0];
    EXPECT_EQ(action.verb, c.verb);
    EXPECT_EQ(action.target, QString::fromUtf8(c.target));
    EXPECT_EQ(action.text, QString::fromUtf8(c.text));
    EXPECT_EQ(action.index, c.index);
    EXPECT_EQ(action.byText, c.byText);
    EXPECT_EQ(action.cancel, c.cancel);
  }
}

TEST(ScriptParser, CommentsAndBlankLinesKeepTheLineNumbers) {
  const platform::ParsedScript parsed = platform::parseScript(
      QStringLiteral("# Beginn\r\n\r\nclick commandList 7\r\n   # nur Kommentar\nclose\n"));
  ASSERT_TRUE(parsed.error.isEmpty());
  ASSERT_EQ(parsed.actions.size(), 2u);
  EXPECT_EQ(parsed.actions[0].line, 3);
  EXPECT_EQ(parsed.actions[1].line, 5);
}

TEST(ScriptParser, NamesTheFirstLineItCannotRead) {
  const std::pair<const char*, const char*> cases[] = {
      {"click commandList", "line 2: click needs more"},
      {"click commandList 1 2 3", "line 2: click takes less"},
      {"header tableList -1", "line 2: a column is an index from 0 or a title"},
      {"header tableList", "line 2: header needs more"},
      {"resize tableList Auslass", "line 2: resize needs more"},
      {"resize tableList 1 0", "line 2: a width is a number of pixels from 1"},
      {"resize tableList 1 \"150\"", "line 2: a width is a number of pixels from 1"},
      {"click tableList 0 -1", "line 2: a column is an index from 0 or a title"},
      {"click commandList eins", "line 2: an item is an index or a quoted text"},
      {"click commandList -2", "line 2: an item is an index or a quoted text"},
      {"answer Vielleicht", "line 2: answer is OK, Ja, Nein or Abbrechen"},
      {"input Text", "line 2: input takes a quoted text or cancel"},
      {"set feld \"offen", "line 2: text without closing quote"},
      {"set feld \"a\\tb\"", "line 2: unknown escape \\t"},
      {"key Hyper+X", "line 2: unknown key Hyper+X"},
      {"close now", "line 2: close takes less"},
      {"wink objectList 0", "line 2: unknown action wink"},
  };
  for (const auto& [line, error] : cases) {
    SCOPED_TRACE(line);
    const platform::ParsedScript parsed =
        platform::parseScript(QStringLiteral("close\n") + QString::fromUtf8(line) + QStringLiteral("\nclose"));
    EXPECT_EQ(parsed.error, QString::fromUtf8(error));
    EXPECT_TRUE(parsed.actions.empty());
  }
}

}  // namespace
