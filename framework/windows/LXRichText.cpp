// The RTF reader: a group stack of character states, control words and symbols, the destinations
// that hold no text skipped whole.
#include "LXRichText.h"

#include <algorithm>
#include <cctype>
#include <cwchar>
#include <cwctype>
#include <set>

namespace {
// Windows-1252's characters for bytes 0x80 to 0x9F (0 where the code page has none).
constexpr char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

wchar_t FromCp1252(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kCp1252High[byte - 0x80] ? wchar_t(kCp1252High[byte - 0x80]) : L'?';
  return wchar_t(byte);
}

// Destinations whose contents are never text of the document.
const std::set<std::string>& SkippedDestinations() {
  static const std::set<std::string> names = {
      "fonttbl", "colortbl", "stylesheet", "info",     "pict",     "header",  "headerl", "headerr", "headerf",
      "footer",  "footerl",  "footerr",    "footerf",  "footnote", "object",  "objdata", "themedata",
      "colorschememapping", "latentstyles", "datastore", "listtable", "listoverridetable", "rsidtbl",
      "generator", "xmlnstbl", "fldinst", "filetbl", "revtbl", "pgdsctbl", "nonshppict", "bkmkstart", "bkmkend"};
  return names;
}

struct State {
  bool bold = false, italic = false, underline = false;
  bool skip = false;
  int unicodeSkip = 1;  // \ucN: fallback characters after each \uN
};

class Reader {
 public:
  Reader(std::string_view rtf, CRichTextDocument& out) : m_in(rtf), m_out(out) {}

  bool Run() {
    m_out.paragraphs.assign(1, CRichTextParagraph{});
    std::vector<State> stack;
    State state;
    while (m_pos < m_in.size()) {
      const char c = m_in[m_pos];
      if (c == '{') {
        ++m_pos;
        if (static_cast<int>(stack.size()) >= LXRichText::kMaxDepth) return false;
        stack.push_back(state);
        m_groupStart = true;
      } else if (c == '}') {
        ++m_pos;
        m_pendingSkip = 0;
        if (stack.empty()) continue;  // one brace too many closes nothing
        state = stack.back();
        stack.pop_back();
        m_groupStart = false;
      } else if (c == '\\') {
        if (!ControlWord(state)) return false;
      } else if (c == '\r' || c == '\n') {
        ++m_pos;
      } else {
        ++m_pos;
        m_groupStart = false;
        Emit(state, FromCp1252(static_cast<unsigned char>(c)));
      }
    }
    FlushSurrogate(state);
    return true;
  }

 private:
  void Emit(const State& state, wchar_t ch) {
    if (state.skip) return;
    if (m_pendingSkip > 0) {
      --m_pendingSkip;
      return;
    }
    if (m_highSurrogate && !(ch >= 0xDC00 && ch <= 0xDFFF)) FlushSurrogate(state);
    if (ch >= 0xD800 && ch <= 0xDBFF) {
      m_highSurrogate = ch;
      return;
    }
    if (ch >= 0xDC00 && ch <= 0xDFFF) {
      if (!m_highSurrogate) return;  // a lone low half shows nothing
      ch = wchar_t(0x10000 + ((m_highSurrogate - 0xD800) << 10) + (ch - 0xDC00));
      m_highSurrogate = 0;
    }
    Append(state, std::wstring(1, ch));
  }

  void FlushSurrogate(const State&) { m_highSurrogate = 0; }

  void Append(const State& state, const std::wstring& text) {
    auto& runs = m_out.paragraphs.back().runs;
    if (runs.empty() || runs.back().bold != state.bold || runs.back().italic != state.italic ||
        runs.back().underline != state.underline)
      runs.push_back(CRichTextRun{L"", state.bold, state.italic, state.underline});
    runs.back().text += text;
  }

  void NewParagraph(const State& state) {
    if (state.skip) return;
    m_out.paragraphs.emplace_back();
  }

  // At a backslash: one control word or symbol. False when the text cannot be read on.
  bool ControlWord(State& state) {
    ++m_pos;
    if (m_pos >= m_in.size()) return true;
    const char c = m_in[m_pos];
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      ++m_pos;
      const bool starred = c == '*' && m_groupStart;
      if (c != '*') m_groupStart = false;
      switch (c) {
        case '\\':
        case '{':
        case '}': Emit(state, wchar_t(c)); break;
        case '~': Emit(state, L'\u00A0'); break;
        case '_': Emit(state, L'\u2011'); break;
        case '\'': {
          int value = 0, digits = 0;
          while (digits < 2 && m_pos < m_in.size() && std::isxdigit(static_cast<unsigned char>(m_in[m_pos]))) {
            const char h = static_cast<char>(std::tolower(static_cast<unsigned char>(m_in[m_pos++])));
            value = value * 16 + (h <= '9' ? h - '0' : h - 'a' + 10);
            ++digits;
          }
          if (digits > 0) Emit(state, FromCp1252(static_cast<unsigned char>(value)));
          break;
        }
        case '\r':
        case '\n': NewParagraph(state); break;
        case '*':
          // {\*\name …}: a destination this reader does not know is skipped whole.
          if (starred) state.skip = true;
          break;
        default: break;  // \- (optional hyphen) and unknown symbols show nothing
      }
      return true;
    }
    const size_t start = m_pos;
    while (m_pos < m_in.size() && std::isalpha(static_cast<unsigned char>(m_in[m_pos])) && m_pos - start < 32) ++m_pos;
    const std::string word(m_in.substr(start, m_pos - start));
    bool hasParam = false, negative = false;
    long long param = 0;
    if (m_pos < m_in.size() && m_in[m_pos] == '-') {
      negative = true;
      ++m_pos;
    }
    int digits = 0;
    while (m_pos < m_in.size() && std::isdigit(static_cast<unsigned char>(m_in[m_pos]))) {
      // Parameters are 16 or 32 bits: further digits are read past but not counted.
      if (digits < 10) param = param * 10 + (m_in[m_pos] - '0');
      ++digits;
      ++m_pos;
      hasParam = true;
    }
    if (negative) param = -param;
    if (m_pos < m_in.size() && m_in[m_pos] == ' ') ++m_pos;  // the delimiter belongs to the word
    const bool groupStart = m_groupStart;
    m_groupStart = false;

    if (word == "bin") {
      // Binary data: skipped, and never past the end of the text.
      if (!hasParam || param < 0 || static_cast<unsigned long long>(param) > m_in.size() - m_pos) return false;
      m_pos += static_cast<size_t>(param);
      return true;
    }
    if (groupStart && SkippedDestinations().count(word)) {
      state.skip = true;
      return true;
    }
    const bool on = !hasParam || param != 0;
    if (word == "par" || word == "line" || word == "sect" || word == "page") {
      NewParagraph(state);
    } else if (word == "tab") {
      Emit(state, L'\t');
    } else if (word == "b") {
      state.bold = on;
    } else if (word == "i") {
      state.italic = on;
    } else if (word == "ul") {
      state.underline = on;
    } else if (word == "ulnone") {
      state.underline = false;
    } else if (word == "plain") {
      state.bold = state.italic = state.underline = false;
    } else if (word == "uc") {
      if (hasParam && param >= 0) state.unicodeSkip = static_cast<int>(std::min<long long>(param, 16));
    } else if (word == "u" && hasParam) {
      // A signed 16-bit value: -4064 is U+F020.
      long long code = param;
      if (code < 0) code += 65536;
      if (code >= 0 && code <= 0xFFFF) {
        const int skip = state.unicodeSkip;
        m_pendingSkip = 0;
        Emit(state, wchar_t(code));
        m_pendingSkip = skip;
      }
    } else if (word == "emdash") {
      Emit(state, L'\u2014');
    } else if (word == "endash") {
      Emit(state, L'\u2013');
    } else if (word == "lquote") {
      Emit(state, L'\u2018');
    } else if (word == "rquote") {
      Emit(state, L'\u2019');
    } else if (word == "ldblquote") {
      Emit(state, L'\u201C');
    } else if (word == "rdblquote") {
      Emit(state, L'\u201D');
    } else if (word == "bullet") {
      Emit(state, L'\u2022');
    }
    return true;
  }

  std::string_view m_in;
  CRichTextDocument& m_out;
  size_t m_pos = 0;
  bool m_groupStart = false;
  int m_pendingSkip = 0;
  wchar_t m_highSurrogate = 0;
};

bool IsSchemeChar(wchar_t c) { return std::iswalnum(c) || c == L'+' || c == L'-' || c == L'.'; }
}  // namespace

std::wstring CRichTextParagraph::Text() const {
  std::wstring text;
  for (const CRichTextRun& run : runs) text += run.text;
  return text;
}

std::wstring CRichTextDocument::Text(std::wstring_view sep) const {
  std::wstring text;
  for (size_t i = 0; i < paragraphs.size(); ++i) {
    if (i) text += sep;
    text += paragraphs[i].Text();
  }
  return text;
}

namespace LXRichText {
bool ReadRtf(std::string_view rtf, CRichTextDocument& out) {
  Reader reader(rtf, out);
  const bool ok = reader.Run();
  // The paragraph mark that ends the last paragraph opens no empty one after it.
  if (out.paragraphs.size() > 1 && out.paragraphs.back().runs.empty()) out.paragraphs.pop_back();
  return ok;
}

std::wstring FromWindows1252(std::string_view bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  for (char c : bytes) text += FromCp1252(static_cast<unsigned char>(c));
  return text;
}

void ReadPlain(std::wstring_view text, CRichTextDocument& out) {
  out.paragraphs.assign(1, CRichTextParagraph{});
  std::wstring line;
  auto flush = [&] {
    if (!line.empty()) out.paragraphs.back().runs.push_back(CRichTextRun{line});
    line.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'\r' || c == L'\n') {
      if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      flush();
      out.paragraphs.emplace_back();
    } else {
      line += c;
    }
  }
  flush();
}

std::vector<std::pair<size_t, size_t>> FindUrlWords(std::wstring_view text) {
  std::vector<std::pair<size_t, size_t>> found;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && std::iswspace(text[i])) ++i;
    size_t end = i;
    while (end < text.size() && !std::iswspace(text[end])) ++end;
    size_t begin = i;
    // Opening brackets and quotes before a word are not part of it.
    while (begin < end && std::wcschr(L"([<\"'\u201C\u2018", text[begin])) ++begin;
    size_t last = end;
    while (last > begin && std::wcschr(L".,;:!?)]>\"'\u201D\u2019", text[last - 1])) --last;
    const std::wstring_view word = text.substr(begin, last - begin);
    bool url = false;
    if (word.size() > 4 && (word.substr(0, 4) == L"www." || word.substr(0, 4) == L"WWW.")) {
      url = true;
    } else if (!word.empty() && std::iswalpha(word[0])) {
      size_t colon = 0;
      while (colon < word.size() && IsSchemeChar(word[colon])) ++colon;
      // At least two letters before ":" (a drive letter is no scheme), and something after it.
      url = colon >= 2 && colon + 1 < word.size() && word[colon] == L':';
    }
    if (url) found.emplace_back(begin, last);
    i = end;
  }
  return found;
}

std::wstring LinkTarget(std::wstring_view text) {
  std::wstring url(text);
  if (url.size() > 4 && (url.compare(0, 4, L"www.") == 0 || url.compare(0, 4, L"WWW.") == 0)) url = L"http://" + url;
  const size_t colon = url.find(L':');
  if (colon == std::wstring::npos) return {};
  std::wstring scheme = url.substr(0, colon);
  std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](wchar_t c) { return std::towlower(c); });
  if (scheme == L"http" || scheme == L"https") {
    // A web address names a host.
    if (url.compare(colon, 3, L"://") != 0 || url.size() <= colon + 3) return {};
    return url;
  }
  if (scheme == L"mailto") return url.size() > colon + 1 ? url : std::wstring();
  return {};
}
}  // namespace LXRichText
