// Helpers shared by the crystal and data editors.
#include "EditorSupport.h"

#include <algorithm>
#include <cmath>

#include "LXMessage.h"
#include "LXUtils.h"

namespace editors {
namespace {
int AverageCharWidth(CWnd& window) {
  int width = 7;
  if (CDC* dc = window.GetDC()) {
    CGdiObject* old = dc->SelectObject(window.GetFont());
    TEXTMETRICW tm{};
    if (::GetTextMetricsW(dc->m_hDC, &tm) && tm.tmAveCharWidth > 0) width = tm.tmAveCharWidth;
    if (old) dc->SelectObject(old);
    window.ReleaseDC(dc);
  }
  return width;
}
}  // namespace

std::vector<CSubEditList::ColumnSpec> MeasureColumns(CSubEditList& list, const ColumnUnits* units, int count) {
  const int character = AverageCharWidth(list);
  std::vector<CSubEditList::ColumnSpec> specs;
  specs.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const ColumnUnits& u = units[i];
    const int width = u.characters * character;
    specs.push_back({u.format, width, 0, width / 2, -1, u.title, u.kind});
  }
  return specs;
}

bool ParseFiniteNumber(const CString& text, double& out) {
  double value = 0.0;
  if (!CUtils::ParseNumber(text, true, &value) || !std::isfinite(value)) return false;
  out = value;
  return true;
}

void PostHelpCommand(UINT command) { CLXMsgMenuCmd(nullptr, command).Send(CLXMessage::kModeAsync); }

void SelectAndEditLastRow(CSubEditList& list, int last) {
  list.SetItemState(-1, 0, LVIS_SELECTED);
  list.SetItemState(last, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  list.SendMessage(LVM_SETSELECTIONMARK, 0, last);
  list.EnsureVisible(last, FALSE);
  list.ActivateCell(last, 2, true);
}

void FitDialogToList(CWnd& dialog, CSubEditList& list, int rows) {
  CRect window, listRect;
  dialog.GetWindowRect(&window);
  list.GetWindowRect(&listRect);
  int columns = 0;
  for (int c = 1; c < list.GetColumnCount(); ++c) columns += list.GetColumnWidth(c);
  const int wantedList = columns + GetSystemMetrics(SM_CXVSCROLL) + 6;
  const int wantedRows = rows * std::max(list.GetRowHeight(), 1) + CSubEditList::MeasureListHeaderHeight() + 6;
  MONITORINFO monitor{sizeof monitor, {}, {}, 0};
  CRect work(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  if (::GetMonitorInfoW(::MonitorFromWindow(dialog.m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor)) work = monitor.rcWork;
  const int width = std::min(window.Width() + std::max(0, wantedList - listRect.Width()), work.Width() * 9 / 10);
  const int height = std::min(window.Height() + std::max(0, wantedRows - listRect.Height()), work.Height() * 8 / 10);
  // The dialog was centred on its owner at the template's size: it grows about that centre and
  // stays on the screen, where its buttons and close box can be reached.
  const CPoint centre = window.CenterPoint();
  const int left = std::clamp(centre.x - width / 2, int(work.left), int(work.right) - width);
  const int top = std::clamp(centre.y - height / 2, int(work.top), int(work.bottom) - height);
  dialog.SetWindowPos(nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}
}  // namespace editors
