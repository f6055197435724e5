// The dialog markup on any text: parsed as a stored dialog is, its window built offscreen,
// filled and written back, then opened, filled and written back once more, its fields
// collected. Nothing may fail, hang or leave the screen, and the values moved must come back
// as they went: a field shows the text value its element holds, and the second round (a new
// window, as when the dialog is opened again) changes nothing in the document.
#include "dialogs/markup.h"
#include "dialogs/storeddialogs.h"
#include "platform/controls.h"
#include "platform/dialogengine.h"
#include "platform/scripteduser.h"
#include "platform/widgetregistry.h"
#include "platform/windows.h"
#include "db/quoting.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace {

void mustHold(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "broken: %s\n", what);
  std::abort();
}

std::string textOf(const pugi::xml_node& node) {
  std::ostringstream out;
  node.print(out, "", pugi::format_raw);
  return out.str();
}

// The name of the first window element, as the program would ask for it.
QString firstWindowName(const pugi::xml_node& main) {
  if (QString::fromUtf8(main.name()).toLower() == QLatin1String("window"))
    return QString::fromUtf8(main.attribute("name").value());
  return QStringLiteral("dialog");
}

// Whether every element below the main one is of the dialect the transfer knows.
bool onlyTheDialect(const pugi::xml_node& main) {
  static const QStringList dialect{u"window"_qs,  u"vbox"_qs,   u"hbox"_qs,     u"gridbox"_qs,  u"singlebox"_qs,
                                   u"container"_qs, u"scrollarea"_qs, u"empty"_qs, u"text"_qs, u"button"_qs,
                                   u"item"_qs,    u"string"_qs, u"editor"_qs,   u"date"_qs,     u"calendar"_qs,
                                   u"listview"_qs, u"listicon"_qs, u"combobox"_qs, u"tree"_qs, u"checkbox"_qs};
  for (pugi::xml_node node = main; node;) {
    if (node.type() == pugi::node_element && !dialect.contains(QString::fromUtf8(node.name()).toLower())) return false;
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && node != main && !node.next_sibling()) node = node.parent();
    node = node && node != main ? node.next_sibling() : pugi::xml_node();
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "fuzz_markup";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Boxes are answered by the scripted user, never shown; each input starts afresh.
  platform::startScript(QString());
  const QString markup = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
  const dialogs::MarkupGuard document(dialogs::parseDialogMarkup(markup));
  if (!document.number()) return 0;
  const pugi::xml_node main = dialogs::mainElement(document.number());
  {
    const platform::DialogGuard dialog;
    QString error;
    if (platform::openXmlDialog(dialog.number(), *dialogs::markupDocument(document.number()), firstWindowName(main),
                                error)) {
      QWidget* window = platform::windowWidget(platform::dialogWindow(dialog.number()));
      mustHold(window != nullptr, "an opened dialog has its window");
      mustHold(QGuiApplication::primaryScreen()->availableGeometry().contains(window->frameGeometry()),
               "the window lies within the screen");
      // The "_" text fields the dialog built, with the value each must show.
      std::vector<std::pair<int, QString>> texts;
      for (pugi::xml_node node = main; node;) {
        const QString kind = QString::fromUtf8(node.name()).toLower();
        const int control = platform::dialogElementControl(dialog.number(), node);
        if (control && QString::fromUtf8(node.attribute("name").value()).startsWith(u'_') &&
            (kind == QLatin1String("string") || kind == QLatin1String("editor")))
          texts.emplace_back(control, db::unescapeText(QString::fromUtf8(node.attribute("text").value())));
        if (node.first_child()) {
          node = node.first_child();
          continue;
        }
        while (node && node != main && !node.next_sibling()) node = node.parent();
        node = node && node != main ? node.next_sibling() : pugi::xml_node();
      }
      // An element outside the dialect breaks the walk off (with its message): fields after it
      // keep what the engine put in, and only a walk that reached every element is checked.
      if (dialogs::fillDialog(dialog.number(), main) && onlyTheDialect(main)) {
        for (const auto& [control, value] : texts)
          mustHold(platform::controlText(control) == value, "a field shows the value the markup holds");
      }
      QApplication::processEvents();
      dialogs::writeBackDialog(dialog.number(), main);
    }
  }
  // Accepted and opened again, as the assistant re-opens a dialog: a new window, filled from
  // the written-back document and written back once more, leaves the document as it was.
  const std::string once = textOf(main);
  {
    const platform::DialogGuard dialog;
    QString error;
    if (platform::openXmlDialog(dialog.number(), *dialogs::markupDocument(document.number()), firstWindowName(main),
                                error)) {
      dialogs::fillDialog(dialog.number(), main);
      QApplication::processEvents();
      dialogs::writeBackDialog(dialog.number(), main);
      if (textOf(main) != once) std::fprintf(stderr, "once:\n%s\ntwice:\n%s\n", once.c_str(), textOf(main).c_str());
      mustHold(textOf(main) == once, "a second round changes nothing");
    }
  }
  QMap<QString, QString> fields;
  dialogs::collectFields(main, QStringLiteral("string"), QStringLiteral("name"), QStringLiteral("text"), fields);
  platform::stopScript();
  for (int window : platform::liveWindows()) platform::closeWindow(window);
  platform::clearWindowEvents();
  // What the widgets left for deletion goes now, as at the end of an event loop's turn.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return 0;
}
