// Owner drawing of standard controls (buttons, combo boxes) needs DCs over the painters of their
// widgets; the controls that draw themselves make sure the maker is installed.
#pragma once

namespace LXGraphics {
void EnsureOwnerDrawDC();
}  // namespace LXGraphics
