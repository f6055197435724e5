// Icon lists over QListWidget in icon mode, and the numbered images their items show.
// Each item cell is 160 x 120 pixels, the size the main window's list layout reckons with.
#include "platform/iconlists.h"

#include <QFileInfo>
#include <QImage>
#include <QListWidget>
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

QListWidget* iconList(int list) { return qobject_cast<QListWidget*>(controlWidget(list)); }

QListWidgetItem* iconItem(int list, int index) {
  QListWidget* widget = iconList(list);
  return widget && index >= 0 && index < widget->count() ? widget->item(index) : nullptr;
}

void setIconView(QListWidget* widget) {
  widget->setViewMode(QListView::IconMode);
  widget->setMovement(QListView::Static);
  widget->setResizeMode(QListView::Adjust);
  widget->setWrapping(true);
  widget->setGridSize(QSize(160, 120));
  widget->setIconSize(QSize(64, 64));
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
  auto* widget = new QListWidget(parent);
  setIconView(widget);
  widget->setSelectionMode(QAbstractItemView::SingleSelection);
  widget->setWordWrap(true);
  widget->setGeometry(x, y, width, height);
  widget->show();
  return registerControl(window, widget, name);
}

void addIconItem(int list, const QString& text, int image) {
  QListWidget* widget = iconList(list);
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
  QListWidget* widget = iconList(list);
  if (!widget) return;
  widget->clear();
  markListFilled(list);
}

int iconItemCount(int list) {
  QListWidget* widget = iconList(list);
  return widget ? widget->count() : 0;
}

int selectedIconItem(int list) {
  QListWidget* widget = iconList(list);
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
  QListWidget* widget = iconList(list);
  if (!widget) return;
  widget->setViewMode(QListView::ListMode);
  setIconView(widget);
  widget->doItemsLayout();
}

bool isIconView(int list) {
  QListWidget* widget = iconList(list);
  return widget && widget->viewMode() == QListView::IconMode;
}

void focusIconItem(int list, int index) {
  QListWidget* widget = iconList(list);
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
