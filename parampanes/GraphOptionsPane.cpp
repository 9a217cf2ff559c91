// The graph options pane: background fill and grid lines of the document's settings.
#include "GraphOptionsPane.h"

#include "DiffractionSettings.h"
#include "Preferences.h"
#include "QlwDoc.h"

BEGIN_MESSAGE_MAP(CGraphOptionsPane, CDiscloseablePane)
  ON_BN_CLICKED(CGraphOptionsPane::kSolidFill, &CGraphOptionsPane::OnControlChanged)
  ON_BN_CLICKED(CGraphOptionsPane::kShowGrid, &CGraphOptionsPane::OnShowGridClicked)
  ON_MESSAGE(0x7EC, &CGraphOptionsPane::OnColorChanged)
END_MESSAGE_MAP()

namespace {
// Colours are kept opaque.
DWORD Opaque(DWORD argb) { return argb | 0xFF000000u; }
}  // namespace

void CGraphOptionsPane::DoDataExchange(CDataExchange* dx) {
  CDiscloseablePane::DoDataExchange(dx);
  DDX_Control(dx, kSolidFill, m_solidFill);
  DDX_Control(dx, kShowGrid, m_showGrid);
  DDX_Control(dx, kFillColour, m_fillColour);
  DDX_Control(dx, kGridColour, m_gridColour);
}

BOOL CGraphOptionsPane::OnInitDialog() {
  const BOOL result = CDiscloseablePane::OnInitDialog();
  UnlockUpdates();
  RefreshControls();
  return result;
}

CPrefScalar<bool>* CGraphOptionsPane::OpenPreference() {
  return g_pPreferences ? &g_pPreferences->m_ParamOpenGraphOptions : nullptr;
}

bool CGraphOptionsPane::ApplyChanges() {
  if (!IsModified()) return false;
  // The flag is stored before the hint, so the repaint it asks for sees it.
  if (CQlwDoc* doc = GetDocument())
    if (CDiffractionSettings* settings = doc->GetSettings())
      settings->m_useSolidBackground = m_solidFill.GetCheck() == BST_CHECKED ? 1 : 0;
  return ApplyFinished(kHint);
}

void CGraphOptionsPane::UpdateControls(bool) {
  CQlwDoc* doc = GetDocument();
  CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr;
  if (settings && m_solidFill.m_hWnd) settings->m_useSolidBackground = m_solidFill.GetCheck() == BST_CHECKED ? 1 : 0;
}

void CGraphOptionsPane::RefreshControls() {
  if (IsUpdateLocked()) return;
  LockUpdates();
  CDialogPane::RefreshControls();
  CQlwDoc* doc = GetDocument();
  const CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr;
  auto setColour = [](CColorButton& button, DWORD argb) {
    if (button.GetColor() != argb) button.SetColor(argb);
  };
  if (settings) {
    m_showGrid.SetCheck(settings->m_showGrid ? BST_CHECKED : BST_UNCHECKED);
    setColour(m_gridColour, settings->m_gridColor);
    m_solidFill.SetCheck(settings->m_useSolidBackground ? BST_CHECKED : BST_UNCHECKED);
    setColour(m_fillColour, settings->m_solidBackgroundColor);
  } else if (g_pPreferences) {
    m_showGrid.SetCheck(g_pPreferences->m_ShowGrid.Get() ? BST_CHECKED : BST_UNCHECKED);
    setColour(m_gridColour, g_pPreferences->m_GridColor.Get().GetValue());
  }
  CPrefScalar<bool>* open = OpenPreference();
  Disclose(open ? open->Get() : true, true);
  UpdateControls(true);
  UnlockUpdates();
}

void CGraphOptionsPane::ShowPaneControls(bool show) {
  static const UINT ids[] = {2285, kSolidFill, kFillColour, kShowGrid, kGridColour, 0};
  ShowControls(ids, show);
}

void CGraphOptionsPane::OnShowGridClicked() {
  if (IsUpdateLocked()) return;
  CQlwDoc* doc = GetDocument();
  CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr;
  if (!settings) return;
  settings->m_showGrid = m_showGrid.GetCheck() == BST_CHECKED ? 1 : 0;
  doc->RecomputeAllPatterns(true, false, true);
}

LRESULT CGraphOptionsPane::OnColorChanged(WPARAM id, LPARAM) {
  if (IsUpdateLocked()) return 1;
  CQlwDoc* doc = GetDocument();
  CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr;
  if (!settings) return 1;
  if (id == kGridColour) {
    settings->m_gridColor = Opaque(m_gridColour.GetColor());
    m_showGrid.SetCheck(BST_CHECKED);
    settings->m_showGrid = 1;
    doc->RecomputeAllPatterns(true, false, true);
  } else if (id == kFillColour) {
    settings->m_solidBackgroundColor = Opaque(m_fillColour.GetColor());
    if (m_solidFill.GetCheck() == BST_CHECKED) doc->RecomputeAllPatterns(true, false, true);
  }
  return 1;
}
