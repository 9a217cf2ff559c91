// The diffraction window's side of the document's dialogs: it owns and runs them.
#include "DiffractWnd.h"
#include "QlwDoc.h"
#include "SmallDialogs.h"

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
    default:
      return CQlwDocWindow::RunSettingsDialog(which, document);
  }
}
