// GDI over QPainter: device contexts, pens, brushes, fonts, bitmaps and regions as handles;
// the class library's wrappers are in AfxGdi.h, the Qt side (a DC over a painter) in GdiQt.h.
//
// Coordinates: integer coordinates are pixel edges; pixel (i, j) covers [i, i+1) x [j, j+1).
// GDI+ (GdiPlus.h) uses the same convention, so a rectangle snapped to whole numbers fills whole
// pixels and an inset one-pixel pen draws its outermost ring of pixels. Logical DPI is 96.
#pragma once
#include "Geometry.h"
#include "Resources.h"
#include "WinError.h"
#include "WinTypes.h"

typedef int* LPINT;

#define LF_FACESIZE 32

struct LOGFONTW {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[LF_FACESIZE];
};
typedef LOGFONTW LOGFONT;
typedef LOGFONTW* LPLOGFONTW;

struct TEXTMETRICW {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  WCHAR tmFirstChar;
  WCHAR tmLastChar;
  WCHAR tmDefaultChar;
  WCHAR tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};
typedef TEXTMETRICW TEXTMETRIC;
typedef TEXTMETRICW* LPTEXTMETRICW;

struct LOGPEN {
  UINT lopnStyle;
  POINT lopnWidth;
  COLORREF lopnColor;
};
struct LOGBRUSH {
  UINT lbStyle;
  COLORREF lbColor;
  ULONG_PTR lbHatch;
};

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
  WORD bfType;
  DWORD bfSize;
  WORD bfReserved1;
  WORD bfReserved2;
  DWORD bfOffBits;
};
#pragma pack(pop)

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // positive: bottom-up rows; negative: top-down
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "the packed DIB header is 40 bytes");
struct RGBQUAD {
  BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};
typedef BITMAPINFO* LPBITMAPINFO;

struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3];
  HANDLE dshSection;
  DWORD dsOffset;
};

struct ICONINFO {
  BOOL fIcon;
  DWORD xHotspot;
  DWORD yHotspot;
  HBITMAP hbmMask;
  HBITMAP hbmColor;
};
typedef ICONINFO* PICONINFO;

// Pen styles.
#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_DASHDOT 3
#define PS_DASHDOTDOT 4
#define PS_NULL 5
#define PS_INSIDEFRAME 6
// Brush styles and hatches.
#define BS_SOLID 0
#define BS_NULL 1
#define BS_HOLLOW BS_NULL
#define BS_HATCHED 2
#define HS_HORIZONTAL 0
#define HS_VERTICAL 1
#define HS_FDIAGONAL 2
#define HS_BDIAGONAL 3
#define HS_CROSS 4
#define HS_DIAGCROSS 5
// Stock objects.
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define DEFAULT_GUI_FONT 17
#define DC_BRUSH 18
#define DC_PEN 19
// GetCurrentObject kinds.
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_FONT 6
#define OBJ_BITMAP 7
// Region kinds and combine modes.
#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3
#define RGN_AND 1
#define RGN_OR 2
#define RGN_XOR 3
#define RGN_DIFF 4
#define RGN_COPY 5
// Background modes, raster operations.
#define TRANSPARENT 1
#define OPAQUE 2
#define SRCCOPY 0x00CC0020u
#define SRCPAINT 0x00EE0086u
#define SRCAND 0x008800C6u
#define PATCOPY 0x00F00021u
#define BLACKNESS 0x00000042u
#define WHITENESS 0x00FF0062u
#define CLR_INVALID 0xFFFFFFFFu
// Device capabilities.
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define LOGPIXELSX 88
#define LOGPIXELSY 90
// Font weights, character sets, qualities.
#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_BOLD 700
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SYMBOL_CHARSET 2
#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define CLEARTYPE_QUALITY 5
#define DEFAULT_PITCH 0
// DrawText flags.
#define DT_TOP 0x0000u
#define DT_LEFT 0x0000u
#define DT_CENTER 0x0001u
#define DT_RIGHT 0x0002u
#define DT_VCENTER 0x0004u
#define DT_BOTTOM 0x0008u
#define DT_WORDBREAK 0x0010u
#define DT_SINGLELINE 0x0020u
#define DT_EXPANDTABS 0x0040u
#define DT_TABSTOP 0x0080u
#define DT_NOCLIP 0x0100u
#define DT_CALCRECT 0x0400u
#define DT_NOPREFIX 0x0800u
#define DT_EDITCONTROL 0x2000u
#define DT_END_ELLIPSIS 0x8000u
#define DT_PATH_ELLIPSIS 0x4000u
#define DT_WORD_ELLIPSIS 0x40000u
// Text alignment (SetTextAlign).
#define TA_LEFT 0
#define TA_RIGHT 2
#define TA_CENTER 6
#define TA_TOP 0
#define TA_BOTTOM 8
#define TA_BASELINE 24
// ExtTextOut options.
#define ETO_OPAQUE 0x0002u
#define ETO_CLIPPED 0x0004u
// Bitmap compression, DIB colour use, image loading.
#define BI_RGB 0
#define DIB_RGB_COLORS 0
#define IMAGE_BITMAP 0
#define IMAGE_ICON 1
#define IMAGE_CURSOR 2
#define LR_DEFAULTCOLOR 0x0000u
#define LR_CREATEDIBSECTION 0x2000u
#define LR_DEFAULTSIZE 0x0040u
#define LR_SHARED 0x8000u
#define LR_LOADMAP3DCOLORS 0x1000u
// Bounds rectangle (GetBoundsRect).
#define DCB_RESET 0x0001u
#define DCB_SET 0x0003u
// Focus-rectangle and edge drawing.
#define BDR_RAISEDOUTER 0x0001u
#define BDR_SUNKENOUTER 0x0002u
#define BDR_RAISEDINNER 0x0004u
#define BDR_SUNKENINNER 0x0008u
#define EDGE_RAISED (BDR_RAISEDOUTER | BDR_RAISEDINNER)
#define EDGE_SUNKEN (BDR_SUNKENOUTER | BDR_SUNKENINNER)
#define EDGE_ETCHED (BDR_SUNKENOUTER | BDR_RAISEDINNER)
#define BF_LEFT 0x0001u
#define BF_TOP 0x0002u
#define BF_RIGHT 0x0004u
#define BF_BOTTOM 0x0008u
#define BF_RECT (BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM)

// Device contexts. A memory DC draws into the bitmap selected into it (none at first: 1 x 1).
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
// Window DCs belong to the class library (platform/classlib/Paint.h), which makes them with
// GdiQt.h; GDI+ opens a Graphics on a window through them.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
int GetDeviceCaps(HDC dc, int index);
int SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int savedDc);

// Objects.
HPEN CreatePen(int style, int width, COLORREF colour);
HBRUSH CreateSolidBrush(COLORREF colour);
HBRUSH CreateHatchBrush(int hatch, COLORREF colour);
HBRUSH GetSysColorBrush(int index);
HFONT CreateFontIndirectW(const LOGFONTW* font);
#define CreateFontIndirect CreateFontIndirectW
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// Monochrome when planes x bits is 1, else 32-bit; bits (rows of whole words) may be null.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
// A 32-bit DIB section; *bits receives its pixel rows (top-down only when biHeight is negative).
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
HRGN CreateEllipticRgn(int left, int top, int right, int bottom);
int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode);
int GetRgnBox(HRGN rgn, LPRECT rect);
BOOL PtInRegion(HRGN rgn, int x, int y);
HGDIOBJ GetStockObject(int index);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, UINT kind);
// LOGPEN, LOGBRUSH, LOGFONTW, BITMAP or DIBSECTION by the object's kind and the size asked.
int GetObjectW(HGDIOBJ object, int size, LPVOID out);
#define GetObject GetObjectW

// Attributes.
COLORREF SetTextColor(HDC dc, COLORREF colour);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF colour);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
UINT SetTextAlign(HDC dc, UINT align);
COLORREF SetDCBrushColor(HDC dc, COLORREF colour);
COLORREF SetDCPenColor(HDC dc, COLORREF colour);
BOOL SetViewportOrgEx(HDC dc, int x, int y, LPPOINT old);
BOOL GetViewportOrgEx(HDC dc, LPPOINT origin);
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, LPPOINT old);

// Clipping.
int GetClipBox(HDC dc, LPRECT rect);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int SelectClipRgn(HDC dc, HRGN rgn);
BOOL PtVisible(HDC dc, int x, int y);
BOOL RectVisible(HDC dc, const RECT* rect);
// The bounding rectangle of what was drawn since the last reset (DCB_RESET clears it).
UINT GetBoundsRect(HDC dc, LPRECT rect, UINT flags);

// Drawing.
BOOL MoveToEx(HDC dc, int x, int y, LPPOINT old);
BOOL LineTo(HDC dc, int x, int y);
BOOL Polyline(HDC dc, const POINT* points, int count);
BOOL Polygon(HDC dc, const POINT* points, int count);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL FillRgn(HDC dc, HRGN rgn, HBRUSH brush);
BOOL DrawFocusRect(HDC dc, const RECT* rect);
BOOL DrawEdge(HDC dc, LPRECT rect, UINT edge, UINT flags);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop);
COLORREF GetPixel(HDC dc, int x, int y);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);

// Text.
BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count);
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT* dx);
LONG TabbedTextOutW(HDC dc, int x, int y, LPCWSTR text, int count, int tabCount, const INT* tabs, int tabOrigin);
int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format);
// DrawText with margins and a tab length (in average character widths); uiLengthDrawn answers the
// characters handled. Without params it is DrawText.
struct DRAWTEXTPARAMS {
  UINT cbSize;
  int iTabLength;
  int iLeftMargin;
  int iRightMargin;
  UINT uiLengthDrawn;
};
typedef DRAWTEXTPARAMS* LPDRAWTEXTPARAMS;
int DrawTextExW(HDC dc, LPWSTR text, int count, LPRECT rect, UINT format, LPDRAWTEXTPARAMS params);
// Greyed text: what `output` draws (TextOut of the string data when null) on a white cx x cy
// bitmap is laid at (x, y) through a half-tone in the brush's colour (the window-text colour when
// brush is null). cx and cy 0 take the string's extent; an output that answers FALSE draws nothing.
typedef BOOL(CALLBACK* GRAYSTRINGPROC)(HDC dc, LPARAM data, int count);
BOOL GrayStringW(HDC dc, HBRUSH brush, GRAYSTRINGPROC output, LPARAM data, int count, int x, int y, int cx, int cy);
// Device escapes. This layer's DCs support none but the query itself: QUERYESCSUPPORT answers
// whether the escape named by the int at `in` is supported; any other escape answers 0.
#define QUERYESCSUPPORT 8
int Escape(HDC dc, int escape, int inCount, LPCSTR in, LPVOID out);
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size);
BOOL GetTextMetricsW(HDC dc, LPTEXTMETRICW metrics);
// The family name of the font the DC draws with (an installed family); with a null name, the
// length it needs. Answers the characters copied, the terminating null included.
int GetTextFaceW(HDC dc, int count, LPWSTR name);
#define TextOut TextOutW
#define ExtTextOut ExtTextOutW
#define TabbedTextOut TabbedTextOutW
#define DrawText DrawTextW
#define DrawTextEx DrawTextExW
#define GrayString GrayStringW
#define GetTextExtentPoint32 GetTextExtentPoint32W
#define GetTextMetrics GetTextMetricsW
#define GetTextFace GetTextFaceW

// Installed fonts. Families are named once each, by their family name: foundries that share a
// family are not told apart. A family that writes Latin reports ANSI_CHARSET, another
// SYMBOL_CHARSET; scalable families are TRUETYPE_FONTTYPE. The procedure answers non-zero to go on.
#define RASTER_FONTTYPE 0x0001
#define TRUETYPE_FONTTYPE 0x0004
typedef int(CALLBACK* FONTENUMPROCW)(const LOGFONTW* font, const TEXTMETRICW* metrics, DWORD fontType, LPARAM data);
// With a null family, one call per installed family; with a family, one call per face of it
// (weight and italic differ; an oblique face counts as italic). Answers the last procedure's answer.
int EnumFontFamiliesW(HDC dc, LPCWSTR family, FONTENUMPROCW proc, LPARAM data);
// As EnumFontFamiliesW for the font's face name (empty: every family); the character set and
// pitch of the font are not looked at.
int EnumFontFamiliesExW(HDC dc, LPLOGFONTW font, FONTENUMPROCW proc, LPARAM data, DWORD flags);
#define EnumFontFamilies EnumFontFamiliesW
#define EnumFontFamiliesEx EnumFontFamiliesExW

// Bitmap bits. GetDIBits fills the header when bits is null (size, bit count 32, image size), else
// copies `lines` rows of 32-bit pixels in the header's row order.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info, UINT usage);
int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);

// Icons and cursors (colour images with a hot spot; see Cursors in GdiQt.h).
HICON CreateIconIndirect(PICONINFO info);
BOOL GetIconInfo(HICON icon, PICONINFO info);
BOOL DestroyIcon(HICON icon);
BOOL DestroyCursor(HCURSOR cursor);
// The cursor display counter; the cursor shows while it is at least 0.
int ShowCursor(BOOL show);

#ifndef MAKEINTRESOURCEW
#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEW
#endif
#ifndef IS_INTRESOURCE
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#endif

// System cursors (instance null), defined by the window layer.
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
// Bitmaps (as 32-bit DIB sections) from the program's module and system cursors (instance null).
HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int width, int height, UINT flags);
#define LoadImage LoadImageW

// The program's images in resources/images: bitmaps (RT_BITMAP) and their "HOTSPOT" records.
typedef struct HRSRC__* HRSRC;
#define RT_BITMAP MAKEINTRESOURCEW(2)
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);
#define FindResource FindResourceW

namespace qlw {
// The module handle that stands for the program's own resources.
HINSTANCE ProgramModule();
}  // namespace qlw

// System parameters from the desktop's settings (fontconfig): font smoothing on or off
// (BOOL*), and its type (UINT*: 1 standard, 2 sub-pixel). Other actions answer FALSE.
#define SPI_GETFONTSMOOTHING 0x004Au
#define SPI_GETFONTSMOOTHINGTYPE 0x200Au
#define FE_FONTSMOOTHINGSTANDARD 0x0001u
#define FE_FONTSMOOTHINGCLEARTYPE 0x0002u
BOOL SystemParametersInfoW(UINT action, UINT param, PVOID value, UINT winIni);
#define SystemParametersInfo SystemParametersInfoW
