// CString: the class library's string over std::wstring; formatting is in Format.h, UTF-16 in Utf16.h.
#pragma once
#include <compare>
#include <cstdarg>
#include <string>
#include <string_view>
#include <utility>

#include "Format.h"
#include "Utf16.h"
#include "WinTypes.h"


class CString {
 public:
  typedef wchar_t XCHAR;
  typedef wchar_t* PXSTR;
  typedef const wchar_t* PCXSTR;

  CString() = default;
  CString(const CString&) = default;
  CString(CString&&) noexcept = default;
  CString(const wchar_t* text);               // nullptr gives an empty string
  CString(const wchar_t* text, int length);
  CString(const char* utf8);                  // decoded as UTF-8
  CString(const char* utf8, int length);
  CString(const std::wstring& text) : m_str(text) {}
  CString(std::wstring&& text) noexcept : m_str(std::move(text)) {}
  explicit CString(std::wstring_view text) : m_str(text) {}
  CString(wchar_t ch, int repeat = 1);

  CString& operator=(const CString&) = default;
  CString& operator=(CString&&) noexcept = default;
  CString& operator=(const wchar_t* text);
  CString& operator=(const char* utf8);
  CString& operator=(const std::wstring& text);
  CString& operator=(wchar_t ch);

  int GetLength() const { return static_cast<int>(m_str.size()); }
  bool IsEmpty() const { return m_str.empty(); }
  void Empty() { m_str.clear(); }
  wchar_t GetAt(int index) const;
  void SetAt(int index, wchar_t ch);
  wchar_t operator[](int index) const { return GetAt(index); }
  const wchar_t* GetString() const { return m_str.c_str(); }
  operator const wchar_t*() const { return m_str.c_str(); }

  // Direct access to the characters: write at most minLength characters (plus a NUL),
  // then ReleaseBuffer with the new length, or -1 to take the length up to the first NUL.
  wchar_t* GetBuffer();
  wchar_t* GetBuffer(int minLength);
  wchar_t* GetBufferSetLength(int length);
  void ReleaseBuffer(int newLength = -1);
  void ReleaseBufferSetLength(int newLength) { ReleaseBuffer(newLength); }
  void Truncate(int length);
  void Preallocate(int length) { m_str.reserve(static_cast<size_t>(length < 0 ? 0 : length)); }

  CString Left(int count) const;
  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  CString Right(int count) const;
  CString SpanIncluding(const wchar_t* charSet) const;
  CString SpanExcluding(const wchar_t* charSet) const;
  // Next token after iStart, skipping leading delimiters; iStart becomes -1 when none is left.
  CString Tokenize(const wchar_t* delimiters, int& iStart) const;

  int Find(wchar_t ch, int start = 0) const;
  int Find(const wchar_t* sub, int start = 0) const;
  int ReverseFind(wchar_t ch) const;
  int FindOneOf(const wchar_t* charSet) const;

  int Replace(wchar_t oldCh, wchar_t newCh);
  int Replace(const wchar_t* oldText, const wchar_t* newText);
  int Remove(wchar_t ch);
  int Insert(int index, wchar_t ch);
  int Insert(int index, const wchar_t* text);
  int Delete(int index, int count = 1);

  CString& Trim();
  CString& Trim(wchar_t target);
  CString& Trim(const wchar_t* targets);
  CString& TrimLeft();
  CString& TrimLeft(wchar_t target);
  CString& TrimLeft(const wchar_t* targets);
  CString& TrimRight();
  CString& TrimRight(wchar_t target);
  CString& TrimRight(const wchar_t* targets);

  CString& MakeUpper();
  CString& MakeLower();
  CString& MakeReverse();

  int Compare(const wchar_t* other) const;
  int CompareNoCase(const wchar_t* other) const;

  void Append(const wchar_t* text);
  void Append(const wchar_t* text, int length);
  void Append(const CString& text) { m_str += text.m_str; }
  void AppendChar(wchar_t ch) { m_str.push_back(ch); }
  void SetString(const wchar_t* text);
  void SetString(const wchar_t* text, int length);

  // Formatting with Windows printf semantics (%s wide, %S narrow, %ld 32-bit; see Format.h).
  template <typename... Args>
  void Format(const wchar_t* format, Args&&... args) {
    FormatC(format, qlw::FormatArg(std::forward<Args>(args))...);
  }
  template <typename... Args>
  void Format(UINT formatId, Args&&... args) {
    CString format;
    format.LoadString(formatId);
    FormatC(format.GetString(), qlw::FormatArg(std::forward<Args>(args))...);
  }
  template <typename... Args>
  void AppendFormat(const wchar_t* format, Args&&... args) {
    AppendFormatC(format, qlw::FormatArg(std::forward<Args>(args))...);
  }
  void FormatV(const wchar_t* format, va_list args);
  void AppendFormatV(const wchar_t* format, va_list args);

  // Loads string `id` from the string table; on failure the string is left unchanged.
  BOOL LoadString(UINT id);

  CString& operator+=(const CString& text) {
    m_str += text.m_str;
    return *this;
  }
  CString& operator+=(const wchar_t* text);
  CString& operator+=(wchar_t ch) {
    m_str.push_back(ch);
    return *this;
  }
  CString& operator+=(const char* utf8) { return *this += CString(utf8); }

  friend CString operator+(const CString& a, const CString& b) { return CString(a.m_str + b.m_str); }
  friend CString operator+(const CString& a, const wchar_t* b);
  friend CString operator+(const wchar_t* a, const CString& b);
  friend CString operator+(const CString& a, wchar_t b) { return CString(a.m_str + b); }
  friend CString operator+(wchar_t a, const CString& b) { return CString(a + b.m_str); }

  friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
  friend bool operator==(const CString& a, const wchar_t* b) { return a.Compare(b) == 0; }
  friend std::strong_ordering operator<=>(const CString& a, const CString& b) { return a.m_str <=> b.m_str; }
  friend std::strong_ordering operator<=>(const CString& a, const wchar_t* b) { return a.Compare(b) <=> 0; }

  // The underlying text, and its UTF-8 form for printing and narrow APIs.
  const std::wstring& Str() const { return m_str; }
  std::wstring& Str() { return m_str; }
  std::string ToUtf8() const;

 private:
  void FormatC(const wchar_t* format, ...);
  void AppendFormatC(const wchar_t* format, ...);

  std::wstring m_str;
};

typedef CString CStringW;

namespace qlw {
inline std::string ToUtf8(const CString& text) { return text.ToUtf8(); }
// Unicode case mapping that does not depend on the process locale.
wchar_t LowerChar(wchar_t c);
wchar_t UpperChar(wchar_t c);
}  // namespace qlw

template <>
struct std::hash<CString> {
  size_t operator()(const CString& s) const noexcept { return std::hash<std::wstring>()(s.Str()); }
};
