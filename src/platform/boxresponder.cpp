// The box responder: while a script plays, message and input boxes are answered by the
// script's next line in place of the person, and the transcript records what the box showed.
#include "platform/recorder.h"
#include "platform/scripteduser_internal.h"

namespace platform {

namespace {

using scripted::Player;
using scripted::player;

const ScriptAction* nextAction() {
  Player& p = player();
  return p.next < p.actions.size() ? &p.actions[p.next] : nullptr;
}

bool fits(BoxAnswer answer, BoxButtons buttons) {
  switch (buttons) {
    case BoxButtons::Ok: return answer == BoxAnswer::Ok;
    case BoxButtons::YesNo: return answer == BoxAnswer::Yes || answer == BoxAnswer::No;
    case BoxButtons::YesNoCancel: return answer != BoxAnswer::Ok;
  }
  return false;
}

BoxAnswer cancelOrDefault(BoxButtons buttons) {
  switch (buttons) {
    case BoxButtons::Ok: return BoxAnswer::Ok;
    case BoxButtons::YesNo: return BoxAnswer::No;
    case BoxButtons::YesNoCancel: return BoxAnswer::Cancel;
  }
  return BoxAnswer::Cancel;
}

// The buttons of a box as the person reads them, left to right.
QString buttonWords(BoxButtons buttons) {
  switch (buttons) {
    case BoxButtons::Ok: return QStringLiteral("OK");
    case BoxButtons::YesNo: return QStringLiteral("Ja Nein");
    case BoxButtons::YesNoCancel: return QStringLiteral("Ja Nein Abbrechen");
  }
  return QString();
}

}  // namespace

namespace scripted {

BoxReply answerBox(const BoxRequest& request) {
  recordFilledLists();
  const ScriptAction* action = nextAction();
  if (request.isInput) {
    record(QStringLiteral("input %1 | %2 | %3")
               .arg(oneLine(request.title), oneLine(request.text), oneLine(request.preset)));
    if (action && action->verb == ScriptVerb::Input) {
      ++player().next;
      if (action->cancel) return {BoxAnswer::Cancel, QString()};
      return {BoxAnswer::Ok, action->text};
    }
    if (action && action->verb == ScriptVerb::Answer &&
        (action->target == QLatin1String("OK") || action->target == QLatin1String("Abbrechen"))) {
      ++player().next;
      if (action->target == QLatin1String("OK")) return {BoxAnswer::Ok, request.preset};
      return {BoxAnswer::Cancel, QString()};
    }
    record(QStringLiteral("unanswered"));
    return {BoxAnswer::Cancel, QString()};
  }
  record(QStringLiteral("box %1 | %2 | %3")
             .arg(oneLine(request.title), boxIconName(request.icon), oneLine(request.text)));
  record(QStringLiteral("buttons ") + buttonWords(request.buttons));
  if (action && action->verb == ScriptVerb::Answer) {
    const BoxAnswer answer = answerOfWord(action->target);
    if (fits(answer, request.buttons)) {
      ++player().next;
      return {answer, QString()};
    }
  }
  record(QStringLiteral("unanswered"));
  return {cancelOrDefault(request.buttons), QString()};
}

}  // namespace scripted

}  // namespace platform
