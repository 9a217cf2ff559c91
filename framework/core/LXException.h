// The framework's exception root CLXException, the one-line scheme for CLXX error classes and the
// error classes of the application base; other folders declare their own with LX_DECLARE_EXCEPTION.
#pragma once
#include "Win.h"

#include <cstdarg>
#include <cstddef>
#include <exception>
#include <string>
#include <type_traits>
#include <vector>

class CException;

// Severities of a CLXException.
enum : UINT {
  kLXSeverityInternal = 1,  // internal error
  kLXSeverityMessage = 2,   // message from the program
  kLXSeverityUser = 3,      // user action required
  kLXSeverityFatal = 4,     // fatal error
};

namespace LXExceptionDetail {
// C varargs carry only numbers and strings: strings go as their characters, 64-bit integers
// (`long` is 64-bit here) keep all their bits for "%lld", smaller integers travel as int, and
// anything else is refused at compile time.
inline const wchar_t* Arg(const CString& s) { return static_cast<LPCWSTR>(s); }
inline const wchar_t* Arg(const std::wstring& s) { return s.c_str(); }
inline const wchar_t* Arg(const wchar_t* s) { return s; }
inline const char* Arg(const char* s) { return s; }
template <std::size_t N>
inline const wchar_t* Arg(const wchar_t (&s)[N]) { return s; }
template <std::size_t N>
inline const char* Arg(const char (&s)[N]) { return s; }
template <typename T>
inline auto Arg(const T& v)
  requires(std::is_arithmetic_v<T> || std::is_enum_v<T>)
{
  if constexpr (std::is_enum_v<T>) {
    return Arg(static_cast<std::underlying_type_t<T>>(v));
  } else if constexpr (std::is_floating_point_v<T>) {
    return static_cast<double>(v);
  } else if constexpr (sizeof(T) == 8) {
    return static_cast<std::conditional_t<std::is_signed_v<T>, long long, unsigned long long>>(v);
  } else {
    return static_cast<std::conditional_t<std::is_signed_v<T> || sizeof(T) < 4, int, unsigned int>>(v);
  }
}
}  // namespace LXExceptionDetail

class CLXException : public std::exception {
 public:
  static constexpr UINT kMessageId = 20481;
  enum { kTitle = 0, kMessage = 1, kExplanation = 2, kButton1 = 3, kButton2 = 4, kButton3 = 5, kPartCount = 6 };

  CLXException();
  // Texts come from the string table entry of the most derived class's message id; args fill its
  // placeholders.
  template <typename... Args>
  CLXException(UINT severity, LONGLONG errorCode, UINT sourceLine, const Args&... args)
      : CLXException(severity, errorCode, sourceLine, nullptr) {
    InitMessage(args...);
  }
  // A caught standard exception becomes a framework exception (a CLXException is copied whole).
  CLXException(const std::exception& caught, UINT severity);
  // A caught class-library exception (thrown as a pointer) becomes a CLXXMFC carrying its error
  // text, and is deleted; a null pointer becomes a CLXXUnknown.
  CLXException(CException* caught, UINT severity);
  CLXException(const CLXException& other);
  CLXException& operator=(const CLXException& other);
  ~CLXException() override;

  // Shows the object once; says whether work may go on.
  bool Report();
  // Shows the alert and stores its answer (1 for the first button).
  void ShowAlert(UINT& result);

  static void SplitMessage(const CString& text, CString parts[kPartCount]);

  UINT GetMessageId() const { return m_messageId; }
  LONGLONG GetErrorCode() const { return m_errorCode; }
  UINT GetSeverity() const { return m_severity; }
  UINT GetSourceLine() const { return m_sourceLine; }
  bool IsReported() const { return m_reported; }
  void SetReported(bool reported) { m_reported = reported; }
  const CString& GetPart(int index) const { return m_parts[index]; }
  const CString& GetTitle() const { return m_parts[kTitle]; }
  const CString& GetMessage() const { return m_parts[kMessage]; }
  const CString& GetExplanation() const { return m_parts[kExplanation]; }
  const CString& GetCodeText() const { return m_codeText; }
  HWND GetOwnerWindow() const { return m_ownerWindow; }
  void SetOwnerWindow(HWND owner) { m_ownerWindow = owner; }

 protected:
  // Base part of every error class: no texts built from format arguments yet.
  CLXException(UINT severity, LONGLONG errorCode, UINT sourceLine, std::nullptr_t);

  template <typename... Args>
  void InitMessage(const Args&... args) {
    if constexpr (sizeof...(Args) == 0)
      InitMessageV(nullptr);
    else
      InitMessageVarargs(0, LXExceptionDetail::Arg(args)...);
  }
  void InitMessageVarargs(int unused, ...);
  // args is null when the thrower gave no format arguments (the text is then not a format).
  void InitMessageV(va_list* args);
  virtual void FormatMessage(va_list* args);

  UINT m_messageId = kMessageId;
  LONGLONG m_errorCode = 0;
  UINT m_severity = 0;
  UINT m_sourceLine = 0;
  bool m_reported = false;
  CString m_parts[kPartCount];
  CString m_codeText;
  HWND m_ownerWindow = nullptr;
};

// Declares an error class in one line: LX_DECLARE_EXCEPTION(CLXXFile, CLXException, 20483).
// Thrown by value: throw CLXXFile(kLXSeverityMessage, errno, __LINE__, args...). The texts are
// built once, by the most derived class; its bases only take the numbers.
#define LX_DECLARE_EXCEPTION(name, base, id)                                                       \
  class name : public base {                                                                      \
   public:                                                                                        \
    static constexpr UINT kMessageId = (id);                                                      \
    template <typename... Args>                                                                   \
    name(UINT severity, LONGLONG errorCode, UINT sourceLine, const Args&... args)                 \
        : base(severity, errorCode, sourceLine, nullptr) {                                        \
      this->m_messageId = kMessageId;                                                             \
      this->InitMessage(args...);                                                                 \
    }                                                                                             \
                                                                                                  \
   protected:                                                                                     \
    name(UINT severity, LONGLONG errorCode, UINT sourceLine, std::nullptr_t)                      \
        : base(severity, errorCode, sourceLine, nullptr) {}                                       \
  }

// Wraps a failure of the class library: its error text becomes the explanation.
class CLXXMFC : public CLXException {
 public:
  CLXXMFC(const CString& errorText, UINT severity, LONGLONG errorCode, UINT sourceLine);
  const CString& GetErrorText() const { return m_errorText; }

 protected:
  void FormatMessage(va_list* args) override;

 private:
  CString m_errorText;
};

LX_DECLARE_EXCEPTION(CLXXUnknown, CLXException, 20481);
LX_DECLARE_EXCEPTION(CLXXMemory, CLXException, 20484);
LX_DECLARE_EXCEPTION(CLXXAllocationFailed, CLXXMemory, 20583);
// A command the program does not carry out yet.
LX_DECLARE_EXCEPTION(CLXXUnimplemented, CLXException, 20582);
LX_DECLARE_EXCEPTION(CLXXOutOfMemory, CLXXMemory, 20584);
LX_DECLARE_EXCEPTION(CLXXResource, CLXException, 20487);
LX_DECLARE_EXCEPTION(CLXXNoVersionInfo, CLXXResource, 20587);
LX_DECLARE_EXCEPTION(CLXXFile, CLXException, 20483);
LX_DECLARE_EXCEPTION(CLXXNoDataFolder, CLXXFile, 20792);
LX_DECLARE_EXCEPTION(CLXXFileLotsOfFiles, CLXXFile, 21094);
LX_DECLARE_EXCEPTION(CLXXProduct, CLXException, 20486);
LX_DECLARE_EXCEPTION(CLXXMain, CLXXProduct, 20780);
LX_DECLARE_EXCEPTION(CLXXAppInit, CLXXMain, 20782);
LX_DECLARE_EXCEPTION(CLXXNoAppMutex, CLXXMain, 20790);
LX_DECLARE_EXCEPTION(CLXXWrongOSVersion, CLXXMain, 20807);
LX_DECLARE_EXCEPTION(CLXXNoNewApp, CLXXMain, 20797);
LX_DECLARE_EXCEPTION(CLXXNoHelp, CLXXMain, 20795);
LX_DECLARE_EXCEPTION(CLXXNoWebAddress, CLXXMain, 20796);
LX_DECLARE_EXCEPTION(CLXXTutorialNotFound, CLXXMain, 20802);
LX_DECLARE_EXCEPTION(CLXXTutorialCantOpen, CLXXMain, 20801);
LX_DECLARE_EXCEPTION(CLXXUserGuideNotFound, CLXXMain, 20806);
LX_DECLARE_EXCEPTION(CLXXUserGuideCantOpen, CLXXMain, 20805);
LX_DECLARE_EXCEPTION(CLXXFileAssocFailed, CLXXMain, 20787);
LX_DECLARE_EXCEPTION(CLXXFileAssocCancel, CLXXMain, 20786);
LX_DECLARE_EXCEPTION(CLXXUtilities, CLXXProduct, 21580);
LX_DECLARE_EXCEPTION(CLXXCantCreateMutex, CLXXUtilities, 21583);

// Sends a string-table text, formatted with args, to the main window's log ("LogString").
template <typename... Args>
void LogString(UINT stringId, const Args&... args);
// The same with a 32-bit ARGB colour ("LogStringColor").
template <typename... Args>
void LogStringColor(UINT stringId, DWORD argb, const Args&... args);

// One line of the log. The readers send their warnings coloured (LogStringColor).
struct LXLogLine {
  CString text;
  bool coloured = false;
  DWORD argb = 0;
};

// Takes the lines that no main window receives, as a program without windows has none; returns
// the handler installed before. Called on the logging thread.
using LXLogHandler = void (*)(const LXLogLine& line);
LXLogHandler SetLogHandlerWithoutWindow(LXLogHandler handler);

// Keeps the lines that the calling thread logs while it lives, such as the warnings of one file's
// read. Captures nest; one that does not pass the lines on keeps them from the outer captures,
// the main window and the handler.
class CLXLogCapture {
 public:
  explicit CLXLogCapture(bool passOn = true);
  ~CLXLogCapture();
  CLXLogCapture(const CLXLogCapture&) = delete;
  CLXLogCapture& operator=(const CLXLogCapture&) = delete;

  const std::vector<LXLogLine>& GetLines() const { return m_lines; }
  // The texts of the coloured lines.
  std::vector<CString> GetWarnings() const;
  // Hands the line to the thread's captures, innermost first; false when one keeps it.
  static bool Capture(const LXLogLine& line);

 private:
  CLXLogCapture* m_outer;
  bool m_passOn;
  std::vector<LXLogLine> m_lines;
};

// args is null when no format arguments were given.
void LogStringV(UINT stringId, bool withColour, DWORD argb, va_list* args);
void LogStringVarargs(UINT stringId, bool withColour, DWORD argb, ...);

template <typename... Args>
void LogString(UINT stringId, const Args&... args) {
  if constexpr (sizeof...(Args) == 0)
    LogStringV(stringId, false, 0, nullptr);
  else
    LogStringVarargs(stringId, false, 0, LXExceptionDetail::Arg(args)...);
}
template <typename... Args>
void LogStringColor(UINT stringId, DWORD argb, const Args&... args) {
  if constexpr (sizeof...(Args) == 0)
    LogStringV(stringId, true, argb, nullptr);
  else
    LogStringVarargs(stringId, true, argb, LXExceptionDetail::Arg(args)...);
}
