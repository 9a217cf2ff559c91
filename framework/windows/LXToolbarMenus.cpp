// The framework toolbar's menus and commands: the item sequence and its saved state, the
// separator rule, the context menu of items, the overflow menu, the display modes, and the keys
// (accelerator table and shortcut characters).
#include "LXToolbar.h"

#include <algorithm>
#include <locale>

#include "AfxApp.h"
#include "LXDocWnd.h"
#include "LXMessage.h"
#include "LXPreferences.h"
#include "LXUtils.h"
#include "Resources.h"
#include "Status.h"

namespace {
bool IsSeparator(LXToolCode code) { return code == kToolSepFixed || code == kToolSepFlex; }

// "ToolbarState" records: the code (little-endian) and the visible byte, padded to 8 bytes.
CLXToolbarInitRec MakeRecord(LXToolCode code, bool visible) {
  CLXToolbarInitRec rec{};
  for (int i = 0; i < 4; ++i) rec.bytes[i] = static_cast<uint8_t>(code >> (8 * i));
  rec.bytes[4] = visible ? 1 : 0;
  return rec;
}
LXToolCode RecordCode(const CLXToolbarInitRec& rec) {
  return uint32_t(rec.bytes[0]) | uint32_t(rec.bytes[1]) << 8 | uint32_t(rec.bytes[2]) << 16 | uint32_t(rec.bytes[3]) << 24;
}

void AppendOrThrow(CMenu& menu, UINT flags, UINT_PTR id = 0, LPCWSTR text = nullptr) {
  if (!menu.AppendMenu(flags, id, text)) throw CLXXNoToolbar(2, 0, __LINE__);
}

CString StringOf(UINT id) {
  CString text;
  LoadString(id, text);
  return text;
}
}  // namespace

// ---- the sequence and its saved state ----

void CLXToolbar::SetItemLayout(const CLXToolSeqEntry* records, size_t count, bool save) {
  DestroyButtons();
  m_items.clear();
  m_visible.clear();
  for (size_t i = 0; i < count; ++i) {
    Item item;
    item.code = records[i].code;
    item.visible = records[i].visible;
    m_items.push_back(std::move(item));
  }
  RebuildMenuRecords();
  CreateButtons();
  if (save) SaveState();
  Rebuild();
  PostToolbarChange(false);
}

void CLXToolbar::RebuildMenuRecords() {
  m_records.clear();
  for (size_t i = 0; i < m_items.size(); ++i) {
    Item& item = m_items[i];
    const CLXToolDef* def = FindDefinition(item.code);
    const int group = def ? def->menuGroup : 0;
    const bool separator = IsSeparator(item.code);
    if (!separator && group != 0 && i > 0 && !m_records.empty()) {
      const Item& previous = m_items[i - 1];
      const CLXToolDef* pd = FindDefinition(previous.code);
      if (pd && pd->menuGroup == group && !IsSeparator(previous.code)) {
        item.record = previous.record;
        m_records[item.record].items.push_back(i);
        continue;
      }
    }
    MenuRecord record;
    record.kind = def ? def->menuKind : 0;
    record.separator = separator;
    record.items.push_back(i);
    item.record = m_records.size();
    m_records.push_back(std::move(record));
  }
}

void CLXToolbar::SaveState() {
  if (!g_pStore) return;
  std::vector<CLXToolbarInitRec> records;
  records.reserve(m_items.size());
  for (const Item& item : m_items) records.push_back(MakeRecord(item.code, item.visible));
  g_pStore->m_ToolbarState.Swap(records);
  g_pStore->m_ToolbarVis.Write();
  g_pStore->m_ToolbarState.Write();
}

void CLXToolbar::ApplySavedState() {
  if (g_pStore) {
    const size_t count = g_pStore->m_ToolbarState.Count();
    for (size_t i = 0; i < count; ++i) {
      const CLXToolbarInitRec rec = *g_pStore->m_ToolbarState.At(i);
      const LXToolCode code = RecordCode(rec);
      if (IsSeparator(code)) continue;
      // Any non-zero byte is visible: a damaged value must not hide what it does not name.
      if (Item* item = FindItem(code)) item->visible = rec.bytes[4] != 0;
    }
  }
  ApplyDisplayMode();
  Layout(true);
  const bool wanted = !g_pStore || g_pStore->m_ToolbarVis.Get();
  if (m_hWnd && wanted != ((GetStyle() & WS_VISIBLE) != 0)) ToggleVisible();
}

void CLXToolbar::ToggleVisible() {
  const bool show = !(GetStyle() & WS_VISIBLE);
  if (g_pStore) g_pStore->m_ToolbarVis.Set(show);
  SaveState();
  ShowWindow(show ? SW_SHOWNORMAL : SW_HIDE);
  RecalcParentLayout();
  PostToolbarChange(true);
}

void CLXToolbar::Rebuild() {
  ApplySavedState();
  RefreshItems();
  SaveState();
  for (const auto& [code, def] : m_defs)
    if (def.restore) SelectItem(code, true);
  Layout(false);
}

void CLXToolbar::PostToolbarChange(bool withWindow) {
  CLXMsgGeneral(g_msgToolbarChange, 0, withWindow ? reinterpret_cast<WPARAM>(m_hWnd) : 0).Post();
}

void CLXToolbar::NormaliseSeparators(std::vector<Item>& items) {
  const size_t n = items.size();
  size_t first = n, last = n;
  for (size_t i = 0; i < n; ++i)
    if (items[i].visible && !IsSeparator(items[i].code)) {
      if (first == n) first = i;
      last = i;
    }
  for (size_t i = 0; i < n; ++i)
    if (IsSeparator(items[i].code)) items[i].visible = first != n && i > first && i < last;
  for (size_t i = 0; i < n; ++i) {
    if (!IsSeparator(items[i].code) || !items[i].visible) continue;
    // The next visible item after this separator.
    size_t next = i + 1;
    while (next < n && !items[next].visible) ++next;
    if (items[i].code == kToolSepFixed) {
      if (next < n && IsSeparator(items[next].code)) items[i].visible = false;
    } else {
      for (size_t j = i + 1; j < n && (IsSeparator(items[j].code) || !items[j].visible); ++j)
        if (IsSeparator(items[j].code)) items[j].visible = false;
    }
  }
}

// ---- menus ----

void CLXToolbar::BuildItemsMenu() {
  if (m_contextMenu.m_hMenu) m_contextMenu.DestroyMenu();
  CMenu popup;
  if (!m_contextMenu.CreateMenu() || !popup.CreatePopupMenu()) throw CLXXNoToolbar(2, 0, __LINE__);
  UINT id = kCmdItemFirst;
  for (const MenuRecord& record : m_records) {
    if (record.separator) {
      AppendOrThrow(popup, MF_SEPARATOR);
      ++id;
    } else if (record.labelId && record.kind != 1) {
      AppendOrThrow(popup, MF_STRING, kCmdItemFirst + record.items.front(), record.label);
      id += static_cast<UINT>(record.items.size());
    } else {
      for (size_t i : record.items) AppendOrThrow(popup, MF_STRING, id++, m_items[i].label);
    }
  }
  AppendOrThrow(popup, MF_SEPARATOR);
  for (UINT mode : {kCmdIconAndText, kCmdIconOnly, kCmdTextOnly}) AppendOrThrow(popup, MF_STRING, mode, StringOf(mode));
  AppendOrThrow(popup, MF_SEPARATOR);
  AppendOrThrow(popup, MF_STRING, kCmdSmallSize, StringOf(kCmdSmallSize));
  AppendOrThrow(m_contextMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup.Detach()), L"");
}

void CLXToolbar::BuildOverflowMenu(LXToolCode firstHidden) {
  if (!m_overflowMenu.m_hMenu) {
    if (!m_overflowMenu.CreateMenu()) throw CLXXNoToolbar(2, 0, __LINE__);
    m_overflow.AttachMenu(&m_overflowMenu, this, true, 6);
  }
  while (m_overflowMenu.GetMenuItemCount() > 0) {
    // Sub-menus of items are the buttons' own: taken out, not destroyed, before the popup goes.
    if (CMenu* old = m_overflowMenu.GetSubMenu(0))
      while (old->GetMenuItemCount() > 0) {
        if (old->GetSubMenu(0)) old->RemoveMenu(0, MF_BYPOSITION);
        else old->DeleteMenu(0, MF_BYPOSITION);
      }
    m_overflowMenu.DeleteMenu(0, MF_BYPOSITION);
  }
  CMenu popup;
  if (!popup.CreatePopupMenu()) throw CLXXNoToolbar(2, 0, __LINE__);
  bool started = false, pendingSeparator = false;
  for (size_t v : m_visible) {
    const Item& item = m_items[v];
    if (!started) {
      if (item.code != firstHidden) continue;
      started = true;
    }
    if (IsSeparator(item.code)) {
      pendingSeparator = popup.GetMenuItemCount() > 0;
      continue;
    }
    if (pendingSeparator) AppendOrThrow(popup, MF_SEPARATOR);
    pendingSeparator = false;
    CMenu* own = item.button ? item.button->GetPopupMenu() : nullptr;
    if (own && own->GetSubMenu(0))
      AppendOrThrow(popup, MF_POPUP, reinterpret_cast<UINT_PTR>(own->GetSubMenu(0)->m_hMenu), item.label);
    else
      AppendOrThrow(popup, MF_STRING, kCmdOverflowFirst + v, item.label);
  }
  AppendOrThrow(m_overflowMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup.Detach()), L"");
}

void CLXToolbar::TrackContextMenu(CPoint at) {
  CMenu* popup = m_contextMenu.m_hMenu ? m_contextMenu.GetSubMenu(0) : nullptr;
  if (popup) popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, this);
}

void CLXToolbar::OnContextMenu(CWnd*, CPoint point) {
  if (point.x == -1 && point.y == -1) {
    point = CPoint(0, 0);
    ClientToScreen(&point);
  }
  TrackContextMenu(point);
}

void CLXToolbar::OnInitMenuPopup(CMenu* popup, UINT, BOOL) { CInitMenuPopupHelper::OnInitMenuPopup(this, popup); }

BOOL CLXToolbar::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  BOOL answer = FALSE;
  if (AnswerToolTipNotify(lParam, result, answer)) return answer;
  return CControlBar::OnNotify(wParam, lParam, result);
}

// ---- commands ----

BOOL CLXToolbar::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  if (nCode == CN_COMMAND && !pHandlerInfo) {
    if (nID >= 3800 && nID <= 3823 && GetItemCode(nID) != kToolNull) {
      OnButtonCommand(nID);
      return TRUE;
    }
    if (OnToolbarCommand(nID)) return TRUE;
  } else if (nCode == CN_UPDATE_COMMAND_UI && pExtra) {
    if (OnUpdateToolbarCommand(static_cast<CCmdUI*>(pExtra))) return TRUE;
  }
  return CControlBar::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

bool CLXToolbar::OnToolbarCommand(UINT id) {
  const bool mine = (id >= kCmdIconAndText && id <= kCmdTextOnly) || (id >= kCmdItemFirst && id <= kCmdOverflowLast);
  if (!mine) return false;
  if (auto* app = dynamic_cast<CCmdTarget*>(AfxGetApp()); app && app->OnCmdMsg(id, CN_COMMAND, nullptr, nullptr)) return true;

  if (const int index = GetItemIndexForMenuCommand(id); index >= 0) {
    Item& item = m_items[static_cast<size_t>(index)];
    const MenuRecord& record = m_records[item.record];
    if (record.labelId && record.items.size() > 1) {
      const bool visible = !m_items[record.items.front()].visible;
      for (size_t i : record.items) m_items[i].visible = visible;
    } else {
      item.visible = !item.visible;
    }
    Layout(true);
    SaveState();
    Invalidate();
    PostToolbarChange(true);
    return true;
  }
  if (const int index = GetItemIndexForOverflowCommand(id); index >= 0) {
    CLXToolButton* button = m_items[static_cast<size_t>(index)].button;
    if (button && button->m_hWnd) {
      button->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, 0);
      button->SendMessage(WM_LBUTTONUP, MK_LBUTTON, 0);
    }
    return true;
  }
  if (id >= kCmdItemFirst && id <= kCmdOverflowLast) return true;  // past the items: refused

  if (!g_pStore) return true;
  const bool icons = g_pStore->m_ToolbarShowIcon.Get(), text = g_pStore->m_ToolbarShowText.Get();
  switch (id) {
    case kCmdIconAndText:
      if (icons && text) return true;
      g_pStore->m_ToolbarShowIcon.Set(true);
      g_pStore->m_ToolbarShowText.Set(true);
      break;
    case kCmdIconOnly:
      if (icons && !text) return true;
      g_pStore->m_ToolbarShowIcon.Set(true);
      g_pStore->m_ToolbarShowText.Set(false);
      break;
    case kCmdTextOnly:
      if (!icons) return true;
      g_pStore->m_ToolbarShowIcon.Set(false);
      g_pStore->m_ToolbarShowText.Set(true);
      break;
    case kCmdSmallSize:
      g_pStore->m_ToolbarLarge.Set(!g_pStore->m_ToolbarLarge.Get());
      break;
    default:
      return false;
  }
  // Written at once, so the next start opens with this mode.
  g_pStore->m_ToolbarShowIcon.Write();
  g_pStore->m_ToolbarShowText.Write();
  g_pStore->m_ToolbarLarge.Write();
  RecalcMetrics();
  ApplyDisplayMode();
  RecalcParentLayout();
  UpdateTexts(false);
  Layout(true);
  Invalidate();
  return true;
}

bool CLXToolbar::OnUpdateToolbarCommand(CCmdUI* ui) {
  const UINT id = ui->m_nID;
  const bool mine = (id >= kCmdIconAndText && id <= kCmdTextOnly) || (id >= kCmdItemFirst && id <= kCmdOverflowLast);
  if (!mine) return false;
  if (const int index = GetItemIndexForMenuCommand(id); index >= 0) {
    ui->Enable(TRUE);
    ui->SetCheck(m_items[static_cast<size_t>(index)].visible ? 1 : 0);
    return true;
  }
  if (const int index = GetItemIndexForOverflowCommand(id); index >= 0) {
    const Item& item = m_items[static_cast<size_t>(index)];
    ui->Enable(item.button && item.button->IsWindowEnabled());
    if (item.button && item.button->GetMode() == CAlphaButton::kToggle) ui->SetCheck(item.button->IsChecked() ? 1 : 0);
    return true;
  }
  if (id >= kCmdItemFirst && id <= kCmdOverflowLast) {
    ui->Enable(FALSE);
    return true;
  }
  const bool icons = ShowsIcons(), text = ShowsText();
  ui->Enable(TRUE);
  switch (id) {
    case kCmdIconAndText: ui->SetCheck(icons && text); break;
    case kCmdIconOnly: ui->SetCheck(icons && !text); break;
    case kCmdTextOnly: ui->SetCheck(!icons && text); break;
    case kCmdSmallSize: ui->SetCheck(!IsLarge()); break;
    default: break;
  }
  return true;
}

// ---- keys ----

HACCEL CLXToolbar::AcceleratorTable() {
  static const HACCEL table = ::LoadAcceleratorsW(nullptr, MAKEINTRESOURCEW(kAcceleratorTable));
  return table;
}

wchar_t CLXToolbar::ShortcutCharacterOf(UINT virtualKey) {
  if (virtualKey >= 'A' && virtualKey <= 'Z') return static_cast<wchar_t>(virtualKey - 'A' + 'a');
  if (virtualKey >= '0' && virtualKey <= '9') return static_cast<wchar_t>(virtualKey);
  switch (virtualKey) {
    case VK_OEM_PLUS:
    case VK_ADD: return L'+';
    case VK_OEM_MINUS:
    case VK_SUBTRACT: return L'-';
    default: return 0;
  }
}

void CLXToolbar::TakeShortcutsFromAccelerators() {
  HACCEL table = AcceleratorTable();
  const int count = table ? ::CopyAcceleratorTableW(table, nullptr, 0) : 0;
  if (count <= 0) return;
  std::vector<ACCEL> keys(static_cast<size_t>(count));
  ::CopyAcceleratorTableW(table, keys.data(), count);
  for (auto& [code, def] : m_defs) {
    if (def.shortcut || def.commandId < 0 || IsSeparator(code) || code == kToolNull) continue;
    for (const ACCEL& key : keys) {
      if (key.cmd != static_cast<WORD>(def.commandId) || (key.fVirt & (FCONTROL | FALT | FSHIFT))) continue;
      if (const wchar_t c = ShortcutCharacterOf(key.key)) {
        def.shortcut = c;
        break;
      }
    }
  }
}

bool CLXToolbar::HandleShortcutKey(wchar_t character) {
  const auto& ctype = std::use_facet<std::ctype<wchar_t>>(std::locale::classic());
  const wchar_t folded = ctype.tolower(character);
  if (!folded) return false;
  for (const auto& [code, def] : m_defs) {
    if (!def.shortcut || ctype.tolower(def.shortcut) != folded) continue;
    if (m_bInShortcut) return true;
    struct Guard {
      bool& flag;
      explicit Guard(bool& f) : flag(f) { flag = true; }
      ~Guard() { flag = false; }
    } guard(m_bInShortcut);
    const LXToolCode item = GetItemCode(def.controlId);
    const auto group = m_groups.find(def.group);
    if (group == m_groups.end() || group->second != item) CStatus::ClearMessage();
    InvokeItem(item);
    return true;
  }
  return false;
}

CLXToolbar* CLXToolbar::OfFrame(CWnd* frame) {
  if (!frame || !frame->m_hWnd) return nullptr;
  HWND bar = ::GetDlgItem(frame->m_hWnd, AFX_IDW_TOOLBAR);
  return bar ? dynamic_cast<CLXToolbar*>(CWnd::FromHandlePermanent(bar)) : nullptr;
}

BOOL CLXToolbar::PreTranslateMessage(MSG* msg) {
  if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST)
    if (HACCEL table = AcceleratorTable(); table && ::TranslateAcceleratorW(m_hWnd, table, msg)) return TRUE;
  return CControlBar::PreTranslateMessage(msg);
}

BOOL CLXToolbar::OnCommand(WPARAM wParam, LPARAM lParam) {
  // Only a key's command (code 1, no control) is taken here; the item's command itself is the
  // frame's to route, and the toolbar would otherwise see it again.
  if (HIWORD(wParam) != 1 || lParam != 0) return CControlBar::OnCommand(wParam, lParam);
  const UINT id = LOWORD(wParam);
  for (const auto& [code, def] : m_defs)
    if (def.commandId >= 0 && static_cast<UINT>(def.commandId) == id && !IsSeparator(code) && code != kToolNull) {
      InvokeItem(code);
      return TRUE;
    }
  return RunCommand(id) ? TRUE : FALSE;
}
