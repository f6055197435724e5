// The check that lets a copy hand a server's text bytes to SQLite as they are: it may say
// yes only for bytes that QString would give back unchanged.
#include "db/backend.h"

#include <gtest/gtest.h>

namespace {

TEST(PlainUtf8, YesOnlyForBytesThatComeBackUnchangedThroughQString) {
  const std::vector<QByteArray> cases{
      "", "Waschbecken", "Raum O'Neil 1. OG", "\xC3\x84rzte & S\xC3\xB6hne \xC3\x9F", "\xE2\x82\xAC 5",
      "Dusche \xF0\x9F\x98\x80", "C:\\temp\\neu", QByteArray("a\0b", 3),
      "\xC0\x80", "\xC1\xBF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",
      "\xC3", "abc\xE2\x82", "\x80", "\xFF", "\xEF\xBB\xBFmit Markierung", "\xF0\x9F\x98"};
  for (const QByteArray& bytes : cases) {
    const bool unchanged = QString::fromUtf8(bytes).toUtf8() == bytes && !bytes.startsWith("\xEF\xBB\xBF");
    EXPECT_EQ(db::isPlainUtf8(bytes.constData(), bytes.size()), unchanged) << bytes.toHex().toStdString();
  }
  // The valid ones really are taken over: the check must not refuse them all.
  EXPECT_TRUE(db::isPlainUtf8("\xF0\x9F\x98\x80", 4));
  EXPECT_FALSE(db::isPlainUtf8("\xED\xA0\x80", 3));
}

}  // namespace
