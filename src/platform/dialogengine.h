// The dialog engine: windows built from the dialog markup, their controls found by
// name, the values the controls keep, and a picture of a window for the documentation.
#pragma once

#include <QString>
#include <QtGlobal>

namespace pugi {
class xml_node;
}

namespace platform {

// ---- dialogs ----

// A new dialog object: a number the program keeps until freeDialog; 0 when none can be made.
int createDialog();

// Builds the window element named windowName (element and attribute value compared without
// regard to case) found in the markup at or below root, and shows it. Every element of the
// dialect becomes its control; a few elements outside it (frame, panel with tab, option, spin,
// trackbar, progressbar) are built too, item elements are passed over. False, with the error
// text, when root is empty, holds no such window, the window holds an unknown element or
// nests deeper than deepestDialogNesting.
// The window never opens larger than the screen's free area and always lies within it; the
// content scrolls where the window is smaller than the content needs.
bool openXmlDialog(int dialog, const pugi::xml_node& root, const QString& windowName, QString& error);

int dialogWindow(int dialog);                         // 0 before openXmlDialog succeeded
int dialogControl(int dialog, const QString& name);  // the first control so named; 0 if none

// The control built from that very element of the window's markup; 0 when the element made
// none (a box, an item, an element outside the window). Two elements of the same name each
// reach their own control.
int dialogElementControl(int dialog, const pugi::xml_node& element);

// The deepest nesting of elements below the window element that a window may hold (the
// window's own children stand at level 1). Far above any real form; deeper markup is refused
// before a widget is made, so no walk over it needs a deep stack.
constexpr int deepestDialogNesting = 256;

// Fits the controls to the window's present size (after a size, maximise or restore event).
void refreshDialog(int dialog);

// Closes the dialog's window, with its controls and shortcuts, and forgets the dialog.
void freeDialog(int dialog);

// Owns a dialog and frees it on every path out of its scope.
class DialogGuard {
 public:
  DialogGuard() : dialog_(createDialog()) {}
  ~DialogGuard() { freeDialog(dialog_); }
  DialogGuard(const DialogGuard&) = delete;
  DialogGuard& operator=(const DialogGuard&) = delete;
  int number() const { return dialog_; }

 private:
  int dialog_;
};

// Writes what the window shows into a PNG file (offscreen too); false when it cannot.
bool saveWindowPicture(int window, const QString& path);

// ---- the values a dialog's controls keep ----

// The lowered markup element a control was built from ("button", "string", "checkbox"…);
// empty for controls not made by the engine.
QString controlElement(int control);

// An integer attached to any control: kept, never shown. 0 until set.
int controlData(int control);
void setControlData(int control, int data);

// The control's state: a check box 1 ticked or 0; a list, list with columns, combo box or
// tab panel the selected index, -1 for none; a tree the selected entry counted over all
// entries in document order, -1 for none; a date field or calendar the shown date (seconds
// since 1970 of the wall clock); a spin field, slider or progress bar its value.
// A setter never queues an event.
int controlState(int control);
void setControlState(int control, int state);

// Entries of a list, list with columns, combo box or tree, counted from 0 in the order they
// were added. Each keeps its text, data and state; in a list with columns line feeds
// separate the columns of the text; a tree entry stands at its level (0 top), below the
// last entry of the level above, and its state's bit 1 says it is selected, bit 2 that it
// shows its children (both follow the person's hand). Other bits are kept as they are.
void addEntry(int control, const QString& text, int data = 0, int state = 0, int level = 0);
int entryCount(int control);
QString entryText(int control, int entry);
int entryData(int control, int entry);
int entryState(int control, int entry);

}  // namespace platform
