// Menus in scripts: `command ID` and `state ID…` through the main window's menu bar as a user
// opening it sees it, and popup menus listed or chosen from through the platform's menu seam.
#include "UiApi.h"
#include "UiRunnerState.h"

#include <cstdio>

#include "CmdTarget.h"
#include "DiffractWnd.h"
#include "Menus.h"

namespace qlwui {
namespace {
constexpr UINT kExitCommand = 57665;

// Where a command sits in a menu tree: the menus from the top to the one holding it.
struct MenuPath {
  std::vector<HMENU> menus;
  int position = -1;
};

bool FindInMenu(HMENU menu, UINT id, MenuPath& path) {
  path.menus.push_back(menu);
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    if (HMENU sub = GetSubMenu(menu, i)) {
      if (FindInMenu(sub, id, path)) return true;
    } else if (GetMenuItemID(menu, i) == id && !(GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR)) {
      path.position = i;
      return true;
    }
  }
  path.menus.pop_back();
  return false;
}

// Each menu on the way is opened as a user opens it: its owner updates the items first.
void OpenPath(HWND owner, const MenuPath& path) {
  for (size_t level = 1; level < path.menus.size(); ++level)
    SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(path.menus[level]), MAKELPARAM(0, FALSE));
}

std::string ItemText(HMENU menu, int position) {
  wchar_t buffer[512] = {};
  GetMenuStringW(menu, static_cast<UINT>(position), buffer, 511, MF_BYPOSITION);
  std::string text = WithoutMnemonic(Utf8(buffer));
  const size_t tab = text.find('\t');
  return tab == std::string::npos ? text : text.substr(0, tab);
}

// The state of a command that no menu holds, as its update handler leaves it.
class CRecordingCmdUI : public CCmdUI {
 public:
  void Enable(BOOL on) override {
    enabled = on != FALSE;
    m_bEnableChanged = TRUE;
  }
  void SetCheck(int check) override { checked = check != 0; }
  void SetRadio(BOOL on) override { checked = on != FALSE; }
  void SetText(LPCWSTR) override {}
  bool enabled = true;
  bool checked = false;
};

struct CommandState {
  bool inMenu = false;
  bool enabled = false;
  bool checked = false;
  std::string text;
  HWND owner = nullptr;
};

CommandState StateOf(UINT id) {
  CDiffractWnd* frame = MainWindow();
  CommandState state;
  state.owner = frame->m_hWnd;
  MenuPath path;
  if (HMENU bar = GetMenu(frame->m_hWnd); bar && FindInMenu(bar, id, path)) {
    OpenPath(frame->m_hWnd, path);
    HMENU holder = path.menus.back();
    const UINT flags = GetMenuState(holder, static_cast<UINT>(path.position), MF_BYPOSITION);
    state.inMenu = true;
    state.enabled = !(flags & (MF_GRAYED | MF_DISABLED));
    state.checked = (flags & MF_CHECKED) != 0;
    state.text = ItemText(holder, path.position);
    return state;
  }
  CRecordingCmdUI ui;
  ui.m_nID = id;
  ui.DoUpdate(frame, TRUE);
  state.enabled = ui.enabled;
  state.checked = ui.checked;
  return state;
}

UINT CommandId(const std::string& word) { return static_cast<UINT>(ParseInt(word, "command id")); }

// Sent as a menu item's click sends it.
void SendCommand(HWND owner, UINT id) { PostMessageW(owner, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

void RunCommand(const Line& line) {
  if (!SendMenuCommand(CommandId(line.Word(1, "command id")))) Print("disabled");
}

void RunState(const Line& line) {
  if (line.words.size() < 2) throw Failure("missing command id");
  for (size_t i = 1; i < line.words.size(); ++i) {
    const CommandState state = StateOf(CommandId(line.words[i]));
    Print(std::string(state.enabled ? "" : "disabled ") + line.words[i] + ": " + (state.checked ? "[x] " : "") + state.text);
  }
}

// File > Exit; while the command has no handler of its own, the main window is closed as Exit does it.
void RunQuit(const Line&) {
  const CommandState state = StateOf(kExitCommand);
  if (state.enabled) SendCommand(state.owner, kExitCommand);
  else PostMessageW(state.owner, WM_CLOSE, 0, 0);
}

// ---- popup menus ----

std::string PopupItem(HMENU menu, int position) {
  const UINT flags = GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION);
  if (flags & MF_SEPARATOR) return "-";
  std::string text = ItemText(menu, position);
  if (flags & MF_CHECKED) text = "[x] " + text;
  if (flags & (MF_GRAYED | MF_DISABLED)) text = "disabled " + text;
  return text;
}

// The item the choice names, searched through the submenus (each opened as a user would).
bool FindChoice(HMENU menu, HWND owner, const MenuChoice& choice, UINT& id, bool& enabled) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    const UINT flags = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    if (flags & MF_SEPARATOR) continue;
    if (HMENU sub = GetSubMenu(menu, i)) {
      SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub), MAKELPARAM(i, FALSE));
      if (FindChoice(sub, owner, choice, id, enabled)) return true;
      continue;
    }
    const UINT itemId = GetMenuItemID(menu, i);
    if (choice.byText ? ItemText(menu, i) == choice.text : itemId == choice.id) {
      id = itemId;
      enabled = !(flags & (MF_GRAYED | MF_DISABLED));
      return true;
    }
  }
  return false;
}

UINT AnswerPopup(HMENU menu, HWND owner) {
  MenuChoice& choice = State().choice;
  // The menu is printed as it opened, also when the line chooses from it.
  std::string list;
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) list += (i ? " | " : "") + PopupItem(menu, i);
  Print("menu: " + list);
  if (!choice.given || choice.used) return 0;
  choice.used = true;
  UINT id = 0;
  bool enabled = false;
  const std::string named = choice.byText ? "\"" + choice.text + "\"" : std::to_string(choice.id);
  if (!FindChoice(menu, owner, choice, id, enabled)) Abort("the popup menu has no item " + named);
  if (!enabled) Abort("the popup menu's item " + named + " is disabled");
  return id;
}
}  // namespace

bool SendMenuCommand(UINT id) {
  const CommandState state = StateOf(id);
  if (!state.enabled) return false;
  SendCommand(state.owner, id);
  return true;
}

void InstallMenuSeam() { qlw::SetMenuAnswer(&AnswerPopup); }
}  // namespace qlwui

QLW_UI_COMMAND(command, "command", "ID", qlwui::RunCommand);
QLW_UI_COMMAND(state, "state", "ID...", qlwui::RunState);
QLW_UI_COMMAND(quit, "quit", "", qlwui::RunQuit);
