// Records of owner-drawn items (menus and buttons) and the few button and menu constants that
// go with them.
#pragma once
#include "Menus.h"
#include "WinTypes.h"

#define ODT_MENU 1
#define ODT_COMBOBOX 3
#define ODT_BUTTON 4
#define ODA_DRAWENTIRE 0x0001u
#define ODA_SELECT 0x0002u
#define ODA_FOCUS 0x0004u
#define ODS_SELECTED 0x0001u
#define ODS_GRAYED 0x0002u
#define ODS_DISABLED 0x0004u
#define ODS_CHECKED 0x0008u
#define ODS_FOCUS 0x0010u
#define ODS_DEFAULT 0x0020u
#define ODS_HOTLIGHT 0x0040u
#define ODS_NOACCEL 0x0100u
#define ODS_COMBOBOXEDIT 0x1000u
#ifndef WM_DELETEITEM
#define WM_DELETEITEM 0x002D
#define WM_COMPAREITEM 0x0039
#endif

struct DRAWITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  UINT itemID;
  UINT itemAction;
  UINT itemState;
  HWND hwndItem;
  HDC hDC;
  RECT rcItem;
  ULONG_PTR itemData;
};
typedef DRAWITEMSTRUCT* LPDRAWITEMSTRUCT;

struct MEASUREITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  UINT itemID;
  UINT itemWidth;
  UINT itemHeight;
  ULONG_PTR itemData;
};
typedef MEASUREITEMSTRUCT* LPMEASUREITEMSTRUCT;

struct COMPAREITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  HWND hwndItem;
  UINT itemID1;
  ULONG_PTR itemData1;
  UINT itemID2;
  ULONG_PTR itemData2;
  DWORD dwLocaleId;
};
typedef COMPAREITEMSTRUCT* LPCOMPAREITEMSTRUCT;

struct DELETEITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  UINT itemID;
  HWND hwndItem;
  ULONG_PTR itemData;
};
typedef DELETEITEMSTRUCT* LPDELETEITEMSTRUCT;

#ifndef TPM_CENTERALIGN
#define TPM_CENTERALIGN 0x0004u
#define TPM_RIGHTALIGN 0x0008u
#define TPM_VCENTERALIGN 0x0010u
#define TPM_VERTICAL 0x0040u
#endif
#ifndef MNC_EXECUTE
#define MNC_IGNORE 0
#define MNC_EXECUTE 2
#endif
#ifndef MF_SYSMENU
#define MF_SYSMENU 0x2000u
#endif

#ifndef BS_LEFT
#define BS_LEFT 0x00000100u
#define BS_RIGHT 0x00000200u
#define BS_CENTER 0x00000300u
#define BS_TOP 0x00000400u
#define BS_BOTTOM 0x00000800u
#define BS_VCENTER 0x00000C00u
#define BS_FLAT 0x00008000u
#endif
