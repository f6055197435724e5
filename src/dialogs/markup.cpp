// The numbered markup documents and the parse that reports where markup stopped being XML.
// The table is small and lives as long as the program; a free number is found by a plain search.
#include "dialogs/markup.h"

#include <limits>
#include <map>
#include <memory>
#include <new>

#include "platform/boxes.h"

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
  const pugi::xml_parse_result result =
      document->load_buffer(bytes.constData(), static_cast<size_t>(bytes.size()), pugi::parse_default, pugi::encoding_utf8);
  if (result) {
    status.ok = true;
    return status;
  }
  // The parser counts bytes from the start; the person counts characters within a line.
  const qsizetype offset = qBound(qsizetype(0), qsizetype(result.offset), bytes.size());
  const QString before = QString::fromUtf8(bytes.constData(), offset);
  status.error = QString::fromUtf8(result.description());
  status.line = static_cast<int>(before.count(QLatin1Char('\n'))) + 1;
  status.column = static_cast<int>(before.size() - (before.lastIndexOf(QLatin1Char('\n')) + 1)) + 1;
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
