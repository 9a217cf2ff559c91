// Threads with a message queue: start-up hand-shake and bounded join.
#include "LXQueueThread.h"

#include <chrono>
#include <future>

DWORD StartQueueThread(std::thread& thread, std::function<void()> run) {
  std::promise<DWORD> started;
  std::future<DWORD> threadId = started.get_future();
  thread = std::thread([run = std::move(run), started = std::move(started)]() mutable {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    started.set_value(GetCurrentThreadId());
    run();
  });
  return threadId.get();
}

bool JoinThreadWithin(std::thread& thread, DWORD timeout) {
  std::promise<void> ended;
  std::future<void> endedFuture = ended.get_future();
  // The promise travels with the waiter: it may outlive this call when the thread is stuck.
  std::thread waiter([&thread, ended = std::move(ended)]() mutable {
    thread.join();
    ended.set_value();
  });
  const bool finished = endedFuture.wait_for(std::chrono::milliseconds(timeout)) == std::future_status::ready;
  if (finished)
    waiter.join();
  else
    waiter.detach();
  return finished;
}
