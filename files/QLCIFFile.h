// CIF reader and writer: one crystal pattern per structure data block. The tokenizer and loop
// parser are in QLCIFParse.cpp, the site records and the hand-over to the crystal in
// QLCIFSites.cpp, the writer in QLCIFWriter.cpp.
#pragma once

#include "LXASF.h"
#include "LXStdioFile.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CQLCrystal;
class CQLSite;

LX_DECLARE_EXCEPTION(CLXXFileCIFInvalidLoop, CLXXQLFile, 22831);
LX_DECLARE_EXCEPTION(CLXXFileCIFMissingDataInLoop, CLXXQLFile, 22832);
LX_DECLARE_EXCEPTION(CLXXFileCIFReadError, CLXXQLFile, 22834);
LX_DECLARE_EXCEPTION(CLXXFileCIFUnexpectedItem, CLXXQLFile, 22836);
// A cell length the block does not give, or a length or angle given as unknown ('?' or '.').
LX_DECLARE_EXCEPTION(CLXXFileCIFCellNotGiven, CLXXQLFile, 22866);

// One row of the atom-site loops; every value is optional. Kept small, as a file may hold
// hundreds of thousands: the tensors, which few rows give, live apart.
struct CIFSiteRecord {
  static constexpr int kMaxLabel = 6;

  struct Tensors {
    double u[9] = {};  // 11 12 13 21 22 23 31 32 33
    double b[9] = {};
    double beta[9] = {};  // dimensionless: exp(−Σ β_ij h_i h_j)
    bool hasU[9] = {};
    bool hasB[9] = {};
    bool hasBeta[9] = {};
  };

  std::wstring label;  // white space removed
  double xyz[3] = {0, 0, 0};
  double su[3] = {0, 0, 0};
  float rounding[3] = {0, 0, 0};  // half a unit of each coordinate's last decimal
  double occupancy = 1.0;
  double uIso = 0;
  double bIso = 0;
  std::unique_ptr<Tensors> tensors;  // null while no tensor item was read
  uint16_t elementCode = 0;
  int32_t multiplicity = 0;  // positions in the cell, as the file gives it
  bool hasLabel = false;
  bool hasElement = false;
  bool hasXyz[3] = {false, false, false};
  bool hasSu[3] = {false, false, false};
  bool hasOccupancy = false;
  bool hasUIso = false;
  bool hasBIso = false;
  bool hasMultiplicity = false;

  Tensors& MutableTensors();
  bool IsEmpty() const;
  bool HasDisplacement() const;
  // Whether `committed` may be merged into `into`: no value in both, and equal labels.
  static bool CanMerge(const CIFSiteRecord& committed, const CIFSiteRecord& into);
  static void MergeInto(const CIFSiteRecord& src, CIFSiteRecord& dst);
};

// The site records of a block, in chunks: a long list grows without copies, and the chunks
// already turned into sites are freed while the rest are.
class CIFSiteRecordList {
 public:
  size_t size() const { return m_size; }
  CIFSiteRecord& operator[](size_t i) { return m_chunks[i / kChunk][i % kChunk]; }
  const CIFSiteRecord& operator[](size_t i) const { return m_chunks[i / kChunk][i % kChunk]; }
  void push_back(CIFSiteRecord&& record);
  void clear();
  // Frees the chunks wholly before `record`; the records there must not be used again.
  void ReleaseBefore(size_t record);

 private:
  // 64 KiB of records: below the allocator's threshold for a mapping of its own, so the chunks
  // freed while the sites are built are reused for the sites rather than given back to the system
  // and taken from it again, page by page.
  static constexpr size_t kChunk = 512;
  std::vector<std::vector<CIFSiteRecord>> m_chunks;
  size_t m_size = 0;
  size_t m_released = 0;  // chunks freed, from the first
};

class CQLCIFFile : public CLXStdioFile<CQlwFile> {
 public:
  CQLCIFFile();
  ~CQLCIFFile() override;

  // Content test of the recogniser: the nine cell and coordinate items within 9000 lines.
  static bool TestFile(const wchar_t* path, uint32_t& typeCode);
  // Whether the first line that is neither blank nor a comment opens a data block: true of a CIF
  // cut short too, which the content test refuses.
  static bool StartsAsCIF(const wchar_t* path);

  bool IndexBlocks() override;
  void ReadBlock(uint32_t index) override;
  void ParseBlock() override;
  void WriteBlock(uint32_t index) override;
  bool CanRead() const override { return true; }
  bool CanWrite() const override { return true; }

  // "5.4307(2)" gives 5.4307 with su 0.0002; false (value the most negative double) when the
  // text holds no number.
  static bool ParseNumberWithSU(const std::string& text, double& value, double& su, bool& hasSU);

  uint32_t WarningCount() const { return m_warnings; }

  // Used directly by the tests: the crystal that the item handlers fill.
  void SetCrystal(CQLCrystal* crystal) { m_crystal = crystal; }
  const CIFSiteRecordList& Records() const { return m_records; }
  void FinishStructure();

 protected:
  CQLCrystal* m_crystal = nullptr;
  CIFSiteRecordList m_records;
  // Where the records stand, so that a commit finds its partner without a search of them all: by
  // label, a chain through m_nextWithLabel from the first record of each label, and those without
  // one (both in list order). Built at the first commit that may merge: rows of the first loop
  // never do, and a file of one loop never needs it.
  struct LabelHash {
    using is_transparent = void;
    const CIFSiteRecordList* records;
    size_t operator()(std::wstring_view label) const { return std::hash<std::wstring_view>()(label); }
    size_t operator()(size_t record) const { return (*this)(std::wstring_view((*records)[record].label)); }
  };
  struct LabelEqual {
    using is_transparent = void;
    const CIFSiteRecordList* records;
    std::wstring_view Of(std::wstring_view label) const { return label; }
    std::wstring_view Of(size_t record) const { return (*records)[record].label; }
    template <class A, class B>
    bool operator()(const A& a, const B& b) const { return Of(a) == Of(b); }
  };
  struct LabelChain {
    size_t last;
  };
  // Keyed by the chain's first record, looked up by label text.
  std::unordered_map<size_t, LabelChain, LabelHash, LabelEqual> m_recordsByLabel{
      0, LabelHash{&m_records}, LabelEqual{&m_records}};
  std::vector<size_t> m_nextWithLabel;  // the next record of the same label, or SIZE_MAX
  bool m_recordsIndexed = false;
  std::vector<size_t> m_unlabelledRecords;
  size_t m_unlabelledFirst = 0;
  CIFSiteRecord m_current;
  uint64_t m_loopRows = 0;
  uint64_t m_committedRows = 0;
  bool m_symbolFromHM = false;
  bool m_lengthGiven[3] = {false, false, false};  // a, b, c, by this block or those read with it
  // Space-group symbols looked up from Hermann-Mauguin texts, by text, with the cell angles they
  // were looked up for.
  struct SymbolLookup {
    bool done = false;
    bool found = false;
    double alpha = 0, beta = 0, gamma = 0;
    CString symbol;
    int originChoice = 0;
  };
  std::unordered_map<std::string, SymbolLookup> m_symbolLookups;
  bool m_keepRowsApart = true;
  bool m_checkingLoop = false;  // the loop check reads the values that the row pass reads again
  // Element codes of the type symbols read in this block, by their first two characters when
  // those are ASCII, on which alone the code depends: a large file names the same few on each row.
  std::unordered_map<uint16_t, uint16_t> m_elementCodeByStart;
  // White space among the ASCII characters, as the locale classes them, for the labels.
  bool m_asciiSpace[128] = {};

  void ResetBlockState();
  bool IsStructureBlock();
  bool ReadValue(std::string& out);
  void ReadLoop();
  bool CheckLoop(size_t names);
  bool AtValue();
  bool AtReservedWord();
  void DispatchItem(const std::string& rawName, const std::string& value);
  // Which handler reads an item, from its lower-cased name; a loop finds it once for each column.
  enum class ItemKind { kOther, kDatabase, kSymmetry, kCell, kAtomSite };
  static ItemKind KindOfItem(const std::string& name);
  // Which value of a site record an atom-site item sets, from its lower-cased name: one of the
  // kAtom… codes, kAtomU + i, kAtomB + i or kAtomBeta + i for the tensor element i (row-major).
  enum : int { kAtomOther = 0, kAtomLabel, kAtomType, kAtomX, kAtomY, kAtomZ, kAtomOccupancy, kAtomUIso, kAtomBIso,
               kAtomMultiplicity, kAtomU = 16, kAtomB = 32, kAtomBeta = 48 };
  static int AtomFieldOfItem(const std::string& name);
  // An item's name as the handlers need it: found once for a loop's column, not once for each value.
  struct ItemColumn {
    std::string rawName;
    std::string name;  // lower-cased
    ItemKind kind = ItemKind::kOther;
    int atomField = kAtomOther;
  };
  static ItemColumn ColumnOfItem(const std::string& rawName);
  void DispatchItem(const ItemColumn& column, const std::string& value);
  bool HandleCellItem(const std::string& name, const std::string& value);
  // Throws CLXXFileCIFCellNotGiven for the first cell length the block left out.
  void RequireCellLengths() const;
  void HandleSymmetryItem(const std::string& name, const std::string& value);
  void HandleAtomSiteItem(int atomField, const std::string& value);
  uint16_t ElementCodeOfType(const std::string& value);
  void CommitRecord();
  void IndexRecords();
  void IndexRecord(size_t record);
  size_t FindMergeTarget() const;
  void ClearRecords();
  void ValidateDisplacement(CIFSiteRecord& record);
  bool BuildSite(CIFSiteRecord& record, CQLSite& site);
  CSiteSpecies SpeciesOf(uint16_t elementCode, double occupancy);
  std::unordered_map<uint16_t, CSiteSpecies> m_speciesByElement;
  // The multiplicity each built site's record gave (0 for none), in the order of the sites.
  std::vector<int32_t> m_siteMultiplicities;
  void BuildSites();
  void ChooseOriginFromMultiplicities();

  // Logs a reader warning in red; `count` adds it to the warnings counter.
  template <typename... Args>
  void Warn(bool count, UINT stringId, const Args&... args) {
    if (m_checkingLoop) return;  // said once, when the rows are read
    LogStringColor(stringId, 0xFFFF0000u, args...);
    if (count) ++m_warnings;
  }
};

// The number in text when it is a plain decimal ([-]digits[.digits]), read as "%f" reads it; false
// for any other text, which the caller then reads the long way.
bool ReadPlainDecimal(const std::string& text, float& out);

// A value as CIF syntax lets it stand: bare where it can, else quoted, else as a text field.
std::string CifValueText(const std::string& text, bool alwaysQuote);

// Sorts sites read from text files, stably: letters alike, then by the trailing number (O2 before O10).
void SortSitesByLogicalLabel(std::vector<CQLSite>& sites);
