// The inspector host on rutile with every pane of a tab open: one update hint (each pane's refresh,
// then the relayout), and a switch between the tabs. The goals are under 2 ms and under 16 ms.
// Run by hand: bench_parameters_host [--runs N] [--cif CIF].
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DiffractWnd.h"
#include "FileTypes.h"
#include "GraphicsPane.h"
#include "LXDocTemplate.h"
#include "LXMessage.h"
#include "ParametersPane.h"
#include "Preferences.h"
#include "QlwDoc.h"
#include "UpdateHint.h"

namespace {
double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Median and best of runs of work, in ms.
std::pair<double, double> Time(int runs, const std::function<void(int)>& work) {
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    work(run);
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  return {Median(times), *std::min_element(times.begin(), times.end())};
}
}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir registry;
  qputenv("QLW_REGISTRY_DIR", QDir(registry.path()).filePath("registry").toUtf8());
  QApplication app(argc, argv);
  int runs = 101;
  std::string cif = QLW_SOURCE_DIR "/examples/rutile.cif";
  for (int i = 1; i + 1 < argc; ++i) {
    if (!std::strcmp(argv[i], "--runs")) runs = std::max(1, std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--cif")) cif = argv[i + 1];
  }

  InstallFileTypeRecogniser();
  CPreferences::Create(true);
  g_pPreferences->m_MainFrameRect.Set(CRect(0, 0, 1000, 600));
  auto docTemplate = std::make_unique<CLXDocTemplate>(1030, RUNTIME_CLASS(CQlwDoc), RUNTIME_CLASS(CDiffractWnd),
                                                      RUNTIME_CLASS(CGraphicsPane));
  const CString file(cif.c_str());
  auto* doc = dynamic_cast<CQlwDoc*>(docTemplate->OpenDocumentFile(file.GetString(), TRUE));
  auto* wnd = doc ? dynamic_cast<CDiffractWnd*>(doc->GetDiffractWnd()) : nullptr;
  auto* host = wnd ? dynamic_cast<CParametersPane*>(wnd->GetParametersPane()) : nullptr;
  if (!host) {
    std::fprintf(stderr, "bench_parameters_host: no window\n");
    return 1;
  }
  LXAppWindows::SetMainWindow(wnd->m_hWnd, true);
  wnd->SendMessage(g_msgInitialOpen, 0, 0);
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  for (const CQLPatternPtr& p : doc->GetPatterns()) p->SetSelected(true);

  for (const bool format : {true, false}) {
    if (format) host->ShowFormatTab();
    else host->ShowParametersTab();
    host->DiscloseAll(true);
    QApplication::processEvents();
    // A hint from elsewhere (no sender): every pane that wants it refreshes, then the host relays out.
    CUpdateHint hint(6, doc);
    const auto [median, best] = Time(runs, [&](int) {
      host->OnUpdate(nullptr, reinterpret_cast<LPARAM>(&hint), nullptr);
    });
    std::printf("%s tab, every pane open: one hint refreshed and relaid out: median %.3f ms, best %.3f ms over %d runs\n",
                format ? "Format" : "Parameters", median, best, runs);
  }
  const auto [median, best] = Time(runs, [&](int run) {
    if (run % 2) host->ShowFormatTab();
    else host->ShowParametersTab();
  });
  std::printf("tab switch: median %.3f ms, best %.3f ms over %d runs\n", median, best, runs);
  if (wnd->m_hWnd) wnd->DestroyWindow();
  return 0;
}
