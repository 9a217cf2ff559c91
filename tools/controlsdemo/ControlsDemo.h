// The value-controls demo: dialog 9300 with the framework's numeric edits, spinners, sliders,
// enumeration combos and colour buttons, each beside a companion that shows what it announced.
// Other demo rows (the editable lists and splitter controls) attach themselves through
// RegisterControlsDemoPart from their own files in this folder.
#pragma once
#include <memory>
#include <vector>

#include "ToolTipDialog.h"

class CControlsDemo : public CToolTipDialog {
 public:
  static constexpr UINT kTemplateId = 9300;
  explicit CControlsDemo(CWnd* parent = nullptr);
  ~CControlsDemo() override;

  // Keeps a control object for as long as the dialog lives (for the parts' own controls).
  template <class T>
  T* Adopt(std::unique_ptr<T> control) {
    T* raw = control.get();
    m_adopted.push_back(std::move(control));
    return raw;
  }
  BOOL OnInitDialog() override;

 protected:
  void PostNcDestroy() override;
  DECLARE_MESSAGE_MAP()

 private:
  struct Controls;
  std::unique_ptr<Controls> m_controls;
  std::vector<std::unique_ptr<CWnd>> m_adopted;
  int m_pressed = 0;
  CString m_colourLog;
  void OnPressed();
  void OnComboChanged(UINT id);
  LRESULT OnColourMessage(UINT message, WPARAM id, LPARAM colour);
  LRESULT OnColourOpen(WPARAM id, LPARAM colour) { return OnColourMessage(WM_USER + 1002, id, colour); }
  LRESULT OnColourChange(WPARAM id, LPARAM colour) { return OnColourMessage(WM_USER + 1001, id, colour); }
  LRESULT OnColourClose(WPARAM id, LPARAM colour) { return OnColourMessage(WM_USER + 1003, id, colour); }
  LRESULT OnColourAccept(WPARAM id, LPARAM colour) { return OnColourMessage(WM_USER + 1004, id, colour); }
  LRESULT OnColourCancel(WPARAM id, LPARAM colour) { return OnColourMessage(WM_USER + 1005, id, colour); }
};

// A part adds its controls to the dialog once the template's controls exist (from OnInitDialog).
using ControlsDemoPart = void (*)(CControlsDemo* dialog);
// Call from a static initialiser of the part's file; answers true so it can initialise a flag.
bool RegisterControlsDemoPart(ControlsDemoPart part);

// Opens the demo modeless; with deleteOnClose the object deletes itself when its window goes.
CControlsDemo* OpenControlsDemo(CWnd* parent, bool deleteOnClose);
