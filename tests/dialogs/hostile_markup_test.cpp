// Markup as a server may hold it, written by hand or by other programs: nested without end,
// sized beyond any screen, with thousands of fields, megabytes of text, names used twice,
// dates past 2038 and character references to characters no text can hold. The dialog
// opens within the screen and loses nothing, or the markup is refused with a clear message.
#include "dialog_fixture.h"

#include "common/dates.h"
#include "db/quoting.h"
#include "dialogs/storeddialogs.h"
#include "platform/controls.h"
#include "platform/dialogengine.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QGuiApplication>
#include <QGridLayout>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWidget>
#include <QTest>

namespace {

const QString parseFailure = QStringLiteral("Interner Fehler bei der Erstellung des XML-Dialogs (XMLStatus):");

// A window whose content sits inside `levels` nested boxes, with a value field at the bottom.
QString nestedMarkup(int levels) {
  QString markup = QStringLiteral("<window name='dialog'>");
  markup.reserve(levels * 13 + 100);
  for (int i = 0; i < levels; ++i) markup += QLatin1String("<vbox>");
  markup += QLatin1String("<string name='_tief' text='unten' />");
  for (int i = 0; i < levels; ++i) markup += QLatin1String("</vbox>");
  return markup + QLatin1String("</window>");
}

QRect screenArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }

QWidget* dialogWidget(const platform::DialogGuard& dialog) {
  return platform::windowWidget(platform::dialogWindow(dialog.number()));
}

bool openDialog(const platform::DialogGuard& dialog, int document, QString& error) {
  return platform::openXmlDialog(dialog.number(), *dialogs::markupDocument(document), QStringLiteral("dialog"), error);
}

// The dialog opened from the document, or the reason it did not open.
::testing::AssertionResult opened(const platform::DialogGuard& dialog, int document) {
  QString error;
  if (openDialog(dialog, document, error)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << error.toStdString();
}

TEST_F(DialogTest, MarkupNestedAHundredThousandLevelsDeepIsRefusedWithLineAndColumn) {
  testsupport::BoxRecorder boxes;
  EXPECT_EQ(dialogs::parseDialogMarkup(nestedMarkup(100000)), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, QStringLiteral("Fehler"));
  // The 257th box begins after the window tag (22 characters) and 256 boxes of 6.
  EXPECT_EQ(boxes.boxes[0].text, parseFailure + QStringLiteral("Elemente tiefer als 256 Ebenen verschachtelt 1/1559"));
  EXPECT_EQ(dialogs::freeMarkupNumber(), 1) << "the document is released";

  // 256 levels (255 boxes and the field) are a form like any other: opened, filled, written back.
  const int document = dialogs::parseDialogMarkup(nestedMarkup(255));
  ASSERT_GT(document, 0);
  int result = -5;
  const QStringList seen = playWhile(QStringLiteral("set _tief \"ganz unten\"\nkey Return\n"),
                                     [&] { result = dialogs::runStoredDialog(document, QStringLiteral("dialog")); });
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(seen.contains(QStringLiteral("field _tief | unten"))) << seen.join(u'\n').toStdString();
  EXPECT_EQ(attributeOf(named(document, "_tief"), "text"), QStringLiteral("ganz unten"));
}

// Markup that did not come through the parse (a document built in memory) is guarded by the
// engine itself, and the value walks hold at any depth.
TEST_F(DialogTest, TheEngineRefusesDeepMarkupAndTheValueWalksHoldAtAnyDepth) {
  ASSERT_TRUE(dialogs::createMarkupDocument(1));
  pugi::xml_document* deep = dialogs::markupDocument(1);
  const QByteArray text = nestedMarkup(100000).toUtf8();
  ASSERT_TRUE(deep->load_buffer(text.constData(), size_t(text.size())));
  {
    const platform::DialogGuard dialog;
    QString error;
    EXPECT_FALSE(openDialog(dialog, 1, error));
    EXPECT_EQ(error, QStringLiteral("Dialogelemente tiefer als 256 Ebenen verschachtelt"));
    EXPECT_EQ(platform::dialogWindow(dialog.number()), 0);
    EXPECT_TRUE(platform::liveWindows().empty());
    EXPECT_EQ(dialogs::fillDialog(dialog.number(), dialogs::mainElement(1)), 1);
    EXPECT_EQ(dialogs::writeBackDialog(dialog.number(), dialogs::mainElement(1)), 1);
  }
  QMap<QString, QString> fields;
  EXPECT_EQ(dialogs::collectFields(dialogs::mainElement(1), QStringLiteral("string"), QStringLiteral("name"),
                                   QStringLiteral("text"), fields),
            1);
  EXPECT_EQ(fields.value(QStringLiteral("_tief")), QStringLiteral("unten"));

  // A window deep inside the document is found without a deep stack, and its own depth counts.
  ASSERT_TRUE(dialogs::createMarkupDocument(2));
  QString wrapped;
  for (int i = 0; i < 100000; ++i) wrapped += QLatin1String("<a>");
  wrapped += QLatin1String("<window name='dialog'><string name='_x' text='da' /></window>");
  for (int i = 0; i < 100000; ++i) wrapped += QLatin1String("</a>");
  const QByteArray wrappedBytes = wrapped.toUtf8();
  ASSERT_TRUE(dialogs::markupDocument(2)->load_buffer(wrappedBytes.constData(), size_t(wrappedBytes.size())));
  const platform::DialogGuard dialog;
  ASSERT_TRUE(opened(dialog, 2));
  EXPECT_NE(platform::dialogControl(dialog.number(), QStringLiteral("_x")), 0);
}

// Broken walks of the transfer still go on after the parent, as without the depth guard.
TEST_F(DialogTest, AnElementOutsideTheDialectBreaksOnlyItsOwnChainOfSiblings) {
  const int document = dialogs::parseDialogMarkup(QStringLiteral(
      "<window name='dialog'><vbox><hbox><string name='_a' data='1' /><frame text='F'><string name='_b' data='2' />"
      "</frame><string name='_c' data='3' /></hbox><string name='_d' data='4' /></vbox>"
      "<string name='_e' data='5' /></window>"));
  ASSERT_GT(document, 0);
  const platform::DialogGuard dialog;
  ASSERT_TRUE(opened(dialog, document));
  testsupport::BoxRecorder boxes;
  EXPECT_EQ(dialogs::fillDialog(dialog.number(), dialogs::mainElement(document)), 1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Dialoggadget frame ist noch nicht implementiert."));
  const auto data = [&](const char* name) {
    return platform::controlData(platform::dialogControl(dialog.number(), QString::fromUtf8(name)));
  };
  EXPECT_EQ(data("_a"), 1);
  EXPECT_EQ(data("_b"), 0);  // inside the frame: not moved
  EXPECT_EQ(data("_c"), 0);  // after the frame in its chain: not moved
  EXPECT_EQ(data("_d"), 4);
  EXPECT_EQ(data("_e"), 5);
  // Broken off in the chain the walk began with: the result says so.
  EXPECT_EQ(dialogs::fillDialog(dialog.number(), named(document, "_a").parent().first_child().next_sibling()), 0);
}

TEST_F(DialogTest, AHugeMinimumSizeOpensNoLargerThanTheScreenAndWithinIt) {
  const int document = dialogs::parseDialogMarkup(QStringLiteral(
      "<window name='dialog' text='Riesig' minwidth='100000' minheight='100000' xpos='-5000' ypos='90000'"
      " flags='#PB_Window_SystemMenu'><vbox><string name='_a' text='a' width='50000' />"
      "<button name='doOK' text='OK' /></vbox></window>"));
  ASSERT_GT(document, 0);
  const platform::DialogGuard dialog;
  ASSERT_TRUE(opened(dialog, document));
  QApplication::processEvents();
  QWidget* window = dialogWidget(dialog);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(screenArea().contains(window->frameGeometry())) << window->frameGeometry().x() << ","
                                                             << window->frameGeometry().y();
  EXPECT_LE(window->minimumWidth(), screenArea().width());
  const QImage picture = window->grab().toImage();
  EXPECT_EQ(picture.size(), window->size());
}

// Spans and columns beyond any form: the grid stays bounded instead of reserving billions of
// cells (the engine kept a set of every taken cell and looped over each span's cells).
TEST_F(DialogTest, AGridOfEndlessColumnsAndSpansOpensBounded) {
  const int document = dialogs::parseDialogMarkup(QStringLiteral(
      "<window name='dialog'><gridbox columns='2147483647'><text text='a' rowspan='2147483647' colspan='2147483647' />"
      "<string name='_b' text='b' rowspan='-7' /><text text='c' rowspan='1000000' /><string name='_d' /></gridbox>"
      "</window>"));
  ASSERT_GT(document, 0);
  const platform::DialogGuard dialog;
  ASSERT_TRUE(opened(dialog, document));
  dialogs::fillDialog(dialog.number(), dialogs::mainElement(document));
  auto* grid = dialogWidget(dialog)->findChild<QGridLayout*>();
  ASSERT_NE(grid, nullptr);
  EXPECT_LE(grid->columnCount(), 256);
  EXPECT_LE(grid->rowCount(), 2 * 256);
  EXPECT_EQ(platform::controlText(platform::dialogControl(dialog.number(), QStringLiteral("_b"))), QStringLiteral("b"));
  EXPECT_TRUE(screenArea().contains(dialogWidget(dialog)->frameGeometry()));
}

// A form of 60 fields with "auto" height is taller than a 1024×768 screen: it opens within the
// screen, title bar and all, and its content scrolls down to the OK button. CTest also runs
// this test on a screen of exactly 1024×768 (VARNOTHM_SCREEN names the size it expects).
TEST_F(DialogTest, ASixtyFieldFormStaysWithinTheScreenAndScrollsToItsOkButton) {
  if (qEnvironmentVariableIsSet("VARNOTHM_SCREEN")) {
    const QSize size = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_EQ(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()), qEnvironmentVariable("VARNOTHM_SCREEN"));
  }
  QString markup = QStringLiteral(
      "<window id='#PB_Any' name='dialog' text='Probenahme: 60 Entnahmestellen' minwidth='auto' minheight='auto'"
      " flags='#PB_Window_ScreenCentered|#PB_Window_SystemMenu|#PB_Window_SizeGadget'><vbox><gridbox columns='2'>");
  for (int i = 1; i <= 60; ++i)
    markup += QStringLiteral("<text text='Entnahmestelle %1 (Küche/Bad &amp; WC)' /><string name='_stelle%1' text='' />").arg(i);
  markup += QStringLiteral("</gridbox><hbox><button name='doExit' text='Abbrechen' />"
                           "<button name='doOK' text='OK' /></hbox></vbox></window>");
  const int document = dialogs::parseDialogMarkup(markup);
  ASSERT_GT(document, 0);
  dialogs::setMarkupAttribute(named(document, "_stelle1"), "text", db::escapeText(QStringLiteral("Spülzeit 5 min")));
  const platform::DialogGuard dialog;
  ASSERT_TRUE(opened(dialog, document));
  dialogs::fillDialog(dialog.number(), dialogs::mainElement(document));
  QApplication::processEvents();
  QWidget* window = dialogWidget(dialog);
  EXPECT_TRUE(screenArea().contains(window->frameGeometry()))
      << window->frameGeometry().y() << " height " << window->frameGeometry().height();
  auto* area = window->findChild<QScrollArea*>();
  ASSERT_NE(area, nullptr);
  QScrollBar* bar = area->verticalScrollBar();
  EXPECT_TRUE(bar->isVisible());
  EXPECT_GT(bar->maximum(), 0);

  // Scrolled to the end, the OK button lies whole within the window's visible part.
  bar->setValue(bar->maximum());
  QApplication::processEvents();
  QWidget* ok = platform::controlWidget(platform::dialogControl(dialog.number(), QStringLiteral("doOK")));
  ASSERT_NE(ok, nullptr);
  const QRect okInWindow(ok->mapTo(window, QPoint(0, 0)), ok->size());
  EXPECT_TRUE(window->rect().contains(okInWindow)) << okInWindow.y() << " in " << window->height();
  EXPECT_TRUE(area->viewport()->geometry().contains(QRect(ok->mapTo(area, QPoint(0, 0)), ok->size())));

  // The picture: the whole screen, the window's frame outlined where it stands, its content
  // scrolled to the end.
  const QRect whole = QGuiApplication::primaryScreen()->geometry();
  QImage screen(whole.size(), QImage::Format_RGB32);
  screen.fill(QColor(0x3a, 0x5a, 0x78));
  {
    QPainter painter(&screen);
    const QRect frame = window->frameGeometry().translated(-whole.topLeft());
    painter.fillRect(frame, QColor(0x20, 0x20, 0x20));
    painter.drawImage(window->geometry().topLeft() - whole.topLeft(), window->grab().toImage());
  }
  const QString folder = qEnvironmentVariableIsEmpty("VARNOTHM_PICTURES") ? testsupport::temporaryFolder()
                                                                           : qEnvironmentVariable("VARNOTHM_PICTURES");
  ASSERT_TRUE(screen.save(folder + u"/dialog-60-felder.png"_qs, "PNG"));
}

TEST_F(DialogTest, AMegabyteOfEditorTextAndALongStringValueAreKeptWhole) {
  // 20,000 lines of protocol, with every character that needs an escape.
  QString protocol;
  for (int i = 0; protocol.size() < 1000000; ++i)
    protocol += QStringLiteral("Zeile %1: 58,5\u00a0°C \"ok\" & <gut> \\ Größe ß 😀\t'x'\r\n").arg(i);
  const QString longValue = QString(40000, u'ä') + QStringLiteral("Ende");
  const int document = dialogs::parseDialogMarkup(
      QStringLiteral("<window name='dialog'><vbox><string name='_lang' /><editor name='_protokoll' height='80' />"
                     "<button name='doOK' /></vbox></window>"));
  ASSERT_GT(document, 0);
  dialogs::setMarkupAttribute(named(document, "_protokoll"), "text", db::escapeText(protocol));
  dialogs::setMarkupAttribute(named(document, "_lang"), "text", db::escapeText(longValue));
  int result = -5;
  playWhile(QStringLiteral("press doOK\n"), [&] { result = dialogs::runStoredDialog(document, QStringLiteral("dialog")); });
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(db::unescapeText(attributeOf(named(document, "_protokoll"), "text")) == protocol);
  EXPECT_EQ(db::unescapeText(attributeOf(named(document, "_lang"), "text")).size(), longValue.size());
  EXPECT_TRUE(db::unescapeText(attributeOf(named(document, "_lang"), "text")) == longValue);

  // Typed on by hand: the field takes more than 32,767 characters too.
  const platform::DialogGuard dialog;
  ASSERT_TRUE(opened(dialog, document));
  dialogs::fillDialog(dialog.number(), dialogs::mainElement(document));
  QWidget* field = platform::controlWidget(platform::dialogControl(dialog.number(), QStringLiteral("_lang")));
  QTest::keyClick(field, Qt::Key_End);
  QTest::keyClicks(field, QStringLiteral("yz"));
  dialogs::writeBackDialog(dialog.number(), dialogs::mainElement(document));
  EXPECT_TRUE(db::unescapeText(attributeOf(named(document, "_lang"), "text")) == longValue + QStringLiteral("yz"));
}

TEST_F(DialogTest, TwoElementsOfTheSameNameEachKeepTheirOwnValueAndCaption) {
  const int document = dialogs::parseDialogMarkup(QStringLiteral(
      "<window name='dialog'><vbox><string name='_x' text='eins' /><string name='_x' text='zwei' />"
      "<checkbox name='_y' text='Geprüft' state='1' /><string name='_y' text='Wert &amp; mehr' /></vbox></window>"));
  ASSERT_GT(document, 0);
  const platform::DialogGuard dialog;
  ASSERT_TRUE(opened(dialog, document));
  dialogs::fillDialog(dialog.number(), dialogs::mainElement(document));
  const auto control = [&](const char* name, int n) {
    return platform::dialogElementControl(dialog.number(), named(document, name, n));
  };
  EXPECT_EQ(platform::controlText(control("_x", 0)), QStringLiteral("eins"));
  EXPECT_EQ(platform::controlText(control("_x", 1)), QStringLiteral("zwei"));
  EXPECT_EQ(platform::controlText(control("_y", 0)), QStringLiteral("Geprüft"));
  EXPECT_EQ(platform::controlState(control("_y", 0)), 1);
  EXPECT_EQ(platform::controlText(control("_y", 1)), QStringLiteral("Wert & mehr"));
  EXPECT_EQ(platform::dialogControl(dialog.number(), QStringLiteral("_x")), control("_x", 0));  // the first by name

  platform::setControlText(control("_x", 1), QStringLiteral("getippt"));
  dialogs::writeBackDialog(dialog.number(), dialogs::mainElement(document));
  EXPECT_EQ(attributeOf(named(document, "_x", 0), "text"), QStringLiteral("eins"));
  EXPECT_EQ(attributeOf(named(document, "_x", 1), "text"), QStringLiteral("getippt"));
  EXPECT_EQ(attributeOf(named(document, "_y", 0), "state"), QStringLiteral("1"));
  EXPECT_EQ(attributeOf(named(document, "_y", 1), "text"), QStringLiteral("Wert &amp; mehr"));
  QMap<QString, QString> fields;
  dialogs::collectFields(dialogs::mainElement(document), QStringLiteral("string"), QStringLiteral("name"),
                         QStringLiteral("text"), fields);
  EXPECT_EQ(fields.value(QStringLiteral("_x")), QStringLiteral("getippt"));  // the later one
}

// Found by fuzzing the markup: an element of a known name standing inside a list gets no
// control of its own, and must not fill or read the field of the same name.
TEST_F(DialogTest, AnElementInsideAListLeavesTheFieldOfItsNameAlone) {
  const int document = dialogs::parseDialogMarkup(QStringLiteral(
      "<window name='dialog'><vbox><editor name='_p' text='A' />"
      "<listview name='_k'><editor name='_p' text='B' /></listview></vbox></window>"));
  ASSERT_GT(document, 0);
  const platform::DialogGuard dialog;
  ASSERT_TRUE(opened(dialog, document));
  EXPECT_EQ(dialogs::fillDialog(dialog.number(), dialogs::mainElement(document)), 1);
  const int field = platform::dialogElementControl(dialog.number(), named(document, "_p", 0));
  EXPECT_EQ(platform::controlText(field), QStringLiteral("A"));
  platform::setControlText(field, QStringLiteral("getippt"));
  dialogs::writeBackDialog(dialog.number(), dialogs::mainElement(document));
  EXPECT_EQ(attributeOf(named(document, "_p", 0), "text"), QStringLiteral("getippt"));
  EXPECT_EQ(attributeOf(named(document, "_p", 1), "text"), QStringLiteral("B"));
}

TEST_F(DialogTest, ACalendarKeepsToTheDatesADateValueCanHold) {
  const qint32 last = std::numeric_limits<qint32>::max();  // 2038-01-19 03:14:07
  const int document = dialogs::parseDialogMarkup(QStringLiteral(
      "<window name='dialog'><vbox><calendar name='_termin' state='%1' /><calendar name='_alt' state='-86400' />"
      "<button name='doOK' /></vbox></window>").arg(last));
  ASSERT_GT(document, 0);
  int result = -5;
  const QStringList seen = playWhile(QStringLiteral("set _termin \"2040-01-01\"\nset _alt \"1960-05-01\"\npress doOK\n"),
                                     [&] { result = dialogs::runStoredDialog(document, QStringLiteral("dialog")); });
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(seen.contains(QStringLiteral("field _termin | 2038-01-19"))) << seen.join(u'\n').toStdString();
  // 2040 lies beyond the calendar: the date stays the last one it can hold, never a wrapped number.
  const qint64 termin = attributeOf(named(document, "_termin"), "state").toLongLong();
  EXPECT_GE(termin, common::makeDate(2038, 1, 19));
  EXPECT_LE(termin, last);
  const qint64 alt = attributeOf(named(document, "_alt"), "state").toLongLong();
  EXPECT_GE(alt, 0);
  EXPECT_LT(alt, 86400);

  const platform::DialogGuard dialog;
  ASSERT_TRUE(opened(dialog, document));
  auto* calendar = qobject_cast<QCalendarWidget*>(
      platform::controlWidget(platform::dialogControl(dialog.number(), QStringLiteral("_termin"))));
  ASSERT_NE(calendar, nullptr);
  EXPECT_EQ(calendar->minimumDate(), QDate(1970, 1, 1));
  EXPECT_EQ(calendar->maximumDate(), QDate(2038, 1, 19));
}

TEST_F(DialogTest, CharacterReferencesToCharactersNoTextCanHoldAreParseErrors) {
  const QString unholdable = QStringLiteral("Zeichen, das kein Text enthalten kann (NUL, halbes Ersatzzeichenpaar oder jenseits U+10FFFF)");
  const struct {
    const char* markup;
    const char* where;
  } refused[] = {
      {"<window name='dialog'><text text='&#0;x' /></window>", "1/35"},
      {"<window name='dialog'>\n  <string name='_a' text='a&#xD800;b' /></window>", "2/28"},
      {"<window name='dialog'><text text='ä' />Text &#x110000; </window>", "1/45"},
      {"<window name='dialog'><text text='&#4294967296;' /></window>", "1/35"},  // wraps to 0 in 32 bits
      {"<window name='dialog'><text text='&#xdFfF;' /></window>", "1/35"},
  };
  for (const auto& c : refused) {
    testsupport::BoxRecorder boxes;
    EXPECT_EQ(dialogs::parseDialogMarkup(QString::fromUtf8(c.markup)), 0) << c.markup;
    ASSERT_EQ(boxes.boxes.size(), 1u) << c.markup;
    EXPECT_EQ(boxes.boxes[0].text, parseFailure + unholdable + u' ' + QString::fromUtf8(c.where)) << c.markup;
  }
  // A NUL character itself is refused too.
  {
    testsupport::BoxRecorder boxes;
    EXPECT_EQ(dialogs::parseDialogMarkup(QStringLiteral("<window name='dialog' text='a") + QChar(0) +
                                         QStringLiteral("b' />")),
              0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, parseFailure + unholdable + QStringLiteral(" 1/30"));
  }
  // Today's leniency stays: references in comments and CDATA, a bare "&", duplicate
  // attributes, undefined entities, and references to characters a text can hold.
  const int document = dialogs::parseDialogMarkup(QStringLiteral(
      "<!-- &#0; --><window name='dialog' text='A & B' text='zweimal'><![CDATA[&#0;]]>"
      "<text name='t' text='&#x41;&#228;&#x1F600;&#1;&unbekannt;&#;&#x;&#12a;' /></window>"));
  ASSERT_GT(document, 0);
  EXPECT_EQ(attributeOf(dialogs::mainElement(document), "text"), QStringLiteral("A & B"));
  EXPECT_EQ(attributeOf(named(document, "t"), "text"),
            QStringLiteral("Aä😀") + QChar(1) + QStringLiteral("&unbekannt;&#;&#x;&#12a;"));
}

}  // namespace
