// Per-thread progress frames and the status message of the main window.
#include "Status.h"

#include "LXMessage.h"
#include "StatusMgr.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>
#include <unistd.h>

namespace {
struct StatusState {
  CLXThreadMutex lock;
  std::map<DWORD, CStatus::ThreadRecord> threads;
  CLXStatusMgr* manager = nullptr;
  CLXThreadMutex messageLock;
  CString message;
};

StatusState& State() {
  static StatusState state;
  return state;
}

CString FormatText(LPCWSTR format, va_list* args) {
  if (format == nullptr) return CString();
  if (args == nullptr) return CString(format);
  CString text;
  va_list copy;
  va_copy(copy, *args);
  text.FormatV(format, copy);
  va_end(copy);
  return text;
}

CString LoadText(UINT stringId) {
  CString text;
  text.LoadString(stringId);
  return text;
}

CStatus::ThreadRecord* RecordOfCaller() {
  auto& threads = State().threads;
  auto it = threads.find(GetCurrentThreadId());
  return it == threads.end() ? nullptr : &it->second;
}

// Tests that look at the progress window make the work they start last as long as they look: a start
// for real-input tests (QLW_CONTROL_MAP set) keeps a thread's last frame open while the file that
// QLW_HOLD_PROGRESS names exists. A start without the control map never waits here.
void HoldLastFrameForTest() {
  const char* map = std::getenv("QLW_CONTROL_MAP");
  const char* hold = std::getenv("QLW_HOLD_PROGRESS");
  if (!map || !*map || !hold || !*hold) return;
  while (access(hold, F_OK) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void ClampTopFrame(CStatus::ThreadRecord& record) {
  if (record.frames.empty()) return;
  CStatus::Frame& frame = record.frames.back();
  if (frame.min > frame.max) std::swap(frame.min, frame.max);
  frame.value = std::clamp(frame.value, frame.min, frame.max);
}
}  // namespace

CStatus::~CStatus() {
  bool last = false;
  {
    CLXMutexLock lock(State().lock);
    ThreadRecord* record = RecordOfCaller();
    last = record != nullptr && record->frames.size() == 1;
  }
  if (last) HoldLastFrameForTest();
  {
    CLXMutexLock lock(State().lock);
    ThreadRecord* record = RecordOfCaller();
    if (record == nullptr || record->frames.empty()) return;
    record->frames.pop_back();
  }
  Update();
}

void CStatus::PushFrameVarargs(LPCWSTR format, double value, double min, double max, ...) {
  va_list args;
  va_start(args, max);
  PushFrame(format, value, min, max, &args);
  va_end(args);
}

void CStatus::PushFrameFromIdVarargs(UINT stringId, double value, double min, double max, ...) {
  va_list args;
  va_start(args, max);
  PushFrameFromId(stringId, value, min, max, &args);
  va_end(args);
}

void CStatus::PushFrame(LPCWSTR format, double value, double min, double max, va_list* args) {
  {
    CLXMutexLock lock(State().lock);
    ThreadRecord* record = RecordOfCaller();
    if (record == nullptr) return;
    record->frames.push_back(Frame{FormatText(format, args), value, min, max});
  }
  Update();
}

void CStatus::PushFrameFromId(UINT stringId, double value, double min, double max, va_list* args) {
  CString format = LoadText(stringId);
  PushFrame(format, value, min, max, args);
}

void CStatus::SetTextFromIdVarargs(UINT stringId, ...) {
  va_list args;
  va_start(args, stringId);
  SetTextFromIdV(stringId, &args);
  va_end(args);
}

void CStatus::SetTextFromIdV(UINT stringId, va_list* args) {
  CString format = LoadText(stringId);
  SetTextV(format, args);
}

void CStatus::SetTextV(LPCWSTR format, va_list* args) {
  {
    CLXMutexLock lock(State().lock);
    ThreadRecord* record = RecordOfCaller();
    if (record == nullptr || record->frames.empty()) return;
    record->frames.back().text = FormatText(format, args);
  }
  Update();
}

void CStatus::ReportVarargs(LPCWSTR format, double value, ...) {
  va_list args;
  va_start(args, value);
  ReportV(format, value, &args);
  va_end(args);
}

void CStatus::ReportV(LPCWSTR format, double value, va_list* args) {
  {
    CLXMutexLock lock(State().lock);
    ThreadRecord* record = RecordOfCaller();
    if (record == nullptr || record->frames.empty()) return;
    Frame& top = record->frames.back();
    top.text = FormatText(format, args);
    top.value = value;
    ClampTopFrame(*record);
  }
  Update();
}

void CStatus::ClampFrame() {
  CLXMutexLock lock(State().lock);
  if (ThreadRecord* record = RecordOfCaller()) ClampTopFrame(*record);
}

double CStatus::FrameFraction(const Frame& frame) {
  if (frame.value == frame.min) return 0;
  if (frame.max == frame.min) return 1;
  return std::clamp((frame.value - frame.min) / (frame.max - frame.min), 0.0, 1.0);
}

void CStatus::Update() {
  CLXMutexLock lock(State().lock);
  ThreadRecord* record = RecordOfCaller();
  if (record == nullptr || record->suspendCount != 0) return;
  CLXStatusMgr* manager = State().manager;
  if (manager == nullptr) return;
  if (!record->frames.empty()) {
    ClampTopFrame(*record);
    const Frame& top = record->frames.back();
    manager->SetStatus(top.text, FrameFraction(top));
  } else {
    // The last frame closed: the status bar hears of it at once.
    if (LXAppWindows::MainFrameHasVisibleStatusBar()) manager->ResetSendTick();
    manager->SetStatus(CString(), 0);
  }
}

CStatus::ThreadRecord* CStatus::GetThreadFrames() {
  CLXMutexLock lock(State().lock);
  return RecordOfCaller();
}

bool CStatus::EnableForThread() {
  CLXMutexLock lock(State().lock);
  if (State().manager == nullptr) State().manager = CLXStatusMgr::Start();
  State().threads.try_emplace(GetCurrentThreadId());
  return State().manager != nullptr;
}

void CStatus::DisableForThread() {
  CLXStatusMgr* stopping = nullptr;
  {
    CLXMutexLock lock(State().lock);
    State().threads.erase(GetCurrentThreadId());
    if (State().threads.empty() && State().manager != nullptr) {
      stopping = State().manager;
      State().manager = nullptr;
    }
  }
  // Stopped outside the lock: the manager's thread may be waiting for it.
  if (stopping != nullptr) CLXStatusMgr::Stop(stopping);
}

DWORD CStatus::GetManagerThreadId() {
  CLXMutexLock lock(State().lock);
  return State().manager != nullptr ? State().manager->GetThreadId() : 0xFFFFFFFFu;
}

CLXStatusMgr* CStatus::GetManager() {
  CLXMutexLock lock(State().lock);
  return State().manager;
}

void CStatus::SetMessageVarargs(LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  SetMessageV(format, &args);
  va_end(args);
}

void CStatus::SetMessageV(LPCWSTR format, va_list* args) {
  CString text = FormatText(format, args);
  // The main window may use the text as a format of its own.
  text.Replace(L"%", L"%%");
  {
    CLXMutexLock lock(State().messageLock);
    State().message = text;
  }
  SendMessageToFrame();
}

void CStatus::ClearMessage() {
  {
    CLXMutexLock lock(State().messageLock);
    State().message.Empty();
  }
  SendMessageToFrame();
}

CString CStatus::GetMessageText() {
  CLXMutexLock lock(State().messageLock);
  return State().message;
}

void CStatus::SendMessageToFrame() {
  {
    CLXMutexLock lock(State().lock);
    ThreadRecord* record = RecordOfCaller();
    if (record == nullptr || record->suspendCount != 0) return;
  }
  HWND frame = LXAppWindows::GetMainFrameWindow();
  if (frame == nullptr) return;
  CLXMutexLock lock(State().messageLock);
  CLXMsgTarget message(frame, g_msgStatusSetSubtitle, reinterpret_cast<LPARAM>(State().message.GetString()), 1);
  message.Send(CLXMessage::kModeSync);
}

CStatusEnabler::CStatusEnabler() {
  CLXMutexLock lock(State().lock);
  if (CStatus::ThreadRecord* record = RecordOfCaller()) {
    m_savedCount = record->suspendCount;
    record->suspendCount = 0;
  }
}

CStatusEnabler::~CStatusEnabler() {
  CLXMutexLock lock(State().lock);
  if (CStatus::ThreadRecord* record = RecordOfCaller()) record->suspendCount = m_savedCount;
}

CStatusDisabler::CStatusDisabler() {
  CLXMutexLock lock(State().lock);
  if (CStatus::ThreadRecord* record = RecordOfCaller()) ++record->suspendCount;
}

CStatusDisabler::~CStatusDisabler() {
  CLXMutexLock lock(State().lock);
  if (CStatus::ThreadRecord* record = RecordOfCaller()) {
    if (record->suspendCount > 0) --record->suspendCount;
  }
}
