// The document window's closing and lookup.
#include "LXDocWnd.h"

#include "AfxApp.h"
#include "LXMessage.h"

IMPLEMENT_DYNAMIC(CLXDocWnd, CFrameWnd)

BEGIN_MESSAGE_MAP(CLXDocWnd, CFrameWnd)
  ON_WM_DESTROY()
END_MESSAGE_MAP()

CLXDocWnd* CLXDocWnd::FromWindow(CWnd* window) {
  for (HWND h = window ? window->m_hWnd : nullptr; h; h = ::GetParent(h)) {
    if (auto* doc = DYNAMIC_DOWNCAST(CLXDocWnd, CWnd::FromHandlePermanent(h))) return doc->m_bClosing ? nullptr : doc;
  }
  CWnd* main = AfxGetApp() ? AfxGetApp()->GetMainWnd() : nullptr;
  if (!main) main = CWnd::FromHandlePermanent(LXAppWindows::GetMainWindow());
  return DYNAMIC_DOWNCAST(CLXDocWnd, main);
}

void CLXDocWnd::AnnounceClosing() {
  m_bClosing = true;
  CLXMsgGeneral(g_msgDocWndClosed, reinterpret_cast<LPARAM>(this), 0).Send(CLXMessage::kModeSync);
}

BOOL CLXDocWnd::DestroyWindow() {
  AnnounceClosing();
  return CFrameWnd::DestroyWindow();
}

void CLXDocWnd::OnDestroy() {
  if (!m_bClosing) AnnounceClosing();
  Default();
}
