// Keeps each window of the program, with the frame a window manager puts around it, within
// the free area of its screen.
#pragma once

#include <QMargins>

class QWidget;

namespace platform {

// The frame the window manager is expected to add around a window: the last one met on a
// window of the program, none before the first (and none offscreen).
QMargins expectedFrame();

// Fits the shown window, frame included, into the screen's free area now, and again each time
// its frame becomes known or changes: a window is placed before the window manager adds its
// frame, which comes later and only then shows how much room the window really takes. A
// window too large is made smaller (what no longer fits scrolls or is cut at its edge), then
// moved as little as needed. The user's own moves and sizes are left alone. withoutFrame:
// fitted also while it has no frame (as offscreen, or on a display without window manager);
// otherwise only a window the window manager has framed is fitted, and one it has not is
// left where the program put it.
void keepWithinScreen(QWidget* window, bool withoutFrame);

}  // namespace platform
