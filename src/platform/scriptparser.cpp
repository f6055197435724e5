// The script parser: reads a script's lines into the actions the player plays.
#include <QStringList>
#include <utility>

#include "platform/scripteduser_internal.h"

namespace platform {

namespace {

struct Token {
  QString text;
  bool quoted = false;
};

// Splits a line into words and quoted texts; a # outside quotes ends the line.
bool tokenize(const QString& line, std::vector<Token>& tokens, QString& error) {
  qsizetype i = 0;
  const qsizetype n = line.size();
  while (i < n) {
    const QChar c = line.at(i);
    if (c.isSpace()) {
      ++i;
    } else if (c == QLatin1Char('#')) {
      break;
    } else if (c == QLatin1Char('"')) {
      Token token{QString(), true};
      ++i;
      bool closed = false;
      while (i < n) {
        const QChar d = line.at(i++);
        if (d == QLatin1Char('"')) {
          closed = true;
          break;
        }
        if (d != QLatin1Char('\\')) {
          token.text += d;
          continue;
        }
        if (i >= n) break;
        const QChar escaped = line.at(i++);
        if (escaped == QLatin1Char('"') || escaped == QLatin1Char('\\'))
          token.text += escaped;
        else if (escaped == QLatin1Char('n'))
          token.text += QLatin1Char('\n');
        else {
          error = QStringLiteral("unknown escape \\%1").arg(escaped);
          return false;
        }
      }
      if (!closed) {
        error = QStringLiteral("text without closing quote");
        return false;
      }
      tokens.push_back(token);
    } else {
      Token token;
      while (i < n && !line.at(i).isSpace() && line.at(i) != QLatin1Char('#') &&
             line.at(i) != QLatin1Char('"'))
        token.text += line.at(i++);
      tokens.push_back(token);
    }
  }
  return true;
}

const std::pair<const char*, Qt::Key> keyNames[] = {
    {"Escape", Qt::Key_Escape},     {"Esc", Qt::Key_Escape},       {"Return", Qt::Key_Return},
    {"Enter", Qt::Key_Return},      {"Insert", Qt::Key_Insert},    {"Delete", Qt::Key_Delete},
    {"PageUp", Qt::Key_PageUp},     {"PageDown", Qt::Key_PageDown}, {"Home", Qt::Key_Home},
    {"End", Qt::Key_End},           {"Tab", Qt::Key_Tab},          {"Backspace", Qt::Key_Backspace},
    {"Space", Qt::Key_Space},       {"Up", Qt::Key_Up},            {"Down", Qt::Key_Down},
    {"Left", Qt::Key_Left},         {"Right", Qt::Key_Right},
};

// "Ctrl+Return", "Escape", "F5", "A": the key and its modifiers.
const char* const answerWords[] = {"OK", "Ja", "Nein", "Abbrechen"};

}  // namespace

namespace scripted {

bool parseKeyName(const QString& name, Qt::Key& key, Qt::KeyboardModifiers& modifiers) {
  QStringList parts = name.split(QLatin1Char('+'));
  const QString keyName = parts.takeLast();
  modifiers = Qt::NoModifier;
  for (const QString& part : parts) {
    if (part.compare(QLatin1String("Ctrl"), Qt::CaseInsensitive) == 0)
      modifiers |= Qt::ControlModifier;
    else if (part.compare(QLatin1String("Shift"), Qt::CaseInsensitive) == 0)
      modifiers |= Qt::ShiftModifier;
    else if (part.compare(QLatin1String("Alt"), Qt::CaseInsensitive) == 0)
      modifiers |= Qt::AltModifier;
    else
      return false;
  }
  for (const auto& [known, code] : keyNames) {
    if (keyName.compare(QLatin1String(known), Qt::CaseInsensitive) == 0) {
      key = code;
      return true;
    }
  }
  if (keyName.size() == 1 && keyName.at(0).isLetterOrNumber()) {
    key = static_cast<Qt::Key>(keyName.at(0).toUpper().unicode());
    return true;
  }
  bool isNumber = false;
  const int function = keyName.size() > 1 && keyName.at(0).toUpper() == QLatin1Char('F')
                           ? keyName.mid(1).toInt(&isNumber)
                           : 0;
  if (isNumber && function >= 1 && function <= 12) {
    key = static_cast<Qt::Key>(Qt::Key_F1 + function - 1);
    return true;
  }
  return false;
}

BoxAnswer answerOfWord(const QString& word) {
  if (word == QLatin1String("Ja")) return BoxAnswer::Yes;
  if (word == QLatin1String("Nein")) return BoxAnswer::No;
  if (word == QLatin1String("Abbrechen")) return BoxAnswer::Cancel;
  return BoxAnswer::Ok;
}

}  // namespace scripted

namespace {

using scripted::parseKeyName;

// A column of a list with columns: its index, or its title as a word or a quoted text.
bool parseColumn(const Token& token, ScriptAction& action, QString& error) {
  bool isNumber = false;
  const int column = token.quoted ? -1 : token.text.toInt(&isNumber);
  if (isNumber) {
    action.column = column;
    if (column < 0) error = QStringLiteral("a column is an index from 0 or a title");
    return column >= 0;
  }
  action.columnByText = true;
  action.columnText = token.text;
  return true;
}

bool parseLine(const std::vector<Token>& t, ScriptAction& action, QString& error) {
  const QString verb = t[0].quoted ? QString() : t[0].text;
  auto wordAt = [&](size_t i) { return i < t.size() && !t[i].quoted; };
  auto expectCount = [&](size_t count) {
    if (t.size() == count) return true;
    error = t.size() < count ? QStringLiteral("%1 needs more").arg(verb)
                             : QStringLiteral("%1 takes less").arg(verb);
    return false;
  };
  if (verb == QLatin1String("click") || verb == QLatin1String("dclick")) {
    action.verb = verb == QLatin1String("click") ? ScriptVerb::Click : ScriptVerb::DoubleClick;
    if (t.size() == 4 && !parseColumn(t[3], action, error)) return false;
    if (t.size() != 4 && !expectCount(3)) return false;
    if (!wordAt(1)) {
      error = QStringLiteral("a list name is a word");
      return false;
    }
    action.target = t[1].text;
    if (t[2].quoted) {
      action.byText = true;
      action.text = t[2].text;
      return true;
    }
    bool isNumber = false;
    action.index = t[2].text.toInt(&isNumber);
    if (!isNumber || action.index < -1) error = QStringLiteral("an item is an index or a quoted text");
    return isNumber && action.index >= -1;
  }
  if (verb == QLatin1String("header")) {
    action.verb = ScriptVerb::Header;
    if (!expectCount(3)) return false;
    action.target = t[1].text;
    return parseColumn(t[2], action, error);
  }
  if (verb == QLatin1String("resize")) {
    action.verb = ScriptVerb::Resize;
    if (!expectCount(4)) return false;
    action.target = t[1].text;
    if (!parseColumn(t[2], action, error)) return false;
    bool isNumber = false;
    action.index = t[3].quoted ? 0 : t[3].text.toInt(&isNumber);
    if (!isNumber || action.index < 1) error = QStringLiteral("a width is a number of pixels from 1");
    return isNumber && action.index >= 1;
  }
  if (verb == QLatin1String("answer")) {
    action.verb = ScriptVerb::Answer;
    if (!expectCount(2)) return false;
    for (const char* word : answerWords) {
      if (t[1].text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0) {
        action.target = QLatin1String(word);
        return true;
      }
    }
    error = QStringLiteral("answer is OK, Ja, Nein or Abbrechen");
    return false;
  }
  if (verb == QLatin1String("input")) {
    action.verb = ScriptVerb::Input;
    if (!expectCount(2)) return false;
    action.cancel = !t[1].quoted && t[1].text == QLatin1String("cancel");
    if (!t[1].quoted && !action.cancel) {
      error = QStringLiteral("input takes a quoted text or cancel");
      return false;
    }
    action.text = t[1].text;
    return true;
  }
  if (verb == QLatin1String("set")) {
    action.verb = ScriptVerb::Set;
    if (!expectCount(3)) return false;
    action.target = t[1].text;
    action.text = t[2].text;
    return true;
  }
  if (verb == QLatin1String("press")) {
    action.verb = ScriptVerb::Press;
    if (!expectCount(2)) return false;
    action.target = t[1].text;
    return true;
  }
  if (verb == QLatin1String("key")) {
    action.verb = ScriptVerb::Key;
    if (!expectCount(2)) return false;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    if (!parseKeyName(t[1].text, key, modifiers)) {
      error = QStringLiteral("unknown key %1").arg(t[1].text);
      return false;
    }
    action.target = t[1].text;
    return true;
  }
  if (verb == QLatin1String("close")) {
    action.verb = ScriptVerb::Close;
    return expectCount(1);
  }
  error = QStringLiteral("unknown action %1").arg(t[0].text);
  return false;
}

}  // namespace

ParsedScript parseScript(const QString& text) {
  ParsedScript parsed;
  const QStringList lines = text.split(QLatin1Char('\n'));
  for (int i = 0; i < lines.size(); ++i) {
    QString line = lines[i];
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    std::vector<Token> tokens;
    QString error;
    ScriptAction action;
    action.line = i + 1;
    if (tokenize(line, tokens, error) && (tokens.empty() || parseLine(tokens, action, error))) {
      if (!tokens.empty()) parsed.actions.push_back(action);
      continue;
    }
    parsed.actions.clear();
    parsed.error = QStringLiteral("line %1: %2").arg(i + 1).arg(error);
    break;
  }
  return parsed;
}

}  // namespace platform
