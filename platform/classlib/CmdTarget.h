// The class library's root: CObject with run-time classes, CCmdTarget with message maps and
// command routing, and CCmdUI for command-update handlers. Windows are in Wnd.h.
//
// Message maps are static tables made by our own macros. Handlers are given as member pointers
// (ON_COMMAND(ID_X, &CMyWnd::OnX)); the ON_WM_* entries call the handler of the usual name.
// Registered message ids are set by dynamic initialisers, so their entries keep the id's address
// and read it when a message arrives, never a copy made during static initialisation.
#pragma once
#include <cstddef>

#include "CString.h"
#include "Controls.h"
#include "Geometry.h"
#include "WindowLayer.h"

class CCmdTarget;
class CCmdUI;
struct CRuntimeClass;

class CObject {
 public:
  virtual ~CObject() = default;
  virtual CRuntimeClass* GetRuntimeClass() const;
  BOOL IsKindOf(const CRuntimeClass* cls) const;
  static CRuntimeClass classCObject;
};

struct CRuntimeClass {
  const char* m_lpszClassName;
  int m_nObjectSize;
  CObject* (*m_pfnCreateObject)();
  CRuntimeClass* (*m_pfnGetBaseClass)();
  CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
  BOOL IsDerivedFrom(const CRuntimeClass* base) const;
};

#define RUNTIME_CLASS(cls) (&cls::class##cls)
#define DECLARE_DYNAMIC(cls)                  \
 public:                                      \
  static CRuntimeClass class##cls;            \
  CRuntimeClass* GetRuntimeClass() const override;
#define DECLARE_DYNCREATE(cls) \
  DECLARE_DYNAMIC(cls)         \
  static CObject* CreateObject();
#define QLW_RUNTIME_CLASS_BODY(cls, base, create)                                                        \
  CRuntimeClass cls::class##cls = {#cls, static_cast<int>(sizeof(cls)), create,                          \
                                   []() -> CRuntimeClass* { return RUNTIME_CLASS(base); }};              \
  CRuntimeClass* cls::GetRuntimeClass() const { return RUNTIME_CLASS(cls); }
#define IMPLEMENT_DYNAMIC(cls, base) QLW_RUNTIME_CLASS_BODY(cls, base, nullptr)
#define IMPLEMENT_DYNCREATE(cls, base)                     \
  CObject* cls::CreateObject() { return new cls; }         \
  QLW_RUNTIME_CLASS_BODY(cls, base, &cls::CreateObject)
#define DYNAMIC_DOWNCAST(cls, obj) \
  ((obj) != nullptr && (obj)->IsKindOf(RUNTIME_CLASS(cls)) ? static_cast<cls*>(obj) : nullptr)

// Command codes of OnCmdMsg: a command, an update request, or a notification (WM_NOTIFY in the high word).
#define CN_COMMAND 0
#define CN_UPDATE_COMMAND_UI (-1)
// Messages reflected to the control that sent them.
#define WM_REFLECT_BASE 0xBC00

struct AFX_NOTIFY {
  LRESULT* pResult;
  NMHDR* pNMHDR;
};
// Filled instead of calling the handler: lets a caller ask whether a target handles a command.
struct AFX_CMDHANDLERINFO {
  CCmdTarget* pTarget;
};

// One entry: a window message (nMessage, or *pnMessage for a registered one), or a command, update
// or notification (nMessage WM_COMMAND or WM_NOTIFY, nCode, ids nID..nLastID). `call` runs the
// handler and answers whether it handled the message.
using QlwMsgCall = bool (*)(CCmdTarget* self, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                            void* extra);
struct AFX_MSGMAP_ENTRY {
  UINT nMessage;
  const UINT* pnMessage;
  UINT nCode;
  UINT nID;
  UINT nLastID;
  QlwMsgCall call;
};
struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                        \
 protected:                                          \
  static const AFX_MSGMAP* GetThisMessageMap();      \
  const AFX_MSGMAP* GetMessageMap() const override;  \
                                                     \
 private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                     \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                \
    typedef theClass ThisClass;                                                    \
    typedef baseClass TheBaseClass;                                                \
    (void)sizeof(ThisClass*);                                                      \
    static const AFX_MSGMAP_ENTRY _messageEntries[] = {
// The same for a class template with one type parameter: BEGIN_TEMPLATE_MESSAGE_MAP(CMySpin, T, CWnd).
#define BEGIN_TEMPLATE_MESSAGE_MAP(theClass, typeParam, baseClass)                                  \
  template <class typeParam>                                                                     \
  const AFX_MSGMAP* theClass<typeParam>::GetMessageMap() const { return GetThisMessageMap(); }   \
  template <class typeParam>                                                                     \
  const AFX_MSGMAP* theClass<typeParam>::GetThisMessageMap() {                                   \
    typedef theClass<typeParam> ThisClass;                                                       \
    typedef baseClass TheBaseClass;                                                              \
    (void)sizeof(ThisClass*);                                                                    \
    static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                              \
  {0, nullptr, 0, 0, 0, nullptr}};                                                     \
  static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, _messageEntries}; \
  return &messageMap;                                                                  \
  }

#define QLW_CALL [](CCmdTarget * self_, UINT msg_, WPARAM wp_, LPARAM lp_, LRESULT * res_, void* extra_) -> bool
#define QLW_SELF static_cast<ThisClass*>(self_)
#define QLW_UNUSED (void)msg_, (void)wp_, (void)lp_, (void)res_, (void)extra_

// Commands, updates and control notifications.
#define ON_COMMAND(id, fn) \
  {WM_COMMAND, nullptr, CN_COMMAND, (UINT)(id), (UINT)(id), QLW_CALL { QLW_UNUSED; (QLW_SELF->*(fn))(); return true; }},
#define ON_COMMAND_EX(id, fn) \
  {WM_COMMAND, nullptr, CN_COMMAND, (UINT)(id), (UINT)(id), QLW_CALL { QLW_UNUSED; return (QLW_SELF->*(fn))((UINT)wp_) != FALSE; }},
#define ON_COMMAND_RANGE(id, idLast, fn) \
  {WM_COMMAND, nullptr, CN_COMMAND, (UINT)(id), (UINT)(idLast), QLW_CALL { QLW_UNUSED; (QLW_SELF->*(fn))((UINT)wp_); return true; }},
#define ON_UPDATE_COMMAND_UI(id, fn)                                                            \
  {WM_COMMAND, nullptr, (UINT)CN_UPDATE_COMMAND_UI, (UINT)(id), (UINT)(id), QLW_CALL {            \
     QLW_UNUSED; (QLW_SELF->*(fn))(static_cast<CCmdUI*>(extra_)); return true; }},
#define ON_UPDATE_COMMAND_UI_RANGE(id, idLast, fn)                                              \
  {WM_COMMAND, nullptr, (UINT)CN_UPDATE_COMMAND_UI, (UINT)(id), (UINT)(idLast), QLW_CALL {        \
     QLW_UNUSED; (QLW_SELF->*(fn))(static_cast<CCmdUI*>(extra_)); return true; }},
#define ON_CONTROL(code, id, fn) \
  {WM_COMMAND, nullptr, (UINT)(code), (UINT)(id), (UINT)(id), QLW_CALL { QLW_UNUSED; (QLW_SELF->*(fn))(); return true; }},
#define ON_CONTROL_RANGE(code, id, idLast, fn) \
  {WM_COMMAND, nullptr, (UINT)(code), (UINT)(id), (UINT)(idLast), QLW_CALL { QLW_UNUSED; (QLW_SELF->*(fn))((UINT)wp_); return true; }},
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_BN_DOUBLECLICKED(id, fn) ON_CONTROL(BN_DOUBLECLICKED, id, fn)
#define ON_EN_CHANGE(id, fn) ON_CONTROL(EN_CHANGE, id, fn)
#define ON_EN_SETFOCUS(id, fn) ON_CONTROL(EN_SETFOCUS, id, fn)
#define ON_EN_KILLFOCUS(id, fn) ON_CONTROL(EN_KILLFOCUS, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)
#define ON_CBN_SELENDOK(id, fn) ON_CONTROL(CBN_SELENDOK, id, fn)
#define ON_CBN_EDITCHANGE(id, fn) ON_CONTROL(CBN_EDITCHANGE, id, fn)
#define ON_CBN_DROPDOWN(id, fn) ON_CONTROL(CBN_DROPDOWN, id, fn)
#define ON_LBN_SELCHANGE(id, fn) ON_CONTROL(LBN_SELCHANGE, id, fn)
#define ON_LBN_DBLCLK(id, fn) ON_CONTROL(LBN_DBLCLK, id, fn)
#define ON_STN_CLICKED(id, fn) ON_CONTROL(STN_CLICKED, id, fn)
#define ON_NOTIFY(code, id, fn)                                                                       \
  {WM_NOTIFY, nullptr, (UINT)(code), (UINT)(id), (UINT)(id), QLW_CALL {                                 \
     QLW_UNUSED; auto* n_ = static_cast<AFX_NOTIFY*>(extra_); (QLW_SELF->*(fn))(n_->pNMHDR, n_->pResult); return true; }},
#define ON_NOTIFY_RANGE(code, id, idLast, fn)                                                         \
  {WM_NOTIFY, nullptr, (UINT)(code), (UINT)(id), (UINT)(idLast), QLW_CALL {                             \
     QLW_UNUSED; auto* n_ = static_cast<AFX_NOTIFY*>(extra_); (QLW_SELF->*(fn))((UINT)wp_, n_->pNMHDR, n_->pResult); return true; }},
// Reflected to the control itself; the parent may still handle what the control leaves.
#define ON_NOTIFY_REFLECT(code, fn)                                                                   \
  {WM_REFLECT_BASE + WM_NOTIFY, nullptr, (UINT)(code), 0, 0, QLW_CALL {                                 \
     QLW_UNUSED; (QLW_SELF->*(fn))(reinterpret_cast<NMHDR*>(lp_), res_); return true; }},
// The handler answers FALSE to let the parent handle the notification too.
#define ON_NOTIFY_REFLECT_EX(code, fn)                                                                \
  {WM_REFLECT_BASE + WM_NOTIFY, nullptr, (UINT)(code), 0, 0, QLW_CALL {                                 \
     QLW_UNUSED; return (QLW_SELF->*(fn))(reinterpret_cast<NMHDR*>(lp_), res_) != FALSE; }},
#define ON_CONTROL_REFLECT(code, fn) \
  {WM_REFLECT_BASE + WM_COMMAND, nullptr, (UINT)(code), 0, 0, QLW_CALL { QLW_UNUSED; (QLW_SELF->*(fn))(); return true; }},
// The handler answers FALSE to let the parent handle the notification too.
#define ON_CONTROL_REFLECT_EX(code, fn) \
  {WM_REFLECT_BASE + WM_COMMAND, nullptr, (UINT)(code), 0, 0, QLW_CALL { QLW_UNUSED; return (QLW_SELF->*(fn))() != FALSE; }},
// Reflected scroll messages of a trackbar or up-down: handler(UINT code, UINT position).
#define ON_WM_HSCROLL_REFLECT_TO(fn) \
  {WM_REFLECT_BASE + 0x0114, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; (QLW_SELF->*(fn))(LOWORD(wp_), HIWORD(wp_)); return true; }},
#define ON_WM_VSCROLL_REFLECT_TO(fn) \
  {WM_REFLECT_BASE + 0x0115, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; (QLW_SELF->*(fn))(LOWORD(wp_), HIWORD(wp_)); return true; }},
// Reflected owner drawing: DrawItem(LPDRAWITEMSTRUCT), MeasureItem(LPMEASUREITEMSTRUCT),
// CompareItem(LPCOMPAREITEMSTRUCT) -> int, DeleteItem(LPDELETEITEMSTRUCT).
#define ON_WM_DRAWITEM_REFLECT() \
  {WM_REFLECT_BASE + 0x002B, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lp_)); *res_ = TRUE; return true; }},
#define ON_WM_MEASUREITEM_REFLECT() \
  {WM_REFLECT_BASE + 0x002C, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lp_)); *res_ = TRUE; return true; }},
#define ON_WM_COMPAREITEM_REFLECT() \
  {WM_REFLECT_BASE + 0x0039, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; *res_ = QLW_SELF->CompareItem(reinterpret_cast<LPCOMPAREITEMSTRUCT>(lp_)); return true; }},
#define ON_WM_DELETEITEM_REFLECT() \
  {WM_REFLECT_BASE + 0x002D, nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; QLW_SELF->DeleteItem(reinterpret_cast<LPDELETEITEMSTRUCT>(lp_)); *res_ = TRUE; return true; }},

// Any message: LRESULT handler(WPARAM, LPARAM).
#define ON_MESSAGE(message, fn) \
  {(UINT)(message), nullptr, 0, 0, 0, QLW_CALL { QLW_UNUSED; *res_ = (QLW_SELF->*(fn))(wp_, lp_); return true; }},
// A registered message: the entry keeps the id variable's address.
#define ON_REGISTERED_MESSAGE(idVariable, fn) \
  {0, &(idVariable), 0, 0, 0, QLW_CALL { QLW_UNUSED; *res_ = (QLW_SELF->*(fn))(wp_, lp_); return true; }},

class CCmdTarget : public CObject {
 public:
  CCmdTarget() = default;
  // Routes a command, update or notification through this target's message map. nCode is CN_COMMAND,
  // CN_UPDATE_COMMAND_UI (pExtra the CCmdUI), a control's notification code, or for WM_NOTIFY
  // MAKELONG(code, WM_NOTIFY) with pExtra an AFX_NOTIFY. With pHandlerInfo, only says whether a
  // handler exists. True when handled.
  virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);
  static CRuntimeClass classCCmdTarget;
  CRuntimeClass* GetRuntimeClass() const override;

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;
  // The window-message entry for a message, searched from this class up; null when none.
  const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message, UINT code, UINT id) const;
  friend class CWnd;
};

// The state handed to command-update handlers. The menu form updates an item of m_pMenu at
// m_nIndex; other forms override the virtuals.
class CMenu;
class CWnd;
class CCmdUI {
 public:
  CCmdUI() = default;
  virtual ~CCmdUI() = default;
  virtual void Enable(BOOL bOn = TRUE);
  virtual void SetCheck(int nCheck = 1);
  virtual void SetRadio(BOOL bOn = TRUE);
  virtual void SetText(LPCWSTR text);
  void ContinueRouting() { m_bContinueRouting = TRUE; }
  // Asks the target's update handler; without one, disables the item when asked to and no
  // command handler exists either. Answers whether an update handler ran.
  BOOL DoUpdate(CCmdTarget* target, BOOL bDisableIfNoHandler);

  UINT m_nID = 0;
  UINT m_nIndex = 0;
  UINT m_nIndexMax = 0;
  CMenu* m_pMenu = nullptr;
  CMenu* m_pSubMenu = nullptr;
  CWnd* m_pOther = nullptr;
  BOOL m_bEnableChanged = FALSE;
  BOOL m_bContinueRouting = FALSE;
};

namespace qlw {
// The application object's place at the end of command routing (the application base sets it).
void SetApplicationCommandTarget(CCmdTarget* target);
CCmdTarget* ApplicationCommandTarget();
}  // namespace qlw
