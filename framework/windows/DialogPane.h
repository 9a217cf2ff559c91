// CDialogPane: a CLXDialog living as a child pane of a host window: never modal, OK and Cancel
// go to the host, and the host hears of every change of the modified state ("PaneModified").
#pragma once
#include "LXDialog.h"

class CDialogPane : public CLXDialog {
  DECLARE_DYNAMIC(CDialogPane)
 public:
  CDialogPane() = default;
  CDialogPane(UINT templateId, CWnd* parent) : CLXDialog(templateId, parent) {}

  BOOL Create(UINT templateId, CWnd* parent = nullptr) override;
  BOOL Create(LPCWSTR templateName, CWnd* parent);
  // Panes are never modal: IDABORT at once, nothing shown.
  INT_PTR DoModal() override { return IDABORT; }
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  LRESULT SetModified(bool modified, bool force) override;

 protected:
  void OnOKCommand() { OnOK(); }
  void OnActivate(UINT state, CWnd* other, BOOL minimized);
  void OnShowWindow(BOOL show, UINT status);
  LRESULT OnResetPane(WPARAM, LPARAM);
  HWND HostWindow() const;
  void ValidateTarget();
  DECLARE_MESSAGE_MAP()
};
