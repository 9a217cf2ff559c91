#include "SplitterControl.h"

#include <algorithm>

namespace LXSplitterTracker {
Band* Create(COLORREF colour);
void Show(Band* band, const RECT& screen);
void Hide(Band* band);
bool IsShown(const Band* band);
bool IsOnScreen(const Band* band);
RECT Rect(const Band* band);
void Destroy(Band* band);
}  // namespace LXSplitterTracker

BEGIN_MESSAGE_MAP(CSplitterControl, CStatic)
  ON_WM_LBUTTONDOWN()
  ON_WM_MOUSEMOVE()
  ON_WM_LBUTTONUP()
  ON_WM_CAPTURECHANGED()
  ON_WM_SETCURSOR()
END_MESSAGE_MAP()

namespace {
// A window's rectangle in its parent's client coordinates.
CRect RectInParent(CWnd* window) {
  CRect r;
  window->GetWindowRect(&r);
  if (CWnd* parent = window->GetParent()) parent->ScreenToClient(&r);
  return r;
}
}  // namespace

CSplitterControl::CSplitterControl() = default;

CSplitterControl::~CSplitterControl() { LXSplitterTracker::Destroy(m_pBand); }

BOOL CSplitterControl::AddWindow(int list, CWnd* window) {
  if (list != 0 && list != 1) return FALSE;
  if (!window || !window->m_hWnd || !m_hWnd) return FALSE;
  if (::GetParent(window->m_hWnd) != ::GetParent(m_hWnd)) return FALSE;
  m_windows[list].push_back(window);
  return TRUE;
}

CPoint CSplitterControl::BarCentre() const {
  CRect r;
  GetWindowRect(&r);
  return CPoint(r.left + r.Width() / 2, r.top + r.Height() / 2);
}

RECT CSplitterControl::GetTrackerRect() const {
  if (!LXSplitterTracker::IsOnScreen(m_pBand)) return RECT{0, 0, 0, 0};
  return LXSplitterTracker::Rect(m_pBand);
}

void CSplitterControl::RequestLimits(int* max, int* min) {
  CWnd* parent = GetParent();
  if (!parent) return;
  CRect client;
  parent->GetClientRect(&client);
  SPC_NMLIMITS nm{};
  nm.nMax = Vertical() ? client.right : client.bottom;
  nm.nMin = Vertical() ? client.left : client.top;
  nm.hdr.hwndFrom = m_hWnd;
  nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
  nm.hdr.code = SPN_LIMITS;
  parent->SendMessage(WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
  *max = nm.nMax;
  *min = nm.nMin;
}

void CSplitterControl::LimitToWindows() {
  CWnd* parent = GetParent();
  if (!parent) return;
  CRect bar = RectInParent(this);
  const int size = Vertical() ? bar.Width() : bar.Height();
  const int half = size / 2;
  // The bar's centre c puts its near edge at c - half and its far edge at c - half + size.
  for (CWnd* w : m_windows[1]) {
    if (!w->m_hWnd) continue;
    CRect r = RectInParent(w);
    m_nMin = std::max(m_nMin, (Vertical() ? r.left : r.top) + half);
  }
  for (CWnd* w : m_windows[0]) {
    if (!w->m_hWnd) continue;
    CRect r = RectInParent(w);
    m_nMax = std::min(m_nMax, (Vertical() ? r.right : r.bottom) - size + half);
  }
  if (m_nMin > m_nMax) {
    const int at = Vertical() ? bar.left + half : bar.top + half;
    m_nMin = m_nMax = at;
  }
}

void CSplitterControl::OnLButtonDown(UINT, CPoint) {
  Default();
  // The bar's widget passes the press on to the parent, which hands it back to the capture taken
  // below: one press is one drag, whose tracker the second would otherwise erase.
  if (m_bDragging) return;
  m_nMax = INT_MAX;
  m_nMin = INT_MIN;
  RequestLimits(&m_nMax, &m_nMin);
  LimitToWindows();
  m_bDragging = true;
  SetCapture();
  m_ptStart = m_ptCurrent = BarCentre();
  DrawTracker(nullptr);
}

void CSplitterControl::OnMouseMove(UINT, CPoint point) {
  if (!m_bDragging) {
    Default();
    return;
  }
  CWnd* parent = GetParent();
  if (!parent) return;
  DrawTracker(nullptr);
  ClientToScreen(&point);
  parent->ScreenToClient(&point);
  if (Vertical()) point.x = std::clamp(static_cast<int>(point.x), m_nMin, m_nMax);
  else point.y = std::clamp(static_cast<int>(point.y), m_nMin, m_nMax);
  parent->ClientToScreen(&point);
  // Only the bar's axis moves: the tracker stays along the bar.
  const CPoint centre = BarCentre();
  m_ptCurrent = Vertical() ? CPoint(point.x, centre.y) : CPoint(centre.x, point.y);
  DrawTracker(nullptr);
}

void CSplitterControl::OnLButtonUp(UINT, CPoint) {
  if (m_bDragging) EndDrag(true);
  Default();
  if (::GetCapture() == m_hWnd) ::ReleaseCapture();
}

void CSplitterControl::OnCaptureChanged(CWnd*) {
  // The capture went elsewhere (a menu, another window): the drag ends where it started.
  if (m_bDragging) EndDrag(false);
  Default();
}

void CSplitterControl::EndDrag(bool move) {
  if (LXSplitterTracker::IsShown(m_pBand)) DrawTracker(nullptr);
  m_bDragging = false;
  CWnd* parent = GetParent();
  if (!move || !parent) return;
  CRect bar = RectInParent(this);
  CPoint at = m_ptCurrent;
  parent->ScreenToClient(&at);
  if (Vertical()) bar.OffsetRect(at.x - bar.Width() / 2 - bar.left, 0);
  else bar.OffsetRect(0, at.y - bar.Height() / 2 - bar.top);
  MoveWindow(&bar);
  MoveWindows();
  if (m_nStyle & kStyleNotify) {
    SPC_NMMOVED nm{};
    nm.hdr.hwndFrom = m_hWnd;
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
    nm.hdr.code = SPN_MOVED;
    nm.delta = Vertical() ? m_ptCurrent.x - m_ptStart.x : m_ptCurrent.y - m_ptStart.y;
    parent->SendMessage(WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
  }
}

void CSplitterControl::MoveWindows() {
  const CRect bar = RectInParent(this);
  for (int list = 0; list < 2; ++list)
    for (CWnd* w : m_windows[list]) {
      if (!w->m_hWnd) continue;
      CRect r = RectInParent(w);
      if (list == 0) (Vertical() ? r.left : r.top) = Vertical() ? bar.right : bar.bottom;
      else (Vertical() ? r.right : r.bottom) = Vertical() ? bar.left : bar.top;
      w->MoveWindow(&r);
      w->Invalidate();
      w->UpdateWindow();
    }
}

void CSplitterControl::DrawTracker(CDC*) {
  if (!m_pBand) m_pBand = LXSplitterTracker::Create(m_crTracker);
  if (LXSplitterTracker::IsShown(m_pBand)) {
    LXSplitterTracker::Hide(m_pBand);
    return;
  }
  CRect bar;
  GetWindowRect(&bar);
  RECT r = Vertical() ? RECT{m_ptCurrent.x - m_nTrackerOffset, bar.top, m_ptCurrent.x + m_nTrackerOffset + 1, bar.bottom}
                      : RECT{bar.left, m_ptCurrent.y - m_nTrackerOffset, bar.right, m_ptCurrent.y + m_nTrackerOffset + 1};
  LXSplitterTracker::Show(m_pBand, r);
}

BOOL CSplitterControl::OnSetCursor(CWnd*, UINT hitTest, UINT) {
  if (hitTest == HTCLIENT && m_hCursor) {
    ::SetCursor(m_hCursor);
    return TRUE;
  }
  return static_cast<BOOL>(Default());
}
