// The seven pages of the preferences dialog, in tab order: General, Diffraction, Profile,
// Display, Styles, Sample and Labels. Each shows a group of the preference store's values and
// follows the page protocol of CPreferencesPane; the code of each is in its own *PrefsPane.cpp.
#pragma once
#include "IDCombo.h"
#include "LXColorButton.h"
#include "LXEdit.h"
#include "LXSpinner.h"
#include "PreferencesPane.h"

class CGeneralPrefsPane : public CPreferencesPane {
 public:
  static constexpr UINT kTemplateId = 5630;
  explicit CGeneralPrefsPane(CWnd* parent);
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void RefreshControls() override;
  bool ApplyChanges() override;

  CButton m_updateCheck, m_showStructures, m_showReflexions, m_showParameters, m_showPeakTips, m_peakTipClick,
      m_autoScale, m_showRuler;
  CColorButton m_rulerColour;
  CButton m_showScroller;

 protected:
  DECLARE_MESSAGE_MAP()
};

class CDiffractionPrefsPane : public CPreferencesPane {
 public:
  static constexpr UINT kTemplateId = 5610;
  explicit CDiffractionPrefsPane(CWnd* parent);
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void RefreshControls() override;
  bool ApplyChanges() override;

  CIDCombo<LXTypes::QLSimulationType> m_kind;
  CLXEdit<double> m_lambda1, m_lambda2;
  CStatic m_lambda1Caption, m_lambda2Caption;
  CLXEdit<double> m_ratio;
  CButton m_monochromatic;
  CLXEdit<double> m_tthWidth;
  CStatic m_tthUnit;
  CLXEdit<double> m_tofAngle, m_tofPath, m_tofResolution;
  CLXEdit<double> m_edxAngle;
  CLXEdit<double> m_edxWidth;
  CLXEdit<double> m_electronLambda, m_beamVoltage, m_electronWidth;
  CStatic m_electronWidthUnit;
  bool m_coupling = false;

 protected:
  void OnElectronWavelengthChanged();
  void OnBeamVoltageChanged();
  DECLARE_MESSAGE_MAP()
};

class CProfilePrefsPane : public CPreferencesPane {
 public:
  static constexpr UINT kTemplateId = 5650;
  explicit CProfilePrefsPane(CWnd* parent);
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void RefreshControls() override;
  bool ApplyChanges() override;

  CIDCombo<LXTypes::QLProfileType> m_profile;
  CLXEdit<double> m_eta, m_dMin;
  CButton m_restrict;
  CLXEdit<unsigned int> m_maxRefs;

 protected:
  DECLARE_MESSAGE_MAP()
};

class CDisplayPrefsPane : public CPreferencesPane {
 public:
  static constexpr UINT kTemplateId = 5620;
  explicit CDisplayPrefsPane(CWnd* parent);
  ~CDisplayPrefsPane() override;
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void RefreshControls() override;
  void UpdateControls(bool fromModel) override;
  bool ApplyChanges() override;
  // The sample's text for a font: face, " Bold" above weight 699, " Italic", then the points.
  static CString FontSampleText(const LOGFONTW& font, int points);
  // The stored style bits of a font: 1 from weight 600, 2 italic, 4 underline, 8 strike-out.
  static unsigned FontStyleOf(const LOGFONTW& font);

  CButton m_film, m_graph;
  CIDCombo<LXTypes::QLAxisType> m_axis;
  CButton m_logarithmic, m_legend;
  CIDCombo<LXTypes::QLFilmType> m_filmType;
  CLXEdit<double> m_gamma;
  CButton m_solidFill;
  CColorButton m_solidColour;
  CButton m_grid;
  CColorButton m_gridColour;
  CButton m_fixed;
  CColorButton m_fixedColour;
  CButton m_autoColour;
  CStatic m_sample;
  CColorButton m_fontColour;
  LOGFONTW m_logFont{};
  // The points chosen, kept as chosen: a pixel height would round 13 pt to 12.75.
  float m_points = 0.0f;
  CFont* m_pFont = nullptr;

 protected:
  void OnSelectFont();
  DECLARE_MESSAGE_MAP()
};

class CStylesPrefsPane : public CPreferencesPane {
 public:
  static constexpr UINT kTemplateId = 5670;
  explicit CStylesPrefsPane(CWnd* parent);
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void RefreshControls() override;
  bool ApplyChanges() override;

  struct SizeField {
    CLXEdit<double> edit;
    CLXSpinner<double> spin;
  };
  CIDCombo<LXTypes::QLLineStyle> m_crystalLine, m_overlayLine, m_observedLine, m_backgroundLine, m_mixtureLine;
  CIDCombo<LXTypes::QLMarkerStyle> m_crystalMarker, m_observedMarker, m_mixtureMarker;
  SizeField m_crystalWidth, m_crystalSize, m_overlayWidth, m_observedWidth, m_observedSize, m_backgroundWidth,
      m_mixtureWidth, m_mixtureSize;
  CColorButton m_overlayColour, m_backgroundColour;

 protected:
  void OnStyleControlChanged(UINT id);
  DECLARE_MESSAGE_MAP()
};

class CSamplePrefsPane : public CPreferencesPane {
 public:
  static constexpr UINT kTemplateId = 5660;
  explicit CSamplePrefsPane(CWnd* parent);
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void RefreshControls() override;
  bool ApplyChanges() override;

  CLXEdit<double> m_size, m_strain;
  CButton m_usePO;
  CComboBox m_geometry;
  CLXEdit<int> m_h, m_k, m_l;
  CComboBox m_vectorKind;
  CLXEdit<double> m_alignment;
  CButton m_thermal;

 protected:
  void OnVectorTypeChanged();
  void ShowVectorCaptions(bool latticeVector);
  int IndexOfText(CComboBox& combo, const wchar_t* text);
  DECLARE_MESSAGE_MAP()
};

class CLabelsPrefsPane : public CPreferencesPane {
 public:
  static constexpr UINT kTemplateId = 5640;
  explicit CLabelsPrefsPane(CWnd* parent);
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void RefreshControls() override;
  bool ApplyChanges() override;

  CButton m_show;
  CLXEdit<double> m_threshold;
  CButton m_hkl, m_dSpacing, m_xUnits, m_relIntensity, m_phaseName;
  CColorButton m_colour;
  CIDCombo<LXTypes::QLLabelAlignment> m_position;
  CButton m_rotate, m_arrowhead, m_outline, m_shadow;

 protected:
  DECLARE_MESSAGE_MAP()
};
