// One slider step in the inspector's mixture pane on a three-phase mixture (anatase, NaCl,
// quartz), from the slider's notification to the repainted plot: the balance of the fractions,
// the pane's apply and hint, and the canvas's full paint with the summed profile computed anew.
// The goal is under 16 ms. Run by hand: bench_mixture_pane [--runs N].
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
#include <thread>
#include <vector>

#include "BenchWindow.h"
#include "DiffractWnd.h"
#include "FileTypes.h"
#include "GraphicsPane.h"
#include "LXDocTemplate.h"
#include "LXMessage.h"
#include "MixturePane.h"
#include "ParametersPane.h"
#include "Preferences.h"
#include "QLMixturePattern.h"
#include "QlwDoc.h"

using benchwindow::Median;

int main(int argc, char** argv) {
  benchwindow::OffscreenRegistry registry;
  QApplication app(argc, argv);
  int runs = 41;
  runs = benchwindow::RunsOption(argc, argv, runs);

  std::unique_ptr<CLXDocTemplate> docTemplate;
  CDiffractWnd* wnd = benchwindow::OpenWindow(docTemplate, CString(QLW_SOURCE_DIR "/tests/data/anatase.cif"));
  auto* host = wnd ? dynamic_cast<CParametersPane*>(wnd->GetParametersPane()) : nullptr;
  if (!wnd || !host) {
    std::fprintf(stderr, "bench_mixture_pane: no window\n");
    return 1;
  }
  CQlwDoc* doc = wnd->GetDocument();
  doc->AddFilesFromDrop({CString(QLW_SOURCE_DIR "/tests/data/nacl.cif"), CString(QLW_SOURCE_DIR "/tests/data/Quartz.cif")});
  const CQLPatternList phases(doc->GetPatterns().begin(), doc->GetPatterns().end());
  const CQLPatternPtr mixture = doc->NewMixtureFromPatterns(phases);
  if (!mixture || phases.size() != 3) {
    std::fprintf(stderr, "bench_mixture_pane: no three-phase mixture\n");
    return 1;
  }
  // The mixture alone selected, as a click on its row leaves it.
  for (const CQLPatternPtr& p : phases) p->SetSelected(false);
  mixture->SetSelected(true);
  CUpdateHint selection(23, doc);
  doc->DispatchUpdateHint(selection);
  host->ShowParametersTab();
  auto* pane = dynamic_cast<CMixturePane*>(host->FindPane(CMixturePane::kTemplateId));
  if (!pane) {
    std::fprintf(stderr, "bench_mixture_pane: no mixture pane\n");
    return 1;
  }
  pane->Disclose(true, true);
  pane->RefreshControls();
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  CMixturePane::CFracList& list = pane->GetList();
  CSliderCtrl* slider = list.GetSlider(0);
  if (!slider) {
    std::fprintf(stderr, "bench_mixture_pane: no slider\n");
    return 1;
  }
  CImagingPane& canvas = wnd->GetGraphicsPane()->GetCanvas();

  std::vector<double> times, applies;
  int missed = 0;
  for (int run = 0; run < runs; ++run) {
    // Past the canvas's paint throttle, so that the step is painted at once.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    QApplication::processEvents();
    const CGraphRenderer* before = canvas.GetRenderer().get();
    const int position = run % 2 ? 40 : 41;
    const auto start = std::chrono::steady_clock::now();
    // As a drag tells it: the thumb's new position with the slider's window.
    slider->SetPos(position);
    list.SendMessage(WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), reinterpret_cast<LPARAM>(slider->m_hWnd));
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
  const auto* m = dynamic_cast<const CQLMixturePattern*>(mixture.get());
  std::printf("slider step of a three-phase mixture to repainted plot (%zu profile points, fractions %.2f %.2f %.2f): "
              "median %.2f ms, best %.2f ms over %zu runs%s\n",
              mixture->m_profile.size(), m->m_components.front()->m_fraction,
              (*std::next(m->m_components.begin()))->m_fraction, m->m_components.back()->m_fraction,
              times.empty() ? 0.0 : Median(times), times.empty() ? 0.0 : *std::min_element(times.begin(), times.end()),
              times.size(), missed ? " (some steps were not painted within 1 s)" : "");
  std::printf("of which the balance, the pane's apply and the views' refresh: median %.2f ms\n",
              applies.empty() ? 0.0 : Median(applies));
  if (wnd->m_hWnd) wnd->DestroyWindow();
  return 0;
}
