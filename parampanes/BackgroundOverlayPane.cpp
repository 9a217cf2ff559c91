// The background overlay pane: drawing of the selected observed pattern's background curve and of
// the subtracted-background preview.
#include "BackgroundOverlayPane.h"

#include "PeakOverlayPane.h"
#include "Preferences.h"
#include "QLObservedPattern.h"
#include "QlwDoc.h"

namespace {
constexpr UINT kCurveGroup[] = {CBackgroundOverlayPane::kColour, CBackgroundOverlayPane::kColourLabel,
                                CBackgroundOverlayPane::kStyle, CBackgroundOverlayPane::kStyleLabel,
                                CBackgroundOverlayPane::kWidth, CBackgroundOverlayPane::kWidthLabel,
                                CBackgroundOverlayPane::kWidthSpinner, 0};
constexpr UINT kPreviewGroup[] = {
    CBackgroundOverlayPane::kPreviewHeading,     CBackgroundOverlayPane::kPreviewColour,
    CBackgroundOverlayPane::kPreviewColourLabel, CBackgroundOverlayPane::kPreviewStyleLabel,
    CBackgroundOverlayPane::kPreviewStyle,       CBackgroundOverlayPane::kPreviewMarkerLabel,
    CBackgroundOverlayPane::kPreviewMarker,      CBackgroundOverlayPane::kPreviewSize,
    CBackgroundOverlayPane::kPreviewSizeLabel,   CBackgroundOverlayPane::kPreviewSizeSpinner,
    CBackgroundOverlayPane::kPreviewWidth,       CBackgroundOverlayPane::kPreviewWidthLabel,
    CBackgroundOverlayPane::kPreviewWidthSpinner, 0};
}  // namespace

BEGIN_MESSAGE_MAP(CBackgroundOverlayPane, CDiscloseablePane)
  ON_CBN_SELCHANGE(CBackgroundOverlayPane::kStyle, &CBackgroundOverlayPane::OnControlChanged)
  ON_CBN_SELCHANGE(CBackgroundOverlayPane::kPreviewStyle, &CBackgroundOverlayPane::OnControlChanged)
  ON_CBN_SELCHANGE(CBackgroundOverlayPane::kPreviewMarker, &CBackgroundOverlayPane::OnControlChanged)
END_MESSAGE_MAP()

void CBackgroundOverlayPane::DoDataExchange(CDataExchange* dx) {
  CDiscloseablePane::DoDataExchange(dx);
  DDX_Control(dx, kColour, m_colour);
  DDX_Control(dx, kStyle, m_style);
  DDX_Control(dx, kWidth, m_width);
  DDX_Control(dx, kWidthSpinner, m_widthSpinner);
  DDX_Control(dx, kPreviewColour, m_previewColour);
  DDX_Control(dx, kPreviewStyle, m_previewStyle);
  DDX_Control(dx, kPreviewWidth, m_previewWidth);
  DDX_Control(dx, kPreviewWidthSpinner, m_previewWidthSpinner);
  DDX_Control(dx, kPreviewMarker, m_previewMarker);
  DDX_Control(dx, kPreviewSize, m_previewSize);
  DDX_Control(dx, kPreviewSizeSpinner, m_previewSizeSpinner);
}

BOOL CBackgroundOverlayPane::OnInitDialog() {
  const BOOL result = CDiscloseablePane::OnInitDialog();
  m_style.Fill(InspectorTables::kDrawnLineStyles, false);
  m_previewStyle.Fill(IDComboTables::kLineStyles, false);
  m_previewMarker.Fill(IDComboTables::kMarkerStyles, false);
  SetUpField(m_widthField, m_width, &m_widthSpinner, 0.1, 10.0, 99, L"%0#.1f");
  SetUpField(m_previewWidthField, m_previewWidth, &m_previewWidthSpinner, 0.1, 10.0, 99, L"%0#.1f");
  SetUpField(m_previewSizeField, m_previewSize, &m_previewSizeSpinner, 0.1, 10.0, 99, L"%0#.1f");
  UnlockUpdates();
  RefreshControls();
  return result;
}

CPrefScalar<bool>* CBackgroundOverlayPane::OpenPreference() {
  return g_pPreferences ? &g_pPreferences->m_ParamOpenBackground : nullptr;
}

bool CBackgroundOverlayPane::ApplyChanges() {
  CQlwDoc* doc = GetDocument();
  if (!IsModified()) return false;
  if (CQLObservedPattern* p = doc ? doc->GetSelectedObservedPattern() : nullptr) {
    p->m_backgroundStyle.color = m_colour.GetColor() | 0xFF000000u;
    if (m_style.GetCurSel() >= 0) p->m_backgroundStyle.lineStyle = m_style.GetSelectedID();
    p->m_backgroundStyle.lineWidth = static_cast<float>(m_widthField.ValueOr(p->m_backgroundStyle.lineWidth));
    p->m_extraStyle.color = m_previewColour.GetColor() | 0xFF000000u;
    if (m_previewStyle.GetCurSel() >= 0) p->m_extraStyle.lineStyle = m_previewStyle.GetSelectedID();
    p->m_extraStyle.lineWidth = static_cast<float>(m_previewWidthField.ValueOr(p->m_extraStyle.lineWidth));
    if (m_previewMarker.GetCurSel() >= 0) p->m_extraStyle.markerStyle = m_previewMarker.GetSelectedID();
    p->m_extraStyle.markerSize = static_cast<float>(m_previewSizeField.ValueOr(p->m_extraStyle.markerSize));
  }
  return ApplyFinished(kHint);
}

void CBackgroundOverlayPane::UpdateControls(bool fromModel) {
  CQlwDoc* doc = GetDocument();
  CQLObservedPattern* selected = doc ? doc->GetSelectedObservedPattern() : nullptr;
  static const CQLObservedPattern defaults;
  const CQLObservedPattern& source = selected ? *selected : defaults;
  if (fromModel) {
    ShowColour(m_colour, source.m_backgroundStyle.color);
    ShowColour(m_previewColour, source.m_extraStyle.color);
    m_style.SelectID(static_cast<LXTypes::QLLineStyle>(source.m_backgroundStyle.lineStyle));
    m_previewStyle.SelectID(static_cast<LXTypes::QLLineStyle>(source.m_extraStyle.lineStyle));
    m_previewMarker.SelectID(static_cast<LXTypes::QLMarkerStyle>(source.m_extraStyle.markerStyle));
    m_widthField.Show(source.m_backgroundStyle.lineWidth, true);
    m_previewWidthField.Show(source.m_extraStyle.lineWidth, true);
    m_previewSizeField.Show(source.m_extraStyle.markerSize, true);
  }
  // Only observed patterns selected, and the selected one has a background curve that is shown.
  bool curve = false, preview = false;
  if (doc && selected) {
    const size_t all = CollectPatterns(doc->GetPatterns(), true, false, true).size();
    const size_t observed = CollectPatternsOfType<CQLObservedPattern>(doc->GetPatterns(), true, false, true).size();
    const bool shown = selected->m_subtractBackground == 0;  // the hide-background flag
    curve = all == observed && observed > 0 && shown && !selected->m_controlPoints.empty();
    preview = curve && selected->m_previewSubtraction != 0;
  }
  EnableControls(kCurveGroup, curve);
  EnableControls(kPreviewGroup, preview);
}

void CBackgroundOverlayPane::ShowPaneControls(bool show) {
  ShowControls(kCurveGroup, false);  // both lists, then the refresh
  ShowControls(kPreviewGroup, false);
  if (!show) return;
  for (const UINT* ids : {kCurveGroup, kPreviewGroup})
    for (const UINT* id = ids; *id; ++id)
      if (HWND control = ::GetDlgItem(m_hWnd, static_cast<int>(*id))) ::ShowWindow(control, SW_SHOW);
  UpdateControls(true);
}
