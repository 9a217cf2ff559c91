#include "LXFile.h"

#include "LXUtils.h"
#include "TextCodec.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace {
constexpr uint64_t kMaxBufferSize = 0x500000;    // 5 MiB
constexpr uint64_t kMinAlignedBuffer = 16385;     // below this an aligned buffer is not worth having
constexpr uint32_t kWindowsOpenBits = 0xA8000000; // write-through, no buffering, sequential scan
constexpr uint32_t kCRCKTag = 0x4352434B;         // "CRCK" read as a big-endian code

uint32_t Swap32(uint32_t v) { return __builtin_bswap32(v); }

// A file opened for writing with create and without no-truncate replaces what was there.
bool ReplacesFile(uint32_t flags) {
  return (flags & 3) && (flags & CLXFile::modeCreate) && !(flags & CLXFile::modeNoTruncate);
}
}  // namespace

CLXFile::CLXFile() { m_blocks.reserve(5); }

CLXFile::~CLXFile() {
  CloseMapping();
  std::free(m_scratch);
  if (IsOpen() && m_bCloseOnDelete) ::CloseHandle(m_hFile);
  // Never finished from a destructor, where a failure could not be reported.
  DiscardWriteBeside();
}

// ----- platform file -----

void CLXFile::ThrowLastError(UINT line) {
  const DWORD error = ::GetLastError();
  throw CLXXFile(kLXSeverityMessage, error ? error : ERROR_GEN_FAILURE, line);
}

uint64_t CLXFile::PlatformPosition() const {
  LARGE_INTEGER p{0};
  if (!IsOpen() || !::SetFilePointerEx(m_hFile, LARGE_INTEGER{0}, &p, FILE_CURRENT)) return 0;
  return static_cast<uint64_t>(p.QuadPart);
}

uint64_t CLXFile::PlatformLength() const {
  LARGE_INTEGER size{0};
  if (!IsOpen() || !::GetFileSizeEx(m_hFile, &size)) return 0;
  return static_cast<uint64_t>(size.QuadPart);
}

uint32_t CLXFile::PlatformRead(void* dst, uint64_t count) {
  if (!IsOpen()) return 0;
  DWORD done = 0;
  if (!::ReadFile(m_hFile, dst, static_cast<DWORD>(std::min<uint64_t>(count, 0xFFFFFFFFu)), &done, nullptr))
    ThrowLastError(__LINE__);
  return done;
}

void CLXFile::PlatformWrite(const void* src, uint64_t count) {
  if (!IsOpen()) throw CLXXFile(kLXSeverityMessage, ERROR_INVALID_HANDLE, __LINE__);
  const auto* bytes = static_cast<const uint8_t*>(src);
  while (count > 0) {
    const DWORD piece = static_cast<DWORD>(std::min<uint64_t>(count, 0x40000000));
    DWORD done = 0;
    if (!::WriteFile(m_hFile, bytes, piece, &done, nullptr)) ThrowLastError(__LINE__);
    bytes += piece;
    count -= piece;
  }
  m_unsynced = true;
}

uint64_t CLXFile::PlatformSeek(int64_t offset, int from) {
  if (!IsOpen()) return 0;
  const DWORD method = from == begin ? FILE_BEGIN : from == current ? FILE_CURRENT : FILE_END;
  LARGE_INTEGER p{0};
  if (!::SetFilePointerEx(m_hFile, LARGE_INTEGER{offset}, &p, method)) ThrowLastError(__LINE__);
  return static_cast<uint64_t>(p.QuadPart);
}

void CLXFile::PlatformSetLength(uint64_t length) {
  if (!IsOpen()) throw CLXXFile(kLXSeverityMessage, ERROR_INVALID_HANDLE, __LINE__);
  PlatformSeek(static_cast<int64_t>(length), begin);
  if (!::SetEndOfFile(m_hFile)) ThrowLastError(__LINE__);
  m_unsynced = true;
}

void CLXFile::PlatformClose() {
  if (IsOpen()) ::CloseHandle(m_hFile);
  m_hFile = INVALID_HANDLE_VALUE;
  m_bCloseOnDelete = false;
}

// ----- writing beside the old file -----

bool CLXFile::PrepareWriteBeside(const wchar_t* path, uint32_t flags, CString& openPath, LXFileOpenError* error) {
  openPath = path;
  m_besidePath.Empty();
  m_replacedPath.Empty();
  m_unsynced = false;
  if (!ReplacesFile(flags)) return true;
  const DWORD attributes = ::GetFileAttributesW(path);
  // A device or pipe is written in place: it cannot be replaced by a file.
  if (attributes == FILE_ATTRIBUTE_DEVICE) return true;
  std::wstring target(path), beside;
  if (attributes == FILE_ATTRIBUTE_DIRECTORY) {
    ::SetLastError(ERROR_ACCESS_DENIED);
  } else if (qlw::CreateFileBeside(target, beside)) {
    m_replacedPath = target.c_str();
    m_besidePath = beside.c_str();
    openPath = m_besidePath;
    return true;
  }
  if (error) {
    error->m_lOsError = static_cast<int>(::GetLastError());
    error->m_strFileName = path;
  }
  return false;
}

void CLXFile::DiscardWriteBeside() {
  if (m_besidePath.IsEmpty()) return;
  ::DeleteFileW(m_besidePath.GetString());
  m_besidePath.Empty();
  m_replacedPath.Empty();
}

void CLXFile::SyncToDisk() {
  if (!m_unsynced || !IsOpen()) return;
  if (!::FlushFileBuffers(m_hFile)) ThrowLastError(__LINE__);
  m_unsynced = false;
}

void CLXFile::CompleteWrite() {
  if (!IsOpen()) return;
  Flush();
  if ((GetOpenFlags() & 3) == 0) return;
  SyncToDisk();
  if (m_besidePath.IsEmpty()) return;
  if (!::MoveFileExW(m_besidePath.GetString(), m_replacedPath.GetString(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    ThrowLastError(__LINE__);
  m_besidePath.Empty();
  m_replacedPath.Empty();
}

// ----- buffer -----

void CLXFile::CloseMapping() {
  if (m_buffer) {
    if (m_mapped)
      ::UnmapViewOfFile(m_buffer);
    else
      _aligned_free(m_buffer);
  }
  if (m_mapping) ::CloseHandle(m_mapping);
  m_mapping = nullptr;
  m_buffer = nullptr;
  m_mapped = false;
  m_dirty = false;
  m_capacity = m_valid = m_bufferPos = 0;
  m_cursor = nullptr;
}

void CLXFile::ResetWindow() {
  if (!m_buffer) return;
  if (m_mapped) {
    m_bufferPos = 0;
    m_valid = m_capacity;
  } else {
    m_valid = 0;
    m_dirty = false;
    m_bufferPos = PlatformPosition();
  }
  m_cursor = m_buffer;
}

void CLXFile::AcquireBuffer(uint64_t size) {
  CloseMapping();
  if (size == 0) return;
  if ((m_openFlags & 3) == 0) {
    const uint64_t length = PlatformLength();
    if (length > 0) {
      m_mapping = ::CreateFileMappingW(m_hFile, nullptr, PAGE_READONLY, 0, 0, nullptr);
      void* view = m_mapping ? ::MapViewOfFile(m_mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
      if (view) {
        m_buffer = static_cast<uint8_t*>(view);
        m_capacity = length;
        m_mapped = true;
        return;
      }
      if (m_mapping) ::CloseHandle(m_mapping);
      m_mapping = nullptr;
    }
  }
  uint64_t alignment = 4096;
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (::GetDiskFreeSpaceW(m_strFileName.GetString(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters) &&
      bytesPerSector >= 512 && (bytesPerSector & (bytesPerSector - 1)) == 0)
    alignment = bytesPerSector;
  size = (size + alignment - 1) / alignment * alignment;
  while (size >= kMinAlignedBuffer) {
    if (void* p = _aligned_malloc(size, alignment)) {
      m_buffer = static_cast<uint8_t*>(p);
      m_capacity = size;
      return;
    }
    size /= 2;
  }
}

// ----- CFile overrides -----

uint64_t CLXFile::GetPosition() const {
  if (m_buffer) return m_bufferPos + static_cast<uint64_t>(m_cursor - m_buffer);
  return PlatformPosition();
}

CString CLXFile::GetFileName() const {
  std::wstring path(static_cast<LPCWSTR>(m_strFileName));
  const size_t slash = path.find_last_of(L'/');
  return CString(slash == std::wstring::npos ? path.c_str() : path.c_str() + slash + 1);
}

CString CLXFile::GetFilePath() const { return m_strFileName; }

void CLXFile::SetFilePath(const wchar_t* path) {
  if (!path) throw std::invalid_argument("null file path");
  m_strFileName = path;
}

CString CLXFile::GetFileTitle() const {
  CString title = m_title.IsEmpty() ? GetFileName() : m_title;
  CUtils::GetFileTitle(title);
  if (GetBlockCount(false) >= 2) {
    if (!m_blockName.IsEmpty()) return m_blockName;
    CString format, text;
    format.LoadString(1083);
    text.Format(format, title.GetString(), static_cast<int>(m_currentBlock + 1));
    return text;
  }
  return title;
}

bool CLXFile::Open(const wchar_t* path, uint32_t flags, LXFileOpenError* error) {
  m_nativeOrder = !IsBigEndian();
  flags |= kWindowsOpenBits;
  SetOpenFlags(flags);
  CString openPath;
  HANDLE h = INVALID_HANDLE_VALUE;
  if (PrepareWriteBeside(path, flags, openPath, error)) {
    const DWORD access = (flags & modeReadWrite) ? GENERIC_READ | GENERIC_WRITE : (flags & modeWrite) ? GENERIC_WRITE : GENERIC_READ;
    const DWORD disposition = !(flags & modeCreate) ? OPEN_EXISTING : (flags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    const DWORD share = (flags & shareDenyWrite) ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
    h = ::CreateFileW(openPath.GetString(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      if (error) {
        error->m_lOsError = static_cast<int>(::GetLastError());
        error->m_strFileName = path;
      }
      DiscardWriteBeside();
    }
  }
  if (h == INVALID_HANDLE_VALUE) {
    SetOpenFlags(0);
    return false;
  }
  m_hFile = h;
  m_bCloseOnDelete = true;
  m_strFileName = path;
  uint64_t size = kMaxBufferSize;
  if ((flags & 3) == 0) size = std::min(PlatformLength(), kMaxBufferSize);
  AcquireBuffer(size);
  ResetWindow();
  return true;
}

uint64_t CLXFile::Seek(int64_t offset, uint32_t from) {
  if (!m_buffer) return PlatformSeek(offset, static_cast<int>(from));
  int64_t target = offset;
  if (from == current) target += static_cast<int64_t>(GetPosition());
  if (from == end) target += static_cast<int64_t>(GetLength());
  if (target < 0) throw CLXXFile(kLXSeverityMessage, ERROR_INVALID_PARAMETER, __LINE__);
  const auto t = static_cast<uint64_t>(target);
  if (t >= m_bufferPos && t <= m_bufferPos + m_valid) {
    m_cursor = m_buffer + (t - m_bufferPos);
    return t;
  }
  if (m_mapped) {
    m_cursor = m_buffer + m_capacity;
    return m_capacity;
  }
  Flush();
  PlatformSeek(target, begin);
  ResetWindow();
  return t;
}

void CLXFile::SetLength(uint64_t length) {
  if (m_buffer && length > m_bufferPos + m_valid) {
    Seek(static_cast<int64_t>(length), begin);
    return;
  }
  if (!m_buffer || m_mapped) {
    const uint64_t position = PlatformPosition();
    PlatformSetLength(length);
    if (!m_buffer) PlatformSeek(static_cast<int64_t>(std::min(position, length)), begin);
    return;
  }
  // The window's bytes go out first, so that none comes back past the new end; the position
  // then stays within the file and the next read starts afresh from the disk.
  const uint64_t position = GetPosition();
  Flush();
  PlatformSetLength(length);
  PlatformSeek(static_cast<int64_t>(std::min(position, length)), begin);
  ResetWindow();
}

uint64_t CLXFile::GetLength() const {
  const uint64_t length = PlatformLength();
  return m_buffer ? std::max(length, m_bufferPos + m_valid) : length;
}

uint32_t CLXFile::Read(void* dst, uint32_t count) {
  if (!m_buffer || count == 0) return PlatformRead(dst, count);
  const uint64_t available = m_valid - static_cast<uint64_t>(m_cursor - m_buffer);
  const uint64_t n = std::min<uint64_t>(count, available);
  if (n && dst) std::memcpy(dst, m_cursor, n);
  m_cursor += n;
  if (n == count) return static_cast<uint32_t>(n);
  if (m_mapped || GetPosition() >= GetLength()) return static_cast<uint32_t>(n);
  uint8_t* out = dst ? static_cast<uint8_t*>(dst) + n : nullptr;
  const uint64_t rest = count - n;
  // Bytes written into the window but not yet on disk would be lost when it is refilled.
  Flush();
  m_bufferPos = PlatformSeek(static_cast<int64_t>(m_bufferPos + m_valid), begin);
  if (rest <= m_capacity) {
    m_valid = PlatformRead(m_buffer, m_capacity);
    m_dirty = false;
    m_cursor = m_buffer;
    const uint64_t k = std::min(rest, m_valid);
    if (k && out) std::memcpy(out, m_cursor, k);
    m_cursor += k;
    return static_cast<uint32_t>(n + k);
  }
  uint64_t k;
  if (out) {
    k = PlatformRead(out, rest);
  } else {
    const uint64_t before = PlatformPosition();
    k = std::min(rest, PlatformLength() - std::min(PlatformLength(), before));
    PlatformSeek(static_cast<int64_t>(k), current);
  }
  ResetWindow();
  return static_cast<uint32_t>(n + k);
}

void CLXFile::Write(const void* src, uint32_t count) {
  if (!m_buffer || m_mapped) {
    if (m_mapped) throw CLXXFile(kLXSeverityMessage, ERROR_ACCESS_DENIED, __LINE__);
    PlatformWrite(src, count);
    return;
  }
  if (count <= m_capacity - static_cast<uint64_t>(m_cursor - m_buffer)) {
    std::memcpy(m_cursor, src, count);
    m_cursor += count;
    m_valid = std::max<uint64_t>(m_valid, static_cast<uint64_t>(m_cursor - m_buffer));
    m_dirty = true;
    return;
  }
  const uint64_t position = GetPosition();
  Flush();
  PlatformSeek(static_cast<int64_t>(position), begin);
  PlatformWrite(src, count);
  ResetWindow();
}

void CLXFile::LockRange(uint64_t, uint64_t) { throw std::logic_error("file locking is not supported"); }
void CLXFile::UnlockRange(uint64_t, uint64_t) { throw std::logic_error("file locking is not supported"); }

void CLXFile::Abort() {
  CloseMapping();
  PlatformClose();
  DiscardWriteBeside();
}

// Writes the window out but does not sync: that happens once, when the file is complete.
void CLXFile::Flush() {
  if (!IsOpen()) return;
  if ((m_openFlags & 3) && m_buffer && !m_mapped && m_valid && m_dirty) {
    m_bufferPos = PlatformSeek(static_cast<int64_t>(m_bufferPos), begin);
    PlatformWrite(m_buffer, m_valid);
    m_dirty = false;
  }
}

void CLXFile::Close() {
  if (IsOpen()) {
    try {
      CompleteWrite();
    } catch (...) {
      Abort();
      m_openFlags = 0;
      throw;
    }
  }
  CloseMapping();
  m_openFlags = 0;
  PlatformClose();
}

uint32_t CLXFile::GetBlockCount(bool all) const {
  if (m_blocks.empty()) return 1;
  if (all) return static_cast<uint32_t>(m_blocks.size());
  return static_cast<uint32_t>(std::count_if(m_blocks.begin(), m_blocks.end(), [](const BlockRecord& b) { return b.m_flag != 0; }));
}

uint32_t CLXFile::CountBlocks(const wchar_t* path) {
  bool openedHere = false;
  if (!IsOpen()) {
    Open(path, modeRead | shareDenyWrite | typeBinary);
    openedHere = IsOpen();
  }
  uint32_t count = 0;
  try {
    if (IsOpen() && IndexBlocks()) count = GetBlockCount(false);
  } catch (const CLXException&) {
    count = 0;  // a file whose blocks cannot be listed counts none
  }
  if (openedHere) Close();
  return count;
}

// ----- record helpers -----

void CLXFile::ReadExact(uint64_t count, void* dst) {
  if (!dst) {
    Seek(static_cast<int64_t>(count), current);
    return;
  }
  auto* out = static_cast<uint8_t*>(dst);
  while (count > 0) {
    const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(count, 0x40000000));
    if (Read(out, piece) != piece) throw CLXXFileEOF(kLXSeverityMessage, 0, __LINE__);
    out += piece;
    count -= piece;
  }
}

// A length or count read from a file is checked against the bytes left before anything is
// allocated for it, so a damaged field cannot ask for gigabytes.
void CLXFile::RequireBytes(uint64_t count) {
  const uint64_t length = GetLength(), position = GetPosition();
  if (position > length || count > length - position) throw CLXXFileEOF(kLXSeverityMessage, 0, __LINE__);
}

// ----- single values -----

uint64_t SwapDoubleBytes(uint64_t bits, bool native) { return native ? bits : __builtin_bswap64(bits); }

uint16_t CLXFile::ReadUInt16() {
  uint16_t v;
  ReadExact(2, &v);
  return m_nativeOrder ? v : __builtin_bswap16(v);
}

int32_t CLXFile::ReadInt32() {
  uint32_t v;
  ReadExact(4, &v);
  return static_cast<int32_t>(m_nativeOrder ? v : Swap32(v));
}

int32_t CLXFile::ReadInt32BigEndian() {
  uint8_t b[4];
  ReadExact(4, b);
  return static_cast<int32_t>((uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3]);
}

double CLXFile::ReadDouble() {
  uint64_t bits;
  ReadExact(8, &bits);
  bits = SwapDoubleBytes(bits, m_nativeOrder);
  double v;
  std::memcpy(&v, &bits, 8);
  return v;
}

void CLXFile::WriteUInt16(uint16_t v) {
  if (!m_nativeOrder) v = __builtin_bswap16(v);
  Write(&v, 2);
}

void CLXFile::WriteInt32(int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  if (!m_nativeOrder) u = Swap32(u);
  Write(&u, 4);
}

void CLXFile::WriteInt32BigEndian(int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  const uint8_t b[4] = {uint8_t(u >> 24), uint8_t(u >> 16), uint8_t(u >> 8), uint8_t(u)};
  Write(b, 4);
}

void CLXFile::WriteDouble(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  bits = SwapDoubleBytes(bits, m_nativeOrder);
  Write(&bits, 8);
}

// ----- records -----

void CLXFile::ReadDoubleRect(LXGraphics::CSyncRect& out) {
  const double x = ReadDouble(), y = ReadDouble(), width = ReadDouble(), height = ReadDouble();
  out.SetXYWH(static_cast<float>(x), static_cast<float>(y), static_cast<float>(width), static_cast<float>(height));
}

void CLXFile::WriteDoubleRect(const LXGraphics::CSyncRect& rect) {
  WriteDouble(rect.m_float.X);
  WriteDouble(rect.m_float.Y);
  WriteDouble(rect.m_float.Width);
  WriteDouble(rect.m_float.Height);
}

void CLXFile::ReadRect(LXGraphics::CSyncRect& out) {
  const int32_t top = static_cast<int16_t>(ReadUInt16());
  const int32_t left = static_cast<int16_t>(ReadUInt16());
  const int32_t bottom = static_cast<int16_t>(ReadUInt16());
  const int32_t right = static_cast<int16_t>(ReadUInt16());
  out.m_rect = RECT{left, top, right, bottom};
  out.m_int = LXGraphics::CSyncIntRect{left, top, right - left, bottom - top};
  out.m_float = LXGraphics::CSyncFloatRect{static_cast<float>(left), static_cast<float>(top),
                                           static_cast<float>(right - left), static_cast<float>(bottom - top)};
  out.m_dirty = LXGraphics::CSyncRect::kInSync;
}

void CLXFile::ReadColor(LXGraphics::CColor& out) {
  const uint16_t red = ReadUInt16(), green = ReadUInt16(), blue = ReadUInt16();
  out = LXGraphics::CColor(0xFF, uint8_t(red >> 8), uint8_t(green >> 8), uint8_t(blue >> 8));
}

// ----- strings -----

uint64_t CLXFile::ReadMacString(uint64_t count, wchar_t* out) {
  if (!out || count == 0) return 0;
  std::fill(out, out + count, L'\0');
  RequireBytes(count);
  if (!m_scratch || m_scratchCapacity <= count) {
    const auto size = static_cast<uint64_t>(static_cast<float>(count + 1) * 1.2f);
    auto* p = static_cast<uint8_t*>(std::realloc(m_scratch, size));
    if (!p) throw CLXXAllocationFailed(kLXSeverityMessage, 0, __LINE__);
    m_scratch = p;
    m_scratchCapacity = size;
  }
  ReadExact(count, m_scratch);
  m_scratch[count] = 0;
  uint64_t n = 0;
  while (n < count && m_scratch[n]) {
    out[n] = LXText::WideFromMacRoman(m_scratch[n]);
    ++n;
  }
  out[n] = L'\0';  // a text that fills all count characters still ends in the buffer's last slot
  return n;
}

uint64_t CLXFile::ReadUTF16String(uint64_t count, CString& out) {
  out.Empty();
  if (count == 0) return 0;
  if (count > UINT64_MAX / 2) throw CLXXFileEOF(kLXSeverityMessage, 0, __LINE__);
  RequireBytes(2 * count);
  std::string bytes(2 * count, '\0');
  ReadExact(bytes.size(), bytes.data());
  std::u16string units;
  for (uint64_t i = 0; i < count; ++i) {
    auto lo = static_cast<uint8_t>(bytes[2 * i]), hi = static_cast<uint8_t>(bytes[2 * i + 1]);
    if (!m_nativeOrder) std::swap(lo, hi);
    const char16_t u = static_cast<char16_t>(lo | (hi << 8));
    if (u == 0) break;
    units += u;
  }
  const std::wstring text = qlw::FromUtf16(units);
  out = text.c_str();
  return text.size();
}

uint64_t CLXFile::ReadUTF8String(uint64_t count, CString& out) {
  out.Empty();
  RequireBytes(count);
  std::string bytes(count, '\0');
  ReadExact(count, bytes.data());
  const auto text = qlw::TryFromUtf8(bytes);
  if (!text) return 0;
  out = text->c_str();
  return text->size();
}

uint64_t CLXFile::WriteUTF8String(const CString& text) {
  if (text.IsEmpty()) return 0;
  const std::string bytes = qlw::ToUtf8(text.GetString());
  Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
  return bytes.size();
}

uint32_t CLXFile::PatchBlockLength(uint64_t start) {
  const uint64_t p = GetPosition();
  Seek(static_cast<int64_t>(start), begin);
  const auto length = static_cast<uint32_t>(p - start - 4);
  WriteInt32(static_cast<int32_t>(length));
  Seek(static_cast<int64_t>(p), begin);
  return length;
}

// ----- CRC trailer -----

uint32_t CLXFile::UpdateCRC(uint32_t crc, const uint8_t* data, size_t size) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i << 24;
      for (int k = 0; k < 8; ++k) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
      t[i] = c;
    }
    return t;
  }();
  for (size_t i = 0; i < size; ++i) crc = (crc << 8) ^ table[((crc >> 24) ^ data[i]) & 0xFF];
  return crc;
}

uint32_t CLXFile::ComputeCRC(bool excludeTrailer) {
  const uint64_t length = GetLength();
  return ComputeCRCOf(excludeTrailer ? (length >= 8 ? length - 8 : 0) : length);
}

uint32_t CLXFile::ComputeCRCOf(uint64_t length) {
  uint32_t crc = 0xFFFFFFFFu;
  if (m_mapped) return ~UpdateCRC(crc, m_buffer, std::min(length, m_capacity));
  const uint64_t remembered = GetPosition();
  uint8_t* buffer = m_buffer;
  uint64_t size = m_capacity;
  bool temporary = false;
  if (!buffer) {
    for (size = 256 * 1024; size >= 1024 && !buffer; size /= 2) buffer = static_cast<uint8_t*>(std::malloc(size));
    if (!buffer) return 0;
    size *= 2;  // undo the last halving of the loop
    temporary = true;
  }
  Flush();
  uint64_t done = 0;
  PlatformSeek(0, begin);
  while (done < length) {
    const uint64_t piece = std::min(size, length - done);
    const uint32_t n = PlatformRead(buffer, piece);
    if (n == 0) break;
    crc = UpdateCRC(crc, buffer, n);
    done += n;
  }
  if (temporary) std::free(buffer);
  PlatformSeek(static_cast<int64_t>(remembered), begin);
  ResetWindow();
  return ~crc;
}

void CLXFile::AppendCRC() {
  Flush();
  const uint32_t crc = ComputeCRC(false);
  Seek(0, end);
  Write("CRCK", 4);
  WriteInt32(static_cast<int32_t>(crc));
}

bool CLXFile::CheckCRC() {
  const uint64_t length = GetLength();
  if (length < 8) return true;
  Seek(static_cast<int64_t>(length - 8), begin);
  if (static_cast<uint32_t>(ReadInt32BigEndian()) != kCRCKTag) return true;
  const auto stored = static_cast<uint32_t>(ReadInt32());
  return stored == ComputeCRC(true);
}

bool CLXFile::CheckCRCAt(uint64_t at) {
  const uint64_t length = GetLength();
  if (at == length) return true;
  // Anything after the data but one whole trailer is damage: a stray byte would otherwise hide
  // the trailer from a check that looks only at the last eight bytes.
  if (at > length || length - at != 8) return false;
  Seek(static_cast<int64_t>(at), begin);
  if (static_cast<uint32_t>(ReadInt32BigEndian()) != kCRCKTag) return false;
  const auto stored = static_cast<uint32_t>(ReadInt32());
  return stored == ComputeCRCOf(at);
}

// ----- extension table -----

namespace {
struct ExtensionEntry {
  uint32_t code;
  const wchar_t* extension;
};
const ExtensionEntry kExtensions[] = {
    {1, L"lxdf"},     {1, L"crystal"},  {2, L"lxmf"},   {2, L"molecule"}, {4, L"lxd5"},    {5, L"lxm5"},
    {6, L"lxdf"},     {7, L"lxmf"},     {3, L"lxtx"},   {8, L"lxef"},     {9, L"cache"},   {10, L"quillono"},
    {10, L"quillonographic"},           {10, L"diffract"}, {11, L"qlsf"},  {12, L"dat"},     {12, L"txt"},    {12, L"text"},
    {13, L"txt"},     {13, L"text"},    {14, L"txt"},   {14, L"text"},    {15, L"txt"},    {15, L"text"},
    {16, L"hxqf"},    {16, L"hexalune"}, {17, L"txt"},  {18, L"txt"},     {21, L"chem3d"}, {21, L"cc1"},
    {21, L"cc2"},     {19, L"str"},     {19, L"atoms"}, {20, L"ccl"},     {22, L"cif"},    {23, L"cssr"},
    {24, L"dlpoly"},  {24, L"history"}, {25, L"car"},   {25, L"arc"},     {26, L"fdat"},   {26, L"csd"},
    {26, L"ccdb"},    {27, L"gro"},     {28, L"gsas"},  {28, L"exp"},     {29, L"icsd"},   {30, L"dump"},
    {31, L"mcm"},     {31, L"mm"},      {32, L"mol"},   {33, L"pdb"},     {34, L"rint"},   {34, L"asc"},
    {35, L"sdf"},     {36, L"shelx"},   {36, L"res"},   {37, L"struplo"}, {37, L"str"},    {38, L"topas"},
    {39, L"vasp"},    {39, L"poscar"},  {39, L"contcar"}, {40, L"vesta"}, {41, L"wien2k"}, {41, L"struct"},
    {42, L"xyz"},     {43, L"bmp"},     {44, L"dae"},   {44, L"collada"}, {45, L"svg"},    {45, L"emf"},    {46, L"gif"},
    {47, L"html"},    {47, L"htm"},     {48, L"ico"},   {50, L"jpg"},     {50, L"jpeg"},   {51, L"avi"},
    {52, L"mov"},     {53, L"mov"},     {54, L"png"},   {56, L"rtf"},     {55, L"stl"},    {57, L"txt"},
    {57, L"text"},    {58, L"tiff"},    {58, L"tif"},   {59, L"url"},     {60, L"wmf"},
};
// "diffract" is the session template's first extension: without it here a session could be
// offered by the dialogs under a name that saving then refuses.
static_assert(sizeof(kExtensions) / sizeof(kExtensions[0]) == 90);

std::wstring LowerAscii(std::wstring s) {
  for (auto& c : s)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  return s;
}
}  // namespace

bool FileTypesFromExtension(const CString& extension, std::vector<uint32_t>& codes) {
  std::wstring ext(static_cast<LPCWSTR>(extension));
  if (!ext.empty() && ext[0] == L'.') ext.erase(0, 1);
  ext = LowerAscii(ext);
  for (const auto& e : kExtensions)
    if (ext == e.extension) codes.push_back(e.code);
  return !codes.empty();
}

bool GetFileTypeExtensions(uint32_t code, std::vector<CString>& extensions) {
  bool any = false;
  for (const auto& e : kExtensions) {
    if (e.code != code) continue;
    extensions.push_back(CString((std::wstring(L".") + e.extension).c_str()));
    any = true;
  }
  return any;
}

bool GetFileTypeExtension(uint32_t code, CString& out) {
  for (const auto& e : kExtensions) {
    if (e.code == code) {
      out = (std::wstring(L".") + e.extension).c_str();
      return true;
    }
  }
  out.Empty();
  return false;
}

bool IsMoleculeFileType(uint32_t code) {
  switch (code) {
    case 2: case 5: case 7: case 21: case 31: case 32: case 35: case 42: return true;
    default: return false;
  }
}
