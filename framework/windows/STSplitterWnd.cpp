// Layout, dragging, hiding and drawing of the static splitter.
#include "STSplitterWnd.h"

#include <algorithm>
#include <cmath>

#include "AfxGdi.h"
#include "GdiPlus.h"
#include "LXColor.h"
#include "LXGdiplus.h"
#include "LXMessage.h"
#include "LXPen.h"
#include "Paint.h"

IMPLEMENT_DYNAMIC(ST_SplitterWnd, CWnd)

BEGIN_MESSAGE_MAP(ST_SplitterWnd, CWnd)
  ON_WM_SIZE()
  ON_MESSAGE(WM_ENTERSIZEMOVE, &ST_SplitterWnd::OnEnterSizeMove)
  ON_WM_ERASEBKGND()
  ON_WM_PAINT()
  ON_WM_LBUTTONDBLCLK()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONUP()
  ON_WM_MOUSEMOVE()
  ON_WM_SETCURSOR()
END_MESSAGE_MAP()

namespace {
constexpr float kSizeEpsilon = 1.1920929e-7f;
constexpr int kPaneIdsPerRow = 16;
constexpr LPARAM kExitSizeMoveFromSplitter = 6;

int RoundHalfAway(double v) { return static_cast<int>(std::lround(v)); }
}  // namespace

ST_SplitterWnd::ST_SplitterWnd(int level) : m_nLevel(level) {
  m_pSplitInfo = m_colInfo;
  m_pOtherInfo = m_rowInfo;
}

ST_SplitterWnd::~ST_SplitterWnd() {
  for (auto*& nested : m_pNested) {
    if (nested && nested->m_hWnd) nested->DestroyWindow();
    delete nested;
    nested = nullptr;
  }
}

void ST_SplitterWnd::PostNcDestroy() {}

BOOL ST_SplitterWnd::Create(CWnd* parent, CRuntimeClass* view0, CRuntimeClass* view1, CCreateContext* context,
                            bool vertical, UINT id) {
  m_bVertical = vertical;
  m_nRows = vertical ? 1 : 2;
  m_nCols = vertical ? 2 : 1;
  m_pSplitInfo = vertical ? m_colInfo : m_rowInfo;
  m_pOtherInfo = vertical ? m_rowInfo : m_colInfo;
  if (!CWnd::CreateEx(0, nullptr, L"", WS_CHILD | WS_VISIBLE | WS_BORDER, RECT{0, 0, 0, 0}, parent, id)) return FALSE;
  CRuntimeClass* classes[2] = {view0, view1};
  for (int i = 0; i < 2; ++i) {
    if (!classes[i]) {
      m_pSplitInfo[i].nIdealSize = 100;
      m_pSplitInfo[i].nMinSize = 0;
      continue;
    }
    CObject* made = classes[i]->CreateObject();
    auto* view = dynamic_cast<CWnd*>(made);
    if (!view) {
      delete made;
      return FALSE;
    }
    const UINT paneId = AFX_IDW_PANE_FIRST + (vertical ? i : i * kPaneIdsPerRow);
    if (!view->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, RECT{0, 0, 100, 100}, this, paneId, context))
      return FALSE;
    m_pSplitInfo[i].nIdealSize = 100;
  }
  m_bCreated = true;
  return TRUE;
}

ST_SplitterWnd* ST_SplitterWnd::AddSubDivision(int pane, CRuntimeClass* view0, CRuntimeClass* view1,
                                               CCreateContext* context, bool vertical) {
  if (pane < 0 || pane > 1 || m_pNested[pane]) return nullptr;
  auto* nested = new ST_SplitterWnd(m_nLevel + 1);
  const UINT paneId = AFX_IDW_PANE_FIRST + (m_bVertical ? pane : pane * kPaneIdsPerRow);
  if (!nested->Create(this, view0, view1, context, vertical, paneId)) {
    delete nested;
    return nullptr;
  }
  m_pNested[pane] = nested;
  return nested;
}

RECT ST_SplitterWnd::GetInsideRect() const {
  RECT r{};
  ::GetClientRect(m_hWnd, &r);
  ::InflateRect(&r, -m_cxBorder, -m_cyBorder);
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

int ST_SplitterWnd::GetRemainingSize(int size) const {
  const RECT in = GetInsideRect();
  const float width = static_cast<float>(in.right - in.left), height = static_cast<float>(in.bottom - in.top);
  if (!(width > kSizeEpsilon) || !(height > kSizeEpsilon)) return 0;
  if (m_bVertical) return static_cast<int>(width) - 2 * m_cxBorderShare - m_cxSplitterGap - size;
  return static_cast<int>(height) - 2 * m_cyBorderShare - m_cySplitterGap - size;
}

CWnd* ST_SplitterWnd::GetPane(int row, int col) const {
  return CWnd::FromHandlePermanent(::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST + row * kPaneIdsPerRow + col));
}

CWnd* ST_SplitterWnd::GetSplitPane(int index) const { return m_bVertical ? GetPane(0, index) : GetPane(index, 0); }

HWND ST_SplitterWnd::Announcer() const {
  // A nested splitter speaks to the window that holds the whole layout, not to the splitter
  // around it, which has no use for the notice.
  HWND parent = ::GetParent(m_hWnd);
  while (parent && DYNAMIC_DOWNCAST(ST_SplitterWnd, CWnd::FromHandlePermanent(parent))) parent = ::GetParent(parent);
  return parent ? parent : LXAppWindows::GetMainWindow();
}

void ST_SplitterWnd::LayoutSplit(int total, int change) {
  CRowColInfo* info = m_pSplitInfo;
  if (m_bTracking) {
    info[0].nCurSize = info[0].nIdealSize;
    info[1].nIdealSize = info[1].nCurSize = GetRemainingSize(info[0].nCurSize);
    return;
  }
  if (m_nResizeMode == kPane1Takes || m_nResizeMode == kPane0Takes) {
    const int gi = m_nResizeMode == kPane1Takes ? 1 : 0, fi = 1 - gi;
    CRowColInfo &g = info[gi], &f = info[fi];
    int size = g.nIdealSize + change;
    if (size < g.nMinSize) {
      size = g.nMinSize;
      if (m_bNeverHide[gi]) {
        f.nCurSize -= g.nMinSize - (g.nIdealSize + change);
      } else {
        HidePane(gi, false);
        return;
      }
    }
    g.nCurSize = std::clamp(size, 0, std::max(total, 0));
    g.nIdealSize = g.nCurSize;
    f.nCurSize = std::max(GetRemainingSize(g.nCurSize), 0);
    if (f.nCurSize < f.nMinSize) {
      if (m_bNeverHide[fi]) {
        f.nCurSize = f.nMinSize;
        g.nCurSize = std::max(GetRemainingSize(f.nMinSize), 0);
        if (g.nCurSize < g.nMinSize && !m_bNeverHide[gi]) HidePane(gi, false);
      } else {
        HidePane(fi, false);
      }
    }
    return;
  }
  int p0 = info[0].nIdealSize, p1 = info[1].nCurSize;
  if (change != 0) {
    const int c0 = info[0].nCurSize, c1 = info[1].nCurSize;
    const double r = (c0 > 0 && c1 > 0) ? static_cast<double>(c0) / c1 : 1.0;
    const int s = std::min(total, c0 + c1 + change);
    if (info[0].nIdealSize <= info[1].nIdealSize) {
      p1 = RoundHalfAway(s / (r + 1));
      p0 = s - p1;
    } else {
      p0 = RoundHalfAway(s * r / (r + 1));
      p1 = s - p0;
    }
  }
  if (p0 < info[0].nMinSize) {
    p1 -= info[0].nMinSize - p0;
    p0 = info[0].nMinSize;
  } else if (p1 < info[1].nMinSize) {
    p0 -= info[1].nMinSize - p1;
    p1 = info[1].nMinSize;
  }
  // A pane marked never-hide keeps its minimum, or all there is, and the other yields: hidden by
  // a small window, it stayed hidden when the window grew, and no toggle or bar could bring it back.
  if (p0 < info[0].nMinSize && m_bNeverHide[0]) {
    p0 = info[0].nMinSize;
    p1 = GetRemainingSize(p0);
  } else if (p1 < info[1].nMinSize && m_bNeverHide[1]) {
    p1 = info[1].nMinSize;
    p0 = GetRemainingSize(p1);
  }
  if (p0 < info[0].nMinSize && !m_bNeverHide[0]) {
    HidePane(0, false);
    return;
  }
  if (p1 < info[1].nMinSize && !m_bNeverHide[1]) {
    HidePane(1, false);
    return;
  }
  info[0].nCurSize = std::clamp(p0, 0, std::max(total, 0));
  // The bar between the panes takes its gap out of the rest.
  info[1].nCurSize = std::max(GetRemainingSize(info[0].nCurSize), 0);
}

void ST_SplitterWnd::RecalcLayout() {
  if (!m_bCreated || !m_hWnd) return;
  if (CWnd* top = GetTopLevelParent(); top && top->IsIconic()) return;
  RECT client{};
  GetClientRect(&client);
  if (client.right - client.left <= 0 || client.bottom - client.top <= 0) return;

  const RECT in = GetInsideRect();
  const int total = m_bVertical ? in.right - in.left : in.bottom - in.top;
  const int other = m_bVertical ? in.bottom - in.top : in.right - in.left;
  const float last = m_bVertical ? m_insideRect.m_float.Width : m_insideRect.m_float.Height;
  const int change = last >= 1.0f ? total - static_cast<int>(last) : 0;
  m_pOtherInfo[0].nCurSize = other;
  if (m_pOtherInfo[0].nIdealSize < m_pOtherInfo[0].nMinSize) m_pOtherInfo[0].nIdealSize = 0;

  if (m_nHidden < 0) LayoutSplit(total, change);
  if (m_nHidden >= 0) m_pSplitInfo[0].nCurSize = total;
  PlacePanes();
  Invalidate(FALSE);
  // The first visible pane keeps its size as its ideal (a hidden pane's entry sits past it).
  m_pSplitInfo[0].nIdealSize = m_pSplitInfo[0].nCurSize;
  // Nested splitters lay out once they have their new size: at their old one, a column that
  // fits the new size can look too wide and be hidden for good.
  for (auto* nested : m_pNested)
    if (nested) nested->RecalcLayout();

  CLXMsgTarget(Announcer(), g_msgSplitterRecalcLayout, reinterpret_cast<LPARAM>(this)).Send(CLXMessage::kModeSync);
}

RECT ST_SplitterWnd::PaneRect(int index) const {
  const RECT in = GetInsideRect();
  int at = (m_bVertical ? in.left : in.top) + (m_bVertical ? m_cxBorderShare : m_cyBorderShare);
  for (int i = 0; i < index; ++i) at += m_pSplitInfo[i].nCurSize + (m_bVertical ? m_cxSplitterGap : m_cySplitterGap);
  const int size = m_pSplitInfo[index].nCurSize;
  return m_bVertical ? RECT{at, in.top, at + size, in.bottom} : RECT{in.left, at, in.right, at + size};
}

void ST_SplitterWnd::PlacePanes() {
  const int count = GetPaneCount();
  for (int i = 0; i < count; ++i) {
    CWnd* pane = GetSplitPane(i);
    const RECT want = PaneRect(i);
    if (!pane || !pane->m_hWnd) continue;
    RECT now{};
    ::GetWindowRect(pane->m_hWnd, &now);
    ScreenToClient(&now);
    if (!::EqualRect(&now, &want)) pane->MoveWindow(&want, TRUE);
  }
}

void ST_SplitterWnd::UpdateRatio() {
  if (m_nResizeMode != kProportional) return;
  const int c0 = m_pSplitInfo[0].nCurSize, c1 = m_pSplitInfo[1].nCurSize;
  m_dRatio = (c0 > 0 && c1 > 0) ? static_cast<double>(c0) / c1 : 1.0;
}

void ST_SplitterWnd::OnSize(UINT type, int cx, int cy) {
  if (cx > 0 && cy > 0 && (type == SIZE_RESTORED || type == SIZE_MAXIMIZED)) UpdateRatio();
  RecalcLayout();
  const RECT in = GetInsideRect();
  m_insideRect.SetLTRB(static_cast<float>(in.left), static_cast<float>(in.top), static_cast<float>(in.right),
                       static_cast<float>(in.bottom));
}

LRESULT ST_SplitterWnd::OnEnterSizeMove(WPARAM, LPARAM) {
  UpdateRatio();
  return Default();
}

void ST_SplitterWnd::TrackColumnSize(int p, int) { TrackSize(p); }
void ST_SplitterWnd::TrackRowSize(int p, int) { TrackSize(p); }

void ST_SplitterWnd::TrackSize(int p) {
  CRowColInfo* info = m_pSplitInfo;
  if (p < info[0].nMinSize) {
    if (!m_bNeverHide[0]) {
      HidePane(0, true);
      return;
    }
    p = info[0].nMinSize;
  } else if (std::max(GetRemainingSize(p), 0) < info[1].nMinSize) {
    if (!m_bNeverHide[1]) {
      HidePane(1, true);
      return;
    }
    p = GetRemainingSize(info[1].nMinSize);
    if (m_bNeverHide[0]) p = std::max(p, info[0].nMinSize);
    p = std::max(p, 0);
    info[0].nIdealSize = info[0].nCurSize = p;
    info[1].nIdealSize = info[1].nCurSize = info[1].nMinSize;
  }
  info[0].nIdealSize = p;
  RecalcLayout();
}

void ST_SplitterWnd::StartTracking() {
  if (m_bLocked) return;
  m_bTracking = true;
  SetCapture();
}

void ST_SplitterWnd::StopTracking() {
  if (!m_bTracking) return;
  m_bTracking = false;
  ::ReleaseCapture();
  RecalcLayout();
}

bool ST_SplitterWnd::OnBar(CPoint point) const {
  if (m_nHidden >= 0 || GetPaneCount() < 2) return false;
  const RECT in = GetInsideRect();
  const int start = (m_bVertical ? in.left : in.top) + m_pSplitInfo[0].nCurSize;
  const int at = m_bVertical ? point.x : point.y;
  return at >= start && at < start + (m_bVertical ? m_cxSplitterGap : m_cySplitterGap);
}

void ST_SplitterWnd::OnLButtonDown(UINT, CPoint point) {
  if (m_bLocked || !OnBar(point)) return;
  const RECT in = GetInsideRect();
  m_nTrackOffset = (m_bVertical ? point.x - in.left : point.y - in.top) - m_pSplitInfo[0].nCurSize;
  StartTracking();
}

void ST_SplitterWnd::OnMouseMove(UINT, CPoint point) {
  if (m_bLocked || !m_bTracking) return;
  const RECT in = GetInsideRect();
  const int p = (m_bVertical ? point.x - in.left : point.y - in.top) - m_nTrackOffset;
  if (m_bVertical) TrackColumnSize(p, 0);
  else TrackRowSize(p, 0);
}

void ST_SplitterWnd::OnLButtonUp(UINT, CPoint) {
  if (!m_bTracking) return;
  StopTracking();
  CLXMsgChild(m_hWnd, g_msgExitSizeMove, kExitSizeMoveFromSplitter).Send(CLXMessage::kModeSync);
}

void ST_SplitterWnd::OnLButtonDblClk(UINT, CPoint) {
  CLXMsgTarget(Announcer(), g_msgSplitterDoubleClick, reinterpret_cast<LPARAM>(this)).Send(CLXMessage::kModeSync);
}

BOOL ST_SplitterWnd::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) {
  if (m_bLocked) return FALSE;
  if (wnd == this) {
    POINT at{};
    ::GetCursorPos(&at);
    ScreenToClient(&at);
    if (m_bTracking || OnBar(CPoint(at.x, at.y))) {
      ::SetCursor(::LoadCursorW(nullptr, m_bVertical ? IDC_SIZEWE : IDC_SIZENS));
      return TRUE;
    }
  }
  return CWnd::OnSetCursor(wnd, hitTest, message);
}

CWnd* ST_SplitterWnd::GetActivePane(int* row, int* col) {
  CWnd* active = nullptr;
  if (auto* frame = dynamic_cast<CFrameWnd*>(GetParentFrame())) active = frame->GetActiveView();
  if (!active) active = CWnd::GetFocus();
  const bool mine = active && (active->GetParent() == this);
  if (row) *row = mine ? (m_bVertical ? 0 : 1) : -1;
  if (col) *col = mine ? (m_bVertical ? 1 : 0) : -1;
  return mine ? active : nullptr;
}

void ST_SplitterWnd::HideColumn(int index, bool relayout) {
  if (m_bVertical) HidePane(index, relayout);
}
void ST_SplitterWnd::HideRow(int index, bool relayout) {
  if (!m_bVertical) HidePane(index, relayout);
}
void ST_SplitterWnd::ShowColumn(bool relayout) {
  if (m_bVertical) ShowPane(relayout);
}
void ST_SplitterWnd::ShowRow(bool relayout) {
  if (!m_bVertical) ShowPane(relayout);
}

int ST_SplitterWnd::ActiveSplitIndex() const {
  HWND active = nullptr;
  if (auto* frame = dynamic_cast<CFrameWnd*>(const_cast<ST_SplitterWnd*>(this)->GetParentFrame()))
    if (CView* view = frame->GetActiveView()) active = view->m_hWnd;
  if (!active || !::IsChild(m_hWnd, active)) active = ::GetFocus();
  while (active && ::GetParent(active) != m_hWnd) active = ::GetParent(active);
  if (!active) return -1;
  for (int i = 0; i < GetPaneCount(); ++i)
    if (CWnd* pane = GetSplitPane(i); pane && pane->m_hWnd == active) return i;
  return -1;
}

void ST_SplitterWnd::ActivatePane(CWnd* pane) {
  // A nested splitter is no place for the keyboard: its first pane is.
  while (auto* nested = DYNAMIC_DOWNCAST(ST_SplitterWnd, pane)) pane = nested->GetSplitPane(0);
  if (!pane || !pane->m_hWnd) return;
  if (auto* view = DYNAMIC_DOWNCAST(CView, pane))
    if (auto* frame = dynamic_cast<CFrameWnd*>(GetParentFrame())) frame->SetActiveView(view);
  pane->SetFocus();
}

void ST_SplitterWnd::HidePane(int index, bool relayout) {
  if (m_nHidden >= 0 || index < 0 || index >= GetPaneCount()) return;
  // The keyboard moves on to the next pane rather than staying in a hidden one.
  if (ActiveSplitIndex() == index) ActivatePane(GetSplitPane((index + 1) % GetPaneCount()));
  m_nHidden = index;
  const int step = m_bVertical ? 1 : kPaneIdsPerRow;
  const int newCount = GetPaneCount() - 1;
  CWnd* hidden = GetSplitPane(index);
  CWnd* later[2] = {};
  for (int i = index + 1; i <= newCount; ++i) later[i] = GetSplitPane(i);
  if (hidden) {
    hidden->ShowWindow(SW_HIDE);
    hidden->SetDlgCtrlID(AFX_IDW_PANE_FIRST + newCount * step);
  }
  for (int i = index + 1; i <= newCount; ++i)
    if (later[i]) later[i]->SetDlgCtrlID(AFX_IDW_PANE_FIRST + (i - 1) * step);
  const CRowColInfo kept = m_pSplitInfo[index];
  for (int i = index; i < newCount; ++i) m_pSplitInfo[i] = m_pSplitInfo[i + 1];
  m_pSplitInfo[newCount] = kept;
  (m_bVertical ? m_nCols : m_nRows) = newCount;
  if (relayout) RecalcLayout();
}

void ST_SplitterWnd::ShowPane(bool relayout) {
  if (m_nHidden < 0) return;
  const int index = m_nHidden;
  const int step = m_bVertical ? 1 : kPaneIdsPerRow;
  const int oldCount = GetPaneCount();
  CWnd* hidden = GetSplitPane(oldCount);
  CWnd* later[2] = {};
  for (int i = index; i < oldCount; ++i) later[i] = GetSplitPane(i);
  for (int i = oldCount - 1; i >= index; --i)
    if (later[i]) later[i]->SetDlgCtrlID(AFX_IDW_PANE_FIRST + (i + 1) * step);
  if (hidden) {
    hidden->SetDlgCtrlID(AFX_IDW_PANE_FIRST + index * step);
    hidden->ShowWindow(SW_SHOWNA);
  }
  const CRowColInfo shown = m_pSplitInfo[oldCount];
  for (int i = oldCount; i > index; --i) m_pSplitInfo[i] = m_pSplitInfo[i - 1];
  m_pSplitInfo[index] = shown;
  (m_bVertical ? m_nCols : m_nRows) = oldCount + 1;
  m_nHidden = -1;
  const int otherPane = 1 - index;
  m_pSplitInfo[otherPane].nIdealSize =
      std::max(GetRemainingSize(shown.nIdealSize), m_pSplitInfo[otherPane].nMinSize);
  m_pSplitInfo[otherPane].nCurSize = m_pSplitInfo[otherPane].nIdealSize;
  if (index == 1) m_pSplitInfo[0].nCurSize = m_pSplitInfo[0].nIdealSize;
  if (relayout) RecalcLayout();
}

BOOL ST_SplitterWnd::OnEraseBkgnd(CDC* dc) {
  if (!dc) return TRUE;
  RECT r{};
  GetClientRect(&r);
  // A frame in the window colour round the whole client area, drawn inside it.
  Gdiplus::Graphics g(dc->GetSafeHdc());
  const LXGraphics::CColor window = LXGraphics::CColor::FromThemeSysColor(nullptr, COLOR_WINDOW);
  const float width = float(ScaleMetricForDrawing(2 * std::max(m_cxBorder, m_cyBorder)));
  LXGraphics::CLXPen pen((window.GetValue() & 0x00FFFFFFu) | 0xFF000000u, width);
  pen.SetAlignment(Gdiplus::PenAlignmentInset);
  g.DrawRectangle(&pen, float(r.left), float(r.top), float(r.right - r.left), float(r.bottom - r.top));
  g.Flush();
  return TRUE;
}

void ST_SplitterWnd::OnDrawSplitter(CDC* dc, ESplitType type, const RECT& rect) {
  if (!dc) {
    InvalidateRect(&rect, FALSE);
    return;
  }
  if (type == splitBorder) {
    dc->Draw3dRect(&rect, ::GetSysColor(COLOR_3DSHADOW), ::GetSysColor(COLOR_3DHILIGHT));
    return;
  }
  dc->FillSolidRect(&rect, ::GetSysColor(COLOR_3DFACE));
}

void ST_SplitterWnd::OnPaint() {
  CPaintDC dc(this);
  const int count = GetPaneCount();
  const RECT in = GetInsideRect();
  for (int i = 0; i + 1 < count; ++i) {
    const RECT pane = PaneRect(i);
    const RECT bar = m_bVertical ? RECT{pane.right, in.top, pane.right + m_cxSplitterGap, in.bottom}
                                 : RECT{in.left, pane.bottom, in.right, pane.bottom + m_cySplitterGap};
    OnDrawSplitter(&dc, splitBar, bar);
  }
  for (int i = 0; i < count; ++i) {
    RECT border = PaneRect(i);
    ::InflateRect(&border, m_cxBorder, m_cyBorder);
    OnDrawSplitter(&dc, splitBorder, border);
  }
}
