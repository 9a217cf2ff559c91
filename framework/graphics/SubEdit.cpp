#include "SubEdit.h"

#include <algorithm>
#include <cmath>

#include "LXGdiplus.h"
#include "LXMessage.h"
#include "SubEditList.h"

BEGIN_MESSAGE_MAP(CSubEdit, CEdit)
  ON_WM_CREATE()
  ON_WM_KILLFOCUS()
END_MESSAGE_MAP()

BOOL CSubEdit::Create(DWORD style, CWnd* parentList, UINT id) {
  return CWnd::CreateEx(0, WC_EDIT, L"", style | WS_CHILD, CRect(0, 0, 10, 10), parentList, id);
}

BOOL CSubEdit::PreCreateWindow(CREATESTRUCTW& cs) {
  cs.style = static_cast<LONG>((static_cast<DWORD>(cs.style) & 0xEFFFE7BBu) | 0x44800080u);
  return CEdit::PreCreateWindow(cs);
}

int CSubEdit::OnCreate(LPCREATESTRUCT) {
  if (Default() == -1) return -1;
  if (CWnd* list = GetParent()) SendMessage(WM_SETFONT, list->SendMessage(WM_GETFONT), TRUE);
  return 0;
}

int CSubEdit::MeasureLineHeight(const CRect& cell) {
  // On the list's DC (the editor's own when the list is gone).
  CWnd* measureOn = GetParent();
  if (!measureOn || !::IsWindow(measureOn->m_hWnd)) measureOn = this;
  int line = cell.Height();
  if (CDC* dc = measureOn->GetDC()) {
    CFont* font = GetFont();
    CGdiObject* old = font ? dc->SelectObject(font) : nullptr;
    line = static_cast<int>(std::ceil(PointsToPixels(dc->m_hDC, 0.0f, GetDCFontSize(dc)).m_float.Y));
    if (old) dc->SelectObject(old);
    measureOn->ReleaseDC(dc);
  }
  return line;
}

void CSubEdit::Place(const CRect& cell) {
  m_cell = cell;
  const int line = MeasureLineHeight(cell);
  int width = cell.Width(), height = std::min(line, cell.Height());
  int growX = 2 * GetSystemMetrics(SM_CXBORDER), growY = 2 * GetSystemMetrics(SM_CYBORDER);
  // A growth larger than the rectangle itself is halved.
  if (growX > width) growX /= 2;
  if (growY > height) growY /= 2;
  width += 2 * growX;
  height += 2 * growY;
  const float left = cell.left + (cell.Width() - width) * 0.5f, top = cell.top + (cell.Height() - height) * 0.5f;
  m_placedF[0] = left, m_placedF[1] = top, m_placedF[2] = static_cast<float>(width), m_placedF[3] = static_cast<float>(height);
  m_placed = CRect(CPoint(static_cast<int>(std::floor(left)), static_cast<int>(std::floor(top))), CSize(width, height));
  MoveToPlace();
}

void CSubEdit::MoveToPlace() {
  if (!m_hWnd) return;
  CRect r = m_placed;
  if (m_hidden) r.OffsetRect(-20000, -20000);
  ::SetWindowPos(m_hWnd, HWND_TOP, r.left, r.top, r.Width(), r.Height(), SWP_SHOWWINDOW);
}

void CSubEdit::SetHidden(bool hidden) {
  if (hidden == m_hidden) return;
  m_hidden = hidden;
  if (IsWindowVisible()) MoveToPlace();
}

BOOL CSubEdit::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && (msg->wParam == VK_TAB || msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
    OnKey(static_cast<UINT>(msg->wParam));
    return TRUE;
  }
  return CEdit::PreTranslateMessage(msg);
}

void CSubEdit::Announce(UINT message, LPARAM lParam) {
  HWND target = ::GetParent(m_hWnd);
  if (!target) target = LXAppWindows::GetMainFrameWindow();
  CLXMsgTarget(target, message, lParam, 0).Send(CLXMessage::kModeSync);
}

void CSubEdit::OnKey(UINT key) {
  auto* list = dynamic_cast<CSubEditList*>(GetParent());
  if (list && list->GetCurrentRow() >= 0 && list->EnsureVisible(list->GetCurrentRow(), FALSE)) list->RepositionEditor(true);
  if (key == VK_TAB) Announce(g_msgEditShift, (::GetAsyncKeyState(VK_SHIFT) & 0x8000) ? 0 : 1);
  else if (key == VK_RETURN) Announce(g_msgEditEnd, 0);
  else if (key == VK_ESCAPE) Announce(g_msgEditCancel, 0);
  // The list takes the focus: after Tab the editor is still active and its loss of focus ends
  // the edit, which the pending shift carries on to the next cell.
  if (CWnd* parent = GetParent()) parent->SetFocus();
}

void CSubEdit::OnKillFocus(CWnd* gaining) {
  Default();
  if (!m_active || (gaining && gaining->m_hWnd == m_hWnd)) return;
  m_active = false;
  ShowWindow(SW_HIDE);
  Announce(g_msgEditEnd, 0);
}

BOOL CSubEditHeader::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message != WM_NOTIFY || !m_pList) return CWnd::OnChildNotify(message, wParam, lParam, result);
  auto* nm = reinterpret_cast<NMHEADERW*>(lParam);
  switch (nm->hdr.code) {
    case HDN_BEGINDRAG:
    case HDN_ENDDRAG:
    case HDN_ITEMCLICKW:
      // Focus on the header ends an edit in progress through the editor's loss of focus.
      SetFocus();
      // A click may sort: the selected records stay selected wherever the sort puts them.
      if (nm->hdr.code != HDN_ITEMCLICKW) m_pList->SelectRange(0, m_pList->GetItemCount() - 1, 0, false);
      return FALSE;
    case HDN_DIVIDERDBLCLICKW:
      if (nm->iItem == 0 || !m_pList->IsColumnVisible(nm->iItem)) {
        if (result) *result = 0;
        return TRUE;
      }
      return FALSE;
    case HDN_BEGINTRACKW:
      if (result) *result = (nm->iItem == 0 || !m_pList->IsColumnVisible(nm->iItem)) ? 1 : 0;
      return TRUE;
    case HDN_TRACKW:
    case HDN_ENDTRACKW:
      if (result) *result = 0;
      return TRUE;
    default: return CWnd::OnChildNotify(message, wParam, lParam, result);
  }
}
