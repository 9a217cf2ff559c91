// Test seam: records the sounds asked for while in scope (MessageBeep's event sounds and played
// waves), so tests can check what would have sounded without a sound device.
#pragma once
#include "Sound.h"

#include <mutex>
#include <vector>

namespace qlw::testing {
class SoundRecorder {
 public:
  // answer: what each sound returns, 0 as played or the sound system's negative error.
  explicit SoundRecorder(int answer = 0) : m_answer(answer) {
    qlw::SetSoundRecorder([this](const qlw::SoundRecord& record) {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_records.push_back(record);
      return m_answer;
    });
  }
  ~SoundRecorder() { qlw::SetSoundRecorder(nullptr); }
  SoundRecorder(const SoundRecorder&) = delete;
  SoundRecorder& operator=(const SoundRecorder&) = delete;

  std::vector<qlw::SoundRecord> Records() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records;
  }
  // The event ids of the beeps, in order.
  std::vector<std::string> Beeps() const {
    std::vector<std::string> ids;
    for (const auto& r : Records())
      if (!r.eventId.empty()) ids.push_back(r.eventId);
    return ids;
  }

 private:
  int m_answer;
  mutable std::mutex m_mutex;
  std::vector<qlw::SoundRecord> m_records;
};
}  // namespace qlw::testing
