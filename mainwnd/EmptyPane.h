// CEmptyPane: the place of a pane that the program does not have yet: an empty view of the
// window colour, so the splitters keep their layout around it.
#pragma once
#include "Frame.h"

class CEmptyPane : public CView {
  DECLARE_DYNCREATE(CEmptyPane)
 public:
  void OnDraw(CDC* dc) override;
  BOOL OnEraseBkgnd(CDC*) { return TRUE; }

 protected:
  DECLARE_MESSAGE_MAP()
};
