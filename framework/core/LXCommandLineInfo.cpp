// Command-line parsing, the file cursor and the hand-over block.
#include "LXCommandLineInfo.h"

#include <cstring>
#include <string>

#include <unistd.h>

#include "LXApp.h"
#include "LXDocTypes.h"
#include "LXException.h"
#include "StaticInit.h"
#include "Utf16.h"

namespace {
void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
uint32_t GetU32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// A file named relative to the folder the program was started in, named from the root: a running
// program that takes the files over has a folder of its own.
CString FromRoot(const CString& name) {
  if (name.IsEmpty() || name[0] == L'/') return name;
  std::string folder(4096, '\0');
  if (!getcwd(folder.data(), folder.size())) return name;
  folder.resize(std::strlen(folder.c_str()));
  std::wstring path = qlw::FromUtf8(folder);
  if (path.empty() || path.back() != L'/') path += L'/';
  const wchar_t* rest = name.GetString();
  while (rest[0] == L'.' && rest[1] == L'/') rest += 2;  // "./a.cif"
  return CString((path + rest).c_str());
}

// The UTF-16 units of a text.
size_t Utf16Units(const CString& text) {
  return qlw::ToUtf16LE(std::wstring_view(text.GetString(), text.GetLength())).size() / 2;
}

// A zero-terminated UTF-16 text in a field of fieldBytes; a longer text is cut to fit.
void PutText(uint8_t* field, size_t fieldBytes, const CString& text) {
  const size_t maxUnits = fieldBytes / 2 - 1;
  std::vector<uint8_t> bytes = qlw::ToUtf16LE(std::wstring_view(text.GetString(), text.GetLength()));
  size_t units = std::min(bytes.size() / 2, maxUnits);
  // Never leave half of a surrogate pair at the cut.
  if (units == maxUnits && units > 0 && units < bytes.size() / 2) {
    const uint16_t last = uint16_t(bytes[2 * units - 2] | bytes[2 * units - 1] << 8);
    if (last >= 0xD800 && last < 0xDC00) --units;
  }
  std::memcpy(field, bytes.data(), units * 2);
}

CString GetText(const uint8_t* field, size_t fieldBytes) {
  size_t units = 0;
  while (units < fieldBytes / 2 && (field[2 * units] | field[2 * units + 1]) != 0) ++units;
  return CString(qlw::FromUtf16LE(field, units * 2));
}

bool StartsWithNoCase(const CString& text, const wchar_t* prefix, CString& rest) {
  const int length = static_cast<int>(std::wcslen(prefix));
  if (text.GetLength() < length || text.Left(length).CompareNoCase(prefix) != 0) return false;
  rest = text.Mid(length);
  return true;
}

// Blanks first, then quotation marks of either kind.
CString TrimValue(CString value) {
  value.Trim();
  value.Trim(L"'\"");
  return value;
}
}  // namespace

void CLXCommandLineInfo::ParseParam(const char* param, BOOL isSwitch, BOOL isLast) {
  // Arguments arrive as UTF-8, the narrow code page of this platform.
  const CString wide(param);
  ParseParam(wide.GetString(), isSwitch, isLast);
}

void CLXCommandLineInfo::ParseTypesValue(CString value) {
  m_fileTypes.clear();
  m_noTypes = false;
  if (value == g_textChoose) {
    m_chooseTypes = true;
    return;
  }
  if (value == g_textChooseAll) {
    m_chooseTypes = true;
    value = g_textAll;
  }
  if (value.IsEmpty()) {
    m_noTypes = true;
    return;
  }
  m_fileTypes = ParseDefTypes(value);
}

void CLXCommandLineInfo::ParseParam(const wchar_t* param, BOOL isSwitch, BOOL isLast) {
  const CString p(param);
  CString rest;
  if (isSwitch) {
    if (StartsWithNoCase(p, L"DefTypes=", rest)) {
      ParseTypesValue(TrimValue(rest));
      ParseLast(isLast);
      return;
    }
    if (p.CompareNoCase(L"HKCU") == 0) {
      m_perUser = true;
      ParseLast(isLast);
      return;
    }
    if (StartsWithNoCase(p, L"Inst=", rest)) {
      rest.Trim();
      const std::string text = rest.ToUtf8();
      char* end = nullptr;
      const long id = std::strtol(text.c_str(), &end, 0);
      if (!text.empty() && end && *end == '\0' && id > 0) {
        if (HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(id))) {
          wchar_t path[MAX_PATH + 1];
          DWORD size = MAX_PATH;
          if (QueryFullProcessImageNameW(process, 0, path, &size) && size > 0) {
            m_callerExecutable = CString(path, static_cast<int>(size));
            m_callerProcessId = static_cast<int32_t>(id);
          }
          CloseHandle(process);
        }
      }
      ParseLast(isLast);
      return;
    }
    if (p.CompareNoCase(L"SavePrefs") == 0) {
      m_savePrefs = true;
      ParseLast(isLast);
      return;
    }
    if (StartsWithNoCase(p, L"SID=", rest)) {
      m_userSid = TrimValue(rest);
      ParseLast(isLast);
      return;
    }
  }
  m_strFileName.Empty();
  CCommandLineInfo::ParseParam(param, isSwitch, isLast);
  if (!isSwitch && !m_strFileName.IsEmpty()) {
    m_strFileName = FromRoot(m_strFileName);
    m_files.push_back(m_strFileName);
  }
}

std::vector<uint32_t> CLXCommandLineInfo::ParseDefTypes(const CString& value) {
  std::vector<uint32_t> types;
  const auto& rows = LXDocTypes::GetTable();
  if (value == g_textAll || value == g_textDefault) {
    for (const CLXDocTypeRow& row : rows)
      if (value == g_textAll || row.shell) types.push_back(row.fileType);
    return types;
  }
  std::vector<CString> tokens;
  int start = 0;
  while (start <= value.GetLength()) {
    int end = value.Find(L'+', start);
    if (end < 0) end = value.GetLength();
    CString token = value.Mid(start, end - start);
    token.Trim();
    token.MakeLower();
    if (!token.IsEmpty()) tokens.push_back(token);
    start = end + 1;
  }
  for (const CLXDocTypeRow& row : rows) {
    const CString name = LXDocTypes::GetShortTypeName(row);
    if (name.IsEmpty()) continue;
    for (const CString& token : tokens) {
      if (name.Find(token) >= 0) {
        types.push_back(row.fileType);
        break;
      }
    }
  }
  return types;
}

CString CLXCommandLineInfo::GetDefTypesText(const std::vector<uint32_t>& fileTypes) {
  CString text;
  for (uint32_t type : fileTypes) {
    const CLXDocTypeRow* row = LXDocTypes::FindRowForFileType(type);
    if (!row) continue;
    const CString name = LXDocTypes::GetShortTypeName(*row);
    if (name.IsEmpty()) continue;
    if (!text.IsEmpty()) text += L'+';
    text += name;
  }
  return text;
}

size_t CLXCommandLineInfo::GetBlockSize() const { return GetFrameworkBlockSize(); }

uint8_t* CLXCommandLineInfo::PackToBlock() const {
  const size_t size = GetBlockSize();
  uint8_t* block = new uint8_t[size]();
  PackFrameworkBlock(block);
  return block;
}

void CLXCommandLineInfo::PackFrameworkBlock(uint8_t* block) const {
  block[0] = m_chooseTypes;
  block[1] = m_noTypes;
  block[2] = m_bShowSplash != 0;
  block[3] = m_bRunEmbedded != 0;
  block[4] = m_bRunAutomated != 0;
  block[5] = m_savePrefs;
  block[7] = m_perUser;
  PutU32(block + 16, static_cast<uint32_t>(m_nShellCommand));
  PutText(block + 20, kTextField, m_strDriverName);
  PutText(block + 540, kTextField, m_strFileName);
  PutText(block + 1060, kTextField, m_strPortName);
  PutText(block + 1580, kTextField, m_strPrinterName);
  PutText(block + kSidOffset, kSidField, m_userSid);
  PutText(block + kTypesOffset, kTypesField, GetDefTypesText(m_fileTypes));
  PutU32(block + kFileCountOffset, static_cast<uint32_t>(m_files.size()));
  for (size_t i = 0; i < m_files.size(); ++i) PutText(block + kFilesOffset + kTextField * i, kTextField, m_files[i]);
}

bool CLXCommandLineInfo::FilesFitTheBlock() const {
  for (const CString& file : m_files)
    if (Utf16Units(file) > kTextField / 2 - 1) return false;
  return true;
}

bool CLXCommandLineInfo::UnpackFromBlock(const uint8_t* block, size_t size) { return UnpackFrameworkBlock(block, size); }

bool CLXCommandLineInfo::UnpackFrameworkBlock(const uint8_t* block, size_t size) {
  if (!block || size < kFilesOffset) return false;
  const uint32_t count = GetU32(block + kFileCountOffset);
  if (count > (size - kFilesOffset) / kTextField) return false;
  m_chooseTypes = block[0] != 0;
  m_noTypes = block[1] != 0;
  m_bShowSplash = block[2] != 0;
  m_bRunEmbedded = block[3] != 0;
  m_bRunAutomated = block[4] != 0;
  m_savePrefs = block[5] != 0;
  m_perUser = block[7] != 0;
  const uint32_t command = GetU32(block + 16);
  m_nShellCommand = command <= AppUnregister ? static_cast<int>(command) : FileNothing;
  m_strDriverName = GetText(block + 20, kTextField);
  m_strFileName = GetText(block + 540, kTextField);
  m_strPortName = GetText(block + 1060, kTextField);
  m_strPrinterName = GetText(block + 1580, kTextField);
  m_userSid = GetText(block + kSidOffset, kSidField);
  const CString types = GetText(block + kTypesOffset, kTypesField);
  m_fileTypes = types.IsEmpty() ? std::vector<uint32_t>() : ParseDefTypes(types);
  m_files.clear();
  for (uint32_t i = 0; i < count; ++i) m_files.push_back(GetText(block + kFilesOffset + kTextField * i, kTextField));
  return true;
}

void CLXCommandLineInfo::BeginFiles() {
  m_fileCursor = 0;
  m_filesDone = false;
  const bool opens = m_nShellCommand == FileOpen || m_nShellCommand == FilePrint;
  if (!opens || m_files.size() < 2) return;
  CLXApp* app = CLXApp::GetApp();
  if (app && !app->AcceptsSeveralFiles()) {
    m_files.resize(1);
    return;
  }
  if (m_files.size() > static_cast<size_t>(kLotsOfFiles)) {
    CLXXFileLotsOfFiles question(kLXSeverityUser, 0, 0, static_cast<int>(m_files.size()));
    if (!question.Report()) m_filesDone = true;
  }
}

bool CLXCommandLineInfo::NextFile() {
  if (m_filesDone) return false;
  if (m_nShellCommand != FileOpen && m_nShellCommand != FilePrint) {
    m_filesDone = true;
    return true;
  }
  if (m_fileCursor < m_files.size()) {
    m_strFileName = m_files[m_fileCursor++];
    return true;
  }
  m_filesDone = true;
  return false;
}
