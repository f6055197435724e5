// Fonts by number and the stack of default fonts for controls made afterwards.
// A family counts as present when the font system has it or a metric-compatible stand-in for it.
#include "platform/fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QWidget>
#include <map>
#include <vector>

#include "platform/widgetregistry.h"

namespace platform {

namespace {

std::map<int, QFont>& fonts() {
  static std::map<int, QFont> f;
  return f;
}

std::vector<QFont>& defaultStack() {
  static std::vector<QFont> s;
  return s;
}

// The font system answers a family it lacks with its stand-in (fontconfig's "Liberation
// Sans" for "Arial"), or else with its general fallback, which means the family is missing.
bool isFamilyPresent(const QString& family) {
  if (QFontDatabase::hasFamily(family)) return true;
  const QString fallback = QFontInfo(QFont(QStringLiteral("VarnothM no such family"))).family();
  return QFontInfo(QFont(family)).family() != fallback;
}

}  // namespace

int loadFont(const QString& family, int pointSize) {
  if (family.isEmpty() || pointSize <= 0 || !isFamilyPresent(family)) return 0;
  const int number = nextNumber();
  fonts()[number] = QFont(family, pointSize);
  return number;
}

void freeFont(int font) { fonts().erase(font); }

void setDefaultFont(int font) {
  auto found = fonts().find(font);
  if (found != fonts().end()) defaultStack().push_back(found->second);
}

void restoreDefaultFont() {
  if (!defaultStack().empty()) defaultStack().pop_back();
}

const QFont* defaultControlFont() {
  return defaultStack().empty() ? nullptr : &defaultStack().back();
}

void setControlFont(int control, int font) {
  QWidget* widget = controlWidget(control);
  auto found = fonts().find(font);
  if (widget && found != fonts().end()) widget->setFont(found->second);
}

}  // namespace platform
