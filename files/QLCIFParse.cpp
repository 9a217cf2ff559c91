// The CIF tokenizer: values, loops and the dispatch of items to the cell, symmetry and site handlers.
#include "QLCIFFile.h"

#include "QLCrystal.h"
#include "SpaceGroups.h"
#include "SymmetryOperator.h"
#include "Status.h"

#include <algorithm>
#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string_view>

namespace {
constexpr double kNoNumber = -DBL_MAX;

// "%f" into a float, in the C locale whatever the user's: false when nothing parses.
bool ScanFloat(const char*& p, float& out) {
  char* end = nullptr;
  const float v = strtof_l(p, &end, qlw::CNumericLocale());
  if (end == p) return false;
  out = v;
  p = end;
  return true;
}

bool ScanInt(const char*& p, long& out) {
  char* end = nullptr;
  const long v = std::strtol(p, &end, 10);
  if (end == p) return false;
  out = v;
  p = end;
  return true;
}

bool IsCIFWhite(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Control characters are not CIF text. Bytes above 0x7F are kept: files are often UTF-8.
bool IsIllegal(int c) { return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F; }

std::string Lower(std::string s) {
  for (auto& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

// The progress text of an item: "Reading CIF file" and the item's name. The name is cut as the
// block parser cuts single item names, so that a loop of a very long name costs the same per value.
CString ItemProgressText(const std::string& name) {
  constexpr size_t kShownName = 80;
  CString text;
  if (!text.LoadString(3713)) text = L"Reading CIF file";
  return text + L" " + CString(name.substr(0, kShownName).c_str());
}

bool MatchesCategory(const std::string& a, const std::string& b) {
  if (a == b) return true;
  const std::string& shorter = a.size() < b.size() ? a : b;
  const std::string& longer = a.size() < b.size() ? b : a;
  return longer.size() > shorter.size() + 1 && longer.compare(0, shorter.size(), shorter) == 0 &&
         longer[shorter.size()] == '_';
}

// The items that give the cell's lengths (in any of their units) and angles; lower-cased name.
bool IsCellDimensionItem(const std::string& name) {
  static const char* const kItems[] = {
      "_cell_length_a",    "_cell_length_b",    "_cell_length_c",    "_cell_length_a_pm", "_cell_length_b_pm",
      "_cell_length_c_pm", "_cell_length_a_nm", "_cell_length_b_nm", "_cell_length_c_nm", "_cell_angle_alpha",
      "_cell_angle_beta",  "_cell_angle_gamma"};
  return std::any_of(std::begin(kItems), std::end(kItems), [&name](const char* item) { return name == item; });
}

// CIF's reserved words end whatever came before them: they are never values.
bool IsReservedWord(const std::string& word) {
  if (word.size() < 5) return false;
  switch (word[0]) {
    case 'd': case 'D': case 'l': case 'L': case 's': case 'S': case 'g': case 'G': break;
    default: return false;  // most values: numbers and labels
  }
  // The word's start, lower-cased, against a reserved word; `whole` asks for the whole word.
  auto is = [&word](std::string_view reserved, bool whole) {
    if (word.size() < reserved.size() || (whole && word.size() != reserved.size())) return false;
    for (size_t i = 0; i < reserved.size(); ++i)
      if (std::tolower(static_cast<unsigned char>(word[i])) != reserved[i]) return false;
    return true;
  };
  return is("data_", false) || is("save_", false) || is("loop_", true) || is("global_", true) || is("stop_", true);
}

// Empties a value that is, white space aside, the CIF unknown "?" or inapplicable "."; in place,
// as every value of a file passes here.
void FinishValue(std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && IsCIFWhite(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && IsCIFWhite(static_cast<unsigned char>(text[e - 1]))) --e;
  if (e - b == 1 && (text[b] == '?' || text[b] == '.')) text.clear();
}
}  // namespace

bool ReadPlainDecimal(const std::string& text, float& out) {
  // Only [-]digits[.digits]: there from_chars and strtof agree, both rounding to nearest.
  size_t i = text.size() && text[0] == '-' ? 1 : 0;
  bool digits = false, point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (!digits) return false;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, out);
  return result.ec == std::errc() && result.ptr == end;
}

bool CQLCIFFile::ParseNumberWithSU(const std::string& input, double& value, double& su, bool& hasSU) {
  value = 0;
  su = 0;
  hasSU = false;
  if (input.empty()) {
    value = kNoNumber;
    return false;
  }
  // Most values of a large file are plain decimals, with no uncertainty and no exponent.
  if (float plain; ReadPlainDecimal(input, plain)) {
    value = plain;
    return true;
  }
  std::string text = input;
  bool hasExponent = false;
  for (auto& ch : text) {
    if (ch == '(') {
      ch = ' ';
      hasSU = true;
    } else if (ch == ')') {
      ch = ' ';
    } else if (ch == 'E' || ch == 'e') {
      ch = ' ';
      hasExponent = true;
    }
  }
  const char* p = text.c_str();
  float mantissa = 0;
  long exponent = 0, suDigits = 0;
  if (!ScanFloat(p, mantissa)) {
    value = kNoNumber;
    return false;
  }
  bool haveExponent = false, haveDigits = false;
  if (hasExponent) {
    haveExponent = ScanInt(p, exponent);
    if (haveExponent) haveDigits = ScanInt(p, suDigits);
  } else {
    haveDigits = ScanInt(p, suDigits);
  }
  if (hasSU && haveDigits) {
    // Decimals of the mantissa as written, up to the first blank after a digit.
    int decimals = 0;
    const char* dot = std::strchr(text.c_str(), '.');
    if (dot) {
      for (const char* q = dot + 1; *q >= '0' && *q <= '9'; ++q) ++decimals;
      su = decimals ? static_cast<double>(suDigits) / std::pow(10.0f, static_cast<float>(decimals)) : static_cast<double>(suDigits);
    } else {
      su = static_cast<double>(suDigits);
    }
  }
  if (!haveExponent) {
    value = mantissa;
    return true;
  }
  // Beyond ±64 single precision is infinite or zero anyway; the clamp keeps the arithmetic defined.
  exponent = std::clamp(exponent, -64L, 64L);
  if (mantissa == 0.0f) exponent = 0;  // 0e999 is 0, not 0 × infinity
  float scale = std::pow(10.0f, static_cast<float>(std::labs(exponent)));
  if (exponent < 0) scale = 1.0f / scale;
  if (su != 0) su *= scale;
  value = static_cast<float>(mantissa * scale);
  return true;
}

bool CQLCIFFile::ReadValue(std::string& out) {
  out.clear();
  enum { kBefore, kSingle, kDouble, kText, kBare } state = kBefore;
  long wordStart = -1;
  // A bare word that is a reserved word is left for the block or loop parser to see.
  auto finishBare = [&]() {
    if (!IsReservedWord(out)) {
      FinishValue(out);
      return true;
    }
    SeekTo(wordStart);
    out.clear();
    return false;
  };
  // The character before the value decides whether ';' opens a text field and '#' a comment.
  int prev = -1;
  if (const long pos = Position(); pos > 0) {
    SeekTo(pos - 1);
    prev = NextChar();
  }
  for (;;) {
    const int c = NextChar();
    if (c < 0) {
      if (state == kBefore) return false;
      if ((state == kSingle || state == kDouble) && out.empty()) return false;
      if (state == kBare) return finishBare();
      FinishValue(out);
      return true;
    }
    switch (state) {
      case kBefore:
        if (IsCIFWhite(c)) break;
        if (c == '#' && (prev < 0 || IsCIFWhite(prev))) {
          SkipLine();
          prev = '\n';
          continue;
        }
        if (c == '\'') {
          state = kSingle;
        } else if (c == '"') {
          state = kDouble;
        } else if (c == ';' && (prev < 0 || prev == '\n' || prev == '\r')) {
          state = kText;
        } else if (c == '_') {
          PushBack(c);
          return false;
        } else if (IsIllegal(c)) {
          Warn(true, 2604, c);
          return false;
        } else {
          wordStart = Position() - 1;
          out += static_cast<char>(c);
          state = kBare;
          // The rest of the word at once; the character that ends it is read below.
          AppendUntil(out, [](int n) { return IsCIFWhite(n) || IsIllegal(n); });
        }
        break;
      case kSingle:
      case kDouble: {
        const int quote = state == kSingle ? '\'' : '"';
        if (c == quote) {
          const int next = NextChar();
          PushBack(next);
          // Quoted, "?" and "." are text like any other, not the unknown and inapplicable values.
          if (next < 0 || IsCIFWhite(next)) return true;
          out += static_cast<char>(c);
        } else if (c == '\n' || c == '\r') {
          Warn(true, 2609, CString(out.c_str()));
          if (out.empty()) return false;
          FinishValue(out);
          return true;
        } else if (IsIllegal(c)) {
          Warn(true, 2604, c);
        } else {
          out += static_cast<char>(c);
          AppendUntil(out, [quote](int n) { return n == quote || n == '\n' || n == '\r' || IsIllegal(n); });
        }
        break;
      }
      case kText:
        if (c == ';' && (prev == '\n' || prev == '\r')) {
          FinishValue(out);
          return true;
        }
        if (IsIllegal(c))
          Warn(true, 2604, c);
        else
          out += static_cast<char>(c);
        break;
      case kBare:
        if (IsCIFWhite(c)) return finishBare();
        if (IsIllegal(c)) {
          Warn(true, 2604, c);
          return false;
        }
        out += static_cast<char>(c);
        break;
    }
    prev = c;
  }
}

bool CQLCIFFile::AtReservedWord() {
  const long pos = Position();
  std::string word;
  // Eight characters tell every reserved word from a longer one.
  for (int c = NextChar(); c >= 0 && !IsCIFWhite(c) && word.size() < 8; c = NextChar()) word += static_cast<char>(c);
  if (SeekTo(pos) != 0) {
    CLXXFileEOF(kLXSeverityMessage, 0, __LINE__).Report();
    return true;
  }
  return IsReservedWord(word);
}

bool CQLCIFFile::AtValue() {
  for (;;) {
    const int c = NextChar();
    if (c < 0) return false;
    if (c < 33) continue;
    if (c == '#') {
      SkipLine();
      continue;
    }
    PushBack(c);
    if (c == '_') return false;
    return !AtReservedWord();
  }
}

bool CQLCIFFile::CheckLoop(size_t names) {
  const long remembered = Position();
  m_loopRows = 0;
  bool valid = true;
  std::string value;
  m_checkingLoop = true;
  while (AtValue()) {
    for (size_t i = 0; i < names; ++i) {
      if (!ReadValue(value)) {
        valid = false;
        break;
      }
    }
    if (!valid) break;
    ++m_loopRows;
  }
  m_checkingLoop = false;
  if (!valid) m_loopRows = 0;
  SeekTo(remembered);
  return valid;
}

void CQLCIFFile::ReadLoop() {
  std::vector<std::string> names;
  for (;;) {
    int c = NextChar();
    if (c < 0) throw CLXXFileEOF(kLXSeverityMessage, 0, __LINE__);
    if (c < 33) continue;
    if (c == '#') {
      SkipLine();
      continue;
    }
    if (c != '_') {
      PushBack(c);
      break;
    }
    std::string name(1, '_');
    while ((c = NextChar()) >= 0 && c != '\t' && c != '\n' && c != '\r' && c != ' ') {
      if (c == '#') {
        SkipLine();
        break;
      }
      name += static_cast<char>(c);
    }
    names.push_back(name);
    if (c < 0) throw CLXXFileEOF(kLXSeverityMessage, 0, __LINE__);
  }
  // A loop without item names has no rows to read: a syntax error, not an endless loop.
  if (names.empty()) throw CLXXFileCIFInvalidLoop(kLXSeverityMessage, 0, __LINE__, CString(L"loop_"));
  const CString first(names[0].c_str());
  if (!CheckLoop(names.size())) throw CLXXFileCIFInvalidLoop(kLXSeverityMessage, 0, __LINE__, first);
  std::vector<ItemColumn> columns;
  columns.reserve(names.size());
  for (const std::string& name : names) columns.push_back(ColumnOfItem(name));
  m_committedRows = 0;
  std::string value;
  for (uint64_t row = 0; row < m_loopRows; ++row) {
    if (!AtValue()) throw CLXXFileCIFMissingDataInLoop(kLXSeverityMessage, 0, __LINE__, first);
    for (size_t i = 0; i < names.size(); ++i) {
      if (!ReadValue(value)) throw CLXXFileCIFMissingDataInLoop(kLXSeverityMessage, 0, __LINE__, first);
      DispatchItem(columns[i], value);
    }
  }
  CommitRecord();
  m_loopRows = 0;
}

void CQLCIFFile::DispatchItem(const std::string& rawName, const std::string& value) {
  DispatchItem(ColumnOfItem(rawName), value);
}

CQLCIFFile::ItemColumn CQLCIFFile::ColumnOfItem(const std::string& rawName) {
  ItemColumn column;
  column.rawName = rawName;
  column.name = Lower(rawName);
  column.kind = KindOfItem(column.name);
  if (column.kind == ItemKind::kAtomSite) column.atomField = AtomFieldOfItem(column.name);
  return column;
}

CQLCIFFile::ItemKind CQLCIFFile::KindOfItem(const std::string& name) {
  if (MatchesCategory(name, "_database") || MatchesCategory(name, "_amcsd_database")) return ItemKind::kDatabase;
  if (MatchesCategory(name, "_symmetry") || MatchesCategory(name, "_space")) return ItemKind::kSymmetry;
  if (MatchesCategory(name, "_cell")) return ItemKind::kCell;
  if (MatchesCategory(name, "_atom_site_aniso") || MatchesCategory(name, "_atom")) return ItemKind::kAtomSite;
  return ItemKind::kOther;
}

void CQLCIFFile::DispatchItem(const ItemColumn& column, const std::string& value) {
  const std::string& name = column.name;
  const std::string& rawName = column.rawName;
  // An unknown length or angle is not a default one: a made-up cell would compute a whole list
  // without a word.
  if (value.empty() && column.kind == ItemKind::kCell && IsCellDimensionItem(name))
    throw CLXXFileCIFCellNotGiven(kLXSeverityMessage, 0, __LINE__, CString(rawName.c_str()));
  if (value.empty()) return;
  switch (column.kind) {
    case ItemKind::kDatabase:
      if (m_blockName.CompareNoCase(L"global") == 0) m_blockName = CString(value.c_str());
      break;
    case ItemKind::kSymmetry: HandleSymmetryItem(name, value); break;
    case ItemKind::kCell:
      if (!HandleCellItem(name, value))
        throw CLXXFileCIFReadError(kLXSeverityMessage, 0, __LINE__, CString(rawName.c_str()), CString(value.c_str()));
      break;
    case ItemKind::kAtomSite: HandleAtomSiteItem(column.atomField, value); break;
    case ItemKind::kOther: break;
  }
}

bool CQLCIFFile::HandleCellItem(const std::string& name, const std::string& value) {
  CStatus status(L"%s", ItemProgressText(name).GetString());
  struct LengthItem {
    const char* name;
    double CQLCrystal::*field;
    double factor;
  };
  static const LengthItem kLengths[] = {
      {"_cell_length_a", &CQLCrystal::m_a, 1},         {"_cell_length_b", &CQLCrystal::m_b, 1},
      {"_cell_length_c", &CQLCrystal::m_c, 1},         {"_cell_length_a_pm", &CQLCrystal::m_a, 0.01},
      {"_cell_length_b_pm", &CQLCrystal::m_b, 0.01},   {"_cell_length_c_pm", &CQLCrystal::m_c, 0.01},
      {"_cell_length_a_nm", &CQLCrystal::m_a, 10},     {"_cell_length_b_nm", &CQLCrystal::m_b, 10},
      {"_cell_length_c_nm", &CQLCrystal::m_c, 10},
  };
  static const std::pair<const char*, double CQLCrystal::*> kAngles[] = {
      {"_cell_angle_alpha", &CQLCrystal::m_alpha},
      {"_cell_angle_beta", &CQLCrystal::m_beta},
      {"_cell_angle_gamma", &CQLCrystal::m_gamma},
  };
  double v, su;
  bool hasSU;
  for (const auto& item : kLengths) {
    if (name != item.name) continue;
    if (!ParseNumberWithSU(value, v, su, hasSU)) return false;
    m_crystal->*item.field = item.factor == 1 ? v : (item.factor < 1 ? v / 100.0 : v * 10.0);
    m_lengthGiven[item.name[13] - 'a'] = true;  // the axis letter after "_cell_length_"
    return true;
  }
  for (const auto& [itemName, field] : kAngles) {
    if (name != itemName) continue;
    m_crystal->*field = ParseNumberWithSU(value, v, su, hasSU) ? v : 90.0;
    return true;
  }
  return true;
}

void CQLCIFFile::RequireCellLengths() const {
  static const char* const kNames[] = {"_cell_length_a", "_cell_length_b", "_cell_length_c"};
  for (int i = 0; i < 3; ++i)
    if (!m_lengthGiven[i]) throw CLXXFileCIFCellNotGiven(kLXSeverityMessage, 0, __LINE__, CString(kNames[i]));
}

void CQLCIFFile::HandleSymmetryItem(const std::string& name, const std::string& value) {
  CStatus status(L"%s", ItemProgressText(name).GetString());
  if (name == "_symmetry_space_group_name_h-m" || name == "_space_group_name_h-m_alt") {
    if (!std::isalpha(static_cast<unsigned char>(value[0]))) return;
    m_crystal->m_latticeLetter = static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
    if (!m_crystal->m_operators.empty()) return;
    std::string text;
    for (char ch : value)
      if (ch != '{' && ch != '[' && ch != '<') text += ch;
    // Looked up once for each distinct text and cell: files may repeat the item on every line.
    SymbolLookup& lookup = m_symbolLookups[text];
    const CQLCrystal& c = *m_crystal;
    if (!lookup.done || lookup.alpha != c.m_alpha || lookup.beta != c.m_beta || lookup.gamma != c.m_gamma) {
      lookup = SymbolLookup{true, false, c.m_alpha, c.m_beta, c.m_gamma, CString(text.c_str()), 0};
      int row = -1, system = 0;
      lookup.found = ParseSpaceGroupSymbol(lookup.symbol, lookup.originChoice, &row) &&
                     LookupSpaceGroupSymbol(lookup.symbol, lookup.originChoice, c.m_alpha, c.m_beta, c.m_gamma, system);
    }
    if (lookup.found) {
      m_crystal->m_spaceGroupSymbol = lookup.symbol;
      m_crystal->m_originChoice = lookup.originChoice;
      m_symbolFromHM = true;
    }
  } else if (name == "_symmetry_int_tables_number" || name == "_space_group_it_number") {
    if (!m_crystal->m_operators.empty() || m_symbolFromHM) return;
    int number = 0;
    if (std::sscanf(value.c_str(), "%d", &number) != 1) return;
    CString symbol;
    symbol.Format(L"%d", number);
    int system = 0;
    if (LookupSpaceGroupSymbol(symbol, 0, m_crystal->m_alpha, m_crystal->m_beta, m_crystal->m_gamma, system)) {
      m_crystal->m_spaceGroupSymbol = symbol;
      m_symbolFromHM = true;
    }
  } else if (name == "_symmetry_equiv_pos_as_xyz" || name == "_space_group_symop_operation_xyz") {
    m_crystal->m_spaceGroupSymbol.Empty();
    m_symbolFromHM = false;
    // Files that list their operators under both the old and the new item name would otherwise
    // hold each twice, and no space group has such a list.
    const CSymmetryOperator op(CString(value.c_str()).GetString());
    for (const CSymmetryOperator& known : m_crystal->m_operators)
      if (known.HasSameRotation(op) && known.HasSameTranslation(op)) return;
    m_crystal->m_operators.push_back(op);
  }
}
