// Dialogs made from the templates of the resource texts (ResourceText.h), with data exchange
// between members and controls. Modal dialogs run a nested event loop; a test may answer in place
// of the user (SetModalAnswer).
#pragma once
#include <functional>

#include "Wnd.h"

class CDataExchange {
 public:
  CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}
  BOOL m_bSaveAndValidate;
  CWnd* m_pDlgWnd;
  int m_idLastControl = 0;
  // Gives the focus back to the control that failed and abandons the exchange.
  [[noreturn]] void Fail();
  HWND PrepareCtrl(int id);
};

// Thrown by CDataExchange::Fail; UpdateData catches it and answers FALSE.
class CUserException {};

void DDX_Text(CDataExchange* dx, int id, CString& value);
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, UINT& value);
void DDX_Text(CDataExchange* dx, int id, double& value);
void DDX_Check(CDataExchange* dx, int id, int& value);
// The index of the checked button of the group that starts at id (-1 when none).
void DDX_Radio(CDataExchange* dx, int id, int& value);
void DDX_CBIndex(CDataExchange* dx, int id, int& value);
void DDX_CBString(CDataExchange* dx, int id, CString& value);
void DDX_LBIndex(CDataExchange* dx, int id, int& value);
void DDX_Slider(CDataExchange* dx, int id, int& value);
// Subclasses the control into the object the first time.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
void DDV_MinMaxInt(CDataExchange* dx, int value, int minimum, int maximum);
void DDV_MinMaxDouble(CDataExchange* dx, double value, double minimum, double maximum);

class CDialog : public CWnd {
  DECLARE_DYNAMIC(CDialog)
 public:
  CDialog() = default;
  explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_nIDHelp(templateId), m_pParentWnd(parent) {}
  virtual INT_PTR DoModal();
  // Modeless.
  virtual BOOL Create(UINT templateId, CWnd* parent = nullptr);
  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange*) {}
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  void EndDialog(int result);
  void NextDlgCtrl() const;
  void PrevDlgCtrl() const;
  void GotoDlgCtrl(CWnd* control);
  void SetDefID(UINT id) { m_defId = id; }
  DWORD GetDefID() const { return MAKELONG(m_defId, 0x534B); }
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  UINT m_nIDHelp = 0;

 protected:
  CWnd* m_pParentWnd = nullptr;
  UINT m_defId = IDOK;
  bool m_modal = false;
  bool m_ended = false;
  int m_result = IDCANCEL;
  void* m_loop = nullptr;
  // Extended style of the top-level window that CreateFromTemplate makes (tool windows).
  DWORD m_createExStyle = 0;
  BOOL CreateFromTemplate(UINT templateId, CWnd* parent, bool child);
};

namespace qlw {
// Creates the template's controls in `host` and lays them out with Qt layouts; sets the caption
// of a top-level host. False when the template does not exist.
bool BuildFromTemplate(CWnd* host, UINT templateId);
// WM_NEXTDLGCTL: lParam TRUE focuses the control wParam (its text selected); otherwise the
// next (wParam 0) or previous control.
void MoveDialogFocus(CWnd* host, WPARAM wParam, LPARAM lParam);
// Runs an exchange, turning a failed one into FALSE.
BOOL ExchangeData(CWnd* host, BOOL saveAndValidate, const std::function<void(CDataExchange*)>& exchange);
// Test seam: called once a modal dialog is up (after OnInitDialog), in place of the user; it may
// operate the controls and end the dialog. A dialog it leaves open ends with IDCANCEL.
using ModalAnswer = std::function<void(CDialog* dialog)>;
void SetModalAnswer(ModalAnswer answer);
}  // namespace qlw
