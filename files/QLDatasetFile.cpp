// The x–y data set and the line reading it shares with the Rigaku file.
#include "QLDatasetFile.h"

#include "LXUtils.h"
#include "NumberLocale.h"
#include "QLObservedPattern.h"
#include "Status.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <new>
#include <stdexcept>
#include <vector>

namespace {
constexpr int kMaxLineLength = 255;
constexpr uint32_t kDatasetType = 12;

// Both numbers of a point, when the line starts with two finite ones.
bool ScanPoint(const std::string& line, CQLProfilePoint& point) {
  float x = 0.0f, y = 0.0f;
  if (qlw::ScanC(line.c_str(), "%f %f", &x, &y) != 2) return false;
  // "nan" and overflowing numbers scan as values but would poison every sum over the points.
  if (!std::isfinite(x) || !std::isfinite(y)) return false;
  point = {double(x), double(y)};
  return true;
}
}  // namespace

CQLObservedDataFile::CQLObservedDataFile() { m_fileType = kDatasetType; }

CQLObservedDataFile::~CQLObservedDataFile() = default;

bool CQLObservedDataFile::ReadDataLine(std::string& line) {
  line.clear();
  int c = NextChar();
  if (c < 0) return false;
  for (; c >= 0 && c != '\n' && c != 0; c = NextChar()) {
    if (c == '\r') {
      const int next = NextChar();
      if (next != '\n') PushBack(next);
      break;
    }
    if (line.size() < size_t(kMaxLineLength)) line += static_cast<char>(c);
  }
  if (c == 0) m_zeroByteSeen = true;
  return true;
}

bool CQLObservedDataFile::StartsAsText() {
  // Enough to tell a program or an image from measured data, and quick on a large data set.
  constexpr size_t kSample = 64 * 1024;
  SeekTo(0);
  std::vector<uint8_t> bytes;
  bytes.reserve(kSample);
  for (int c; bytes.size() < kSample && (c = NextChar()) >= 0;) bytes.push_back(static_cast<uint8_t>(c));
  SeekTo(0);
  size_t foreign = 0;
  for (size_t i = 0; i < bytes.size();) {
    const uint8_t b = bytes[i];
    if (b == 0) return false;
    if (b < 0x80) {
      const bool space = b == '\t' || b == '\n' || b == '\r' || b == '\f' || b == '\v';
      if ((b < 0x20 && !space) || b == 0x7F) ++foreign;
      ++i;
      continue;
    }
    // A UTF-8 sequence is text; a lone high byte (a degree sign in Latin-1) is counted against it.
    const size_t length = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b <= 0xDF ? 2 : 0;
    size_t k = 1;
    while (length > 0 && k < length && i + k < bytes.size() && (bytes[i + k] & 0xC0) == 0x80) ++k;
    const bool cutBySample = i + k == bytes.size() && bytes.size() == kSample;
    if (length > 0 && (k == length || cutBySample)) {
      i += k;
    } else {
      ++foreign;
      ++i;
    }
  }
  // Text in an 8-bit code page or with a stray control character passes; a binary file does not.
  return foreign * 10 <= bytes.size() * 3;
}

void CQLObservedDataFile::MakePattern(CQLProfile points) {
  // Everything downstream (mixtures, background, interpolation) walks the points by rising x;
  // a scan recorded from high angle to low would add nothing and get no background.
  const auto byX = [](const CQLProfilePoint& a, const CQLProfilePoint& b) { return a.x < b.x; };
  if (!std::is_sorted(points.begin(), points.end(), byX)) std::stable_sort(points.begin(), points.end(), byX);
  m_pattern = std::make_unique<CQLObservedPattern>(std::move(points), false);
  m_pattern->SetFilePath(GetFilePath());
  m_pattern->m_title = GetFileTitle();
  m_pattern->SetShown(true);
  m_pattern->m_settingsPending = 1;
}

void CQLObservedDataFile::AppendPattern() {
  CQLPatternPtr pattern(m_pattern.release());
  if (pattern && m_readTarget) m_readTarget->push_back(std::move(pattern));
}

CQLDatasetFile::CQLDatasetFile() = default;

bool CQLDatasetFile::TestFile(const wchar_t* path, uint32_t& typeCode) {
  typeCode = 0;
  try {
    CQLDatasetFile file;
    if (!file.Open(path, modeRead | shareDenyWrite)) return false;
    if (!file.StartsAsText()) return false;
    std::string line;
    CQLProfilePoint point;
    while (file.ReadDataLine(line)) {
      if (ScanPoint(line, point)) {
        typeCode = kDatasetType;
        return true;
      }
    }
  } catch (...) {
    // A content test answers no rather than failing the recogniser.
  }
  return false;
}

bool CQLDatasetFile::ReadFile(CQLPatternList* target, CDiffractionSettings* settings,
                              CQlwDocWindowState* windowState) {
  m_readTarget = target;
  m_readSettings = settings;
  m_readWindowState = windowState;
  try {
    try {
      if (!IsStreamOpen()) throw CLXXFileNotOpen(kLXSeverityMessage, 0, __LINE__);
      CStatus status(1300u);
      ReadBlock(0);
      AppendPattern();
    } catch (const std::bad_alloc&) {
      throw CLXXFile(kLXSeverityMessage, ENOMEM, __LINE__);
    } catch (const std::length_error&) {
      throw CLXXFile(kLXSeverityMessage, ENOMEM, __LINE__);
    }
  } catch (CLXException& e) {
    // Reported here like every other format, so that the caller tests only the answer.
    m_pattern.reset();
    Close();
    e.Report();
    return false;
  }
  return true;
}

void CQLDatasetFile::ReadBlock(uint32_t /*index*/) {
  // A program or any other binary file has lines of two numbers by chance: they are no pattern.
  if (!StartsAsText()) throw CLXXFileUnsupportedType(kLXSeverityMessage, 0, __LINE__, GetFilePath());
  const int lines = m_stream ? CountTextLines(m_stream) : 0;
  if (lines <= 0) throw CLXXFileNoData(kLXSeverityMessage, 0, __LINE__);
  SeekTo(0);
  CQLProfile points;
  // A point takes at least four bytes, so a file of empty lines reserves no more than it holds.
  points.reserve(size_t(std::min<uint64_t>(uint64_t(lines), GetLength() / 4 + 1)));
  std::string line;
  CQLProfilePoint point;
  m_zeroByteSeen = false;
  while (ReadDataLine(line))
    if (ScanPoint(line, point)) points.push_back(point);
  if (m_zeroByteSeen) throw CLXXFileUnsupportedType(kLXSeverityMessage, 0, __LINE__, GetFilePath());
  // A file without a single point is no data set, whatever else it holds.
  if (points.empty()) throw CLXXFileNoData(kLXSeverityMessage, 0, __LINE__);
  MakePattern(std::move(points));
}
