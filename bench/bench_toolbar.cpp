// The diffraction window's toolbar on rutile: the idle command-UI update of its 20 buttons when
// nothing changed (goal under 0.3 ms, with no relayout and no repaint), and the relayout after a
// resize of the bar (goal under 1 ms). Run by hand: bench_toolbar [--runs N].
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "BenchWindow.h"
#include "DiffractWnd.h"
#include "FileTypes.h"
#include "GraphicsPane.h"
#include "LXDocTemplate.h"
#include "LXMessage.h"
#include "Preferences.h"
#include "QlwDoc.h"
#include "QlwToolbar.h"

using benchwindow::Median;

int main(int argc, char** argv) {
  benchwindow::OffscreenRegistry registry;
  QApplication app(argc, argv);
  int runs = 2001;
  runs = benchwindow::RunsOption(argc, argv, runs);

  std::unique_ptr<CLXDocTemplate> docTemplate;
  CDiffractWnd* wnd = benchwindow::OpenWindow(docTemplate, CString(QLW_SOURCE_DIR "/examples/rutile.cif"));
  auto* bar = wnd ? dynamic_cast<CQlwToolbar*>(wnd->GetToolbar()) : nullptr;
  if (!wnd || !bar) {
    std::fprintf(stderr, "no window\n");
    return 1;
  }

  // Idle update: settle once, then time updates that find nothing changed.
  bar->OnUpdateCmdUI(wnd, TRUE);
  QApplication::processEvents();
  const auto before = bar->GetCounters();
  std::vector<double> idle;
  QElapsedTimer timer;
  for (int i = 0; i < runs; ++i) {
    timer.start();
    bar->OnUpdateCmdUI(wnd, TRUE);
    idle.push_back(timer.nsecsElapsed() / 1e6);
  }
  QApplication::processEvents();
  const auto after = bar->GetCounters();

  // Relayout on a resize: the width alternates so that every move lays the row out.
  RECT r{};
  bar->GetWindowRect(&r);
  wnd->ScreenToClient(&r);
  const int height = r.bottom - r.top, width = r.right - r.left;
  std::vector<double> relayout;
  for (int i = 0; i < runs; ++i) {
    const int w = (i % 2) ? width : width - 37;
    timer.start();
    bar->MoveWindow(0, 0, w, height);
    relayout.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::printf("idle update of %zu buttons: median %.4f ms (goal < 0.3 ms); relayouts %u, repaints %u during it\n",
              CQlwToolbar::kDefinitionCount, Median(idle), after.relayouts - before.relayouts,
              after.repaints - before.repaints);
  std::printf("relayout on resize: median %.4f ms (goal < 1 ms)\n", Median(relayout));
  wnd->DestroyWindow();
  LXAppWindows::SetMainWindow(nullptr, false);
  return 0;
}
