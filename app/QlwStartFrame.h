// The plain document window that start-up uses when the program has given no window classes of its
// own (CQlwApp::SetWindowClasses): it carries the program's icon, answers the instance messages
// of other starts and shows itself on "InitialOpen". Its view draws nothing.
#pragma once
#include "LXDocWnd.h"

class CQlwStartFrame : public CLXDocWnd {
  DECLARE_DYNCREATE(CQlwStartFrame)
 public:
  bool HasPatterns() override;
  bool IsEmptyWindow() override { return !HasPatterns(); }
  void SaveWindowPlacement() override {}
  void OnOptionsApplied(WPARAM, LPARAM) override {}
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 protected:
  int OnCreate(LPCREATESTRUCT cs);
  DECLARE_MESSAGE_MAP()
};

class CQlwStartView : public CView {
  DECLARE_DYNCREATE(CQlwStartView)
 public:
  void OnDraw(CDC*) override {}
};
