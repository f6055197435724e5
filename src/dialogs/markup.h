// Markup documents of the dialog dialect: parsed trees numbered 1 to 10000, held
// here until their caller releases them, and the value forms used inside their attributes.
#pragma once

#include <QString>
#include <pugixml.hpp>

namespace dialogs {

// The lowest number from 1 to 10000 that no document uses; 0 when all are in use.
int freeMarkupNumber();

// Makes an empty document under the number; false when it cannot be made or the number is
// not free.
bool createMarkupDocument(int number);

// What the parser said about markup that is not well-formed: its error text, the line and
// the position within the line (both from 1) where it stopped.
struct MarkupStatus {
  bool ok = false;
  QString error;
  int line = 0;
  int column = 0;
};

// Parses the markup into the document of that number, replacing what it held.
MarkupStatus parseMarkupInto(int number, const QString& markup);

// freeMarkupNumber, create and parse in one, with the three parse messages (title
// "Fehler", error icon). The document's number, or 0 after a reported failure.
int parseDialogMarkup(const QString& markup);

pugi::xml_document* markupDocument(int number);  // nullptr when no document has the number
pugi::xml_node mainElement(int number);          // its first element; empty when none
void freeMarkupDocument(int number);             // nothing happens for a free number

// Owns a document number and releases the document on every path out of its scope.
class MarkupGuard {
 public:
  explicit MarkupGuard(int number) : number_(number) {}
  ~MarkupGuard() { freeMarkupDocument(number_); }
  MarkupGuard(const MarkupGuard&) = delete;
  MarkupGuard& operator=(const MarkupGuard&) = delete;
  int number() const { return number_; }

 private:
  int number_;
};

// ---- values inside the markup ----

// The integer at the start of the attribute's value (blanks before it and a sign allowed),
// 0 when the attribute is missing or starts with no number.
int markupInteger(const pugi::xml_attribute& attribute);

// The attribute's value as text, decoded from UTF-8.
QString markupText(const pugi::xml_attribute& attribute);

// Sets the attribute of the element, creating it when it is missing.
void setMarkupAttribute(pugi::xml_node element, const char* name, const QString& value);
void setMarkupAttribute(pugi::xml_node element, const char* name, int value);

// The text with the five XML escapes only, for a text placed between apostrophes in markup
// that the program generates (a window title).
QString xmlEscaped(const QString& text);

}  // namespace dialogs
