// The queue of the program's window events and the wait that fills and empties it.
// The scripted user gets its turn here, whenever the queue is empty and the toolkit is idle.
#include "platform/events.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <deque>

#include "common/programend.h"
#include "platform/recorder.h"
#include "platform/widgetregistry.h"

namespace platform {

namespace {

std::deque<WindowEvent>& queue() {
  static std::deque<WindowEvent> q;
  return q;
}

// Size and move arrive in bursts while the user drags; one queued is enough.
bool coalesces(const WindowEvent& event) {
  if (event.kind != EventKind::Size && event.kind != EventKind::Move) return false;
  return std::any_of(queue().begin(), queue().end(), [&](const WindowEvent& queued) {
    return queued.window == event.window && queued.kind == event.kind;
  });
}

WindowEvent takeFirst() {
  WindowEvent event = queue().front();
  queue().pop_front();
  return event;
}

}  // namespace

void queueWindowEvent(const WindowEvent& event) {
  if (event.window == 0 || coalesces(event)) return;
  queue().push_back(event);
}

void dropWindowEvents(int window) {
  auto& q = queue();
  q.erase(std::remove_if(q.begin(), q.end(),
                         [window](const WindowEvent& e) { return e.window == window; }),
          q.end());
}

void clearWindowEvents() { queue().clear(); }

WindowEvent waitWindowEvent() {
  recordFilledLists();
  recordShownDialogs();
  for (;;) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (!queue().empty()) return takeFirst();
    if (isScriptPlaying()) {
      if (playNextScriptAction()) continue;
      recordScriptExhausted();
      common::endProgram(0);
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!queue().empty()) return takeFirst();
  }
}

}  // namespace platform
