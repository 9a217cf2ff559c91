// Symmetry operators (rotation and translation on fractional coordinates), their coordinate-triplet
// texts and the compact 24-bit operator codes of the space-group table (SpaceGroups.h).
#pragma once

#include <cstdint>

#include "Win.h"

// Zero tests of rotations and translations: 2^-39.
inline constexpr double kOperatorTolerance = 1.8189894035458565e-12;

class CSymmetryOperator {
public:
  CSymmetryOperator();  // all zero, as the parse of an empty text
  // Coordinate triplets ("-x+1/2,y,-z") and code texts ("1/2-x     +y     -z   ").
  explicit CSymmetryOperator(const wchar_t* text);

  // Mode 0: the code-text layout "%s  %s  %s"; any other mode: compact "1/2+x,+y,-z".
  CString Format(int mode) const;

  bool HasSameRotation(const CSymmetryOperator& other) const;
  // Compared modulo 1.
  bool HasSameTranslation(const CSymmetryOperator& other) const;
  // Same rotation, and translation equal to other's plus shift (modulo 1).
  bool EqualsShifted(const CSymmetryOperator& other, const double shift[3]) const;

  // p' = R p + t
  void Apply(const double p[3], double out[3]) const;

  double m_rotation[3][3];  // row i gives the new coordinate i
  double m_translation[3];
  CString m_text;  // the text it was parsed from
};

// Code text: per row a translation right-aligned in 3 characters and a rotation term
// left-aligned in 4, rows separated by two blanks ("%3s%-4s  %3s%-4s  %3s%-4s").
uint32_t OperatorCodeFromText(const wchar_t* codeText);
CString OperatorTextFromCode(uint32_t code);
