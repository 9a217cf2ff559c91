// The rich-edit viewer: what it reads and how, and where its links go.
#include "LXRichEdit.h"

#include <string>

#include "CFile.h"
#include "LXException.h"
#include "LXFile.h"
#include "LXUtils.h"
#include "Utf16.h"

namespace {
constexpr uint32_t kRtfFileType = 56;

// Bytes of a plain-text file: UTF-8 when they are, else Windows-1252 as the RTF reader takes them.
std::wstring DecodePlain(const std::string& bytes) {
  if (auto text = qlw::TryFromUtf8(bytes)) return *text;
  return LXRichText::FromWindows1252(bytes);
}
}  // namespace

void CLXRichEdit::Clear() {
  m_document = CRichTextDocument{};
  if (m_hWnd) LXRichEditQt::Show(this, m_document, m_detectUrls);
}

void CLXRichEdit::Initialise() {
  m_readOnly = true;
  m_detectUrls = true;
  Clear();
  LXRichEditQt::SetReadOnly(this, true);
}

bool CLXRichEdit::Show(bool rtf, bool ok) {
  m_rtf = rtf;
  if (m_hWnd) LXRichEditQt::Show(this, m_document, m_detectUrls);
  return ok;
}

bool CLXRichEdit::SetText(const CString& text) {
  Clear();
  if (text.Left(5) == L"{\\rtf") {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(text.GetLength()));
    for (int i = 0; i < text.GetLength(); ++i) bytes += text[i] <= 0xFF ? static_cast<char>(text[i]) : '?';
    const bool ok = LXRichText::ReadRtf(bytes, m_document);
    return Show(true, ok);
  }
  LXRichText::ReadPlain(std::wstring_view(text.GetString(), static_cast<size_t>(text.GetLength())), m_document);
  return Show(false, true);
}

bool CLXRichEdit::LoadFile(const CString& path) {
  CFile file;
  if (!file.Open(path, CFile::modeRead | CFile::shareDenyWrite | CFile::modeNoTruncate)) return false;
  std::string bytes;
  try {
    const ULONGLONG length = file.GetLength();
    if (length > kMaxFileBytes) return false;
    bytes.resize(static_cast<size_t>(length));
    size_t got = 0;
    while (got < bytes.size()) {
      const UINT n = file.Read(bytes.data() + got, static_cast<UINT>(bytes.size() - got));
      if (n == 0) return false;  // the file ended early: a read error
      got += n;
    }
  } catch (...) {
    return false;
  }
  std::vector<uint32_t> types;
  const int dot = path.ReverseFind(L'.');
  const int slash = path.ReverseFind(L'/');
  const bool rtf = dot > slash && FileTypesFromExtension(path.Mid(dot + 1), types) && !types.empty() &&
                   types.front() == kRtfFileType;
  Clear();
  if (rtf) {
    const bool ok = LXRichText::ReadRtf(bytes, m_document);
    return Show(true, ok);
  }
  LXRichText::ReadPlain(DecodePlain(bytes), m_document);
  return Show(false, true);
}

void CLXRichEdit::OnLinkClicked(const CString& text) {
  const std::wstring target = LXRichText::LinkTarget(std::wstring_view(text.GetString(), static_cast<size_t>(text.GetLength())));
  if (target.empty()) return;
  try {
    CUtils::OpenWithShell(CString(target.c_str()), true);
  } catch (CLXException& e) {
    e.Report();
  }
}
