// Parameters-tab panes in the diffraction window, where the runner cannot look: what an edit
// leaves behind in the patterns it does not show.
#include <gtest/gtest.h>

#include "DiffractionSettings.h"
#include "DiscloseablePane.h"
#include "FilmPane.h"
#include "InstrumentPane.h"
#include "LXSlider.h"
#include "LXEdit.h"
#include "MainWindowFixture.h"
#include "OffsetsPane.h"
#include "ParametersPane.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "SamplePane.h"
#include "UnitCellPane.h"

using qlwtest::MainWindowFixture;

// A mixture sums its components with their offsets and fractions: an edit of a component must
// leave the mixture to sum again, or it shows the component where it was.
TEST(ParameterPanes, AComponentsOffsetLeavesItsMixtureToSumAgain) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  auto* host = dynamic_cast<CParametersPane*>(m.wnd->GetParametersPane());
  ASSERT_NE(host, nullptr);
  const CQLCrystal crystal = dynamic_cast<CQLCrystalPattern&>(*m.doc->GetPatterns().front()).m_crystal;
  const CQLPatternPtr component = m.doc->AddCrystalPattern(crystal);
  const CQLPatternPtr mixture = m.doc->NewMixtureFromPatterns({component});
  ASSERT_TRUE(mixture);
  ASSERT_FALSE(mixture->GetComputedProfile(*m.doc->GetSettings()).empty());

  for (const CQLPatternPtr& p : CollectPatterns(m.doc->GetPatterns(), false, false, false)) p->SetSelected(false);
  component->SetSelected(true);
  host->ShowFormatTab();
  CDiscloseablePane* pane = host->FindPane(COffsetsPane::kTemplateId);
  ASSERT_NE(pane, nullptr);
  pane->RefreshControls();
  auto* offset = dynamic_cast<CLXEdit<double>*>(CWnd::FromHandlePermanent(::GetDlgItem(pane->m_hWnd, COffsetsPane::kXOffset)));
  ASSERT_NE(offset, nullptr);
  offset->SetValue(0.5, true);

  EXPECT_EQ(component->m_xOffset, 0.5);
  EXPECT_TRUE(mixture->m_profile.empty());
  EXPECT_EQ(m.doc->GetPatterns().back()->m_xOffset, 0.0);  // the crystal outside the mixture
}

// A component's new cell moves its peaks: the mixture that holds it sums again, so that it shows
// the same curve as a fresh sum of its components.
TEST(ParameterPanes, AComponentsCellLeavesItsMixtureToSumAgain) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  auto* host = dynamic_cast<CParametersPane*>(m.wnd->GetParametersPane());
  ASSERT_NE(host, nullptr);
  const CDiffractionSettings& settings = *m.doc->GetSettings();
  const CQLCrystal crystal = dynamic_cast<CQLCrystalPattern&>(*m.doc->GetPatterns().front()).m_crystal;
  const CQLPatternPtr component = m.doc->AddCrystalPattern(crystal);
  const CQLPatternPtr mixture = m.doc->NewMixtureFromPatterns({component});
  ASSERT_TRUE(mixture);
  const CQLProfile before = mixture->GetComputedProfile(settings);
  ASSERT_FALSE(before.empty());

  for (const CQLPatternPtr& p : CollectPatterns(m.doc->GetPatterns(), false, false, false)) p->SetSelected(false);
  component->SetSelected(true);
  host->ShowParametersTab();
  CDiscloseablePane* pane = host->FindPane(CUnitCellPane::kTemplateId);
  ASSERT_NE(pane, nullptr);
  pane->RefreshControls();
  auto* a = dynamic_cast<CLXEdit<double>*>(CWnd::FromHandlePermanent(::GetDlgItem(pane->m_hWnd, CUnitCellPane::kA)));
  ASSERT_NE(a, nullptr);
  a->SetValue(crystal.m_a * 1.05, true);
  ASSERT_DOUBLE_EQ(component->GetCrystal()->m_a, crystal.m_a * 1.05);

  CQLMixturePattern fresh;
  fresh.m_components = *mixture->GetComponents();
  fresh.ComputeProfile(settings);
  const CQLProfile& after = mixture->GetComputedProfile(settings);
  ASSERT_EQ(after.size(), fresh.m_profile.size());
  for (size_t i = 0; i < after.size(); ++i) ASSERT_EQ(after[i].y, fresh.m_profile[i].y) << "point " << i;
  bool moved = after.size() != before.size();
  for (size_t i = 0; !moved && i < after.size(); ++i) moved = after[i].y != before[i].y;
  EXPECT_TRUE(moved);
}

// Each slider spans the usual values of its quantity, though its edit takes a wider range: the
// middle of the particle-size slider is a quarter micron, not a quarter millimetre, and a value
// beyond the span puts the thumb at the end.
TEST(ParameterPanes, SlidersSpanTheirOwnRangesWhileTheEditsTakeWiderOnes) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  auto* host = dynamic_cast<CParametersPane*>(m.wnd->GetParametersPane());
  ASSERT_NE(host, nullptr);
  host->ShowParametersTab();
  const struct {
    LXTypes::QLSimulationType instrument;
    UINT pane, edit, slider;
    double value;
    int position;
  } cases[] = {
      {LXTypes::kSimXRays, CSamplePane::kTemplateId, CSamplePane::kSize, CSamplePane::kSizeSlider, 1.0, 100},
      {LXTypes::kSimXRays, CSamplePane::kTemplateId, CSamplePane::kSize, CSamplePane::kSizeSlider,
       0.0005 + 0.9995 * 0.36, 60},
      {LXTypes::kSimXRays, CSamplePane::kTemplateId, CSamplePane::kSize, CSamplePane::kSizeSlider, 500.0, 100},
      {LXTypes::kSimXRays, CSamplePane::kTemplateId, CSamplePane::kStrain, CSamplePane::kStrainSlider, 2.5, 50},
      {LXTypes::kSimXRays, CSamplePane::kTemplateId, CSamplePane::kStrain, CSamplePane::kStrainSlider, 50.0, 100},
      {LXTypes::kSimXRays, CUnitCellPane::kTemplateId, CUnitCellPane::kA, CUnitCellPane::kASlider, 2000.0, 99},
      {LXTypes::kSimXRays, CUnitCellPane::kTemplateId, CUnitCellPane::kVolume, CUnitCellPane::kVolumeSlider, 5e6,
       10000},
      {LXTypes::kSimTimeOfFlight, CInstrumentTOFPane::kTemplateId, CInstrumentPane::kFlightPath,
       CInstrumentPane::kFlightPathSlider, 50000.0, 200},
      {LXTypes::kSimTimeOfFlight, CInstrumentTOFPane::kTemplateId, CInstrumentPane::kResolution,
       CInstrumentPane::kResolutionSlider, 0.00001 + 0.09999 * 0.25, 50},
      {LXTypes::kSimTimeOfFlight, CInstrumentTOFPane::kTemplateId, CInstrumentPane::kResolution,
       CInstrumentPane::kResolutionSlider, 0.5, 100},
      {LXTypes::kSimElectrons, CInstrumentTEMPane::kTemplateId, CInstrumentPane::kDetector,
       CInstrumentPane::kDetectorSlider, 400.0, 400},
      {LXTypes::kSimElectrons, CInstrumentTEMPane::kTemplateId, CInstrumentPane::kDetector,
       CInstrumentPane::kDetectorSlider, 800.0, 400},
      {LXTypes::kSimElectrons, CInstrumentTEMPane::kTemplateId, CInstrumentPane::kWavelength,
       CInstrumentPane::kWavelengthSlider, 0.055, 500},
      {LXTypes::kSimElectrons, CInstrumentTEMPane::kTemplateId, CInstrumentPane::kWavelength,
       CInstrumentPane::kWavelengthSlider, 0.2, 1000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "pane " << c.pane << " edit " << c.edit << " value " << c.value);
    if (m.doc->GetSettings()->m_simulationType != c.instrument) m.doc->SetSimulationType(c.instrument);
    QApplication::processEvents();
    CDiscloseablePane* pane = host->FindPane(c.pane);
    ASSERT_NE(pane, nullptr);
    auto* edit = dynamic_cast<CLXEdit<double>*>(CWnd::FromHandlePermanent(::GetDlgItem(pane->m_hWnd, c.edit)));
    auto* slider =
        dynamic_cast<CLXSlider<double>*>(CWnd::FromHandlePermanent(::GetDlgItem(pane->m_hWnd, c.slider)));
    ASSERT_TRUE(edit && slider);
    // The thumb follows the edit; the pane, locked, leaves the document alone.
    pane->LockUpdates();
    edit->SetValue(c.value, true);
    pane->UnlockUpdates();
    EXPECT_EQ(edit->m_value, c.value);
    EXPECT_EQ(slider->GetPos(), c.position);
  }
}

// The film gamma slider has 100 steps but marks only positions 0, 5 and 10.
TEST(ParameterPanes, GammaSliderTicksStandAtZeroFiveAndTen) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  auto* host = dynamic_cast<CParametersPane*>(m.wnd->GetParametersPane());
  ASSERT_NE(host, nullptr);
  m.doc->GetSettings()->m_filmMode = 1;
  host->ShowFormatTab();
  QApplication::processEvents();
  CDiscloseablePane* pane = host->FindPane(CFilmPane::kTemplateId);
  ASSERT_NE(pane, nullptr);
  auto* slider = dynamic_cast<CLXSlider<double>*>(CWnd::FromHandlePermanent(::GetDlgItem(pane->m_hWnd, CFilmPane::kSlider)));
  ASSERT_NE(slider, nullptr);
  std::vector<int> tics;
  for (UINT i = 0; i < slider->GetNumTics(); ++i) tics.push_back(slider->GetTic(static_cast<int>(i)));
  EXPECT_EQ(tics, (std::vector<int>{0, 5, 10}));
}
