// The diffraction window as the canvas and the graphics pane see it: it counts the times it
// recomputes its plot area, and does nothing else.
#pragma once

#include "QlwDocView.h"

#include <list>

class PlotAreaWindow : public CQlwDocWindow {
 public:
  HWND GetSafeHwnd() const override { return nullptr; }
  bool HasRestoredLayout() const override { return false; }
  bool GetScreenRect(LXGraphics::CSyncRect&) const override { return false; }
  void MoveOnScreen(const LXGraphics::CSyncRect&) override {}
  bool IsPaneShown(Pane) const override { return true; }
  void PostMenuCommand(UINT) override {}
  int GetParametersTab() const override { return 0; }
  void SelectParametersTab(int) override {}
  void CloseInspectorPanes() override {}
  void DisclosePane(const CString&) override {}
  void GetOpenPaneNames(std::list<CString>&) const override {}
  void InvalidateAll() override {}
  int UpdatePlotRect() override { return ++updates; }
  int updates = 0;
};
