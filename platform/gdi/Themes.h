// Visual-style themes, frame controls and DrawState over QStyle: a theme handle stands for a class
// ("Button", "COMBOBOXSTYLE") and draws its parts with the application's Qt style, so owner-drawn
// controls look like the standard ones beside them.
#pragma once
#include "Gdi.h"

typedef struct QlwTheme* HTHEME;

// Parts and states of the "Button" class.
#define BP_PUSHBUTTON 1
#define BP_CHECKBOX 3
#define PBS_NORMAL 1
#define PBS_HOT 2
#define PBS_PRESSED 3
#define PBS_DISABLED 4
#define CBS_UNCHECKEDNORMAL 1
#define CBS_UNCHECKEDHOT 2
#define CBS_UNCHECKEDPRESSED 3
#define CBS_UNCHECKEDDISABLED 4
#define CBS_CHECKEDNORMAL 5
#define CBS_CHECKEDHOT 6
#define CBS_CHECKEDPRESSED 7
#define CBS_CHECKEDDISABLED 8
#define CBS_MIXEDNORMAL 9
#define CBS_MIXEDHOT 10
#define CBS_MIXEDPRESSED 11
#define CBS_MIXEDDISABLED 12
enum THEMESIZE { TS_MIN = 0, TS_TRUE = 1, TS_DRAW = 2 };
#define WM_THEMECHANGED 0x031A

// Null without a Qt application (no style to draw with).
HTHEME OpenThemeData(HWND hwnd, LPCWSTR classList);
HRESULT CloseThemeData(HTHEME theme);
BOOL IsAppThemed();
HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect, const RECT* clip);
HRESULT GetThemePartSize(HTHEME theme, HDC dc, int part, int state, const RECT* rect, THEMESIZE kind, SIZE* size);
BOOL IsThemeBackgroundPartiallyTransparent(HTHEME theme, int part, int state);
// Fills the rectangle with the parent's background (the dialog face).
HRESULT DrawThemeParentBackground(HWND hwnd, HDC dc, const RECT* rect);
COLORREF GetThemeSysColor(HTHEME theme, int index);

// Frame controls: push buttons and check boxes in the classic look.
#define DFC_BUTTON 4
#define DFCS_BUTTONCHECK 0x0000u
#define DFCS_BUTTONPUSH 0x0010u
#define DFCS_ADJUSTRECT 0x2000u
#define DFCS_INACTIVE 0x0100u
#define DFCS_PUSHED 0x0200u
#define DFCS_CHECKED 0x0400u
#define DFCS_HOT 0x1000u
#define DFCS_FLAT 0x4000u
// Draws the control; with DFCS_ADJUSTRECT the rectangle shrinks to the inside of its frame. A hot
// push button (under the pointer, or focused) has a lighter face.
BOOL DrawFrameControl(HDC dc, LPRECT rect, UINT type, UINT state);

// DrawState of text (lData the text, wData its length or 0): disabled text is embossed grey.
typedef BOOL(CALLBACK* DRAWSTATEPROC)(HDC dc, LPARAM lData, WPARAM wData, int cx, int cy);
#define DST_TEXT 0x0001u
#define DSS_NORMAL 0x0000u
#define DSS_DISABLED 0x0020u
// The text ends at the right edge of the cx-wide box from x.
#define DSS_RIGHT 0x8000u
BOOL DrawStateW(HDC dc, HBRUSH brush, DRAWSTATEPROC proc, LPARAM lData, WPARAM wData, int x, int y, int cx, int cy,
                UINT flags);
#define DrawState DrawStateW

// High-contrast mode (SPI_GETHIGHCONTRAST); off unless a test turns it on.
#define SPI_GETHIGHCONTRAST 0x0042u
#define HCF_HIGHCONTRASTON 0x00000001u
struct HIGHCONTRASTW {
  UINT cbSize;
  DWORD dwFlags;
  LPWSTR lpszDefaultScheme;
};
namespace qlw {
// Test seam: high-contrast mode and the background colour of its scheme (COLOR_WINDOW and
// COLOR_BTNFACE as GetThemeSysColor answers them).
void SetHighContrastForTesting(bool on, COLORREF window);
bool HighContrastForTesting();
}  // namespace qlw
