// The scattering-factors palette's list: fourteen columns of the records, their edits and sorting.
#include "ScatteringFactors.h"

#include "ASFTableFile.h"
#include "NumberLocale.h"

#include <algorithm>
#include <cmath>
#include <cwchar>



namespace {
// Column widths in average characters; the notes column takes what is left.
constexpr int kCharWidth = 7;
const CSubEditList::ColumnSpec kColumns[CScatteringFactors::kColumnCount] = {
    {LVCFMT_LEFT, 10 * kCharWidth, 0, 40, -1, 3614, CSubEditList::kKindText},
    {LVCFMT_RIGHT, 6 * kCharWidth, 0, 30, -1, 3616, CSubEditList::kKindText},
    {LVCFMT_RIGHT, 8 * kCharWidth, 0, 40, -1, 3615, CSubEditList::kKindText},
    {LVCFMT_RIGHT, 10 * kCharWidth, 0, 40, -1, 3604, CSubEditList::kKindText},
    {LVCFMT_RIGHT, 10 * kCharWidth, 0, 40, -1, 3605, CSubEditList::kKindText},
    {LVCFMT_RIGHT, 10 * kCharWidth, 0, 40, -1, 3606, CSubEditList::kKindText},
    {LVCFMT_RIGHT, 10 * kCharWidth, 0, 40, -1, 3607, CSubEditList::kKindText},
    {LVCFMT_RIGHT, 10 * kCharWidth, 0, 40, -1, 3608, CSubEditList::kKindText},
    {LVCFMT_RIGHT, 10 * kCharWidth, 0, 40, -1, 3609, CSubEditList::kKindText},
    {LVCFMT_RIGHT, 10 * kCharWidth, 0, 40, -1, 3610, CSubEditList::kKindText},
    {LVCFMT_RIGHT, 10 * kCharWidth, 0, 40, -1, 3611, CSubEditList::kKindText},
    {LVCFMT_RIGHT, 10 * kCharWidth, 0, 40, -1, 3612, CSubEditList::kKindText},
    {LVCFMT_RIGHT, 10 * kCharWidth, 0, 40, -1, 3603, CSubEditList::kKindText},
    {LVCFMT_LEFT, 20 * kCharWidth, 0, 60, -1, 3613, CSubEditList::kKindText},
};

// The number of a column as a record holds it: 3 the weight, 4-12 the coefficients, 13 b.
double* NumberOf(CLXASF& record, int column) {
  if (column == 3) return &record.m_weight;
  if (column >= 4 && column <= 12) return &record.m_coefficients[column - 4];
  if (column == 13) return &record.m_neutronLength;
  return nullptr;
}

double NumberOf(const CLXASF& record, int column) {
  return *NumberOf(const_cast<CLXASF&>(record), column);
}
}  // namespace

CScatteringFactors* CScatteringFactors::CASFList::GetPalette() const {
  return dynamic_cast<CScatteringFactors*>(GetOwnerWindow());
}

bool CScatteringFactors::CASFList::IsCellEditable(int row, int column) {
  return row >= 0 && row < GetItemCount() && column >= 1 && column <= kColumnCount;
}

bool CScatteringFactors::CASFList::GetColumnSpecs(const ColumnSpec*& specs, bool& stretch, int& stretchColumn) {
  specs = kColumns;
  stretch = true;
  stretchColumn = kColumnCount;
  return true;
}

CString CScatteringFactors::CASFList::CellText(const CLXASF& record, int column) {
  CString text;
  switch (column) {
    case 1: text = record.GetSymbol(); break;
    case 2: text.Format(L"%d", record.m_Z); break;
    case 3: text.Format(L"%.3f", record.m_weight); break;
    case 13: text.Format(L"%.4f", record.m_neutronLength); break;
    case 14: text = record.m_note; break;
    default:
      if (column >= 4 && column <= 12) text.Format(L"%.5f", record.m_coefficients[column - 4]);
      break;
  }
  return text;
}

bool CScatteringFactors::CASFList::ApplyEdit(CLXASF& record, int column, const CString& text) {
  switch (column) {
    case 1: {
      const CString symbol = NormalizeASFSymbol(text);
      // A symbol of nothing but blanks would leave a record that no file line can name.
      if (symbol.IsEmpty()) return false;
      record.SetSymbol(symbol);
      return true;
    }
    case 2: {
      wchar_t* end = nullptr;
      const long long value = std::wcstoll(text.GetString(), &end, 10);
      if (end == text.GetString() || value < INT32_MIN || value > INT32_MAX) return false;
      record.m_Z = static_cast<int32_t>(value);
      return true;
    }
    case 14:
      record.m_note = CapASFNote(text);
      return true;
    default: {
      double* number = NumberOf(record, column);
      if (!number) return false;
      wchar_t* end = nullptr;
      const double value = qlw::StringToDouble(text.GetString(), &end);
      // Text that does not scan, and values that no table file can hold, leave the number as it was.
      if (end == text.GetString() || !std::isfinite(value)) return false;
      *number = value;
      return true;
    }
  }
}

void CScatteringFactors::CASFList::AccessCellText(int row, int column, bool set, CString& text) {
  CScatteringFactors* palette = GetPalette();
  if (!palette || row < 0 || row >= static_cast<int>(palette->m_rows.size())) {
    if (!set) text.Empty();
    return;
  }
  CLXASF& record = palette->m_rows[static_cast<size_t>(row)].asf;
  if (!set) {
    text = CellText(record, column);
    return;
  }
  if (!ApplyEdit(record, column, text)) return;
  palette->MarkTableModified();
  palette->UpdateControls(false);
}

bool CScatteringFactors::CASFList::CompareRows(int column, const ASFRec& a, const ASFRec& b) {
  const CLXASF& x = a.asf;
  const CLXASF& y = b.asf;
  switch (column) {
    case 1: return std::wcscmp(x.GetSymbol(), y.GetSymbol()) < 0;
    case 2: return x.m_Z < y.m_Z;
    case 14: return x.m_note.Compare(y.m_note) < 0;
    default:
      if (column >= 3 && column <= 13) return NumberOf(x, column) < NumberOf(y, column);
      return false;
  }
}

void CScatteringFactors::CASFList::SortBy(int column, bool ascending) {
  CScatteringFactors* palette = GetPalette();
  if (!palette) return;
  CSubEditList::SortBy(column, ascending);
  const int key = GetSortColumn();
  const ColumnRecord* record = GetColumnRecord(key);
  const bool up = !record || record->ascending;
  SortKeepingSelection(palette->m_rows,
                       [key, up](const ASFRec& a, const ASFRec& b) { return up ? CompareRows(key, a, b) : CompareRows(key, b, a); });
  Invalidate(FALSE);
}
