// Menus and accelerator tables as handles: a menu is a list of items kept here and shown as a
// QMenuBar or QMenu when it is on screen; templates come from the resource texts (ResourceText.h).
#pragma once
#include "WindowLayer.h"

#define MF_STRING 0x0000u
#define MF_BYCOMMAND 0x0000u
#define MF_ENABLED 0x0000u
#define MF_UNCHECKED 0x0000u
#define MF_GRAYED 0x0001u
#define MF_DISABLED 0x0002u
#define MF_CHECKED 0x0008u
#define MF_POPUP 0x0010u
#define MF_OWNERDRAW 0x0100u
#define MF_BYPOSITION 0x0400u
#define MF_SEPARATOR 0x0800u
#define MF_DEFAULT 0x1000u
#define MF_HILITE 0x0080u
#define MFT_STRING MF_STRING
#define MFT_SEPARATOR MF_SEPARATOR
#define MFT_OWNERDRAW MF_OWNERDRAW
#define MFT_RADIOCHECK 0x0200u
#define MFS_GRAYED 0x0003u
#define MFS_DISABLED MFS_GRAYED
#define MFS_CHECKED MF_CHECKED
#define MFS_DEFAULT MF_DEFAULT
#define MIIM_STATE 0x0001u
#define MIIM_ID 0x0002u
#define MIIM_SUBMENU 0x0004u
#define MIIM_DATA 0x0020u
#define MIIM_STRING 0x0040u
#define MIIM_FTYPE 0x0100u
#define MIIM_TYPE 0x0010u

#define TPM_LEFTALIGN 0x0000u
#define TPM_RIGHTBUTTON 0x0002u
#define TPM_NONOTIFY 0x0080u
#define TPM_RETURNCMD 0x0100u

struct MENUITEMINFOW {
  UINT cbSize;
  UINT fMask;
  UINT fType;
  UINT fState;
  UINT wID;
  HMENU hSubMenu;
  HBITMAP hbmpChecked;
  HBITMAP hbmpUnchecked;
  ULONG_PTR dwItemData;
  LPWSTR dwTypeData;
  UINT cch;
  HBITMAP hbmpItem;
};
typedef MENUITEMINFOW MENUITEMINFO;
typedef MENUITEMINFOW* LPMENUITEMINFOW;

HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys the menu and its submenus.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
// The id argument is a submenu handle when flags hold MF_POPUP.
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text);
BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text);
BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text);
// DeleteMenu destroys a submenu of the item, RemoveMenu keeps it.
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
int GetMenuItemCount(HMENU menu);
// The command id at a position; -1 (as UINT) for a submenu or a bad position.
UINT GetMenuItemID(HMENU menu, int position);
HMENU GetSubMenu(HMENU menu, int position);
int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int maxCount, UINT flags);
// Answer the item's former state, or -1 when there is no such item.
UINT EnableMenuItem(HMENU menu, UINT item, UINT flags);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags);
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOW info);
BOOL SetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW* info);
BOOL SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition);
// A menu's style. MNS_NOCHECK leaves out the check column: checked items show no mark.
// MNS_CHECKORBMP shares the check column with an item's bitmap; items here carry none, so it is
// the plain look. MIM_APPLYTOSUBMENUS sets the style of every submenu too.
#define MIM_STYLE 0x00000010u
#define MIM_APPLYTOSUBMENUS 0x80000000u
#define MNS_NOCHECK 0x80000000u
#define MNS_CHECKORBMP 0x04000000u
struct MENUINFO {
  DWORD cbSize;
  DWORD fMask;
  DWORD dwStyle;
};
typedef MENUINFO* LPMENUINFO;
typedef const MENUINFO* LPCMENUINFO;
BOOL SetMenuInfo(HMENU menu, LPCMENUINFO info);
BOOL GetMenuInfo(HMENU menu, LPMENUINFO info);
// A window's menu bar.
BOOL SetMenu(HWND hwnd, HMENU menu);
HMENU GetMenu(HWND hwnd);
BOOL DrawMenuBar(HWND hwnd);
// Shows the menu at a screen point and waits; the chosen command is sent to the owner as
// WM_COMMAND, or returned with TPM_RETURNCMD. A test may answer in place of the user (menu seam).
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect);
// params, when given, is a TPMPARAMS: the menu keeps clear of its rcExclude (screen coordinates),
// below or above it with TPM_VERTICAL, else right or left of it.
struct TPMPARAMS {
  UINT cbSize;
  RECT rcExclude;
};
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, void* params);
// A menu template of the resource texts; null (ERROR_RESOURCE_NAME_NOT_FOUND) when absent.
HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);

#define FVIRTKEY 0x01
#define FSHIFT 0x04
#define FCONTROL 0x08
#define FALT 0x10
struct ACCEL {
  BYTE fVirt;
  WORD key;
  WORD cmd;
};
typedef ACCEL* LPACCEL;
HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name);
HACCEL CreateAcceleratorTableW(LPACCEL entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
int CopyAcceleratorTableW(HACCEL table, LPACCEL entries, int count);
// A key-down that matches an entry sends WM_COMMAND (high word 1) to the window; answers 1 then.
int TranslateAcceleratorW(HWND hwnd, HACCEL table, LPMSG msg);

#define AppendMenu AppendMenuW
#define InsertMenu InsertMenuW
#define ModifyMenu ModifyMenuW
#define GetMenuString GetMenuStringW
#define GetMenuItemInfo GetMenuItemInfoW
#define SetMenuItemInfo SetMenuItemInfoW
#define LoadMenu LoadMenuW
#define LoadAccelerators LoadAcceleratorsW
#define CreateAcceleratorTable CreateAcceleratorTableW
#define CopyAcceleratorTable CopyAcceleratorTableW
#define TranslateAccelerator TranslateAcceleratorW
// Spelt exactly as in the GDI layer's header, so that both may be included.
#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEW
#ifndef IS_INTRESOURCE
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#endif

namespace qlw {
// Test seam for TrackPopupMenu: answers the command id to choose (0: dismissed) instead of showing
// the menu; null restores the real menu.
using MenuAnswer = UINT (*)(HMENU menu, HWND owner);
void SetMenuAnswer(MenuAnswer answer);
// Has the application's style hand menu bars an overflow button whose icon is read when the button
// first shows it, not when the bar is made. Call once the application object exists.
void DeferMenuBarOverflowIcon();
}  // namespace qlw
