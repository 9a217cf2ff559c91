// Owner-drawn menus: conversion of menus to owner-drawn items, measuring, drawing, mnemonics and
// the popup border.
#include "MenuXP.h"

#include <algorithm>
#include <map>

#include "BufferDC.h"
#include "OSVersion.h"
#include "Paint.h"
#include "Resources.h"
#include "ScopedDC.h"

using namespace Gdiplus;

namespace {
int g_useXP = -1;
int g_installCount = 0;
HHOOK g_hook = nullptr;
RECT g_openBarItem{0, 0, 0, 0};
std::map<UINT, CImgDesc>& CommandImages() {
  static std::map<UINT, CImgDesc> m;
  return m;
}
std::map<HMENU, CImgDesc>& SubMenuImages() {
  static std::map<HMENU, CImgDesc> m;
  return m;
}
constexpr wchar_t kMenuProp[] = L"XPWndProp_MenuXP";

COLORREF Face() { return GetSysColor(COLOR_3DFACE); }
COLORREF Highlight() { return GetSysColor(COLOR_HIGHLIGHT); }

void FillRectColour(HDC dc, const RECT& r, COLORREF c) {
  HBRUSH b = CreateSolidBrush(c);
  FillRect(dc, &r, b);
  DeleteObject(b);
}
void FramedRect(HDC dc, const RECT& r, COLORREF pen, COLORREF fill) {
  CScopedPen p(dc, PS_SOLID, 1, pen);
  CScopedBrush b(dc, fill);
  Rectangle(dc, r.left, r.top, r.right, r.bottom);
}
void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF c) {
  CScopedPen p(dc, PS_SOLID, 1, c);
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

// The 16 x 16 cell of an image strip at (x, y); `silhouette` paints its shape in one colour.
void DrawCell(HDC dc, const CImgDesc& image, int x, int y, const COLORREF* silhouette) {
  if (!image.strip) return;
  Graphics g(dc);
  ImageAttributes attributes;
  if (silhouette) {
    ColorMatrix m{};
    m.m[3][3] = 1;
    m.m[4][0] = GetRValue(*silhouette) / 255.0f;
    m.m[4][1] = GetGValue(*silhouette) / 255.0f;
    m.m[4][2] = GetBValue(*silhouette) / 255.0f;
    m.m[4][4] = 1;
    attributes.SetColorMatrix(&m);
  }
  g.DrawImage(image.strip, RectF(REAL(x), REAL(y), 16, 16), REAL(image.index * 16), 0, 16, 16, UnitPixel,
              silhouette ? &attributes : nullptr);
}

// A check mark in the box's 15 x 15 area at (x, y), in the menu text colour.
void DrawCheckMark(HDC dc, int x, int y, COLORREF colour) {
  CScopedPen p(dc, PS_SOLID, 1, colour);
  for (int d = 0; d < 3; ++d) {
    MoveToEx(dc, x + 3, y + 5 + d, nullptr);
    LineTo(dc, x + 5, y + 7 + d);
    LineTo(dc, x + 10, y + 2 + d);
  }
}

void SplitText(const std::wstring& all, std::wstring& label, std::wstring& accel) {
  size_t tab = all.find(L'\t');
  label = all.substr(0, tab);
  accel = tab == std::wstring::npos ? std::wstring() : all.substr(tab + 1);
}

std::wstring ItemText(HMENU menu, UINT position) {
  wchar_t buffer[512] = {};
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_STRING;
  info.dwTypeData = buffer;
  info.cch = 512;
  GetMenuItemInfoW(menu, position, TRUE, &info);
  return buffer;
}

SIZE Measure(HDC dc, const std::wstring& text, bool bold) {
  CScopedFontWeight weight(dc, bold);
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), int(text.size()), &r, DT_CALCRECT | DT_SINGLELINE);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam) {
  // Popups here are Qt's own menus, not windows of the layer: nothing of class "#32768" is made,
  // so the hook only passes the messages on.
  return CallNextHookEx(g_hook, code, wParam, lParam);
}
}  // namespace

bool CMenuXP::UseXPMenus() {
  if (g_useXP < 0) {
    OSVERSIONINFOEXW v{};
    v.dwOSVersionInfoSize = sizeof(v);
    bool use = false;
    if (GetVersionExW(&v) && v.dwMajorVersion == 5)
      use = v.dwMinorVersion == 1 || (v.dwMinorVersion == 2 && (v.wProductType & 1));
    g_useXP = use ? 1 : 0;
  }
  return g_useXP == 1;
}
void CMenuXP::ResetUseXPMenus() { g_useXP = -1; }

void CMenuXP::SetWindowMenuProp(CWnd* window) {
  if (!window || !window->m_hWnd) return;
  if (UseXPMenus()) SetPropW(window->m_hWnd, kMenuProp, reinterpret_cast<HANDLE>(1));
  else RemovePropW(window->m_hWnd, kMenuProp);
}

void CMenuXP::UpdateWindowMenu(CWnd* window) {
  if (!window || !UseXPMenus() || !GetPropW(window->m_hWnd, kMenuProp)) return;
  if (CMenu* bar = window->GetMenu()) UpdateMenu(window, bar, true, true);
}

void CMenuXP::UpdateMenu(CWnd* owner, CMenu* menu, bool convert, bool isMenuBar) {
  if (!UseXPMenus() || !convert || !menu || !menu->m_hMenu) return;
  InstallMenuPainter();
  for (auto it = SubMenuImages().begin(); it != SubMenuImages().end();)
    it = IsMenu(it->first) ? std::next(it) : SubMenuImages().erase(it);
  HDC dc = GetDC(nullptr);
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  const UINT itemHeight = std::max<UINT>(16, UINT(tm.tmHeight + 2)) + 4;
  const UINT separatorHeight = UINT(tm.tmHeight + 2) / 2;
  const int count = GetMenuItemCount(menu->m_hMenu);
  UINT widestLabel = 0, widestAccel = 0;
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_DATA;
    GetMenuItemInfoW(menu->m_hMenu, UINT(i), TRUE, &info);
    std::wstring label, accel;
    SplitText(ItemText(menu->m_hMenu, UINT(i)), label, accel);
    if (!(info.fType & MFT_OWNERDRAW)) {
      info.fType |= MFT_OWNERDRAW;
      info.fMask = MIIM_FTYPE;
      if (isMenuBar) {
        info.fMask |= MIIM_DATA;
        info.dwItemData = PackItemData(0, 0, UINT(Measure(dc, label, false).cx));
      }
      SetMenuItemInfoW(menu->m_hMenu, UINT(i), TRUE, &info);
    }
    if (!isMenuBar && !(info.fType & MFT_SEPARATOR)) {
      widestLabel = std::max<UINT>(widestLabel, UINT(Measure(dc, label, (info.fState & MFS_DEFAULT) != 0).cx));
      widestAccel = std::max<UINT>(widestAccel, UINT(Measure(dc, accel, false).cx));
    }
  }
  if (!isMenuBar) {
    for (int i = 0; i < count; ++i) {
      MENUITEMINFOW info{};
      info.cbSize = sizeof(info);
      info.fMask = MIIM_FTYPE;
      GetMenuItemInfoW(menu->m_hMenu, UINT(i), TRUE, &info);
      info.fMask = MIIM_DATA;
      info.dwItemData = (info.fType & MFT_SEPARATOR) ? PackItemData(separatorHeight, 0, 0)
                                                      : PackItemData(itemHeight, widestAccel, widestLabel);
      SetMenuItemInfoW(menu->m_hMenu, UINT(i), TRUE, &info);
    }
  }
  SelectObject(dc, oldFont);
  ReleaseDC(nullptr, dc);
  (void)owner;  // the owner's toolbars give images once the toolbar exists
}

bool CMenuXP::MeasureItem(LPMEASUREITEMSTRUCT item) {
  if (!item) return false;
  const UINT height = item->itemData & 0xFF, accel = (item->itemData >> 8) & 0xFF, text = UINT(item->itemData >> 16);
  item->itemHeight = height;
  item->itemWidth = height == 0 ? text + 4 : accel + 42 + text;
  return true;
}

bool CMenuXP::DrawItem(LPDRAWITEMSTRUCT item, CWnd* owner) {
  if (!UseXPMenus() || !item || item->CtlType != ODT_MENU) return false;
  DrawMenuItem(item, owner);
  return true;
}

void CMenuXP::DrawMenuItem(LPDRAWITEMSTRUCT item, CWnd* owner) {
  HMENU menu = reinterpret_cast<HMENU>(item->hwndItem);
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_DATA;
  wchar_t textBuffer[512] = {};
  info.dwTypeData = textBuffer;
  info.cch = 512;
  info.fMask |= MIIM_STRING;
  if (!GetMenuItemInfoW(menu, item->itemID, FALSE, &info)) return;
  std::wstring label, accel;
  SplitText(textBuffer, label, accel);

  const RECT rc = item->rcItem;
  CBufferDC buffer(item->hDC, &rc);
  HDC dc = buffer.m_hDC;
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  const bool selected = (item->itemState & ODS_SELECTED) != 0;
  const bool disabled = (info.fState & MFS_DISABLED) != 0;
  const bool checked = (info.fState & MFS_CHECKED) != 0;
  const COLORREF face = Face();
  SetBkMode(dc, TRANSPARENT);

  if ((item->itemData & 0xFF) == 0) {
    // A menu-bar item.
    if (selected || (item->itemState & ODS_HOTLIGHT)) {
      RECT box{rc.left, rc.top, rc.right - 4, rc.bottom};
      FramedRect(dc, box, GetSysColor(COLOR_3DDKSHADOW), AdjustColor(face, 20, 0));
      RECT strip{rc.right - 4, rc.top, rc.right, rc.bottom};
      FillRectColour(dc, strip, face);
      for (int k = 0; k < 4; ++k)
        for (int y = rc.top + 4; y < rc.bottom; ++y) {
          const int m = std::min(k, y - (rc.top + 4));
          const COLORREF c = GetPixel(dc, strip.left + k, y);
          const int pct = 93 - 5 * m;
          SetPixel(dc, strip.left + k, y, RGB(GetRValue(c) * pct / 100, GetGValue(c) * pct / 100, GetBValue(c) * pct / 100));
        }
      RECT screen = rc;
      if (owner && owner->m_hWnd) owner->ClientToScreen(&screen);
      g_openBarItem = screen;
    } else {
      FillRectColour(dc, rc, face);
    }
    RECT text{rc.left, rc.top, rc.right - 4, rc.bottom};
    SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_MENUTEXT));
    DrawTextW(dc, label.c_str(), int(label.size()), &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, oldFont);
    return;
  }

  // A popup item: background, selection, separator.
  if (!selected || (info.fType & MFT_SEPARATOR)) {
    RECT column{rc.left, rc.top, std::min<LONG>(rc.left + kImageColumn, rc.right), rc.bottom};
    RECT rest{column.right, rc.top, rc.right, rc.bottom};
    FillRectColour(dc, column, AdjustColor(face, 20, 0));
    FillRectColour(dc, rest, AdjustColor(face, 75, 0));
  } else if (disabled) {
    FramedRect(dc, rc, AdjustColor(face, 73, 0), AdjustColor(face, 73, 0));
  } else {
    FramedRect(dc, rc, Highlight(), AdjustColor(Highlight(), 70, -57));
  }
  if (info.fType & MFT_SEPARATOR) {
    const int y = (rc.top + rc.bottom) / 2;
    Line(dc, rc.left + kTextLeft, y, rc.right - 1, y, AdjustColor(face, -18, 0));
    SelectObject(dc, oldFont);
    return;
  }

  if (checked) {
    RECT box{rc.left + 1, rc.top + 1, rc.left + 20, rc.bottom - 1};
    if (disabled) FramedRect(dc, box, AdjustColor(face, 73, 0), AdjustColor(face, 73, 0));
    else FramedRect(dc, box, Highlight(), selected ? AdjustColor(Highlight(), 50, -50) : AdjustColor(Highlight(), 70, -57));
  }

  CImgDesc image;
  if (FindImage(info.wID, info.hSubMenu, image)) {
    const bool enabled = !disabled;
    if (!(enabled && (!selected || checked))) {
      const COLORREF shade = enabled && selected ? AdjustColor(Highlight(), 50, -66) : AdjustColor(face, -27, 0);
      const int off = enabled && selected ? 4 : 3;
      DrawCell(dc, image, rc.left + off, rc.top + off, &shade);
    }
    if (enabled) {
      const int off = selected && !checked ? 2 : 3;
      DrawCell(dc, image, rc.left + off, rc.top + off, nullptr);
    }
  } else if (checked) {
    const int cx = rc.left + 5 + 7, cy = (rc.top + rc.bottom) / 2;
    const COLORREF mark = disabled ? AdjustColor(face, -27, 0) : GetSysColor(COLOR_MENUTEXT);
    if (info.fType & MFT_RADIOCHECK) {
      CScopedPen p(dc, PS_SOLID, 1, mark);
      CScopedBrush b(dc, mark);
      Ellipse(dc, cx - 4, cy - 3, cx + 3, cy + 4);
      SetPixel(dc, cx + 1, cy + 2, selected ? AdjustColor(Highlight(), 50, -50) : AdjustColor(Highlight(), 70, -57));
    } else {
      DrawCheckMark(dc, rc.left + 5, rc.top + 3, mark);
    }
  }

  COLORREF textColour = GetSysColor(COLOR_MENUTEXT);
  if (item->itemState & ODS_GRAYED) textColour = GetSysColor(COLOR_GRAYTEXT);
  else if (disabled) textColour = AdjustColor(face, -18, 0);
  SetTextColor(dc, textColour);
  const UINT prefix = (item->itemState & ODS_NOACCEL) ? 0x00100000u /* DT_HIDEPREFIX */ : 0;
  {
    CScopedFontWeight bold(dc, (info.fState & MFS_DEFAULT) != 0);
    RECT text{rc.left + kTextLeft, rc.top, rc.right, rc.bottom};
    DrawTextW(dc, label.c_str(), int(label.size()), &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | prefix);
  }
  if (!accel.empty()) {
    RECT text{rc.left, rc.top, rc.right - 12, rc.bottom};
    DrawTextW(dc, accel.c_str(), int(accel.size()), &text, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
  }
  SelectObject(dc, oldFont);
}

LRESULT CMenuXP::FindMnemonic(HMENU menu, UINT character, UINT flags) {
  if (flags != 0 && !((flags & MF_POPUP) && !(flags & MF_SYSMENU))) return 0;
  const wchar_t wanted = towupper(wchar_t(character));
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    std::wstring label, accel;
    SplitText(ItemText(menu, UINT(i)), label, accel);
    for (size_t k = label.size(); k-- > 1;) {
      if (label[k - 1] == L'&' && towupper(label[k]) == wanted && !(k >= 2 && label[k - 2] == L'&'))
        return MAKELRESULT(i, MNC_EXECUTE);
    }
  }
  return 0;
}

LRESULT CMenuXP::OnMenuChar(CMenu* menu, UINT character, UINT flags, CWnd* window) {
  if (UseXPMenus() && menu && menu->GetMenuItemCount() > 0 && (menu->GetMenuState(0, MF_BYPOSITION) & MFT_OWNERDRAW))
    return FindMnemonic(menu->m_hMenu, character, flags);
  return window ? window->DefWindowProc(WM_MENUCHAR, MAKEWPARAM(character, flags),
                                        reinterpret_cast<LPARAM>(menu ? menu->m_hMenu : nullptr))
                : 0;
}

void CMenuXP::DrawPopupBorder(HDC dc, const RECT& window, bool allowOpenEdge) {
  const int w = window.right - window.left, h = window.bottom - window.top;
  {
    CScopedPen p(dc, PS_SOLID, 1, GetSysColor(COLOR_3DDKSHADOW));
    CScopedBrush b(dc, CLR_INVALID);
    Rectangle(dc, 0, 0, w, h);
  }
  const COLORREF light = AdjustColor(Face(), 75, 0);
  for (int inset = 1; inset <= 2; ++inset) {
    CScopedPen p(dc, PS_SOLID, 1, light);
    CScopedBrush b(dc, CLR_INVALID);
    Rectangle(dc, inset, inset, w - inset, h - inset);
  }
  const RECT& bar = g_openBarItem;
  if (allowOpenEdge && bar.right > bar.left && bar.bottom == window.top + 1)
    Line(dc, bar.left - window.left - 3, 0, bar.right - window.left - 5, 0, AdjustColor(Face(), 20, 0));
}

void CMenuXP::Install() {
  if (!UseXPMenus()) return;
  ++g_installCount;
  if (!g_hook) g_hook = SetWindowsHookExW(WH_CALLWNDPROC, HookProc, nullptr, GetCurrentThreadId());
}
void CMenuXP::Uninstall() {
  if (g_installCount == 0) return;
  if (--g_installCount > 0 || !UseXPMenus()) return;
  CommandImages().clear();
  SubMenuImages().clear();
  if (g_hook) UnhookWindowsHookEx(g_hook);
  g_hook = nullptr;
}
int CMenuXP::InstallCount() { return g_installCount; }

void CMenuXP::SetCommandImage(UINT command, const CImgDesc& image) { CommandImages()[command] = image; }
void CMenuXP::SetSubMenuImage(HMENU subMenu, const CImgDesc& image) { SubMenuImages()[subMenu] = image; }
bool CMenuXP::FindImage(UINT command, HMENU subMenu, CImgDesc& out) {
  if (subMenu) {
    auto it = SubMenuImages().find(subMenu);
    if (it == SubMenuImages().end()) return false;
    out = it->second;
    return true;
  }
  auto it = CommandImages().find(command);
  if (it == CommandImages().end()) return false;
  out = it->second;
  return true;
}
void CMenuXP::ClearImages() {
  CommandImages().clear();
  SubMenuImages().clear();
}
RECT CMenuXP::LastOpenBarItem() { return g_openBarItem; }
void CMenuXP::SetLastOpenBarItem(const RECT& rect) { g_openBarItem = rect; }
