// What the window benchmarks share: the offscreen platform with a registry of their own, the
// "--runs N" option, the median, and a diffraction window opened on a file as the program opens one.
#pragma once

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "DiffractWnd.h"
#include "FileTypes.h"
#include "GraphicsPane.h"
#include "LXDocTemplate.h"
#include "LXMessage.h"
#include "Preferences.h"
#include "QlwDoc.h"

namespace benchwindow {
inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

inline int RunsOption(int argc, char** argv, int runs) {
  for (int i = 1; i + 1 < argc; ++i)
    if (!std::strcmp(argv[i], "--runs")) runs = std::max(1, std::atoi(argv[i + 1]));
  return runs;
}

// Made before the QApplication: offscreen, and a temporary registry so no user's settings are read or written.
struct OffscreenRegistry {
  QTemporaryDir folder;
  OffscreenRegistry() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QLW_REGISTRY_DIR", QDir(folder.path()).filePath("registry").toUtf8());
  }
};

// The preference store (`fromFactory` as CPreferences::Create takes it), then `file` opened in a new
// diffraction window made the main window and announced as the first opening. Null when no window came.
inline CDiffractWnd* OpenWindow(std::unique_ptr<CLXDocTemplate>& docTemplate, const CString& file,
                                bool fromFactory = true) {
  InstallFileTypeRecogniser();
  CPreferences::Create(fromFactory);
  g_pPreferences->m_MainFrameRect.Set(CRect(0, 0, 1000, 600));
  docTemplate = std::make_unique<CLXDocTemplate>(1030, RUNTIME_CLASS(CQlwDoc), RUNTIME_CLASS(CDiffractWnd),
                                                 RUNTIME_CLASS(CGraphicsPane));
  auto* doc = dynamic_cast<CQlwDoc*>(docTemplate->OpenDocumentFile(file.GetString(), TRUE));
  auto* wnd = doc ? dynamic_cast<CDiffractWnd*>(doc->GetDiffractWnd()) : nullptr;
  if (!wnd || !wnd->GetGraphicsPane()) return nullptr;
  LXAppWindows::SetMainWindow(wnd->m_hWnd, true);
  wnd->SendMessage(g_msgInitialOpen, 0, 0);
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  return wnd;
}
}  // namespace benchwindow
