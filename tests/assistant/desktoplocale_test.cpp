// A reading typed into a recording dialog reaches the results file as the same line under
// every desktop locale: "12,5" and "12.5" are 12.5, written with a point.
#include "assistant_fixture.h"

#include "desktoplocale.h"

namespace {

TEST_F(AssistantTest, AResultLineOfTwelveAndAHalfIsTheSameUnderEveryLocale) {
  const QString path = assistant::resultExportPath(u"Haus Süd"_qs);
  for (const char* name : testsupport::desktopLocales) {
    testsupport::DesktopLocale locale(name);
    ASSERT_TRUE(locale.inForce());
    QFile::remove(path);
    for (const QString& typed : {u"12,5"_qs, u" 12.5"_qs}) {
      assistant::ResultRecord r = assistant::resultFromField(u"_KW_60"_qs, typed, u"A17"_qs);
      r.abda = common::makeDate(2021, 5, 3, 7, 13, 2);
      assistant::exportResult(u"Haus Süd"_qs, r);
    }
    EXPECT_EQ(readBytes(path), QByteArray("AUID;abda;prot;keim;syst;temp;resu;anme\r\n") +
                                   "A17;2021-05-03 07:13;;M;K;12.5;\xB0KW\xB0" "60;\r\n" +
                                   "A17;2021-05-03 07:13;;M;K;12.5;\xB0KW\xB0" "60;\r\n")
        << name;
  }
}

}  // namespace
