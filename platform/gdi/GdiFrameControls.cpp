// The classic frame controls (DrawFrameControl) and DrawState's disabled text, drawn with the
// application's Qt style so that list cells and owner-drawn buttons look like the desktop's.
#include <QApplication>
#include <QStyle>
#include <QStyleOptionButton>

#include "GdiInternal.h"

using namespace qlw::gdi;

namespace {
bool ValidPainterDC(HDC dc) { return ValidDC(dc) && dc->painter; }

QStyle* Style() { return QApplication::style(); }
}  // namespace

BOOL DrawFrameControl(HDC dc, LPRECT rect, UINT type, UINT state) {
  if (!rect || type != DFC_BUTTON || !ValidPainterDC(dc)) return FALSE;
  const QRect r(QPoint(rect->left, rect->top), QPoint(rect->right - 1, rect->bottom - 1));
  QStyleOptionButton option;
  option.rect = r;
  option.state = QStyle::State_None;
  if (!(state & DFCS_INACTIVE)) option.state |= QStyle::State_Enabled;
  if (state & DFCS_PUSHED) option.state |= QStyle::State_Sunken;
  else option.state |= QStyle::State_Raised;
  if (QStyle* style = Style()) {
    Scope p(dc);
    if ((state & 0x1F) == DFCS_BUTTONPUSH) {
      if (!(state & DFCS_FLAT)) option.features = QStyleOptionButton::None;
      style->drawControl(QStyle::CE_PushButtonBevel, &option, &*p);
    } else {
      option.state |= (state & DFCS_CHECKED) ? QStyle::State_On : QStyle::State_Off;
      style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &*p);
    }
    p.Touch(QRectF(r));
  }
  if (state & DFCS_ADJUSTRECT) {
    const int inset = (state & 0x1F) == DFCS_BUTTONPUSH ? 2 : 1;
    rect->left += inset, rect->top += inset, rect->right -= inset, rect->bottom -= inset;
  }
  return TRUE;
}

BOOL DrawStateW(HDC dc, HBRUSH, DRAWSTATEPROC, LPARAM data, WPARAM length, int x, int y, int cx, int cy, UINT flags) {
  if (!ValidPainterDC(dc) || (flags & 0xF) != DST_TEXT || !data) return FALSE;
  const auto* text = reinterpret_cast<const wchar_t*>(data);
  const int count = length ? static_cast<int>(length) : -1;
  RECT r{x, y, x + cx, y + cy};
  const UINT format = DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP;
  if (!(flags & DSS_DISABLED)) {
    DrawTextW(dc, text, count, &r, format);
    return TRUE;
  }
  // Disabled text is embossed: a highlight one pixel down and right, the shadow on top.
  const COLORREF old = SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  RECT shifted{r.left + 1, r.top + 1, r.right + 1, r.bottom + 1};
  DrawTextW(dc, text, count, &shifted, format);
  SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  DrawTextW(dc, text, count, &r, format);
  SetTextColor(dc, old);
  SetBkMode(dc, oldMode);
  return TRUE;
}
