// Gives the menus on screen their DCs over Qt painters, so that owner-drawn items reach
// CMenuXP's drawing through their owner's WM_DRAWITEM.
#include "GdiQt.h"
#include "MenuOwnerDraw.h"
#include "MenuXP.h"
#include "Resources.h"
#include "ScopedDC.h"

namespace {
HDC MakeDC(QPainter* painter, const RECT& bounds) { return qlw::CreatePainterDC(painter, bounds); }
void DrawFrame(HDC dc, const RECT& screen) { CMenuXP::DrawPopupBorder(dc, screen, true); }
}  // namespace

void CMenuXP::InstallMenuPainter() {
  if (!qlw::HasMenuPainterDC()) qlw::SetMenuPainterDC(&MakeDC, &qlw::DeletePainterDC);
  qlw::SetMenuFramePainter(&DrawFrame, AdjustColor(GetSysColor(COLOR_3DFACE), 75, 0));
}
