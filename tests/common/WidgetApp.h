// The one widget application a test process needs before it makes any window.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include <string>

namespace qlwtest {
// Makes the application, named `name`, unless there is one already; true when it was made now.
// Every test of a process makes it here: a lesser application made first by one test would leave
// the tests after it that need widgets none, so that what passes depends on the order.
inline bool EnsureWidgetApp(const char* name) {
  if (QCoreApplication* existing = QCoreApplication::instance()) {
    if (!qobject_cast<QApplication*>(existing)) ADD_FAILURE() << "the process's application is not a widget application";
    return false;
  }
  static int argc = 1;
  static std::string programName;
  programName = name;
  static char* argv[] = {programName.data(), nullptr};
  new QApplication(argc, argv);
  return true;
}
}  // namespace qlwtest
