// The crystal editor's occupancy text, the snapping of coordinates and U read back from β.
#include "EditCrystal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "TestSupport.h"

namespace {
// The species as the Occupancy column shows them.
std::string Shown(const std::vector<CSiteSpecies>& species) {
  CString text;
  for (const CSiteSpecies& s : species)
    if (s.m_occupancy > 0.0) text.AppendFormat(L"%-2s %0.2f  ", s.m_name.GetString(), s.m_occupancy);
  text.Trim();
  std::string out;
  for (int i = 0; i < text.GetLength(); ++i) out += static_cast<char>(text[i]);
  return out;
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; *text; ++text) out += static_cast<char>(*text);
  return out;
}

enum Outcome { kParsed, kInvalid, kSumAboveOne };

Outcome Parse(const wchar_t* label, const wchar_t* text, std::string& shown) {
  try {
    shown = Shown(CEditCrystal::ParseOccupancy(label, text));
    return kParsed;
  } catch (CLXXInvalidSiteOcc&) {
    return kInvalid;
  } catch (CLXXSiteOccSumNotOne&) {
    return kSumAboveOne;
  }
}
}  // namespace

TEST(EditCrystal, OccupancyTextGivesSpeciesLargestFirst) {
  struct Case {
    const wchar_t *label, *text;
    Outcome outcome;
    const char* shown;
  } cases[] = {
      {L"M1", L"Fe0.5Ni0.5", kParsed, "Ni 0.50  Fe 0.50"},
      {L"M1", L"Fe1/3 Ni1/3", kParsed, "Ni 0.33  Fe 0.33"},  // a partly vacant site
      {L"O1", L"", kParsed, "O  1.00"},                      // the label's element
      {L"M1", L"Fe0", kParsed, "Fe 1.00"},
      {L"M1", L"Fe", kParsed, "Fe 1.00"},
      {L"M1", L"Fe0.4", kParsed, "Fe 0.40"},
      {L"M1", L"Ni0.3 Fe0.7", kParsed, "Fe 0.70  Ni 0.30"},
      // Typed fractions that add to 1 only up to rounding (1.0000000000000002).
      {L"M1", L"Fe0.2Ni0.4Co0.3Cu0.1", kParsed, "Ni 0.40  Co 0.30  Fe 0.20  Cu 0.10"},
      {L"M1", L"0", kInvalid, ""},
      {L"Q1", L"", kInvalid, ""},
      {L"M1", L"0.5Fe", kInvalid, ""},
      {L"M1", L"Fe0.6Ni0.6", kSumAboveOne, ""},
  };
  for (const Case& c : cases) {
    std::string shown;
    EXPECT_EQ(Parse(c.label, c.text, shown), c.outcome) << Narrow(c.text);
    if (c.outcome == kParsed) EXPECT_EQ(shown, c.shown) << Narrow(c.text);
  }
}

TEST(EditCrystal, CoordinatesSnapToSixthsAndThirdsAsSinglePrecision) {
  struct Case {
    double typed, stored;
  } cases[] = {
      {0.3333, 0.3333333432674408}, {1.0 / 3.0, 0.3333333432674408}, {0.1666, 0.1666666716337204},
      {0.1667, 0.1666666716337204}, {0.6667, 0.6666666865348816},    {2.0 / 3.0, 0.6666666865348816},
      {0.8333, 0.8333333134651184}, {0.33334, 0.33334},              {0.16667, 0.16667},
      {0.1668, 0.1668},             {0.5, 0.5},                      {-0.3333, -0.3333},
  };
  for (const Case& c : cases) EXPECT_EQ(CEditCrystal::SnapCoordinate(c.typed), c.stored) << c.typed;
}

// U → β with the cell's reciprocal lengths and back: the editor shows what was built.
TEST(EditCrystal, RowOfAnAnisotropicSiteShowsTheUItWasBuiltFrom) {
  const double u[9] = {0.02, 0.004, -0.003, 0.004, 0.015, 0.002, -0.003, 0.002, 0.01};
  const std::array<double, 3> star = {1.0 / 5.0, 1.0 / 7.5, 1.0 / 9.0};
  CQLSite site;
  site.m_label = L"Fe1";
  site.m_displacement = std::make_unique<CQLAnisoThermalEllipsoid>(u, star[0], star[1], star[2]);
  const CEditCrystal::SiteRec row = CEditCrystal::SiteRec::FromSite(site, star, 4);
  EXPECT_EQ(row.adpType, CEditCrystal::kADPUij);
  EXPECT_EQ(row.number, 4u);
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(row.u[static_cast<size_t>(i)], u[i], 1e-15) << i;

  CQLSite iso;
  iso.m_displacement = std::make_unique<CQLThermalEllipsoid>(0.012);
  const CEditCrystal::SiteRec isoRow = CEditCrystal::SiteRec::FromSite(iso, star, 0);
  EXPECT_EQ(isoRow.adpType, CEditCrystal::kADPUiso);
  EXPECT_EQ(isoRow.uiso, 0.012);
  EXPECT_EQ(CEditCrystal::SiteRec::FromSite(CQLSite{}, star, 0).adpType, CEditCrystal::kADPNone);
}
