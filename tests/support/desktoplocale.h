// The number settings of a desktop inside a test: the C library's locale as Qt sets it at
// start from LANG (setlocale(LC_ALL, "")), put back when the guard goes. Under de_DE.UTF-8
// the C library reads and writes numbers with a decimal comma.
#pragma once

#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace testsupport {

// The locales a number is read and written under, the desktop's as the test run has it
// first: each must give the same result.
inline const char* const desktopLocales[] = {"C", "de_DE.UTF-8"};

class DesktopLocale {
 public:
  explicit DesktopLocale(const char* name) : name_(name), previous_(std::setlocale(LC_ALL, nullptr)) {
    std::setlocale(LC_ALL, name);
  }
  ~DesktopLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
  DesktopLocale(const DesktopLocale&) = delete;
  DesktopLocale& operator=(const DesktopLocale&) = delete;

  // The locale is there and reads numbers as it should: with a decimal comma under German
  // settings (1,5 is one and a half to the C library then, 1.5 is one).
  ::testing::AssertionResult inForce() const {
    const bool comma = name_ != "C";
    const double half = std::strtod(comma ? "1,5" : "1.5", nullptr);
    if (half == 1.5) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the locale " << name_ << " is not in force (built with locale-gen?): "
                                         << (comma ? "1,5" : "1.5") << " reads as " << half;
  }

 private:
  std::string name_;
  std::string previous_;
};

}  // namespace testsupport
