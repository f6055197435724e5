// What every toolkit test starts from: no window, no queued event, no script; and a helper
// that runs the program side of a test until the scripted user has nothing more to do.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "common/programend.h"
#include "platform/events.h"
#include "platform/scripteduser.h"
#include "platform/widgetregistry.h"
#include "platform/windows.h"

class ToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override { reset(); }

  static void reset() {
    platform::stopScript();
    for (int window : platform::liveWindows()) platform::closeWindow(window);
    platform::clearWindowEvents();
  }

  // Plays the script against the open windows and hands every event to the program side
  // until the script runs out; returns the events in the order they came.
  static std::vector<platform::WindowEvent> play(
      const QString& script, const std::function<void(const platform::WindowEvent&)>& program = {}) {
    platform::clearWindowEvents();
    platform::startScript(script);
    return runProgram(program);
  }

  // Hands every event to the program side until the running script is exhausted.
  static std::vector<platform::WindowEvent> runProgram(
      const std::function<void(const platform::WindowEvent&)>& program = {}) {
    std::vector<platform::WindowEvent> events;
    try {
      for (;;) {
        events.push_back(platform::waitWindowEvent());
        if (program) program(events.back());
      }
    } catch (const common::ProgramEnd&) {
    }
    return events;
  }
};
