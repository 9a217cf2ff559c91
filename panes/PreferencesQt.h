// What the preferences dialog and its pages need of their Qt widgets: the dialog placed by hand
// rather than by its template's layout, pages sized to their contents, bold headers and the font
// sample. The only Qt-aware part of the dialog; no Qt type appears here.
#pragma once
#include "Gdi.h"
#include "Win.h"

namespace PrefsLayout {
// Drops the dialog's template layout, leaving every control where the layout put it, so that the
// dialog's own code places the tab control and the buttons from now on.
void ReleaseTemplateLayout(HWND dialog);
// Wraps the page's long plain texts and sizes the page to its contents at `width` pixels (0: the
// width its contents ask for, at least a readable minimum); answers the size given.
SIZE FitPageToContents(HWND page, int width);
// Makes a label a sunken box tall enough for a font sample, its text centred.
void MakeSampleBox(HWND label);
// Shows a label in the bold weight of its own font.
void MakeLabelBold(HWND label);
// Shows a label in the font of `logFont` (height in pixels, negative for the character height).
void SetLabelFont(HWND label, const LOGFONTW& logFont);
}  // namespace PrefsLayout
