// CSplitterControl: a thin bar between sibling windows of a dialog; dragging it stretches the
// windows on both sides up to it and tells the parent how far it moved. The tracker shown while
// dragging is a rubber band (SplitterControlQt.cpp).
#pragma once
#include <climits>
#include <vector>

#include "ControlWnds.h"

// Notifications to the parent (WM_NOTIFY, with the bar's control id).
#define SPN_LIMITS 1025  // asks for the drag limits: the parent may narrow nMax and nMin
#define SPN_MOVED 1026   // a completed move: delta along the bar's axis, in pixels
struct SPC_NMLIMITS {
  NMHDR hdr;
  int nMax;
  int nMin;
};
struct SPC_NMMOVED {
  NMHDR hdr;
  int delta;
};

namespace LXSplitterTracker {
struct Band;
}

class CSplitterControl : public CStatic {
 public:
  enum : UINT { kStyleVertical = 1, kStyleNotify = 2 };
  CSplitterControl();
  ~CSplitterControl() override;

  // list 0: right of a vertical bar (below a horizontal one); list 1: left of it (above it).
  BOOL AddWindow(int list, CWnd* window);
  void SetStyle(UINT style) { m_nStyle = style; }
  UINT GetStyle() const { return m_nStyle; }
  void SetCursor(HCURSOR cursor) { m_hCursor = cursor; }
  void SetTrackerColor(COLORREF colour) { m_crTracker = colour; }
  bool IsDragging() const { return m_bDragging; }
  // The tracker's place on the screen while it shows (tests and the runner); empty otherwise.
  RECT GetTrackerRect() const;

  virtual void MoveWindows();
  // Shows the tracker at the current point, or hides it when it shows: drawing twice erases.
  virtual void DrawTracker(CDC* dc);
  virtual void RequestLimits(int* max, int* min);

 protected:
  void OnLButtonDown(UINT flags, CPoint point);
  void OnMouseMove(UINT flags, CPoint point);
  void OnLButtonUp(UINT flags, CPoint point);
  void OnCaptureChanged(CWnd* gaining);
  BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message);
  void EndDrag(bool move);
  // Keeps every window on either side at a width (height) of at least 0.
  void LimitToWindows();
  CPoint BarCentre() const;
  bool Vertical() const { return (m_nStyle & kStyleVertical) != 0; }
  DECLARE_MESSAGE_MAP()

  UINT m_nStyle = kStyleVertical;
  bool m_bDragging = false;
  CPoint m_ptCurrent, m_ptStart;
  HCURSOR m_hCursor = nullptr;
  COLORREF m_crTracker = RGB(120, 120, 120);
  int m_nTrackerOffset = 1;
  int m_nMax = INT_MAX;
  int m_nMin = INT_MIN;
  std::vector<CWnd*> m_windows[2];
  LXSplitterTracker::Band* m_pBand = nullptr;
};
