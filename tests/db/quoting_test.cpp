// The stored text form: exact literals for the characters it escapes, and a round trip
// for every text, also through a real SQLite file.
#include "testservers.h"

#include "db/quoting.h"

#include <gtest/gtest.h>

namespace {

TEST(Quoting, WritesTheTwoStageLiteral) {
  const struct {
    QString value, literal;
  } cases[] = {
      {u""_qs, u"''"_qs},
      {u"O'Brien"_qs, u"'O&apos;Brien'"_qs},
      {u"\"a\""_qs, u"'\\&quot;a\\&quot;'"_qs},
      {u"a\r\nb"_qs, u"'a\\r\\nb'"_qs},
      {u"\a\b\t\v\f"_qs, u"'\\a\\b\\t\\v\\f'"_qs},
      {u"C:\\Temp"_qs, u"'C:\\\\Temp'"_qs},
      {u"<b> & </b>"_qs, u"'&lt;b&gt; &amp; &lt;/b&gt;'"_qs},
      {u"Maß für Öl"_qs, u"'Maß für Öl'"_qs},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(db::quoteText(c.value), c.literal) << c.value.toStdString();
    EXPECT_FALSE(db::quoteText(c.value).mid(1).chopped(1).contains(u'\''));
  }
}

TEST(Quoting, ReadsBackWhatItWroteAndLeavesOtherSequences) {
  const struct {
    QString stored, value;
  } cases[] = {
      {u"\\x"_qs, u"\\x"_qs},                  // a backslash before a letter outside the table
      {u"ab\\"_qs, u"ab\\"_qs},                // a backslash at the end
      {u"\\\\n"_qs, u"\\n"_qs},                // an escaped backslash, then a plain n
      {u"&AMP; &amp &nbsp; &amp;lt;"_qs, u"&AMP; &amp &nbsp; &lt;"_qs},
      {u"\\&quot;"_qs, u"\""_qs},
      {u"\\r\\n"_qs, u"\r\n"_qs},
  };
  for (const auto& c : cases) EXPECT_EQ(db::unescapeText(c.stored), c.value) << c.stored.toStdString();
}

QStringList roundTripValues() {
  QString controls;
  for (int code = 1; code < 32; ++code) controls += QChar(code);
  return {controls, u"'\"'\"\\\\\\"_qs, u"&amp; &lt;tag&gt; &#39; &quot;"_qs, u"\\n is not a line feed"_qs,
          u"Spülen ÄÖÜ äöü ß € ☺"_qs, u"  blanks  "_qs, u"\\&apos;"_qs};
}

TEST(Quoting, RoundTripsEveryTextAndRepeatedStoringAddsNothing) {
  for (const QString& value : roundTripValues()) {
    QString current = value;
    for (int round = 0; round < 3; ++round) {
      const QString literal = db::quoteText(current);
      current = db::unescapeText(literal.mid(1).chopped(1));
      ASSERT_EQ(current, value) << "round " << round;
    }
  }
}

TEST(Quoting, RestoringAStoredTextIsDecodingAndStoringAgain) {
  QStringList stored = roundTripValues();
  stored << u"Haus Süd 😀 / O'Neil"_qs << u"\\x \\"_qs << u"a\tb"_qs;
  for (const QString& value : roundTripValues()) stored << db::escapeText(value);
  for (const QString& text : stored)
    EXPECT_EQ(db::restoreText(text), db::escapeText(db::unescapeText(text))) << text.toStdString();
}

TEST(Quoting, TrimmedFormsRemoveOuterBlanksOnly) {
  EXPECT_EQ(db::quoteTrimmed(u"  Bad 1. OG  "_qs), u"'Bad 1. OG'"_qs);
  EXPECT_EQ(db::quoteTrimmed(u"\tx\t"_qs), u"'\\tx\\t'"_qs);
  EXPECT_EQ(db::unescapeTrimmed(u"  a\\n  "_qs), u"a\n"_qs);
}

TEST(Quoting, LiteralsStoreAndReturnTheValueInSqlite) {
  db::ConnectionGuard c(testsupport::openEmpty(testsupport::Place::LocalSqlite, u"quoting"_qs));
  testsupport::run(c.get(), {u"CREATE TABLE t (s varchar(64))"_qs});
  const QStringList values = roundTripValues();
  for (const QString& value : values)
    testsupport::run(c.get(), {u"INSERT INTO t VALUES ("_qs + db::quoteText(value) + u")"_qs});
  db::Query q(c.get(), u"SELECT s FROM t"_qs);
  for (const QString& value : values) {
    ASSERT_TRUE(q.next());
    EXPECT_EQ(db::unescapeText(q.text(0)), value);
  }
}

}  // namespace
