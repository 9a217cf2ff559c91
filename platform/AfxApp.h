// The class library's application object CWinApp with its message pump on Qt's event loop and
// idle processing, and the command-line record CCommandLineInfo. Windows, frames and documents
// are the class library's other files; here they are only named.
#pragma once
#include <vector>

#include "CString.h"
#include "WindowLayer.h"

class CWnd;
class CDocument;
class CRecentFileList;

// Message-box kinds beside the sounds of WinTypes.h, and the help id of the save question.
#define MB_OKCANCEL 0x00000001u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_TYPEMASK 0x0000000Fu
#define AFX_IDP_ASK_TO_SAVE 0xF10Fu

class CCommandLineInfo {
 public:
  enum { FileNew = 0, FileOpen = 1, FilePrint = 2, FilePrintTo = 3, FileDDE = 4, AppRegister = 5,
         AppUnregister = 6, FileNothing = 7 };

  CCommandLineInfo() = default;
  virtual ~CCommandLineInfo() = default;

  // One argument: the switch's leading "/" or "-" already removed when isSwitch.
  virtual void ParseParam(const wchar_t* param, BOOL isSwitch, BOOL isLast);
  virtual void ParseParam(const char* param, BOOL isSwitch, BOOL isLast);

  BOOL m_bShowSplash = TRUE;
  BOOL m_bRunEmbedded = FALSE;
  BOOL m_bRunAutomated = FALSE;
  int m_nShellCommand = FileNew;
  CString m_strFileName;
  CString m_strPrinterName;
  CString m_strDriverName;
  CString m_strPortName;

 protected:
  void ParseParamFlag(const wchar_t* param);
  void ParseParamNotFlag(const wchar_t* param);
  void ParseLast(BOOL isLast);
};

class CWinApp {
 public:
  explicit CWinApp(const wchar_t* appName = nullptr);
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;
  virtual ~CWinApp();

  virtual BOOL InitInstance();
  virtual int ExitInstance();
  // Runs the message loop until WM_QUIT (or Qt's loop ends), then ExitInstance.
  virtual int Run();
  // Handles m_msgCur; FALSE ends the message loop (WM_QUIT).
  virtual BOOL PumpMessage();
  // Called while the thread has nothing to do; TRUE asks for more idle time.
  virtual BOOL OnIdle(LONG count);
  // Whether the message counts as activity that starts a new idle period.
  virtual BOOL IsIdleMessage(MSG* msg);
  virtual BOOL PreTranslateMessage(MSG* msg);
  virtual BOOL ProcessMessageFilter(int code, LPMSG msg);
  // Answers IDOK, IDCANCEL, IDYES or IDNO as the kind offers them.
  virtual int DoMessageBox(const wchar_t* prompt, UINT type, UINT helpId);
  // Asks every open document whether it may go (saving it when the user says so); false when
  // the user cancels.
  virtual BOOL SaveAllModified();

  // Command line: each argument of m_argv (after the program) goes to info.ParseParam. An
  // argument starting with "-" is a switch; one starting with "/" is a switch unless it names an
  // existing file or its name part (before any "=") holds another "/", as paths do. After an
  // argument "--" every argument is a file.
  void ParseCommandLine(CCommandLineInfo& info);
  static bool IsSwitchArgument(const CString& argument);
  virtual BOOL ProcessShellCommand(CCommandLineInfo& info);
  virtual void OnFileNew();
  virtual CDocument* OpenDocumentFile(const wchar_t* path);
  virtual void RegisterShellFileTypes(BOOL compat = FALSE);
  virtual void UnregisterShellFileTypes();

  void SetRegistryKey(const wchar_t* key);
  // Makes the recent-file list with room for maxMru files and reads it from the registry.
  void LoadStdProfileSettings(UINT maxMru = 4);
  // Puts the file at the top of the recent-file list; nothing until the list is loaded.
  virtual void AddToRecentFileList(const wchar_t* path);
  CWnd* GetMainWnd() const { return m_pMainWnd; }

  // Makes the arguments the command line of this application (AfxWinMain does it).
  void SetArguments(int argc, char** argv);

  const wchar_t* m_pszAppName = nullptr;
  const wchar_t* m_pszRegistryKey = nullptr;
  const wchar_t* m_pszProfileName = nullptr;
  CString m_lpCmdLine;
  std::vector<CString> m_argv;  // program first
  int m_nCmdShow = SW_SHOWNORMAL;
  CWnd* m_pMainWnd = nullptr;
  MSG m_msgCur{};
  CRecentFileList* m_pRecentFileList = nullptr;  // owned

  // The idle period's count (reset by activity); for tests and the class library's windows.
  LONG GetIdleCount() const { return m_idleCount; }
  // Activity that did not arrive as a queued message (input events of the widgets).
  void NoteActivity();

 private:
  friend struct CWinAppPump;
  void DispatchFromQueue(MSG& msg);
  void StartIdle();
  void RunIdleStep();

  CString m_appName, m_registryKey;
  LONG m_idleCount = 0;
  UINT m_lastMouseMessage = 0;
  LPARAM m_lastMouseLParam = 0;
  bool m_idle = true;
  void* m_loop = nullptr;        // the QEventLoop of Run
  void* m_idleTimer = nullptr;   // its zero-interval QTimer
  void* m_inputFilter = nullptr;
};

CWinApp* AfxGetApp();
const wchar_t* AfxGetAppName();
// The application's message box (CWinApp::DoMessageBox); without an application the text goes to
// standard error and the first button is the answer (No for Yes, No and Cancel).
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK, UINT helpId = 0);
// The class library's idle update of the main window's command states (CCmdUI): called at the
// start of every idle period with the main window. The window classes install it.
using AfxIdleUpdateHandler = void (*)(CWnd* mainWnd);
void AfxSetIdleUpdateHandler(AfxIdleUpdateHandler handler);
// Creates Qt's application object when there is none, then InitInstance and Run of the one
// CWinApp; the result is the process's exit code.
int AfxWinMain(int argc, char** argv);
