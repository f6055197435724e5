// Controls over Qt widgets placed at absolute positions in a window's client area.
// Date fields hold the program's date values: seconds since 1970 of the wall clock, read as UTC.
#include "platform/controls.h"

#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextDocument>
#include <QSlider>

#include "platform/widgetregistry.h"

namespace platform {

namespace {

template <class Widget>
Widget* controlAs(int control) {
  return qobject_cast<Widget*>(controlWidget(control));
}

int placeControl(int window, QWidget* control, int x, int y, int width, int height) {
  control->setGeometry(x, y, width, height);
  control->show();
  return registerControl(window, control);
}

// The mask tokens %yyyy %yy %mm %dd %hh %ii %ss (any case) become Qt's display format;
// every other character is quoted so that Qt shows it as it stands.
QString displayFormatOfMask(const QString& mask) {
  static const std::pair<const char*, const char*> tokens[] = {
      {"%yyyy", "yyyy"}, {"%yy", "yy"}, {"%mm", "MM"}, {"%dd", "dd"},
      {"%hh", "HH"},     {"%ii", "mm"}, {"%ss", "ss"}};
  QString format;
  QString literal;
  auto flushLiteral = [&] {
    if (literal.isEmpty()) return;
    format += QLatin1Char('\'') + QString(literal).replace(QLatin1String("'"), QLatin1String("''")) +
              QLatin1Char('\'');
    literal.clear();
  };
  for (qsizetype i = 0; i < mask.size();) {
    bool matched = false;
    for (const auto& [token, qt] : tokens) {
      const QLatin1String t(token);
      if (mask.mid(i, t.size()).compare(t, Qt::CaseInsensitive) == 0) {
        flushLiteral();
        format += QLatin1String(qt);
        i += t.size();
        matched = true;
        break;
      }
    }
    if (!matched) literal += mask.at(i++);
  }
  flushLiteral();
  return format;
}

// The oldest date a field can hold stands for "no date" and shows empty.
const QDateTime noDate(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC);

}  // namespace

int createLabel(int window, int x, int y, int width, int height, const QString& text) {
  QWidget* parent = windowWidget(window);
  if (!parent) return 0;
  return placeControl(window, new QLabel(text, parent), x, y, width, height);
}

int createLineField(int window, int x, int y, int width, int height, const QString& text,
                    bool readOnly) {
  QWidget* parent = windowWidget(window);
  if (!parent) return 0;
  auto* field = new QLineEdit(text, parent);
  field->setReadOnly(readOnly);
  field->setCursorPosition(0);
  return placeControl(window, field, x, y, width, height);
}

int createMultiLineField(int window, int x, int y, int width, int height, const QString& text) {
  QWidget* parent = windowWidget(window);
  if (!parent) return 0;
  return placeControl(window, new QPlainTextEdit(text, parent), x, y, width, height);
}

int createDateField(int window, int x, int y, int width, int height, const QString& mask,
                    qint32 value) {
  QWidget* parent = windowWidget(window);
  if (!parent) return 0;
  auto* field = new QDateTimeEdit(parent);
  field->setTimeSpec(Qt::UTC);
  field->setMinimumDateTime(noDate);
  field->setMaximumDateTime(QDateTime::fromSecsSinceEpoch(2147483647, Qt::UTC));
  field->setSpecialValueText(QStringLiteral(" "));
  field->setCalendarPopup(true);
  field->setDisplayFormat(displayFormatOfMask(mask));
  field->setDateTime(QDateTime::fromSecsSinceEpoch(qMax<qint32>(value, 0), Qt::UTC));
  return placeControl(window, field, x, y, width, height);
}

int createSlider(int window, int x, int y, int width, int height, int minimum, int maximum,
                 bool tickMarks) {
  QWidget* parent = windowWidget(window);
  if (!parent) return 0;
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setRange(minimum, maximum);
  slider->setTickPosition(tickMarks ? QSlider::TicksBelow : QSlider::NoTicks);
  return placeControl(window, slider, x, y, width, height);
}

int createButton(int window, int x, int y, int width, int height, const QString& text) {
  QWidget* parent = windowWidget(window);
  if (!parent) return 0;
  return placeControl(window, new QPushButton(text, parent), x, y, width, height);
}

void freeControl(int control) { delete controlWidget(control); }

bool isControl(int control) { return controlWidget(control) != nullptr; }

int controlWindow(int control) { return windowOfControl(control); }

QString controlNameOf(int control) { return controlName(control); }

int findControl(int window, const QString& name) {
  for (int control : controlsOfWindow(window)) {
    if (controlName(control) == name && controlWidget(control)) return control;
  }
  return 0;
}

void setControlGeometry(int control, int x, int y, int width, int height) {
  if (QWidget* widget = controlWidget(control)) widget->setGeometry(x, y, width, height);
}

int controlX(int control) {
  QWidget* widget = controlWidget(control);
  return widget ? widget->x() : 0;
}

int controlY(int control) {
  QWidget* widget = controlWidget(control);
  return widget ? widget->y() : 0;
}

int controlWidth(int control) {
  QWidget* widget = controlWidget(control);
  return widget ? widget->width() : 0;
}

int controlHeight(int control) {
  QWidget* widget = controlWidget(control);
  return widget ? widget->height() : 0;
}

void hideControl(int control) {
  if (QWidget* widget = controlWidget(control)) widget->hide();
}

void showControl(int control) {
  if (QWidget* widget = controlWidget(control)) widget->show();
}

bool isControlVisible(int control) {
  QWidget* widget = controlWidget(control);
  return widget && !widget->isHidden();
}

void setControlEnabled(int control, bool enabled) {
  if (QWidget* widget = controlWidget(control)) widget->setEnabled(enabled);
}

bool isControlEnabled(int control) {
  QWidget* widget = controlWidget(control);
  return widget && widget->isEnabled();
}

void focusControl(int control) {
  if (QWidget* widget = controlWidget(control)) widget->setFocus(Qt::OtherFocusReason);
}

namespace {

// What a multi-line field holds, read without the editor's plain-text conversion (which turns
// non-breaking blanks into blanks): its paragraphs joined by line feeds.
QString editorText(const QPlainTextEdit* editor) {
  QString text = editor->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  return text;
}

// A multi-line field keeps the value last put in and how it then looked: while it looks so
// still, the value is given back as it was put in (the editor itself turns carriage returns
// and some separators into its own line breaks, which would change a value nobody touched).
const char* const editorValueProperty = "varnothEditorValue";
const char* const editorShownProperty = "varnothEditorShown";

}  // namespace

QString controlText(int control) {
  QWidget* widget = controlWidget(control);
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* field = qobject_cast<QLineEdit*>(widget)) return field->text();
  if (auto* editor = qobject_cast<QPlainTextEdit*>(widget)) {
    const QString shown = editorText(editor);
    const QVariant value = editor->property(editorValueProperty);
    return value.isValid() && shown == editor->property(editorShownProperty).toString() ? value.toString() : shown;
  }
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
  if (auto* date = qobject_cast<QDateTimeEdit*>(widget)) return date->text();
  return QString();
}

void setControlText(int control, const QString& text) {
  QWidget* widget = controlWidget(control);
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(text);
  } else if (auto* field = qobject_cast<QLineEdit*>(widget)) {
    field->setText(text);
    field->setCursorPosition(0);
  } else if (auto* editor = qobject_cast<QPlainTextEdit*>(widget)) {
    editor->setPlainText(text);
    editor->setProperty(editorValueProperty, text);
    editor->setProperty(editorShownProperty, editorText(editor));
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(text);
  }
}

void setDateMask(int control, const QString& mask) {
  if (auto* date = controlAs<QDateTimeEdit>(control)) date->setDisplayFormat(displayFormatOfMask(mask));
}

qint32 dateValue(int control) {
  auto* date = controlAs<QDateTimeEdit>(control);
  if (!date) return 0;
  return static_cast<qint32>(date->dateTime().toTimeSpec(Qt::UTC).toSecsSinceEpoch());
}

void setDateValue(int control, qint32 value) {
  auto* date = controlAs<QDateTimeEdit>(control);
  if (!date) return;
  // The program's own changes are no events: only the user's hand is.
  const QSignalBlocker quiet(date);
  date->setDateTime(QDateTime::fromSecsSinceEpoch(qMax<qint32>(value, 0), Qt::UTC));
}

void setSliderRange(int control, int minimum, int maximum) {
  auto* slider = controlAs<QSlider>(control);
  if (!slider) return;
  const QSignalBlocker quiet(slider);
  slider->setRange(minimum, maximum);
}

int sliderMinimum(int control) {
  auto* slider = controlAs<QSlider>(control);
  return slider ? slider->minimum() : 0;
}

int sliderMaximum(int control) {
  auto* slider = controlAs<QSlider>(control);
  return slider ? slider->maximum() : 0;
}

int sliderPosition(int control) {
  auto* slider = controlAs<QSlider>(control);
  return slider ? slider->value() : 0;
}

void setSliderPosition(int control, int position) {
  auto* slider = controlAs<QSlider>(control);
  if (!slider) return;
  const QSignalBlocker quiet(slider);
  slider->setValue(position);
}

void setSliderTickMarks(int control, bool tickMarks) {
  if (auto* slider = controlAs<QSlider>(control))
    slider->setTickPosition(tickMarks ? QSlider::TicksBelow : QSlider::NoTicks);
}

}  // namespace platform
