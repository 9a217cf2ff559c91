// The enumeration combos' tables (names in resources/strings/controls.txt, pictures 3300-3315)
// and the style names.
#include "IDCombo.h"

#include "Resources.h"

namespace IDComboTables {
const IDComboEntry kLineStyles[] = {
    {3320, LXTypes::kLineNone, kIDComboNoBitmap}, {3324, LXTypes::kLineDotDash, 3302},
    {3321, LXTypes::kLineSolid, 3303},            {3322, LXTypes::kLineDashed, 3300},
    {3323, LXTypes::kLineDotted, 3301},           {0, LXTypes::kLineSolid, 0},
};
const IDComboEntry kMarkerStyles[] = {
    {3330, LXTypes::kMarkerNone, kIDComboNoBitmap},     {3332, LXTypes::kMarkerCross, 3306},
    {3331, LXTypes::kMarkerPlus, 3313},                 {3333, LXTypes::kMarkerHollowTriangle, 3307},
    {3334, LXTypes::kMarkerHollowNabla, 3311},          {3335, LXTypes::kMarkerHollowDiamond, 3309},
    {3336, LXTypes::kMarkerHollowSquare, 3314},         {3337, LXTypes::kMarkerHollowCircle, 3304},
    {3338, LXTypes::kMarkerSolidTriangle, 3308},        {3339, LXTypes::kMarkerSolidNabla, 3312},
    {3340, LXTypes::kMarkerSolidDiamond, 3310},         {3341, LXTypes::kMarkerSolidSquare, 3315},
    {3342, LXTypes::kMarkerSolidCircle, 3305},          {0, LXTypes::kMarkerNone, 0},
};
// Values of LXTypes::QLProfileType: delta 1, Lorentzian 2, Gaussian 3, pseudo-Voigt 4.
const IDComboEntry kProfileTypes[] = {
    {3350, 1, kIDComboNoBitmap}, {3351, 3, kIDComboNoBitmap}, {3352, 2, kIDComboNoBitmap},
    {3353, 4, kIDComboNoBitmap}, {0, 0, 0},
};
// Values of LXTypes::QLSimulationType: X-rays 1, neutrons 2, energy-dispersive 3, time of flight 4,
// electrons 5.
const IDComboEntry kSimulationTypes[] = {
    {3359, 5, kIDComboNoBitmap}, {3355, 3, kIDComboNoBitmap}, {3356, 2, kIDComboNoBitmap}, {3357, 4, kIDComboNoBitmap},
    {3358, 1, kIDComboNoBitmap}, {0, 0, 0},
};
const IDComboEntry kSimulationTypes2Theta[] = {
    {3358, 1, kIDComboNoBitmap}, {3356, 2, kIDComboNoBitmap}, {0, 0, 0},
};
const IDComboEntry kLabelAlignments[] = {
    {3360, LXTypes::kLabelFloat, kIDComboNoBitmap}, {3361, LXTypes::kLabelTop, kIDComboNoBitmap},
    {3362, LXTypes::kLabelBottom, kIDComboNoBitmap}, {0, 0, 0},
};
const IDComboEntry kFilmTypes[] = {
    {3365, 1, kIDComboNoBitmap}, {3366, 2, kIDComboNoBitmap}, {3367, 3, kIDComboNoBitmap},
    {3368, 4, kIDComboNoBitmap}, {3369, 5, kIDComboNoBitmap}, {0, 0, 0},
};
}  // namespace IDComboTables

bool MarkerStyleName(LXTypes::QLMarkerStyle style, CString& name) {
  const UINT value = static_cast<UINT>(style);
  LoadString(3330 + (value <= LXTypes::kMarkerSolidCircle ? value : UINT(LXTypes::kMarkerHollowCircle)), name);
  return true;
}

bool LineStyleName(LXTypes::QLLineStyle style, CString& name) {
  const UINT value = static_cast<UINT>(style);
  LoadString(3320 + (value <= LXTypes::kLineDotDash ? value : UINT(LXTypes::kLineDashed)), name);
  return true;
}
