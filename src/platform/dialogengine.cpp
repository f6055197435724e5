// The dialog engine over Qt layouts: each markup element becomes a widget, each box a layout, and
// the window's layout fits the controls to its size. Controls join the program's numbers.
#include "platform/dialogengine.h"

#include <QBoxLayout>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <limits>
#include <map>
#include <pugixml.hpp>
#include <QHash>
#include <QScrollBar>
#include <set>
#include <unordered_map>
#include <vector>

#include "platform/controls.h"
#include "platform/recorder.h"
#include "platform/screenfit.h"
#include "platform/widgetregistry.h"
#include "platform/windows.h"

namespace platform {

namespace {

const char* const elementProperty = "varnothElement";
const char* const dataProperty = "varnothData";
const char* const timeOfDayProperty = "varnothTimeOfDay";
constexpr int entryDataRole = Qt::UserRole;
constexpr int entryStateRole = Qt::UserRole + 1;
constexpr int widestGrid = 256;  // the most columns, and the longest span, of a grid
constexpr int selectedBit = 1;  // a tree entry's state bits: it is the selected one,
constexpr int expandedBit = 2;  // its children are shown

// A dialog object: its window (0 until built) and the indexes that find its controls in
// constant time, by element of the markup and by name (the first control of a name).
struct DialogEntry {
  int window = 0;
  std::unordered_map<const void*, int> byElement;
  QHash<QString, int> byName;
};

std::map<int, DialogEntry>& dialogs() {
  static std::map<int, DialogEntry> d;
  return d;
}

QString lowered(const pugi::xml_node& node) { return QString::fromUtf8(node.name()).toLower(); }

QString attribute(const pugi::xml_node& node, const char* name) {
  return QString::fromUtf8(node.attribute(name).value());
}

// A decimal attribute; the fallback when it is missing or holds no number.
int number(const pugi::xml_node& node, const char* name, int fallback) {
  bool ok = false;
  const int value = attribute(node, name).trimmed().toInt(&ok);
  return ok ? value : fallback;
}

bool isYes(const pugi::xml_node& node, const char* name) {
  return attribute(node, name).trimmed().compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
}

// The flag names of a "flags" attribute, lowered, for lookups.
std::set<QString> flagsOf(const pugi::xml_node& node) {
  std::set<QString> flags;
  for (const QString& flag : attribute(node, "flags").split(QLatin1Char('|'), Qt::SkipEmptyParts))
    flags.insert(flag.trimmed().toLower());
  return flags;
}

// Return and Enter in a multi-line field belong to the window: the field does not claim them
// before the shortcuts, so a window with a Return shortcut ends the dialog and one without
// gets a new line as usual.
class ReturnToWindow : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::ShortcutOverride) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool isReturn = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    return isReturn && mods == Qt::NoModifier;  // handled here, left unaccepted
  }
};

// The oldest date a field can hold stands for "no date" and shows empty, as in controls.cpp.
const QDateTime noDate(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC);
// The latest moment a date value can hold: its seconds since 1970 fill a signed 32-bit number.
const QDateTime lastDate = QDateTime::fromSecsSinceEpoch(std::numeric_limits<qint32>::max(), Qt::UTC);

QDateTime dateOfValue(qint32 value) { return QDateTime::fromSecsSinceEpoch(qMax<qint32>(value, 0), Qt::UTC); }

// The seconds of a moment, held within what a date value can hold.
int dateValueOf(const QDateTime& moment) {
  return static_cast<int>(qBound(qint64(0), moment.toSecsSinceEpoch(), qint64(std::numeric_limits<qint32>::max())));
}

// Extra space of a box: "yes" and "equal" give it to every child, "no" to none (the children
// keep their size and stand as "align" says), "item:N" to the N-th child; without the
// attribute the children's own size policies decide.
struct Expansion {
  enum Mode { Natural, All, None, One } mode = Natural;
  int item = 0;  // 0-based, for One
};

Expansion expansionOf(const pugi::xml_node& node, const char* name) {
  const QString value = attribute(node, name).trimmed().toLower();
  if (value == QLatin1String("yes") || value == QLatin1String("equal")) return {Expansion::All, 0};
  if (value == QLatin1String("no")) return {Expansion::None, 0};
  if (value.startsWith(QLatin1String("item:"))) return {Expansion::One, value.mid(5).toInt() - 1};
  return {};
}

int stretchOf(const Expansion& e, int index) {
  if (e.mode == Expansion::All) return 1;
  if (e.mode == Expansion::One) return index == e.item ? 1 : 0;
  return 0;
}

struct Builder {
  int window = 0;
  DialogEntry* entry = nullptr;
  QString error;
  int depth = 0;  // the level of the element being built, the window's children at 1

  // The children of an element that make widgets: elements but items, each built.
  bool buildChildren(const pugi::xml_node& element, std::vector<std::pair<QWidget*, pugi::xml_node>>& out) {
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
      if (child.type() != pugi::node_element || lowered(child) == QLatin1String("item")) continue;
      QWidget* widget = build(child);
      if (!widget) {
        for (auto& [built, node] : out) delete built;
        out.clear();
        return false;
      }
      out.emplace_back(widget, child);
    }
    return true;
  }

  // Puts the element's children into a vertical or horizontal box layout.
  bool fillBox(const pugi::xml_node& element, QBoxLayout* layout) {
    std::vector<std::pair<QWidget*, pugi::xml_node>> children;
    if (!buildChildren(element, children)) return false;
    if (element.attribute("spacing")) layout->setSpacing(number(element, "spacing", 5));
    const Expansion expand = expansionOf(element, "expand");
    const QString align = attribute(element, "align").trimmed().toLower();
    const bool vertical = layout->direction() == QBoxLayout::TopToBottom;
    const bool atEnd = align == QLatin1String(vertical ? "bottom" : "right");
    const bool centred = align == QLatin1String("center");
    if (expand.mode == Expansion::None && (atEnd || centred)) layout->addStretch(1);
    for (size_t i = 0; i < children.size(); ++i)
      layout->addWidget(children[i].first, stretchOf(expand, static_cast<int>(i)));
    if (expand.mode == Expansion::None && !atEnd) layout->addStretch(1);
    return true;
  }

  // A grid of "columns" columns, filled row by row; a child may span cells. Columns and spans
  // are bounded far above any real form, so no markup makes a grid of millions of cells.
  bool fillGrid(const pugi::xml_node& element, QGridLayout* grid) {
    std::vector<std::pair<QWidget*, pugi::xml_node>> children;
    if (!buildChildren(element, children)) return false;
    const int columns = qBound(1, number(element, "columns", 2), widestGrid);
    if (element.attribute("colspacing")) grid->setHorizontalSpacing(number(element, "colspacing", 5));
    if (element.attribute("rowspacing")) grid->setVerticalSpacing(number(element, "rowspacing", 5));
    // Cells are filled row after row, so a column is taken from the current row down to where
    // the last child placed in it ends.
    std::vector<int> takenUntil(size_t(columns), 0);
    int row = 0;
    int column = 0;
    for (auto& [widget, node] : children) {
      while (takenUntil[size_t(column)] > row) {
        if (++column >= columns) column = 0, ++row;
      }
      const int colspan = qBound(1, number(node, "colspan", 1), columns - column);
      const int rowspan = qBound(1, number(node, "rowspan", 1), widestGrid);
      for (int c = column; c < column + colspan; ++c) takenUntil[size_t(c)] = row + rowspan;
      grid->addWidget(widget, row, column, rowspan, colspan);
    }
    const Expansion colExpand = expansionOf(element, "colexpand");
    for (int c = 0; c < columns && colExpand.mode != Expansion::Natural; ++c)
      grid->setColumnStretch(c, stretchOf(colExpand, c));
    const Expansion rowExpand = expansionOf(element, "rowexpand");
    for (int r = 0; r < grid->rowCount() && rowExpand.mode != Expansion::Natural; ++r)
      grid->setRowStretch(r, stretchOf(rowExpand, r));
    return true;
  }

  static QWidget* plainContainer() {
    auto* widget = new QWidget;
    widget->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    return widget;
  }

  static QVBoxLayout* columnLayout(QWidget* widget, int margin) {
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(margin, margin, margin, margin);
    return layout;
  }

  // Builds one element; nullptr with the error text for an element the engine does not know.
  QWidget* build(const pugi::xml_node& element) {
    if (depth >= deepestDialogNesting) {
      error = QStringLiteral("Dialogelemente tiefer als %1 Ebenen verschachtelt").arg(deepestDialogNesting);
      return nullptr;
    }
    ++depth;
    QWidget* widget = buildAtThisLevel(element);
    --depth;
    return widget;
  }

  QWidget* buildAtThisLevel(const pugi::xml_node& element) {
    const QString kind = lowered(element);
    QWidget* widget = nullptr;
    bool isControl = true;
    bool ok = true;
    if (kind == QLatin1String("vbox") || kind == QLatin1String("hbox")) {
      widget = plainContainer();
      auto* layout = new QBoxLayout(kind == QLatin1String("vbox") ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight, widget);
      const int margin = number(element, "margin", 0);
      layout->setContentsMargins(margin, margin, margin, margin);
      ok = fillBox(element, layout);
      isControl = false;
    } else if (kind == QLatin1String("gridbox")) {
      widget = plainContainer();
      auto* grid = new QGridLayout(widget);
      const int margin = number(element, "margin", 0);
      grid->setContentsMargins(margin, margin, margin, margin);
      ok = fillGrid(element, grid);
      isControl = false;
    } else if (kind == QLatin1String("singlebox") || kind == QLatin1String("container") ||
               kind == QLatin1String("tab")) {
      widget = plainContainer();
      ok = fillBox(element, columnLayout(widget, number(element, "margin", 0)));
      isControl = kind == QLatin1String("container");
    } else if (kind == QLatin1String("scrollarea")) {
      auto* area = new QScrollArea;
      area->setWidgetResizable(true);
      auto* inner = new QWidget;
      inner->setMinimumSize(number(element, "innerwidth", 0), number(element, "innerheight", 0));
      ok = fillBox(element, columnLayout(inner, 5));
      area->setWidget(inner);
      widget = area;
    } else if (kind == QLatin1String("frame")) {
      auto* frame = new QGroupBox(attribute(element, "text"));
      ok = fillBox(element, columnLayout(frame, 8));
      widget = frame;
    } else if (kind == QLatin1String("panel")) {
      auto* panel = new QTabWidget;
      std::vector<std::pair<QWidget*, pugi::xml_node>> pages;
      ok = buildChildren(element, pages);
      for (auto& [page, node] : pages) panel->addTab(page, attribute(node, "text"));
      widget = panel;
    } else if (kind == QLatin1String("empty")) {
      widget = new QWidget;
      isControl = false;
    } else if (kind == QLatin1String("text")) {
      auto* label = new QLabel(attribute(element, "text"));
      const std::set<QString> flags = flagsOf(element);
      if (flags.count(QStringLiteral("#pb_text_center"))) label->setAlignment(Qt::AlignCenter);
      if (flags.count(QStringLiteral("#pb_text_right"))) label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      widget = label;
    } else if (kind == QLatin1String("button")) {
      widget = new QPushButton(attribute(element, "text"));
    } else if (kind == QLatin1String("string")) {
      auto* field = new QLineEdit;
      const std::set<QString> flags = flagsOf(element);
      if (flags.count(QStringLiteral("#pb_string_password"))) field->setEchoMode(QLineEdit::Password);
      if (flags.count(QStringLiteral("#pb_string_readonly"))) field->setReadOnly(true);
      field->setMaxLength(std::numeric_limits<int>::max());  // a value is never cut
      field->setText(attribute(element, "text"));  // as written; a stored dialog fills its own
      field->setCursorPosition(0);
      widget = field;
    } else if (kind == QLatin1String("editor")) {
      // A value element ("_" name) gets its text from the stored dialog's fill, decoded: its
      // escaped form here would be one endless line, costly to lay out and never seen.
      const QString name = attribute(element, "name");
      auto* editor = new QPlainTextEdit(name.startsWith(QLatin1Char('_')) ? QString() : attribute(element, "text"));
      editor->installEventFilter(new ReturnToWindow(editor));
      editor->setTabChangesFocus(false);
      if (element.attribute("height")) {
        editor->setMinimumHeight(number(element, "height", 0));
        editor->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
      }
      widget = editor;
    } else if (kind == QLatin1String("date")) {
      auto* field = new QDateTimeEdit;
      field->setTimeSpec(Qt::UTC);
      field->setMinimumDateTime(noDate);
      field->setMaximumDateTime(QDateTime::fromSecsSinceEpoch(2147483647, Qt::UTC));
      field->setSpecialValueText(QStringLiteral(" "));
      field->setCalendarPopup(true);
      widget = field;
    } else if (kind == QLatin1String("calendar")) {
      auto* calendar = new QCalendarWidget;
      calendar->setGridVisible(true);
      calendar->setLocale(QLocale(QLocale::German, QLocale::Germany));  // the program speaks German
      calendar->setDateRange(noDate.date(), lastDate.date());  // the dates a date value can hold
      calendar->setSelectedDate(noDate.date());
      widget = calendar;
    } else if (kind == QLatin1String("checkbox")) {
      widget = new QCheckBox(attribute(element, "text"));
    } else if (kind == QLatin1String("option")) {
      widget = new QRadioButton(attribute(element, "text"));
    } else if (kind == QLatin1String("listview")) {
      widget = new QListWidget;
    } else if (kind == QLatin1String("listicon") || kind == QLatin1String("tree")) {
      auto* view = new QTreeWidget;
      view->setColumnCount(1);
      view->setHeaderLabels({attribute(element, "text")});
      view->setHeaderHidden(kind == QLatin1String("tree") || attribute(element, "text").isEmpty());
      view->setRootIsDecorated(kind == QLatin1String("tree"));
      widget = view;
    } else if (kind == QLatin1String("combobox")) {
      auto* combo = new QComboBox;
      combo->setEditable(flagsOf(element).count(QStringLiteral("#pb_combobox_editable")) > 0);
      widget = combo;
    } else if (kind == QLatin1String("spin")) {
      auto* spin = new QSpinBox;
      spin->setRange(number(element, "min", 0), number(element, "max", 100));
      widget = spin;
    } else if (kind == QLatin1String("trackbar")) {
      auto* slider = new QSlider(Qt::Horizontal);
      slider->setRange(number(element, "min", 0), number(element, "max", 100));
      widget = slider;
    } else if (kind == QLatin1String("progressbar")) {
      auto* bar = new QProgressBar;
      bar->setRange(number(element, "min", 0), number(element, "max", 100));
      widget = bar;
    } else {
      error = QStringLiteral("Unbekanntes Dialogelement <%1>").arg(kind);
      return nullptr;
    }
    if (!ok) {
      delete widget;
      return nullptr;
    }
    applyCommonAttributes(element, widget);
    if (isControl) {
      widget->setProperty(elementProperty, kind);
      const QString name = attribute(element, "name");
      const int control = registerControl(window, widget, name);
      entry->byElement[element.internal_object()] = control;
      if (!entry->byName.contains(name)) entry->byName.insert(name, control);
      if (kind == QLatin1String("date")) {
        setDateMask(control, element.attribute("text") ? attribute(element, "text")
                                                       : QStringLiteral("%dd.%mm.%yyyy %hh:%ii"));
        setDateValue(control, 0);
      }
    }
    return widget;
  }

  // Sizes and switches every element may carry: the least and the greatest size, disabled.
  static void applyCommonAttributes(const pugi::xml_node& element, QWidget* widget) {
    if (element.attribute("width")) widget->setMinimumWidth(number(element, "width", 0));
    if (element.attribute("height")) widget->setMinimumHeight(number(element, "height", 0));
    if (element.attribute("maxwidth")) widget->setMaximumWidth(number(element, "maxwidth", QWIDGETSIZE_MAX));
    if (element.attribute("maxheight")) widget->setMaximumHeight(number(element, "maxheight", QWIDGETSIZE_MAX));
    if (isYes(element, "disabled")) widget->setEnabled(false);
  }
};

// The window element of that name: the node itself or the first one below it, depth first.
// A walk without recursion: the markup may nest as deep as it likes.
pugi::xml_node findWindow(const pugi::xml_node& top, const QString& name) {
  pugi::xml_node node = top;
  while (node) {
    if (node.type() == pugi::node_element && lowered(node) == QLatin1String("window") &&
        attribute(node, "name").compare(name, Qt::CaseInsensitive) == 0)
      return node;
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && node != top && !node.next_sibling()) node = node.parent();
    if (!node || node == top) break;
    node = node.next_sibling();
  }
  return {};
}

Qt::WindowFlags windowFlagsOf(const std::set<QString>& flags) {
  Qt::WindowFlags result = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (flags.count(QStringLiteral("#pb_window_systemmenu")))
    result |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (flags.count(QStringLiteral("#pb_window_minimizegadget"))) result |= Qt::WindowMinimizeButtonHint;
  if (flags.count(QStringLiteral("#pb_window_maximizegadget"))) result |= Qt::WindowMaximizeButtonHint;
  return result;
}

// "auto" (or nothing) takes the content's need; a number is a least size, never below it.
int leastSize(const pugi::xml_node& window, const char* name, int contentNeeds) {
  const QString value = attribute(window, name).trimmed();
  bool isNumber = false;
  const int pixels = value.toInt(&isNumber);
  return isNumber ? qMax(pixels, contentNeeds) : contentNeeds;
}

template <class Widget>
Widget* controlAs(int control) {
  return qobject_cast<Widget*>(controlWidget(control));
}

bool isElement(int control, const char* kind) { return controlElement(control) == QLatin1String(kind); }

// The entries of a tree in document order (each entry before its children).
std::vector<QTreeWidgetItem*> treeEntries(QTreeWidget* view) {
  std::vector<QTreeWidgetItem*> items;
  for (QTreeWidgetItemIterator it(view); *it; ++it) items.push_back(*it);
  return items;
}

// The entry n of a list with columns or a tree, nullptr when there is none.
QTreeWidgetItem* treeEntry(int control, int entry) {
  auto* view = controlAs<QTreeWidget>(control);
  if (!view || entry < 0) return nullptr;
  if (!isElement(control, "tree")) return view->topLevelItem(entry);
  const std::vector<QTreeWidgetItem*> items = treeEntries(view);
  return entry < static_cast<int>(items.size()) ? items[entry] : nullptr;
}

int selectedIndexOfList(QListWidget* list) {
  const QList<QListWidgetItem*> selected = list->selectedItems();
  return selected.isEmpty() ? -1 : list->row(selected.first());
}

// The top-left corner that puts a window of that outer size within the screen's free area,
// as near to the wished corner as it can.
QPoint withinScreen(const QPoint& wished, const QSize& outer, const QRect& screen) {
  const int x = qMax(screen.left(), qMin(wished.x(), screen.left() + screen.width() - outer.width()));
  const int y = qMax(screen.top(), qMin(wished.y(), screen.top() + screen.height() - outer.height()));
  return {x, y};
}

}  // namespace

// ---- dialogs ----

int createDialog() {
  const int dialog = nextNumber();
  dialogs()[dialog] = {};
  return dialog;
}

bool openXmlDialog(int dialog, const pugi::xml_node& root, const QString& windowName, QString& error) {
  auto found = dialogs().find(dialog);
  if (found == dialogs().end()) {
    error = QStringLiteral("Kein Dialogobjekt");
    return false;
  }
  if (!root) {
    error = QStringLiteral("Kein XML-Dokument");
    return false;
  }
  const pugi::xml_node element = findWindow(root, windowName);
  if (!element) {
    error = QStringLiteral("Kein Fenster '%1' im XML-Dokument").arg(windowName);
    return false;
  }
  DialogEntry& entry = found->second;
  entry.byElement.clear();
  entry.byName.clear();
  const std::set<QString> flags = flagsOf(element);
  auto* top = new QWidget(nullptr, windowFlagsOf(flags));
  top->setAttribute(Qt::WA_DeleteOnClose, false);
  const int window = registerWindow(top);
  // The content lies in a scroll area without a frame: it looks like the window itself while
  // the window is as large as the content needs, and scrolls where the screen is smaller.
  auto* outer = new QVBoxLayout(top);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* area = new QScrollArea;
  area->setFrameShape(QFrame::NoFrame);
  area->setWidgetResizable(true);
  auto* content = new QWidget;
  auto* layout = new QVBoxLayout(content);
  const int margin = number(element, "margin", 10);
  layout->setContentsMargins(margin, margin, margin, margin);
  Builder builder{window, &entry, {}, 0};
  if (!builder.fillBox(element, layout)) {
    error = builder.error;
    delete content;
    entry.byElement.clear();
    entry.byName.clear();
    closeWindow(window);
    return false;
  }
  area->setWidget(content);
  outer->addWidget(area);
  layout->activate();
  const QSize needs = content->minimumSizeHint().expandedTo(QSize(1, 1));
  const QSize least(leastSize(element, "minwidth", needs.width()), leastSize(element, "minheight", needs.height()));
  QSize size = least.expandedTo(content->sizeHint());
  size = size.expandedTo(QSize(number(element, "width", 0), number(element, "height", 0)));
  size = size.boundedTo(QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
  // Never larger than the screen's free area: what does not fit there scrolls, with room for
  // the scroll bar beside or below the content.
  // The frame a window manager will add takes room too: it is reckoned with before the
  // window is shown, as far as the frames of earlier windows tell, and after.
  const QScreen* screenOfWindow = QGuiApplication::primaryScreen();
  const QRect screen = (screenOfWindow ? screenOfWindow->availableGeometry() : QRect(0, 0, 1024, 768))
                           .marginsRemoved(expectedFrame());
  if (size.height() > screen.height()) size.rwidth() += area->verticalScrollBar()->sizeHint().width();
  if (size.width() > screen.width()) size.rheight() += area->horizontalScrollBar()->sizeHint().height();
  size = size.boundedTo(screen.size());
  top->setMinimumSize(least.boundedTo(screen.size()));
  const bool sizeable = flags.count(QStringLiteral("#pb_window_sizegadget")) > 0;
  const bool maximisable = flags.count(QStringLiteral("#pb_window_maximizegadget")) > 0;
  if (!sizeable && !maximisable) top->setFixedSize(size);
  QPoint at(number(element, "xpos", 50), number(element, "ypos", 50));
  if (flags.count(QStringLiteral("#pb_window_screencentered")))
    at = QPoint(screen.x() + (screen.width() - size.width()) / 2, screen.y() + (screen.height() - size.height()) / 2);
  top->resize(size);
  top->move(withinScreen(at, top->frameGeometry().size().expandedTo(size), screen));
  setWindowTitle(window, attribute(element, "text"));
  entry.window = window;
  top->show();
  keepWithinScreen(top, true);
  top->raise();
  top->activateWindow();
  markDialogShown(window);
  return true;
}

int dialogWindow(int dialog) {
  auto found = dialogs().find(dialog);
  return found == dialogs().end() ? 0 : found->second.window;
}

int dialogControl(int dialog, const QString& name) {
  auto found = dialogs().find(dialog);
  if (found == dialogs().end() || !found->second.window) return 0;
  const int control = found->second.byName.value(name, 0);
  return control && controlWidget(control) ? control : 0;
}

int dialogElementControl(int dialog, const pugi::xml_node& element) {
  auto found = dialogs().find(dialog);
  if (found == dialogs().end() || !found->second.window || !element) return 0;
  const auto control = found->second.byElement.find(element.internal_object());
  return control != found->second.byElement.end() && controlWidget(control->second) ? control->second : 0;
}

void refreshDialog(int dialog) {
  QWidget* window = windowWidget(dialogWindow(dialog));
  if (!window || !window->layout()) return;
  window->layout()->invalidate();
  window->layout()->activate();
}

void freeDialog(int dialog) {
  auto found = dialogs().find(dialog);
  if (found == dialogs().end()) return;
  if (found->second.window && isWindow(found->second.window)) {
    removeAllShortcuts(found->second.window);
    closeWindow(found->second.window);
  }
  dialogs().erase(found);
}

bool saveWindowPicture(int window, const QString& path) {
  QWidget* widget = windowWidget(window);
  if (!widget) return false;
  if (widget->layout()) widget->layout()->activate();
  return widget->grab().save(path, "PNG");
}

// ---- values ----

QString controlElement(int control) {
  QWidget* widget = controlWidget(control);
  return widget ? widget->property(elementProperty).toString() : QString();
}

int controlData(int control) {
  QWidget* widget = controlWidget(control);
  return widget ? widget->property(dataProperty).toInt() : 0;
}

void setControlData(int control, int data) {
  if (QWidget* widget = controlWidget(control)) widget->setProperty(dataProperty, data);
}

int controlState(int control) {
  QWidget* widget = controlWidget(control);
  if (!widget) return 0;
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->isChecked() ? 1 : 0;
  if (auto* list = qobject_cast<QListWidget*>(widget)) return selectedIndexOfList(list);
  if (auto* view = qobject_cast<QTreeWidget*>(widget)) {
    const QList<QTreeWidgetItem*> selected = view->selectedItems();
    if (selected.isEmpty()) return -1;
    if (!isElement(control, "tree")) return view->indexOfTopLevelItem(selected.first());
    const std::vector<QTreeWidgetItem*> items = treeEntries(view);
    const auto at = std::find(items.begin(), items.end(), selected.first());
    return at == items.end() ? -1 : static_cast<int>(at - items.begin());
  }
  if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentIndex();
  if (auto* panel = qobject_cast<QTabWidget*>(widget)) return panel->currentIndex();
  if (qobject_cast<QDateTimeEdit*>(widget)) return dateValue(control);
  if (auto* calendar = qobject_cast<QCalendarWidget*>(widget)) {
    const QTime time = QTime::fromMSecsSinceStartOfDay(calendar->property(timeOfDayProperty).toInt());
    return dateValueOf(QDateTime(calendar->selectedDate(), time, Qt::UTC));
  }
  if (auto* spin = qobject_cast<QSpinBox*>(widget)) return spin->value();
  if (auto* slider = qobject_cast<QAbstractSlider*>(widget)) return slider->value();
  if (auto* bar = qobject_cast<QProgressBar*>(widget)) return bar->value();
  return 0;
}

void setControlState(int control, int state) {
  QWidget* widget = controlWidget(control);
  if (!widget) return;
  const QSignalBlocker quiet(widget);
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setChecked(state != 0);
  } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
    list->clearSelection();
    if (state >= 0 && state < list->count())
      list->setCurrentRow(state);
    else
      list->setCurrentItem(nullptr);
  } else if (auto* view = qobject_cast<QTreeWidget*>(widget)) {
    view->clearSelection();
    QTreeWidgetItem* item = treeEntry(control, state);
    view->setCurrentItem(item);
    if (item) view->scrollToItem(item);
  } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    combo->setCurrentIndex(state >= 0 && state < combo->count() ? state : -1);
  } else if (auto* panel = qobject_cast<QTabWidget*>(widget)) {
    panel->setCurrentIndex(state);
  } else if (qobject_cast<QDateTimeEdit*>(widget)) {
    setDateValue(control, state);
  } else if (auto* calendar = qobject_cast<QCalendarWidget*>(widget)) {
    const QDateTime date = dateOfValue(state);
    calendar->setProperty(timeOfDayProperty, date.time().msecsSinceStartOfDay());
    calendar->setSelectedDate(date.date());
  } else if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
    spin->setValue(state);
  } else if (auto* slider = qobject_cast<QAbstractSlider*>(widget)) {
    slider->setValue(state);
  } else if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
    bar->setValue(state);
  }
}

void addEntry(int control, const QString& text, int data, int state, int level) {
  QWidget* widget = controlWidget(control);
  if (auto* list = qobject_cast<QListWidget*>(widget)) {
    auto* item = new QListWidgetItem(text, list);
    item->setData(entryDataRole, data);
    item->setData(entryStateRole, state);
  } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    const QSignalBlocker quiet(combo);
    combo->addItem(text);
    combo->setItemData(combo->count() - 1, data, entryDataRole);
    combo->setItemData(combo->count() - 1, state, entryStateRole);
    combo->setCurrentIndex(-1);
  } else if (auto* view = qobject_cast<QTreeWidget*>(widget)) {
    QTreeWidgetItem* parent = nullptr;
    if (isElement(control, "tree")) {
      // Below the last entry of the level above, as deep as the entries reach.
      for (int depth = 0; depth < level; ++depth) {
        const int count = parent ? parent->childCount() : view->topLevelItemCount();
        if (count == 0) break;
        parent = parent ? parent->child(count - 1) : view->topLevelItem(count - 1);
      }
    }
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(view);
    const QStringList columns = isElement(control, "tree") ? QStringList{text} : text.split(QLatin1Char('\n'));
    if (view->columnCount() < columns.size()) {
      // Further columns get empty titles, not Qt's column numbers.
      QStringList titles{view->headerItem()->text(0)};
      while (titles.size() < columns.size()) titles << QString();
      view->setHeaderLabels(titles);
    }
    for (int c = 0; c < columns.size(); ++c) item->setText(c, columns[c]);
    item->setData(0, entryDataRole, data);
    item->setData(0, entryStateRole, state);
    if (isElement(control, "tree") && (state & selectedBit)) {
      const QSignalBlocker quiet(view);
      view->clearSelection();
      view->setCurrentItem(item);
    }
    // Qt expands only an entry that has children: the wish of the parent is granted now.
    if (parent && (parent->data(0, entryStateRole).toInt() & expandedBit)) parent->setExpanded(true);
  }
}

int entryCount(int control) {
  QWidget* widget = controlWidget(control);
  if (auto* list = qobject_cast<QListWidget*>(widget)) return list->count();
  if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->count();
  if (auto* view = qobject_cast<QTreeWidget*>(widget)) {
    return isElement(control, "tree") ? static_cast<int>(treeEntries(view).size()) : view->topLevelItemCount();
  }
  return 0;
}

QString entryText(int control, int entry) {
  QWidget* widget = controlWidget(control);
  if (auto* list = qobject_cast<QListWidget*>(widget)) {
    const QListWidgetItem* item = list->item(entry);
    return item ? item->text() : QString();
  }
  if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->itemText(entry);
  const QTreeWidgetItem* item = treeEntry(control, entry);
  if (!item) return QString();
  QStringList columns;
  for (int c = 0; c < item->columnCount(); ++c) columns << item->text(c);
  return columns.join(QLatin1Char('\n'));
}

static QVariant entryValue(int control, int entry, int role) {
  QWidget* widget = controlWidget(control);
  if (auto* list = qobject_cast<QListWidget*>(widget)) {
    const QListWidgetItem* item = list->item(entry);
    return item ? item->data(role) : QVariant();
  }
  if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->itemData(entry, role);
  const QTreeWidgetItem* item = treeEntry(control, entry);
  return item ? item->data(0, role) : QVariant();
}

int entryData(int control, int entry) { return entryValue(control, entry, entryDataRole).toInt(); }

int entryState(int control, int entry) {
  const int kept = entryValue(control, entry, entryStateRole).toInt();
  const QTreeWidgetItem* item = isElement(control, "tree") ? treeEntry(control, entry) : nullptr;
  if (!item) return kept;
  int state = item->isSelected() ? kept | selectedBit : kept & ~selectedBit;
  if (item->childCount() > 0) state = item->isExpanded() ? state | expandedBit : state & ~expandedBit;
  return state;
}

}  // namespace platform
