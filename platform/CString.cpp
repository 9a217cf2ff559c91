#include "CString.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include <locale.h>
#include <wctype.h>

#include "Resources.h"

namespace {
// C.UTF-8 knows every letter's case whatever locale the user runs; plain C knows only ASCII.
locale_t CaseLocale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
  }();
  return loc;
}

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }
const wchar_t* OrEmpty(const wchar_t* s) { return s ? s : L""; }
bool IsBlank(wchar_t c) { return iswspace_l(static_cast<wint_t>(c), CaseLocale()) != 0; }
}  // namespace

CString::CString(const wchar_t* text) : m_str(OrEmpty(text)) {}
CString::CString(const wchar_t* text, int length)
    : m_str(text && length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring()) {}
CString::CString(const char* utf8) : m_str(utf8 ? qlw::FromUtf8(utf8) : std::wstring()) {}
CString::CString(const char* utf8, int length)
    : m_str(utf8 && length > 0 ? qlw::FromUtf8(std::string_view(utf8, static_cast<size_t>(length))) : std::wstring()) {}
CString::CString(wchar_t ch, int repeat) : m_str(static_cast<size_t>(repeat > 0 ? repeat : 0), ch) {}

CString& CString::operator=(const wchar_t* text) {
  m_str = OrEmpty(text);
  return *this;
}
CString& CString::operator=(const char* utf8) {
  m_str = utf8 ? qlw::FromUtf8(utf8) : std::wstring();
  return *this;
}
CString& CString::operator=(const std::wstring& text) {
  m_str = text;
  return *this;
}
CString& CString::operator=(wchar_t ch) {
  m_str.assign(1, ch);
  return *this;
}

wchar_t CString::GetAt(int index) const {
  return index >= 0 && index < GetLength() ? m_str[static_cast<size_t>(index)] : L'\0';
}

void CString::SetAt(int index, wchar_t ch) {
  if (index >= 0 && index < GetLength()) m_str[static_cast<size_t>(index)] = ch;
}

wchar_t* CString::GetBuffer() { return m_str.data(); }

wchar_t* CString::GetBuffer(int minLength) {
  if (minLength > GetLength()) m_str.resize(static_cast<size_t>(minLength));
  return m_str.data();
}

wchar_t* CString::GetBufferSetLength(int length) {
  m_str.resize(static_cast<size_t>(length < 0 ? 0 : length));
  return m_str.data();
}

void CString::ReleaseBuffer(int newLength) {
  if (newLength < 0) newLength = static_cast<int>(wcsnlen(m_str.c_str(), m_str.size()));
  m_str.resize(static_cast<size_t>(std::min(newLength, GetLength())));
}

void CString::Truncate(int length) {
  if (length >= 0 && length < GetLength()) m_str.resize(static_cast<size_t>(length));
}

CString CString::Left(int count) const { return CString(m_str.substr(0, static_cast<size_t>(Clamp(count, 0, GetLength())))); }

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
  first = Clamp(first, 0, GetLength());
  count = Clamp(count, 0, GetLength() - first);
  return CString(m_str.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Right(int count) const {
  count = Clamp(count, 0, GetLength());
  return CString(m_str.substr(static_cast<size_t>(GetLength() - count)));
}

CString CString::SpanIncluding(const wchar_t* charSet) const {
  return Left(static_cast<int>(std::wcsspn(m_str.c_str(), OrEmpty(charSet))));
}

CString CString::SpanExcluding(const wchar_t* charSet) const {
  return Left(static_cast<int>(std::wcscspn(m_str.c_str(), OrEmpty(charSet))));
}

CString CString::Tokenize(const wchar_t* delimiters, int& iStart) const {
  if (iStart < 0 || iStart >= GetLength()) {
    iStart = -1;
    return CString();
  }
  const wchar_t* delims = OrEmpty(delimiters);
  size_t begin = m_str.find_first_not_of(delims, static_cast<size_t>(iStart));
  if (begin == std::wstring::npos) {
    iStart = -1;
    return CString();
  }
  size_t end = m_str.find_first_of(delims, begin);
  if (end == std::wstring::npos) end = m_str.size();
  iStart = static_cast<int>(end) + 1;
  return CString(m_str.substr(begin, end - begin));
}

int CString::Find(wchar_t ch, int start) const {
  if (start < 0 || start >= GetLength()) return -1;
  size_t at = m_str.find(ch, static_cast<size_t>(start));
  return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CString::Find(const wchar_t* sub, int start) const {
  if (!sub || start < 0 || start > GetLength()) return -1;
  size_t at = m_str.find(sub, static_cast<size_t>(start));
  return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(wchar_t ch) const {
  size_t at = m_str.rfind(ch);
  return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CString::FindOneOf(const wchar_t* charSet) const {
  if (!charSet || !*charSet) return -1;
  size_t at = m_str.find_first_of(charSet);
  return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CString::Replace(wchar_t oldCh, wchar_t newCh) {
  int count = 0;
  for (wchar_t& c : m_str) {
    if (c == oldCh) {
      c = newCh;
      ++count;
    }
  }
  return count;
}

int CString::Replace(const wchar_t* oldText, const wchar_t* newText) {
  if (!oldText || !*oldText) return 0;
  const std::wstring from(oldText), to(OrEmpty(newText));
  int count = 0;
  std::wstring result;
  size_t pos = 0;
  for (size_t at; (at = m_str.find(from, pos)) != std::wstring::npos; pos = at + from.size()) {
    result.append(m_str, pos, at - pos);
    result += to;
    ++count;
  }
  if (count) {
    result.append(m_str, pos, std::wstring::npos);
    m_str.swap(result);
  }
  return count;
}

int CString::Remove(wchar_t ch) {
  size_t before = m_str.size();
  m_str.erase(std::remove(m_str.begin(), m_str.end(), ch), m_str.end());
  return static_cast<int>(before - m_str.size());
}

int CString::Insert(int index, wchar_t ch) {
  m_str.insert(static_cast<size_t>(Clamp(index, 0, GetLength())), 1, ch);
  return GetLength();
}

int CString::Insert(int index, const wchar_t* text) {
  m_str.insert(static_cast<size_t>(Clamp(index, 0, GetLength())), OrEmpty(text));
  return GetLength();
}

int CString::Delete(int index, int count) {
  if (index < 0) index = 0;
  if (count > 0 && index < GetLength()) m_str.erase(static_cast<size_t>(index), static_cast<size_t>(count));
  return GetLength();
}

CString& CString::TrimLeft() {
  size_t n = 0;
  while (n < m_str.size() && IsBlank(m_str[n])) ++n;
  m_str.erase(0, n);
  return *this;
}

CString& CString::TrimLeft(wchar_t target) {
  size_t n = m_str.find_first_not_of(target);
  m_str.erase(0, n == std::wstring::npos ? m_str.size() : n);
  return *this;
}

CString& CString::TrimLeft(const wchar_t* targets) {
  size_t n = m_str.find_first_not_of(OrEmpty(targets));
  m_str.erase(0, n == std::wstring::npos ? m_str.size() : n);
  return *this;
}

CString& CString::TrimRight() {
  size_t n = m_str.size();
  while (n > 0 && IsBlank(m_str[n - 1])) --n;
  m_str.resize(n);
  return *this;
}

CString& CString::TrimRight(wchar_t target) {
  size_t n = m_str.find_last_not_of(target);
  m_str.resize(n == std::wstring::npos ? 0 : n + 1);
  return *this;
}

CString& CString::TrimRight(const wchar_t* targets) {
  size_t n = m_str.find_last_not_of(OrEmpty(targets));
  m_str.resize(n == std::wstring::npos ? 0 : n + 1);
  return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }
CString& CString::Trim(wchar_t target) { return TrimRight(target).TrimLeft(target); }
CString& CString::Trim(const wchar_t* targets) { return TrimRight(targets).TrimLeft(targets); }

CString& CString::MakeUpper() {
  for (wchar_t& c : m_str) c = qlw::UpperChar(c);
  return *this;
}

CString& CString::MakeLower() {
  for (wchar_t& c : m_str) c = qlw::LowerChar(c);
  return *this;
}

CString& CString::MakeReverse() {
  std::reverse(m_str.begin(), m_str.end());
  return *this;
}

int CString::Compare(const wchar_t* other) const {
  int c = m_str.compare(OrEmpty(other));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CString::CompareNoCase(const wchar_t* other) const {
  const wchar_t* a = m_str.c_str();
  const wchar_t* b = OrEmpty(other);
  for (;; ++a, ++b) {
    wint_t ca = static_cast<wint_t>(qlw::LowerChar(*a));
    wint_t cb = static_cast<wint_t>(qlw::LowerChar(*b));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (!ca) return 0;
  }
}

void CString::Append(const wchar_t* text) { m_str += OrEmpty(text); }

void CString::Append(const wchar_t* text, int length) {
  if (text && length > 0) m_str.append(text, static_cast<size_t>(length));
}

void CString::SetString(const wchar_t* text) { m_str = OrEmpty(text); }

void CString::SetString(const wchar_t* text, int length) {
  m_str = text && length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

void CString::FormatV(const wchar_t* format, va_list args) { m_str = qlw::FormatV(format, args); }

void CString::AppendFormatV(const wchar_t* format, va_list args) { m_str += qlw::FormatV(format, args); }

void CString::FormatC(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::AppendFormatC(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  AppendFormatV(format, args);
  va_end(args);
}

BOOL CString::LoadString(UINT id) { return ::LoadString(id, *this); }

CString& CString::operator+=(const wchar_t* text) {
  m_str += OrEmpty(text);
  return *this;
}

CString operator+(const CString& a, const wchar_t* b) { return CString(a.m_str + OrEmpty(b)); }
CString operator+(const wchar_t* a, const CString& b) { return CString(OrEmpty(a) + b.m_str); }

std::string CString::ToUtf8() const { return qlw::ToUtf8(std::wstring_view(m_str)); }

namespace qlw {
wchar_t LowerChar(wchar_t c) { return static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), CaseLocale())); }
wchar_t UpperChar(wchar_t c) { return static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), CaseLocale())); }
}  // namespace qlw
