// Test seam: counts the files synced to the disk while in scope, so tests can check how often a
// writer waits for the disk.
#pragma once
#include "Files.h"

#include <atomic>

namespace qlw::testing {
class SyncRecorder {
 public:
  SyncRecorder() {
    qlw::SetSyncRecorder([this](HANDLE) { ++m_count; });
  }
  ~SyncRecorder() { qlw::SetSyncRecorder(nullptr); }
  SyncRecorder(const SyncRecorder&) = delete;
  SyncRecorder& operator=(const SyncRecorder&) = delete;

  int Count() const { return m_count; }

 private:
  std::atomic<int> m_count{0};
};
}  // namespace qlw::testing
