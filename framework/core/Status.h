// Per-thread progress frames (CStatus, CProgress<T>), the status message to the main window, and
// the status manager thread with its progress window (CLXStatusMgr, CLXStatusWnd in StatusMgr.h).
#pragma once
#include "LXException.h"
#include "LXMutex.h"
#include "Win.h"

#include <cstdarg>
#include <deque>

class CLXStatusMgr;

// A scoped progress frame on the calling thread's stack; the top frame is what is shown.
class CStatus {
 public:
  struct Frame {
    CString text;
    double value = 0;
    double min = 0;
    double max = 100;
  };
  struct ThreadRecord {
    std::deque<Frame> frames;  // back is the top frame
    UINT suspendCount = 0;     // nothing is shown while not 0
  };

  template <typename... Args>
  explicit CStatus(LPCWSTR format, const Args&... args) {
    Push(format, 0, 0, 100, args...);
  }
  template <typename... Args>
  explicit CStatus(UINT stringId, const Args&... args) {
    PushFromId(stringId, 0, 0, 100, args...);
  }
  CStatus(const CStatus&) = delete;
  CStatus& operator=(const CStatus&) = delete;
  virtual ~CStatus();

  // args is null when no format arguments were given (the text is then taken as it stands).
  static void PushFrame(LPCWSTR format, double value, double min, double max, va_list* args);
  static void PushFrameFromId(UINT stringId, double value, double min, double max, va_list* args);
  template <typename... Args>
  static void SetText(UINT stringId, const Args&... args);
  static void SetTextV(LPCWSTR format, va_list* args);
  // Orders the top frame's min and max and clamps its value into them.
  static void ClampFrame();
  static void Update();
  // The calling thread's record or null; only the calling thread changes its own record.
  static ThreadRecord* GetThreadFrames();
  static bool EnableForThread();
  static void DisableForThread();
  static DWORD GetManagerThreadId();
  static CLXStatusMgr* GetManager();
  // Fraction of a frame: 0 when value equals min, else 1 when max equals min, else clamped to 0..1.
  static double FrameFraction(const Frame& frame);

  // The one-line status message of the main window ("StatusSetSubtitle").
  template <typename... Args>
  static void SetMessage(LPCWSTR format, const Args&... args);
  static void SetMessageV(LPCWSTR format, va_list* args);
  static void ClearMessage();
  static void SendMessageToFrame();
  static CString GetMessageText();

  static void PushFrameVarargs(LPCWSTR format, double value, double min, double max, ...);
  static void PushFrameFromIdVarargs(UINT stringId, double value, double min, double max, ...);
  static void SetTextFromIdV(UINT stringId, va_list* args);
  static void SetTextFromIdVarargs(UINT stringId, ...);
  static void SetMessageVarargs(LPCWSTR format, ...);
  static void ReportVarargs(LPCWSTR format, double value, ...);
  static void ReportV(LPCWSTR format, double value, va_list* args);

 protected:
  CStatus() = default;
  template <typename... Args>
  static void Push(LPCWSTR format, double value, double min, double max, const Args&... args) {
    if constexpr (sizeof...(Args) == 0)
      PushFrame(format, value, min, max, nullptr);
    else
      PushFrameVarargs(format, value, min, max, LXExceptionDetail::Arg(args)...);
  }
  template <typename... Args>
  static void PushFromId(UINT stringId, double value, double min, double max, const Args&... args) {
    if constexpr (sizeof...(Args) == 0)
      PushFrameFromId(stringId, value, min, max, nullptr);
    else
      PushFrameFromIdVarargs(stringId, value, min, max, LXExceptionDetail::Arg(args)...);
  }
};

// A progress frame that counts from min to max.
template <typename T>
class CProgress : public CStatus {
 public:
  template <typename... Args>
  CProgress(UINT stringId, T min, T max, const Args&... args) {
    PushFromId(stringId, static_cast<double>(min), static_cast<double>(min), static_cast<double>(max), args...);
  }
  // A frame with the formatted text, at value between min and max.
  template <typename... Args>
  CProgress(LPCWSTR format, T value, T min, T max, const Args&... args) {
    Push(format, static_cast<double>(value), static_cast<double>(min), static_cast<double>(max), args...);
  }
  // Sets the top frame's text and value.
  template <typename... Args>
  void Report(LPCWSTR format, T value, const Args&... args) {
    if constexpr (sizeof...(Args) == 0)
      ReportV(format, static_cast<double>(value), nullptr);
    else
      ReportVarargs(format, static_cast<double>(value), LXExceptionDetail::Arg(args)...);
  }
  // Report with a string-table text; nothing when the table has no such string.
  void ReportFromId(UINT stringId, T value) {
    CString text;
    if (text.LoadString(stringId)) ReportV(text, static_cast<double>(value), nullptr);
  }
};

// Lifts the calling thread's status suspension for its scope (the alert uses it).
class CStatusEnabler {
 public:
  CStatusEnabler();
  CStatusEnabler(const CStatusEnabler&) = delete;
  CStatusEnabler& operator=(const CStatusEnabler&) = delete;
  virtual ~CStatusEnabler();

 private:
  UINT m_savedCount = 0;
};

// Suspends showing the calling thread's frames for its scope.
class CStatusDisabler {
 public:
  CStatusDisabler();
  CStatusDisabler(const CStatusDisabler&) = delete;
  CStatusDisabler& operator=(const CStatusDisabler&) = delete;
  virtual ~CStatusDisabler();
};

template <typename... Args>
void CStatus::SetText(UINT stringId, const Args&... args) {
  if constexpr (sizeof...(Args) == 0)
    SetTextFromIdV(stringId, nullptr);
  else
    SetTextFromIdVarargs(stringId, LXExceptionDetail::Arg(args)...);
}

template <typename... Args>
void CStatus::SetMessage(LPCWSTR format, const Args&... args) {
  if constexpr (sizeof...(Args) == 0)
    SetMessageV(format, nullptr);
  else
    SetMessageVarargs(format, LXExceptionDetail::Arg(args)...);
}
