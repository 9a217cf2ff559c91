#include "ASFTableFile.h"

#include "Files.h"
#include "LXStdioCFile.h"
#include "LXUtils.h"
#include "NumberLocale.h"
#include "ShellFolders.h"
#include "Utf16.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cwctype>

namespace {
constexpr int kMaxLineCharacters = 255;
// Bytes of one line before decoding: room for 255 characters of UTF-8 and more.
constexpr int kLineBufferBytes = 1024;

// Padded widths of the description block; a TAB counts as one character.
constexpr size_t kDescriptionWidth = 80;
constexpr size_t kTabLineWidth = 79;
constexpr size_t kExampleNoteWidth = 78;
constexpr size_t kTableHeadWidth = 151;

const char* const kDescription[] = {
    "! DESCRIPTION",
    "!",
    "! This file contains x-ray atomic scattering factor coeffcients, and coherent",
    "! nuclear scattering lengths. You may add your own data to the table, but",
    "! please ensure that you use the correct format:-",
    "!",
    "! Col. 1:     Element symbol (no spaces).",
    "!",
    "! Col. 2:     Atomic number (used for sorting the list)",
    "!",
    "! Col. 3:     Atomic weight (used for calculating density)",
    "!",
    "! Cols. 4-12:\tNine coefficients for the analytical approximation to the",
    "!\t            x-ray atomic scattering factor,",
    "!",
    "!\t            f = Sum[a(i) exp(- b(i) sin^2 theta / lambda^2)](i=1,4) + c",
    "!",
    "! Col. 13:    Coherent nuclear scattering length, in femto-metres (fm), where",
    "!             1 fm = 1E-15 m. Zero values indicate that no data are available",
    "!             for these elements.",
    "!",
    "!             Nuclear scattering lengths given here do not include any",
    "!             coefficients for anomalous scattering.",
    "!",
    "! Col. 14:    Note. Must be enclosed within a pair of double quotation marks,",
    "!             like \"this note here\".",
};

const char kCaptionF[] =
    "!                       f1          f2          f3          f4          f5          f6          f7          f8"
    "          f9";
const char kCaptionNames[] =
    "!       Z     W         a(1)        b(1)        a(2)        b(2)        a(3)        b(3)        a(4)        b(4)"
    "        c           b        Note";

void AppendLine(std::string& out, std::string line, size_t width = 0) {
  if (line.size() < width) line.append(width - line.size(), ' ');
  out += line;
  out += "\r\n";
}

// The header is 8-bit text: typographic characters of the program's strings are spelt out.
std::string HeaderText(const CString& text) {
  std::wstring plain;
  for (int i = 0; i < text.GetLength(); ++i) {
    switch (const wchar_t c = text[i]) {
      case L'\u00C5': plain += L"A"; break;
      case L'\u2022': plain += L"*"; break;
      case L'\u00A9': plain += L"(C)"; break;
      case L'\u00B0': plain += L"deg"; break;
      case L'\u201C':
      case L'\u201D': plain += L"\""; break;
      case L'\u00AE': plain += L"(R)"; break;
      case L'\u2018':
      case L'\u2019': plain += L"'"; break;
      case L'\u2122': plain += L"(TM)"; break;
      default: plain += c; break;
    }
  }
  return qlw::ToUtf8(plain);
}

void AppendText(std::string& out, const std::string& text) {
  // The string table ends lines with LF; the file takes CR LF whatever the platform.
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
}

std::string ProgramHeader() {
  CString product, legal, version;
  if (!CUtils::GetAppVersionInfo(product, legal, version, nullptr) || product.IsEmpty()) product = L"Quillonographic";
  CString program = product;
  if (!version.IsEmpty()) program += L" " + version;
  CString format, header;
  format.LoadString(3601);
  header.Format(format.GetString(), program.GetString());
  return HeaderText(header);
}

// A note that reads back as written: no line end splits it and no quote ends it early.
CString NoteForFile(const CString& note) {
  CString text = CapASFNote(note);
  text.Replace(L'"', L'\'');
  text.Replace(L'\r', L' ');
  text.Replace(L'\n', L' ');
  return text;
}

// Windows-1252 for the bytes 0x80 to 0x9F; the others are their own code points.
constexpr wchar_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

// UTF-8 when the bytes are valid UTF-8, else Windows-1252, so that files of either origin read.
std::wstring DecodeLine(const char* bytes, int count) {
  const std::string_view raw(bytes, static_cast<size_t>(count));
  if (auto utf8 = qlw::TryFromUtf8(raw)) return std::move(*utf8);
  std::wstring text;
  text.reserve(raw.size());
  for (unsigned char c : raw) text += (c >= 0x80 && c < 0xA0) ? kCp1252High[c - 0x80] : static_cast<wchar_t>(c);
  return text;
}

bool IsSeparator(wchar_t c) { return c == L' ' || c == L'\t'; }

// A field as "%d" reads it: its start must scan, and the number must fit.
bool ScanInt(const std::wstring& field, int& value) {
  wchar_t* end = nullptr;
  errno = 0;
  const long v = std::wcstol(field.c_str(), &end, 10);
  if (end == field.c_str() || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

// A field as "%lf" reads it, but "nan" and "inf" are no coefficients.
bool ScanDouble(const std::wstring& field, double& value) {
  wchar_t* end = nullptr;
  const double v = qlw::StringToDouble(field.c_str(), &end);
  if (end == field.c_str() || !std::isfinite(v)) return false;
  value = v;
  return true;
}

// One data line (trimmed, not empty, no comment) as a record; false for a bad line.
bool ParseDataLine(const std::wstring& line, CLXASF& record) {
  std::wstring fields[13];
  int count = 0;
  std::wstring note;
  size_t i = 0;
  const size_t n = line.size();
  while (i < n) {
    while (i < n && IsSeparator(line[i])) ++i;
    if (i == n) break;
    if (line[i] == L'"') {
      const size_t close = line.find(L'"', i + 1);
      note = line.substr(i + 1, close == std::wstring::npos ? std::wstring::npos : close - i - 1);
      break;
    }
    const size_t start = i;
    while (i < n && !IsSeparator(line[i])) ++i;
    if (count == 13) return false;
    fields[count++] = line.substr(start, i - start);
  }
  if (count < 12) return false;
  int Z = 0;
  double numbers[11] = {};  // weight, nine coefficients, neutron length (0 when missing)
  if (!ScanInt(fields[1], Z)) return false;
  for (int f = 2; f < count; ++f)
    if (!ScanDouble(fields[f], numbers[f - 2])) return false;
  record = CLXASF(NormalizeASFSymbol(fields[0].c_str()), Z, numbers[0], numbers + 1, numbers[10],
                  CapASFNote(CString(note)));
  return true;
}

// The system's text for a file that cannot be made, as the text-file class reports it.
[[noreturn]] void ThrowFileError(const CFileException& error) {
  wchar_t text[512] = {};
  error.GetErrorMessage(text, 512);
  throw CLXXMFC(CString(text), kLXSeverityMessage, static_cast<LONGLONG>(error.m_lOsError), __LINE__);
}

[[noreturn]] void ThrowLastError(const wchar_t* path) {
  const DWORD code = ::GetLastError();
  ThrowFileError(CFileException(CFileException::OsErrorToException(static_cast<LONG>(code)), static_cast<LONG>(code), path));
}
}  // namespace

CString NormalizeASFSymbol(const wchar_t* text) {
  CLXASF holder;
  holder.SetSymbol(text);
  const CString symbol(holder.GetSymbol());
  if (symbol.GetLength() == 1 || symbol.GetLength() == 2) {
    const uint16_t code = ElementCodeFromString(symbol);
    if (code != kUnknownElementCode && code != 0) {
      const CString element = ElementCodeToString(code);
      if (element.GetLength() == symbol.GetLength() && element.CompareNoCase(symbol) == 0) return element;
    }
  }
  return symbol;
}

CString CapASFNote(const CString& text) {
  int units = 0;
  int keep = 0;
  for (; keep < text.GetLength(); ++keep) {
    units += static_cast<uint32_t>(text[keep]) > 0xFFFF ? 2 : 1;
    if (units > kMaxASFNoteLength) break;
  }
  return keep == text.GetLength() ? text : text.Left(keep);
}

std::string FormatASFFile(const std::vector<CLXASF>& table) {
  std::string out;
  out.reserve(4096 + table.size() * 160);
  CString rule;
  rule.LoadString(3602);
  const std::string ruleLine = rule.ToUtf8();
  AppendLine(out, ruleLine);
  AppendText(out, ProgramHeader());
  AppendLine(out, ruleLine);
  for (const char* line : kDescription) {
    const std::string text = line;
    size_t width = kDescriptionWidth;
    if (text.find('\t') != std::string::npos)
      width = kTabLineWidth;
    else if (text.find('"') != std::string::npos)
      width = kExampleNoteWidth;
    AppendLine(out, text, width);
  }
  AppendLine(out, "!" + std::string(kDescriptionWidth - 1, '-'));
  AppendLine(out, "");
  const std::string tableRule = "!" + std::string(kTableHeadWidth - 1, '-');
  AppendLine(out, tableRule);
  AppendLine(out, kCaptionF, kTableHeadWidth);
  AppendLine(out, kCaptionNames, kTableHeadWidth);
  AppendLine(out, tableRule);
  CString line, number;
  for (const CLXASF& r : table) {
    line.Format(L"%-5s %3ld  %8.3f ", r.GetSymbol(), static_cast<int32_t>(r.m_Z), r.m_weight);
    for (int k = 0; k <= 9; ++k) {
      const bool length = k == 9;
      number.Format(length ? L"%10.4f" : L"%12.6f", length ? r.m_neutronLength : r.m_coefficients[k]);
      // A number that fills its column would run into the one before and read back as another.
      if (number[0] != L' ') line += L' ';
      line += number;
    }
    if (!r.m_note.IsEmpty()) line.AppendFormat(L"   \"%s\"", NoteForFile(r.m_note).GetString());
    out += line.ToUtf8();
    out += "\r\n";
  }
  return out;
}

void WriteASFFile(const wchar_t* path, const std::vector<CLXASF>& table) {
  const std::string text = FormatASFFile(table);
  std::wstring target(path ? path : L""), beside;
  if (!qlw::CreateFileBeside(target, beside)) ThrowLastError(target.c_str());
  try {
    CLXStdioFile<CFile> file(beside.c_str());
    if (std::fwrite(text.data(), 1, text.size(), file.Stream()) != text.size())
      CFileException::ThrowErrno(errno, beside.c_str());
    file.Close();
    if (!::MoveFileExW(beside.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      ThrowLastError(target.c_str());
  } catch (CException* e) {
    ::DeleteFileW(beside.c_str());
    const CFileException* fileError = dynamic_cast<CFileException*>(e);
    const CFileException copy = fileError ? *fileError : CFileException(CFileException::genericException, -1, path);
    e->Delete();
    ThrowFileError(copy);
  } catch (...) {
    ::DeleteFileW(beside.c_str());
    throw;
  }
}

bool ReadASFFile(const wchar_t* path, std::vector<CLXASF>& out) {
  out.clear();
  if (!path || !::PathFileExistsW(path)) throw CLXXFileASFNotFound(kLXSeverityMessage, 0, __LINE__, path ? path : L"");
  CLXStdioFile<CFile> file;
  if (!file.Open(path, CFile::modeRead | CFile::shareDenyWrite))
    throw CLXXFileASFNotOpen(kLXSeverityMessage, 0, __LINE__, path);
  bool ok = false;
  try {
    FILE* stream = file.Stream();
    char buffer[kLineBufferBytes];
    int lineNumber = 0;
    for (;;) {
      const int count = ReadTextLine(stream, buffer, kLineBufferBytes);
      const bool atEnd = std::feof(stream) != 0;
      if (std::ferror(stream)) CFileException::ThrowErrno(errno ? errno : EIO, path);
      if (atEnd && count == 0) break;
      ++lineNumber;
      std::wstring line = DecodeLine(buffer, count);
      if (line.size() > kMaxLineCharacters) line.resize(kMaxLineCharacters);
      const size_t first = line.find_first_not_of(L" \t\r\n\v\f");
      if (first != std::wstring::npos) {
        line.erase(line.find_last_not_of(L" \t\r\n\v\f") + 1);
        line.erase(0, first);
        if (line[0] != L'!' && line.compare(0, 2, L"//") != 0) {
          CLXASF record;
          if (!ParseDataLine(line, record)) throw CLXXFileASFBadLine(kLXSeverityMessage, 0, __LINE__, lineNumber);
          out.push_back(record);
        }
      }
      if (atEnd) break;
    }
    // A file of comments only is no table: false, and nothing to report.
    ok = !out.empty();
  } catch (CLXException& e) {
    e.Report();
  } catch (CException* e) {
    wchar_t text[512] = {};
    e->GetErrorMessage(text, 512);
    e->Delete();
    CLXXMFC(CString(text), kLXSeverityMessage, 0, __LINE__).Report();
  } catch (const std::exception& e) {
    CLXException(e, kLXSeverityMessage).Report();
  }
  try {
    file.Close();
  } catch (CException* e) {
    e->Delete();  // a stream only read from has nothing left to lose
  }
  return ok;
}
