// CDiscloseablePane: the base of every inspector pane: a child dialog under a full-width header
// button that collapses it to the header, an update lock that keeps programmatic filling of the
// controls from writing back, and the shared change handlers that apply an edit at once.
#pragma once
#include <cmath>
#include <vector>

#include "DialogPane.h"
#include "Frame.h"
#include "AfxGdi.h"
#include "GdiPlus.h"
#include "LXAlphaButton.h"
#include "LXColorButton.h"
#include "LXEdit.h"
#include "LXSpinner.h"
#include "PrefValue.h"

class CQlwDoc;
class CParametersPane;

// One numeric field of a pane: whether the model value it last showed was refused (out of the
// field's range), so that an apply caused by another control leaves the model's value alone.
template <class T>
struct CPaneField {
  CLXEdit<T>* edit = nullptr;
  bool refused = false;
  T shown{};
  // Shows the model value; a refused one leaves the field as it was.
  void Show(T value, bool force);
  // The value to write: the typed one when it is finite, inside the range and either shown from the
  // model or edited since; otherwise `stored` stays.
  T ValueOr(T stored) const { return Writable() ? edit->m_value : stored; }
  // The typed value may be written: finite, in range, and shown exactly or edited since.
  bool Writable() const;
};

class CDiscloseablePane;

// Hears a pane's numeric fields announce accepted values. A field also passes its enabled and
// shown state on to whom it tells, so the pane cannot listen itself.
class CPaneEditRelay : public CWnd {
 public:
  CDiscloseablePane* m_pane = nullptr;

 protected:
  LRESULT OnEditUpdate(WPARAM, LPARAM);
  DECLARE_MESSAGE_MAP()
};

class CDiscloseablePane : public CDialogPane {
  DECLARE_DYNAMIC(CDiscloseablePane)
 public:
  // The least pane width; a pane whose controls need more takes what they need.
  static constexpr int kPaneWidth = 183;
  static constexpr int kHeaderHeight = 22;

  CDiscloseablePane(UINT headerId, UINT templateId, CWnd* parent);
  ~CDiscloseablePane() override;

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  void RefreshControls() override;
  // True when the update concerns this pane: with no sender only for a hint, otherwise unless the
  // sender is the host holding this pane.
  virtual bool WantsUpdate(CView* sender, const void* hint);
  virtual LRESULT Disclose(bool open, bool redraw);
  virtual void ShowPaneControls(bool show) = 0;
  // The open-state preference; null for none.
  virtual CPrefScalar<bool>* OpenPreference() = 0;

  CQlwDoc* GetDocument() const;
  CParametersPane* GetHost() const;
  UINT GetHeaderId() const { return m_headerId; }
  CDisclosureButton& GetHeaderButton() { return m_header; }
  CString GetCaption() const;
  bool IsOpen() const { return m_header.IsChecked(); }
  int GetFullHeight() const { return m_fullHeight; }
  bool IsUpdateLocked() const { return m_refreshGuard.held; }
  int GetFullWidth() const { return m_fullWidth; }
  // Every pane of the host takes the widest one's width, and the height its controls then need
  // (wrapped texts take more lines at a smaller width).
  void SetPaneWidth(int width);

  // The update lock: one level per class level, freed by the most derived OnInitDialog.
  void LockUpdates();
  void UnlockUpdates();

  void OnHeaderClicked();
  void OnControlChanged();
  LRESULT OnColorChosen(WPARAM, LPARAM);

 protected:
  // Shows or hides the listed controls keeping their state; a null-terminated list.
  void ShowControls(const UINT* ids, bool show);
  // A numeric field with its spinner (null for none): range, spinner steps, printf format; it
  // announces on Enter and focus loss, to this pane.
  template <class T>
  void SetUpField(CPaneField<T>& field, CLXEdit<T>& edit, CLXSpinner<T>* spinner, T low, T high, int steps,
                  const wchar_t* format) {
    edit.m_options = 0;  // the format's own text: "0.5", not ".5"
    UINT previous = 0;
    edit.AddDisplayFlag(previous);
    if (format) edit.SetFormat(format);
    edit.SetRange(low, high);
    edit.SetValue(low, true);
    if (spinner) {
      spinner->SetStepCount(steps);
      spinner->SetBuddy(&edit);
    }
    edit.AddNotifyTarget(EditRelay());
    field.edit = &edit;
  }
  // Sets a colour button, repainting it only when the colour changes.
  static void ShowColour(CColorButton& button, DWORD argb) {
    if (button.GetColor() != argb) button.SetColor(argb);
  }
  // Ticks a check box only when its state differs.
  static void ShowCheck(CButton& box, bool on) {
    const int state = on ? BST_CHECKED : BST_UNCHECKED;
    if (box.GetCheck() != state) box.SetCheck(state);
  }
  static bool IsChecked(const CButton& box) { return box.GetCheck() == BST_CHECKED; }
  void EnableControls(const UINT* ids, bool enable);
  CWnd* EditRelay();
  // Sends the pane's hint to the document, the host as sender.
  void SendHint(int code);
  // The hint of an apply from this pane, after the base apply; false when not modified.
  bool ApplyFinished(int code);
  BOOL OnEraseBkgnd(CDC* dc);
  HBRUSH OnCtlColor(CDC* dc, CWnd* window, UINT ctlColor);
  void OnSize(UINT type, int cx, int cy);
  LRESULT OnAlphaButtonChanged(WPARAM wParam, LPARAM);
  LRESULT OnEditUpdate(WPARAM, LPARAM);
  void OnControlCommand(UINT id);
  // The height the laid-out controls need at this width, header included; 0 without a layout.
  int LayoutHeight(int width) const;

  Gdiplus::Bitmap* m_closedImage = nullptr;
  Gdiplus::Bitmap* m_openImage = nullptr;
  CDisclosureButton m_header;
  UINT m_headerId;
  int m_fullHeight = 0;
  int m_fullWidth = kPaneWidth;
  CBrush m_background;
  CPaneEditRelay m_editRelay;
  DECLARE_MESSAGE_MAP()
};

template <class T>
void CPaneField<T>::Show(T value, bool force) {
  if (!edit || !edit->m_hWnd) return;
  // Never rewrite the text the user is typing in.
  if (::GetFocus() == edit->m_hWnd && edit->m_value == value) return;
  refused = !edit->SetValue(value, force);
  shown = edit->m_value;
}

template <class T>
bool CPaneField<T>::Writable() const {
  if (!edit) return false;
  const T v = edit->m_value;
  if constexpr (std::is_floating_point_v<T>)
    if (!std::isfinite(v)) return false;
  if (v < edit->m_min || v > edit->m_max) return false;
  return !(refused && v == shown);
}
