// What the toolkit tells the scripted user's transcript, and the player's turn in the event wait.
// Inside platform only; every call does nothing while no script plays.
#pragma once

#include <QString>

namespace platform {

void recordTitle(int window, const QString& previous, const QString& title);
void recordStatus(const QString& previous, const QString& text);
void recordShell(const QString& target);
// A window with a title goes away.
void recordClosed(const QString& title);

// Writes what changed in named icon lists since they were last written: every item of a
// list filled anew, else each item whose text or colours changed; then the item the
// program selected.
void recordFilledLists();

// Marks a list as filled anew (cleared or given items), an item as changed by the program
// (text or colours), and the item the program selected (-1: none).
void markListFilled(int list);
void markItemChanged(int list, int index);
void markItemSelected(int list, int index);

// Marks a dialog window as newly shown. When the program next waits for an event, the
// person looks at the filled dialog: recordShownDialogs writes a "field" line for each of
// its named value controls.
void markDialogShown(int window);
void recordShownDialogs();

// Plays the next action when a script plays. Returns false when there was no script
// action to play (no script, or the script has run out).
bool playNextScriptAction();

// True when a script plays, or played and ran out.
bool isScriptPlaying();
void recordScriptExhausted();

}  // namespace platform
