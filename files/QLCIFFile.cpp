#include "QLCIFFile.h"

#include "QLCrystalPattern.h"
#include "Status.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <iterator>

CQLCIFFile::CQLCIFFile() {
  m_fileType = 22;
  for (wint_t c = 0; c < 128; ++c) m_asciiSpace[c] = std::iswspace(c) != 0;
}

CQLCIFFile::~CQLCIFFile() = default;

namespace {
std::string TrimLeft(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return s.substr(i);
}

// Editors on other systems start UTF-8 files with a byte-order mark; it is not part of the text.
void DropByteOrderMark(std::string& firstLine) {
  if (firstLine.compare(0, 3, "\xEF\xBB\xBF") == 0) firstLine.erase(0, 3);
}
}  // namespace

bool CQLCIFFile::TestFile(const wchar_t* path, uint32_t& typeCode) {
  typeCode = 0;
  try {
    CQLCIFFile file;
    if (!file.Open(path, modeRead | shareDenyWrite)) return false;
    static const char* const kCellItems[] = {"_cell_length_a", "_cell_length_b", "_cell_length_c",
                                             "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"};
    static const char* const kAtomItems[] = {"_atom_site_fract_x", "_atom_site_fract_y", "_atom_site_fract_z"};
    bool marked[9] = {};
    int count = 0;
    std::string line;
    for (int lines = 0; lines < 9000 && file.ReadLine(line, 2049) >= 0; ++lines) {
      if (lines == 0) DropByteOrderMark(line);
      line = TrimLeft(line);
      if (line.empty() || line[0] != '_') continue;
      int found = -1;
      if (line.find("_cell") != std::string::npos) {
        for (int i = 0; i < 6 && found < 0; ++i)
          if (line.find(kCellItems[i]) != std::string::npos) found = i;
      } else if (line.find("_atom") != std::string::npos) {
        for (int i = 0; i < 3 && found < 0; ++i)
          if (line.find(kAtomItems[i]) != std::string::npos) found = 6 + i;
      }
      if (found >= 0 && !marked[found]) {
        marked[found] = true;
        if (++count == 9) {
          typeCode = 22;
          return true;
        }
      }
    }
  } catch (...) {
    // A content test answers no rather than failing the recogniser.
  }
  return false;
}

bool CQLCIFFile::StartsAsCIF(const wchar_t* path) {
  try {
    CQLCIFFile file;
    if (!file.Open(path, modeRead | shareDenyWrite)) return false;
    std::string line;
    for (int lines = 0; lines < 9000 && file.ReadLine(line, 2049) >= 0; ++lines) {
      if (lines == 0) DropByteOrderMark(line);
      line = TrimLeft(line);
      if (line.empty() || line[0] == '#') continue;
      return line.compare(0, 5, "data_") == 0;
    }
  } catch (...) {
    // A content test answers no rather than failing the recogniser.
  }
  return false;
}

bool CQLCIFFile::IndexBlocks() {
  if (m_blocks.empty()) {
    const long remembered = Position();
    SeekTo(0);
    std::string line;
    for (;;) {
      const long start = Position();
      if (ReadLine(line, 2049) < 0) break;
      if (start == 0) DropByteOrderMark(line);
      if (TrimLeft(line).compare(0, 5, "data_") == 0) {
        const uint8_t structure = IsStructureBlock() ? 1 : 0;
        m_blocks.push_back({static_cast<uint32_t>(start), structure});
      }
    }
    SeekTo(remembered);
  }
  // A file with no structure in it is an error, not an empty success.
  if (GetBlockCount(false) == 0 || m_blocks.empty()) throw CLXXFileImportNoAtoms(kLXSeverityMessage, 0, __LINE__);
  return true;
}

bool CQLCIFFile::IsStructureBlock() {
  const long remembered = Position();
  bool structure = false;
  std::string line;
  while (ReadLine(line, 2049) >= 0) {
    line = TrimLeft(line);
    if (!line.empty() && (line[0] == 'd' || line[0] == 'D') && line.find("data_") != std::string::npos) break;
    if (!line.empty() && line[0] == '_' &&
        (line.find("_cell") != std::string::npos || line.find("_atom") != std::string::npos)) {
      structure = true;
      break;
    }
  }
  SeekTo(remembered);
  return structure;
}

void CQLCIFFile::ResetBlockState() {
  ClearRecords();
  m_current = CIFSiteRecord();
  m_loopRows = 0;
  m_committedRows = 0;
  m_symbolFromHM = false;
  std::fill(std::begin(m_lengthGiven), std::end(m_lengthGiven), false);
  m_keepRowsApart = true;
  m_checkingLoop = false;
  m_elementCodeByStart.clear();
}

void CQLCIFFile::ReadBlock(uint32_t index) {
  ResetBlockState();
  m_currentBlock = index;
  CStatus status(3712u);
  auto pattern = std::make_shared<CQLCrystalPattern>();
  pattern->SetFilePath(GetFilePath());
  m_crystal = pattern->GetCrystal();
  if (index < GetBlockCount(false)) {
    uint32_t passed = 0;
    for (const BlockRecord& block : m_blocks) {
      if (passed > index) break;
      if (passed == index) {
        SeekTo(static_cast<long>(block.m_start));
        ParseBlock();
        ReleaseViewPages();
      }
      if (block.m_flag) ++passed;
    }
  }
  m_crystal->m_state = 0;
  pattern->SetSelected(true);
  pattern->SetShown(true);
  pattern->m_title = m_blockName;
  pattern->m_settingsPending = 1;
  RequireCellLengths();
  if (!AcceptCellOf(*pattern)) {
    ClearRecords();
    m_crystal = nullptr;
    return;
  }
  FinishStructure();
  m_crystal = nullptr;
  if (m_readTarget) m_readTarget->push_back(pattern);
}

void CQLCIFFile::ParseBlock() {
  m_blockName.Empty();
  const long remembered = Position();
  bool named = false;
  for (int c = NextChar(); c >= 0; c = NextChar()) {
    if (c == '#') {
      SkipLine();
    } else if (c == 'D' || c == 'd') {
      std::string rest;
      for (int k = 0; k < 80; ++k) {
        const int n = NextChar();
        if (n < 0 || n == '\n' || n == '\r') break;
        rest += static_cast<char>(n);
      }
      if (rest.find("ata_") == std::string::npos) continue;
      if (named) break;
      named = true;
      std::string name = rest.size() > 4 ? rest.substr(4) : std::string();
      while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
      m_blockName = CString(name.c_str());
    } else if (c == 'G' || c == 'g' || c == 'S' || c == 's') {
      // global_, save_ and stop_ are never values, so an item without one leaves them here:
      // passed over whole, not read letter by letter as loops or item names.
      PushBack(c);
      if (!AtReservedWord()) {
        NextChar();
        continue;
      }
      for (int n = NextChar(); n > ' '; n = NextChar()) {
      }
    } else if (c == 'L' || c == 'l') {
      std::string word(1, static_cast<char>(c));
      for (int k = 0; k < 4; ++k) {
        const int n = NextChar();
        if (n < 0) break;
        word += static_cast<char>(n);
      }
      std::string lower = word;
      for (auto& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      if (lower != "loop_") throw CLXXFileCIFUnexpectedItem(kLXSeverityMessage, 0, __LINE__, CString(word.c_str()));
      ReadLoop();
    } else if (c == '_') {
      std::string name(1, '_');
      int n;
      while ((n = NextChar()) >= 33)
        if (name.size() < 80) name += static_cast<char>(n);
      if (n < 0) break;  // a name cut off by the end of the file
      std::string value;
      if (!ReadValue(value)) {
        Warn(true, 2608, CString(name.c_str()));
        continue;
      }
      DispatchItem(name, value);
    }
  }
  // A site given by single items rather than a loop has no later row or loop end to commit it.
  if (!m_current.IsEmpty()) CommitRecord();
  SeekTo(remembered);
}
