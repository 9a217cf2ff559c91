// Named mutexes across processes and threads, events, and file mappings.
#include "KernelObjects.h"
#include "ProcessTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

int RunKernelChildJob(const std::string& job) {
  const std::wstring name = Wide(qlwtest::ChildArg());
  if (job == "kernel-hold-mutex") {
    HANDLE m = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!m || WaitForSingleObject(m, INFINITE) != WAIT_OBJECT_0) return 2;
    qlwtest::ChildReport("L");
    for (;;) pause();  // held until the parent kills us
  }
  if (job == "kernel-mutex-existed") {
    HANDLE m = CreateMutexW(nullptr, TRUE, name.c_str());
    if (!m) return 2;
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    CloseHandle(m);
    return existed ? 10 : 11;
  }
  if (job == "kernel-read-mapping") {
    HANDLE h = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
    if (!h) return 2;
    char* view = static_cast<char*>(MapViewOfFile(h, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!view) return 3;
    if (strcmp(view, "from parent") != 0) return 4;
    strcpy(view + 100, "from child");
    UnmapViewOfFile(view);
    CloseHandle(h);
    return 0;
  }
  return 99;
}

const int g_childJob = [] {
  const char* job = qlwtest::ChildJob();
  if (job && strncmp(job, "kernel-", 7) == 0) _exit(RunKernelChildJob(job));
  return 0;
}();

std::wstring UniqueName(const char* base) {
  return Wide(std::string("QlwTest-") + base + "-" + std::to_string(getpid()));
}

}  // namespace

TEST(KernelMutex, HolderKilledIsObtainedByTheNextProcess) {
  const std::wstring name = UniqueName("Killed");
  auto child = qlwtest::StartChild("kernel-hold-mutex", std::string(name.begin(), name.end()));
  ASSERT_EQ(qlwtest::ReadReport(child, 1), "L");
  HANDLE m = CreateMutexW(nullptr, FALSE, name.c_str());
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_TIMEOUT);  // held by the child
  EXPECT_EQ(WaitForSingleObject(m, 50), WAIT_TIMEOUT);
  kill(child.pid, SIGKILL);
  EXPECT_EQ(qlwtest::WaitChild(child), 128 + SIGKILL);
  // The dead holder's mutex counts as abandoned, that is obtained.
  EXPECT_EQ(WaitForSingleObject(m, 5000), WAIT_ABANDONED);
  EXPECT_TRUE(ReleaseMutex(m));
  // Released properly, it is no longer abandoned.
  EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(m));
  CloseHandle(m);
}

TEST(KernelMutex, SecondCreatorLearnsTheNameExistedOnlyWhileItIsOpen) {
  const std::wstring name = UniqueName("Exists");
  const std::string narrow(name.begin(), name.end());
  HANDLE m = CreateMutexW(nullptr, FALSE, name.c_str());
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
  auto first = qlwtest::StartChild("kernel-mutex-existed", narrow);
  EXPECT_EQ(qlwtest::WaitChild(first), 10);
  HANDLE opened = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
  EXPECT_NE(opened, nullptr);
  CloseHandle(opened);
  CloseHandle(m);
  auto second = qlwtest::StartChild("kernel-mutex-existed", narrow);
  EXPECT_EQ(qlwtest::WaitChild(second), 11);
  EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(KernelMutex, NameIsTheSameWhateverTheLocale) {
  // Processes of one user may run under different locales and must still meet on one name.
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "de_DE.ISO-8859-1")) GTEST_SKIP() << "locale de_DE.ISO-8859-1 is not installed";
  const std::wstring name = L"QlwTest-Gr\u00FC\u00DFe-" + std::to_wstring(getpid());
  HANDLE m = CreateMutexW(nullptr, FALSE, name.c_str());
  std::setlocale(LC_ALL, "C");
  HANDLE opened = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
  std::setlocale(LC_ALL, saved.c_str());
  ASSERT_NE(m, nullptr);
  EXPECT_NE(opened, nullptr);
  if (opened) CloseHandle(opened);
  CloseHandle(m);
}

TEST(KernelMutex, RecursiveForItsOwnerAndExclusiveBetweenThreads) {
  for (const wchar_t* name : {static_cast<const wchar_t*>(nullptr), L"QlwTest-Recursive"}) {
    SCOPED_TRACE(name ? "named" : "unnamed");
    HANDLE m = CreateMutexW(nullptr, TRUE, name);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);  // second hold by the owner
    auto otherThreadWait = [m](DWORD ms) {
      DWORD result = WAIT_FAILED;
      BOOL releasedByOther = TRUE;
      std::thread t([&] {
        releasedByOther = ReleaseMutex(m);
        result = WaitForSingleObject(m, ms);
        if (result == WAIT_OBJECT_0) ReleaseMutex(m);
      });
      t.join();
      EXPECT_FALSE(releasedByOther);
      return result;
    };
    EXPECT_EQ(otherThreadWait(30), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_EQ(otherThreadWait(30), WAIT_TIMEOUT);  // one hold is left
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_FALSE(ReleaseMutex(m));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_OWNER));
    EXPECT_EQ(otherThreadWait(1000), WAIT_OBJECT_0);
    CloseHandle(m);
  }
}

TEST(KernelMutex, WaiterWakesWhenTheOwnerReleases) {
  HANDLE m = CreateMutexW(nullptr, TRUE, L"QlwTest-Wake");
  std::atomic<DWORD> result{WAIT_FAILED};
  std::thread waiter([&] {
    result = WaitForSingleObject(m, INFINITE);
    ReleaseMutex(m);
  });
  Sleep(20);
  EXPECT_EQ(result.load(), WAIT_FAILED);
  ReleaseMutex(m);
  waiter.join();
  EXPECT_EQ(result.load(), WAIT_OBJECT_0);
  CloseHandle(m);
}

TEST(KernelEvent, AutomaticAndManualReset) {
  HANDLE autoEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE manualEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const HANDLE both[2] = {autoEvent, manualEvent};
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 10), WAIT_TIMEOUT);
  SetEvent(manualEvent);
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForSingleObject(manualEvent, 0), WAIT_OBJECT_0);  // stays signalled
  ResetEvent(manualEvent);
  std::thread setter([&] {
    Sleep(10);
    SetEvent(autoEvent);
  });
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 5000), WAIT_OBJECT_0);
  setter.join();
  EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT);  // reset by the wait
  EXPECT_TRUE(CloseHandle(autoEvent));
  EXPECT_TRUE(CloseHandle(manualEvent));
  EXPECT_FALSE(CloseHandle(autoEvent));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST(KernelFileMapping, NamedMemoryIsSharedWithAnotherProcess) {
  const std::wstring name = UniqueName("Mapping");
  HANDLE h = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name.c_str());
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
  char* view = static_cast<char*>(MapViewOfFile(h, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  strcpy(view, "from parent");
  auto child = qlwtest::StartChild("kernel-read-mapping", std::string(name.begin(), name.end()));
  EXPECT_EQ(qlwtest::WaitChild(child), 0);
  EXPECT_STREQ(view + 100, "from child");
  EXPECT_TRUE(UnmapViewOfFile(view));
  CloseHandle(h);
  EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(KernelFileMapping, FileIsMappedWholeReadOnly) {
  const std::string path = qlwtest::ScratchDir() + "/mapped.bin";
  std::string content(10000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 13);
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  ASSERT_EQ(write(fd, content.data(), content.size()), ssize_t(content.size()));
  HANDLE h = CreateFileMappingW(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(h, nullptr);
  const void* view = MapViewOfFile(h, FILE_MAP_READ, 0, 0, 0);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(0, memcmp(view, content.data(), content.size()));
  UnmapViewOfFile(view);
  CloseHandle(h);
  // An empty file cannot be mapped; callers fall back to reading it.
  ASSERT_EQ(ftruncate(fd, 0), 0);
  EXPECT_EQ(CreateFileMappingW(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), nullptr, PAGE_READONLY, 0, 0, nullptr),
            nullptr);
  close(fd);
}

TEST(KernelDisk, SectorAndClusterSizesOfTheVolume) {
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  ASSERT_TRUE(GetDiskFreeSpaceW(L"/", &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters));
  EXPECT_EQ(bytesPerSector, 512u);
  EXPECT_GE(sectorsPerCluster, 1u);
  EXPECT_GT(totalClusters, 0u);
  EXPECT_FALSE(GetDiskFreeSpaceW(L"/no/such/volume/here", nullptr, nullptr, nullptr, nullptr));
}
