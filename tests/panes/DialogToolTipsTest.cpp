// Every control a user works in the editors and the small dialogs has its tooltip (id + 8500).
#include <gtest/gtest.h>

#include <algorithm>

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
      CString tip;
      EXPECT_TRUE(tip.LoadString(static_cast<UINT>(item.id) + 8500) && !tip.IsEmpty())
          << "dialog " << id << " control " << item.id;
    }
  }
}
