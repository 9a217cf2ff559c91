// The graphics pane's band laid out with Qt: its controls side by side at the right of the
// band, each centred in the band's height; the canvas below is not part of the layout.
#pragma once
#include <initializer_list>

class CWnd;

namespace qlwplot {
void LayOutBand(CWnd* pane, int bandHeight, std::initializer_list<CWnd*> controls);
// Fixes a control's width to its text plus extraWidth (an image, a menu mark), its height to an edit's.
void FitBandControl(CWnd* control, int extraWidth);
}  // namespace qlwplot
