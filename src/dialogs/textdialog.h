// The text dialog: a long text in a multi-line field of a generated markup window,
// closed with Escape or the close box. "Hilfe" shows the program information with it.
#pragma once

#include <QString>

namespace dialogs {

// The markup of the window "dbdialog", lines joined by CR LF; the title is XML-escaped so
// that an apostrophe, "<" or "&" in it still makes well-formed markup.
QString textDialogMarkup(const QString& title);

// Shows the text under the title and returns when the dialog is closed; what the user typed
// is dropped. Failures are reported here and the caller goes on.
void showTextDialog(const QString& title, const QString& text);

}  // namespace dialogs
