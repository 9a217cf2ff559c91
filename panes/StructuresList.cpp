// The structures list: rows from the document's tree, cells drawn and edited, expansion.
#include "StructuresList.h"

#include "LXGdiplus.h"
#include "LXImages.h"
#include "LXMessage.h"
#include "LXShapes.h"
#include "LXText.h"
#include "QLMixturePattern.h"
#include "QlwDoc.h"
#include "RedrawLock.h"
#include "StructuresPane.h"
#include "QLPatternFlat.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

IMPLEMENT_DYNAMIC(CStructuresList, CSubEditList)

BEGIN_MESSAGE_MAP(CStructuresList, CSubEditList)
  ON_REGISTERED_MESSAGE(g_msgSplitterRecalcLayoutSync, &CStructuresList::OnSplitterRecalcLayout)
  ON_REGISTERED_MESSAGE(g_msgSplitterRecalcLayoutAsync, &CStructuresList::OnSplitterRecalcLayout)
  ON_WM_MOUSEMOVE()
  ON_WM_DESTROY()
END_MESSAGE_MAP()

namespace {
constexpr Gdiplus::ARGB kTriangleGrey = 0xFF888888u;

// The kind icons, loaded once.
Gdiplus::Bitmap* KindIcon(const CQLPattern& pattern) {
  static std::map<UINT, std::unique_ptr<Gdiplus::Bitmap>> icons;
  UINT id = 3400;
  switch (pattern.GetPatternType()) {
    case kPatternObserved: id = 3401; break;
    case kPatternMixture: id = 3404; break;
    default: break;
  }
  auto& slot = icons[id];
  if (!slot) slot.reset(LoadBitmapResource(id));
  return slot.get();
}

// Selected flags of a whole tree; true when one changed.
bool SetTreeSelection(CQLPatternList& list, const CQLPattern* keep, bool keepSelected) {
  bool changed = false;
  for (const CQLPatternPtr& p : list) {
    const bool want = keepSelected && p.get() == keep;
    if (p->IsSelected() != want) {
      p->SetSelected(want);
      changed = true;
    }
    if (CQLPatternList* components = p->GetComponents())
      changed = SetTreeSelection(*components, keep, keepSelected) || changed;
  }
  return changed;
}

void AddRows(const CQLPatternList& list, bool indent, std::vector<CStructuresList::Row>& rows) {
  for (const CQLPatternPtr& p : list) {
    rows.push_back({p, indent});
    if (p->IsExpanded())
      if (const CQLPatternList* components = p->GetComponents()) AddRows(*components, true, rows);
  }
}
}  // namespace

CStructuresList::CStructuresList() = default;
CStructuresList::~CStructuresList() = default;

CStructuresPane* CStructuresList::GetPane() const { return dynamic_cast<CStructuresPane*>(GetOwnerWindow()); }

CQlwDoc* CStructuresList::GetDocument() const {
  CStructuresPane* pane = GetPane();
  return pane ? pane->GetDocument() : nullptr;
}

void CStructuresList::Initialise(CWnd* owner, int columnCount, void* context) {
  ModifyStyle(LVS_SINGLESEL, LVS_SHOWSELALWAYS | LVS_NOCOLUMNHEADER | LVS_NOSORTHEADER);
  CSubEditList::Initialise(owner, columnCount, context);
  SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  SendMessage(LVM_SETBKCOLOR, 0, static_cast<LPARAM>(RGB(235, 239, 244)));
  SetAlternateShading(false);
  // The style's header flag is read when the view is made; the list is made from a template.
  if (GetHeader().m_hWnd) GetHeader().ShowWindow(SW_HIDE);
  m_dropTarget.Register(this);
  SetRowHeight(UpdateRowHeight(20) + 4);
}

bool CStructuresList::IsCellEditable(int, int column) { return column == 1 || column == 3 || column == 4; }

bool CStructuresList::GetColumnSpecs(const ColumnSpec*& specs, bool& stretch, int& stretchColumn) {
  // Column 4 holds the check box on the pattern's colour, one and a half small icons wide.
  static const int checkWidth = (3 * GetSystemMetrics(SM_CXSMICON)) / 2;
  static const ColumnSpec kSpecs[] = {
      {LVCFMT_LEFT, 15, 0, 16, 16, 3800, kKindNone},
      {LVCFMT_LEFT, 15, 0, 40, -1, 0xFFFFFFFFu, kKindNone},
      {LVCFMT_LEFT, 45, 1, 20, -1, 0xFFFFFFFFu, kKindText},
      {LVCFMT_CENTER, 15, 0, checkWidth, checkWidth, 0xFFFFFFFFu, kKindCheck},
  };
  specs = kSpecs;
  stretch = true;
  stretchColumn = 3;
  return true;
}

CQLPattern* CStructuresList::PatternAt(int row) const {
  return row >= 0 && row < static_cast<int>(m_rows.size()) ? m_rows[static_cast<size_t>(row)].pattern.get() : nullptr;
}

CQLPatternList CStructuresList::SelectedPatterns() const {
  CQLPatternList out;
  for (int r = 0; r < static_cast<int>(m_rows.size()); ++r)
    if (GetItemState(r, LVIS_SELECTED)) out.push_back(m_rows[static_cast<size_t>(r)].pattern);
  return out;
}

void CStructuresList::SendHint(int code, bool fromPane) {
  CQlwDoc* doc = GetDocument();
  if (!doc) return;
  CUpdateHint hint(code, doc, fromPane ? GetPane() : nullptr, false);
  doc->DispatchUpdateHint(hint);
}

void CStructuresList::AccessCellCheck(int row, int, bool set, UINT& state) {
  CQLPattern* p = PatternAt(row);
  if (!p) return;
  if (!set) {
    state = p->IsShown() ? 1u : 0u;
    return;
  }
  CQlwDoc* doc = GetDocument();
  if (!doc) return;
  CRedrawLock lock(this);
  if (state & 1u) {
    doc->ShowPatterns(CQLPatternList{m_rows[static_cast<size_t>(row)].pattern});
  } else {
    p->SetShown(false);
    doc->UpdateDataRange();
    SendHint(kHintPatternsShown, false);
  }
  lock.Release();
  InvalidateRow(row);
  SetFocus();
}

void CStructuresList::AccessCellColor(int row, int column, bool set, DWORD& argb, bool& disabled) {
  disabled = false;
  CQLPattern* p = PatternAt(row);
  if (column != 4 || !p) {
    if (!set) argb = 0;
    return;
  }
  if (!set) {
    argb = p->m_color;
    return;
  }
  p->m_color = argb;
  SendHint(kHintColours, false);
  if (CStructuresPane* pane = GetPane()) pane->SetFocus();
}

void CStructuresList::AccessCellText(int row, int column, bool set, CString& text) {
  CQLPattern* p = PatternAt(row);
  if (!p || column != 3) {
    if (!set) text.Empty();
    return;
  }
  if (!set) {
    text = p->m_title;
    return;
  }
  if (p->m_title == text) return;
  p->m_title = text;
  SendHint(kHintPaneTitle, true);
}

// The pane's colour behind unselected rows; selected rows take the list's highlight.
bool CStructuresList::GetCellBackColor(int row, int, DWORD& argb) {
  if (RowExists(row) && GetItemState(row, LVIS_SELECTED)) return false;
  argb = kBackground;
  return true;
}

void CStructuresList::ToggleExpanded(int row) {
  CQLPattern* p = PatternAt(row);
  // Only a mixture has rows to show or hide.
  if (!p || !p->GetComponents()) return;
  p->SetExpanded(!p->IsExpanded());
  InvalidateRow(row);
  // Only the rows change, not the tree: a tree hint would rescale the measured patterns and the
  // plot's height. The flag is saved with the session.
  if (CQlwDoc* doc = GetDocument()) doc->SetModifiedFlag(TRUE);
  if (CStructuresPane* pane = GetPane()) pane->Refresh();
}

bool CStructuresList::OnCellClick(bool down, bool state, int row, int column, UINT flags, CPoint point) {
  m_dragCandidate = down && (column == 2 || column == 3) && row >= 0;
  m_dragFrom = point;
  const bool taken = CSubEditList::OnCellClick(down, state, row, column, flags, point);
  if (!taken && down && column == 1) {
    int hitRow = -1, hitColumn = 0;
    if (HitCell(point, hitRow, hitColumn) && hitRow == row && hitColumn == 1) ToggleExpanded(row);
  }
  return taken;
}

bool CStructuresList::DrawCell(CDC* dc, int row, int column, const CRect& cell) {
  const bool drawn = DrawOwnCell(dc, row, column, cell);
  if (drawn && dc) DrawFeedbackMark(dc, row, column, cell);
  return drawn;
}

bool CStructuresList::DrawOwnCell(CDC* dc, int row, int column, const CRect& cell) {
  const Row* r = row >= 0 && row < static_cast<int>(m_rows.size()) ? &m_rows[static_cast<size_t>(row)] : nullptr;
  if (!r || !dc || column < 1 || column > 3) return CSubEditList::DrawCell(dc, row, column, cell);
  DrawCellBackground(dc, row, column, cell);
  Gdiplus::Graphics g(dc->m_hDC);
  const Gdiplus::SmoothingMode oldSmoothing = g.GetSmoothingMode();
  g.SetSmoothingMode(g_drawDpi < 300 ? Gdiplus::SmoothingModeHighQuality : Gdiplus::SmoothingModeNone);
  const CQLPattern& p = *r->pattern;
  if (column == 1) {
    if (p.GetPatternType() == kPatternMixture) {
      // A 20 px box centred in the cell, drawn at 0.8 of its size; pointing down when expanded.
      const float cx = (cell.left + cell.right) / 2.0f, cy = (cell.top + cell.bottom) / 2.0f, half = 10.0f * 0.8f;
      const LXGraphics::CSyncRect box(cx - half, cy - half, cx + half, cy + half);
      DrawMarkerInRect(g, box, p.IsExpanded() ? 2 : 0, kTriangleGrey);
    }
  } else if (column == 2) {
    CRect box = cell;
    if (r->indent) box.OffsetRect(kIndent, 0);
    box.DeflateRect(0, 1);
    const int l = box.Width() < 5 ? box.Width() / 2 : 1, t = box.Height() < 5 ? box.Height() / 2 : 2;
    const int rr = box.Width() < 5 ? box.Width() / 2 : 4, b = box.Height() < 5 ? box.Height() / 2 : 3;
    box.left += l, box.top += t, box.right -= rr, box.bottom -= b;
    if (Gdiplus::Bitmap* icon = KindIcon(p); icon && box.Width() > 0 && box.Height() > 0) {
      const float iw = static_cast<float>(icon->GetWidth()), ih = static_cast<float>(icon->GetHeight());
      if (iw > 0 && ih > 0) {
        const float scale = std::min(box.Width() / iw, box.Height() / ih);
        const float w = iw * scale, h = ih * scale;
        g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        g.DrawImage(icon, box.left + (box.Width() - w) / 2.0f, box.top + (box.Height() - h) / 2.0f, w, h);
      }
    }
  } else {
    LOGFONTW lf{};
    CString face = L"Liberation Sans";
    float size = 9.0f;
    UINT style = 0x48400;
    if (CFont* font = GetFont(); font && font->GetLogFont(&lf)) {
      face = lf.lfFaceName;
      if (lf.lfHeight != 0) size = std::abs(static_cast<float>(lf.lfHeight)) * 72.0f / static_cast<float>(g_screenDpi);
      if (lf.lfWeight >= 700) style |= 0x1;
      if (lf.lfItalic) style |= 0x2;
    }
    const float left = static_cast<float>(cell.left + (r->indent ? 16 : 2));
    const LXGraphics::CSyncRect box(left, static_cast<float>(cell.top), static_cast<float>(cell.right),
                                    static_cast<float>(cell.bottom));
    DWORD text = 0xFF000000u, back = 0;
    CellColours(row, column, text, back);
    const Gdiplus::ARGB colour = 0xFF000000u | text;
    DrawTextBox(&g, p.m_title.GetString(), face, size + 1.0f, style, colour, box);
  }
  g.SetSmoothingMode(oldSmoothing);
  return true;
}

void CStructuresList::BuildRows() {
  m_rows.clear();
  CQlwDoc* doc = GetDocument();
  if (!doc || !doc->GetSettings()) return;
  AddRows(doc->GetPatterns(), false, m_rows);
}

bool CStructuresList::SelectForReflexion(const CQLPattern* pattern, const CQLReflexion* reflexion) {
  // Over the whole tree: components of collapsed mixtures have no row but keep a flag.
  bool changed = false;
  if (CQlwDoc* doc = GetDocument()) changed = SetTreeSelection(doc->GetPatterns(), pattern, reflexion != nullptr);
  SyncSelection();
  return changed;
}

bool CStructuresList::SyncSelection() {
  CRedrawLock lock(this);
  bool changed = false;
  for (int r = 0; r < static_cast<int>(m_rows.size()) && r < GetItemCount(); ++r) {
    const bool want = m_rows[static_cast<size_t>(r)].pattern->IsSelected();
    if ((GetItemState(r, LVIS_SELECTED) != 0) == want) continue;
    SetItemState(r, want ? LVIS_SELECTED : 0, LVIS_SELECTED);
    changed = true;
  }
  lock.Release();
  if (changed) Invalidate(FALSE);
  return changed;
}

LRESULT CStructuresList::OnSplitterRecalcLayout(WPARAM, LPARAM) {
  FitColumnsToWidth();
  return 0;
}

// ---- Drag and drop ---------------------------------------------------------------------------
std::vector<std::uint8_t> CStructuresList::BuildDragBlock() {
  m_dragged = SelectedPatterns();
  // The list's address travels for the format's sake only: a drop tells this process by the
  // drag's source, never by these bytes.
  return FlattenPatternList(m_dragged, static_cast<std::uint32_t>(::getpid()),
                            static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&m_dragged)));
}

int CStructuresList::HitTestDrop(CPoint point, int& row) {
  row = -1;
  int column = 0;
  if (!HitCell(point, row, column)) row = -1;
  CRect client;
  GetClientRect(&client);
  if (row < 0 && client.PtInRect(point) && GetItemCount() > 0) row = GetLastVisibleRow();
  if (row < 0) return CStructListDrop::kDropNone;
  CRect r;
  if (!GetItemRect(row, &r, LVIR_BOUNDS)) return CStructListDrop::kDropNone;
  const CQLPattern* p = PatternAt(row);
  if (p && p->GetPatternType() == kPatternMixture) {
    const int band = 4 * 2 * GetSystemMetrics(SM_CXFOCUSBORDER);
    if (point.y < r.top + band) return CStructListDrop::kDropBefore;
    if (point.y > r.bottom - band) return CStructListDrop::kDropAfter;
    return CStructListDrop::kDropInto;
  }
  return point.y < (r.top + r.bottom + 1) / 2 ? CStructListDrop::kDropBefore : CStructListDrop::kDropAfter;
}

void CStructuresList::DrawDropFeedback(CPoint point, bool show) {
  if (!show) {
    if (m_feedbackRow >= 0) Invalidate(FALSE);
    m_feedbackRow = -1;
    m_feedbackCode = 0;
    return;
  }
  int row = -1;
  const int code = HitTestDrop(point, row);
  if (row == m_feedbackRow && code == m_feedbackCode) return;
  m_feedbackRow = row;
  m_feedbackCode = code;
  // The mark is drawn with the row's cells.
  Invalidate(FALSE);
}

void CStructuresList::DrawFeedbackMark(CDC* dc, int row, int column, const CRect& cell) {
  if (row != m_feedbackRow || m_feedbackCode == CStructListDrop::kDropNone) return;
  const COLORREF c = ::GetSysColor(COLOR_HIGHLIGHT);
  Gdiplus::Graphics g(dc->m_hDC);
  Gdiplus::Pen pen(Gdiplus::Color(0xFF, GetRValue(c), GetGValue(c), GetBValue(c)), 2.0f);
  pen.SetAlignment(Gdiplus::PenAlignmentInset);
  const float l = static_cast<float>(cell.left), r = static_cast<float>(cell.right);
  const float t = static_cast<float>(cell.top) + 1.0f, b = static_cast<float>(cell.bottom) - 1.0f;
  if (m_feedbackCode == CStructListDrop::kDropInto) {
    g.DrawLine(&pen, l, t, r, t);
    g.DrawLine(&pen, l, b, r, b);
    if (column == 1) g.DrawLine(&pen, l + 1.0f, t, l + 1.0f, b);
    if (column == GetColumnCount() - 1) g.DrawLine(&pen, r - 1.0f, t, r - 1.0f, b);
    return;
  }
  const float y = m_feedbackCode == CStructListDrop::kDropBefore ? t : b;
  const bool indent = row < static_cast<int>(m_rows.size()) && m_rows[static_cast<size_t>(row)].indent;
  float from = l;
  if (column == 1) {
    // A small circle at the row's left, then the line to the right edge.
    const float u = 2.0f * static_cast<float>(GetSystemMetrics(SM_CXFOCUSBORDER));
    const float x = l + 2.0f * u + (indent ? static_cast<float>(kIndent) : 0.0f);
    g.DrawEllipse(&pen, x - 2.0f * u, y - 2.0f * u, 4.0f * u, 4.0f * u);
    from = x + 2.0f * u;
  }
  g.DrawLine(&pen, from, y, r, y);
}

void CStructuresList::OnMouseMove(UINT flags, CPoint point) {
  if (!(flags & MK_LBUTTON)) m_dragCandidate = false;
  if (!m_dragCandidate) {
    CSubEditList::OnMouseMove(flags, point);
    return;
  }
  // A press on the icon or title is the start of a drag or a plain click, never a sweep over
  // rows: the list's own handling does not see these moves, so the selection stays the pressed
  // row's and the press lasts until the pointer has gone the drag distance.
  const int dx = std::abs(point.x - m_dragFrom.x), dy = std::abs(point.y - m_dragFrom.y);
  if (std::max(dx, dy) < DragDistance()) return;
  m_dragCandidate = false;
  try {
    RunDrag();
  } catch (CLXException& e) {
    e.Report();
  }
  // The drag took the button's release: the list's press ends here.
  if (m_hWnd) SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
  Invalidate(FALSE);
}

void CStructuresList::OnDestroy() {
  m_dropTarget.Revoke();
  Default();
}
