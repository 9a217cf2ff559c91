#include "QLProfileFile.h"

#include "DiffractionSettings.h"
#include "Status.h"

#include <cmath>
#include <cstdio>
#include <sstream>

namespace {
bool TwoNumbers(const std::string& line) {
  float x, y;
  return qlw::ScanC(line.c_str(), "%f %f", &x, &y) == 2;
}

bool IsHeader(const std::string& line) {
  std::istringstream tokens(line);
  std::string first, second;
  tokens >> first >> second;
  return first == "x" && !second.empty() && (second[0] == '"' || second == "intensity");
}
}  // namespace

bool CQLProfileFile::TestFile(const wchar_t* path, uint32_t& typeCode) {
  typeCode = 0;
  try {
    CQLProfileFile file;
    if (!file.Open(path, modeRead | shareDenyWrite)) return false;
    if (!file.StartsAsText()) return false;
    std::string first, second;
    if (file.ReadLine(first, 256) <= 0) return false;
    if (!IsHeader(first) && !TwoNumbers(first)) return false;
    if (file.ReadLine(second, 256) < 0 || !TwoNumbers(second)) return false;
    typeCode = 13;
    return true;
  } catch (...) {
    // A content test answers no rather than failing the recogniser.
  }
  return false;
}

bool CQLProfileFile::WriteFile(CQLPatternList* source, CDiffractionSettings* settings,
                               CQlwDocWindowState* windowState) {
  return WriteGuarded(source, settings, windowState, false);
}

void CQLProfileFile::ReadBlock(uint32_t index) {
  CStatus status(3714u);
  CQLDatasetFile::ReadBlock(index);
}

void CQLProfileFile::WriteBlock(uint32_t) {
  // An export with nothing in it would look like a success.
  if (!m_writeSource || CountPatterns(*m_writeSource, false, false, false) == 0)
    throw CLXXFileProfileTooFewPoints(kLXSeverityMessage, 0, __LINE__);
  CStatus status(3731u);
  const CQLPattern& p = *m_writeSource->front();
  const CQLProfile& profile = p.GetProfile(false);
  if (profile.empty() || (p.GetCrystal() && profile.size() <= 4))
    throw CLXXFileProfileTooFewPoints(kLXSeverityMessage, 0, __LINE__);
  const double xMin = m_writeSettings ? m_writeSettings->m_visibleXMin : -HUGE_VAL;
  const double xMax = m_writeSettings ? m_writeSettings->m_visibleXMax : HUGE_VAL;
  const qlw::ScopedCLocale cLocale;
  size_t written = 0;
  const double scale = p.GetDrawnScale();
  for (const CQLProfilePoint& point : profile) {
    const double x = point.x + p.m_xOffset;
    if (x > xMax) break;
    if (x < xMin) continue;
    std::fprintf(m_stream, "%.4f\t%10.4e\n", x, point.y * scale + p.m_yOffset);
    ++written;
  }
  if (written == 0) throw CLXXFileProfileTooFewPoints(kLXSeverityMessage, 0, __LINE__);
  Flush();
}
