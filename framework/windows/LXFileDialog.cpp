#include "LXFileDialog.h"

#include "GdiPlus.h"
#include "LXDocTypes.h"
#include "LXMessage.h"
#include "Wnd.h"

#include <cwchar>
#include "LXPreferences.h"
#include "LXUtils.h"
#include "ShellFolders.h"

#include <algorithm>
#include <filesystem>

namespace {
std::filesystem::path FsPath(const CString& path) { return std::filesystem::path(path.ToUtf8()); }

bool IsDirectory(const CString& path) {
  std::error_code ec;
  return !path.IsEmpty() && std::filesystem::is_directory(FsPath(path), ec);
}

// The extension of the path's last component from its last ".", or empty.
CString NameExtension(const CString& path) {
  const int slash = path.ReverseFind(L'/');
  const int dot = path.ReverseFind(L'.');
  return dot > slash ? path.Mid(dot) : CString();
}

std::vector<CString> SplitFilter(const CString& filter) {
  std::vector<CString> fields;
  int start = 0;
  while (start < filter.GetLength()) {
    int bar = filter.Find(L'|', start);
    if (bar < 0) bar = filter.GetLength();
    const CString field = filter.Mid(start, bar - start);
    // An empty field ends the list.
    if (field.IsEmpty()) break;
    fields.push_back(field);
    start = bar + 1;
  }
  if (fields.size() % 2) fields.pop_back();
  return fields;
}

CString ProposedName(LPCWSTR fileName) {
  // A proposed name never holds a folder separator.
  CString name = fileName ? fileName : L"";
  name.Replace(L'/', L'&');
  return name;
}

CWnd* OwnerOrMainWindow(CWnd* parent) {
  if (parent) return parent;
  HWND main = LXAppWindows::GetMainWindow();
  return main ? CWnd::FromHandle(main) : nullptr;
}
}  // namespace

CLXFileDialog::CLXFileDialog(BOOL open, LPCWSTR defaultExtension, LPCWSTR fileName, DWORD flags, LPCWSTR filter,
                             CWnd* parent)
    : CFileDialog(open, defaultExtension, ProposedName(fileName).GetString(),
                  flags | OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | (open ? 0u : OFN_OVERWRITEPROMPT), filter,
                  OwnerOrMainWindow(parent)),
      m_filterText(filter ? filter : L"") {
  if (!g_pStore) return;
  const CPath last = g_pStore->m_LastVisitedFolder.Get();
  if (!IsDirectory(last.m_strPath)) {
    wchar_t documents[MAX_PATH] = {};
    const bool found = SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, documents));
    g_pStore->m_LastVisitedFolder.Set(CPath(found ? documents : L""));
  }
}

void CLXFileDialog::SetTitle(const CString& title) {
  m_titleText = title.GetString();
  m_ofn.lpstrTitle = m_titleText.c_str();
}

int CLXFileDialog::GetFilterCount() const { return static_cast<int>(SplitFilter(m_filterText).size() / 2); }

std::vector<CString> CLXFileDialog::GetPathNames() const {
  std::vector<CString> names;
  for (POSITION p = GetStartPosition(); p;) names.push_back(GetNextPathName(p));
  return names;
}

uint32_t CLXFileDialog::HashFilter(const CString& filter) {
  if (filter.IsEmpty()) return 0;
  uint32_t key = 5381;
  // The separators are the NULs of the dialog's own form, which are not hashed.
  for (const CString& field : SplitFilter(filter))
    for (int i = 0; i < field.GetLength(); ++i) key = key * 33u + static_cast<uint32_t>(field[i]);
  return key;
}

uint32_t CLXFileDialog::GetLastFilterIndex(const CString& filter) {
  if (!g_pStore) return 0;
  const uint32_t key = HashFilter(filter);
  auto& records = g_pStore->m_LastFileType;
  for (size_t i = 0; i < records.Count(); ++i) {
    const CLXFilterSelRec* rec = records.At(i);
    if (rec->filterKey == key) return rec->filterIndex;
  }
  return 0;
}

void CLXFileDialog::SetLastFilterIndex(const CString& filter, uint32_t index) {
  if (!g_pStore) return;
  const uint32_t key = HashFilter(filter);
  auto& records = g_pStore->m_LastFileType;
  const size_t count = records.Count();
  for (size_t i = 0; i < count; ++i) {
    CLXFilterSelRec* rec = records.At(i);
    if (rec->filterKey == key) {
      rec->filterIndex = index;
      return;
    }
  }
  *records.At(count) = CLXFilterSelRec{key, index};
}

INT_PTR CLXFileDialog::DoModal() {
  if (g_pStore) {
    const CPath folder = g_pStore->m_LastVisitedFolder.Get();
    m_initialFolder = folder.m_strPath.GetString();
    m_ofn.lpstrInitialDir = m_initialFolder.empty() ? nullptr : m_initialFolder.c_str();
  }
  if (m_ofn.nFilterIndex == 0 || m_ofn.nFilterIndex == static_cast<DWORD>(-1))
    m_ofn.nFilterIndex = GetLastFilterIndex(m_filterText);
  const INT_PTR result = CFileDialog::DoModal();
  if (result != IDOK || !g_pStore) return result;

  const std::vector<CString> names = GetPathNames();
  CString chosen = names.empty() ? CString() : names.front();
  if (!PathFileExistsW(chosen)) chosen = GetPathName();
  if (m_bOpenFileDialog && !PathFileExistsW(chosen)) return result;
  const CString folder(FsPath(chosen).parent_path().string().c_str());
  if (IsDirectory(folder)) {
    wchar_t canonical[MAX_PATH] = {};
    if (PathCanonicalizeW(canonical, folder.GetString())) g_pStore->m_LastVisitedFolder.Set(CPath(canonical));
    SetLastFilterIndex(m_filterText, m_ofn.nFilterIndex);
  }
  return result;
}

BOOL CLXFileDialog::OnFileNameOK() {
  try {
    const std::vector<CString> names = GetPathNames();
    if (names.empty()) return 1;
    if (m_bOpenFileDialog && (m_ofn.Flags & OFN_ALLOWMULTISELECT) && names.size() > 1) {
      for (const CString& name : names)
        if (!PathFileExistsW(name)) throw CLXXFileOpenMultiBadName(kLXSeverityMessage, 0, __LINE__);
      return 0;
    }
    CString name = names.front();
    // Writes an amended name back into the file buffer; false when it does not fit.
    auto takeName = [this](const CString& amended) {
      if (static_cast<DWORD>(amended.GetLength()) + 1 > m_ofn.nMaxFile) return false;
      std::wcsncpy(m_ofn.lpstrFile, amended.GetString(), m_ofn.nMaxFile);
      m_ofn.lpstrFile[amended.GetLength() + 1] = L'\0';
      return true;
    };
    const int index = static_cast<int>(m_ofn.nFilterIndex ? m_ofn.nFilterIndex : 1);
    CString pattern;
    const bool hasPattern = CUtils::GetFilterPattern(m_filterText, index, pattern);
    // The platform's dialog adds the chosen type's extension to a save name typed without one.
    if (!m_bOpenFileDialog && m_ofn.lpstrDefExt && *m_ofn.lpstrDefExt && NameExtension(name).IsEmpty()) {
      CString extension = CString(L".") + m_ofn.lpstrDefExt;
      if (hasPattern) {
        int position = 0;
        const CString candidate = NameExtension(pattern.Tokenize(L";", position));
        if (!candidate.IsEmpty() && candidate.Find(L'*') < 0) extension = candidate;
      }
      if (!takeName(name + extension)) return 1;
      name += extension;
    }
    const CString extension = NameExtension(name);
    if (!extension.IsEmpty()) {
      if (m_bOpenFileDialog) {
        if (!PathFileExistsW(name)) throw CLXXFileNotFound(kLXSeverityMessage, 0, __LINE__);
      } else if (!CUtils::FilterHasExtension(extension, m_filterText)) {
        throw CLXXFileSaveAsBadExt(kLXSeverityMessage, 0, __LINE__);
      }
      return 0;
    }
    if (!m_bOpenFileDialog) throw CLXXFileSaveAsNeedExt(kLXSeverityMessage, 0, __LINE__);
    if (PathFileExistsW(name)) return 0;
    if (hasPattern) {
      int position = 0;
      for (CString piece = pattern.Tokenize(L"*;", position); position >= 0; piece = pattern.Tokenize(L"*;", position)) {
        const CString candidate = name + piece;
        if (!PathFileExistsW(candidate)) continue;
        // A name that does not fit the buffer is refused without a message.
        return takeName(candidate) ? 0 : 1;
      }
    }
    throw CLXXFileNotFound(kLXSeverityMessage, 0, __LINE__);
  } catch (CLXException& e) {
    e.Report();
    return 1;
  }
}

bool CLXFileDialog::GetFilterFromName(const CString& filterName, CString& filter) {
  filter.Empty();
  const int open = filterName.ReverseFind(L'('), close = filterName.ReverseFind(L')');
  if (filterName.IsEmpty()) return false;
  filter = filterName + L"|";
  if (open >= 0 && close > open) filter += filterName.Mid(open + 1, close - open - 1);
  filter += L"|";
  return !filter.IsEmpty();
}

CString CLXFileDialog::MakeExportFileName(const CString& name, const CString& suffix) {
  CString base = name;
  if (base.IsEmpty()) base = L"Untitled";
  const int dot = base.ReverseFind(L'.');
  const int slash = std::max(base.ReverseFind(L'/'), base.ReverseFind(L'\\'));
  if (dot > slash && dot >= 0) base = base.Left(dot);
  if (base.IsEmpty()) base = L"Untitled";
  base += suffix;
  base.Trim();
  static const struct {
    wchar_t from, to;
  } kReplacements[] = {{L'\\', L'&'}, {L'/', L'&'}, {L':', L'-'},  {L'*', L'+'}, {L'?', L'!'},
                       {L'|', L'!'},  {L'"', L'\''}, {L'<', L'['}, {L'>', L']'}};
  for (const auto& r : kReplacements) base.Replace(r.from, r.to);
  return base;
}

namespace {
// Export types the dialog knows by number: their filter, type name and name suffix.
struct ExportType {
  UINT type;
  const wchar_t* filter;
  const wchar_t* typeName;
  const wchar_t* suffix;
};
const ExportType kExportTypes[] = {
    {43, L"BMP (*.bmp;*.di;*.rle)|*.bmp;*.dib;*.rle|", L"Image file", L" Image"},
    // The program's vector drawings are written as SVG.
    {45, L"SVG (*.svg)|*.svg|", L"SVG image", L" Image"},
    {46, L"GIF (*.gif)|*.gif|", L"Image file", L" Image"},
    {47, L"HTML File (*.html;*.htm)|*.html;*.htm|", L"Web page", L""},
    {49, nullptr, L"Image file", L" Image"},
    {50, L"JPEG (*.jpg;*.jpeg;*.jpe;*.jfif)|*.jpg;*.jpeg;*.jpe;*.jfif|", L"Image file", L" Image"},
    {54, L"PNG (*.png)|*.png|", L"Image file", L" Image"},
    {57, L"Text File (*.txt)|*.txt|", L"Text file", L""},
    {58, L"TIFF (*.tif;*.tiff)|*.tif;*.tiff|", L"Image file", L" Image"},
};

// One description and pattern per image encoder of the drawing layer; patterns in lower case so
// that they match names without regard to case.
CString EncoderFilter() {
  UINT count = 0, size = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || count == 0) return CString();
  std::vector<BYTE> storage(size);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(storage.data());
  if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return CString();
  CString filter;
  for (UINT i = 0; i < count; ++i) {
    CString patterns = codecs[i].FilenameExtension ? codecs[i].FilenameExtension : L"";
    patterns.MakeLower();
    filter.AppendFormat(L"%s (%s)|%s|", codecs[i].FormatDescription ? codecs[i].FormatDescription : L"",
                        patterns.GetString(), patterns.GetString());
  }
  return filter;
}
}  // namespace

bool CLXFileDialog::PromptExportFile(CWnd* parent, const CString& fileName, const CString& suffixIn,
                                     const CString& typeNameIn, bool addAllFiles, UINT* fileType, CString* path) {
  const UINT type = fileType ? *fileType : 0;
  CString defaultExtension;
  GetFileTypeExtension(type, defaultExtension);
  if (defaultExtension.Left(1) == L".") defaultExtension = defaultExtension.Mid(1);

  CString filter, typeName = typeNameIn, suffix = suffixIn;
  for (const ExportType& e : kExportTypes) {
    if (e.type != type) continue;
    filter = e.filter ? CString(e.filter) : EncoderFilter();
    if (typeName.IsEmpty()) typeName = e.typeName;
    if (suffix.IsEmpty()) suffix = e.suffix;
  }
  // Any other type: the filter and the name of the document template registered for it.
  const CLXDocTypeRow* row = filter.IsEmpty() && type != 0 ? LXDocTypes::FindRowForFileType(type) : nullptr;
  if (row) {
    CString filterName;
    if (LXDocTypes::GetDocString(*row, 3, filterName)) GetFilterFromName(filterName, filter);
    if (typeName.IsEmpty()) LXDocTypes::GetDocString(*row, 2, typeName);
  }
  if (!filter.IsEmpty()) {
    if (addAllFiles) filter += L"All Files|*.*|";
    filter += L"|";
  }
  CString title;
  title.Format(L"Export to %s:", typeName.GetString());

  CString name = fileName;
  if (name.IsEmpty() && parent && parent->m_hWnd) parent->GetWindowText(name);
  const CString proposed = MakeExportFileName(name, suffix);

  CLXFileDialog dialog(FALSE, defaultExtension, proposed, 0, filter, parent);
  dialog.SetTitle(title);
  if (dialog.DoModal() != IDOK) return false;
  if (path) *path = dialog.GetPathName();
  std::vector<uint32_t> types;
  FileTypesFromExtension(NameExtension(dialog.GetPathName()), types);
  if (fileType && !types.empty() && std::find(types.begin(), types.end(), type) == types.end()) *fileType = types.front();
  return true;
}
