#include "TextWriting.h"

#include "LXUtils.h"
#include "NumberLocale.h"
#include "QLCrystal.h"
#include "SpaceGroups.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cwctype>
#include <set>

namespace qlwtext {

std::string Fixed(double value, int decimals, int width) {
  qlw::ScopedCLocale cLocale;
  char text[64];
  if (!std::isfinite(value)) {
    std::snprintf(text, sizeof text, "%*f", width, value);
    return text;
  }
  value += 0.0;  // no "-0.0000"
  const float target = static_cast<float>(value);
  for (int d = decimals;; ++d) {
    std::snprintf(text, sizeof text, "%*.*f", width, d, value);
    if (d >= 10 || static_cast<float>(std::strtod(text, nullptr)) == target) break;
  }
  return text;
}

namespace {
bool AsFraction(double t, std::string& out) {
  for (int n : {1, 2, 3, 4, 6, 8, 12}) {
    const double k = std::round(t * n);
    if (std::fabs(t * n - k) < 1e-6 * n) {
      char text[32];
      // Reduced by the loop order: 2/4 was already found as 1/2.
      if (n == 1)
        std::snprintf(text, sizeof text, "%d", static_cast<int>(k));
      else
        std::snprintf(text, sizeof text, "%d/%d", static_cast<int>(k), n);
      out = text;
      return true;
    }
  }
  return false;
}

// t in (0, 1) as "k/n" for the denominators that symmetry translations use, else as a decimal.
std::string TranslationText(double t) {
  std::string fraction;
  if (AsFraction(t, fraction)) return fraction;
  qlw::ScopedCLocale cLocale;
  char text[32];
  std::snprintf(text, sizeof text, "%.8f", t);
  std::string s = text;
  while (s.size() > 1 && s.back() == '0') s.pop_back();
  return s;
}
}  // namespace

std::string FractionOrFixed(double value, int decimals) {
  const std::string fixed = Fixed(value, decimals);
  std::string fraction;
  if (qlw::StringToDouble(fixed.c_str()) != value && std::fabs(value) < 1000 && AsFraction(value, fraction)) return fraction;
  return fixed;
}

std::string OperatorTriplet(const CSymmetryOperator& op) {
  static const char kAxes[3] = {'x', 'y', 'z'};
  std::string out;
  for (int i = 0; i < 3; ++i) {
    if (i) out += ',';
    std::string row;
    for (int j = 0; j < 3; ++j) {
      const double r = op.m_rotation[i][j];
      if (std::fabs(r) < 0.5) continue;
      if (r < 0)
        row += '-';
      else if (!row.empty())
        row += '+';
      row += kAxes[j];
    }
    double t = op.m_translation[i] - std::floor(op.m_translation[i]);
    if (t > 1.0 - 1e-9) t = 0.0;
    if (t > 1e-9) {
      if (!row.empty()) row += '+';
      row += TranslationText(t);
    }
    out += row.empty() ? "0" : row;
  }
  return out;
}

std::vector<std::string> SiteLabels(const std::vector<CQLSite>& sites) {
  std::vector<std::string> labels;
  labels.reserve(sites.size());
  std::set<std::string> used;
  for (const CQLSite& site : sites) {
    std::wstring text(site.m_label.GetString());
    const size_t first = text.find_first_not_of(L" \t\r\n\v\f");
    text.erase(0, first == std::wstring::npos ? text.size() : first);
    while (!text.empty() && std::iswspace(static_cast<wint_t>(text.back()))) text.pop_back();
    for (wchar_t& c : text)
      if (std::iswspace(static_cast<wint_t>(c)) || std::iswcntrl(static_cast<wint_t>(c))) c = L'_';
    // Records find their site by its label, so none may be empty.
    if (text.empty()) text = site.m_species.empty() ? std::wstring(L"X") : std::wstring(site.m_species.front().m_name.GetString());
    const std::string base = qlw::ToUtf8(text);
    std::string label = base;
    for (int n = 2; !used.insert(label).second; ++n) label = base + "_" + std::to_string(n);
    labels.push_back(label);
  }
  return labels;
}

CrystalSymmetry GetCrystalSymmetry(const CQLCrystal& crystal) {
  CrystalSymmetry out;
  static const std::string kLetters = "PABCFIR";
  auto valid = [](wchar_t c) { return c > 0 && c < 128 && kLetters.find(static_cast<char>(c)) != std::string::npos; };
  CString symbol = crystal.m_spaceGroupSymbol;
  wchar_t symbolLattice = 0;
  int count = 0;
  std::vector<CString> texts;
  const bool known = LookupSpaceGroupOperators(symbol, crystal.m_originChoice, crystal.m_alpha, crystal.m_beta,
                                               crystal.m_gamma, symbolLattice, count, texts);
  if (!crystal.m_operators.empty()) {
    if (valid(crystal.m_latticeLetter)) {
      out.lattice = crystal.m_latticeLetter;
    } else if (known && valid(symbolLattice)) {
      // An unset letter is written as the letter of the space group, never as a NUL byte.
      out.lattice = static_cast<char>(symbolLattice);
    } else {
      std::vector<CString> formatted;
      for (const CSymmetryOperator& op : crystal.m_operators) formatted.push_back(op.Format(0));
      out.lattice = static_cast<char>(DetectLatticeFromOperators(formatted, formatted.size()));
    }
    // A crystal may hold its operators with the centring translations already added.
    out.operators = UniqueOperators(RemoveCentringOperators(crystal.m_operators, static_cast<wchar_t>(out.lattice)));
    return out;
  }
  if (known) {
    for (const CString& t : texts) out.operators.emplace_back(t.GetString());
    if (valid(symbolLattice)) out.lattice = static_cast<char>(symbolLattice);
  } else {
    out.operators.emplace_back(L"x,y,z");
  }
  return out;
}

std::vector<CSymmetryOperator> UniqueOperators(const std::vector<CSymmetryOperator>& operators) {
  std::vector<CSymmetryOperator> out;
  out.reserve(operators.size());
  for (const CSymmetryOperator& op : operators) {
    bool seen = false;
    for (const CSymmetryOperator& kept : out) seen = seen || (kept.HasSameRotation(op) && kept.HasSameTranslation(op));
    if (!seen) out.push_back(op);
  }
  return out;
}

std::vector<CSymmetryOperator> FullOperators(const CQLCrystal& crystal) {
  std::vector<CSymmetryOperator> operators;
  crystal.GetFullOperatorList(operators);
  return UniqueOperators(operators);
}

bool HasDisplacements(const CQLCrystal& crystal) {
  if (crystal.m_hasDisplacements) return true;
  for (const CQLSite& site : crystal.m_sites)
    if (site.m_displacement) return true;
  return false;
}

std::string ProgramVersionText() {
  CString product, legal, version;
  if (!CUtils::GetAppVersionInfo(product, legal, version, nullptr)) return std::string();
  return version.ToUtf8();
}

void WriteAll(FILE* stream, const std::string& text) {
  if (!stream) throw CLXXFile(kLXSeverityMessage, EBADF, __LINE__);
  if (std::fwrite(text.data(), 1, text.size(), stream) != text.size() || std::fflush(stream) != 0 ||
      std::ferror(stream))
    throw CLXXFile(kLXSeverityMessage, errno ? errno : EIO, __LINE__);
}
}  // namespace qlwtext
