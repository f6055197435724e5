// The loop of the screens that borrow the main window's two lists, shared by the day choice
// and the assistant's two screens so that their commands behave alike.
#include "platform/screenloop.h"

#include "common/programend.h"
#include "platform/iconlists.h"
#include "platform/system.h"

namespace platform {

bool isLeftClick(const WindowEvent& e) {
  return e.kind == EventKind::Control &&
         (e.type == ControlEventType::LeftClick || e.type == ControlEventType::LeftDoubleClick);
}

int waitScreenChoice(const common::MainScreen& screen) {
  for (;;) {
    const WindowEvent e = waitWindowEvent();
    if (e.window != screen.window) continue;
    switch (e.kind) {
      case EventKind::Size:
      case EventKind::Move:
      case EventKind::Minimise:
      case EventKind::Maximise:
      case EventKind::Restore: screen.layout(); continue;
      case EventKind::Close: common::endProgram(0);  // the run's end closes the local database
      default: break;
    }
    if (!isLeftClick(e)) continue;
    if (e.control == screen.commandList) {
      switch (selectedIconItem(screen.commandList)) {
        case 0: return -1;
        case 1: openWithShell(screen.programFolder + u"VarnothM.PDF"_qs); break;
        case 2: common::endProgram(0);
        default: break;
      }
    } else if (e.control == screen.objectList) {
      const int index = selectedIconItem(screen.objectList);
      if (index >= 0) return index;
    }
  }
}

}  // namespace platform
