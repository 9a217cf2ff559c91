// Parsing, printing, comparison and the 24-bit codes of symmetry operators.
#include <gtest/gtest.h>

#include "SpaceGroups.h"
#include "SymmetryOperator.h"

namespace {
struct ParseCase {
  const wchar_t* text;
  double rotation[3][3];
  double translation[3];
};

// The code-text layout: per row a translation in 3 characters and a rotation term in 4.
CString Layout(const wchar_t* t0, const wchar_t* r0, const wchar_t* t1, const wchar_t* r1, const wchar_t* t2,
               const wchar_t* r2) {
  CString text;
  text.Format(L"%3s%-4s  %3s%-4s  %3s%-4s", t0, r0, t1, r1, t2, r2);
  return text;
}

void ExpectOperator(const CSymmetryOperator& op, const ParseCase& c) {
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) EXPECT_EQ(op.m_rotation[i][j], c.rotation[i][j]) << c.text << " R" << i << j;
    EXPECT_DOUBLE_EQ(op.m_translation[i], c.translation[i]) << c.text << " t" << i;
  }
}
}  // namespace

TEST(SymmetryOperator, ParsesTripletsAndCodeTexts) {
  const ParseCase cases[] = {
      {L"-x+1/2,y,-z", {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {0.5, 0, 0}},
      {L"x, y, z", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}},
      {L"X-1/4,Y+2/3,-Z-1/6", {{1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {0.75, 2.0 / 3.0, 5.0 / 6.0}},
      {L"x-y,x,z+5/6", {{1, -1, 0}, {1, 0, 0}, {0, 0, 1}}, {0, 0, 5.0 / 6.0}},
      {L"1/2-x     +y     -z   ", {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {0.5, 0, 0}},
      // The blank after x ends the first row; "+" alone makes the second; "1/2" the third.
      {L"x + 1/2,y,z", {{1, 0, 0}, {0, 0, 0}, {0, 0, 0}}, {0, 0, 0.5}},
      // Decimals and several digits are read whole; translations far out are brought into the cell.
      {L"x+0.5,y-0.25,z+1/12", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0.5, 0.75, 1.0 / 12.0}},
      {L"x+5/2,y-7/4,z+1", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0.5, 0.25, 1.0}},
      {L"", {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, {0, 0, 0}},
      {L"-x", {{-1, 0, 0}, {0, 0, 0}, {0, 0, 0}}, {0, 0, 0}},
  };
  for (const ParseCase& c : cases) ExpectOperator(CSymmetryOperator(c.text), c);
  EXPECT_EQ(CSymmetryOperator(L"-x+1/2,y,-z").m_text, CString(L"-x+1/2,y,-z"));
}

TEST(SymmetryOperator, FormatsInCodeLayoutAndCompactForm) {
  struct Case {
    const wchar_t* text;
    CString mode0;
    const wchar_t* compact;
  };
  const Case cases[] = {
      {L"x,y,z", Layout(L"", L"+x", L"", L"+y", L"", L"+z"), L"+x,+y,+z"},
      {L"-x+1/2,y,-z", Layout(L"1/2", L"-x", L"", L"+y", L"", L"-z"), L"1/2-x,+y,-z"},
      {L"-y,x-y,z+1/3", Layout(L"", L"-y", L"", L"+x-y", L"1/3", L"+z"), L"-y,+x-y,1/3+z"},
      {L"x+1/8,y+3/8,z+7/8", Layout(L"1/8", L"+x", L"3/8", L"+y", L"7/8", L"+z"), L"1/8+x,3/8+y,7/8+z"},
  };
  EXPECT_EQ(cases[0].mode0, CString(L"   +x       +y       +z  "));
  for (const Case& c : cases) {
    const CSymmetryOperator op(c.text);
    EXPECT_EQ(op.Format(0), c.mode0) << c.text;
    EXPECT_EQ(op.Format(1), CString(c.compact)) << c.text;
  }
  CSymmetryOperator shifted(L"x,y,z");
  shifted.m_translation[0] = -0.25;
  EXPECT_EQ(shifted.Format(1), CString(L"3/4+x,+y,+z"));
  // A translation with no text of its own prints no translation part.
  shifted.m_translation[0] = 0.1;
  EXPECT_EQ(shifted.Format(1), CString(L"+x,+y,+z"));
}

TEST(SymmetryOperator, CodesOfTextsAndTextsOfCodes) {
  struct Case {
    const wchar_t* text;
    uint32_t code;
  };
  const Case cases[] = {{L"x,y,z", 0x000204}, {L"-x,-y,-z", 0x010305}, {L"x+1/2,y,-z", 0x400205},
                        {L"-y+3/4,x+1/4,z+5/6", 0x632074}, {L"-x+y,y,-z+2/3", 0x070255}};
  for (const Case& c : cases) {
    const CString codeText = CSymmetryOperator(c.text).Format(0);
    EXPECT_EQ(OperatorCodeFromText(codeText.GetString()), c.code) << c.text;
    EXPECT_EQ(OperatorTextFromCode(c.code), codeText) << c.text;
  }
  // Alternative spellings of the two-term rotations.
  EXPECT_EQ(OperatorCodeFromText(Layout(L"", L"-y+x", L"", L"+y", L"", L"+z").GetString()), 0x060204u);
  EXPECT_EQ(OperatorCodeFromText(Layout(L"", L"+y-x", L"", L"+y", L"", L"+z").GetString()), 0x070204u);
  // Unknown pieces count as index 0; a short text reads as far as it goes.
  EXPECT_EQ(OperatorCodeFromText(Layout(L"1/8", L"+x", L"", L"+y", L"", L"+q").GetString()), 0x000200u);
  EXPECT_EQ(OperatorCodeFromText(L"1/2-x"), 0x410000u);
  EXPECT_EQ(OperatorCodeFromText(nullptr), 0u);
}

TEST(SymmetryOperator, EveryTableCodeSurvivesTextAndParse) {
  for (int i = 0; i < SpaceGroupTableSize(); ++i) {
    const CSpaceGroupRow& row = g_SpaceGroupTable[i];
    for (int k = 0; k < row.operatorCount; ++k) {
      const CString text = OperatorTextFromCode(row.codes[k]);
      ASSERT_EQ(OperatorCodeFromText(CSymmetryOperator(text.GetString()).Format(0).GetString()), row.codes[k])
          << row.fullSymbol << " " << k;
    }
  }
}

TEST(SymmetryOperator, ComparesTranslationsModuloOne) {
  const CSymmetryOperator a(L"-x+1/2,y,-z");
  CSymmetryOperator b(L"-x+1/2,y,-z");
  b.m_translation[0] = 1.5;
  EXPECT_TRUE(a.HasSameRotation(b));
  EXPECT_TRUE(a.HasSameTranslation(b));
  b.m_translation[0] = 0.5 - 1e-13;
  EXPECT_TRUE(a.HasSameTranslation(b));
  b.m_translation[0] = 0.5 + 1e-9;
  EXPECT_FALSE(a.HasSameTranslation(b));
  EXPECT_FALSE(a.HasSameRotation(CSymmetryOperator(L"x,y,-z")));

  const CSymmetryOperator centred(L"-x,y+1/2,-z+1/2");
  const CSymmetryOperator primitive(L"-x,y,-z");
  const double aCentring[3] = {0, 0.5, 0.5};
  const double cCentring[3] = {0.5, 0.5, 0};
  EXPECT_TRUE(centred.EqualsShifted(primitive, aCentring));
  EXPECT_FALSE(centred.EqualsShifted(primitive, cCentring));
  EXPECT_FALSE(CSymmetryOperator(L"x,y+1/2,z+1/2").EqualsShifted(primitive, aCentring));
}

TEST(SymmetryOperator, AppliesRotationThenTranslation) {
  const CSymmetryOperator op(L"-y,x-y,z+1/3");
  const double p[3] = {0.1, 0.2, 0.3};
  double out[3];
  op.Apply(p, out);
  EXPECT_DOUBLE_EQ(out[0], -0.2);
  EXPECT_DOUBLE_EQ(out[1], -0.1);
  EXPECT_DOUBLE_EQ(out[2], 0.3 + 1.0 / 3.0);
}
