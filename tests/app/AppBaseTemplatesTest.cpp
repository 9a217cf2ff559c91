// The application base over the document templates: the file type of a template, the file dialog
// of OpenFilesDialog, redrawing every view, and the help folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <memory>

#include "CommonDialogs.h"
#include "DocTestSupport.h"
#include "LXApp.h"
#include "LXDocTemplate.h"
#include "LXFileDialog.h"
#include "QlwDocTypes.h"
#include "TestSupport.h"
#include "WidgetApp.h"

namespace fs = std::filesystem;

namespace {
// An application with one framework template per document-type row.
class TemplateApp : public CLXApp {
 public:
  TemplateApp() {
    LXDocTypes::SetTable(g_DocTypeTable);
    for (const CLXDocTypeRow& row : g_DocTypeTable)
      templates.push_back(std::make_unique<CLXDocTemplate>(row.stringId, RUNTIME_CLASS(CQlwDoc), nullptr, nullptr));
  }
  CDocTemplate* GetTemplateForFileType(uint32_t fileType) override {
    const CLXDocTypeRow* row = FindTemplateForFileType(fileType);
    for (const auto& t : templates)
      if (row && t->m_nIDResource == row->stringId) return t.get();
    return nullptr;
  }
  std::vector<std::unique_ptr<CLXDocTemplate>> templates;
};

class PlainTemplate : public CSingleDocTemplate {
 public:
  using CSingleDocTemplate::CSingleDocTemplate;
};

// Answers the next file dialogs as a user who chooses `chosen` (cancels when empty), noting what
// the dialog offered.
class DialogAnswer {
 public:
  explicit DialogAnswer(QStringList chosen) {
    qlwtest::EnsureWidgetApp("test_app");
    qlw::SetCommonDialogAnswer([this, chosen](QDialog* d) {
      auto* f = qobject_cast<QFileDialog*>(d);
      filters = f->nameFilters();
      selected = f->selectedNameFilter();
      severalAllowed = f->fileMode() == QFileDialog::ExistingFiles;
      if (chosen.isEmpty()) return;
      QString names;
      for (const QString& c : chosen) names += "\"" + QFileInfo(c).fileName() + "\" ";
      f->setDirectory(QFileInfo(chosen.front()).absolutePath());
      f->selectFile(names.trimmed());
      static_cast<QDialog*>(f)->accept();
    });
  }
  ~DialogAnswer() { qlw::SetCommonDialogAnswer(nullptr); }
  QStringList filters;
  QString selected;
  bool severalAllowed = false;
};
}  // namespace

TEST(AppBaseTemplates, ATemplateGivesTheFileTypeOfItsRow) {
  TemplateApp app;
  for (const CLXDocTypeRow& row : g_DocTypeTable)
    EXPECT_EQ(app.GetTemplateFileType(app.GetTemplateForFileType(row.fileType)), row.fileType) << row.stringId;
  EXPECT_EQ(app.GetTemplateFileType(app.GetTemplateForFileType(6)), 1u) << "the old code reads as its successor";
  CLXDocTemplate unlisted(999, RUNTIME_CLASS(CQlwDoc), nullptr, nullptr);
  PlainTemplate notOurs(1030, RUNTIME_CLASS(CQlwDoc), nullptr, nullptr);
  EXPECT_EQ(app.GetTemplateFileType(&unlisted), 0u);
  EXPECT_EQ(app.GetTemplateFileType(&notOurs), 0u) << "no framework template";
  EXPECT_EQ(app.GetTemplateFileType(nullptr), 0u);
}

TEST(AppBaseTemplates, TheOpenDialogOffersTheTypesAskedAndAppendsTheChoice) {
  TemplateApp app;
  const fs::path dir = fs::path(qlwtest::ScratchDir()) / "opendialog";
  fs::create_directories(dir);
  for (const char* name : {"a.cif", "b.cif"}) fs::copy_file(doctest::RutilePath(), dir / name, fs::copy_options::overwrite_existing);
  std::vector<CString> paths = {L"/earlier.cif"};

  CLXApp::SetOpenFilesPrompt(nullptr);
  EXPECT_FALSE(app.OpenFilesDialog({10, 22}, paths, 22, false, false)) << "no dialog without the windows";
  CLXFileDialog::InstallForApplication();
  {
    DialogAnswer answer({QString::fromStdString((dir / "a.cif").string()), QString::fromStdString((dir / "b.cif").string())});
    ASSERT_TRUE(app.OpenFilesDialog({10, 22}, paths, 22, false, false));
    ASSERT_EQ(answer.filters.size(), 2) << answer.filters.join(" / ").toStdString();
    EXPECT_TRUE(answer.filters[0].contains("*.diffract")) << answer.filters.join(" / ").toStdString();
    EXPECT_TRUE(answer.filters[1].contains("*.cif")) << answer.filters[1].toStdString();
    EXPECT_EQ(answer.selected, answer.filters[1]) << "the initial type";
    EXPECT_TRUE(answer.severalAllowed);
  }
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_EQ(paths[0], CString(L"/earlier.cif"));
  EXPECT_EQ(fs::path(paths[1].GetString()).filename(), "a.cif");
  EXPECT_EQ(fs::path(paths[2].GetString()).filename(), "b.cif");
  {
    DialogAnswer cancel({});
    EXPECT_FALSE(app.OpenFilesDialog({22}, paths, 22, false, false));
  }
  EXPECT_EQ(paths.size(), 3u) << "a cancel adds nothing";
  CLXApp::SetOpenFilesPrompt(nullptr);
}

TEST(AppBaseTemplates, ANameTypedWithoutItsExtensionOpensTheFileOfTheChosenType) {
  TemplateApp app;
  qlwtest::EnsureWidgetApp("test_app");
  CLXFileDialog::InstallForApplication();
  const fs::path dir = fs::path(qlwtest::ScratchDir()) / "typedname";
  fs::create_directories(dir);
  const struct {
    const char* typed;
    bool opens;  // else the program's alert, and the dialog stays up
  } cases[] = {{"big", true}, {"none", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    QString opened, qtBox;
    qlw::SetCommonDialogAnswer([&](QDialog* d) {
      auto* f = qobject_cast<QFileDialog*>(d);
      // The session type's own extension, from the filter the dialog shows.
      const QString filter = f->selectedNameFilter();
      const qsizetype star = filter.indexOf("*.");
      const QString extension = filter.mid(star + 1, filter.indexOf(QRegularExpression("[ )]"), star) - star - 1);
      std::ofstream(dir / ("big" + extension.toStdString())) << "x";
      opened = QString::fromStdString((dir / ("big" + extension.toStdString())).string());
      f->setDirectory(QString::fromStdString(dir.string()));
      f->selectFile(c.typed);
      // A box of Qt's own would wait in a loop of its own: it is noted and closed there.
      QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
          qtBox = box->text();
          box->close();
        }
      });
      static_cast<QDialog*>(f)->accept();
    });
    std::vector<CString> paths;
    testing::internal::CaptureStderr();
    const bool chosen = app.OpenFilesDialog({10}, paths, 10, false, false);
    const std::string alerts = testing::internal::GetCapturedStderr();
    qlw::SetCommonDialogAnswer(nullptr);
    EXPECT_TRUE(qtBox.isEmpty()) << qtBox.toStdString();
    EXPECT_EQ(chosen, c.opens);
    if (c.opens) {
      ASSERT_EQ(paths.size(), 1u);
      EXPECT_EQ(QString::fromStdWString(paths[0].GetString()), opened);
      EXPECT_EQ(alerts.find("Unable to locate file."), std::string::npos) << alerts;
    } else {
      EXPECT_TRUE(paths.empty());
      EXPECT_NE(alerts.find("Unable to locate file."), std::string::npos) << alerts;
    }
  }
  CLXApp::SetOpenFilesPrompt(nullptr);
}

TEST(AppBaseTemplates, RedrawingAllViewsUpdatesEveryViewOfEveryDocument) {
  TemplateApp app;
  CQlwDoc session, cif;
  doctest::RecordingView sessionView, cifView, secondCifView;
  session.AddView(&sessionView);
  cif.AddView(&cifView);
  cif.AddView(&secondCifView);
  app.GetTemplateForFileType(10)->AddDocument(&session);
  app.GetTemplateForFileType(22)->AddDocument(&cif);
  app.RedrawAllViews();
  EXPECT_EQ(sessionView.codes, std::vector<int>{-1});
  EXPECT_EQ(cifView.codes, std::vector<int>{-1});
  EXPECT_EQ(secondCifView.codes, std::vector<int>{-1});
  app.GetTemplateForFileType(10)->RemoveDocument(&session);
  app.GetTemplateForFileType(22)->RemoveDocument(&cif);
  session.RemoveView(&sessionView);
  cif.RemoveView(&cifView);
  cif.RemoveView(&secondCifView);
}

// The build ships the help folder beside the programs, which the data-folder search tries first;
// QLW_HELP_DIR takes its place, and counts only when it is a folder.
TEST(AppBaseTemplates, TheHelpFolderIsFoundOnlyWhenItIsAFolder) {
  TemplateApp app;
  CString folder;
  ASSERT_TRUE(app.GetHelpFolder(folder));
  EXPECT_EQ(fs::path(folder.ToUtf8()).lexically_normal(),
            (fs::path(QLW_BIN_DIR) / "Quillonographic Help" / "").lexically_normal());
  const fs::path help = fs::path(qlwtest::ScratchDir()) / "help-data" / "Help";
  fs::remove_all(help.parent_path());
  fs::create_directories(help.parent_path());
  setenv("QLW_HELP_DIR", help.c_str(), 1);
  EXPECT_FALSE(app.GetHelpFolder(folder));
  std::ofstream(help.string()) << "a file, not the folder";
  EXPECT_FALSE(app.GetHelpFolder(folder));
  fs::remove(help);
  fs::create_directories(help);
  ASSERT_TRUE(app.GetHelpFolder(folder));
  EXPECT_EQ(fs::path(folder.ToUtf8()).lexically_normal(), help.lexically_normal());
  unsetenv("QLW_HELP_DIR");
}

// A session saved under a bare name gets the first session extension of the file-type table
// (Save As offers them all): the Open dialog's session filter must list each, or a saved session
// is hidden from File > Open.
TEST(AppBaseTemplates, TheOpenDialogListsSessionsUnderEveryExtensionTheyAreSavedWith) {
  TemplateApp app;
  CLXFileDialog::InstallForApplication();
  std::vector<CString> paths;
  DialogAnswer answer({});
  EXPECT_FALSE(app.OpenFilesDialog({10}, paths, 10, false, false));
  ASSERT_EQ(answer.filters.size(), 1) << answer.filters.join(" / ").toStdString();
  std::vector<CString> extensions;
  ASSERT_TRUE(GetFileTypeExtensions(10, extensions));
  for (const CString& extension : extensions)
    EXPECT_TRUE(answer.filters[0].contains("*" + QString::fromStdWString(extension.GetString()) + " ") ||
                answer.filters[0].contains("*" + QString::fromStdWString(extension.GetString()) + ")"))
        << extension.ToUtf8() << " in " << answer.filters[0].toStdString();
  CLXApp::SetOpenFilesPrompt(nullptr);
}
