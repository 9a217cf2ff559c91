#include "EmptyPane.h"

#include "AfxGdi.h"

IMPLEMENT_DYNCREATE(CEmptyPane, CView)

BEGIN_MESSAGE_MAP(CEmptyPane, CView)
  ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

void CEmptyPane::OnDraw(CDC* dc) {
  RECT r{};
  GetClientRect(&r);
  dc->FillSolidRect(&r, ::GetSysColor(COLOR_WINDOW));
}
