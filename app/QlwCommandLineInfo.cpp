// The live-link switches and the 24 bytes they add in front of the framework's hand-over block.
#include "QlwCommandLineInfo.h"

#include <cstdlib>
#include <cstring>
#include <cwctype>

namespace {

// Read as the system's 32-bit wcstol with base 16 would: leading blanks, a sign and "0x" allowed,
// reading stops at the first non-digit, an overflow gives the nearest limit. Parsed here rather
// than with the C library, whose long is 64 bits on this platform.
int32_t ParseHex32(const CString& text) {
  const wchar_t* p = text.GetString();
  while (*p == L' ' || (*p >= L'\t' && *p <= L'\r')) ++p;
  bool negative = false;
  if (*p == L'+' || *p == L'-') negative = *p++ == L'-';
  if (p[0] == L'0' && (p[1] == L'x' || p[1] == L'X') && iswxdigit(p[2])) p += 2;
  int64_t value = 0;
  bool overflow = false;
  for (; iswxdigit(*p); ++p) {
    const int digit = *p <= L'9' ? *p - L'0' : (towlower(*p) - L'a' + 10);
    value = value * 16 + digit;
    if (value > int64_t{INT32_MAX} + 1) overflow = true, value = int64_t{INT32_MAX} + 1;
  }
  if (negative) return (overflow || value > int64_t{INT32_MAX} + 1) ? INT32_MIN : static_cast<int32_t>(-value);
  return (overflow || value > INT32_MAX) ? INT32_MAX : static_cast<int32_t>(value);
}

// A UUID in the system's in-memory layout: Data1..Data3 little-endian, then the 8 bytes.
void PutUuid(uint8_t* out, const UUID& id) {
  for (int i = 0; i < 4; ++i) out[i] = uint8_t(id.Data1 >> (8 * i));
  for (int i = 0; i < 2; ++i) out[4 + i] = uint8_t(id.Data2 >> (8 * i));
  for (int i = 0; i < 2; ++i) out[6 + i] = uint8_t(id.Data3 >> (8 * i));
  std::memcpy(out + 8, id.Data4, 8);
}

UUID GetUuid(const uint8_t* in) {
  UUID id{};
  for (int i = 3; i >= 0; --i) id.Data1 = id.Data1 << 8 | in[i];
  id.Data2 = uint16_t(in[4] | in[5] << 8);
  id.Data3 = uint16_t(in[6] | in[7] << 8);
  std::memcpy(id.Data4, in + 8, 8);
  return id;
}

}  // namespace

void CQlwCommandLineInfo::ParseParam(const wchar_t* param, BOOL isSwitch, BOOL isLast) {
  const CString p(param);
  if (isSwitch && p.GetLength() >= 4 && p.Left(4).CompareNoCase(L"LXS=") == 0) {
    CString text = p.Mid(4);
    UUID id;
    // Empty or unreadable text leaves no session.
    if (text.IsEmpty() ||
        UuidFromStringW(reinterpret_cast<RPC_WSTR>(const_cast<wchar_t*>(text.GetString())), &id) != RPC_S_OK)
      UuidCreateNil(&id);
    m_sessionId = id;
    ParseLast(isLast);
    return;
  }
  if (isSwitch && p.GetLength() >= 4 && p.Left(4).CompareNoCase(L"LXW=") == 0) {
    m_linkWindow = static_cast<uint64_t>(static_cast<int64_t>(ParseHex32(p.Mid(4))));
    ParseLast(isLast);
    return;
  }
  CLXCommandLineInfo::ParseParam(param, isSwitch, isLast);
}

uint8_t* CQlwCommandLineInfo::PackToBlock() const {
  uint8_t* block = new uint8_t[GetBlockSize()]();
  PutUuid(block, m_sessionId);
  for (int i = 0; i < 8; ++i) block[16 + i] = uint8_t(m_linkWindow >> (8 * i));
  PackFrameworkBlock(block + kPrefixSize);
  return block;
}

bool CQlwCommandLineInfo::UnpackFromBlock(const uint8_t* block, size_t size) {
  if (!block || size < kPrefixSize || !UnpackFrameworkBlock(block + kPrefixSize, size - kPrefixSize)) return false;
  m_sessionId = GetUuid(block);
  m_linkWindow = 0;
  for (int i = 7; i >= 0; --i) m_linkWindow = m_linkWindow << 8 | block[16 + i];
  return true;
}
