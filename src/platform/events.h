// The program's view of window events: one plain record per event, and the wait for the next one.
// Widgets only queue these records; the program's own loops take them out with waitWindowEvent.
#pragma once

namespace platform {

enum class EventKind {
  None,
  Control,         // a control was clicked, double-clicked or changed; see ControlEventType
  Shortcut,        // a keyboard shortcut of the window; control holds its chosen number
  Size,
  Move,
  Minimise,
  Maximise,
  Restore,
  Close,           // the close box of the window
  LeftButtonDown,  // the left mouse button went down anywhere in the window
};

enum class ControlEventType {
  None,
  LeftClick,
  LeftDoubleClick,
  Change,  // a slider moved or a date field changed by the user's hand
  HeaderClick,  // a column title of a list was clicked: pressed and released on it, no border dragged
};

struct WindowEvent {
  int window = 0;
  int control = 0;  // control number, or the shortcut number of a shortcut event
  EventKind kind = EventKind::None;
  ControlEventType type = ControlEventType::None;
};

// Runs the toolkit's event processing until one event of the kinds above is queued and
// returns it; waits without time-out. While a scripted user plays (scripteduser.h), its
// next action is played whenever no event is queued. When its script runs out here, the
// transcript gets "script exhausted" and common::endProgram() is called: the program ends
// exactly as after "Beenden", from whichever loop was waiting.
WindowEvent waitWindowEvent();

// Drops every queued event; a screen that starts its own loop may want a clean slate.
void clearWindowEvents();

}  // namespace platform
