// The main window on real widgets: its placement, the three nested splitters and their resize
// rules, hiding and showing each column around the graph, the pane sizes kept in the
// preferences, command routing, and files dropped on it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <fstream>
#include <memory>
#include <string>
#include <utility>

#include "DiffractWnd.h"
#include "GraphicsPane.h"
#include "FileTypes.h"
#include "LXApp.h"
#include "LXDocTemplate.h"
#include "LXMessage.h"
#include "MainWindowFixture.h"
#include "ParametersPane.h"
#include "Preferences.h"
#include "QlwDoc.h"
#include "ReflexionsPane.h"
#include "TestSupport.h"
#include "WidgetApp.h"
#include "WndQt.h"

namespace {
const std::string kRutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";

RECT WindowRectOf(CWnd* w) {
  RECT r{};
  w->GetWindowRect(&r);
  return r;
}
int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

// A fresh preference store, a document on rutile and its diffraction window, shown.
class MainWindow {
 public:
  explicit MainWindow(void (*prefs)(CPreferences&) = nullptr, const char* path = kRutile.c_str()) {
    qlwtest::EnsureWidgetApp("test_mainwnd");
    InstallFileTypeRecogniser();
    CPreferences::Create(true);
    g_pPreferences->m_MainFrameRect.Set(CRect(0, 0, 1000, 600));
    if (prefs) prefs(*g_pPreferences);
    m_template = std::make_unique<CLXDocTemplate>(1030, RUNTIME_CLASS(CQlwDoc), RUNTIME_CLASS(CDiffractWnd),
                                                      RUNTIME_CLASS(CGraphicsPane));
    const CString file(path ? path : "");
    doc = dynamic_cast<CQlwDoc*>(m_template->OpenDocumentFile(path ? file.GetString() : nullptr, TRUE));
    if (!doc) return;
    wnd = dynamic_cast<CDiffractWnd*>(doc->GetDiffractWnd());
    if (!wnd) return;
    LXAppWindows::SetMainWindow(wnd->m_hWnd, true);
    wnd->SendMessage(g_msgInitialOpen, 0, 0);
    // The first paint, then the end of the first showing that it posts.
    QApplication::processEvents();
    QApplication::processEvents();
    // The window has painted once; the placement is saved only while the program is active.
    wnd->SendMessage(WM_ACTIVATEAPP, TRUE, 0);
  }
  ~MainWindow() {
    if (wnd && wnd->m_hWnd) wnd->DestroyWindow();
    LXAppWindows::SetMainWindow(nullptr, false);
    m_template.reset();
    g_silentMode = m_silent;
  }
  // Sizes the frame so that its client area is cx × cy.
  void SetClientSize(int cx, int cy) {
    RECT w = WindowRectOf(wnd), c{};
    wnd->GetClientRect(&c);
    wnd->MoveWindow(w.left, w.top, cx + Width(w) - c.right, cy + Height(w) - c.bottom);
    QApplication::processEvents();
  }
  void Command(UINT id) { wnd->SendMessage(WM_COMMAND, id, 0); }

  bool m_silent = std::exchange(g_silentMode, false);
  CQlwDoc* doc = nullptr;
  CDiffractWnd* wnd = nullptr;

 private:
  std::unique_ptr<CLXDocTemplate> m_template;
};
}  // namespace

TEST(DiffractWnd, PlacesANewWindowInTheMiddleOfTheWorkAreaAndKeepsItsMinimumSize) {
  struct Case {
    RECT work;
    RECT expected;
  } cases[] = {
      {{0, 0, 1920, 1040}, {460, 220, 1460, 820}},
      {{0, 40, 1280, 1024}, {140, 232, 1140, 832}},
      {{1920, 0, 3840, 1200}, {2380, 300, 3380, 900}},
  };
  for (const Case& c : cases) {
    const RECT r = CDiffractWnd::DefaultFrameRect(c.work);
    EXPECT_EQ(r.left, c.expected.left);
    EXPECT_EQ(r.top, c.expected.top);
    EXPECT_EQ(r.right, c.expected.right);
    EXPECT_EQ(r.bottom, c.expected.bottom);
  }
  RECT small{40, 50, 540, 250};
  CDiffractWnd::EnforceMinimumFrameSize(small);
  EXPECT_EQ(small.left, 40);
  EXPECT_EQ(small.top, 50);
  EXPECT_EQ(Width(small), 600);
  EXPECT_EQ(Height(small), 300);
}

TEST(DiffractWnd, ARectangleStoredOffTheScreensOpensOnOne) {
  // An empty window: nothing read moves it afterwards.
  MainWindow m(
      [](CPreferences& p) {
        p.m_MainFrameRect.Set(CRect(5000, 4000, 5700, 4400));
        // Not the first run, which centres the window anyway.
        p.m_FirstLaunch.Set(false);
      },
      nullptr);
  ASSERT_NE(m.wnd, nullptr);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info));
  const RECT r = WindowRectOf(m.wnd);
  // Its top left corner, and so its menu bar, is on the screen.
  const RECT& work = info.rcWork;
  EXPECT_GE(r.left, work.left);
  EXPECT_GE(r.top, work.top);
  EXPECT_LT(r.left, work.right - GetSystemMetrics(SM_CYCAPTION));
  EXPECT_LT(r.top, work.bottom - GetSystemMetrics(SM_CYCAPTION));
}

TEST(QlwMainFrame, OnlyTheFirstLaunchCentresTheWindowOnItsScreen) {
  for (const bool first : {true, false}) {
    static bool s_first;
    s_first = first;
    MainWindow m(
        [](CPreferences& p) {
          // Lower than the screen, which is narrower than the panes' minimum width.
          p.m_MainFrameRect.Set(CRect(10, 20, 1010, 420));
          p.m_FirstLaunch.Set(s_first);
        },
        nullptr);
    ASSERT_NE(m.wnd, nullptr);
    EXPECT_FALSE(g_pStore->m_FirstLaunch.Get());
    EXPECT_TRUE(m.wnd->IsWindowVisible());
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(m.wnd->m_hWnd, MONITOR_DEFAULTTOPRIMARY), &info));
    const RECT r = WindowRectOf(m.wnd);
    EXPECT_EQ(Height(r), 400);
    if (first)
      EXPECT_NEAR((r.top + r.bottom) / 2, (info.rcWork.top + info.rcWork.bottom) / 2, 1);
    else
      EXPECT_EQ(r.top, 20);
  }
}

TEST(DiffractWnd, ReflexionsShareOfTheHeightRoundsAndSavesInSinglePrecision) {
  EXPECT_EQ(CDiffractWnd::GraphRowHeight(0.25, 401), 301);
  EXPECT_EQ(CDiffractWnd::ReflexionsRelHeight(301, 401), 0.24937653541564941);
  EXPECT_EQ(CDiffractWnd::GraphRowHeight(0.3, 400), 280);
}

TEST(DiffractWnd, NestsThreeSplittersAroundTheGraph) {
  MainWindow m;
  ASSERT_NE(m.wnd, nullptr);
  CDiffractWnd& w = *m.wnd;
  EXPECT_TRUE(w.IsWindowVisible());
  EXPECT_EQ(w.GetDocument(), m.doc);
  EXPECT_EQ(w.GetDocSettings(), m.doc->GetSettings());
  // A document that took over the views of another in this window finds the window through them.
  m.doc->SetDiffractWnd(nullptr);
  EXPECT_EQ(m.doc->GetDiffractWnd(), static_cast<CQlwDocWindow*>(&w));
  EXPECT_TRUE(w.HasPatterns());
  EXPECT_FALSE(w.IsSuspended());
  EXPECT_FALSE(w.IsFirstPaintPending());

  ASSERT_NE(w.GetParamSplitter(), nullptr);
  ASSERT_NE(w.GetGraphSplitter(), nullptr);
  EXPECT_EQ(w.GetParamSplitter()->m_nLevel, 1);
  EXPECT_EQ(w.GetGraphSplitter()->m_nLevel, 2);
  EXPECT_EQ(w.GetTopSplitter().m_nResizeMode, ST_SplitterWnd::kPane1Takes);
  EXPECT_EQ(w.GetParamSplitter()->m_nResizeMode, ST_SplitterWnd::kPane0Takes);
  EXPECT_EQ(w.GetGraphSplitter()->m_nResizeMode, ST_SplitterWnd::kProportional);
  EXPECT_TRUE(w.GetParamSplitter()->m_bLocked);

  CString title;
  w.GetGraphicsPane()->GetWindowText(title);
  EXPECT_EQ(title, CString(L"Qlw Graphics Pane"));
  w.GetPatternsPane()->GetWindowText(title);
  EXPECT_EQ(title, CString(L"Qlw Patterns Pane"));
  w.GetWindowText(title);
  // A structure file opens into an untitled session.
  EXPECT_STREQ(title.GetString(), L"Untitled - Quillonographic");

  // Patterns | graph | parameters side by side; the reflexions list starts hidden.
  EXPECT_TRUE(w.IsPatternsPaneShown());
  EXPECT_TRUE(w.IsParametersPaneShown());
  EXPECT_FALSE(w.IsReflexionsPaneShown());
  const RECT patterns = WindowRectOf(w.GetPatternsPane());
  const RECT graph = WindowRectOf(w.GetGraphicsPane());
  const RECT parameters = WindowRectOf(w.GetParametersPane());
  EXPECT_LT(patterns.right, graph.left);
  EXPECT_LT(graph.right, parameters.left);
  EXPECT_EQ(Width(patterns), g_pPreferences->m_StructuresWinWidth.Get());
  EXPECT_EQ(Width(parameters), dynamic_cast<CParametersPane&>(*w.GetParametersPane()).m_nContentWidth);
  EXPECT_FALSE(w.GetReflexionsPane()->IsWindowVisible());

  // The plot area is the graphics pane less the band of its controls, with a bitmap of its size.
  EXPECT_EQ(w.UpdatePlotRect(), static_cast<int>(LXGraphics::CSyncRect::kWindowWritten));
  RECT pane{};
  w.GetGraphicsPane()->GetClientRect(&pane);
  EXPECT_EQ(w.GetPlotRect().m_int.Width, pane.right);
  EXPECT_EQ(w.GetPlotRect().m_int.Height, pane.bottom - (GetSystemMetrics(SM_CYMENU) * 3 / 2 + 1));
  ASSERT_NE(w.m_pPlotImage, nullptr);
  EXPECT_EQ(static_cast<int>(w.m_pPlotImage->GetWidth()), pane.right);

  // A wider window widens the graph alone.
  RECT client{};
  w.GetClientRect(&client);
  m.SetClientSize(client.right + 100, client.bottom);
  EXPECT_EQ(Width(WindowRectOf(w.GetGraphicsPane())), Width(graph) + 100);
  EXPECT_EQ(Width(WindowRectOf(w.GetPatternsPane())), Width(patterns));
  EXPECT_EQ(Width(WindowRectOf(w.GetParametersPane())), Width(parameters));
}

// The inspector's column is as wide as the inspector wants, and it stays shown at every width the
// window allows, also when the window opens at its least width.
TEST(DiffractWnd, TheInspectorColumnKeepsItsWidthAtEveryWidthTheWindowAllows) {
  int least = 0;
  auto check = [&least](MainWindow& m, const char* what) {
    SCOPED_TRACE(what);
    CDiffractWnd& w = *m.wnd;
    const auto& host = dynamic_cast<CParametersPane&>(*w.GetParametersPane());
    ASSERT_TRUE(w.IsParametersPaneShown());
    EXPECT_TRUE(w.IsPatternsPaneShown());
    const RECT inspector = WindowRectOf(w.GetParametersPane()), graph = WindowRectOf(w.GetGraphicsPane());
    EXPECT_EQ(Width(inspector), host.m_nContentWidth);
    EXPECT_TRUE(w.GetParametersPane()->IsWindowVisible());
    // Inside its splitter, right of the graph, which keeps at least its own least width.
    RECT inside = w.GetParamSplitter()->GetInsideRect();
    w.GetParamSplitter()->ClientToScreen(&inside);
    EXPECT_LE(inspector.right, inside.right);
    EXPECT_LT(graph.right, inspector.left);
    SIZE graphMin{};
    w.GetGraphicsPane()->GetMinSize(graphMin);
    EXPECT_GE(Width(graph), graphMin.cx - 2);
  };
  {
    MainWindow m;
    ASSERT_NE(m.wnd, nullptr);
    MINMAXINFO limits{};
    m.wnd->SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    least = limits.ptMinTrackSize.x;
    const int inspector = dynamic_cast<CParametersPane&>(*m.wnd->GetParametersPane()).m_nContentWidth;
    EXPECT_EQ(least, 600 + inspector + 3 + 120 + 3);
    // The window's first size is one it allows.
    EXPECT_LE(least, 1000);
    check(m, "as opened");
    for (int width : {least, 1100, 1000}) {
      RECT r = WindowRectOf(m.wnd);
      m.wnd->MoveWindow(r.left, r.top, width, 650);
      QApplication::processEvents();
      ASSERT_EQ(Width(WindowRectOf(m.wnd)), width);
      check(m, std::to_string(width).c_str());
    }
  }
  static int s_least = 0;
  s_least = least;
  MainWindow narrow([](CPreferences& p) { p.m_MainFrameRect.Set(CRect(0, 0, s_least, 600)); });
  ASSERT_NE(narrow.wnd, nullptr);
  check(narrow, "opened at its least width");
}

TEST(DiffractWnd, HidingAndShowingEachColumnKeepsTheGraph) {
  MainWindow m;
  ASSERT_NE(m.wnd, nullptr);
  CDiffractWnd& w = *m.wnd;
  struct Case {
    UINT command;
    bool (CDiffractWnd::*shown)() const;
    CWnd* (CDiffractWnd::*pane)() const;
    CPrefScalar<bool> CPreferences::*pref;
    bool widthChanges;
  } cases[] = {
      {CDiffractWnd::kCmdShowPatterns, &CDiffractWnd::IsPatternsPaneShown, &CDiffractWnd::GetPatternsPane,
       &CPreferences::m_ShowStructures, true},
      {CDiffractWnd::kCmdShowParameters, &CDiffractWnd::IsParametersPaneShown, &CDiffractWnd::GetParametersPane,
       &CPreferences::m_ShowParameters, true},
      {CDiffractWnd::kCmdShowReflexions, &CDiffractWnd::IsReflexionsPaneShown, &CDiffractWnd::GetReflexionsPane,
       &CPreferences::m_ShowReflexions, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    const bool before = (w.*c.shown)();
    const RECT graphBefore = WindowRectOf(w.GetGraphicsPane());
    m.Command(c.command);
    QApplication::processEvents();
    EXPECT_NE((w.*c.shown)(), before);
    EXPECT_EQ(((w.*c.pane)()->IsWindowVisible() != FALSE), !before);
    EXPECT_EQ((g_pPreferences->*c.pref).Get(), !before);
    EXPECT_TRUE(w.GetGraphicsPane()->IsWindowVisible());
    const RECT graphAfter = WindowRectOf(w.GetGraphicsPane());
    if (c.widthChanges) {
      EXPECT_EQ(Width(graphAfter) > Width(graphBefore), before);
      EXPECT_EQ(Height(graphAfter), Height(graphBefore));
    } else {
      EXPECT_EQ(Height(graphAfter) > Height(graphBefore), before);
      EXPECT_EQ(Width(graphAfter), Width(graphBefore));
    }
    m.Command(c.command);
    QApplication::processEvents();
    EXPECT_EQ((w.*c.shown)(), before);
    const RECT graphBack = WindowRectOf(w.GetGraphicsPane());
    EXPECT_EQ(Width(graphBack), Width(graphBefore));
    EXPECT_EQ(Height(graphBack), Height(graphBefore));
  }
}

// The least width follows the panes as they are hidden and shown, not only at the next start:
// without both side panes the window narrows to the graph's own least width.
TEST(DiffractWnd, TheLeastWidthFollowsThePanes) {
  MainWindow m;
  ASSERT_NE(m.wnd, nullptr);
  CDiffractWnd& w = *m.wnd;
  auto leastWidth = [&w] {
    const RECT r = WindowRectOf(&w);
    w.MoveWindow(r.left, r.top, 100, 650);
    QApplication::processEvents();
    return Width(WindowRectOf(&w));
  };
  SIZE graph{};
  w.GetGraphicsPane()->GetMinSize(graph);
  const int bare = std::max<int>(600, graph.cx);
  const int full = leastWidth();
  EXPECT_GT(full, bare + 200);
  m.Command(CDiffractWnd::kCmdShowPatterns);
  m.Command(CDiffractWnd::kCmdShowParameters);
  QApplication::processEvents();
  EXPECT_EQ(leastWidth(), bare);
  // Shown again, the panes widen the window back to what they need.
  m.Command(CDiffractWnd::kCmdShowPatterns);
  m.Command(CDiffractWnd::kCmdShowParameters);
  QApplication::processEvents();
  EXPECT_TRUE(w.IsPatternsPaneShown());
  EXPECT_TRUE(w.IsParametersPaneShown());
  EXPECT_EQ(Width(WindowRectOf(&w)), full);
  EXPECT_EQ(leastWidth(), full);
}

TEST(DiffractWnd, LayoutCommandsSayWhatTheyWillDo) {
  MainWindow m;
  ASSERT_NE(m.wnd, nullptr);
  struct TextUI : CCmdUI {
    CString text;
    bool enabled = false;
    void Enable(BOOL on) override {
      enabled = on != FALSE;
      m_bEnableChanged = TRUE;
    }
    void SetText(LPCWSTR t) override { text = t; }
  };
  auto ask = [&](UINT id) {
    TextUI ui;
    ui.m_nID = id;
    ui.DoUpdate(m.wnd, TRUE);
    return ui;
  };
  EXPECT_EQ(ask(CDiffractWnd::kCmdShowPatterns).text, CString(L"Hide Patterns List"));
  EXPECT_EQ(ask(CDiffractWnd::kCmdShowReflexions).text, CString(L"Show Reflexions List"));
  m.Command(CDiffractWnd::kCmdShowParameters);
  const TextUI parameters = ask(CDiffractWnd::kCmdShowParameters);
  EXPECT_TRUE(parameters.enabled);
  EXPECT_EQ(parameters.text, CString(L"Show Parameters List"));
  EXPECT_EQ(ask(CDiffractWnd::kCmdMaximiseWindow).text, CString(L"Maximise Window"));
}

TEST(DiffractWnd, PaneSizesComeFromAndGoBackToThePreferences) {
  MainWindow m([](CPreferences& p) {
    p.m_StructuresWinWidth.Set(260);
    p.m_ShowParameters.Set(false);
    p.m_ReflexionsRelHeight.Set(0.25);
  });
  ASSERT_NE(m.wnd, nullptr);
  CDiffractWnd& w = *m.wnd;
  EXPECT_EQ(Width(WindowRectOf(w.GetPatternsPane())), 260);
  EXPECT_FALSE(w.IsParametersPaneShown());
  // Building the window stored nothing of its own.
  EXPECT_FALSE(g_pPreferences->m_ShowParameters.Get());
  EXPECT_FALSE(g_pPreferences->m_ShowReflexions.Get());
  EXPECT_EQ(g_pPreferences->m_ReflexionsRelHeight.Get(), 0.25);
  // Without the parameters pane the window may be narrower by its width and bar.
  MINMAXINFO limits{};
  w.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  EXPECT_EQ(limits.ptMinTrackSize.x, 600 + 120 + 3);
  EXPECT_EQ(limits.ptMinTrackSize.y, 300);

  // Dragging the patterns bar stores the new width.
  w.GetTopSplitter().StartTracking();
  w.GetTopSplitter().TrackColumnSize(300, 0);
  w.GetTopSplitter().StopTracking();
  QApplication::processEvents();
  EXPECT_EQ(Width(WindowRectOf(w.GetPatternsPane())), 300);
  EXPECT_EQ(g_pPreferences->m_StructuresWinWidth.Get(), 300);

  // With the reflexions list shown on a 401-pixel splitter, a quarter of it goes to the list.
  m.Command(CDiffractWnd::kCmdShowReflexions);
  ST_SplitterWnd& b = *w.GetGraphSplitter();
  RECT bClient{}, client{};
  b.GetClientRect(&bClient);
  w.GetClientRect(&client);
  m.SetClientSize(client.right, client.bottom + 401 - bClient.bottom);
  b.GetClientRect(&bClient);
  ASSERT_EQ(bClient.bottom, 401);
  g_pPreferences->m_ReflexionsRelHeight.Set(0.25);
  w.ApplyPaneSizes();
  EXPECT_EQ(Height(WindowRectOf(w.GetGraphicsPane())), 301);
  EXPECT_EQ(g_pPreferences->m_ReflexionsRelHeight.Get(), 0.24937653541564941);
  EXPECT_TRUE(g_pPreferences->m_ShowReflexions.Get());

}

TEST(DiffractWnd, RoutesCommandsToItsVisiblePanesAndTogglesOnADoubleClick) {
  MainWindow m;
  ASSERT_NE(m.wnd, nullptr);
  CDiffractWnd& w = *m.wnd;
  // Printing belongs to the graphics pane; the window itself only says where it goes.
  AFX_CMDHANDLERINFO info{};
  EXPECT_TRUE(w.OnCmdMsg(57607, CN_COMMAND, nullptr, &info));
  EXPECT_EQ(info.pTarget, static_cast<CCmdTarget*>(w.GetGraphicsPane()));
  info = AFX_CMDHANDLERINFO{};
  EXPECT_TRUE(w.OnCmdMsg(CDiffractWnd::kCmdShowPatterns, CN_COMMAND, nullptr, &info));
  EXPECT_EQ(info.pTarget, static_cast<CCmdTarget*>(&w));

  // A double click on a splitter's bar toggles that splitter's pane, as the layout commands do.
  ASSERT_FALSE(w.IsReflexionsPaneShown());
  w.SendMessage(g_msgSplitterDoubleClick, 0, reinterpret_cast<LPARAM>(w.GetGraphSplitter()));
  QApplication::processEvents();
  EXPECT_TRUE(w.IsReflexionsPaneShown());
  w.SendMessage(g_msgNewTool, 0, static_cast<LPARAM>(LXFourCC("strc")));
  QApplication::processEvents();
  EXPECT_FALSE(w.IsPatternsPaneShown());
}

TEST(DiffractWnd, QueuesLiveLinkRecordsAndHandlesThemFromItsOwnLoop) {
  MainWindow m;
  ASSERT_NE(m.wnd, nullptr);
  CDiffractWnd& w = *m.wnd;
  CTandemixRecord record;
  record.code = CTandemixRecord::kInit;
  COPYDATASTRUCT data{0, sizeof record, &record};
  EXPECT_EQ(w.SendMessage(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), 1);
  EXPECT_EQ(w.GetQueuedCount(), 1u);
  QApplication::processEvents();
  EXPECT_EQ(w.GetQueuedCount(), 0u) << "\"TandemixPending\" handled the record";
  COPYDATASTRUCT torn{0, sizeof record - 1, &record};
  EXPECT_EQ(w.SendMessage(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&torn)), 0);
}

TEST(DiffractWnd, SavesThePlacementOnlyOnceShownAndActive) {
  MainWindow m;
  ASSERT_NE(m.wnd, nullptr);
  CDiffractWnd& w = *m.wnd;
  w.MoveWindow(30, 40, 1100, 650);
  QApplication::processEvents();
  const CRect saved = g_pPreferences->m_MainFrameRect.Get();
  EXPECT_EQ(saved.left, 30);
  EXPECT_EQ(saved.top, 40);
  EXPECT_EQ(saved.Width(), 1100);
  EXPECT_EQ(saved.Height(), 650);
  // Narrower than its panes' minimums the window does not go: graph, parameters and patterns.
  w.MoveWindow(30, 40, 700, 650);
  QApplication::processEvents();
  EXPECT_EQ(Width(WindowRectOf(&w)),
            600 + dynamic_cast<CParametersPane&>(*w.GetParametersPane()).m_nContentWidth + 3 + 120 + 3);
  EXPECT_FALSE(g_pPreferences->m_MainFrameMaximized.Get());
  // The store's window save takes the placement from the main window.
  w.MoveWindow(50, 60, 1100, 650);
  g_pPreferences->m_MainFrameRect.Set(CRect(1, 2, 3, 4));
  g_pPreferences->SaveAllWindowStates();
  EXPECT_EQ(g_pPreferences->m_MainFrameRect.Get(), CRect(50, 60, 1150, 710));

  // Inactive, the window leaves the stored rectangle alone.
  g_pPreferences->m_MainFrameRect.Set(CRect(1, 2, 3, 4));
  w.SendMessage(WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_FALSE(w.IsAppActive());
  w.SaveWindowPlacement();
  EXPECT_EQ(g_pPreferences->m_MainFrameRect.Get(), CRect(1, 2, 3, 4));
}

TEST(DiffractWnd, TakesFilesDroppedOnItForTheApplication) {
  MainWindow m;
  ASSERT_NE(m.wnd, nullptr);
  QWidget* widget = qlw::WidgetOf(m.wnd->m_hWnd);
  ASSERT_NE(widget, nullptr);
  EXPECT_TRUE(widget->acceptDrops());
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(kRutile))});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &drop);
  EXPECT_TRUE(drop.isAccepted());
  MSG msg{};
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, g_msgOpenDocumentFiles, g_msgOpenDocumentFiles, PM_REMOVE));
  std::unique_ptr<std::vector<CString>> list(reinterpret_cast<std::vector<CString>*>(msg.lParam));
  ASSERT_EQ(list->size(), 1u);
  EXPECT_EQ((*list)[0], CString(kRutile.c_str()));
}

namespace {
// A top-level window of the thread that hears "MainFrameActivate".
class ActivationListener : public CWnd {
 public:
  std::vector<LPARAM> heard;
  LRESULT OnActivate(WPARAM, LPARAM lParam) {
    heard.push_back(lParam);
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ActivationListener, CWnd)
  ON_REGISTERED_MESSAGE(g_msgMainFrameActivateSync, &ActivationListener::OnActivate)
END_MESSAGE_MAP()
}  // namespace

TEST(QlwMainFrame, AnswersItsInstanceQuestionsAndTellsOfMinimisingAndRestoring) {
  MainWindow m;
  ASSERT_NE(m.wnd, nullptr);
  CDiffractWnd& w = *m.wnd;
  EXPECT_EQ(static_cast<UINT>(w.SendMessage(g_msgAreYouMe, 0, 0)), g_msgAreYouMe);
  EXPECT_EQ(w.SendMessage(g_msgHasEmptyWindow, 0, 0), 0) << "the window holds rutile";

  ActivationListener listener;
  ASSERT_TRUE(listener.CreateEx(0, nullptr, L"listener", WS_OVERLAPPED, RECT{0, 0, 10, 10}, nullptr, 0));
  w.SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(w.IsIconic());
  w.SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
  w.SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  EXPECT_EQ(listener.heard, (std::vector<LPARAM>{0, 1, 1}));
  QApplication::processEvents();
  EXPECT_TRUE(g_pPreferences->m_MainFrameMaximized.Get());
  listener.DestroyWindow();
}

TEST(QlwMainFrame, StaysActiveWhileAWindowOfItsOwnThreadTakesTheFocus) {
  MainWindow m;
  ASSERT_NE(m.wnd, nullptr);
  CDiffractWnd& w = *m.wnd;
  w.SendMessage(WM_ACTIVATEAPP, FALSE, static_cast<LPARAM>(GetCurrentThreadId()));
  EXPECT_TRUE(w.IsAppActive()) << "a palette of the program took the activation";
  w.SendMessage(WM_ACTIVATEAPP, FALSE, static_cast<LPARAM>(GetCurrentThreadId() + 1));
  EXPECT_FALSE(w.IsAppActive()) << "another program took it";
  w.SendMessage(WM_ACTIVATEAPP, TRUE, 0);
  EXPECT_TRUE(w.IsAppActive());
}

TEST(QlwMainFrame, LogsTheReadersWarningsAndAFileAddedWithThemGivesOneAlert) {
  MainWindow m;
  ASSERT_NE(m.wnd, nullptr);
  const std::string path = qlwtest::ScratchDir() + "/frame-lacking-z.lxtx";
  std::ofstream(path) << "TITL  rutile\nCELL  4.5937 4.5937 2.9587  90 90 90\nSPGR  P 42/m n m\nATOM\n"
                         "Ti  Ti1  0 0 0\nO  O1  0.3048 0.3048\n";
  qlwtest::AlertRecorder alerts;
  m.doc->AddFilesFromDrop({CString(path.c_str())});
  ASSERT_EQ(alerts.Messages().size(), 1u);
  EXPECT_NE(alerts.Messages()[0].find(path), std::string::npos);
  ASSERT_EQ(m.wnd->GetLog().size(), 1u);
  const LXLogLine& line = m.wnd->GetLog().front();
  EXPECT_TRUE(line.coloured);
  EXPECT_EQ(line.argb, 0xFFFF0000u);
  EXPECT_NE(line.text.ToUtf8().find("discarding site 'O1'"), std::string::npos);
}

// Last in the file: the program counts as closing from here on in this process.
TEST(QlwMainFrame, ClosingWritesThePlacementToTheStore) {
  CLXApp app;  // the program's closing is its application's: it must not outlive this test
  MainWindow m;
  ASSERT_NE(m.wnd, nullptr);
  m.wnd->MoveWindow(70, 80, 1120, 660);
  QApplication::processEvents();
  m.doc->SetModifiedFlag(FALSE);
  m.wnd->SendMessage(WM_CLOSE, 0, 0);
  m.wnd = nullptr;  // the frame deletes itself with its window
  EXPECT_TRUE(CQlwMainFrame::IsAppClosing());
  // The registry holds the window's last place.
  g_pPreferences->m_MainFrameRect.Set(CRect(0, 0, 0, 0));
  EXPECT_EQ(g_pPreferences->m_MainFrameRect.Read(), CPrefValue::kReadOK);
  EXPECT_EQ(g_pPreferences->m_MainFrameRect.Get(), CRect(70, 80, 1190, 740));
}

TEST(DiffractWnd, FileAssociationsAskTheChooserWithAnEmptyList) {
  MainWindow m;
  ASSERT_NE(m.wnd, nullptr);
  CLXApp app;
  static std::vector<std::vector<uint32_t>> asked;
  asked.clear();
  CLXApp::SetFileTypeChooser([](std::vector<uint32_t>& types) {
    asked.push_back(types);
    return false;  // the user cancels: nothing is registered
  });
  m.Command(33368);
  CLXApp::SetFileTypeChooser(nullptr);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_TRUE(asked[0].empty());
}

// The reflexions list's position column is wide enough for the title of every x-axis unit and the
// sort mark beside it, not only for "2θ", which it is first made with.
TEST(DiffractWnd, ReflexionsPositionTitleFitsEveryUnit) {
  MainWindow m;
  ASSERT_NE(m.wnd, nullptr);
  m.Command(CDiffractWnd::kCmdShowReflexions);
  QApplication::processEvents();
  auto* pane = dynamic_cast<CReflexionsPane*>(m.wnd->GetReflexionsPane());
  ASSERT_NE(pane, nullptr);
  CReflList& list = pane->GetList();
  const struct {
    LXTypes::QLSimulationType instrument;
    LXTypes::QLAxisType axis;
  } units[] = {{LXTypes::kSimXRays, LXTypes::kAxisDSpacing},         {LXTypes::kSimXRays, LXTypes::kAxisInverseD},
               {LXTypes::kSimXRays, LXTypes::kAxisTwoPiOverD},       {LXTypes::kSimXRays, LXTypes::kAxis2Theta},
               {LXTypes::kSimTimeOfFlight, LXTypes::kAxisTimeOfFlight}, {LXTypes::kSimEnergyDispersive, LXTypes::kAxisEnergy}};
  for (const auto& unit : units) {
    m.doc->SetSimulationType(unit.instrument);
    m.doc->SetAxisType(unit.axis);
    QApplication::processEvents();
    wchar_t text[64] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = text;
    column.cchTextMax = 63;
    list.SendMessage(LVM_GETCOLUMNW, CReflexionsPane::kPositionColumn, reinterpret_cast<LPARAM>(&column));
    SCOPED_TRACE(CString(text).ToUtf8());
    CDC* dc = list.GetDC();
    ASSERT_NE(dc, nullptr);
    CGdiObject* old = dc->SelectObject(list.GetFont());
    const int need = dc->GetTextExtent(text).cx;
    if (old) dc->SelectObject(old);
    list.ReleaseDC(dc);
    // The cell's 5-pixel insets and a sort mark of at least 8 pixels.
    EXPECT_GE(list.SendMessage(LVM_GETCOLUMNWIDTH, CReflexionsPane::kPositionColumn, 0), need + 18);
  }
}
