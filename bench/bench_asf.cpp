// The scattering-factors palette: its graph of the whole built-in table (102 curves) at 1200 px
// wide, goal under 16 ms a drawing; and the import of a table file of 10,000 lines, goal under
// 50 ms. Run by hand: QT_QPA_PLATFORM=offscreen bench_asf [--runs N] [--save PNG].
#include "ASFTableFile.h"
#include "LXGdiplus.h"
#include "ScatteringFactors.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
double Ms(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
  int runs = 20;
  const char* save = nullptr;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--save") == 0) save = argv[i + 1];
  }
  setenv("QLW_QUIET", "1", 1);
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);

  CScatteringFactors palette;
  const RECT rect{0, 0, 1200, 500};
  Gdiplus::Bitmap bitmap(rect.right, rect.bottom, Gdiplus::PixelFormat32bppARGB);
  Gdiplus::Graphics graphics(&bitmap);
  palette.DrawRecords(&graphics, rect, CScatteringFactors::RenderRequest(), true, g_ElementTable);
  std::vector<double> drawings;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    palette.DrawRecords(&graphics, rect, CScatteringFactors::RenderRequest(), true, g_ElementTable);
    drawings.push_back(Ms(t0, std::chrono::steady_clock::now()));
  }
  if (save) bitmap.Q().save(QString::fromUtf8(save), "PNG");
  std::printf("graph of %zu records at %ld px: %.2f ms median of %d (goal 16 ms)\n", g_ElementTable.size(),
              static_cast<long>(rect.right), Median(drawings), runs);

  std::vector<CLXASF> big;
  while (big.size() < 10000) big.push_back(g_ElementTable[big.size() % g_ElementTable.size()]);
  char folder[] = "/tmp/bench_asf.XXXXXX";
  if (!mkdtemp(folder)) return 1;
  const std::string path = std::string(folder) + "/table.txt";
  const std::wstring wide(path.begin(), path.end());
  WriteASFFile(wide.c_str(), big);
  std::vector<double> reads;
  std::vector<CLXASF> read;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    if (!ReadASFFile(wide.c_str(), read) || read.size() != big.size()) return 1;
    reads.push_back(Ms(t0, std::chrono::steady_clock::now()));
  }
  std::printf("import of %zu lines: %.2f ms median of %d (goal 50 ms)\n", big.size(), Median(reads), runs);
  std::remove(path.c_str());
  rmdir(folder);
  return 0;
}
