// A test clock for GetTickCount: time moves only when the test advances it.
#pragma once
#include <atomic>

#include "WinTypes.h"

namespace qlwtest {
class FakeClock {
 public:
  explicit FakeClock(ULONGLONG start = 1000) {
    Now() = start;
    qlw::SetTickSource([]() -> ULONGLONG { return Now().load(); });
  }
  ~FakeClock() { qlw::SetTickSource(nullptr); }
  FakeClock(const FakeClock&) = delete;
  FakeClock& operator=(const FakeClock&) = delete;
  void Advance(ULONGLONG milliseconds) { Now() += milliseconds; }

 private:
  static std::atomic<ULONGLONG>& Now() {
    static std::atomic<ULONGLONG> now{0};
    return now;
  }
};
}  // namespace qlwtest
