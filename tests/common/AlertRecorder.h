// Records the alerts shown while it lives, answering each with its first button. QLW_QUIET, which
// keeps alerts from being presented at all, is lifted meanwhile.
#pragma once
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "LXAlert.h"

namespace qlwtest {
// Puts a presenter in place while it lives, with QLW_QUIET lifted so that alerts reach it.
class ScopedPresenter {
 public:
  explicit ScopedPresenter(CLXAlert::Presenter presenter) : m_previous(CLXAlert::SetPresenter(presenter)) {
    if (const char* quiet = std::getenv("QLW_QUIET")) m_quiet = quiet;
    unsetenv("QLW_QUIET");
  }
  ~ScopedPresenter() {
    CLXAlert::SetPresenter(m_previous);
    if (!m_quiet.empty()) setenv("QLW_QUIET", m_quiet.c_str(), 1);
  }
  ScopedPresenter(const ScopedPresenter&) = delete;
  ScopedPresenter& operator=(const ScopedPresenter&) = delete;

 private:
  CLXAlert::Presenter m_previous;
  std::string m_quiet;
};

class AlertRecorder {
 public:
  // One alert's message (its first line) and explanation.
  struct Shown {
    std::wstring message, explanation;
  };
  AlertRecorder() : m_presenter(&Record) { Seen().clear(); }
  AlertRecorder(const AlertRecorder&) = delete;
  AlertRecorder& operator=(const AlertRecorder&) = delete;
  // Static, for waits that cannot hold the recorder.
  static std::vector<Shown>& Seen() {
    static std::vector<Shown> seen;
    return seen;
  }
  // The explanations of the alerts since the last call, in order.
  std::vector<std::wstring> TakeExplanations() {
    std::vector<std::wstring> explanations;
    for (const Shown& shown : std::exchange(Seen(), {})) explanations.push_back(shown.explanation);
    return explanations;
  }
  static std::vector<std::wstring> Messages() {
    std::vector<std::wstring> messages;
    for (const Shown& shown : Seen()) messages.push_back(shown.message);
    return messages;
  }

 private:
  static UINT Record(const CLXAlert& alert) {
    Seen().push_back(Shown{alert.GetPart(1).GetString(), alert.GetPart(2).GetString()});
    return 1;
  }
  ScopedPresenter m_presenter;
};
}  // namespace qlwtest
