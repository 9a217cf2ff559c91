#include "VisualiserHandOver.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "DiffractWnd.h"
#include "FileTypes.h"
#include "LXApp.h"
#include "LXFileDialog.h"
#include "LXUtils.h"
#include "Preferences.h"
#include "QLCrystalPattern.h"
#include "QlwDoc.h"
#include "TransferFolder.h"
#include "Utf16.h"

namespace {
constexpr UINT kTextUntitled = 1120;
constexpr UINT kTextLocateProgram = 2610;  // "Please locate %s (%s):"
// Long names are cut so that the name with its extension stays within a file name's 255 bytes.
constexpr int kMaxTitleLength = 60;

std::string Utf8(const CString& text) { return text.ToUtf8(); }
CString FromUtf8(const std::string& text) { return CString(qlw::FromUtf8(text).c_str()); }

bool IsExecutableFile(const CString& path) {
  if (path.IsEmpty()) return false;
  struct stat st {};
  const std::string p = Utf8(path);
  return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
}

CString FolderOf(const CString& path) {
  const int slash = path.ReverseFind(L'/');
  return slash > 0 ? path.Left(slash) : CString();
}

void RemoveFileAndFolder(const CString& path) {
  ::unlink(Utf8(path).c_str());
  const CString folder = FolderOf(path);
  if (!folder.IsEmpty()) ::rmdir(Utf8(folder).c_str());
}

CString Untitled() {
  CString text;
  if (!text.LoadString(kTextUntitled) || text.IsEmpty()) text = L"Untitled";
  return text;
}

// The user picks the program when it is found nowhere; empty when declined or not executable.
CString AskForProgram(CDiffractWnd& window) {
  CLXXFileVisualiseXferFind question(kLXSeverityUser, 0, __LINE__, VisualiserHandOver::kMakerName,
                                     VisualiserHandOver::kProgramName);
  UINT answer = 0;
  question.ShowAlert(answer);
  if (answer != 1) return CString();
  CString format, title;
  if (!format.LoadString(kTextLocateProgram) || format.IsEmpty()) format = L"Please locate %s (%s):";
  title.Format(format.GetString(), VisualiserHandOver::kMakerName, VisualiserHandOver::kProgramName);
  const CString filter = CString(L"Application (") + VisualiserHandOver::kProgramName + L")|" +
                         VisualiserHandOver::kProgramName + L"|All Files|*|";
  CLXFileDialog dialog(TRUE, nullptr, VisualiserHandOver::kProgramName,
                       OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST, filter, &window);
  dialog.SetTitle(title);
  if (dialog.DoModal() != IDOK) return CString();
  const CString chosen = dialog.GetPathName();
  return IsExecutableFile(chosen) ? chosen : CString();
}
}  // namespace

CString VisualiserHandOver::FileName(const CQLPatternList& patterns) {
  CString title = patterns.empty() ? CString() : patterns.front()->m_title;
  if (title.IsEmpty()) title = Untitled();
  CUtils::GetFileTitle(title);
  // Quotes, backslashes and control characters have no place in a name handed on a command line.
  for (int i = 0; i < title.GetLength(); ++i) {
    const wchar_t c = title[i];
    if (c == L'"' || c == L'\\' || c < 0x20 || c == 0x7F) title.SetAt(i, L'_');
  }
  // Nor has a leading '-' (read as a switch) or '.' (a hidden file, or "..").
  int start = 0;
  while (start < title.GetLength() && (title[start] == L'.' || title[start] == L'-')) ++start;
  title = title.Mid(start).Left(kMaxTitleLength);
  if (title.IsEmpty()) title = Untitled();
  CString extension;
  GetFileTypeExtension(kFileTypeLXTX, extension);
  return title + extension;
}

std::vector<CString> VisualiserHandOver::Arguments(const UUID& session, HWND window, const CString& path) {
  RPC_WSTR text = nullptr;
  CString id;
  if (UuidToStringW(&session, &text) == RPC_S_OK && text) {
    id = text;
    RpcStringFreeW(&text);
  }
  CString handle;
  handle.Format(L"%016llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
  return {CString(L"/LXS=") + id, CString(L"/LXW=") + handle, path};
}

CString VisualiserHandOver::FindProgram(const CString& stored) {
  if (IsExecutableFile(stored)) return stored;
  if (const char* path = std::getenv("PATH")) {
    const std::string list = path;
    size_t start = 0;
    while (start <= list.size()) {
      size_t end = list.find(':', start);
      if (end == std::string::npos) end = list.size();
      const std::string folder = list.substr(start, end - start);
      // Only absolute entries: an empty or relative one would run whatever the working folder holds.
      if (!folder.empty() && folder[0] == '/') {
        const CString candidate = FromUtf8(folder + "/") + kProgramName;
        if (IsExecutableFile(candidate)) return candidate;
      }
      start = end + 1;
    }
  }
  wchar_t self[MAX_PATH * 4] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  const CString folder = FolderOf(CString(self, static_cast<int>(length)));
  if (!folder.IsEmpty()) {
    const CString beside = folder + L"/" + kProgramName;
    if (IsExecutableFile(beside)) return beside;
  }
  return CString();
}

void VisualiserHandOver::WriteFile(CQlwFile& file, const CString& path, CQLPatternList& patterns,
                                   CDiffractionSettings& settings) {
  const int fd = ::open(Utf8(path).c_str(), O_CREAT | O_EXCL | O_NOFOLLOW | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    // Whatever is in the way is not ours to remove; the folder goes if it is empty.
    const int error = errno;
    const CString folder = FolderOf(path);
    if (!folder.IsEmpty()) ::rmdir(Utf8(folder).c_str());
    errno = error;
    throw CLXXFileVisualiseXferNoFile(kLXSeverityMessage, errno, __LINE__, kMakerName);
  }
  ::close(fd);
  // The file just made is written in place: no replacement beside it, which would not keep its mode.
  if (!file.Open(path.GetString(), CLXFile::modeReadWrite)) {
    RemoveFileAndFolder(path);
    throw CLXXFileVisualiseXferNoFile(kLXSeverityMessage, 0, __LINE__, kMakerName);
  }
  bool written = false;
  try {
    written = file.WriteFile(&patterns, &settings, nullptr);
    // A failed flush or close loses what the visualiser would read.
    if (written && file.IsOpen()) {
      file.Flush();
      file.Close();
    }
  } catch (CLXException&) {
    written = false;
  }
  if (!written) {
    file.Abort();
    RemoveFileAndFolder(path);
    throw CLXXFileVisualiseXferNoWrite(kLXSeverityMessage, 0, __LINE__, kMakerName);
  }
}

void SendStructureToVisualiser(CDiffractWnd& window) {
  using namespace VisualiserHandOver;
  CQlwDoc* doc = window.GetDocument();
  CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr;
  if (!settings) return;
  const CString stored = g_pPreferences ? CString(g_pPreferences->m_HelperAppVisualisePath.Get().m_strPath) : CString();

  // The crystal patterns alone: the file holds a crystal, and anything else first would leave it none.
  CQLPatternList patterns = CollectPatternsOfType<CQLCrystalPattern>(doc->GetPatterns(), true, false, true);
  CString folder;
  if (!TransferFolder::Create(folder)) throw CLXXFileVisualiseXferNoFile(kLXSeverityMessage, 0, __LINE__, kMakerName);
  const CString path = folder + L"/" + FileName(patterns);
  std::unique_ptr<CQlwFile> file(CreateFileForType(kFileTypeLXTX));
  if (!file) {
    ::rmdir(Utf8(folder).c_str());
    throw CLXXFileVisualiseXferNoFile(kLXSeverityMessage, 0, __LINE__, kMakerName);
  }
  UUID session{};
  if (!TransferFolder::NewId(session)) {
    ::rmdir(Utf8(folder).c_str());
    throw CLXXFileVisualiseXferNoFile(kLXSeverityMessage, 0, __LINE__, kMakerName);
  }
  WriteFile(*file, path, patterns, *settings);
  file.reset();

  window.AddSession(CSession(session, CString(), window.m_hWnd, nullptr));
  const std::vector<CString> arguments = Arguments(session, window.m_hWnd, path);

  CString program = FindProgram(stored);
  if (program.IsEmpty()) program = AskForProgram(window);
  if (program.IsEmpty()) {
    CLXXFileVisualiseXferNoApp(kLXSeverityMessage, 0, __LINE__, kProgramName, kMakerName).Report();
    return;
  }
  if (!CUtils::RunProgram(program, arguments)) {
    CLXXFileVisualiseXferNoLaunch(kLXSeverityMessage, 0, __LINE__, kMakerName).Report();
    return;
  }
  if (g_pPreferences) g_pPreferences->m_HelperAppVisualisePath.Set(CPath(program));
}
