// The date and time picker and the long-text editor: their answers, the coupling of the
// sliders with the date field, the sliders a mask disables, and CR LF line breaks.
#include "tableeditor_fixture.h"

#include "tableeditor/pickers.h"

#include "platform/system.h"

#include <QTimer>
#include <QWidget>

namespace {

using tableeditor::editLongText;
using tableeditor::pickDateTime;

const QString minutes = u"%yyyy-%mm-%dd %hh:%ii"_qs;
const QString days = u"%yyyy-%mm-%dd"_qs;

TEST_F(TableEditorTest, TheHourSliderMovesTheTimeOfTheShownDay) {
  qint32 picked = 0;
  const QStringList seen = playWhile(u"set pickHour 14\npress pickOK"_qs, [&] {
    picked = pickDateTime(u"Planzeit"_qs, minutes, common::makeDate(2021, 3, 5, 9, 30));
  });
  EXPECT_EQ(picked, common::makeDate(2021, 3, 5, 14, 30, 0));
  EXPECT_EQ(seen, (QStringList{u"title Planzeit"_qs, u"slider pickHour | 0..23 | 9 | enabled"_qs,
                               u"slider pickMinute | 0..59 | 30 | enabled"_qs, u"slider pickHour | 0..23 | 14 | enabled"_qs,
                               u"closed Planzeit"_qs}));
}

TEST_F(TableEditorTest, TheDateFieldMovesTheSliders) {
  qint32 picked = 0;
  const QStringList seen = playWhile(u"set pickDate \"2022-07-01 17:05\"\nset pickMinute 45\npress pickOK"_qs, [&] {
    picked = pickDateTime(u"Planzeit"_qs, minutes, common::makeDate(2021, 3, 5, 9, 30));
  });
  EXPECT_EQ(picked, common::makeDate(2022, 7, 1, 17, 45));
  EXPECT_TRUE(seen.contains(u"slider pickHour | 0..23 | 17 | enabled"_qs)) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.contains(u"slider pickMinute | 0..59 | 5 | enabled"_qs));
}

// A day mask leaves both sliders disabled: the chosen day keeps the start's time of day.
TEST_F(TableEditorTest, ADayMaskDisablesTheSliders) {
  qint32 picked = 0;
  QStringList seen = playWhile(u"set pickDate \"2022-07-01\"\npress pickOK"_qs, [&] {
    picked = pickDateTime(u"Abn.Dat."_qs, days, common::makeDate(2021, 3, 5));
  });
  EXPECT_EQ(picked, common::makeDate(2022, 7, 1));
  EXPECT_TRUE(seen.contains(u"slider pickHour | 0..23 | 0 | disabled"_qs)) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.contains(u"slider pickMinute | 0..59 | 0 | disabled"_qs));
  seen = playWhile(u"set pickHour 14\npress pickOK"_qs, [&] {
    picked = pickDateTime(u"Abn.Dat."_qs, days, common::makeDate(2021, 3, 5, 9, 30));
  }, false);
  EXPECT_EQ(picked, common::makeDate(2021, 3, 5, 9, 30)) << "a disabled slider cannot be moved";
  EXPECT_EQ(seen.filter(u"skipped"_qs).size(), 1);
}

TEST_F(TableEditorTest, ThePickerAnswersOkClearAndCancel) {
  const std::pair<QString, qint32> cases[] = {{u"press pickClear"_qs, 0}, {u"press pickEsc"_qs, -1},
                                              {u"key Escape"_qs, -1}, {u"press pickOK"_qs, common::makeDate(2021, 3, 5, 9, 30)}};
  for (const auto& [script, expected] : cases) {
    qint32 picked = 7;
    playWhile(script, [&] { picked = pickDateTime(u"Planzeit"_qs, minutes, common::makeDate(2021, 3, 5, 9, 30)); });
    EXPECT_EQ(picked, expected) << script;
  }
  qint32 picked = 0;
  const qint32 before = common::now();
  playWhile(u"press pickOK"_qs, [&] { picked = pickDateTime(u"Planzeit"_qs, minutes, 0); });
  EXPECT_GE(picked, before / 60 * 60) << "an empty cell starts at the current date and time";
  EXPECT_LE(picked, common::now());
}

TEST_F(TableEditorTest, TheEditorReturnsCrLfAndEscapeReturnsNothing) {
  QString text;
  QStringList seen = playWhile(u"set longText \"Erste\\nZweite ß 😀 & C:\\\\temp\"\npress longTextOK"_qs,
                               [&] { text = editLongText(u"Anmerkung"_qs, u"a\r\nb"_qs); });
  EXPECT_EQ(text, u"Erste\r\nZweite ß 😀 & C:\\temp"_qs);
  EXPECT_EQ(seen.value(0), u"title Anmerkung"_qs);
  EXPECT_EQ(seen.last(), u"closed Anmerkung"_qs);
  playWhile(u"press longTextOK"_qs, [&] { text = editLongText(u"Anmerkung"_qs, u"a\r\nb"_qs); });
  EXPECT_EQ(text, u"a\r\nb"_qs);
  for (const QString& script : {u"press longTextEsc"_qs, u"key Escape"_qs}) {
    playWhile(script, [&] { text = editLongText(u"Anmerkung"_qs, u"a\r\nb"_qs); });
    EXPECT_TRUE(text.isEmpty()) << script;
  }
}

TEST_F(TableEditorTest, TheEditorTakesTwoThirdsOfTheDesktop) {
  QSize size;
  playWhile(u"press longTextOK"_qs, [&] {
    // Looked at from inside the editor's loop, once its window is open.
    QTimer::singleShot(0, [&] { size = platform::windowWidget(platform::frontWindow())->size(); });
    editLongText(u"Anmerkung"_qs, QString());
  });
  EXPECT_EQ(size, QSize(platform::desktopWidth() / 3 * 2, platform::desktopHeight() / 3 * 2));
}

}  // namespace

namespace {

// The last day a date value holds ends at 03:14:07: an hour past it keeps that second
// instead of clearing the date, and the sliders show it.
TEST_F(TableEditorTest, OnTheLastDayAnHourPastTheLastSecondKeepsThatSecond) {
  qint32 picked = 0;
  const QStringList seen = playWhile(u"set pickHour 5\npress pickOK"_qs, [&] {
    picked = pickDateTime(u"Planzeit"_qs, minutes, common::makeDate(2038, 1, 19, 2, 30));
  });
  EXPECT_EQ(picked, common::lastDateValue);
  EXPECT_EQ(common::formatDate(u"%yyyy-%mm-%dd %hh:%ii:%ss"_qs, picked), u"2038-01-19 03:14:07"_qs);
  EXPECT_TRUE(seen.contains(u"slider pickHour | 0..23 | 3 | enabled"_qs)) << seen.join(u'\n').toStdString();
  EXPECT_TRUE(seen.contains(u"slider pickMinute | 0..59 | 14 | enabled"_qs));
  playWhile(u"set pickMinute 10\npress pickOK"_qs,
            [&] { picked = pickDateTime(u"Planzeit"_qs, minutes, common::makeDate(2038, 1, 19, 2, 30)); });
  EXPECT_EQ(picked, common::makeDate(2038, 1, 19, 2, 10)) << "earlier on that day, as chosen";
}

}  // namespace
