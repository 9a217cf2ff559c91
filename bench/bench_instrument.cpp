// A wavelength edit in the inspector's 2θ instrument pane on rutile, from the field's accepted
// value to the repainted plot: the pane's apply, the document's recompute of every shown pattern
// and the canvas's full paint with a new renderer. The goal is under 16 ms.
// Run by hand: bench_instrument [--runs N] [--cif CIF].
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchWindow.h"
#include "DiffractWnd.h"
#include "FileTypes.h"
#include "GraphicsPane.h"
#include "InstrumentPane.h"
#include "LXDocTemplate.h"
#include "LXMessage.h"
#include "ParametersPane.h"
#include "Preferences.h"
#include "QlwDoc.h"

using benchwindow::Median;

int main(int argc, char** argv) {
  benchwindow::OffscreenRegistry registry;
  QApplication app(argc, argv);
  int runs = 41;
  std::string cif = QLW_SOURCE_DIR "/examples/rutile.cif";
  runs = benchwindow::RunsOption(argc, argv, runs);
  for (int i = 1; i + 1 < argc; ++i)
    if (!std::strcmp(argv[i], "--cif")) cif = argv[i + 1];

  std::unique_ptr<CLXDocTemplate> docTemplate;
  CDiffractWnd* wnd = benchwindow::OpenWindow(docTemplate, CString(cif.c_str()));
  auto* host = wnd ? dynamic_cast<CParametersPane*>(wnd->GetParametersPane()) : nullptr;
  if (!wnd || !host) {
    std::fprintf(stderr, "bench_instrument: no window\n");
    return 1;
  }
  CQlwDoc* doc = wnd->GetDocument();
  host->ShowParametersTab();
  CDiscloseablePane* pane = host->FindPane(CInstrumentTTHPane::kTemplateId);
  auto* lambda = pane ? dynamic_cast<CLXEdit<double>*>(
                            CWnd::FromHandlePermanent(::GetDlgItem(pane->m_hWnd, CInstrumentPane::kWavelength)))
                      : nullptr;
  if (!lambda) {
    std::fprintf(stderr, "bench_instrument: no wavelength field\n");
    return 1;
  }
  pane->Disclose(true, true);
  CImagingPane& canvas = wnd->GetGraphicsPane()->GetCanvas();

  std::vector<double> times, applies;
  int missed = 0;
  for (int run = 0; run < runs; ++run) {
    // Past the canvas's paint throttle, so that the edit is painted at once.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    QApplication::processEvents();
    const CGraphRenderer* before = canvas.GetRenderer().get();
    const auto start = std::chrono::steady_clock::now();
    // As the slider or the spinner sets it: the field announces the value to the pane.
    lambda->SetValue(run % 2 ? 1.5405 : 1.5406, true);
    applies.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    QElapsedTimer waited;
    waited.start();
    while (canvas.GetRenderer().get() == before && waited.elapsed() < 1000)
      QApplication::processEvents(QEventLoop::AllEvents, 1);
    const auto end = std::chrono::steady_clock::now();
    if (canvas.GetRenderer().get() == before) {
      ++missed;
      continue;
    }
    times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  std::size_t reflexions = 0;
  for (const CQLPatternPtr& p : doc->GetPatterns())
    if (const CQLCrystal* crystal = p->GetCrystal()) reflexions += crystal->m_reflexions.size();
  std::printf("wavelength edit to repainted plot (%zu reflexions): median %.2f ms, best %.2f ms over %zu runs%s\n",
              reflexions, times.empty() ? 0.0 : Median(times),
              times.empty() ? 0.0 : *std::min_element(times.begin(), times.end()), times.size(),
              missed ? " (some edits were not painted within 1 s)" : "");
  std::printf("of which the pane's apply with the document's recompute and the views' refresh: median %.2f ms\n",
              applies.empty() ? 0.0 : Median(applies));
  if (wnd->m_hWnd) wnd->DestroyWindow();
  return 0;
}
