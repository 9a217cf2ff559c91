#include "CFile.h"

#include <algorithm>
#include <cerrno>
#include <cwchar>

namespace {
// Our own wording of the causes; %s is the file's name.
const wchar_t* CauseText(int cause) {
  switch (cause) {
    case CFileException::fileNotFound: return L"The file '%s' was not found.";
    case CFileException::badPath: return L"The path of '%s' is not valid.";
    case CFileException::tooManyOpenFiles: return L"Too many files are open to open '%s'.";
    case CFileException::accessDenied: return L"Access to '%s' was denied.";
    case CFileException::invalidFile: return L"'%s' is not a valid file.";
    case CFileException::removeCurrentDir: return L"The current folder '%s' cannot be removed.";
    case CFileException::directoryFull: return L"The folder of '%s' is full.";
    case CFileException::badSeek: return L"A position in '%s' could not be reached.";
    case CFileException::hardIO: return L"A hardware error occurred with '%s'.";
    case CFileException::sharingViolation: return L"'%s' is in use by another program.";
    case CFileException::lockViolation: return L"A locked part of '%s' was accessed.";
    case CFileException::diskFull: return L"The disk is full while writing '%s'.";
    case CFileException::endOfFile: return L"The end of '%s' was reached unexpectedly.";
    default: return L"An unexpected error occurred with '%s'.";
  }
}

BOOL CopyMessage(const CString& text, LPWSTR buffer, UINT maxCount) {
  if (!buffer || maxCount == 0) return FALSE;
  const size_t n = std::min<size_t>(static_cast<size_t>(text.GetLength()), maxCount - 1);
  std::wmemcpy(buffer, text.GetString(), n);
  buffer[n] = L'\0';
  return TRUE;
}

DWORD AccessOf(UINT flags) {
  switch (flags & 3) {
    case CFile::modeWrite: return GENERIC_WRITE;
    case CFile::modeReadWrite: return GENERIC_READ | GENERIC_WRITE;
    default: return GENERIC_READ;
  }
}
}  // namespace

BOOL CException::GetErrorMessage(LPWSTR buffer, UINT maxCount, UINT* helpContext) const {
  if (helpContext) *helpContext = 0;
  if (buffer && maxCount) buffer[0] = L'\0';
  return FALSE;
}

BOOL CFileException::GetErrorMessage(LPWSTR buffer, UINT maxCount, UINT* helpContext) const {
  if (helpContext) *helpContext = 0;
  CString text;
  text.Format(CauseText(m_cause), m_strFileName.IsEmpty() ? L"unknown" : m_strFileName.GetString());
  return CopyMessage(text, buffer, maxCount);
}

int CFileException::OsErrorToException(LONG osError) {
  switch (osError) {
    case ERROR_SUCCESS: return none;
    case ERROR_FILE_NOT_FOUND: return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE: return badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return accessDenied;
    case ERROR_INVALID_HANDLE: return invalidFile;
    case ERROR_DIR_NOT_EMPTY: return removeCurrentDir;
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE: return hardIO;
    case ERROR_SHARING_VIOLATION: return sharingViolation;
    case ERROR_LOCK_VIOLATION: return lockViolation;
    case ERROR_DISK_FULL: return diskFull;
    case ERROR_HANDLE_EOF: return endOfFile;
    default: return genericException;
  }
}

int CFileException::ErrnoToException(int errnoValue) {
  switch (errnoValue) {
    case 0: return none;
    case ENOENT: return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return badPath;
    case EMFILE:
    case ENFILE: return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EEXIST: return accessDenied;
    case EBADF: return invalidFile;
    case ENOTEMPTY: return removeCurrentDir;
    case ESPIPE: return badSeek;
    case EIO: return hardIO;
    case ETXTBSY:
    case EBUSY: return sharingViolation;
    case ENOSPC:
    case EDQUOT: return diskFull;
    default: return genericException;
  }
}

void CFileException::ThrowOsError(LONG osError, LPCWSTR fileName) {
  AfxThrowFileException(OsErrorToException(osError), osError, fileName);
}

void CFileException::ThrowErrno(int errnoValue, LPCWSTR fileName) {
  AfxThrowFileException(ErrnoToException(errnoValue), static_cast<LONG>(qlw::Win32ErrorFromErrno(errnoValue)), fileName);
}

BOOL CNotSupportedException::GetErrorMessage(LPWSTR buffer, UINT maxCount, UINT* helpContext) const {
  if (helpContext) *helpContext = 0;
  return CopyMessage(L"The operation is not supported.", buffer, maxCount);
}

void AfxThrowFileException(int cause, LONG osError, LPCWSTR fileName) { throw new CFileException(cause, osError, fileName); }

void AfxThrowNotSupportedException() { throw new CNotSupportedException; }

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

CFile::CFile() : m_hFile(hFileNull) {}

CFile::CFile(HANDLE file) : m_hFile(file) {}

CFile::CFile(LPCWSTR path, UINT openFlags) : m_hFile(hFileNull) {
  CFileException error;
  if (!Open(path, openFlags, &error)) AfxThrowFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
}

CFile::~CFile() {
  if (m_hFile != hFileNull && m_bCloseOnDelete) Abort();
}

BOOL CFile::Open(LPCWSTR path, UINT openFlags, CFileException* error) {
  m_hFile = hFileNull;
  m_bCloseOnDelete = FALSE;
  m_strFileName = path;
  DWORD share = 0;
  switch (openFlags & 0x70) {
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone:
    case shareCompat: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: break;
  }
  DWORD disposition = OPEN_EXISTING;
  if (openFlags & modeCreate) disposition = (openFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
  HANDLE h = ::CreateFileW(path, AccessOf(openFlags), share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (error) {
      error->m_lOsError = static_cast<LONG>(GetLastError());
      error->m_cause = CFileException::OsErrorToException(error->m_lOsError);
      error->m_strFileName = path;
    }
    return FALSE;
  }
  m_hFile = h;
  m_bCloseOnDelete = TRUE;
  return TRUE;
}

void CFile::Close() {
  BOOL ok = TRUE;
  if (m_hFile != hFileNull) ok = ::CloseHandle(m_hFile);
  m_hFile = hFileNull;
  m_bCloseOnDelete = FALSE;
  if (!ok) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
  m_strFileName.Empty();
}

void CFile::Abort() {
  if (m_hFile != hFileNull) ::CloseHandle(m_hFile);
  m_hFile = hFileNull;
  m_bCloseOnDelete = FALSE;
  m_strFileName.Empty();
}

UINT CFile::Read(void* buffer, UINT count) {
  if (count == 0) return 0;
  DWORD done = 0;
  if (!::ReadFile(m_hFile, buffer, count, &done, nullptr)) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
  return done;
}

void CFile::Write(const void* buffer, UINT count) {
  if (count == 0) return;
  DWORD done = 0;
  if (!::WriteFile(m_hFile, buffer, count, &done, nullptr)) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
  // A short write means the disk ran out, as the platform reports it.
  if (done < count) AfxThrowFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFileName);
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from) {
  LARGE_INTEGER distance{offset}, position{0};
  if (!::SetFilePointerEx(m_hFile, distance, &position, from))
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
  return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG CFile::GetPosition() const {
  LARGE_INTEGER zero{0}, position{0};
  if (!::SetFilePointerEx(m_hFile, zero, &position, FILE_CURRENT))
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
  return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG CFile::GetLength() const {
  LARGE_INTEGER size{0};
  if (!::GetFileSizeEx(m_hFile, &size)) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
  return static_cast<ULONGLONG>(size.QuadPart);
}

void CFile::SetLength(ULONGLONG length) {
  const ULONGLONG position = GetPosition();
  Seek(static_cast<LONGLONG>(length), begin);
  if (!::SetEndOfFile(m_hFile)) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
  if (position < length) Seek(static_cast<LONGLONG>(position), begin);
}

void CFile::Flush() {
  if (m_hFile == hFileNull) return;
  if (!::FlushFileBuffers(m_hFile)) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
}

CString CFile::GetFileName() const {
  const std::wstring path = m_strFileName.GetString();
  const size_t slash = path.find_last_of(L"/\\");
  return CString(path.substr(slash == std::wstring::npos ? 0 : slash + 1));
}

CString CFile::GetFileTitle() const {
  // The extension is taken from the last dot of the name, never from a dotted folder.
  std::wstring name = GetFileName().GetString();
  const size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos && dot > 0) name.resize(dot);
  return CString(name);
}

void CFile::SetFilePath(LPCWSTR path) {
  if (!path) AfxThrowFileException(CFileException::badPath, ERROR_INVALID_PARAMETER);
  m_strFileName = path;
}

void CFile::Rename(LPCWSTR oldName, LPCWSTR newName) {
  if (!::MoveFileExW(oldName, newName, 0)) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), oldName);
}

void CFile::Remove(LPCWSTR fileName) {
  if (!::DeleteFileW(fileName)) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), fileName);
}
