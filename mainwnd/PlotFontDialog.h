// The font chooser of the plot: the font dialog run on the settings' plot font, in points, so that
// accepting it unchanged gives back the same font.
#pragma once
#include <cstdint>

#include "CString.h"
#include "Win.h"

class CWnd;

struct PlotFontChoice {
  CString face;
  float points = 10.0f;
  std::uint32_t style = 0;  // text-style bits: 1 bold, 2 italic, 4 underline, 8 strike-out
};

// Shows the dialog owned by parent's top window; false when cancelled (choice unchanged).
bool RunPlotFontDialog(CWnd* parent, PlotFontChoice& choice);
