// The preferences dialog in process: a refresh selects the stored tab, or tab 0 for one the tab
// control refuses, and writes the tab shown back into the store.
#include "PreferencesDlg.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Dialog.h"
#include "Preferences.h"
#include "PreferencesPane.h"
#include "WidgetApp.h"

TEST(PreferencesDlg, RefreshSelectsTheStoredTabOrTheFirst) {
  qlwtest::EnsureWidgetApp("test_panes");
  std::unique_ptr<CPreferences> store(CPreferences::Create(true));
  struct Case {
    int stored, shown;
  };
  const std::vector<Case> cases = {{3, 3}, {-1, 0}, {7, 0}, {6, 6}};
  std::vector<Case> seen;
  qlw::SetModalAnswer([&](CDialog* dialog) {
    auto* prefs = dynamic_cast<CPreferencesDlg*>(dialog);
    ASSERT_NE(prefs, nullptr);
    EXPECT_EQ(prefs->m_tabCtrl.GetCurSel(), 0) << "opens on General";
    for (const Case& c : cases) {
      store->m_PrefsTabChoice.Set(c.stored);
      prefs->RefreshControls();
      seen.push_back({prefs->m_tabCtrl.GetCurSel(), store->m_PrefsTabChoice.Get()});
      EXPECT_EQ(prefs->m_tabCtrl.GetCurrentPage(), static_cast<CDialogPane*>(prefs->GetPage(c.shown)))
          << "stored " << c.stored;
    }
    prefs->EndDialog(IDCANCEL);
  });
  CPreferencesDlg dialog(nullptr);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  qlw::SetModalAnswer(nullptr);
  ASSERT_EQ(seen.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(seen[i].stored, cases[i].shown) << "stored " << cases[i].stored;
    EXPECT_EQ(seen[i].shown, cases[i].shown) << "written back for " << cases[i].stored;
  }
}

// A refresh disables Save again, even while a page keeps its changes; switching to that page
// enables it once more.
TEST(PreferencesDlg, RefreshDisablesSaveWhileAPageKeepsItsChanges) {
  qlwtest::EnsureWidgetApp("test_panes");
  std::unique_ptr<CPreferences> store(CPreferences::Create(true));
  store->m_PrefsTabChoice.Set(0);
  bool checked = false;
  qlw::SetModalAnswer([&](CDialog* dialog) {
    auto* prefs = dynamic_cast<CPreferencesDlg*>(dialog);
    ASSERT_NE(prefs, nullptr);
    CPreferencesPane* general = prefs->GetPage(0);
    general->MarkModified();
    EXPECT_TRUE(prefs->GetOKButton().IsWindowEnabled());
    prefs->RefreshControls();
    EXPECT_TRUE(general->IsModified());
    EXPECT_FALSE(prefs->GetOKButton().IsWindowEnabled()) << "Save after a refresh";
    prefs->OnTabChanged();
    EXPECT_TRUE(prefs->GetOKButton().IsWindowEnabled()) << "Save back on the modified page";
    checked = true;
    prefs->EndDialog(IDCANCEL);
  });
  CPreferencesDlg dialog(nullptr);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  qlw::SetModalAnswer(nullptr);
  EXPECT_TRUE(checked);
}
