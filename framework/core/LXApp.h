// The framework's application base CLXApp: start-up and exit, the per-user instance and the
// hand-over of a second start's command line, several files per start, new windows as new
// processes, the message pump with its exception handling and idle broadcast, folders, cancellable
// long operations (LXAppCancel.cpp), and shell registration (LXShellRegistration.cpp). What needs
// the document templates or the file dialog is in framework/windows/LXAppTemplates.cpp, and the
// Qt side of cancelling in framework/core/gui/CancelInputFilter.cpp.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
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
  // The switch that starts the program as a new window of its own, with the files that follow.
  static constexpr wchar_t kNewProcessSwitch[] = L"/Embedding";
  static constexpr UINT kReleaseNotesCommand = 32774;

  explicit CLXApp(const wchar_t* appName = L"Quillonographic");
  ~CLXApp() override;
  // The application object when it is a CLXApp.
  static CLXApp* GetApp();

  // Registration shows no window: started without a display, it runs on Qt's offscreen platform
  // and its alerts go to standard error. For the program's entry, before Qt starts; true when so.
  bool PrepareRegistrationWithoutDisplay(int argc, char** argv);
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
  // Takes the command line that another start put in the hand-over mapping; one that arrives
  // while a command line is being processed (its question up) is processed after that one.
  virtual bool ProcessHandedOverCommandLine();
  // Processes the command lines handed over while another was being processed, in their order.
  void ProcessHandedOverLater();
  virtual void SetClosing(bool closing, bool force);
  virtual bool PauseWatchdog();
  // Set while the watchdog reports the user-interface thread busy (its wait cursor is up); windows
  // that lay themselves out put that work off meanwhile. User-interface thread only.
  static bool IsBusy();
  // Clearing the flag sends what was put off with SendWhenNotBusy, so nothing stays stale.
  static void SetBusy(bool busy);
  // message to window once the busy spell ends (at once when not busy); the same pair put off
  // twice is sent once, and a window gone by then is skipped.
  static void SendWhenNotBusy(HWND window, UINT message);
  virtual void AddDocTemplates();
  virtual int GetInstanceScope() { return 0; }
  // True when no other instance runs (or, without owner, when this start may go on); window
  // receives the running instance's window when one answered.
  virtual bool FindRunningInstance(int scope, bool owner, HWND* window);
  virtual bool StartNewProcess();
  // Another process of the program opens the files (none: an empty window); each path is one
  // argument of the child. Sets the handed-elsewhere flag; a failure is reported.
  virtual bool OpenFilesInNewProcess(const std::vector<CString>& paths);
  // The file dialog over the templates of the given types, initialType pre-selected; on OK the
  // chosen paths are appended. False when cancelled or when no dialog is available.
  virtual bool OpenFilesDialog(const std::vector<uint32_t>& fileTypes, std::vector<CString>& paths,
                               uint32_t initialType, bool flag1, bool flag2);
  // That dialog, then the chosen files opened as one list (more than 20 asked about first);
  // false when cancelled or when nothing opened.
  virtual bool OpenFilesOfTypes(const std::vector<uint32_t>& fileTypes, uint32_t initialType, bool flag1, bool flag2);
  // The framework file dialog, several files allowed, over the templates of the given types in
  // their order (a type given twice is offered once); the chosen paths, none when cancelled.
  std::vector<CString> ChooseFilesToOpen(const std::vector<uint32_t>& fileTypes);
  // The types marked for registration by default whose files the desktop does not open with the
  // program.
  virtual std::vector<uint32_t> GetTypesToAssociate();
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

  // The fourth part of the program file's version (stage * 100 + build); 0 when unavailable.
  static int GetProgramBuildNumber();

  // The help folder of the data folder (QLW_HELP_DIR in its place when set); true when it is a directory.
  bool GetHelpFolder(CString& out);
  // Carries out a help command: the PDF guides with the desktop's viewer, help pages in the
  // built-in viewer, web addresses in the browser. Not re-entrant. Throws CLXXNoHelp, CLXXNoWebAddress
  // and the guides' errors; without help pages the viewer comes up empty.
  virtual void OpenHelp(UINT command);
  // Opens a guide, a help link or a web address with the desktop's program, under a progress frame
  // of progressText when it is not 0. When nothing opens it, says so as the Help menu does: the
  // User's Guide and the Tutorial (known by file name) with their "cannot open" alert, whose OK
  // asks for the reader's page; anything else throws CLXXNoHelp.
  static void OpenHelpDocument(const CString& target, UINT progressText = 0);
  // Whether the command's target is a page of the help folder (rather than a web address).
  bool IsHelpPageCommand(UINT command);
  // The built-in viewer's "show this help page"; false when it is no help page. An empty url
  // shows the viewer on its home page, or empty when there is none.
  using HelpPageShower = bool (*)(const CString& url);
  static void SetHelpPageShower(HelpPageShower shower);
  // url with a query that names the system and the program appended.
  void GetSystemQuery(CString& url);
  // The file-type code of the template's document-type row; 0 for a template that is no
  // framework template or has no row. In framework/windows/LXAppTemplates.cpp.
  uint32_t GetTemplateFileType(const CDocTemplate* docTemplate) const;
  // Every view of every document updates, then the main window redraws with its children.
  // In framework/windows/LXAppTemplates.cpp.
  void RedrawAllViews();

  // Posts "Release Notes" to the main frame once delayMs have passed.
  static UINT_PTR StartReleaseNotesTimer(UINT delayMs);
  static void CALLBACK ReleaseNotesTimerProc(HWND hwnd, UINT message, UINT_PTR id, DWORD time);

  // Long work on the user-interface thread that the user may cancel (Escape; a mouse click too
  // when blockMouse is set, which also keeps the mouse from the windows meanwhile). The caller's
  // flag is cleared now and set when the user cancels; target (or the main frame) then gets
  // "Cancel". Returns the cookie for EndCancellable.
  static DWORD BeginCancellable(HWND target, bool* cancelled, bool blockMouse);
  static void EndCancellable(DWORD cookie);
  // The user cancelled: every running operation, the innermost first, is cancelled and ended.
  // False when none runs.
  static bool CancelCancellables();
  static bool IsCancellableRunning();
  static bool IsBlockingMouse();
  // Called by long operations between their steps: lets the user's Escape (or click) through
  // while the work keeps the user-interface thread busy.
  static void PollCancelInput();
  // The Qt side: told when the input to watch changes, and asked to let input through.
  using CancelInputWatcher = void (*)(bool keyboard, bool mouse);
  using CancelInputPoller = void (*)();
  static void SetCancelInputHandlers(CancelInputWatcher watcher, CancelInputPoller poller);

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
  // The process holds a lock in it for as long as it runs (LXAppTempFolder.cpp).
  static bool GetTempFolder(CString& out);
  // Removes the process's temporary folder with its contents (at exit).
  static void RemoveTempFolder();
  // Removes the temporary folders of the program's processes that ended without removing theirs
  // (killed or crashed); a folder whose process may still run is left alone.
  static void RemoveAbandonedTempFolders();
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
  // The framework file dialog behind OpenFilesDialog (framework/windows installs it): the
  // templates of the rows, in order, the 1-based filter to pre-select and whether several files
  // may be chosen; false when cancelled.
  using OpenFilesPrompt = bool (*)(const std::vector<CDocTemplate*>& templates, int initialFilter, bool multiple,
                                   std::vector<CString>& paths);
  static void SetOpenFilesPrompt(OpenFilesPrompt prompt);
  // The MIME type the program's desktop registration gives a file by its extension; "" for an
  // extension it leaves to other programs (".txt", ".dat"…) or does not know.
  static std::string MimeTypeOfFile(const std::wstring& path);
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
  std::vector<std::unique_ptr<CLXCommandLineInfo>> m_handedOverLater;
};

// A loop of long work that Escape may cancel, registered for the scope when it has several steps;
// asked between steps, it lets the user's input through and says whether to stop.
class CLXCancellableScope {
 public:
  explicit CLXCancellableScope(bool cancellable)
      : m_cookie(cancellable ? CLXApp::BeginCancellable(nullptr, &m_cancelled, false) : 0) {}
  ~CLXCancellableScope() {
    if (m_cookie) CLXApp::EndCancellable(m_cookie);
  }
  CLXCancellableScope(const CLXCancellableScope&) = delete;
  CLXCancellableScope& operator=(const CLXCancellableScope&) = delete;
  // Asked before each step; the first always goes ahead.
  bool Cancelled() {
    if (m_cookie && m_started) CLXApp::PollCancelInput();
    m_started = true;
    return m_cancelled;
  }

 private:
  bool m_cancelled = false;
  bool m_started = false;
  DWORD m_cookie;
};
