// What the crystal and data editors share: the dialog grown to show its list's columns.
#include "EditorSupport.h"

#include <gtest/gtest.h>

#include "Dialog.h"
#include "ResourceText.h"
#include "TestSupport.h"
#include "WidgetApp.h"

namespace {
// Three columns of the width asked, wider together than the dialog's template makes it.
class WideList : public CSubEditList {
 public:
  explicit WideList(int width) {
    m_specs[0] = {LVCFMT_LEFT, 0, 0, -1, -1, 0xFFFFFFFFu, kKindText};
    for (int i = 1; i < 4; ++i) m_specs[i] = {LVCFMT_LEFT, width, 0, -1, -1, 0xFFFFFFFFu, kKindText};
  }
  bool GetColumnSpecs(const ColumnSpec*& specs, bool& stretch, int& column) override {
    specs = m_specs;
    stretch = false;
    column = -1;
    return true;
  }

 private:
  ColumnSpec m_specs[4];
};
}  // namespace

// The editors open centred on the window they come from, then grow to show their columns: they
// grow about their centre and stay on the screen, so that OK and the close box can be reached
// (the crystal editor of a window near the screen's right edge reached past it).
TEST(EditorSupport, FittingTheDialogToItsListKeepsItCentredAndOnTheScreen) {
  qlwtest::EnsureWidgetApp("test_panes");
  static const bool added = qlw::AddResourceText(R"(
DIALOG 9981 "Editor"
  LIST 101 "" OWNERDATA
  BUTTON 1 "OK" DEFAULT
END
)");
  ASSERT_TRUE(added);
  MONITORINFO monitor{sizeof monitor, {}, {}, 0};
  ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(nullptr, MONITOR_DEFAULTTOPRIMARY), &monitor));
  const CRect work(monitor.rcWork);
  // An owner in the middle, one at the right edge, and columns wider than the screen.
  const int ownerWidth = work.Width() / 2, ownerHeight = work.Height() / 2;
  struct Case {
    int ownerLeft, columnWidth;
    bool centred;
  } cases[] = {{work.left + work.Width() / 4, work.Width() / 5, true},
               {work.right - ownerWidth, work.Width() / 5, false},
               {work.left + work.Width() / 4, work.Width(), false}};
  for (const Case& c : cases) {
    CWnd owner;
    const CRect ownerAt(c.ownerLeft, work.top + work.Height() / 4, c.ownerLeft + ownerWidth,
                        work.top + work.Height() / 4 + ownerHeight);
    ASSERT_TRUE(owner.CreateEx(0, nullptr, L"owner", WS_OVERLAPPEDWINDOW, ownerAt, nullptr, 0));
    CDialog dialog;
    ASSERT_TRUE(dialog.Create(9981, &owner));
    WideList list(c.columnWidth);
    ASSERT_TRUE(list.SubclassDlgItem(101, &dialog));
    list.Initialise(&dialog, 4, nullptr);
    CRect before, after, ownerRect;
    dialog.GetWindowRect(&before);
    owner.GetWindowRect(&ownerRect);
    editors::FitDialogToList(dialog, list, 10);
    dialog.GetWindowRect(&after);
    if (c.columnWidth < work.Width()) EXPECT_GT(after.Width(), before.Width() + c.columnWidth) << c.ownerLeft;
    if (c.centred) {
      EXPECT_NEAR(after.CenterPoint().x, ownerRect.CenterPoint().x, 1) << c.ownerLeft;
      EXPECT_NEAR(after.CenterPoint().y, ownerRect.CenterPoint().y, 1) << c.ownerLeft;
    }
    EXPECT_GE(after.left, work.left) << c.ownerLeft;
    EXPECT_LE(after.right, work.right) << c.ownerLeft;
    EXPECT_GE(after.top, work.top) << c.ownerLeft;
    EXPECT_LE(after.bottom, work.bottom) << c.ownerLeft;
    list.UnsubclassWindow();
    dialog.DestroyWindow();
    owner.DestroyWindow();
  }
}
