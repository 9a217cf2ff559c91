// Files: handles over POSIX descriptors with the calls the file classes use to open, read, write,
// position, size, sync, rename and delete, a new file beside another, and aligned allocation.
// File mappings of these handles are in KernelObjects.h.
#pragma once
#include "KernelObjects.h"

#include <cstdio>
#include <functional>
#include <string>

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x1u
#define FILE_SHARE_WRITE 0x2u
#define FILE_SHARE_DELETE 0x4u

#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

#define FILE_ATTRIBUTE_DIRECTORY 0x10u
#define FILE_ATTRIBUTE_DEVICE 0x40u
#define FILE_ATTRIBUTE_NORMAL 0x80u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define FILE_FLAG_WRITE_THROUGH 0x80000000u
#define FILE_FLAG_NO_BUFFERING 0x20000000u
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000u

#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u

#define MOVEFILE_REPLACE_EXISTING 0x1u
#define MOVEFILE_WRITE_THROUGH 0x8u

struct LARGE_INTEGER {
  LONGLONG QuadPart;
};
typedef LARGE_INTEGER* PLARGE_INTEGER;

// INVALID_HANDLE_VALUE on failure, with GetLastError() set. A folder does not open
// (ERROR_ACCESS_DENIED). The caching flags are hints and change nothing here.
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES attributes, DWORD disposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
// Transfers the whole count unless the end of the file (read) or an error stops it. The last
// argument (overlapped input and output) must be null.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD done, void* overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD done, void* overlapped);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPosition, DWORD method);
BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size);
// Cuts or extends the file at the current position.
BOOL SetEndOfFile(HANDLE file);
// Waits until the file's data are on the disk.
BOOL FlushFileBuffers(HANDLE file);
// With MOVEFILE_WRITE_THROUGH the folder that receives the name is synced too, so the new name
// survives a power cut. Both paths must be on one volume.
BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags);
BOOL DeleteFileW(LPCWSTR path);
// FILE_ATTRIBUTE_DEVICE for anything that is neither a plain file nor a folder (a device, a
// pipe); links are followed.
DWORD GetFileAttributesW(LPCWSTR path);
// Writes the view's modified pages back to its file.
BOOL FlushViewOfFile(LPCVOID address, SIZE_T bytes);

// The C runtime's descriptor of a stream, and aligned blocks freed by _aligned_free.
int _fileno(FILE* stream);
void* _aligned_malloc(size_t size, size_t alignment);
void _aligned_free(void* block);

#define CreateFile CreateFileW
#define MoveFileEx MoveFileExW
#define DeleteFile DeleteFileW
#define GetFileAttributes GetFileAttributesW

namespace qlw {
// An open file in the handle table; closing its handle closes the descriptor.
class FileObject : public KernelObject {
 public:
  explicit FileObject(int descriptor) : fd(descriptor) {}
  ~FileObject() override;
  int fd;
};

// Test seam (platform/testing/SyncRecorder.h): called with every file that FlushFileBuffers syncs.
void SetSyncRecorder(std::function<void(HANDLE)> recorder);

// The descriptor behind a handle of CreateFileW or _get_osfhandle, or -1.
int FileDescriptor(HANDLE file);

// Makes a new empty file with a unique hidden name in the folder of target (which need not
// exist), for a writer that replaces target only once the new content is complete. A target
// that is a symbolic link becomes the file it points to, so the link survives the replacement.
// The new file takes target's permissions when target exists. False with GetLastError() set
// when the folder takes no new file or target exists and may not be written.
bool CreateFileBeside(std::wstring& target, std::wstring& created);
}  // namespace qlw
