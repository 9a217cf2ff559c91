// The one widget application a test process needs before it makes any window.
#pragma once

#include <QApplication>

#include <string>

namespace qlwtest {
// Makes the application, named `name`, unless there is one already; true when it was made now.
inline bool EnsureWidgetApp(const char* name) {
  if (QApplication::instance()) return false;
  static int argc = 1;
  static std::string programName;
  programName = name;
  static char* argv[] = {programName.data(), nullptr};
  new QApplication(argc, argv);
  return true;
}
}  // namespace qlwtest
