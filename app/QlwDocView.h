// What the document needs of the things that show it: the class library's views, which receive
// update hints, and the diffraction window whose layout a session restores and records.
#pragma once

#include "Frame.h"
#include "LXSyncRect.h"
#include "Win.h"

#include <list>
#include <vector>

// Views are the class library's: OnUpdate receives the CUpdateHint's address as lHint.
using CQlwDocView = CView;

class CDiffractionSettings;

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
};
