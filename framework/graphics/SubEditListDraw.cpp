// How CSubEditList paints: the custom-draw protocol, cell colours, the drawing of text, colour,
// check and menu cells, and the rectangles of the cells' controls (also used for hit-testing).
#include <algorithm>
#include <cmath>

#include "GdiPlus.h"
#include "LXColorButton.h"
#include "LXColor.h"
#include "Resources.h"
#include "SubEditList.h"

namespace {
COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }
DWORD FromColorRef(COLORREF c) {
  return 0xFF000000u | (static_cast<DWORD>(GetRValue(c)) << 16) | (static_cast<DWORD>(GetGValue(c)) << 8) | GetBValue(c);
}
DWORD SysColour(void* theme, int index) { return LXGraphics::CColor::FromThemeSysColor(theme, index).GetValue(); }
constexpr DWORD kHotTrackStyles = LVS_EX_TRACKSELECT | LVS_EX_ONECLICKACTIVATE | LVS_EX_TWOCLICKACTIVATE;
}  // namespace

// ---- Colours -------------------------------------------------------------------------------

bool CSubEditList::GetTextColor(int, int, DWORD& argb) {
  argb = FromColorRef(static_cast<COLORREF>(SendMessage(LVM_GETTEXTCOLOR)));
  return false;
}

bool CSubEditList::GetCellBackColor(int row, int, DWORD& argb) {
  if (!IsWindowEnabled()) {
    argb = SysColour(m_hTheme, COLOR_BTNFACE);
    return false;
  }
  LXGraphics::CColor c(FromColorRef(static_cast<COLORREF>(SendMessage(LVM_GETBKCOLOR))));
  if (m_shadeAlternate && (row & 1)) c.Darken(0.05f);
  argb = c.GetValue();
  return false;
}

void CSubEditList::HighlightColours(int row, int column, DWORD& text, DWORD& back) {
  if (m_highlightMode == 2) return;
  text = SysColour(m_hTheme, COLOR_HIGHLIGHTTEXT);
  back = SysColour(m_hTheme, COLOR_HIGHLIGHT);
  const bool focused = ::GetFocus() == m_hWnd || (m_editor.m_hWnd && ::GetFocus() == m_editor.m_hWnd);
  if ((SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE) & kHotTrackStyles) && focused) {
    CPoint cursor;
    ::GetCursorPos(&cursor);
    ScreenToClient(&cursor);
    m_lastPoint = cursor;
    int hotRow = -1, hotColumn = 0;
    if (HitCell(cursor, hotRow, hotColumn) && hotRow == row && hotColumn == column) back = SysColour(m_hTheme, COLOR_HOTLIGHT);
  }
  if (!IsWindowEnabled())
    back = SysColour(m_hTheme, (GetStyle() & LVS_SHOWSELALWAYS) && m_highlightMode == 1 ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
}

void CSubEditList::CellColours(int row, int column, DWORD& text, DWORD& back) {
  const bool ownText = GetTextColor(row, column, text);
  const bool ownBack = GetCellBackColor(row, column, back);
  if (ownText || ownBack || !RowExists(row) || !GetItemState(row, LVIS_SELECTED)) return;
  const bool focused = ::GetFocus() == m_hWnd || (m_editor.m_hWnd && ::GetFocus() == m_editor.m_hWnd);
  if (!focused && !m_editing) HighlightColours(row, column, text, back);
  else if (SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE) & LVS_EX_FULLROWSELECT) HighlightColours(row, column, text, back);
  else if (row == m_currentRow && column == m_currentColumn && GetColumnKind(column) == kKindText && IsCellEditable(row, column))
    HighlightColours(row, column, text, back);
}

bool CSubEditList::IsLastVisibleColumn(int column) const {
  std::vector<int> order(static_cast<size_t>(m_columnCount));
  for (int i = 0; i < m_columnCount; ++i) order[static_cast<size_t>(i)] = i;
  SendMessage(LVM_GETCOLUMNORDERARRAY, static_cast<WPARAM>(m_columnCount), reinterpret_cast<LPARAM>(order.data()));
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const ColumnRecord* r = GetColumnRecord(*it);
    if (*it > 0 && r && r->visible) return *it == column;
  }
  return false;
}

// ---- Custom draw ---------------------------------------------------------------------------

void CSubEditList::OnCustomDraw(NMHDR* hdr, LRESULT* result) {
  auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(hdr);
  const int row = static_cast<int>(cd->nmcd.dwItemSpec), column = cd->iSubItem;
  switch (cd->nmcd.dwDrawStage) {
    case CDDS_PREPAINT: *result = CDRF_NOTIFYITEMDRAW; return;
    case CDDS_ITEMPREPAINT: *result = CDRF_NOTIFYSUBITEMDRAW; return;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      if (!IsColumnVisible(column)) {
        *result = CDRF_SKIPDEFAULT;
        return;
      }
      DWORD text = 0, back = 0;
      CellColours(row, column, text, back);
      cd->clrText = ToColorRef(text);
      cd->clrTextBk = ToColorRef(back);
      if ((cd->nmcd.uItemState & CDIS_SELECTED) && m_highlightMode != 0) cd->nmcd.uItemState &= ~CDIS_SELECTED;
      *result = CDRF_NOTIFYPOSTPAINT;
      return;
    }
    case CDDS_ITEMPOSTPAINT | CDDS_SUBITEM: {
      *result = CDRF_DODEFAULT;
      if (column < 1 || !cd->nmcd.hdc || !RowExists(row)) return;
      CRect cell;
      if (!GetSubItemRect(row, column, LVIR_BOUNDS, cell)) return;
      CRect client;
      GetClientRect(&client);
      CRect clip = cell;
      if (IsLastVisibleColumn(column)) clip.right = std::max(clip.right, client.right);
      clip.IntersectRect(&clip, &client);
      CDC* dc = CDC::FromHandle(cd->nmcd.hdc);
      const int saved = dc->SaveDC();
      dc->IntersectClipRect(&clip);
      DWORD text = 0, back = 0;
      CellColours(row, column, text, back);
      dc->SetTextColor(ToColorRef(text));
      dc->SetBkColor(ToColorRef(back));
      if (DrawCell(dc, row, column, cell)) *result = CDRF_SKIPDEFAULT;
      dc->RestoreDC(saved);
      return;
    }
    default: *result = CDRF_DODEFAULT; return;
  }
}

// ---- Cells ---------------------------------------------------------------------------------

void CSubEditList::DrawCellBackground(CDC* dc, int row, int column, const CRect& cell) {
  DWORD text = 0, back = 0;
  CellColours(row, column, text, back);
  CRect r = cell;
  if (IsLastVisibleColumn(column)) {
    CRect client;
    GetClientRect(&client);
    r.right = std::max(r.right, client.right);
  }
  if (!dc) {
    InvalidateRect(&r, FALSE);
    return;
  }
  dc->FillSolidRect(&r, ToColorRef(back));
}

bool CSubEditList::DrawCell(CDC* dc, int row, int column, const CRect& cell) {
  switch (GetColumnKind(column)) {
    case kKindText: {
      DrawCellBackground(dc, row, column, cell);
      if (m_editing && row == m_currentRow && column == m_editingColumn) return true;
      CString text;
      AccessCellText(row, column, false, text);
      CRect r = cell;
      r.DeflateRect(5, 0);
      const int mode = dc->SetBkMode(TRANSPARENT);
      CGdiObject* old = dc->SelectObject(GetFont());
      dc->DrawText(text, &r, GetColumnRecord(column)->textFormat);
      if (old) dc->SelectObject(old);
      dc->SetBkMode(mode);
      return true;
    }
    case kKindColor: DrawColorCell(dc, row, column, cell); return true;
    case kKindCheck: DrawCheckCell(dc, row, column, cell); return true;
    case kKindMenu: DrawMenuCell(dc, row, column, cell); return true;
    default: return false;
  }
}

void CSubEditList::GetCellControlRect(int column, const CRect& cell, UINT state, CRect& out) {
  const UINT kind = GetColumnKind(column);
  CSize size;
  switch (kind) {
    case kKindColor: {
      const int border = std::min(GetSystemMetrics(SM_CYBORDER), cell.Height() / 2);
      const int height = cell.Height() - 2 * border;
      size = CSize(static_cast<int>(1.618034 * height), height);
      break;
    }
    case kKindCheck: {
      size = CSize(GetSystemMetrics(SM_CXSMSIZE) + 1, GetSystemMetrics(SM_CYSMSIZE) + 1);
      SIZE themed{0, 0};
      if (HTHEME theme = Theme();
          theme && GetThemePartSize(theme, nullptr, BP_CHECKBOX, state ? static_cast<int>(state) : CBS_UNCHECKEDNORMAL, nullptr, TS_TRUE,
                                    &themed) == S_OK)
        size = CSize(std::max<LONG>(1, themed.cx), std::max<LONG>(1, themed.cy));
      break;
    }
    case kKindMenu: {
      const int bx = std::min(GetSystemMetrics(SM_CXBORDER), cell.Width() / 2);
      const int by = std::min(GetSystemMetrics(SM_CYBORDER), cell.Height() / 2);
      size = CSize(cell.Width() - 2 * bx, cell.Height() - 2 * by);
      SIZE themed{0, 0};
      const RECT inner{cell.left + bx, cell.top + by, cell.right - bx, cell.bottom - by};
      if (HTHEME theme = Theme(); theme && GetThemePartSize(theme, nullptr, BP_PUSHBUTTON, PBS_NORMAL, &inner, TS_DRAW, &themed) == S_OK &&
                                  themed.cx > 0 && themed.cy > 0)
        size = CSize(std::min<LONG>(themed.cx, size.cx), std::min<LONG>(themed.cy, size.cy));
      break;
    }
    default: out = cell; return;
  }
  const UINT align = GetColumnRecord(column) ? GetColumnRecord(column)->format & LVCFMT_JUSTIFYMASK : 0;
  const int top = cell.top + static_cast<int>(std::floor((cell.Height() - size.cy) / 2.0));
  int left;
  if (align == LVCFMT_RIGHT) left = cell.left + static_cast<int>(std::floor(0.95 * cell.Width() - size.cx));
  else if (align == LVCFMT_CENTER) left = cell.left + static_cast<int>(std::floor((cell.Width() - size.cx) / 2.0));
  else left = cell.left + static_cast<int>(std::floor(0.05 * cell.Width()));
  out = CRect(CPoint(left, top), size);
}

void CSubEditList::DrawColorCell(CDC* dc, int row, int column, const CRect& cell) {
  DrawCellBackground(dc, row, column, cell);
  CRect control;
  GetCellControlRect(column, cell, 0, control);
  DWORD colour = 0xFF000000u;
  bool disabled = false;
  AccessCellColor(row, column, false, colour, disabled);
  const UINT state = disabled ? ODS_DISABLED : CellPressed(row, column, control) ? ODS_SELECTED : 0;
  CColorButton::DrawSwatch(dc->m_hDC, control, state, colour, Theme());
}

void CSubEditList::DrawCheckCell(CDC* dc, int row, int column, const CRect& cell) {
  DrawCellBackground(dc, row, column, cell);
  DWORD colour = 0;
  bool disabled = false;
  AccessCellColor(row, column, false, colour, disabled);
  UINT check = 0;
  AccessCellCheck(row, column, false, check);
  CRect control;
  GetCellControlRect(column, cell, 0, control);
  const CRect box = control;
  const bool pressed = CellPressed(row, column, control);
  if (HTHEME theme = Theme()) {
    // Pressed before disabled, as the states are numbered.
    const int base = (check & 1u) ? CBS_CHECKEDNORMAL : (check & 2u) ? CBS_MIXEDNORMAL : CBS_UNCHECKEDNORMAL;
    const int state = base + (pressed ? 2 : disabled ? 3 : 0);
    SIZE size{control.Width(), control.Height()};
    GetThemePartSize(theme, dc->m_hDC, BP_CHECKBOX, state, nullptr, TS_TRUE, &size);
    CRect part(CPoint(control.left + (control.Width() - size.cx) / 2, control.top + (control.Height() - size.cy) / 2),
               CSize(size.cx, size.cy));
    DrawThemeBackground(theme, dc->m_hDC, BP_CHECKBOX, state, &part, nullptr);
  } else {
    UINT flags = DFCS_BUTTONCHECK | DFCS_ADJUSTRECT;
    if (pressed) flags |= DFCS_PUSHED;
    if (check & 1u) flags |= DFCS_CHECKED;
    if (check & 2u) flags |= DFCS_INACTIVE;
    ::DrawFrameControl(dc->m_hDC, &control, DFC_BUTTON, flags);
  }
  if ((colour >> 24) == 0) return;
  Gdiplus::Graphics g(dc->m_hDC);
  const BYTE r = (colour >> 16) & 0xFF, gr = (colour >> 8) & 0xFF, b = colour & 0xFF;
  Gdiplus::SolidBrush fill(Gdiplus::Color(static_cast<BYTE>(0.1 * 255), r, gr, b));
  g.FillRectangle(&fill, box.left, box.top, box.Width(), box.Height());
  Gdiplus::Pen frame(Gdiplus::Color(static_cast<BYTE>(0.4 * 255), r, gr, b), 1.0f);
  frame.SetAlignment(Gdiplus::PenAlignmentInset);
  g.DrawRectangle(&frame, box.left, box.top, box.Width(), box.Height());
}

void CSubEditList::DrawMenuCell(CDC* dc, int row, int column, const CRect& cell) {
  CRect r = cell;
  r.OffsetRect(-2, 0);
  r.left += 1, r.top += 1, r.right -= 2, r.bottom -= 2;
  DrawCellBackground(dc, row, column, r);
  CString text;
  AccessCellText(row, column, false, text);
  const bool disabled = !IsCellEditable(row, column);
  CRect control;
  GetCellControlRect(column, r, 0, control);
  const bool pressed = CellPressed(row, column, control) || m_menuRow == row;
  CRect frame = control;
  if (HTHEME theme = Theme()) {
    const int state = disabled ? PBS_DISABLED : pressed ? PBS_PRESSED : PBS_NORMAL;
    if (IsThemeBackgroundPartiallyTransparent(theme, BP_PUSHBUTTON, state)) DrawThemeParentBackground(m_hWnd, dc->m_hDC, &frame);
    DrawThemeBackground(theme, dc->m_hDC, BP_PUSHBUTTON, state, &frame, nullptr);
  } else {
    ::DrawFrameControl(dc->m_hDC, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (disabled ? DFCS_INACTIVE : 0) | (pressed ? DFCS_PUSHED : 0));
  }
  CGdiObject* old = dc->SelectObject(GetFont());
  const CSize extent = dc->GetTextExtent(text);
  const int x = control.left + (control.Width() - extent.cx) / 2, y = control.top + (control.Height() - extent.cy) / 2;
  dc->SetTextColor(GetSysColor(COLOR_BTNTEXT));
  const int mode = dc->SetBkMode(TRANSPARENT);
  ::DrawStateW(dc->m_hDC, nullptr, nullptr, reinterpret_cast<LPARAM>(text.GetString()), static_cast<WPARAM>(text.GetLength()), x,
               y, extent.cx, extent.cy, DST_TEXT | (disabled ? DSS_DISABLED : DSS_NORMAL));
  dc->SetBkMode(mode);
  if (old) dc->SelectObject(old);
  if (!m_pCellImage) return;
  // The indicator at the button's right end, inside a margin of three borders (at most half).
  CRect area = control;
  const int margin = 3 * GetSystemMetrics(SM_CXBORDER);
  area.DeflateRect(std::min(margin, area.Width() / 2), std::min(margin, area.Height() / 2));
  const int frameWidth = static_cast<int>(m_pCellImage->GetWidth()) / std::max(1, m_cellImageFrames);
  const int frameHeight = static_cast<int>(m_pCellImage->GetHeight());
  const int left = area.right - frameWidth;
  const int top = area.top + static_cast<int>(std::floor((area.Height() - frameHeight) / 2.0));
  Gdiplus::Graphics g(dc->m_hDC);
  g.DrawImage(m_pCellImage, Gdiplus::RectF(static_cast<float>(left), static_cast<float>(top), static_cast<float>(frameWidth),
                                           static_cast<float>(frameHeight)),
              static_cast<float>(disabled ? frameWidth : 0), 0.0f, static_cast<float>(frameWidth), static_cast<float>(frameHeight),
              Gdiplus::UnitPixel);
}
