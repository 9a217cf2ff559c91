#include "CommonDialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QLineEdit>
#include <QRegularExpression>

#include <algorithm>
#include <cwchar>

#include "GdiQt.h"
#include "WndQt.h"

namespace {
qlw::CommonDialogAnswer g_answer;

QWidget* OwnerWidget(CWnd* parent) {
  HWND h = parent ? parent->m_hWnd : nullptr;
  return h ? qlw::WidgetOf(::GetAncestor(h, GA_ROOT)) : nullptr;
}

int Run(QDialog& dialog) { return qlw::RunCommonDialog(dialog); }

// "BMP (*.bmp;*.dib)" and "*.bmp;*.dib" become Qt's "BMP (*.bmp *.dib)".
QString NameFilter(const std::wstring& description, const std::wstring& patterns) {
  QString text = QString::fromStdWString(description).trimmed();
  text.remove(QRegularExpression(QStringLiteral("\\s*\\([^()]*\\)\\s*$")));
  QStringList list = QString::fromStdWString(patterns).split(QLatin1Char(';'), Qt::SkipEmptyParts);
  for (QString& p : list) {
    p = p.trimmed();
    // Files without an extension must show under "All Files" too.
    if (p == QLatin1String("*.*")) p = QStringLiteral("*");
  }
  return text + QStringLiteral(" (") + list.join(QLatin1Char(' ')) + QLatin1Char(')');
}

std::vector<std::pair<std::wstring, std::wstring>> FilterPairs(const std::wstring& filter) {
  std::vector<std::pair<std::wstring, std::wstring>> pairs;
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (start < filter.size()) {
    size_t end = filter.find(L'\0', start);
    if (end == std::wstring::npos) end = filter.size();
    if (end == start) break;
    parts.push_back(filter.substr(start, end - start));
    start = end + 1;
  }
  for (size_t i = 0; i + 1 < parts.size(); i += 2) pairs.emplace_back(parts[i], parts[i + 1]);
  return pairs;
}
}  // namespace

// Qt's file dialog that asks the class library's name check before it closes.
class QlwFileDialog : public QFileDialog {
 public:
  QlwFileDialog(CFileDialog* owner, QWidget* parent) : QFileDialog(parent), m_owner(owner) {}
  void accept() override {
    QStringList files = selectedFiles();
    if (files.isEmpty()) return;
    std::vector<std::wstring> paths;
    for (const QString& f : files) paths.push_back(f.toStdWString());
    const int index = static_cast<int>(nameFilters().indexOf(selectedNameFilter()));
    m_owner->m_ofn.nFilterIndex = index >= 0 ? static_cast<DWORD>(index + 1) : 0;
    m_owner->SetChosen(paths);
    // The name check first: it tells the user why a name is refused, and may complete a name typed
    // without its extension, so that the names that must exist are the ones it leaves.
    if (m_owner->OnFileNameOK()) return;
    if (m_owner->m_bOpenFileDialog && (m_owner->m_ofn.Flags & OFN_FILEMUSTEXIST))
      for (POSITION p = m_owner->GetStartPosition(); p;)
        if (!QFileInfo::exists(QString::fromStdWString(m_owner->GetNextPathName(p).GetString()))) return;
    // Qt's dialog reads its name field again: a name the check completed is put there, or Qt
    // would look for the name as typed.
    const QString completed = QString::fromStdWString(m_owner->GetPathName().GetString());
    if (files.size() == 1 && !completed.isEmpty() && completed != files.front()) {
      if (auto* field = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) field->setText(completed);
      else selectFile(completed);
    }
    QFileDialog::accept();
  }

 private:
  CFileDialog* m_owner;
};

namespace qlw {
void SetCommonDialogAnswer(CommonDialogAnswer answer) { g_answer = std::move(answer); }

int RunCommonDialog(QDialog& dialog) {
  const HWND owner = dialog.parentWidget() ? ::GetAncestor(HwndOf(dialog.parentWidget()), GA_ROOT) : nullptr;
  int result = 0;
  if (!g_answer) {
    result = dialog.exec();
  } else {
    dialog.setModal(true);
    dialog.show();
    g_answer(&dialog);
    if (dialog.isVisible()) dialog.reject();
    result = dialog.result();
  }
  // The owner gets the activation back, as after CDialog's modal loop: a platform that activates
  // nothing when the dialog closes would leave the program inactive, and its palettes hidden.
  if (owner && ::IsWindow(owner) && ::IsWindowVisible(owner)) ::SetActiveWindow(owner);
  return result;
}
}  // namespace qlw

CFileDialog::CFileDialog(BOOL openFileDialog, LPCWSTR defaultExt, LPCWSTR fileName, DWORD flags, LPCWSTR filter,
                         CWnd* parent, DWORD, BOOL)
    : m_bOpenFileDialog(openFileDialog) {
  m_pParentWnd = parent;
  if (filter) {
    m_filter = filter;
    std::replace(m_filter.begin(), m_filter.end(), L'|', L'\0');
    m_filter.push_back(L'\0');
  }
  if (defaultExt) m_defaultExt = defaultExt;
  // Room for many names of a multiple selection; no 260-character limit on a path.
  m_fileBuffer.assign(0x10000, L'\0');
  if (fileName) std::wcsncpy(m_fileBuffer.data(), fileName, m_fileBuffer.size() - 1);
  m_ofn.lStructSize = sizeof m_ofn;
  m_ofn.hwndOwner = parent ? parent->m_hWnd : nullptr;
  m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
  m_ofn.nFilterIndex = 0;
  m_ofn.lpstrFile = m_fileBuffer.data();
  m_ofn.nMaxFile = static_cast<DWORD>(m_fileBuffer.size());
  m_ofn.Flags = flags | OFN_EXPLORER;
  m_ofn.lpstrDefExt = m_defaultExt.empty() ? nullptr : m_defaultExt.c_str();
}

void CFileDialog::SetChosen(const std::vector<std::wstring>& paths) {
  std::wstring out;
  if (paths.size() == 1) {
    out = paths[0];
  } else if (!paths.empty()) {
    // folder NUL name NUL name NUL NUL, as a multiple selection is handed over. Names typed as full
    // paths may come from several folders: the folder is the one they share, and names keep the rest.
    std::wstring folder = paths[0].substr(0, paths[0].find_last_of(L'/') + 1);
    for (const std::wstring& p : paths)
      while (!folder.empty() && p.compare(0, folder.size(), folder) != 0)
        folder.resize(folder.size() < 2 ? 0 : folder.find_last_of(L'/', folder.size() - 2) + 1);
    out = folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder;
    for (const std::wstring& p : paths) {
      out.push_back(L'\0');
      out += p.substr(folder.size());
    }
  }
  std::fill(m_fileBuffer.begin(), m_fileBuffer.end(), L'\0');
  std::copy_n(out.begin(), std::min(out.size(), m_fileBuffer.size() - 2), m_fileBuffer.begin());
  const std::wstring path = paths.empty() ? std::wstring() : paths[0];
  const size_t slash = path.find_last_of(L'/');
  m_ofn.nFileOffset = static_cast<WORD>(std::min<size_t>(slash == std::wstring::npos ? 0 : slash + 1, 0xFFFF));
  const size_t dot = path.find_last_of(L'.');
  m_ofn.nFileExtension = static_cast<WORD>(dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash) ? dot + 1 : 0);
}

INT_PTR CFileDialog::DoModal() {
  QlwFileDialog dialog(this, OwnerWidget(m_pParentWnd));
  // Qt's own dialog, so that the name check runs before it closes, also where the desktop has one.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(m_bOpenFileDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setFileMode(!m_bOpenFileDialog ? QFileDialog::AnyFile
                     : (m_ofn.Flags & OFN_ALLOWMULTISELECT) ? QFileDialog::ExistingFiles
                                                             : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !(m_ofn.Flags & OFN_OVERWRITEPROMPT));
  if (m_ofn.lpstrTitle) dialog.setWindowTitle(QString::fromStdWString(m_ofn.lpstrTitle));
  if (m_ofn.lpstrDefExt) dialog.setDefaultSuffix(QString::fromStdWString(m_ofn.lpstrDefExt));
  QStringList filters;
  for (const auto& [description, patterns] : FilterPairs(m_filter)) filters << NameFilter(description, patterns);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const DWORD index = m_ofn.nFilterIndex;
    dialog.selectNameFilter(filters.value(index >= 1 && index <= static_cast<DWORD>(filters.size()) ? static_cast<int>(index) - 1 : 0));
  }
  if (m_ofn.lpstrInitialDir && *m_ofn.lpstrInitialDir) dialog.setDirectory(QString::fromStdWString(m_ofn.lpstrInitialDir));
  if (m_ofn.lpstrFile && *m_ofn.lpstrFile) dialog.selectFile(QString::fromStdWString(m_ofn.lpstrFile));
  return Run(dialog) == QDialog::Accepted ? IDOK : IDCANCEL;
}

CString CFileDialog::GetPathName() const {
  // A multiple selection's first name; otherwise the buffer as it stands.
  POSITION p = GetStartPosition();
  return p ? GetNextPathName(p) : CString();
}

CString CFileDialog::GetFileName() const {
  const std::wstring path = GetPathName().GetString();
  const size_t slash = path.find_last_of(L'/');
  return CString(path.substr(slash == std::wstring::npos ? 0 : slash + 1));
}

CString CFileDialog::GetFileExt() const {
  const std::wstring name = GetFileName().GetString();
  const size_t dot = name.find_last_of(L'.');
  return dot == std::wstring::npos ? CString() : CString(name.substr(dot + 1));
}

CString CFileDialog::GetFileTitle() const {
  std::wstring name = GetFileName().GetString();
  const size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos && dot > 0) name.resize(dot);
  return CString(name);
}

CString CFileDialog::GetFolderPath() const {
  const std::wstring path = GetPathName().GetString();
  const size_t slash = path.find_last_of(L'/');
  return CString(slash == std::wstring::npos ? std::wstring() : path.substr(0, slash));
}

POSITION CFileDialog::GetStartPosition() const {
  return m_ofn.lpstrFile && *m_ofn.lpstrFile ? reinterpret_cast<POSITION>(m_ofn.lpstrFile) : nullptr;
}

CString CFileDialog::GetNextPathName(POSITION& position) const {
  const wchar_t* at = static_cast<const wchar_t*>(position);
  const wchar_t* base = m_ofn.lpstrFile;
  const size_t firstLength = std::wcslen(base);
  const bool multiple = base[firstLength + 1] != L'\0';
  if (!multiple) {
    position = nullptr;
    return CString(base);
  }
  // Past the folder on the first call.
  if (at == base) at = base + firstLength + 1;
  const size_t length = std::wcslen(at);
  const std::wstring folder(base);
  CString path(folder + (folder.empty() || folder.back() != L'/' ? L"/" : L"") + std::wstring(at, length));
  const wchar_t* next = at + length + 1;
  position = *next ? const_cast<wchar_t*>(next) : nullptr;
  return path;
}

CColorDialog::CColorDialog(COLORREF initial, DWORD flags, CWnd* parent) {
  m_pParentWnd = parent;
  m_cc.lStructSize = sizeof m_cc;
  m_cc.hwndOwner = parent ? parent->m_hWnd : nullptr;
  m_cc.rgbResult = initial;
  m_cc.Flags = flags | (initial ? CC_RGBINIT : 0);
}

INT_PTR CColorDialog::DoModal() {
  QColorDialog dialog(OwnerWidget(m_pParentWnd));
  dialog.setOption(QColorDialog::DontUseNativeDialog, true);
  const COLORREF c = m_cc.rgbResult;
  dialog.setCurrentColor(QColor(GetRValue(c), GetGValue(c), GetBValue(c)));
  // The caller's 16 custom colours are Qt's (process-wide) custom colours while the dialog is up.
  if (m_cc.lpCustColors)
    for (int i = 0; i < 16 && i < QColorDialog::customCount(); ++i) {
      const COLORREF k = m_cc.lpCustColors[i];
      QColorDialog::setCustomColor(i, QColor(GetRValue(k), GetGValue(k), GetBValue(k)));
    }
  if (Run(dialog) != QDialog::Accepted) return IDCANCEL;
  const QColor chosen = dialog.selectedColor().isValid() ? dialog.selectedColor() : dialog.currentColor();
  m_cc.rgbResult = RGB(chosen.red(), chosen.green(), chosen.blue());
  if (m_cc.lpCustColors)
    for (int i = 0; i < 16 && i < QColorDialog::customCount(); ++i) {
      const QColor k = QColorDialog::customColor(i);
      m_cc.lpCustColors[i] = RGB(k.red(), k.green(), k.blue());
    }
  return IDOK;
}

CFontDialog::CFontDialog(const LOGFONTW* initial, DWORD flags, CDC*, CWnd* parent) {
  m_pParentWnd = parent;
  if (initial) m_lf = *initial;
  m_cf.lStructSize = sizeof m_cf;
  m_cf.hwndOwner = parent ? parent->m_hWnd : nullptr;
  m_cf.lpLogFont = &m_lf;
  m_cf.Flags = flags | (initial ? CF_INITTOLOGFONTSTRUCT : 0);
}

INT_PTR CFontDialog::DoModal() {
  QFontDialog dialog(OwnerWidget(m_pParentWnd));
  dialog.setOption(QFontDialog::DontUseNativeDialog, true);
  if (m_cf.Flags & CF_INITTOLOGFONTSTRUCT) dialog.setCurrentFont(qlw::FontFromLogFont(m_lf));
  if (Run(dialog) != QDialog::Accepted) return IDCANCEL;
  // A test seam's answer names its font outright: the dialog's lists hold installed families
  // only, and a face such as Arial stands there under its substitute's name.
  const QVariant answered = dialog.property("qlwAnsweredFont");
  const QFont f = answered.isValid() ? answered.value<QFont>() : dialog.selectedFont();
  LOGFONTW lf{};
  const std::wstring family = qlw::FamilyWithoutFoundry(f.family()).toStdWString();
  std::wcsncpy(lf.lfFaceName, family.c_str(), LF_FACESIZE - 1);
  // Heights are character heights in pixels at the logical 96 DPI.
  const double points = f.pointSizeF() > 0 ? f.pointSizeF() : f.pixelSize() * 72.0 / 96.0;
  lf.lfHeight = -static_cast<LONG>(points * 96.0 / 72.0 + 0.5);
  lf.lfWeight = f.bold() ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = f.italic();
  lf.lfUnderline = f.underline();
  lf.lfStrikeOut = f.strikeOut();
  lf.lfCharSet = DEFAULT_CHARSET;
  m_lf = lf;
  m_cf.iPointSize = static_cast<INT>(points * 10.0 + 0.5);
  return IDOK;
}
