// The alert that shows an exception's texts. Quiet mode (g_silentMode or QLW_QUIET set, or no presenter, which
// only a layer with a GUI installs) writes one line on standard error instead of a box.
#pragma once
#include "Win.h"

// Quiet mode of the program, decided by the application's start-up (on when the program only
// registers file types or runs for automation). Before start-up no presenter is installed, so
// alerts are quiet then too.
extern bool g_silentMode;

class CLXAlert {
 public:
  enum Kind : UINT { kInformation = 0, kQuestion = 1, kError = 2 };
  enum { kPartCount = 6 };
  // Shows the alert modally and answers the chosen button, 1 for the first.
  using Presenter = UINT (*)(const CLXAlert& alert);

  explicit CLXAlert(HWND owner = nullptr);
  // A caller-owned "Don't show this again" choice: shown as a check box, and once true the alert
  // answers the first button at once. Null hides the check box.
  void SetDontShowAgain(bool* flag) { m_dontShowAgain = flag; }
  bool* GetDontShowAgain() const { return m_dontShowAgain; }

  // parts: title, message, explanation and up to three button labels.
  void SetMessage(UINT kind, const CString parts[kPartCount], const CString& codeText);
  // A question may offer a third choice between its two buttons (Save, Don't Save, Cancel); the
  // presenter answers IDNO when it is chosen. Empty: two buttons.
  void SetThirdButton(const CString& caption) { m_thirdButton = caption; }
  const CString& GetThirdButton() const { return m_thirdButton; }
  UINT DoModal();

  static bool IsQuiet();
  // How many alerts the calling thread has put before the user (quiet lines included); two counts
  // tell whether anything was reported between them.
  static unsigned GetShownCount();
  // Returns the presenter that was installed before; null restores quiet output only.
  static Presenter SetPresenter(Presenter presenter);

  HWND GetOwner() const { return m_owner; }
  UINT GetKind() const { return m_kind; }
  const CString& GetPart(int index) const { return m_parts[index]; }
  const CString& GetCodeText() const { return m_codeText; }
  // The one line that quiet mode writes.
  CString QuietLine() const;

 private:
  HWND m_owner;
  bool* m_dontShowAgain = nullptr;
  UINT m_kind = kInformation;
  CString m_parts[kPartCount];
  CString m_codeText;
  CString m_thirdButton;
};
