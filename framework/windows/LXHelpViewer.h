// CLXHelpViewer: the program's HTML help in a palette, with Back, Fwd and Home above a text browser
// (LXHelpViewerQt.cpp); links outside the help folder go to the desktop's default program.
#pragma once
#include "LXAlphaButton.h"
#include "LXPalette.h"

class CLXHelpViewer : public CLXPalette {
  DECLARE_DYNAMIC(CLXHelpViewer)
 public:
  static constexpr UINT kTemplateId = 1030;
  static constexpr UINT kBackId = 1151, kForwardId = 1152, kHomeId = 1154, kBrowserId = 1155;
  // The shared record: kind UUID, writer's window, window rectangle, "HelpWinVisible", shown,
  // then the current page's URL in UTF-16LE (at most 2083 units and a NUL).
  static constexpr size_t kRecordSize = 4216;
  static constexpr size_t kUrlOffset = 42;
  static constexpr size_t kUrlUnits = 2084;
  // Browser commands of CommandStateChange.
  static constexpr int kNavigateForward = 1, kNavigateBack = 2;

  CLXHelpViewer();
  ~CLXHelpViewer() override;

  // The one viewer of the process, made on the first call; every call places and shows or hides it
  // as "HelpWinRect" and "HelpWinVisible" say. A failure leaves no viewer and is thrown on.
  static CLXHelpViewer* ShowHelp();
  // The viewer, or null before the first ShowHelp.
  static CLXHelpViewer* Get();

  // Navigates to url (the home page when empty); true when it is a help page, which is then shown
  // when show is set. With no url and no home page the viewer is shown empty (and false returned).
  bool ShowPage(CString url, bool show);
  // Whether the help folder's home page exists.
  bool HasHomePage() const;
  // Reports a missing home page (CLXXNoHelp), the first time only.
  void ReportMissingHelpOnce();
  void GoBack();
  void GoForward();
  void GoHome();
  // A page of the help folder: the canonical path of the file (or file URL) lies inside the
  // canonical help folder, compared case-sensitively, the file exists and is HTML.
  bool IsHelpPage(const CString& url) const;
  // The page shown now (a file URL), empty before the first.
  CString GetLocationURL() const;
  const CString& GetHelpFolder() const { return m_helpFolder; }
  const CString& GetHomePage() const { return m_homePage; }

  // Browser events: before a navigation (true lets it go on), and a change of the history state.
  bool BeforeNavigate(const CString& url);
  void CommandStateChange(int command, bool enable);

  UINT GetTemplateID() override { return kTemplateId; }
  void SaveState() override;
  void ReadSyncState(const void* view) override;
  void FillSyncState(void* view) override;
  size_t GetSyncStateSize() override { return kRecordSize; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void RefreshControls() override;
  void UpdateControls(bool fromModel) override;

 protected:
  void Navigate(const CString& url);
  void OnBack() { GoBack(); }
  void OnForward() { GoForward(); }
  void OnHome() { GoHome(); }
  LRESULT OnButton(WPARAM id, LPARAM);
  DECLARE_MESSAGE_MAP()

  CAlphaButton m_back;
  CAlphaButton m_forward;
  CAlphaButton m_home;
  void* m_browser = nullptr;  // the Qt browser, owned by control 1155's widget
  CString m_helpFolder;
  CString m_homePage;
  bool m_missingHelpReported = false;
};

namespace LXHelpViewerQt {
// Puts a text browser into the control and lays out the buttons above it; the browser's handle.
void* AttachBrowser(CLXHelpViewer* viewer, HWND control, HWND back, HWND forward, HWND home);
void Navigate(void* browser, const CString& url);
void GoBack(void* browser);
void GoForward(void* browser);
CString LocationURL(void* browser);
}  // namespace LXHelpViewerQt
