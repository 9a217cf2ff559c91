// The Export Graphics dialog and its flat format buttons.
#include "GraphicsExportDialog.h"

#include "Gdi.h"
#include "GdiPlus.h"
#include "LXGdiplus.h"
#include "LXOwnerDraw.h"
#include "LXText.h"

namespace {
constexpr UINT kIdMagLabel = 4108, kIdSlider = 4107, kIdMagValue = 4115, kIdSizeLabel = 4114, kIdPixels = 4109,
               kIdCentimetres = 4110, kIdWhiteNote = 4112, kIdVectorNote = 4113, kIdTransparent = 4111,
               kIdVectorHeading = 4116, kIdPixelHeading = 4117;
constexpr int kCodeVector = 45, kCodeBmp = 43, kCodeJpeg = 50;
}  // namespace

// ----- FlatButton -----

BEGIN_MESSAGE_MAP(FlatButton, CButton)
  ON_WM_DRAWITEM_REFLECT()
END_MESSAGE_MAP()

UINT FlatButton::CheckMessage() {
  static const UINT message = RegisterWindowMessageW(L"QlwFlatButtonChecked");
  return message;
}

void FlatButton::SetChecked(bool checked) {
  m_checked = checked;
  if (m_hWnd) Invalidate();
}

LRESULT FlatButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == CheckMessage()) return m_checked ? 2 : 1;
  return CButton::WindowProc(message, wParam, lParam);
}

void FlatButton::DrawItem(LPDRAWITEMSTRUCT item) {
  const RECT& r = item->rcItem;
  const float x = float(r.left), y = float(r.top), w = float(r.right - r.left), h = float(r.bottom - r.top);
  Gdiplus::Graphics g(item->hDC);
  const Gdiplus::ARGB fill = m_checked ? LXGraphics::CColor::FromThemeSysColor(nullptr, COLOR_HIGHLIGHT).GetValue() | 0xFF000000u
                                       : 0xFFFBFBFBu;
  Gdiplus::SolidBrush brush{Gdiplus::Color(fill)};
  g.FillRectangle(&brush, x, y, w, h);
  // One pixel to the left: beside each other, the buttons share one line between them.
  Gdiplus::Pen frame{Gdiplus::Color(0xFF888888u), 1.0f};
  g.DrawRectangle(&frame, x - 1, y, w, h - 1);
  CString text;
  GetWindowText(text);
  // The dialog's face, two points larger than the DC's font.
  LOGFONTW font{};
  HFONT dialogFont = reinterpret_cast<HFONT>(::SendMessageW(::GetParent(m_hWnd), WM_GETFONT, 0, 0));
  if (!dialogFont) dialogFont = static_cast<HFONT>(::GetCurrentObject(item->hDC, OBJ_FONT));
  if (dialogFont) ::GetObjectW(dialogFont, sizeof font, &font);
  const float size = GetDCFontSize(CDC::FromHandle(item->hDC)) + 2.0f;
  DrawTextBox(&g, text, StyledFaceName(font), size, 0x48600, m_checked ? 0xFFFDFDFDu : 0xFF000000u,
              LXGraphics::CSyncRect(x, y, x + w, y + h));
}

// ----- ColourStatic -----

BEGIN_MESSAGE_MAP(ColourStatic, CStatic)
  ON_MESSAGE(WM_REFLECT_BASE + WM_CTLCOLORSTATIC, &ColourStatic::OnCtlColor)
END_MESSAGE_MAP()

ColourStatic::ColourStatic() { LXGraphics::EnsureOwnerDrawDC(); }

LRESULT ColourStatic::OnCtlColor(WPARAM dc, LPARAM) {
  const uint32_t argb = m_colour.GetValue();
  ::SetTextColor(reinterpret_cast<HDC>(dc), RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF));
  ::SetBkColor(reinterpret_cast<HDC>(dc), ::GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
}

// ----- GraphicsExportDialog -----

const GraphicsExportDialog::Format GraphicsExportDialog::kFormats[6] = {
    {4100, kCodeVector}, {4101, kCodeBmp}, {4102, kCodeJpeg}, {4103, 46}, {4104, 54}, {4105, 58},
};

BEGIN_MESSAGE_MAP(GraphicsExportDialog, CDialog)
  ON_COMMAND_RANGE(4100, 4105, &GraphicsExportDialog::OnFormat)
  ON_MESSAGE(WM_HSCROLL, &GraphicsExportDialog::OnHScroll)
END_MESSAGE_MAP()

GraphicsExportDialog::GraphicsExportDialog() : CDialog(kTemplateId, nullptr) {}

int GraphicsExportDialog::CodeOf(UINT id) {
  for (const Format& f : kFormats)
    if (f.id == id) return f.code;
  return 0;
}

bool GraphicsExportDialog::AllowsTransparency(int code) { return code != 0 && code != kCodeBmp && code != kCodeJpeg; }

void GraphicsExportDialog::SizeTexts(int width, int height, double m, CString& value, CString& pixels, CString& cm) {
  value.Format(L"%.2f", m);
  pixels.Format(L"%i x %i pixels", static_cast<int>(width * m), static_cast<int>(height * m));
  cm.Format(L"%.2f x %.2f cm at 300 dpi", width * m * 2.54 / 300.0, height * m * 2.54 / 300.0);
}

void GraphicsExportDialog::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  for (int i = 0; i < 6; ++i) DDX_Control(dx, static_cast<int>(kFormats[i].id), m_buttons[i]);
  DDX_Control(dx, kIdSlider, m_slider);
  DDX_Control(dx, kIdTransparent, m_transparentBox);
  const int texts[7] = {kIdVectorHeading, kIdPixelHeading, kIdSizeLabel, kIdPixels, kIdCentimetres, kIdWhiteNote, kIdVectorNote};
  for (int i = 0; i < 7; ++i) DDX_Control(dx, texts[i], m_texts[i]);
}

BOOL GraphicsExportDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  m_slider.SetRange(100, 800, TRUE);
  m_slider.SetTicFreq(100);
  m_slider.SetPos(200);
  UpdateSizes();
  OnFormat(kFormats[0].id);
  return TRUE;
}

void GraphicsExportDialog::UpdateSizes() {
  CString value, pixels, cm;
  SizeTexts(m_baseWidth, m_baseHeight, m_slider.GetPos() / 100.0, value, pixels, cm);
  SetDlgItemText(kIdMagValue, value);
  SetDlgItemText(kIdPixels, pixels);
  SetDlgItemText(kIdCentimetres, cm);
}

LRESULT GraphicsExportDialog::OnHScroll(WPARAM, LPARAM control) {
  if (reinterpret_cast<HWND>(control) == m_slider.m_hWnd) UpdateSizes();
  return 0;
}

void GraphicsExportDialog::SelectFormatButton(UINT id) {
  for (int i = 0; i < 6; ++i) m_buttons[i].SetChecked(kFormats[i].id == id);
}

void GraphicsExportDialog::OnFormat(UINT id) {
  SelectFormatButton(id);
  const int code = CodeOf(id);
  const bool vector = code == kCodeVector, opaque = code == kCodeBmp || code == kCodeJpeg;
  auto show = [this](int control, bool on) {
    if (CWnd* w = GetDlgItem(control)) w->ShowWindow(on ? SW_SHOW : SW_HIDE);
  };
  for (int control : {kIdMagLabel, kIdSlider, kIdMagValue, kIdSizeLabel, kIdPixels, kIdCentimetres})
    show(control, !vector);
  show(kIdVectorNote, vector);
  show(kIdWhiteNote, opaque);
  show(kIdTransparent, !opaque);
}

void GraphicsExportDialog::OnOK() {
  m_magnification = m_slider.GetPos() / 100.0;
  m_formatCode = 0;
  for (int i = 0; i < 6; ++i)
    if (m_buttons[i].m_checked) m_formatCode = kFormats[i].code;
  // The box is hidden, not cleared, for BMP and JPEG, and still answered.
  m_transparent = m_transparentBox.GetCheck() == BST_CHECKED;
  CDialog::OnOK();
}
