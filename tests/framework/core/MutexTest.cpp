// Recursive, owner-tracking mutexes within a process and across processes.
#include "LXMutex.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace {
// Whether another thread can take the mutex right now (and gives it back at once).
bool FreeForOtherThread(CLXMutexBase& mutex) {
  bool got = false;
  std::thread other([&]() {
    got = mutex.TryLock();
    if (got) mutex.Unlock();
  });
  other.join();
  return got;
}
}  // namespace

TEST(Mutex, ThreadMutexIsRecursiveAndAnExtraUnlockFails) {
  CLXThreadMutex mutex;
  ASSERT_TRUE(mutex.Lock());
  ASSERT_TRUE(mutex.Lock());
  EXPECT_EQ(mutex.GetHoldCount(), 2);
  EXPECT_EQ(mutex.GetOwnerThreadId(), GetCurrentThreadId());
  EXPECT_FALSE(FreeForOtherThread(mutex));
  EXPECT_TRUE(mutex.Unlock());
  EXPECT_FALSE(FreeForOtherThread(mutex));
  EXPECT_TRUE(mutex.Unlock());
  EXPECT_EQ(mutex.GetOwnerThreadId(), 0u);
  EXPECT_TRUE(FreeForOtherThread(mutex));
  EXPECT_FALSE(mutex.Unlock());
}

TEST(Mutex, UnlockByANonOwnerChangesNothing) {
  CLXThreadMutex threadMutex;
  CLXMutex kernelMutex(L"Quillonographic-Test-NonOwner");
  for (CLXMutexBase* mutex : {static_cast<CLXMutexBase*>(&threadMutex), static_cast<CLXMutexBase*>(&kernelMutex)}) {
    ASSERT_TRUE(mutex->Lock());
    bool unlocked = true;
    std::thread other([&]() { unlocked = mutex->Unlock(); });
    other.join();
    EXPECT_FALSE(unlocked);
    EXPECT_EQ(mutex->GetHoldCount(), 1);
    EXPECT_EQ(mutex->GetOwnerThreadId(), GetCurrentThreadId());
    EXPECT_TRUE(mutex->Unlock());
  }
}

TEST(Mutex, KernelMutexWaitTimesOutWith258WhileAnotherThreadHoldsIt) {
  CLXMutex mutex(L"Quillonographic-Test-Timeout");
  ASSERT_TRUE(mutex.Lock());
  DWORD error = 0;
  bool got = true;
  std::thread other([&]() { got = mutex.Lock(30, &error); });
  other.join();
  EXPECT_FALSE(got);
  EXPECT_EQ(error, 258u);
  EXPECT_TRUE(mutex.Unlock());
}

TEST(Mutex, DestroyingAHeldKernelMutexGivesBackEveryHold) {
  const wchar_t* name = L"Quillonographic-Test-Destroy";
  {
    CLXMutex mutex(name);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(mutex.Lock());
  }
  bool got = false;
  std::thread other([&]() {
    CLXMutex again(name);
    got = again.TryLock();
    if (got) again.Unlock();
  });
  other.join();
  EXPECT_TRUE(got);
}

TEST(Mutex, ScopeLockHoldsForItsScopeAndAcceptsNull) {
  CLXThreadMutex mutex;
  {
    CLXMutexLock lock(mutex);
    EXPECT_EQ(mutex.GetHoldCount(), 1);
    EXPECT_FALSE(FreeForOtherThread(mutex));
  }
  EXPECT_TRUE(FreeForOtherThread(mutex));
  CLXMutexLock nothing(nullptr);
}

TEST(Mutex, TryLockOnAMutexHeldByAnotherProcessFailsWith258) {
  const wchar_t* name = L"Quillonographic-Test-OtherProcess";
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(release[1]);  // so that the parent's close reaches us as end of file
    CLXMutex mutex(name);
    char byte = mutex.Lock() ? 'y' : 'n';
    if (write(ready[1], &byte, 1) != 1) _exit(2);
    if (read(release[0], &byte, 1) < 0) _exit(3);  // until the parent is done
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 'y');
  {
    CLXMutex mutex(name);
    DWORD error = 0;
    EXPECT_FALSE(mutex.TryLock(&error));
    EXPECT_EQ(error, 258u);
  }
  close(release[1]);
  int status = 0;
  waitpid(child, &status, 0);
  close(ready[0]);
  close(ready[1]);
  close(release[0]);
}
