// An owner-drawn combo box: its drop-down list, built only when first shown, still takes its row
// height from the parent.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>

#include <algorithm>
#include <vector>

#include "Controls.h"
#include "OwnerDraw.h"
#include "WidgetApp.h"
#include "WindowLayer.h"
#include "WndQt.h"

namespace {
std::vector<WORD> g_notes;

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MEASUREITEM) {
    reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 31;
    return TRUE;
  }
  if (message == WM_COMMAND) g_notes.push_back(HIWORD(wParam));
  return DefWindowProcW(hwnd, message, wParam, lParam);
}
}  // namespace

TEST(ComboBox, AnOwnerDrawnDropDownMeasuresItsRowsThroughItsParent) {
  qlwtest::EnsureWidgetApp("test_platform");
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = OwnerProc;
  wc.lpszClassName = L"Qlw Combo Owner";
  RegisterClassExW(&wc);
  HWND owner = CreateWindowExW(0, L"Qlw Combo Owner", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                               nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  HWND combo = CreateWindowExW(0, WC_COMBOBOX, L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED,
                               10, 10, 150, 24, owner, reinterpret_cast<HMENU>(intptr_t{7}), nullptr, nullptr);
  ASSERT_NE(combo, nullptr);
  for (const wchar_t* s : {L"one", L"two", L"three"})
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
  auto* box = qobject_cast<QComboBox*>(qlw::WidgetOf(combo));
  ASSERT_NE(box, nullptr);

  // Losing the focus before the list was ever shown is told as for any box.
  g_notes.clear();
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(box, &out);
  EXPECT_NE(std::find(g_notes.begin(), g_notes.end(), CBN_KILLFOCUS), g_notes.end());

  g_notes.clear();
  box->showPopup();
  QApplication::processEvents();
  EXPECT_NE(std::find(g_notes.begin(), g_notes.end(), CBN_DROPDOWN), g_notes.end());
  QAbstractItemView* list = box->view();
  ASSERT_TRUE(list->isVisible());
  EXPECT_EQ(list->sizeHintForRow(1), 31);
  box->hidePopup();
  DestroyWindow(owner);
}
