// Parser of the menu, accelerator and dialog texts (format in ResourceText.h).
#include "ResourceText.h"

#include <algorithm>
#include <cwchar>
#include <map>
#include <mutex>
#include <sstream>

#include "CString.h"
#include "Menus.h"
#include "WndGeometry.h"

namespace qlw::detail {
// Generated from resources/ui/*.txt (see platform/CMakeLists.txt): UTF-8 texts, null-terminated list.
extern const char* const kResourceTexts[];
}  // namespace qlw::detail

namespace {
struct Tables {
  std::map<UINT, std::vector<qlw::MenuTemplateItem>> menus;
  std::map<UINT, std::vector<qlw::AccelTemplateEntry>> accels;
  std::map<UINT, qlw::DialogTemplate> dialogs;
};

struct Token {
  std::wstring text;
  bool quoted = false;
};

// Splits a line into words and "quoted strings" (escapes \" \\ \t \n); a # outside quotes starts a comment.
bool Tokenize(const std::wstring& line, std::vector<Token>& out) {
  out.clear();
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == L' ' || line[i] == L'\t' || line[i] == L'\r') {
      ++i;
      continue;
    }
    if (line[i] == L'#') break;
    Token t;
    if (line[i] == L'"') {
      t.quoted = true;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        wchar_t c = line[i++];
        if (c == L'"') {
          closed = true;
          break;
        }
        if (c == L'\\' && i < line.size()) {
          wchar_t e = line[i++];
          c = e == L't' ? L'\t' : e == L'n' ? L'\n' : e;
        }
        t.text += c;
      }
      if (!closed) return false;
    } else {
      while (i < line.size() && line[i] != L' ' && line[i] != L'\t' && line[i] != L'\r') t.text += line[i++];
    }
    out.push_back(t);
  }
  return true;
}

bool ToInt(const Token& t, int& out) {
  if (t.quoted || t.text.empty()) return false;
  wchar_t* end = nullptr;
  long v = std::wcstol(t.text.c_str(), &end, 0);
  if (*end) return false;
  out = static_cast<int>(v);
  return true;
}

class Parser {
 public:
  Parser(const std::wstring& text, Tables& into) : m_in(text), m_into(into) {}

  bool Run(std::string& error) {
    std::vector<Token> t;
    while (Next(t)) {
      if (t.empty()) continue;
      int id;
      if (t.size() < 2 || !ToInt(t[1], id)) return Fail(error, "a block needs a kind and a numeric id");
      if (t[0].text == L"MENU") {
        std::vector<qlw::MenuTemplateItem> items;
        if (!Menu(items, error)) return false;
        m_into.menus[static_cast<UINT>(id)] = std::move(items);
      } else if (t[0].text == L"ACCELERATORS") {
        if (!Accels(static_cast<UINT>(id), error)) return false;
      } else if (t[0].text == L"DIALOG") {
        qlw::DialogTemplate d;
        d.id = static_cast<UINT>(id);
        if (t.size() > 2) d.caption = t[2].text;
        if (!Dialog(d, error)) return false;
        m_into.dialogs[d.id] = std::move(d);
      } else {
        return Fail(error, "unknown block");
      }
    }
    return true;
  }

 private:
  bool Next(std::vector<Token>& t) {
    std::wstring line;
    if (!std::getline(m_in, line)) return false;
    ++m_line;
    if (!Tokenize(line, t)) {
      m_badLine = true;
      t.clear();
    }
    return true;
  }
  bool Fail(std::string& error, const char* what) {
    error = "line " + std::to_string(m_line) + ": " + what;
    return false;
  }
  static std::vector<std::wstring> Flags(const std::vector<Token>& t, size_t from) {
    std::vector<std::wstring> f;
    for (size_t i = from; i < t.size(); ++i) f.push_back(t[i].text);
    return f;
  }

  bool Menu(std::vector<qlw::MenuTemplateItem>& items, std::string& error) {
    std::vector<Token> t;
    while (Next(t)) {
      if (m_badLine) return Fail(error, "unterminated string");
      if (t.empty()) continue;
      const std::wstring& kind = t[0].text;
      if (kind == L"END") return true;
      qlw::MenuTemplateItem item;
      if (kind == L"SEPARATOR") {
        item.separator = true;
      } else if (kind == L"POPUP") {
        if (t.size() < 2 || !t[1].quoted) return Fail(error, "POPUP needs a caption");
        item.popup = true;
        item.text = t[1].text;
        item.flags = Flags(t, 2);
        if (!Menu(item.children, error)) return false;
      } else if (kind == L"ITEM") {
        int id;
        if (t.size() < 3 || !ToInt(t[1], id) || !t[2].quoted) return Fail(error, "ITEM needs an id and a caption");
        item.id = static_cast<UINT>(id);
        item.text = t[2].text;
        item.flags = Flags(t, 3);
      } else {
        return Fail(error, "unknown menu item");
      }
      items.push_back(std::move(item));
    }
    return Fail(error, "MENU without END");
  }

  bool Accels(UINT id, std::string& error) {
    std::vector<qlw::AccelTemplateEntry> entries;
    std::vector<Token> t;
    while (Next(t)) {
      if (m_badLine) return Fail(error, "unterminated string");
      if (t.empty()) continue;
      if (t[0].text == L"END") {
        m_into.accels[id] = std::move(entries);
        return true;
      }
      int cmd;
      qlw::AccelTemplateEntry e;
      if (t.size() < 2 || !ToInt(t[0], cmd) || !qlw::ParseAcceleratorKey(t[1].text, e.virt, e.key))
        return Fail(error, "an accelerator is a command id and a key such as \"Ctrl+N\"");
      e.cmd = static_cast<WORD>(cmd);
      entries.push_back(e);
    }
    return Fail(error, "ACCELERATORS without END");
  }

  bool Dialog(qlw::DialogTemplate& d, std::string& error) {
    std::vector<Token> t;
    int row = 0;
    bool inRow = false;
    while (Next(t)) {
      if (m_badLine) return Fail(error, "unterminated string");
      if (t.empty()) continue;
      if (t[0].text == L"END") {
        if (!inRow) return true;
        inRow = false;
        continue;
      }
      if (t[0].text == L"ROW") {
        if (inRow) return Fail(error, "rows do not nest");
        inRow = true;
        ++row;
        continue;
      }
      qlw::DialogTemplateItem item;
      int id;
      if (t.size() < 2 || !ToInt(t[1], id)) return Fail(error, "a control needs a kind and an id");
      item.kind = t[0].text;
      item.id = id;
      size_t next = 2;
      if (t.size() > 2 && t[2].quoted) item.caption = t[2].text, next = 3;
      item.flags = Flags(t, next);
      item.row = inRow ? row : ++row;
      d.items.push_back(std::move(item));
    }
    return Fail(error, "DIALOG without END");
  }

  std::wistringstream m_in;
  Tables& m_into;
  int m_line = 0;
  bool m_badLine = false;
};

std::mutex& TablesLock() {
  static std::mutex m;
  return m;
}

Tables& TheTables() {
  static Tables* tables = [] {
    auto* t = new Tables;
    for (const char* const* text = qlw::detail::kResourceTexts; *text; ++text) {
      std::string error;
      // The shipped texts are checked by the build's tests; a broken one is skipped whole.
      Tables scratch = *t;
      if (Parser(CString(*text).GetString(), scratch).Run(error)) *t = std::move(scratch);
    }
    return t;
  }();
  return *tables;
}

const std::pair<const wchar_t*, WORD> kKeyNames[] = {
    {L"F1", VK_F1},     {L"F2", VK_F2},       {L"F3", VK_F3},     {L"F4", VK_F4},       {L"F5", VK_F5},
    {L"F6", VK_F6},     {L"F7", VK_F7},       {L"F8", VK_F8},     {L"F9", VK_F9},       {L"F10", VK_F10},
    {L"F11", VK_F11},   {L"F12", VK_F12},     {L"Del", VK_DELETE}, {L"Delete", VK_DELETE}, {L"Ins", VK_INSERT},
    {L"Insert", VK_INSERT}, {L"Left", VK_LEFT}, {L"Right", VK_RIGHT}, {L"Up", VK_UP},     {L"Down", VK_DOWN},
    {L"Home", VK_HOME}, {L"End", VK_END},     {L"PgUp", VK_PRIOR}, {L"PgDn", VK_NEXT},  {L"Esc", VK_ESCAPE},
    {L"Enter", VK_RETURN}, {L"Tab", VK_TAB},  {L"Space", VK_SPACE}, {L"Backspace", VK_BACK}, {L"Plus", VK_OEM_PLUS},
    {L"Minus", VK_OEM_MINUS}, {L"Num+", VK_ADD}, {L"Num-", VK_SUBTRACT}, {L"Period", VK_OEM_PERIOD},
    {L"Comma", VK_OEM_COMMA}, {L"[", VK_OEM_4}, {L"]", VK_OEM_6},
};
}  // namespace

namespace qlw {
bool DialogTemplateItem::HasFlag(const wchar_t* flag) const {
  return std::find(flags.begin(), flags.end(), std::wstring(flag)) != flags.end();
}

std::wstring DialogTemplateItem::FlagValue(const wchar_t* prefix) const {
  const std::wstring p(prefix);
  for (const std::wstring& f : flags)
    if (f.compare(0, p.size(), p) == 0) return f.substr(p.size());
  return {};
}

bool ParseAcceleratorKey(const std::wstring& text, BYTE& virt, WORD& key) {
  virt = FVIRTKEY;
  std::wstring rest = text;
  for (;;) {
    size_t plus = rest.find(L'+');
    if (plus == std::wstring::npos || plus + 1 >= rest.size()) break;
    const std::wstring mod = rest.substr(0, plus);
    if (mod == L"Ctrl") virt |= FCONTROL;
    else if (mod == L"Shift") virt |= FSHIFT;
    else if (mod == L"Alt") virt |= FALT;
    else return false;
    rest = rest.substr(plus + 1);
  }
  if (rest.size() == 1 && ((rest[0] >= L'A' && rest[0] <= L'Z') || (rest[0] >= L'0' && rest[0] <= L'9'))) {
    key = static_cast<WORD>(rest[0]);
    return true;
  }
  for (const auto& [name, vk] : kKeyNames)
    if (rest == name) {
      key = vk;
      return true;
    }
  return false;
}

const std::vector<MenuTemplateItem>* FindMenuTemplate(UINT id) {
  std::lock_guard<std::mutex> lock(TablesLock());
  auto& m = TheTables().menus;
  auto it = m.find(id);
  return it == m.end() ? nullptr : &it->second;
}

const std::vector<AccelTemplateEntry>* FindAccelTemplate(UINT id) {
  std::lock_guard<std::mutex> lock(TablesLock());
  auto& m = TheTables().accels;
  auto it = m.find(id);
  return it == m.end() ? nullptr : &it->second;
}

const DialogTemplate* FindDialogTemplate(UINT id) {
  std::lock_guard<std::mutex> lock(TablesLock());
  auto& m = TheTables().dialogs;
  auto it = m.find(id);
  return it == m.end() ? nullptr : &it->second;
}

UINT FindToolTipString(UINT templateId, int controlId) {
  const DialogTemplate* dialog = FindDialogTemplate(templateId);
  if (dialog == nullptr || controlId == -1) return 0;
  for (const DialogTemplateItem& item : dialog->items) {
    if (item.id != controlId) continue;
    if (item.HasFlag(L"TIP")) return static_cast<UINT>(controlId) + 8500;
    const std::wstring named = item.FlagValue(L"TIP=");
    if (named.empty()) continue;
    wchar_t* end = nullptr;
    const unsigned long id = std::wcstoul(named.c_str(), &end, 10);
    return *end == L'\0' && id <= 0xFFFF ? static_cast<UINT>(id) : 0;
  }
  return 0;
}

bool AddResourceText(const char* text, std::string* error) {
  std::lock_guard<std::mutex> lock(TablesLock());
  Tables parsed;
  std::string why;
  if (!text || !Parser(CString(text).GetString(), parsed).Run(why)) {
    if (error) *error = text ? why : "no text";
    return false;
  }
  // Templates handed out earlier stay valid: std::map nodes are replaced by assignment in place.
  Tables& t = TheTables();
  for (auto& [id, m] : parsed.menus) t.menus[id] = std::move(m);
  for (auto& [id, a] : parsed.accels) t.accels[id] = std::move(a);
  for (auto& [id, d] : parsed.dialogs) t.dialogs[id] = std::move(d);
  return true;
}
}  // namespace qlw
