// The framework's application base CLXApp: start-up and exit, the per-user instance and the
// hand-over of a second start's command line, several files per start, the message pump with its
// exception handling and idle broadcast, folders, and shell registration (LXShellRegistration.cpp).
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "AfxApp.h"
#include "LXCommandLineInfo.h"
#include "LXDocTypes.h"

class CDocTemplate;

// Alerts go to standard error instead of a box: true until start-up decides.
extern bool g_silentMode;
// True while a list of several files is being opened.
extern bool g_batchOpen;

class CLXApp : public CWinApp {
 public:
  static constexpr wchar_t kInstanceMutexBase[] = L"Quillonographic";
  static constexpr wchar_t kQueryMutexBase[] = L"Quillonographic--Query";
  static constexpr wchar_t kHandOverMapping[] = L"CLXCommandLineInfo-13dca11d-78cb-484a-892b-10aa643d11ae";
  static constexpr UINT kHandOverTimeout = 500;
  static constexpr DWORD kQueryWait = 3000;
  static constexpr LONG kIdleBroadcastCount = 200;

  explicit CLXApp(const wchar_t* appName = L"Quillonographic");
  ~CLXApp() override;
  // The application object when it is a CLXApp.
  static CLXApp* GetApp();

  BOOL InitInstance() override;
  int ExitInstance() override;
  BOOL PumpMessage() override;
  BOOL OnIdle(LONG count) override;
  BOOL IsIdleMessage(MSG* msg) override;
  BOOL PreTranslateMessage(MSG* msg) override;
  int DoMessageBox(const wchar_t* prompt, UINT type, UINT helpId) override;
  void RegisterShellFileTypes(BOOL compat = FALSE) override;
  void UnregisterShellFileTypes() override;

  virtual bool AcceptsSeveralFiles();
  // Opens one file (or, with no path, a new window); the program's application implements it.
  virtual bool OpenOneFile(int flag, const wchar_t* path);
  virtual BOOL ProcessCommandLine(CLXCommandLineInfo& info);
  virtual bool ProcessHandedOverCommandLine();
  virtual void SetClosing(bool closing, bool force);
  virtual bool PauseWatchdog();
  virtual void AddDocTemplates();
  virtual int GetInstanceScope() { return 0; }
  // True when no other instance runs (or, without owner, when this start may go on); window
  // receives the running instance's window when one answered.
  virtual bool FindRunningInstance(int scope, bool owner, HWND* window);
  virtual bool StartNewProcess();
  virtual CLXCommandLineInfo* CreateCommandLineInfo();
  virtual void SavePreferences();
  virtual bool HasStoredPreferences();
  virtual bool GetDataFolder(CString& out, const CString& relative, bool create, bool skipPerUser,
                             bool includeRoaming);
  // The main window when it is a frame window, else null.
  virtual HWND GetMainFrame();

  // The target of a help or web command: a help page in folder (which must not be empty), or a
  // web address. The program has no web site, so its web addresses are empty and those
  // commands have no target; false then and for unknown commands.
  virtual bool GetCommandURL(UINT command, const CString& folder, CString& url);

  // "-" and the user name for scope 3; scope -1 asks GetInstanceScope.
  CString MakeInstanceName(const CString& base, int scope);
  // True when the running instance took the command line (it answered that it processed it).
  bool HandOverCommandLine(HWND window);
  virtual bool OpenFileList(const std::vector<CString>& paths, int flag);
  static bool IsOtherInstanceGone();
  // The first window of another process of the program that answers "AreYouMe", or null;
  // extraFlags are added to the send's flags.
  static HWND FindOtherInstanceWindow(UINT extraFlags = 0);
  // The process's own temporary folder, created on first use; false when none can be made.
  static bool GetTempFolder(CString& out);
  static CString StripNumericExtension(const CString& name);
  // The template row of a file type (codes 6 and 7 use 1 and 2).
  const CLXDocTypeRow* FindTemplateForFileType(uint32_t fileType) const;
  // The document template of that row; null when the application has no templates.
  virtual CDocTemplate* GetTemplateForFileType(uint32_t) { return nullptr; }

  // Answers the registered messages of the instance search, the hand-over and file opening;
  // the main window's procedure passes them here. False when the message is none of them.
  bool HandleInstanceMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // A plain top-level window that answers those messages until the program has a main window.
  HWND CreateInstanceWindow();

  // Shell registration (LXShellRegistration.cpp): the types to register; without any, those
  // marked for registration by default.
  bool RegisterFileTypes(const std::vector<uint32_t>& fileTypes);
  bool UnregisterFileTypes(const std::vector<uint32_t>& fileTypes);
  // Lets the user choose among the types (the file-association dialog, when the preference
  // store exists) and registers the chosen ones; the registered types, empty on refusal or failure.
  std::vector<uint32_t> RegisterFileTypesElevated(const std::vector<uint32_t>& fileTypes, bool askElevation);
  // The file-association dialog: false when the user cancels; types holds the chosen ones.
  using FileTypeChooser = bool (*)(std::vector<uint32_t>& types);
  static void SetFileTypeChooser(FileTypeChooser chooser);
  // Whether the type's extensions point at the program where the desktop looks them up.
  bool IsFileTypeAssociated(uint32_t fileType, bool& associated);
  // The program's executable as registered in the shell entries.
  virtual CString GetExecutablePath();

  CLXCommandLineInfo* GetCommandLineInfo() const { return m_cmdInfo.get(); }
  bool IsClosing() const { return m_closing; }
  bool WasHandedElsewhere() const { return m_handedElsewhere; }
  void SetHandedElsewhere(bool handed) { m_handedElsewhere = handed; }

  uint32_t m_versionNumber = 0;
  CString m_productName, m_productVersion, m_legalNotice;
  int m_exitCode = 0;

 protected:
  std::unique_ptr<CLXCommandLineInfo> m_cmdInfo;
  bool m_processingCommandLine = false;
  bool m_handedElsewhere = false;
  HANDLE m_queryMutex = nullptr;
  HANDLE m_instanceMutex = nullptr;
  bool m_closing = false;
  HWND m_instanceWindow = nullptr;
};
