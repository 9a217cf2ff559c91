// The diffraction window's side of the document's dialogs: it owns and runs them.
#include "DiffractWnd.h"
#include "ElectronWavelengthDlg.h"
#include "QlwDoc.h"
#include "EditCrystal.h"
#include "EditData.h"
#include "GraphicsExportDialog.h"
#include "PreferencesDlg.h"
#include "ReflexionLimit.h"
#include "SmallDialogs.h"

INT_PTR CDiffractWnd::RunEditCrystal(CQLCrystal& crystal) {
  CEditCrystal dialog(&crystal, this);
  return dialog.DoModal();
}

INT_PTR CDiffractWnd::RunEditData(CQLProfile& points) {
  CEditData dialog(points, this);
  return dialog.DoModal();
}

INT_PTR CDiffractWnd::RunFindPeak(double& h, double& k, double& l) {
  CFindPeak::s_LastHKL[0] = h;
  CFindPeak::s_LastHKL[1] = k;
  CFindPeak::s_LastHKL[2] = l;
  CFindPeak dialog(this);
  const INT_PTR result = dialog.DoModal();
  if (result == IDOK) {
    h = CFindPeak::s_LastHKL[0];
    k = CFindPeak::s_LastHKL[1];
    l = CFindPeak::s_LastHKL[2];
  }
  return result;
}

INT_PTR CDiffractWnd::RunPeakWidth(double& width) {
  CPeakWidth dialog(this, GetDocSettings(), width);
  const INT_PTR result = dialog.DoModal();
  if (result == IDOK) width = dialog.m_width;
  return result;
}

INT_PTR CDiffractWnd::RunSettingsDialog(SettingsDialog which, CQlwDoc& document) {
  CDiffractionSettings* settings = document.GetSettings();
  switch (which) {
    case kPlotLimits: {
      CPlotLimits dialog(this, settings);
      return dialog.DoModal();
    }
    case kPlotTitle: {
      CPlotTitle dialog(this, settings);
      return dialog.DoModal();
    }
    case kWavelength: {
      CWavelength dialog(this, settings);
      return dialog.DoModal();
    }
    case kReflexionLimit: {
      // Null while the document closes: the dialog then ends without writing.
      CReflexionLimit dialog(this, GetDocSettings() ? settings : nullptr);
      return dialog.DoModal();
    }
    case kElectronWavelength: {
      ElectronWavelengthDlg dialog(this, settings);
      const INT_PTR result = dialog.DoModal();
      if (result != IDOK || !(dialog.m_result > 0.0)) return IDCANCEL;
      if (settings) settings->m_lambdaTEM = dialog.m_result;
      return result;
    }
    default:
      return CQlwDocWindow::RunSettingsDialog(which, document);
  }
}

INT_PTR CDiffractWnd::RunScaleX(double& factor) {
  CScaleX dialog(this);
  const INT_PTR result = dialog.DoModal();
  if (result == IDOK) factor = dialog.m_factor;
  return result;
}

void CDiffractWnd::OnOptionsApplied(WPARAM, LPARAM) {
  if (!g_pPreferences || !m_bCreated) return;
  const CPreferences& prefs = *g_pPreferences;
  if (prefs.m_ShowStructures.Get() != IsPatternsPaneShown()) TogglePatternsPane();
  if (prefs.m_ShowParameters.Get() != IsParametersPaneShown()) ToggleParametersPane();
  if (prefs.m_ShowReflexions.Get() != IsReflexionsPaneShown()) ToggleReflexionsPane();
}

namespace {
INT_PTR RunGraphicsExportDialog(CWnd* parent, int width, int height, CDiffractWnd::GraphicsExportChoice& choice) {
  GraphicsExportDialog dialog;
  dialog.m_baseWidth = width;
  dialog.m_baseHeight = height;
  // The dialog has no parent of its own; the window it exports from keeps it in front.
  dialog.SetTransientParent(parent);
  const INT_PTR result = dialog.DoModal();
  if (result != IDOK) return result;
  choice.request.transparent = dialog.m_transparent;
  choice.request.scale = dialog.m_magnification;
  choice.request.kind = dialog.m_formatCode == 45 ? CImagingPane::kRenderMetafile : CImagingPane::kRenderBitmap;
  choice.fileType = static_cast<UINT>(dialog.m_formatCode);
  return result;
}

const bool g_exportDialogInstalled = (CDiffractWnd::SetGraphicsExportDialog(&RunGraphicsExportDialog), true);
}  // namespace
