// The Export Graphics dialog: the size lines it shows and the answers it gives.
#include "GraphicsExportDialog.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "WidgetApp.h"

TEST(GraphicsExportDialog, SizeLinesFollowTheMagnification) {
  struct Case {
    int width, height;
    double magnification;
    const wchar_t *value, *pixels, *cm;
  } cases[] = {
      {640, 480, 2.0, L"2.00", L"1280 x 960 pixels", L"10.84 x 8.13 cm at 300 dpi"},
      {640, 480, 3.5, L"3.50", L"2240 x 1680 pixels", L"18.97 x 14.22 cm at 300 dpi"},
      // Pixels are truncated, not rounded.
      {333, 101, 1.5, L"1.50", L"499 x 151 pixels", L"4.23 x 1.28 cm at 300 dpi"},
  };
  for (const Case& c : cases) {
    CString value, pixels, cm;
    GraphicsExportDialog::SizeTexts(c.width, c.height, c.magnification, value, pixels, cm);
    EXPECT_EQ(value, CString(c.value));
    EXPECT_EQ(pixels, CString(c.pixels));
    EXPECT_EQ(cm, CString(c.cm));
  }
}

// A ticked box left behind by a pixel format that can keep transparency must not reach BMP or
// JPEG, where transparent white would save as black.
TEST(GraphicsExportDialog, TransparencyOnlyForFormatsThatKeepIt) {
  qlwtest::EnsureWidgetApp("test_panes");
  struct Case {
    UINT button;
    int code;
    bool transparent;
  } cases[] = {{4100, 45, true}, {4101, 43, false}, {4102, 50, false}, {4103, 46, true}, {4104, 54, true},
               {4105, 58, true}};
  for (const Case& c : cases) {
    GraphicsExportDialog dialog;
    dialog.m_baseWidth = 640;
    dialog.m_baseHeight = 480;
    ASSERT_TRUE(dialog.Create(GraphicsExportDialog::kTemplateId, nullptr));
    dialog.SendMessage(WM_COMMAND, 4104);
    dialog.m_transparentBox.SetCheck(BST_CHECKED);
    dialog.SendMessage(WM_COMMAND, c.button);
    dialog.OnOK();
    EXPECT_EQ(dialog.m_formatCode, c.code) << c.button;
    EXPECT_EQ(dialog.m_transparent, c.transparent) << c.button;
    EXPECT_DOUBLE_EQ(dialog.m_magnification, 2.0);
    dialog.DestroyWindow();
  }
}
