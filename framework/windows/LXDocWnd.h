// CLXDocWnd: the framework's document frame window as far as dialogs and palettes need it: its
// closing flag, the announcement of its closing, and finding the document window of a window.
#pragma once
#include "Frame.h"

class CLXDocWnd : public CFrameWnd {
  DECLARE_DYNAMIC(CLXDocWnd)
 public:
  CLXDocWnd() = default;
  // The first document window up the parent chain (null when it is closing); without a window
  // or such an ancestor, the main window when it is a document window, closing or not.
  static CLXDocWnd* FromWindow(CWnd* window);
  BOOL DestroyWindow() override;
  bool IsClosing() const { return m_bClosing; }

  bool m_bCreated = false;
  bool m_bClosing = false;

 protected:
  void OnDestroy();
  void AnnounceClosing();
  DECLARE_MESSAGE_MAP()
};
