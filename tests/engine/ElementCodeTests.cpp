// Element codes and symbols, which are valid exactly when the element table has the symbol.
#include <gtest/gtest.h>

#include "LXASF.h"
#include "LXUtils.h"

TEST(ElementCodes, NormalizeElementSymbol) {
  const struct {
    char in[3];
    char out[3];
    bool valid;
  } cases[] = {{"FE", "Fe", true}, {"ho", "HO", false}, {"Ho", "Ho", true}, {"OH", "OH", true},
               {"oh", "OH", true}, {"1c", "C ", true},  {"Xx", "Xx", false}, {"c ", "C ", true}};
  for (const auto& c : cases) {
    char symbol[2] = {c.in[0], c.in[1]};
    EXPECT_EQ(NormalizeElementSymbol(symbol), c.valid) << c.in;
    EXPECT_EQ(symbol[0], c.out[0]) << c.in;
    EXPECT_EQ(symbol[1], c.out[1]) << c.in;
  }
}

TEST(ElementCodes, ElementCodes) {
  EXPECT_EQ(ElementCodeFromString(L"FE2+"), 0x4665);
  EXPECT_EQ(ElementCodeFromString(L"O1"), 0x4F20);
  EXPECT_EQ(ElementCodeFromString(L"Ho3"), 0x486F);
  EXPECT_EQ(ElementCodeFromString(L"1Fe"), kUnknownElementCode);
  EXPECT_EQ(ElementCodeFromString(L"Qz"), kUnknownElementCode);
  EXPECT_EQ(ElementCodeFromText(CString(L"si")), 0x5369);
  EXPECT_EQ(ElementCodeToString(0x4F20), CString(L"O"));
  EXPECT_EQ(ElementCodeToString(0x4665), CString(L"Fe"));
  EXPECT_TRUE(IsElementCodeNormalized(0));
  EXPECT_TRUE(IsElementCodeNormalized(kUnknownElementCode));
  EXPECT_TRUE(IsElementCodeNormalized(0x4665));
  EXPECT_FALSE(IsElementCodeNormalized(0x4645));  // "FE"
}

TEST(ElementCodes, ValidSymbolsAreTheTablesOwn) {
  // Every one- or two-letter symbol of the table is valid, and a letter pair it lacks is not.
  for (const CLXASF& record : g_ElementTable) {
    const CString symbol(record.GetSymbol());
    if (symbol.GetLength() > 2) continue;
    char letters[2] = {char(symbol[0]), symbol.GetLength() > 1 ? char(symbol[1]) : ' '};
    EXPECT_TRUE(NormalizeElementSymbol(letters)) << symbol.ToUtf8();
  }
  char missing[2] = {'Z', 'z'};
  EXPECT_FALSE(NormalizeElementSymbol(missing));
}
