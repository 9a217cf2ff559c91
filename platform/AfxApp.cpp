// The application object: command-line parsing, the message pump on Qt's event loop and idle time.
#include "AfxApp.h"
#include "RecentFileList.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <sys/stat.h>

#include "Menus.h"
#include "NumberLocale.h"
#include "Resources.h"

namespace {
CWinApp* g_app = nullptr;
AfxIdleUpdateHandler g_idleUpdate = nullptr;

bool EqualsNoCase(const wchar_t* a, const wchar_t* b) { return CString(a).CompareNoCase(b) == 0; }
constexpr UINT kSystemTimer = 0x0118;
}  // namespace

// Input that Qt hands to widgets directly is activity too.
class CWinAppInputFilter : public QObject {
 public:
  explicit CWinAppInputFilter(CWinApp* app) : m_app(app) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Wheel:
        m_app->NoteActivity();
        break;
      default:
        break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  CWinApp* m_app;
};

struct CWinAppPump {
  static bool Pump(MSG& msg) {
    if (!g_app) return false;
    // Thread messages without a timer procedure go on to the thread's own handler unless the
    // application takes them.
    if (!msg.hwnd && msg.message != WM_QUIT && !(msg.message == WM_TIMER && msg.lParam)) {
      try {
        return g_app->PreTranslateMessage(&msg) != FALSE;
      } catch (...) {
        return true;
      }
    }
    g_app->DispatchFromQueue(msg);
    return true;
  }
};

// ---- CCommandLineInfo ----

void CCommandLineInfo::ParseParam(const wchar_t* param, BOOL isSwitch, BOOL isLast) {
  if (isSwitch) ParseParamFlag(param);
  else ParseParamNotFlag(param);
  ParseLast(isLast);
}

void CCommandLineInfo::ParseParam(const char* param, BOOL isSwitch, BOOL isLast) {
  const CString wide(param);
  ParseParam(wide.GetString(), isSwitch, isLast);
}

void CCommandLineInfo::ParseParamFlag(const wchar_t* param) {
  // Shell verbs are case-sensitive, the registration and automation switches are not.
  const CString p(param);
  if (p == L"pt") {
    m_nShellCommand = FilePrintTo;
  } else if (p == L"p") {
    m_nShellCommand = FilePrint;
  } else if (EqualsNoCase(param, L"Register") || EqualsNoCase(param, L"Regserver")) {
    m_nShellCommand = AppRegister;
  } else if (EqualsNoCase(param, L"Unregister") || EqualsNoCase(param, L"Unregserver")) {
    m_nShellCommand = AppUnregister;
  } else if (p == L"dde") {
    m_nShellCommand = FileDDE;
  } else if (EqualsNoCase(param, L"Embedding")) {
    m_bRunEmbedded = TRUE;
    m_bShowSplash = FALSE;
  } else if (EqualsNoCase(param, L"Automation")) {
    m_bRunAutomated = TRUE;
    m_bShowSplash = FALSE;
  }
}

void CCommandLineInfo::ParseParamNotFlag(const wchar_t* param) {
  if (m_strFileName.IsEmpty()) m_strFileName = param;
  else if (m_nShellCommand == FilePrintTo && m_strPrinterName.IsEmpty()) m_strPrinterName = param;
  else if (m_nShellCommand == FilePrintTo && m_strDriverName.IsEmpty()) m_strDriverName = param;
  else if (m_nShellCommand == FilePrintTo && m_strPortName.IsEmpty()) m_strPortName = param;
}

void CCommandLineInfo::ParseLast(BOOL isLast) {
  if (!isLast) return;
  if (m_nShellCommand == FileNew && !m_strFileName.IsEmpty()) m_nShellCommand = FileOpen;
  m_bShowSplash = !m_bRunEmbedded && !m_bRunAutomated;
}

// ---- CWinApp ----

CWinApp::CWinApp(const wchar_t* appName) {
  if (appName) {
    m_appName = appName;
    m_pszAppName = m_appName.GetString();
  }
  g_app = this;
}

CWinApp::~CWinApp() {
  delete m_pRecentFileList;
  if (g_app == this) g_app = nullptr;
}

void CWinApp::LoadStdProfileSettings(UINT maxMru) {
  delete m_pRecentFileList;
  m_pRecentFileList = nullptr;
  if (maxMru == 0) return;
  m_pRecentFileList = new CRecentFileList(0, L"Recent File List", L"File%d", static_cast<int>(maxMru));
  m_pRecentFileList->ReadList();
}

void CWinApp::AddToRecentFileList(const wchar_t* path) {
  if (m_pRecentFileList) m_pRecentFileList->Add(path);
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return static_cast<int>(m_msgCur.message == WM_QUIT ? m_msgCur.wParam : 0); }

void CWinApp::SetRegistryKey(const wchar_t* key) {
  m_registryKey = key ? key : L"";
  m_pszRegistryKey = m_registryKey.GetString();
  if (m_pszAppName) m_pszProfileName = m_pszAppName;
}

void CWinApp::SetArguments(int argc, char** argv) {
  m_argv.clear();
  m_lpCmdLine.Empty();
  for (int i = 0; i < argc; ++i) {
    m_argv.emplace_back(argv[i]);
    if (i == 0) continue;
    if (i > 1) m_lpCmdLine += L' ';
    m_lpCmdLine += m_argv.back();
  }
}

bool CWinApp::IsSwitchArgument(const CString& argument) {
  if (argument.GetLength() < 2) return false;
  if (argument[0] == L'-') return true;
  if (argument[0] != L'/') return false;
  int end = argument.Find(L'=');
  if (end < 0) end = argument.GetLength();
  if (argument.Mid(1, end - 1).Find(L'/') >= 0) return false;
  struct stat st;
  return stat(qlw::ToUtf8(argument.GetString()).c_str(), &st) != 0;
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info) {
  std::vector<std::pair<CString, bool>> params;
  bool switchesEnded = false;
  for (size_t i = 1; i < m_argv.size(); ++i) {
    const CString& argument = m_argv[i];
    // After "--" every argument is a file, whatever it starts with.
    if (!switchesEnded && argument == L"--") {
      switchesEnded = true;
      continue;
    }
    const bool isSwitch = !switchesEnded && IsSwitchArgument(argument);
    params.emplace_back(isSwitch ? argument.Mid(1) : argument, isSwitch);
  }
  for (size_t i = 0; i < params.size(); ++i)
    info.ParseParam(params[i].first.GetString(), params[i].second, i + 1 == params.size());
}

BOOL CWinApp::ProcessShellCommand(CCommandLineInfo& info) {
  switch (info.m_nShellCommand) {
    case CCommandLineInfo::FileNew:
      OnFileNew();
      return m_pMainWnd != nullptr;
    case CCommandLineInfo::FileOpen:
      return OpenDocumentFile(info.m_strFileName) != nullptr;
    case CCommandLineInfo::FilePrint:
    case CCommandLineInfo::FilePrintTo:
      // Printing belongs to the views; the program ends after it.
      m_nCmdShow = SW_HIDE;
      OpenDocumentFile(info.m_strFileName);
      return FALSE;
    case CCommandLineInfo::AppRegister:
      RegisterShellFileTypes(TRUE);
      return FALSE;
    case CCommandLineInfo::AppUnregister:
      UnregisterShellFileTypes();
      return FALSE;
    default:
      return TRUE;
  }
}

void CWinApp::OnFileNew() {}
CDocument* CWinApp::OpenDocumentFile(const wchar_t*) { return nullptr; }
void CWinApp::RegisterShellFileTypes(BOOL) {}
void CWinApp::UnregisterShellFileTypes() {}

BOOL CWinApp::PumpMessage() {
  if (m_msgCur.message == WM_QUIT) return FALSE;
  if (!PreTranslateMessage(&m_msgCur)) {
    TranslateMessage(&m_msgCur);
    DispatchMessageW(&m_msgCur);
  }
  return TRUE;
}

BOOL CWinApp::OnIdle(LONG count) {
  if (count <= 0) {
    if (g_idleUpdate && m_pMainWnd) g_idleUpdate(m_pMainWnd);
    return TRUE;
  }
  return FALSE;
}

BOOL CWinApp::IsIdleMessage(MSG* msg) {
  // A repaint, the system's own timer or a mouse move that did not move start no idle period.
  if (msg->message == WM_PAINT || msg->message == kSystemTimer) return FALSE;
  if (msg->message == WM_MOUSEMOVE) {
    const bool same = m_lastMouseMessage == WM_MOUSEMOVE && m_lastMouseLParam == msg->lParam;
    m_lastMouseMessage = msg->message;
    m_lastMouseLParam = msg->lParam;
    return same ? FALSE : TRUE;
  }
  return TRUE;
}

BOOL CWinApp::PreTranslateMessage(MSG* msg) { return ProcessMessageFilter(0, msg); }

BOOL CWinApp::ProcessMessageFilter(int, LPMSG) { return FALSE; }

namespace {
// With nobody to ask, the first button answers; a question that may also be cancelled (the save
// question) answers No: it neither writes a file nobody chose nor keeps anything from going.
int FirstButton(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_YESNOCANCEL: return 7;  // IDNO
    case MB_YESNO: return 6;        // IDYES
    default: return 1;              // IDOK
  }
}
}  // namespace

int CWinApp::DoMessageBox(const wchar_t* prompt, UINT type, UINT) {
  std::fprintf(stderr, "%s\n", qlw::ToUtf8(prompt ? prompt : L"").c_str());
  return FirstButton(type);
}

BOOL CWinApp::SaveAllModified() { return TRUE; }

int AfxMessageBox(const wchar_t* text, UINT type, UINT helpId) {
  if (CWinApp* app = AfxGetApp()) return app->DoMessageBox(text, type, helpId);
  std::fprintf(stderr, "%s\n", qlw::ToUtf8(text ? text : L"").c_str());
  return FirstButton(type);
}

void CWinApp::NoteActivity() {
  m_idleCount = 0;
  if (!m_idle) StartIdle();
}

void CWinApp::StartIdle() {
  m_idle = true;
  if (m_idleTimer) static_cast<QTimer*>(m_idleTimer)->start();
}

void CWinApp::RunIdleStep() {
  bool more = false;
  try {
    more = OnIdle(m_idleCount++) != FALSE;
  } catch (...) {
    more = false;
  }
  if (!more) {
    m_idle = false;
    if (m_idleTimer) static_cast<QTimer*>(m_idleTimer)->stop();
  }
}

void CWinApp::DispatchFromQueue(MSG& msg) {
  m_msgCur = msg;
  bool goOn;
  try {
    goOn = PumpMessage() != FALSE;
  } catch (...) {
    goOn = false;  // an exception the application did not handle ends the loop
  }
  if (!goOn) {
    if (m_loop) static_cast<QEventLoop*>(m_loop)->exit(0);
    return;
  }
  if (IsIdleMessage(&m_msgCur)) NoteActivity();
}

int CWinApp::Run() {
  if (QCoreApplication::instance()) {
    qlw::AttachQueueToQtEventLoop();
    const qlw::MessagePump previous = qlw::SetThreadMessagePump(&CWinAppPump::Pump);
    QEventLoop loop;
    QTimer idleTimer;
    idleTimer.setInterval(0);  // fires once the event loop has nothing else to do
    QObject::connect(&idleTimer, &QTimer::timeout, [this] { RunIdleStep(); });
    CWinAppInputFilter filter(this);
    QCoreApplication::instance()->installEventFilter(&filter);
    m_loop = &loop;
    m_idleTimer = &idleTimer;
    m_inputFilter = &filter;
    m_idleCount = 0;
    StartIdle();
    loop.exec();
    QCoreApplication::instance()->removeEventFilter(&filter);
    m_loop = m_idleTimer = m_inputFilter = nullptr;
    qlw::SetThreadMessagePump(previous);
  }
  return ExitInstance();
}

CWinApp* AfxGetApp() { return g_app; }

const wchar_t* AfxGetAppName() { return g_app ? g_app->m_pszAppName : nullptr; }

void AfxSetIdleUpdateHandler(AfxIdleUpdateHandler handler) { g_idleUpdate = handler; }

int AfxWinMain(int argc, char** argv) {
  static int s_argc;
  s_argc = argc;
  QApplication* owned = nullptr;
  if (!QCoreApplication::instance()) owned = new QApplication(s_argc, argv);
  qlw::ResetNumericLocale();
  qlw::DeferMenuBarOverflowIcon();
  int result = -1;
  if (CWinApp* app = AfxGetApp()) {
    app->SetArguments(argc, argv);
    result = app->InitInstance() ? app->Run() : app->ExitInstance();
  }
  delete owned;
  return result;
}
