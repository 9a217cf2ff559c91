// Symbol look-ups, side tables, lattice centring and space-group identification; the rows of the
// table itself are generated into SpaceGroupTable.cpp.
#include "SpaceGroups.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <set>

const CSettingNote g_SettingNoteTable[] = {
    {10, L"Unique axis a"},
    {11, L"Unique axis a; cell choice 1"},
    {12, L"Unique axis a; cell choice 2"},
    {13, L"Unique axis a; cell choice 3"},
    {20, L"Unique axis b"},
    {21, L"Unique axis b; cell choice 1"},
    {22, L"Unique axis b; cell choice 2"},
    {23, L"Unique axis b; cell choice 3"},
    {30, L"Unique axis c"},
    {31, L"Unique axis c; cell choice 1"},
    {32, L"Unique axis c; cell choice 2"},
    {33, L"Unique axis c; cell choice 3"},
    {101, L"Cell choice [a b c]"},
    {102, L"Cell choice [b a c]"},
    {103, L"Cell choice [a c b]"},
    {104, L"Cell choice [b c a]"},
    {105, L"Cell choice [c b a]"},
    {106, L"Cell choice [c a b]"},
    {111, L"RHOMBOHEDRAL AXES"},
    {112, L"HEXAGONAL AXES"},
    {0, nullptr},
};

const COriginShiftRow g_OriginChoiceTable[] = {
    {48, "P n n n", {0.25f, 0.25f, 0.25f}},
    {50, "P b a n", {0.25f, 0.25f, 0.0f}},
    {59, "P m m n", {0.25f, 0.25f, 0.0f}},
    {68, "C c c a", {0.0f, 0.25f, 0.25f}},
    {70, "F d d d", {-0.125f, -0.125f, -0.125f}},
    {85, "P 4/n", {-0.25f, 0.25f, 0.0f}},
    {86, "P 42/n", {-0.25f, -0.25f, -0.25f}},
    {88, "I 41/a", {0.0f, -0.25f, -0.125f}},
    {125, "P 4/n b m", {-0.25f, -0.25f, 0.0f}},
    {126, "P 4/n n c", {-0.25f, -0.25f, -0.25f}},
    {129, "P 4/n m m", {-0.25f, 0.25f, 0.0f}},
    {130, "P 4/n c c", {-0.25f, 0.25f, 0.0f}},
    {133, "P 42/n b c", {-0.25f, 0.25f, -0.25f}},
    {134, "P 42/n n m", {-0.25f, 0.25f, -0.25f}},
    {137, "P 42/n m c", {-0.25f, 0.25f, -0.25f}},
    {138, "P 42/n c m", {-0.25f, 0.25f, -0.25f}},
    {141, "I 41/a m d", {0.0f, 0.25f, -0.125f}},
    {142, "I 41/a c d", {0.0f, 0.25f, -0.125f}},
    {201, "P n -3", {-0.25f, -0.25f, -0.25f}},
    {201, "P n 3", {-0.25f, -0.25f, -0.25f}},
    {203, "F d -3", {-0.125f, -0.125f, -0.125f}},
    {203, "F d 3", {-0.125f, -0.125f, -0.125f}},
    {222, "P n -3 n", {-0.25f, -0.25f, -0.25f}},
    {222, "P n 3 n", {-0.25f, -0.25f, -0.25f}},
    {224, "P n -3 m", {-0.25f, -0.25f, -0.25f}},
    {224, "P n 3 m", {-0.25f, -0.25f, -0.25f}},
    {227, "F d -3 m", {-0.125f, -0.125f, -0.125f}},
    {227, "F d 3 m", {-0.125f, -0.125f, -0.125f}},
    {228, "F d -3 c", {-0.375f, -0.375f, -0.375f}},
    {228, "F d 3 c", {-0.375f, -0.375f, -0.375f}},
    {999, "", {0.0f, 0.0f, 0.0f}},
};

const CSpaceGroupAlias g_SpaceGroupAliasTable[] = {
    {157, "P 3 m 1", "P 3 m"},     {158, "P 3 c 1", "P 3 c"},     {164, "P -3 m 1", "P -3 m"},
    {165, "P -3 c 1", "P -3 c"},   {200, "P m -3", "P m 3"},      {201, "P n -3", "P n 3"},
    {202, "F m -3", "F m 3"},      {203, "F d -3", "F d 3"},      {204, "I m -3", "I m 3"},
    {205, "P a -3", "P a 3"},      {206, "I a -3", "I a 3"},      {221, "P m -3 m", "P m 3 m"},
    {222, "P n -3 n", "P n 3 n"},  {223, "P m -3 n", "P m 3 n"},  {224, "P n -3 m", "P n 3 m"},
    {225, "F m -3 m", "F m 3 m"},  {226, "F m -3 c", "F m 3 c"},  {227, "F d -3 m", "F d 3 m"},
    {228, "F d -3 c", "F d 3 c"},  {229, "I m -3 m", "I m 3 m"},  {230, "I a -3 d", "I a 3 d"},
    {999, "", ""},
};

namespace {
bool IsEnd(const CSpaceGroupRow& row) { return row.number > 230; }

CString NoBlanks(const CString& text) {
  CString out = text;
  out.Remove(L' ');
  return out;
}

CString NoBlanks(const char* text) { return NoBlanks(CString(text)); }

// An origin choice restricts only groups that have two: "P 21/c" with choice 1 is still P 21/c.
bool RowAllowed(const CSpaceGroupRow& row, int originChoice, int setting) {
  return (originChoice == 0 || row.originChoice == 0 || row.originChoice == originChoice) &&
         (setting == 0 || row.setting == setting);
}

int FirstRowOfNumber(long number, int originChoice, int setting) {
  for (int i = 0; !IsEnd(g_SpaceGroupTable[i]); ++i)
    if (g_SpaceGroupTable[i].number == number && RowAllowed(g_SpaceGroupTable[i], originChoice, setting)) return i;
  return -1;
}

int FindByNumber(const CString& symbol, int originChoice, int setting) {
  long number = 0;
  if (std::swscanf(symbol.GetString(), L"%ld", &number) != 1) return -1;
  return FirstRowOfNumber(number, originChoice, setting);
}

// Only a group's first row carries the Schoenflies symbol; the restrictions then pick among the
// group's rows, so "D2h(2)" with origin choice 2 still finds P n n n.
int FindBySchoenflies(const CString& symbol, int originChoice, int setting) {
  if (symbol.Find(L'(') < 0) return -1;
  for (int i = 0; !IsEnd(g_SpaceGroupTable[i]); ++i)
    if (symbol == CString(g_SpaceGroupTable[i].schoenflies))
      return FirstRowOfNumber(g_SpaceGroupTable[i].number, originChoice, setting);
  return -1;
}

// The e-glide names of the current tables and the older symbols of the same settings (the table's
// short symbols). Where two older settings share one name (67, 68) it names the first of them.
const struct {
  const char* current;
  const char* older;
} kGlideENames[] = {
    {"A e m 2", "A b m 2"}, {"B m e 2", "B m a 2"}, {"B 2 e m", "B 2 c m"},
    {"C 2 m e", "C 2 m b"}, {"C m 2 e", "C m 2 a"}, {"A e 2 m", "A c 2 m"},
    {"A e a 2", "A b a 2"}, {"B b e 2", "B b a 2"}, {"B 2 e b", "B 2 c b"},
    {"C 2 c e", "C 2 c b"}, {"C c 2 e", "C c 2 a"}, {"A e 2 a", "A c 2 a"},
    {"C m c e", "C m c a"}, {"C c m e", "C c m b"}, {"A e m a", "A b m a"},
    {"A e a m", "A c a m"}, {"B b e m", "B b c m"}, {"B m e b", "B m a b"},
    {"C m m e", "C m m a"}, {"A e m m", "A b m m"}, {"B m e m", "B m c m"},
    {"C c c e", "C c c a"}, {"A e a a", "A b a a"}, {"B b e b", "B b c b"},
};

int FindByAlias(const CString& compact, int originChoice, int setting) {
  for (const CSpaceGroupAlias* a = g_SpaceGroupAliasTable; a->number <= 230; ++a)
    if (compact == NoBlanks(a->alias)) return FirstRowOfNumber(a->number, originChoice, setting);
  // The e name stands in the short symbol and, in the full one, as the glide of the same axis
  // ("C 2/m 2/c 21/e").
  for (const auto& name : kGlideENames) {
    const CString older = NoBlanks(name.older);
    for (int i = 0; !IsEnd(g_SpaceGroupTable[i]); ++i) {
      const CSpaceGroupRow& row = g_SpaceGroupTable[i];
      if (!RowAllowed(row, originChoice, setting) || older != NoBlanks(row.shortSymbol)) continue;
      if (compact == NoBlanks(name.current)) return i;
      const int axis = static_cast<int>(std::strchr(name.current, 'e') - name.current) / 2;
      CString full(row.fullSymbol);
      int end = 0;
      for (int token = 0; token <= axis && end >= 0; ++token) end = full.Find(L' ', end + 1);
      if (end < 0) end = full.GetLength();
      full.SetAt(end - 1, L'e');
      if (compact == NoBlanks(full)) return i;
    }
  }
  return -1;
}

// Hermann–Mauguin symbols compare without blanks, short or full form; then the aliases.
int FindByHermannMauguin(const CString& symbol, int originChoice, int setting) {
  const CString compact = NoBlanks(symbol);
  if (compact.IsEmpty()) return -1;
  for (int i = 0; !IsEnd(g_SpaceGroupTable[i]); ++i) {
    const CSpaceGroupRow& row = g_SpaceGroupTable[i];
    if (!RowAllowed(row, originChoice, setting)) continue;
    if ((row.shortSymbol[0] && compact == NoBlanks(row.shortSymbol)) || compact == NoBlanks(row.fullSymbol)) return i;
  }
  return FindByAlias(compact, originChoice, setting);
}

CString RowSymbol(const CSpaceGroupRow& row) {
  return CString(row.shortSymbol[0] ? row.shortSymbol : row.fullSymbol);
}

bool SameRoundedAngles(double alpha, double beta, double gamma) {
  const long a = std::lround(alpha), b = std::lround(beta), c = std::lround(gamma);
  return a == b && b == c;
}

bool NearModuloOne(double d, double tolerance) {
  const double f = d - std::floor(d);
  return f < tolerance || 1.0 - f < tolerance;
}

CSymmetryOperator Identity() { return CSymmetryOperator(L"+x +y +z"); }

CSymmetryOperator Shifted(const CSymmetryOperator& op, const double v[3]) {
  CSymmetryOperator out = op;
  for (int i = 0; i < 3; ++i) {
    const double t = op.m_translation[i] + v[i];
    out.m_translation[i] = t - std::floor(t);
  }
  out.m_text = out.Format(1);
  return out;
}
}  // namespace

const wchar_t* GetSettingNote(int setting) {
  for (const CSettingNote* n = g_SettingNoteTable; n->note; ++n)
    if (n->setting == setting) return n->note;
  return L"";
}

int GetLatticeCentring(wchar_t lattice, double vectors[4][3]) {
  static const double kHalf = 0.5, kThird = 1.0 / 3.0, kTwoThirds = 2.0 / 3.0;
  for (int i = 0; i < 4; ++i) vectors[i][0] = vectors[i][1] = vectors[i][2] = 0.0;
  auto set = [&](int i, double x, double y, double z) {
    vectors[i][0] = x;
    vectors[i][1] = y;
    vectors[i][2] = z;
  };
  switch (lattice) {
    case L'A': set(1, 0, kHalf, kHalf); return 2;
    case L'B': set(1, kHalf, 0, kHalf); return 2;
    case L'C': set(1, kHalf, kHalf, 0); return 2;
    case L'I': set(1, kHalf, kHalf, kHalf); return 2;
    case L'F':
      set(1, 0, kHalf, kHalf);
      set(2, kHalf, kHalf, 0);
      set(3, kHalf, 0, kHalf);
      return 4;
    case L'R':
      set(1, kTwoThirds, kThird, kThird);
      set(2, kThird, kTwoThirds, kTwoThirds);
      return 3;
    default: return 1;
  }
}

int FindSpaceGroupIndex(const CString& symbol, int originChoice, int setting) {
  int index = FindByNumber(symbol, originChoice, setting);
  if (index < 0) index = FindBySchoenflies(symbol, originChoice, setting);
  if (index < 0) index = FindByHermannMauguin(symbol, originChoice, setting);
  return index;
}

bool ParseSpaceGroupSymbol(CString& symbol, int& originChoice, int* rowIndex) {
  CString text = symbol;
  // "P n n n [origin 2]": the note gives the choice, the text before it the symbol.
  const int note = text.Find(L"[origin");
  if (note > 0) {
    for (int i = note + 7; i < text.GetLength(); ++i)
      if (text[i] == L'1' || text[i] == L'2') {
        originChoice = text[i] - L'0';
        break;
      }
    text = text.Left(note);
    text.Trim();
  }
  // "F d -3 m :2", "R -3 m :H", and without the colon "F d -3 m S", "I 41/a m d Z", "R -3 m R":
  // files name the setting after the symbol. A digit, S (1) or Z (2) is the origin choice; H or R
  // the axes of an R group, which otherwise follow the cell's angles. No Hermann–Mauguin symbol
  // ends in one of these letters.
  int axes = 0;
  auto takeSuffix = [&](wchar_t suffix) {
    suffix = static_cast<wchar_t>(std::towupper(suffix));
    if (suffix == L'1' || suffix == L'S') originChoice = 1;
    if (suffix == L'2' || suffix == L'Z') originChoice = 2;
    if (suffix == L'R') axes = 111;
    if (suffix == L'H') axes = 112;
  };
  if (const int colon = text.Find(L':'); colon > 0) {
    CString suffix = text.Mid(colon + 1);
    suffix.Trim();
    if (suffix.GetLength() == 1) takeSuffix(suffix[0]);
    text = text.Left(colon);
    text.Trim();
  } else if (text.GetLength() > 3 && std::iswalpha(text[0]) &&
             std::wcschr(L"SZHRszhr", text[text.GetLength() - 1])) {
    takeSuffix(text[text.GetLength() - 1]);
    text = text.Left(text.GetLength() - 1);
    text.Trim();
  }
  if (text.IsEmpty()) return false;

  int index = -1;
  const wchar_t first = text[0];
  long number = 0;
  if (first >= L'1' && first <= L'9' && std::swscanf(text.GetString(), L"%ld", &number) == 1 && number >= 1 &&
      number <= 230) {
    index = FirstRowOfNumber(number, 0, 0);
  } else if (text.Find(L'(') >= 0 && text.Find(L')') >= 0 && std::wcschr(L"CDOSTcdost", first) &&
             !((first == L'C' || first == L'c') &&
               (text.Find(L'm') >= 0 || text.Find(L"2 2") >= 0 || text.Find(L"22") >= 0))) {
    text.SetAt(0, static_cast<wchar_t>(std::towupper(first)));
    index = FindBySchoenflies(text, 0, 0);
  } else {
    const wchar_t letter = static_cast<wchar_t>(std::towupper(first));
    if (!std::wcschr(L"ABCFIPR", letter)) return false;
    text.SetAt(0, letter);
    if (text.GetLength() > 1 && text[1] != L' ') text.Insert(1, L' ');
    if (!(text.GetLength() == 3 && text[2] == L'1')) {
      CString tail = text.Mid(2);
      for (int i = 0; i < tail.GetLength(); ++i)
        if (std::iswupper(tail[i])) tail.SetAt(i, static_cast<wchar_t>(std::towlower(tail[i])));
      tail.Replace(L'\t', L' ');
      tail.Replace(L')', L' ');
      tail.Replace(L'(', L'.');
      tail.Remove(L'.');
      tail.Remove(L'_');
      text = text.Left(2) + tail;
    }
    text.Trim();
    index = FindByHermannMauguin(text, 0, 0);
  }
  if (index < 0) return false;

  // Every setting of a group with two origins keeps the choice ("P n c b" as well as "P b a n"),
  // and the row found is the one of that choice.
  const CSpaceGroupRow& found = g_SpaceGroupTable[index];
  int chosen = -1;
  if (found.originChoice != 0 && originChoice != 0)
    for (int i = 0; !IsEnd(g_SpaceGroupTable[i]) && chosen < 0; ++i) {
      const CSpaceGroupRow& row = g_SpaceGroupTable[i];
      if (row.number == found.number && row.setting == found.setting && row.originChoice == originChoice &&
          std::strcmp(row.fullSymbol, found.fullSymbol) == 0)
        chosen = i;
    }
  if (chosen >= 0)
    index = chosen;
  else
    originChoice = 0;
  if (axes != 0 && (found.setting == 111 || found.setting == 112))
    for (int i = 0; !IsEnd(g_SpaceGroupTable[i]); ++i)
      if (g_SpaceGroupTable[i].number == found.number && g_SpaceGroupTable[i].setting == axes) {
        index = i;
        break;
      }
  symbol = text;
  if (rowIndex) *rowIndex = index;
  return true;
}

bool LookupSpaceGroupSymbol(CString& symbol, int originChoice, double alpha, double beta, double gamma,
                            int& crystalSystem) {
  if (symbol.IsEmpty()) return false;
  int index = FindByNumber(symbol, originChoice, 0);
  if (index < 0) index = FindBySchoenflies(symbol, originChoice, 0);
  if (index >= 0) {
    symbol = CString(g_SpaceGroupTable[index].shortSymbol);
  } else {
    index = FindByHermannMauguin(symbol, originChoice, 0);
    if (index < 0) return false;
    const CSpaceGroupRow& row = g_SpaceGroupTable[index];
    if (symbol != CString(row.shortSymbol) && symbol != CString(row.fullSymbol)) symbol = CString(row.fullSymbol);
  }
  const int number = g_SpaceGroupTable[index].number;
  if (number < 3)
    crystalSystem = 1;
  else if (number < 16)
    crystalSystem = 2;
  else if (number < 75)
    crystalSystem = 3;
  else if (number < 143)
    crystalSystem = 4;
  else if (number < 168)
    crystalSystem = (!symbol.IsEmpty() && symbol[0] == L'R' && SameRoundedAngles(alpha, beta, gamma)) ? 6 : 5;
  else if (number < 195)
    crystalSystem = 7;
  else
    crystalSystem = 8;
  return true;
}

bool GetOriginChoiceShift(const CString& symbol, double shift[3]) {
  if (symbol.IsEmpty() || symbol[0] < L'C') return false;
  for (const COriginShiftRow* o = g_OriginChoiceTable; o->number <= 230; ++o)
    if (symbol == CString(o->symbol)) {
      for (int i = 0; i < 3; ++i) shift[i] = o->shift[i];
      return true;
    }
  return false;
}

bool LookupSpaceGroupOperators(CString& symbol, int originChoice, double alpha, double beta, double gamma,
                               wchar_t& lattice, int& count, std::vector<CString>& codeTexts) {
  codeTexts.clear();
  count = 0;
  if (symbol.IsEmpty()) return false;
  const int rhombohedralSetting = SameRoundedAngles(alpha, beta, gamma) ? 111 : 112;
  const int setting = symbol[0] == L'R' ? rhombohedralSetting : 0;
  int index = FindByNumber(symbol, originChoice, setting);
  if (index < 0) index = FindBySchoenflies(symbol, originChoice, setting);
  if (index >= 0) {
    // "166" or "D3d(5)" names an R group too: its axes follow the angles as for "R -3 m".
    if (g_SpaceGroupTable[index].shortSymbol[0] == 'R')
      index = FirstRowOfNumber(g_SpaceGroupTable[index].number, originChoice, rhombohedralSetting);
    symbol = CString(g_SpaceGroupTable[index].shortSymbol);
  } else {
    index = FindByHermannMauguin(symbol, originChoice, setting);
    if (index < 0) return false;
  }
  const CSpaceGroupRow& row = g_SpaceGroupTable[index];
  lattice = symbol[0];
  count = row.operatorCount;
  for (int i = 0; i < row.operatorCount; ++i) codeTexts.push_back(OperatorTextFromCode(row.codes[i]));
  return true;
}

wchar_t DetectLatticeFromOperators(const std::vector<CString>& operatorTexts, size_t count) {
  constexpr double kCentringTolerance = 1e-5;
  count = std::min(count, operatorTexts.size());
  std::vector<CSymmetryOperator> ops;
  for (size_t i = 0; i < count; ++i) {
    CSymmetryOperator op(operatorTexts[i].GetString());
    for (auto& row : op.m_rotation)
      for (double& r : row) r = static_cast<double>(std::lround(r));
    ops.push_back(op);
  }
  for (wchar_t letter : {L'F', L'A', L'B', L'C', L'I', L'R'}) {
    double vectors[4][3];
    const int points = GetLatticeCentring(letter, vectors);
    std::vector<bool> used(ops.size(), false);
    bool fits = !ops.empty();
    for (size_t i = 0; i < ops.size() && fits; ++i) {
      if (used[i]) continue;
      used[i] = true;
      for (int v = 1; v < points && fits; ++v) {
        bool found = false;
        for (size_t j = 0; j < ops.size() && !found; ++j) {
          if (used[j] || !ops[j].HasSameRotation(ops[i])) continue;
          bool match = true;
          for (int k = 0; k < 3; ++k)
            if (!NearModuloOne(ops[j].m_translation[k] - ops[i].m_translation[k] - vectors[v][k], kCentringTolerance))
              match = false;
          if (match) {
            used[j] = true;
            found = true;
          }
        }
        fits = found;
      }
    }
    if (fits) return letter;
  }
  return L'P';
}

std::vector<CSymmetryOperator> RemoveCentringOperators(const std::vector<CSymmetryOperator>& ops, wchar_t lattice) {
  double vectors[4][3];
  const int points = GetLatticeCentring(lattice, vectors);
  if (points == 1) return ops;
  std::vector<CSymmetryOperator> kept;
  for (const CSymmetryOperator& op : ops) {
    bool centred = false;
    for (const CSymmetryOperator& k : kept)
      for (int v = 0; v < points && !centred; ++v)
        if (op.EqualsShifted(k, vectors[v])) centred = true;
    if (!centred) kept.push_back(op);
  }
  return kept;
}

std::vector<CSymmetryOperator> AddCentringOperators(const std::vector<CSymmetryOperator>& ops, wchar_t lattice) {
  double vectors[4][3];
  const int points = GetLatticeCentring(lattice, vectors);
  if (points == 1) return ops;
  std::vector<CSymmetryOperator> out = RemoveCentringOperators(ops, lattice);
  const size_t primitive = out.size();
  for (size_t i = 0; i < primitive; ++i)
    for (int v = 1; v < points; ++v) out.push_back(Shifted(out[i], vectors[v]));
  return out;
}

std::vector<CSymmetryOperator> BuildFullOperatorList(const std::vector<CSymmetryOperator>& ops, const CString& symbol,
                                                     int originChoice, wchar_t lattice, double alpha, double beta,
                                                     double gamma) {
  std::vector<CSymmetryOperator> out = ops;
  if (out.empty()) {
    CString lookup = symbol;
    wchar_t found = lattice;
    int count = 0;
    std::vector<CString> texts;
    if (LookupSpaceGroupOperators(lookup, originChoice, alpha, beta, gamma, found, count, texts)) {
      for (const CString& t : texts) out.emplace_back(t.GetString());
      lattice = found;  // the letter of the symbol whose operators are used
    } else {
      out.push_back(Identity());
    }
  }
  if (lattice == L'R' && SameRoundedAngles(alpha, beta, gamma)) return out;  // rhombohedral axes: primitive
  double vectors[4][3];
  const int points = GetLatticeCentring(lattice, vectors);
  const size_t primitive = out.size();
  for (int v = 1; v < points; ++v)
    for (size_t i = 0; i < primitive; ++i) out.push_back(Shifted(out[i], vectors[v]));
  return out;
}

CInstalledOperators InstallOperatorsFromSymbol(const CString& symbol, int originChoice, double alpha, double beta,
                                               double gamma) {
  CInstalledOperators out;
  out.symbol = symbol.IsEmpty() ? CString(L"P 1") : symbol;
  int count = 0;
  std::vector<CString> texts;
  wchar_t lattice = L'P';
  if (!LookupSpaceGroupOperators(out.symbol, originChoice, alpha, beta, gamma, lattice, count, texts)) {
    out.symbol = L"P 1";
    out.lattice = L'P';
    out.operators.push_back(Identity());
    return out;
  }
  out.lattice = lattice;
  for (const CString& t : texts) out.operators.emplace_back(t.GetString());
  return out;
}

CSpaceGroupMatch IdentifySpaceGroupFromOperators(const std::vector<CSymmetryOperator>& ops, wchar_t currentLattice) {
  CSpaceGroupMatch match;
  match.lattice = currentLattice;
  if (ops.empty()) return match;
  if (ops.size() > kMaxIdentifiedOperators) {
    std::fprintf(stderr, "Error - more than %d unique symmetry positions encountered! (ltyp = %c)\n",
                 static_cast<int>(kMaxIdentifiedOperators), static_cast<char>(currentLattice));
    match.operators = RemoveCentringOperators(ops, currentLattice);
    return match;
  }
  std::vector<CString> texts;
  for (const CSymmetryOperator& op : ops) texts.push_back(op.Format(0));
  const wchar_t detected = DetectLatticeFromOperators(texts, texts.size());
  double vectors[4][3];
  const int m = static_cast<int>(ops.size()) / GetLatticeCentring(detected, vectors);
  std::set<uint32_t> codes;
  for (const CString& t : texts) codes.insert(OperatorCodeFromText(t.GetString()));

  for (int i = 0; !IsEnd(g_SpaceGroupTable[i]); ++i) {
    const CSpaceGroupRow& row = g_SpaceGroupTable[i];
    const wchar_t letter = static_cast<wchar_t>(row.fullSymbol[0]);
    if (row.operatorCount != m || !(letter == detected || (letter == L'R' && detected == L'P'))) continue;
    bool all = true;
    for (int k = 0; k < m && all; ++k) all = codes.count(row.codes[k]) > 0;
    if (!all) continue;
    match.result = 1;
    match.rowIndex = i;
    match.symbol = RowSymbol(row);
    match.originChoice = row.originChoice;
    // The letter of the symbol that the crystal keeps (the full one when there is no short one).
    match.lattice = match.symbol[0];
    for (const CString& t : texts) match.operators.emplace_back(t.GetString());
    return match;
  }
  match.operators = RemoveCentringOperators(ops, currentLattice);
  return match;
}
