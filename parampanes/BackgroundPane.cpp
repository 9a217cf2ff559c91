// The background pane: the background curve of the selected observed pattern and its two flags.
#include "BackgroundPane.h"

#include "Preferences.h"
#include "QLObservedPattern.h"
#include "QlwDoc.h"

namespace {
constexpr UINT kAllControls[] = {CBackgroundPane::kShow,      CBackgroundPane::kAddCurve,
                                 CBackgroundPane::kRemoveCurve, CBackgroundPane::kResetCurve,
                                 CBackgroundPane::kCurveLabel, CBackgroundPane::kAddPoint,
                                 CBackgroundPane::kRemovePoint, CBackgroundPane::kPointLabel,
                                 CBackgroundPane::kPreview,   0};

void Enable(CWnd* pane, UINT id, bool enable) {
  if (CWnd* control = pane->GetDlgItem(static_cast<int>(id))) control->EnableWindow(enable ? TRUE : FALSE);
}
}  // namespace

BEGIN_MESSAGE_MAP(CBackgroundPane, CDiscloseablePane)
  ON_BN_CLICKED(CBackgroundPane::kAddCurve, &CBackgroundPane::OnAddCurve)
  ON_BN_CLICKED(CBackgroundPane::kRemoveCurve, &CBackgroundPane::OnRemoveCurve)
  ON_BN_CLICKED(CBackgroundPane::kResetCurve, &CBackgroundPane::OnResetCurve)
  ON_BN_CLICKED(CBackgroundPane::kAddPoint, &CBackgroundPane::OnAddPoint)
  ON_BN_CLICKED(CBackgroundPane::kRemovePoint, &CBackgroundPane::OnRemovePoint)
  ON_BN_CLICKED(CBackgroundPane::kShow, &CBackgroundPane::OnControlChanged)
  ON_BN_CLICKED(CBackgroundPane::kPreview, &CBackgroundPane::OnControlChanged)
END_MESSAGE_MAP()

void CBackgroundPane::DoDataExchange(CDataExchange* dx) {
  CDiscloseablePane::DoDataExchange(dx);
  DDX_Control(dx, kShow, m_show);
  DDX_Control(dx, kPreview, m_preview);
}

BOOL CBackgroundPane::OnInitDialog() {
  const BOOL result = CDiscloseablePane::OnInitDialog();
  UnlockUpdates();
  RefreshControls();
  return result;
}

CPrefScalar<bool>* CBackgroundPane::OpenPreference() {
  return g_pPreferences ? &g_pPreferences->m_ParamOpenBackground : nullptr;
}

CQLObservedPattern* CBackgroundPane::Target() const {
  CQlwDoc* doc = GetDocument();
  if (!doc) return nullptr;
  const CQLPatternList& patterns = doc->GetPatterns();
  const size_t all = CollectPatterns(patterns, true, false, false).size();
  const size_t observed = CollectPatternsOfType<CQLObservedPattern>(patterns, true, false, false).size();
  return all == observed && observed > 0 ? doc->GetSelectedObservedPattern() : nullptr;
}

void CBackgroundPane::CurveEdited() {
  if (IsUpdateLocked()) return;
  SetModified(true, false);
  ApplyChanges();
  UpdateControls(false);
}

void CBackgroundPane::OnAddCurve() {
  CQLObservedPattern* pattern = Target();
  if (!pattern) return;
  pattern->AddBackgroundCurve();
  if (!IsChecked(m_show)) m_show.SetCheck(BST_CHECKED);
  CurveEdited();
}

void CBackgroundPane::OnRemoveCurve() {
  if (CQLObservedPattern* pattern = Target()) {
    pattern->RemoveBackgroundCurve();
    CurveEdited();
  }
}

void CBackgroundPane::OnResetCurve() {
  if (CQLObservedPattern* pattern = Target()) {
    pattern->RemoveBackgroundCurve();
    pattern->AddBackgroundCurve();
    CurveEdited();
  }
}

void CBackgroundPane::OnAddPoint() {
  if (CQLObservedPattern* pattern = Target()) {
    pattern->AddBackgroundPoint();
    CurveEdited();
  }
}

void CBackgroundPane::OnRemovePoint() {
  if (CQLObservedPattern* pattern = Target()) {
    pattern->RemoveBackgroundPoint();
    CurveEdited();
  }
}

bool CBackgroundPane::ApplyChanges() {
  CQlwDoc* doc = GetDocument();
  if (!IsModified()) return false;
  if (CQLObservedPattern* pattern = doc ? doc->GetSelectedObservedPattern() : nullptr) {
    pattern->m_subtractBackground = IsChecked(m_show) ? 0 : 1;
    pattern->m_previewSubtraction = IsChecked(m_preview) ? 1 : 0;
  }
  return ApplyFinished(kHint);
}

void CBackgroundPane::UpdateControls(bool fromModel) {
  CQlwDoc* doc = GetDocument();
  CQLObservedPattern* selected = doc ? doc->GetSelectedObservedPattern() : nullptr;
  if (fromModel) {
    static const CQLObservedPattern defaults;
    const CQLObservedPattern& source = selected ? *selected : defaults;
    ShowCheck(m_show, source.m_subtractBackground == 0);
    ShowCheck(m_preview, source.m_previewSubtraction != 0);
  }
  bool any = false, hasCurve = false, picked = false;
  if (doc) {
    const CQLPatternList& patterns = doc->GetPatterns();
    const size_t all = CollectPatterns(patterns, true, false, false).size();
    const size_t observed = CollectPatternsOfType<CQLObservedPattern>(patterns, true, false, false).size();
    if (all == observed) {
      any = observed > 0;
      hasCurve = any && selected && !selected->m_controlPoints.empty();
      if (hasCurve)
        for (const CQLControlPoint& point : selected->m_controlPoints) picked = picked || point.IsFlagged();
    }
  }
  Enable(this, kShow, hasCurve);
  Enable(this, kCurveLabel, any);
  Enable(this, kAddCurve, any && !hasCurve);
  for (UINT id : {kRemoveCurve, kResetCurve, kAddPoint, kPointLabel}) Enable(this, id, hasCurve);
  Enable(this, kRemovePoint, hasCurve && picked);
  Enable(this, kPreview, hasCurve && IsChecked(m_show));
}

void CBackgroundPane::ShowPaneControls(bool show) { ShowControls(kAllControls, show); }
