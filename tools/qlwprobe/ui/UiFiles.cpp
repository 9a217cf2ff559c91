// Files in scripts: `files PATH…` answers the next file dialog, `open PATH…` opens them all through
// File > Open, `save PATH` saves through File > Save As.
#include "UiApi.h"
#include "UiRunnerState.h"

#include <QFileDialog>
#include <QFontDialog>
#include <QLineEdit>
#include <QRegularExpression>

#include <filesystem>

#include "CommonDialogs.h"
#include "Process.h"

namespace fs = std::filesystem;

namespace qlwui {
void InstallMenuSeam();

namespace {
constexpr UINT kOpenCommand = 57601;
constexpr UINT kSaveAsCommand = 57604;

std::string Absolute(const std::string& path) {
  std::error_code ignored;
  const fs::path absolute = fs::absolute(path, ignored);
  return absolute.empty() ? path : absolute.lexically_normal().string();
}

// The name filter whose patterns take the path's extension; the current one when none does.
QString FilterFor(QFileDialog& dialog, const std::string& path) {
  const QString name = QString::fromStdString(fs::path(path).filename().string());
  for (const QString& filter : dialog.nameFilters()) {
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\(([^()]*)\\)\\s*$")).match(filter);
    if (!m.hasMatch()) continue;
    for (const QString& pattern : m.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
      if (pattern == QLatin1String("*") || pattern == QLatin1String("*.*")) continue;
      const QRegularExpression glob(QRegularExpression::wildcardToRegularExpression(pattern),
                                    QRegularExpression::CaseInsensitiveOption);
      if (glob.match(name).hasMatch()) return filter;
    }
  }
  return dialog.selectedNameFilter();
}

void AnswerFileDialog(QFileDialog& dialog) {
  RunnerState& state = State();
  if (!state.filesGiven) Abort("a file dialog opened with no files line before it");
  state.filesGiven = false;
  const std::vector<std::string> files = std::move(state.files);
  state.files.clear();
  if (files.empty()) {
    dialog.reject();
    return;
  }
  dialog.selectNameFilter(FilterFor(dialog, files.front()));
  if (files.size() == 1) {
    std::error_code ignored;
    auto* nameEdit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (nameEdit && !fs::is_directory(fs::path(files.front()).parent_path(), ignored)) {
      // Qt's selectFile joins a path into a missing folder to the dialog's own folder; typed into
      // the name field, as a user gives it, it stays the path it is.
      nameEdit->setText(QString::fromStdString(files.front()));
    } else {
      dialog.selectFile(QString::fromStdString(files.front()));
    }
  } else {
    QString names;
    for (const std::string& f : files) names += QStringLiteral("\"%1\" ").arg(QString::fromStdString(f));
    dialog.selectFile(names.trimmed());
  }
  // As the dialog's own button accepts it: the program's name check runs first.
  static_cast<QDialog&>(dialog).accept();
  if (dialog.isVisible()) {
    Print("files: refused");
    dialog.reject();
  }
}

void AnswerCommonDialog(QDialog* dialog) {
  if (auto* files = qobject_cast<QFileDialog*>(dialog)) {
    AnswerFileDialog(*files);
    return;
  }
  if (auto* font = qobject_cast<QFontDialog*>(dialog)) {
    AnswerFontDialog(*font);
    return;
  }
  // Colour dialogs are met as a user meets them; the script's next lines operate them.
  dialog->exec();
}

void RunFiles(const Line& line) {
  RunnerState& state = State();
  state.files.clear();
  for (size_t i = 1; i < line.words.size(); ++i) state.files.push_back(Absolute(line.words[i]));
  state.filesGiven = true;
}

void RunOpen(const Line& line) {
  if (line.words.size() < 2) throw Failure("missing path");
  std::vector<std::string> paths;
  for (size_t i = 1; i < line.words.size(); ++i) paths.push_back(Absolute(line.words[i]));
  RunnerState& state = State();
  // Every path is chosen in the one dialog, as a user picks several files, so that the list
  // takes File > Open's own road (its question before many files, its alerts naming each file).
  state.files = paths;
  state.filesGiven = true;
  if (!SendMenuCommand(kOpenCommand)) {
    state.filesGiven = false;
    state.files.clear();
    throw Failure("File > Open is disabled");
  }
}

void RunSave(const Line& line) {
  RunnerState& state = State();
  const std::string path = line.Rest(1);
  if (path.empty()) throw Failure("missing path");
  state.files = {Absolute(path)};
  state.filesGiven = true;
  if (!SendMenuCommand(kSaveAsCommand)) throw Failure("File > Save As is disabled");
}
}  // namespace

namespace {
// The runner is not the program: a process the program would start for a new window is printed
// instead, its arguments one by one, and taken as started.
bool RecordLaunch(const qlw::LaunchRecord& record) {
  std::string program = Utf8(record.program.c_str());
  if (std::error_code ignored; fs::equivalent(program, "/proc/self/exe", ignored)) program = "quillonographic";
  std::string text = "launch: " + program;
  for (const std::wstring& argument : record.arguments) text += " \"" + Utf8(argument.c_str()) + "\"";
  Print(text);
  return true;
}
}  // namespace

void InstallRunnerSeams() {
  qlw::SetLaunchRecorder(&RecordLaunch);
  qlw::SetCommonDialogAnswer(&AnswerCommonDialog);
  InstallMenuSeam();
}
}  // namespace qlwui

QLW_UI_COMMAND(files, "files", "[PATH...]", qlwui::RunFiles);
QLW_UI_COMMAND(open, "open", "PATH...", qlwui::RunOpen);
QLW_UI_COMMAND(save, "save", "PATH", qlwui::RunSave);
