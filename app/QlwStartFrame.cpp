// A document window with no panes: enough for start-up and for the hand-over between instances.
#include "QlwStartFrame.h"

#include "LXApp.h"
#include "LXMessage.h"
#include "LXUtils.h"
#include "QlwDoc.h"

IMPLEMENT_DYNCREATE(CQlwStartFrame, CLXDocWnd)
IMPLEMENT_DYNCREATE(CQlwStartView, CView)

BEGIN_MESSAGE_MAP(CQlwStartFrame, CLXDocWnd)
ON_WM_CREATE()
END_MESSAGE_MAP()

bool CQlwStartFrame::HasPatterns() {
  auto* doc = dynamic_cast<CQlwDoc*>(GetActiveDocument());
  return doc && !doc->GetPatterns().empty();
}

int CQlwStartFrame::OnCreate(LPCREATESTRUCT cs) {
  if (CFrameWnd::OnCreate(cs) == -1) return -1;
  CUtils::SetAppIcon(m_hWnd);
  return 0;
}

LRESULT CQlwStartFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  CLXMessage::IdPair pair;
  if (message != 0 && CLXMessage::LookupId(message, pair)) {
    if (pair.sync == g_msgInitialOpenSync) {
      if (!g_silentMode) {
        ShowWindow(SW_SHOWNOACTIVATE);
        UpdateWindow();
      }
      return 1;
    }
    LRESULT result = 0;
    if (CLXApp* app = CLXApp::GetApp(); app && app->HandleInstanceMessage(message, wParam, lParam, result))
      return result;
  }
  return CLXDocWnd::WindowProc(message, wParam, lParam);
}
