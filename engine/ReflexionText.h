// Texts of peak labels made from a reflexion: indices with overlined negatives, d spacing,
// position with the unit placeholder, relative intensity in percent.
#pragma once

#include "QLReflexion.h"
#include "Win.h"

namespace QLReflexionText {
// Negative indices are marked by the macron U+00AF and their overbar spans closed.
CString FormatHKL(int h, int k, int l);
// d in Å with two to four decimals by size, then the ångström sign.
CString FormatDSpacing(double d);
// x with one to four decimals by size, then "<XAxisUnits>", which the plot replaces by the unit.
CString FormatPosition(double x);
// value × 100 in percent, or the reflexion's own relative intensity when value is 0.
CString FormatIntensity(const CQLReflexion& reflexion, double value);
}  // namespace QLReflexionText
