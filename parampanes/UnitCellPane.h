// CUnitCellPane: the Parameters pane "Unit Cell": edges, angles and volume of the one selected
// crystal. An edge or angle applies the cell (the volume follows); a volume rescales the cell.
#pragma once
#include <memory>

#include "DiscloseablePane.h"
#include "LXSlider.h"

class CUnitCellPane;
class CQLPattern;

// Hears the fields of one kind (cell or volume) and tells the pane which kind was edited.
class CUnitCellEditRelay : public CWnd {
 public:
  CUnitCellPane* m_pane = nullptr;
  int m_code = 0;

 protected:
  LRESULT OnEditUpdate(WPARAM, LPARAM);
  DECLARE_MESSAGE_MAP()
};

class CUnitCellPane : public CDiscloseablePane {
 public:
  static constexpr UINT kTemplateId = 5810;
  enum : UINT {
    kHeader = 2460, kA = 2461, kALabel = 2462, kAlpha = 2463, kAlphaLabel = 2464, kAlphaSlider = 2465,
    kAlphaSpinner = 2466, kAlphaUnit = 2467, kASlider = 2468, kASpinner = 2469, kAUnit = 2470, kB = 2471,
    kBeta = 2472, kBetaLabel = 2473, kBetaSlider = 2474, kBetaSpinner = 2475, kBetaUnit = 2476, kBLabel = 2477,
    kBSlider = 2478, kBSpinner = 2479, kBUnit = 2480, kC = 2481, kCLabel = 2482, kCSlider = 2483,
    kCSpinner = 2484, kCUnit = 2485, kGamma = 2486, kGammaLabel = 2487, kGammaSlider = 2488,
    kGammaSpinner = 2489, kGammaUnit = 2490, kVolume = 2491, kVolumeLabel = 2492, kVolumeSlider = 2493,
    kVolumeSpinner = 2494, kVolumeUnit = 2495,
  };
  static constexpr int kHintCell = 16, kHintVolume = 17;
  // The quantities in the order of the arrays below: a, b, c, alpha, beta, gamma, volume.
  static constexpr int kCount = 7;

  explicit CUnitCellPane(CWnd* parent) : CDiscloseablePane(kHeader, kTemplateId, parent) { LockUpdates(); }
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void UpdateControls(bool fromModel) override;
  bool WantsUpdate(CView* sender, const void* hint) override;
  void ShowPaneControls(bool show) override;
  CPrefScalar<bool>* OpenPreference() override;

  // An edge or angle (16) or the volume (17) was edited.
  void OnCellEdit(int code);

 protected:
  LRESULT OnRestoreFields(WPARAM, LPARAM);

  CLXEdit<double> m_edits[kCount];
  CLXSlider<double> m_sliders[kCount];
  CLXSpinner<double> m_spinners[kCount];
  CPaneField<double> m_fields[kCount];
  CUnitCellEditRelay m_cellRelay, m_volumeRelay;
  int m_hintCode = 0;
  // The crystal pattern whose cell the fields show: an edit is for it alone.
  std::weak_ptr<CQLPattern> m_shown;
  DECLARE_MESSAGE_MAP()
};
