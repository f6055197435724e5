// The status bar of a window: fields that share its width, each a text or a progress bar.
// It lies at the bottom inside the window's client area.
#pragma once

#include <QString>

namespace platform {

void createStatusBar(int window);
bool hasStatusBar(int window);
int statusBarHeight(int window);  // 0 without a status bar

// Adds a field of automatic width; returns its index, counted from 0.
int addStatusField(int window);

// Shows a text in a field, drawn raised or plain.
void setStatusFieldText(int window, int field, const QString& text, bool raised);
QString statusFieldText(int window, int field);

// Makes the field a raised progress bar with the range 0 to 99 and sets its value.
void setStatusFieldProgress(int window, int field, int value);
int statusFieldProgress(int window, int field);  // -1 when the field holds no progress bar

}  // namespace platform
