// The two small dialogs on the reflexion list and observed data: the reflexions limit (minimum
// d-spacing and an optional maximum count) and the x scale factor of observed patterns.
#pragma once
#include "LXEdit.h"
#include "ToolTipDialog.h"

class CDiffractionSettings;

class CReflexionLimit : public CToolTipDialog {
 public:
  static constexpr UINT kTemplateId = 5290;
  // settings: the document's, or null while the document closes (the dialog then cancels).
  CReflexionLimit(CWnd* parent, CDiffractionSettings* settings);
  UINT GetTemplateID() const { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;

  CLXEdit<double> m_dMin;
  CButton m_limit;
  CLXEdit<unsigned int> m_count;

 protected:
  void OnLimitNumberClicked();
  DECLARE_MESSAGE_MAP()

 private:
  CDiffractionSettings* m_settings;
  // The d-spacing text at opening: unedited, the stored value is kept exactly.
  CString m_shownDMin;
};

class CScaleX : public CToolTipDialog {
 public:
  static constexpr UINT kTemplateId = 5310;
  explicit CScaleX(CWnd* parent);
  UINT GetTemplateID() const { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;

  bool m_updating = true;
  // The factor accepted with OK (0 until then).
  double m_factor = 0.0;
  CLXEdit<double> m_edit;
};
