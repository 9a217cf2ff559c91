// The structures list's drop of patterns dragged from another process: what a foreign block brings
// into the window and what it leaves out.
#include <gtest/gtest.h>

#include <QApplication>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "MainWindowFixture.h"
#include "FileTypes.h"
#include "QLCrystal.h"
#include "QLPatternFlat.h"
#include "StructuresDrop.h"
#include "StructuresList.h"
#include "StructuresPane.h"
#include "TestSupport.h"

#include <unistd.h>

using qlwtest::AlertRecorder;
using qlwtest::MainWindowFixture;

namespace {
CQLPatternPtr ReadExample(const char* name) {
  const CString path((std::string(QLW_SOURCE_DIR) + "/examples/" + name).c_str());
  std::unique_ptr<CQlwFile> file(CreateFileForType(IdentifyFileType(path.GetString(), true)));
  if (!file || !file->Open(path.GetString(), CLXFile::modeRead | CLXFile::shareDenyWrite)) return nullptr;
  CQLPatternList list;
  return file->ReadFile(&list, nullptr, nullptr) && list.size() == 1 ? list.front() : nullptr;
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

// Files dropped on the list: a CIF whose cell no editor takes was added (and a session saved with
// it did not open again); a saved drag block was added as an observed pattern of junk points.
TEST(StructuresDrop, DroppedFilesThatHoldNoPatternAddNothingAndSaySo) {
  MainWindowFixture m((std::string(QLW_SOURCE_DIR) + "/examples/anatase-TiO2.cif").c_str());
  ASSERT_NE(m.wnd, nullptr);
  auto* pane = dynamic_cast<CStructuresPane*>(m.wnd->GetPatternsPane());
  ASSERT_NE(pane, nullptr);
  const std::string oddCif = qlwtest::ScratchDir() + "/odd.cif";
  std::ofstream(oddCif) << "data_odd\n_cell_length_a 4.59\n_cell_length_b 15000\n_cell_length_c 2.96\n"
                           "_symmetry_space_group_name_H-M 'P 1'\n"
                           "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
                           "Ti1 0 0 0\n";
  // A measured pattern dragged out of a window and kept as a file; the bytes of its first 2θ read
  // "\n1 2\n", a line of two numbers, as a block's doubles may hold by chance.
  const CQLPatternPtr measured = ReadExample("rutile-anatase-measured.dat");
  ASSERT_NE(measured, nullptr);
  ASSERT_FALSE(measured->GetProfile(true).empty());
  measured->GetProfile(true).front().x = 0x1.4000a3220310ap+3;
  const std::vector<std::uint8_t> block = FlattenPatternList({measured}, static_cast<std::uint32_t>(::getpid()), 0);
  const std::string savedBlock = qlwtest::ScratchDir() + "/dragged.dat";
  std::ofstream(savedBlock, std::ios::binary).write(reinterpret_cast<const char*>(block.data()), block.size());

  const struct {
    std::string path;
    std::string alert;
  } cases[] = {
      {oddCif, "The unit cell of odd is out of range."},
      {savedBlock, "No pattern could be made from some files."},
  };
  CStructuresList& list = pane->GetList();
  CStructListDrop& drop = list.GetDropTarget();
  for (const auto& c : cases) {
    const std::vector<std::string> before = Titles(m.doc->GetPatterns());
    AlertRecorder alerts;
    CLXDropData data(std::vector<CString>{CString(c.path.c_str())});
    const CPoint point(20, 20);
    drop.OnDragEnter(&list, &data, 0, point);
    EXPECT_FALSE(drop.OnDrop(&list, &data, DROPEFFECT_COPY, point)) << c.path;
    QApplication::processEvents();
    EXPECT_EQ(Titles(m.doc->GetPatterns()), before) << c.path;
    EXPECT_EQ(alerts.Messages(), std::vector<std::string>{c.alert}) << c.path;
  }
}
