// The cell texts of the table editor as a table of cases: padding, widths, integer, date and
// float cells, the printable filter (which keeps every printable character) and the escapes.
#include "common/dates.h"
#include "common/numbers.h"
#include "tableeditor/cellformat.h"

#include "tableeditor_fixture.h"

using namespace tableeditor;

namespace {

struct TextCase {
  QString input;
  QString spec;
  QString expected;
};

TEST(CellFormat, PadToSpecPadsByAlignmentAndNeverCuts) {
  const TextCase cases[] = {
      {u"ab"_qs, u"5M"_qs, u" ab  "_qs},       {u"abcdef"_qs, u"3L"_qs, u"abcdef"_qs},
      {u"ab"_qs, u"5L"_qs, u"ab   "_qs},        {u"ab"_qs, u"5R"_qs, u"   ab"_qs},
      {u"ab"_qs, u"5l"_qs, u"ab   "_qs},        {u"ab"_qs, u"20X"_qs, u"ab"_qs},
      {u"abc"_qs, u"6M"_qs, u" abc  "_qs},      {u"ab"_qs, u"%yyyy-%mm-%ddL"_qs, u"ab"_qs},
      {u"ab"_qs, u""_qs, u"ab"_qs},             {u"Größe"_qs, u"7L"_qs, u"Größe  "_qs},
  };
  for (const TextCase& c : cases) EXPECT_EQ(padToSpec(c.input, c.spec), c.expected) << c.input << " " << c.spec;
}

TEST(CellFormat, SpecCharWidthOfEveryForm) {
  const std::pair<QString, int> cases[] = {{u"%yyyy-%mm-%dd %hh:%ii"_qs, 16}, {u"%yyyy-%mm-%dd"_qs, 10},
                                           {u"1.5L"_qs, 5}, {u"20X"_qs, 20}, {u"10L"_qs, 10}, {u""_qs, 0},
                                           {u"L"_qs, 0}};
  for (const auto& [spec, width] : cases) EXPECT_EQ(specCharWidth(spec), width) << spec;
}

TEST(CellFormat, IntegerAndDateCells) {
  const qint32 date = common::makeDate(2021, 3, 5, 9, 30);
  const std::tuple<qint64, QString, QString> cases[] = {
      {42, u"10L"_qs, u"42        "_qs},
      {0, u"10L"_qs, u"---       "_qs},
      {-7, u"5R"_qs, u"   -7"_qs},
      {0, u"%yyyy-%mm-%dd"_qs, u"---"_qs},
      {-5, u"%yyyy-%mm-%dd %hh:%ii"_qs, u"---"_qs},
      {date, u"%yyyy-%mm-%dd %hh:%ii"_qs, u"2021-03-05 09:30"_qs},
      {date, u"%yyyy-%mm-%dd"_qs, u"2021-03-05"_qs},
      {5000000000LL, u"12L"_qs, u"5000000000  "_qs},
  };
  for (const auto& [value, spec, expected] : cases) EXPECT_EQ(formatIntegerCell(value, spec), expected) << value;
}

TEST(CellFormat, RealCells) {
  const std::tuple<double, QString, QString> cases[] = {
      {23.46, u"1.5L"_qs, u"23.5 "_qs},  {0.0, u"1.5L"_qs, u"---  "_qs},   {12.0, u"1.5L"_qs, u"12.0 "_qs},
      {-3.25, u"2.7R"_qs, u"  -3.25"_qs}, {123456.75, u"1.5L"_qs, u"123456.8"_qs}, {7.6, u"0.3M"_qs, u" 8 "_qs},
  };
  for (const auto& [value, spec, expected] : cases) EXPECT_EQ(formatRealCell(value, spec), expected) << value;
}

// Only control characters go; every printable character stays, whatever its script.
TEST(CellFormat, KeepPrintableDropsOnlyControlCharacters) {
  const std::pair<QString, QString> cases[] = {
      {u"a\r\nb"_qs, u"ab"_qs},
      {u"Tab\there"_qs, u"Tabhere"_qs},
      {u"José ł € C:\\temp"_qs, u"José ł € C:\\temp"_qs},
      {u"Spülen & Prüfen <ok> 'x' \"y\" ß 😀 / |"_qs, u"Spülen & Prüfen <ok> 'x' \"y\" ß 😀 / |"_qs},
      {QString(QChar(0x80)) + u"x"_qs, QString(QChar(0x80)) + u"x"_qs},
      {u"a"_qs + QChar(0x7F) + QChar(0x85) + QChar(0x2028) + u"b"_qs, u"ab"_qs},
      {u"^°!§$%&/()[]{}=~?+*#',.-;:_@µ²³"_qs, u"^°!§$%&/()[]{}=~?+*#',.-;:_@µ²³"_qs},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(keepPrintable(input), expected) << input;
}

TEST(CellFormat, EscapeControlsAndBack) {
  const std::pair<QString, QString> cases[] = {
      {u"a\r\nb"_qs, u"a\\r\\nb"_qs},
      {QString(QChar(7)) + QChar(8) + QChar(9) + QChar(10) + QChar(11) + QChar(12) + QChar(13),
       u"\\a\\b\\t\\n\\v\\f\\r"_qs},
      {u"say \"hi\""_qs, u"say \\\"hi\\\""_qs},
      {u"C:\\temp"_qs, u"C:\\\\temp"_qs},
      {u"Größe 😀"_qs, u"Größe 😀"_qs},
  };
  for (const auto& [plain, escaped] : cases) {
    EXPECT_EQ(escapeControls(plain), escaped) << plain;
    EXPECT_EQ(unescapeControls(escaped), plain) << escaped;
  }
  // A backslash before any other character stays with that character; one at the end stays.
  EXPECT_EQ(unescapeControls(u"C:\\xyz\\"_qs), u"C:\\xyz\\"_qs);
  EXPECT_EQ(unescapeControls(u"\\q\\\\"_qs), u"\\q\\"_qs);
}

TEST(CellFormat, DecimalTextAndListItems) {
  EXPECT_EQ(common::decimalText(23.5), u"23.5"_qs);
  EXPECT_EQ(common::decimalText(12.0), u"12"_qs);
  EXPECT_EQ(common::decimalText(0.0), u"0"_qs);
  EXPECT_EQ(common::decimalText(-0.125), u"-0.125"_qs);
  EXPECT_EQ(common::decimalText(double(12.3f)), u"12.3000001907"_qs);
  EXPECT_EQ(listItem(u"ID,AUID,wastun"_qs, 1), u"AUID"_qs);
  EXPECT_EQ(listItem(u"ID,AUID"_qs, 5), QString());
  EXPECT_EQ(leadingInteger(u"  42abc"_qs), 42);
  EXPECT_EQ(leadingInteger(u"---"_qs), 0);
  EXPECT_EQ(leadingInteger(u"-17 "_qs), -17);
}

}  // namespace
