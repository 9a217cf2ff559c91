// The version resource, assembled from the build's version numbers (QLW_VERSION_*).
#include "VersionInfo.h"

#include "CString.h"
#include "Process.h"
#include "Utf16.h"

#include <cstring>
#include <string>

#ifndef QLW_VERSION_MAJOR
#define QLW_VERSION_MAJOR 1
#endif
#ifndef QLW_VERSION_MINOR
#define QLW_VERSION_MINOR 0
#endif
#ifndef QLW_VERSION_BUGFIX
#define QLW_VERSION_BUGFIX 0
#endif
// Stage: 0 development, 1 alpha, 2 beta, 3 release; the fourth version part is stage * 100 + build.
#ifndef QLW_VERSION_STAGE
#define QLW_VERSION_STAGE 3
#endif
#ifndef QLW_VERSION_BUILD
#define QLW_VERSION_BUILD 0
#endif

namespace {

constexpr char kMagic[8] = "QLWVER1";
constexpr int kStringCount = 8;
constexpr int kStringChars = 96;
const wchar_t* const kStringTable = L"\\stringfileinfo\\080904b0\\";

struct VersionBlock {
  char magic[8];
  VS_FIXEDFILEINFO fixed;
  WORD translation[2];  // language, code page
  wchar_t names[kStringCount][32];
  wchar_t values[kStringCount][kStringChars];
};

// Whatever the user's locale: a Turkish one would lower 'I' of "FileInfo" to a dotless i.
std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = qlw::LowerChar(c);
  return s;
}

std::wstring Stem(std::wstring path) {
  for (auto& c : path)
    if (c == L'\\') c = L'/';
  const size_t slash = path.rfind(L'/');
  if (slash != std::wstring::npos) path.erase(0, slash + 1);
  if (path.size() > 4 && Lower(path.substr(path.size() - 4)) == L".exe") path.resize(path.size() - 4);
  return path;
}

std::wstring OwnExecutable() {
  wchar_t buf[4096];
  const DWORD n = GetModuleFileNameW(nullptr, buf, 4096);
  return n && n < 4096 ? std::wstring(buf, n) : std::wstring();
}

bool IsOwnExecutable(LPCWSTR fileName) {
  if (!fileName || !*fileName) return false;
  const std::wstring own = OwnExecutable();
  return !own.empty() && Stem(fileName) == Stem(own);
}

void Fill(VersionBlock* block) {
  memset(block, 0, sizeof *block);
  memcpy(block->magic, kMagic, sizeof kMagic);
  const DWORD fourth = QLW_VERSION_STAGE * 100 + QLW_VERSION_BUILD;
  VS_FIXEDFILEINFO& f = block->fixed;
  f.dwSignature = VS_FFI_SIGNATURE;
  f.dwStrucVersion = VS_FFI_STRUCVERSION;
  f.dwFileVersionMS = f.dwProductVersionMS = (DWORD(QLW_VERSION_MAJOR) << 16) | QLW_VERSION_MINOR;
  f.dwFileVersionLS = f.dwProductVersionLS = (DWORD(QLW_VERSION_BUGFIX) << 16) | fourth;
  f.dwFileFlagsMask = 0x3F;
  f.dwFileOS = VOS_NT_WINDOWS32;
  f.dwFileType = VFT_APP;
  block->translation[0] = 0x0809;
  block->translation[1] = 0x04b0;
  const std::wstring version = std::to_wstring(QLW_VERSION_MAJOR) + L", " + std::to_wstring(QLW_VERSION_MINOR) +
                               L", " + std::to_wstring(QLW_VERSION_BUGFIX) + L", " + std::to_wstring(fourth);
  const std::wstring exe = Stem(OwnExecutable());
  const std::wstring strings[kStringCount][2] = {
      {L"ProductName", L"Quillonographic"},
      {L"ProductVersion", version},
      {L"FileVersion", version},
      {L"FileDescription", L"Quillonographic"},
      {L"CompanyName", L"Lumaxisworks Software Ltd"},
      {L"LegalCopyRight", L"Copyright \u00A9 2026 Lumaxisworks Software Ltd"},
      {L"InternalName", L"Quillonographic"},
      {L"OriginalFilename", exe},
  };
  for (int i = 0; i < kStringCount; ++i) {
    wcsncpy(block->names[i], strings[i][0].c_str(), 31);
    wcsncpy(block->values[i], strings[i][1].c_str(), kStringChars - 1);
  }
}

}  // namespace

DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle) {
  if (handle) *handle = 0;
  if (!IsOwnExecutable(fileName)) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return 0;
  }
  return sizeof(VersionBlock);
}

BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD, DWORD bytes, LPVOID data) {
  if (!data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!IsOwnExecutable(fileName)) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
  }
  if (bytes < sizeof(VersionBlock)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  Fill(static_cast<VersionBlock*>(data));
  return TRUE;
}

BOOL VerQueryValueW(LPCVOID data, LPCWSTR subBlock, LPVOID* buffer, PUINT length) {
  if (!data || !subBlock || !buffer) return FALSE;
  const auto* block = static_cast<const VersionBlock*>(data);
  if (memcmp(block->magic, kMagic, sizeof kMagic) != 0) return FALSE;
  const std::wstring path = Lower(subBlock);
  auto answer = [&](const void* p, UINT n) {
    *buffer = const_cast<void*>(p);
    if (length) *length = n;
    return TRUE;
  };
  if (path.empty() || path == L"\\") return answer(&block->fixed, sizeof(VS_FIXEDFILEINFO));
  if (path == L"\\varfileinfo\\translation") return answer(block->translation, sizeof block->translation);
  const std::wstring prefix = kStringTable;
  if (path.compare(0, prefix.size(), prefix) != 0) return FALSE;
  const std::wstring name = path.substr(prefix.size());
  for (int i = 0; i < kStringCount; ++i) {
    if (Lower(block->names[i]) == name)
      return answer(block->values[i], static_cast<UINT>(wcslen(block->values[i]) + 1));
  }
  return FALSE;
}
