// CParametersPane: the view of the diffraction window that holds the inspector: a header, the
// "Format" and "Parameters" tabs, and the panes of the chosen tab and the selected pattern's kind
// stacked under them with a scroll bar when they do not fit.
#pragma once
#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "ControlWnds.h"
#include "Frame.h"
#include "LXDialog.h"
#include "OwnerDraw.h"

class CDiscloseablePane;
class CQlwDoc;
class QScrollBar;

class CParametersPaneHdr : public CWnd {
 public:
  void OnPaint();

 protected:
  DECLARE_MESSAGE_MAP()
};

class InspectorTabButton : public CButton {
 public:
  InspectorTabButton();
  virtual void DrawItem(LPDRAWITEMSTRUCT item);
  bool m_pushed = false;

 protected:
  DECLARE_MESSAGE_MAP()
};

class CParametersPane : public CFormView, public CToolTipHelper, public CInitMenuPopupHelper {
  DECLARE_DYNCREATE(CParametersPane)
 public:
  static constexpr UINT kTemplateId = 5700;
  enum : UINT { kHeaderId = 2200, kScrollBarId = 2201, kFormatTabId = 2202, kParametersTabId = 2203 };
  enum : UINT { kExpandAll = 34068, kCollapseAll = 34069, kContextMenu = 138 };
  // The pane template ids.
  enum : UINT {
    kBackground = 5710, kFilm = 5720, kGraph = 5730, kInstrumentEDX = 5740, kInstrumentTEM = 5741,
    kInstrumentTOF = 5742, kInstrumentTTH = 5743, kLabels = 5750, kMixture = 5760, kOccupancy = 5770,
    kOffsets = 5780, kSample = 5790, kSmoothing = 5800, kUnitCell = 5810, kGraphOptions = 5820,
    kPeakOverlay = 5830, kText = 5840, kPreferredOrientation = 5850, kBackgroundOverlay = 5860,
  };

  CParametersPane();
  ~CParametersPane() override;

  // A new pane of that template for the host; null for a pane the program does not have.
  static CDiscloseablePane* CreatePane(UINT templateId, CWnd* host);
  // An arrow of the scroll bar moves the panes by what one pixel of the thumb's travel covers:
  // (page + range) / track, rounded up; none without a track.
  static int LineStep(int page, int range, int trackLength);

  void OnInitialUpdate() override;
  void OnUpdate(CView* sender, LPARAM hint, CObject* hintObject) override;
  void OnDraw(CDC* dc) override;
  BOOL PreCreateWindow(CREATESTRUCTW& cs) override;

  void ShowParametersTab();
  void ShowFormatTab();
  void Relayout(bool redraw);
  void LayoutPanes();
  void UpdateScrollBar(bool redraw);
  void DiscloseAll(bool open);
  void GetOpenPaneNames(std::vector<CString>& names) const;
  void OpenPaneByName(const CString& name);

  // The ids shown for the current tab and selection.
  std::set<UINT> ChooseShownIds();
  const std::vector<CDiscloseablePane*>& GetPanes() const { return m_panes; }
  CDiscloseablePane* FindPane(UINT templateId) const;
  CDiscloseablePane* FindPaneForWindow(HWND window) const;
  std::uint8_t GetTab() const { return m_nTab; }
  int GetScrollPosition() const;
  void SetScrollPosition(int position);
  bool IsScrollBarEnabled() const;
  HWND GetSenderPane() const { return m_hSenderPane; }

  bool m_bNotInitialised = true;
  int m_nContentWidth = 200;
  int m_nBandHeight = 0;
  int m_nContentHeight = 0;
  int m_nFirstPaneY = 0;

 protected:
  void OnSize(UINT type, int cx, int cy);
  void OnContextMenu(CWnd* window, CPoint point);
  LRESULT OnPaneModified(WPARAM wParam, LPARAM lParam);
  LRESULT OnParametersPaneConfig(WPARAM, LPARAM);
  void OnFormatTab() { ShowFormatTab(); }
  void OnParametersTab() { ShowParametersTab(); }
  void OnExpandAll() { RunDiscloseAll(true); }
  void OnCollapseAll() { RunDiscloseAll(false); }
  void OnUpdateAll(CCmdUI* cmdUI) { cmdUI->Enable(TRUE); }
  void RunDiscloseAll(bool open);
  void OnScrollBarAction(int action);
  void ApplyTab(std::uint8_t tab);

  bool m_inScrollBarUpdate = false;
  bool m_inRelayout = false;
  CParametersPaneHdr m_header;
  QScrollBar* m_scrollBar = nullptr;  // owned by the view's widget
  InspectorTabButton m_formatTab;
  InspectorTabButton m_parametersTab;
  std::vector<CDiscloseablePane*> m_panes;
  HWND m_hSenderPane = nullptr;
  std::uint8_t m_nTab = 0;
  std::set<UINT> m_sets[8];
  bool m_setsLoaded = false;
  DECLARE_MESSAGE_MAP()
};
