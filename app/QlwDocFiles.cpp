// Opening, adding and saving: which file object reads a file, whether what it holds replaces or
// joins the document, how a session's layout is restored, and how a session is written.
#include "QlwDoc.h"

#include "CFile.h"
#include "FileTypes.h"
#include "LXASF.h"
#include "LXAlert.h"
#include "LXAlertFileScope.h"
#include "LXApp.h"
#include "LXFileDialog.h"
#include "LXMessage.h"
#include "LXUtils.h"
#include "Preferences.h"
#include "QLCrystal.h"
#include "QLCrystalFile.h"
#include "QLSessionFile.h"
#include "RecentDocuments.h"
#include "ShownWindows.h"
#include "Status.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <typeinfo>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Puts flags back on every way out of a scope.
template <class T>
class CRestore {
 public:
  CRestore(T& ref, T value) : m_ref(ref), m_saved(ref) { ref = value; }
  ~CRestore() { m_ref = m_saved; }
  CRestore(const CRestore&) = delete;
  CRestore& operator=(const CRestore&) = delete;

 private:
  T& m_ref;
  T m_saved;
};

// The type of a file to read, looked for in the file. A file that is not there is told as such,
// not as a type the program does not know.
uint32_t TypeToRead(const CString& path) {
  const uint32_t type = IdentifyFileType(path.GetString(), true);
  if (type == 0) {
    struct stat st;
    if (stat(path.ToUtf8().c_str(), &st) != 0 && errno == ENOENT)
      throw CLXXFileNotFound(kLXSeverityMessage, ENOENT, __LINE__);
    throw CLXXFileUnsupportedType(kLXSeverityMessage, 0, __LINE__, path);
  }
  if (IsMoleculeFileType(type)) throw CLXXFileNoMoleculeDiffract(kLXSeverityMessage, 0, __LINE__);
  return type;
}

std::unique_ptr<CQlwFile> OpenForReading(uint32_t type, const CString& path) {
  std::unique_ptr<CQlwFile> file(CreateFileForType(type));
  if (!file) throw CLXXFileUnsupportedType(kLXSeverityMessage, 0, __LINE__, path);
  if (!file->Open(path.GetString(), CLXFile::modeRead | CLXFile::shareDenyWrite)) return nullptr;
  return file;
}

// Reads the file and keeps the warnings its reader logged.
bool ReadKeepingWarnings(CQlwFile& file, CQLPatternList& list, CDiffractionSettings& settings,
                         CQlwDocWindowState& state, std::vector<CString>& warnings) {
  CLXLogCapture capture;
  CScatteringMismatchScope once;
  const bool read = file.ReadFile(&list, &settings, &state);
  warnings = capture.GetWarnings();
  return read;
}

bool FileExists(const CString& path) {
  std::error_code ec;
  return !path.IsEmpty() && std::filesystem::is_regular_file(std::filesystem::path(path.ToUtf8()), ec);
}
}  // namespace

CLXXFileReadWarnings::CLXXFileReadWarnings(const CString& path, const std::vector<CString>& warnings)
    : CLXXFile(kLXSeverityMessage, 0, 0, nullptr) {
  m_messageId = kMessageId;
  InitMessage();
  // Filled in after the texts were split into their parts: a '|' in a path or in a line of the
  // file must not start another part.
  m_parts[kMessage].Replace(L"%s", path);
  CString list;
  const size_t listed = std::min(warnings.size(), kListedWarnings);
  for (size_t i = 0; i < listed; ++i) {
    if (i > 0) list += L"\n";
    list += warnings[i];
  }
  if (warnings.size() > listed) {
    CString format, more;
    format.LoadString(21122);
    more.Format(format, static_cast<int>(warnings.size() - listed));
    list += L"\n" + more;
  }
  m_parts[kExplanation] = list;
}

BOOL CQlwDoc::OnOpenDocument(LPCWSTR path) {
  const CString p = path ? path : L"";
  if (p.IsEmpty()) return FALSE;
  CRestore<bool> opening(m_bOpening, true);
  BOOL result = FALSE;
  try {
    const uint32_t type = IdentifyFileType(p.GetString(), true);
    if (ReadFileIntoDocument(type, p)) {
      // A session opened into a window is saved work; a structure or data file is not.
      const bool session = IdentifyFileType(p.GetString(), true) == kFileTypeSession;
      // The template that opened it names it recent.
      SetPathName(p.GetString(), FALSE);
      m_bModified = m_bLive && !session;
      result = TRUE;
    }
  } catch (CLXException& e) {
    e.Report();
  } catch (const std::exception& e) {
    CLXException(e, kLXSeverityMessage).Report();
  }
  if (CQlwDocWindow* window = GetDiffractWnd()) window->InvalidateAll();
  UpdateAllViews(nullptr);
  return result;
}

CQlwDoc* CQlwDoc::OpenOrCreateDocument(uint32_t type, const wchar_t* path) {
  try {
    if (path && type == 0) type = TypeToRead(CString(path));
    CLXApp* app = CLXApp::GetApp();
    CDocTemplate* session = app ? app->GetTemplateForFileType(kFileTypeSession) : nullptr;
    const unsigned alerts = CLXAlert::GetShownCount();
    auto* doc = dynamic_cast<CQlwDoc*>(session ? session->OpenDocumentFile(path, TRUE) : nullptr);
    if (!doc) {
      // The reader has said why the file cannot be opened; a second alert would only repeat it.
      if (path && CLXAlert::GetShownCount() != alerts) return nullptr;
      throw CLXXNoDocument(kLXSeverityMessage, 0, __LINE__);
    }
    if (!path) doc->SetModifiedFlag(FALSE);
    return doc;
  } catch (CLXException&) {
    throw;
  } catch (const std::exception& e) {
    CLXException(e, kLXSeverityMessage).Report();
  }
  return nullptr;
}

bool CQlwDoc::ReadFileIntoDocument(uint32_t type, const CString& path) {
  if (type == 0) type = TypeToRead(path);
  else if (IsMoleculeFileType(type)) throw CLXXFileNoMoleculeDiffract(kLXSeverityMessage, 0, __LINE__);
  std::unique_ptr<CQlwFile> file = OpenForReading(type, path);
  if (!file) {
    CLXXFileNotOpen(kLXSeverityMessage, errno, __LINE__).Report();
    return false;
  }
  // The read fills copies: a file that fails half-way leaves the document as it was.
  CQLPatternList list;
  CDiffractionSettings settings = m_settings;
  CQlwDocWindowState state = m_windowState;
  std::vector<CString> warnings;
  const bool read = ReadKeepingWarnings(*file, list, settings, state, warnings);
  // The alert of a failed read is all there is to say: its patterns are not there to be read with
  // warnings. After a read that succeeded, what the reader worked round or dropped.
  if (!read) return false;
  if (!warnings.empty()) CLXXFileReadWarnings(path, warnings).Report();
  file->Close();
  const bool replace = (m_bOpening || m_bNewDocument) && !m_bLive;
  // A session brings the plot ranges it was saved with; they are not autoscaled away.
  CRestore<bool> keepRanges(m_bKeepReadRanges,
                            replace && (type == kFileTypeSession || type == kFileTypeSessionPre6) &&
                                std::isfinite(settings.m_visibleYMin) && settings.m_visibleYMax > settings.m_visibleYMin);
  AddReadPatterns(list, settings, state, replace, type == kFileTypeSession || type == kFileTypeSessionPre6);
  SetModifiedFlag(TRUE);
  return true;
}

bool CQlwDoc::CanBeRead(const CString& path) {
  // A trial read: the open that follows logs and reports the file's warnings.
  CLXLogCapture trial(false);
  try {
    const uint32_t type = TypeToRead(path);
    std::unique_ptr<CQlwFile> file = OpenForReading(type, path);
    if (!file) {
      CLXXFileNotOpen(kLXSeverityMessage, errno, __LINE__).Report();
      return false;
    }
    CQLPatternList list;
    CDiffractionSettings settings(false);
    CQlwDocWindowState state;
    CScatteringMismatchScope silent(true);
    return file->ReadFile(&list, &settings, &state);
  } catch (CLXException& e) {
    e.Report();
  } catch (const std::exception& e) {
    CLXException(e, kLXSeverityMessage).Report();
  }
  return false;
}

void CQlwDoc::AddReadPatterns(CQLPatternList& list, CDiffractionSettings& settings, CQlwDocWindowState& state,
                              bool replace, bool layoutRead) {
  CQlwDocWindow* window = GetDiffractWnd();
  const BOOL wasModified = m_bModified;
  // A structure or data file has no layout of its own: the window stays where it opened (a new
  // window cascades from the one it came from) rather than going back to the stored place.
  const bool restoreLayout = replace && layoutRead && !m_bLive && window && !window->HasRestoredLayout();
  bool anyPending = false;
  for (const CQLPatternPtr& p : CollectPatterns(list, false, false, false)) {
    anyPending = anyPending || p->m_settingsPending != 0;
    p->m_settingsPending = 0;
  }

  // What the document held, to go back to when the patterns cannot be taken in.
  const CQLPatternList added = list;
  const CDiffractionSettings oldSettings = m_settings;
  const CQlwDocWindowState oldState = m_windowState;
  try {
    {
      CRestore<bool> adding(m_bAddingPatterns, true);
      if (replace)
        m_patterns.swap(list);
      else
        for (const CQLPatternPtr& p : added) m_patterns.push_back(p);
    }
    if (replace) {
      // A fresh document takes the session's layout; one with a window only when it restores it.
      if (!window || restoreLayout) static_cast<CQlwDocWindowState&>(m_windowState) = state;
      const CString title = m_settings.m_fourthText;
      m_settings = settings;
      if (m_bLive) m_settings.m_fourthText = title;
    }
    m_settings.UpdateTOFFactor();
    if (anyPending) RecomputeAllPatterns(!(replace && m_bKeepReadRanges), false, !m_bAddingSeveral);
  } catch (...) {
    // Take out only what this read brought in; the document's own patterns stay.
    if (replace) {
      m_patterns.swap(list);
    } else {
      for (const CQLPatternPtr& p : added) RemovePatternFromTree(p.get(), m_patterns);
    }
    m_settings = oldSettings;
    static_cast<CQlwDocWindowState&>(m_windowState) = oldState;
    throw;
  }

  if (restoreLayout) {
    // A window started for another window's files has cascaded from that window: a session's
    // stored place would put it exactly over the window it came from, which saved it there. It
    // keeps its place and takes the session's size.
    const CLXApp* app = CLXApp::GetApp();
    const bool cascaded = app && app->GetCommandLineInfo() && app->GetCommandLineInfo()->m_bRunEmbedded;
    LXGraphics::CSyncRect place = m_windowState.rect;
    LXGraphics::CSyncRect current;
    const bool placed = !cascaded || window->GetScreenRect(current);
    if (cascaded && placed)
      place.SetXYWH(current.m_float.X, current.m_float.Y, place.m_float.Width, place.m_float.Height);
    if (placed && place.m_float.Width > 0 && place.m_float.Height > 0) {
      std::optional<bool> maximised;
      if (g_pPreferences) maximised = g_pPreferences->m_MainFrameMaximized.Get();
      window->MoveOnScreen(place);
      if (maximised) g_pPreferences->m_MainFrameMaximized.Set(*maximised);
    }
    window->SelectParametersTab(m_windowState.parametersTab == 2 ? 2 : 1);
    const struct {
      bool wanted;
      CQlwDocWindow::Pane pane;
      UINT command;
    } toggles[] = {{m_windowState.showStructures, CQlwDocWindow::kPaneStructures, 33591},
                   {m_windowState.showParameters, CQlwDocWindow::kPaneParameters, 33586},
                   {m_windowState.showReflexions, CQlwDocWindow::kPaneReflexions, 33589}};
    for (const auto& t : toggles)
      if (t.wanted != window->IsPaneShown(t.pane)) window->PostMenuCommand(t.command);
    window->CloseInspectorPanes();
    for (const CString& name : m_windowState.openPanes) window->DisclosePane(name);
  }
  SendDatasetRead();
  m_bLive = true;
  SetModifiedFlag(wasModified);
}

void CQlwDoc::SendDatasetRead() {
  CLXMsgGeneral message(g_msgDatasetRead, reinterpret_cast<LPARAM>(this));
  message.Send(CLXMessage::kModeKeep);
}

void CQlwDoc::AddFilesFromDrop(const std::vector<CString>& paths) {
  if (paths.empty()) return;
  // After the file dialog of + or a drop on the list: the windows are drawn before the reading.
  DrawShownWindowsBeforeWork(GetDiffractWnd() ? GetDiffractWnd()->GetSafeHwnd() : nullptr);
  // Both flags come back on every way out, a failed file included.
  CRestore<bool> adding(g_appAddingToDocument, true);
  CRestore<bool> several(m_bAddingSeveral, paths.size() > 1);
  {
    CProgress<unsigned long long> progress(2300u, 0ull, static_cast<unsigned long long>(paths.size()));
    CLXCancellableScope cancel(paths.size() > 1);
    unsigned long long done = 0;
    for (const CString& path : paths) {
      if (cancel.Cancelled()) break;
      const uint32_t type = IdentifyFileType(path.GetString(), true);
      if (type != 0) {
        std::optional<CStatusDisabler> quiet;
        std::optional<CLXAlertFileScope> named;
        if (paths.size() > 1) {
          quiet.emplace();
          named.emplace(path);
        }
        try {
          // Added to the window, the file is as recent as one opened.
          if (ReadFileIntoDocument(type, path)) SHAddToRecentDocs(SHARD_PATHW, path.GetString());
        } catch (CLXException& e) {
          // One bad file of a drop is reported and skipped; the rest are read.
          e.Report();
        } catch (const std::exception& e) {
          CLXException(e, kLXSeverityMessage).Report();
        }
      }
      progress.Report(L"", ++done);
    }
  }
  if (m_bAddingSeveral) {
    m_bAddingSeveral = false;
    SendDatasetRead();
  }
  CUpdateHint hint(kHintPatternTree, this);
  DispatchUpdateHint(hint);
}

void CQlwDoc::ShowPatterns(const CQLPatternList& patterns) {
  if (patterns.empty()) return;
  CProgress<unsigned long long> progress(2301u, 0ull, static_cast<unsigned long long>(patterns.size()));
  // A pattern that keeps its own model (a session's crystal) computes from it, not from its file.
  for (const CQLPatternPtr& p : CollectPatterns(patterns, false, false, false)) {
    const CQLCrystal* crystal = p->GetCrystal();
    if (!p->HasData() && crystal && !crystal->m_sites.empty()) p->m_settingsPending = 1;
  }
  const bool reloaded = ReloadPatternsWithoutData(patterns);
  bool anyShown = false, anyComputed = false;
  unsigned long long done = 0;
  CLXCancellableScope cancel(patterns.size() > 1);
  for (const CQLPatternPtr& p : patterns) {
    if (cancel.Cancelled()) break;
    std::optional<CStatusDisabler> quiet;
    if (patterns.size() > 1) quiet.emplace();
    // A pattern whose file is gone stays hidden.
    if (p->HasData() || p->m_settingsPending) {
      p->SetShown(true);
      anyShown = true;
    }
    if (p->m_settingsPending) {
      p->m_settingsPending = 0;
      p->ApplySettings(m_settings);
      anyComputed = true;
    }
    progress.Report(L"", ++done);
  }
  if (ApplySettingsToPatternsBackInView()) anyComputed = true;
  UpdateDataRange();
  if (anyComputed) Autoscale(false);
  if (anyShown || reloaded) {
    CUpdateHint hint(kHintPatternsShown, this);
    DispatchUpdateHint(hint);
  }
}

namespace {
// The pattern's file, or, for a path made on another system (C:\…\x.cif), the file of that name
// beside the session.
CString LocatePatternFile(const CString& recorded, const CString& sessionPath) {
  if (FileExists(recorded)) return recorded;
  if (sessionPath.IsEmpty()) return recorded;
  const int cut = std::max(recorded.ReverseFind(L'\\'), recorded.ReverseFind(L'/'));
  const CString name = recorded.Mid(cut + 1);
  const std::filesystem::path beside =
      std::filesystem::path(sessionPath.ToUtf8()).parent_path() / std::filesystem::path(name.ToUtf8());
  const CString candidate(beside.string().c_str());
  return FileExists(candidate) ? candidate : recorded;
}

// Copies the read pattern's model and settings into the pattern but keeps how it is drawn.
void TakeReadPattern(CQLPattern& pattern, const CQLPattern& read) {
  const CQLPatternPtr before = pattern.Clone();
  const CString filePath = pattern.m_filePath;
  CQLPattern::CopyPatternSettings(pattern, read);
  pattern.m_filePath = filePath;
  pattern.m_shown = before->m_shown;
  pattern.m_selected = before->m_selected;
  pattern.m_color = before->m_color;
  pattern.m_lineStyle = before->m_lineStyle;
  pattern.m_markerStyle = before->m_markerStyle;
  pattern.m_lineWidth = before->m_lineWidth;
  pattern.m_markerSize = before->m_markerSize;
  pattern.m_xOffset = before->m_xOffset;
  pattern.m_yOffset = before->m_yOffset;
  pattern.m_fraction = before->m_fraction;
  pattern.m_yScale = before->m_yScale;
  pattern.m_showLabels = before->m_showLabels;
}
}  // namespace

bool CQlwDoc::ReloadPatternsWithoutData(const CQLPatternList& patterns) {
  bool anyPresent = false;
  // Several patterns may come from one file: its warnings are shown once.
  std::vector<CString> warnedPaths;
  for (const CQLPatternPtr& p : CollectPatterns(patterns, false, false, false)) {
    if (p->HasData() || p->m_settingsPending || p->GetComponents()) {
      anyPresent = true;
      continue;
    }
    const CString path = LocatePatternFile(p->m_filePath, m_strPathName);
    bool present = false;
    try {
      const uint32_t type = IdentifyFileType(path.GetString(), true);
      std::unique_ptr<CQlwFile> file;
      if (type != 0 && !IsMoleculeFileType(type) && CreateFileForType(type) != nullptr) file = OpenForReading(type, path);
      CQLPatternList read;
      CDiffractionSettings settings = m_settings;
      CQlwDocWindowState state = m_windowState;
      std::vector<CString> warnings;
      const bool wasRead = file && ReadKeepingWarnings(*file, read, settings, state, warnings);
      if (wasRead && !warnings.empty() && std::find(warnedPaths.begin(), warnedPaths.end(), path) == warnedPaths.end()) {
        warnedPaths.push_back(path);
        CLXXFileReadWarnings(path, warnings).Report();
      }
      if (wasRead) {
        // Of a file with several blocks, the one that carries the pattern's title.
        CQLPatternPtr match;
        for (const CQLPatternPtr& r : read)
          if (r->m_title == p->m_title) {
            match = r;
            break;
          }
        if (!match && !read.empty()) match = read.front();
        // A file that now holds another kind of pattern cannot give this one its model.
        if (match && typeid(*match) == typeid(*p)) {
          const CString title = match->m_title;
          TakeReadPattern(*p, *match);
          p->m_title = title;
          p->m_settingsPending = 1;
          m_bLive = true;
          present = true;
        }
      }
    } catch (CLXException& e) {
      e.Report();
    }
    if (present) {
      anyPresent = true;
    } else {
      // Keep the pattern and say which file is missing, rather than dropping the user's work.
      p->SetShown(false);
      CLXXPatternFileMissing(kLXSeverityMessage, 0, __LINE__, p->m_filePath, p->m_title).Report();
    }
  }
  return anyPresent && !patterns.empty();
}

void CQlwDoc::FillWindowStateFromWindow(WindowState& state) const {
  const CQlwDocWindow* window = GetDiffractWnd();
  if (!window) return;
  LXGraphics::CSyncRect rect;
  if (window->GetScreenRect(rect)) {
    state.rect = rect;
    state.rectKind = 3;
  }
  state.showStructures = window->IsPaneShown(CQlwDocWindow::kPaneStructures);
  state.showParameters = window->IsPaneShown(CQlwDocWindow::kPaneParameters);
  state.showReflexions = window->IsPaneShown(CQlwDocWindow::kPaneReflexions);
  if (g_pPreferences) {
    state.structuresWidth = g_pPreferences->m_StructuresWinWidth.Get();
    state.reflexionsRelHeight = g_pPreferences->m_ReflexionsRelHeight.Get();
  }
  state.parametersTab = window->GetParametersTab();
  state.openPanes.clear();
  window->GetOpenPaneNames(state.openPanes);
}

BOOL CQlwDoc::OnSaveDocument(LPCWSTR path) {
  CRestore<bool> saving(m_bSaving, true);
  const CString p = path ? path : L"";
  CQLSessionFile file;
  LXFileOpenError error;
  // The session file writes beside the old one and renames it over only when complete.
  if (!file.Open(p.GetString(), CLXFile::modeCreate | CLXFile::modeReadWrite, &error)) {
    CLXXMFC(DescribeOpenError(error.m_lOsError, p), kLXSeverityMessage, error.m_lOsError, __LINE__).Report();
    return FALSE;
  }
  WindowState state = m_windowState;
  FillWindowStateFromWindow(state);
  // A failed write has been reported by the file; the document stays modified.
  if (!file.WriteFile(&m_patterns, &m_settings, &state)) return FALSE;
  m_windowState = state;
  SetModifiedFlag(FALSE);
  return TRUE;
}

CString CQlwDoc::DescribeOpenError(int osError, const CString& path) {
  // The file layer keeps the platform's error number, not errno.
  const CFileException e(CFileException::OsErrorToException(osError), osError, path.GetString());
  wchar_t text[512] = {};
  e.GetErrorMessage(text, 511);
  return text;
}

bool CQlwDoc::DoSave(const CString& path, bool replace) {
  if (path.IsEmpty()) {
    OnFileSaveAs();
    return true;
  }
  if (!OnSaveDocument(path.GetString())) return false;
  if (replace) SetPathName(path.GetString());
  return true;
}

void CQlwDoc::OnFileSave() {
  const CString& path = m_strPathName;
  // A file without any write permission counts as read-only, also for the superuser.
  struct stat info {};
  const bool writable = FileExists(path) && ::stat(path.ToUtf8().c_str(), &info) == 0 && (info.st_mode & 0222) != 0 &&
                        ::access(path.ToUtf8().c_str(), W_OK) == 0;
  if (writable)
    DoSave(path, true);
  else
    OnFileSaveAs();
}

CString CQlwDoc::GetSessionFilter() {
  std::vector<CString> extensions;
  GetFileTypeExtensions(kFileTypeSession, extensions);
  CString patterns;
  for (const CString& e : extensions) {
    if (!patterns.IsEmpty()) patterns += L";";
    patterns += L"*" + (e.Left(1) == L"." ? e : L"." + e);
  }
  CString filter;
  filter.Format(L"Session File (%s)|%s||", patterns.GetString(), patterns.GetString());
  return filter;
}

void CQlwDoc::OnFileSaveAs() {
  CString defaultExtension;
  GetPathExtension(m_strPathName.GetString(), defaultExtension);
  // Without one the dialog could not add the chosen type's extension to a name typed bare.
  if (defaultExtension.IsEmpty()) GetFileTypeExtension(kFileTypeSession, defaultExtension);
  if (defaultExtension.Left(1) == L".") defaultExtension = defaultExtension.Mid(1);
  const CQlwDocWindow* window = GetDiffractWnd();
  HWND owner = window ? window->GetSafeHwnd() : nullptr;
  CLXFileDialog dialog(FALSE, defaultExtension, m_strTitle, 0, GetSessionFilter(), owner ? CWnd::FromHandle(owner) : nullptr);
  CString title;
  title.LoadString(1324);
  dialog.SetTitle(title);
  const INT_PTR answer = dialog.DoModal();
  if (CQlwDocWindow* window = GetDiffractWnd()) window->InvalidateAll();
  if (answer != IDOK) return;
  CString path = dialog.GetPathName();
  CString extension;
  GetPathExtension(path.GetString(), extension);
  if (extension.IsEmpty() && dialog.GetFilterIndex() == 1) {
    CString sessionExtension;
    GetFileTypeExtension(kFileTypeSession, sessionExtension);
    path += sessionExtension;
  }
  DoSave(path, true);
}
