// The enumeration combo: filling from the tables, selection by value, checked answers, the
// drop-down's rows, selection by typed text, and the pictures it draws (inverted in dark
// high-contrast mode).
#include "IDCombo.h"

#include <gtest/gtest.h>

#include "Dialog.h"
#include "GraphicsTestSupport.h"
#include "Paint.h"
#include "ResourceText.h"

namespace {
enum Profile : std::uint32_t { kDelta = 1, kLorentzian = 2, kGaussian = 3, kPseudoVoigt = 4 };

class Host : public CDialog {
 public:
  CIDCombo<LXTypes::QLMarkerStyle> markers;
  CIDCombo<Profile> profiles;
  CIDCombo<LXTypes::QLLineStyle> lines;
  Host() {
    graphicstest::EnsureApp();
    static bool added = qlw::AddResourceText(R"(
DIALOG 9992 "Combos"
  DROPLIST 301 "" OWNERDRAW
  COMBO 302 ""
  DROPLIST 303 "" OWNERDRAW
END
)");
    EXPECT_TRUE(added);
    EXPECT_TRUE(Create(9992, nullptr));
    EXPECT_TRUE(markers.SubclassDlgItem(301, this));
    EXPECT_TRUE(profiles.SubclassDlgItem(302, this));
    EXPECT_TRUE(lines.SubclassDlgItem(303, this));
  }
  ~Host() override {
    if (m_hWnd) DestroyWindow();
  }
  void Notify(CWnd& combo, UINT code) { SendMessage(WM_COMMAND, MAKEWPARAM(combo.GetDlgCtrlID(), code), reinterpret_cast<LPARAM>(combo.m_hWnd)); }
};

struct Canvas {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap;
  HGDIOBJ old;
  Canvas(int w, int h) : bitmap(CreateCompatibleBitmap(dc, w, h)), old(SelectObject(dc, bitmap)) {}
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y) & 0xFFFFFF; }
};

void DrawEntry(CIDComboBase& combo, Canvas& canvas, int index) {
  DRAWITEMSTRUCT item{};
  item.CtlType = ODT_COMBOBOX;
  item.itemID = static_cast<UINT>(index);
  item.itemAction = ODA_DRAWENTIRE;
  item.hwndItem = combo.m_hWnd;
  item.hDC = canvas.dc;
  item.rcItem = RECT{0, 0, 100, 20};
  combo.DrawItem(&item);
}

struct HighContrast {
  HighContrast(COLORREF window) { qlw::SetHighContrastForTesting(true, window); }
  ~HighContrast() { qlw::SetHighContrastForTesting(false, 0); }
};
}  // namespace

TEST(IDCombo, FillsFromATableAndSelectsByValue) {
  Host host;
  EXPECT_EQ(host.markers.Fill(IDComboTables::kMarkerStyles, false), 0);
  EXPECT_EQ(host.markers.GetCount(), 13);
  EXPECT_EQ(host.markers.GetSelectedID(), LXTypes::kMarkerNone);
  EXPECT_EQ(host.markers.SelectID(LXTypes::kMarkerSolidCircle), 12);
  CString text;
  host.markers.GetLBText(12, text);
  EXPECT_EQ(text, CString(L"Solid Circle"));
  EXPECT_EQ(host.markers.GetSelectedID(), LXTypes::kMarkerSolidCircle);
  // A drop-down list asked for a value it does not hold shows no selection.
  EXPECT_EQ(host.markers.SelectID(static_cast<LXTypes::QLMarkerStyle>(99)), -1);
  EXPECT_EQ(host.markers.GetCurSel(), -1);
  EXPECT_EQ(host.markers.GetSelectedID(), 0u);

  // The end row's value 0 is in no profile row: the first item is selected.
  EXPECT_EQ(host.profiles.Fill(IDComboTables::kProfileTypes, true), 0);
  EXPECT_EQ(host.profiles.GetSelectedID(), kDelta);
  EXPECT_EQ(host.lines.Fill(IDComboTables::kLineStyles, false), 2);
  EXPECT_EQ(host.lines.GetSelectedID(), LXTypes::kLineSolid);
}

TEST(IDCombo, UniqueFillsAddOnceAndForeignItemsAnswerZero) {
  Host host;
  host.profiles.Fill(IDComboTables::kProfileTypes, true);
  host.profiles.Fill(IDComboTables::kProfileTypes, true);
  EXPECT_EQ(host.profiles.GetCount(), 4);
  host.lines.Fill(IDComboTables::kLineStyles, false);
  host.lines.Fill(IDComboTables::kLineStyles, false);
  EXPECT_EQ(host.lines.GetCount(), 10);  // line styles may repeat

  // An item added behind the combo's back carries no id: it answers 0, never another's value.
  const int foreign = host.profiles.AddString(L"Voigt");
  host.profiles.SetItemData(foreign, 1000);
  host.profiles.SetCurSel(foreign);
  EXPECT_EQ(host.profiles.GetSelectedID(), 0u);
}

TEST(IDCombo, DropHeightFollowsTheVisibleItems) {
  Host host;
  host.markers.Fill(IDComboTables::kMarkerStyles, false);
  host.Notify(host.markers, CBN_DROPDOWN);
  EXPECT_EQ(host.markers.GetDropRows(), 13);
  host.markers.m_visibleItems = 5;
  host.Notify(host.markers, CBN_DROPDOWN);
  EXPECT_EQ(host.markers.GetDropRows(), 5);
  host.markers.m_visibleItems = 1;
  host.Notify(host.markers, CBN_DROPDOWN);
  EXPECT_EQ(host.markers.GetDropRows(), 2);
}

TEST(IDCombo, LosingFocusSelectsTheItemOfTheTypedText) {
  Host host;
  host.profiles.Fill(IDComboTables::kProfileTypes, true);
  host.profiles.SetWindowText(L"Gaussian");
  host.Notify(host.profiles, CBN_KILLFOCUS);
  EXPECT_EQ(host.profiles.GetSelectedID(), kGaussian);
  host.profiles.SetWindowText(L"gaussian");  // not exactly a name: the selection stays
  host.Notify(host.profiles, CBN_KILLFOCUS);
  EXPECT_EQ(host.profiles.GetSelectedID(), kGaussian);
}

TEST(IDCombo, PicturesKeepTheirShapeAndInvertOnADarkHighContrastWindow) {
  Host host;
  host.lines.Fill(IDComboTables::kLineStyles, false);
  const int solid = host.lines.SelectID(LXTypes::kLineSolid);
  {
    Canvas canvas(100, 20);
    DrawEntry(host.lines, canvas, solid);
    // 64 x 12 fitted into 96 x 16: 85 wide, centred from x = 7; the line on the middle row.
    EXPECT_EQ(canvas.At(50, 10), 0x000000u);
    EXPECT_EQ(canvas.At(50, 3), 0xFFFFFFu);
    EXPECT_EQ(canvas.At(5, 10), 0xFFFFFFu);
  }
  {
    HighContrast on(RGB(0, 0, 0));
    Canvas canvas(100, 20);
    DrawEntry(host.lines, canvas, solid);
    EXPECT_EQ(canvas.At(50, 10), 0xFFFFFFu);
    EXPECT_EQ(canvas.At(50, 3), 0x000000u);
  }
  {
    HighContrast on(RGB(255, 255, 255));
    Canvas canvas(100, 20);
    DrawEntry(host.lines, canvas, solid);
    EXPECT_EQ(canvas.At(50, 10), 0x000000u);
  }
}

// A text item measures as its name in the combo's font; a picture item keeps the proposed size.
TEST(IDCombo, TextItemsMeasureAsTheirTextPictureItemsAsProposed) {
  Host host;
  host.profiles.Fill(IDComboTables::kProfileTypes, true);
  host.lines.Fill(IDComboTables::kLineStyles, false);
  const auto measure = [](CIDComboBase& combo, int index) {
    MEASUREITEMSTRUCT item{};
    item.CtlType = ODT_COMBOBOX;
    item.itemID = static_cast<UINT>(index);
    item.itemWidth = 7;
    item.itemHeight = 9;
    combo.MeasureItem(&item);
    return CSize(static_cast<int>(item.itemWidth), static_cast<int>(item.itemHeight));
  };
  const int gaussian = host.profiles.SelectID(kGaussian);
  CString name;
  host.profiles.GetLBText(gaussian, name);
  CClientDC dc(&host.profiles);
  HGDIOBJ old = dc.SelectObject(reinterpret_cast<HGDIOBJ>(host.profiles.SendMessage(WM_GETFONT)));
  const CSize extent = dc.GetTextExtent(name);
  if (old) dc.SelectObject(old);
  ASSERT_GT(extent.cx, 0);
  EXPECT_EQ(measure(host.profiles, gaussian), extent);
  EXPECT_EQ(measure(host.lines, host.lines.SelectID(LXTypes::kLineSolid)), CSize(7, 9));
}

// A combo of pointers keeps them whole (64 bits), as the crystal editor's site combo needs.
TEST(IDCombo, PointerValuesKeepAllTheirBits) {
  Host host;
  CIDCombo<const double*> sites;
  ASSERT_TRUE(sites.Create(WS_VISIBLE | CBS_DROPDOWNLIST, CRect(0, 0, 100, 20), &host, 399));
  static const double first = 1, second = 2;
  sites.AddItem(L"Ti1", reinterpret_cast<std::uintptr_t>(&first));
  sites.AddItem(L"O1", reinterpret_cast<std::uintptr_t>(&second));
  EXPECT_EQ(sites.SelectID(&second), 1);
  EXPECT_EQ(sites.GetSelectedID(), &second);
  sites.SetCurSel(-1);
  EXPECT_EQ(sites.GetSelectedID(), nullptr);
}
