// The numbers of windows, controls, fonts and images, and the wiring from widget to event queue.
// Only code inside platform includes this: it is how a dialog built here joins the program's numbers.
#pragma once

#include <QString>
#include <vector>

#include "platform/events.h"

class QWidget;
class QFont;
class QImage;

namespace platform {

// Makes an existing top-level widget a window of the program: it gets a number, and its
// size, move, state, close-box and mouse-button events are queued from now on. The
// registry does not own the widget until closeWindow deletes it.
int registerWindow(QWidget* window);

// Forgets a window and its controls without deleting the widget (for owners that delete it
// themselves). Queued events of the window are dropped.
void unregisterWindow(int window);

// Makes an existing widget a control of a window, with an optional name for lookups.
// Item views, buttons, sliders and date fields queue their control events from now on.
int registerControl(int window, QWidget* control, const QString& name = {});

void queueWindowEvent(const WindowEvent& event);

QWidget* windowWidget(int window);    // nullptr when no such live window
QWidget* controlWidget(int control);  // nullptr when no such live control
int windowOfControl(int control);     // 0 when no such control
int controlNumber(const QWidget* widget);  // 0 when the widget is no control
QString controlName(int control);

// The window the user looks at: the newest live visible window, 0 when there is none.
int frontWindow();

// The live windows, oldest first, and a window's controls in the order they were made.
std::vector<int> liveWindows();
std::vector<int> controlsOfWindow(int window);

// The font set as default for controls made from now on, nullptr for the toolkit's own.
const QFont* defaultControlFont();

// Images for icon items, by number, and the name each was loaded under: its file name
// without folder and extension ("object" for ":/icons/object.png"), empty for no image.
const QImage* imageByNumber(int image);
QString imageName(int image);

// One counter for all numbers, so a window, a control and a font never share one.
int nextNumber();

// Where the pointer was at the last mouse event the program's windows saw.
bool lastPointerPosition(int& globalX, int& globalY);

}  // namespace platform

namespace platform {

// Keeps the window's status bar at the bottom of its client area, across the full width.
void placeStatusBar(QWidget* window);

// Drops the queued events of a window that goes away.
void dropWindowEvents(int window);

}  // namespace platform
