#include "AdjustWindows.h"

#include <algorithm>

#include "LXMessage.h"

namespace {
LXGraphics::CSyncRect FromRect(const RECT& r) {
  LXGraphics::CSyncRect s;
  s.SetFromRECT(r);
  return s;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

RECT ClientOf(HWND window) {
  RECT r{};
  if (window) GetClientRect(window, &r);
  return r;
}

// The window's rectangle in its parent's client coordinates.
RECT PlacedIn(HWND window, HWND parent) {
  RECT r{};
  GetWindowRect(window, &r);
  if (parent) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}
}  // namespace

HWND CAdjustWindows::ParentOf(HWND window) const {
  if (m_pParent != nullptr && m_pParent->m_hWnd != nullptr) return m_pParent->m_hWnd;
  HWND parent = GetParent(window);
  return parent != nullptr ? parent : LXAppWindows::GetMainWindow();
}

void CAdjustWindows::Add(HWND window, uint16_t flags, Callback callback) {
  if (!IsWindow(window)) return;
  for (Entry& e : m_entries)
    if (e.window == window) {
      e.flags |= flags;
      if (callback) e.callback = std::move(callback);
      return;
    }
  Entry e;
  e.window = window;
  e.flags = flags;
  HWND parent = ParentOf(window);
  e.reference = e.last = FromRect(ClientOf(parent));
  e.initial = e.computed = FromRect(PlacedIn(window, parent));
  e.callback = std::move(callback);
  m_entries.push_back(std::move(e));
  m_count = static_cast<int>(m_entries.size());
}

void CAdjustWindows::Init(const RECT& reference) {
  RECT r = reference;
  if (r.right < r.left) std::swap(r.left, r.right);
  if (r.bottom < r.top) std::swap(r.top, r.bottom);
  for (Entry& e : m_entries) {
    e.reference = e.last = FromRect(r);
    e.initial = e.computed = FromRect(PlacedIn(e.window, ParentOf(e.window)));
  }
  m_bEnabled = true;
}

void CAdjustWindows::Adjust() {
  if (!m_bEnabled) return;
  HDWP batch = BeginDeferWindowPos(static_cast<int>(m_entries.size()));
  std::vector<HWND> moved;
  for (Entry& e : m_entries) {
    if (!IsWindow(e.window)) continue;
    HWND parent = ParentOf(e.window);
    const RECT now = ClientOf(parent);
    const int dx = (now.right - now.left) - (e.reference.m_rect.right - e.reference.m_rect.left);
    const int dy = (now.bottom - now.top) - (e.reference.m_rect.bottom - e.reference.m_rect.top);
    if (SameRect(now, e.last.m_rect) && dx == 0 && dy == 0) continue;
    RECT r = e.initial.m_rect;
    if (e.flags & kCentreH) OffsetRect(&r, dx / 2, 0);
    if (e.flags & kCentreV) OffsetRect(&r, 0, dy / 2);
    if (e.flags & kMoveRight) OffsetRect(&r, dx, 0);
    if (e.flags & kMoveDown) OffsetRect(&r, 0, dy);
    if (e.flags & kStretchWidth) r.right += dx;
    if (e.flags & kStretchHeight) r.bottom += dy;
    e.computed = FromRect(r);
    if (e.callback) {
      e.callback(e.window, e.computed);
      e.computed.Sync();
    }
    const LXGraphics::CSyncRect current = FromRect(PlacedIn(e.window, parent));
    const auto& c = e.computed.m_float;
    const auto& w = current.m_float;
    if (c.X != w.X || c.Y != w.Y || c.Width != w.Width || c.Height != w.Height) {
      const RECT& t = e.computed.m_rect;
      const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
      if (batch != nullptr) batch = DeferWindowPos(batch, e.window, nullptr, t.left, t.top, t.right - t.left, t.bottom - t.top, flags);
      else SetWindowPos(e.window, nullptr, t.left, t.top, t.right - t.left, t.bottom - t.top, flags);
    }
    moved.push_back(e.window);
  }
  if (batch != nullptr) EndDeferWindowPos(batch);
  for (Entry& e : m_entries) {
    if (std::find(moved.begin(), moved.end(), e.window) == moved.end()) continue;
    RedrawWindow(e.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    e.last = FromRect(ClientOf(ParentOf(e.window)));
  }
}
