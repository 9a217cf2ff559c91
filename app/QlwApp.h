// The program's application object CQlwApp: start-up, the twelve document templates, routing a
// file to this window or to another process, and the hand-over of a second start. The program's
// one instance, theApp, lives in programs/quillonographic/main.cpp.
#pragma once
#include <memory>
#include <vector>

#include "CmdTarget.h"
#include "LXApp.h"
#include "LXException.h"

class CDocTemplate;
class CDocument;
class CQlwDoc;
class CQlwDocTemplate;

// A start-up the user cancelled: no alert, exit code 1.
LX_DECLARE_EXCEPTION(CLXXAbortAppInit, CLXXMain, 20781);

class CQlwApp : public CLXApp {
 public:
  // "/Embedding": a process that this program started for a new window; it never hands over.
  static constexpr wchar_t kNewWindowSwitch[] = L"/Embedding";

  CQlwApp();
  ~CQlwApp() override;
  static CQlwApp* GetApp();

  BOOL InitInstance() override;
  int ExitInstance() override;
  BOOL PumpMessage() override;
  BOOL PreTranslateMessage(MSG* msg) override;

  // The frame and view classes of every template: the program's diffraction window and graphics
  // pane, which live above this folder. Set before start-up.
  void SetWindowClasses(CRuntimeClass* frameClass, CRuntimeClass* viewClass);

  CDocument* OpenDocumentFile(const wchar_t* path) override;
  CDocument* OpenDocumentFile(const wchar_t* path, BOOL addToRecent);
  // A file of a known type, or a new empty session when path is null; null when it went to
  // another process or failed.
  CQlwDoc* OpenDocumentOfType(uint32_t fileType, const wchar_t* path);
  void RegisterDocTemplates();
  CDocTemplate* GetTemplateForFileType(uint32_t fileType) override;
  CQlwDocTemplate* GetMainDocTemplate() const { return m_pMainDocTemplate; }

  bool AcceptsSeveralFiles() override { return true; }
  bool OpenOneFile(int flag, const wchar_t* path) override;
  bool OpenFileList(const std::vector<CString>& paths, int flag) override;
  BOOL ProcessCommandLine(CLXCommandLineInfo& info) override;
  void AddDocTemplates() override { RegisterDocTemplates(); }
  int GetInstanceScope() override { return 3; }
  CLXCommandLineInfo* CreateCommandLineInfo() override;
  bool HasStoredPreferences() override;
  bool StartNewProcess() override;
  HWND GetMainFrame() override;
  // The help pages of the editors' and palettes' help buttons (32786 to 32789), then the framework's.
  bool GetCommandURL(UINT command, const CString& folder, CString& url) override;
  // Every template's document is asked in turn; false at the first the user keeps.
  BOOL SaveAllModified() override;

  // Another process of the program, given the files (none: an empty window).
  bool OpenFilesInNewWindow(const std::vector<CString>& paths);
  // File > Open: the open dialog over the session, crystal, data and profile types.
  bool ShowOpenDialog();
  // File > New Window: another process, or during a command line an empty session here.
  void OnNewWindow();

  // The window the program shows its documents in; null until the first document is open.
  CWnd* GetDocWindow() const;

 private:
  // Hands this start's command line to the running instance; false when it did not take it.
  // A start that goes on by itself keeps the instance query until it has a window (below).
  bool HandOverToRunningInstance();
  // Lets the next start search for instances: this one now has a window that answers.
  void ReleaseInstanceQuery();
  void StartUp();

  CQlwDocTemplate* m_pMainDocTemplate = nullptr;
  CRuntimeClass* m_pFrameClass = nullptr;
  CRuntimeClass* m_pViewClass = nullptr;
  std::vector<std::unique_ptr<CQlwDocTemplate>> m_templates;
  std::unique_ptr<CCmdTarget> m_commands;
  bool m_menusInstalled = false;
  bool m_startedGdiplus = false;
  bool m_holdingQuery = false;
};

// While true, a file that is opened goes into the current window's document.
extern bool g_openInSameWindow;
