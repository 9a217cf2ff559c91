// Reader and content test of the text crystal format; the writer is in QLLXTXWriter.cpp.
#include "QLLXTXFile.h"

#include "LXUtils.h"
#include "NumberLocale.h"
#include "QLCIFFile.h"
#include "QLCrystalPattern.h"
#include "SpaceGroups.h"
#include "Status.h"
#include "TextWriting.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace {
constexpr int kLineBuffer = 256;
constexpr size_t kMaxLabel = 30;  // a label fits a buffer of 31 wide characters

bool IsComment(const std::string& text) {
  return !text.empty() && (text[0] == '!' || text[0] == '*' || (text.size() > 1 && text[0] == '/' && text[1] == '/'));
}

std::string TrimLeft(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  return s.substr(i);
}

std::string Trim(const std::string& s) {
  std::string t = TrimLeft(s);
  while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) t.pop_back();
  return t;
}

// The first four characters, a three-character text completed with a blank.
std::string CardOf(const std::string& text) {
  std::string card = text.substr(0, std::min<size_t>(4, text.size()));
  card.resize(4, ' ');
  return card;
}

bool IsCardLine(const std::string& line) {
  if (line.size() < 4) return false;
  for (int i = 0; i < 4; ++i)
    if (!((line[i] >= 'A' && line[i] <= 'Z') || line[i] == '_')) return false;
  return true;
}

// The one rule by which atom lines and the records after them name a site.
std::wstring LabelKey(const std::string& token) {
  std::wstring key(CString(token.c_str()).GetString());
  if (key.size() > kMaxLabel) key.resize(kMaxLabel);
  return key;
}

std::vector<std::string> Tokens(const std::string& line) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::strchr(" \t\n\v\f\r", line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !std::strchr(" \t\n\v\f\r", line[i])) ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

// Numbers are kept in single precision, as the CIF reader keeps them, so that a structure carried
// from one format to the other reads back to the same values.
// A value beyond the float range becomes infinite (the conversion itself would be undefined), so
// that the checks after it refuse it.
double Single(double value) {
  if (std::isnan(value) || std::fabs(value) > FLT_MAX) return std::isnan(value) ? value : std::copysign(HUGE_VAL, value);
  return static_cast<double>(static_cast<float>(value));
}

// The whole token must be a number: "0.5x" is no occupancy.
bool ReadNumber(const std::string& token, double& value) {
  if (!qlw::TryParseDouble(token, value)) return false;
  value = Single(value);
  return true;
}
}  // namespace

CQLLXTXFile::CQLLXTXFile() { m_fileType = 3; }

CQLLXTXFile::~CQLLXTXFile() { Close(); }

// ----- content test -----

bool CQLLXTXFile::TestFile(const wchar_t* path, uint32_t& typeCode) {
  typeCode = 0;
  try {
    CQLLXTXFile file;
    if (!file.Open(path, modeRead | shareDenyWrite)) return false;
    bool molecule = false, cell = false, atom = false;
    std::string line;
    for (int lines = 0; lines < 1000; ++lines) {
      if (file.ReadLine(line, kLineBuffer) < 0) break;
      if (line.size() < 3) continue;
      const std::string card = CardOf(line);
      std::string rest = line;
      std::fill(rest.begin(), rest.begin() + std::min<size_t>(4, rest.size()), ' ');
      static const char* const kForeign[] = {"FVAT", "L.S.", "LATT", "OMIT", "SFAC", "UNIT", "WGHT", "ZERR"};
      for (const char* foreign : kForeign)
        if (card == foreign) return false;
      if (card == "MOLE") {
        molecule = true;
      } else if (card == "CELL") {
        double v[7];
        const int n = qlw::ScanC(rest.c_str(), "%lf %lf %lf %lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                                 &v[6]);
        if (n == 6) {
          cell = v[0] >= 0.1 && v[1] >= 0.1 && v[2] >= 0.1;
          for (int i = 3; i < 6; ++i) cell = cell && v[i] >= 10 && v[i] <= 180;
        }
      } else if (card == "ATOM" || card == "END ") {
        if (file.ReadLine(line, kLineBuffer) < 0) break;
        char first[kLineBuffer], second[kLineBuffer];
        double x = 0, y = 0, z = 0;
        bool scanned = qlw::ScanC(line.c_str(), "%255s %255s %lf %lf %lf", first, second, &x, &y, &z) >= 5;
        if (!scanned) scanned = qlw::ScanC(line.c_str(), "%255s %lf %lf %lf", first, &x, &y, &z) >= 4;
        if (scanned) {
          const size_t length = std::min<size_t>(std::strlen(first), 31);
          atom = (length == 1 || length == 2) && std::isalpha(static_cast<unsigned char>(first[0]));
          if (!molecule) atom = atom && std::fabs(x) <= 2 && std::fabs(y) <= 2 && std::fabs(z) <= 2;
        }
        if (!line.empty()) break;
      }
    }
    if (molecule || (atom && cell)) {
      typeCode = 3;
      return true;
    }
  } catch (...) {
    // A content test answers no rather than failing the recogniser.
  }
  return false;
}

// ----- reading -----

void CQLLXTXFile::ReadBlock(uint32_t) {
  CStatus status(3715u);
  auto pattern = std::make_shared<CQLCrystalPattern>();
  pattern->SetFilePath(GetFilePath());
  m_crystal = pattern->GetCrystal();
  struct Release {
    CQLCrystal*& crystal;
    ~Release() { crystal = nullptr; }
  } release{m_crystal};
  m_siteByFileLabel.clear();
  m_siteByLabel.clear();
  SeekTo(0);
  std::string line;
  while (ReadLine(line, kLineBuffer) >= 0) {
    if (line.size() < 3) continue;
    const std::string text = TrimLeft(line);
    if (IsComment(text)) continue;
    const std::string card = CardOf(text);
    if (card == "titl") throw CLXXFileTextLowercaseCard(kLXSeverityMessage, 0, __LINE__);
    if (!HandleCard(card, text.size() > 4 ? text.substr(4) : std::string()))
      throw CLXXFileConversionErr(kLXSeverityMessage, 0, __LINE__);
  }
  if (m_crystal->m_sites.empty()) throw CLXXFileImportNoAtoms(kLXSeverityMessage, 0, __LINE__);
  pattern->m_title = GetFileTitle();
  if (!AcceptCellOf(*pattern)) return;
  m_crystal->m_state = 0;
  FinishSymmetry();
  m_crystal->MergeCoincidentSites();
  CStatus::SetText(3729u);
  SortSitesByLogicalLabel(m_crystal->m_sites);
  for (size_t i : m_crystal->ExpandSitesBySymmetry()) {
    const CQLSite& site = m_crystal->m_sites[i];
    const double occupancy = site.TotalOccupancy();
    if (occupancy < 1.0 - kOccupancyRounding) Warn(2651u, site.m_label, occupancy);
  }
  pattern->SetSelected(true);
  pattern->SetShown(true);
  pattern->m_title = GetFileTitle();
  pattern->m_settingsPending = 1;
  if (m_readTarget) m_readTarget->push_back(pattern);
}

bool CQLLXTXFile::HandleCard(const std::string& card, const std::string& text) {
  if (card == "CELL") return HandleCell(text);
  if (card == "LATC") return HandleLattice(text);
  if (card == "SPGR") {
    const std::string symbol = Trim(text);
    if (symbol.empty()) return false;
    m_crystal->m_spaceGroupSymbol = CString(symbol.c_str());
    m_hasSpaceGroup = true;
    return true;
  }
  if (card == "SYMM") return HandleSymmetry(text);
  if (card == "OSHF") return HandleOriginShift(text);
  if (card == "MOLE") {
    m_molecule = true;
    throw CLXXFileNoMoleculeDiffract(kLXSeverityMessage, 0, __LINE__);
  }
  if (card == "ATOM" || card == "END ") {
    ReadAtoms();
  } else if (card == "OCCU") {
    ReadOccupancies();
  } else if (card == "UISO" || card == "UANI" || card == "BANI") {
    ReadDisplacements(card);
  }
  return true;  // other cards (TITL, NOTE and the unknown) are skipped
}

bool CQLLXTXFile::HandleCell(const std::string& text) {
  double v[6];
  if (qlw::ScanC(text.c_str(), "%lf %lf %lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) < 6) return false;
  CQLCrystal& c = *m_crystal;
  c.m_a = Single(v[0]), c.m_b = Single(v[1]), c.m_c = Single(v[2]);
  c.m_alpha = Single(v[3]), c.m_beta = Single(v[4]), c.m_gamma = Single(v[5]);
  c.ComputeMetrics();  // throws for a cell that cannot exist
  m_hasCell = true;
  return true;
}

bool CQLLXTXFile::HandleLattice(const std::string& text) {
  const std::string letters = Trim(text);
  // Files written from an unset letter carry nothing readable here: no letter, no error.
  if (letters.empty()) return true;
  m_latticeLetter = 0;
  for (char ch : letters) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (std::strchr("ABCFIPR", upper) && upper != 0) {
      m_latticeLetter = upper;
      break;
    }
  }
  return m_latticeLetter != 0;
}

bool CQLLXTXFile::HandleSymmetry(const std::string& text) {
  const CSymmetryOperator op(CString(Trim(text).c_str()).GetString());
  // A text that is no operator would collapse every site onto a plane.
  double det = 0;
  const auto& r = op.m_rotation;
  det = r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1]) - r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0]) +
        r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]);
  if (std::fabs(std::fabs(det) - 1.0) > 1e-6) return false;
  m_operators.push_back(op);
  return true;
}

bool CQLLXTXFile::HandleOriginShift(const std::string& text) {
  const std::string line = "OSHF" + text;
  for (int i = 0; i < 3; ++i) {
    char field[21];
    if (!GetTextField(line.c_str(), i + 2, field)) return false;
    double value = 0;
    if (CUtils::ParseNumber(CString(field), false, &value) && std::isfinite(value)) m_crystal->m_originShift[i] = value;
  }
  return true;
}

bool CQLLXTXFile::NextBlockLine(std::string& line) {
  for (;;) {
    const long start = Position();
    if (ReadLine(line, kLineBuffer) < 0) return false;
    // Data lines are not trimmed: a comment mark counts only in the first column.
    if (line.size() < 3 || IsComment(line)) continue;
    if (IsCardLine(line)) {
      SeekTo(start);
      return false;
    }
    return true;
  }
}

long CQLLXTXFile::FindSite(const std::string& label) const {
  const std::wstring key = LabelKey(label);
  auto found = m_siteByFileLabel.find(key);
  if (found != m_siteByFileLabel.end()) return static_cast<long>(found->second);
  found = m_siteByLabel.find(key);
  return found == m_siteByLabel.end() ? -1 : static_cast<long>(found->second);
}

void CQLLXTXFile::ReadAtoms() {
  CStatus status(3717u);
  std::string line;
  while (NextBlockLine(line)) {
    char symbol[kLineBuffer], label[kLineBuffer];
    double x = 0, y = 0, z = 0;
    // Where each coordinate's text starts, for the decimals it gives.
    int at[3] = {-1, -1, -1};
    bool hasLabel = qlw::ScanC(line.c_str(), "%2s %255s %n%lf %n%lf %n%lf", symbol, label, &at[0], &x, &at[1], &y,
                               &at[2], &z) == 5;
    if (!hasLabel &&
        qlw::ScanC(line.c_str(), "%2s %n%lf %n%lf %n%lf", symbol, &at[0], &x, &at[1], &y, &at[2], &z) != 4) {
      // A site must not vanish without a word, as from a line cut short.
      const std::vector<std::string> tokens = Tokens(line);
      double number = 0;
      if (!tokens.empty()) {
        const std::string& site = tokens.size() > 1 && !ReadNumber(tokens[1], number) ? tokens[1] : tokens[0];
        Warn(2643u, CString(Trim(line).c_str()), CString(site.c_str()));
      }
      continue;
    }
    x = Single(x), y = Single(y), z = Single(z);
    // A coordinate that is no number must not put the site anywhere.
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
      Warn(2605u, CString(hasLabel ? label : symbol));
      continue;
    }
    const CString species = ElementCodeToString(ElementCodeFromString(CString(symbol)));
    std::wstring siteLabel;
    if (!hasLabel)
      siteLabel = species.GetString();
    else if (std::isdigit(static_cast<unsigned char>(label[0])))
      siteLabel = std::wstring(species.GetString()) + LabelKey(label);  // the whole number: Fe12, not Fe1
    else
      siteLabel = LabelKey(label);
    if (siteLabel.size() > kMaxLabel) siteLabel.resize(kMaxLabel);
    if (siteLabel.empty()) continue;
    CQLSite site;
    site.m_label = CString(siteLabel.c_str());
    site.m_species.emplace_back(species.GetString(), 1.0);
    site.m_x = x, site.m_y = y, site.m_z = z;
    for (int i = 0; i < 3; ++i) {
      const char* text = line.c_str() + at[i];
      site.m_rounding[i] = HalfUnitOfLastDecimal(std::string_view(text, std::strcspn(text, " \t\r\n")));
    }
    site.m_included = true;
    const size_t index = m_crystal->m_sites.size();
    m_crystal->m_sites.push_back(std::move(site));
    m_siteByFileLabel.emplace(LabelKey(hasLabel ? label : symbol), index);
    m_siteByLabel.emplace(siteLabel, index);
  }
  if (m_crystal->m_sites.empty()) throw CLXXFileImportNoAtoms(kLXSeverityMessage, 0, __LINE__);
}

void CQLLXTXFile::ReadOccupancies() {
  CStatus status(3726u);
  std::string line;
  while (NextBlockLine(line)) {
    const std::vector<std::string> tokens = Tokens(line);
    if (tokens.empty()) continue;
    const long index = FindSite(tokens[0]);
    if (index < 0) throw CLXXFileTextInvalidSiteOcc(kLXSeverityMessage, 0, __LINE__);
    // A label alone names no species: emptying the site would leave it nothing to scatter with.
    if (tokens.size() < 2) {
      Warn(2642u, CString(tokens[0].c_str()));
      continue;
    }
    std::vector<CSiteSpecies> species;
    for (size_t i = 1; i < tokens.size(); i += 2) {
      double occupancy = 0;
      if (i + 1 >= tokens.size() || !ReadNumber(tokens[i + 1], occupancy))
        throw CLXXFileTextInvalidSiteOcc(kLXSeverityMessage, 0, __LINE__);
      if (!(occupancy >= 0.0) || !std::isfinite(occupancy)) throw CLXXFileTextInvalidSiteOcc(kLXSeverityMessage, 0, __LINE__);
      // No site holds more than one atom: a larger value is taken as a full site, and said.
      if (occupancy > 1.0 + kOccupancyRounding) {
        Warn(2652u, occupancy, CString(tokens[0].c_str()));
        occupancy = 1.0;
      }
      const CString name = ElementCodeToString(ElementCodeFromString(CString(tokens[i].c_str())));
      species.emplace_back(name.GetString(), occupancy);
    }
    m_crystal->m_sites[static_cast<size_t>(index)].m_species = std::move(species);
  }
}

void CQLLXTXFile::ReadDisplacements(const std::string& card) {
  CStatus status(3716u);
  const bool isotropic = card == "UISO";
  if (card == "UANI" && !m_hasCell) throw CLXXFileTextNoLatticeParams(kLXSeverityMessage, 0, __LINE__);
  const double k = 2.0 * std::acos(-1.0) * std::acos(-1.0);
  std::string line;
  while (NextBlockLine(line)) {
    char label[kLineBuffer];
    double v[6] = {};
    const int n = qlw::ScanC(line.c_str(), "%255s %lf %lf %lf %lf %lf %lf", label, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
    const int needed = isotropic ? 2 : 7;
    for (double& value : v) value = Single(value);
    bool valid = n >= needed;
    for (int i = 0; valid && i < needed - 1; ++i) valid = std::isfinite(v[i]);
    if (valid && isotropic) valid = v[0] >= 0;
    // A bad record loses its own site's displacement only, never those of the sites after it.
    if (!valid) {
      Warn(isotropic ? 2641u : 2640u, CString(Trim(line).c_str()));
      continue;
    }
    const long index = FindSite(label);
    if (index < 0) continue;
    CQLSite& site = m_crystal->m_sites[static_cast<size_t>(index)];
    if (isotropic) {
      site.m_displacement = std::make_unique<CQLThermalEllipsoid>(v[0]);
    } else {
      // File order 11 22 33 12 13 23 into the row-major symmetric tensor.
      const double t[9] = {v[0], v[3], v[4], v[3], v[1], v[5], v[4], v[5], v[2]};
      const double star[3] = {m_crystal->m_aStar, m_crystal->m_bStar, m_crystal->m_cStar};
      double u[9];
      for (int i = 0; i < 9; ++i)
        u[i] = card == "BANI" ? t[i] / (k * star[i / 3] * star[i % 3]) : t[i];
      site.m_displacement = std::make_unique<CQLAnisoThermalEllipsoid>(u, star[0], star[1], star[2]);
    }
    m_crystal->m_hasDisplacements = true;
  }
}

void CQLLXTXFile::FinishSymmetry() {
  CQLCrystal& c = *m_crystal;
  if (!m_operators.empty()) {
    // The cards give the primitive part and the lattice letter; identification wants the full list.
    const wchar_t lattice = m_latticeLetter ? static_cast<wchar_t>(m_latticeLetter) : L'P';
    c.m_latticeLetter = static_cast<char>(lattice);
    c.m_operators = qlwtext::UniqueOperators(
        BuildFullOperatorList(m_operators, CString(), 0, lattice, c.m_alpha, c.m_beta, c.m_gamma));
    c.IdentifySpaceGroup();
    return;
  }
  if (m_hasSpaceGroup) {
    CString symbol = c.m_spaceGroupSymbol;
    int originChoice = 0, system = 0;
    if (ParseSpaceGroupSymbol(symbol, originChoice) &&
        LookupSpaceGroupSymbol(symbol, originChoice, c.m_alpha, c.m_beta, c.m_gamma, system)) {
      c.m_spaceGroupSymbol = symbol;
      c.m_originChoice = originChoice;
      c.m_latticeLetter = static_cast<char>(symbol[0]);
      return;
    }
  }
  // No operators and no symbol that names a group: say so rather than fall silently to P 1.
  CLXXFileMissingSymmetry(kLXSeverityMessage, 0, 0).Report();
  c.m_spaceGroupSymbol = L"P 1";
}
