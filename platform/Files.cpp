// File handles over POSIX descriptors.
#include "Files.h"

#include "Utf16.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qlw;

namespace {
BOOL Fail(int err) {
  SetLastError(Win32ErrorFromErrno(err));
  return FALSE;
}

int DescriptorOrFail(HANDLE file) {
  const int fd = FileDescriptor(file);
  if (fd < 0) SetLastError(ERROR_INVALID_HANDLE);
  return fd;
}

std::function<void(HANDLE)>& SyncRecorder() {
  static std::function<void(HANDLE)> recorder;
  return recorder;
}

// Syncs the folder that holds path, so that a name just made or changed in it is on the disk.
void SyncFolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}
}  // namespace

qlw::FileObject::~FileObject() {
  if (fd >= 0) ::close(fd);
}

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD, HANDLE) {
  if (!path || !*path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const bool read = (access & GENERIC_READ) != 0, write = (access & GENERIC_WRITE) != 0;
  int flags = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  switch (disposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
    case OPEN_EXISTING: break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
  }
  const int fd = ::open(ToUtf8(path).c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) {
    SetLastError(errno == EISDIR ? ERROR_ACCESS_DENIED : Win32ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  // A folder opens for reading here but is no file.
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_SUCCESS);
  return AddHandle(std::make_shared<FileObject>(fd));
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD done, void* overlapped) {
  if (done) *done = 0;
  if (overlapped) return Fail(EINVAL);
  const int fd = DescriptorOrFail(file);
  if (fd < 0) return FALSE;
  DWORD total = 0;
  while (total < count) {
    const ssize_t n = ::read(fd, static_cast<char*>(buffer) + total, count - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(errno);
    if (n == 0) break;
    total += static_cast<DWORD>(n);
    if (done) *done = total;
  }
  return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD done, void* overlapped) {
  if (done) *done = 0;
  if (overlapped) return Fail(EINVAL);
  const int fd = DescriptorOrFail(file);
  if (fd < 0) return FALSE;
  DWORD total = 0;
  while (total < count) {
    const ssize_t n = ::write(fd, static_cast<const char*>(buffer) + total, count - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(errno);
    if (n == 0) return Fail(ENOSPC);
    total += static_cast<DWORD>(n);
    if (done) *done = total;
  }
  return TRUE;
}

BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPosition, DWORD method) {
  const int fd = DescriptorOrFail(file);
  if (fd < 0) return FALSE;
  const int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : method == FILE_END ? SEEK_END : -1;
  if (whence < 0) return Fail(EINVAL);
  const off_t p = ::lseek(fd, static_cast<off_t>(distance.QuadPart), whence);
  if (p < 0) return Fail(errno);
  if (newPosition) newPosition->QuadPart = static_cast<LONGLONG>(p);
  return TRUE;
}

BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size) {
  const int fd = DescriptorOrFail(file);
  if (fd < 0) return FALSE;
  struct stat st {};
  if (::fstat(fd, &st) != 0) return Fail(errno);
  if (size) size->QuadPart = static_cast<LONGLONG>(st.st_size);
  return TRUE;
}

BOOL SetEndOfFile(HANDLE file) {
  const int fd = DescriptorOrFail(file);
  if (fd < 0) return FALSE;
  const off_t p = ::lseek(fd, 0, SEEK_CUR);
  if (p < 0 || ::ftruncate(fd, p) != 0) return Fail(errno);
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
  const int fd = DescriptorOrFail(file);
  if (fd < 0) return FALSE;
  if (::fsync(fd) != 0) return Fail(errno);
  if (SyncRecorder()) SyncRecorder()(file);
  return TRUE;
}

void qlw::SetSyncRecorder(std::function<void(HANDLE)> recorder) { SyncRecorder() = std::move(recorder); }

BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags) {
  if (!existing || !target) return Fail(EINVAL);
  const std::string from = ToUtf8(existing), to = ToUtf8(target);
  if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
      SetLastError(ERROR_ALREADY_EXISTS);
      return FALSE;
    }
  }
  if (::rename(from.c_str(), to.c_str()) != 0) return Fail(errno);
  if (flags & MOVEFILE_WRITE_THROUGH) SyncFolderOf(to);
  return TRUE;
}

BOOL DeleteFileW(LPCWSTR path) {
  if (!path) return Fail(EINVAL);
  if (::unlink(ToUtf8(path).c_str()) != 0) return Fail(errno);
  return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR path) {
  struct stat st {};
  if (!path || ::stat(ToUtf8(path).c_str(), &st) != 0) {
    SetLastError(Win32ErrorFromErrno(path ? errno : EINVAL));
    return INVALID_FILE_ATTRIBUTES;
  }
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  return S_ISREG(st.st_mode) ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_DEVICE;
}

BOOL FlushViewOfFile(LPCVOID address, SIZE_T bytes) {
  if (!address) return Fail(EINVAL);
  const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<uintptr_t>(address) / page * page;
  const uintptr_t end = reinterpret_cast<uintptr_t>(address) + (bytes ? bytes : 1);
  if (::msync(reinterpret_cast<void*>(start), end - start, MS_SYNC) != 0) return Fail(errno);
  return TRUE;
}

int _fileno(FILE* stream) { return stream ? ::fileno(stream) : -1; }

void* _aligned_malloc(size_t size, size_t alignment) {
  void* p = nullptr;
  return ::posix_memalign(&p, alignment, size) == 0 ? p : nullptr;
}

void _aligned_free(void* block) { std::free(block); }

bool qlw::CreateFileBeside(std::wstring& target, std::wstring& created) {
  std::string path = ToUtf8(target);
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) {
      path = resolved;
      target = FromUtf8(path);
    }
  }
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  struct stat old {};
  const bool exists = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  // A file its owner made read-only is not replaced behind its back.
  if (exists && ::access(path.c_str(), W_OK) != 0) return Fail(errno);
  static thread_local std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%012llx", static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
    // Hidden and short enough that a name near the length limit still has room.
    const std::string candidate = folder + "." + name.substr(0, 200) + suffix;
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return Fail(errno == ENOENT ? ENOTDIR : errno);  // the folder is missing
    }
    if (exists) ::fchmod(fd, old.st_mode & 07777);
    ::close(fd);
    created = FromUtf8(candidate);
    return true;
  }
  SetLastError(ERROR_ALREADY_EXISTS);
  return false;
}
