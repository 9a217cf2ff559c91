// Building an exception's texts from the string table, converting caught objects, reporting and logging.
#include "LXException.h"

#include "CFile.h"
#include "LXAlert.h"
#include "LXMessage.h"

#include <atomic>
#include <new>

namespace {
const UINT kSeverityTitleIds[] = {1200, 1201, 1202, 1203};

CString SeverityTitle(UINT severity) {
  UINT id = (severity >= 1 && severity <= 3) ? kSeverityTitleIds[severity - 1] : kSeverityTitleIds[3];
  CString title;
  title.LoadString(id);
  return title;
}
}  // namespace

CLXException::CLXException() = default;

CLXException::CLXException(UINT severity, LONGLONG errorCode, UINT sourceLine, std::nullptr_t)
    : m_errorCode(errorCode), m_severity(severity), m_sourceLine(sourceLine) {}

CLXException::CLXException(const CLXException& other) = default;
CLXException& CLXException::operator=(const CLXException& other) = default;
CLXException::~CLXException() = default;

CLXException::CLXException(const std::exception& caught, UINT severity) {
  if (const auto* own = dynamic_cast<const CLXException*>(&caught)) {
    *this = *own;
  } else if (dynamic_cast<const std::bad_alloc*>(&caught) != nullptr) {
    if (severity == kLXSeverityFatal)
      *this = CLXXOutOfMemory(severity, 0, 0);
    else
      *this = CLXXAllocationFailed(severity, 0, 0);
  } else {
    *this = CLXXUnknown(severity, 0, 0);
  }
}

CLXException::CLXException(CException* caught, UINT severity) {
  if (!caught) {
    *this = CLXXUnknown(severity, 0, 0);
    return;
  }
  const DWORD lastError = ::GetLastError();
  wchar_t text[512] = {};
  if (!caught->GetErrorMessage(text, 512)) text[0] = L'\0';
  caught->Delete();
  *this = CLXXMFC(CString(text), severity, static_cast<LONGLONG>(lastError), 481);
}

void CLXException::InitMessageVarargs(int unused, ...) {
  va_list args;
  va_start(args, unused);
  InitMessageV(&args);
  va_end(args);
}

void CLXException::InitMessageV(va_list* args) {
  for (CString& part : m_parts) part.Empty();
  m_codeText.Empty();
  try {
    FormatMessage(args);
  } catch (...) {
    // An exception must never throw while it describes another failure.
    MessageBeep(MB_ICONHAND);
  }
}

namespace {
// Loads string id into text, formatted with the arguments when there are any; false when the
// string is missing (text is then empty).
bool LoadFormatted(UINT id, va_list* args, CString& text) {
  if (!text.LoadString(id)) return false;
  if (args != nullptr) {
    CString formatted;
    va_list copy;
    va_copy(copy, *args);
    formatted.FormatV(text, copy);
    va_end(copy);
    text = formatted;
  }
  return true;
}
}  // namespace

void CLXException::FormatMessage(va_list* args) {
  CString text;
  LoadFormatted(m_messageId, args, text);
  SplitMessage(text, m_parts);

  if (m_parts[kMessage].IsEmpty()) {
    CString fallback;
    fallback.LoadString(CLXException::kMessageId);
    SplitMessage(fallback, m_parts);
    if (m_parts[kMessage].IsEmpty()) return;
  }

  CString code;
  code.Format(L"%4ld", static_cast<LONG>(static_cast<DWORD>(m_errorCode)));
  m_parts[kMessage].Replace(L"^0", code);
  m_parts[kExplanation].Replace(L"^0", code);

  if (m_parts[kTitle].IsEmpty()) m_parts[kTitle] = SeverityTitle(m_severity);

  if (m_sourceLine != 0)
    m_codeText.Format(L"%04x:%04x:%04x", m_messageId & 0xFFFFu, static_cast<UINT>(m_errorCode & 0xFFFF),
                      m_sourceLine & 0xFFFFu);
  else
    m_codeText.Format(L"%04x:%04x", m_messageId & 0xFFFFu, static_cast<UINT>(m_errorCode & 0xFFFF));
}

void CLXException::SplitMessage(const CString& text, CString parts[kPartCount]) {
  for (int i = 0; i < kPartCount; ++i) parts[i].Empty();
  const int length = text.GetLength();
  int pos = 0;
  // Fields beyond the sixth are dropped: there is no place to show them.
  for (int index = 0; pos < length && index < kPartCount; ++index) {
    if (text[pos] == L'|') {
      ++pos;
      continue;
    }
    int bar = text.Find(L'|', pos);
    if (bar < 0) {
      parts[index] = text.Mid(pos);
      pos = length;
    } else {
      parts[index] = text.Mid(pos, bar - pos);
      pos = bar + 1;
    }
  }
}

bool CLXException::Report() {
  if (m_reported) return true;
  try {
    UINT result = 1;
    ShowAlert(result);
    bool goOn;
    switch (m_severity) {
      case kLXSeverityInternal:
      case kLXSeverityFatal: goOn = false; break;
      case kLXSeverityMessage: goOn = true; break;
      case kLXSeverityUser: goOn = (result == 1); break;
      default: goOn = true; break;
    }
    m_reported = true;
    return goOn;
  } catch (...) {
    MessageBeep(MB_ICONHAND);
    m_reported = true;
    return false;
  }
}

void CLXException::ShowAlert(UINT& result) {
  result = 1;
  if (m_severity == 0) return;
  UINT kind;
  switch (m_severity) {
    case kLXSeverityMessage: kind = CLXAlert::kInformation; break;
    case kLXSeverityUser: kind = CLXAlert::kQuestion; break;
    default: kind = CLXAlert::kError; break;
  }
  CLXAlert alert(m_ownerWindow);
  alert.SetMessage(kind, m_parts, m_codeText);
  result = alert.DoModal();
}

CLXXMFC::CLXXMFC(const CString& errorText, UINT severity, LONGLONG errorCode, UINT sourceLine)
    : CLXException(severity, errorCode, sourceLine, nullptr), m_errorText(errorText) {
  InitMessage();
}

void CLXXMFC::FormatMessage(va_list* args) {
  CLXException::FormatMessage(args);
  if (m_errorText.IsEmpty()) return;
  CString message;
  message.LoadString(1204);
  CString code;
  code.Format(L"%ld", static_cast<LONG>(static_cast<DWORD>(m_errorCode)));
  message.Replace(L"^0", code);
  m_parts[kMessage] = message;
  m_parts[kExplanation] = m_errorText;
}

void LogStringVarargs(UINT stringId, bool withColour, DWORD argb, ...) {
  va_list args;
  va_start(args, argb);
  LogStringV(stringId, withColour, argb, &args);
  va_end(args);
}

namespace {
std::atomic<LXLogHandler> g_logHandlerWithoutWindow{nullptr};
thread_local CLXLogCapture* t_innermostCapture = nullptr;
}  // namespace

LXLogHandler SetLogHandlerWithoutWindow(LXLogHandler handler) { return g_logHandlerWithoutWindow.exchange(handler); }

CLXLogCapture::CLXLogCapture(bool passOn) : m_outer(t_innermostCapture), m_passOn(passOn) { t_innermostCapture = this; }

CLXLogCapture::~CLXLogCapture() { t_innermostCapture = m_outer; }

std::vector<CString> CLXLogCapture::GetWarnings() const {
  std::vector<CString> warnings;
  for (const LXLogLine& line : m_lines)
    if (line.coloured) warnings.push_back(line.text);
  return warnings;
}

bool CLXLogCapture::Capture(const LXLogLine& line) {
  for (CLXLogCapture* capture = t_innermostCapture; capture != nullptr; capture = capture->m_outer) {
    capture->m_lines.push_back(line);
    if (!capture->m_passOn) return false;
  }
  return true;
}

void LogStringV(UINT stringId, bool withColour, DWORD argb, va_list* args) {
  LXLogLine line;
  if (!LoadFormatted(stringId, args, line.text)) return;
  line.coloured = withColour;
  line.argb = withColour ? argb : 0;
  if (!CLXLogCapture::Capture(line)) return;
  // Synchronous: the receiver reads the text through its address.
  CLXMsgTarget message(static_cast<HWND>(nullptr), withColour ? g_msgLogStringColor : g_msgLogString,
                       reinterpret_cast<LPARAM>(&line.text), static_cast<WPARAM>(line.argb));
  if (message.GetTarget() != nullptr) {
    message.Send(CLXMessage::kModeSync);
  } else if (LXLogHandler handler = g_logHandlerWithoutWindow.load()) {
    handler(line);
  }
}
