// Test seam: answers every file dialog shown while in scope, as a user would.
#pragma once
#include "LXFileDialog.h"

namespace qlw::testing {
class FileDialogAnswer {
 public:
  explicit FileDialogAnswer(CLXFileDialog::Runner runner) : m_saved(CLXFileDialog::SetRunner(std::move(runner))) {}
  ~FileDialogAnswer() { CLXFileDialog::SetRunner(std::move(m_saved)); }
  FileDialogAnswer(const FileDialogAnswer&) = delete;
  FileDialogAnswer& operator=(const FileDialogAnswer&) = delete;

 private:
  CLXFileDialog::Runner m_saved;
};
}  // namespace qlw::testing
