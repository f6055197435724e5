// The loop of the screens that borrow the main window's two lists (the day choice, the area
// choice, the outlet list): "Zurück", "Hilfe" and "Beenden" above, the choices below.
#pragma once

#include "common/mainscreen.h"
#include "platform/events.h"

namespace platform {

// A left click or double click on a control.
bool isLeftClick(const WindowEvent& e);

// Waits until the person goes back with "Zurück" (-1) or clicks an item of the object list
// (its index). "Hilfe" opens the help document beside the program; "Beenden" and the close
// box end the program; a moved or resized window gets its lists laid out again. Events of
// other windows are dropped.
int waitScreenChoice(const common::MainScreen& screen);

}  // namespace platform
