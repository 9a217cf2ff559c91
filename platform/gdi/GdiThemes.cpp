// Themes, frame controls and DrawState drawn with the application's Qt style.
#include "Themes.h"

#include <QApplication>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>
#include <cwchar>
#include <string>

#include "GdiInternal.h"
#include "Resources.h"

struct QlwTheme {
  std::wstring cls;
};

namespace {
bool g_highContrast = false;
COLORREF g_highContrastWindow = 0;

QStyle* Style() { return qobject_cast<QApplication*>(QCoreApplication::instance()) ? QApplication::style() : nullptr; }

QRect ToQRect(const RECT& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

void DrawPush(QPainter& p, const QRect& rect, bool pressed, bool disabled) {
  QStyleOptionButton option;
  option.rect = rect;
  option.state = disabled ? QStyle::State_None : QStyle::State_Enabled;
  option.state |= pressed ? QStyle::State_Sunken : QStyle::State_Raised;
  if (QStyle* style = Style()) style->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &p);
}

void DrawCheck(QPainter& p, const QRect& rect, int ticked /* 0, 1, 2 mixed */, bool pressed, bool disabled) {
  QStyleOptionButton option;
  option.rect = rect;
  option.state = disabled ? QStyle::State_None : QStyle::State_Enabled;
  option.state |= ticked == 1 ? QStyle::State_On : ticked == 2 ? QStyle::State_NoChange : QStyle::State_Off;
  if (pressed) option.state |= QStyle::State_Sunken;
  if (QStyle* style = Style()) style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &p);
}
}  // namespace

namespace qlw {
void SetHighContrastForTesting(bool on, COLORREF window) {
  g_highContrast = on;
  g_highContrastWindow = window;
}
bool HighContrastForTesting() { return g_highContrast; }
}  // namespace qlw

HTHEME OpenThemeData(HWND, LPCWSTR classList) {
  if (!Style() || !classList) return nullptr;
  return new QlwTheme{classList};
}

HRESULT CloseThemeData(HTHEME theme) {
  delete theme;
  return S_OK;
}

BOOL IsAppThemed() { return Style() != nullptr; }

HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect, const RECT* clip) {
  if (!theme || !rect || !qlw::gdi::ValidDC(dc) || !dc->painter) return E_INVALIDARG;
  qlw::gdi::Scope p(dc);
  if (clip) p->setClipRect(ToQRect(*clip), Qt::IntersectClip);
  const QRect r = ToQRect(*rect);
  if (part == BP_PUSHBUTTON) {
    DrawPush(*p, r, state == PBS_PRESSED, state == PBS_DISABLED);
  } else if (part == BP_CHECKBOX) {
    const int ticked = state >= CBS_MIXEDNORMAL ? 2 : state >= CBS_CHECKEDNORMAL ? 1 : 0;
    const int within = (state - 1) % 4;  // normal, hot, pressed, disabled
    DrawCheck(*p, r, ticked, within == 2, within == 3);
  } else {
    return E_INVALIDARG;
  }
  p.Touch(r);
  return S_OK;
}

HRESULT GetThemePartSize(HTHEME theme, HDC, int part, int, const RECT* rect, THEMESIZE, SIZE* size) {
  if (!theme || !size) return E_INVALIDARG;
  QStyle* style = Style();
  if (part == BP_CHECKBOX && style) {
    *size = SIZE{style->pixelMetric(QStyle::PM_IndicatorWidth), style->pixelMetric(QStyle::PM_IndicatorHeight)};
    return S_OK;
  }
  if (part == BP_PUSHBUTTON) {
    *size = rect ? SIZE{rect->right - rect->left, rect->bottom - rect->top} : SIZE{0, 0};
    return S_OK;
  }
  return E_INVALIDARG;
}

BOOL IsThemeBackgroundPartiallyTransparent(HTHEME theme, int part, int) {
  // Qt's push buttons have rounded corners; its check boxes fill their square.
  return theme && part == BP_PUSHBUTTON;
}

HRESULT DrawThemeParentBackground(HWND, HDC dc, const RECT* rect) {
  if (!rect || !qlw::gdi::ValidDC(dc) || !dc->painter) return E_INVALIDARG;
  qlw::gdi::Scope p(dc);
  p->fillRect(ToQRect(*rect), qlw::gdi::ToQColor(GetSysColor(COLOR_BTNFACE)));
  return S_OK;
}

COLORREF GetThemeSysColor(HTHEME, int index) {
  if ((index == COLOR_WINDOW || index == COLOR_BTNFACE) && g_highContrast) return g_highContrastWindow;
  return GetSysColor(index);
}

BOOL DrawFrameControl(HDC dc, LPRECT rect, UINT type, UINT state) {
  if (type != DFC_BUTTON || !rect || !qlw::gdi::ValidDC(dc) || !dc->painter) return FALSE;
  const bool pushed = state & DFCS_PUSHED, inactive = state & DFCS_INACTIVE, flat = state & DFCS_FLAT;
  const int frame = flat ? 1 : 2;
  if (state & DFCS_BUTTONPUSH) {
    RECT r = *rect;
    {
      qlw::gdi::Scope p(dc);
      QColor face = qlw::gdi::ToQColor(GetSysColor(COLOR_BTNFACE));
      if ((state & DFCS_HOT) && !pushed && !inactive) {
        const QColor light = qlw::gdi::ToQColor(GetSysColor(COLOR_3DHILIGHT));
        face = QColor((3 * face.red() + light.red()) / 4, (3 * face.green() + light.green()) / 4, (3 * face.blue() + light.blue()) / 4);
      }
      p->fillRect(ToQRect(r), face);
    }
    if (flat) {
      HBRUSH border = GetSysColorBrush(pushed ? COLOR_3DSHADOW : COLOR_WINDOWFRAME);
      FrameRect(dc, &r, border);
    } else {
      DrawEdge(dc, &r, pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    }
  } else {
    // A check box: a white square in a sunken frame, ticked with a mark.
    const int side = std::min(rect->right - rect->left, rect->bottom - rect->top);
    RECT box{rect->left, rect->top, rect->left + side, rect->top + side};
    {
      qlw::gdi::Scope p(dc);
      p->fillRect(ToQRect(box), qlw::gdi::ToQColor(GetSysColor(pushed || inactive ? COLOR_BTNFACE : COLOR_WINDOW)));
    }
    DrawEdge(dc, &box, flat ? BDR_SUNKENOUTER : EDGE_SUNKEN, BF_RECT);
    if (state & DFCS_CHECKED) {
      qlw::gdi::Scope p(dc);
      p->setRenderHint(QPainter::Antialiasing, true);
      QPen pen(qlw::gdi::ToQColor(GetSysColor(inactive ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT)), std::max(1.5, side / 8.0));
      p->setPen(pen);
      const QRectF in = QRectF(ToQRect(box)).adjusted(frame + 1.5, frame + 1.5, -frame - 1.5, -frame - 1.5);
      p->drawPolyline(QPolygonF({QPointF(in.left(), in.center().y()), QPointF(in.left() + in.width() * 0.4, in.bottom()),
                                 QPointF(in.right(), in.top())}));
    }
  }
  if (state & DFCS_ADJUSTRECT) InflateRect(rect, -frame, -frame);
  return TRUE;
}

BOOL DrawStateW(HDC dc, HBRUSH, DRAWSTATEPROC, LPARAM lData, WPARAM wData, int x, int y, int cx, int, UINT flags) {
  if ((flags & 0x000F) != DST_TEXT || !lData || !qlw::gdi::ValidDC(dc)) return FALSE;
  const auto* text = reinterpret_cast<const wchar_t*>(lData);
  const int length = wData ? static_cast<int>(wData) : static_cast<int>(std::wcslen(text));
  if ((flags & DSS_RIGHT) && cx > 0) {
    SIZE extent{};
    GetTextExtentPoint32W(dc, text, length, &extent);
    x += cx - extent.cx;
  }
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  if (flags & DSS_DISABLED) {
    const COLORREF old = SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
    TextOutW(dc, x + 1, y + 1, text, length);
    SetTextColor(dc, GetSysColor(COLOR_3DSHADOW));
    TextOutW(dc, x, y, text, length);
    SetTextColor(dc, old);
  } else {
    TextOutW(dc, x, y, text, length);
  }
  SetBkMode(dc, oldMode);
  return TRUE;
}
