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
#include "LXEdit.h"
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
  T ValueOr(T stored) const;
};

class CDiscloseablePane : public CDialogPane {
  DECLARE_DYNAMIC(CDiscloseablePane)
 public:
  // With the scroll bar the inspector keeps the 200 px the window gives its column.
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

  // The update lock: one level per class level, freed by the most derived OnInitDialog.
  void LockUpdates();
  void UnlockUpdates();

  void OnHeaderClicked();
  void OnControlChanged();
  LRESULT OnColorChosen(WPARAM, LPARAM);

 protected:
  // Shows or hides the listed controls keeping their state; a null-terminated list.
  void ShowControls(const UINT* ids, bool show);
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

  Gdiplus::Bitmap* m_closedImage = nullptr;
  Gdiplus::Bitmap* m_openImage = nullptr;
  CDisclosureButton m_header;
  UINT m_headerId;
  int m_fullHeight = 0;
  int m_fullWidth = kPaneWidth;
  CBrush m_background;
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
T CPaneField<T>::ValueOr(T stored) const {
  if (!edit) return stored;
  const T v = edit->m_value;
  if constexpr (std::is_floating_point_v<T>)
    if (!std::isfinite(v)) return stored;
  if (v < edit->m_min || v > edit->m_max) return stored;
  if (refused && v == shown) return stored;
  return v;
}
