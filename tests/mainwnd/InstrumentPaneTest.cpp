// The instrument pane's apply: which hint each edit sends, and that refilling the pane is no edit.
#include <gtest/gtest.h>

#include <vector>

#include "DiffractionSettings.h"
#include "InstrumentPane.h"
#include "MainWindowFixture.h"
#include "ParametersPane.h"
#include "UpdateHint.h"

using qlwtest::MainWindowFixture;

namespace {
// Records the codes of the hints the inspector sends.
class HintSpy : public CView {
 public:
  void OnUpdate(CView* sender, LPARAM hint, CObject*) override {
    if (sender && sender == host && hint) codes.push_back(reinterpret_cast<CUpdateHint*>(hint)->code);
  }
  void OnDraw(CDC*) override {}
  CView* host = nullptr;
  std::vector<int> codes;
};

CLXEdit<double>* Edit(CWnd* pane, int id) {
  return dynamic_cast<CLXEdit<double>*>(CWnd::FromHandlePermanent(::GetDlgItem(pane->m_hWnd, id)));
}
}  // namespace

TEST(InstrumentPane, AWidthEditAloneReprofilesAndAnyOtherEditRecomputes) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  auto* host = dynamic_cast<CParametersPane*>(m.wnd->GetParametersPane());
  ASSERT_NE(host, nullptr);
  host->ShowParametersTab();
  CDiscloseablePane* pane = host->FindPane(CInstrumentTTHPane::kTemplateId);
  ASSERT_NE(pane, nullptr);
  CLXEdit<double>* lambda = Edit(pane, CInstrumentPane::kWavelength);
  CLXEdit<double>* width = Edit(pane, CInstrumentPane::kPeakWidth);
  ASSERT_TRUE(lambda && width);
  HintSpy spy;
  spy.host = host;
  m.doc->AddView(&spy);
  CDiffractionSettings& settings = *m.doc->GetSettings();

  // A value set as the slider or spinner sets it: the field announces it, unlocked.
  width->SetValue(0.2, true);
  EXPECT_EQ(settings.m_tthPeakWidth, 0.2);
  // A width set elsewhere (the broadening dialog) is refilled under the lock, here in d; the next
  // wavelength edit recomputes and leaves the stored 2θ width alone (2θ → d → 2θ at another
  // wavelength would move it).
  settings.m_tthPeakWidth = 0.3;
  settings.m_axisType = LXTypes::kAxisDSpacing;
  host->OnUpdate(nullptr, 0, nullptr);
  lambda->SetValue(0.7093, true);
  EXPECT_EQ(settings.m_lambda, 0.7093);
  EXPECT_EQ(settings.m_tthPeakWidth, 0.3);
  pane->SendMessage(WM_COMMAND, MAKEWPARAM(CInstrumentPane::kProfile, CBN_SELCHANGE),
                    reinterpret_cast<LPARAM>(::GetDlgItem(pane->m_hWnd, CInstrumentPane::kProfile)));
  EXPECT_EQ(spy.codes, (std::vector<int>{13, 7, 7}));
  m.doc->RemoveView(&spy);
}
