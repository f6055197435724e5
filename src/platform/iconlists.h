// Icon lists in large-icon view, and the images their items show.
// A click anywhere in a list queues a control event; the selected index says where it hit.
#pragma once

#include <QString>

namespace platform {

struct Rgb {
  int red = 0;
  int green = 0;
  int blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Loads a picture file as an image for icon items; 0 when it cannot be read.
int loadImage(const QString& path);
void freeImage(int image);

// name: how scripts and the transcript call the list ("commandList", "objectList"); lists
// with a name are written to the transcript each time they are filled anew, and an item
// each time the program changes its text or colours.
int createIconList(int window, int x, int y, int width, int height, const QString& name = {});

void addIconItem(int list, const QString& text, int image = 0);  // image 0: no icon
void clearIconList(int list);
int iconItemCount(int list);
int selectedIconItem(int list);  // -1 when no item is selected
QString iconItemText(int list, int index);
int iconItemImage(int list, int index);  // the item's image number, 0 when it has none
void setIconItemText(int list, int index, const QString& text);
void setIconItemBackground(int list, int index, Rgb colour);
void setIconItemTextColour(int list, int index, Rgb colour);
bool iconItemBackground(int list, int index, Rgb& colour);  // false when none was set
bool iconItemTextColour(int list, int index, Rgb& colour);

// Switches to the plain list view and back, so the icons are arranged for the new size. The
// icon and cell size are chosen then, so that every item fits without scrolling where it can.
void rearrangeIcons(int list);
bool isIconView(int list);

// True when the item, its icon and its whole label, is seen without scrolling.
bool iconItemShownWhole(int list, int index);

// Gives the list the keyboard focus and selects the item (-1 selects none).
void focusIconItem(int list, int index);

}  // namespace platform
