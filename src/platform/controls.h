// Controls in a window's client area by number: label, fields, date field, slider, button.
// Every control can be named, moved, resized, hidden, focused and freed through these functions.
#pragma once

#include <QString>
#include <QtGlobal>

namespace platform {

int createLabel(int window, int x, int y, int width, int height, const QString& text);
int createLineField(int window, int x, int y, int width, int height, const QString& text,
                    bool readOnly = false);
int createMultiLineField(int window, int x, int y, int width, int height, const QString& text);
// A date field showing its value through a mask such as "%yyyy-%mm-%dd %hh:%ii". A value of
// 0 or less shows as empty and reads back as 0 until the user picks a date.
int createDateField(int window, int x, int y, int width, int height, const QString& mask,
                    qint32 value);
// A horizontal slider; its position changes by the user's hand queue Change events.
int createSlider(int window, int x, int y, int width, int height, int minimum, int maximum,
                 bool tickMarks = false);
// A push button; a click queues a LeftClick event of the control.
int createButton(int window, int x, int y, int width, int height, const QString& text);

void freeControl(int control);
bool isControl(int control);
int controlWindow(int control);

// Names let scripts and dialogs find a control: "doOK", "_KW_60", "commandList".
void setControlName(int control, const QString& name);
QString controlNameOf(int control);
int findControl(int window, const QString& name);  // 0 when the window has no such control

void setControlGeometry(int control, int x, int y, int width, int height);
int controlX(int control);
int controlY(int control);
int controlWidth(int control);
int controlHeight(int control);
void hideControl(int control);
void showControl(int control);
bool isControlVisible(int control);
void setControlEnabled(int control, bool enabled);
bool isControlEnabled(int control);
void focusControl(int control);

// The text of a label, field or button; for a date field the text it shows.
QString controlText(int control);
void setControlText(int control, const QString& text);

void setDateMask(int control, const QString& mask);
qint32 dateValue(int control);
void setDateValue(int control, qint32 value);

void setSliderRange(int control, int minimum, int maximum);
int sliderMinimum(int control);
int sliderMaximum(int control);
int sliderPosition(int control);
void setSliderPosition(int control, int position);  // queues no event
void setSliderTickMarks(int control, bool tickMarks);

}  // namespace platform
