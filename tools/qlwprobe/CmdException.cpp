// `exception ID SEVERITY [CODE [LINE]]`: the texts an exception with that message id would show.
#include "LXException.h"
#include "Probe.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {
// Any message id, as the error classes set theirs.
class CProbeException : public CLXException {
 public:
  CProbeException(UINT messageId, UINT severity, LONGLONG code, UINT line) : CLXException(severity, code, line, nullptr) {
    m_messageId = messageId;
    InitMessage();
  }
};

// Decimal (a leading zero is not octal), or hexadecimal after "0x"; a code may be negative.
bool ParseNumber(const std::string& text, unsigned long long& value) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* digits = text.c_str() + (hex ? 2 : 0);
  const char* first = digits + (!hex && *digits == '-' ? 1 : 0);
  if (!std::isxdigit(static_cast<unsigned char>(*first))) return false;
  char* end = nullptr;
  errno = 0;
  if (hex)
    value = std::strtoull(digits, &end, 16);
  else
    value = static_cast<unsigned long long>(std::strtoll(digits, &end, 10));
  return errno == 0 && *end == '\0';
}

int RunException(const std::vector<std::string>& args) {
  if (args.size() < 2 || args.size() > 4) {
    std::fprintf(stderr, "usage: qlwprobe exception ID SEVERITY [CODE [LINE]]\n");
    return 2;
  }
  unsigned long long numbers[4] = {0, 0, 0, 0};
  for (size_t i = 0; i < args.size(); ++i) {
    if (!ParseNumber(args[i], numbers[i])) {
      std::fprintf(stderr, "qlwprobe: '%s' is not a number\n", args[i].c_str());
      return 2;
    }
  }
  CProbeException e(static_cast<UINT>(numbers[0]), static_cast<UINT>(numbers[1]),
                    static_cast<LONGLONG>(numbers[2]), static_cast<UINT>(numbers[3]));
  std::printf("%s\n%s\n%s\n%s\n", e.GetTitle().ToUtf8().c_str(), e.GetMessage().ToUtf8().c_str(),
              e.GetExplanation().ToUtf8().c_str(), e.GetCodeText().ToUtf8().c_str());
  return 0;
}
}  // namespace

QLW_PROBE_COMMAND(exception, "exception", "ID SEVERITY [CODE [LINE]]", RunException);
