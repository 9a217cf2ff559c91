// File, colour and font dialogs of the class library, answered through Qt's own dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>

#include <filesystem>
#include <fstream>
#include <vector>

#include "CommonDialogs.h"
#include "WidgetApp.h"
#include "TestSupport.h"
#include "WndQt.h"

namespace {
void EnsureApp() { qlwtest::EnsureWidgetApp("test_classlib"); }

std::filesystem::path Folder() {
  const auto dir = std::filesystem::path(qlwtest::ScratchDir()) / "dialogs";
  std::filesystem::create_directories(dir);
  return dir;
}

struct Answer {
  explicit Answer(qlw::CommonDialogAnswer a) { qlw::SetCommonDialogAnswer(std::move(a)); }
  ~Answer() { qlw::SetCommonDialogAnswer(nullptr); }
};

// Refuses names without an extension, as the framework's dialog does, and counts the checks.
class CheckingDialog : public CFileDialog {
 public:
  using CFileDialog::CFileDialog;
  int checks = 0;
  BOOL OnFileNameOK() override {
    ++checks;
    return GetFileExt().IsEmpty();
  }
};
}  // namespace

TEST(CommonDialogs, SaveDialogReportsPathAndFilterAndAsksTheNameCheckFirst) {
  EnsureApp();
  const std::wstring folder = Folder().wstring();
  CheckingDialog dialog(FALSE, nullptr, nullptr, OFN_OVERWRITEPROMPT, L"Text File (*.txt)|*.txt|CIF (*.cif)|*.cif||");
  dialog.m_ofn.lpstrInitialDir = folder.c_str();
  bool stayedOpen = false;
  Answer answer([&](QDialog* d) {
    auto* f = qobject_cast<QFileDialog*>(d);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->nameFilters(), (QStringList{"Text File (*.txt)", "CIF (*.cif)"}));
    f->selectNameFilter("CIF (*.cif)");
    f->selectFile(QString::fromStdWString(folder + L"/rutile"));
    d->accept();
    stayedOpen = d->isVisible();
    f->selectFile(QString::fromStdWString(folder + L"/rutile.cif"));
    d->accept();
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(dialog.checks, 2);
  EXPECT_EQ(dialog.GetPathName().Str(), folder + L"/rutile.cif");
  EXPECT_EQ(dialog.GetFileTitle().Str(), L"rutile");
  EXPECT_EQ(dialog.GetFolderPath().Str(), folder);
  EXPECT_EQ(dialog.m_ofn.nFilterIndex, 2u);
}

// Qt's dialog takes quoted full paths typed in its name field, from several folders at once.
TEST(CommonDialogs, OpenDialogHandsOverAMultipleSelection) {
  EnsureApp();
  const auto folder = Folder();
  std::filesystem::create_directories(folder / "sub" / "deeper");
  std::filesystem::create_directories(folder / "other");
  for (const char* n : {"a.txt", "b.txt", "sub/c.txt", "sub/deeper/d.txt", "other/e.txt"}) std::ofstream(folder / n) << "x";
  const auto full = [&](const char* n) { return (folder / n).string(); };
  const struct {
    std::string typed;
    std::vector<std::string> expected;
  } cases[] = {
      {"\"a.txt\" \"b.txt\"", {full("a.txt"), full("b.txt")}},
      {"\"" + full("a.txt") + "\" \"" + full("sub/c.txt") + "\" \"" + full("b.txt") + "\"",
       {full("a.txt"), full("sub/c.txt"), full("b.txt")}},
      {"\"" + full("sub/deeper/d.txt") + "\" \"" + full("other/e.txt") + "\"",
       {full("sub/deeper/d.txt"), full("other/e.txt")}},
  };
  for (const auto& c : cases) {
    CFileDialog dialog(TRUE, nullptr, nullptr, OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST, L"Text (*.txt)|*.txt||");
    Answer answer([&](QDialog* d) {
      auto* f = qobject_cast<QFileDialog*>(d);
      f->setDirectory(QString::fromStdString(folder.string()));
      f->selectFile(QString::fromStdString(c.typed));
      d->accept();
    });
    ASSERT_EQ(dialog.DoModal(), IDOK) << c.typed;
    std::vector<std::string> names;
    for (POSITION p = dialog.GetStartPosition(); p;) names.push_back(std::filesystem::path(dialog.GetNextPathName(p).Str()).string());
    EXPECT_EQ(names, c.expected) << c.typed;
  }
}

TEST(CommonDialogs, CancelledDialogsChangeNothing) {
  EnsureApp();
  Answer answer([](QDialog*) {});
  CColorDialog colour(RGB(10, 20, 30));
  EXPECT_EQ(colour.DoModal(), IDCANCEL);
  EXPECT_EQ(colour.GetColor(), RGB(10, 20, 30));
  CFileDialog file(TRUE);
  EXPECT_EQ(file.DoModal(), IDCANCEL);
  EXPECT_TRUE(file.GetPathName().IsEmpty());
}

TEST(CommonDialogs, ColourAndFontDialogsReturnTheChoice) {
  EnsureApp();
  {
    Answer answer([](QDialog* d) {
      auto* c = qobject_cast<QColorDialog*>(d);
      EXPECT_EQ(c->currentColor(), QColor(10, 20, 30));
      c->setCurrentColor(QColor(200, 100, 50));
      c->accept();
    });
    CColorDialog colour(RGB(10, 20, 30), CC_ANYCOLOR);
    ASSERT_EQ(colour.DoModal(), IDOK);
    EXPECT_EQ(colour.GetColor(), RGB(200, 100, 50));
  }
  {
    Answer answer([](QDialog* d) {
      QFont f("DejaVu Sans");
      f.setPointSize(12);
      f.setBold(true);
      f.setItalic(true);
      qobject_cast<QFontDialog*>(d)->setCurrentFont(f);
      d->accept();
    });
    CFontDialog font;
    ASSERT_EQ(font.DoModal(), IDOK);
    LOGFONTW lf{};
    font.GetCurrentFont(&lf);
    EXPECT_EQ(lf.lfHeight, -16);  // 12 points at 96 DPI
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_TRUE(font.IsItalic());
    EXPECT_EQ(font.GetSize(), 120);
    EXPECT_FALSE(font.GetFaceName().IsEmpty());
  }
}

// A closed dialog gives the activation back to the window it was opened from, whatever the
// platform activates next: with no active window the program would count as left.
TEST(CommonDialogs, ClosingGivesTheActivationBackToTheOwner) {
  EnsureApp();
  CWnd owner;
  ASSERT_TRUE(owner.CreateEx(0, nullptr, L"Owner", WS_OVERLAPPEDWINDOW, CRect(0, 0, 200, 100), nullptr, 0));
  owner.ShowWindow(SW_SHOW);
  owner.SetActiveWindow();
  QApplication::processEvents();
  ASSERT_EQ(QApplication::activeWindow(), qlw::WidgetOf(owner.m_hWnd));
  Answer answer([](QDialog* d) { d->reject(); });
  CFileDialog file(TRUE, nullptr, nullptr, 0, nullptr, &owner);
  CColorDialog colour(RGB(10, 20, 30), 0, &owner);
  CFontDialog font(nullptr, CF_SCREENFONTS, nullptr, &owner);
  const std::vector<std::pair<const char*, CDialog*>> dialogs{{"file", &file}, {"colour", &colour}, {"font", &font}};
  for (const auto& [name, dialog] : dialogs) {
    EXPECT_EQ(dialog->DoModal(), IDCANCEL) << name;
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), qlw::WidgetOf(owner.m_hWnd)) << name;
    EXPECT_EQ(::GetActiveWindow(), owner.m_hWnd) << name;
    EXPECT_EQ(QGuiApplication::applicationState(), Qt::ApplicationActive) << name;
  }
  owner.DestroyWindow();
}
