// CLXDialog: the framework's dialog with its target document window, apply/refresh protocol,
// modified flag and OK (Apply) button, re-entry guards, and the three mixins shared with other
// windows: context help, command-UI updating of popup menus, and tooltips (texts id + 8500).
#pragma once
#include "ControlWnds.h"
#include "Dialog.h"

class CLXDocWnd;

#define WM_COMMANDHELP 0x0365
#define ID_HELP 57670
#define ID_DEFAULT_HELP 57671
#ifndef TTS_ALWAYSTIP
#define TTS_ALWAYSTIP 0x01u
#endif

// A handler guard: a count and a held flag.
struct CLXReentryGuard {
  int count = 0;
  bool held = false;
  // False (the work is skipped) when already held.
  bool Take() {
    if (held) return false;
    ++count;
    held = true;
    return true;
  }
  void Release() {
    if (count < 0) count = 0;
    else if (count > 0) --count;
    if (count == 0) held = false;
  }
};

class CContextHelpHelper {
 public:
  virtual ~CContextHelpHelper() = default;
  // The command to run for a help context; -1: no help.
  virtual int GetHelpCommand(LPARAM context);
  LRESULT OnCommandHelp(HWND window, WPARAM wParam, LPARAM context);
};

class CInitMenuPopupHelper {
 public:
  virtual ~CInitMenuPopupHelper() = default;
  void OnInitMenuPopup(CWnd* owner, CMenu* popup);
};

class CToolTipHelper {
 public:
  static constexpr UINT kTextOffset = 8500;
  static constexpr int kBufferLength = 1024;
  virtual ~CToolTipHelper();
  virtual bool OnToolTipText(NMTTDISPINFOW* info);
  // The tip of control id: in a window made from a dialog template, the string that template
  // names for the control, so a tip never leaks to another template's control of the same id;
  // otherwise string id + 8500. None for id -1; true when the text is not empty.
  virtual bool GetToolTipText(UINT id, CString& text);
  // The dialog template the window's controls come from; 0 for a window without one.
  virtual UINT GetToolTipTemplate();
  // The maximum tip width in pixels for a window of that client width: a third of it, within
  // 144 and 288 points.
  static int MaxTipWidth(int clientWidth);
  // A dialog's WM_NOTIFY: true, with the answer set, when it asked for tip text.
  bool AnswerToolTipNotify(LPARAM lParam, LRESULT* result, BOOL& answer);
  // Gives every child window of the dialog but the tip window itself a tool.
  static void AddChildTools(CToolTipCtrl& tip, HWND dialog);

  bool m_bToolTipsEnabled = false;
  wchar_t* m_pszToolTip = nullptr;
};

class CLXDialog : public CDialog, public CContextHelpHelper, public CInitMenuPopupHelper, public CToolTipHelper {
  DECLARE_DYNAMIC(CLXDialog)
 public:
  CLXDialog();
  CLXDialog(UINT templateId, CWnd* parent);
  ~CLXDialog() override;

  void DoDataExchange(CDataExchange* dx) override;
  BOOL Create(UINT templateId, CWnd* parent = nullptr) override;
  BOOL OnInitDialog() override;
  void OnOK() override;

  virtual bool ApplyChanges();
  virtual UINT GetTemplateID() = 0;
  virtual void RefreshAndSetModified(bool modified);
  virtual LRESULT SetModified(bool modified, bool force);
  virtual void OnDocWndActivated(CLXDocWnd* window);
  virtual void OnDocWndClosed(CLXDocWnd* window);
  virtual void OnDocWndDeactivated(CLXDocWnd* window);
  virtual void OnDocWndUpdated(CLXDocWnd* window);
  virtual void RefreshControls();
  virtual void UpdateControls(bool fromModel);
  virtual void ApplyIfModified();

  // Switches the tooltips of the dialog's controls on or off.
  void EnableToolTips(bool enable);
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  // Set once the application's message pump has received WM_QUIT.
  static void SetAppQuitting(bool quitting);
  static bool IsAppQuitting();

  CLXDocWnd* GetTarget() const { return m_target; }
  bool IsModified() const { return m_modified; }
  CButton& GetOKButton() { return m_okButton; }

  CLXDocWnd* m_target = nullptr;
  CLXReentryGuard m_refreshGuard;
  CLXReentryGuard m_applyGuard;
  bool m_created = false;
  CButton m_okButton;
  bool m_manageOKButton = true;
  bool m_useToolTips = true;
  bool m_modified = false;

 protected:
  LRESULT OnDocWndActiveMsg(WPARAM, LPARAM lParam);
  LRESULT OnDocWndClosedMsg(WPARAM, LPARAM lParam);
  LRESULT OnDocWndInactiveMsg(WPARAM, LPARAM lParam);
  LRESULT OnDocWndModifiedMsg(WPARAM, LPARAM lParam);
  LRESULT OnCommandHelpMsg(WPARAM wParam, LPARAM lParam);
  LRESULT OnHelpMsg(WPARAM, LPARAM);
  void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu);
  void OnOKCommand() { ApplyIfModified(); }
  // Sends the message being handled once more to the child windows.
  void ForwardCurrentMessage();
  void ApplyIfModifiedCommand() { ApplyIfModified(); }
  CToolTipCtrl m_toolTip;
  DECLARE_MESSAGE_MAP()

 private:
  void Construct();
};
