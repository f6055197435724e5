// The toolkit operations the screens rely on, on real widgets: icon lists, lists with columns,
// the status bar, date fields, fonts, numbers, the real input box and the system services.
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QInputDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QtTest/QTest>

#include "platform/boxes.h"
#include "platform/columnlists.h"
#include "platform/controls.h"
#include "platform/fonts.h"
#include "platform/iconlists.h"
#include "platform/statusbar.h"
#include "platform/system.h"
#include "toolkit_fixture.h"

namespace {

class ToolkitOperations : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    window = platform::openWindow(0, 0, 700, 500, QStringLiteral("Werkzeug"), {.sizingBorder = true});
  }
  int window = 0;
};

TEST_F(ToolkitOperations, IconListKeepsItsItemsThroughRearrangement) {
  QTemporaryDir folder;
  const QString png = folder.filePath(QStringLiteral("tap.png"));
  QImage picture(64, 64, QImage::Format_ARGB32);
  picture.fill(Qt::blue);
  ASSERT_TRUE(picture.save(png));
  const int image = platform::loadImage(png);
  ASSERT_NE(image, 0);
  EXPECT_EQ(platform::loadImage(folder.filePath(QStringLiteral("missing.png"))), 0);

  const int list = platform::createIconList(window, 10, 10, 680, 300);
  for (const char* text : {"Zurück", "Hilfe", "Beenden"}) platform::addIconItem(list, QString::fromUtf8(text), image);
  platform::setIconItemText(list, 1, QStringLiteral("Haus B"));
  platform::setIconItemBackground(list, 2, {0, 200, 0});
  platform::setControlGeometry(list, 20, 30, 300, 200);
  platform::rearrangeIcons(list);

  EXPECT_TRUE(platform::isIconView(list));
  EXPECT_EQ(platform::iconItemCount(list), 3);
  EXPECT_EQ(platform::iconItemText(list, 0), QStringLiteral("Zurück"));
  EXPECT_EQ(platform::iconItemText(list, 1), QStringLiteral("Haus B"));
  platform::Rgb colour;
  EXPECT_TRUE(platform::iconItemBackground(list, 2, colour));
  EXPECT_EQ(colour, (platform::Rgb{0, 200, 0}));
  EXPECT_FALSE(platform::iconItemTextColour(list, 2, colour));
  EXPECT_EQ(platform::controlX(list), 20);
  EXPECT_EQ(platform::controlHeight(list), 200);

  platform::focusIconItem(list, 2);
  EXPECT_EQ(platform::selectedIconItem(list), 2);
  platform::hideControl(list);
  EXPECT_FALSE(platform::isControlVisible(list));
  platform::showControl(list);
  platform::clearIconList(list);
  EXPECT_EQ(platform::iconItemCount(list), 0);
  EXPECT_EQ(platform::selectedIconItem(list), -1);
}

TEST_F(ToolkitOperations, ColumnListRowsCellsAndSelection) {
  const int list = platform::createColumnList(window, 5, 35, 690, 400, QStringLiteral("rows"));
  platform::addColumn(list, QStringLiteral("ID"), 40);
  platform::addColumn(list, QStringLiteral("Auslass"), 100);
  platform::addColumn(list, QStringLiteral("Tätigkeit"), 200);
  platform::setColumnWidth(list, 1, 120);
  EXPECT_EQ(platform::columnWidth(list, 1), 120);
  EXPECT_EQ(platform::columnWidth(list, 3), 0);  // no such column
  platform::addRow(list, QStringLiteral("1\nA-01\nSpülen"));
  platform::addRow(list, QStringLiteral("2\nA-02"));  // fewer cells than columns
  platform::addRow(list, QStringLiteral("3\nB-01\nProbe"));
  platform::setCellText(list, 1, 2, QStringLiteral("Probe nehmen"));
  EXPECT_EQ(platform::rowCount(list), 3);
  EXPECT_EQ(platform::cellText(list, 1, 2), QStringLiteral("Probe nehmen"));
  EXPECT_EQ(platform::cellText(list, 2, 1), QStringLiteral("B-01"));

  platform::setFullRowSelect(list, true);
  platform::setGridLines(list, true);
  play(QStringLiteral("click rows 2"));
  EXPECT_EQ(platform::selectedRow(list), 2);
  play(QStringLiteral("dclick rows \"A-02\""));
  EXPECT_EQ(platform::selectedRow(list), 1);
  play(QStringLiteral("click rows -1"));
  EXPECT_EQ(platform::selectedRow(list), -1);
  platform::clearRows(list);
  EXPECT_EQ(platform::rowCount(list), 0);
  EXPECT_EQ(platform::columnCount(list), 3);
}

TEST_F(ToolkitOperations, StatusBarFieldsShareTheWidthAtTheBottom) {
  platform::createStatusBar(window);
  EXPECT_EQ(platform::addStatusField(window), 0);
  EXPECT_EQ(platform::addStatusField(window), 1);
  platform::setStatusFieldText(window, 0, QStringLiteral("Tabelle massnahme"), false);
  platform::setStatusFieldProgress(window, 1, 42);
  EXPECT_EQ(platform::statusFieldText(window, 0), QStringLiteral("Tabelle massnahme"));
  EXPECT_EQ(platform::statusFieldProgress(window, 1), 42);
  EXPECT_EQ(platform::statusFieldProgress(window, 0), -1);
  platform::setStatusFieldProgress(window, 1, 150);
  EXPECT_EQ(platform::statusFieldProgress(window, 1), 99);

  QWidget* widget = platform::windowWidget(window);
  widget->resize(900, 650);
  QApplication::processEvents();
  const QWidget* bar = widget->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->geometry().bottom(), 649);
  EXPECT_EQ(bar->width(), 900);
  EXPECT_EQ(platform::statusBarHeight(window), bar->height());
}

TEST_F(ToolkitOperations, DateFieldShowsItsValueThroughTheMask) {
  struct DateCase {
    const char* mask;
    qint32 value;
    const char* shown;
  };
  const DateCase cases[] = {
      {"%yyyy-%mm-%dd %hh:%ii", 1614936600, "2021-03-05 09:30"},
      {"%dd.%mm.%yy um %HH Uhr", 1614936600, "05.03.21 um 09 Uhr"},
      {"%yyyy-%mm-%dd", 2147483647, "2038-01-19"},
  };
  for (const DateCase& c : cases) {
    SCOPED_TRACE(c.mask);
    const int field = platform::createDateField(window, 5, 65, 405, 25, QLatin1String(c.mask), c.value);
    EXPECT_EQ(platform::controlText(field), QLatin1String(c.shown));
    EXPECT_EQ(platform::dateValue(field), c.value);
    platform::freeControl(field);
    EXPECT_FALSE(platform::isControl(field));
  }
  // No date stays no date until the user picks one.
  const int empty = platform::createDateField(window, 5, 65, 405, 25, QStringLiteral("%yyyy-%mm-%dd"), 0);
  EXPECT_EQ(platform::dateValue(empty), 0);
  platform::setDateValue(empty, -5);
  EXPECT_EQ(platform::dateValue(empty), 0);
}

TEST_F(ToolkitOperations, SlidersAndFieldsKeepTheirSettings) {
  const int slider = platform::createSlider(window, 5, 5, 405, 25, 0, 23, true);
  platform::setSliderPosition(slider, 14);
  platform::setSliderRange(slider, 0, 10);
  EXPECT_EQ(platform::sliderPosition(slider), 10);  // kept inside the new range
  EXPECT_EQ(platform::sliderMaximum(slider), 10);
  platform::setControlEnabled(slider, false);
  EXPECT_FALSE(platform::isControlEnabled(slider));

  const int readOnly = platform::createLineField(window, 5, 40, 200, 25, QStringLiteral("7"), true);
  const int field = platform::createLineField(window, 5, 70, 200, 25, QString());
  const int editor = platform::createMultiLineField(window, 5, 100, 400, 100, QStringLiteral("alt"));
  platform::setControlName(readOnly, QStringLiteral("ID"));
  platform::setControlName(field, QStringLiteral("_KW_60"));
  platform::setControlName(editor, QStringLiteral("eview"));
  EXPECT_EQ(platform::findControl(window, QStringLiteral("_KW_60")), field);
  EXPECT_EQ(platform::findControl(window, QStringLiteral("nirgends")), 0);
  play(QStringLiteral("set _KW_60 \"12,5 °C\"\nset ID \"99\"\nset eview \"Zeile 1\\nZeile 2\""));
  EXPECT_EQ(platform::controlText(field), QStringLiteral("12,5 °C"));
  EXPECT_EQ(platform::controlText(readOnly), QStringLiteral("7"));  // typing does not reach it
  EXPECT_EQ(platform::controlText(editor), QStringLiteral("Zeile 1\nZeile 2"));
}

TEST_F(ToolkitOperations, DefaultFontReachesOnlyControlsMadeWhileItIsSet) {
  const int arial = platform::loadFont(QStringLiteral("Arial"), 16);
  ASSERT_NE(arial, 0) << "fonts-liberation stands in for Arial";
  EXPECT_EQ(platform::loadFont(QStringLiteral("Keine Solche Schrift"), 16), 0);
  const int before = platform::createLabel(window, 5, 5, 100, 20, QStringLiteral("vorher"));
  platform::setDefaultFont(arial);
  const int during = platform::createButton(window, 5, 30, 100, 20, QStringLiteral("OK"));
  platform::restoreDefaultFont();
  const int after = platform::createLabel(window, 5, 55, 100, 20, QStringLiteral("nachher"));
  EXPECT_EQ(platform::controlWidget(during)->font().pointSize(), 16);
  EXPECT_NE(platform::controlWidget(before)->font().pointSize(), 16);
  EXPECT_EQ(platform::controlWidget(after)->font(), platform::controlWidget(before)->font());
}

TEST_F(ToolkitOperations, NumbersAreUniqueAmongWindowsControlsAndFonts) {
  const int other = platform::openWindow(0, 0, 100, 100, QStringLiteral("B"), {.toolWindow = true, .centred = true});
  const int numbers[] = {window, other, platform::createLabel(window, 0, 0, 10, 10, {}),
                         platform::createLabel(other, 0, 0, 10, 10, {}), platform::loadFont(QStringLiteral("Arial"), 10)};
  for (size_t i = 0; i < std::size(numbers); ++i) {
    EXPECT_GT(numbers[i], 0);
    for (size_t j = i + 1; j < std::size(numbers); ++j) EXPECT_NE(numbers[i], numbers[j]);
  }
  // Centred on the primary screen.
  const QRect screen(0, 0, platform::desktopWidth(), platform::desktopHeight());
  EXPECT_EQ(platform::windowWidget(other)->geometry().center(), screen.center());
  EXPECT_EQ(platform::windowClientWidth(other), 100);
  platform::closeWindow(other);
  EXPECT_FALSE(platform::isWindow(other));
  EXPECT_FALSE(platform::isControl(numbers[3]));
}

// The real input box, answered by keys: the user confirms the preset or cancels.
TEST(InputBox, PresetBlankConfirmedStaysABlankAndCancelGivesEmpty) {
  const std::pair<Qt::Key, QString> cases[] = {{Qt::Key_Return, QStringLiteral(" ")}, {Qt::Key_Escape, QString()}};
  for (const auto& [key, expected] : cases) {
    QTimer::singleShot(0, [key = key] {
      QWidget* box = QApplication::activeModalWidget();
      ASSERT_NE(qobject_cast<QInputDialog*>(box), nullptr);
      QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, key);
    });
    EXPECT_EQ(platform::inputBox(QStringLiteral("Anmerkung"), QStringLiteral("Bemerkung:"), QStringLiteral(" ")),
              expected);
  }
}

TEST(SystemServices, FoldersEndInASeparatorAndNameExistingPlaces) {
  for (const QString& folder : {platform::programFolder(), platform::tempFolder()}) {
    EXPECT_TRUE(folder.endsWith(QLatin1Char('/'))) << folder.toStdString();
    EXPECT_TRUE(QDir(folder).exists()) << folder.toStdString();
  }
  EXPECT_EQ(platform::programFolder(), QCoreApplication::applicationDirPath() + QLatin1Char('/'));
  EXPECT_FALSE(platform::loginName().isEmpty());
  EXPECT_GT(platform::desktopWidth(), 0);
  EXPECT_GT(platform::desktopHeight(), 0);
}

}  // namespace
