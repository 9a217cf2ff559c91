// Owner-tracking recursive mutexes over the kernel's named mutexes and an in-process lock.
#include "LXMutex.h"

#include "LXException.h"

namespace {
// Throw-site line shown in the code text of CLXXCantCreateMutex.
const UINT kCantCreateMutexLine = 40;
}  // namespace

CLXMutexBase::~CLXMutexBase() = default;

void CLXMutexBase::NoteAcquired(DWORD owner) {
  m_holdCount.fetch_add(1);
  m_ownerThreadId.store(owner);
}

bool CLXMutexBase::Unlock() {
  DWORD self = GetCurrentThreadId();
  DWORD expected = self;
  // Testing and clearing the owner in one step keeps a non-owner from touching the count.
  if (!m_ownerThreadId.compare_exchange_strong(expected, 0)) return false;
  if (m_holdCount.fetch_sub(1) - 1 > 0) m_ownerThreadId.store(self);
  return Release();
}

void CLXMutexBase::UnlockAllHeldByCaller() {
  while (m_ownerThreadId.load() == GetCurrentThreadId()) {
    if (!Unlock()) break;
  }
}

CLXMutex::CLXMutex(LPCWSTR name) {
  SetLastError(ERROR_SUCCESS);
  m_handle = CreateMutexW(nullptr, TRUE, name);
  DWORD error = GetLastError();
  if (m_handle == nullptr && error != ERROR_SUCCESS)
    throw CLXXCantCreateMutex(kLXSeverityFatal, error, kCantCreateMutexLine);
  if (m_handle == nullptr) return;
  m_open = true;
  m_holdCount.store(0);
  m_ownerThreadId.store(0);
  // Created owned so that creation and first hold are one step; leave it unowned. A mutex that
  // existed already was not given to us.
  if (error != ERROR_ALREADY_EXISTS) ReleaseMutex(m_handle);
}

CLXMutex::~CLXMutex() {
  if (!m_open) return;
  UnlockAllHeldByCaller();
  CloseHandle(m_handle);
  m_handle = nullptr;
  m_open = false;
}

bool CLXMutex::Lock(DWORD timeout, DWORD* error) {
  DWORD wait = WaitForSingleObject(m_handle, timeout);
  if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
    NoteAcquired(GetCurrentThreadId());
    return true;
  }
  if (error != nullptr) {
    if (wait == WAIT_FAILED) {
      DWORD last = GetLastError();
      *error = last != 0 ? last : 0xFFFFFFFFu;
    } else {
      *error = wait;
    }
  }
  return false;
}

bool CLXMutex::TryLock(DWORD* error) { return Lock(0, error); }

bool CLXMutex::Release() { return ReleaseMutex(m_handle) != FALSE; }

CLXThreadMutex::CLXThreadMutex() { m_open = true; }

CLXThreadMutex::~CLXThreadMutex() {
  UnlockAllHeldByCaller();
  m_open = false;
}

bool CLXThreadMutex::Lock(DWORD /*timeout*/, DWORD* /*error*/) {
  m_section.lock();
  NoteAcquired(GetCurrentThreadId());
  return true;
}

bool CLXThreadMutex::TryLock(DWORD* /*error*/) {
  if (!m_section.try_lock()) return false;
  NoteAcquired(GetCurrentThreadId());
  return true;
}

bool CLXThreadMutex::Release() {
  m_section.unlock();
  return true;
}

CLXMutexLock::CLXMutexLock(CLXMutexBase* mutex) : m_mutex(mutex) {
  if (m_mutex != nullptr) m_mutex->Lock(INFINITE, nullptr);
}

CLXMutexLock::~CLXMutexLock() {
  if (m_mutex != nullptr) m_mutex->Unlock();
}

CLXNamedMutexWait::CLXNamedMutexWait(LPCWSTR name, DWORD timeout) {
  m_handle = CreateMutexW(nullptr, FALSE, name);
  if (!m_handle) return;
  const DWORD wait = WaitForSingleObject(m_handle, timeout);
  m_owned = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

CLXNamedMutexWait::~CLXNamedMutexWait() {
  if (m_owned) ReleaseMutex(m_handle);
  if (m_handle) CloseHandle(m_handle);
}
