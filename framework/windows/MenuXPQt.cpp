// Gives the menus on screen their DCs over Qt painters, so that owner-drawn items reach
// CMenuXP's drawing through their owner's WM_DRAWITEM.
#include "GdiQt.h"
#include "MenuOwnerDraw.h"
#include "MenuXP.h"

namespace {
HDC MakeDC(QPainter* painter, const RECT& bounds) { return qlw::CreatePainterDC(painter, bounds); }
}  // namespace

void CMenuXP::InstallMenuPainter() {
  if (!qlw::HasMenuPainterDC()) qlw::SetMenuPainterDC(&MakeDC, &qlw::DeletePainterDC);
}
