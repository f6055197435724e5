// Stored dialogs: the definition query, the dialog's own event loop, and the transfer table of
// values applied element by element in both directions, with the escaped text form.
#include "dialogs/storeddialogs.h"

#include "db/database.h"
#include "db/messages.h"
#include "db/quoting.h"
#include "dialogs/markup.h"
#include "platform/boxes.h"
#include "platform/controls.h"
#include "platform/dialogengine.h"
#include "platform/events.h"
#include "platform/windows.h"

namespace dialogs {

namespace {

enum Shortcut { cancelKey = 1, acceptKey = 2 };
enum class Direction { Fill, WriteBack };

void reportError(const QString& text) {
  platform::messageBox(QStringLiteral("Fehler"), text, platform::BoxIcon::Error);
}

QString kindOf(const pugi::xml_node& node) { return QString::fromUtf8(node.name()).toLower(); }

bool isOneOf(const QString& kind, std::initializer_list<const char*> kinds) {
  for (const char* k : kinds)
    if (kind == QLatin1String(k)) return true;
  return false;
}

// Kinds that carry no value, and the value kinds: together the dialect.
bool carriesNothing(const QString& kind) {
  return isOneOf(kind, {"window", "vbox", "hbox", "gridbox", "singlebox", "container", "scrollarea", "empty", "text",
                        "button", "item"});
}

bool carriesValue(const QString& kind) {
  return isOneOf(kind, {"string", "editor", "date", "calendar", "listview", "listicon", "combobox", "tree", "checkbox"});
}

// The item children of an element, in document order.
std::vector<pugi::xml_node> itemsOf(const pugi::xml_node& element) {
  std::vector<pugi::xml_node> items;
  for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element && kindOf(child) == QLatin1String("item")) items.push_back(child);
  }
  return items;
}

void fillControl(int control, const QString& kind, const pugi::xml_node& element) {
  platform::setControlData(control, markupInteger(element.attribute("data")));
  if (isOneOf(kind, {"string", "editor"})) {
    platform::setControlText(control, db::unescapeText(markupText(element.attribute("text"))));
  } else if (isOneOf(kind, {"date", "calendar"})) {
    platform::setControlState(control, markupInteger(element.attribute("state")));
  } else if (kind == QLatin1String("checkbox")) {
    platform::setControlState(control, markupInteger(element.attribute("state")) != 0 ? 1 : 0);
  } else {  // lists, combo box, tree
    const bool isTree = kind == QLatin1String("tree");
    for (const pugi::xml_node& item : itemsOf(element)) {
      platform::addEntry(control, db::unescapeText(markupText(item.attribute("text"))),
                         markupInteger(item.attribute("data")), markupInteger(item.attribute("state")),
                         isTree ? markupInteger(item.attribute("level")) : 0);
    }
    if (!isTree) platform::setControlState(control, markupInteger(element.attribute("state")));
  }
}

void writeBackControl(int control, const QString& kind, pugi::xml_node element) {
  setMarkupAttribute(element, "data", platform::controlData(control));
  if (isOneOf(kind, {"string", "editor"})) {
    setMarkupAttribute(element, "text", db::escapeText(platform::controlText(control)));
  } else if (isOneOf(kind, {"date", "calendar"})) {
    setMarkupAttribute(element, "state", platform::controlState(control));
  } else if (kind == QLatin1String("checkbox")) {
    setMarkupAttribute(element, "state", platform::controlState(control) != 0 ? 1 : 0);
  } else {  // lists, combo box, tree
    if (kind != QLatin1String("tree")) setMarkupAttribute(element, "state", platform::controlState(control));
    const std::vector<pugi::xml_node> items = itemsOf(element);
    const int entries = platform::entryCount(control);
    for (int n = 0; n < static_cast<int>(items.size()) && n < entries; ++n) {
      setMarkupAttribute(items[n], "text", db::escapeText(platform::entryText(control, n)));
      setMarkupAttribute(items[n], "data", platform::entryData(control, n));
      setMarkupAttribute(items[n], "state", platform::entryState(control, n));
    }
  }
}

// The control of a value element: only the one built from this very element, so that two
// elements of the same name each keep their own value. An element the engine built nothing
// for (one standing inside a list, say) has none: reaching another element's control by its
// name would overwrite that element's value there and read it back as its own.
int controlOf(int dialog, const pugi::xml_node& element) { return platform::dialogElementControl(dialog, element); }

// One walk for both directions: the chain of siblings from the element, each depth first.
// An element outside the dialect breaks off its own chain of siblings (after its message);
// the walk goes on after its parent. The walk keeps no stack of its own, so markup of any
// depth is walked in constant space.
int transferChain(int dialog, const pugi::xml_node& element, Direction direction) {
  const pugi::xml_node outside = element.parent();
  pugi::xml_node node = element;
  while (node) {
    bool broken = false;
    if (node.type() == pugi::node_element) {
      const QString kind = kindOf(node);
      if (carriesValue(kind)) {
        const QString name = markupText(node.attribute("name"));
        const int control = name.startsWith(QLatin1Char('_')) ? controlOf(dialog, node) : 0;
        if (control && direction == Direction::Fill) fillControl(control, kind, node);
        if (control && direction == Direction::WriteBack) writeBackControl(control, kind, node);
      } else if (!carriesNothing(kind)) {
        reportError(QStringLiteral("Dialoggadget ") + kind + QStringLiteral(" ist noch nicht implementiert."));
        broken = true;
      }
      if (!broken && node.first_child()) {
        node = node.first_child();
        continue;
      }
    }
    // The next sibling; at the end of a chain, or where it broke off, the parent's next one.
    pugi::xml_node next = broken ? pugi::xml_node() : node.next_sibling();
    while (!next) {
      if (node.parent() == outside) return broken ? 0 : 1;
      broken = false;
      node = node.parent();
      next = node.next_sibling();
    }
    node = next;
  }
  return 1;
}

// The result a push button of that name ends the dialog with, tried in the order of Part
// 5.2; -2 when the button ends nothing.
constexpr int noEnding = -2;

int endingOfButton(const QString& name) {
  if (name == QLatin1String("doExit")) return dialogCancelled;
  if (name == QLatin1String("doOK")) return dialogAccepted;
  for (int result = 2; result <= 99; ++result) {
    if (name == QStringLiteral("do%1").arg(result)) return result;
  }
  return noEnding;
}

// The descendants of the element in document order, without recursion.
void collectInto(const pugi::xml_node& element, const QString& kind, const QByteArray& key, const QByteArray& value,
                 QMap<QString, QString>& map) {
  pugi::xml_node node = element.first_child();
  while (node) {
    if (node.type() == pugi::node_element && kindOf(node) == kind) {
      const QString name = markupText(node.attribute(key.constData()));
      if (name.startsWith(QLatin1Char('_'))) map[name] = markupText(node.attribute(value.constData()));
    }
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && !node.next_sibling()) {
      node = node.parent();
      if (node == element) return;
    }
    if (node) node = node.next_sibling();
  }
}

}  // namespace

int loadDialogDefinition(db::Connection* db, const QString& group, const QString& element, DialogRecord& record) {
  const QString sql = QStringLiteral("SELECT ID,gruppe,element,XML FROM xele WHERE gruppe=") + db::quoteTrimmed(group) +
                      QStringLiteral(" AND element=") + db::quoteTrimmed(element) + QLatin1Char(';');
  db::Query query(db, sql);
  if (!query.ok()) {
    db::reportFailure(db::MessageForm::QueryFailed, sql);
    return -1;
  }
  if (!query.next()) {
    if (!query.failed()) return 0;
    db::reportFailure(db::MessageForm::QueryFailed, sql);
    return -1;
  }
  record.ID = query.int32(0);
  record.gruppe = db::unescapeTrimmed(query.text(1));
  record.element = db::unescapeTrimmed(query.text(2));
  record.XML = query.text(3);
  return 1;
}

int runStoredDialog(int document, const QString& windowName) {
  platform::DialogGuard dialog;
  if (!dialog.number()) {
    reportError(QStringLiteral("Interner Fehler bei der Erstellung des XML-Dialogs (CreateDialog)"));
    return dialogNotBuilt;
  }
  QString engineError;
  const pugi::xml_document* markup = markupDocument(document);
  if (!platform::openXmlDialog(dialog.number(), markup ? pugi::xml_node(*markup) : pugi::xml_node(), windowName,
                               engineError)) {
    reportError(QStringLiteral("Interner Fehler bei der Erstellung des XML-Dialogs (OpenXMLDialog) ") + engineError);
    return dialogNotBuilt;
  }
  const int window = platform::dialogWindow(dialog.number());
  platform::addShortcut(window, cancelKey, Qt::Key_Escape);
  platform::addShortcut(window, acceptKey, Qt::Key_Return);
  const pugi::xml_node main = mainElement(document);
  fillDialog(dialog.number(), main);

  int result = noEnding;
  while (result == noEnding) {
    const platform::WindowEvent e = platform::waitWindowEvent();
    if (e.window != window) {
      // The dialog stays in front; the rest of the program waits.
      platform::showWindowNormal(window);
      continue;
    }
    switch (e.kind) {
      case platform::EventKind::Shortcut:
        if (e.control == cancelKey) result = dialogCancelled;
        if (e.control == acceptKey) result = dialogAccepted;
        break;
      case platform::EventKind::Control:
        if (e.type == platform::ControlEventType::LeftClick &&
            platform::controlElement(e.control) == QLatin1String("button"))
          result = endingOfButton(platform::controlNameOf(e.control));
        break;
      case platform::EventKind::Size:
      case platform::EventKind::Maximise:
      case platform::EventKind::Restore: platform::refreshDialog(dialog.number()); break;
      case platform::EventKind::Close: result = dialogCancelled; break;
      default: break;
    }
  }
  if (result != dialogCancelled) writeBackDialog(dialog.number(), main);
  platform::removeAllShortcuts(window);
  return result;
}

int fillDialog(int dialog, const pugi::xml_node& element) { return transferChain(dialog, element, Direction::Fill); }

int writeBackDialog(int dialog, const pugi::xml_node& element) {
  return transferChain(dialog, element, Direction::WriteBack);
}

int collectFields(const pugi::xml_node& element, const QString& kind, const QString& keyAttribute,
                  const QString& valueAttribute, QMap<QString, QString>& map) {
  collectInto(element, kind.toLower(), keyAttribute.toUtf8(), valueAttribute.toUtf8(), map);
  return static_cast<int>(map.size());
}

}  // namespace dialogs
