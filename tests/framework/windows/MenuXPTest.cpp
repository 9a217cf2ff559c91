// Owner-drawn menus: when they are in force, how menus are converted and measured, the drawing
// of each kind of item (checked directly, whatever the system), mnemonics, the popup border, and
// owner-drawn items drawn by their owner on a real menu.
#include "MenuXP.h"
#include "WidgetApp.h"

#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <gtest/gtest.h>

#include "LXDialog.h"
#include "OSVersion.h"
#include "Resources.h"
#include "ResourceText.h"
#include "ScopedDC.h"

namespace {
void EnsureApp() { qlwtest::EnsureWidgetApp("test_windows"); }

// Reports a system version for the scope; the style is worked out again on both sides.
struct ReportedVersion {
  ReportedVersion(DWORD major, DWORD minor, BYTE product) {
    qlw::SetReportedOSVersion(major, minor, product);
    CMenuXP::ResetUseXPMenus();
  }
  ~ReportedVersion() {
    qlw::SetReportedOSVersion(10, 0, VER_NT_WORKSTATION);
    CMenuXP::ResetUseXPMenus();
  }
};

// A 200 x h bitmap DC.
struct Canvas {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap;
  HGDIOBJ old;
  explicit Canvas(int w = 200, int h = 24) : bitmap(CreateCompatibleBitmap(dc, w, h)), old(SelectObject(dc, bitmap)) {}
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
};

struct TestMenu {
  CMenu menu;
  TestMenu() {
    menu.CreatePopupMenu();
    menu.AppendMenu(MF_STRING, 100, L"&Open\tCtrl+O");
    menu.AppendMenu(MF_STRING | MF_CHECKED, 101, L"Show &Grid");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING | MF_GRAYED, 102, L"&Disabled");
    menu.AppendMenu(MF_STRING, 103, L"A&&B");
  }
};

void Draw(Canvas& c, HMENU menu, UINT id, UINT state, ULONG_PTR data, int height = 24) {
  DRAWITEMSTRUCT di{};
  di.CtlType = ODT_MENU;
  di.itemID = id;
  di.itemState = state;
  di.hwndItem = reinterpret_cast<HWND>(menu);
  di.hDC = c.dc;
  di.rcItem = RECT{0, 0, 200, height};
  di.itemData = data;
  CMenuXP::DrawMenuItem(&di, nullptr);
}

COLORREF Face() { return GetSysColor(COLOR_3DFACE); }
COLORREF Highlight() { return GetSysColor(COLOR_HIGHLIGHT); }
UINT OwnerDrawn(HMENU m, int pos) { return GetMenuState(m, UINT(pos), MF_BYPOSITION) & MFT_OWNERDRAW; }
}  // namespace

TEST(MenuXP, InForceOnlyOnTheTwoOldSystemVersions) {
  struct Case {
    DWORD major, minor;
    BYTE product;
    bool inForce;
  } cases[] = {{10, 0, 1, false}, {5, 1, 1, true}, {5, 2, 1, true}, {5, 2, 3, true},
               {5, 2, 2, false},  {5, 0, 1, false}, {6, 0, 1, false}};
  for (const auto& c : cases) {
    ReportedVersion v(c.major, c.minor, c.product);
    EXPECT_EQ(CMenuXP::UseXPMenus(), c.inForce) << c.major << "." << c.minor << " type " << int(c.product);
  }
  // What this platform reports: not in force.
  CMenuXP::ResetUseXPMenus();
  EXPECT_FALSE(CMenuXP::UseXPMenus());
}

TEST(MenuXP, OutOfForceNothingIsConvertedOrDrawn) {
  EnsureApp();
  TestMenu m;
  CMenuXP::UpdateMenu(nullptr, &m.menu, true, false);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(OwnerDrawn(m.menu, i), 0u) << i;
  Canvas c;
  DRAWITEMSTRUCT di{ODT_MENU, 0, 100, ODA_DRAWENTIRE, 0, reinterpret_cast<HWND>(m.menu.m_hMenu), c.dc, {0, 0, 200, 24}, 0};
  EXPECT_FALSE(CMenuXP::DrawItem(&di, nullptr));
}

TEST(MenuXP, ConvertedPopupItemsShareHeightAndWidestTexts) {
  EnsureApp();
  ReportedVersion v(5, 1, VER_NT_WORKSTATION);
  TestMenu m;
  CMenuXP::UpdateMenu(nullptr, &m.menu, false, false);  // not asked to convert
  EXPECT_EQ(OwnerDrawn(m.menu, 0), 0u);
  CMenuXP::UpdateMenu(nullptr, &m.menu, true, false);
  ULONG_PTR data[5];
  for (int i = 0; i < 5; ++i) {
    EXPECT_NE(OwnerDrawn(m.menu, i), 0u) << i;
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_DATA;
    m.menu.GetMenuItemInfo(UINT(i), &info, TRUE);
    data[i] = info.dwItemData;
  }
  EXPECT_EQ(data[0], data[1]);
  EXPECT_EQ(data[0], data[3]);
  EXPECT_GE(data[0] & 0xFF, 20u);                   // at least 16 + 4
  EXPECT_GT((data[0] >> 8) & 0xFF, 0u);             // "Ctrl+O" is the widest accelerator
  EXPECT_EQ(data[2] >> 8, 0u);                      // a separator holds its height only
  EXPECT_LT(data[2] & 0xFF, data[0] & 0xFF);
  MEASUREITEMSTRUCT mi{ODT_MENU, 0, 100, 0, 0, data[0]};
  CMenuXP::MeasureItem(&mi);
  EXPECT_EQ(mi.itemHeight, data[0] & 0xFF);
  EXPECT_EQ(mi.itemWidth, ((data[0] >> 8) & 0xFF) + 42 + (data[0] >> 16));
  MEASUREITEMSTRUCT bar{ODT_MENU, 0, 1, 0, 0, CMenuXP::PackItemData(0, 0, 37)};
  CMenuXP::MeasureItem(&bar);
  EXPECT_EQ(bar.itemWidth, 41u);
  EXPECT_EQ(bar.itemHeight, 0u);
}

TEST(MenuXP, AWindowWithoutThePropertyKeepsItsMenuBar) {
  EnsureApp();
  ReportedVersion v(5, 1, VER_NT_WORKSTATION);
  CWnd plain, marked;
  ASSERT_TRUE(plain.CreateEx(0, nullptr, L"Plain", WS_OVERLAPPEDWINDOW, CRect(0, 0, 100, 80), nullptr, 0));
  ASSERT_TRUE(marked.CreateEx(0, nullptr, L"Marked", WS_OVERLAPPEDWINDOW, CRect(0, 0, 100, 80), nullptr, 0));
  CMenu barA, barB;
  barA.CreateMenu();
  barA.AppendMenu(MF_STRING, 1, L"&File");
  barB.CreateMenu();
  barB.AppendMenu(MF_STRING, 1, L"&File");
  plain.SetMenu(&barA);
  marked.SetMenu(&barB);
  CMenuXP::SetWindowMenuProp(&marked);
  CMenuXP::UpdateWindowMenu(&plain);
  CMenuXP::UpdateWindowMenu(&marked);
  EXPECT_EQ(OwnerDrawn(barA, 0), 0u);
  EXPECT_NE(OwnerDrawn(barB, 0), 0u);
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_DATA;
  barB.GetMenuItemInfo(0, &info, TRUE);
  EXPECT_EQ(info.dwItemData & 0xFF, 0u);  // a menu-bar item
  EXPECT_GT(info.dwItemData >> 16, 0u);
  plain.SetMenu(nullptr);
  marked.SetMenu(nullptr);
  barA.Detach();
  barB.Detach();
  plain.DestroyWindow();
  marked.DestroyWindow();
}

TEST(MenuXP, MnemonicsSkipDoubledAmpersands) {
  TestMenu m;
  struct Case {
    wchar_t ch;
    UINT flags;
    LRESULT answer;
  } cases[] = {{L'o', 0, MAKELRESULT(0, MNC_EXECUTE)},  {L'G', MF_POPUP, MAKELRESULT(1, MNC_EXECUTE)},
               {L'd', 0, MAKELRESULT(3, MNC_EXECUTE)},  {L'b', 0, 0},
               {L'o', MF_POPUP | MF_SYSMENU, 0},        {L'x', 0, 0}};
  for (const auto& c : cases) EXPECT_EQ(CMenuXP::FindMnemonic(m.menu, c.ch, c.flags), c.answer) << char(c.ch);
}

TEST(MenuXP, PopupItemsDrawTheirColumnSelectionCheckAndSeparator) {
  EnsureApp();
  TestMenu m;
  const ULONG_PTR item = CMenuXP::PackItemData(24, 30, 60), separator = CMenuXP::PackItemData(5, 0, 0);
  {
    Canvas c;
    Draw(c, m.menu, 100, 0, item);
    EXPECT_EQ(c.At(5, 2), AdjustColor(Face(), 20, 0));
    EXPECT_EQ(c.At(150, 2), AdjustColor(Face(), 75, 0));
  }
  {
    Canvas c;
    Draw(c, m.menu, 100, ODS_SELECTED, item);
    EXPECT_EQ(c.At(0, 0), Highlight());
    EXPECT_EQ(c.At(199, 23), Highlight());
    EXPECT_EQ(c.At(150, 2), AdjustColor(Highlight(), 70, -57));
  }
  {
    Canvas c;
    Draw(c, m.menu, 101, 0, item);
    EXPECT_EQ(c.At(1, 10), Highlight());  // the check box's frame
    EXPECT_EQ(c.At(18, 3), AdjustColor(Highlight(), 70, -57));
  }
  {
    Canvas c(200, 5);
    Draw(c, m.menu, 0, 0, separator, 5);
    // The separator is found by command 0 at position 2.
    Canvas d(200, 5);
    DRAWITEMSTRUCT di{ODT_MENU, 0, 0, ODA_DRAWENTIRE, 0, reinterpret_cast<HWND>(m.menu.m_hMenu), d.dc, {0, 0, 200, 5}, separator};
    CMenuXP::DrawMenuItem(&di, nullptr);
    EXPECT_EQ(d.At(40, 2), AdjustColor(Face(), -18, 0));
    EXPECT_EQ(d.At(10, 2), AdjustColor(Face(), 20, 0));
    EXPECT_EQ(d.At(40, 0), AdjustColor(Face(), 75, 0));
  }
  {
    // Disabled text takes the face colour at reduced lightness.
    Canvas c;
    Draw(c, m.menu, 102, 0, item);
    bool found = false;
    for (int x = 30; x < 90 && !found; ++x)
      for (int y = 4; y < 20 && !found; ++y) found = c.At(x, y) == AdjustColor(Face(), -18, 0);
    EXPECT_TRUE(found);
  }
}

TEST(MenuXP, ImagesStandRaisedAboveTheirShadows) {
  EnsureApp();
  TestMenu m;
  Gdiplus::Bitmap strip(32, 16);
  {
    Gdiplus::Graphics g(&strip);
    g.Clear(Gdiplus::Color(0));
    Gdiplus::SolidBrush red(Gdiplus::Color(255, 255, 0, 0));
    g.FillRectangle(&red, 16, 0, 16, 16);  // cell 1
  }
  CMenuXP::SetCommandImage(100, CImgDesc{&strip, 1});
  CMenuXP::SetCommandImage(102, CImgDesc{&strip, 1});
  const ULONG_PTR item = CMenuXP::PackItemData(24, 0, 60);
  {
    Canvas c;
    Draw(c, m.menu, 100, 0, item);
    EXPECT_EQ(c.At(10, 10), RGB(255, 0, 0));
    EXPECT_EQ(c.At(19, 19), AdjustColor(Face(), 20, 0));  // no shadow when not selected
  }
  {
    Canvas c;
    Draw(c, m.menu, 100, ODS_SELECTED, item);
    EXPECT_EQ(c.At(2, 2), RGB(255, 0, 0));  // raised to (2, 2)
    EXPECT_EQ(c.At(19, 19), AdjustColor(Highlight(), 50, -66));
  }
  {
    Canvas c;
    Draw(c, m.menu, 102, 0, item);
    EXPECT_EQ(c.At(10, 10), AdjustColor(Face(), -27, 0));  // the silhouette only
  }
  CMenuXP::ClearImages();
}

TEST(MenuXP, BarItemAndPopupBorderWithItsOpenEdge) {
  EnsureApp();
  CMenu bar;
  bar.CreateMenu();
  bar.AppendMenu(MF_STRING, 1, L"&File");
  {
    Canvas c(60, 20);
    DRAWITEMSTRUCT di{ODT_MENU, 0, 1, ODA_DRAWENTIRE, ODS_SELECTED, reinterpret_cast<HWND>(bar.m_hMenu), c.dc, {0, 0, 60, 20},
                      CMenuXP::PackItemData(0, 0, 30)};
    CMenuXP::DrawMenuItem(&di, nullptr);
    EXPECT_EQ(c.At(0, 0), GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(c.At(57, 2), Face());  // above the shadow
    EXPECT_NE(c.At(57, 12), Face());  // shaded
  }
  const RECT popup{100, 100, 200, 160};
  CMenuXP::SetLastOpenBarItem(RECT{110, 80, 150, 101});
  {
    Canvas c(100, 60);
    CMenuXP::DrawPopupBorder(c.dc, popup, true);
    EXPECT_EQ(c.At(0, 30), GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(c.At(1, 30), AdjustColor(Face(), 75, 0));
    EXPECT_EQ(c.At(2, 30), AdjustColor(Face(), 75, 0));
    EXPECT_EQ(c.At(20, 0), AdjustColor(Face(), 20, 0));  // open under the item
    EXPECT_EQ(c.At(80, 0), GetSysColor(COLOR_3DDKSHADOW));
  }
  {
    Canvas c(100, 60);
    CMenuXP::DrawPopupBorder(c.dc, RECT{100, 120, 200, 180}, true);  // not right under it
    EXPECT_EQ(c.At(20, 0), GetSysColor(COLOR_3DDKSHADOW));
  }
  CMenuXP::SetLastOpenBarItem(RECT{0, 0, 0, 0});
}

namespace {
class MenuDialog : public CLXDialog {
 public:
  MenuDialog() : CLXDialog(7303, nullptr) {}
  UINT GetTemplateID() override { return 7303; }
  int drawn = 0;
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    if (message == WM_DRAWITEM) ++drawn;
    return CLXDialog::OnWndMsg(message, wParam, lParam, result);
  }
};
}  // namespace

TEST(MenuXP, OwnerDrawnItemsOfARealMenuAreDrawnByTheirOwner) {
  EnsureApp();
  ASSERT_TRUE(qlw::AddResourceText("DIALOG 7303 \"Menus\"\n  LABEL -1 \"A dialog with a menu\"\n  BUTTON 1 \"OK\"\nEND\n"));
  ReportedVersion v(5, 1, VER_NT_WORKSTATION);
  MenuDialog d;
  ASSERT_TRUE(d.Create(7303, nullptr));
  CMenu holder, popup;
  popup.CreatePopupMenu();
  popup.AppendMenu(MF_STRING, 100, L"&Open\tCtrl+O");
  popup.AppendMenu(MF_SEPARATOR);
  popup.AppendMenu(MF_STRING | MF_CHECKED, 101, L"Show &Grid");
  holder.CreateMenu();
  holder.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(popup.m_hMenu), L"Popup");
  QImage shot;
  QTimer::singleShot(100, [&] {
    if (QWidget* open = QApplication::activePopupWidget()) {
      shot = open->grab().toImage();
      open->close();
    }
  });
  // The dialog's WM_INITMENUPOPUP converts the popup before it is shown.
  ::TrackPopupMenuEx(popup.m_hMenu, TPM_RETURNCMD, 50, 50, d.m_hWnd, nullptr);
  EXPECT_NE(OwnerDrawn(popup, 0), 0u);
  EXPECT_GT(d.drawn, 0);
  ASSERT_FALSE(shot.isNull());
  // Somewhere in the image column the owner's tint shows.
  const COLORREF tint = AdjustColor(Face(), 20, 0);
  bool found = false;
  for (int y = 0; y < shot.height() && !found; ++y)
    for (int x = 0; x < std::min(40, shot.width()) && !found; ++x) {
      QColor q = shot.pixelColor(x, y);
      found = RGB(q.red(), q.green(), q.blue()) == tint;
    }
  EXPECT_TRUE(found);
  // The popup's three-line border.
  auto at = [&](int x, int y) {
    QColor q = shot.pixelColor(x, y);
    return RGB(q.red(), q.green(), q.blue());
  };
  const int mid = shot.height() / 2;
  EXPECT_EQ(at(0, mid), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(at(1, mid), AdjustColor(Face(), 75, 0));
  EXPECT_EQ(at(2, mid), AdjustColor(Face(), 75, 0));
  EXPECT_EQ(at(shot.width() - 1, mid), GetSysColor(COLOR_3DDKSHADOW));
  holder.Detach();
  d.DestroyWindow();
}
