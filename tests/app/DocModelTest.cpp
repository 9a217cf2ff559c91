// The pattern tree, the hint dispatcher and the plot ranges of the document.
#include "DocTestSupport.h"

#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using doctest::FixturePattern;
using doctest::RecordingView;

namespace {
CQLPatternPtr Fixture(CQLProfile profile = {}, double lo = 10.0, double hi = 90.0) {
  return std::make_shared<FixturePattern>(std::move(profile), lo, hi);
}

std::string AnatasePath() { return std::string(QLW_SOURCE_DIR) + "/examples/anatase-TiO2.cif"; }

CQLCrystal Rutile() {
  CQLCrystal c;
  c.m_a = c.m_b = 4.5937;
  c.m_c = 2.9587;
  c.m_spaceGroupSymbol = L"P 42/m n m";
  CQLSite ti;
  ti.m_label = L"Ti";
  ti.m_species.emplace_back(L"Ti", 1.0);
  CQLSite o;
  o.m_label = L"O";
  o.m_x = o.m_y = 0.3053;
  o.m_species.emplace_back(L"O", 1.0);
  c.m_sites = {ti, o};
  return c;
}
}  // namespace

TEST(DocTree, EmptyDocumentAnswersNothing) {
  CQlwDoc doc;
  EXPECT_EQ(doc.GetSelectedPattern(), nullptr);
  EXPECT_EQ(doc.GetSelectedCrystalPattern(), nullptr);
  EXPECT_EQ(doc.GetSelectedObservedPattern(), nullptr);
  EXPECT_EQ(doc.GetSelectedMixturePattern(), nullptr);
  EXPECT_EQ(doc.GetAnyCrystalPattern(), nullptr);
  EXPECT_FALSE(doc.HasShownPatterns());
  EXPECT_FALSE(doc.AnyPatternNeedsRecompute());
}

TEST(DocTree, HiddenMixtureWithShownComponentCountsAsShown) {
  CQlwDoc doc;
  auto mixture = std::make_shared<CQLMixturePattern>();
  auto component = Fixture();
  mixture->m_components.push_back(component);
  mixture->SetShown(false);
  doc.GetPatterns().push_back(mixture);
  EXPECT_TRUE(doc.HasShownPatterns());
  component->SetShown(false);
  EXPECT_FALSE(doc.HasShownPatterns());
}

TEST(DocTree, MovesRefuseTargetsInsideTheMovedPatterns) {
  CQlwDoc doc;
  auto a = Fixture(), b = Fixture();
  auto mixture = doc.NewMixtureFromPatterns({});
  ASSERT_NE(mixture, nullptr);
  doc.GetPatterns().push_back(a);
  ASSERT_TRUE(doc.MovePatternsIntoMixture({a}, static_cast<CQLMixturePattern&>(*mixture)));
  doc.GetPatterns().push_back(b);
  EXPECT_FALSE(doc.MovePatternsBeside({mixture}, *a, true)) << "a lies inside the moved mixture";
  EXPECT_FALSE(doc.MovePatternsIntoMixture({mixture}, static_cast<CQLMixturePattern&>(*mixture)));
  ASSERT_EQ(doc.GetPatterns().size(), 2u);
  EXPECT_EQ(doc.GetPatterns().front(), mixture) << "nothing changed";

  // Moved beside a component, b joins the mixture and the fractions are shared out.
  EXPECT_TRUE(doc.MovePatternsBeside({b}, *a, false));
  const CQLPatternList& components = *mixture->GetComponents();
  ASSERT_EQ(components.size(), 2u);
  EXPECT_EQ(components.back(), b);
  for (const auto& c : components) EXPECT_DOUBLE_EQ(c->m_fraction, 0.5);
}

TEST(DocTree, NewPatternsTakeThePaletteInTurnAndUniqueTitles) {
  CQlwDoc doc;
  std::vector<uint32_t> colours;
  for (int i = 0; i < 16; ++i) colours.push_back(doc.AddCrystalPattern(Rutile())->m_color);
  // The cycle is program-wide: find where this test started in it.
  for (int i = 0; i < 15; ++i)
    for (int j = i + 1; j < 15; ++j) EXPECT_NE(colours[i], colours[j]);
  EXPECT_EQ(colours[15], colours[0]);
  std::set<CString> titles;
  for (const auto& p : doc.GetPatterns()) titles.insert(p->m_title);
  EXPECT_EQ(titles.size(), 16u);
  EXPECT_TRUE(doc.GetPatterns().front()->IsSelected());
  EXPECT_TRUE(doc.GetPatterns().front()->IsShown());
}

TEST(DocTree, DuplicatesAreNamedAsCopies) {
  CQlwDoc doc;
  auto original = doc.AddCrystalPattern(Rutile());
  original->m_title = L"rutile";
  doc.DuplicatePatterns({original});
  doc.DuplicatePatterns({original});
  ASSERT_EQ(doc.GetPatterns().size(), 3u);
  auto it = doc.GetPatterns().begin();
  EXPECT_EQ((*it)->m_title, CString(L"rutile"));
  EXPECT_FALSE((*it)->IsSelected());
  EXPECT_EQ((*++it)->m_title, CString(L"rutile copy"));
  EXPECT_TRUE((*it)->IsSelected());
  EXPECT_EQ((*++it)->m_title, CString(L"rutile copy 2")) << "a second copy is named against the first";
}

TEST(DocModified, NothingIsModifiedBeforeTheDocumentIsLive) {
  CQlwDoc doc;
  doc.SetModifiedFlag(TRUE);
  EXPECT_FALSE(doc.IsModified());
  CUpdateHint settingsChange(6, &doc);
  doc.DispatchUpdateHint(settingsChange);
  EXPECT_FALSE(doc.IsModified()) << "a settings change on an empty document";
  // A crystal the user makes is work to keep.
  doc.AddCrystalPattern(Rutile());
  EXPECT_TRUE(doc.IsLive());
  EXPECT_TRUE(doc.IsModified());
}

TEST(DocModified, ClosingHidesSettingsAndLayout) {
  CQlwDoc doc;
  doc.m_bAutoDelete = FALSE;
  EXPECT_NE(doc.GetSettings(), nullptr);
  doc.OnCloseDocument();
  EXPECT_EQ(doc.GetSettings(), nullptr);
  EXPECT_EQ(doc.GetWindowState(), nullptr);
}

TEST(DocHints, UnhandledCodesAreBroadcastToAllButTheSender) {
  CQlwDoc doc;
  doc.AddCrystalPattern(Rutile());
  RecordingView sender, other;
  doc.AddView(&sender);
  doc.AddView(&other);
  for (int code : {0, 1, 2, 50}) {
    doc.SetModifiedFlag(FALSE);
    CUpdateHint hint(code, &doc, &sender);
    doc.DispatchUpdateHint(hint);
    EXPECT_TRUE(doc.IsModified()) << code;
  }
  EXPECT_TRUE(sender.codes.empty());
  EXPECT_EQ(other.codes, (std::vector<int>{0, 1, 2, 50}));
}

TEST(DocHints, RecomputeHintsReachViewsBeforeTheirCause) {
  CQlwDoc doc;
  auto pattern = doc.AddCrystalPattern(Rutile());
  RecordingView view;
  doc.AddView(&view);

  pattern->SetSelected(false);
  CUpdateHint nothingSelected(kHintOccupancy, &doc);
  doc.DispatchUpdateHint(nothingSelected);
  EXPECT_EQ(view.codes, (std::vector<int>{10})) << "no selected shown pattern: nothing recomputed";

  view.codes.clear();
  pattern->SetSelected(true);
  CUpdateHint occupancy(kHintOccupancy, &doc);
  doc.DispatchUpdateHint(occupancy);
  EXPECT_EQ(view.codes, (std::vector<int>{45, 22, 45, 10}));

  view.codes.clear();
  CUpdateHint sample(kHintSample, &doc);
  doc.DispatchUpdateHint(sample);
  EXPECT_EQ(view.codes, (std::vector<int>{45, 14}));
}

TEST(DocHints, ObservedPatternsScaleToTheCrystalsOnly) {
  CQlwDoc doc;
  auto observed = std::make_shared<CQLObservedPattern>(CQLProfile{{10, 5}, {20, 50}, {30, 10}});
  observed->SetShown(true);
  doc.GetPatterns().push_back(observed);
  doc.GetSettings()->m_visibleYMax = 77.0;
  CUpdateHint tree(kHintPatternTree, &doc);
  doc.DispatchUpdateHint(tree);
  EXPECT_EQ(observed->m_yScale, 1.0);
  EXPECT_EQ(doc.GetSettings()->m_visibleYMax, 77.0) << "no crystal shown: nothing to scale to";

  doc.AddFilesFromDrop({CString(doctest::RutilePath().c_str())});
  CQLPattern* crystal = doc.GetAnyCrystalPattern();
  ASSERT_NE(crystal, nullptr);
  crystal->ComputeProfile(*doc.GetSettings());
  const double m = crystal->GetMaxIntensityInRange(0, 0);
  ASSERT_GT(m, 0.0);
  observed->m_yScale = 1.0;
  doc.DispatchUpdateHint(tree);
  EXPECT_NEAR(observed->GetMaxIntensityInRange(0, 0), m, 1e-9 * m);
  EXPECT_EQ(doc.GetSettings()->m_visibleYMax, m);
}

TEST(DocHints, ConstantVolumeRescaleKeepsVolumeOrTheOldCell) {
  CQlwDoc doc;
  auto pattern = doc.AddCrystalPattern(Rutile());
  CQLCrystal& c = *pattern->GetCrystal();
  c.ComputeMetrics();
  const double volume = c.m_volume;
  c.m_a = 5.0;  // the user stretches a; b and c follow to keep the volume
  CUpdateHint rescale(kHintCellConstantVolume, &doc);
  doc.DispatchUpdateHint(rescale);
  c.ComputeMetrics();
  EXPECT_NEAR(c.m_volume, volume, 1e-9 * volume);
  EXPECT_NE(c.m_c, 2.9587);

  // Angles no cell can have: the cell stays and the user is told.
  const double a = c.m_a, b = c.m_b, cc = c.m_c;
  c.m_alpha = 170.0;
  c.m_beta = 10.0;
  c.m_gamma = 10.0;
  testing::internal::CaptureStderr();
  doc.DispatchUpdateHint(rescale);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("The cell cannot keep its volume."), std::string::npos) << err;
  EXPECT_EQ(c.m_a, a);
  EXPECT_EQ(c.m_b, b);
  EXPECT_EQ(c.m_c, cc);
}

// The Tutorial's mixture with its components unticked, or hidden itself with one component shown:
// whatever setting changes, the mixture is the share-weighted sum of what its components now give,
// also once it is ticked again, and a component ticked afterwards shows its new curve.
// A new document at Cu Kα X-rays on a 2θ axis with the Tutorial's rutile and anatase; answers
// the two crystals.
static CQLPatternList OpenRutileAndAnatase(CQlwDoc& doc) {
  doc.OnNewDocument();
  CDiffractionSettings& s = *doc.GetSettings();
  s.m_simulationType = LXTypes::kSimXRays;
  s.m_axisType = LXTypes::kAxis2Theta;
  s.m_profileType = LXTypes::kProfilePseudoVoigt;
  s.m_lambda = 1.5406;
  doc.AddFilesFromDrop({CString(doctest::RutilePath().c_str()), CString(AnatasePath().c_str())});
  return CollectPatternsOfType<CQLCrystalPattern>(doc.GetPatterns(), false, false, false);
}

TEST(DocHints, SettingsChangesReachTheHiddenComponentsOfAMixture) {
  const struct {
    const char* name;
    std::function<void(CQlwDoc&)> change;
  } cases[] = {
      {"neutrons", [](CQlwDoc& d) { d.SetSimulationType(LXTypes::kSimNeutrons); }},
      {"energy-dispersive", [](CQlwDoc& d) { d.SetSimulationType(LXTypes::kSimEnergyDispersive); }},
      {"wavelength",
       [](CQlwDoc& d) {
         d.GetSettings()->m_lambda = 0.7093;
         CUpdateHint instrument(kHintInstrument, &d);
         d.DispatchUpdateHint(instrument);
       }},
      {"peak function", [](CQlwDoc& d) { d.SetPeakFunction(LXTypes::kProfileLorentzian); }},
  };
  for (const auto& c : cases) {
    for (const bool mixtureShown : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (mixtureShown ? ", components hidden" : ", mixture hidden"));
      CQlwDoc doc;
      const CQLPatternList crystals = OpenRutileAndAnatase(doc);
      ASSERT_EQ(crystals.size(), 2u);
      const CDiffractionSettings& s = *doc.GetSettings();
      auto mixture = std::static_pointer_cast<CQLMixturePattern>(doc.NewMixtureFromPatterns(crystals));
      ASSERT_NE(mixture, nullptr);
      crystals.front()->m_fraction = 0.7;
      mixture->BalanceFractions(crystals.front());
      doc.Autoscale(false);
      ASSERT_FALSE(mixture->GetProfile().empty());
      CQLPatternPtr rutile = crystals.front();
      for (const CQLPatternPtr& p : crystals) p->SetShown(false);
      rutile->SetShown(!mixtureShown);
      mixture->SetShown(mixtureShown);
      CUpdateHint shown(kHintPatternsShown, &doc);
      doc.DispatchUpdateHint(shown);

      c.change(doc);
      mixture->SetShown(true);
      rutile->SetShown(true);
      doc.DispatchUpdateHint(shown);

      // Each component as a fresh pattern would give it under the new settings.
      std::vector<CQLProfile> fresh;
      for (const CQLPatternPtr& p : crystals) {
        CQLPatternPtr copy = p->Clone();
        copy->ApplySettings(s);
        fresh.push_back(copy->GetComputedProfile(s));
      }
      const std::vector<double> shares = mixture->GetCurveWeights();
      const CQLProfile& sum = mixture->GetComputedProfile(s);
      ASSERT_EQ(sum.size(), fresh[0].size());
      double peak = 0.0;
      for (const auto& point : sum) peak = std::max(peak, point.y);
      ASSERT_GT(peak, 0.0);
      for (size_t i = 0; i < sum.size(); ++i) {
        ASSERT_EQ(sum[i].x, fresh[0][i].x) << i;
        ASSERT_NEAR(sum[i].y, shares[0] * fresh[0][i].y + shares[1] * fresh[1][i].y, 1e-9 * peak)
            << i;
      }

      const CQLProfile& own = rutile->GetComputedProfile(s);
      ASSERT_EQ(own.size(), fresh[0].size());
      for (size_t i = 0; i < own.size(); ++i) ASSERT_EQ(own[i].y, fresh[0][i].y) << i;
    }
  }
}

// ----- plot ranges -----

TEST(DocRanges, DataRangeFollowsTheShownPatterns) {
  CQlwDoc doc;
  CDiffractionSettings& s = *doc.GetSettings();
  s.m_axisType = LXTypes::kAxis2Theta;
  doc.UpdateDataRange();
  EXPECT_EQ(s.m_defaultXMin, 0.0);
  EXPECT_EQ(s.m_defaultXMax, 180.0);

  doc.GetPatterns().push_back(Fixture({}, 10.0, 90.0));
  s.m_defaultXMin = 3.0;
  s.m_visibleXMin = 5.0;
  doc.UpdateDataRange();
  EXPECT_DOUBLE_EQ(s.m_defaultXMax, 94.5);
  EXPECT_EQ(s.m_defaultXMin, 3.0) << "the visible minimum lies below 9.5";
  s.m_visibleXMin = 20.0;
  doc.UpdateDataRange();
  EXPECT_DOUBLE_EQ(s.m_defaultXMin, 9.5);
}

TEST(DocRanges, ScrollingStaysInsideTheData) {
  CQlwDoc doc;
  RecordingView view;
  doc.AddView(&view);
  CDiffractionSettings& s = *doc.GetSettings();
  s.m_defaultXMin = 0.0;
  s.m_defaultXMax = 180.0;
  s.m_visibleXMin = 20.0;
  s.m_visibleXMax = 60.0;
  doc.ScrollPlotRange(0.0);
  EXPECT_TRUE(view.codes.empty()) << "no move, no hint";

  const struct {
    double lo, hi, dx, wantLo, wantHi;
  } cases[] = {
      {20, 60, 10, 30, 70},     // inside
      {20, 60, 150, 140, 180},  // stops at the end, width kept
      {20, 60, -30, 0, 40},     // stops at the start
      {0, 180, -5, 0, 180},     // wider than nothing to scroll: never below 0
      {0, 180, 5, 0, 180},
  };
  for (const auto& c : cases) {
    s.m_visibleXMin = c.lo;
    s.m_visibleXMax = c.hi;
    doc.ScrollPlotRange(c.dx);
    EXPECT_DOUBLE_EQ(s.m_visibleXMin, c.wantLo) << c.lo << " " << c.dx;
    EXPECT_DOUBLE_EQ(s.m_visibleXMax, c.wantHi) << c.lo << " " << c.dx;
  }
  EXPECT_EQ(view.codes.size(), 5u);
}

TEST(DocRanges, ZoomStopsAtAThousandthOfTheData) {
  CQlwDoc doc;
  CDiffractionSettings& s = *doc.GetSettings();
  s.m_defaultXMin = 0.0;
  s.m_defaultXMax = 100.0;
  s.m_visibleXMin = 50.0;
  s.m_visibleXMax = 50.1;
  doc.ZoomPlotRange(2.0, 0.5, false);
  EXPECT_EQ(s.m_visibleXMin, 50.0);
  EXPECT_EQ(s.m_visibleXMax, 50.1);

  s.m_visibleXMin = 20.0;
  s.m_visibleXMax = 60.0;
  doc.ZoomPlotRange(2.0, 0.5, false);
  EXPECT_DOUBLE_EQ(s.m_visibleXMin, 30.0);
  EXPECT_DOUBLE_EQ(s.m_visibleXMax, 50.0);
  doc.ZoomPlotRange(0.1, 1.0, false);  // out past the end: clamped, width kept where possible
  EXPECT_DOUBLE_EQ(s.m_visibleXMax, 100.0);
  EXPECT_DOUBLE_EQ(s.m_visibleXMin, 0.0);
}

TEST(DocRanges, AutoscaleOfZeroIntensitiesRaisesByFivePercent) {
  CQlwDoc doc;
  doc.GetPatterns().push_back(Fixture({{10, 0}, {20, 0}, {30, 0}}));
  CDiffractionSettings& s = *doc.GetSettings();
  s.m_visibleYMax = 100.0;
  doc.Autoscale(false);
  EXPECT_DOUBLE_EQ(s.m_visibleYMax, 105.0);
  doc.Autoscale(false);
  EXPECT_DOUBLE_EQ(s.m_visibleYMax, 110.25);
}

TEST(DocRanges, FitShowsTheDataWithAMargin) {
  CQlwDoc doc;
  doc.GetPatterns().push_back(Fixture({{10, 0}, {20, 4}, {40, 8}, {50, 0}}));
  CDiffractionSettings& s = *doc.GetSettings();
  s.m_defaultXMin = 0.0;
  s.m_defaultXMax = 180.0;
  doc.FitPlotToPatterns();
  EXPECT_DOUBLE_EQ(s.m_visibleXMin, 19.5);
  EXPECT_DOUBLE_EQ(s.m_visibleXMax, 40.5);
  EXPECT_DOUBLE_EQ(s.m_visibleYMax, 8.4);
}

TEST(DocRanges, FitAfterARecomputeShowsTheReflexionsInEveryUnit) {
  // The recompute drops the profiles before the fit; rutile's lines lie between 27° and 175° 2θ,
  // d 0.77 to 3.25 Å at 1.5406 Å.
  CQlwDoc doc;
  doc.OnNewDocument();
  doc.GetSettings()->m_lambda = 1.5406;
  doc.AddFilesFromDrop({CString(doctest::RutilePath().c_str())});
  ASSERT_NE(doc.GetAnyCrystalPattern(), nullptr);
  const CDiffractionSettings& s = *doc.GetSettings();
  doc.RecomputeAllPatterns(true, true, false);
  EXPECT_GT(s.m_visibleXMin, 20.0);
  EXPECT_LT(s.m_visibleXMin, 27.4);
  EXPECT_GT(s.m_visibleXMax, 160.0);
  EXPECT_LT(s.m_visibleXMax, 185.0);

  doc.SetAxisType(LXTypes::kAxisDSpacing);
  doc.RecomputeAllPatterns(true, true, false);
  EXPECT_GT(s.m_visibleXMin, 0.5);
  EXPECT_LT(s.m_visibleXMin, 0.78);
  EXPECT_GT(s.m_visibleXMax, 3.25);
  EXPECT_LT(s.m_visibleXMax, 4.0) << "not the d unit's whole range of 105 Å";
}

TEST(DocRanges, ARadiationSwitchThatLosesThePeaksFitsThePlotToThem) {
  // Rutile's lines lie between 27° and 175° 2θ with X-rays of 1.5406 Å, below 3.2° with electrons.
  CQlwDoc doc;
  doc.OnNewDocument();
  CDiffractionSettings& s = *doc.GetSettings();
  s.m_lambda = 1.5406;
  doc.AddFilesFromDrop({CString(doctest::RutilePath().c_str())});
  ASSERT_NE(doc.GetAnyCrystalPattern(), nullptr);
  const struct {
    LXTypes::QLSimulationType type;
    double keptMin, keptMax;  // a window set before the switch and kept by it; 0, 0: fitted
  } steps[] = {
      {LXTypes::kSimElectrons, 0.0, 0.0},  // from 0 to 80°: a sliver of it
      {LXTypes::kSimXRays, 0.0, 0.0},      // from the electrons' fit: nothing in view
      {LXTypes::kSimNeutrons, 26.0, 29.0},
      {LXTypes::kSimXRays, 0.0, 80.0},
  };
  doc.SetPlotRange(0.0, 80.0, 0.0, 1.0, false);
  doc.Autoscale(false);
  for (const auto& step : steps) {
    SCOPED_TRACE(static_cast<int>(step.type));
    if (step.keptMax > 0.0) {
      doc.SetPlotRange(step.keptMin, step.keptMax, 0.0, 1.0, false);
      doc.Autoscale(false);
    }
    doc.SetSimulationType(step.type);
    if (step.keptMax > 0.0) {
      EXPECT_EQ(s.m_visibleXMin, step.keptMin);
      EXPECT_EQ(s.m_visibleXMax, step.keptMax);
      continue;
    }
    const double width = s.m_visibleXMax - s.m_visibleXMin;
    EXPECT_GT(doc.GetDataSpanInView(), 0.9 * width) << s.m_visibleXMin << " to " << s.m_visibleXMax;
    EXPECT_GT(doc.GetMaxVisibleIntensity(), 0.9 * s.m_visibleYMax) << "y maximum " << s.m_visibleYMax;
  }
}

TEST(DocRanges, UnitChangeKeepsTheSameDSpacings) {
  CQlwDoc doc;
  CDiffractionSettings& s = *doc.GetSettings();
  s.m_simulationType = LXTypes::kSimXRays;
  s.m_lambda = 1.5406;
  s.m_axisType = LXTypes::kAxis2Theta;
  s.m_defaultXMin = 0;
  s.m_defaultXMax = 180;
  s.m_visibleXMin = 20.0;
  s.m_visibleXMax = 80.0;
  const double dLarge = s.m_lambda / (2 * std::sin(10.0 * M_PI / 180)), dSmall = s.m_lambda / (2 * std::sin(40.0 * M_PI / 180));

  doc.SetAxisType(LXTypes::kAxisDSpacing);
  EXPECT_NEAR(s.m_visibleXMin, dSmall, 1e-9);
  EXPECT_NEAR(s.m_visibleXMax, dLarge, 1e-9);

  s.m_tofFactor = 100.0;
  doc.SetAxisType(LXTypes::kAxisTimeOfFlight);
  EXPECT_NEAR(s.m_visibleXMin, dSmall * 100.0, 1e-9);
  EXPECT_NEAR(s.m_visibleXMax, dLarge * 100.0, 1e-9);

  doc.SetAxisType(LXTypes::kAxis2Theta);
  EXPECT_NEAR(s.m_visibleXMin, 20.0, 1e-9);
  EXPECT_NEAR(s.m_visibleXMax, 80.0, 1e-9);
}

TEST(DocHints, PatternsTickedAfterASettingsChangeWhileHiddenShowTheNewCurve) {
  for (const bool inMixture : {false, true}) {
    for (const LXTypes::QLSimulationType simulation : {LXTypes::kSimNeutrons, LXTypes::kSimEnergyDispersive}) {
      SCOPED_TRACE(std::string(inMixture ? "mixture hidden with its components" : "crystal alone") + ", simulation " +
                   std::to_string(static_cast<int>(simulation)));
      CQlwDoc doc;
      const CQLPatternList crystals = OpenRutileAndAnatase(doc);
      ASSERT_EQ(crystals.size(), 2u);
      const CDiffractionSettings& s = *doc.GetSettings();
      CQLPatternPtr mixture = inMixture ? doc.NewMixtureFromPatterns(crystals) : nullptr;
      const CQLPatternPtr rutile = crystals.front();
      for (const CQLPatternPtr& p : CollectPatterns(doc.GetPatterns(), false, false, false)) p->SetShown(false);
      CUpdateHint shown(kHintPatternsShown, &doc);
      doc.DispatchUpdateHint(shown);

      doc.SetSimulationType(simulation);
      doc.ShowPatterns({rutile});

      CQLPatternPtr copy = rutile->Clone();
      copy->ApplySettings(s);
      const CQLProfile fresh = copy->GetComputedProfile(s);
      const CQLProfile& own = rutile->GetComputedProfile(s);
      ASSERT_EQ(own.size(), fresh.size());
      for (size_t i = 0; i < own.size(); ++i) {
        ASSERT_EQ(own[i].x, fresh[i].x) << i;
        ASSERT_EQ(own[i].y, fresh[i].y) << i;
      }
    }
  }
}
