// Typed numbers read the same under every desktop locale: "," and "." as the decimal
// separator, blanks around, an exponent; a text that is no number is refused, not cut.
#include "common/numbers.h"

#include "desktoplocale.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

using common::readDecimal;
using common::readInteger;
using common::readLeadingDecimal;

TEST(Numbers, ADecimalReadsTheSameUnderEveryLocale) {
  const struct {
    QString text;
    double value;
  } numbers[] = {{u"36,6"_qs, 36.6},   {u"36.6"_qs, 36.6},  {u" 58.5 "_qs, 58.5}, {u"-0,04"_qs, -0.04},
                 {u"+12"_qs, 12},      {u",5"_qs, 0.5},     {u"12."_qs, 12},      {u"1,5e2"_qs, 150},
                 {u"2.5E-1"_qs, 0.25}, {u"\t7\u00a0"_qs, 7}, {u"0"_qs, 0}};
  const QString noNumbers[] = {u""_qs,      u"  "_qs,   u"abc"_qs, u"12,5 °C"_qs, u"1.234,5"_qs, u"1,2,3"_qs,
                               u"--1"_qs,   u"."_qs,    u","_qs,   u"1e"_qs,      u"inf"_qs,     u"nan"_qs,
                               u"0x10"_qs,  u"١٢"_qs,   u"12 5"_qs};
  for (const char* name : testsupport::desktopLocales) {
    testsupport::DesktopLocale locale(name);
    ASSERT_TRUE(locale.inForce());
    for (const auto& [text, expected] : numbers) {
      double value = -1;
      EXPECT_TRUE(readDecimal(text, value)) << name << " " << text.toStdString();
      EXPECT_DOUBLE_EQ(value, expected) << name << " " << text.toStdString();
    }
    for (const QString& text : noNumbers) {
      double value = -1;
      EXPECT_FALSE(readDecimal(text, value)) << name << " " << text.toStdString();
      EXPECT_EQ(value, -1) << "left as it was";
    }
    double value = 0;
    EXPECT_TRUE(readDecimal(u"1e999"_qs, value));
    EXPECT_TRUE(std::isinf(value)) << "beyond a double: the caller says it is too large";
    EXPECT_TRUE(readDecimal(u"-1e-999"_qs, value));
    EXPECT_EQ(value, 0);
    EXPECT_EQ(common::decimalText(12.5), u"12.5"_qs) << name;
    EXPECT_EQ(common::decimalText(-0.04), u"-0.04"_qs) << name;
  }
}

TEST(Numbers, ALeadingNumberEndsWhereTheNumberEnds) {
  const struct {
    QString text;
    double value;
    qsizetype end;
  } cases[] = {{u"12,5 °C"_qs, 12.5, 4}, {u"  36.6abc"_qs, 36.6, 6}, {u"1.234,5"_qs, 1.234, 5},
               {u"7e"_qs, 7, 1},         {u"°C"_qs, 0, 0},          {u""_qs, 0, 0}, {u"-,5x"_qs, -0.5, 3}};
  for (const char* name : testsupport::desktopLocales) {
    testsupport::DesktopLocale locale(name);
    ASSERT_TRUE(locale.inForce());
    for (const auto& [text, expected, end] : cases) {
      double value = -1;
      EXPECT_EQ(readLeadingDecimal(text, value), end) << name << " " << text.toStdString();
      EXPECT_DOUBLE_EQ(value, expected) << name << " " << text.toStdString();
    }
  }
}

TEST(Numbers, AWholeNumberTakesSixtyFourBitsAndNothingElse) {
  const struct {
    QString text;
    bool ok;
    qint64 value;
  } cases[] = {{u"4294967297"_qs, true, 4294967297},
               {u" -3 "_qs, true, -3},
               {u"+42"_qs, true, 42},
               {u"9223372036854775807"_qs, true, 9223372036854775807},
               {u"-9223372036854775808"_qs, true, std::numeric_limits<qint64>::min()},
               {u"9223372036854775808"_qs, false, 0},
               {u"12abc"_qs, false, 0},
               {u"1,5"_qs, false, 0},
               {u""_qs, false, 0},
               {u"-"_qs, false, 0}};
  for (const auto& [text, ok, expected] : cases) {
    qint64 value = 0;
    EXPECT_EQ(readInteger(text, value), ok) << text.toStdString();
    if (ok) EXPECT_EQ(value, expected) << text.toStdString();
  }
}

}  // namespace
