// Owner drawing of standard controls (buttons, combo boxes) needs DCs over the painters of their
// widgets, and a static text coloured by its owner reads its colour off such a DC; the controls
// that draw themselves or colour their text make sure the maker is installed.
#pragma once

namespace LXGraphics {
void EnsureOwnerDrawDC();
}  // namespace LXGraphics
