// The start-up's update check when the server cannot be reached: a refused connection (goal: under
// 100 ms added to start-up) and, with --silent, a server that accepts and never answers (goal: given
// up at the 15 s stall time-out). Run by hand: bench_updatecheck [--runs N] [--silent].
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "LXUtils.h"
#include "Preferences.h"
#include "UpdateCheck.h"

namespace {
double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double TimeCheckMs(uint32_t own) {
  QElapsedTimer timer;
  timer.start();
  CUpdateCheck::CheckForUpdates(own, true, true);
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}
}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QLW_QUIET", "1");
  QTemporaryDir scratch;
  qputenv("QLW_REGISTRY_DIR", QDir(scratch.path()).filePath("registry").toUtf8());
  qputenv("QLW_RUNTIME_DIR", QDir(scratch.path()).filePath("run").toUtf8());
  QApplication app(argc, argv);
  int runs = 21;
  bool silent = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    if (!std::strcmp(argv[i], "--silent")) silent = true;
  }
  CPreferences::Create(true);
  const uint32_t own = CUtils::VersionFromString(L"1.0.0");

  {
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(closed.serverPort());
    closed.close();
    qputenv("QLW_UPDATE_URL", QByteArray::fromStdString(url));
  }
  std::vector<double> refused;
  for (int i = 0; i < runs; ++i) refused.push_back(TimeCheckMs(own));
  std::printf("refused connection: median %.2f ms, worst %.2f ms over %d checks (goal: under 100 ms)\n",
              Median(refused), *std::max_element(refused.begin(), refused.end()), runs);

  if (silent) {
    QTcpServer quiet;
    quiet.listen(QHostAddress::LocalHost, 0);  // accepts, never answers
    qputenv("QLW_UPDATE_URL", QByteArray::fromStdString("http://127.0.0.1:" + std::to_string(quiet.serverPort())));
    std::printf("silent server: given up after %.2f s (goal: at the 15 s time-out)\n", TimeCheckMs(own) / 1000);
  }
  return 0;
}
