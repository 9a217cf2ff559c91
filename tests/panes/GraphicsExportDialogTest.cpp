// The Export Graphics dialog: the size lines it shows and the answers it gives.
#include "GraphicsExportDialog.h"

#include "Gdi.h"

#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"
#include "WidgetApp.h"
#include "WndQt.h"

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

// The transparency box is answered as it stands, also when the format hides it (BMP, JPEG):
// whoever saves decides by the format it saves in (AllowsTransparency).
TEST(GraphicsExportDialog, AnswersTheTransparencyBoxWhateverTheFormat) {
  qlwtest::EnsureWidgetApp("test_panes");
  struct Case {
    UINT button;
    int code;
    bool keepsTransparency;
  } cases[] = {{4100, 45, true}, {4101, 43, false}, {4102, 50, false}, {4103, 46, true}, {4104, 54, true},
               {4105, 58, true}};
  for (const Case& c : cases) {
    for (const int box : {BST_CHECKED, BST_UNCHECKED}) {
      GraphicsExportDialog dialog;
      dialog.m_baseWidth = 640;
      dialog.m_baseHeight = 480;
      ASSERT_TRUE(dialog.Create(GraphicsExportDialog::kTemplateId, nullptr));
      dialog.SendMessage(WM_COMMAND, 4104);
      dialog.m_transparentBox.SetCheck(box);
      dialog.SendMessage(WM_COMMAND, c.button);
      dialog.OnOK();
      EXPECT_EQ(dialog.m_formatCode, c.code) << c.button;
      EXPECT_EQ(dialog.m_transparent, box == BST_CHECKED) << c.button;
      EXPECT_EQ(GraphicsExportDialog::AllowsTransparency(c.code), c.keepsTransparency) << c.button;
      EXPECT_DOUBLE_EQ(dialog.m_magnification, 2.0);
      dialog.DestroyWindow();
    }
  }
}

// The headings, the size lines and the notes are drawn grey; the format buttons' captions are not
// among them.
TEST(GraphicsExportDialog, HeadingsAndNotesAreGrey) {
  qlwtest::EnsureWidgetApp("test_panes");
  GraphicsExportDialog dialog;
  ASSERT_TRUE(dialog.Create(GraphicsExportDialog::kTemplateId, nullptr));
  dialog.ShowWindow(SW_SHOW);
  for (const int id : {4116, 4117, 4113}) {
    QWidget* label = qlw::WidgetOf(::GetDlgItem(dialog.m_hWnd, id));
    ASSERT_NE(label, nullptr) << id;
    // Drawn as it is painted on screen: its darkest pixel is the text's grey, not black.
    const QImage image = label->grab().toImage();
    int darkest = 255;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) darkest = std::min(darkest, image.pixelColor(x, y).lightness());
    EXPECT_GT(darkest, 0x50) << id;
    EXPECT_LT(darkest, 0xC0) << id;
  }
  QWidget* magnification = qlw::WidgetOf(::GetDlgItem(dialog.m_hWnd, 4108));
  ASSERT_NE(magnification, nullptr);
  const QImage plain = magnification->grab().toImage();
  int darkest = 255;
  for (int y = 0; y < plain.height(); ++y)
    for (int x = 0; x < plain.width(); ++x) darkest = std::min(darkest, plain.pixelColor(x, y).lightness());
  EXPECT_LT(darkest, 0x40) << "the magnification label keeps the style's text colour";
  dialog.DestroyWindow();
}

// A format button's caption is drawn two points larger than the text of the DC it is given (the
// dialog font's size), and its frame leaves the left edge to the neighbouring button.
TEST(GraphicsExportDialog, FormatCaptionsAreTwoPointsLargerThanTheDialogText) {
  qlwtest::EnsureWidgetApp("test_panes");
  GraphicsExportDialog dialog;
  ASSERT_TRUE(dialog.Create(GraphicsExportDialog::kTemplateId, nullptr));
  dialog.ShowWindow(SW_SHOW);
  QWidget* button = qlw::WidgetOf(::GetDlgItem(dialog.m_hWnd, 4105));  // "TIFF", unchecked
  ASSERT_NE(button, nullptr);
  const QImage shot = button->grab().toImage();
  // The caption's cap height: the rows holding dark pixels.
  const auto inkRows = [](int width, int height, auto dark) {
    int top = -1, bottom = -1;
    for (int y = 0; y < height; ++y)
      for (int x = 1; x < width - 2; ++x)
        if (dark(x, y)) {
          if (top < 0) top = y;
          bottom = y;
          break;
        }
    return top < 0 ? 0 : bottom - top + 1;
  };
  const int caption = inkRows(shot.width(), shot.height(), [&](int x, int y) { return shot.pixelColor(x, y).lightness() < 100; });
  // The same word in the DC's own font, as a plain owner-drawn caption would show it.
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, shot.width(), shot.height());
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all{0, 0, shot.width(), shot.height()};
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  FillRect(dc, &all, white);
  DeleteObject(white);
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, L"TIFF", -1, &all, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  const int plain = inkRows(shot.width(), shot.height(), [&](int x, int y) { return GetRValue(GetPixel(dc, x, y)) < 100; });
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ASSERT_GT(plain, 0);
  // Two points are 2.7 pixels at 96 dpi.
  EXPECT_GE(caption, plain + 2) << caption << " against " << plain;
  EXPECT_LE(caption, plain + 4) << caption << " against " << plain;
  const int middle = shot.height() / 2;
  EXPECT_NE(shot.pixelColor(0, middle), QColor(0x88, 0x88, 0x88));
  EXPECT_EQ(shot.pixelColor(shot.width() / 2, 0), QColor(0x88, 0x88, 0x88));
  dialog.DestroyWindow();
}
