// The status bar over QStatusBar, kept at the bottom of the window by the event wiring.
// Text fields are framed labels; the progress field is a progress bar in a raised frame.
#include "platform/statusbar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QWidget>

#include "platform/recorder.h"
#include "platform/widgetregistry.h"

namespace platform {

namespace {

QStatusBar* statusBarOf(int window) {
  QWidget* widget = windowWidget(window);
  return widget ? widget->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

// Each field is a QFrame holding either a label or a progress bar.
QList<QFrame*> fieldsOf(QStatusBar* bar) {
  return bar->findChildren<QFrame*>(QStringLiteral("statusField"), Qt::FindDirectChildrenOnly);
}

QFrame* field(int window, int index) {
  QStatusBar* bar = statusBarOf(window);
  if (!bar) return nullptr;
  const QList<QFrame*> fields = fieldsOf(bar);
  return index >= 0 && index < fields.size() ? fields[index] : nullptr;
}

template <class Content>
Content* fieldContent(QFrame* frame) {
  return frame ? frame->findChild<Content*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void replaceContent(QFrame* frame, QWidget* content) {
  QLayoutItem* old;
  while ((old = frame->layout()->takeAt(0)) != nullptr) {
    delete old->widget();
    delete old;
  }
  frame->layout()->addWidget(content);
}

// A transfer runs to its end without returning to the event loop, so a field would show its
// new text or progress only afterwards. It is painted at once instead; painting processes no
// input, so no click can slip into the running command.
void paintNow(QFrame* frame) {
  if (frame->isVisible()) frame->repaint();
}

}  // namespace

void createStatusBar(int window) {
  QWidget* widget = windowWidget(window);
  if (!widget || statusBarOf(window)) return;
  auto* bar = new QStatusBar(widget);
  bar->setSizeGripEnabled(false);
  placeStatusBar(widget);
  bar->show();
}

bool hasStatusBar(int window) { return statusBarOf(window) != nullptr; }

int statusBarHeight(int window) {
  QStatusBar* bar = statusBarOf(window);
  return bar ? bar->height() : 0;
}

int addStatusField(int window) {
  QStatusBar* bar = statusBarOf(window);
  if (!bar) return -1;
  auto* frame = new QFrame(bar);
  frame->setObjectName(QStringLiteral("statusField"));
  auto* layout = new QHBoxLayout(frame);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->addWidget(new QLabel(frame));
  bar->addPermanentWidget(frame, 1);
  placeStatusBar(bar->parentWidget());
  return static_cast<int>(fieldsOf(bar).size()) - 1;
}

void setStatusFieldText(int window, int index, const QString& text, bool raised) {
  QFrame* frame = field(window, index);
  if (!frame) return;
  auto* label = fieldContent<QLabel>(frame);
  if (!label) {
    label = new QLabel(frame);
    replaceContent(frame, label);
  }
  const QString previous = label->text();
  const int style = raised ? QFrame::Panel | QFrame::Raised : QFrame::NoFrame;
  const bool changed = previous != text || frame->frameStyle() != style;
  frame->setFrameStyle(style);
  label->setText(text);
  if (changed) paintNow(frame);
  if (index == 0) recordStatus(previous, text);
}

QString statusFieldText(int window, int index) {
  auto* label = fieldContent<QLabel>(field(window, index));
  return label ? label->text() : QString();
}

void setStatusFieldProgress(int window, int index, int value) {
  QFrame* frame = field(window, index);
  if (!frame) return;
  auto* progress = fieldContent<QProgressBar>(frame);
  if (!progress) {
    progress = new QProgressBar(frame);
    progress->setRange(0, 99);
    progress->setTextVisible(false);
    replaceContent(frame, progress);
  }
  const int percent = qBound(0, value, 99);
  const int style = QFrame::Panel | QFrame::Raised;
  const bool changed = progress->value() != percent || frame->frameStyle() != style;
  frame->setFrameStyle(style);
  progress->setValue(percent);
  if (changed) paintNow(frame);
}

int statusFieldProgress(int window, int index) {
  auto* progress = fieldContent<QProgressBar>(field(window, index));
  return progress ? progress->value() : -1;
}

}  // namespace platform
