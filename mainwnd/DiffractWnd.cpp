// The diffraction window: creation of its splitters and panes, size and paint, the plot area,
// the live link and the document's view of the window.
#include "DiffractWnd.h"

#include <cmath>

#include "EmptyPane.h"
#include "LXAppDropTarget.h"
#include "LXImages.h"
#include "LXMessage.h"
#include "LXUtils.h"
#include "Preferences.h"
#include "QlwDoc.h"
#include "ParametersPane.h"
#include "QlwToolbar.h"
#include "Resources.h"
#include "ReflexionsPane.h"
#include "StructuresPane.h"

IMPLEMENT_DYNCREATE(CDiffractWnd, CQlwMainFrame)

BEGIN_MESSAGE_MAP(CDiffractWnd, CQlwMainFrame)
  ON_WM_CREATE()
  ON_WM_DESTROY()
  ON_WM_GETMINMAXINFO()
  ON_WM_SIZE()
  ON_WM_PAINT()
  ON_MESSAGE(WM_COPYDATA, &CDiffractWnd::OnCopyDataMsg)
  ON_REGISTERED_MESSAGE(g_msgNewToolSync, &CDiffractWnd::OnNewTool)
  ON_REGISTERED_MESSAGE(g_msgNewToolAsync, &CDiffractWnd::OnNewTool)
  ON_REGISTERED_MESSAGE(g_msgSplitterDoubleClickSync, &CDiffractWnd::OnSplitterDoubleClick)
  ON_REGISTERED_MESSAGE(g_msgSplitterDoubleClickAsync, &CDiffractWnd::OnSplitterDoubleClick)
  ON_REGISTERED_MESSAGE(g_msgSplitterRecalcLayoutSync, &CDiffractWnd::OnSplitterRecalcLayout)
  ON_REGISTERED_MESSAGE(g_msgSplitterRecalcLayoutAsync, &CDiffractWnd::OnSplitterRecalcLayout)
  ON_REGISTERED_MESSAGE(g_msgTandemixPendingSync, &CDiffractWnd::OnTandemixPending)
  ON_REGISTERED_MESSAGE(g_msgTandemixPendingAsync, &CDiffractWnd::OnTandemixPending)
  ON_COMMAND_EX(57600, &CDiffractWnd::OnWindowCommand)
  ON_COMMAND_EX(57634, &CDiffractWnd::OnWindowCommand)
  // Only the ids handled here: others keep their "no handler" state and are disabled by it.
  ON_COMMAND_EX(33270, &CDiffractWnd::OnWindowCommand)
  ON_COMMAND_EX(33368, &CDiffractWnd::OnWindowCommand)
  ON_COMMAND_EX(33586, &CDiffractWnd::OnWindowCommand)
  ON_COMMAND_EX(33589, &CDiffractWnd::OnWindowCommand)
  ON_COMMAND_EX(33591, &CDiffractWnd::OnWindowCommand)
  ON_COMMAND_EX(33768, &CDiffractWnd::OnWindowCommand)
  ON_COMMAND_EX(33772, &CDiffractWnd::OnWindowCommand)
  ON_COMMAND_EX(33280, &CDiffractWnd::OnWindowCommand)
  ON_COMMAND_EX(33369, &CDiffractWnd::OnWindowCommand)
  ON_COMMAND_EX(33370, &CDiffractWnd::OnWindowCommand)
  ON_COMMAND_EX(33372, &CDiffractWnd::OnWindowCommand)
  ON_COMMAND_EX(33737, &CDiffractWnd::OnWindowCommand)
  ON_COMMAND_EX(33769, &CDiffractWnd::OnWindowCommand)
  ON_COMMAND_EX(57605, &CDiffractWnd::OnPrintCommand)
  ON_COMMAND_EX(57607, &CDiffractWnd::OnPrintCommand)
  ON_COMMAND_EX(57609, &CDiffractWnd::OnPrintCommand)
  ON_UPDATE_COMMAND_UI_RANGE(32768, 34577, &CDiffractWnd::OnUpdateWindowCommand)
  ON_UPDATE_COMMAND_UI(57600, &CDiffractWnd::OnUpdateWindowCommand)
  ON_UPDATE_COMMAND_UI(57603, &CDiffractWnd::OnUpdateWindowCommand)
  ON_UPDATE_COMMAND_UI(57604, &CDiffractWnd::OnUpdateWindowCommand)
  ON_UPDATE_COMMAND_UI(57605, &CDiffractWnd::OnUpdateWindowCommand)
  ON_UPDATE_COMMAND_UI(57607, &CDiffractWnd::OnUpdateWindowCommand)
  ON_UPDATE_COMMAND_UI(57609, &CDiffractWnd::OnUpdateWindowCommand)
  ON_UPDATE_COMMAND_UI(57634, &CDiffractWnd::OnUpdateWindowCommand)
END_MESSAGE_MAP()

namespace {
constexpr LPARAM kExitSizeMoveRestored = 5;
constexpr LPARAM kExitSizeMoveMaximised = 3;

// The store's window-state save asks the main window for its placement first.
bool WriteMainWindowPlacement() {
  auto* window = DYNAMIC_DOWNCAST(CDiffractWnd, CWnd::FromHandlePermanent(LXAppWindows::GetMainFrameWindow()));
  if (!window || !window->m_hWnd) return false;
  window->SaveWindowPlacement();
  return true;
}

RECT PrimaryWorkArea() {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info)) return info.rcWork;
  return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}
}  // namespace

CDiffractWnd::CDiffractWnd() = default;

CDiffractWnd::~CDiffractWnd() {
  m_pLoupe.reset();
  delete m_pPlotImage;
  m_pPlotImage = nullptr;
  delete m_pDropTarget;
  delete m_pToolbar;
}

RECT CDiffractWnd::DefaultFrameRect(const RECT& work) {
  const float workWidth = static_cast<float>(work.right - work.left);
  const float workHeight = static_cast<float>(work.bottom - work.top);
  const int left = static_cast<int>(std::floor((workWidth - 1000.0f) * 0.5f + static_cast<float>(work.left)));
  const int top = static_cast<int>(std::floor((workHeight - 600.0f) * 0.5f + static_cast<float>(work.top)));
  return RECT{left, top, left + 1000, top + 600};
}

void CDiffractWnd::EnforceMinimumFrameSize(RECT& rect) {
  if (rect.right - rect.left < kMinFrameWidth) rect.right = rect.left + kMinFrameWidth;
  if (rect.bottom - rect.top < kMinFrameHeight) rect.bottom = rect.top + kMinFrameHeight;
}

int CDiffractWnd::GraphRowHeight(double reflexionsRelHeight, int clientHeight) {
  return static_cast<int>(std::lround((1.0 - reflexionsRelHeight) * clientHeight));
}

double CDiffractWnd::ReflexionsRelHeight(int graphRowHeight, int clientHeight) {
  if (clientHeight <= 0) return 0.0;
  const float share = 1.0f - static_cast<float>(graphRowHeight) / static_cast<float>(clientHeight);
  return static_cast<double>(share);
}

BOOL CDiffractWnd::PreCreateWindow(CREATESTRUCTW& cs) {
  const RECT work = PrimaryWorkArea();
  CRect stored = g_pPreferences ? g_pPreferences->m_MainFrameRect.Get() : CRect(0, 0, 0, 0);
  RECT rect = stored.IsRectEmpty() ? DefaultFrameRect(work) : RECT{stored.left, stored.top, stored.right, stored.bottom};
  LXGraphics::CSyncRect fitted;
  fitted.SetLTRB(static_cast<float>(rect.left), static_cast<float>(rect.top), static_cast<float>(rect.right),
                 static_cast<float>(rect.bottom));
  CUtils::FitRectToMonitor(fitted, true, true);
  rect = RECT{static_cast<LONG>(fitted.m_float.X), static_cast<LONG>(fitted.m_float.Y),
              static_cast<LONG>(fitted.m_float.X + fitted.m_float.Width),
              static_cast<LONG>(fitted.m_float.Y + fitted.m_float.Height)};
  EnforceMinimumFrameSize(rect);
  cs.x = rect.left;
  cs.y = rect.top;
  cs.cx = rect.right - rect.left;
  cs.cy = rect.bottom - rect.top;
  return CQlwMainFrame::PreCreateWindow(cs);
}

int CDiffractWnd::OnCreate(LPCREATESTRUCT cs) {
  if (CQlwMainFrame::OnCreate(cs) == -1) return -1;
  CUtils::SetAppIcon(m_hWnd);
  CPreferences::SetMainFrameWriter(&WriteMainWindowPlacement);
  // Files dropped on the window outside a pane of its own take the road of a drop on the program.
  m_pDropTarget = new CLXAppDropTarget;
  m_pDropTarget->Register(this);
  return 0;
}

void CDiffractWnd::OnDestroy() {
  if (m_pDropTarget) m_pDropTarget->Revoke();
  if (CQlwDoc* doc = GetDocument(); doc && doc->GetDiffractWnd() == this) doc->SetDiffractWnd(nullptr);
  CQlwMainFrame::OnDestroy();
}

BOOL CDiffractWnd::OnCreateClient(LPCREATESTRUCT, CCreateContext* context) {
  try {
    BuildClient(context);
  } catch (CLXException& e) {
    e.Report();
    return FALSE;
  }
  return TRUE;
}

void CDiffractWnd::BuildClient(CCreateContext* context) {
  m_bInLayout = true;
  struct LayoutScope {
    bool& flag;
    ~LayoutScope() { flag = false; }
  } scope{m_bInLayout};
  CRuntimeClass* const graphicsClass = RUNTIME_CLASS(CGraphicsPane);
  CRuntimeClass* const patternsClass = RUNTIME_CLASS(CStructuresPane);
  CRuntimeClass* const parametersClass = RUNTIME_CLASS(CParametersPane);
  CRuntimeClass* const reflexionsClass = RUNTIME_CLASS(CReflexionsPane);
  if (!m_wndSplitter.Create(this, patternsClass, nullptr, context, true, AFX_IDW_PANE_FIRST))
    throw CLXXMFC(L"Unable to create the splitter window.", 2, 0, __LINE__);
  m_pParamSplitter = m_wndSplitter.AddSubDivision(1, nullptr, parametersClass, context, true);
  if (!m_pParamSplitter) throw CLXXDiffWindow(2, 0, __LINE__);
  m_pGraphSplitter = m_pParamSplitter->AddSubDivision(0, graphicsClass, reflexionsClass, context, false);
  if (!m_pGraphSplitter) throw CLXXDiffWindow(2, 0, __LINE__);

  m_wndSplitter.m_bNeverHide[1] = true;
  m_wndSplitter.m_nResizeMode = ST_SplitterWnd::kPane1Takes;
  m_pParamSplitter->m_bNeverHide[0] = true;
  m_pParamSplitter->m_nResizeMode = ST_SplitterWnd::kPane0Takes;
  m_pGraphSplitter->m_bNeverHide[0] = true;
  m_pGraphSplitter->m_nResizeMode = ST_SplitterWnd::kProportional;
  m_pPatternsPane = m_wndSplitter.GetPane(0, 0);
  m_pParametersPane = m_pParamSplitter->GetPane(0, 1);
  m_pGraphicsPane = DYNAMIC_DOWNCAST(CGraphicsPane, m_pGraphSplitter->GetPane(0, 0));
  m_pReflexionsPane = m_pGraphSplitter->GetPane(1, 0);
  if (!m_pPatternsPane || !m_pParametersPane || !m_pGraphicsPane || !m_pReflexionsPane)
    throw CLXXDiffWindow(2, 0, __LINE__);
  m_pGraphicsPane->SetWindowText(L"Qlw Graphics Pane");
  m_pReflexionsPane->SetWindowText(L"Qlw Reflexions Pane");
  m_pPatternsPane->SetWindowText(L"Qlw Patterns Pane");
  m_pParametersPane->SetWindowText(L"Qlw Parameters Pane");

  RECT client{};
  GetClientRect(&client);
  m_wndSplitter.MoveWindow(&client);
  ApplyPaneSizes();

  auto* toolbar = new CQlwToolbar;
  m_pToolbar = toolbar;
  if (!toolbar->Create(this, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP, AFX_IDW_TOOLBAR)) throw CLXXNoToolbar(2, 0, __LINE__);
  toolbar->SetWindowText(L"Qlw Toolbar");
  AddControlBar(toolbar);
  auto* doc = context ? dynamic_cast<CQlwDoc*>(context->m_pCurrentDoc) : nullptr;
  if (doc) doc->SetDiffractWnd(this);
  SetActiveView(m_pGraphicsPane, FALSE);
  for (CWnd* pane : {static_cast<CWnd*>(m_pGraphicsPane), m_pReflexionsPane, m_pPatternsPane, m_pParametersPane})
    if (auto* view = dynamic_cast<CView*>(pane)) view->OnInitialUpdate();

  const bool showPatterns = !g_pPreferences || g_pPreferences->m_ShowStructures.Get();
  const bool showParameters = !g_pPreferences || g_pPreferences->m_ShowParameters.Get();
  if (showPatterns && m_wndSplitter.m_nHidden == 0) m_wndSplitter.ShowColumn(false);
  if (!showPatterns && m_wndSplitter.m_nHidden < 0) m_wndSplitter.HideColumn(0, false);
  if (showParameters && m_pParamSplitter->m_nHidden == 1) m_pParamSplitter->ShowColumn(false);
  if (!showParameters && m_pParamSplitter->m_nHidden < 0) m_pParamSplitter->HideColumn(1, false);
  // The reflexions list opens as the General preferences say, as the other two panes do.
  const bool showReflexions = g_pPreferences && g_pPreferences->m_ShowReflexions.Get();
  if (showReflexions && m_pGraphSplitter->m_nHidden == 1) m_pGraphSplitter->ShowRow(false);
  if (!showReflexions && m_pGraphSplitter->m_nHidden < 0) m_pGraphSplitter->HideRow(1, false);
  // The panes know their sizes now (the inspector its width): lay out with them.
  ApplyPaneSizes();
}

void CDiffractWnd::ActivateFrame(int cmdShow) {
  CQlwMainFrame::ActivateFrame(cmdShow);
  ApplyPaneSizes();
}

CQlwDoc* CDiffractWnd::GetDocument() const { return m_pGraphicsPane ? m_pGraphicsPane->GetDocument() : nullptr; }

CDiffractionSettings* CDiffractWnd::GetDocSettings() {
  CQlwDoc* doc = GetDocument();
  return doc ? doc->GetSettings() : nullptr;
}

bool CDiffractWnd::HasPatterns() {
  CQlwDoc* doc = GetDocument();
  return doc && !doc->GetPatterns().empty();
}

bool CDiffractWnd::HasShownPatterns() {
  CQlwDoc* doc = GetDocument();
  return doc && doc->HasShownPatterns();
}

void CDiffractWnd::SaveWindowPlacement() {
  if (!m_hWnd || IsIconic()) return;
  CQlwMainFrame::SaveWindowPlacement();
}

void CDiffractWnd::SaveWindowState() {
  SaveWindowPlacement();
  if (g_pPreferences) g_pPreferences->SaveGroup(CLXPreferences::kGroupWindows, false);
}

CWnd* CDiffractWnd::GetFocusPane() { return m_pGraphicsPane ? static_cast<CWnd*>(m_pGraphicsPane) : this; }

HWND CDiffractWnd::PlotWindow() const {
  if (m_pGraphicsPane && m_pGraphicsPane->GetCanvas().m_hWnd) return m_pGraphicsPane->GetCanvas().m_hWnd;
  return m_hWnd;
}

void CDiffractWnd::OnSize(UINT type, int cx, int cy) {
  CQlwMainFrame::OnSize(type, cx, cy);
  if (!m_bCreated || m_bClosing || IsAppClosing()) return;
  switch (type) {
    case SIZE_RESTORED:
      if (g_pPreferences) {
        g_pPreferences->m_MainFrameMaximized.Set(false);
        RECT r{};
        GetWindowRect(&r);
        g_pPreferences->m_MainFrameRect.Set(CRect(r.left, r.top, r.right, r.bottom));
      }
      ApplyPaneSizes();
      if (!g_sizeMoveInProgress)
        CLXMsgTarget(PlotWindow(), g_msgExitSizeMove, kExitSizeMoveRestored, 0).Send(CLXMessage::kModeSync);
      break;
    case SIZE_MINIMIZED:
      if (g_pPreferences) g_pPreferences->m_MainFrameMaximized.Set(false);
      break;
    case SIZE_MAXIMIZED:
      if (g_pPreferences) g_pPreferences->m_MainFrameMaximized.Set(true);
      ApplyPaneSizes();
      CLXMsgTarget(PlotWindow(), g_msgExitSizeMove, kExitSizeMoveMaximised, 0).Send(CLXMessage::kModeSync);
      break;
    default:
      break;
  }
  RecalcLayout();
}

void CDiffractWnd::OnPaint() {
  if (m_bInPaint || m_bClosing) {
    Default();
    return;
  }
  m_bInPaint = true;
  CQlwMainFrame::OnPaint();
  if (m_bFirstPaint) {
    m_bFirstPaint = false;
    SaveWindowState();
  }
  m_bInPaint = false;
}

int CDiffractWnd::UpdatePlotRect() {
  SetPlotImage(nullptr);
  LXGraphics::CSyncRect rect;
  // Which form the area was computed in: the film's float rectangle or the pane's window one.
  uint32_t tag = LXGraphics::CSyncRect::kWindowWritten;
  const CDiffractionSettings* settings = GetDocSettings();
  if (m_pGraphicsPane && m_pGraphicsPane->m_hWnd && settings && settings->m_filmMode) {
    // A film is drawn at its own aspect inside the canvas.
    m_pGraphicsPane->GetCanvas().GetPlotRect(rect);
    tag = LXGraphics::CSyncRect::kFloatWritten;
  } else if (m_pGraphicsPane && m_pGraphicsPane->m_hWnd) {
    RECT client{};
    m_pGraphicsPane->GetClientRect(&client);
    // The pane's band of controls sits above the plot.
    client.top += GetSystemMetrics(SM_CYMENU) * 3 / 2 + 1;
    if (client.bottom < client.top) client.bottom = client.top;
    rect.m_rect = client;
    rect.m_dirty = LXGraphics::CSyncRect::kWindowWritten;
  }
  rect.Sync();
  const int width = rect.m_int.Width, height = rect.m_int.Height;
  if (width > 0 && height > 0) SetPlotImage(CreateBitmap(static_cast<UINT>(width), static_cast<UINT>(height)));
  m_plotRect = rect;
  m_plotRect.m_dirty = tag;
  return static_cast<int>(tag);
}

void CDiffractWnd::SetPlotImage(Gdiplus::Image* image) {
  if (image != m_pPlotImage) delete m_pPlotImage;
  m_pPlotImage = image;
  if (image) {
    m_plotRect.SetXYWH(0.0f, 0.0f, static_cast<float>(image->GetWidth()), static_cast<float>(image->GetHeight()));
  } else {
    m_plotRect = LXGraphics::CSyncRect();
    m_plotRect.m_dirty = LXGraphics::CSyncRect::kWindowWritten;
  }
}

LRESULT CDiffractWnd::OnCopyDataMsg(WPARAM wParam, LPARAM lParam) {
  return OnCopyData(reinterpret_cast<HWND>(wParam), reinterpret_cast<const COPYDATASTRUCT*>(lParam));
}

LRESULT CDiffractWnd::OnTandemixPending(WPARAM, LPARAM) {
  ProcessPendingRecords();
  return 0;
}

LRESULT CDiffractWnd::OnNewTool(WPARAM, LPARAM lParam) {
  const auto code = static_cast<uint32_t>(lParam);
  if (code == LXFourCC("parm")) CLXMsgMenuCmd(m_hWnd, kCmdShowParameters).Send(CLXMessage::kModeAsync);
  else if (code == LXFourCC("strc")) CLXMsgMenuCmd(m_hWnd, kCmdShowPatterns).Send(CLXMessage::kModeAsync);
  return 1;
}

LRESULT CDiffractWnd::OnSplitterDoubleClick(WPARAM, LPARAM lParam) {
  const auto* splitter = reinterpret_cast<const ST_SplitterWnd*>(lParam);
  UINT command = 0;
  if (splitter == &m_wndSplitter) command = kCmdShowPatterns;
  else if (splitter == m_pParamSplitter) command = kCmdShowParameters;
  else if (splitter == m_pGraphSplitter) command = kCmdShowReflexions;
  if (command) CLXMsgMenuCmd(m_hWnd, command).Send(CLXMessage::kModeAsync);
  return 1;
}

// ---- The document's view of the window ----------------------------------------------------

bool CDiffractWnd::GetScreenRect(LXGraphics::CSyncRect& out) const {
  if (!m_hWnd) return false;
  out.SetFromWindowRect(m_hWnd);
  return true;
}

void CDiffractWnd::MoveOnScreen(const LXGraphics::CSyncRect& rect) {
  m_bRestoredLayout = true;
  if (!m_hWnd) return;
  const RECT r{static_cast<LONG>(rect.m_float.X), static_cast<LONG>(rect.m_float.Y),
               static_cast<LONG>(rect.m_float.X + rect.m_float.Width),
               static_cast<LONG>(rect.m_float.Y + rect.m_float.Height)};
  CUtils::MoveWindowOnScreen(m_hWnd, r);
}

bool CDiffractWnd::IsPaneShown(Pane pane) const {
  switch (pane) {
    case kPaneStructures: return IsPatternsPaneShown();
    case kPaneParameters: return IsParametersPaneShown();
    case kPaneReflexions: return IsReflexionsPaneShown();
  }
  return false;
}

void CDiffractWnd::PostMenuCommand(UINT commandId) {
  if (m_hWnd) CLXMsgMenuCmd(m_hWnd, commandId).Send(CLXMessage::kModeAsync);
}

void CDiffractWnd::InvalidateAll() {
  if (m_hWnd) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}
