// The scattering-factors palette's rules that need no window: cell edits, the row order and the
// graph's title. The palette in the running program is tests/tools/UiScatteringFactorsTest.cpp.
#include "ScatteringFactors.h"

#include "ASFTableFile.h"
#include "CommonDialogs.h"
#include "Preferences.h"
#include "TestSupport.h"
#include "WidgetApp.h"

#include <QFileDialog>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <cmath>
#include <string>
#include <functional>
#include <vector>

namespace {
using List = CScatteringFactors::CASFList;

CLXASF Record(const wchar_t* symbol) {
  CLXASF record;
  record.SetSymbol(symbol);
  return record;
}

// Runs the palette's command with its file dialog answered by the path.
void WithFileChosen(const std::string& chosen, const std::function<void()>& command) {
  static std::string path;
  path = chosen;
  qlw::SetCommonDialogAnswer([](QDialog* dialog) {
    auto* files = qobject_cast<QFileDialog*>(dialog);
    ASSERT_NE(files, nullptr);
    files->selectFile(QString::fromStdString(path));
    static_cast<QDialog*>(files)->accept();
  });
  command();
  qlw::SetCommonDialogAnswer(nullptr);
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

// The graph steps each exponential on from the one before: every record of the table, sampled as
// a graph 1200 pixels wide (and from a range that does not start at 0), matches the formula.
TEST(ScatteringFactorsGraph, SamplesMatchTheFormFactor) {
  for (const double x0 : {0.0, 0.37}) {
    const int n = 1200;
    const double h = (4.0 - x0) / n;
    std::vector<double> f(n);
    for (const CLXASF& record : g_ElementTable) {
      CScatteringFactors::SampleFormFactor(record, x0, h, n, f.data());
      for (int k = 0; k < n; ++k) {
        const double s = (x0 + k * h) / 2;
        const double expected = record.XRayFormFactor(s * s);
        ASSERT_NEAR(f[k], expected, 1e-10 * std::max(1.0, std::fabs(expected)))
            << CString(record.GetSymbol()).ToUtf8() << " at sample " << k;
      }
    }
  }
}

// Rows edited but not stored survive a refresh; loading the stored table is no edit; storing a
// changed table writes "ASF" to the registry at once, so that the next start reads it.
TEST(ScatteringFactorsPalette, RefreshKeepsUnstoredRowsAndStoringWritesTheTable) {
  qlwtest::EnsureWidgetApp("test_panes");
  std::unique_ptr<CPreferences> prefs(CPreferences::Create(false));
  CScatteringFactors* palette = CScatteringFactors::OpenPalette(2);
  ASSERT_NE(palette, nullptr);
  EXPECT_FALSE(palette->IsTableModified()) << "the stored table was loaded";
  EXPECT_EQ(palette->GetRows().size(), g_ElementTable.size());

  const std::vector<CLXASF> two{CLXASF(), Record(L"xx")};
  palette->LoadList(&two);
  EXPECT_TRUE(palette->IsTableModified());
  palette->RefreshControls();
  EXPECT_EQ(palette->GetRows().size(), 2u) << "a refresh threw the user's rows away";

  palette->StoreToPreferences();
  EXPECT_FALSE(palette->IsTableModified());
  // What the registry holds, read back in place of the table in memory.
  std::vector<CLXASF> none;
  prefs->m_ASF.Swap(none);
  EXPECT_EQ(prefs->m_ASF.Read(), CPrefValue::kReadOK);
  ASSERT_EQ(prefs->m_ASF.Count(), 2u);
  EXPECT_STREQ(prefs->m_ASF.At(1)->GetSymbol(), L"xx");
  palette->DestroyWindow();
  EXPECT_EQ(CScatteringFactors::GetPalette(), nullptr);
}

// Export writes the table as stored in the preferences, not rows the list holds unstored.
TEST(ScatteringFactorsPalette, ExportWritesTheStoredTable) {
  qlwtest::EnsureWidgetApp("test_panes");
  std::unique_ptr<CPreferences> prefs(CPreferences::Create(false));
  CScatteringFactors* palette = CScatteringFactors::OpenPalette(2);
  ASSERT_NE(palette, nullptr);
  const size_t stored = prefs->m_ASF.Count();
  // Rows of another count than the stored table's, not yet stored.
  const std::vector<CLXASF> rows(stored + 1, Record(L"xx"));
  palette->LoadList(&rows);
  ASSERT_TRUE(palette->IsTableModified());

  const std::string path = qlwtest::ScratchDir() + "/stored-asf.txt";
  WithFileChosen(path, [palette] { palette->OnExport(); });
  std::vector<CLXASF> written;
  ASSERT_TRUE(ReadASFFile(CString(path.c_str()).GetString(), written));
  ASSERT_GT(stored, 0u);
  EXPECT_EQ(written.size(), stored);
  palette->DestroyWindow();
}

// Imported rows arrive unselected, so the graph draws none of them until one is picked.
TEST(ScatteringFactorsPalette, ImportedRowsArriveUnselected) {
  qlwtest::EnsureWidgetApp("test_panes");
  std::unique_ptr<CPreferences> prefs(CPreferences::Create(false));
  CScatteringFactors* palette = CScatteringFactors::OpenPalette(1);
  ASSERT_NE(palette, nullptr);
  const std::string path = qlwtest::ScratchDir() + "/imported-asf.txt";
  WriteASFFile(CString(path.c_str()).GetString(), std::vector<CLXASF>(g_ElementTable.begin(), g_ElementTable.begin() + 3));
  palette->SelectOnly(1);
  ASSERT_EQ(palette->GetSelectedCount(), 1);
  WithFileChosen(path, [palette] { palette->OnImport(); });
  ASSERT_EQ(palette->GetRows().size(), 3u);
  EXPECT_EQ(palette->GetSelectedCount(), 0);
  EXPECT_TRUE(palette->CollectSelected().empty());
  palette->DestroyWindow();
}
