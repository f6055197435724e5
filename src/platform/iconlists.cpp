// Icon lists over QListWidget in icon mode, and the numbered images their items show.
// Item cells are 160 x 120 pixels, the size the main window's list layout reckons with, while
// every item fits so; a list too small for that gets smaller cells (see IconList::arrange).
#include "platform/iconlists.h"

#include <QFileInfo>
#include <QImage>
#include <QListWidget>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <algorithm>
#include <map>

#include "platform/recorder.h"
#include "platform/widgetregistry.h"

namespace platform {

namespace {

struct LoadedImage {
  QImage picture;
  QString name;
};

std::map<int, LoadedImage>& images() {
  static std::map<int, LoadedImage> i;
  return i;
}

// The item's image number is kept with the item, so the transcript can name its icon.
constexpr int imageRole = Qt::UserRole + 1;

// How the items of a list are drawn: icon size, label below or beside the icon, and the cell
// every item gets, or (an empty cell) each item as wide as it needs with a little spacing.
struct CellForm {
  int icon = 64;
  bool labelBeside = false;
  QSize cell{160, 120};
};

constexpr int flowSpacing = 6;

// A list in icon view whose items are drawn in one of a few forms. The preferred form is the
// 64-pixel icon over its label in a 160 x 120 cell. The main window gives its command list
// only the height its layout reckons with (60 pixels for the three items of the day, area and
// outlet screens; 180 for the nine commands on a 1024-pixel-wide screen, and 60 again once
// they would fit in one row of 160-pixel cells), so a list whose items would not all be seen
// whole takes the first smaller form in which they are: a 48-pixel icon over a one-line
// label, then a 32- or a 16-pixel icon beside its label. No item then hides behind a scroll
// bar; a long list that fits in no form keeps the preferred one and scrolls.
class IconList : public QListWidget {
 public:
  using QListWidget::QListWidget;

  // Chooses the form for the list's present size and items and lays the items out anew.
  void arrange() {
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setWrapping(true);
    apply(fittingForm());
    doItemsLayout();
  }

  // True when the item lies in the visible part of the list with room for its icon and its
  // whole label.
  bool showsWhole(int row) const {
    const QModelIndex index = model()->index(row, 0);
    if (!index.isValid()) return false;
    const QRect shown = visualRect(index);
    if (!viewport()->rect().contains(shown)) return false;
    // In cells the label wraps within the cell's width; side by side each item is laid out as
    // wide as its label in one line, and no other item may cover a part of it.
    const QSize needed = itemSize(row, gridSize().isValid() ? gridSize() : viewport()->size());
    if (needed.width() > shown.width() || needed.height() > shown.height()) return false;
    if (gridSize().isValid()) return fitsCell(row, gridSize());
    for (int other = 0; other < count(); ++other)
      if (other != row && visualRect(model()->index(other, 0)).intersects(shown)) return false;
    return true;
  }

 protected:
  void initViewItemOption(QStyleOptionViewItem* option) const override {
    QListWidget::initViewItemOption(option);
    if (!labelBeside_) return;
    option->decorationPosition = QStyleOptionViewItem::Left;
    option->displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
  }

 private:
  void apply(const CellForm& form) {
    labelBeside_ = form.labelBeside;
    setIconSize(QSize(form.icon, form.icon));
    setGridSize(form.cell);
    setSpacing(form.cell.isEmpty() ? flowSpacing : 0);
  }

  // The size the item needs when its label may wrap within the width of cell.
  QSize itemSize(int row, QSize cell) const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = QRect(QPoint(), cell);
    return itemDelegate()->sizeHint(option, model()->index(row, 0));
  }

  bool fitsCell(int row, QSize cell) const {
    const QSize needed = itemSize(row, cell);
    return needed.width() <= cell.width() && needed.height() <= cell.height();
  }

  // Whether every item is seen whole in the area with the form applied.
  bool allSeen(const CellForm& form, QSize area) const {
    const int n = count();
    if (!form.cell.isEmpty()) {
      if (form.cell.width() > area.width()) return false;
      const int columns = std::max(1, area.width() / form.cell.width());
      if ((n + columns - 1) / columns * form.cell.height() > area.height()) return false;
      for (int row = 0; row < n; ++row)
        if (!fitsCell(row, form.cell)) return false;
      return true;
    }
    // Items side by side as wide as each needs, wrapped into rows as the view lays them out.
    int x = flowSpacing, y = flowSpacing, rowHeight = 0;
    for (int row = 0; row < n; ++row) {
      const QSize needed = itemSize(row, area);
      if (needed.width() + 2 * flowSpacing > area.width()) return false;
      if (x > flowSpacing && x + needed.width() + flowSpacing > area.width()) {
        x = flowSpacing;
        y += rowHeight + flowSpacing;
        rowHeight = 0;
      }
      x += needed.width() + flowSpacing;
      rowHeight = std::max(rowHeight, needed.height());
    }
    return y + rowHeight + flowSpacing <= area.height();
  }

  // The first form in which every item is seen whole; the preferred form when none fits.
  CellForm fittingForm() {
    const CellForm preferred;
    // The frame less (right also while the list is hidden), and less the room the view keeps
    // free for a vertical scroll bar when it lays items out in rows.
    QSize area = contentsRect().size();
    if (!style()->pixelMetric(QStyle::PM_ScrollView_ScrollBarOverlap, nullptr, verticalScrollBar()))
      area.rwidth() -= style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar());
    if (count() == 0 || area.isEmpty()) return preferred;
    // The 48-pixel cell: as wide as the widest label in one line, as high as the highest item.
    apply({48, false, QSize(area.width(), area.height())});
    QSize cell(0, 0);
    for (int row = 0; row < count(); ++row) cell = cell.expandedTo(itemSize(row, area));
    const CellForm forms[] = {preferred,
                              {48, false, cell + QSize(8, 6)},
                              {32, true, QSize()},
                              {16, true, QSize()}};
    for (const CellForm& form : forms) {
      apply(form);
      if (allSeen(form, area)) return form;
    }
    return preferred;
  }

  bool labelBeside_ = false;
};

IconList* iconList(int list) { return dynamic_cast<IconList*>(controlWidget(list)); }

QListWidgetItem* iconItem(int list, int index) {
  IconList* widget = iconList(list);
  return widget && index >= 0 && index < widget->count() ? widget->item(index) : nullptr;
}

bool colourOf(const QVariant& value, Rgb& colour) {
  if (!value.isValid()) return false;
  const QColor c = value.value<QBrush>().color();
  colour = {c.red(), c.green(), c.blue()};
  return true;
}

}  // namespace

const QImage* imageByNumber(int image) {
  auto found = images().find(image);
  return found == images().end() ? nullptr : &found->second.picture;
}

QString imageName(int image) {
  auto found = images().find(image);
  return found == images().end() ? QString() : found->second.name;
}

int loadImage(const QString& path) {
  QImage image(path);
  if (image.isNull()) return 0;
  const int number = nextNumber();
  images()[number] = {image, QFileInfo(path).completeBaseName()};
  return number;
}

void freeImage(int image) { images().erase(image); }

int createIconList(int window, int x, int y, int width, int height, const QString& name) {
  QWidget* parent = windowWidget(window);
  if (!parent) return 0;
  auto* widget = new IconList(parent);
  widget->setSelectionMode(QAbstractItemView::SingleSelection);
  widget->setWordWrap(true);
  widget->setGeometry(x, y, width, height);
  widget->arrange();
  widget->show();
  return registerControl(window, widget, name);
}

void addIconItem(int list, const QString& text, int image) {
  IconList* widget = iconList(list);
  if (!widget) return;
  auto* item = new QListWidgetItem(text);
  if (const QImage* picture = imageByNumber(image)) {
    item->setIcon(QIcon(QPixmap::fromImage(*picture)));
    item->setData(imageRole, image);
  }
  widget->addItem(item);
  markListFilled(list);
}

void clearIconList(int list) {
  IconList* widget = iconList(list);
  if (!widget) return;
  widget->clear();
  markListFilled(list);
}

int iconItemCount(int list) {
  IconList* widget = iconList(list);
  return widget ? widget->count() : 0;
}

int selectedIconItem(int list) {
  IconList* widget = iconList(list);
  if (!widget) return -1;
  const QList<QListWidgetItem*> selected = widget->selectedItems();
  return selected.isEmpty() ? -1 : widget->row(selected.first());
}

QString iconItemText(int list, int index) {
  QListWidgetItem* item = iconItem(list, index);
  return item ? item->text() : QString();
}

int iconItemImage(int list, int index) {
  QListWidgetItem* item = iconItem(list, index);
  return item ? item->data(imageRole).toInt() : 0;
}

void setIconItemText(int list, int index, const QString& text) {
  QListWidgetItem* item = iconItem(list, index);
  if (!item || item->text() == text) return;
  item->setText(text);
  // The new label may need another form, or at least a wider place in the row.
  iconList(list)->arrange();
  markItemChanged(list, index);
}

void setIconItemBackground(int list, int index, Rgb colour) {
  QListWidgetItem* item = iconItem(list, index);
  Rgb before;
  if (!item || (colourOf(item->data(Qt::BackgroundRole), before) && before == colour)) return;
  item->setBackground(QColor(colour.red, colour.green, colour.blue));
  markItemChanged(list, index);
}

void setIconItemTextColour(int list, int index, Rgb colour) {
  QListWidgetItem* item = iconItem(list, index);
  Rgb before;
  if (!item || (colourOf(item->data(Qt::ForegroundRole), before) && before == colour)) return;
  item->setForeground(QColor(colour.red, colour.green, colour.blue));
  markItemChanged(list, index);
}

bool iconItemBackground(int list, int index, Rgb& colour) {
  QListWidgetItem* item = iconItem(list, index);
  return item && colourOf(item->data(Qt::BackgroundRole), colour);
}

bool iconItemTextColour(int list, int index, Rgb& colour) {
  QListWidgetItem* item = iconItem(list, index);
  return item && colourOf(item->data(Qt::ForegroundRole), colour);
}

void rearrangeIcons(int list) {
  IconList* widget = iconList(list);
  if (!widget) return;
  widget->setViewMode(QListView::ListMode);
  widget->arrange();
}

bool iconItemShownWhole(int list, int index) {
  IconList* widget = iconList(list);
  return widget && index >= 0 && index < widget->count() && widget->showsWhole(index);
}

bool isIconView(int list) {
  IconList* widget = iconList(list);
  return widget && widget->viewMode() == QListView::IconMode;
}

void focusIconItem(int list, int index) {
  IconList* widget = iconList(list);
  if (!widget) return;
  widget->setFocus(Qt::OtherFocusReason);
  if (index < 0 || index >= widget->count()) {
    widget->clearSelection();
    markItemSelected(list, -1);
    return;
  }
  widget->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
  widget->scrollToItem(widget->item(index));
  markItemSelected(list, index);
}

}  // namespace platform
