// CUtils helpers on class-library windows: activating a control with its text selected, and menu
// texts chosen by a condition from the string table.
#include <gtest/gtest.h>

#include <QLineEdit>

#include "Dialog.h"
#include "GuiTestApp.h"
#include "LXUtils.h"
#include "ResourceText.h"
#include "WndQt.h"

TEST(UtilsClassLib, ActivateControlFocusesAndSelectsTheWholeText) {
  qlwtest::EnsureGuiApp();
  ASSERT_TRUE(qlw::AddResourceText("DIALOG 7300 \"Activate\"\n  EDIT 7301 \"\"\n  EDIT 7302 \"\"\nEND\n"));
  CDialog dialog(7300);
  ASSERT_TRUE(dialog.Create(7300));
  HWND second = ::GetDlgItem(dialog.m_hWnd, 7302);
  ::SetWindowTextW(second, L"12.5");
  // Through the dialog (null: the control's parent) and without one.
  for (HWND through : {static_cast<HWND>(nullptr), dialog.m_hWnd}) {
    ::SetFocus(::GetDlgItem(dialog.m_hWnd, 7301));
    CUtils::ActivateControl(through, second);
    EXPECT_EQ(::GetFocus(), second);
    auto* edit = qobject_cast<QLineEdit*>(qlw::WidgetOf(second));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->selectedText(), "12.5");
    edit->deselect();
  }
  dialog.DestroyWindow();
}

TEST(UtilsClassLib, SetCmdUITextTakesTheStringOfTheCondition) {
  qlwtest::EnsureGuiApp();
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 100, L"placeholder");
  CCmdUI ui;
  ui.m_pMenu = CMenu::FromHandle(menu);
  ui.m_nIndex = 0;
  ui.m_nID = 100;
  CString text;
  CUtils::SetCmdUIText(&ui, true, 1120, 1102);
  ui.m_pMenu->GetMenuString(0, text, MF_BYPOSITION);
  EXPECT_EQ(text.Str(), L"Untitled");
  CUtils::SetCmdUIText(&ui, false, 1120, 1102);
  ui.m_pMenu->GetMenuString(0, text, MF_BYPOSITION);
  EXPECT_EQ(text.Str(), L"...");
  // The id stays the command's.
  EXPECT_EQ(GetMenuItemID(menu, 0), 100u);
  DestroyMenu(menu);
}
