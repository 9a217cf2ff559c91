// The Rigaku data file: header keywords, the range check and the intensities.
#include "QLRigakuFile.h"

#include "NumberLocale.h"
#include "QLObservedPattern.h"

#include <cmath>
#include <cstring>

namespace {
constexpr uint32_t kRigakuType = 34;
constexpr UINT kIdsCountDiffers = 2644;
constexpr const char* kWhiteSpace = " \t\n\v\f\r";
// Above this many steps the count cannot be a 32-bit number.
constexpr float kMaxSteps = 1.0e9f;

std::string Trim(const std::string& s) {
  const size_t first = s.find_first_not_of(kWhiteSpace);
  if (first == std::string::npos) return std::string();
  return s.substr(first, s.find_last_not_of(kWhiteSpace) - first + 1);
}

bool StartsWith(const std::string& s, const char* prefix) { return s.compare(0, std::strlen(prefix), prefix) == 0; }

// The key runs to the first white space or "=", so that "*STEP= 0.02" names its key too; the
// value follows the first "=", or is the whole line when there is none.
void SplitHeaderLine(const std::string& line, std::string& key, std::string& value) {
  key = line.substr(0, line.find_first_of(std::string(kWhiteSpace) + "="));
  const size_t equals = line.find('=');
  value = equals == std::string::npos ? line : Trim(line.substr(equals + 1));
}

bool ScanFloat(const std::string& text, float& value) {
  return qlw::ScanC(text.c_str(), "%f", &value) == 1 && std::isfinite(value);
}
}  // namespace

CQLRigakuFile::CQLRigakuFile() = default;

bool CQLRigakuFile::TestFile(const wchar_t* path, uint32_t& typeCode) {
  typeCode = 0;
  try {
    CQLRigakuFile file;
    if (!file.Open(path, modeRead | shareDenyWrite)) return false;
    static const char* const kKeys[] = {"*COUNT", "*START", "*STEP", "*STOP"};
    bool seen[4] = {};
    int count = 0;
    std::string line;
    while (count < 4 && file.ReadDataLine(line)) {
      line = Trim(line);
      for (int i = 0; i < 4; ++i) {
        if (!StartsWith(line, kKeys[i])) continue;
        if (!seen[i]) ++count;
        seen[i] = true;
        break;
      }
    }
    if (count == 4) {
      typeCode = kRigakuType;
      return true;
    }
  } catch (...) {
    // A content test answers no rather than failing the recogniser.
  }
  return false;
}

void CQLRigakuFile::ReadBlock(uint32_t /*index*/) {
  int count = 0;
  float start = 0.0f, step = 0.0f, stop = 0.0f;
  bool hasCount = false, hasStart = false, hasStep = false, hasStop = false;
  std::string line, key, value;
  while (!(hasCount && hasStart && hasStep && hasStop) && ReadDataLine(line)) {
    SplitHeaderLine(Trim(line), key, value);
    if (key == "*COUNT") {
      if (qlw::ScanC(value.c_str(), "%d", &count) != 1) throw CLXXFileRigakuBadCount(kLXSeverityMessage, 0, __LINE__);
      hasCount = true;
    } else if (key == "*START") {
      if (!ScanFloat(value, start)) throw CLXXFileRigakuBadStart(kLXSeverityMessage, 0, __LINE__);
      hasStart = true;
    } else if (key == "*STEP") {
      if (!ScanFloat(value, step)) throw CLXXFileRigakuBadStep(kLXSeverityMessage, 0, __LINE__);
      hasStep = true;
    } else if (key == "*STOP") {
      if (!ScanFloat(value, stop)) throw CLXXFileRigakuBadStop(kLXSeverityMessage, 0, __LINE__);
      hasStop = true;
    }
  }
  if (!(hasCount && hasStart && hasStep && hasStop)) throw CLXXFileRigakuDataset(kLXSeverityMessage, 0, __LINE__);

  const float steps = step == 0.0f ? 0.0f : (stop - start) / step;
  if (step == 0.0f || stop == start || !std::isfinite(steps) || std::fabs(steps) > kMaxSteps || count < 1 ||
      count != int(std::lround(steps)) + 1)
    throw CLXXFileRigakuBadRange(kLXSeverityMessage, 0, __LINE__);

  CQLProfile points;
  points.reserve(size_t(std::min<uint64_t>(uint64_t(count), GetLength() / 2 + 1)));
  double x = start;
  while (ReadDataLine(line)) {
    line = Trim(line);
    if (line == "*END") break;
    size_t at = 0;
    while (at < line.size()) {
      const size_t comma = line.find(',', at);
      const size_t end = comma == std::string::npos ? line.size() : comma;
      if (end > at) {
        float y = 0.0f;
        if (!ScanFloat(line.substr(at, end - at), y)) throw CLXXFileRigakuBadYValue(kLXSeverityMessage, 0, __LINE__);
        points.push_back({x, double(y)});
        x += double(step);
      }
      at = end + 1;
    }
  }
  // A sound header alone is no scan: nothing to place, so nothing to add.
  if (points.empty()) throw CLXXFileNoData(kLXSeverityMessage, 0, __LINE__);
  // The values are kept as placed; the user is told that the header counts otherwise.
  if (points.size() != size_t(count))
    LogStringColor(kIdsCountDiffers, 0xFFFF0000u, static_cast<int>(points.size()), count);
  MakePattern(std::move(points));
  AppendPattern();
}
