// CGraphOptionsPane: the Format pane for the plot background: a solid fill with its colour and the
// grid lines with theirs.
#pragma once
#include "DiscloseablePane.h"
#include "LXColorButton.h"

class CGraphOptionsPane : public CDiscloseablePane {
 public:
  static constexpr UINT kTemplateId = 5820;
  enum : UINT { kHeader = 2280, kSolidFill = 2281, kShowGrid = 2282, kFillColour = 2283, kGridColour = 2284 };
  static constexpr int kHint = 6;

  explicit CGraphOptionsPane(CWnd* parent) : CDiscloseablePane(kHeader, kTemplateId, parent) { LockUpdates(); }
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void RefreshControls() override;
  void UpdateControls(bool fromModel) override;
  void ShowPaneControls(bool show) override;
  CPrefScalar<bool>* OpenPreference() override;

  void OnShowGridClicked();
  LRESULT OnColorChanged(WPARAM id, LPARAM);

 protected:
  CButton m_solidFill, m_showGrid;
  CColorButton m_fillColour, m_gridColour;
  DECLARE_MESSAGE_MAP()
};
