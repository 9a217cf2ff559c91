// The live-link switches and the 24 bytes they add in front of the framework's hand-over block.
#include "QlwCommandLineInfo.h"

#include <cstdlib>
#include <cstring>

void CQlwCommandLineInfo::ParseParam(const wchar_t* param, BOOL isSwitch, BOOL isLast) {
  const CString p(param);
  if (isSwitch && p.GetLength() >= 4 && p.Left(4).CompareNoCase(L"LXS=") == 0) {
    CString text = p.Mid(4);
    text.Trim();
    text.Trim(L"{}");
    UUID id;
    if (UuidFromStringW(reinterpret_cast<RPC_WSTR>(const_cast<wchar_t*>(text.GetString())), &id) == RPC_S_OK)
      m_sessionId = id;
    ParseLast(isLast);
    return;
  }
  if (isSwitch && p.GetLength() >= 4 && p.Left(4).CompareNoCase(L"LXW=") == 0) {
    CString text = p.Mid(4);
    text.Trim();
    const std::string narrow = text.ToUtf8();
    char* end = nullptr;
    const unsigned long long word = std::strtoull(narrow.c_str(), &end, 0);
    if (!narrow.empty() && end && *end == '\0') m_linkWindow = word;
    ParseLast(isLast);
    return;
  }
  CLXCommandLineInfo::ParseParam(param, isSwitch, isLast);
}

uint8_t* CQlwCommandLineInfo::PackToBlock() const {
  uint8_t* block = new uint8_t[GetBlockSize()]();
  std::memcpy(block, &m_sessionId, 16);
  for (int i = 0; i < 8; ++i) block[16 + i] = uint8_t(m_linkWindow >> (8 * i));
  PackFrameworkBlock(block + kPrefixSize);
  return block;
}

bool CQlwCommandLineInfo::UnpackFromBlock(const uint8_t* block, size_t size) {
  if (!block || size < kPrefixSize || !UnpackFrameworkBlock(block + kPrefixSize, size - kPrefixSize)) return false;
  std::memcpy(&m_sessionId, block, 16);
  m_linkWindow = 0;
  for (int i = 7; i >= 0; --i) m_linkWindow = m_linkWindow << 8 | block[16 + i];
  return true;
}
