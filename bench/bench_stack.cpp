// Times the Stacked command (33592) over ten shown observed patterns of 72,000 points each, from
// the command to the last view told (no drawing), and Collapsed (33568) for comparison.
// Usage: bench_stack
#include "QLObservedPattern.h"
#include "QlwDoc.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace {
constexpr int kRuns = 20;  // the best counts: the machine is shared
constexpr int kPatterns = 10;
constexpr int kPoints = 72000;
using Clock = std::chrono::steady_clock;

double Best(CQlwDoc& doc, UINT command) {
  double best = 1e300;
  for (int i = 0; i < kRuns; ++i) {
    const Clock::time_point start = Clock::now();
    doc.OnDocCommand(command);
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return best;
}
}  // namespace

int main() {
  CQlwDoc doc;
  doc.m_bAutoDelete = FALSE;
  for (int p = 0; p < kPatterns; ++p) {
    CQLProfile points(kPoints);
    for (int i = 0; i < kPoints; ++i) {
      const double x = 180.0 * i / kPoints;
      points[i] = {x, 100.0 * (p + 1) * std::exp(-std::pow(x - 10.0 * (p + 2), 2.0)) + 5.0};
    }
    auto pattern = std::make_shared<CQLObservedPattern>(points);
    pattern->SetShown(true);
    doc.GetPatterns().push_back(pattern);
  }
  CDiffractionSettings& s = *doc.GetSettings();
  s.m_defaultXMin = s.m_visibleXMin = 0.0;
  s.m_defaultXMax = s.m_visibleXMax = 180.0;
  std::printf("%d patterns of %d points\n", kPatterns, kPoints);
  std::printf("stacked (33592)    %.3f ms\n", Best(doc, 33592));
  std::printf("collapsed (33568)  %.3f ms\n", Best(doc, 33568));
  return 0;
}
