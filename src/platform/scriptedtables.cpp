// The scripted user at lists with columns and sliders: the transcript's row, columns and
// slider lines, and the clicks on a cell or a column's header that a person's hand gives.
#include "platform/scriptedtables.h"

#include <QAbstractSlider>
#include <QCoreApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QTableWidget>
#include <QtTest/QTest>
#include <map>

#include "platform/scripteduser_internal.h"
#include "platform/widgetregistry.h"

namespace platform::scripted {

namespace {

// What was last written of each control, by number (numbers are never handed out twice).
std::map<int, QString>& lastSeen() {
  static std::map<int, QString> seen;
  return seen;
}

QString columnsOf(const QTableWidget* table) {
  QString line;
  for (int column = 0; column < table->columnCount(); ++column) {
    const QTableWidgetItem* header = table->horizontalHeaderItem(column);
    line += QStringLiteral(" | %1:%2").arg(oneLine(header ? header->text() : QString())).arg(table->columnWidth(column));
  }
  return line;
}

QString sliderOf(const QAbstractSlider* slider) {
  return QStringLiteral(" | %1..%2 | %3 | %4")
      .arg(slider->minimum())
      .arg(slider->maximum())
      .arg(slider->value())
      .arg(slider->isEnabled() ? QStringLiteral("enabled") : QStringLiteral("disabled"));
}

void recordIfChanged(int control, const QString& kind, const QString& name, const QString& state) {
  QString& last = lastSeen()[control];
  if (last == state) return;
  last = state;
  record(kind + QLatin1Char(' ') + name + state);
}

// A column by its index or by its header's exact text; -1 when there is none.
int columnOf(const QTableWidget* table, const ScriptAction& action) {
  if (!action.columnByText) return action.column < table->columnCount() ? action.column : -1;
  for (int column = 0; column < table->columnCount(); ++column) {
    const QTableWidgetItem* header = table->horizontalHeaderItem(column);
    if (header && header->text() == action.columnText) return column;
  }
  return -1;
}

QString columnName(const ScriptAction& action) {
  return action.columnByText ? action.columnText : QString::number(action.column);
}

int rowOf(const QTableWidget* table, const ScriptAction& action) {
  if (!action.byText) return action.index < table->rowCount() ? action.index : -1;
  for (int row = 0; row < table->rowCount(); ++row) {
    for (int column = 0; column < table->columnCount(); ++column) {
      const QTableWidgetItem* item = table->item(row, column);
      if (item && item->text() == action.text) return row;
    }
  }
  return -1;
}

}  // namespace

void recordTableControls() {
  for (int window : liveWindows()) {
    for (int control : controlsOfWindow(window)) {
      const QString name = controlName(control);
      QWidget* widget = controlWidget(control);
      if (name.isEmpty() || !widget || !widget->isVisible()) continue;
      if (auto* table = qobject_cast<QTableWidget*>(widget))
        recordIfChanged(control, QStringLiteral("columns"), name, columnsOf(table));
      else if (auto* slider = qobject_cast<QAbstractSlider*>(widget))
        recordIfChanged(control, QStringLiteral("slider"), name, sliderOf(slider));
    }
  }
}

void recordTableRows(const QString& name, QTableWidget* table) {
  recordIfChanged(controlNumber(table), QStringLiteral("columns"), name, columnsOf(table));
  for (int row = 0; row < table->rowCount(); ++row) {
    QString line = QStringLiteral("row %1 | %2").arg(name).arg(row);
    for (int column = 0; column < table->columnCount(); ++column) {
      const QTableWidgetItem* item = table->item(row, column);
      line += QStringLiteral(" | ") + oneLine(item ? item->text() : QString());
    }
    record(line);
  }
}

void playCellClick(QWidget* control, const ScriptAction& action) {
  auto* table = qobject_cast<QTableWidget*>(control);
  if (!table) return complain(action, QStringLiteral("%1 has no columns").arg(action.target));
  const int row = rowOf(table, action);
  if (row < 0)
    return complain(action, QStringLiteral("%1 has no row %2")
                                .arg(action.target, action.byText ? action.text : QString::number(action.index)));
  const int column = columnOf(table, action);
  if (column < 0) return complain(action, QStringLiteral("%1 has no column %2").arg(action.target, columnName(action)));
  const QModelIndex index = table->model()->index(row, column);
  table->scrollTo(index);
  const QPoint at = table->visualRect(index).center();
  QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  if (action.verb != ScriptVerb::DoubleClick) return;
  QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseRelease(table->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

// The header of a list with columns over that column, scrolled into view; nullptr after
// the complaint when there is none.
QHeaderView* headerOver(QWidget* control, const ScriptAction& action, int& column) {
  auto* table = qobject_cast<QTableWidget*>(control);
  QString trouble;
  column = table ? columnOf(table, action) : -1;
  if (!table)
    trouble = QStringLiteral("no list with columns named %1").arg(action.target);
  else if (!table->isVisible())
    trouble = QStringLiteral("%1 is hidden").arg(action.target);
  else if (column < 0)
    trouble = QStringLiteral("%1 has no column %2").arg(action.target, columnName(action));
  else if (table->horizontalHeader()->isHidden())
    trouble = QStringLiteral("%1 shows no header").arg(action.target);
  if (!trouble.isEmpty()) {
    complain(action, trouble);
    return nullptr;
  }
  table->scrollTo(table->model()->index(0, column));
  return table->horizontalHeader();
}

void playHeader(QWidget* control, const ScriptAction& action) {
  int column = 0;
  QHeaderView* header = headerOver(control, action, column);
  if (!header) return;
  const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
  const QPoint at(x, header->height() / 2);
  QTest::mousePress(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseRelease(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

void playColumnResize(QWidget* control, const ScriptAction& action) {
  int column = 0;
  QHeaderView* header = headerOver(control, action, column);
  if (!header) return;
  // Pressed on the last pixel of the title, where the pointer becomes the border's handle,
  // moved with the button held, and released.
  const int border = header->sectionViewportPosition(column) + header->sectionSize(column) - 1;
  const QPoint from(border, header->height() / 2);
  const QPoint to(border + action.index - header->sectionSize(column), from.y());
  QWidget* viewport = header->viewport();
  QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, from);
  QMouseEvent move(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(viewport, &move);
  QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, to);
}

}  // namespace platform::scripted
