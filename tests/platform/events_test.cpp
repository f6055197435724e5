// Events from real widget input: the scripted user clicks, double-clicks, presses, types keys
// and closes, and the program sees the records waitWindowEvent hands out.
#include <QStringList>
#include <QWidget>

#include "platform/controls.h"
#include "platform/iconlists.h"
#include "toolkit_fixture.h"

using platform::ControlEventType;
using platform::EventKind;
using platform::WindowEvent;

namespace {

// An event written the way a test expects it: kind, the control's name or the shortcut
// number, and the control event type.
QString describe(const WindowEvent& event) {
  switch (event.kind) {
    case EventKind::Control: {
      const char* type = event.type == ControlEventType::LeftClick         ? "click"
                         : event.type == ControlEventType::LeftDoubleClick ? "dclick"
                         : event.type == ControlEventType::Change          ? "change"
                                                                           : "?";
      return QStringLiteral("%1 %2").arg(platform::controlNameOf(event.control), QLatin1String(type));
    }
    case EventKind::Shortcut: return QStringLiteral("shortcut %1").arg(event.control);
    case EventKind::Close: return QStringLiteral("close");
    case EventKind::LeftButtonDown: return QStringLiteral("down");
    default: return QStringLiteral("window state");
  }
}

struct InputCase {
  const char* script;
  QStringList events;
  int selectedAfter;  // selected item of objectList afterwards
};

class EventsTest : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    window = platform::openWindow(0, 0, 800, 600, QStringLiteral("Fenster"),
                                  {.minimiseBox = true, .maximiseBox = true, .sizingBorder = true});
    objectList = platform::createIconList(window, 10, 10, 780, 300, QStringLiteral("objectList"));
    for (const char* text : {"Haus A", "Haus B", "Haus C"})
      platform::addIconItem(objectList, QLatin1String(text));
    platform::setControlName(platform::createButton(window, 10, 320, 100, 25, QStringLiteral("OK")),
                             QStringLiteral("doOK"));
    platform::setControlName(platform::createSlider(window, 10, 360, 300, 25, 0, 23, true),
                             QStringLiteral("hour"));
    platform::addShortcut(window, 27, Qt::Key_Escape);
    platform::addShortcut(window, 13, Qt::Key_Return, Qt::ControlModifier);
  }

  int window = 0;
  int objectList = 0;
};

TEST_F(EventsTest, UserInputBecomesTheProgramsEvents) {
  const InputCase cases[] = {
      {"click objectList 1", {"down", "objectList click"}, 1},
      {"click objectList \"Haus C\"", {"down", "objectList click"}, 2},
      {"dclick objectList 0", {"down", "objectList click", "down", "objectList dclick"}, 0},
      // A click on the empty area of the list leaves no item selected.
      {"click objectList 1\nclick objectList -1",
       {"down", "objectList click", "down", "objectList click"}, -1},
      {"dclick objectList -1", {"down", "objectList click", "down", "objectList dclick"}, -1},
      {"press doOK", {"down", "doOK click"}, -1},
      {"set hour 14", {"hour change"}, -1},
      {"key Escape", {"shortcut 27"}, -1},
      {"key Ctrl+Return", {"shortcut 13"}, -1},
      {"key Return", {}, -1},  // Return alone is no shortcut of this window
      {"close", {"close"}, -1},
  };
  for (const InputCase& c : cases) {
    SCOPED_TRACE(c.script);
    platform::focusIconItem(objectList, -1);
    QStringList seen;
    for (const WindowEvent& event : play(QLatin1String(c.script))) {
      if (event.kind == EventKind::Control || event.kind == EventKind::Shortcut ||
          event.kind == EventKind::Close || event.kind == EventKind::LeftButtonDown) {
        EXPECT_EQ(event.window, window);
        seen << describe(event);
      }
    }
    EXPECT_EQ(seen, c.events);
    EXPECT_EQ(platform::selectedIconItem(objectList), c.selectedAfter);
    EXPECT_TRUE(platform::isWindow(window));  // the close box only asks
  }
}

TEST_F(EventsTest, ProgramChangesOfSlidersAndDatesAreNoEvents) {
  const int date = platform::createDateField(window, 10, 400, 200, 25, QStringLiteral("%yyyy-%mm-%dd"), 0);
  platform::setControlName(date, QStringLiteral("day"));
  platform::setSliderPosition(platform::findControl(window, QStringLiteral("hour")), 9);
  platform::setDateValue(date, 86400);
  QStringList seen;
  for (const WindowEvent& event : play(QStringLiteral("set day \"2021-03-05\""))) seen << describe(event);
  EXPECT_EQ(seen, QStringList{QStringLiteral("day change")});
  EXPECT_EQ(platform::dateValue(date), 1614902400);  // 2021-03-05 00:00:00 read as UTC
}

TEST_F(EventsTest, WindowStateChangesAreQueuedWithTheirKind) {
  QWidget* widget = platform::windowWidget(window);
  platform::clearWindowEvents();
  const std::pair<std::function<void()>, EventKind> cases[] = {
      {[&] { widget->showMinimized(); }, EventKind::Minimise},
      {[&] { widget->showNormal(); }, EventKind::Restore},
      {[&] { widget->showMaximized(); }, EventKind::Maximise},
      {[&] { platform::showWindowNormal(window); }, EventKind::Restore},
      {[&] { widget->resize(640, 480); }, EventKind::Size},
      {[&] { widget->move(30, 40); }, EventKind::Move},
  };
  for (const auto& [change, kind] : cases) {
    change();
    bool seen = false;
    // Each change may bring size and move events along; the one asked for must be among them.
    platform::startScript(QString());
    try {
      for (;;) {
        if (platform::waitWindowEvent().kind == kind) seen = true;
      }
    } catch (const common::ProgramEnd&) {
    }
    EXPECT_TRUE(seen) << static_cast<int>(kind);
  }
}

TEST_F(EventsTest, EventsOfAClosedWindowAreDropped) {
  const int other = platform::openWindow(0, 0, 200, 100, QStringLiteral("Zweites"), {});
  platform::queueWindowEvent({other, 0, EventKind::Size, {}});
  platform::queueWindowEvent({window, 0, EventKind::Move, {}});
  platform::closeWindow(other);
  const WindowEvent first = platform::waitWindowEvent();
  EXPECT_EQ(first.window, window);
  EXPECT_EQ(first.kind, EventKind::Move);
}

TEST_F(EventsTest, PointerPositionIsInTheClientAreaOrMinusOne) {
  play(QStringLiteral("press doOK"));
  // The button's centre, in the window's client coordinates.
  const QPoint centre =
      platform::controlWidget(platform::findControl(window, QStringLiteral("doOK")))->geometry().center();
  EXPECT_EQ(platform::windowPointerX(window), centre.x());
  EXPECT_EQ(platform::windowPointerY(window), centre.y());
  const int small = platform::openWindow(900, 700, 50, 40, QStringLiteral("Klein"), {});
  EXPECT_EQ(platform::windowPointerX(small), -1);
  EXPECT_EQ(platform::windowPointerY(small), -1);
}

}  // namespace
