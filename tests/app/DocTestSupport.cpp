#include "DocTestSupport.h"

#include "CommonDialogs.h"
#include "TestSupport.h"
#include "WidgetApp.h"

#include <QApplication>
#include <QFileDialog>

#include <filesystem>
#include <fstream>

namespace doctest {
std::string WriteScratchFile(const std::string& name, const std::string& bytes) {
  const std::filesystem::path dir = std::filesystem::path(qlwtest::ScratchDir()) / "doc";
  std::filesystem::create_directories(dir);
  const std::filesystem::path path = dir / name;
  std::filesystem::remove(path);
  std::ofstream(path, std::ios::binary) << bytes;
  return path.string();
}

TypedFileName::TypedFileName(int filter, const std::string& name) {
  qlwtest::EnsureWidgetApp("test_app");
  qlw::SetCommonDialogAnswer([this, filter, name](QDialog* d) {
    auto* f = qobject_cast<QFileDialog*>(d);
    ++shown;
    filters = f->nameFilters();
    title = f->windowTitle();
    f->selectNameFilter(f->nameFilters().value(filter - 1));
    f->selectFile(QString::fromStdString(name));
    static_cast<QDialog*>(f)->accept();
  });
}

TypedFileName::~TypedFileName() { qlw::SetCommonDialogAnswer(nullptr); }

std::string RutilePath() { return std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif"; }
}  // namespace doctest
