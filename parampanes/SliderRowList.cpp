// The share list with a slider per row: rows, slider placement, moves and typed values.
#include "SliderRowList.h"

#include <algorithm>
#include <cmath>

#include "LXEdit.h"
#include "NumberLocale.h"
#include "WndQt.h"

#include <QLayout>
#include <QWidget>

namespace {
constexpr wchar_t kShareFormat[] = L"%0#.4f";
// Style bits that the platform headers do not name.
constexpr DWORD kLabelTip = 0x4000, kBorderSelect = 0x8000;
constexpr DWORD kSliderBoth = 0x0008, kSliderNoTicks = 0x0010, kSliderTransparent = 0x1000;
}  // namespace

BEGIN_MESSAGE_MAP(CSliderRowList, CSubEditList)
  ON_WM_HSCROLL()
  ON_WM_VSCROLL()
  ON_WM_MOUSEWHEEL()
END_MESSAGE_MAP()

CSliderRowList::CSliderRowList(int nameWidth, int sliderWidth, int valueWidth)
    : m_layout{{LVCFMT_LEFT, nameWidth, 1, -1, -1, 0xFFFFFFFFu, kKindText},
              {LVCFMT_CENTER, sliderWidth, 1, -1, -1, 0xFFFFFFFFu, kKindOther},
              {LVCFMT_LEFT, valueWidth, 1, -1, -1, 0xFFFFFFFFu, kKindText}} {}

CSliderRowList::~CSliderRowList() {
  for (auto& slider : m_sliders)
    if (slider && slider->m_hWnd) slider->DestroyWindow();
}

void CSliderRowList::Setup(CWnd* owner) {
  Initialise(owner, 3, nullptr);
  const DWORD on = LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES;
  SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, on | LVS_EX_GRIDLINES | kLabelTip | kBorderSelect, on);
  SetRowHeight(UpdateRowHeight(::GetSystemMetrics(SM_CYSIZE)));
}

bool CSliderRowList::GetColumnSpecs(const ColumnSpec*& table, bool& stretch, int& stretchColumn) {
  table = m_layout;
  stretch = true;
  stretchColumn = -1;
  return true;
}

void CSliderRowList::ResetRows(int count, UINT firstId) {
  for (auto& slider : m_sliders)
    if (slider && slider->m_hWnd) slider->DestroyWindow();
  m_sliders.clear();
  m_placed.clear();
  const int height = ::GetSystemMetrics(SM_CYMENU);
  for (int row = 0; row < count; ++row) {
    auto slider = std::make_unique<CSliderCtrl>();
    slider->Create(WS_CHILD | kSliderTransparent | kSliderNoTicks | kSliderBoth, CRect(0, 0, 3 * height, height), this,
                   firstId + static_cast<UINT>(row));
    slider->SetRange(0, kSliderMax, FALSE);
    slider->EnableWindow(TRUE);
    m_sliders.push_back(std::move(slider));
    m_placed.emplace_back(0, 0, 0, 0);
  }
  if (!SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(count), LVSICF_NOINVALIDATEALL))
    throw CLXXAllocationFailed(kLXSeverityMessage, 0, __LINE__);
  // The rows may have brought or taken away the scroll bar: the columns fit what is left.
  FitColumnsToWidth();
  RefreshSliders();
  RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void CSliderRowList::RefreshSliders() {
  for (int row = 0; row < GetRowCount(); ++row) {
    int low = 0, high = kSliderMax;
    m_sliders[size_t(row)]->GetRange(low, high);
    const double share = GetShare(row);
    const double position = std::isfinite(share) ? std::trunc((high - low) * share + low) : low;
    m_sliders[size_t(row)]->SetPos(static_cast<int>(std::clamp(position, double(low), double(high))));
    CRect value;
    if (GetSubItemRect(row, 3, LVIR_BOUNDS, value)) InvalidateRect(&value, FALSE);
  }
}

void CSliderRowList::SyncSliders() {
  if (m_syncing) return;
  m_syncing = true;
  RepositionEditor(false);
  const int top = GetTopIndex(), last = top + GetCountPerPage();
  for (int row = 0; row < GetRowCount(); ++row) {
    CSliderCtrl& slider = *m_sliders[size_t(row)];
    const bool inView = row >= top && row < last;
    CRect cell;
    if (inView && GetSubItemRect(row, 2, LVIR_BOUNDS, cell) && cell != m_placed[size_t(row)]) {
      slider.MoveWindow(&cell, TRUE);
      m_placed[size_t(row)] = cell;
    }
    if (inView != (slider.IsWindowVisible() != FALSE)) slider.ShowWindow(inView ? SW_SHOWNORMAL : SW_HIDE);
  }
  m_syncing = false;
}

bool CSliderRowList::DrawCell(CDC* dc, int row, int column, const CRect& cell) {
  if (column != 2) return CSubEditList::DrawCell(dc, row, column, cell);
  DrawCellBackground(dc, row, column, cell);
  SyncSliders();
  return true;
}

void CSliderRowList::OnHScroll(UINT code, UINT position, CScrollBar* bar) {
  int row = -1;
  for (int i = 0; bar && i < GetRowCount(); ++i)
    if (m_sliders[size_t(i)]->m_hWnd == bar->m_hWnd) row = i;
  if (row < 0) {
    CSubEditList::OnHScroll(code, position, bar);
    return;
  }
  if (m_inSlider || code == TB_ENDTRACK) return;
  m_inSlider = true;
  // Keyboard and page moves carry no position: the slider's own is the one to take.
  CSliderCtrl& slider = *m_sliders[size_t(row)];
  int low = 0, high = kSliderMax;
  slider.GetRange(low, high);
  const bool dragged = code == TB_THUMBTRACK || code == TB_THUMBPOSITION;
  const int at = dragged ? static_cast<int>(position) : slider.GetPos();
  SetShare(row, high > low ? double(at - low) / double(high - low) : 0.0);
  RefreshSliders();
  NotifyChanged(kShareChanged);
  m_inSlider = false;
}

void CSliderRowList::OnVScroll(UINT code, UINT position, CScrollBar* bar) {
  CSubEditList::OnVScroll(code, position, bar);
  SyncSliders();
  Invalidate();
}

BOOL CSliderRowList::OnMouseWheel(UINT flags, short delta, CPoint point) {
  const BOOL result = CSubEditList::OnMouseWheel(flags, delta, point);
  SyncSliders();
  Invalidate();
  return result;
}

void CSliderRowList::AccessCellText(int row, int column, bool set, CString& text) {
  if (row < 0 || row >= GetRowCount()) {
    if (!set) text.Empty();
    return;
  }
  if (!set) {
    if (column == 1) text = GetName(row);
    else if (column == 3) text.Format(kShareFormat, GetShare(row));
    else text.Empty();
    return;
  }
  if (column == 1) {
    if (text == GetName(row) || !SetName(row, text)) return;
    NotifyChanged(kNameChanged);
    return;
  }
  if (column != 3) return;
  // The whole text a finite number within 0..1; anything else keeps the share it had.
  double share = 0.0;
  if (!qlw::TryParseDouble(std::wstring_view(text.GetString()), share) || !std::isfinite(share) || share < 0.0 ||
      share > 1.0) {
    CString low, high;
    low.Format(kShareFormat, 0.0);
    high.Format(kShareFormat, 1.0);
    CLXXFloatRange error(kLXSeverityMessage, 0, __LINE__, low, high);
    error.SetOwnerWindow(m_hWnd);
    error.Report();
    return;
  }
  SetShare(row, share);
  RefreshSliders();
  NotifyChanged(kShareChanged);
}

int FitPaneToList(HWND pane, HWND list, int listHeight, int paneWidth) {
  QWidget* self = qlw::WidgetOf(pane);
  if (QWidget* view = qlw::WidgetOf(list)) view->setFixedHeight(listHeight);
  if (!self || !self->layout()) return 0;
  QLayout* column = self->layout();
  column->invalidate();
  column->activate();
  return std::max(column->heightForWidth(paneWidth), column->sizeHint().height());
}

void FixControlSize(HWND control, int width, int height) {
  if (QWidget* w = qlw::WidgetOf(control)) w->setFixedSize(width, height);
}

int SetUpSliderListPane(CWnd* pane, CSliderRowList& list, int rows, CAlphaButton& action, UINT image, UINT menu,
                        int paneWidth) {
  list.Setup(pane);
  FixControlSize(action.m_hWnd, kPaneButtonSize, kPaneButtonSize);
  action.LoadImages(image, image);
  action.SetPopupMenu(menu, pane);
  action.SetMenuKind(CAlphaButton::kMenuOnPress);
  const int height = CSubEditList::MeasureListHeaderHeight() + rows * list.GetRowHeight() + 4;
  return FitPaneToList(pane->m_hWnd, list.m_hWnd, height, paneWidth);
}
