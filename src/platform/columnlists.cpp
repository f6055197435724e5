// Lists with columns over QTableWidget: a title row, no row numbers, cells the user cannot
// edit in place (the program opens its own editors), one row or cell selected at a time.
#include "platform/columnlists.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>

#include "platform/recorder.h"
#include "platform/widgetregistry.h"

namespace platform {

namespace {

QTableWidget* table(int list) { return qobject_cast<QTableWidget*>(controlWidget(list)); }

QTableWidgetItem* cellItem(QTableWidget* widget, int row, int column) {
  if (row < 0 || row >= widget->rowCount() || column < 0 || column >= widget->columnCount())
    return nullptr;
  QTableWidgetItem* item = widget->item(row, column);
  if (!item) {
    item = new QTableWidgetItem;
    widget->setItem(row, column, item);
  }
  return item;
}

}  // namespace

int createColumnList(int window, int x, int y, int width, int height, const QString& name) {
  QWidget* parent = windowWidget(window);
  if (!parent) return 0;
  auto* widget = new QTableWidget(parent);
  widget->verticalHeader()->hide();
  widget->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  widget->verticalHeader()->setDefaultSectionSize(20);
  widget->horizontalHeader()->setFixedHeight(20);
  widget->horizontalHeader()->setHighlightSections(false);
  // The header tells a click on a title from the press that starts widening a column: only
  // the click is an event of the list.
  widget->horizontalHeader()->setSectionsClickable(true);
  QObject::connect(widget->horizontalHeader(), &QHeaderView::sectionClicked, widget,
                   [widget] {
                     const int list = controlNumber(widget);
                     if (list) queueWindowEvent({windowOfControl(list), list, EventKind::Control, ControlEventType::HeaderClick});
                   });
  widget->setEditTriggers(QAbstractItemView::NoEditTriggers);
  widget->setSelectionMode(QAbstractItemView::SingleSelection);
  widget->setSelectionBehavior(QAbstractItemView::SelectItems);
  widget->setShowGrid(false);
  widget->setWordWrap(false);
  widget->setGeometry(x, y, width, height);
  widget->show();
  return registerControl(window, widget, name);
}

void addColumn(int list, const QString& title, int width) {
  QTableWidget* widget = table(list);
  if (!widget) return;
  const int column = widget->columnCount();
  widget->insertColumn(column);
  widget->setHorizontalHeaderItem(column, new QTableWidgetItem(title));
  widget->setColumnWidth(column, width);
}

int columnCount(int list) {
  QTableWidget* widget = table(list);
  return widget ? widget->columnCount() : 0;
}

void setColumnWidth(int list, int column, int width) {
  QTableWidget* widget = table(list);
  if (widget && column >= 0 && column < widget->columnCount()) widget->setColumnWidth(column, width);
}

int columnWidth(int list, int column) {
  QTableWidget* widget = table(list);
  if (!widget || column < 0 || column >= widget->columnCount()) return 0;
  return widget->columnWidth(column);
}

int columnOrigin(int list) {
  QTableWidget* widget = table(list);
  if (!widget) return 0;
  return widget->x() + widget->viewport()->x() - widget->horizontalHeader()->offset();
}

int visibleRowCount(int list) {
  QTableWidget* widget = table(list);
  if (!widget) return 0;
  // As the view lays itself out: the title row takes the larger of its minimum and its
  // natural height, and the scroll bar shows when the columns are wider than the view.
  const int frame = widget->frameWidth();
  const QHeaderView* header = widget->horizontalHeader();
  const int titleRow = header->isHidden() ? 0 : qMax(header->minimumHeight(), header->sizeHint().height());
  int height = widget->height() - 2 * frame - titleRow;
  if (widget->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff && header->length() > widget->width() - 2 * frame)
    height -= widget->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, widget->horizontalScrollBar());
  const int rowHeight = widget->verticalHeader()->defaultSectionSize();
  return rowHeight > 0 ? qMax(0, height / rowHeight) : 0;
}

void addRow(int list, const QString& cells) {
  QTableWidget* widget = table(list);
  if (!widget) return;
  const int row = widget->rowCount();
  widget->insertRow(row);
  const QStringList texts = cells.split(QLatin1Char('\n'));
  for (int column = 0; column < widget->columnCount(); ++column)
    widget->setItem(row, column, new QTableWidgetItem(column < texts.size() ? texts[column] : QString()));
  markListFilled(list);
}

int rowCount(int list) {
  QTableWidget* widget = table(list);
  return widget ? widget->rowCount() : 0;
}

void setCellText(int list, int row, int column, const QString& text) {
  QTableWidget* widget = table(list);
  if (!widget) return;
  if (QTableWidgetItem* item = cellItem(widget, row, column)) item->setText(text);
}

QString cellText(int list, int row, int column) {
  QTableWidget* widget = table(list);
  if (!widget) return QString();
  QTableWidgetItem* item = widget->item(row, column);
  return item ? item->text() : QString();
}

int selectedRow(int list) {
  QTableWidget* widget = table(list);
  if (!widget) return -1;
  const QList<QTableWidgetItem*> selected = widget->selectedItems();
  return selected.isEmpty() ? -1 : selected.first()->row();
}

void selectRow(int list, int row) {
  QTableWidget* widget = table(list);
  if (!widget) return;
  widget->clearSelection();
  if (row >= 0 && row < widget->rowCount()) widget->setCurrentCell(row, 0);
}

void clearRows(int list) {
  QTableWidget* widget = table(list);
  if (!widget) return;
  widget->setRowCount(0);
  markListFilled(list);
}

void setFullRowSelect(int list, bool on) {
  if (QTableWidget* widget = table(list))
    widget->setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

void setGridLines(int list, bool on) {
  if (QTableWidget* widget = table(list)) widget->setShowGrid(on);
}

}  // namespace platform
