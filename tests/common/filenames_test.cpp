// Object names as folder and file names: plain names stay, every other name becomes one
// harmless component of its own, made on a real file system.
#include "common/filenames.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using common::safeFileName;

TEST(SafeFileName, KeepsPlainNamesAsTheyStand) {
  for (const QString& name : {u"Haus Nord"_qs, u"Haus Süd"_qs, u"Straße 5 & Söhne"_qs, u"O'Brien Bau"_qs,
                              u"Bau 😀 (alt)"_qs, u"a.b"_qs, u".versteckt"_qs, u"Console"_qs, u"COM10"_qs,
                              QString(240, u'x')})
    EXPECT_EQ(safeFileName(name), name) << name.toStdString();
}

TEST(SafeFileName, EscapesWhatAFileSystemWouldTakeAsAPathOrReject) {
  const struct {
    QString name, file;
  } cases[] = {
      {u".."_qs, u"%2E%2E"_qs},
      {u"."_qs, u"%2E"_qs},
      {u""_qs, u"%"_qs},
      {u"a/b"_qs, u"a%2Fb"_qs},
      {u"..\\..\\Windows"_qs, u"..%5C..%5CWindows"_qs},
      {u"<Haus>: \"Süd\"?*|"_qs, u"%3CHaus%3E%3A %22Süd%22%3F%2A%7C"_qs},
      {u"100% Süd"_qs, u"100%25 Süd"_qs},
      {u"Zeile\r\nzwei\t"_qs, u"Zeile%0D%0Azwei%09"_qs},
      {u" Haus "_qs, u"%20Haus%20"_qs},
      {u"Haus. ."_qs, u"Haus%2E%20%2E"_qs},
      {u"con"_qs, u"%63on"_qs},
      {u"LPT1.txt"_qs, u"%4CPT1.txt"_qs},
  };
  for (const auto& c : cases) EXPECT_EQ(safeFileName(c.name), c.file) << c.name.toStdString();
}

// Names that a careless mapping would send to one folder, or out of the program folder.
QStringList trickyNames() {
  QStringList names = {u".."_qs,      u"."_qs,         u"a/b"_qs,      u"a_b"_qs,     u"a%2Fb"_qs,
                       u"a\\b"_qs,    u"a:b"_qs,       u"Haus "_qs,    u"Haus"_qs,    u"Haus."_qs,
                       u"Haus%20"_qs, u"/"_qs,         u"//"_qs,       u"\\"_qs,      u""_qs,
                       u"%"_qs,       u"CON"_qs,       u"%43ON"_qs,    u"Süd/Nord"_qs, u"Süd%2FNord"_qs,
                       u"😀/😀"_qs,    u"a\u0000b"_qs,  u"a\u0001b"_qs};
  names << QString(300, u'x') << QString(300, u'x') + u'y' << QString(299, u'/') + u'x'
        << QString(299, u'/') + u'y' << QString(241, u'x') << QString(u'\xd800') << QString(u'\xdc00');
  return names;
}

TEST(SafeFileName, GivesEveryNameOneHarmlessStableFolderOfItsOwn) {
  QTemporaryDir base;
  ASSERT_TRUE(base.isValid());
  QDir dir(base.path());
  QSet<QString> seen;
  for (const QString& name : trickyNames()) {
    const QString file = safeFileName(name);
    const auto shown = name.toStdString();
    EXPECT_EQ(safeFileName(name), file) << shown;
    EXPECT_FALSE(seen.contains(file)) << "shared by two names: " << file.toStdString();
    seen.insert(file);
    EXPECT_FALSE(file.contains(u'/') || file.contains(u'\\') || file == u"." || file == u"..") << shown;
    EXPECT_FALSE(file.endsWith(u' ') || file.endsWith(u'.') || file.startsWith(u' ')) << shown;
    EXPECT_LE((file + u"_massnahme.CSV"_qs).toUtf8().size(), 255) << shown;
    for (const QChar c : file) EXPECT_GE(c.unicode(), 0x20) << shown;
    ASSERT_TRUE(dir.mkdir(file)) << shown;
    EXPECT_TRUE(QFileInfo(dir.filePath(file)).isDir());
    EXPECT_EQ(QFileInfo(dir.filePath(file)).canonicalPath(), QFileInfo(base.path()).canonicalFilePath()) << shown;
  }
  EXPECT_EQ(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), seen.size());
}

}  // namespace
