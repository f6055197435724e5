// The numbered markup documents and the parse that reports where markup stopped being XML.
// The table is small and lives as long as the program; a free number is found by a plain search.
#include "dialogs/markup.h"

#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <new>

#include "platform/boxes.h"
#include "platform/dialogengine.h"

namespace dialogs {

namespace {

constexpr int highestMarkupNumber = 10000;

std::map<int, std::unique_ptr<pugi::xml_document>>& documents() {
  static std::map<int, std::unique_ptr<pugi::xml_document>> d;
  return d;
}

void reportError(const QString& text) {
  platform::messageBox(QStringLiteral("Fehler"), text, platform::BoxIcon::Error);
}

// Where the bytes hold text that begins with the token.
bool startsAt(const QByteArray& bytes, qsizetype at, const char* token) {
  const qsizetype length = qsizetype(qstrlen(token));
  return at + length <= bytes.size() && std::memcmp(bytes.constData() + at, token, size_t(length)) == 0;
}

// The offset after the first end token from the offset on; the size when there is none.
qsizetype after(const QByteArray& bytes, qsizetype from, const char* end) {
  const qsizetype found = bytes.indexOf(end, from);
  return found < 0 ? bytes.size() : found + qsizetype(qstrlen(end));
}

// The character a complete reference "&#…;" at the offset stands for, computed as the parser
// computes it (a 32-bit number that wraps); false for a reference the parser leaves as text.
bool referencedCharacter(const QByteArray& bytes, qsizetype at, quint32& character) {
  qsizetype i = at + 2;
  const bool hex = i < bytes.size() && bytes[i] == 'x';
  if (hex) ++i;
  if (i >= bytes.size() || bytes[i] == ';') return false;
  character = 0;
  for (; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c >= '0' && c <= '9') {
      character = character * (hex ? 16u : 10u) + quint32(c - '0');
    } else if (hex && ((c | ' ') >= 'a' && (c | ' ') <= 'f')) {
      character = character * 16u + quint32((c | ' ') - 'a' + 10);
    } else {
      return c == ';';
    }
  }
  return false;
}

// The offset of the first thing in the markup that the parser would turn into a value no text
// may hold: a NUL character, or a character reference to NUL, to half of a surrogate pair or
// beyond U+10FFFF (the parser would cut the value there or write invalid UTF-8). -1 when none.
// Comments, CDATA sections, processing instructions and the document type are passed over,
// since the parser decodes no reference there.
qsizetype firstUnholdableCharacter(const QByteArray& bytes) {
  qsizetype i = 0;
  while (i < bytes.size()) {
    const char c = bytes[i];
    if (c == '\0') return i;
    if (c == '<' && startsAt(bytes, i, "<!--")) {
      i = after(bytes, i + 4, "-->");
    } else if (c == '<' && startsAt(bytes, i, "<![CDATA[")) {
      i = after(bytes, i + 9, "]]>");
    } else if (c == '<' && startsAt(bytes, i, "<?")) {
      i = after(bytes, i + 2, "?>");
    } else if (c == '<' && startsAt(bytes, i, "<!")) {
      int brackets = 0;  // a document type may hold an internal subset in brackets
      for (++i; i < bytes.size(); ++i) {
        if (bytes[i] == '\0') return i;
        if (bytes[i] == '[') ++brackets;
        if (bytes[i] == ']') --brackets;
        if (bytes[i] == '>' && brackets <= 0) break;
      }
      ++i;
    } else if (c == '&' && startsAt(bytes, i, "&#")) {
      quint32 character = 0;
      if (referencedCharacter(bytes, i, character) &&
          (character == 0 || (character >= 0xD800 && character <= 0xDFFF) || character > 0x10FFFF))
        return i;
      ++i;
    } else {
      ++i;
    }
  }
  return -1;
}

// The first element nested deeper below the main element than a dialog may nest; empty when
// none. A walk without recursion, whatever the depth.
pugi::xml_node firstTooDeepElement(const pugi::xml_document& document) {
  const pugi::xml_node top = document.document_element();
  pugi::xml_node node = top.first_child();
  int depth = 1;
  while (node) {
    if (node.type() == pugi::node_element && depth > platform::deepestDialogNesting) return node;
    if (node.first_child()) {
      node = node.first_child();
      ++depth;
      continue;
    }
    while (node && !node.next_sibling()) {
      node = node.parent();
      --depth;
      if (node == top) return {};
    }
    if (node) node = node.next_sibling();
  }
  return {};
}

// Fills in the line and the position within the line (both from 1) of a byte offset: the
// parser counts bytes from the start, the person counts characters within a line.
void locate(MarkupStatus& status, const QByteArray& bytes, qsizetype offset) {
  offset = qBound(qsizetype(0), offset, bytes.size());
  const QString before = QString::fromUtf8(bytes.constData(), offset);
  status.line = static_cast<int>(before.count(QLatin1Char('\n'))) + 1;
  status.column = static_cast<int>(before.size() - (before.lastIndexOf(QLatin1Char('\n')) + 1)) + 1;
}

}  // namespace

int freeMarkupNumber() {
  for (int number = 1; number <= highestMarkupNumber; ++number) {
    if (!documents().count(number)) return number;
  }
  return 0;
}

bool createMarkupDocument(int number) {
  if (number < 1 || number > highestMarkupNumber || documents().count(number)) return false;
  std::unique_ptr<pugi::xml_document> document(new (std::nothrow) pugi::xml_document);
  if (!document) return false;
  documents()[number] = std::move(document);
  return true;
}

MarkupStatus parseMarkupInto(int number, const QString& markup) {
  MarkupStatus status;
  pugi::xml_document* document = markupDocument(number);
  if (!document) {
    status.error = QStringLiteral("No document");
    return status;
  }
  const QByteArray bytes = markup.toUtf8();
  const qsizetype unholdable = firstUnholdableCharacter(bytes);
  if (unholdable >= 0) {
    document->reset();
    status.error = QStringLiteral("Zeichen, das kein Text enthalten kann (NUL, halbes Ersatzzeichenpaar oder jenseits U+10FFFF)");
    locate(status, bytes, unholdable);
    return status;
  }
  const pugi::xml_parse_result result =
      document->load_buffer(bytes.constData(), static_cast<size_t>(bytes.size()), pugi::parse_default, pugi::encoding_utf8);
  if (!result) {
    status.error = QString::fromUtf8(result.description());
    locate(status, bytes, qsizetype(result.offset));
    return status;
  }
  if (const pugi::xml_node deep = firstTooDeepElement(*document)) {
    const qsizetype offset = qsizetype(deep.offset_debug());
    document->reset();
    status.error = QStringLiteral("Elemente tiefer als %1 Ebenen verschachtelt").arg(platform::deepestDialogNesting);
    // offset_debug points at the name; the element begins one byte before it, at "<".
    locate(status, bytes, offset > 0 ? offset - 1 : 0);
    return status;
  }
  status.ok = true;
  return status;
}

int parseDialogMarkup(const QString& markup) {
  const int number = freeMarkupNumber();
  if (number == 0) {
    reportError(QStringLiteral("Interner Fehler bei der Erstellung des XML-Dialogs (Suche nach freier XML Nummer)"));
    return 0;
  }
  if (!createMarkupDocument(number)) {
    reportError(QStringLiteral("Interner Fehler bei der Erstellung des XML-Dialogs(ParseXML)"));
    freeMarkupDocument(number);
    return 0;
  }
  const MarkupStatus status = parseMarkupInto(number, markup);
  if (!status.ok) {
    reportError(QStringLiteral("Interner Fehler bei der Erstellung des XML-Dialogs (XMLStatus):") + status.error +
                QLatin1Char(' ') + QString::number(status.line) + QLatin1Char('/') + QString::number(status.column));
    freeMarkupDocument(number);
    return 0;
  }
  return number;
}

pugi::xml_document* markupDocument(int number) {
  auto found = documents().find(number);
  return found == documents().end() ? nullptr : found->second.get();
}

pugi::xml_node mainElement(int number) {
  const pugi::xml_document* document = markupDocument(number);
  return document ? document->document_element() : pugi::xml_node();
}

void freeMarkupDocument(int number) { documents().erase(number); }

// ---- values ----

int markupInteger(const pugi::xml_attribute& attribute) {
  const char* p = attribute.value();
  while (*p == ' ' || *p == '\t') ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  qint64 value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > qint64(std::numeric_limits<int>::max()) + 1) break;  // no wider than the result
  }
  value = negative ? -value : value;
  return static_cast<int>(qBound(qint64(std::numeric_limits<int>::min()), value, qint64(std::numeric_limits<int>::max())));
}

QString markupText(const pugi::xml_attribute& attribute) { return QString::fromUtf8(attribute.value()); }

void setMarkupAttribute(pugi::xml_node element, const char* name, const QString& value) {
  pugi::xml_attribute attribute = element.attribute(name);
  if (!attribute) attribute = element.append_attribute(name);
  attribute.set_value(value.toUtf8().constData());
}

void setMarkupAttribute(pugi::xml_node element, const char* name, int value) {
  setMarkupAttribute(element, name, QString::number(value));
}

QString xmlEscaped(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (const QChar c : text) {
    switch (c.unicode()) {
      case '&': out += QLatin1String("&amp;"); break;
      case '<': out += QLatin1String("&lt;"); break;
      case '>': out += QLatin1String("&gt;"); break;
      case '"': out += QLatin1String("&quot;"); break;
      case '\'': out += QLatin1String("&apos;"); break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace dialogs
