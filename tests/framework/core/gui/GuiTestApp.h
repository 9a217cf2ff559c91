// One QApplication for the whole test process, made on first use on the main thread, and a bounded
// pump of its event loop.
#pragma once
#include "WidgetApp.h"

#include <chrono>
#include <functional>
#include <thread>

namespace qlwtest {
inline void EnsureGuiApp() { EnsureWidgetApp("test_coregui"); }

// Runs the user-interface thread's event loop until the condition holds; the bound (a minute of
// real time) only ends a test that would hang.
inline bool PumpUntil(const std::function<bool()>& condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (std::chrono::steady_clock::now() < end) {
    QCoreApplication::processEvents();
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}
}  // namespace qlwtest
