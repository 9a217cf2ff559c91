// The small modal dialogs of the document's commands: Go to Peak, the instrumental broadening,
// the plot's x limits and title, and the X-ray or neutron wavelength.
#pragma once
#include "LXEdit.h"
#include "LXSpinner.h"
#include "QlwDoc.h"
#include "ToolTipDialog.h"

class CDiffractionSettings;

LX_DECLARE_EXCEPTION(CLXXFindPeakZeroIndices, CLXXFindPeak, 23130);
LX_DECLARE_EXCEPTION(CLXXPlotLimits, CLXXProduct, 23328);
LX_DECLARE_EXCEPTION(CLXXPlotLimitsBadRange, CLXXPlotLimits, 23329);

class CFindPeak : public CToolTipDialog {
 public:
  static constexpr UINT kTemplateId = 5230;
  // The indices of the last accepted run, 1 1 1 at program start.
  static double s_LastHKL[3];
  explicit CFindPeak(CWnd* parent);
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;

  CLXEdit<int> m_h, m_k, m_l;
};

class CPeakWidth : public CToolTipDialog {
 public:
  static constexpr UINT kTemplateId = 5240;
  // `width` is the stored width already converted to the settings' x-axis unit.
  CPeakWidth(CWnd* parent, const CDiffractionSettings* settings, double width);
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;

  CLXEdit<double> m_edit;
  CLXSpinner<double> m_spinner;
  CStatic m_units;
  double m_width;

 private:
  const CDiffractionSettings* m_settings;
  CString m_shownText;
};

class CPlotLimits : public CToolTipDialog {
 public:
  static constexpr UINT kTemplateId = 5270;
  CPlotLimits(CWnd* parent, CDiffractionSettings* settings);
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;

  CLXEdit<double> m_min;
  CLXSpinner<double> m_minSpinner;
  CLXEdit<double> m_max;
  CLXSpinner<double> m_maxSpinner;

 private:
  CDiffractionSettings* m_settings;
};

class CPlotTitle : public CToolTipDialog {
 public:
  static constexpr UINT kTemplateId = 5280;
  CPlotTitle(CWnd* parent, CDiffractionSettings* settings);
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;

  CEdit m_edit;

 protected:
  void OnTitleChanged();
  DECLARE_MESSAGE_MAP()

 private:
  CDiffractionSettings* m_settings;
};

class CWavelength : public CToolTipDialog {
 public:
  static constexpr UINT kTemplateId = 5330;
  struct Preset {
    UINT id;
    float alpha1, alpha2;
  };
  static const Preset kPresets[5];
  CWavelength(CWnd* parent, CDiffractionSettings* settings);
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;

  CLXEdit<double> m_alpha1, m_alpha2, m_ratio;
  CButton m_monochromatic;

 protected:
  void OnElement(UINT id);
  void OnMonochromatic();
  void OnHelp();
  // F1 (WM_HELP) does what the Help button does, through ID_HELP.
  LRESULT OnHelpRequest(WPARAM, LPARAM);
  DECLARE_MESSAGE_MAP()

 private:
  static constexpr UINT kHelpCommand = 32789;
  CDiffractionSettings* m_settings;
};
