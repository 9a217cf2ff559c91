#include "CmdTarget.h"

#include <cstring>

#include "Menus.h"
#include "Wnd.h"

namespace {
CCmdTarget* g_appTarget = nullptr;
}

CRuntimeClass CObject::classCObject = {"CObject", static_cast<int>(sizeof(CObject)), nullptr,
                                       []() -> CRuntimeClass* { return nullptr; }};
CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }

BOOL CObject::IsKindOf(const CRuntimeClass* cls) const { return GetRuntimeClass()->IsDerivedFrom(cls); }

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
  for (const CRuntimeClass* c = this; c; c = c->m_pfnGetBaseClass ? c->m_pfnGetBaseClass() : nullptr)
    if (c == base || std::strcmp(c->m_lpszClassName, base->m_lpszClassName) == 0) return TRUE;
  return FALSE;
}

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, nullptr, 0, 0, 0, nullptr}};
  static const AFX_MSGMAP map = {nullptr, entries};
  return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT message, UINT code, UINT id) const {
  const bool command = message == WM_COMMAND || message == WM_NOTIFY;
  const bool reflected = message == WM_REFLECT_BASE + WM_COMMAND || message == WM_REFLECT_BASE + WM_NOTIFY;
  for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->call; ++e) {
      const UINT m = e->pnMessage ? *e->pnMessage : e->nMessage;
      if (m != message || (e->pnMessage && m == 0)) continue;
      if (command && (e->nCode != code || id < e->nID || id > e->nLastID)) continue;
      if (reflected && e->nCode != code) continue;
      return e;
    }
  }
  return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  UINT message = WM_COMMAND;
  UINT code = static_cast<UINT>(nCode);
  if (nCode != CN_UPDATE_COMMAND_UI && HIWORD(static_cast<UINT>(nCode)) == WM_NOTIFY) {
    message = WM_NOTIFY;
    code = static_cast<UINT>(static_cast<short>(LOWORD(static_cast<UINT>(nCode))));
    // Notification codes are negative 32-bit numbers carried in 16 bits.
    code = static_cast<UINT>(static_cast<int>(static_cast<short>(code)));
  }
  const AFX_MSGMAP_ENTRY* e = FindMessageEntry(message, code, nID);
  if (!e) return FALSE;
  if (pHandlerInfo) {
    pHandlerInfo->pTarget = this;
    return TRUE;
  }
  LRESULT ignored = 0;
  if (message == WM_NOTIFY) {
    auto* n = static_cast<AFX_NOTIFY*>(pExtra);
    return e->call(this, message, nID, reinterpret_cast<LPARAM>(n ? n->pNMHDR : nullptr), n ? n->pResult : &ignored, pExtra)
               ? TRUE
               : FALSE;
  }
  if (code == static_cast<UINT>(CN_UPDATE_COMMAND_UI)) {
    auto* ui = static_cast<CCmdUI*>(pExtra);
    ui->m_bContinueRouting = FALSE;
    e->call(this, message, nID, 0, &ignored, pExtra);
    // A handler that passes the update on lets the routing go on.
    return ui->m_bContinueRouting ? FALSE : TRUE;
  }
  return e->call(this, message, nID, 0, &ignored, pExtra) ? TRUE : FALSE;
}

void CCmdUI::Enable(BOOL bOn) {
  if (m_pMenu && m_pMenu->GetSafeHmenu())
    ::EnableMenuItem(m_pMenu->GetSafeHmenu(), m_nIndex, MF_BYPOSITION | (bOn ? MF_ENABLED : MF_GRAYED));
  else if (m_pOther)
    m_pOther->EnableWindow(bOn);
  m_bEnableChanged = TRUE;
}

void CCmdUI::SetCheck(int nCheck) {
  if (m_pMenu && m_pMenu->GetSafeHmenu())
    ::CheckMenuItem(m_pMenu->GetSafeHmenu(), m_nIndex, MF_BYPOSITION | (nCheck ? MF_CHECKED : MF_UNCHECKED));
  else if (m_pOther)
    ::SendMessageW(m_pOther->GetSafeHwnd(), BM_SETCHECK, static_cast<WPARAM>(nCheck), 0);
}

void CCmdUI::SetRadio(BOOL bOn) {
  if (m_pMenu && m_pMenu->GetSafeHmenu()) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE;
    ::GetMenuItemInfoW(m_pMenu->GetSafeHmenu(), m_nIndex, TRUE, &info);
    info.fType |= MFT_RADIOCHECK;
    info.fState = bOn ? (info.fState | MFS_CHECKED) : (info.fState & ~MFS_CHECKED);
    ::SetMenuItemInfoW(m_pMenu->GetSafeHmenu(), m_nIndex, TRUE, &info);
  } else {
    SetCheck(bOn ? 1 : 0);
  }
}

void CCmdUI::SetText(LPCWSTR text) {
  if (m_pMenu && m_pMenu->GetSafeHmenu()) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<LPWSTR>(text ? text : L"");
    ::SetMenuItemInfoW(m_pMenu->GetSafeHmenu(), m_nIndex, TRUE, &info);
  } else if (m_pOther) {
    m_pOther->SetWindowText(text);
  }
}

BOOL CCmdUI::DoUpdate(CCmdTarget* target, BOOL bDisableIfNoHandler) {
  if (m_nID == 0 || !target) return TRUE;
  m_bEnableChanged = FALSE;
  BOOL handled = target->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this, nullptr);
  if (bDisableIfNoHandler && !m_bEnableChanged) {
    AFX_CMDHANDLERINFO info{};
    if (!target->OnCmdMsg(m_nID, CN_COMMAND, this, &info)) Enable(FALSE);
  }
  return handled;
}

namespace qlw {
void SetApplicationCommandTarget(CCmdTarget* target) { g_appTarget = target; }
CCmdTarget* ApplicationCommandTarget() { return g_appTarget; }
}  // namespace qlw
