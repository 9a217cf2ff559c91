#include "WinTypes.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

#include <pthread.h>
#include <unistd.h>

namespace {
std::atomic<qlw::TickSource> g_tickSource{nullptr};

ULONGLONG MonotonicMilliseconds() {
  using namespace std::chrono;
  return static_cast<ULONGLONG>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
void FillSystemTime(LPSYSTEMTIME out, bool local) {
  if (!out) return;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm parts{};
  if (local) localtime_r(&now.tv_sec, &parts);
  else gmtime_r(&now.tv_sec, &parts);
  *out = SYSTEMTIME{static_cast<WORD>(parts.tm_year + 1900), static_cast<WORD>(parts.tm_mon + 1),
                    static_cast<WORD>(parts.tm_wday),         static_cast<WORD>(parts.tm_mday),
                    static_cast<WORD>(parts.tm_hour),         static_cast<WORD>(parts.tm_min),
                    static_cast<WORD>(parts.tm_sec),          static_cast<WORD>(now.tv_nsec / 1000000)};
}
}  // namespace

// Every message to a window asks whose window it is, so the id is kept rather than asked of the
// kernel thousands of times at start; a forked child asks again.
DWORD GetCurrentProcessId() {
  static std::atomic<DWORD> cached{0};
  static const bool forgetOnFork = [] {
    return pthread_atfork(nullptr, nullptr, [] { cached.store(0, std::memory_order_relaxed); }) == 0;
  }();
  DWORD id = cached.load(std::memory_order_relaxed);
  if (id == 0) {
    id = static_cast<DWORD>(getpid());
    if (forgetOnFork) cached.store(id, std::memory_order_relaxed);
  }
  return id;
}

void GetSystemTime(LPSYSTEMTIME time) { FillSystemTime(time, false); }
void GetLocalTime(LPSYSTEMTIME time) { FillSystemTime(time, true); }

ULONGLONG GetTickCount64() {
  qlw::TickSource source = g_tickSource.load();
  return source ? source() : MonotonicMilliseconds();
}

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

namespace qlw {
void SetTickSource(TickSource source) { g_tickSource.store(source); }
}  // namespace qlw
