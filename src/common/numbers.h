// How the program writes a floating-point value into statements and lists: one form for the
// copies, the assistant's lists and the table editor.
#pragma once

#include <QString>

namespace common {

// Fixed point with ten decimals, then without trailing zeros and point; never "-0".
QString decimalText(double value);

}  // namespace common
