// Menus, accelerator tables and dialog templates written as text in resources/ui/*.txt (our own
// format, compiled into the program as text and parsed on first use):
//
//   MENU 1000                         DIALOG 5500 "Caption"
//     POPUP "&File"                     ROW
//       ITEM 57600 "&New\tCtrl+N"         LABEL -1 "Name:"
//       SEPARATOR                         EDIT 1001 ""
//     END                               END
//   END                                 CHECKBOX 1002 "Show grid" GROUP
//   ACCELERATORS 1000                   BUTTON 1 "OK" DEFAULT
//     57600 "Ctrl+N"                  END
//   END
//
// Dialog items are laid out top to bottom, the items of a ROW side by side, and the buttons of the
// last rows at the bottom right; ids and order are the template's, positions Qt's layouts'.
#pragma once
#include <string>
#include <vector>

#include "WinTypes.h"

namespace qlw {
struct MenuTemplateItem {
  bool popup = false;
  bool separator = false;
  UINT id = 0;
  std::wstring text;
  std::vector<std::wstring> flags;  // GRAYED, CHECKED, RADIO, DEFAULT
  std::vector<MenuTemplateItem> children;
};

struct AccelTemplateEntry {
  BYTE virt = 0;  // FVIRTKEY | FSHIFT | FCONTROL | FALT
  WORD key = 0;
  WORD cmd = 0;
};

struct DialogTemplateItem {
  std::wstring kind;  // LABEL, EDIT, CHECKBOX, RADIO, BUTTON, GROUPBOX, COMBO, DROPLIST, LISTBOX, LIST, TREE,
                      // TAB, SLIDER, PROGRESS, SPIN, RICHEDIT, CUSTOM
  int id = -1;
  std::wstring caption;
  std::vector<std::wstring> flags;  // DEFAULT, GROUP, DISABLED, HIDDEN, READONLY, MULTILINE, OWNERDATA,
                                    // NUMBER, PASSWORD, SINGLESEL, VERTICAL, STRETCH, OWNERDRAW,
                                    // SORT, CLASS=name, WIDTH=pixels, TIP (tooltip string
                                    // id + 8500), TIP=string id
  int row = 0;                      // items of one ROW share the number
  bool HasFlag(const wchar_t* flag) const;
  std::wstring FlagValue(const wchar_t* prefix) const;
};

struct DialogTemplate {
  UINT id = 0;
  std::wstring caption;
  std::vector<DialogTemplateItem> items;
};

// Templates by id; null when none has the id. Texts added with AddResourceText count too.
const std::vector<MenuTemplateItem>* FindMenuTemplate(UINT id);
const std::vector<AccelTemplateEntry>* FindAccelTemplate(UINT id);
const DialogTemplate* FindDialogTemplate(UINT id);
// The string id of the tooltip that a template gives one of its controls; 0 when it gives none.
// Tips are keyed by template and control together, since control ids repeat across templates.
UINT FindToolTipString(UINT templateId, int controlId);
// Adds templates from text (UTF-8) at run time, for tests; a later id replaces an earlier one.
// Answers false, adding nothing, when the text does not parse; `error` says where.
bool AddResourceText(const char* text, std::string* error = nullptr);
// "Ctrl+Shift+N", "F5", "Del", "Alt+Left" as an accelerator entry; false for an unknown key.
bool ParseAcceleratorKey(const std::wstring& text, BYTE& virt, WORD& key);
}  // namespace qlw
