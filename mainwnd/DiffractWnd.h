// CDiffractWnd: the program's one top-level window, paired with the document by the session
// template. It arranges the panes in three nested splitters, keeps their sizes and visibility in
// the preferences, routes commands to the visible panes and hosts the live link. Layout and pane
// sizes are in DiffractWndLayout.cpp, command routing in DiffractWndCommands.cpp, copy, export and
// the plot font in DiffractWndGraphics.cpp, the hand-over to the visualiser in VisualiserHandOver.cpp.
#pragma once
#include "GdiPlus.h"
#include "GraphicsPane.h"
#include "QlwDocView.h"
#include "QlwMainFrame.h"
#include "STSplitterWnd.h"
#include "TandemixHelper.h"

#include <memory>

class CDiffractionSettings;
class CQlwDoc;
class CLXAppDropTarget;
class CControlBar;
class CLoupe;

class CDiffractWnd : public CQlwMainFrame, public CTandemixHelper, public CQlwDocWindow {
  DECLARE_DYNCREATE(CDiffractWnd)
 public:
  static constexpr int kMinFrameWidth = 600;
  static constexpr int kMinFrameHeight = 300;
  static constexpr int kDefaultParametersWidth = 200;
  // The layout commands.
  static constexpr UINT kCmdShowParameters = 33586;
  static constexpr UINT kCmdShowReflexions = 33589;
  static constexpr UINT kCmdShowPatterns = 33591;
  static constexpr UINT kCmdMinimiseWindow = 33768;
  static constexpr UINT kCmdMaximiseWindow = 33772;

  // What the Export Graphics dialog hands back: how to render and the file type offered first.
  struct GraphicsExportChoice {
    CImagingPane::RenderRequest request;
    UINT fileType = 54;
  };
  // Runs the Export Graphics dialog for a plot of width × height pixels; IDOK with the choice set.
  using GraphicsExportDialog = INT_PTR (*)(CWnd* parent, int width, int height, GraphicsExportChoice& choice);
  // The dialog's own code installs it; until then the command reports that it is not implemented.
  static void SetGraphicsExportDialog(GraphicsExportDialog dialog);

  CDiffractWnd();
  ~CDiffractWnd() override;

  // The window before creation: 1000 × 600 centred in the work area when nothing is stored, at
  // least 600 × 300 (the right or bottom edge moves). FitToMonitor is left to the caller.
  static RECT DefaultFrameRect(const RECT& workArea);
  static void EnforceMinimumFrameSize(RECT& rect);
  // The graphics row's height for a relative reflexions height on splitter B's client height.
  static int GraphRowHeight(double reflexionsRelHeight, int clientHeight);
  // The relative reflexions height saved for a graphics row on splitter B's client height.
  static double ReflexionsRelHeight(int graphRowHeight, int clientHeight);

  BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
  BOOL OnCreateClient(LPCREATESTRUCT cs, CCreateContext* context) override;
  void ActivateFrame(int cmdShow = -1) override;
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

  CQlwDoc* GetDocument() const;
  // The window's one loupe over the plot, made hidden on first use (null without a plot canvas).
  std::shared_ptr<CLoupe> GetOrCreateLoupe();
  // The loupe when one was made (null before the first Show Loupe).
  const std::shared_ptr<CLoupe>& GetLoupe() const { return m_pLoupe; }
  void ToggleLoupe() override;
  bool IsLoupeVisible() const override;
  // Null while the document is closing.
  CDiffractionSettings* GetDocSettings() override;
  bool HasPatterns() override;
  bool IsEmptyWindow() override { return !HasPatterns(); }
  void SaveWindowPlacement() override;
  // The preferences were saved: the panes are shown as they now say.
  void OnOptionsApplied(WPARAM, LPARAM) override;
  bool HasShownPatterns();

  ST_SplitterWnd* ApplyPaneSizes();
  int UpdatePlotRect() override;
  const LXGraphics::CSyncRect& GetPlotRect() const override { return m_plotRect; }
  void SetPlotImage(Gdiplus::Image* image);
  void TogglePatternsPane();
  void ToggleParametersPane();
  void ToggleReflexionsPane();

  // The plot as a bitmap of its own size on the clipboard; a failure is reported here.
  void CopyGraphics();
  // The Export Graphics dialog, then the save dialog, then the image written to the chosen file.
  void ExportGraphics();
  // Renders the plot as the choice asks and writes it to path: SVG for type 45, else a bitmap
  // through the encoder of the path's extension. A failed write is reported and its partial file
  // removed; a render that gives no image throws CLXXCopyGrfxNoBitmap.
  void SaveGraphics(const GraphicsExportChoice& choice, UINT fileType, const CString& path);
  // The font dialog on the plot font; on OK the patterns are recomputed and the plot redrawn.
  void ChooseFont();
  // The command bar that routing offers commands after the panes; null while the window has none.
  CControlBar* GetToolbar() const { return m_pToolbar; }
  void SetToolbar(CControlBar* toolbar) { m_pToolbar = toolbar; }

  // Which panes show: the splitter exists and its pane is not the hidden one.
  bool IsPatternsPaneShown() const;
  bool IsParametersPaneShown() const;
  bool IsReflexionsPaneShown() const;

  ST_SplitterWnd& GetTopSplitter() { return m_wndSplitter; }
  ST_SplitterWnd* GetParamSplitter() const { return m_pParamSplitter; }
  ST_SplitterWnd* GetGraphSplitter() const { return m_pGraphSplitter; }
  CGraphicsPane* GetGraphicsPane() const { return m_pGraphicsPane; }
  CWnd* GetParametersPane() const { return m_pParametersPane; }
  CWnd* GetPatternsPane() const { return m_pPatternsPane; }
  CWnd* GetReflexionsPane() const { return m_pReflexionsPane; }

  // The document's side of the window (CQlwDocWindow).
  HWND GetSafeHwnd() const override { return m_hWnd; }
  bool HasRestoredLayout() const override { return m_bRestoredLayout; }
  bool GetScreenRect(LXGraphics::CSyncRect& out) const override;
  void MoveOnScreen(const LXGraphics::CSyncRect& rect) override;
  bool IsPaneShown(Pane pane) const override;
  void PostMenuCommand(UINT commandId) override;
  int GetParametersTab() const override;
  void SelectParametersTab(int tab) override;
  void CloseInspectorPanes() override;
  void DisclosePane(const CString& header) override;
  void GetOpenPaneNames(std::list<CString>& out) const override;
  void InvalidateAll() override;
  // The document's dialogs (DiffractWndDialogs.cpp).
  INT_PTR RunEditCrystal(CQLCrystal& crystal) override;
  INT_PTR RunEditData(CQLProfile& points) override;
  INT_PTR RunFindPeak(double& h, double& k, double& l) override;
  INT_PTR RunPeakWidth(double& width) override;
  INT_PTR RunSettingsDialog(SettingsDialog dialog, CQlwDoc& document) override;
  INT_PTR RunScaleX(double& factor) override;
  void ShowScroller(bool restart) override {
    if (m_pGraphicsPane) m_pGraphicsPane->GetCanvas().ShowScroller(restart);
  }

  ST_SplitterWnd m_wndSplitter{0};
  ST_SplitterWnd* m_pParamSplitter = nullptr;
  ST_SplitterWnd* m_pGraphSplitter = nullptr;
  CGraphicsPane* m_pGraphicsPane = nullptr;
  CWnd* m_pParametersPane = nullptr;
  CWnd* m_pPatternsPane = nullptr;
  CWnd* m_pReflexionsPane = nullptr;
  Gdiplus::Image* m_pPlotImage = nullptr;
  LXGraphics::CSyncRect m_plotRect;
  bool m_bFirstPaint = true;
  bool m_bInPaint = false;
  bool m_bInLayout = false;

 protected:
  HWND GetHelperWindow() const override { return m_hWnd; }
  CWnd* GetFocusPane() override;
  // Writes the placement and, when changed, the window-layout group of the preferences.
  void SaveWindowState();
  void BuildClient(CCreateContext* context);
  SIZE GraphicsMinSize() const;
  SIZE PatternsMinSize() const;
  SIZE ReflexionsMinSize() const;
  int ParametersWidth() const;
  // The window whose "ExitSizeMove" tells the plot a size change is over.
  HWND PlotWindow() const;
  void AfterToggle(CWnd* shownPane, bool shown, CWnd* toInvalidate);
  // The least window width with the side columns as given.
  int LeastWidth(bool patternsShown, bool parametersShown) const;
  // Widens the window to the least width that the columns about to be shown need: a splitter
  // would hide at once a column shown without room for it.
  void WidenForColumns(bool patternsShown, bool parametersShown);

  int OnCreate(LPCREATESTRUCT cs);
  void OnDestroy();
  void OnGetMinMaxInfo(MINMAXINFO* info);
  void OnSize(UINT type, int cx, int cy);
  void OnPaint();
  LRESULT OnCopyDataMsg(WPARAM wParam, LPARAM lParam);
  LRESULT OnNewTool(WPARAM, LPARAM lParam);
  LRESULT OnSplitterDoubleClick(WPARAM, LPARAM lParam);
  LRESULT OnSplitterRecalcLayout(WPARAM, LPARAM lParam);
  LRESULT OnTandemixPending(WPARAM, LPARAM);
  BOOL OnWindowCommand(UINT id);
  void OnUpdateWindowCommand(CCmdUI* ui);
  BOOL OnPrintCommand(UINT id);
  void ToggleToolbar();
  DECLARE_MESSAGE_MAP()

 private:
  bool m_bRestoredLayout = false;
  bool m_bParametersLaidOut = false;
  CLXAppDropTarget* m_pDropTarget = nullptr;
  CControlBar* m_pToolbar = nullptr;  // owned
  std::shared_ptr<CLoupe> m_pLoupe;
};
