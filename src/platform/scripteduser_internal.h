// Inside the scripted user only: the player's state, shared by the script parser, the player,
// the box responder and the transcript. Everything else uses scripteduser.h and recorder.h.
#pragma once

#include <QString>
#include <QStringList>
#include <Qt>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "platform/boxes.h"
#include "platform/scripteduser.h"

namespace platform::scripted {

// What the program changed in one icon list since the transcript last wrote it.
struct ListChanges {
  bool filled = false;          // cleared or given items: every item is written
  std::set<int> items;          // items whose text or colours changed
  std::optional<int> selected;  // the item the program selected, -1 for none
};

struct Player {
  bool playing = false;
  std::vector<ScriptAction> actions;
  size_t next = 0;
  QStringList transcript;
  QString transcriptPath;
  std::map<int, ListChanges> lists;  // by list number
  std::vector<int> shownDialogs;
};

Player& player();  // scripteduser.cpp

// ---- scriptparser.cpp ----

// "Ctrl+Return", "Escape", "F5", "A": the key and its modifiers.
bool parseKeyName(const QString& name, Qt::Key& key, Qt::KeyboardModifiers& modifiers);

// The box button of an answer word: OK, Ja, Nein or Abbrechen.
BoxAnswer answerOfWord(const QString& word);

// ---- transcript.cpp ----

// A text written into one transcript line: a backslash as \\, CR as \r, LF as \n.
QString oneLine(QString text);

// Appends one line to the transcript (and to its file, when one is named).
void record(const QString& line);

// Records that a script line could not be played.
void complain(const ScriptAction& action, const QString& reason);

// ---- boxresponder.cpp ----

// Answers a message or input box with the next script line, as the person would.
BoxReply answerBox(const BoxRequest& request);

}  // namespace platform::scripted
