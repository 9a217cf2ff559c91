// The window of an alert (CLXAlert, framework/core/LXAlert.h): template 1010 with the title, an
// icon by kind, the bold message, the explanation, the code, one or two buttons and the
// "Don't show this again" choice. Fonts, icon and placement are set in LXAlertDialogQt.cpp.
#pragma once

#include "Dialog.h"
#include "LXAlert.h"

class CLXAlertDialog : public CDialog {
 public:
  enum { IDD = 1010 };
  enum : int { kIdCode = 1050, kIdDontShow = 1051, kIdIcon = 1052, kIdMessage = 1053, kIdExplanation = 1054 };

  explicit CLXAlertDialog(const CLXAlert& alert);
  BOOL OnInitDialog() override;
  void OnOK() override;
  // The third choice of a question ends the alert with IDNO.
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  // The button Enter presses.
  UINT GetDefaultButton() const { return m_defaultId; }

  // Makes this dialog show every alert of the program while it is not quiet.
  static void Install();

 private:
  const CLXAlert& m_alert;
  UINT m_defaultId = IDCANCEL;
};

namespace LXAlertLook {
// The message bold at 10 points, the explanation at 9, the code at 7.5; texts wrap; the icon of
// the kind; the default button; the dialog fitted to its texts and centred on owner.
void Apply(HWND dialog, UINT kind, UINT defaultId, HWND owner);
// Paints the shown windows again once a box is gone, so that work which follows the answer does
// not leave the box's picture (with live-looking buttons) over them.
void RepaintAfterClose();
}  // namespace LXAlertLook
