// Times a start of the program from the launch of its process to the first paint of the plot with
// a structure open: the program's own application object and windows, in a child process that
// stamps the clock once the canvas has painted the structure's pattern.
// Usage (needs a display, for example under xvfb-run): bench_startup [--runs N] [CIF…]
// Without CIFs: examples/rutile.cif, then the 93,000 Å³ cell of ../shared/testdata when present.
#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QTimer>
#include <QWidget>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "DiffractWnd.h"
#include "GraphicsPane.h"
#include "QlwApp.h"
#include "QlwDoc.h"
#include "WndQt.h"

namespace {
double NowMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The canvas's record of its last full paint (a throttled paint only shows the last picture).
struct CanvasPeek : CImagingPane {
  static DWORD CImagingPane::*LastPaint() { return &CanvasPeek::m_lastPaintTick; }
  static bool CImagingPane::*HasPainted() { return &CanvasPeek::m_bHasPainted; }
};

// Reports the clock to fd once the canvas has drawn the plot with patterns in the document, then
// quits.
class FirstPlotPaint : public QObject {
 public:
  FirstPlotPaint(CQlwApp& app, int fd) : m_app(app), m_fd(fd) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!m_done && event->type() == QEvent::Paint && watched == Canvas() && HasPatterns()) {
      CImagingPane& canvas = Pane()->GetCanvas();
      const DWORD lastPaint = canvas.*CanvasPeek::LastPaint();
      const bool hadPainted = canvas.*CanvasPeek::HasPainted();
      // Looked at when the loop comes back, that is once this paint has been drawn and flushed.
      QTimer::singleShot(0, [this, &canvas, lastPaint, hadPainted] {
        if (m_done || (canvas.*CanvasPeek::LastPaint() == lastPaint && canvas.*CanvasPeek::HasPainted() == hadPainted))
          return;
        m_done = true;
        const std::string stamp = std::to_string(NowMs()) + "\n";
        if (write(m_fd, stamp.data(), stamp.size()) < 0) _exit(3);
        PostQuitMessage(0);
      });
    }
    return false;
  }

 private:
  CGraphicsPane* Pane() const {
    auto* frame = dynamic_cast<CDiffractWnd*>(m_app.GetDocWindow());
    return frame ? frame->GetGraphicsPane() : nullptr;
  }
  QObject* Canvas() const {
    CGraphicsPane* pane = Pane();
    return pane && pane->GetCanvas().m_hWnd ? qlw::WidgetOf(pane->GetCanvas().m_hWnd) : nullptr;
  }
  bool HasPatterns() const {
    CGraphicsPane* pane = Pane();
    CQlwDoc* doc = pane ? pane->GetDocument() : nullptr;
    return doc && !doc->GetPatterns().empty();
  }
  CQlwApp& m_app;
  int m_fd;
  bool m_done = false;
};

// The program, as programs/quillonographic/main.cpp starts it, with the paint hook.
int RunChild(int argc, char** argv, int fd) {
  QCoreApplication::setApplicationName(QStringLiteral("Quillonographic"));
  QGuiApplication::setDesktopFileName(QStringLiteral("quillonographic"));
  QApplication application(argc, argv);
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/ico1000.svg")));
  CQlwApp app;
  app.SetWindowClasses(RUNTIME_CLASS(CDiffractWnd), RUNTIME_CLASS(CGraphicsPane));
  FirstPlotPaint hook(app, fd);
  application.installEventFilter(&hook);
  return AfxWinMain(argc, argv);
}

// Milliseconds from fork to the child's stamp; negative when the child reported none.
double TimeOneStart(const char* self, const std::string& cif) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const double start = NowMs();
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const std::string fd = std::to_string(fds[1]);
    execl(self, self, "--child", fd.c_str(), "/Embedding", cif.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string stamp;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') stamp += c;
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return stamp.empty() ? -1 : std::atof(stamp.c_str()) - start;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) {
    const int fd = std::atoi(argv[2]);
    // The program sees its usual command line: the program name, then what follows the fd.
    std::vector<char*> args = {argv[0]};
    for (int i = 3; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    return RunChild(static_cast<int>(args.size()) - 1, args.data(), fd);
  }
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
    std::fprintf(stderr, "bench_startup needs a display: run it under xvfb-run\n");
    return 2;
  }
  int runs = 5;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else files.emplace_back(argv[i]);
  }
  if (files.empty()) {
    files.push_back(QLW_SOURCE_DIR "/examples/rutile.cif");
    const std::string giant = QLW_TESTDATA_DIR "/cif/20_TaCuAl_giant_COD2104374.cif";
    if (access(giant.c_str(), R_OK) == 0) files.push_back(giant);
    else std::printf("(the 93,000 A^3 cell %s is absent: skipped)\n", giant.c_str());
  }
  for (const std::string& file : files) {
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) times.push_back(TimeOneStart("/proc/self/exe", file));
    std::sort(times.begin(), times.end());
    if (times.front() < 0) {
      std::printf("%s: no plot was painted\n", file.c_str());
      continue;
    }
    std::printf("%s: start to first plot paint, best %.0f ms, median %.0f ms of %d\n", file.c_str(), times.front(),
                times[times.size() / 2], runs);
  }
  return 0;
}
