// Recursive mutexes that track their owner: a named kernel mutex shared between processes
// (CLXMutex), an in-process one (CLXThreadMutex), and the scope lock CLXMutexLock.
#pragma once
#include "Win.h"

#include <atomic>
#include <mutex>

class CLXMutexBase {
 public:
  CLXMutexBase() = default;
  CLXMutexBase(const CLXMutexBase&) = delete;
  CLXMutexBase& operator=(const CLXMutexBase&) = delete;
  virtual ~CLXMutexBase();

  // timeout in milliseconds; error (may be null) receives the wait's result when it fails.
  virtual bool Lock(DWORD timeout = INFINITE, DWORD* error = nullptr) = 0;
  virtual bool TryLock(DWORD* error = nullptr) = 0;
  // False, with no effect, when the calling thread is not the owner.
  virtual bool Unlock();
  // Gives the underlying object back once.
  virtual bool Release() = 0;

  bool IsOpen() const { return m_open; }
  LONG GetHoldCount() const { return m_holdCount.load(); }
  DWORD GetOwnerThreadId() const { return m_ownerThreadId.load(); }

 protected:
  void NoteAcquired(DWORD owner);
  // Gives back every hold of the calling thread; used by the destructors.
  void UnlockAllHeldByCaller();

  bool m_open = false;
  std::atomic<LONG> m_holdCount{0};
  std::atomic<DWORD> m_ownerThreadId{0};
};

// Named (or, with a null name, unnamed) kernel mutex; throws CLXXCantCreateMutex when it cannot
// be created.
class CLXMutex : public CLXMutexBase {
 public:
  explicit CLXMutex(LPCWSTR name = nullptr);
  ~CLXMutex() override;
  bool Lock(DWORD timeout = INFINITE, DWORD* error = nullptr) override;
  bool TryLock(DWORD* error = nullptr) override;
  bool Release() override;

 private:
  HANDLE m_handle = nullptr;
};

// In-process mutex; the timeout of Lock is not used.
class CLXThreadMutex : public CLXMutexBase {
 public:
  CLXThreadMutex();
  ~CLXThreadMutex() override;
  bool Lock(DWORD timeout = INFINITE, DWORD* error = nullptr) override;
  bool TryLock(DWORD* error = nullptr) override;
  bool Release() override;

 private:
  std::recursive_mutex m_section;
};

// Holds a mutex for its scope; a null mutex makes it do nothing.
class CLXMutexLock {
 public:
  explicit CLXMutexLock(CLXMutexBase* mutex);
  explicit CLXMutexLock(CLXMutexBase& mutex) : CLXMutexLock(&mutex) {}
  CLXMutexLock(const CLXMutexLock&) = delete;
  CLXMutexLock& operator=(const CLXMutexLock&) = delete;
  virtual ~CLXMutexLock();

 private:
  CLXMutexBase* m_mutex;
};

// Scope lock on a named kernel mutex between processes: waits up to `timeout` ms, never throws, and
// gives the mutex back on leaving. Owned() says whether the wait succeeded.
class CLXNamedMutexWait {
 public:
  CLXNamedMutexWait(LPCWSTR name, DWORD timeout);
  ~CLXNamedMutexWait();
  CLXNamedMutexWait(const CLXNamedMutexWait&) = delete;
  CLXNamedMutexWait& operator=(const CLXNamedMutexWait&) = delete;
  bool Owned() const { return m_owned; }

 private:
  HANDLE m_handle = nullptr;
  bool m_owned = false;
};
