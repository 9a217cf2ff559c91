#include "WinTypes.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {
std::atomic<qlw::TickSource> g_tickSource{nullptr};
std::atomic<unsigned> g_beeps{0};

ULONGLONG MonotonicMilliseconds() {
  using namespace std::chrono;
  return static_cast<ULONGLONG>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
}  // namespace

ULONGLONG GetTickCount64() {
  qlw::TickSource source = g_tickSource.load();
  return source ? source() : MonotonicMilliseconds();
}

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

BOOL MessageBeep(UINT) {
  ++g_beeps;
  return TRUE;
}

namespace qlw {
void SetTickSource(TickSource source) { g_tickSource.store(source); }
unsigned MessageBeepCount() { return g_beeps.load(); }
}  // namespace qlw
