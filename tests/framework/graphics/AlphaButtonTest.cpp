// The image button driven by the mouse: modes, bus messages, repeat and menu timers, the menu's
// closing click and place, its frames themed and classic, disabled drawing and a missing image.
#include "LXAlphaButton.h"

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "GraphicsTestSupport.h"
#include "LXMessage.h"
#include "Themes.h"
#include "WndQt.h"

namespace {
constexpr UINT kId = 321;

class Recorder : public CWnd {
 public:
  std::vector<WPARAM> changed;
  std::vector<std::pair<WPARAM, LPARAM>> menuItems;
  std::vector<UINT> commands;
  LRESULT OnChanged(WPARAM w, LPARAM) { return changed.push_back(w), 1; }
  LRESULT OnMenuItem(WPARAM w, LPARAM l) { return menuItems.emplace_back(w, l), 1; }
  BOOL OnCommand(WPARAM w, LPARAM) override { return commands.push_back(LOWORD(w)), TRUE; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Recorder, CWnd)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedSync, &Recorder::OnChanged)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedAsync, &Recorder::OnChanged)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonMenuItemSync, &Recorder::OnMenuItem)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonMenuItemAsync, &Recorder::OnMenuItem)
END_MESSAGE_MAP()

Gdiplus::Bitmap* Square(Gdiplus::ARGB colour) {
  auto* b = new Gdiplus::Bitmap(16, 16);
  Gdiplus::Graphics g(b);
  g.Clear(Gdiplus::Color(colour));
  return b;
}

struct Fixture {
  Recorder parent;
  CAlphaButton button;
  std::unique_ptr<Gdiplus::Bitmap> red{Square(0xFFFF0000u)};
  explicit Fixture(UINT mode, UINT frame = CAlphaButton::kFramed) : button(mode, CAlphaButton::kImage, frame, 0) {
    graphicstest::EnsureApp();
    EXPECT_TRUE(parent.CreateEx(0, nullptr, L"Buttons", WS_OVERLAPPEDWINDOW, CRect(0, 0, 200, 120), nullptr, 0));
    EXPECT_TRUE(button.Create(L"", WS_VISIBLE, CRect(10, 10, 42, 42), &parent, kId));
    button.SetImages(red.get(), nullptr);
    parent.ShowWindow(SW_SHOW);
  }
  QWidget* W() { return qlw::WidgetOf(button.m_hWnd); }
  void Press() { QTest::mousePress(W(), Qt::LeftButton, {}, QPoint(16, 16)); }
  void Release() { QTest::mouseRelease(W(), Qt::LeftButton, {}, QPoint(16, 16)); }
  void Settle() { qlw::ProcessPendingMessages(); }
  QImage Grab() { return W()->grab().toImage(); }
};

struct MenuLog {
  static inline int shown = 0;
  static inline HWND pressAgain = nullptr;
  static UINT Answer(HMENU, HWND) {
    ++shown;
    // The click that closes the menu lands on the button.
    if (pressAgain) ::PostMessageW(pressAgain, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    return 4711;
  }
};
struct MenuSeam {
  CMenu menu, sub;
  MenuSeam() {
    MenuLog::shown = 0;
    MenuLog::pressAgain = nullptr;
    qlw::SetMenuAnswer(&MenuLog::Answer);
    sub.CreatePopupMenu();
    sub.AppendMenu(MF_STRING, 4711, L"Item");
    menu.CreateMenu();
    menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(sub.m_hMenu), L"Popup");
  }
  ~MenuSeam() {
    qlw::SetMenuAnswer(nullptr);
    sub.Detach();
  }
};
}  // namespace

TEST(AlphaButton, ModesPressToggleAndLatchAndPostOneChangePerRelease) {
  struct Case {
    UINT mode;
    bool whileHeld, afterFirst, afterSecond;
  } cases[] = {{CAlphaButton::kPush, true, false, false},
               {CAlphaButton::kToggle, true, true, false},
               {CAlphaButton::kLatch, true, true, true}};
  for (const auto& c : cases) {
    Fixture f(c.mode);
    f.Press();
    EXPECT_EQ(f.button.IsChecked(), c.whileHeld) << c.mode;
    f.Release();
    EXPECT_EQ(f.button.IsChecked(), c.afterFirst) << c.mode;
    f.Press();
    f.Release();
    EXPECT_EQ(f.button.IsChecked(), c.afterSecond) << c.mode;
    f.Settle();
    EXPECT_EQ(f.parent.changed, (std::vector<WPARAM>{kId, kId})) << c.mode;
  }
}

TEST(AlphaButton, AReleaseOutsideTheButtonSendsNothing) {
  for (const UINT mode : {CAlphaButton::kPush, CAlphaButton::kToggle}) {
    for (const bool movedOutFirst : {true, false}) {
      Fixture f(mode);
      f.Press();
      if (movedOutFirst) QTest::mouseMove(f.W(), QPoint(80, 16));
      QTest::mouseRelease(f.W(), Qt::LeftButton, {}, QPoint(80, 16));
      f.Settle();
      // Leaving the button reports the press undone once; the release itself reports nothing.
      EXPECT_EQ(f.parent.changed.size(), movedOutFirst ? 1u : 0u) << mode << " " << movedOutFirst;
      EXPECT_FALSE(f.button.IsChecked()) << mode << " " << movedOutFirst;
      EXPECT_FALSE(f.button.IsMouseDown());
    }
  }
}

TEST(AlphaButton, RepeatPostsWhileHeldInsideAndStopsWhenDraggedOut) {
  Fixture f(CAlphaButton::kRepeat);
  f.Press();
  f.Settle();
  EXPECT_EQ(f.parent.changed.size(), 1u);  // at once on press
  EXPECT_TRUE(QTest::qWaitFor([&f] { f.Settle(); return f.parent.commands.size() >= 2; }, 30000));
  f.Settle();
  EXPECT_EQ(f.parent.commands.front(), kId);
  QTest::mouseMove(f.W(), QPoint(80, 16));
  EXPECT_FALSE(f.button.IsMouseDown());
  EXPECT_EQ(f.button.GetRepeatTimer(), 0u);
  EXPECT_FALSE(f.button.IsChecked());
  const size_t repeats = f.parent.commands.size();
  QTest::qWait(250);
  f.Settle();
  EXPECT_EQ(f.parent.commands.size(), repeats);
  EXPECT_EQ(f.parent.changed.size(), 2u);  // leaving ends the gesture
  f.Release();
}

TEST(AlphaButton, DisabledWhileHeldStillStopsTheRepeatOnRelease) {
  Fixture f(CAlphaButton::kRepeat);
  f.Press();
  ASSERT_NE(f.button.GetRepeatTimer(), 0u);
  f.button.EnableWindow(FALSE);
  f.Release();
  EXPECT_EQ(f.button.GetRepeatTimer(), 0u);
  EXPECT_FALSE(f.button.IsChecked());
  const size_t repeats = f.parent.commands.size();
  QTest::qWait(250);
  f.Settle();
  EXPECT_EQ(f.parent.commands.size(), repeats);
}

TEST(AlphaButton, HeldMenuOpensAfterHalfASecondAndAnEarlyReleaseCancelsIt) {
  MenuSeam seam;
  Fixture f(CAlphaButton::kPush);
  f.button.AttachMenu(&seam.menu, &f.parent, true, 0);
  f.button.SetMenuKind(CAlphaButton::kMenuOnHold);
  f.button.SetMenuReturnsCommand(true);
  // Let go at once, long before the half second is out: the release takes the menu's timer away.
  f.Press();
  EXPECT_NE(f.button.GetMenuTimer(), 0u);
  f.Release();
  EXPECT_EQ(f.button.GetMenuTimer(), 0u);
  f.Settle();
  EXPECT_EQ(MenuLog::shown, 0);
  f.Press();
  EXPECT_TRUE(QTest::qWaitFor([&f] { f.Settle(); return MenuLog::shown == 1; }, 30000));
  EXPECT_FALSE(f.button.IsMouseDown());  // the menu ended the gesture
  f.Settle();
  ASSERT_EQ(f.parent.menuItems.size(), 1u);
  EXPECT_EQ(f.parent.menuItems[0], (std::pair<WPARAM, LPARAM>(kId, 4711)));
  f.Release();
}

TEST(AlphaButton, TheClickThatClosesTheMenuDoesNotPressTheButtonAgain) {
  MenuSeam seam;
  Fixture f(CAlphaButton::kPush);
  f.button.AttachMenu(&seam.menu, &f.parent, true, 0);
  f.button.SetMenuKind(CAlphaButton::kMenuOnPress);
  MenuLog::pressAgain = f.button.m_hWnd;
  EXPECT_TRUE(f.W()->testAttribute(Qt::WA_NoMouseReplay));
  f.Press();
  f.Settle();
  EXPECT_EQ(MenuLog::shown, 1);
  EXPECT_FALSE(f.button.IsChecked());
  EXPECT_FALSE(f.button.IsMouseDown());
  f.Release();  // the press's button must not stay down for the tests after this one
}

TEST(AlphaButton, MenuPlacementAnchors) {
  const RECT r{100, 50, 140, 70};
  struct Case {
    UINT placement;
    LONG x, y;
    UINT flags;
  } cases[] = {{1, 100, 50, TPM_RIGHTALIGN},
               {2, 100, 60, TPM_RIGHTALIGN | TPM_VCENTERALIGN},
               {4, 140, 50, 0},
               {5, 140, 60, TPM_VCENTERALIGN},
               {6, 140, 70, TPM_RIGHTALIGN | TPM_VERTICAL},
               {7, 120, 70, TPM_CENTERALIGN | TPM_VERTICAL},
               {0, 100, 70, TPM_VERTICAL}};
  for (const auto& c : cases) {
    UINT flags = 0;
    POINT p = CAlphaButton::MenuAnchor(r, c.placement, flags);
    EXPECT_EQ(p.x, c.x) << c.placement;
    EXPECT_EQ(p.y, c.y) << c.placement;
    EXPECT_EQ(flags, c.flags) << c.placement;
  }
}

TEST(AlphaButton, DisabledDrawsTheGreyCopyAndFlatPushedDarkens) {
  Fixture f(CAlphaButton::kToggle, CAlphaButton::kFlat);
  QColor normal = f.Grab().pixelColor(16, 16);
  EXPECT_GT(normal.red(), 200);
  EXPECT_LT(normal.green(), 60);
  f.button.SetChecked(true);
  QColor pushed = f.Grab().pixelColor(16, 16);
  EXPECT_NEAR(pushed.red(), 0.6 * 255, 6);  // flat and pushed without an alternate image
  f.button.SetChecked(false);
  f.button.EnableWindow(FALSE);
  QColor disabled = f.Grab().pixelColor(16, 16);
  EXPECT_LT(std::abs(disabled.red() - disabled.green()), 12);  // grey, faded into the face
}

TEST(AlphaButton, AMissingImageIsAMessageAndDrawsNothing) {
  Fixture f(CAlphaButton::kPush, CAlphaButton::kFlat);
  try {
    f.button.LoadImages(65000);
    FAIL() << "no exception";
  } catch (const CLXXCantLoadResource& e) {
    EXPECT_EQ(e.GetSeverity(), kLXSeverityMessage);
  }
  QImage shot = f.Grab();
  EXPECT_EQ(shot.pixelColor(16, 16).rgb(), QColor(shot.pixelColor(1, 1)).rgb());
}

// The attached menu and its submenus reserve a check column only when checks are wanted.
TEST(AlphaButton, AttachedMenusGetTheCheckStyleDownToTheirSubmenus) {
  for (const bool checks : {true, false}) {
    MenuSeam seam;
    Fixture f(CAlphaButton::kPush);
    f.button.AttachMenu(&seam.menu, &f.parent, checks, 0);
    for (HMENU menu : {seam.menu.m_hMenu, seam.sub.m_hMenu}) {
      MENUINFO info{sizeof(MENUINFO), MIM_STYLE, 0};
      ASSERT_TRUE(::GetMenuInfo(menu, &info));
      EXPECT_EQ(info.dwStyle, checks ? DWORD(MNS_CHECKORBMP) : DWORD(MNS_NOCHECK)) << checks;
    }
  }
}

// Images are inverted only in high-contrast mode, and there only on a dark button face.
TEST(AlphaButton, ImagesInvertOnlyOnADarkHighContrastFace) {
  struct HighContrast {
    HighContrast(bool on, COLORREF face) { qlw::SetHighContrastForTesting(on, face); }
    ~HighContrast() { qlw::SetHighContrastForTesting(false, 0); }
  };
  const struct {
    bool on;
    COLORREF face;
    bool inverted;
  } cases[] = {{false, 0, false}, {true, RGB(0, 0, 0), true}, {true, RGB(255, 255, 255), false}};
  for (const auto& c : cases) {
    HighContrast mode(c.on, c.face);
    Fixture f(CAlphaButton::kPush, CAlphaButton::kFlat);
    const QColor centre = f.Grab().pixelColor(16, 16);
    EXPECT_EQ(CAlphaButton::InvertsImages(), c.inverted) << c.on << " " << std::hex << c.face;
    // The red square, or its inverse in cyan.
    EXPECT_EQ(centre.red() < 60 && centre.green() > 200, c.inverted) << c.on << " " << std::hex << c.face;
    EXPECT_EQ(centre.red() > 200 && centre.green() < 60, !c.inverted) << c.on << " " << std::hex << c.face;
  }
}

namespace {
// The frame drawn straight through the platform on a 32 x 32 bitmap, next to the button's own:
// the ring outside the image (at 8..24, or 9..25 when pushed), which only the frame paints.
int FrameDifference(const QImage& shot, const std::function<void(HDC, RECT&)>& draw) {
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(mem, 32, 32);
  HGDIOBJ old = SelectObject(mem, bitmap);
  RECT r{0, 0, 32, 32};
  draw(mem, r);
  int worst = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      if (x >= 7 && x < 26 && y >= 7 && y < 26) continue;
      const COLORREF want = GetPixel(mem, x, y);
      const QColor got = shot.pixelColor(x, y);
      worst = std::max({worst, std::abs(got.red() - int(GetRValue(want))), std::abs(got.green() - int(GetGValue(want))),
                        std::abs(got.blue() - int(GetBValue(want)))});
    }
  SelectObject(mem, old);
  DeleteObject(bitmap);
  DeleteDC(mem);
  return worst;
}
}  // namespace

// A framed button draws the "Button" theme's push button over the parent's background, or, with
// themes off, the classic frame control: pushed, hot while focused, flat for BS_FLAT, inactive
// when disabled. A theme change takes the setting up again.
TEST(AlphaButton, FramesDrawAsTheThemeOrTheFrameControlDraws) {
  graphicstest::EnsureApp();
  HTHEME theme = OpenThemeData(nullptr, L"Button");
  ASSERT_NE(theme, nullptr);
  const auto themed = [theme](int state) {
    return [theme, state](HDC dc, RECT& r) {
      DrawThemeParentBackground(nullptr, dc, &r);
      DrawThemeBackground(theme, dc, BP_PUSHBUTTON, state, &r, nullptr);
    };
  };
  const auto classic = [](UINT state) {
    return [state](HDC dc, RECT& r) { DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | state); };
  };
  enum Setup { kPlain, kPushed, kFocused, kFlatStyle, kDisabled };
  const struct Case {
    bool themesOff;
    Setup setup;
    std::function<void(HDC, RECT&)> draw;
  } cases[] = {{false, kPlain, themed(PBS_NORMAL)},      {false, kPushed, themed(PBS_PRESSED)},
               {false, kFocused, themed(PBS_NORMAL)},    {false, kDisabled, themed(PBS_DISABLED)},
               {true, kPlain, classic(0)},               {true, kPushed, classic(DFCS_PUSHED)},
               {true, kFocused, classic(DFCS_HOT)},      {true, kFlatStyle, classic(DFCS_FLAT)},
               {true, kDisabled, classic(DFCS_INACTIVE)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "themes off " << c.themesOff << ", setup " << c.setup);
    Fixture f(CAlphaButton::kToggle, CAlphaButton::kFramed);
    f.button.SetThemesOff(c.themesOff);
    f.button.SendMessage(WM_THEMECHANGED);
    if (c.setup == kPushed) f.button.SetChecked(true);
    if (c.setup == kFlatStyle) f.button.ModifyStyle(0, BS_FLAT);
    if (c.setup == kDisabled) f.button.EnableWindow(FALSE);
    if (c.setup == kFocused) {
      f.parent.SetActiveWindow();
      f.button.SetFocus();
      ASSERT_EQ(::GetFocus(), f.button.m_hWnd);
    }
    EXPECT_EQ(FrameDifference(f.Grab(), c.draw), 0);
  }
  CloseThemeData(theme);
}

// Focus draws no rectangle: a focused themed button looks as it does unfocused.
TEST(AlphaButton, FocusDrawsNoRectangle) {
  Fixture f(CAlphaButton::kPush, CAlphaButton::kFramed);
  f.parent.SetActiveWindow();
  const QImage before = f.Grab();
  f.button.SetFocus();
  ASSERT_EQ(::GetFocus(), f.button.m_hWnd);
  EXPECT_EQ(f.Grab(), before);
}

// The caption of a disabled button is embossed: a copy lighter than the face under a shadowed
// one (a plain grey caption has nothing lighter than the face).
TEST(AlphaButton, DisabledTextIsEmbossed) {
  graphicstest::EnsureApp();
  Recorder parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, L"Buttons", WS_OVERLAPPEDWINDOW, CRect(0, 0, 200, 120), nullptr, 0));
  CAlphaButton button(CAlphaButton::kPush, CAlphaButton::kTextOnly, CAlphaButton::kFramed, 3);
  ASSERT_TRUE(button.Create(L"Hello", WS_VISIBLE, CRect(10, 10, 90, 40), &parent, kId));
  button.SetThemesOff(true);
  parent.ShowWindow(SW_SHOW);
  const int face = GetRValue(GetSysColor(COLOR_BTNFACE));
  // Pixels inside the frame lighter than the face, or darker than it by a quarter.
  const auto count = [&](bool lighter) {
    const QImage shot = qlw::WidgetOf(button.m_hWnd)->grab().toImage();
    int n = 0;
    for (int y = 4; y < shot.height() - 4; ++y)
      for (int x = 4; x < shot.width() - 4; ++x) {
        const QColor c = shot.pixelColor(x, y);
        n += lighter ? std::min({c.red(), c.green(), c.blue()}) > face + 4 : std::max({c.red(), c.green(), c.blue()}) < face * 3 / 4;
      }
    return n;
  };
  EXPECT_EQ(count(true), 0);
  button.EnableWindow(FALSE);
  EXPECT_GT(count(true), 5);
  EXPECT_GT(count(false), 5);
}

// A menu that cannot open below a button at the bottom of the screen opens above it, clear of
// the button, rather than being pushed back over it.
TEST(AlphaButton, MenuKeepsClearOfTheButton) {
  graphicstest::EnsureApp();
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  CMenu menu, sub;
  sub.CreatePopupMenu();
  for (UINT id = 4711; id < 4716; ++id) sub.AppendMenu(MF_STRING, id, L"Item");
  menu.CreateMenu();
  menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(sub.m_hMenu), L"Popup");
  sub.Detach();
  Fixture f(CAlphaButton::kPush);
  f.parent.MoveWindow(screen.left() + 100, screen.bottom() - 150, 200, 120);
  CRect client;
  f.parent.GetClientRect(&client);
  f.button.MoveWindow(10, client.bottom - 34, 32, 32);
  CRect button;
  f.button.GetWindowRect(&button);
  ASSERT_GE(button.bottom, screen.bottom() - 40) << "the button is not near the bottom";
  f.button.AttachMenu(&menu, &f.parent, true, 0);
  struct Watch : QObject {
    QRect shown;
    bool eventFilter(QObject* o, QEvent* e) override {
      if (auto* m = qobject_cast<QMenu*>(o); m && e->type() == QEvent::Show) {
        shown = m->geometry();
        QMetaObject::invokeMethod(m, &QMenu::close, Qt::QueuedConnection);
      }
      return false;
    }
  } watch;
  qApp->installEventFilter(&watch);
  f.button.ShowPopupMenu();
  qApp->removeEventFilter(&watch);
  ASSERT_FALSE(watch.shown.isNull());
  EXPECT_FALSE(watch.shown.intersects(QRect(button.left, button.top, button.Width(), button.Height())))
      << watch.shown.top() << ".." << watch.shown.bottom() << " over " << button.top << ".." << button.bottom;
  EXPECT_LE(watch.shown.bottom(), button.top);
}
