// The space-group table, symbol look-ups, lattice centring and identification from operators.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "SpaceGroups.h"

namespace {
std::vector<CSymmetryOperator> RowOperators(const CSpaceGroupRow& row) {
  std::vector<CSymmetryOperator> ops;
  for (int k = 0; k < row.operatorCount; ++k) ops.emplace_back(OperatorTextFromCode(row.codes[k]).GetString());
  return ops;
}

wchar_t RowLattice(const CSpaceGroupRow& row) { return static_cast<wchar_t>(row.fullSymbol[0]); }

// The complete operator list of a row as a structure file would give it.
std::vector<CSymmetryOperator> CentredRowOperators(const CSpaceGroupRow& row) {
  if (row.setting == 111) return RowOperators(row);
  return AddCentringOperators(RowOperators(row), RowLattice(row));
}

std::set<uint32_t> CodeSet(const CSpaceGroupRow& row) { return {row.codes, row.codes + row.operatorCount}; }

int RowOf(int number, int setting, int originChoice = 0) {
  for (int i = 0; i < SpaceGroupTableSize(); ++i) {
    const CSpaceGroupRow& r = g_SpaceGroupTable[i];
    if (r.number == number && r.setting == setting && r.originChoice == originChoice) return i;
  }
  return -1;
}

std::vector<CString> Texts(const CSpaceGroupRow& row) {
  std::vector<CString> texts;
  for (int k = 0; k < row.operatorCount; ++k) texts.push_back(OperatorTextFromCode(row.codes[k]));
  return texts;
}
}  // namespace

TEST(SpaceGroupTable, HoldsTheRowsThatTheSymbolsName) {
  const CSpaceGroupRow* t = g_SpaceGroupTable;
  const char* firstTwelve[] = {"P 1", "A 1", "B 1", "C 1", "I 1", "F 1", "P -1", "A -1", "B -1", "C -1", "I -1", "F -1"};
  for (int i = 0; i < 12; ++i) {
    EXPECT_STREQ(t[i].shortSymbol, firstTwelve[i]);
    EXPECT_EQ(t[i].number, i < 6 ? 1 : 2);
  }
  EXPECT_STREQ(t[0].schoenflies, "C1(1)");
  ASSERT_EQ(t[0].operatorCount, 1);
  EXPECT_EQ(t[0].codes[0], 0x000204u);
  ASSERT_EQ(t[10].operatorCount, 2);
  EXPECT_EQ(t[10].codes[1], 0x010305u);

  const int aa = FindSpaceGroupIndex(L"A 1 1 a");
  ASSERT_GE(aa, 0);
  EXPECT_EQ(t[aa].number, 9);
  EXPECT_EQ(CodeSet(t[aa]), (std::set<uint32_t>{0x000204, 0x400205}));

  const int nnn1 = RowOf(48, 0, 1), nnn2 = RowOf(48, 0, 2);
  ASSERT_GE(nnn1, 0);
  EXPECT_EQ(nnn2, nnn1 + 1);
  EXPECT_STREQ(t[nnn1].originNote, "2 2 2");
  EXPECT_STREQ(t[nnn2].originNote, "-1");
  EXPECT_STREQ(t[RowOf(227, 0, 2)].originNote, "centre (-3m)");

  const int r3 = RowOf(146, 112);
  EXPECT_EQ(RowOf(146, 111), r3 + 1);
  EXPECT_STREQ(t[r3 + 1].shortSymbol, "R 3");

  const CSpaceGroupRow& last = t[SpaceGroupTableSize() - 1];
  EXPECT_STREQ(last.shortSymbol, "I a -3 d");
  EXPECT_STREQ(last.schoenflies, "Oh(10)");
  EXPECT_STREQ(last.fullSymbol, "I 41/a -3 2/d");
  EXPECT_EQ(last.operatorCount, 48);
  EXPECT_GT(t[SpaceGroupTableSize()].number, 230);

  // Every group is present, in order, with the identity first.
  int number = 1;
  for (int i = 0; i < SpaceGroupTableSize(); ++i) {
    ASSERT_TRUE(t[i].number == number || t[i].number == number + 1) << i;
    number = t[i].number;
    EXPECT_EQ(t[i].codes[0], 0x000204u) << i;
  }
  EXPECT_EQ(number, 230);
}

TEST(SpaceGroupTable, SideTables) {
  EXPECT_STREQ(GetSettingNote(21), L"Unique axis b; cell choice 1");
  EXPECT_STREQ(GetSettingNote(111), L"RHOMBOHEDRAL AXES");
  EXPECT_STREQ(GetSettingNote(0), L"");
  int shifts = 0, aliases = 0;
  for (const COriginShiftRow* o = g_OriginChoiceTable; o->number <= 230; ++o) ++shifts;
  for (const CSpaceGroupAlias* a = g_SpaceGroupAliasTable; a->number <= 230; ++a) ++aliases;
  EXPECT_EQ(shifts, 30);
  EXPECT_EQ(aliases, 21);
  // Every origin-shift symbol names a group with two origin choices.
  for (const COriginShiftRow* o = g_OriginChoiceTable; o->number <= 230; ++o) {
    int dummy = 0;
    CString symbol(o->symbol);
    int row = -1;
    ASSERT_TRUE(ParseSpaceGroupSymbol(symbol, dummy, &row)) << o->symbol;
    EXPECT_EQ(g_SpaceGroupTable[row].number, o->number);
    EXPECT_EQ(g_SpaceGroupTable[row].originChoice, 1) << o->symbol;
  }
}

TEST(SpaceGroupIdentification, EveryRowIdentifiesAsItselfOrAnEarlierEqualRow) {
  for (int i = 0; i < SpaceGroupTableSize(); ++i) {
    const CSpaceGroupRow& row = g_SpaceGroupTable[i];
    const CSpaceGroupMatch match = IdentifySpaceGroupFromOperators(CentredRowOperators(row), L'P');
    ASSERT_EQ(match.result, 1) << row.fullSymbol << " origin " << int(row.originChoice);
    if (match.rowIndex != i) {
      const CSpaceGroupRow& found = g_SpaceGroupTable[match.rowIndex];
      EXPECT_LT(match.rowIndex, i) << row.fullSymbol;
      EXPECT_EQ(CodeSet(found), CodeSet(row)) << row.fullSymbol << " found " << found.fullSymbol;
      EXPECT_EQ(RowLattice(found), RowLattice(row)) << row.fullSymbol << " found " << found.fullSymbol;
    }
  }
}

TEST(SpaceGroupIdentification, MonoclinicWithInversionTakesTheShortSymbol) {
  std::vector<CSymmetryOperator> ops = {CSymmetryOperator(L"x,y,z"), CSymmetryOperator(L"-x,y+1/2,-z+1/2"),
                                        CSymmetryOperator(L"-x,-y,-z"), CSymmetryOperator(L"x,-y+1/2,z+1/2")};
  const CSpaceGroupMatch match = IdentifySpaceGroupFromOperators(ops, L'P');
  ASSERT_EQ(match.result, 1);
  EXPECT_EQ(match.symbol, CString(L"P 21/c"));
  EXPECT_EQ(g_SpaceGroupTable[match.rowIndex].operatorCount, 4);
  EXPECT_EQ(match.lattice, L'P');
  ASSERT_EQ(match.operators.size(), 4u);
  EXPECT_EQ(match.operators[1].Format(1), CString(L"-x,1/2+y,1/2-z"));
}

TEST(SpaceGroupIdentification, FaceCentredListMatchesRowsOfAQuarterOfItsSize) {
  const int f222 = FindSpaceGroupIndex(L"F 2 2 2");
  ASSERT_GE(f222, 0);
  const std::vector<CSymmetryOperator> ops = AddCentringOperators(RowOperators(g_SpaceGroupTable[f222]), L'F');
  ASSERT_EQ(ops.size(), 16u);
  std::vector<CString> texts;
  for (const auto& op : ops) texts.push_back(op.Format(0));
  EXPECT_EQ(DetectLatticeFromOperators(texts, texts.size()), L'F');
  const CSpaceGroupMatch match = IdentifySpaceGroupFromOperators(ops, L'P');
  ASSERT_EQ(match.result, 1);
  EXPECT_EQ(match.symbol, CString(L"F 2 2 2"));
  EXPECT_EQ(match.lattice, L'F');
  EXPECT_EQ(match.operators.size(), 16u);
}

TEST(SpaceGroupIdentification, FailuresLeaveThePrimitivePart) {
  EXPECT_EQ(IdentifySpaceGroupFromOperators({}, L'P').result, 0);

  // A lone two-fold with a quarter translation is no group of the table.
  const std::vector<CSymmetryOperator> odd = {CSymmetryOperator(L"x,y,z"), CSymmetryOperator(L"-x,-y,z+1/4")};
  const CSpaceGroupMatch none = IdentifySpaceGroupFromOperators(odd, L'P');
  EXPECT_EQ(none.result, 0);
  EXPECT_EQ(none.operators.size(), 2u);

  // More operators than the identification holds: the diagnostic and the primitive part.
  const std::vector<CSymmetryOperator> fm3m = RowOperators(g_SpaceGroupTable[FindSpaceGroupIndex(L"F m -3 m")]);
  std::vector<CSymmetryOperator> many = AddCentringOperators(fm3m, L'F');
  many.push_back(CSymmetryOperator(L"x,y,z+1/3"));
  ASSERT_GT(many.size(), kMaxIdentifiedOperators);
  testing::internal::CaptureStderr();
  const CSpaceGroupMatch tooMany = IdentifySpaceGroupFromOperators(many, L'F');
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(tooMany.result, 0);
  EXPECT_EQ(err, "Error - more than 192 unique symmetry positions encountered! (ltyp = F)\n");
  EXPECT_EQ(tooMany.operators.size(), 49u);
}

TEST(SpaceGroupLattice, CentringVectorsAndDetection) {
  double v[4][3];
  EXPECT_EQ(GetLatticeCentring(L'P', v), 1);
  EXPECT_EQ(GetLatticeCentring(L'A', v), 2);
  EXPECT_EQ(v[1][0], 0.0);
  EXPECT_EQ(v[1][1], 0.5);
  EXPECT_EQ(GetLatticeCentring(L'F', v), 4);
  EXPECT_EQ(v[3][0], 0.5);
  EXPECT_EQ(v[3][1], 0.0);
  EXPECT_EQ(GetLatticeCentring(L'R', v), 3);
  EXPECT_DOUBLE_EQ(v[1][0], 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(v[2][2], 2.0 / 3.0);
  EXPECT_EQ(GetLatticeCentring(L'Q', v), 1);

  struct Case {
    const char* symbol;
    wchar_t lattice;
  };
  const Case cases[] = {{"I 41/a m d", L'I'}, {"C m c m", L'C'}, {"A 1 1 a", L'A'}, {"B 1 1 2", L'B'},
                        {"F d -3 m", L'F'},   {"P n m a", L'P'}, {"R -3 m", L'R'}};
  for (const Case& c : cases) {
    const CSpaceGroupRow& row = g_SpaceGroupTable[FindSpaceGroupIndex(CString(c.symbol))];
    std::vector<CString> texts;
    for (const auto& op : AddCentringOperators(RowOperators(row), RowLattice(row))) texts.push_back(op.Format(0));
    EXPECT_EQ(DetectLatticeFromOperators(texts, texts.size()), c.lattice) << c.symbol;
    // Without centring the list is primitive.
    EXPECT_EQ(DetectLatticeFromOperators(Texts(row), row.operatorCount), L'P') << c.symbol;
  }
}

TEST(SpaceGroupLattice, RemovingAndAddingCentring) {
  const std::vector<CSymmetryOperator> primitive = RowOperators(g_SpaceGroupTable[FindSpaceGroupIndex(L"F m -3 m")]);
  const std::vector<CSymmetryOperator> full = AddCentringOperators(primitive, L'F');
  ASSERT_EQ(full.size(), 192u);
  EXPECT_EQ(AddCentringOperators(full, L'F').size(), 192u);
  const std::vector<CSymmetryOperator> back = RemoveCentringOperators(full, L'F');
  ASSERT_EQ(back.size(), primitive.size());
  for (size_t i = 0; i < back.size(); ++i) EXPECT_EQ(back[i].Format(0), primitive[i].Format(0));
  EXPECT_EQ(RemoveCentringOperators(full, L'P').size(), 192u);
}

TEST(SpaceGroupLattice, FullOperatorListAddsCentringForTheSymbol) {
  EXPECT_EQ(BuildFullOperatorList({}, L"F m -3 m", 0, L'P', 90, 90, 90).size(), 192u);
  EXPECT_EQ(BuildFullOperatorList({}, L"R 3", 0, L'R', 60, 60, 60).size(), 3u);
  EXPECT_EQ(BuildFullOperatorList({}, L"R 3", 0, L'R', 90, 90, 120).size(), 9u);
  const auto unknown = BuildFullOperatorList({}, L"Q 7", 0, L'P', 90, 90, 90);
  ASSERT_EQ(unknown.size(), 1u);
  EXPECT_EQ(unknown[0].Format(1), CString(L"+x,+y,+z"));
  const std::vector<CSymmetryOperator> own = {CSymmetryOperator(L"x,y,z"), CSymmetryOperator(L"-x,-y,-z")};
  const auto centred = BuildFullOperatorList(own, L"ignored", 0, L'I', 90, 90, 90);
  ASSERT_EQ(centred.size(), 4u);
  EXPECT_EQ(centred[2].Format(1), CString(L"1/2+x,1/2+y,1/2+z"));
  EXPECT_EQ(centred[3].Format(1), CString(L"1/2-x,1/2-y,1/2-z"));
}

TEST(SpaceGroupLookup, InstallsOperatorsOrFallsBackToP1) {
  const CInstalledOperators fm3m = InstallOperatorsFromSymbol(L"225", 0, 90, 90, 90);
  EXPECT_EQ(fm3m.symbol, CString(L"F m -3 m"));
  EXPECT_EQ(fm3m.lattice, L'F');
  EXPECT_EQ(fm3m.operators.size(), 48u);
  for (const wchar_t* symbol : {L"", L"Q 9"}) {
    const CInstalledOperators p1 = InstallOperatorsFromSymbol(symbol, 0, 90, 90, 90);
    EXPECT_EQ(p1.symbol, CString(L"P 1"));
    EXPECT_EQ(p1.lattice, L'P');
    ASSERT_EQ(p1.operators.size(), 1u);
    EXPECT_EQ(p1.operators[0].Format(1), CString(L"+x,+y,+z"));
  }
}

// The monoclinic settings along negative axes of C c and C 2/c: typed (blanks dropped, as users
// often type them) they name their row, and the symbol gives the published operators.
TEST(SpaceGroupLookup, MonoclinicSettingsAlongNegativeAxes) {
  struct Case {
    const wchar_t* symbol;
    int number, setting;
    wchar_t lattice;
    std::vector<const wchar_t*> operators;  // besides the identity, without centring
  };
  const Case cases[] = {
      {L"A 1 a 1", 9, 21, L'A', {L"x+1/2,-y,z"}},
      {L"C 1 n 1", 9, 22, L'C', {L"x+1/2,-y,z+1/2"}},
      {L"I 1 c 1", 9, 23, L'I', {L"x,-y,z+1/2"}},
      {L"B 1 1 b", 9, 31, L'B', {L"x,y+1/2,-z"}},
      {L"A 1 1 n", 9, 32, L'A', {L"x+1/2,y+1/2,-z"}},
      {L"I 1 1 a", 9, 33, L'I', {L"x+1/2,y,-z"}},
      {L"C c 1 1", 9, 11, L'C', {L"-x,y,z+1/2"}},
      {L"B n 1 1", 9, 12, L'B', {L"-x+1/2,y+1/2,z"}},
      {L"I b 1 1", 9, 13, L'I', {L"-x,y+1/2,z"}},
      {L"A 1 2/a 1", 15, 21, L'A', {L"-x+1/2,y,-z", L"-x,-y,-z", L"x+1/2,-y,z"}},
      {L"C 1 2/n 1", 15, 22, L'C', {L"-x+1/2,y,-z+1/2", L"-x,-y,-z", L"x+1/2,-y,z+1/2"}},
      {L"I 1 2/c 1", 15, 23, L'I', {L"-x,y,-z+1/2", L"-x,-y,-z", L"x,-y,z+1/2"}},
      {L"B 1 1 2/b", 15, 31, L'B', {L"-x,-y+1/2,z", L"-x,-y,-z", L"x,y+1/2,-z"}},
      {L"A 1 1 2/n", 15, 32, L'A', {L"-x+1/2,-y+1/2,z", L"-x,-y,-z", L"x+1/2,y+1/2,-z"}},
      {L"I 1 1 2/a", 15, 33, L'I', {L"-x+1/2,-y,z", L"-x,-y,-z", L"x+1/2,y,-z"}},
      {L"C 2/c 1 1", 15, 11, L'C', {L"x,-y,-z+1/2", L"-x,-y,-z", L"-x,y,z+1/2"}},
      {L"B 2/n 1 1", 15, 12, L'B', {L"x+1/2,-y+1/2,-z", L"-x,-y,-z", L"-x+1/2,y+1/2,z"}},
      {L"I 2/b 1 1", 15, 13, L'I', {L"x,-y+1/2,-z", L"-x,-y,-z", L"-x,y+1/2,z"}},
  };
  auto centred = [](const std::vector<CSymmetryOperator>& ops, wchar_t lattice) {
    std::set<std::wstring> texts;
    for (const CSymmetryOperator& op : AddCentringOperators(ops, lattice)) texts.insert(op.Format(1).GetString());
    return texts;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << CString(c.symbol).GetString());
    std::wstring compact = c.symbol;
    compact.erase(std::remove(compact.begin(), compact.end(), L' '), compact.end());
    CString typed = compact.c_str();
    int origin = 0, row = -1;
    ASSERT_TRUE(ParseSpaceGroupSymbol(typed, origin, &row));
    EXPECT_EQ(g_SpaceGroupTable[row].number, c.number);
    EXPECT_EQ(g_SpaceGroupTable[row].setting, c.setting);

    const CInstalledOperators installed = InstallOperatorsFromSymbol(c.symbol, 0, 90, 100, 90);
    EXPECT_EQ(installed.symbol, CString(c.symbol));
    EXPECT_EQ(installed.lattice, c.lattice);
    std::vector<CSymmetryOperator> expected{CSymmetryOperator(L"x,y,z")};
    for (const wchar_t* op : c.operators) expected.emplace_back(op);
    EXPECT_EQ(centred(installed.operators, installed.lattice), centred(expected, c.lattice));
  }
}

TEST(SpaceGroupLookup, OperatorsBySymbolNumberAndRhombohedralSetting) {
  wchar_t lattice = 0;
  int count = 0;
  std::vector<CString> texts;
  CString symbol = L"P m 3 m";
  ASSERT_TRUE(LookupSpaceGroupOperators(symbol, 0, 90, 90, 90, lattice, count, texts));
  EXPECT_EQ(count, 48);
  EXPECT_EQ(lattice, L'P');
  EXPECT_EQ(texts, Texts(g_SpaceGroupTable[RowOf(221, 0)]));

  symbol = L"D2h(16)";
  ASSERT_TRUE(LookupSpaceGroupOperators(symbol, 0, 90, 90, 90, lattice, count, texts));
  EXPECT_EQ(symbol, CString(L"P n m a"));

  symbol = L"R -3 m";
  ASSERT_TRUE(LookupSpaceGroupOperators(symbol, 0, 70.5, 70.5, 70.5, lattice, count, texts));
  EXPECT_EQ(texts, Texts(g_SpaceGroupTable[RowOf(166, 111)]));
  EXPECT_EQ(lattice, L'R');
  symbol = L"R -3 m";
  ASSERT_TRUE(LookupSpaceGroupOperators(symbol, 0, 90, 90, 120, lattice, count, texts));
  EXPECT_EQ(texts, Texts(g_SpaceGroupTable[RowOf(166, 112)]));

  symbol = L"P n n n";
  ASSERT_TRUE(LookupSpaceGroupOperators(symbol, 2, 90, 90, 90, lattice, count, texts));
  EXPECT_EQ(texts, Texts(g_SpaceGroupTable[RowOf(48, 0, 2)]));

  // A number or Schoenflies symbol of an R group takes the axes of the angles, and the origin
  // choice of a group with two; a group with one origin ignores the choice.
  struct Case {
    const wchar_t* symbol;
    int originChoice;
    double alpha, gamma;
    int row;
    const wchar_t* rewritten;
  };
  const Case cases[] = {
      {L"166", 0, 70.5, 70.5, RowOf(166, 111), L"R -3 m"},   {L"166", 0, 90, 120, RowOf(166, 112), L"R -3 m"},
      {L"D3d(5)", 0, 70.5, 70.5, RowOf(166, 111), L"R -3 m"}, {L"D2h(2)", 2, 90, 90, RowOf(48, 0, 2), L"P n n n"},
      {L"P 21/c", 1, 90, 90, FindSpaceGroupIndex(L"P 21/c"), L"P 21/c"},
      {L"14", 2, 90, 90, FindSpaceGroupIndex(L"P 21/c"), L"P 21/c"},
  };
  for (const Case& c : cases) {
    symbol = c.symbol;
    ASSERT_TRUE(LookupSpaceGroupOperators(symbol, c.originChoice, c.alpha, c.alpha, c.gamma, lattice, count, texts))
        << c.symbol;
    EXPECT_EQ(texts, Texts(g_SpaceGroupTable[c.row])) << c.symbol;
    EXPECT_EQ(symbol, CString(c.rewritten)) << c.symbol;
  }

  symbol = L"Z 1";
  EXPECT_FALSE(LookupSpaceGroupOperators(symbol, 0, 90, 90, 90, lattice, count, texts));
  symbol = L"";
  EXPECT_FALSE(LookupSpaceGroupOperators(symbol, 0, 90, 90, 90, lattice, count, texts));
}

TEST(SpaceGroupLookup, SymbolLookupNormalisesAndGivesTheCrystalSystem) {
  struct Case {
    const wchar_t* text;
    double gamma;
    const wchar_t* normalised;
    int system;
  };
  const Case cases[] = {
      {L"1", 90, L"P 1", 1},
      {L"P21/c", 90, L"P 1 21/c 1", 2},
      {L"P 21/c", 90, L"P 21/c", 2},
      {L"D2h(16)", 90, L"P n m a", 3},
      {L"I 41/a m d", 90, L"I 41/a m d", 4},
      {L"R -3 m", 120, L"R -3 m", 5},
      {L"R -3 m", 60, L"R -3 m", 6},
      {L"P 63/m m c", 120, L"P 63/m m c", 7},
      {L"225", 90, L"F m -3 m", 8},
      {L"P m 3 m", 90, L"P 4/m -3 2/m", 8},
  };
  for (const Case& c : cases) {
    CString symbol = c.text;
    int system = 0;
    const double alpha = c.gamma == 60 ? 60 : 90;
    ASSERT_TRUE(LookupSpaceGroupSymbol(symbol, 0, alpha, alpha, c.gamma, system)) << c.text;
    EXPECT_EQ(symbol, CString(c.normalised)) << c.text;
    EXPECT_EQ(system, c.system) << c.text;
  }
  CString empty;
  int system = 0;
  EXPECT_FALSE(LookupSpaceGroupSymbol(empty, 0, 90, 90, 90, system));
  CString unknown = L"P 7";
  EXPECT_FALSE(LookupSpaceGroupSymbol(unknown, 0, 90, 90, 90, system));
}

TEST(SpaceGroupLookup, ParsesTypedSymbols) {
  struct Case {
    const wchar_t* text;
    int originIn;
    int number;
    int originOut;
  };
  const Case cases[] = {
      {L"14", 0, 14, 0},          {L"p21/c", 0, 14, 0},       {L"P 21/C", 0, 14, 0},
      {L"P2_1/n", 0, 14, 0},      {L"P 4(2)/n", 0, 86, 0},    {L"C2h(5)", 0, 14, 0},
      {L"d2h(16)", 0, 62, 0},     {L"Fm3m", 0, 225, 0},       {L"F d -3 m", 2, 227, 2},
      {L"P 21/c", 2, 14, 0},      {L"P n n n [origin 2]", 0, 48, 2},
      {L"C m c m", 0, 63, 0},     {L"Cmc2(1)", 0, 36, 0},     {L"R -3 m", 0, 166, 0},
      // Alternative settings of groups with two origins keep the choice too.
      {L"P n c b [origin 2]", 0, 50, 2},  {L"A b a a", 1, 68, 1},  {L"P n n n", 3, 48, 0},
      // A setting suffix after a colon, as files write it.
      {L"F d -3 m :2", 0, 227, 2},  {L"Fd-3m:1", 0, 227, 1},  {L"P n n n :2", 0, 48, 2},
      {L"R -3 m :H", 0, 166, 0},    {L"R 3 :R", 0, 146, 0},   {L"P 21/c :2", 0, 14, 0},
  };
  for (const Case& c : cases) {
    CString symbol = c.text;
    int origin = c.originIn, row = -1;
    ASSERT_TRUE(ParseSpaceGroupSymbol(symbol, origin, &row)) << c.text;
    EXPECT_EQ(g_SpaceGroupTable[row].number, c.number) << c.text;
    EXPECT_EQ(origin, c.originOut) << c.text;
    // The row found is that of the kept choice.
    if (c.originOut != 0) {
      EXPECT_EQ(g_SpaceGroupTable[row].originChoice, c.originOut) << c.text;
    }
  }
  CString nnc = L"P n c b [origin 2]";
  int origin = 0, row = -1;
  ASSERT_TRUE(ParseSpaceGroupSymbol(nnc, origin, &row));
  EXPECT_EQ(g_SpaceGroupTable[row].setting, 106);
  for (const wchar_t* bad : {L"", L"X 1", L"231", L"P 7/q", L"Q(1)"}) {
    CString symbol = bad;
    int origin = 0;
    EXPECT_FALSE(ParseSpaceGroupSymbol(symbol, origin)) << bad;
  }
}

TEST(SpaceGroupLookup, OriginChoiceShifts) {
  double shift[3] = {};
  ASSERT_TRUE(GetOriginChoiceShift(L"F d -3 m", shift));
  EXPECT_EQ(shift[0], -0.125);
  EXPECT_EQ(shift[2], -0.125);
  ASSERT_TRUE(GetOriginChoiceShift(L"I 41/a", shift));
  EXPECT_EQ(shift[0], 0.0);
  EXPECT_EQ(shift[1], -0.25);
  EXPECT_FALSE(GetOriginChoiceShift(L"P 21/c", shift));
  EXPECT_FALSE(GetOriginChoiceShift(L"", shift));
}

TEST(SpaceGroupLookup, CurrentSpellingsNameTheSettingsOfTheOlderSymbols) {
  // As a structure file gives the symbol alone: parsed, looked up, and the operators installed.
  struct Case {
    const wchar_t* text;
    int number;
    int setting;
    int originChoice;
  };
  const Case cases[] = {
      {L"C m c e", 64, 101, 0},     {L"Cmce", 64, 101, 0},         {L"C c m e", 64, 102, 0},
      {L"A e m a", 64, 106, 0},     {L"A e a m", 64, 105, 0},      {L"B b e m", 64, 104, 0},
      {L"B m e b", 64, 103, 0},     {L"C m m e", 67, 101, 0},      {L"A e m m", 67, 106, 0},
      {L"B m e m", 67, 104, 0},     {L"C c c e :2", 68, 101, 2},   {L"Ccce", 68, 101, 0},
      {L"A e a a :1", 68, 106, 1},  {L"B b e b :2", 68, 104, 2},   {L"A e a 2", 41, 101, 0},
      {L"B b e 2", 41, 102, 0},     {L"B 2 e b", 41, 106, 0},      {L"C 2 c e", 41, 105, 0},
      {L"C c 2 e", 41, 104, 0},     {L"A e 2 a", 41, 103, 0},      {L"A e m 2", 39, 101, 0},
      {L"Bme2", 39, 102, 0},        {L"B 2 e m", 39, 106, 0},      {L"C 2 m e", 39, 105, 0},
      {L"C m 2 e", 39, 104, 0},     {L"A e 2 m", 39, 103, 0},
      // Full symbols with the e glide.
      {L"C 2/m 2/c 21/e", 64, 101, 0},  {L"A 21/e 2/m 2/a", 64, 106, 0},  {L"C 2/m 2/m 2/e", 67, 101, 0},
      {L"C 2/c 2/c 2/e :1", 68, 101, 1},
      // Origin and axes as a last letter.
      {L"F d -3 m S", 227, 0, 1},   {L"F d -3 m Z", 227, 0, 2},    {L"Fd-3mZ", 227, 0, 2},
      {L"I 41/a m d Z", 141, 0, 2}, {L"I 41/a m d S", 141, 0, 1},  {L"P n -3 n Z", 222, 0, 2},
      {L"R -3 m H", 166, 112, 0},   {L"R -3 m R", 166, 111, 0},    {L"R3cH", 161, 112, 0},
      {L"C m c e Z", 64, 101, 0},   {L"R 3 :R", 146, 111, 0},      {L"R 3 :h", 146, 112, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(CString(c.text).ToUtf8());
    CString symbol = c.text;
    int origin = 0, row = -1, system = 0;
    // Rhombohedral axes for the R suffix, hexagonal otherwise.
    const bool rhombohedral = c.setting == 111;
    const double alpha = rhombohedral ? 80 : 90, gamma = rhombohedral ? 80 : (c.number >= 143 ? 120 : 90);
    ASSERT_TRUE(ParseSpaceGroupSymbol(symbol, origin, &row));
    EXPECT_EQ(origin, c.originChoice);
    // The row a typed symbol selects (the probe shows it).
    EXPECT_EQ(g_SpaceGroupTable[row].number, c.number);
    if (c.setting != 0) {
      EXPECT_EQ(g_SpaceGroupTable[row].setting, c.setting);
    }
    ASSERT_TRUE(LookupSpaceGroupSymbol(symbol, origin, alpha, alpha, gamma, system));
    wchar_t lattice = 0;
    int count = 0;
    std::vector<CString> texts;
    ASSERT_TRUE(LookupSpaceGroupOperators(symbol, origin, alpha, alpha, gamma, lattice, count, texts));
    const int expected = [&] {
      for (int i = 0; i < SpaceGroupTableSize(); ++i) {
        const CSpaceGroupRow& r = g_SpaceGroupTable[i];
        if (r.number == c.number && (c.setting == 0 || r.setting == c.setting) &&
            (c.originChoice == 0 || r.originChoice == c.originChoice))
          return i;
      }
      return -1;
    }();
    ASSERT_GE(expected, 0);
    EXPECT_EQ(texts, Texts(g_SpaceGroupTable[expected]));
    EXPECT_EQ(lattice, static_cast<wchar_t>(g_SpaceGroupTable[expected].fullSymbol[0]));
  }
  // Symbols that end in these letters only by mistake stay unknown.
  for (const wchar_t* bad : {L"P 7 Z", L"Q m m m S"}) {
    CString symbol = bad;
    int origin = 0;
    EXPECT_FALSE(ParseSpaceGroupSymbol(symbol, origin)) << bad;
  }
}
