// CBackgroundPane: the Parameters pane that gives the selected observed pattern a background curve
// through control points, shows or hides it, and previews the data with it subtracted.
#pragma once
#include "DiscloseablePane.h"

class CQLObservedPattern;

class CBackgroundPane : public CDiscloseablePane {
 public:
  static constexpr UINT kTemplateId = 5710;
  enum : UINT {
    kHeader = 2210, kAddCurve = 2211, kAddPoint = 2214, kPointLabel = 2215, kRemovePoint = 2216, kCurveLabel = 2217,
    kPreview = 2226, kRemoveCurve = 2233, kResetCurve = 2234, kShow = 2236,
  };
  static constexpr int kHint = 3;

  explicit CBackgroundPane(CWnd* parent) : CDiscloseablePane(kHeader, kTemplateId, parent) { LockUpdates(); }
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void UpdateControls(bool fromModel) override;
  void ShowPaneControls(bool show) override;
  CPrefScalar<bool>* OpenPreference() override;

  void OnAddCurve();
  void OnRemoveCurve();
  void OnResetCurve();
  void OnAddPoint();
  void OnRemovePoint();

 protected:
  // The pattern the buttons work on: the first selected observed pattern, when the selection
  // holds observed patterns only.
  CQLObservedPattern* Target() const;
  void CurveEdited();

  CButton m_show, m_preview;
  DECLARE_MESSAGE_MAP()
};
