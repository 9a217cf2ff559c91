// Pieces shared by the structure writers (QLCIFWriter.cpp, QLLXTXFile.cpp): numbers that read back
// unchanged, coordinate triplets, site labels and the symmetry a crystal is expanded with.
#pragma once

#include "SymmetryOperator.h"
#include "Win.h"

#include <cstdio>
#include <string>
#include <vector>

class CQLCrystal;
class CQLSite;

namespace qlwtext {
// "%*.*f" in the C locale with at least `decimals` decimals, and more (up to 10) where fewer would
// not read back as the same single-precision number: the readers keep numbers as floats, so a
// written structure reads back exactly as it was held.
std::string Fixed(double value, int decimals, int width = 0);

// Fixed, or a fraction "k/n" (denominators of symmetry translations) where decimals would lose it.
std::string FractionOrFixed(double value, int decimals);

// "-y+1/2,x-y,z+3/4": translations in [0, 1) as fractions where they are one, else as decimals;
// the operator text parser reads it back to the same operator.
std::string OperatorTriplet(const CSymmetryOperator& op);

// One label per site, as the writers put it in a file: white space at both ends removed, blanks
// inside replaced by "_", and a site whose label another site already has made distinct with
// "_2", "_3"..., so that the records of a site can be found by its label again.
std::vector<std::string> SiteLabels(const std::vector<CQLSite>& sites);

// The symmetry the crystal is expanded with: its own operators and lattice letter, or those of its
// space-group symbol when it holds no operators. The operators are the primitive part; the letter
// is always one of P, A, B, C, F, I, R.
struct CrystalSymmetry {
  std::vector<CSymmetryOperator> operators;
  char lattice = 'P';
};
CrystalSymmetry GetCrystalSymmetry(const CQLCrystal& crystal);
// Every operator the crystal is expanded with, centring included, each once.
std::vector<CSymmetryOperator> FullOperators(const CQLCrystal& crystal);
// The operators without repeats (equal rotation, translation equal modulo 1).
std::vector<CSymmetryOperator> UniqueOperators(const std::vector<CSymmetryOperator>& operators);

// Whether the crystal carries displacements: its flag, or any site with a displacement (a crystal
// read from a CIF holds them without the flag, and writing must not drop them).
bool HasDisplacements(const CQLCrystal& crystal);

// The program's version text for the writers' notes, empty when the version resource is missing.
std::string ProgramVersionText();

// Writes the text to the stream; throws the file error of errno when the stream fails.
void WriteAll(FILE* stream, const std::string& text);
}  // namespace qlwtext
