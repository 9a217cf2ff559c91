// CPreferredOrientationPane: the Parameters pane "Preferred Orientation": whether the selected
// crystals' intensities are corrected, the crystallite geometry, the direction as a plane normal
// N(hkl) or a lattice vector [UVW] (chosen from the "^" menu), and the degree of alignment.
#pragma once
#include <cstdint>

#include "DiscloseablePane.h"
#include "LXSlider.h"

class CPreferredOrientationPane : public CDiscloseablePane {
 public:
  static constexpr UINT kTemplateId = 5850;
  enum : UINT {
    kHeader = 2530, kCorrect = 2531, kGeometryLabel = 2532, kGeometry = 2533, kOrientationLabel = 2534,
    kLabel1 = 2535, kComponent1 = 2536, kLabel2 = 2537, kComponent2 = 2538, kLabel3 = 2539, kComponent3 = 2540,
    kAlignmentSlider = 2541, kAlignmentLabel = 2542, kAlignment = 2543, kAlignmentSpinner = 2544,
    kVectorButton = 2545,
  };
  enum : UINT { kVectorMenu = 148, kPlaneNormal = 34668, kLatticeVector = 34669 };
  static constexpr int kHint = 12;

  explicit CPreferredOrientationPane(CWnd* parent)
      : CDiscloseablePane(kHeader, kTemplateId, parent),
        m_vectorButton(CAlphaButton::kPush, CAlphaButton::kTextOnly, CAlphaButton::kFramed, 0) {
    LockUpdates();
  }
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void UpdateControls(bool fromModel) override;
  void ShowPaneControls(bool show) override;
  CPrefScalar<bool>* OpenPreference() override;

  void OnPlaneNormal() { ChooseVectorType(1); }
  void OnLatticeVector() { ChooseVectorType(2); }
  std::int32_t GetVectorType() const { return m_vectorType; }

 protected:
  void ChooseVectorType(std::int32_t type);
  // Menu checks and the component labels for the pane's vector type.
  void ShowVectorType();

  CButton m_correct;
  CComboBox m_geometry;
  CStatic m_labels[3];
  CLXEdit<int> m_components[3];
  CPaneField<int> m_componentFields[3];
  CAlphaButton m_vectorButton;
  CLXSlider<double> m_alignmentSlider;
  CLXEdit<double> m_alignment;
  CLXSpinner<double> m_alignmentSpinner;
  CPaneField<double> m_alignmentField;
  std::int32_t m_vectorType = 1;
  DECLARE_MESSAGE_MAP()
};
