// The structures list's drop of patterns dragged from another process: what a foreign block brings
// into the window and what it leaves out.
#include <gtest/gtest.h>

#include <QApplication>

#include <algorithm>
#include <string>
#include <vector>

#include "MainWindowFixture.h"
#include "QLCIFFile.h"
#include "QLCrystal.h"
#include "QLPatternFlat.h"
#include "StructuresDrop.h"
#include "StructuresList.h"
#include "StructuresPane.h"

#include <unistd.h>

using qlwtest::AlertRecorder;
using qlwtest::MainWindowFixture;

namespace {
CQLPatternPtr ReadExample(const char* name) {
  CQLCIFFile file;
  const CString path((std::string(QLW_SOURCE_DIR) + "/examples/" + name).c_str());
  if (!file.Open(path.GetString(), CLXFile::modeRead | CLXFile::shareDenyWrite)) return nullptr;
  CQLPatternList list;
  return file.ReadFile(&list, nullptr, nullptr) && list.size() == 1 ? list.front() : nullptr;
}

std::vector<std::string> Titles(const CQLPatternList& list) {
  std::vector<std::string> titles;
  for (const CQLPatternPtr& p : list) titles.push_back(p->m_title.ToUtf8());
  std::sort(titles.begin(), titles.end());
  return titles;
}
}  // namespace

// A rutile block whose gamma was set to 0.5° in the block, dropped from another window on one
// showing anatase, was added and drawn: the list's drop did not pass the cell check.
TEST(StructuresDrop, AForeignCrystalWithACellNoEditorTakesIsLeftOutByName) {
  MainWindowFixture m((std::string(QLW_SOURCE_DIR) + "/examples/anatase-TiO2.cif").c_str());
  ASSERT_NE(m.wnd, nullptr);
  auto* pane = dynamic_cast<CStructuresPane*>(m.wnd->GetPatternsPane());
  ASSERT_NE(pane, nullptr);
  const std::vector<std::string> before = Titles(m.doc->GetPatterns());

  const CQLPatternPtr odd = ReadExample("rutile.cif"), kept = ReadExample("rutile.cif");
  ASSERT_NE(odd, nullptr);
  ASSERT_NE(kept, nullptr);
  odd->m_title = L"odd rutile";
  odd->GetCrystal()->m_gamma = 0.5;
  kept->m_title = L"rutile";
  CLXDropData data;
  const auto foreignProcess = static_cast<std::uint32_t>(::getpid()) + 1;
  data.SetFormat(kPatternListMime, FlattenPatternList({odd, kept}, foreignProcess, 0));

  AlertRecorder alerts;
  CStructuresList& list = pane->GetList();
  CStructListDrop& drop = list.GetDropTarget();
  const CPoint point(20, 20);
  ASSERT_NE(drop.OnDragEnter(&list, &data, 0, point), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_TRUE(drop.OnDrop(&list, &data, DROPEFFECT_COPY, point));
  QApplication::processEvents();

  std::vector<std::string> expected = before;
  expected.push_back("rutile");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Titles(m.doc->GetPatterns()), expected);
  EXPECT_EQ(std::count(alerts.Messages().begin(), alerts.Messages().end(),
                       std::string("The unit cell of odd rutile is out of range.")),
            1)
      << ::testing::PrintToString(alerts.Messages());
}
