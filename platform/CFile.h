// The class library's plain file CFile over the platform's file handles (Files.h), its exception
// root CException and CFileException. As in the class library, exceptions are thrown as heap
// objects (throw new CFileException) that the catcher releases with Delete().
#pragma once
#include "CString.h"
#include "Files.h"

class CException {
 public:
  virtual ~CException() = default;
  // Copies the message (at most maxCount - 1 characters and a NUL); false when there is none.
  virtual BOOL GetErrorMessage(LPWSTR buffer, UINT maxCount, UINT* helpContext = nullptr) const;
  void Delete() { delete this; }
};

class CFileException : public CException {
 public:
  enum Cause {
    none = 0,
    genericException = 1,
    fileNotFound = 2,
    badPath = 3,
    tooManyOpenFiles = 4,
    accessDenied = 5,
    invalidFile = 6,
    removeCurrentDir = 7,
    directoryFull = 8,
    badSeek = 9,
    hardIO = 10,
    sharingViolation = 11,
    lockViolation = 12,
    diskFull = 13,
    endOfFile = 14,
  };
  explicit CFileException(int cause = none, LONG osError = -1, LPCWSTR fileName = nullptr)
      : m_cause(cause), m_lOsError(osError), m_strFileName(fileName) {}
  BOOL GetErrorMessage(LPWSTR buffer, UINT maxCount, UINT* helpContext = nullptr) const override;
  // The cause of a platform error number, and of a C library errno.
  static int OsErrorToException(LONG osError);
  static int ErrnoToException(int errnoValue);
  [[noreturn]] static void ThrowOsError(LONG osError, LPCWSTR fileName = nullptr);
  [[noreturn]] static void ThrowErrno(int errnoValue, LPCWSTR fileName = nullptr);

  int m_cause;
  LONG m_lOsError;
  CString m_strFileName;
};

class CNotSupportedException : public CException {
 public:
  BOOL GetErrorMessage(LPWSTR buffer, UINT maxCount, UINT* helpContext = nullptr) const override;
};

[[noreturn]] void AfxThrowFileException(int cause, LONG osError = -1, LPCWSTR fileName = nullptr);
[[noreturn]] void AfxThrowNotSupportedException();

class CFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareCompat = 0x0000,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoInherit = 0x0080,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000,
  };
  enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };
  static const HANDLE hFileNull;

  CFile();
  explicit CFile(HANDLE file);
  // Opens or throws a CFileException.
  CFile(LPCWSTR path, UINT openFlags);
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  virtual ~CFile();

  // False (the cause in *error when given) when the file cannot be opened.
  virtual BOOL Open(LPCWSTR path, UINT openFlags, CFileException* error = nullptr);
  // Close throws on a failure to close; Abort never throws.
  virtual void Close();
  virtual void Abort();
  virtual UINT Read(void* buffer, UINT count);
  virtual void Write(const void* buffer, UINT count);
  virtual ULONGLONG Seek(LONGLONG offset, UINT from);
  ULONGLONG SeekToEnd() { return Seek(0, end); }
  void SeekToBegin() { Seek(0, begin); }
  virtual ULONGLONG GetPosition() const;
  virtual ULONGLONG GetLength() const;
  virtual void SetLength(ULONGLONG length);
  virtual void Flush();
  virtual CString GetFileName() const;
  virtual CString GetFileTitle() const;
  virtual CString GetFilePath() const { return m_strFileName; }
  virtual void SetFilePath(LPCWSTR path);
  static void Rename(LPCWSTR oldName, LPCWSTR newName);
  static void Remove(LPCWSTR fileName);
  operator HANDLE() const { return m_hFile; }

  HANDLE m_hFile;
  BOOL m_bCloseOnDelete = FALSE;
  CString m_strFileName;
};
