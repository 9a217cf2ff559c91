// Handle table, waits, named mutexes (flock), events and file mappings (POSIX shared memory).
#include "KernelObjects.h"

#include "Files.h"

#include "Utf16.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace qlw {
namespace {

// Handles are small multiples of 4 above this base, so they never look like a null handle,
// INVALID_HANDLE_VALUE or a file-descriptor handle.
constexpr uintptr_t kFirstHandle = 0x1000;
// _get_osfhandle tags descriptors into this range.
constexpr uintptr_t kFdHandleBase = 0x40000000;
constexpr uintptr_t kFdHandleEnd = 0x50000000;

// Function statics: child processes of the tests use these before every static initialiser ran.
std::mutex g_tableMutex;
std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>>& Table() {
  static std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> table;
  return table;
}
uintptr_t g_nextHandle = kFirstHandle;

// One lock and condition for all waits: objects change state under it and wake every waiter.
std::mutex g_waitMutex;
std::condition_variable g_waitCv;
// Named mutexes of other processes give no notification: their waits poll at this period.
constexpr auto kPollPeriod = std::chrono::milliseconds(5);

std::string EncodeName(const std::wstring& name) {
  std::string utf8 = ToUtf8(name);
  std::string out;
  for (unsigned char c : utf8) {
    // ASCII only, never the locale's idea of a letter: every process must encode a name alike.
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.') {
      out += static_cast<char>(c);
    } else {
      char buf[4];
      snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    }
  }
  if (out.size() > 180) {
    // Keep file names within NAME_MAX; the hash keeps long names apart.
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : utf8) h = (h ^ c) * 1099511628211ull;
    char buf[20];
    snprintf(buf, sizeof buf, "~%016llx", static_cast<unsigned long long>(h));
    out = out.substr(0, 160) + buf;
  }
  return out;
}

}  // namespace

bool MakeFolders(const std::string& path) {
  for (size_t pos = 0; pos != std::string::npos;) {
    pos = path.find('/', pos + 1);
    const std::string partial = path.substr(0, pos);
    if (!partial.empty() && mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

std::string RuntimeFolder() {
  std::string dir;
  if (const char* env = getenv("QLW_RUNTIME_DIR"); env && *env) {
    dir = env;
  } else if (const char* xdg = getenv("XDG_RUNTIME_DIR"); xdg && *xdg) {
    dir = std::string(xdg) + "/quillonographic";
  } else {
    dir = "/tmp/quillonographic-" + std::to_string(getuid());
  }
  MakeFolders(dir);
  return dir;
}

bool KernelObject::TryAcquire(DWORD* result) {
  (void)result;
  return false;
}

HANDLE AddHandle(std::shared_ptr<KernelObject> object) {
  std::lock_guard<std::mutex> lock(g_tableMutex);
  uintptr_t h = g_nextHandle;
  g_nextHandle += 4;
  Table().emplace(h, std::move(object));
  return reinterpret_cast<HANDLE>(h);
}

std::shared_ptr<KernelObject> FindHandle(HANDLE handle) {
  std::lock_guard<std::mutex> lock(g_tableMutex);
  auto it = Table().find(reinterpret_cast<uintptr_t>(handle));
  return it == Table().end() ? nullptr : it->second;
}

void NotifyWaiters() {
  { std::lock_guard<std::mutex> lock(g_waitMutex); }
  g_waitCv.notify_all();
}

namespace {

// ---- mutexes ----

// State shared by every handle of one mutex in this process. Threads of the process are ordered
// by the owner field; the process holds the flock of the lock file while one of its threads owns
// the mutex. The lock file records the holder's pid: a holder that never released it leaves its
// pid behind, which the next owner reads as abandonment.
struct MutexState {
  std::string name;  // empty: private to the process
  int lockFd = -1;
  int presenceFd = -1;
  std::thread::id owner;
  int recursion = 0;
  int handles = 0;
};

std::mutex g_mutexRegistryLock;
std::map<std::string, std::shared_ptr<MutexState>>& NamedMutexes() {
  static std::map<std::string, std::shared_ptr<MutexState>> named;
  return named;
}

class MutexObject : public KernelObject {
 public:
  explicit MutexObject(std::shared_ptr<MutexState> state) : m_state(std::move(state)) {}
  ~MutexObject() override;

  bool IsWaitable() const override { return true; }
  bool NeedsPolling() const override { return m_state->lockFd >= 0; }

  bool TryAcquire(DWORD* result) override {
    MutexState& s = *m_state;
    const auto self = std::this_thread::get_id();
    if (s.recursion > 0) {
      if (s.owner != self) return false;
      ++s.recursion;
      *result = WAIT_OBJECT_0;
      return true;
    }
    DWORD answer = WAIT_OBJECT_0;
    if (s.lockFd >= 0) {
      if (flock(s.lockFd, LOCK_EX | LOCK_NB) != 0) return false;
      char buf[16] = {};
      if (pread(s.lockFd, buf, sizeof buf - 1, 0) > 0 && atoi(buf) != 0) answer = WAIT_ABANDONED;
      char pid[16];
      snprintf(pid, sizeof pid, "%-15d", static_cast<int>(getpid()));
      // The page cache is enough: the mark has to outlive the process, not the machine. A lost
      // mark only loses the notice of abandonment.
      if (pwrite(s.lockFd, pid, 15, 0) != 15) perror("mutex owner mark");
    }
    s.owner = self;
    s.recursion = 1;
    *result = answer;
    return true;
  }

  // Called with g_waitMutex held. Tells whether the mutex is free now (not only one level less
  // deep): only then has a waiter anything to wake for.
  bool Release(bool* freed) {
    MutexState& s = *m_state;
    *freed = false;
    if (s.recursion == 0 || s.owner != std::this_thread::get_id()) return false;
    if (--s.recursion == 0) {
      *freed = true;
      s.owner = std::thread::id();
      if (s.lockFd >= 0) {
        static const char kFree[16] = "0              ";
        if (pwrite(s.lockFd, kFree, 15, 0) != 15) perror("mutex owner mark");
        flock(s.lockFd, LOCK_UN);
      }
    }
    return true;
  }

 private:
  std::shared_ptr<MutexState> m_state;
};

MutexObject::~MutexObject() {
  std::lock_guard<std::mutex> reg(g_mutexRegistryLock);
  std::lock_guard<std::mutex> wait(g_waitMutex);
  MutexState& s = *m_state;
  if (--s.handles > 0) return;
  // The last handle of the process: an owner that never released it abandons the mutex, and its
  // pid stays in the lock file for the next owner to see.
  if (s.lockFd >= 0) close(s.lockFd);
  if (s.presenceFd >= 0) close(s.presenceFd);
  s.lockFd = s.presenceFd = -1;
  if (!s.name.empty()) NamedMutexes().erase(s.name);
}

// Opens (or creates) the files of a named mutex. existed: another process has it open.
std::shared_ptr<MutexState> OpenNamedMutexState(const std::wstring& name, bool mayCreate, bool* existed) {
  const std::string key = EncodeName(name);
  if (auto it = NamedMutexes().find(key); it != NamedMutexes().end()) {
    *existed = true;
    return it->second;
  }
  const std::string dir = RuntimeFolder();
  const std::string base = dir + "/mutex-" + key;
  // Creation is serialised per user so that two processes cannot both see a new name.
  int guard = open((dir + "/.mutex-create.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (guard < 0) return nullptr;
  flock(guard, LOCK_EX);
  std::shared_ptr<MutexState> state;
  int presence = open((base + ".ref").c_str(), O_RDWR | O_CLOEXEC | (mayCreate ? O_CREAT : 0), 0600);
  if (presence >= 0) {
    bool inUse = flock(presence, LOCK_EX | LOCK_NB) != 0;
    if (!inUse && !mayCreate) {
      close(presence);
      presence = -1;
    } else {
      flock(presence, LOCK_SH);
      int lockFd = open((base + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
      if (lockFd < 0) {
        close(presence);
      } else {
        state = std::make_shared<MutexState>();
        state->name = key;
        state->lockFd = lockFd;
        state->presenceFd = presence;
        *existed = inUse;
        NamedMutexes()[key] = state;
      }
    }
  }
  flock(guard, LOCK_UN);
  close(guard);
  return state;
}

HANDLE MakeMutexHandle(LPCWSTR name, bool mayCreate, BOOL initialOwner) {
  std::shared_ptr<MutexState> state;
  bool existed = false;
  {
    std::lock_guard<std::mutex> reg(g_mutexRegistryLock);
    if (name && *name) {
      state = OpenNamedMutexState(name, mayCreate, &existed);
      if (!state) {
        SetLastError(mayCreate ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
        return nullptr;
      }
    } else {
      state = std::make_shared<MutexState>();
    }
    std::lock_guard<std::mutex> wait(g_waitMutex);
    ++state->handles;
  }
  auto object = std::make_shared<MutexObject>(state);
  if (initialOwner && !existed) {
    std::lock_guard<std::mutex> wait(g_waitMutex);
    DWORD result;
    object->TryAcquire(&result);
  }
  HANDLE h = AddHandle(object);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return h;
}

// ---- events ----

class EventObject : public KernelObject {
 public:
  EventObject(bool manual, bool signalled) : m_manual(manual), m_signalled(signalled) {}
  bool IsWaitable() const override { return true; }
  bool TryAcquire(DWORD* result) override {
    if (!m_signalled) return false;
    if (!m_manual) m_signalled = false;
    *result = WAIT_OBJECT_0;
    return true;
  }
  void Set(bool signalled) { m_signalled = signalled; }

 private:
  bool m_manual;
  bool m_signalled;
};

// ---- file mappings ----

class MappingObject : public KernelObject {
 public:
  ~MappingObject() override {
    if (fd < 0) return;
    if (!shmName.empty() && flock(fd, LOCK_EX | LOCK_NB) == 0) shm_unlink(shmName.c_str());
    close(fd);
  }
  int fd = -1;
  uint64_t size = 0;
  bool writable = false;
  std::string shmName;  // named shared memory; unlinked by the last process that closes it
};

std::mutex g_viewMutex;
std::map<uintptr_t, size_t>& Views() {
  static std::map<uintptr_t, size_t> views;
  return views;
}

std::string ShmName(const std::wstring& name) {
  std::string scope = std::to_string(getuid());
  // A runtime folder given for isolation (tests) keeps its mappings apart as it keeps its
  // mutexes and windows: two such runs must not share the hand-over block.
  if (const char* env = getenv("QLW_RUNTIME_DIR"); env && *env) {
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char* p = env; *p; ++p) hash = (hash ^ static_cast<unsigned char>(*p)) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    scope += std::string("-") + text;
  }
  return "/qlw-" + scope + "-" + EncodeName(name);
}

}  // namespace
}  // namespace qlw

using namespace qlw;

BOOL CloseHandle(HANDLE handle) {
  std::shared_ptr<KernelObject> object;
  {
    std::lock_guard<std::mutex> lock(g_tableMutex);
    auto it = Table().find(reinterpret_cast<uintptr_t>(handle));
    if (it == Table().end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    object = std::move(it->second);
    Table().erase(it);
  }
  object.reset();  // a mutex's last handle closes its files here, outside the table lock
  return TRUE;
}

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCWSTR name) {
  return MakeMutexHandle(name, true, initialOwner);
}

HANDLE OpenMutexW(DWORD, BOOL, LPCWSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return MakeMutexHandle(name, false, FALSE);
}

BOOL ReleaseMutex(HANDLE mutex) {
  auto object = FindHandleOf<MutexObject>(mutex);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  bool released;
  bool freed;
  {
    std::lock_guard<std::mutex> lock(g_waitMutex);
    released = object->Release(&freed);
  }
  if (!released) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  // Every waiter of every object sleeps on the one condition: wake them only for a freed mutex.
  if (freed) g_waitCv.notify_all();
  return TRUE;
}

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR) {
  SetLastError(ERROR_SUCCESS);
  return AddHandle(std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE));
}

static BOOL SetEventState(HANDLE event, bool signalled) {
  auto object = FindHandleOf<EventObject>(event);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  {
    std::lock_guard<std::mutex> lock(g_waitMutex);
    object->Set(signalled);
  }
  g_waitCv.notify_all();
  return TRUE;
}

BOOL SetEvent(HANDLE event) { return SetEventState(event, true); }
BOOL ResetEvent(HANDLE event) { return SetEventState(event, false); }

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles || waitAll) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<KernelObject>> objects;
  bool poll = false;
  for (DWORD i = 0; i < count; ++i) {
    auto object = FindHandle(handles[i]);
    if (!object || !object->IsWaitable()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    poll = poll || object->NeedsPolling();
    objects.push_back(std::move(object));
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  std::unique_lock<std::mutex> lock(g_waitMutex);
  for (;;) {
    for (DWORD i = 0; i < count; ++i) {
      DWORD result = WAIT_OBJECT_0;
      if (objects[i]->TryAcquire(&result)) return result + i;
    }
    if (milliseconds == 0) return WAIT_TIMEOUT;
    if (milliseconds == INFINITE) {
      if (poll)
        g_waitCv.wait_for(lock, kPollPeriod);
      else
        g_waitCv.wait(lock);
      continue;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return WAIT_TIMEOUT;
    auto until = deadline;
    if (poll) until = std::min(deadline, now + kPollPeriod);
    g_waitCv.wait_until(lock, until);
  }
}

int qlw::FileDescriptor(HANDLE file) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(file);
  if (value >= kFdHandleBase && value < kFdHandleEnd) return static_cast<int>(value - kFdHandleBase);
  const auto object = FindHandleOf<FileObject>(file);
  return object ? object->fd : -1;
}

intptr_t _get_osfhandle(int fd) {
  if (fd < 0 || static_cast<uintptr_t>(fd) >= kFdHandleEnd - kFdHandleBase) return -1;
  return static_cast<intptr_t>(kFdHandleBase + static_cast<uintptr_t>(fd));
}

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name) {
  const uint64_t size = (static_cast<uint64_t>(maximumSizeHigh) << 32) | maximumSizeLow;
  const bool writable = (protect & 0xFF) == PAGE_READWRITE || (protect & 0xFF) == PAGE_WRITECOPY;
  auto mapping = std::make_shared<MappingObject>();
  mapping->writable = writable;
  bool existed = false;
  if (file == INVALID_HANDLE_VALUE) {
    if (size == 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    if (name && *name) {
      mapping->shmName = ShmName(name);
      int fd = shm_open(mapping->shmName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd < 0 && errno == EEXIST) {
        fd = shm_open(mapping->shmName.c_str(), O_RDWR | O_CLOEXEC, 0600);
        // Nobody holding it means it was left behind by a process that died: start afresh.
        existed = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0;
        if (fd >= 0 && !existed && ftruncate(fd, 0) != 0) {
          close(fd);
          fd = -1;
        }
      }
      if (fd < 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return nullptr;
      }
      flock(fd, LOCK_SH);
      mapping->fd = fd;
    } else {
      mapping->fd = memfd_create("qlw-mapping", MFD_CLOEXEC);
      if (mapping->fd < 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return nullptr;
      }
    }
    struct stat st {};
    if (existed) {
      fstat(mapping->fd, &st);
      mapping->size = static_cast<uint64_t>(st.st_size);
    } else {
      if (ftruncate(mapping->fd, static_cast<off_t>(size)) != 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return nullptr;
      }
      mapping->size = size;
    }
  } else if (const int sourceFd = FileDescriptor(file); sourceFd >= 0) {
    struct stat st {};
    if (fstat(sourceFd, &st) != 0) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    uint64_t length = static_cast<uint64_t>(st.st_size);
    if (size == 0 && length == 0) {
      SetLastError(1006);  // ERROR_FILE_INVALID: an empty file cannot be mapped
      return nullptr;
    }
    if (size > length) {
      if (!writable || ftruncate(sourceFd, static_cast<off_t>(size)) != 0) {
        SetLastError(writable ? Win32ErrorFromErrno(errno) : ERROR_ACCESS_DENIED);
        return nullptr;
      }
      length = size;
    }
    mapping->fd = fcntl(sourceFd, F_DUPFD_CLOEXEC, 0);
    if (mapping->fd < 0) {
      SetLastError(Win32ErrorFromErrno(errno));
      return nullptr;
    }
    mapping->size = size ? size : length;
  } else {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  HANDLE h = AddHandle(mapping);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return h;
}

HANDLE OpenFileMappingW(DWORD access, BOOL, LPCWSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto mapping = std::make_shared<MappingObject>();
  mapping->shmName = ShmName(name);
  mapping->writable = (access & FILE_MAP_WRITE) != 0;
  int fd = shm_open(mapping->shmName.c_str(), O_RDWR | O_CLOEXEC, 0600);
  // A name that nobody holds open is a leftover of a dead process, not a live mapping.
  if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) {
    flock(fd, LOCK_UN);
    close(fd);
    fd = -1;
    errno = ENOENT;
  }
  if (fd < 0) {
    mapping->shmName.clear();
    SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : Win32ErrorFromErrno(errno));
    return nullptr;
  }
  flock(fd, LOCK_SH);
  struct stat st {};
  fstat(fd, &st);
  mapping->fd = fd;
  mapping->size = static_cast<uint64_t>(st.st_size);
  SetLastError(ERROR_SUCCESS);
  return AddHandle(mapping);
}

LPVOID MapViewOfFile(HANDLE mappingHandle, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes) {
  auto mapping = FindHandleOf<MappingObject>(mappingHandle);
  if (!mapping) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const uint64_t offset = (static_cast<uint64_t>(offsetHigh) << 32) | offsetLow;
  if (offset % static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) != 0) {
    SetLastError(1132);  // ERROR_MAPPED_ALIGNMENT
    return nullptr;
  }
  if (offset > mapping->size || (bytes != 0 && offset + bytes > mapping->size)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const size_t length = bytes ? bytes : static_cast<size_t>(mapping->size - offset);
  if (length == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const bool write = (access & FILE_MAP_WRITE) != 0;
  // FILE_MAP_ALL_ACCESS carries the copy bit too: only the bit alone asks for copy-on-write.
  const bool copy = access == FILE_MAP_COPY;
  if (write && !mapping->writable) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const int prot = PROT_READ | (write || copy ? PROT_WRITE : 0);
  void* view = mmap(nullptr, length, prot, copy ? MAP_PRIVATE : MAP_SHARED, mapping->fd, static_cast<off_t>(offset));
  if (view == MAP_FAILED) {
    SetLastError(Win32ErrorFromErrno(errno));
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(g_viewMutex);
  Views()[reinterpret_cast<uintptr_t>(view)] = length;
  return view;
}

BOOL UnmapViewOfFile(LPCVOID address) {
  size_t length;
  {
    std::lock_guard<std::mutex> lock(g_viewMutex);
    auto it = Views().find(reinterpret_cast<uintptr_t>(address));
    if (it == Views().end()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    length = it->second;
    Views().erase(it);
  }
  munmap(const_cast<void*>(address), length);
  return TRUE;
}

BOOL GetDiskFreeSpaceW(LPCWSTR rootPath, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector, LPDWORD freeClusters,
                       LPDWORD totalClusters) {
  std::string path = rootPath && *rootPath ? ToUtf8(rootPath) : std::string(".");
  std::replace(path.begin(), path.end(), '\\', '/');
  struct statvfs vfs {};
  if (statvfs(path.c_str(), &vfs) != 0) {
    SetLastError(Win32ErrorFromErrno(errno));
    return FALSE;
  }
  // The volume's fragment is its cluster; 512-byte sectors, the logical size every device offers.
  const unsigned long cluster = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
  const DWORD sector = cluster >= 512 ? 512 : static_cast<DWORD>(cluster);
  auto clamp = [](unsigned long long v) { return static_cast<DWORD>(std::min<unsigned long long>(v, 0xFFFFFFFFu)); };
  if (bytesPerSector) *bytesPerSector = sector;
  if (sectorsPerCluster) *sectorsPerCluster = static_cast<DWORD>(cluster / sector);
  if (freeClusters) *freeClusters = clamp(vfs.f_bavail);
  if (totalClusters) *totalClusters = clamp(vfs.f_blocks);
  return TRUE;
}
