// Kernel objects: the handle table behind CloseHandle and the waits, named mutexes on flock in a
// per-user runtime folder, events, and file mappings on POSIX shared memory or on files.
// Processes are in Process.h, registry transactions in Registry.h.
#pragma once
#include "WinError.h"
#include "WinTypes.h"

#include <cstdint>
#include <memory>
#include <string>

#ifndef INVALID_HANDLE_VALUE
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#endif

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

#ifndef SYNCHRONIZE
#define SYNCHRONIZE 0x00100000u
#endif
#define MUTEX_ALL_ACCESS 0x001F0001u
#define EVENT_ALL_ACCESS 0x001F0003u

#define PAGE_READONLY 0x02u
#define PAGE_READWRITE 0x04u
#define PAGE_WRITECOPY 0x08u
#define FILE_MAP_COPY 0x0001u
#define FILE_MAP_WRITE 0x0002u
#define FILE_MAP_READ 0x0004u
#define FILE_MAP_ALL_ACCESS 0x000F001Fu

#define MAXIMUM_WAIT_OBJECTS 64

// Closes any handle made by this layer (mutex, event, mapping, process, thread, transaction).
BOOL CloseHandle(HANDLE handle);

// Mutexes are recursive for their owning thread. Named ones are shared by every process of the
// user; GetLastError() is ERROR_ALREADY_EXISTS when the name was open somewhere already (then
// initialOwner is ignored). A null name makes a mutex private to the process.
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name);
HANDLE OpenMutexW(DWORD access, BOOL inheritHandle, LPCWSTR name);
BOOL ReleaseMutex(HANDLE mutex);

// In-process events, manual or automatic reset.
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Timeout in milliseconds or INFINITE. A mutex whose holder died without releasing it is obtained
// and answered with WAIT_ABANDONED. Process handles are signalled when the process has ended.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// Waits for any one of the objects (waitAll is not supported and fails with ERROR_INVALID_PARAMETER).
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

// file: INVALID_HANDLE_VALUE for shared memory of the given size (named ones are shared between
// the user's processes; GetLastError() is ERROR_ALREADY_EXISTS when it existed), or a file handle
// from _get_osfhandle, whose whole length is mapped when the size is 0.
HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name);
HANDLE OpenFileMappingW(DWORD access, BOOL inheritHandle, LPCWSTR name);
// bytes 0 maps from the offset to the end of the mapping.
LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes);
BOOL UnmapViewOfFile(LPCVOID address);

// The handle of an open file descriptor; it does not own the descriptor and needs no CloseHandle.
intptr_t _get_osfhandle(int fd);

// Sizes of the volume that holds the path (a root such as "/" or any path on it).
BOOL GetDiskFreeSpaceW(LPCWSTR rootPath, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                       LPDWORD freeClusters, LPDWORD totalClusters);

#define CreateMutex CreateMutexW
#define OpenMutex OpenMutexW
#define CreateEvent CreateEventW
#define CreateFileMapping CreateFileMappingW
#define OpenFileMapping OpenFileMappingW
#define GetDiskFreeSpace GetDiskFreeSpaceW

namespace qlw {
// The per-user folder of named kernel objects: QLW_RUNTIME_DIR, else
// $XDG_RUNTIME_DIR/quillonographic, else /tmp/quillonographic-<uid>; created on first use.
std::string RuntimeFolder();
// Creates the folder and its missing parents, private to the user; false when one cannot be made.
bool MakeFolders(const std::string& path);

// Base of every object in the handle table; a waitable object answers TryAcquire.
class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // Called with the wait lock held: true when the object was obtained (result: WAIT_OBJECT_0 or
  // WAIT_ABANDONED) or is signalled.
  virtual bool TryAcquire(DWORD* result);
  // True when a wait on it cannot rely on in-process notification and must poll.
  virtual bool NeedsPolling() const { return false; }
  virtual bool IsWaitable() const { return false; }
};

HANDLE AddHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> FindHandle(HANDLE handle);
template <typename T>
std::shared_ptr<T> FindHandleOf(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(FindHandle(handle));
}
// Wakes waiters after an object changed its state; call with no lock of the object held.
void NotifyWaiters();
}  // namespace qlw
