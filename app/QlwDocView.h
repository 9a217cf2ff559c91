// What the document needs of the things that show it: the class library's views, which receive
// update hints, and the diffraction window whose layout a session restores and records.
#pragma once

#include "Frame.h"
#include "LXException.h"
#include "LXSyncRect.h"
#include "QLPattern.h"
#include "Win.h"

#include <list>
#include <vector>

// Views are the class library's: OnUpdate receives the CUpdateHint's address as lHint.
using CQlwDocView = CView;

class CDiffractionSettings;
class CQLCrystal;
class CQlwDoc;

// The window side of a session's layout and of the plot; the diffraction window implements it,
// and the panes below it reach it through their document (CQlwDoc::GetDiffractWnd).
class CQlwDocWindow {
 public:
  enum Pane { kPaneStructures = 0, kPaneParameters = 1, kPaneReflexions = 2 };
  virtual ~CQlwDocWindow() = default;
  virtual HWND GetSafeHwnd() const = 0;
  // True once the window has laid itself out from a session; later sessions keep its layout.
  virtual bool HasRestoredLayout() const = 0;
  virtual bool GetScreenRect(LXGraphics::CSyncRect& out) const = 0;
  // Fits the rectangle to its monitor and moves the window there.
  virtual void MoveOnScreen(const LXGraphics::CSyncRect& rect) = 0;
  virtual bool IsPaneShown(Pane pane) const = 0;
  virtual void PostMenuCommand(UINT commandId) = 0;
  // 1 or 2 for the pressed tab button of the parameters pane, 0 when neither.
  virtual int GetParametersTab() const = 0;
  virtual void SelectParametersTab(int tab) = 0;
  virtual void CloseInspectorPanes() = 0;
  virtual void DisclosePane(const CString& header) = 0;
  virtual void GetOpenPaneNames(std::list<CString>& out) const = 0;
  virtual void InvalidateAll() = 0;
  // The document's settings, or null while the document is closing (or without a window).
  virtual CDiffractionSettings* GetDocSettings() { return nullptr; }
  // Recomputes the plot area (and its bitmap) from the graphics pane; the rectangle's tag.
  virtual int UpdatePlotRect() { return 0; }
  virtual const LXGraphics::CSyncRect& GetPlotRect() const {
    static const LXGraphics::CSyncRect none;
    return none;
  }

  // ----- what the document's commands ask of the window -----
  // The plot's scroller after a keyboard scroll or intensity change.
  virtual void ShowScroller(bool /*restart*/) {}
  virtual void ToggleLoupe() { throw CLXXUnimplemented(kLXSeverityMessage, 0, __LINE__); }
  virtual bool IsLoupeVisible() const { return false; }
  // The modal dialogs of the document's commands, owned by this window; each answers IDOK when
  // the user accepted. A window that has not the dialog reports the command as not implemented.
  // The crystal editor on a crystal the caller owns.
  virtual INT_PTR RunEditCrystal(CQLCrystal& /*crystal*/) { return NoDialog(); }
  // The data editor on a list of x-y points.
  virtual INT_PTR RunEditData(CQLProfile& /*points*/) { return NoDialog(); }
  // Go to Peak: the indices, kept by the caller between runs.
  virtual INT_PTR RunFindPeak(double& /*h*/, double& /*k*/, double& /*l*/) { return NoDialog(); }
  // The instrumental broadening: a peak width in the current x-axis unit.
  virtual INT_PTR RunPeakWidth(double& /*width*/) { return NoDialog(); }
  // The x scale factor of observed data, starting at 1.
  virtual INT_PTR RunScaleX(double& /*factor*/) { return NoDialog(); }
  // The dialogs that write their values into the document's settings before they end with OK:
  // plot range, plot title, reflexions limit, wavelength, electron wavelength.
  enum SettingsDialog { kPlotLimits = 5270, kPlotTitle = 5280, kReflexionLimit = 5290, kWavelength = 5330,
                        kElectronWavelength = 5340 };
  virtual INT_PTR RunSettingsDialog(SettingsDialog /*dialog*/, CQlwDoc& /*document*/) { return NoDialog(); }

 protected:
  static INT_PTR NoDialog() { throw CLXXUnimplemented(kLXSeverityMessage, 0, __LINE__); }
};
