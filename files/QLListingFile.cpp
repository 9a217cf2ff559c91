#include "QLListingFile.h"

#include "LXUtils.h"
#include "QLCrystalPattern.h"
#include "Status.h"

#include <cmath>
#include <iterator>

namespace {
const double kDegreesPerRadian = 180.0 / std::acos(-1.0);

std::string LoadNarrow(UINT id) {
  CString text;
  text.LoadString(id);
  return text.ToUtf8();
}

// The listings are plain ASCII: typographic characters of the program's texts are spelt out.
std::string PlainText(const CString& text) {
  std::string out;
  for (int i = 0; i < text.GetLength(); ++i) {
    const wchar_t c = text[i];
    switch (c) {
      case L'\u00C5': out += "A"; break;
      case L'\u2022': out += "*"; break;
      case L'\u00A9': out += "(C)"; break;
      case L'\u00B0': out += "deg"; break;
      case L'\u201C':
      case L'\u201D': out += "\""; break;
      case L'\u00AE': out += "(R)"; break;
      case L'\u2018':
      case L'\u2019': out += "'"; break;
      case L'\u2122': out += "(TM)"; break;
      default: out += qlw::ToUtf8(std::wstring(1, c)); break;
    }
  }
  return out;
}
}  // namespace

void WriteListingBanner(FILE* stream, const CString& title) {
  std::fputs(LoadNarrow(1308).c_str(), stream);
  if (!title.IsEmpty()) std::fprintf(stream, "%s\n\n", PlainText(title).c_str());
  CString product, legal, version;
  uint32_t packed = 0;
  if (!CUtils::GetAppVersionInfo(product, legal, version, &packed)) product = L"Quillonographic";
  CString format, note;
  format.LoadString(1307);
  note.Format(format, product.GetString(), version.GetString());
  std::fputs(PlainText(note).c_str(), stream);
}

double RoundToDecimals(double v, int n) {
  const auto p = static_cast<double>(static_cast<int64_t>(std::pow(10.0, n)));
  const double scaled = p * v;
  auto i = static_cast<int64_t>(scaled);
  if (std::fabs(scaled - static_cast<double>(i)) >= 0.5) i += scaled < 0 ? -1 : 1;
  return static_cast<double>(i) / p;
}

double PhaseInDegrees(double radians) {
  const double p = RoundToDecimals(radians * kDegreesPerRadian, 3);
  const double whole = std::trunc(p);
  double phase = std::fmod(whole, 360.0) + (p - whole);
  if (phase < 0) phase += 360.0;
  if (phase >= 360.0) phase = 0.0;
  return phase;
}

bool CQLReflexionTableFile::WriteFile(CQLPatternList* source, CDiffractionSettings* settings,
                                      CQlwDocWindowState* windowState) {
  return WriteGuarded(source, settings, windowState, false);
}

void CQLReflexionTableFile::WriteBlock(uint32_t index) {
  // A listing with no reflexion in it would look like a success: a source without a crystal
  // pattern, a mixture in its place, or a crystal with no reflexion is refused.
  const CQLCrystal* crystal = nullptr;
  if (m_writeSource && index < m_writeSource->size())
    crystal = (*std::next(m_writeSource->begin(), index))->GetCrystal();
  if (!crystal || crystal->m_reflexions.empty()) throw CLXXFileNoReflexions(kLXSeverityMessage, 0, __LINE__);
  CStatus status(ProgressStringId());
  const qlw::ScopedCLocale cLocale;
  if (!m_bannerWritten) {
    WriteListingBanner(m_stream, CString());
    m_bannerWritten = true;
  }
  std::fputs("\n", m_stream);
  WriteTable(*crystal);
  Flush();
}

void CQLListingFile::WriteTable(const CQLCrystal& crystal) {
  std::fputs("  h   k   l   d(hkl)    2-Theta     Intensity  I/Imax   m     N        Lp\n\n", m_stream);
  for (const auto& r : crystal.m_reflexions)
    // The relative intensity is a fraction of the strongest; the column shows percent.
    std::fprintf(m_stream, "%3d %3d %3d %9.5f  %8.4f  %12.5e %6.1f%% %3d  %4d  %8.3f\n", r->h, r->k, r->l, r->d, r->x,
                 r->intensity, r->relativeIntensity * 100.0, r->multiplicity, r->indexNorm, r->lorentzPolarisation);
  std::fputs(LoadNarrow(1308).c_str(), m_stream);
}

void CQLStructFacFile::WriteTable(const CQLCrystal& crystal) {
  std::fputs("ref no.   h   k   l   d(hkl)    Phase       Lp     F(Re)    F(Im)  Intensity\n\n", m_stream);
  int number = 0;
  for (const auto& r : crystal.m_reflexions)
    std::fprintf(m_stream, "[%4d] %4d%4d%4d %8.4f %8.3f %8.2f %8.2f %8.2f %12.5e\n", ++number, r->h, r->k, r->l, r->d,
                 PhaseInDegrees(r->phase), r->lorentzPolarisation, r->A, r->B, r->intensity);
  std::fputs(LoadNarrow(1308).c_str(), m_stream);
}
