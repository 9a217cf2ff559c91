// The space-group table (rows generated into SpaceGroupTable.cpp) with its side tables, symbol
// look-ups, lattice centring and detection, and identification of a group from its operators.
// CQLCrystal's symmetry operations are thin wrappers over the free functions here.
#pragma once

#include <cstdint>
#include <vector>

#include "Win.h"
#include "SymmetryOperator.h"

// One setting of a space group. Symbols are ASCII; a number above 230 ends the table.
struct CSpaceGroupRow {
  int32_t number;
  char schoenflies[9];    // "C2h(5)"; empty in the alternative rows of a group
  char shortSymbol[12];   // "P 21/c"; empty for settings that have none
  char fullSymbol[18];    // "P 1 21/c 1"
  uint8_t setting;        // 0 standard; 10.. unique axis/cell choice; 101..106; 111 rh., 112 hex.
  uint8_t originChoice;   // 0, 1 or 2
  char originNote[15];
  int32_t operatorCount;  // primitive part, identity first
  uint32_t codes[48];
};

extern const CSpaceGroupRow g_SpaceGroupTable[];
int SpaceGroupTableSize();  // rows before the end row

struct CSettingNote {
  int setting;
  const wchar_t* note;
};
extern const CSettingNote g_SettingNoteTable[];
const wchar_t* GetSettingNote(int setting);  // "" for a code without a note

struct COriginShiftRow {
  int32_t number;
  const char* symbol;
  float shift[3];
};
extern const COriginShiftRow g_OriginChoiceTable[];  // ended by a number above 230

struct CSpaceGroupAlias {
  int32_t number;
  const char* symbol;
  const char* alias;
};
extern const CSpaceGroupAlias g_SpaceGroupAliasTable[];  // ended by a number above 230

// Count of lattice points of the letter and their vectors; the first is always 0, 0, 0.
int GetLatticeCentring(wchar_t lattice, double vectors[4][3]);

// Index of the first row for the symbol (number, Schoenflies, Hermann–Mauguin, alias), restricted
// to originChoice and setting where those are not 0; -1 when none.
int FindSpaceGroupIndex(const CString& symbol, int originChoice = 0, int setting = 0);

// A symbol typed by the user or read from a file. On success symbol holds the normalised text,
// originChoice is kept only for groups with two origins (else 0) and *rowIndex the row found,
// that of the kept origin choice.
bool ParseSpaceGroupSymbol(CString& symbol, int& originChoice, int* rowIndex = nullptr);

// Crystal systems: 1 triclinic, 2 monoclinic, 3 orthorhombic, 4 tetragonal, 5 trigonal
// (hexagonal axes), 6 trigonal (rhombohedral axes), 7 hexagonal, 8 cubic.
// On success symbol is rewritten to the table form. Angles in degrees.
bool LookupSpaceGroupSymbol(CString& symbol, int originChoice, double alpha, double beta, double gamma,
                            int& crystalSystem);

bool GetOriginChoiceShift(const CString& symbol, double shift[3]);

// The row's lattice letter, operator count and code texts; symbol rewritten to the short symbol
// on a number or Schoenflies hit. An 'R' symbol takes the rhombohedral setting when the three
// angles round to the same integer, else the hexagonal one.
bool LookupSpaceGroupOperators(CString& symbol, int originChoice, double alpha, double beta, double gamma,
                               wchar_t& lattice, int& count, std::vector<CString>& codeTexts);

// 'F', 'A', 'B', 'C', 'I', 'R' in this order, else 'P'.
wchar_t DetectLatticeFromOperators(const std::vector<CString>& operatorTexts, size_t count);

// Operators without those that equal a kept one shifted by a centring vector of the lattice.
std::vector<CSymmetryOperator> RemoveCentringOperators(const std::vector<CSymmetryOperator>& ops,
                                                       wchar_t lattice);
// The primitive part followed by every operator with each non-zero centring vector added.
std::vector<CSymmetryOperator> AddCentringOperators(const std::vector<CSymmetryOperator>& ops,
                                                    wchar_t lattice);

// Operators for symmetry expansion: ops, or those of the symbol, or the identity; then each with
// the non-zero centring vectors added ('R' only on hexagonal axes).
std::vector<CSymmetryOperator> BuildFullOperatorList(const std::vector<CSymmetryOperator>& ops,
                                                     const CString& symbol, int originChoice,
                                                     wchar_t lattice, double alpha, double beta,
                                                     double gamma);

// What the crystal takes from its symbol when it has no operators. An empty or unknown
// symbol gives "P 1", 'P' and the identity.
struct CInstalledOperators {
  CString symbol;
  wchar_t lattice = L'P';
  std::vector<CSymmetryOperator> operators;
};
CInstalledOperators InstallOperatorsFromSymbol(const CString& symbol, int originChoice, double alpha,
                                               double beta, double gamma);

inline constexpr size_t kMaxIdentifiedOperators = 192;

// Result of identifying a group from a list of operators.
struct CSpaceGroupMatch {
  int result = 0;     // 1 identified, 0 not
  int rowIndex = -1;  // row of g_SpaceGroupTable
  CString symbol;     // short symbol, or the full one when the row has none
  int originChoice = 0;
  wchar_t lattice = L'P';
  // On a match: the operators re-parsed from their formatted texts. Otherwise: the primitive
  // part (centring removed for currentLattice), or empty when ops was empty.
  std::vector<CSymmetryOperator> operators;
};
// currentLattice: the crystal's letter, used for the diagnostic and for removing centring when
// no row matches. More than 192 operators write the diagnostic to standard error.
CSpaceGroupMatch IdentifySpaceGroupFromOperators(const std::vector<CSymmetryOperator>& ops,
                                                 wchar_t currentLattice);
