#include "LXStdioCFile.h"

#include "LXException.h"
#include "LXUtils.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

CLXStdioFile<CFile>::CLXStdioFile(const wchar_t* path) {
  CFileException error;
  if (!Open(path, modeCreate | shareExclusive | modeReadWrite, &error)) {
    wchar_t text[512] = {};
    error.GetErrorMessage(text, 512);
    throw CLXXMFC(CString(text), kLXSeverityMessage, static_cast<LONGLONG>(::GetLastError()), __LINE__);
  }
}

CLXStdioFile<CFile>::~CLXStdioFile() {
  if (!m_stream) return;
  // A destructor must not throw: whoever needs to know that the last buffer reached the disk
  // calls Close and catches.
  try {
    Close();
  } catch (CException* e) {
    e->Delete();
  }
}

void CLXStdioFile<CFile>::BuildModeString() {
  UINT f = GetOpenFlags();
  if ((f & 3) == 0)
    f = (f | typeBinary) & ~UINT(typeText);
  else
    f = (f | typeText) & ~UINT(typeBinary);
  SetOpenFlags(f);
  CString mode;
  if (f & modeWrite)
    mode = (f & modeNoTruncate) ? L"a" : L"w";
  else if (!(f & modeReadWrite))
    mode = L"r";
  else if (f & modeNoTruncate)
    mode = L"a+";
  else if (f & modeCreate)
    mode = L"w+";
  else
    mode = L"r+";
  mode += (f & typeText) ? L"t" : L"b";
  mode += L"S";
  m_mode = mode;
}

BOOL CLXStdioFile<CFile>::Open(LPCWSTR path, UINT flags, CFileException* error) {
  SetOpenFlags(flags);
  BuildModeString();
  flags = GetOpenFlags();
  CString canonical(path);
  CUtils::CanonicalizePathCopy(canonical);
  m_strFileName = canonical;
  const DWORD attributes = ::GetFileAttributesW(canonical.GetString());
  if (!(flags & modeCreate) && attributes == INVALID_FILE_ATTRIBUTES) {
    SetOpenFlags(0);
    return FALSE;
  }
  // The C library takes r, w, a, + and b; "t" and "S" are hints it has no use for here.
  std::string mode;
  for (int i = 0; i < m_mode.GetLength(); ++i) {
    const wchar_t c = m_mode[i];
    if (c == L'r' || c == L'w' || c == L'a' || c == L'+' || c == L'b') mode += static_cast<char>(c);
  }
  mode += 'e';
  // A folder opens as a stream here but is no file to read or write.
  m_stream = attributes == FILE_ATTRIBUTE_DIRECTORY ? nullptr : std::fopen(CString(path).ToUtf8().c_str(), mode.c_str());
  if (!m_stream) {
    const int err = attributes == FILE_ATTRIBUTE_DIRECTORY ? EISDIR : errno;
    ::SetLastError(qlw::Win32ErrorFromErrno(err));
    if (error) {
      error->m_lOsError = static_cast<LONG>(::GetLastError());
      error->m_cause = CFileException::ErrnoToException(err);
      error->m_strFileName = path;
    }
    SetOpenFlags(0);
    return FALSE;
  }
  m_hFile = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(m_stream)));
  if ((flags & 3) == 0) {
    const ULONGLONG length = GetLength();
    m_mapping = length ? ::CreateFileMappingW(m_hFile, nullptr, PAGE_READONLY, 0, 0, nullptr) : nullptr;
    m_view = m_mapping ? static_cast<uint8_t*>(::MapViewOfFile(m_mapping, FILE_MAP_READ, 0, 0, 0)) : nullptr;
    if (m_view) {
      m_regionSize = length;
    } else if (m_mapping) {
      ::CloseHandle(m_mapping);
      m_mapping = nullptr;
    }
  }
  if (!m_view) {
    m_streamBuffer = static_cast<char*>(std::malloc(kStreamBufferSize));
    if (m_streamBuffer && std::setvbuf(m_stream, m_streamBuffer, _IOFBF, kStreamBufferSize) == 0)
      m_regionSize = kStreamBufferSize;
  }
  uint8_t* start = m_view ? m_view : reinterpret_cast<uint8_t*>(m_streamBuffer);
  if (start && m_regionSize) {
    m_regionCursor = start;
    m_regionEnd = start + m_regionSize - 1;
  }
  return TRUE;
}

ULONGLONG CLXStdioFile<CFile>::GetLength() const {
  if (!m_stream) return 0;
  std::error_code ec;
  const auto size = std::filesystem::file_size(std::filesystem::u8path(m_strFileName.ToUtf8()), ec);
  return ec ? 0 : static_cast<ULONGLONG>(size);
}

void CLXStdioFile<CFile>::Flush() {
  if (!m_stream) return;
  if (m_view)
    ::FlushViewOfFile(m_view, 0);
  else if (std::fflush(m_stream) != 0)
    CFileException::ThrowErrno(errno, m_strFileName.GetString());
}

void CLXStdioFile<CFile>::Close() {
  if (m_view) ::UnmapViewOfFile(m_view);
  if (m_mapping) ::CloseHandle(m_mapping);
  m_view = nullptr;
  m_mapping = nullptr;
  const bool failed = m_stream && std::fclose(m_stream) != 0;
  const int err = errno;
  m_stream = nullptr;
  std::free(m_streamBuffer);
  m_streamBuffer = nullptr;
  m_regionSize = 0;
  m_regionCursor = m_regionEnd = nullptr;
  m_hFile = hFileNull;
  // A stream that cannot write its last buffer (a full disk) is an error, never a silent loss.
  if (failed) CFileException::ThrowErrno(err, m_strFileName.GetString());
}
