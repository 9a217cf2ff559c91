// The colour button: the swatch it paints, and the messages its parent gets while its popup is
// open, previews, is accepted or is cancelled (by mouse or keys that reach the popup).
#include "LXColorButton.h"

#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Dialog.h"
#include "GraphicsTestSupport.h"
#include "ResourceText.h"
#include "WndQt.h"

namespace {
struct Canvas {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap;
  HGDIOBJ old;
  Canvas(int w, int h) : bitmap(CreateCompatibleBitmap(dc, w, h)), old(SelectObject(dc, bitmap)) {
    RECT all{0, 0, w, h};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  // ARGB of a pixel.
  DWORD At(int x, int y) const {
    const COLORREF c = GetPixel(dc, x, y);
    return 0xFF000000u | (DWORD(GetRValue(c)) << 16) | (DWORD(GetGValue(c)) << 8) | GetBValue(c);
  }
};

CString Hex(LPARAM colourRef) {
  const auto c = static_cast<DWORD>(colourRef);
  CString text;
  text.Format(L"#FF%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  return text;
}

// A dialog with a colour button (201) that logs what the button tells it.
class Host : public CDialog {
 public:
  std::vector<std::wstring> log;
  CColorButton button;
  Host() {
    graphicstest::EnsureApp();
    static bool added = qlw::AddResourceText(R"(
DIALOG 9991 "Colour"
  BUTTON 201 "" OWNERDRAW
  BUTTON 1 "OK" DEFAULT
END
)");
    EXPECT_TRUE(added);
    EXPECT_TRUE(Create(9991, nullptr));
    EXPECT_TRUE(button.SubclassDlgItem(201, this));
  }
  ~Host() override {
    if (m_hWnd) DestroyWindow();
  }
  LRESULT Log(const wchar_t* what, WPARAM id, LPARAM colour, bool withColour = true) {
    EXPECT_EQ(id, 201u);
    log.push_back(std::wstring(what) + (withColour ? L" " + std::wstring(Hex(colour).GetString()) : L""));
    return 0;
  }
  LRESULT OnOpen(WPARAM w, LPARAM l) { return Log(L"open", w, l); }
  LRESULT OnChange(WPARAM w, LPARAM l) { return Log(L"change", w, l); }
  LRESULT OnClose(WPARAM w, LPARAM l) { return Log(L"close", w, l, false); }
  LRESULT OnAccept(WPARAM w, LPARAM l) { return Log(L"accept", w, l); }
  LRESULT OnCancel(WPARAM w, LPARAM l) { return Log(L"cancel", w, l); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Host, CDialog)
  ON_MESSAGE(WM_COLORPICK_OPEN, &Host::OnOpen)
  ON_MESSAGE(WM_COLORPICK_CHANGE, &Host::OnChange)
  ON_MESSAGE(WM_COLORPICK_CLOSE, &Host::OnClose)
  ON_MESSAGE(WM_COLORPICK_ACCEPT, &Host::OnAccept)
  ON_MESSAGE(WM_COLORPICK_CANCEL, &Host::OnCancel)
END_MESSAGE_MAP()

// Moves the mouse over the palette entry of that colour.
void Hover(CColorPopup* popup, DWORD argb) {
  const auto& palette = CColorPopup::Palette();
  for (int i = 0; i < popup->GetColourCount(); ++i)
    if (palette[size_t(i)].colour.GetValue() == argb) {
      const CRect r = popup->GetSwatchRect(i);
      popup->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
      return;
    }
  ADD_FAILURE() << "no such colour";
}

QWidget* Widget(CWnd& w) { return qlw::WidgetOf(w.m_hWnd); }
}  // namespace

TEST(ColorButton, SwatchHasADarkTopLeftAndALightBottomRightRim) {
  graphicstest::EnsureApp();
  for (HTHEME theme : {HTHEME(nullptr), OpenThemeData(nullptr, L"Button")}) {
    Canvas canvas(40, 20);
    CColorButton::DrawSwatch(canvas.dc, RECT{0, 0, 40, 20}, 0, 0xFFFF0000u, theme);
    const RECT well = CColorButton::WellRect(RECT{0, 0, 40, 20}, theme != nullptr);
    EXPECT_EQ(well.left, theme ? 4 : 2);
    EXPECT_EQ(canvas.At(well.left, well.top), 0xFFB20000u);
    EXPECT_EQ(canvas.At(well.right - 2, well.top), 0xFFB20000u);
    EXPECT_EQ(canvas.At(well.right - 1, well.bottom - 1), 0xFFFF9999u);
    EXPECT_EQ(canvas.At(well.left, well.bottom - 1), 0xFFFF9999u);
    EXPECT_EQ(canvas.At(20, 10), 0xFFFF0000u);
    if (theme) CloseThemeData(theme);
  }
}

TEST(ColorButton, DisabledSwatchShowsNoColour) {
  graphicstest::EnsureApp();
  Canvas canvas(40, 20);
  CColorButton::DrawSwatch(canvas.dc, RECT{0, 0, 40, 20}, ODS_DISABLED, 0xFFFF0000u, nullptr);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) {
      const DWORD c = canvas.At(x, y);
      ASSERT_FALSE(((c >> 16) & 0xFF) > ((c >> 8) & 0xFF) + 40) << x << "," << y;  // nothing red
    }
}

TEST(ColorButton, TellsItsParentOfOpenPreviewAndChoice) {
  Host host;
  host.button.SetColor(0xFF0000FFu);
  host.button.SendMessage(BM_CLICK);
  CColorPopup* popup = host.button.GetPopup();
  ASSERT_NE(popup, nullptr);
  Hover(popup, 0xFFFF0000u);
  EXPECT_EQ(host.button.GetColor(), 0xFF0000FFu);  // no live preview
  // A release over the popup accepts the previewed colour.
  const CRect r = popup->GetSwatchRect(popup->GetHotIndex());
  popup->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(r.left + 2, r.top + 2));
  EXPECT_FALSE(host.button.IsPopupOpen());
  EXPECT_EQ(host.button.GetColor(), 0xFFFF0000u);
  const std::vector<std::wstring> expected = {L"open #FF0000FF", L"change #FFFF0000", L"close", L"accept #FFFF0000",
                                              L"change #FFFF0000"};
  EXPECT_EQ(host.log, expected);

  // Accepting the colour it already has changes nothing.
  host.log.clear();
  host.button.SendMessage(BM_CLICK);
  ASSERT_NE(host.button.GetPopup(), nullptr);
  QTest::keyClick(Widget(host.button), Qt::Key_Return);  // the keys reach the open popup
  const std::vector<std::wstring> same = {L"open #FFFF0000", L"close", L"accept #FFFF0000"};
  EXPECT_EQ(host.log, same);
}

TEST(ColorButton, CancelledLivePreviewPutsTheColourBack) {
  Host host;
  host.button.SetColor(0xFF00FF00u);
  host.button.SetLivePreview(true);
  host.button.SendMessage(BM_CLICK);
  CColorPopup* popup = host.button.GetPopup();
  ASSERT_NE(popup, nullptr);
  Hover(popup, 0xFF0000FFu);
  EXPECT_EQ(host.button.GetColor(), 0xFF0000FFu);
  QTest::keyClick(Widget(host.button), Qt::Key_Escape);
  EXPECT_FALSE(host.button.IsPopupOpen());
  EXPECT_EQ(host.button.GetColor(), 0xFF00FF00u);
  const std::vector<std::wstring> expected = {L"open #FF00FF00", L"change #FF0000FF", L"close", L"cancel #FF00FF00",
                                              L"change #FF00FF00"};
  EXPECT_EQ(host.log, expected);
  EXPECT_TRUE(host.m_hWnd != nullptr);  // Escape went to the popup, not to the dialog
}

TEST(ColorButton, APopupOpenWhenTheButtonGoesGoesWithIt) {
  Host host;
  host.button.SendMessage(BM_CLICK);
  ASSERT_NE(host.button.GetPopup(), nullptr);
  const HWND popup = host.button.GetPopup()->m_hWnd;
  host.button.DestroyWindow();
  EXPECT_FALSE(::IsWindow(popup));
  EXPECT_EQ(::GetCapture(), nullptr);
  EXPECT_EQ(host.button.GetPopup(), nullptr);
  const std::vector<std::wstring> expected = {L"open #FF000000"};
  EXPECT_EQ(host.log, expected);
}
