// Gives owner-drawn controls their DCs over Qt painters (the menus' makers serve them too).
#include "Gdi.h"
#include "GdiQt.h"
#include "LXOwnerDraw.h"
#include "MenuOwnerDraw.h"

namespace {
HDC MakeDC(QPainter* painter, const RECT& bounds) { return qlw::CreatePainterDC(painter, bounds); }
}  // namespace

void LXGraphics::EnsureOwnerDrawDC() {
  if (!qlw::HasMenuPainterDC()) qlw::SetMenuPainterDC(&MakeDC, &qlw::DeletePainterDC);
  qlw::SetPainterDCTextColour([](HDC dc) { return ::GetTextColor(dc); });
}
