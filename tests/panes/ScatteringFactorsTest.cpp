// The scattering-factors palette's rules that need no window: cell edits, the row order and the
// graph's title. The palette in the running program is tests/tools/UiScatteringFactorsTest.cpp.
#include "ScatteringFactors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {
using List = CScatteringFactors::CASFList;

CLXASF Record(const wchar_t* symbol) {
  CLXASF record;
  record.SetSymbol(symbol);
  return record;
}
}  // namespace

TEST(ScatteringFactorsList, EditsChangeOnlyWhatScans) {
  const struct {
    int column;
    const wchar_t* typed;
    bool applied;
    const wchar_t* shown;  // null: as the untouched record shows it
  } cases[] = {
      {1, L"FE", true, L"Fe"},         {1, L"Li+1", true, L"Li+1"},     {1, L" 11 B ", true, L"11B"},
      {1, L"   ", false, nullptr},       {2, L"26", true, L"26"},         {2, L"x", false, nullptr},
      {2, L"99999999999", false, nullptr}, {3, L"55.847", true, L"55.847"}, {3, L"heavy", false, nullptr},
      {4, L"1e-3", true, L"0.00100"},  {4, L"nan", false, nullptr},  {12, L"inf", false, nullptr},
      {13, L"-3.739", true, L"-3.7390"}, {14, L"typed \"as is\"", true, L"typed \"as is\""},
  };
  for (const auto& c : cases) {
    CLXASF record;  // silicon
    EXPECT_EQ(List::ApplyEdit(record, c.column, c.typed), c.applied) << c.column << " " << CString(c.typed).ToUtf8();
    const CString shown = c.shown ? CString(c.shown) : List::CellText(CLXASF(), c.column);
    EXPECT_EQ(List::CellText(record, c.column).ToUtf8(), shown.ToUtf8()) << c.column << " " << CString(c.typed).ToUtf8();
  }
  // A note keeps what a stored record can hold.
  CLXASF record;
  ASSERT_TRUE(List::ApplyEdit(record, 14, CString(std::wstring(120, L'n').c_str())));
  EXPECT_EQ(record.m_note.GetLength(), 80);
}

// Whole symbols compare, so the order is strict and the sort gives one answer whatever the input
// order: C before Ca before Cl, and no two different symbols compare equal.
TEST(ScatteringFactorsList, SymbolOrderIsStrict) {
  std::vector<CScatteringFactors::ASFRec> rows;
  for (const wchar_t* s : {L"Cl", L"C", L"Ca", L"Co", L"C"}) rows.push_back({Record(s), 0, nullptr});
  const auto less = [](const auto& a, const auto& b) { return List::CompareRows(1, a, b); };
  EXPECT_TRUE(less(rows[1], rows[2]));   // C < Ca
  EXPECT_FALSE(less(rows[2], rows[1]));
  EXPECT_TRUE(less(rows[2], rows[0]));   // Ca < Cl
  EXPECT_FALSE(less(rows[1], rows[4]));  // C and C are equal
  std::stable_sort(rows.begin(), rows.end(), less);
  std::vector<CString> order;
  for (const auto& r : rows) order.push_back(r.asf.GetSymbol());
  EXPECT_EQ(order, (std::vector<CString>{L"C", L"C", L"Ca", L"Cl", L"Co"}));
}

TEST(ScatteringFactorsGraph, TitleNamesTheSelectedRecords) {
  const auto title = [](std::vector<const wchar_t*> symbols) {
    std::vector<CLXASF> records;
    for (const wchar_t* s : symbols) records.push_back(Record(s));
    return CScatteringFactors::GraphTitle(records).ToUtf8();
  };
  EXPECT_EQ(title({}), "");
  EXPECT_EQ(title({L"Fe"}), "X-ray Atomic Scattering Factor for Fe");
  EXPECT_EQ(title({L"Fe", L"Ni"}), "X-ray Atomic Scattering Factors for Fe and Ni");
  EXPECT_EQ(title({L"Fe", L"Ni", L"Co"}), "X-ray Atomic Scattering Factors for Fe, Ni, and Co");
  EXPECT_EQ(title({L"H", L"He", L"Li", L"Be", L"B", L"C", L"N", L"O", L"F", L"Ne"}),
            "X-ray Atomic Scattering Factors for H, He, Li, Be, B, C, N, O...");
}
