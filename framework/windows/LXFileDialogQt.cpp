// The file dialog on Qt's own (not the desktop's) dialog, so the name check runs before it closes.
#include "LXFileDialog.h"

#include "WndQt.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>

namespace {
QString ToQt(const CString& s) { return QString::fromStdWString(std::wstring(s.GetString())); }
CString FromQt(const QString& s) { return CString(s.toStdWString().c_str()); }

// "Description (*.a;*.b)" with pattern "*.a;*.b" → "Description (*.a *.b)"; "*.*" becomes "*" so
// that files without an extension show.
QString QtFilter(const CString& description, const CString& pattern) {
  QString text = ToQt(description);
  const int open = text.lastIndexOf('(');
  if (open > 0) text = text.left(open).trimmed();
  QStringList parts = ToQt(pattern).split(';', Qt::SkipEmptyParts);
  for (QString& p : parts)
    if (p == "*.*") p = "*";
  return text + " (" + parts.join(' ') + ")";
}

class CheckedFileDialog : public QFileDialog {
 public:
  // parent: the owner's top-level widget, on which Qt centres the dialog.
  CheckedFileDialog(CLXFileDialog& owner, const QStringList& filters, QWidget* parent)
      : QFileDialog(parent), m_owner(owner), m_filters(filters) {}

  void accept() override {
    const QStringList files = selectedFiles();
    std::vector<CString> names;
    for (const QString& f : files) names.push_back(FromQt(f));
    m_owner.SetFilterIndex(static_cast<int>(m_filters.indexOf(selectedNameFilter())) + 1);
    if (m_owner.Submit(names)) QFileDialog::accept();
  }

 private:
  CLXFileDialog& m_owner;
  QStringList m_filters;
};
}  // namespace

INT_PTR CLXFileDialog::RunQtDialog() {
  if (!QApplication::instance()) return IDCANCEL;
  QStringList filters;
  const std::vector<CString>& fields = GetFilterFields();
  for (size_t i = 0; i + 1 < fields.size(); i += 2) filters << QtFilter(fields[i], fields[i + 1]);
  QWidget* parent = GetOwner() ? qlw::WidgetOf(::GetAncestor(GetOwner(), GA_ROOT)) : nullptr;
  CheckedFileDialog dialog(*this, filters, parent);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(IsOpenDialog() ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setFileMode(!IsOpenDialog()                          ? QFileDialog::AnyFile
                     : (GetFlags() & OFN_ALLOWMULTISELECT) ? QFileDialog::ExistingFiles
                                                            : QFileDialog::AnyFile);
  if (!GetTitle().IsEmpty()) dialog.setWindowTitle(ToQt(GetTitle()));
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const int index = GetFilterIndex();
    if (index >= 1 && index <= filters.size()) dialog.selectNameFilter(filters[index - 1]);
  }
  if (!GetInitialFolder().IsEmpty()) dialog.setDirectory(ToQt(GetInitialFolder()));
  const CString name = GetFileName();
  if (!name.IsEmpty()) dialog.selectFile(ToQt(name));
  return dialog.exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}
