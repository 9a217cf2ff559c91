// The graphics pane's Qt side: the band laid out with Qt (its controls side by side at the right
// of the band, each centred in the band's height; the canvas below is not part of the layout),
// and the drop-feedback frame kept over the canvas while a drag is over it.
#pragma once
#include <initializer_list>

#include "Geometry.h"

class CWnd;

namespace qlwplot {
void LayOutBand(CWnd* pane, int bandHeight, std::initializer_list<CWnd*> controls);
// Fixes a control's width to its text plus extraWidth (an image, a menu mark), its height to an edit's.
void FitBandControl(CWnd* control, int extraWidth);
// Shows the drop-feedback frame at `frame` (the canvas's client coordinates) over the canvas, on
// top of whatever the canvas paints, until called with null.
void ShowDropFrame(CWnd* canvas, const RECT* frame);
}  // namespace qlwplot
