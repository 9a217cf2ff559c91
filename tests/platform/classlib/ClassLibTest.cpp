// The class library on real widgets: message maps, command routing with CCmdUI, menus and
// accelerators from resource texts, a dialog from a template with data exchange, a report list
// with owner data, and drawing done outside a paint.
#include <gtest/gtest.h>

#include <QApplication>
#include <QAbstractButton>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QProgressBar>
#include <QTabBar>
#include <QToolButton>
#include <QToolTip>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWidget>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "ControlWnds.h"
#include "WidgetApp.h"
#include "AfxApp.h"
#include "Dialog.h"
#include "Frame.h"
#include "Paint.h"
#include "ResourceText.h"
#include "WndQt.h"

namespace {
void EnsureApp() { qlwtest::EnsureWidgetApp("test_classlib"); }

void Pump() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

// A registered id, set by a dynamic initialiser like the program's own.
UINT g_pingMessage = RegisterWindowMessageW(L"QlwClassLibTestPing");

const char kResources[] = R"(
MENU 7100
  POPUP "&File"
    ITEM 7101 "&Open...\tCtrl+O"
    ITEM 7102 "&Save\tCtrl+S"
    SEPARATOR
    ITEM 7103 "&Unhandled"
  END
  POPUP "&View"
    ITEM 7104 "Show &Grid"
  END
END
ACCELERATORS 7100
  7101 "Ctrl+O"
  7101 "Ctrl+]"
  7102 "Ctrl+S"
END
DIALOG 7200 "Sample Settings"
  ROW
    LABEL -1 "Name:"
    EDIT 7201 ""
  END
  ROW
    LABEL -1 "Count:"
    EDIT 7202 ""
  END
  CHECKBOX 7203 "Show grid"
  DROPLIST 7204 ""
  RADIO 7205 "X-rays" GROUP
  RADIO 7206 "Neutrons"
  BUTTON 1 "OK" DEFAULT
  BUTTON 2 "Cancel"
END
)";

void EnsureResources() {
  static bool done = false;
  if (done) return;
  std::string error;
  ASSERT_TRUE(qlw::AddResourceText(kResources, &error)) << error;
  done = true;
}

class ProbeWnd : public CWnd {
 public:
  std::vector<std::string> log;
  CPoint lastDown;
  CSize lastSize;
  UINT lastKey = 0;

  void OnLButtonDown(UINT, CPoint p) {
    lastDown = p;
    log.push_back("down");
    SetCapture();
  }
  void OnLButtonUp(UINT, CPoint) { log.push_back("up"); }
  void OnSize(UINT, int cx, int cy) { lastSize = CSize(cx, cy); }
  void OnKeyDown(UINT key, UINT, UINT) { lastKey = key; }
  LRESULT OnPing(WPARAM w, LPARAM l) { return static_cast<LRESULT>(w + l); }
  void OnActivate(UINT state, CWnd*, BOOL) { log.push_back(state == WA_INACTIVE ? "inactive" : "active"); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ProbeWnd, CWnd)
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_SIZE()
ON_WM_KEYDOWN()
ON_WM_ACTIVATE()
ON_REGISTERED_MESSAGE(g_pingMessage, &ProbeWnd::OnPing)
END_MESSAGE_MAP()

QWidget* Widget(const CWnd& w) { return qlw::WidgetOf(w.m_hWnd); }
}  // namespace

TEST(ClassLibMessages, QtEventsReachTheMapAsWindowMessages) {
  EnsureApp();
  ProbeWnd top;
  ASSERT_TRUE(top.CreateEx(0, nullptr, L"Probe", WS_OVERLAPPEDWINDOW, CRect(10, 10, 310, 210), nullptr, 0));
  top.ShowWindow(SW_SHOW);
  Pump();
  // A move through the platform announces the client size at once.
  top.MoveWindow(10, 10, 400, 300);
  EXPECT_EQ(top.lastSize, CSize(400, 300));

  // A child window: the click arrives in its own client coordinates, and the capture it takes on
  // the press keeps the release with it even when the mouse is released over its parent.
  ProbeWnd child;
  ASSERT_TRUE(child.Create(nullptr, L"", WS_VISIBLE, CRect(50, 40, 150, 140), &top, 5));
  Pump();
  QTest::mousePress(Widget(child), Qt::LeftButton, Qt::NoModifier, QPoint(7, 9));
  EXPECT_EQ(child.lastDown, CPoint(7, 9));
  EXPECT_EQ(::GetCapture(), child.m_hWnd);
  QTest::mouseRelease(Widget(child), Qt::LeftButton, Qt::NoModifier, QPoint(7, 9));
  EXPECT_EQ(child.log, (std::vector<std::string>{"down", "up"}));
  EXPECT_EQ(::GetCapture(), nullptr);
  EXPECT_TRUE(top.log.empty() || top.log == std::vector<std::string>{"active"});

  // Keys go to the focus window.
  child.SetFocus();
  QTest::keyClick(Widget(child), Qt::Key_F5);
  EXPECT_EQ(child.lastKey, static_cast<UINT>(VK_F5));

  // The registered entry reads the id when the message comes, not when the map was built.
  ASSERT_NE(g_pingMessage, 0u);
  EXPECT_EQ(top.SendMessage(g_pingMessage, 2, 3), 5);
}

namespace {
// Records the help requests that reach it: the window that asked and its control id.
class HelpHost : public CWnd {
 public:
  std::vector<std::pair<HWND, int>> asked;
  LRESULT OnHelp(WPARAM, LPARAM l) {
    const auto* info = reinterpret_cast<const HELPINFO*>(l);
    asked.emplace_back(static_cast<HWND>(info->hItemHandle), info->iCtrlId);
    return TRUE;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(HelpHost, CWnd)
ON_MESSAGE(WM_HELP, &HelpHost::OnHelp)
END_MESSAGE_MAP()
}  // namespace

// F1 in a control asks for help for it; the control leaves the request to the window it sits in.
TEST(ClassLibMessages, F1InAControlAsksItsWindowForHelp) {
  EnsureApp();
  HelpHost top;
  ASSERT_TRUE(top.CreateEx(0, nullptr, L"Help host", WS_OVERLAPPEDWINDOW, CRect(10, 10, 310, 210), nullptr, 0));
  CWnd panel;
  ASSERT_TRUE(panel.Create(nullptr, L"", WS_VISIBLE, CRect(0, 0, 300, 200), &top, 3));
  CEdit edit;
  ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE, CRect(10, 10, 110, 30), &panel, 7));
  top.ShowWindow(SW_SHOW);
  Pump();
  edit.SetFocus();
  QTest::keyClick(Widget(edit), Qt::Key_F5);
  EXPECT_TRUE(top.asked.empty());
  QTest::keyClick(Widget(edit), Qt::Key_F1);
  EXPECT_EQ(top.asked, (std::vector<std::pair<HWND, int>>{{edit.m_hWnd, 7}}));
  top.DestroyWindow();
}

namespace {
// Records the windows that the context menus reaching it name, and closes only when allowed.
class MenuHost : public CWnd {
 public:
  std::vector<HWND> menus;
  bool mayClose = false;
  void OnContextMenu(CWnd* from, CPoint) { menus.push_back(from ? from->m_hWnd : nullptr); }
  void OnClose() {
    if (mayClose) Default();
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(MenuHost, CWnd)
ON_WM_CONTEXTMENU()
ON_WM_CLOSE()
END_MESSAGE_MAP()

void RightClick(QWidget* widget) {
  const QPoint at = widget->rect().center();
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
  QApplication::sendEvent(widget, &event);
}
}  // namespace

// Qt hands an ignored context-menu event to every parent widget, and DefWindowProc hands the
// message to every parent window: one right click must still make one menu.
TEST(ClassLibMessages, OneRightClickReachesTheParentOnce) {
  EnsureApp();
  MenuHost host;
  ASSERT_TRUE(host.CreateEx(0, nullptr, L"Menus", WS_OVERLAPPEDWINDOW, CRect(0, 0, 400, 300), nullptr, 0));
  ProbeWnd panel;
  ASSERT_TRUE(panel.Create(nullptr, L"", WS_VISIBLE, CRect(0, 0, 200, 300), &host, 1));
  ProbeWnd inner;
  ASSERT_TRUE(inner.Create(nullptr, L"", WS_VISIBLE, CRect(10, 10, 50, 50), &panel, 2));
  CListCtrl list;
  ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT, CRect(10, 60, 190, 160), &panel, 3));
  list.InsertColumn(0, L"Name", LVCFMT_LEFT, 100);
  list.InsertItem(0, L"rutile");
  CStatic label;
  ASSERT_TRUE(label.Create(L"Label", WS_VISIBLE, CRect(10, 170, 190, 190), &panel, 4));
  CEdit edit;
  ASSERT_TRUE(edit.Create(WS_VISIBLE, CRect(10, 200, 190, 220), &panel, 5));
  host.ShowWindow(SW_SHOW);
  Pump();

  const struct {
    const char* what;
    QWidget* widget;
    HWND from;
  } cases[] = {{"window", Widget(inner), inner.m_hWnd},
               {"list", qobject_cast<QTreeView*>(Widget(list))->viewport(), list.m_hWnd},
               {"label", Widget(label), label.m_hWnd}};
  for (const auto& c : cases) {
    host.menus.clear();
    RightClick(c.widget);
    EXPECT_EQ(host.menus, std::vector<HWND>{c.from}) << c.what;
  }
  // An edit shows its own menu, and the parent hears nothing.
  host.menus.clear();
  RightClick(Widget(edit));
  EXPECT_TRUE(host.menus.empty());
  QWidget* popup = QApplication::activePopupWidget();
  EXPECT_NE(popup, nullptr);
  if (popup) popup->close();
}

// The window manager's close button sends a close event; a window that stays (its owner said
// Cancel) must stay on screen.
TEST(ClassLibMessages, ACloseRequestThatIsRefusedKeepsTheWindowShown) {
  EnsureApp();
  MenuHost host;
  ASSERT_TRUE(host.CreateEx(0, nullptr, L"Close", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), nullptr, 0));
  host.ShowWindow(SW_SHOW);
  Pump();
  EXPECT_FALSE(Widget(host)->close());
  Pump();
  EXPECT_TRUE(Widget(host)->isVisible());
  EXPECT_TRUE(host.IsWindowVisible());
  host.mayClose = true;
  const HWND handle = host.m_hWnd;
  Widget(host)->close();
  Pump();
  EXPECT_FALSE(::IsWindow(handle));
}

TEST(ClassLibMessages, OnlyTopLevelWindowsAreActivated) {
  EnsureApp();
  ProbeWnd a, b;
  ASSERT_TRUE(a.CreateEx(0, nullptr, L"A", WS_OVERLAPPEDWINDOW, CRect(0, 0, 200, 100), nullptr, 0));
  ProbeWnd child;
  ASSERT_TRUE(child.Create(nullptr, L"", WS_VISIBLE, CRect(0, 0, 50, 50), &a, 9));
  ASSERT_TRUE(b.CreateEx(0, nullptr, L"B", WS_OVERLAPPEDWINDOW, CRect(0, 0, 200, 100), nullptr, 0));
  a.ShowWindow(SW_SHOW);
  b.ShowWindow(SW_SHOW);
  a.SetActiveWindow();
  b.SetActiveWindow();
  Pump();
  EXPECT_EQ(::GetActiveWindow(), b.m_hWnd);
  ASSERT_GE(a.log.size(), 2u);
  EXPECT_EQ(a.log[0], "active");
  EXPECT_EQ(a.log[1], "inactive");
  EXPECT_EQ(std::count(child.log.begin(), child.log.end(), "active"), 0);
}

// The window manager minimises and restores windows too (the task bar, its own buttons): the
// window's state, and the menus that read it, follow Qt's.
TEST(ClassLibMessages, MinimisedAndMaximisedFollowTheRealWindowState) {
  EnsureApp();
  ProbeWnd w;
  ASSERT_TRUE(w.CreateEx(0, nullptr, L"State", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), nullptr, 0));
  w.ShowWindow(SW_SHOW);
  Pump();
  w.SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  Pump();
  EXPECT_TRUE(Widget(w)->isMinimized());
  EXPECT_TRUE(w.IsIconic());
  Widget(w)->setWindowState(Qt::WindowNoState);
  Pump();
  EXPECT_FALSE(w.IsIconic());
  Widget(w)->setWindowState(Qt::WindowMaximized);
  Pump();
  EXPECT_TRUE(w.IsZoomed());
  EXPECT_FALSE(w.IsIconic());
  Widget(w)->setWindowState(Qt::WindowNoState);
  Pump();
  EXPECT_FALSE(w.IsZoomed());
}

namespace {
class TestDoc : public CDocument {
 public:
  int opened = 0;
  bool canSave = false;
  bool grid = true;
  void OnOpen() { ++opened; }
  void OnUpdateSave(CCmdUI* ui) { ui->Enable(canSave); }
  void OnUpdateGrid(CCmdUI* ui) {
    ui->SetCheck(grid ? 1 : 0);
    ui->SetText(grid ? L"Hide &Grid" : L"Show &Grid");
  }
  void OnGrid() { grid = !grid; }
  void OnUpdateCount(CCmdUI* ui) { ui->SetText(L"3 patterns"); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(TestDoc, CDocument)
ON_UPDATE_COMMAND_UI(7150, &TestDoc::OnUpdateCount)
ON_COMMAND(7101, &TestDoc::OnOpen)
ON_UPDATE_COMMAND_UI(7102, &TestDoc::OnUpdateSave)
ON_COMMAND(7104, &TestDoc::OnGrid)
ON_UPDATE_COMMAND_UI(7104, &TestDoc::OnUpdateGrid)
END_MESSAGE_MAP()

class TestView : public CView {
 public:
  int saved = 0;
  void OnDraw(CDC*) override {}
  void OnSave() { ++saved; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(TestView, CView)
ON_COMMAND(7102, &TestView::OnSave)
END_MESSAGE_MAP()

struct Frame {
  CFrameWnd* frame = new CFrameWnd;
  TestDoc doc;
  TestView* view = new TestView;
  Frame() {
    EnsureApp();
    EnsureResources();
    doc.m_bAutoDelete = FALSE;
    EXPECT_TRUE(frame->LoadFrame(7100));
    EXPECT_TRUE(view->Create(nullptr, nullptr, WS_VISIBLE, CRect(0, 0, 10, 10), frame, AFX_IDW_PANE_FIRST));
    doc.AddView(view);
    frame->SetActiveView(view, FALSE);
    frame->ShowWindow(SW_SHOW);
    Pump();
  }
  ~Frame() {
    if (::IsWindow(frame->m_hWnd)) frame->DestroyWindow();
  }
  HMENU Popup(int index) const { return ::GetSubMenu(::GetMenu(frame->m_hWnd), index); }
  UINT State(int popup, UINT id) const { return ::GetMenuState(Popup(popup), id, MF_BYCOMMAND); }
};
}  // namespace

TEST(ClassLibCommands, MenuFromResourcesIsAMenuBarWithTheTemplateItems) {
  Frame f;
  QMenuBar* bar = Widget(*f.frame)->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->actions().size(), 2);
  EXPECT_EQ(bar->actions()[0]->text(), "&File");
  EXPECT_EQ(::GetMenuItemCount(f.Popup(0)), 4);
  EXPECT_EQ(::GetMenuItemID(f.Popup(0), 2), 0u);  // the separator
  CString text;
  CMenu::FromHandle(f.Popup(0))->GetMenuString(7101, text, MF_BYCOMMAND);
  EXPECT_EQ(std::wstring(text.GetString()), L"&Open...\tCtrl+O");
  // The client area starts below the bar.
  CRect client;
  f.frame->GetClientRect(&client);
  CRect window;
  f.frame->GetWindowRect(&window);
  EXPECT_EQ(window.Height() - client.Height(), bar->height());
}

TEST(ClassLibCommands, F10OpensTheMenuBarAtItsFirstMenu) {
  Frame f;
  QWidget* window = Widget(*f.frame);
  window->show();
  window->activateWindow();
  Pump();
  QMenuBar* bar = window->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->activeAction(), nullptr);
  QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : window;
  QTest::keyClick(focus, Qt::Key_F10);
  Pump();
  ASSERT_NE(bar->activeAction(), nullptr);
  EXPECT_EQ(bar->activeAction()->text(), "&File");
  QMenu* open = bar->activeAction()->menu();
  ASSERT_NE(open, nullptr);
  EXPECT_TRUE(open->isVisible());
  open->close();
  Pump();
}

TEST(ClassLibCommands, UpdateHandlersSetMenuStateBeforeThePopupOpens) {
  Frame f;
  f.frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(f.Popup(0)), 0);
  EXPECT_EQ(f.State(0, 7101) & MF_GRAYED, 0u);        // handled by the document
  EXPECT_EQ(f.State(0, 7102) & MF_GRAYED, MF_GRAYED);  // its update handler disables it
  EXPECT_EQ(f.State(0, 7103) & MF_GRAYED, MF_GRAYED);  // no handler anywhere
  f.doc.canSave = true;
  f.frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(f.Popup(0)), 0);
  EXPECT_EQ(f.State(0, 7102) & MF_GRAYED, 0u);

  f.frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(f.Popup(1)), 0);
  EXPECT_EQ(f.State(1, 7104) & MF_CHECKED, MF_CHECKED);
  CString text;
  CMenu::FromHandle(f.Popup(1))->GetMenuString(7104, text, MF_BYCOMMAND);
  EXPECT_EQ(std::wstring(text.GetString()), L"Hide &Grid");

  // Opening the real Qt menu asks the same handlers and shows their answer.
  QMenuBar* bar = Widget(*f.frame)->findChild<QMenuBar*>();
  QMenu* file = bar->actions()[0]->menu();
  f.doc.canSave = false;
  emit file->aboutToShow();
  ASSERT_EQ(file->actions().size(), 4);
  EXPECT_TRUE(file->actions()[0]->isEnabled());
  EXPECT_FALSE(file->actions()[1]->isEnabled());
  EXPECT_FALSE(file->actions()[3]->isEnabled());
}

// A popup styled without a check column shows its checked item without a mark; the style reaches
// submenus when asked to.
TEST(ClassLibMenus, APopupWithoutCheckSpaceShowsNoMark) {
  EnsureApp();
  for (const DWORD style : {DWORD(0), DWORD(MNS_CHECKORBMP), DWORD(MNS_NOCHECK)}) {
    CWnd host;
    ASSERT_TRUE(host.CreateEx(0, nullptr, L"Menus", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), nullptr, 0));
    HMENU bar = CreateMenu(), popup = CreatePopupMenu(), sub = CreatePopupMenu();
    AppendMenuW(sub, MF_STRING | MF_CHECKED, 7201, L"Inner");
    AppendMenuW(popup, MF_STRING | MF_CHECKED, 7200, L"Ticked");
    AppendMenuW(popup, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), L"More");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"Menu");
    MENUINFO info{sizeof(MENUINFO), MIM_STYLE | MIM_APPLYTOSUBMENUS, style};
    ASSERT_TRUE(SetMenuInfo(popup, &info));
    MENUINFO read{sizeof(MENUINFO), MIM_STYLE, 12345};
    ASSERT_TRUE(GetMenuInfo(sub, &read));
    EXPECT_EQ(read.dwStyle, style);
    ASSERT_TRUE(::SetMenu(host.m_hWnd, bar));
    QMenuBar* menuBar = Widget(host)->findChild<QMenuBar*>();
    ASSERT_NE(menuBar, nullptr);
    QMenu* menu = menuBar->actions()[0]->menu();
    emit menu->aboutToShow();
    ASSERT_GE(menu->actions().size(), 1);
    QAction* ticked = menu->actions()[0];
    EXPECT_EQ(ticked->isCheckable() && ticked->isChecked(), style != MNS_NOCHECK) << std::hex << style;
    host.DestroyWindow();
  }
}

TEST(ClassLibCommands, CommandsRouteThroughViewDocumentAndAccelerators) {
  Frame f;
  // Menu choice: the view's handler comes before anyone else's, the document's after it.
  f.doc.canSave = true;
  f.frame->SendMessage(WM_COMMAND, 7102, 0);
  f.frame->SendMessage(WM_COMMAND, 7101, 0);
  EXPECT_EQ(f.view->saved, 1);
  EXPECT_EQ(f.doc.opened, 1);

  // A triggered QAction posts the command.
  QMenuBar* bar = Widget(*f.frame)->findChild<QMenuBar*>();
  QMenu* view = bar->actions()[1]->menu();
  emit view->aboutToShow();
  view->actions()[0]->trigger();
  Pump();
  EXPECT_FALSE(f.doc.grid);

  // Accelerators from the key board, through the frame's pre-translation.
  f.view->SetFocus();
  QTest::keyClick(Widget(*f.view), Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(f.doc.opened, 2);
  QTest::keyClick(Widget(*f.view), Qt::Key_BracketRight, Qt::ControlModifier);
  EXPECT_EQ(f.doc.opened, 3);
  // A command its update handler disables is not carried out, from the keyboard or the menu.
  f.doc.canSave = false;
  QTest::keyClick(Widget(*f.view), Qt::Key_S, Qt::ControlModifier);
  f.frame->SendMessage(WM_COMMAND, 7102, 0);
  EXPECT_EQ(f.view->saved, 1);
}

namespace {
class CommandCounter : public CWnd {
 public:
  std::vector<UINT> commands;
  BOOL OnCommand(WPARAM wParam, LPARAM) override {
    commands.push_back(LOWORD(wParam));
    return TRUE;
  }
};
}  // namespace

// The item's own trigger and the choice that the popup returns must not both post the command.
TEST(ClassLibCommands, AChoiceFromATrackedPopupIsOneCommand) {
  EnsureApp();
  EnsureResources();
  CommandCounter owner;
  ASSERT_TRUE(owner.CreateEx(0, nullptr, L"Owner", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), nullptr, 0));
  owner.ShowWindow(SW_SHOW);
  Pump();
  CMenu menu;
  ASSERT_TRUE(menu.LoadMenu(7100));
  // Chosen from the keyboard as a user would: the first item, then Return.
  QTimer::singleShot(0, [] {
    if (QWidget* popup = QApplication::activePopupWidget()) {
      QTest::keyClick(popup, Qt::Key_Down);
      QTest::keyClick(popup, Qt::Key_Return);
    }
  });
  menu.GetSubMenu(0)->TrackPopupMenu(TPM_RIGHTBUTTON, 10, 10, &owner);
  Pump();
  EXPECT_EQ(owner.commands, std::vector<UINT>{7101});
}

TEST(ClassLibCommands, MenuCommandSearchFindsThePopupThatHoldsIt) {
  Frame f;
  // TrackPopupMenu answered by the seam: the chosen command goes to the owner.
  qlw::SetMenuAnswer([](HMENU, HWND) -> UINT { return 7101; });
  ::TrackPopupMenu(f.Popup(0), TPM_RIGHTBUTTON, 0, 0, 0, f.frame->m_hWnd, nullptr);
  qlw::SetMenuAnswer(nullptr);
  Pump();
  EXPECT_EQ(f.doc.opened, 1);
}

namespace {
class SettingsDialog : public CDialog {
 public:
  SettingsDialog() : CDialog(7200) {}
  CString name = L"Rutile";
  int count = 3;
  int grid = 1;
  int radiation = 1;
  int choice = 1;
  BOOL OnInitDialog() override {
    for (const wchar_t* s : {L"Linear", L"Square root", L"Logarithmic"})
      SendDlgItemMessage(7204, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    return CDialog::OnInitDialog();
  }
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Text(dx, 7201, name);
    DDX_Text(dx, 7202, count);
    DDX_Check(dx, 7203, grid);
    DDX_CBIndex(dx, 7204, choice);
    DDX_Radio(dx, 7205, radiation);
  }
};

QWidget* Item(CDialog* d, int id) { return qlw::WidgetOf(::GetDlgItem(d->m_hWnd, id)); }
}  // namespace

TEST(ClassLibDialogs, TemplateDialogExchangesDataWithItsControls) {
  EnsureApp();
  EnsureResources();
  setenv("QLW_QUIET", "1", 1);
  SettingsDialog dlg;
  std::vector<std::wstring> shown;
  qlw::SetModalAnswer([&](CDialog* d) {
    // The controls show the members, in the template's order and kinds.
    auto* name = qobject_cast<QLineEdit*>(Item(d, 7201));
    ASSERT_NE(name, nullptr);
    shown.push_back(name->text().toStdWString());
    shown.push_back(qobject_cast<QLineEdit*>(Item(d, 7202))->text().toStdWString());
    EXPECT_EQ(qobject_cast<QComboBox*>(Item(d, 7204))->currentText(), "Square root");
    EXPECT_EQ(d->IsDlgButtonChecked(7206), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(::GetWindowTextLengthW(d->m_hWnd), 15);  // "Sample Settings"
    // The user types, clicks and presses OK.
    name->selectAll();
    QTest::keyClicks(name, "Anatase");
    auto* count = qobject_cast<QLineEdit*>(Item(d, 7202));
    count->selectAll();
    QTest::keyClicks(count, "12");
    QTest::mouseClick(Item(d, 7203), Qt::LeftButton, Qt::NoModifier, QPoint(4, Item(d, 7203)->height() / 2));
    QTest::mouseClick(Item(d, 7205), Qt::LeftButton, Qt::NoModifier, QPoint(4, Item(d, 7205)->height() / 2));
    QTest::mouseClick(Item(d, IDOK), Qt::LeftButton);
  });
  const INT_PTR result = dlg.DoModal();
  qlw::SetModalAnswer(nullptr);
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(shown, (std::vector<std::wstring>{L"Rutile", L"3"}));
  EXPECT_EQ(std::wstring(dlg.name.GetString()), L"Anatase");
  EXPECT_EQ(dlg.count, 12);
  EXPECT_EQ(dlg.grid, 0);
  EXPECT_EQ(dlg.radiation, 0);
  EXPECT_EQ(dlg.choice, 1);
}

TEST(ClassLibDialogs, ABadNumberKeepsTheDialogOpenAndTheMemberUnchanged) {
  EnsureApp();
  EnsureResources();
  setenv("QLW_QUIET", "1", 1);
  SettingsDialog dlg;
  bool stillOpen = false;
  qlw::SetModalAnswer([&](CDialog* d) {
    auto* count = qobject_cast<QLineEdit*>(Item(d, 7202));
    count->selectAll();
    QTest::keyClicks(count, "1,5");
    // Return presses the default button.
    QTest::keyClick(count, Qt::Key_Return);
    stillOpen = ::IsWindowVisible(d->m_hWnd) != FALSE;
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  qlw::SetModalAnswer(nullptr);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(dlg.count, 3);
}

namespace {
class ListHost : public CWnd {
 public:
  std::vector<int> selected;
  int clicked = -2;
  int asked = 0;
  void OnGetDispInfo(NMHDR* hdr, LRESULT*) {
    auto* info = reinterpret_cast<NMLVDISPINFOW*>(hdr);
    ++asked;
    if (info->item.mask & LVIF_TEXT)
      std::swprintf(info->item.pszText, static_cast<size_t>(info->item.cchTextMax), L"r%d c%d", info->item.iItem,
                    info->item.iSubItem);
  }
  void OnItemChanged(NMHDR* hdr, LRESULT*) {
    auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
    if ((nm->uNewState & LVIS_SELECTED) && !(nm->uOldState & LVIS_SELECTED)) selected.push_back(nm->iItem);
  }
  void OnClick(NMHDR* hdr, LRESULT*) { clicked = reinterpret_cast<NMITEMACTIVATE*>(hdr)->iItem; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ListHost, CWnd)
ON_NOTIFY(LVN_GETDISPINFOW, 300, &ListHost::OnGetDispInfo)
ON_NOTIFY(LVN_ITEMCHANGED, 300, &ListHost::OnItemChanged)
ON_NOTIFY(NM_CLICK, 300, &ListHost::OnClick)
END_MESSAGE_MAP()
}  // namespace

TEST(ClassLibControls, ReportListWithOwnerDataAsksItsParentForEveryCell) {
  EnsureApp();
  ListHost host;
  ASSERT_TRUE(host.CreateEx(0, nullptr, L"List", WS_OVERLAPPEDWINDOW, CRect(0, 0, 400, 300), nullptr, 0));
  CWnd list;
  ASSERT_TRUE(list.CreateEx(0, WC_LISTVIEW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA,
                            CRect(0, 0, 380, 280), &host, 300));
  for (int c = 0; c < 3; ++c) {
    LVCOLUMNW col{LVCF_TEXT | LVCF_WIDTH, 0, 100, const_cast<LPWSTR>(L"Column"), 0, c};
    list.SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&col));
  }
  list.SendMessage(LVM_SETITEMCOUNT, 100000);
  host.ShowWindow(SW_SHOW);
  Pump();
  EXPECT_EQ(list.SendMessage(LVM_GETITEMCOUNT), 100000);

  // The view shows what the parent answers; only rows on screen are asked for.
  auto* view = qobject_cast<QTreeView*>(Widget(list));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->model()->data(view->model()->index(41234, 2)).toString(), "r41234 c2");
  EXPECT_LT(host.asked, 1000);
  wchar_t buffer[32] = {};
  LVITEMW item{};
  item.iSubItem = 1;
  item.pszText = buffer;
  item.cchTextMax = 32;
  list.SendMessage(LVM_GETITEMTEXTW, 7, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(std::wstring(buffer), L"r7 c1");

  // A click selects the row and tells the parent.
  const QRect row = view->visualRect(view->model()->index(2, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
  EXPECT_EQ(host.selected, std::vector<int>{2});
  EXPECT_EQ(host.clicked, 2);
  EXPECT_EQ(list.SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 2);
  list.DestroyWindow();
}

namespace {
class PaintCounter : public CWnd {
 public:
  int paints = 0;
  void OnPaint() {
    CPaintDC dc(this);
    ++paints;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(PaintCounter, CWnd)
ON_WM_PAINT()
END_MESSAGE_MAP()
}  // namespace

TEST(ClassLibPaint, DrawingOutsideAPaintAppearsAtTheNextPaint) {
  EnsureApp();
  PaintCounter w;
  ASSERT_TRUE(w.CreateEx(0, nullptr, L"Paint", WS_OVERLAPPEDWINDOW, CRect(0, 0, 120, 80), nullptr, 0));
  w.ShowWindow(SW_SHOW);
  Pump();
  // A DC taken outside a paint (as a focus frame or drop feedback would be drawn).
  HDC dc = ::GetDC(w.m_hWnd);
  ASSERT_NE(dc, nullptr);
  HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
  RECT r{10, 20, 30, 40};
  ::FillRect(dc, &r, red);
  ::ReleaseDC(w.m_hWnd, dc);
  ::DeleteObject(red);
  const QImage shot = Widget(w)->grab().toImage();
  EXPECT_GT(w.paints, 0);
  EXPECT_EQ(shot.pixelColor(15, 25), QColor(255, 0, 0));
  EXPECT_NE(shot.pixelColor(50, 50), QColor(255, 0, 0));
  // Drawn once: a later paint does not draw it again.
  const int before = w.paints;
  w.Invalidate();
  w.UpdateWindow();
  EXPECT_GT(w.paints, before);
  EXPECT_NE(Widget(w)->grab().toImage().pixelColor(15, 25), QColor(255, 0, 0));
}

namespace {
class ControlHost : public CWnd {
 public:
  std::vector<std::string> events;
  void OnClicked() { events.push_back("clicked"); }
  void OnEditChange() { events.push_back("edit"); }
  void OnComboChange() { events.push_back("combo"); }
  void OnHScroll(UINT code, UINT, CScrollBar*) { events.push_back("hscroll " + std::to_string(code)); }
  void OnVScroll(UINT code, UINT pos, CScrollBar*) { events.push_back("vscroll " + std::to_string(code) + " " + std::to_string(pos)); }
  void OnDelta(NMHDR* hdr, LRESULT* result) {
    events.push_back("delta " + std::to_string(reinterpret_cast<NMUPDOWN*>(hdr)->iDelta));
    *result = 0;
  }
  void OnTabChange(NMHDR*, LRESULT*) { events.push_back("tab"); }
  void OnTreeChange(NMHDR*, LRESULT*) { events.push_back("tree"); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ControlHost, CWnd)
ON_BN_CLICKED(401, &ControlHost::OnClicked)
ON_EN_CHANGE(402, &ControlHost::OnEditChange)
ON_CBN_SELCHANGE(403, &ControlHost::OnComboChange)
ON_WM_HSCROLL()
ON_WM_VSCROLL()
ON_NOTIFY(UDN_DELTAPOS, 405, &ControlHost::OnDelta)
ON_NOTIFY(TCN_SELCHANGE, 406, &ControlHost::OnTabChange)
ON_NOTIFY(TVN_SELCHANGEDW, 407, &ControlHost::OnTreeChange)
END_MESSAGE_MAP()
}  // namespace

TEST(ClassLibControls, ControlObjectsDriveQtWidgetsAndUsersNotifyTheParent) {
  EnsureApp();
  ControlHost host;
  ASSERT_TRUE(host.CreateEx(0, nullptr, L"Controls", WS_OVERLAPPEDWINDOW, CRect(0, 0, 500, 400), nullptr, 0));
  host.ShowWindow(SW_SHOW);
  CButton check;
  ASSERT_TRUE(check.Create(L"Grid", WS_VISIBLE | BS_AUTOCHECKBOX, CRect(5, 5, 100, 25), &host, 401));
  CEdit edit;
  ASSERT_TRUE(edit.Create(WS_VISIBLE, CRect(5, 30, 200, 50), &host, 402));
  CComboBox combo;
  ASSERT_TRUE(combo.Create(WS_VISIBLE | CBS_DROPDOWNLIST, CRect(5, 55, 200, 80), &host, 403));
  CSliderCtrl slider;
  ASSERT_TRUE(slider.Create(WS_VISIBLE, CRect(5, 85, 200, 110), &host, 404));
  CSpinButtonCtrl spin;
  ASSERT_TRUE(spin.Create(WS_VISIBLE, CRect(205, 30, 223, 54), &host, 405));
  CTabCtrl tabs;
  ASSERT_TRUE(tabs.Create(WS_VISIBLE, CRect(5, 115, 300, 180), &host, 406));
  CTreeCtrl tree;
  ASSERT_TRUE(tree.Create(WS_VISIBLE, CRect(5, 185, 300, 300), &host, 407));
  CProgressCtrl progress;
  ASSERT_TRUE(progress.Create(WS_VISIBLE, CRect(5, 305, 300, 320), &host, 408));
  Pump();
  host.events.clear();

  // Set through the object: the widget follows, and the parent hears nothing.
  check.SetCheck(BST_CHECKED);
  EXPECT_TRUE(qobject_cast<QAbstractButton*>(Widget(check))->isChecked());
  EXPECT_EQ(check.GetCheck(), BST_CHECKED);
  for (const wchar_t* s : {L"Linear", L"Square root", L"Logarithmic"}) combo.AddString(s);
  combo.SetCurSel(2);
  CString text;
  combo.GetLBText(combo.GetCurSel(), text);
  EXPECT_EQ(text.Str(), L"Logarithmic");
  slider.SetRange(0, 50);
  slider.SetPos(20);
  EXPECT_EQ(slider.GetPos(), 20);
  spin.SetRange32(0, 10);
  spin.SetPos32(3);
  tabs.InsertItem(0, L"Plot");
  tabs.InsertItem(1, L"Labels");
  tabs.SetCurSel(1);
  EXPECT_EQ(tabs.GetCurSel(), 1);
  HTREEITEM root = tree.InsertItem(L"Patterns");
  HTREEITEM child = tree.InsertItem(L"Rutile", root);
  EXPECT_EQ(tree.GetChildItem(root), child);
  EXPECT_EQ(tree.GetItemText(child).Str(), L"Rutile");
  progress.SetRange32(0, 200);
  progress.SetPos(50);
  EXPECT_EQ(qobject_cast<QProgressBar*>(Widget(progress))->value(), 50);
  EXPECT_TRUE(host.events.empty());

  // The user acts: each control notifies its parent as the platform's would.
  QTest::mouseClick(Widget(check), Qt::LeftButton, Qt::NoModifier, QPoint(4, Widget(check)->height() / 2));
  EXPECT_EQ(check.GetCheck(), BST_UNCHECKED);
  QTest::keyClicks(Widget(edit), "2t");
  CString typed;
  edit.GetWindowText(typed);
  EXPECT_EQ(typed.Str(), L"2t");
  int from = -1, to = -1;
  edit.SetSel(0, 1);
  edit.GetSel(from, to);
  EXPECT_EQ(from, 0);
  EXPECT_EQ(to, 1);
  QTest::keyClick(Widget(combo), Qt::Key_Up);
  EXPECT_EQ(combo.GetCurSel(), 1);
  QTest::keyClick(Widget(slider), Qt::Key_Right);
  Pump();
  Widget(spin)->findChild<QToolButton*>("up")->click();
  EXPECT_EQ(spin.GetPos32(), 4);
  auto* bar = Widget(tabs)->findChild<QTabBar*>();
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(0).center());
  EXPECT_EQ(tabs.GetCurSel(), 0);
  tree.SelectItem(child);
  EXPECT_EQ(tree.GetSelectedItem(), child);

  const std::vector<std::string> expected = {"clicked", "edit", "edit", "combo", "hscroll 1", "hscroll 8",
                                             "delta 1", "vscroll 4 4", "tab", "tree"};
  EXPECT_EQ(host.events, expected);
}

TEST(ClassLibControls, ReportListKeepsItsOwnItemsWithoutOwnerData) {
  EnsureApp();
  CWnd host;
  ASSERT_TRUE(host.CreateEx(0, nullptr, L"List", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), nullptr, 0));
  CListCtrl list;
  ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT, CRect(0, 0, 280, 180), &host, 9));
  list.InsertColumn(0, L"Site", LVCFMT_LEFT, 80);
  list.InsertColumn(1, L"Occupancy", LVCFMT_RIGHT, 80);
  EXPECT_EQ(list.InsertItem(0, L"Ti1"), 0);
  EXPECT_EQ(list.InsertItem(1, L"O1"), 1);
  EXPECT_EQ(list.InsertItem(1, L"O2"), 1);  // inserted before O1
  list.SetItemText(2, 1, L"0.98");
  list.SetItemData(2, 42);
  EXPECT_EQ(list.GetItemCount(), 3);
  EXPECT_EQ(list.GetItemText(1, 0).Str(), L"O2");
  EXPECT_EQ(list.GetItemText(2, 1).Str(), L"0.98");
  EXPECT_EQ(list.GetItemData(2), 42u);
  list.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 2);
  EXPECT_EQ(list.GetSelectedCount(), 1u);
  list.DeleteItem(0);
  EXPECT_EQ(list.GetItemText(0, 0).Str(), L"O2");
  list.DestroyWindow();
}

TEST(ClassLibControls, ToolTipAsksTheOwnerForTextWhenShown) {
  EnsureApp();
  struct Owner : CWnd {
    BOOL OnNotify(WPARAM, LPARAM lParam, LRESULT*) override {
      auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
      if (info->hdr.code != TTN_GETDISPINFOW) return FALSE;
      std::wcscpy(info->szText, L"Autoscale the plot");
      return TRUE;
    }
  } owner;
  ASSERT_TRUE(owner.CreateEx(0, nullptr, L"Tips", WS_OVERLAPPEDWINDOW, CRect(0, 0, 200, 100), nullptr, 0));
  owner.ShowWindow(SW_SHOW);
  CButton button;
  ASSERT_TRUE(button.Create(L"Auto", WS_VISIBLE, CRect(5, 5, 80, 30), &owner, 11));
  CToolTipCtrl tip;
  ASSERT_TRUE(tip.Create(&owner));
  ASSERT_TRUE(tip.AddTool(&button));
  EXPECT_EQ(tip.GetToolCount(), 1);
  Pump();
  QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), Widget(button)->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(Widget(button), &help);
  EXPECT_EQ(QToolTip::text(), "Autoscale the plot");
  QToolTip::hideText();
}

TEST(ClassLibCommands, IdleTimeUpdatesStatusBarPanesThroughTheRouting) {
  Frame f;
  CStatusBar* bar = new CStatusBar;
  ASSERT_TRUE(bar->Create(f.frame));
  const UINT panes[] = {0, 7150, 7151};
  bar->SetIndicators(panes, 3);
  bar->SetPaneText(2, L"stale");
  f.frame->SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE);
  EXPECT_EQ(bar->GetPaneText(1).Str(), L"3 patterns");
  EXPECT_EQ(bar->GetPaneText(2).Str(), L"stale");  // no handler: an indicator keeps its text
  // The bar sits at the bottom of the client area, the view above it.
  CRect client, barRect, viewRect;
  f.frame->GetClientRect(&client);
  bar->GetWindowRect(&barRect);
  f.frame->ScreenToClient(&barRect);
  EXPECT_EQ(barRect.bottom, client.bottom);
  f.view->GetWindowRect(&viewRect);
  f.frame->ScreenToClient(&viewRect);
  EXPECT_EQ(viewRect.bottom, barRect.top);
  bar->DestroyWindow();
  delete bar;
}

TEST(ClassLibCommands, DestroyingTheMainWindowEndsTheMessageLoop) {
  EnsureApp();
  CWinApp app(L"ClassLibTest");
  CWnd main;
  ASSERT_TRUE(main.CreateEx(0, nullptr, L"Main", WS_OVERLAPPEDWINDOW, CRect(0, 0, 100, 100), nullptr, 0));
  app.m_pMainWnd = &main;
  MSG msg;
  EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
  main.SendMessage(WM_CLOSE);
  EXPECT_EQ(app.m_pMainWnd, nullptr);
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
}

namespace {
class SizedWnd : public CWnd {
 public:
  std::vector<int> appActive;
  void OnGetMinMaxInfo(MINMAXINFO* info) { info->ptMinTrackSize = POINT{300, 200}; }
  LRESULT OnActivateApp(WPARAM active, LPARAM) {
    appActive.push_back(static_cast<int>(active));
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(SizedWnd, CWnd)
ON_WM_GETMINMAXINFO()
ON_MESSAGE(WM_ACTIVATEAPP, &SizedWnd::OnActivateApp)
END_MESSAGE_MAP()
}  // namespace

TEST(ClassLibMessages, TrackSizesAndApplicationActivationReachTopLevelWindows) {
  EnsureApp();
  SizedWnd w;
  ASSERT_TRUE(w.CreateEx(0, nullptr, L"Sized", WS_OVERLAPPEDWINDOW, CRect(0, 0, 400, 300), nullptr, 0));
  ProbeWnd child;
  ASSERT_TRUE(child.Create(nullptr, L"", WS_VISIBLE, CRect(0, 0, 10, 10), &w, 3));
  w.ShowWindow(SW_SHOW);
  EXPECT_EQ(Widget(w)->minimumSize(), QSize(300, 200));
  // From active, whatever state the windows before this one left the program in.
  emit qApp->applicationStateChanged(Qt::ApplicationActive);
  w.appActive.clear();
  emit qApp->applicationStateChanged(Qt::ApplicationInactive);
  emit qApp->applicationStateChanged(Qt::ApplicationActive);
  EXPECT_EQ(w.appActive, (std::vector<int>{0, 1}));
}

TEST(ClassLibControls, ObjectTakesOverATemplatesCustomItem) {
  EnsureApp();
  std::string error;
  ASSERT_TRUE(qlw::AddResourceText("DIALOG 7290 \"Custom\"\n  CUSTOM 7291 \"Plain\"\nEND\n", &error)) << error;
  CWnd host;
  ASSERT_TRUE(host.CreateEx(0, nullptr, L"host", WS_OVERLAPPEDWINDOW, CRect(0, 0, 200, 100), nullptr, 0));
  ASSERT_TRUE(qlw::BuildFromTemplate(&host, 7290));
  ProbeWnd item;
  ASSERT_TRUE(item.SubclassDlgItem(7291, &host));
  // Unhandled messages reach the default handling once, not the object again and again.
  CString text;
  item.GetWindowText(text);
  EXPECT_EQ(std::wstring(text.GetString()), L"Plain");
  EXPECT_EQ(item.SendMessage(g_pingMessage, 2, 3), 5);
  item.UnsubclassWindow();
  host.DestroyWindow();
}

// A control looked at through a temporary object (a tooltip helper walking the children) and then
// subclassed keeps its window: the temporary lets go of it.
TEST(ClassLibControls, SubclassingAfterATemporaryObjectKeepsTheWindow) {
  EnsureApp();
  CWnd host;
  ASSERT_TRUE(host.CreateEx(0, nullptr, L"Host", WS_OVERLAPPEDWINDOW, CRect(0, 0, 200, 100), nullptr, 0));
  CEdit made;
  ASSERT_TRUE(made.Create(WS_VISIBLE, CRect(0, 0, 100, 20), &host, 7));
  HWND edit = made.Detach();
  CWnd* temporary = CWnd::FromHandle(edit);
  ASSERT_NE(temporary, nullptr);
  CEdit subclassed;
  ASSERT_TRUE(subclassed.SubclassWindow(edit));
  EXPECT_TRUE(::IsWindow(edit));
  EXPECT_EQ(CWnd::FromHandlePermanent(edit), &subclassed);
  subclassed.DestroyWindow();
  host.DestroyWindow();
}

// Ticks set one by one stand at their positions and nowhere else: beside a mark at the end, one
// at 50 changes the middle of the slider only, marks at 0, 5 and 10 its first tenth only.
TEST(ClassLibControls, SliderTicksStandWhereTheyAreSet) {
  EnsureApp();
  ControlHost host;
  ASSERT_TRUE(host.CreateEx(0, nullptr, L"Slider", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 100), nullptr, 0));
  host.ShowWindow(SW_SHOW);
  CSliderCtrl slider;
  ASSERT_TRUE(slider.Create(WS_VISIBLE, CRect(0, 0, 220, 40), &host, 404));
  slider.SetRange(0, 100);
  slider.SetPos(100);
  EXPECT_TRUE(slider.SetTic(100));
  EXPECT_FALSE(slider.SetTic(101));
  Pump();
  const QImage plain = Widget(slider)->grab().toImage();
  // The columns where the slider's picture differs from the one with the end mark alone.
  const auto changed = [&] {
    const QImage image = Widget(slider)->grab().toImage();
    std::vector<int> columns;
    for (int x = 0; x < image.width(); ++x)
      for (int y = 0; y < image.height(); ++y)
        if (image.pixel(x, y) != plain.pixel(x, y)) {
          columns.push_back(x);
          break;
        }
    return columns;
  };
  const int width = Widget(slider)->width();
  slider.SetTic(50);
  const std::vector<int> middle = changed();
  ASSERT_FALSE(middle.empty());
  EXPECT_LE(std::abs(middle.front() - width / 2), 12) << middle.front();
  EXPECT_LE(middle.back() - middle.front(), 2);

  slider.ClearTics(TRUE);
  for (int tic : {10, 100, 0, 5}) slider.SetTic(tic);
  EXPECT_EQ(slider.GetNumTics(), 4u);
  EXPECT_EQ((std::vector<int>{slider.GetTic(0), slider.GetTic(1), slider.GetTic(2), slider.GetTic(3), slider.GetTic(4)}),
            (std::vector<int>{0, 5, 10, 100, -1}));
  const std::vector<int> left = changed();
  ASSERT_GE(left.size(), 3u);
  EXPECT_LT(left.back(), width / 10 + 12);
  host.DestroyWindow();
}
