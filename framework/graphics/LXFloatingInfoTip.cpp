// The floating info tip: sizes, states, timer and the balloon drawing.
#include "LXFloatingInfoTip.h"

#include <cmath>
#include <cstdint>

#include "LXImages.h"
#include "Paint.h"

using namespace Gdiplus;

BEGIN_MESSAGE_MAP(CFloatingInfoTip, CDialog)
  ON_WM_PAINT()
  ON_WM_ERASEBKGND()
  ON_WM_SETFOCUS()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONUP()
  ON_WM_TIMER()
END_MESSAGE_MAP()

CFloatingInfoTip::CFloatingInfoTip() : CDialog(kTemplateId, nullptr) {}
CFloatingInfoTip::~CFloatingInfoTip() {
  if (m_hWnd) DestroyWindow();
}

BOOL CFloatingInfoTip::Create(CWnd* parent) {
  if (!CDialog::Create(kTemplateId, parent)) return FALSE;
  ShowWindow(SW_HIDE);  // shown by its owner
  return TRUE;
}

BOOL CFloatingInfoTip::OnInitDialog() {
  CDialog::OnInitDialog();
  lxtip::PrepareTipWindow(this);
  SetWindowPos(nullptr, 0, 0, int(m_expandedWidth) + 1, int(m_expandedHeight), SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW);
  ShowWindow(SW_HIDE);
  return TRUE;
}

void CFloatingInfoTip::StartTimer(UINT interval) {
  m_interval = interval;
  m_timer = SetTimer(kTimerId, interval);
}

void CFloatingInfoTip::Hide() {
  ShowWindow(SW_HIDE);
  KillTimer(kTimerId);
  m_timer = 0;
}

void CFloatingInfoTip::HandPressTo(CWnd* target, UINT flags, POINT point) {
  Hide();
  if (!target || !target->GetSafeHwnd()) return;
  target->SendMessage(WM_LBUTTONDOWN, flags, MAKELPARAM(short(point.x), short(point.y)));
  // The window system gave the press's grab to the tip; hidden, it no longer takes the moves.
  lxtip::GrabUntilRelease(target->m_hWnd);
}

void CFloatingInfoTip::RestartTimer(ULONGLONG anchor) {
  m_anchor = anchor;
  m_expanded = !m_expanded;
  StartTimer(m_expanded ? kExpandedMs : kCollapsedMs);
  Invalidate();
}

void CFloatingInfoTip::SetTipSize(float width, float expandedHeight, float collapsedHeight) {
  m_expandedWidth = m_collapsedWidth = width;
  m_expandedHeight = expandedHeight;
  if (collapsedHeight > 0) m_collapsedHeight = collapsedHeight;
  if (m_hWnd)
    SetWindowPos(nullptr, 0, 0, int(width) + 1, int(expandedHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
}

void CFloatingInfoTip::DrawContent(Graphics*, const RectF&) {}

RectF CFloatingInfoTip::BalloonRect() const {
  RECT client{0, 0, 0, 0};
  if (m_hWnd) ::GetClientRect(m_hWnd, &client);
  const float width = m_expanded ? m_expandedWidth : m_collapsedWidth;
  const float height = GetCurrentHeight();
  // Centred, on a whole pixel: the window is one pixel wider than the balloon, and a rim at half
  // a pixel would be drawn blurred over two.
  const float left = std::floor((float(client.right - client.left) - width) / 2);
  return RectF(left, float(client.bottom - client.top) - height, width, height + 15);
}

void CFloatingInfoTip::DrawBalloon(Graphics& g, const RectF& rect) const {
  const ARGB colours[3] = {m_colour3, 0xFFFFFFFFu, m_colour2};
  float x = rect.X, y = rect.Y, w = rect.Width, body = rect.Height - 30;
  for (ARGB colour : colours) {
    SolidBrush brush{Color(colour)};
    g.FillEllipse(&brush, x, y, 8.0f, 8.0f);
    g.FillEllipse(&brush, x + w - 8, y, 8.0f, 8.0f);
    g.FillEllipse(&brush, x, y + body - 8, 8.0f, 8.0f);
    g.FillEllipse(&brush, x + w - 8, y + body - 8, 8.0f, 8.0f);
    g.FillRectangle(&brush, x + 4, y, w - 8, body);
    g.FillRectangle(&brush, x, y + 4, w, body - 8);
    const PointF pointer[3] = {{x + w / 2 - 15, y + body}, {x + w / 2 + 15, y + body}, {x + w / 2, y + body + 15}};
    g.FillPolygon(&brush, pointer, 3);
    x += 1, y += 1, w -= 2, body -= 2;
  }
  if (!m_showArrow) return;
  SolidBrush grey{Color(kArrowColour)};
  const float ax = rect.X, ay = rect.Y;
  if (m_expanded) {
    const PointF down[3] = {{ax + 10, ay + 8}, {ax + 19, ay + 8}, {ax + 15, ay + 16}};
    g.FillPolygon(&grey, down, 3);
  } else {
    const PointF right[3] = {{ax + 10, ay + 8}, {ax + 10, ay + 17}, {ax + 18, ay + 13}};
    g.FillPolygon(&grey, right, 3);
  }
}

void CFloatingInfoTip::Render(Bitmap& target) {
  Graphics g(&target);
  g.Clear(Color(0xFFFFFFFFu));
  g.SetSmoothingMode(SmoothingModeAntiAlias);
  m_currentHeight = GetCurrentHeight();
  m_width = m_expanded ? m_expandedWidth : m_collapsedWidth;
  m_halfWidth = m_width / 2;
  const RectF balloon = BalloonRect();
  DrawBalloon(g, balloon);
  DrawContent(&g, balloon);
}

void CFloatingInfoTip::OnPaint() {
  CPaintDC dc(this);
  RECT client;
  GetClientRect(&client);
  if (client.right <= 0 || client.bottom <= 0) return;
  std::unique_ptr<Bitmap> buffer(CreateBitmap(UINT(client.right), UINT(client.bottom)));
  Render(*buffer);
  Graphics g(dc.m_hDC);
  g.DrawImage(buffer.get(), 0.0f, 0.0f);
  // White is see-through. This paint was clipped to the shape before it; a new shape (the tip
  // expanded) is painted whole by the next one.
  if (lxtip::ApplyTipMask(m_hWnd, *buffer)) Invalidate(FALSE);
}

BOOL CFloatingInfoTip::OnEraseBkgnd(CDC* dc) {
  RECT client;
  GetClientRect(&client);
  if (dc) dc->FillSolidRect(&client, RGB(255, 255, 255));
  return TRUE;
}

void CFloatingInfoTip::OnSetFocus(CWnd* previous) {
  if (previous && previous->m_hWnd && ::IsWindow(previous->m_hWnd)) previous->SetFocus();
}

void CFloatingInfoTip::OnLButtonDown(UINT, CPoint point) {
  m_pressed = BalloonRect().Contains(PointF(float(point.x), float(point.y)));
}

void CFloatingInfoTip::OnLButtonUp(UINT, CPoint point) {
  // The end of a drag begun elsewhere, or a press that left the balloon, is no click on it.
  const bool click = m_pressed && BalloonRect().Contains(PointF(float(point.x), float(point.y)));
  m_pressed = false;
  if (!click) return;
  // The pointer's place on the screen, as the timer compares it: a pointer resting where it
  // clicked keeps the tip up, also when collapsing has left it off the smaller balloon.
  POINT cursor{0, 0};
  ::GetCursorPos(&cursor);
  RestartTimer((ULONGLONG(std::uint32_t(cursor.y)) << 32) | std::uint32_t(cursor.x));
}

void CFloatingInfoTip::OnTimer(UINT_PTR id) {
  if (id != kTimerId) return;
  POINT cursor{0, 0};
  ::GetCursorPos(&cursor);
  const bool atAnchor = cursor.x == LONG(m_anchor & 0xFFFFFFFFull) && cursor.y == LONG(m_anchor >> 32);
  // Whether the pointer is over the balloon comes from the window's enter and leave events: some
  // window systems give no global cursor position to compare with.
  if (!atAnchor && !m_mouseInside) {
    Hide();
    return;
  }
  StartTimer(kCollapsedMs);
}
