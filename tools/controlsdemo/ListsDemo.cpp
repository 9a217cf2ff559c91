// The editable lists and splitter controls of the value-controls demo (dialog 9300): a phase list
// (tick, name, fraction, colour) and a site list with a menu column in one band, and a vertical
// and a horizontal splitter between framed panes in another, with the last move's distance.
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <vector>

#include "ControlsDemo.h"
#include "SplitterControl.h"
#include "SubEditList.h"
#include "WndQt.h"

namespace {
using Spec = CSubEditList::ColumnSpec;

// Sizes a window so that its client area is cx x cy.
void SetClientSize(CWnd& w, int x, int y, int cx, int cy) {
  CRect window, client;
  w.GetWindowRect(&window);
  w.GetClientRect(&client);
  w.MoveWindow(x, y, cx + window.Width() - client.Width(), cy + window.Height() - client.Height());
}

class CPhaseList : public CSubEditList {
 public:
  struct Phase {
    CString name, fraction;
    UINT check;
    DWORD colour;
  };
  std::vector<Phase> rows = {{L"Rutile", L"0.50", 1, 0xFFFF0000u},
                             {L"Anatase", L"0.25", 1, 0xFF0000FFu},
                             {L"Brookite", L"0.25", 0, 0xFF000000u},
                             {L"Corundum", L"0.00", 2, 0xFFFFFFFFu}};

  bool GetColumnSpecs(const ColumnSpec*& specs, bool& stretch, int& stretchColumn) override {
    static const Spec kSpecs[] = {{LVCFMT_CENTER, 10, 1, -1, -1, 0xFFFFFFFFu, kKindCheck},
                                  {LVCFMT_LEFT, 15, 1, -1, -1, 0xFFFFFFFFu, kKindText},
                                  {LVCFMT_RIGHT, 55, 1, -1, -1, 0xFFFFFFFFu, kKindText},
                                  {LVCFMT_CENTER, 20, 1, -1, -1, 0xFFFFFFFFu, kKindColor}};
    specs = kSpecs;
    stretch = false;
    stretchColumn = -1;
    return true;
  }
  bool IsCellEditable(int row, int column) override {
    if (column == 3 && row >= 0 && row < static_cast<int>(rows.size()) && rows[size_t(row)].name == L"Anatase") return false;
    return CSubEditList::IsCellEditable(row, column);
  }
  bool IsColumnSortable(int column) override { return column == 2; }
  void SortBy(int column, bool ascending) override {
    CSubEditList::SortBy(column, ascending);
    if (GetSortColumn() != 2) return;
    const bool up = GetColumnRecord(2)->ascending;
    SortKeepingSelection(rows, [up](const Phase& a, const Phase& b) {
      const int c = a.name.Compare(b.name);
      return up ? c < 0 : c > 0;
    });
    Invalidate();
  }
  void AccessCellText(int row, int column, bool set, CString& text) override {
    if (row < 0 || row >= static_cast<int>(rows.size()) || (column != 2 && column != 3)) return CSubEditList::AccessCellText(row, column, set, text);
    CString& cell = column == 2 ? rows[size_t(row)].name : rows[size_t(row)].fraction;
    if (set) cell = text;
    else text = cell;
  }
  void AccessCellCheck(int row, int, bool set, UINT& state) override {
    if (row < 0 || row >= static_cast<int>(rows.size())) return;
    if (set) rows[size_t(row)].check = state;
    else state = rows[size_t(row)].check;
  }
  void AccessCellColor(int row, int column, bool set, DWORD& argb, bool& disabled) override {
    disabled = false;
    if (row < 0 || row >= static_cast<int>(rows.size()) || column != 4) {
      if (!set) argb = 0;
      return;
    }
    if (set) rows[size_t(row)].colour = argb;
    else argb = rows[size_t(row)].colour;
  }
  // Delete removes the selected rows.
  void RemoveSelected() {
    std::vector<Phase> kept;
    for (int r = 0; r < static_cast<int>(rows.size()); ++r)
      if (!GetItemState(r, LVIS_SELECTED)) kept.push_back(rows[size_t(r)]);
    rows = std::move(kept);
    SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    SetItemCount(static_cast<int>(rows.size()));
    Invalidate();
  }
};

class CLabelList : public CSubEditList {
 public:
  struct Site {
    CString name;
    int label;
  };
  std::vector<Site> rows = {{L"Ti1", 9381}, {L"O1", 9382}};
  HMENU menu = nullptr;
  ~CLabelList() override {
    if (menu) ::DestroyMenu(menu);
  }

  static const wchar_t* LabelText(int id) { return id == 9382 ? L"Top" : id == 9383 ? L"Bottom" : L"Float"; }
  bool GetColumnSpecs(const ColumnSpec*& specs, bool& stretch, int& stretchColumn) override {
    static const Spec kSpecs[] = {{LVCFMT_LEFT, 100, 0, -1, -1, 0xFFFFFFFFu, kKindText},
                                  {LVCFMT_LEFT, 60, 0, -1, -1, 0xFFFFFFFFu, kKindMenu}};
    specs = kSpecs;
    stretch = true;
    stretchColumn = -1;
    return true;
  }
  void AccessCellText(int row, int column, bool set, CString& text) override {
    if (row < 0 || row >= static_cast<int>(rows.size())) return CSubEditList::AccessCellText(row, column, set, text);
    if (column == 1) {
      if (set) rows[size_t(row)].name = text;
      else text = rows[size_t(row)].name;
    } else if (column == 2 && !set) {
      text = LabelText(rows[size_t(row)].label);
    }
  }
  void AccessCellMenu(int row, int, bool set, HMENU& m, int& choice, bool& disabled) override {
    disabled = false;
    if (row < 0 || row >= static_cast<int>(rows.size())) return;
    if (set) {
      rows[size_t(row)].label = choice;
      return;
    }
    if (!menu) {
      menu = ::CreatePopupMenu();
      for (int id = 9381; id <= 9383; ++id) ::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(id), LabelText(id));
    }
    m = menu;
    choice = rows[size_t(row)].label;
  }
};

// The band of the two lists; the phase list's parent, which removes its rows on Delete.
class CListBand : public CWnd {
 public:
  CPhaseList phases;
  CLabelList labels;
  void OnKeyDown(UINT key, UINT, UINT) {
    const MSG* m = GetCurrentMessage();
    if ((key == VK_DELETE || key == VK_BACK) && m && ::GetFocus() == phases.m_hWnd) phases.RemoveSelected();
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CListBand, CWnd)
  ON_WM_KEYDOWN()
END_MESSAGE_MAP()

// The band of the splitters: answers the vertical bar's limits and shows how far it moved.
class CSplitterBand : public CWnd {
 public:
  CSplitterControl vertical, horizontal;
  CStatic left, right, above, below;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (hdr->idFrom == 9330 && hdr->code == SPN_LIMITS) {
      auto* nm = reinterpret_cast<SPC_NMLIMITS*>(lParam);
      CRect l, r;
      left.GetWindowRect(&l);
      right.GetWindowRect(&r);
      ScreenToClient(&l);
      ScreenToClient(&r);
      nm->nMin = l.left + 40;
      nm->nMax = r.right - 40;
      *result = 0;
      return TRUE;
    }
    if (hdr->idFrom == 9330 && hdr->code == SPN_MOVED) {
      CString text;
      text.Format(L"moved: %d", reinterpret_cast<SPC_NMMOVED*>(lParam)->delta);
      if (CWnd* dialog = GetParent()) dialog->SetDlgItemText(9356, text);
      *result = 0;
      return TRUE;
    }
    return CWnd::OnNotify(wParam, lParam, result);
  }
};

void Frame(CWnd& w, int shape) {
  if (auto* label = qobject_cast<QLabel*>(qlw::WidgetOf(w.m_hWnd))) label->setFrameStyle(shape);
}

void Fix(CWnd& w, int cx, int cy) {
  if (QWidget* widget = qlw::WidgetOf(w.m_hWnd)) widget->setFixedSize(cx, cy);
}

void AddLists(CControlsDemo* dialog) {
  auto* band = dialog->Adopt(std::make_unique<CListBand>());
  if (!band->SubclassDlgItem(9328, dialog)) return;
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_SHOWSELALWAYS;
  band->phases.Create(style, CRect(0, 0, 400, 200), band, 9320);
  band->labels.Create(style, CRect(410, 0, 710, 200), band, 9321);
  int bottom = 0, right = 0;
  for (CSubEditList* list : {static_cast<CSubEditList*>(&band->phases), static_cast<CSubEditList*>(&band->labels)}) {
    const bool phases = list == &band->phases;
    const int width = phases ? 400 : 300, x = phases ? 0 : 410;
    SetClientSize(*list, x, 0, width, 100);
    list->Initialise(band, phases ? 4 : 2, nullptr);
    list->SetRowHeight(list->UpdateRowHeight(0));
    list->SetItemCount(phases ? static_cast<int>(band->phases.rows.size()) : static_cast<int>(band->labels.rows.size()));
    if (phases) {
      list->SetColumnTitle(2, L"Name");
      list->SetColumnTitle(3, L"Fraction");
    } else {
      list->SetColumnTitle(1, L"Site");
      list->SetColumnTitle(2, L"Label");
    }
    // Eight rows below the header.
    int header = 0;
    if (HWND h = reinterpret_cast<HWND>(list->SendMessage(LVM_GETHEADER))) {
      RECT r{};
      ::GetWindowRect(h, &r);
      header = r.bottom - r.top;
    }
    SetClientSize(*list, x, 0, width, header + 8 * list->GetRowHeight());
    list->FitColumnsToWidth();
    CRect placed;
    list->GetWindowRect(&placed);
    band->ScreenToClient(&placed);
    bottom = std::max(bottom, static_cast<int>(placed.bottom));
    right = std::max(right, static_cast<int>(placed.right));
  }
  Fix(*band, right, bottom);
}

void AddSplitters(CControlsDemo* dialog) {
  auto* band = dialog->Adopt(std::make_unique<CSplitterBand>());
  if (!band->SubclassDlgItem(9329, dialog)) return;
  const DWORD pane = WS_CHILD | WS_VISIBLE | SS_CENTER;
  band->left.Create(L"Left", pane, CRect(0, 0, 195, 80), band, 9331);
  band->vertical.Create(L"", WS_CHILD | WS_VISIBLE, CRect(195, 0, 205, 80), band, 9330);
  band->right.Create(L"Right", pane, CRect(205, 0, 400, 80), band, 9332);
  band->above.Create(L"Above", pane, CRect(0, 90, 400, 125), band, 9334);
  band->horizontal.Create(L"", WS_CHILD | WS_VISIBLE, CRect(0, 125, 400, 131), band, 9333);
  band->below.Create(L"Below", pane, CRect(0, 131, 400, 170), band, 9335);
  band->vertical.SetStyle(CSplitterControl::kStyleVertical | CSplitterControl::kStyleNotify);
  band->vertical.SetCursor(::LoadCursorW(nullptr, IDC_SIZEWE));
  band->vertical.AddWindow(1, &band->left);
  band->vertical.AddWindow(0, &band->right);
  band->horizontal.SetStyle(0);
  band->horizontal.SetCursor(::LoadCursorW(nullptr, IDC_SIZENS));
  band->horizontal.AddWindow(1, &band->above);
  band->horizontal.AddWindow(0, &band->below);
  for (CStatic* s : {&band->left, &band->right, &band->above, &band->below}) Frame(*s, QFrame::Box | QFrame::Plain);
  // The bars in a shade of their own, so that they can be seen between the panes.
  for (CSplitterControl* s : {&band->vertical, &band->horizontal})
    if (QWidget* w = qlw::WidgetOf(s->m_hWnd)) {
      QPalette p = w->palette();
      p.setColor(QPalette::Window, QColor(190, 190, 190));
      w->setPalette(p);
      w->setAutoFillBackground(true);
    }
  Fix(*band, 400, 170);
}

void AddListsAndSplitters(CControlsDemo* dialog) {
  AddLists(dialog);
  AddSplitters(dialog);
  if (QWidget* w = qlw::WidgetOf(dialog->m_hWnd)) w->adjustSize();
}

const bool g_registered = RegisterControlsDemoPart(&AddListsAndSplitters);
}  // namespace
