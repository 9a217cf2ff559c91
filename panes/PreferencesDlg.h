// CPreferencesDlg: the modal Preferences dialog (template 5600). Its seven pages edit the program's
// preference store in place; Save writes the groups the pages changed, Reset brings the pages'
// values back to the factory settings, and Cancel puts back what the dialog changed.
#pragma once
#include <array>
#include <memory>
#include <vector>

#include "AdjustWindows.h"
#include "LXException.h"
#include "Preferences.h"
#include "TabbedDialog.h"

LX_DECLARE_EXCEPTION(CLXXPrefsDlg, CLXXProduct, 21384);

class CPreferencesPane;

class CPreferencesDlg : public CTabbedDialog<CLXDialog> {
 public:
  static constexpr UINT kTemplateId = 5600;
  static constexpr int kPageCount = 7;
  explicit CPreferencesDlg(CWnd* parent);
  ~CPreferencesDlg() override;
  // Runs the dialog modally; a dialog that cannot be made is reported and answers IDCANCEL.
  static INT_PTR Run(CWnd* parent);

  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void RefreshControls() override;
  void OnTabChanged() override;
  void OnCancel() override;

  CFont* GetHeaderFont() const { return m_pBoldFont; }
  CPreferencesPane* GetPage(int tab) const { return tab >= 0 && tab < kPageCount ? m_pages[tab] : nullptr; }

  std::array<CPreferencesPane*, kPageCount> m_pages{};
  CButton m_resetButton;
  CButton m_cancelButton;
  CFont* m_pBoldFont = nullptr;
  float m_bottomMargin = 0.0f;
  CAdjustWindows m_layout;

 protected:
  void OnReset();
  void OnSize(UINT type, int cx, int cy);
  // The page of a tab; null (no page can be made) ends the dialog's opening with CLXXPrefsDlg.
  virtual CPreferencesPane* MakePage(int tab);
  DECLARE_MESSAGE_MAP()

 private:
  // Sizes every page to the widest one and the dialog around them, the buttons at its bottom right.
  void LayOutForPages();
  // The store's values as they were when the dialog opened, to put back on Cancel.
  std::unique_ptr<CPreferences> m_before;
};
