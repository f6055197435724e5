// Fonts by number: load by family name and size, and the default font for new controls.
// The defaults stack, so a dialog can set its font and put the previous one back.
#pragma once

#include <QString>

namespace platform {

// 0 when the system has no font of that family (nor a metric-compatible stand-in).
int loadFont(const QString& family, int pointSize);
void freeFont(int font);

// Controls made from now on use the font; restoreDefaultFont puts the previous one back.
void setDefaultFont(int font);
void restoreDefaultFont();

void setControlFont(int control, int font);

}  // namespace platform
