// Every control a user works in the editors and the small dialogs has a tooltip of its template,
// and the shipped templates give each control id once.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "ResourceText.h"
#include "TestSupport.h"
#include "Win.h"

TEST(DialogToolTips, EveryWorkingControlOfTheEditorsAndSmallDialogsHasATip) {
  const UINT dialogs[] = {5200, 5210, 5230, 5240, 5270, 5280, 5330, 6100};
  const std::wstring working[] = {L"EDIT", L"BUTTON", L"LIST", L"DROPLIST", L"CHECKBOX", L"SLIDER", L"SPIN"};
  for (UINT id : dialogs) {
    const qlw::DialogTemplate* t = qlw::FindDialogTemplate(id);
    ASSERT_NE(t, nullptr) << id;
    for (const qlw::DialogTemplateItem& item : t->items) {
      if (item.id <= 2 || std::find(std::begin(working), std::end(working), item.kind) == std::end(working)) continue;
      const UINT tipId = qlw::FindToolTipString(id, item.id);
      CString tip;
      EXPECT_TRUE(tipId != 0 && tip.LoadString(tipId) && !tip.IsEmpty()) << "dialog " << id << " control " << item.id;
    }
  }
}

TEST(DialogToolTips, PreferencesSaveAndResetShowTheirOwnTips) {
  const struct {
    UINT dialog;
    int control;
    const wchar_t* tip;  // null: none
  } cases[] = {
      {5600, 1, L"Apply the settings for all panes, and save them as your preferences"},
      {5600, 2900, L"Restores the default (factory) settings for all preference panes"},
      {5600, 2, nullptr},
      {5200, 1150, L"Show help for this window"},
  };
  for (const auto& c : cases) {
    const UINT tipId = qlw::FindToolTipString(c.dialog, c.control);
    CString tip;
    if (tipId != 0) tip.LoadString(tipId);
    EXPECT_EQ(tip, CString(c.tip ? c.tip : L"")) << c.dialog << " " << c.control;
  }
}

// A control id given twice in one template reaches only one of its controls (and one tooltip).
TEST(DialogTemplates, GiveEachControlIdOnce) {
  int templates = 0;
  for (UINT id = 1; id <= 0xFFFF; ++id) {
    const qlw::DialogTemplate* t = qlw::FindDialogTemplate(id);
    if (t == nullptr) continue;
    ++templates;
    std::set<int> seen;
    for (const qlw::DialogTemplateItem& item : t->items)
      if (item.id != -1) EXPECT_TRUE(seen.insert(item.id).second) << "template " << id << " gives " << item.id << " twice";
  }
  EXPECT_GT(templates, 0);
}
