// The scripted user: plays a script of clicks, keys and answers through the real widgets,
// and keeps the transcript of what a person would have seen. The form is in docs/scripted-user.md.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace platform {

enum class ScriptVerb { Click, DoubleClick, Answer, Input, Set, Press, Key, Close, Header, Resize };

// One line of a script. target: a control name, or for Key the key name, or for Answer
// the button word. A click names its item by index (byText false; -1 is the empty area)
// or by exact text.
struct ScriptAction {
  ScriptVerb verb = ScriptVerb::Click;
  QString target;
  QString text;
  int index = -1;
  bool byText = false;
  bool cancel = false;  // "input cancel"
  // A cell of a list with columns (click, dclick) or a header (header, resize): the column
  // by index, or by its title when columnByText; column -1 and no text when none is named.
  // A resize gives the new width in pixels as its index.
  int column = -1;
  QString columnText;
  bool columnByText = false;
  int line = 0;         // line number in the script, for the transcript's complaints
};

struct ParsedScript {
  std::vector<ScriptAction> actions;
  QString error;  // empty when every line was understood; else "line N: reason"
};

ParsedScript parseScript(const QString& text);

// Starts playing: the box responder is set, and from now on waitWindowEvent plays the
// next action whenever no event is queued. An earlier script and transcript are dropped.
// Returns false (and plays nothing, so the program ends at its first wait) on a parse
// error, which the transcript records as "script error line N: reason".
bool startScript(const QString& text);
bool startScriptFile(const QString& path);

// Reads VARNOTHM_SCRIPT (script file) and VARNOTHM_TRANSCRIPT (transcript file, written
// line by line as things are seen). Returns false when VARNOTHM_SCRIPT is not set.
bool startScriptFromEnvironment();

// Stops playing and recording; boxes are shown to the person again.
void stopScript();
bool isScriptActive();

// Records "end"; the program calls it once when it ends, whichever way.
void recordProgramEnd();

QStringList transcript();
bool writeTranscript(const QString& path);

}  // namespace platform
