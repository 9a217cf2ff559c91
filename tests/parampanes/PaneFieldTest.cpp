// A pane's numeric field: a model value the field cannot show is kept by applies that the field
// did not cause, and a typed value is written only when it is finite and inside the range.
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <limits>

#include "Dialog.h"
#include "DiscloseablePane.h"
#include "LXAlphaButton.h"
#include "ResourceText.h"
#include "WndQt.h"
#include "WidgetApp.h"

namespace {
void EnsureApp() { qlwtest::EnsureWidgetApp("test_parampanes"); }

class Host : public CDialog {
 public:
  CLXEdit<double> edit;
  Host() {
    EnsureApp();
    static bool added = qlw::AddResourceText("DIALOG 9980 \"Field\"\n  EDIT 101 \"\"\nEND\n");
    EXPECT_TRUE(added);
    EXPECT_TRUE(Create(9980, nullptr));
    edit.SubclassDlgItem(101, this);
    edit.SetFormat(L"%0#.1f");
    edit.SetRange(1.0, 3.0);
  }
  ~Host() override {
    if (m_hWnd) DestroyWindow();
  }
};

CString Text(CWnd& w) {
  CString text;
  w.GetWindowText(text);
  return text;
}
}  // namespace

TEST(PaneField, ARefusedModelValueIsKeptUntilTheUserEdits) {
  Host host;
  CPaneField<double> field;
  field.edit = &host.edit;
  field.Show(0.5, true);
  EXPECT_EQ(Text(host.edit), CString(L"1.0"));
  EXPECT_DOUBLE_EQ(field.ValueOr(0.5), 0.5);  // another control's apply leaves 0.5 alone
  host.edit.SetValue(2.0, true);              // the user picks a value
  EXPECT_DOUBLE_EQ(field.ValueOr(0.5), 2.0);

  field.Show(2.5, true);
  EXPECT_FALSE(field.refused);
  EXPECT_DOUBLE_EQ(field.ValueOr(1.0), 2.5);
}

TEST(PaneField, TypedValuesOutsideTheRangeOrNotFiniteAreNotWritten) {
  Host host;
  CPaneField<double> field;
  field.edit = &host.edit;
  field.Show(2.0, true);
  const struct {
    double typed;
    double written;
  } cases[] = {{4.0, 2.0}, {0.0, 2.0}, {std::numeric_limits<double>::infinity(), 2.0},
               {std::numeric_limits<double>::quiet_NaN(), 2.0}, {1.5, 1.5}};
  for (const auto& c : cases) {
    host.edit.m_value = c.typed;  // what a keystroke leaves before the field's own check
    EXPECT_DOUBLE_EQ(field.ValueOr(2.0), c.written) << c.typed;
  }
}

TEST(DisclosureButton, TextBoxLeavesRoomForTheTriangle) {
  const struct {
    float width;
    float x, w;
  } cases[] = {{200.0f, 22.5f, 177.5f}, {22.5f, 22.5f, 0.0f}, {10.0f, 5.0f, 0.0f}, {0.0f, 0.0f, 0.0f}};
  for (const auto& c : cases) {
    const Gdiplus::RectF box = CDisclosureButton::TextBox({0.0f, 0.0f, c.width, 20.0f});
    EXPECT_FLOAT_EQ(box.X, c.x) << c.width;
    EXPECT_FLOAT_EQ(box.Width, c.w) << c.width;
    EXPECT_FLOAT_EQ(box.Height, 20.0f);
  }
}
