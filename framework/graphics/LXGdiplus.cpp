#include "LXGdiplus.h"

#include "LXColor.h"
#include "LXCursors.h"
#include "LXException.h"
#include "LXImages.h"
#include "LXPen.h"
#include "LXText.h"
#include "Resources.h"
#include "Wnd.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <memory>

using namespace Gdiplus;

int g_drawDpi = 96;
int g_screenDpi = 96;
float g_textScale = 1.0f;
HatchBrush* g_hatchBrushes[6] = {};
Bitmap* g_blackPixel = nullptr;
Color g_whiteThreeQuarters;

namespace {
bool g_started = false;
ULONG_PTR g_startupToken = 0;
ULONG_PTR g_hookToken = 0;
NotificationUnhookProc g_unhook = nullptr;
std::unique_ptr<CGDIPlusDCIOff>& DciOff() {
  static std::unique_ptr<CGDIPlusDCIOff> object;
  return object;
}

// "EnableGDIPlusDCI" under the application's key: only a REG_BINARY with a non-zero first byte.
bool DciRequested() {
  CString company;
  if (!LoadString(1063, company)) return false;
  HKEY key = nullptr;
  CString path = CString(L"Software\\") + company;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.GetString(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  BYTE data[16] = {};
  DWORD type = 0, size = sizeof data;
  LSTATUS s = RegQueryValueExW(key, L"EnableGDIPlusDCI", nullptr, &type, data, &size);
  RegCloseKey(key);
  return (s == ERROR_SUCCESS || s == ERROR_MORE_DATA) && type == REG_BINARY && size >= 1 && data[0] != 0;
}

LXGraphics::CSyncPoint Convert(HDC dc, float w, float h, bool toPoints) {
  HDC use = dc ? dc : GetDC(nullptr);
  int dpiX = GetDeviceCaps(use, LOGPIXELSX), dpiY = GetDeviceCaps(use, LOGPIXELSY);
  if (!dc) ReleaseDC(nullptr, use);
  if (dpiX <= 0) dpiX = 96;
  if (dpiY <= 0) dpiY = 96;
  return toPoints ? LXGraphics::CSyncPoint(w * 72.0f / float(dpiX), h * 72.0f / float(dpiY))
                  : LXGraphics::CSyncPoint(w * float(dpiX) / 72.0f, h * float(dpiY) / 72.0f);
}
}  // namespace

bool GdiplusStarted() { return g_started; }

bool StartGdiplus() {
  if (g_started) return true;
  GdiplusStartupInput input;
  input.SuppressBackgroundThread = TRUE;
  GdiplusStartupOutput output;
  Status s = GdiplusStartup(&g_startupToken, &input, &output);
  if (s != Ok) throw CLXXAppInit(kLXSeverityFatal, s, __LINE__);
  if (output.NotificationHook) output.NotificationHook(&g_hookToken);
  g_unhook = output.NotificationUnhook;
  const Color white(0xFFFFFFFFu), black(0xFF000000u);
  g_hatchBrushes[0] = new HatchBrush(HatchStyleHorizontal, white, white);
  g_hatchBrushes[1] = new HatchBrush(HatchStyle20Percent, black, white);
  g_hatchBrushes[2] = new HatchBrush(HatchStyle40Percent, black, white);
  g_hatchBrushes[3] = new HatchBrush(HatchStyle60Percent, black, white);
  g_hatchBrushes[4] = new HatchBrush(HatchStyle80Percent, black, white);
  g_hatchBrushes[5] = new HatchBrush(HatchStyleHorizontal, black, black);
  g_blackPixel = CreateBitmap(1, 1);
  g_blackPixel->SetPixel(0, 0, black);
  g_whiteThreeQuarters = Color(BYTE(255 * 0.75), 255, 255, 255);
  if (DciRequested() && !DciOff()) DciOff() = std::make_unique<CGDIPlusDCIOff>();
  g_started = true;
  return true;
}

void StopGdiplus() {
  if (!g_started) return;
  delete g_blackPixel;
  g_blackPixel = nullptr;
  for (HatchBrush*& b : g_hatchBrushes) {
    delete b;
    b = nullptr;
  }
  if (g_unhook) g_unhook(g_hookToken);
  GdiplusShutdown(g_startupToken);
  g_started = false;
}

// The accessibility workaround. GDI+ makes no hidden windows here, so the message reaches only
// windows of this thread that carry the names; a creation hook catches later ones.
namespace {
UINT g_dciMessage = 0;
HHOOK g_dciHook = nullptr;

bool IsGdiplusWindow(HWND hwnd) {
  if (!hwnd || GetParent(hwnd)) return false;
  wchar_t name[261] = {};
  if (GetClassNameW(hwnd, name, 261) == 0 || std::wcscmp(name, L"GDI+ Hook Window Class") != 0) return false;
  wchar_t title[261] = {};
  GetWindowTextW(hwnd, title, 261);
  return std::wcscmp(title, L"GDI+ Window") == 0;
}
BOOL CALLBACK SendToMatching(HWND hwnd, LPARAM) {
  if (IsGdiplusWindow(hwnd)) SendMessageW(hwnd, g_dciMessage, 0, 0);
  return TRUE;
}
LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
  auto* call = reinterpret_cast<CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call && call->message == WM_SHOWWINDOW && IsGdiplusWindow(call->hwnd))
    PostMessageW(call->hwnd, g_dciMessage, 0, 0);
  return CallNextHookEx(g_dciHook, code, wParam, lParam);
}
CGDIPlusDCIOff* g_dciInstance = nullptr;
}  // namespace

CGDIPlusDCIOff::CGDIPlusDCIOff() {
  g_dciInstance = this;
  if (g_dciHook) return;
  g_dciMessage = RegisterWindowMessageW(L"GDI+ Accessibility");
  if (!g_dciMessage) return;
  g_dciHook = SetWindowsHookExW(WH_CALLWNDPROC, &CreationHook, nullptr, GetCurrentThreadId());
  m_ownsHook = g_dciHook != nullptr;
  if (g_dciHook) EnumThreadWindows(GetCurrentThreadId(), &SendToMatching, 0);
}
CGDIPlusDCIOff::~CGDIPlusDCIOff() {
  if (m_ownsHook && g_dciHook) {
    UnhookWindowsHookEx(g_dciHook);
    g_dciHook = nullptr;
  }
  if (g_dciInstance == this) g_dciInstance = nullptr;
}
CGDIPlusDCIOff* CGDIPlusDCIOff::Instance() { return g_dciInstance; }
UINT CGDIPlusDCIOff::Message() { return g_dciMessage; }

LXGraphics::CSyncPoint PixelsToPoints(HDC dc, float w, float h) { return Convert(dc, w, h, true); }
LXGraphics::CSyncPoint PointsToPixels(HDC dc, float w, float h) { return Convert(dc, w, h, false); }
LXGraphics::CSyncPoint PointsToGraphicsPixels(Graphics* g, float w, float h) {
  REAL dx = g ? g->GetDpiX() : 96, dy = g ? g->GetDpiY() : 96;
  return LXGraphics::CSyncPoint(w * dx / 72.0f, h * dy / 72.0f);
}
LXGraphics::CSyncPoint GraphicsPixelsToPoints(Graphics* g, float w, float h) {
  REAL dx = g ? g->GetDpiX() : 96, dy = g ? g->GetDpiY() : 96;
  return LXGraphics::CSyncPoint(w * 72.0f / dx, h * 72.0f / dy);
}

int ScaleMetricForDrawing(int metric) { return g_screenDpi > 0 ? metric * g_drawDpi / g_screenDpi : metric; }

float GetDCFontSize(CDC* dc) {
  TEXTMETRICW tm{};
  if (!dc || !dc->GetSafeHdc() || !dc->GetTextMetrics(&tm)) return 8.0f;
  float points = PixelsToPoints(dc->GetSafeHdc(), 0, float(tm.tmHeight - tm.tmInternalLeading)).m_float.Y;
  // The ratio as a float: a whole-number quotient is 0 below the screen DPI and 1 up to twice it.
  float ratio = g_screenDpi > 0 ? float(g_drawDpi) / float(g_screenDpi) : 1.0f;
  float size = ratio > 0 ? points / ratio : 0;
  return size > 0 && std::isfinite(size) ? size : 8.0f;
}

CString StyledFaceName(const LOGFONTW& font) {
  CString face = font.lfFaceName;
  CString word;
  if (font.lfWeight >= 700 && LoadString(1089, word)) face += L" " + word;
  if (font.lfItalic && LoadString(1090, word)) face += L" " + word;
  return face;
}

void LogFontForStyle(float points, UINT style, LOGFONTW& lf) {
  lf.lfHeight = PointsToPixels(nullptr, 0, points).m_int.Y;
  lf.lfWeight = (style & kTextBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (style & kTextItalic) ? 1 : 0;
  lf.lfUnderline = (style & kTextUnderline) ? 1 : 0;
  lf.lfStrikeOut = (style & kTextStrikeout) ? 1 : 0;
}

CFont* CreateFontForStyle(LPCWSTR face, float points, UINT style, LOGFONTW* out) {
  LOGFONTW lf{};
  LogFontForStyle(points, style, lf);
  lf.lfWidth = lf.lfEscapement = lf.lfOrientation = 0;
  lf.lfHeight = std::abs(lf.lfHeight);
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  TextRenderingHint hint;
  BYTE quality = DEFAULT_QUALITY;
  ChooseTextRenderingHint(nullptr, points, style, hint, quality);
  lf.lfQuality = quality;
  if (face) wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  CFont* font = CreateFontFromLogFont(lf);
  if (out) *out = lf;
  return font;
}

CFont* CreateFontFromLogFont(const LOGFONTW& logFont) {
  auto font = std::make_unique<CFont>();
  if (font->CreateFontIndirect(&logFont)) return font.release();
  LOGFONTW lf = logFont;
  if (std::wcscmp(lf.lfFaceName, L"Arial") != 0) {
    wcsncpy(lf.lfFaceName, L"Arial", LF_FACESIZE - 1);
    if (font->CreateFontIndirect(&lf)) return font.release();
  }
  // Defaults, with the height recomputed from the size for the screen.
  LOGFONTW plain{};
  std::wcscpy(plain.lfFaceName, lf.lfFaceName);
  float points = logFont.lfHeight == 0 ? 8.0f : float(std::abs(logFont.lfHeight)) * 72.0f / 96.0f;
  plain.lfHeight = PointsToPixels(nullptr, 0, points).m_int.Y;
  plain.lfWeight = FW_NORMAL;
  plain.lfCharSet = DEFAULT_CHARSET;
  TextRenderingHint hint;
  BYTE quality = DEFAULT_QUALITY;
  ChooseTextRenderingHint(nullptr, points, 0, hint, quality);
  plain.lfQuality = quality;
  if (font->CreateFontIndirect(&plain)) return font.release();
  return nullptr;
}

CFont* CreateBoldWindowFont(CWnd* window) {
  HWND hwnd = window ? window->GetSafeHwnd() : nullptr;
  auto hfont = reinterpret_cast<HFONT>(hwnd ? SendMessageW(hwnd, WM_GETFONT, 0, 0) : 0);
  LOGFONTW lf{};
  if (!hfont || !GetObjectW(hfont, sizeof lf, &lf)) return nullptr;
  lf.lfWeight = FW_BOLD;
  if (CFont* bold = CreateFontFromLogFont(lf)) return bold;
  if (!GetObjectW(hfont, sizeof lf, &lf)) return nullptr;
  return CreateFontFromLogFont(lf);
}

void DrawFocusFrame(Graphics& g, const RECT& r) {
  LXGraphics::CColor highlight = LXGraphics::CColor::FromThemeSysColor(nullptr, COLOR_HIGHLIGHT);
  ARGB argb = (highlight.GetValue() & 0x00FFFFFFu) | (ARGB(255 / 2) << 24);
  int width = ScaleMetricForDrawing(GetSystemMetrics(SM_CXFOCUSBORDER));
  LXGraphics::CLXPen pen(argb, REAL(width));
  float x = float(r.left), y = float(r.top), w = float(r.right - r.left), h = float(r.bottom - r.top);
  g.DrawRectangle(&pen, x, y, w, h);
  // The inner ring at half the opacity.
  float dx = std::min(float(width), w / 2), dy = std::min(float(width), h / 2);
  pen.SetColor(Color((argb & 0x00FFFFFFu) | (ARGB((argb >> 24) / 2) << 24)));
  g.DrawRectangle(&pen, x + dx, y + dy, w - 2 * dx, h - 2 * dy);
  g.Flush();
}

void DrawFocusFrame(CWnd* window, const RECT* rect) {
  HWND hwnd = window ? window->GetSafeHwnd() : nullptr;
  if (!hwnd) return;
  RECT r{};
  if (rect) r = *rect;
  else GetClientRect(hwnd, &r);
  Graphics g(hwnd);
  if (g.GetLastStatus() != Ok) return;
  DrawFocusFrame(g, r);
}
