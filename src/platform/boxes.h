// Modal message boxes and the input box, with German buttons.
// A responder set by the scripted user answers them in place of the person.
#pragma once

#include <QString>
#include <functional>

namespace platform {

enum class BoxIcon { None, Info, Warning, Error, Question };
enum class BoxButtons { Ok, YesNo, YesNoCancel };
enum class BoxAnswer { Ok, Yes, No, Cancel };

// Shows a modal message box and returns the button pressed. A box closed without a
// button ("Esc", close box) answers Cancel, or No when the box has no "Abbrechen".
BoxAnswer messageBox(const QString& title, const QString& text, BoxIcon icon = BoxIcon::None,
                     BoxButtons buttons = BoxButtons::Ok);

// Shows a modal input box with a preset text; returns the entered text, or the empty
// text when the box was cancelled.
QString inputBox(const QString& title, const QString& prompt, const QString& preset);

// What a box shows, handed to the responder.
struct BoxRequest {
  bool isInput = false;
  QString title;
  QString text;  // message text, or the prompt of an input box
  BoxIcon icon = BoxIcon::None;
  BoxButtons buttons = BoxButtons::Ok;
  QString preset;  // input box only
};

// The responder's answer: the button, and for an input box the text (answer Ok) or a
// cancel (answer Cancel).
struct BoxReply {
  BoxAnswer answer = BoxAnswer::Ok;
  QString text;
};

using BoxResponder = std::function<BoxReply(const BoxRequest&)>;

// While a responder is set, no box is shown: every box goes to the responder. An empty
// responder brings the real boxes back.
void setBoxResponder(BoxResponder responder);

QString boxIconName(BoxIcon icon);  // none, info, warning, error, question

}  // namespace platform
