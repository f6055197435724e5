// The stored text form and its exact inverse. Because the XML stage turns apostrophes into
// entities, a literal never holds an apostrophe inside, whatever the value holds.
#include "db/quoting.h"

#include "common/textlist.h"

namespace db {

namespace {

// Control characters and the two that need a backslash, with the letter that follows it.
QChar backslashLetter(QChar c) {
  switch (c.unicode()) {
    case 7: return u'a';
    case 8: return u'b';
    case 9: return u't';
    case 10: return u'n';
    case 11: return u'v';
    case 12: return u'f';
    case 13: return u'r';
    case '"': return u'"';
    case '\\': return u'\\';
  }
  return QChar();
}

QChar characterOfLetter(QChar letter) {
  switch (letter.unicode()) {
    case 'a': return QChar(7);
    case 'b': return QChar(8);
    case 't': return QChar(9);
    case 'n': return QChar(10);
    case 'v': return QChar(11);
    case 'f': return QChar(12);
    case 'r': return QChar(13);
    case '"': return u'"';
    case '\\': return u'\\';
  }
  return QChar();
}

}  // namespace

QString escapeText(const QString& value) {
  QString out;
  out.reserve(value.size() + 8);
  for (QChar c : value) {
    const QChar letter = backslashLetter(c);
    QString piece = letter.isNull() ? QString(c) : QString(u'\\') + letter;
    for (QChar p : piece) {
      switch (p.unicode()) {
        case '&': out += u"&amp;"; break;
        case '<': out += u"&lt;"; break;
        case '>': out += u"&gt;"; break;
        case '"': out += u"&quot;"; break;
        case '\'': out += u"&apos;"; break;
        default: out += p;
      }
    }
  }
  return out;
}

QString restoreText(const QString& stored) {
  // Nothing to decode (no entity, no backslash) and nothing to escape: the text as it is.
  for (QChar c : stored) {
    switch (c.unicode()) {
      case 7: case 8: case 9: case 10: case 11: case 12: case 13:
      case '"': case '\\': case '&': case '<': case '>': case '\'': return escapeText(unescapeText(stored));
      default: break;
    }
  }
  return stored;
}

QString quoteText(const QString& value) { return u'\'' + escapeText(value) + u'\''; }

QString unescapeText(const QString& stored) {
  static const struct {
    QStringView entity;
    QChar character;
  } entities[] = {{u"&amp;", u'&'}, {u"&lt;", u'<'}, {u"&gt;", u'>'}, {u"&quot;", u'"'}, {u"&apos;", u'\''}};
  QString decoded;
  decoded.reserve(stored.size());
  for (qsizetype i = 0; i < stored.size(); ++i) {
    bool replaced = false;
    if (stored[i] == u'&') {
      for (const auto& e : entities) {
        if (QStringView(stored).mid(i).startsWith(e.entity)) {
          decoded += e.character;
          i += e.entity.size() - 1;
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) decoded += stored[i];
  }
  QString out;
  out.reserve(decoded.size());
  for (qsizetype i = 0; i < decoded.size(); ++i) {
    if (decoded[i] == u'\\' && i + 1 < decoded.size()) {
      const QChar c = characterOfLetter(decoded[i + 1]);
      if (!c.isNull()) {
        out += c;
        ++i;
        continue;
      }
    }
    out += decoded[i];
  }
  return out;
}

QString quoteTrimmed(const QString& value) { return quoteText(common::trimBlanks(value)); }

QString unescapeTrimmed(const QString& stored) { return common::trimBlanks(unescapeText(stored)); }

}  // namespace db
