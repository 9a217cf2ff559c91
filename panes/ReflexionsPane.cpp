// The reflexions pane: the list of the selected crystal's reflexions, its sort and clicks, and
// the pane following the document's selection.
#include "ReflexionsPane.h"

#include "LXMessage.h"
#include "LXUtils.h"
#include "QLCrystal.h"
#include "QLCrystalPattern.h"
#include "QlwDoc.h"
#include "RedrawLock.h"
#include "StructuresPane.h"
#include "WndQt.h"

#include <QLayout>
#include <QWidget>

#include <algorithm>
#include <cmath>

IMPLEMENT_DYNAMIC(CReflList, CSubEditList)
IMPLEMENT_DYNCREATE(CReflexionsPane, CFormView)

BEGIN_MESSAGE_MAP(CReflList, CSubEditList)
  ON_REGISTERED_MESSAGE(g_msgSplitterRecalcLayoutSync, &CReflList::OnSplitterRecalcLayout)
  ON_REGISTERED_MESSAGE(g_msgSplitterRecalcLayoutAsync, &CReflList::OnSplitterRecalcLayout)
END_MESSAGE_MAP()

BEGIN_MESSAGE_MAP(CReflexionsPane, CFormView)
  ON_WM_SIZE()
  ON_WM_SETFOCUS()
END_MESSAGE_MAP()

namespace {
constexpr DWORD kLpGrey = 0xFF808080u;

// Column 6's title for each x-axis type.
UINT PositionTitle(LXTypes::QLAxisType axis) {
  switch (axis) {
    case LXTypes::kAxis2Theta: return 3318;
    case LXTypes::kAxisDSpacing: return 3313;
    case LXTypes::kAxisInverseD: return 3316;
    case LXTypes::kAxisTimeOfFlight: return 3317;
    case LXTypes::kAxisEnergy: return 3314;
    case LXTypes::kAxisTwoPiOverD: return 3315;
    default: return 3312;
  }
}

// Equal, or both NaN: a value that cannot be computed must not count as a change at every hint.
bool SameValue(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// a < b on a column's key; columns outside 2..11 have none.
bool KeyLess(int column, const CQLReflexion& a, const CQLReflexion& b) {
  switch (column) {
    case 2: return a.h < b.h;
    case 3: return a.k < b.k;
    case 4: return a.l < b.l;
    case 5: return a.d < b.d;
    case 6: return a.x < b.x;
    case 7: return a.intensity < b.intensity;
    case 8: return a.relativeIntensity < b.relativeIntensity;
    case 9: return a.multiplicity < b.multiplicity;
    case 10: return a.indexNorm < b.indexNorm;
    case 11: return a.lorentzPolarisation < b.lorentzPolarisation;
    default: return false;
  }
}
}  // namespace

// ---- The list ----------------------------------------------------------------------------
CReflexionsPane* CReflList::GetPane() const { return dynamic_cast<CReflexionsPane*>(GetOwnerWindow()); }

bool CReflList::IsCellEditable(int, int) { return false; }

bool CReflList::IsColumnSortable(int column) { return column >= 2 && column <= 11; }

namespace {
const CSubEditList::ColumnSpec kReflexionColumns[] = {
      {LVCFMT_RIGHT, 7, 1, 1, -1, 3303, CSubEditList::kKindText},  {LVCFMT_RIGHT, 5, 1, -1, -1, 3302, CSubEditList::kKindText},
      {LVCFMT_RIGHT, 5, 1, -1, -1, 3305, CSubEditList::kKindText}, {LVCFMT_RIGHT, 5, 1, -1, -1, 3306, CSubEditList::kKindText},
      {LVCFMT_RIGHT, 14, 1, -1, -1, 3301, CSubEditList::kKindText}, {LVCFMT_RIGHT, 14, 1, -1, -1, 3318, CSubEditList::kKindText},
      {LVCFMT_RIGHT, 14, 1, -1, -1, 3304, CSubEditList::kKindText}, {LVCFMT_RIGHT, 14, 1, -1, -1, 3310, CSubEditList::kKindText},
      {LVCFMT_RIGHT, 5, 1, -1, -1, 3308, CSubEditList::kKindText},  {LVCFMT_RIGHT, 5, 1, -1, -1, 3309, CSubEditList::kKindText},
      {LVCFMT_RIGHT, 14, 1, -1, -1, 3307, CSubEditList::kKindText},
};
// The widest text of each column's values: no value is cut at the percentage widths of a narrow pane.
const wchar_t* const kWidestValues[] = {L"00000", L"-10", L"-10", L"-10", L"00.00000", L"000.0000",
                                        L"-0.00000e+00", L"100.00%", L"192", L"000", L"00.000"};
}  // namespace

void CReflList::Initialise(CWnd* owner, int columnCount, void* context) {
  m_specs.assign(std::begin(kReflexionColumns), std::end(kReflexionColumns));
  if (CDC* dc = GetDC()) {
    CGdiObject* old = dc->SelectObject(GetFont());
    for (size_t i = 0; i < m_specs.size(); ++i) {
      // The cell's text is inset by 5 pixels on each side.
      // Room for the header's title and its sort mark too; the position column for the title of
      // every x-axis unit it may come to show.
      const bool position = static_cast<int>(i) + 1 == CReflexionsPane::kPositionColumn;
      const UINT firstTitle = position ? 3312 : m_specs[i].title, lastTitle = position ? 3318 : m_specs[i].title;
      int titleWidth = 0;
      for (UINT id = firstTitle; id <= lastTitle; ++id) {
        CString title;
        title.LoadString(id);
        titleWidth = std::max(titleWidth, dc->GetTextExtent(title).cx);
      }
      const int need = std::max(dc->GetTextExtent(kWidestValues[i]).cx + 10, titleWidth + 20);
      m_specs[i].minWidth = std::max(m_specs[i].minWidth, need);
    }
    if (old) dc->SelectObject(old);
    ReleaseDC(dc);
  }
  CSubEditList::Initialise(owner, columnCount, context);
}

bool CReflList::GetColumnSpecs(const ColumnSpec*& specs, bool& stretch, int& stretchColumn) {
  specs = m_specs.empty() ? kReflexionColumns : m_specs.data();
  stretch = true;
  stretchColumn = -1;
  return true;
}

CQLReflexion* CReflList::ReflexionAt(int row) const {
  return row >= 0 && row < static_cast<int>(m_rows.size()) ? m_rows[static_cast<size_t>(row)].get() : nullptr;
}

void CReflList::SortBy(int column, bool ascending) {
  // "No." numbers the rows as they stand: it never sorts, nor becomes the sort column.
  if (column >= 0 && !IsColumnSortable(column)) return;
  CSubEditList::SortBy(column, ascending);
  const int key = GetSortColumn();
  const ColumnRecord* record = GetColumnRecord(key);
  if (key >= 2 && key <= 11) SortKeepingSelection(m_rows, RowOrder(key, !record || record->ascending));
  Invalidate(FALSE);
}

auto CReflList::RowOrder(int column, bool ascending) -> std::function<bool(const ReflexionPtr&, const ReflexionPtr&)> {
  return [column, ascending](const ReflexionPtr& a, const ReflexionPtr& b) {
    return ascending ? KeyLess(column, *a, *b) : KeyLess(column, *b, *a);
  };
}

void CReflList::SortRows() {
  const int column = GetSortColumn();
  const ColumnRecord* record = GetColumnRecord(column);
  if (column < 2 || column > 11) return;
  std::sort(m_rows.begin(), m_rows.end(), RowOrder(column, !record || record->ascending));
}

bool CReflList::GetTextColor(int row, int column, DWORD& argb) {
  // Lp in grey, except on a selected row, which takes the highlight's colours.
  if (column != 11 || (row >= 0 && row < GetItemCount() && GetItemState(row, LVIS_SELECTED))) return false;
  argb = kLpGrey;
  return true;
}

void CReflList::AccessCellText(int row, int column, bool set, CString& text) {
  if (set) return;
  text.Empty();
  const CQLReflexion* r = ReflexionAt(row);
  if (!r) return;
  switch (column) {
    case 1: text.Format(L"%05d", row + 1); break;
    case 2: text.Format(L"%d", r->h); break;
    case 3: text.Format(L"%d", r->k); break;
    case 4: text.Format(L"%d", r->l); break;
    case 5: text.Format(L"%.5f", r->d); break;
    case 6: text.Format(L"%.4f", r->x); break;
    case 7: text.Format(L"%12.5e", r->intensity); break;
    case 8: text.Format(L"%.2f%%", r->relativeIntensity * 100.0); break;
    case 9: text.Format(L"%d", r->multiplicity); break;
    case 10: text.Format(L"%d", r->indexNorm); break;
    case 11: text.Format(L"%.3f", r->lorentzPolarisation); break;
    default: break;
  }
}

bool CReflList::OnCellClick(bool down, bool state, int row, int column, UINT flags, CPoint point) {
  const bool taken = CSubEditList::OnCellClick(down, state, row, column, flags, point);
  // The release of a click on a row that the click left selected.
  if (!down && row >= 0 && row < GetItemCount() && GetItemState(row, LVIS_SELECTED))
    if (CReflexionsPane* pane = GetPane()) pane->ReflexionClicked(row);
  return taken;
}

LRESULT CReflList::OnSplitterRecalcLayout(WPARAM, LPARAM) {
  FitColumnsToWidth();
  return 0;
}

// ---- The pane ----------------------------------------------------------------------------
CReflexionsPane::CReflexionsPane() : CFormView(kTemplateId) {}
CReflexionsPane::~CReflexionsPane() = default;

CQlwDoc* CReflexionsPane::GetDocument() const { return dynamic_cast<CQlwDoc*>(m_pDocument); }

BOOL CReflexionsPane::PreCreateWindow(CREATESTRUCTW& cs) {
  if (!CUtils::UseOwnWindowClass(cs, L"Quillonographic-CReflexionsPane"))
    throw CLXXMFC(L"Unable to register the reflexions pane's window class.", kLXSeverityMessage, 0, __LINE__);
  cs.style |= WS_CLIPCHILDREN;
  return CFormView::PreCreateWindow(cs);
}

void CReflexionsPane::DoDataExchange(CDataExchange* dx) {
  CFormView::DoDataExchange(dx);
  DDX_Control(dx, kListId, m_list);
}

void CReflexionsPane::GetMinSize(SIZE& out) const {
  out.cx = 0;
  out.cy = 20;
  if (m_bNotInitialised) return;
  int header = 0;
  if (HWND h = reinterpret_cast<HWND>(m_list.SendMessage(LVM_GETHEADER))) {
    RECT r{};
    ::GetWindowRect(h, &r);
    header = r.bottom - r.top;
  }
  if (header <= 0) header = CSubEditList::MeasureListHeaderHeight();
  CRect list, client;
  m_list.GetWindowRect(&list);
  ScreenToClient(&list);
  out.cy = m_list.GetRowHeight() + header + 2 * std::max(0, static_cast<int>(list.top));
}

void CReflexionsPane::OnInitialUpdate() {
  if (m_bNotInitialised) {
    // The pane places its list itself.
    if (QWidget* host = qlw::WidgetOf(m_hWnd)) delete host->layout();
    m_list.Initialise(this, 11, nullptr);
    m_list.SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    m_list.SetRowHeight(m_list.UpdateRowHeight(0) + 2);
    m_list.SortBy(kPositionColumn, true);
    LayOut();
    CFormView::OnInitialUpdate();
    m_bNotInitialised = false;
    FollowSelection();
    LayOut();
    return;
  }
  CFormView::OnInitialUpdate();
}

void CReflexionsPane::LayOut() {
  if (!m_list.m_hWnd) return;
  CRect client;
  GetClientRect(&client);
  m_list.MoveWindow(&client);
  m_list.FitColumnsToWidth();
}

void CReflexionsPane::OnSize(UINT, int, int) {
  Default();
  if (m_bNotInitialised) return;
  LayOut();
  UpdateHeader();
}

void CReflexionsPane::OnSetFocus(CWnd*) {
  Default();
  if (!m_bNotInitialised && m_list.m_hWnd) m_list.SetFocus();
}

std::int64_t CReflexionsPane::CountSelectedCrystals() const {
  CQlwDoc* doc = GetDocument();
  if (!doc) return 0;
  std::int64_t count = 0;
  for (const CQLPatternPtr& p : doc->GetPatterns()) {
    if (p->GetPatternType() == kPatternCrystal) {
      if (p->IsSelected()) ++count;
    } else if (const CQLPatternList* components = p->GetComponents()) {
      count += CountCrystalPatterns(*components, true, false, false);
    }
  }
  return count;
}

void CReflexionsPane::RefillList() {
  {
    CRedrawLock lock(&m_list);
    const int top = m_list.GetTopIndex();
    std::vector<CReflList::ReflexionPtr>& rows = m_list.GetRows();
    rows.clear();
    m_listed.clear();
    if (m_shown)
      if (const CQLCrystal* crystal = m_shown->GetCrystal()) {
        rows.reserve(crystal->m_reflexions.size());
        m_listed.reserve(crystal->m_reflexions.size());
        for (const auto& r : crystal->m_reflexions)
          if (r) {
            rows.push_back(r);
            m_listed.push_back({r.get(), r->x, r->intensity});
          }
      }
    m_list.SortRows();
    // A new count keeps the view: no reset, so nothing else of the list is lost.
    m_list.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    const int count = static_cast<int>(rows.size());
    if (!m_list.SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(count), LVSICF_NOINVALIDATEALL) && count > 0)
      throw CLXXReflexionsMemErr(kLXSeverityMessage, count, __LINE__);
    if (top > 0 && top < count && m_list.GetTopIndex() != top) m_list.ScrollRowToTop(top);
  }
  m_list.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void CReflexionsPane::UpdateHeader() {
  CQlwDoc* doc = GetDocument();
  if (doc)
    if (const CDiffractionSettings* settings = doc->GetSettings()) {
      CString title;
      title.LoadString(PositionTitle(settings->m_axisType));
      m_list.SetColumnTitle(kPositionColumn, title);
      m_titledAxis = settings->m_axisType;
    }
  m_list.EnableWindow(CountSelectedCrystals() == 1);
}

bool CReflexionsPane::RowsMatchCrystal() const {
  const CQLCrystal* crystal = m_shown ? m_shown->GetCrystal() : nullptr;
  if (!crystal) return m_listed.empty();
  size_t i = 0;
  for (const auto& r : crystal->m_reflexions) {
    if (!r) continue;
    if (i == m_listed.size()) return false;
    const ListedReflexion& listed = m_listed[i++];
    if (listed.reflexion != r.get() || !SameValue(listed.x, r->x) || !SameValue(listed.intensity, r->intensity))
      return false;
  }
  return i == m_listed.size();
}

void CReflexionsPane::SelectReflexion(const CQLReflexion* reflexion) {
  m_list.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  if (!reflexion) return;
  const auto& rows = m_list.GetRows();
  for (int r = 0; r < static_cast<int>(rows.size()); ++r)
    if (rows[static_cast<size_t>(r)].get() == reflexion) {
      m_list.SetItemState(r, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
      m_list.EnsureVisible(r, FALSE);
      return;
    }
}

void CReflexionsPane::FollowSelection() {
  CQlwDoc* doc = GetDocument();
  if (doc && CountSelectedCrystals() == 1) {
    std::shared_ptr<CQLCrystalPattern> first;
    doc->GetFirstCrystalPattern(first, true);
    // The same pattern keeps its chosen row.
    const CQLReflexion* kept = nullptr;
    if (first && first == m_shown) kept = m_list.ReflexionAt(m_list.GetSelectedRow());
    m_shown = first;
    RefillList();
    UpdateHeader();
    SelectReflexion(kept);
    return;
  }
  m_shown.reset();
  RefillList();
  UpdateHeader();
}

void CReflexionsPane::ReflexionClicked(int row) {
  CQlwDoc* doc = GetDocument();
  CQLReflexion* reflexion = m_list.ReflexionAt(row);
  if (!doc || !reflexion || !m_shown) return;
  // Held for the hint's journey: a view may refill this list while it is told.
  const CQLPatternPtr pattern = m_shown;
  const CReflList::ReflexionPtr kept = m_list.GetRows()[static_cast<size_t>(row)];
  CUHReflexionSelected hint(doc, this, reflexion, pattern.get());
  doc->DispatchUpdateHint(hint);
}

void CReflexionsPane::RefillKeepingSelection() {
  const CQLReflexion* kept = m_list.ReflexionAt(m_list.GetSelectedRow());
  RefillList();
  UpdateHeader();
  SelectReflexion(kept);
}

void CReflexionsPane::OnUpdate(CView* sender, LPARAM hint, CObject* hintObject) {
  auto* update = reinterpret_cast<CUpdateHint*>(hint);
  if (m_bNotInitialised) return;
  if (!update) {
    FollowSelection();
    CFormView::OnUpdate(sender, hint, hintObject);
    return;
  }
  if (update->document != GetDocument()) return;
  try {
    // A new x axis moves every position in place and sends no recompute: the title and the
    // order of the rows are brought to the new unit here.
    const CDiffractionSettings* settings = GetDocument()->GetSettings();
    if (settings && settings->m_axisType != m_titledAxis) {
      RefillKeepingSelection();
    }
    switch (update->code) {
      case kHintPaneRecomputedAll:
      case kHintPaneRecomputed12:
      case kHintReflexionPositions:
        if (CountSelectedCrystals() == 1) {
          RefillKeepingSelection();
        }
        break;
      case CUHReflexionSelected::kCode: {
        auto* chosen = dynamic_cast<CUHReflexionSelected*>(update);
        if (!chosen) break;
        if (chosen->pattern != m_shown.get()) {
          CQLPatternPtr found;
          if (CQlwDoc* doc = GetDocument(); doc && chosen->pattern) {
            CQLPatternNode node;
            if (FindPatternNode(chosen->pattern, doc->GetPatterns(), node, true)) found = *node.it;
          }
          m_shown = found;
          RefillList();
          UpdateHeader();
        }
        SelectReflexion(chosen->reflexion);
        break;
      }
      // A recompute (22) or a new tree (19) may keep or end the one selected crystal, as a new
      // selection (23) may.
      case kHintPatternTree:
      case kHintPatternsRecomputed:
      case kHintPaneSelection: FollowSelection(); break;
      default: break;
    }
    // A wavelength, a reflexion limit or a cell sent from a dialog, a menu or another pane ends
    // in a plot hint at the least: whatever came before it, the rows follow the crystal.
    if (!RowsMatchCrystal()) {
      RefillKeepingSelection();
    }
  } catch (CLXException& e) {
    e.Report();
  }
}
