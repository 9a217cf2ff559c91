// The colour popup: its palette, the chosen entry, previews, keys, mouse release, the custom
// colours kept through the colour dialog and the preferences.
#include "LXColorPopup.h"

#include <QApplication>
#include <QColorDialog>
#include <QWindow>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include "CommonDialogs.h"
#include "GraphicsTestSupport.h"
#include "LXPreferences.h"
#include "WndQt.h"

namespace {
class Owner : public CWnd {
 public:
  std::vector<std::pair<UINT, LPARAM>> got;
  LRESULT Change(WPARAM, LPARAM l) { return got.emplace_back(WM_COLORPICK_CHANGE, l), 0; }
  LRESULT Accept(WPARAM, LPARAM l) { return got.emplace_back(WM_COLORPICK_ACCEPT, l), 0; }
  LRESULT Cancel(WPARAM, LPARAM l) { return got.emplace_back(WM_COLORPICK_CANCEL, l), 0; }
  Owner() {
    graphicstest::EnsureApp();
    EXPECT_TRUE(CreateEx(0, nullptr, L"Owner", WS_OVERLAPPEDWINDOW, CRect(0, 0, 200, 100), nullptr, 0));
  }
  ~Owner() override { DestroyWindow(); }
  std::pair<UINT, LPARAM> Last() const { return got.empty() ? std::pair<UINT, LPARAM>(0, 0) : got.back(); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Owner, CWnd)
  ON_MESSAGE(WM_COLORPICK_CHANGE, &Owner::Change)
  ON_MESSAGE(WM_COLORPICK_ACCEPT, &Owner::Accept)
  ON_MESSAGE(WM_COLORPICK_CANCEL, &Owner::Cancel)
END_MESSAGE_MAP()

struct TestStore : CLXPreferences {
  uint32_t GetPrefsVersion() override { return 1; }
  uint32_t GetMinPrefsVersion() override { return 1; }
  void SaveMainFrameState() override {}
  void SaveSettings() override {}
  void Recreate() override {}
};

QWidget* W(CColorPopup* p) { return qlw::WidgetOf(p->m_hWnd); }
QPoint Centre(const CRect& r) { return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2); }
void MoveTo(CColorPopup* p, const CRect& r) { p->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(Centre(r).x(), Centre(r).y())); }
void Key(CColorPopup* p, UINT vk) { p->SendMessage(WM_KEYDOWN, vk, 0); }
}  // namespace

TEST(ColorPopup, PaletteIsSortedColoursThenGreysThenSixteenCustomSlots) {
  CColorPopup::ResetPalette();
  const auto& palette = CColorPopup::Palette();
  ASSERT_EQ(palette.size(), 56u);
  for (int i = 1; i < 32; ++i)
    EXPECT_FALSE(LXGraphics::CColor::LessForPalette(palette[i].colour, palette[i - 1].colour)) << i;
  EXPECT_EQ(palette[32].name, CString(L"White"));
  EXPECT_EQ(palette[39].colour.GetValue(), 0xFF000000u);
  EXPECT_EQ(palette[40].name, CString(L"Custom color 1"));
  EXPECT_EQ(palette[55].name, CString(L"Custom color 16"));
  EXPECT_EQ(palette[55].colour.GetValue(), 0xFFFFFFFFu);
}

TEST(ColorPopup, ChosenEntryAndTheSlotsAPopupShows) {
  Owner owner;
  CColorPopup::ResetPalette();
  // The first popup offers no custom entry: the slots exist all the same but are not shown.
  auto* plain = new CColorPopup(CPoint(10, 10), 0xFF123456u, &owner, L"", L"");
  EXPECT_EQ(CColorPopup::Palette().size(), 56u);
  EXPECT_EQ(plain->GetColourCount(), 40);
  EXPECT_EQ(plain->GetChosenIndex(), CColorPopup::kNone);
  Key(plain, VK_ESCAPE);
  auto* custom = new CColorPopup(CPoint(10, 10), 0xFF123456u, &owner);
  EXPECT_EQ(custom->GetColourCount(), 56);
  EXPECT_EQ(custom->GetChosenIndex(), CColorPopup::kCustomEntry);
  Key(custom, VK_ESCAPE);
  auto* red = new CColorPopup(CPoint(10, 10), 0xFFFF0000u, &owner);
  ASSERT_GE(red->GetChosenIndex(), 0);
  EXPECT_EQ(CColorPopup::Palette()[size_t(red->GetChosenIndex())].name, CString(L"Red"));
  Key(red, VK_ESCAPE);
}

TEST(ColorPopup, KeyboardMovesThroughGridAndEntries) {
  Owner owner;
  auto* p = new CColorPopup(CPoint(10, 10), 0xFF000000u, &owner, L"Automatic", L"More Colours...");
  const int last = p->GetColourCount() - 1;
  struct Case {
    int from;
    UINT key;
    int to;
  } cases[] = {{0, VK_DOWN, 8},          {0, VK_RIGHT, 1},        {7, VK_RIGHT, 8},        {8, VK_LEFT, 7},
               {0, VK_UP, -3},           {0, VK_LEFT, -3},        {last, VK_RIGHT, -2},    {last, VK_DOWN, -2},
               {-3, VK_DOWN, 0},         {-3, VK_UP, -2},         {-2, VK_DOWN, -3},       {-2, VK_UP, last},
               {-2, VK_LEFT, last},      {-3, VK_RIGHT, 0}};
  for (const auto& c : cases) EXPECT_EQ(p->Move(c.from, c.key), c.to) << c.from << " key " << c.key;
  Key(p, VK_ESCAPE);
  auto* bare = new CColorPopup(CPoint(10, 10), 0xFF000000u, &owner, L"", L"");
  EXPECT_EQ(bare->Move(0, VK_UP), 39);
  EXPECT_EQ(bare->Move(39, VK_RIGHT), 0);
  EXPECT_EQ(bare->Move(35, VK_DOWN), 0);
  Key(bare, VK_ESCAPE);
}

TEST(ColorPopup, EscapeReportsTheInitialColourWhateverWasPreviewed) {
  Owner owner;
  auto* p = new CColorPopup(CPoint(10, 10), 0xFF123456u, &owner);
  QTest::keyClick(W(p), Qt::Key_Right);
  QTest::keyClick(W(p), Qt::Key_Right);
  ASSERT_EQ(owner.got.size(), 2u);
  EXPECT_EQ(owner.got[1].first, UINT(WM_COLORPICK_CHANGE));
  QTest::keyClick(W(p), Qt::Key_Escape);
  EXPECT_EQ(owner.Last(), (std::pair<UINT, LPARAM>(WM_COLORPICK_CANCEL, RGB(0x12, 0x34, 0x56))));
}

TEST(ColorPopup, AutomaticPreviewsOpaqueBlackAndIsAcceptedAsZero) {
  Owner owner;
  auto* p = new CColorPopup(CPoint(10, 10), 0xFFFF0000u, &owner, L"Automatic", L"More Colours...");
  MoveTo(p, p->GetDefaultRect());
  EXPECT_EQ(owner.Last(), (std::pair<UINT, LPARAM>(WM_COLORPICK_CHANGE, LPARAM(0xFF000000u))));
  Key(p, VK_RETURN);
  EXPECT_EQ(owner.Last(), (std::pair<UINT, LPARAM>(WM_COLORPICK_ACCEPT, 0)));
}

TEST(ColorPopup, ReleaseOverASwatchAcceptsItAndOutsideCancels) {
  Owner owner;
  auto* p = new CColorPopup(CPoint(10, 10), 0xFF123456u, &owner);
  const CRect swatch = p->GetSwatchRect(3);
  const DWORD colour = CColorPopup::Palette()[3].colour.GetValue();
  QTest::mouseMove(W(p), Centre(swatch));
  QTest::mouseRelease(W(p), Qt::LeftButton, {}, Centre(swatch));
  EXPECT_EQ(owner.Last(), (std::pair<UINT, LPARAM>(WM_COLORPICK_ACCEPT, RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF))));
  auto* q = new CColorPopup(CPoint(10, 10), 0xFF123456u, &owner);
  MoveTo(q, q->GetSwatchRect(5));
  q->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(-20, -20));
  EXPECT_EQ(owner.Last(), (std::pair<UINT, LPARAM>(WM_COLORPICK_CANCEL, RGB(0x12, 0x34, 0x56))));
}

TEST(ColorPopup, CustomColoursFromTheDialogReachLaterPopupsAndThePreferences) {
  Owner owner;
  new TestStore;
  CColorPopup::ResetPalette();
  qlw::SetCommonDialogAnswer([](QDialog* d) {
    auto* dialog = qobject_cast<QColorDialog*>(d);
    ASSERT_NE(dialog, nullptr);
    QColorDialog::setCustomColor(0, QColor(1, 2, 3));
    dialog->setCurrentColor(QColor(10, 20, 30));
    dialog->accept();
  });
  auto* p = new CColorPopup(CPoint(10, 10), 0xFF123456u, &owner);
  MoveTo(p, p->GetCustomRect());
  EXPECT_EQ(p->GetHotIndex(), CColorPopup::kCustomEntry);
  Key(p, VK_RETURN);
  qlw::SetCommonDialogAnswer(nullptr);
  EXPECT_EQ(owner.Last(), (std::pair<UINT, LPARAM>(WM_COLORPICK_ACCEPT, RGB(10, 20, 30))));
  ASSERT_EQ(g_pStore->m_CustomColors.Count(), 16u);
  EXPECT_EQ(g_pStore->m_CustomColors.At(0)->GetValue(), 0xFF010203u);
  // A new run: the table is built again and its slots come from the preferences.
  CColorPopup::ResetPalette();
  auto* again = new CColorPopup(CPoint(10, 10), 0xFF010203u, &owner);
  EXPECT_EQ(again->GetCustomColourCount(), 16);
  EXPECT_EQ(again->GetChosenIndex(), CColorPopup::kNamedColours);
  Key(again, VK_ESCAPE);
  // A cancelled colour dialog cancels the popup.
  qlw::SetCommonDialogAnswer([](QDialog* d) { d->reject(); });
  auto* cancelled = new CColorPopup(CPoint(10, 10), 0xFF123456u, &owner);
  MoveTo(cancelled, cancelled->GetCustomRect());
  Key(cancelled, VK_SPACE);
  qlw::SetCommonDialogAnswer(nullptr);
  EXPECT_EQ(owner.Last(), (std::pair<UINT, LPARAM>(WM_COLORPICK_CANCEL, RGB(0x12, 0x34, 0x56))));
  delete g_pStore;
  CColorPopup::ResetPalette();
}

TEST(ColorPopup, HasTheKeyboardAndAClickOutsideCancels) {
  Owner owner;
  owner.ShowWindow(SW_SHOW);
  QWidget* ownerWidget = qlw::WidgetOf(owner.m_hWnd);
  ownerWidget->activateWindow();
  QApplication::processEvents();
  auto* p = new CColorPopup(CPoint(10, 10), 0xFF123456u, &owner);
  QApplication::processEvents();
  // Keys typed while the popup is open: the window system hands them to the owner's window.
  QTest::keyClick(ownerWidget->windowHandle(), Qt::Key_Right);
  EXPECT_EQ(p->GetHotIndex(), 0);
  QTest::keyClick(ownerWidget->windowHandle(), Qt::Key_Right);
  EXPECT_EQ(p->GetHotIndex(), 1);
  ASSERT_EQ(owner.Last().first, UINT(WM_COLORPICK_CHANGE));

  // A press far from the popup, as on another program's window under the popup's grab.
  QTest::mousePress(ownerWidget->windowHandle(), Qt::LeftButton, {}, QPoint(190, 90));
  QApplication::processEvents();
  EXPECT_EQ(owner.Last(), (std::pair<UINT, LPARAM>(WM_COLORPICK_CANCEL, RGB(0x12, 0x34, 0x56))));
  QTest::mouseRelease(ownerWidget->windowHandle(), Qt::LeftButton, {}, QPoint(190, 90));
}
