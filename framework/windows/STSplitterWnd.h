// ST_SplitterWnd: a static splitter of two panes side by side or stacked, nestable, with one pane
// that can be hidden, panes that must never be hidden, and a rule for which pane takes a change of
// the window's size. The pane sizes live in the column and row information.
#pragma once
#include "Frame.h"
#include "LXSyncRect.h"

class ST_SplitterWnd : public CWnd {
  DECLARE_DYNAMIC(ST_SplitterWnd)
 public:
  struct CRowColInfo {
    int nMinSize = 0;
    int nIdealSize = 0;
    int nCurSize = 0;
  };
  enum ResizeMode { kProportional = 0, kPane1Takes = 1, kPane0Takes = 2 };
  enum ESplitType { splitBox = 0, splitBar = 1, splitIntersection = 2, splitBorder = 3 };

  explicit ST_SplitterWnd(int level = 0);
  ~ST_SplitterWnd() override;

  BOOL Create(CWnd* parent, CRuntimeClass* view0, CRuntimeClass* view1, CCreateContext* context, bool vertical,
              UINT id = AFX_IDW_PANE_FIRST);
  // Dynamic splitters are not supported.
  BOOL Create(LPCWSTR, LPCWSTR, DWORD, const RECT&, CWnd*, UINT, void* = nullptr) override { return FALSE; }
  ST_SplitterWnd* AddSubDivision(int pane, CRuntimeClass* view0, CRuntimeClass* view1, CCreateContext* context,
                                 bool vertical);
  int GetRemainingSize(int size) const;
  void HideColumn(int index, bool relayout = true);
  void HideRow(int index, bool relayout = true);
  void ShowColumn(bool relayout = true);
  void ShowRow(bool relayout = true);
  virtual void RecalcLayout();
  // Position p of the bar in pane 0's coordinates.
  virtual void TrackColumnSize(int p, int col);
  virtual void TrackRowSize(int p, int row);
  virtual void StartTracking();
  virtual void StopTracking();
  // The active pane's window; row and col -1 when none.
  CWnd* GetActivePane(int* row = nullptr, int* col = nullptr);
  // Draws one part of the splitter: the 3-D border round a pane, or a bar in the face colour.
  // Without a DC the part is only invalidated.
  virtual void OnDrawSplitter(CDC* dc, ESplitType type, const RECT& rect);

  // Pane i of the split direction (the visible ones first), or null.
  CWnd* GetPane(int row, int col) const;
  CWnd* GetSplitPane(int index) const;
  int GetPaneCount() const { return m_bVertical ? m_nCols : m_nRows; }
  CRowColInfo& SplitInfo(int index) { return m_pSplitInfo[index]; }
  void SetPaneMinimum(int index, int size) { m_pSplitInfo[index].nMinSize = size; }
  void SetPaneSize(int index, int size) {
    m_pSplitInfo[index].nIdealSize = size;
    m_pSplitInfo[index].nCurSize = size;
  }
  // The area the panes and bars share, in client coordinates.
  RECT GetInsideRect() const;

  ST_SplitterWnd* m_pNested[2] = {nullptr, nullptr};
  CRowColInfo* m_pSplitInfo = nullptr;
  CRowColInfo* m_pOtherInfo = nullptr;
  int m_nHidden = -1;
  bool m_bNeverHide[2] = {false, false};
  int m_nLevel = 0;
  bool m_bVertical = true;
  bool m_bCreated = false;
  int m_nResizeMode = kProportional;
  LXGraphics::CSyncRect m_insideRect;
  double m_dRatio = 1.0;
  bool m_bTracking = false;
  bool m_bLocked = false;

  int m_cxSplitter = 3, m_cySplitter = 3, m_cxSplitterGap = 3, m_cySplitterGap = 3;
  int m_cxBorder = 1, m_cyBorder = 1, m_cxBorderShare = 0, m_cyBorderShare = 0;

 protected:
  void OnSize(UINT type, int cx, int cy);
  LRESULT OnEnterSizeMove(WPARAM, LPARAM);
  BOOL OnEraseBkgnd(CDC* dc);
  void OnPaint();
  void OnLButtonDblClk(UINT flags, CPoint point);
  void OnLButtonDown(UINT flags, CPoint point);
  void OnLButtonUp(UINT flags, CPoint point);
  void OnMouseMove(UINT flags, CPoint point);
  BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
  void PostNcDestroy() override;
  DECLARE_MESSAGE_MAP()

 private:
  void TrackSize(int p);
  void HidePane(int index, bool relayout);
  // The split index of the pane that holds the frame's active view or the focus, -1 for none.
  int ActiveSplitIndex() const;
  void ActivatePane(CWnd* pane);
  // The rectangle of pane i as laid out, in client coordinates.
  RECT PaneRect(int index) const;
  void ShowPane(bool relayout);
  void UpdateRatio();
  void LayoutSplit(int total, int change);
  void PlacePanes();
  bool OnBar(CPoint point) const;
  HWND Announcer() const;

  CRowColInfo m_colInfo[3];
  CRowColInfo m_rowInfo[3];
  int m_nRows = 1, m_nCols = 2;
  int m_nTrackOffset = 0;  // from the mouse to pane 0's far edge while dragging
};
