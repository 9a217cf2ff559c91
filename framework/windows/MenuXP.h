// CMenuXP: the framework's flat owner-drawn menus (image column, shadowed images, selection
// frames, check marks, separators, popup borders), in force only on the system versions that
// asked for them; the drawing itself is also reachable directly.
#pragma once
#include "AfxGdi.h"
#include "GdiPlus.h"
#include "OwnerDraw.h"
#include "Wnd.h"

// A command's image: cell `index` (16 x 16) of a horizontal strip (not owned).
struct CImgDesc {
  Gdiplus::Bitmap* strip = nullptr;
  int index = 0;
};

class CMenuXP {
 public:
  static constexpr int kImageColumn = 22;
  static constexpr int kTextLeft = 30;

  // Worked out once from the system version: 5.1, or 5.2 with the low bit of the product type.
  static bool UseXPMenus();
  // Test seam: forget the answer so that the next call works it out again.
  static void ResetUseXPMenus();

  static void SetWindowMenuProp(CWnd* window);
  static void UpdateWindowMenu(CWnd* window);
  static void UpdateMenu(CWnd* owner, CMenu* menu, bool convert, bool isMenuBar);
  // Draws a menu item when the style is in force; answers whether it drew.
  static bool DrawItem(LPDRAWITEMSTRUCT item, CWnd* owner);
  // The drawing itself, whatever the system.
  static void DrawMenuItem(LPDRAWITEMSTRUCT item, CWnd* owner);
  static bool MeasureItem(LPMEASUREITEMSTRUCT item);
  static LRESULT OnMenuChar(CMenu* menu, UINT character, UINT flags, CWnd* window);
  // MNC_EXECUTE in the high word with the index of the item whose mnemonic is the character; 0.
  static LRESULT FindMnemonic(HMENU menu, UINT character, UINT flags);
  // The three-line border of a popup at `window` (screen); the top edge stays open under the
  // menu-bar item drawn open last when the popup hangs directly under it.
  static void DrawPopupBorder(HDC dc, const RECT& window, bool allowOpenEdge);

  // Lets owner-drawn items of menus on screen be drawn by their owners.
  static void InstallMenuPainter();
  static void Install();
  static void Uninstall();
  static int InstallCount();

  // The image maps (commands and sub-menus); UpdateMenu fills them from the owner's toolbars.
  static void SetCommandImage(UINT command, const CImgDesc& image);
  static void SetSubMenuImage(HMENU subMenu, const CImgDesc& image);
  static bool FindImage(UINT command, HMENU subMenu, CImgDesc& out);
  static void ClearImages();

  // Item data: height (bits 0-7), accelerator width (8-15), label width (16-31).
  static ULONG_PTR PackItemData(UINT height, UINT acceleratorWidth, UINT textWidth) {
    return (height & 0xFF) | ((acceleratorWidth & 0xFF) << 8) | ((textWidth & 0xFFFF) << 16);
  }
  // Screen rectangle of the menu-bar item drawn open last.
  static RECT LastOpenBarItem();
  static void SetLastOpenBarItem(const RECT& rect);
};

// Owner-drawn menu handlers for a window's message map (dialogs, buttons, document windows).
#define ON_LX_MENUXP_HANDLERS()                                                                       \
  {WM_MEASUREITEM, nullptr, 0, 0, 0, QLW_CALL {                                                       \
     QLW_UNUSED; auto* mi_ = reinterpret_cast<LPMEASUREITEMSTRUCT>(lp_);                              \
     if (!mi_ || mi_->CtlType != ODT_MENU || !CMenuXP::UseXPMenus()) return false;                     \
     *res_ = CMenuXP::MeasureItem(mi_); return true; }},                                              \
  {WM_DRAWITEM, nullptr, 0, 0, 0, QLW_CALL {                                                          \
     QLW_UNUSED; auto* di_ = reinterpret_cast<LPDRAWITEMSTRUCT>(lp_);                                 \
     if (!di_ || di_->CtlType != ODT_MENU) return false;                                              \
     *res_ = CMenuXP::DrawItem(di_, QLW_SELF); return *res_ != 0; }},                                 \
  {WM_MENUCHAR, nullptr, 0, 0, 0, QLW_CALL {                                                          \
     QLW_UNUSED; *res_ = CMenuXP::OnMenuChar(CMenu::FromHandle(reinterpret_cast<HMENU>(lp_)),         \
                                             LOWORD(wp_), HIWORD(wp_), QLW_SELF); return true; }},
