// CLXDocWnd: the framework's document frame window: its identity, its closing flag and the
// announcement of its closing, the lock bar of its toolbar, owner-drawn menus, and finding the
// document window of a window.
#pragma once
#include "Frame.h"
#include "SubclassWnd.h"
#include "Uuid.h"

#define WM_COMMANDHELP 0x0365

class CLXDocWnd : public CFrameWnd {
  DECLARE_DYNAMIC(CLXDocWnd)
 public:
  CLXDocWnd();
  ~CLXDocWnd() override;
  // The first document window up the parent chain (null when it is closing); without a window
  // or such an ancestor, the main window when it is a document window, closing or not.
  static CLXDocWnd* FromWindow(CWnd* window);
  BOOL Create(LPCWSTR className, LPCWSTR title, DWORD style = WS_OVERLAPPEDWINDOW,
              const RECT& rect = RECT{0, 0, 640, 480}, CWnd* parent = nullptr, LPCWSTR menuName = nullptr,
              DWORD exStyle = 0, CCreateContext* context = nullptr);
  BOOL DestroyWindow() override;
  bool IsClosing() const { return m_bClosing; }

  virtual bool HasPatterns() = 0;
  virtual bool IsEmptyWindow() = 0;
  virtual void SaveWindowPlacement() = 0;
  virtual void OnOptionsApplied(WPARAM wParam, LPARAM lParam) = 0;

  // Test seam: the UUID maker used by the constructor.
  using UuidMaker = RPC_STATUS (*)(UUID*);
  static void SetUuidMaker(UuidMaker maker);

  void* m_reserved = nullptr;
  CLockBar m_lockBar;
  bool m_bCreated = false;
  bool m_bClosing = false;
  bool m_bOpening = false;  // a document is being opened into this window
  UUID m_uuid{};
  CString m_text;

 protected:
  void OnDestroy();
  void AnnounceClosing();
  void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu);
  LRESULT OnMenuChar(WPARAM wParam, LPARAM lParam);
  LRESULT OnMeasureItem(WPARAM wParam, LPARAM lParam);
  LRESULT OnDrawItem(WPARAM wParam, LPARAM lParam);
  LRESULT OnCommandHelp(WPARAM wParam, LPARAM lParam);
  LRESULT OnOptionsAppliedMsg(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()
};
