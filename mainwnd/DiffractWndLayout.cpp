// The diffraction window's pane sizes: applied from the preferences, saved back after each
// splitter layout, the minimum window size, and hiding and showing the pane columns.
#include "DiffractWnd.h"
#include "QlwToolbar.h"

#include <algorithm>

#include "LXMessage.h"
#include "ParametersPane.h"
#include "Preferences.h"

namespace {
// Minimum sizes of the panes whose places are still empty.
constexpr SIZE kPatternsMinSize{120, 100};
constexpr SIZE kReflexionsMinSize{100, 80};

// The size entry of a pane: a hidden pane's entry sits past the visible one.
ST_SplitterWnd::CRowColInfo& InfoOf(ST_SplitterWnd& splitter, int pane) {
  const int hidden = splitter.m_nHidden;
  if (hidden < 0) return splitter.SplitInfo(pane);
  return splitter.SplitInfo(pane == hidden ? 1 : 0);
}

void SetSizes(ST_SplitterWnd& splitter, int pane, int current, int ideal, int minimum) {
  ST_SplitterWnd::CRowColInfo& info = InfoOf(splitter, pane);
  info.nCurSize = current;
  info.nIdealSize = ideal;
  info.nMinSize = minimum;
}

bool PaneShown(const ST_SplitterWnd* splitter, int pane) {
  return splitter && splitter->m_hWnd && splitter->m_nHidden != pane;
}
}  // namespace

SIZE CDiffractWnd::GraphicsMinSize() const {
  SIZE size{CGraphicsPane::kMinWidth, CGraphicsPane::kMinHeight};
  if (m_pGraphicsPane) m_pGraphicsPane->GetMinSize(size);
  return size;
}
SIZE CDiffractWnd::PatternsMinSize() const { return kPatternsMinSize; }
SIZE CDiffractWnd::ReflexionsMinSize() const { return kReflexionsMinSize; }

int CDiffractWnd::ParametersWidth() const {
  // The inspector knows its width once it has stacked its panes, before the splitter has given
  // it that width: asking its window would give the splitter's own last guess back.
  if (const auto* host = dynamic_cast<const CParametersPane*>(m_pParametersPane);
      host && host->m_hWnd && !host->m_bNotInitialised && host->m_nContentWidth > 0)
    return host->m_nContentWidth;
  if (!m_bParametersLaidOut || !m_pParametersPane || !m_pParametersPane->m_hWnd) return kDefaultParametersWidth;
  RECT r{};
  m_pParametersPane->GetWindowRect(&r);
  return r.right - r.left > 0 ? r.right - r.left : kDefaultParametersWidth;
}

bool CDiffractWnd::IsPatternsPaneShown() const { return PaneShown(&m_wndSplitter, 0); }
bool CDiffractWnd::IsParametersPaneShown() const { return PaneShown(m_pParamSplitter, 1); }
bool CDiffractWnd::IsReflexionsPaneShown() const { return PaneShown(m_pGraphSplitter, 1); }

ST_SplitterWnd* CDiffractWnd::ApplyPaneSizes() {
  if (!m_wndSplitter.m_hWnd || !m_pParamSplitter || !m_pGraphSplitter) return m_pParamSplitter;
  const SIZE graphics = GraphicsMinSize(), patterns = PatternsMinSize(), reflexions = ReflexionsMinSize();
  const int parameters = ParametersWidth();
  // Splitter A's border comes off the column before its panes share it: without it the fixed
  // column would lack two pixels at the least width and be hidden.
  int graphColumnMin = graphics.cx + 2 * m_pParamSplitter->m_cxBorder;
  if (m_pParamSplitter->m_hWnd && IsParametersPaneShown())
    graphColumnMin += parameters + m_pParamSplitter->m_cxSplitterGap;

  const int patternsWidth = g_pPreferences ? g_pPreferences->m_StructuresWinWidth.Get() : 200;
  SetSizes(m_wndSplitter, 0, patternsWidth, std::max(patternsWidth, static_cast<int>(patterns.cx)), patterns.cx);
  // The column that takes a change of size gets its ideal unclamped: the splitter adds the change
  // since its last size to it, and an ideal raised to the minimum at a stale (smaller) size would
  // come out too wide and push the fixed column out of sight.
  const int graphColumn = m_wndSplitter.GetRemainingSize(patternsWidth);
  SetSizes(m_wndSplitter, 1, graphColumn, graphColumn, graphColumnMin);

  SetSizes(*m_pParamSplitter, 1, parameters, parameters, parameters);
  const int graphWidth = m_pParamSplitter->GetRemainingSize(parameters);
  SetSizes(*m_pParamSplitter, 0, graphWidth, graphWidth, graphics.cx);

  RECT client{};
  m_pGraphSplitter->GetClientRect(&client);
  const double relHeight = g_pPreferences ? g_pPreferences->m_ReflexionsRelHeight.Get() : 0.3;
  const int graphHeight = GraphRowHeight(relHeight, client.bottom - client.top);
  SetSizes(*m_pGraphSplitter, 0, graphHeight, std::max(graphHeight, static_cast<int>(graphics.cy)), graphics.cy);
  const int listHeight = m_pGraphSplitter->GetRemainingSize(graphHeight);
  SetSizes(*m_pGraphSplitter, 1, listHeight, std::max(listHeight, static_cast<int>(reflexions.cy)), reflexions.cy);

  m_wndSplitter.RecalcLayout();
  // The parameters pane keeps its width: its bar cannot be dragged.
  m_pParamSplitter->m_bLocked = true;
  if (IsParametersPaneShown()) m_bParametersLaidOut = true;
  return m_pParamSplitter;
}

LRESULT CDiffractWnd::OnSplitterRecalcLayout(WPARAM, LPARAM lParam) {
  const auto* from = reinterpret_cast<const ST_SplitterWnd*>(lParam);
  if (m_bCreated && !m_bInLayout && g_pPreferences) {
    CPreferences& prefs = *g_pPreferences;
    const bool patterns = IsPatternsPaneShown();
    prefs.m_ShowStructures.Set(patterns);
    if (patterns && from == &m_wndSplitter) prefs.m_StructuresWinWidth.Set(InfoOf(m_wndSplitter, 0).nCurSize);
    prefs.m_ShowParameters.Set(IsParametersPaneShown());
    const bool reflexions = IsReflexionsPaneShown();
    prefs.m_ShowReflexions.Set(reflexions);
    if (reflexions && from == m_pGraphSplitter) {
      RECT client{};
      m_pGraphSplitter->GetClientRect(&client);
      const int height = client.bottom - client.top;
      if (height > 0)
        prefs.m_ReflexionsRelHeight.Set(ReflexionsRelHeight(InfoOf(*m_pGraphSplitter, 0).nCurSize, height));
    }
    SaveWindowState();
  }
  ForwardCurrentMessageToChildren(this);
  return 1;
}

int CDiffractWnd::LeastWidth(bool patternsShown, bool parametersShown) const {
  int width = std::max(kMinFrameWidth, static_cast<int>(GraphicsMinSize().cx));
  if (m_pParamSplitter && m_pParamSplitter->m_hWnd && parametersShown)
    width += ParametersWidth() + m_pParamSplitter->m_cxSplitterGap;
  if (patternsShown) width += PatternsMinSize().cx + m_wndSplitter.m_cxSplitterGap;
  return width;
}

void CDiffractWnd::WidenForColumns(bool patternsShown, bool parametersShown) {
  if (IsIconic() || IsZoomed()) return;
  const int least = LeastWidth(patternsShown, parametersShown);
  RECT r{};
  GetWindowRect(&r);
  if (r.right - r.left < least) MoveWindow(r.left, r.top, least, r.bottom - r.top);
}

void CDiffractWnd::OnGetMinMaxInfo(MINMAXINFO* info) {
  if (m_pParamSplitter && m_pParamSplitter->m_hWnd && IsParametersPaneShown()) {
    const int parameters = ParametersWidth();
    SetSizes(*m_pParamSplitter, 1, parameters, parameters, parameters);
  }
  info->ptMinTrackSize.x = LeastWidth(IsPatternsPaneShown(), IsParametersPaneShown());
  LONG height = kMinFrameHeight;
  if (m_pToolbar && m_pToolbar->m_hWnd && m_pToolbar->IsWindowVisible()) {
    RECT bar{};
    m_pToolbar->GetWindowRect(&bar);
    if (bar.bottom > bar.top && bar.right > bar.left) height = 6 * (bar.bottom - bar.top);
  }
  info->ptMinTrackSize.y = std::max<LONG>(height, info->ptMinTrackSize.y);
  Default();
}

void CDiffractWnd::AfterToggle(CWnd* shownPane, bool shown, CWnd* toInvalidate) {
  ApplyPaneSizes();
  CWnd* active = shown ? shownPane : static_cast<CWnd*>(m_pGraphicsPane);
  if (auto* view = dynamic_cast<CView*>(active)) SetActiveView(view);
  if (toInvalidate && toInvalidate->m_hWnd) toInvalidate->Invalidate();
}

void CDiffractWnd::TogglePatternsPane() {
  if (!m_wndSplitter.m_hWnd) return;
  if (m_wndSplitter.m_nHidden == 0) {
    WidenForColumns(true, IsParametersPaneShown());
    m_wndSplitter.ShowColumn(true);
  } else if (m_wndSplitter.m_nHidden < 0) {
    m_wndSplitter.HideColumn(0, true);
  }
  AfterToggle(m_pPatternsPane, IsPatternsPaneShown(), m_pGraphSplitter);
}

void CDiffractWnd::ToggleParametersPane() {
  if (!m_pParamSplitter || !m_pParamSplitter->m_hWnd) return;
  // Shown without a layout of its own: laid out before the column around it makes room, the
  // inspector would not fit beside the plot and be hidden again at once.
  if (m_pParamSplitter->m_nHidden == 1) {
    WidenForColumns(IsPatternsPaneShown(), true);
    m_pParamSplitter->ShowColumn(false);
  } else if (m_pParamSplitter->m_nHidden < 0) {
    m_pParamSplitter->HideColumn(1, true);
  }
  AfterToggle(m_pParametersPane, IsParametersPaneShown(), m_pGraphSplitter);
}

void CDiffractWnd::ToggleReflexionsPane() {
  if (!m_pGraphSplitter || !m_pGraphSplitter->m_hWnd) return;
  if (m_pGraphSplitter->m_nHidden == 1) m_pGraphSplitter->ShowRow(true);
  else if (m_pGraphSplitter->m_nHidden < 0) m_pGraphSplitter->HideRow(1, true);
  AfterToggle(m_pReflexionsPane, IsReflexionsPaneShown(), m_pGraphicsPane);
}

// ---- the inspector's side of a session's layout --------------------------------------------

namespace {
CParametersPane* InspectorHost(CWnd* pane) {
  auto* host = dynamic_cast<CParametersPane*>(pane);
  return host && host->m_hWnd && !host->m_bNotInitialised ? host : nullptr;
}
}  // namespace

int CDiffractWnd::GetParametersTab() const {
  const CParametersPane* host = InspectorHost(m_pParametersPane);
  if (!host) return 0;
  return host->GetTab() == 1 ? 1 : 2;
}

void CDiffractWnd::SelectParametersTab(int tab) {
  m_bRestoredLayout = true;
  if (CParametersPane* host = InspectorHost(m_pParametersPane)) {
    if (tab == 2) host->ShowParametersTab();
    else host->ShowFormatTab();
  } else if (g_pPreferences) {
    // The host takes its first tab from this when it lays itself out.
    g_pPreferences->m_ParamTabChoice.Set(tab == 2);
  }
}

void CDiffractWnd::CloseInspectorPanes() {
  if (CParametersPane* host = InspectorHost(m_pParametersPane)) host->DiscloseAll(false);
}

void CDiffractWnd::DisclosePane(const CString& header) {
  if (CParametersPane* host = InspectorHost(m_pParametersPane)) host->OpenPaneByName(header);
}

void CDiffractWnd::GetOpenPaneNames(std::list<CString>& out) const {
  const CParametersPane* host = InspectorHost(m_pParametersPane);
  if (!host) return;
  std::vector<CString> names;
  host->GetOpenPaneNames(names);
  out.insert(out.end(), names.begin(), names.end());
}
