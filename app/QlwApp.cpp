// Start-up, the document templates and where an opened file goes.
#include "QlwApp.h"
#include "TransferFolder.h"

#include <cstdlib>
#include <ctime>
#include <optional>

#include "CancelInputFilter.h"
#include "FileAssociation.h"
#include "FileTypes.h"
#include "LXAboutDlg.h"
#include "LXAlertFileScope.h"
#include "LXAlertDialog.h"
#include "LXAppDropTarget.h"
#include "LXDialog.h"
#include "LXDocWnd.h"
#include "LXFileDialog.h"
#include "LXGdiplus.h"
#include "LXHelpViewer.h"
#include "UpdateCheck.h"
#include "LXMessage.h"
#include "LXText.h"
#include "LXUtils.h"
#include "MenuXP.h"
#include "Preferences.h"
#include "QlwCommandLineInfo.h"
#include "QlwDoc.h"
#include "QlwDocTemplate.h"
#include "QlwDocTypes.h"
#include "QLSessionFile.h"
#include "ShellFolders.h"
#include "ShownWindows.h"
#include "StaticInit.h"
#include "StatusWidget.h"
#include "StatusXWindow.h"
#include "WaitCursorHook.h"

namespace {
constexpr UINT kNewWindowCommand = 57600;
constexpr UINT kOpenCommand = 57601;
constexpr UINT kAboutCommand = 57664;
constexpr UINT kHelpCommand = 57671;
constexpr UINT kExitCommand = 57665;
constexpr UINT kOpenInSameWindowCommand = 33278;
// The application's own range of command ids.
constexpr UINT kFirstAppCommand = 32768, kLastAppCommand = 32789;
constexpr UINT kUpdateNotifyCommand = 32768;
constexpr UINT kCheckForUpdateCommand = 32769;
// Ids of the range that have no item and stay disabled.
constexpr UINT kDisabledAppCommands[] = {32772, 32773, 32780};
// Ids of the range that the help command carries out.
constexpr UINT kHelpCommands[] = {32770, 32774, 32776, 32777, 32779, 32782, 32783,
                                  32784, 32785, 32786, 32787, 32788, 32789};

bool ShowHelpPage(const CString& url) {
  CLXHelpViewer* viewer = CLXHelpViewer::ShowHelp();
  return viewer && viewer->ShowPage(url, true);
}

// Puts a flag back on every way out of a scope.
class CFlagScope {
 public:
  CFlagScope(bool& flag, bool value) : m_flag(flag), m_saved(flag) { flag = value; }
  ~CFlagScope() { m_flag = m_saved; }
  CFlagScope(const CFlagScope&) = delete;
  CFlagScope& operator=(const CFlagScope&) = delete;

 private:
  bool& m_flag;
  bool m_saved;
};

CQlwDoc* DocumentOf(CWnd* window) {
  auto* frame = dynamic_cast<CFrameWnd*>(window);
  return frame ? dynamic_cast<CQlwDoc*>(frame->GetActiveDocument()) : nullptr;
}
}  // namespace

// The application's commands at the end of the command route.
class CQlwAppCommands : public CCmdTarget {
 public:
  explicit CQlwAppCommands(CQlwApp& app) : m_app(app) {}
  void OnNewWindow() { m_app.OnNewWindow(); }
  // File > Exit closes the main window as its close box does, save question included.
  void OnAppExit() {
    if (HWND main = m_app.GetMainFrame()) ::SendMessageW(main, WM_CLOSE, 0, 0);
  }
  void OnUpdateAlwaysEnabled(CCmdUI* ui) { ui->Enable(TRUE); }
  void OnOpen() { m_app.ShowOpenDialog(); }
  // The document enables it while it holds a pattern; the flag is back on every way out.
  void OnOpenInSameWindow() {
    CFlagScope same(g_openInSameWindow, true);
    m_app.ShowOpenDialog();
  }
  // The box runs modally; afterwards the window is redrawn with its children.
  void OnAbout() {
    CLXAboutDlg about(m_app.GetDocWindow());
    about.DoModal();
    if (HWND main = m_app.GetMainFrame()) ::RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }
  void OnAppCommand(UINT id) {
    if (id == kUpdateNotifyCommand && g_pPreferences) {
      g_pPreferences->m_UpdateCheckNotify.Set(!g_pPreferences->m_UpdateCheckNotify.Get());
      return;
    }
    if (id == kCheckForUpdateCommand) {
      CUpdateCheck::CheckForUpdates(false, false);
      return;
    }
    for (const UINT help : kHelpCommands) {
      if (id == help) {
        m_app.OpenHelp(id);
        return;
      }
    }
    throw CLXXUnimplemented(kLXSeverityMessage, 0, __LINE__);
  }
  void OnHelp() { m_app.OpenHelp(kHelpCommand); }
  void OnUpdateAppCommand(CCmdUI* ui) {
    for (const UINT id : kDisabledAppCommands) {
      if (ui->m_nID == id) {
        ui->Enable(FALSE);
        return;
      }
    }
    ui->Enable(TRUE);
    if (ui->m_nID == kUpdateNotifyCommand)
      ui->SetCheck(g_pPreferences && g_pPreferences->m_UpdateCheckNotify.Get() ? 1 : 0);
  }

 private:
  CQlwApp& m_app;
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CQlwAppCommands, CCmdTarget)
ON_COMMAND(kNewWindowCommand, &CQlwAppCommands::OnNewWindow)
ON_UPDATE_COMMAND_UI(kNewWindowCommand, &CQlwAppCommands::OnUpdateAlwaysEnabled)
ON_COMMAND(kExitCommand, &CQlwAppCommands::OnAppExit)
ON_UPDATE_COMMAND_UI(kExitCommand, &CQlwAppCommands::OnUpdateAlwaysEnabled)
ON_COMMAND(kOpenCommand, &CQlwAppCommands::OnOpen)
ON_UPDATE_COMMAND_UI(kOpenCommand, &CQlwAppCommands::OnUpdateAlwaysEnabled)
ON_COMMAND(kOpenInSameWindowCommand, &CQlwAppCommands::OnOpenInSameWindow)
ON_COMMAND_RANGE(kFirstAppCommand, kLastAppCommand, &CQlwAppCommands::OnAppCommand)
ON_UPDATE_COMMAND_UI_RANGE(kFirstAppCommand, kLastAppCommand, &CQlwAppCommands::OnUpdateAppCommand)
ON_COMMAND(kAboutCommand, &CQlwAppCommands::OnAbout)
ON_UPDATE_COMMAND_UI(kAboutCommand, &CQlwAppCommands::OnUpdateAlwaysEnabled)
ON_COMMAND(kHelpCommand, &CQlwAppCommands::OnHelp)
ON_UPDATE_COMMAND_UI(kHelpCommand, &CQlwAppCommands::OnUpdateAlwaysEnabled)
END_MESSAGE_MAP()

// Touches no file, registry value or preference: it runs before the program's entry, and perhaps
// before the document-type table of another file is built, so the table is copied at start-up.
CQlwApp::CQlwApp() : CLXApp(L"Quillonographic") { SetHelpPageShower(&ShowHelpPage); }

bool CQlwApp::GetCommandURL(UINT command, const CString& folder, CString& url) {
  url.Empty();
  if (command >= 32786 && command <= 32789) {
    CString page;
    if (folder.IsEmpty() || !page.LoadString(2800 + (command - 32786))) return false;
    url = folder;
    if (url.Right(1) != L"/") url += L"/";
    url += page;
    return true;
  }
  return CLXApp::GetCommandURL(command, folder, url);
}

CQlwApp::~CQlwApp() {
  if (qlw::ApplicationCommandTarget() == m_commands.get()) qlw::SetApplicationCommandTarget(nullptr);
  delete g_pPreferences;
  // The shared brushes and bitmap go with the object whose start-up made them.
  if (m_startedGdiplus) StopGdiplus();
}

CQlwApp* CQlwApp::GetApp() { return dynamic_cast<CQlwApp*>(AfxGetApp()); }

BOOL CQlwApp::InitInstance() {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  try {
    if (!CLXApp::InitInstance()) throw CLXXAppInit(kLXSeverityFatal, 0, __LINE__);
    auto& info = static_cast<CQlwCommandLineInfo&>(*m_cmdInfo);
    const int command = info.m_nShellCommand;
    const bool registering = command == CCommandLineInfo::AppRegister || command == CCommandLineInfo::AppUnregister;

    struct QueryRelease {
      CQlwApp& app;
      ~QueryRelease() { app.ReleaseInstanceQuery(); }
    } queryRelease{*this};
    // A window this program started for itself never hands over: it would hand back to its parent.
    // It still counts as an instance, so that later starts hand over to it.
    if (!registering && info.m_bRunEmbedded) FindRunningInstance(-1, false, nullptr);
    if (!registering && !info.m_bRunEmbedded && HandOverToRunningInstance()) return FALSE;

    StartUp();
    // File ▸ File Associations... lets the user choose the types before they are registered.
    CLXApp::SetFileTypeChooser(&CFileAssociation::ChooseFileTypes);
    if (command == CCommandLineInfo::AppRegister) RegisterShellFileTypes(FALSE);
    if (command == CCommandLineInfo::AppUnregister) UnregisterShellFileTypes();

    if (!g_silentMode && !registering) {
      if (!ProcessCommandLine(info)) return FALSE;
      ProcessHandedOverLater();
      HWND main = GetMainFrame();
      if (!main) throw CLXXNoNewApp(kLXSeverityFatal, 0, __LINE__);
      ReleaseInstanceQuery();
      CLXAppDropTarget::RegisterFactory(true);
      // A window started with files was announced by the drop that brought them.
      if (!info.m_bRunEmbedded || info.m_files.empty())
        CLXMsgTarget(main, g_msgInitialOpen).Send(CLXMessage::kModeSync);
      // Every start asks for updates (quietly); a failure costs only the check.
      try {
        CUpdateCheck::CheckForUpdates(true, true);
      } catch (CLXException& e) {
        e.Report();
      }
    }
    return registering ? FALSE : TRUE;
  } catch (CLXXAbortAppInit&) {
    m_exitCode = 1;
  } catch (CLXException& e) {
    e.Report();
  } catch (const std::exception& e) {
    CLXException(e, kLXSeverityFatal).Report();
  } catch (...) {
  }
  if (m_exitCode == 0) m_exitCode = 1;
  return FALSE;
}

void CQlwApp::StartUp() {
  if (!g_silentMode) CLXAlertDialog::Install();
  if (!GdiplusStarted()) m_startedGdiplus = StartGdiplus();
  if (!GdiplusStarted()) throw CLXXAppInit(kLXSeverityFatal, 0, __LINE__);
  InstallFileTypeRecogniser();
  CQLSessionFile::SetFontFamilyResolver(&ResolveFontFamilyName);
  CMenuXP::Install();
  m_menusInstalled = true;
  InstallStatusWindowDrawer();
  StartStatusXWindow();
  InstallWaitCursorHook();
  InstallCancelInputFilter();
  CLXFileDialog::InstallForApplication();

  HDC screen = GetDC(nullptr);
  g_screenDpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  if (g_screenDpi <= 0) g_screenDpi = 96;
  g_drawDpi = g_screenDpi;
  if (!g_pPreferences) CPreferences::Create(false);
  LoadStdProfileSettings(10);
  // Structures handed to the visualiser by earlier runs, which it has long read.
  TransferFolder::RemoveStale(std::time(nullptr));
  // Temporary folders of earlier runs that were killed or crashed before their exit removed them.
  RemoveAbandonedTempFolders();

  m_commands = std::make_unique<CQlwAppCommands>(*this);
  qlw::SetApplicationCommandTarget(m_commands.get());
}

int CQlwApp::ExitInstance() {
  CLXDialog::SetAppQuitting(true);
  RemoveWaitCursorHook();
  RemoveCancelInputFilter();
  CLXAppDropTarget::RevokeFactory();
  if (m_menusInstalled) CMenuXP::Uninstall();
  m_menusInstalled = false;
  if (qlw::ApplicationCommandTarget() == m_commands.get()) qlw::SetApplicationCommandTarget(nullptr);
  const int result = CLXApp::ExitInstance();
  StopStatusXWindow();
  // Here rather than in the destructor of theApp: the store writes to the registry as it goes,
  // and at static destruction the registry's own tables may be gone already.
  delete g_pPreferences;
  return result;
}

BOOL CQlwApp::PumpMessage() {
  if (m_msgCur.message == WM_QUIT) CLXDialog::SetAppQuitting(true);
  return CLXApp::PumpMessage();
}

BOOL CQlwApp::PreTranslateMessage(MSG* msg) {
  // Thread messages of the bus: files handed over or dropped on the program itself.
  if (!msg->hwnd) {
    LRESULT result = 0;
    try {
      if (HandleInstanceMessage(msg->message, msg->wParam, msg->lParam, result)) return TRUE;
    } catch (CLXException& e) {
      e.Report();
      return TRUE;
    } catch (const std::exception& e) {
      CLXException(e, kLXSeverityMessage).Report();
      return TRUE;
    }
  }
  return CLXApp::PreTranslateMessage(msg);
}

bool CQlwApp::HandOverToRunningInstance() {
  // Held until this start has a window that answers the search, so that a start at the same
  // moment waits for it and then hands over, as a start a second later does.
  if (m_queryMutex && !m_holdingQuery) {
    const DWORD wait = WaitForSingleObject(m_queryMutex, kQueryWait);
    m_holdingQuery = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  }
  HWND running = nullptr;
  if (m_holdingQuery) {
    FindRunningInstance(-1, false, &running);
  } else {
    // A start that keeps the query this long is not coming up: look for a window as the search
    // does when its wait ends, without waiting a second time.
    running = FindOtherInstanceWindow(SMTO_NOTIMEOUTIFNOTHUNG);
    if (!m_instanceMutex)
      m_instanceMutex = CreateMutexW(nullptr, FALSE, MakeInstanceName(CString(kInstanceMutexBase) + L"-" + g_appGuid.GetText(), -1));
  }
  if (!running) return false;
  ReleaseInstanceQuery();
  CUtils::BringToFront(running);
  // A busy or failing instance does not take the files: then this start goes on by itself.
  return HandOverCommandLine(running);
}

void CQlwApp::ReleaseInstanceQuery() {
  if (!m_holdingQuery) return;
  m_holdingQuery = false;
  ReleaseMutex(m_queryMutex);
}

BOOL CQlwApp::ProcessCommandLine(CLXCommandLineInfo& info) {
  const int command = info.m_nShellCommand;
  if (command != CCommandLineInfo::FileNew && command != CCommandLineInfo::FileOpen)
    return CLXApp::ProcessCommandLine(info);
  CFlagScope processing(m_processingCommandLine, true);
  m_handedElsewhere = false;
  const std::vector<CString> files = info.m_files;
  if (files.empty()) {
    OnNewWindow();
    return GetMainFrame() != nullptr || m_handedElsewhere;
  }
  // The window first, so that the files have somewhere to go and the user sees the program at once.
  if (!GetDocWindow() && !OpenDocumentOfType(kFileTypeSession, nullptr)) return FALSE;
  // Other starts may hand over to it while the files open.
  ReleaseInstanceQuery();
  // Files named at start-up, from the desktop or handed over, take the road of a drop on the
  // program: the question before many files, then one "OpenDocumentFiles" list. A window started
  // for another window's files was asked about them there.
  CLXAppDropTarget::RegisterFactory(true);
  CLXAppDropTarget::DropFiles(files, info.m_bRunEmbedded != FALSE);
  return TRUE;
}

void CQlwApp::OnNewWindow() {
  if (!m_processingCommandLine) {
    StartNewProcess();
    return;
  }
  OpenDocumentOfType(kFileTypeSession, nullptr);
  HWND target = GetMainFrame();
  if (!target) target = LXAppWindows::GetMainWindow();
  if (target) CLXMsgTarget(target, g_msgInitialOpen).Send(CLXMessage::kModeSync);
}

bool CQlwApp::OpenFileList(const std::vector<CString>& paths, int flag) {
  // Every road to opening files (File > Open, a drop, the command line, a hand-over) comes here:
  // the windows are drawn before the thread is taken up by the reading.
  DrawShownWindowsBeforeWork(GetMainFrame());
  if (paths.size() <= 1) return CLXApp::OpenFileList(paths, flag);
  // One list opens in one window: this one while its document is empty, else one new process.
  if (CQlwDoc* doc = DocumentOf(GetDocWindow()); doc && !doc->GetPatterns().empty() && !g_openInSameWindow) {
    // What cannot be read is reported here, in the window that received it, not as an empty new window.
    std::vector<CString> readable;
    for (const CString& path : paths) {
      CLXAlertFileScope named(path);
      if (CQlwDoc::CanBeRead(path)) readable.push_back(path);
    }
    return !readable.empty() && OpenFilesInNewWindow(readable) && readable.size() == paths.size();
  }
  // An empty window's changes are asked about once for the whole list, not once per file.
  if (CQlwDoc* doc = DocumentOf(GetDocWindow()); doc && doc->GetPatterns().empty() && !doc->SaveModified())
    return false;
  CFlagScope asked(g_appAddingToDocument, true);
  CFlagScope batch(g_batchOpen, true);
  CLXCancellableScope cancel(true);
  bool all = true;
  // The first file may open a window; the others join it.
  std::optional<CFlagScope> sameWindow;
  for (const CString& path : paths) {
    if (cancel.Cancelled()) return false;
    CLXAlertFileScope named(path);
    all = OpenOneFile(0, path) && all;
    if (!sameWindow) sameWindow.emplace(g_openInSameWindow, true);
  }
  return all;
}

bool CQlwApp::OpenOneFile(int, const wchar_t* path) {
  m_handedElsewhere = false;
  try {
    if (!path) return OpenDocumentOfType(kFileTypeSession, nullptr) != nullptr || m_handedElsewhere;
    return OpenDocumentFile(path) != nullptr || m_handedElsewhere;
  } catch (CLXException& e) {
    // One file that cannot be opened is reported; the others of its list still open.
    e.Report();
  } catch (const std::exception& e) {
    CLXException(e, kLXSeverityMessage).Report();
  }
  return false;
}

CDocument* CQlwApp::OpenDocumentFile(const wchar_t* path) {
  const uint32_t type = path ? IdentifyFileType(path, true) : 0;
  return OpenDocumentOfType(type, path);
}

CDocument* CQlwApp::OpenDocumentFile(const wchar_t* path, BOOL) { return OpenDocumentFile(path); }

CQlwDoc* CQlwApp::OpenDocumentOfType(uint32_t fileType, const wchar_t* path) {
  CFlagScope restore(g_openInSameWindow, g_openInSameWindow);
  if (CQlwDoc* doc = DocumentOf(GetDocWindow())) {
    if (doc->GetPatterns().empty()) {
      // The window's document gives way to the one opened: its changes are asked about first.
      if (!doc->SaveModified()) return nullptr;
      g_openInSameWindow = true;
    } else if (!g_openInSameWindow) {
      std::vector<CString> list;
      if (path) {
        if (!CQlwDoc::CanBeRead(path)) return nullptr;
        list.emplace_back(path);
      }
      OpenFilesInNewWindow(list);
      return nullptr;
    }
  }
  CQlwDoc* opened = CQlwDoc::OpenOrCreateDocument(fileType, path);
  if (m_pMainWnd && LXAppWindows::GetMainWindow() != m_pMainWnd->m_hWnd)
    LXAppWindows::SetMainWindow(m_pMainWnd->m_hWnd, true);
  return opened;
}

void CQlwApp::SetWindowClasses(CRuntimeClass* frameClass, CRuntimeClass* viewClass) {
  m_pFrameClass = frameClass;
  m_pViewClass = viewClass;
  for (const auto& docTemplate : m_templates) {
    docTemplate->m_pFrameClass = m_pFrameClass;
    docTemplate->m_pViewClass = m_pViewClass;
  }
}

void CQlwApp::RegisterDocTemplates() {
  if (!m_templates.empty()) return;
  LXDocTypes::SetTable(g_DocTypeTable);
  for (const CLXDocTypeRow& row : g_DocTypeTable) {
    auto docTemplate =
        std::make_unique<CQlwDocTemplate>(row.stringId, RUNTIME_CLASS(CQlwDoc), m_pFrameClass, m_pViewClass);
    if (row.main && row.stringId == 1030) m_pMainDocTemplate = docTemplate.get();
    m_templates.push_back(std::move(docTemplate));
  }
}

CDocTemplate* CQlwApp::GetTemplateForFileType(uint32_t fileType) {
  const CLXDocTypeRow* row = FindTemplateForFileType(fileType);
  if (!row) return nullptr;
  for (const auto& docTemplate : m_templates)
    if (docTemplate->m_nIDResource == row->stringId) return docTemplate.get();
  return nullptr;
}

CLXCommandLineInfo* CQlwApp::CreateCommandLineInfo() { return new CQlwCommandLineInfo(); }

bool CQlwApp::HasStoredPreferences() {
  if (CLXApp::HasStoredPreferences()) return true;
  wchar_t common[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common)) || !*common)
    return false;
  CString folder;
  if (!folder.LoadString(1063)) return false;
  folder.Replace(L"\\", L"/");
  return GetFileAttributesW(CString(common) + L"/" + folder) == FILE_ATTRIBUTE_DIRECTORY;
}

bool CQlwApp::ShowOpenDialog() {
  return OpenFilesOfTypes({kFileTypeSession, kFileTypeSessionPre6, kFileTypeCrystal5, kFileTypeCrystal, kFileTypeDataset,
                           kFileTypeProfile},
                          0, false, false);
}

bool CQlwApp::StartNewProcess() { return OpenFilesInNewWindow({}); }

bool CQlwApp::OpenFilesInNewWindow(const std::vector<CString>& paths) {
  // The new window cascades from this one's placement, which it finds in the store: a place
  // reached by a move alone is not stored yet, and the new window would cascade from an old one.
  if (g_pPreferences) g_pPreferences->SaveAllWindowStates();
  // Nor is the end of the first launch, stored only once this window has idled: the new window
  // would take the store's word for a first launch and be placed anew instead of cascading.
  if (g_pStore) g_pStore->m_FirstLaunch.Write();
  // One argument per path, after "--": a name holding quotes, blanks or a leading dash or slash
  // reaches the new process as that one file, never as switches.
  std::vector<CString> arguments{kNewWindowSwitch};
  if (!paths.empty()) arguments.emplace_back(L"--");
  arguments.insert(arguments.end(), paths.begin(), paths.end());
  m_handedElsewhere = CUtils::RunProgram(GetExecutablePath(), arguments);
  if (!m_handedElsewhere) CLXXNoNewApp(kLXSeverityMessage, GetLastError(), __LINE__).Report();
  return m_handedElsewhere;
}

BOOL CQlwApp::SaveAllModified() {
  for (const auto& docTemplate : m_templates)
    if (CDocument* doc = docTemplate->GetDocument(); doc && !doc->SaveModified()) return FALSE;
  return TRUE;
}

HWND CQlwApp::GetMainFrame() {
  CWnd* window = GetDocWindow();
  return window ? window->m_hWnd : nullptr;
}

CWnd* CQlwApp::GetDocWindow() const {
  CLXDocWnd* window = CLXDocWnd::FromWindow(nullptr);
  return window && window->m_hWnd && IsWindow(window->m_hWnd) ? window : nullptr;
}
