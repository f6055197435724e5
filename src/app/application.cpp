// The program's spine: start-up in its order, the main loop that dispatches events to the
// commands, and the end that closes the local database whichever way the program ends.
#include "app/application.h"

#include "app/about.h"
#include "app/appstate.h"
#include "app/config.h"
#include "app/mainwindow.h"
#include "app/tablecommands.h"
#include "app/versioncheck.h"
#include "assistant/assistant.h"
#include "common/programend.h"
#include "dialogs/textdialog.h"
#include "platform/boxes.h"
#include "platform/events.h"
#include "platform/screenloop.h"
#include "platform/iconlists.h"
#include "platform/scripteduser.h"
#include "platform/statusbar.h"
#include "platform/system.h"
#include "platform/windows.h"
#include "sync/transfers.h"

#include <utility>

namespace app {

namespace {

enum Command {
  ObjectName = 0,
  FetchOutlets = 1,
  FetchMeasures = 2,
  ReturnWork = 3,
  EditMeasures = 4,
  EditResults = 5,
  Help = 6,
  Quit = 7,
  Assistant = 8,
};

void openMainWindow() {
  AppState& s = state();
  platform::WindowFeatures features;
  features.minimiseBox = features.maximiseBox = features.sizingBorder = features.maximised = true;
  s.mainWindow = platform::openWindow(0, 0, 1024, 768, u"VarnothM"_qs, features);
  platform::createStatusBar(s.mainWindow);
  platform::addStatusField(s.mainWindow);
  platform::addStatusField(s.mainWindow);
  platform::setStatusFieldText(s.mainWindow, 0, u"VarnothM "_qs + programVersion, true);
  platform::setStatusFieldProgress(s.mainWindow, 1, 0);
  s.commandList = platform::createIconList(s.mainWindow, 10, 10, 100, 100, u"commandList"_qs);
  s.objectList = platform::createIconList(s.mainWindow, 10, 120, 100, 100, u"objectList"_qs);
}

// Handles one event of the main window; false when the loop is to end. clickedCommand is
// the command item of the last click on the command list, -1 after any other control event.
bool handleMainEvent(const platform::WindowEvent& e, int& clickedCommand) {
  AppState& s = state();
  switch (e.kind) {
    case platform::EventKind::Close: return false;
    case platform::EventKind::Size:
    case platform::EventKind::Move:
    case platform::EventKind::Minimise:
    case platform::EventKind::Maximise:
    case platform::EventKind::Restore: layoutMainLists(); return true;
    default: break;
  }
  if (e.kind != platform::EventKind::Control) return true;
  const int clickedBefore = std::exchange(clickedCommand, -1);
  if (!platform::isLeftClick(e)) return true;
  if (e.control == s.commandList) {
    const int position = platform::selectedIconItem(s.commandList);
    // A double click arrives as a click and then a double click, and the click has run the
    // command already. The toolkit reports a double click only when the second press comes
    // within the double-click time of the first, so one on the item just clicked is the same
    // gesture: it runs nothing more ("Auslassliste holen" would copy everything twice).
    if (e.type == platform::ControlEventType::LeftDoubleClick && position >= 0 && position == clickedBefore)
      return true;
    if (e.type == platform::ControlEventType::LeftClick) clickedCommand = position;
    return runCommand(position);
  }
  if (e.control == s.objectList) {
    const int index = platform::selectedIconItem(s.objectList);
    if (index >= 0) chooseObject(platform::iconItemText(s.objectList, index));
    showCurrentObject();
  }
  return true;
}

void mainLoop() {
  AppState& s = state();
  int clickedCommand = -1;
  for (;;) {
    const platform::WindowEvent e = platform::waitWindowEvent();
    bool goOn = true;
    if (e.window != s.mainWindow) {
      // A close box of any window ends the program; other windows' events only bring
      // the main window back.
      if (e.kind == platform::EventKind::Close) goOn = false;
      else platform::showWindowNormal(s.mainWindow);
    } else {
      goOn = handleMainEvent(e, clickedCommand);
    }
    // An empty object list keeps its reason in view; every other text is cleared.
    setStatusText(emptyObjectListReason());
    setStatusProgress(0);
    if (!goOn) return;
  }
}

}  // namespace

bool runCommand(int position) {
  AppState& s = state();
  switch (position) {
    case ObjectName: platform::focusIconItem(s.objectList, 0); break;
    case FetchOutlets: transfer::fetchOutletsCommand(s.localDb, s.config, mainScreen()); break;
    case FetchMeasures:
      transfer::fetchDayCommand(s.localDb, s.config, mainScreen(), platform::iconItemText(s.commandList, position));
      if (s.localDb) fillMainLists();
      break;
    case ReturnWork:
      transfer::returnWorkCommand(s.localDb, s.config, mainScreen());
      if (s.localDb) fillMainLists();
      break;
    case EditMeasures: editTableCommand(false); break;
    case EditResults: editTableCommand(true); break;
    case Assistant:
      assistant::assistantCommand(s.localDb, mainScreen(), platform::iconItemText(s.commandList, position));
      if (s.localDb) fillMainLists();
      break;
    case Help:
      platform::openWithShell(s.programFolder + u"VarnothM.PDF"_qs);
      dialogs::showTextDialog(u"Über VarnothM"_qs, programInformation(s.aboutText));
      break;
    case Quit: return false;
    default: break;
  }
  return true;
}

int runApplication(const QString& programFolder) {
  resetState();
  AppState& s = state();
  int exitCode = 0;
  try {
    s.programFolder = programFolder;
    s.aboutText = aboutText();
    s.config = readConfiguration(programFolder + u"VarnothM.CFG"_qs);
    loadImages();
    s.currentObject = noObject;
    const QString notice = checkVersion();
    if (!notice.isEmpty()) {
      platform::messageBox(u"Hinweis"_qs, notice, platform::BoxIcon::Info);
      platform::openWithShell(downloadPage);
    }
    openMainWindow();
    layoutMainLists();
    fillMainLists();
    if (platform::iconItemCount(s.objectList) > 0) chooseObject(platform::iconItemText(s.objectList, 0));
    mainLoop();
  } catch (const common::ProgramEnd& end) {
    exitCode = end.exitCode;
  }
  db::closeDatabase(s.localDb);
  s.localDb = nullptr;
  // The end is written before the main window goes: "end" stays the transcript's last line.
  platform::recordProgramEnd();
  if (s.mainWindow) platform::closeWindow(s.mainWindow);
  s.mainWindow = 0;
  return exitCode;
}

}  // namespace app
