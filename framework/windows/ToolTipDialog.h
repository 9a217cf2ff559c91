// CToolTipDialog: a plain class-library dialog with the dialog base's tooltips and owner-drawn
// menu handling, without its apply and refresh protocol.
#pragma once
#include "LXDialog.h"

class CToolTipDialog : public CDialog, public CToolTipHelper, public CInitMenuPopupHelper {
  DECLARE_DYNAMIC(CToolTipDialog)
 public:
  CToolTipDialog(UINT templateId, CWnd* parent);
  BOOL OnInitDialog() override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 protected:
  void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu);
  CToolTipCtrl m_toolTip;
  DECLARE_MESSAGE_MAP()
};
