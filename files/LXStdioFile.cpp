#include "LXStdioFile.h"

#include "LXUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>

template <class Base>
CLXStdioFile<Base>::~CLXStdioFile() {
  // A write not finished by Close or WriteFile is dropped rather than half replacing the old file.
  if (this->IsWritingBeside())
    Abort();
  else
    Release();
}

template <class Base>
void CLXStdioFile<Base>::BuildModeString() {
  uint32_t f = GetOpenFlags();
  const bool readOnly = (f & 3) == 0;
  if (readOnly)
    f = (f | CLXFile::typeBinary) & ~uint32_t(CLXFile::typeText);
  else
    f = (f | CLXFile::typeText) & ~uint32_t(CLXFile::typeBinary);
  SetOpenFlags(f);
  std::wstring mode;
  if (f & CLXFile::modeWrite)
    mode = (f & CLXFile::modeNoTruncate) ? L"a" : L"w";
  else if (!(f & CLXFile::modeReadWrite))
    mode = L"r";
  else if (f & CLXFile::modeNoTruncate)
    mode = L"a+";
  else if (f & CLXFile::modeCreate)
    mode = L"w+";
  else
    mode = L"r+";
  mode += (f & CLXFile::typeText) ? L"t" : L"b";
  mode += L"S";
  m_mode = mode;
}

template <class Base>
bool CLXStdioFile<Base>::Open(const wchar_t* path, uint32_t flags, LXFileOpenError* error) {
  SetOpenFlags(flags);
  BuildModeString();
  flags = GetOpenFlags();
  CString canonical(path);
  CUtils::CanonicalizePathCopy(canonical);
  this->m_strFileName = canonical;
  if (!(flags & CLXFile::modeCreate) && ::GetFileAttributesW(canonical.GetString()) == INVALID_FILE_ATTRIBUTES) {
    SetOpenFlags(0);
    return false;
  }
  const DWORD attributes = ::GetFileAttributesW(canonical.GetString());
  // A folder opens as a stream on this system but is no file to read or write.
  if (attributes == FILE_ATTRIBUTE_DIRECTORY) {
    if (error) {
      error->m_lOsError = ERROR_ACCESS_DENIED;
      error->m_strFileName = this->m_strFileName;
    }
    SetOpenFlags(0);
    return false;
  }
  CString openPath;
  if (!this->PrepareWriteBeside(canonical.GetString(), flags, openPath, error)) {
    SetOpenFlags(0);
    return false;
  }
  // The C library takes the letters r, w, a, + and b; "t" and "S" are hints it has no use for.
  std::string mode;
  for (wchar_t c : m_mode)
    if (c == L'r' || c == L'w' || c == L'a' || c == L'+' || c == L'b') mode += static_cast<char>(c);
  mode += 'e';  // close on exec
  m_stream = std::fopen(openPath.ToUtf8().c_str(), mode.c_str());
  if (!m_stream) {
    if (error) {
      error->m_lOsError = static_cast<int>(qlw::Win32ErrorFromErrno(errno));
      error->m_strFileName = this->m_strFileName;
    }
    this->DiscardWriteBeside();
    SetOpenFlags(0);
    return false;
  }
  this->m_hFile = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(m_stream)));
  this->m_bCloseOnDelete = true;
  this->m_unsynced = (flags & 3) != 0;
  m_view = m_last = m_cursor = nullptr;
  m_length = 0;
  if ((flags & 3) == 0) {
    const uint64_t length = GetLength();
    if (length > 0) {
      m_mapping = ::CreateFileMappingW(this->m_hFile, nullptr, PAGE_READONLY, 0, 0, nullptr);
      void* view = m_mapping ? ::MapViewOfFile(m_mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
      if (view) {
        m_view = static_cast<uint8_t*>(view);
        m_length = length;
        m_mapped = true;
      } else if (m_mapping) {
        ::CloseHandle(m_mapping);
        m_mapping = nullptr;
      }
    }
  }
  if (!m_mapped) {
    m_streamBuffer = static_cast<char*>(std::malloc(kStreamBufferSize));
    if (m_streamBuffer && std::setvbuf(m_stream, m_streamBuffer, _IOFBF, kStreamBufferSize) == 0) {
      m_view = reinterpret_cast<uint8_t*>(m_streamBuffer);
      m_length = kStreamBufferSize;
    }
  }
  if (m_view) {
    m_cursor = m_view;
    m_last = m_view + m_length - 1;
  }
  return true;
}

template <class Base>
void CLXStdioFile<Base>::Release() {
  if (m_mapped && m_view) ::UnmapViewOfFile(m_view);
  if (m_mapping) ::CloseHandle(m_mapping);
  m_mapping = nullptr;
  m_mapped = false;
  m_view = m_last = m_cursor = nullptr;
  m_length = 0;
  if (m_stream) std::fclose(m_stream);
  m_stream = nullptr;
  std::free(m_streamBuffer);
  m_streamBuffer = nullptr;
  this->m_hFile = INVALID_HANDLE_VALUE;
  this->m_bCloseOnDelete = false;
}

template <class Base>
void CLXStdioFile<Base>::Close() {
  if (m_stream) {
    try {
      this->CompleteWrite();
    } catch (...) {
      Abort();
      throw;
    }
  }
  Release();
}

template <class Base>
void CLXStdioFile<Base>::Abort() {
  Release();
  this->DiscardWriteBeside();
}

template <class Base>
void CLXStdioFile<Base>::Flush() {
  if (!m_stream) return;
  if (m_mapped) {
    ::FlushViewOfFile(m_view, m_length);
  } else if (std::fflush(m_stream) != 0 || std::ferror(m_stream)) {
    const int error = errno;
    throw CLXXFile(kLXSeverityMessage, qlw::Win32ErrorFromErrno(error ? error : EIO), __LINE__);
  }
}

template <class Base>
uint64_t CLXStdioFile<Base>::GetLength() const {
  if (!m_stream) return 0;
  LARGE_INTEGER size{0};
  return ::GetFileSizeEx(this->m_hFile, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

template <class Base>
void CLXStdioFile<Base>::ReleaseViewPages() {
  if (m_mapped && m_view) madvise(m_view, m_length, MADV_DONTNEED);
}

template <class Base>
void CLXStdioFile<Base>::SkipLine() {
  for (int c = NextChar(); c >= 0; c = NextChar()) {
    if (c == '\n') return;
    if (c == '\r') {
      const int next = NextChar();
      if (next != '\n') PushBack(next);
      return;
    }
  }
}

template <class Base>
int CLXStdioFile<Base>::ReadLine(char* buffer, int size) {
  // One line reader for both forms; the string is kept so that lines cost no allocation.
  thread_local std::string line;
  const int stored = ReadLine(line, size);
  if (size > 0) {
    std::memcpy(buffer, line.data(), line.size());
    buffer[line.size()] = '\0';
  }
  return stored;
}

template <class Base>
int CLXStdioFile<Base>::ReadLine(std::string& line, int size) {
  // As ReadLine into a buffer, without filling a buffer of the full size for every line: the
  // block index reads every line of a file this way.
  line.clear();
  const size_t keep = size > 0 ? static_cast<size_t>(size - 1) : 0;
  bool ended = false, exhausted = false;
  for (;;) {
    if (m_mapped && line.size() < keep) {
      // The run up to the line's end, a NUL or the limit, at once.
      const uint8_t* p = m_cursor;
      const uint8_t* const stop = m_cursor + std::min<uint64_t>(keep - line.size(), static_cast<uint64_t>(m_last + 1 - m_cursor));
      while (p < stop && *p != '\n' && *p != '\r' && *p != 0) ++p;
      line.append(reinterpret_cast<const char*>(m_cursor), static_cast<size_t>(p - m_cursor));
      m_cursor = const_cast<uint8_t*>(p);
    }
    const int c = NextChar();
    if (c < 0) {
      exhausted = true;
      break;
    }
    if (c == 0) continue;
    if (c == '\n') {
      ended = true;
      break;
    }
    if (c == '\r') {
      const int next = NextChar();
      if (next != '\n') PushBack(next);
      ended = true;
      break;
    }
    if (line.size() < keep) line += static_cast<char>(c);
  }
  const int stored = static_cast<int>(line.size());
  // A stream that fails (a read error, not only the end) must end the caller's loop too.
  if (stored == 0 && (m_mapped ? m_cursor > m_last : (!ended && exhausted))) return -1;
  return stored;
}

template class CLXStdioFile<CQlwFile>;
