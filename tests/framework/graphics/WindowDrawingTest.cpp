// Drawing-layer routines that take a window: the focus frame outside a paint, the bold window font.
#include "GraphicsTestSupport.h"
#include "LXColor.h"
#include "LXGdiplus.h"
#include "Wnd.h"
#include "WndQt.h"

#include <gtest/gtest.h>

#include <QWidget>

using namespace graphicstest;

namespace {
class FontWindow : public CWnd {
 public:
  HFONT font = nullptr;
  LRESULT OnGetFont(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(font); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(FontWindow, CWnd)
ON_MESSAGE(WM_GETFONT, &FontWindow::OnGetFont)
END_MESSAGE_MAP()

void Pump() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}
}  // namespace

TEST(DrawFocusFrame, OutsideAPaintItAppearsAtTheNextOne) {
  EnsureApp();
  CWnd w;
  ASSERT_TRUE(w.CreateEx(0, nullptr, L"Focus", WS_OVERLAPPEDWINDOW, CRect(0, 0, 120, 80), nullptr, 0));
  w.ShowWindow(SW_SHOW);
  Pump();
  RECT frame{10, 10, 60, 40};
  DrawFocusFrame(&w, &frame);
  QImage shot = qlw::WidgetOf(w.m_hWnd)->grab().toImage();
  QColor base = shot.pixelColor(30, 60), outer = shot.pixelColor(30, 10), inside = shot.pixelColor(30, 25);
  EXPECT_NE(outer, base);
  EXPECT_EQ(inside, shot.pixelColor(90, 25));  // within the rings the window shows through
  // The highlight blended at half opacity over the background.
  LXGraphics::CColor highlight = LXGraphics::CColor::FromThemeSysColor(nullptr, COLOR_HIGHLIGHT);
  EXPECT_NEAR(outer.red(), (highlight.GetR() * 127 + base.red() * 128) / 255, 2);
  w.DestroyWindow();
}

TEST(CreateBoldWindowFont, TheWindowsFontInBold) {
  EnsureApp();
  FontWindow w;
  ASSERT_TRUE(w.CreateEx(0, nullptr, L"Fonts", WS_OVERLAPPEDWINDOW, CRect(0, 0, 50, 50), nullptr, 0));
  EXPECT_EQ(CreateBoldWindowFont(&w), nullptr);  // no font: none
  LOGFONTW lf{};
  lf.lfHeight = -13;
  lf.lfItalic = 1;
  wcscpy(lf.lfFaceName, L"Verdana");
  w.font = CreateFontIndirectW(&lf);
  std::unique_ptr<CFont> bold(CreateBoldWindowFont(&w));
  ASSERT_TRUE(bold);
  LOGFONTW got{};
  bold->GetLogFont(&got);
  EXPECT_EQ(got.lfWeight, FW_BOLD);
  EXPECT_EQ(got.lfHeight, -13);
  EXPECT_EQ(got.lfItalic, 1);
  EXPECT_STREQ(got.lfFaceName, L"Verdana");
  w.DestroyWindow();
  DeleteObject(w.font);
}
