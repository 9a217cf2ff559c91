// Times a parameter change through the document: from DispatchUpdateHint to the last view
// notified (no drawing), for rutile and for the 93,000 Å³ cell, on the default 72,000-point grid.
// Two changes: an occupancy edit (code 10: the selected structure recomputed, hints 45, 22, 45)
// and an instrument edit (code 7: every pattern recomputed, profile and autoscale, hint 45).
// Usage: bench_document [GIANT.cif]
#include "FileTypes.h"
#include "QLCrystal.h"
#include "QlwDoc.h"

#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {
constexpr int kRuns = 20;  // the best counts: the machine is shared
using Clock = std::chrono::steady_clock;

// Notes when it was last told anything; the outer hint reaches the views last.
class TimingView : public CView {
 public:
  void OnDraw(CDC*) override {}
  void OnUpdate(CView*, LPARAM, CObject*) override { last = Clock::now(); }
  Clock::time_point last;
};

double Best(CQlwDoc& doc, TimingView& lastView, int code) {
  double best = 1e300;
  for (int i = 0; i < kRuns; ++i) {
    CUpdateHint hint(code, &doc);
    const Clock::time_point start = Clock::now();
    doc.DispatchUpdateHint(hint);
    best = std::min(best, std::chrono::duration<double, std::milli>(lastView.last - start).count());
  }
  return best;
}

int Measure(const std::string& path, const char* name) {
  if (!std::filesystem::exists(path)) {
    std::printf("%s: %s is absent, skipped\n", name, path.c_str());
    return 0;
  }
  CQlwDoc doc;
  doc.m_bAutoDelete = FALSE;
  if (!doc.OnOpenDocument(CString(path.c_str()).GetString()) || doc.GetPatterns().empty()) {
    std::fprintf(stderr, "%s: %s could not be opened\n", name, path.c_str());
    return 1;
  }
  // The four panes of a diffraction window.
  TimingView views[4];
  for (TimingView& v : views) doc.AddView(&v);
  const CQLPatternPtr& pattern = doc.GetPatterns().front();
  std::printf("%s: %zu reflexions, %zu profile points\n", name, pattern->GetCrystal()->m_reflexions.size(),
              pattern->GetProfile().size());
  std::printf("%s: occupancy change (code 10)  %.3f ms\n", name, Best(doc, views[3], kHintOccupancy));
  std::printf("%s: instrument change (code 7)  %.3f ms\n", name, Best(doc, views[3], kHintInstrument));
  for (TimingView& v : views) doc.RemoveView(&v);
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  InstallFileTypeRecogniser();
  std::printf("threads %d, grid %llu points\n", omp_get_max_threads(),
              static_cast<unsigned long long>(CDiffractionSettings(true).m_numProfilePoints));
  const std::string giant = argc > 1 ? argv[1] : QLW_TESTDATA_DIR "/cif/20_TaCuAl_giant_COD2104374.cif";
  int status = Measure(QLW_SOURCE_DIR "/examples/rutile.cif", "rutile");
  status |= Measure(giant, "giant cell");
  return status;
}
