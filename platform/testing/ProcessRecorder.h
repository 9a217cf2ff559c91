// Test seam: records the launches of CreateProcess and ShellExecuteEx while in scope, so tests
// can check what would have been started without starting it.
#pragma once
#include "Process.h"

#include <mutex>
#include <vector>

namespace qlw::testing {
class ProcessRecorder {
 public:
  explicit ProcessRecorder(bool launchSucceeds = true) : m_succeeds(launchSucceeds) {
    qlw::SetLaunchRecorder([this](const qlw::LaunchRecord& record) {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_records.push_back(record);
      return m_succeeds;
    });
  }
  ~ProcessRecorder() { qlw::SetLaunchRecorder(nullptr); }
  ProcessRecorder(const ProcessRecorder&) = delete;
  ProcessRecorder& operator=(const ProcessRecorder&) = delete;

  std::vector<qlw::LaunchRecord> Records() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records;
  }

 private:
  bool m_succeeds;
  mutable std::mutex m_mutex;
  std::vector<qlw::LaunchRecord> m_records;
};
}  // namespace qlw::testing
