// The document window's identity, closing, lookup and owner-drawn menus.
#include "LXDocWnd.h"

#include "AfxApp.h"
#include "LXMessage.h"
#include "MenuXP.h"

IMPLEMENT_DYNAMIC(CLXDocWnd, CFrameWnd)

BEGIN_MESSAGE_MAP(CLXDocWnd, CFrameWnd)
  ON_WM_DESTROY()
  ON_WM_INITMENUPOPUP()
  ON_MESSAGE(WM_MENUCHAR, &CLXDocWnd::OnMenuChar)
  ON_MESSAGE(WM_MEASUREITEM, &CLXDocWnd::OnMeasureItem)
  ON_MESSAGE(WM_DRAWITEM, &CLXDocWnd::OnDrawItem)
  ON_MESSAGE(WM_COMMANDHELP, &CLXDocWnd::OnCommandHelp)
  ON_REGISTERED_MESSAGE(g_msgOptionsAppliedSync, &CLXDocWnd::OnOptionsAppliedMsg)
  ON_REGISTERED_MESSAGE(g_msgOptionsAppliedAsync, &CLXDocWnd::OnOptionsAppliedMsg)
END_MESSAGE_MAP()

namespace {
CLXDocWnd::UuidMaker g_uuidMaker = &UuidCreate;
const wchar_t kMenuXPProp[] = L"XPWndProp_MenuXP";
constexpr UINT kHelpIndexCommand = 57671;
}  // namespace

void CLXDocWnd::SetUuidMaker(UuidMaker maker) { g_uuidMaker = maker ? maker : &UuidCreate; }

CLXDocWnd::CLXDocWnd() {
  if (g_uuidMaker(&m_uuid) != RPC_S_OK) UuidCreateNil(&m_uuid);
}

CLXDocWnd::~CLXDocWnd() {
  if (m_lockBar.IsHooked()) m_lockBar.HookWindow(nullptr);
}

CLXDocWnd* CLXDocWnd::FromWindow(CWnd* window) {
  for (HWND h = window ? window->m_hWnd : nullptr; h; h = ::GetParent(h)) {
    if (auto* doc = DYNAMIC_DOWNCAST(CLXDocWnd, CWnd::FromHandlePermanent(h))) return doc->m_bClosing ? nullptr : doc;
  }
  CWnd* main = AfxGetApp() ? AfxGetApp()->GetMainWnd() : nullptr;
  if (!main) main = CWnd::FromHandlePermanent(LXAppWindows::GetMainWindow());
  return DYNAMIC_DOWNCAST(CLXDocWnd, main);
}

BOOL CLXDocWnd::Create(LPCWSTR className, LPCWSTR title, DWORD style, const RECT& rect, CWnd* parent,
                       LPCWSTR menuName, DWORD exStyle, CCreateContext* context) {
  m_bCreated = CFrameWnd::Create(className, title, style, rect, parent, menuName, exStyle, context) != FALSE;
  return m_bCreated;
}

void CLXDocWnd::AnnounceClosing() {
  m_bClosing = true;
  CLXMsgGeneral(g_msgDocWndClosed, reinterpret_cast<LPARAM>(this), 0).Send(CLXMessage::kModeSync);
}

BOOL CLXDocWnd::DestroyWindow() {
  AnnounceClosing();
  return CFrameWnd::DestroyWindow();
}

void CLXDocWnd::OnDestroy() {
  // DestroyWindow has announced already when it started the destruction.
  if (!m_bClosing) AnnounceClosing();
  Default();
}

void CLXDocWnd::OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu) {
  CFrameWnd::OnInitMenuPopup(popup, index, sysMenu);
  const bool ownerDrawn = CMenuXP::UseXPMenus() && ::GetPropW(m_hWnd, kMenuXPProp) != nullptr;
  CMenuXP::UpdateMenu(this, popup, ownerDrawn, false);
}

LRESULT CLXDocWnd::OnMenuChar(WPARAM wParam, LPARAM lParam) {
  if (CMenuXP::UseXPMenus())
    return CMenuXP::OnMenuChar(CMenu::FromHandle(reinterpret_cast<HMENU>(lParam)), LOWORD(wParam), HIWORD(wParam), this);
  return Default();
}

LRESULT CLXDocWnd::OnMeasureItem(WPARAM, LPARAM lParam) {
  if (CMenuXP::MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam))) return TRUE;
  return Default();
}

LRESULT CLXDocWnd::OnDrawItem(WPARAM, LPARAM lParam) {
  if (CMenuXP::DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam), this)) return TRUE;
  return Default();
}

LRESULT CLXDocWnd::OnCommandHelp(WPARAM, LPARAM) {
  // Routed like a menu command, so the application's help handler answers it.
  OnCmdMsg(kHelpIndexCommand, CN_COMMAND, nullptr, nullptr);
  return TRUE;
}

LRESULT CLXDocWnd::OnOptionsAppliedMsg(WPARAM wParam, LPARAM lParam) {
  OnOptionsApplied(wParam, lParam);
  return 1;
}
