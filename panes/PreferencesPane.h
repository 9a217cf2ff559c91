// CPreferencesPane: the base of the preferences dialog's pages. A page shows a group of values of
// the program's preference store, marks itself modified on the user's changes only, and writes its
// values back, each under the value's own lock, when the dialog saves.
#pragma once
#include <set>

#include "DialogPane.h"
#include "Preferences.h"

class CPreferencesDlg;

class CPreferencesPane : public CDialogPane {
  DECLARE_DYNAMIC(CPreferencesPane)
 public:
  CPreferencesPane(UINT templateId, CWnd* parent);

  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void OnOK() override;
  void OnCancel() override;
  virtual LRESULT OnControlChanged(WPARAM wParam, LPARAM lParam);
  virtual void MarkModified();

  // The update lock: raising it without the held flag blocks nothing; taking it does.
  void RaiseLock() {
    ++m_refreshGuard.count;
    m_refreshGuard.held = true;
  }
  bool IsLocked() const { return m_refreshGuard.held; }

 protected:
  // The preferences dialog this page lives in (null outside one).
  CPreferencesDlg* GetPrefsDialog() const;
  // Bold header labels, as the dialog's header font says.
  void SetHeaderFont(std::initializer_list<int> ids);
  // Finishes OnInitDialog: releases the last lock level, loads the controls, focuses `first`.
  BOOL FinishInit(CWnd& first);
  // The store, or null when there is none.
  static CPreferences* Store() { return g_pPreferences; }

  // Controls whose stored value they could not show. They are written only once the user has
  // changed them, so that a value a field refused is not replaced by what the field happens to show.
  void NoteLoaded(UINT id, bool shown);
  bool MayWrite(UINT id) const { return m_unshown.count(id) == 0; }
  // The control whose notification is being handled counts as changed by the user.
  void NoteUserChange();
  std::set<UINT> m_unshown;

  LRESULT OnColourChosen(WPARAM wParam, LPARAM lParam);
  void OnShowWindow(BOOL show, UINT status);
  DECLARE_MESSAGE_MAP()
};

// Reads and writes of numeric fields, check boxes and colour buttons shared by the pages.
namespace PrefsControls {
void SetCheck(CWnd& parent, int id, bool checked);
bool IsChecked(CWnd& parent, int id);
// A numeric field's value: the one typed when it lies in the range, else the last accepted one.
template <class T, class Edit>
T Value(const Edit& edit) {
  return edit.m_value >= edit.m_min && edit.m_value <= edit.m_max ? edit.m_value : edit.m_accepted;
}
}  // namespace PrefsControls
