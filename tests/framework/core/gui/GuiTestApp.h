// One QApplication for the whole test process, made on first use on the main thread, and a bounded
// pump of its event loop.
#pragma once
#include "WidgetApp.h"

#include <chrono>
#include <functional>
#include <thread>

namespace qlwtest {
inline void EnsureGuiApp() { EnsureWidgetApp("test_coregui"); }

// Runs the user-interface thread's event loop until the condition holds (real time, bounded).
inline bool PumpUntil(const std::function<bool()>& condition) {
  for (int i = 0; i < 600; ++i) {
    QCoreApplication::processEvents();
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}
}  // namespace qlwtest
