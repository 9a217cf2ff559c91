// The file dialog's memory of folders and file types, and the name check before it closes.
#include "LXFileDialog.h"
#include "WidgetApp.h"

#include "Preferences.h"
#include "TestSupport.h"
#include <QApplication>
#include <QFileDialog>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {
CString W(const std::string& s) { return CString(s.c_str()); }

void EnsureApp() { qlwtest::EnsureWidgetApp("test_windows"); }

// Answers every file dialog shown in its scope, as a user working Qt's dialog would.
class Answer {
 public:
  explicit Answer(std::function<void(QFileDialog*)> answer) {
    EnsureApp();
    qlw::SetCommonDialogAnswer([answer](QDialog* d) { answer(qobject_cast<QFileDialog*>(d)); });
  }
  ~Answer() { qlw::SetCommonDialogAnswer(nullptr); }
};

// The user picks the filter-th type, types name and presses the accept button.
void Type(QFileDialog* f, int filter, const std::string& name) {
  f->selectNameFilter(f->nameFilters().value(filter - 1));
  f->selectFile(QString::fromStdString(name));
  static_cast<QDialog*>(f)->accept();
}

// Puts names into the dialog's buffer as a selection hands them over, and runs the name check.
bool Check(CLXFileDialog& d, const std::vector<std::string>& names) {
  std::wstring buffer;
  if (names.size() == 1) {
    buffer = W(names[0]).GetString();
  } else {
    buffer = W(names[0].substr(0, names[0].rfind('/'))).GetString();
    for (const std::string& n : names) {
      buffer.push_back(L'\0');
      buffer += W(n.substr(n.rfind('/') + 1)).GetString();
    }
  }
  buffer.append(2, L'\0');
  std::copy(buffer.begin(), buffer.end(), d.m_ofn.lpstrFile);
  return d.OnFileNameOK() == 0;
}

class FileDialog : public testing::Test {
 protected:
  void SetUp() override {
    CPreferences::Create(true);
    m_dir = fs::path(qlwtest::ScratchDir()) / "filedialog";
    fs::create_directories(m_dir);
  }
  std::string Touch(const std::string& name) {
    const fs::path p = m_dir / name;
    std::ofstream(p) << "x";
    return p.string();
  }
  fs::path m_dir;
};

}  // namespace

TEST_F(FileDialog, FilterKeyIsTheHashOfTheFieldsWithoutSeparators) {
  uint32_t key = 5381;
  for (wchar_t c : std::wstring(L"A*.aAll Files*.*")) key = key * 33u + static_cast<uint32_t>(c);
  EXPECT_EQ(CLXFileDialog::HashFilter(L"A|*.a|All Files|*.*||"), key);
  EXPECT_EQ(CLXFileDialog::HashFilter(L""), 0u);
  CLXFileDialog dialog(TRUE, L"", L"", 0, L"A|*.a|All Files|*.*||", nullptr);
  EXPECT_EQ(dialog.GetFilterCount(), 2);
  // Qt's filter for "*.*" shows files without an extension too.
  QStringList shown;
  {
    Answer answer([&](QFileDialog* f) {
      shown = f->nameFilters();
      f->reject();
    });
    dialog.DoModal();
  }
  EXPECT_EQ(shown, (QStringList{"A (*.a)", "All Files (*)"}));
}

TEST_F(FileDialog, EachFilterListRemembersItsOwnLastChoice) {
  const CString first = L"A|*.a|B|*.b|C|*.c||", other = L"X|*.x|Y|*.y||";
  const std::string saved = (m_dir / "kept.c").string();
  int seenIndex = -1;
  {
    Answer answer([&](QFileDialog* f) {
      seenIndex = static_cast<int>(f->nameFilters().indexOf(f->selectedNameFilter())) + 1;
      Type(f, 3, saved);
    });
    CLXFileDialog dialog(FALSE, L"", L"", 0, first, nullptr);
    EXPECT_EQ(dialog.DoModal(), IDOK);
  }
  EXPECT_EQ(seenIndex, 1) << "a list seen for the first time opens on its first filter";
  EXPECT_EQ(CLXFileDialog::GetLastFilterIndex(first), 3u);
  EXPECT_EQ(CLXFileDialog::GetLastFilterIndex(other), 0u);
  EXPECT_EQ(CString(g_pStore->m_LastVisitedFolder.Get().m_strPath), W(m_dir.string()));

  // Cancel changes neither value.
  g_pStore->m_LastVisitedFolder.Set(CPath(L"/"));
  {
    Answer answer([&](QFileDialog* f) {
      seenIndex = static_cast<int>(f->nameFilters().indexOf(f->selectedNameFilter())) + 1;
      f->selectNameFilter(f->nameFilters().value(1));
      f->reject();
    });
    CLXFileDialog dialog(FALSE, L"", L"", 0, first, nullptr);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  }
  EXPECT_EQ(seenIndex, 3);
  EXPECT_EQ(CLXFileDialog::GetLastFilterIndex(first), 3u);
  EXPECT_EQ(CString(g_pStore->m_LastVisitedFolder.Get().m_strPath), CString(L"/"));

  // A remembered folder that is gone gives way to the documents folder.
  g_pStore->m_LastVisitedFolder.Set(CPath(L"/no/such/folder"));
  CLXFileDialog dialog(TRUE, L"", L"", 0, other, nullptr);
  EXPECT_NE(CString(g_pStore->m_LastVisitedFolder.Get().m_strPath), CString(L"/no/such/folder"));
}

TEST_F(FileDialog, NamesAreCheckedBeforeTheDialogCloses) {
  const CString openFilter = L"Data (*.cif;*.txt)|*.cif;*.txt|All Files|*.*||";
  const std::string base = (m_dir / "data").string();
  fs::remove(base + ".cif");
  fs::remove(base + ".txt");
  const struct {
    BOOL open;
    CString filter;
    std::string typed, touch, accepted, message;
  } cases[] = {
      {TRUE, openFilter, base, "", "", "Unable to locate file."},
      {TRUE, openFilter, base, "data.txt", base + ".txt", ""},
      {TRUE, openFilter, base, "data.cif", base + ".cif", ""},  // .cif comes first in the pattern
      {FALSE, L"A (*.a)|*.a||", (m_dir / "pattern").string(), "", "", "Files must have extensions."},
      {FALSE, L"A (*.a)|*.a||", (m_dir / "pattern.xyz").string(), "", "", "Unrecognised or missing file extension."},
      {FALSE, L"A (*.a)|*.a|All Files|*.*||", (m_dir / "pattern.xyz").string(), "", (m_dir / "pattern.xyz").string(), ""},
  };
  for (const auto& c : cases) {
    if (!c.touch.empty()) Touch(c.touch);
    CLXFileDialog dialog(c.open, L"", L"", 0, c.filter, nullptr);
    dialog.SetFilterIndex(1);
    testing::internal::CaptureStderr();
    const bool accepted = Check(dialog, {c.typed});
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(accepted, !c.accepted.empty()) << c.typed;
    if (accepted) {
      EXPECT_EQ(dialog.GetPathName(), W(c.accepted)) << c.typed;
    }
    if (!c.message.empty()) {
      EXPECT_NE(err.find(c.message), std::string::npos) << c.typed << ": " << err;
    }
  }

  // Several names: one missing keeps the dialog open.
  CLXFileDialog multi(TRUE, L"", L"", OFN_ALLOWMULTISELECT, openFilter, nullptr);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Check(multi, {Touch("one.cif"), (m_dir / "missing.cif").string()}));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("At least one of the selected files"), std::string::npos);
  EXPECT_TRUE(Check(multi, {Touch("one.cif"), Touch("two.cif")}));
}

TEST_F(FileDialog, ExportNamesHoldNoCharacterAFileNameCannot) {
  EXPECT_EQ(CLXFileDialog::MakeExportFileName(L"Quartz: 2θ/scan?", L" Image"), CString(L"Quartz- 2θ&scan! Image"));
  EXPECT_EQ(CLXFileDialog::MakeExportFileName(L"quartz.cif", L""), CString(L"quartz"));
  EXPECT_EQ(CLXFileDialog::MakeExportFileName(L"", L" Image"), CString(L"Untitled Image"));
  CLXFileDialog proposing(FALSE, L"", L"Quartz 2θ/scan", 0, L"A|*.a||", nullptr);
  EXPECT_EQ(proposing.GetFileName(), CString(L"Quartz 2θ&scan")) << "a proposed name holds no folder";
  CString filter;
  EXPECT_TRUE(CLXFileDialog::GetFilterFromName(L"Text File (*.txt)", filter));
  EXPECT_EQ(filter, CString(L"Text File (*.txt)|*.txt|"));
}

TEST_F(FileDialog, ExportDialogIsBuiltFromTheFileType) {
  const std::string chosen = (m_dir / "plot.jpg").string();
  QStringList seenFilters;
  QString seenTitle, seenName, seenExtension;
  Answer answer([&](QFileDialog* f) {
    seenFilters = f->nameFilters();
    seenTitle = f->windowTitle();
    seenName = f->selectedFiles().value(0);
    seenExtension = f->defaultSuffix();
    Type(f, 2, chosen);
  });
  UINT type = 54;
  CString path;
  EXPECT_TRUE(CLXFileDialog::PromptExportFile(nullptr, L"Quartz: 2θ/scan?", L"", L"", true, &type, &path));
  EXPECT_EQ(seenFilters, (QStringList{"PNG (*.png)", "All Files (*)"}));
  EXPECT_EQ(seenTitle, "Export to Image file:");
  EXPECT_TRUE(seenName.endsWith(QString::fromUtf8("/Quartz- 2θ&scan! Image.png"))) << seenName.toStdString();
  EXPECT_EQ(seenExtension, "png");
  EXPECT_EQ(path, W(chosen));
  EXPECT_EQ(type, 50u) << "the chosen name's extension names the type written";

  // Any picture type: one filter per encoder of the drawing layer, found without regard to case.
  type = 49;
  EXPECT_TRUE(CLXFileDialog::PromptExportFile(nullptr, L"plot", L"", L"", false, &type, &path));
  EXPECT_TRUE(seenFilters.join(' ').contains("*.png")) << seenFilters.join(' ').toStdString();
  EXPECT_FALSE(seenFilters.join(' ').contains("All Files"));
}
