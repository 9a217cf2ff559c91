// Opens files into the diffraction window and shows it. With "--grab DIR" it saves the window as
// PNG as it comes up, with each pane column hidden in turn, and after a resize, then quits.
#include <QApplication>
#include <QPixmap>
#include <QWidget>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "DiffractWnd.h"
#include "GraphicsPane.h"
#include "FileTypes.h"
#include "LXApp.h"
#include "LXDocTemplate.h"
#include "LXMessage.h"
#include "Preferences.h"
#include "QlwDoc.h"
#include "WndQt.h"

namespace {
void Grab(CWnd* window, const std::string& path) {
  QApplication::processEvents();
  QWidget* widget = qlw::WidgetOf(window->m_hWnd);
  if (widget && widget->grab().save(QString::fromStdString(path))) std::printf("wrote %s\n", path.c_str());
  else std::printf("could not write %s\n", path.c_str());
}
}  // namespace

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  std::string grabDir;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--grab") == 0 && i + 1 < argc) grabDir = argv[++i];
    else files.emplace_back(argv[i]);
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: qlwframedemo FILE... [--grab DIR]\n");
    return 2;
  }
  g_silentMode = false;
  InstallFileTypeRecogniser();
  CPreferences::Create(true);
  CLXDocTemplate docTemplate(1030, RUNTIME_CLASS(CQlwDoc), RUNTIME_CLASS(CDiffractWnd), RUNTIME_CLASS(CGraphicsPane));
  auto* doc = dynamic_cast<CQlwDoc*>(docTemplate.OpenDocumentFile(CString(files[0].c_str()).GetString(), TRUE));
  if (!doc) {
    std::fprintf(stderr, "could not open %s\n", files[0].c_str());
    return 1;
  }
  if (files.size() > 1) {
    std::vector<CString> more;
    for (size_t i = 1; i < files.size(); ++i) more.emplace_back(files[i].c_str());
    doc->AddFilesFromDrop(more);
  }
  auto* wnd = dynamic_cast<CDiffractWnd*>(doc->GetDiffractWnd());
  if (!wnd) return 1;
  LXAppWindows::SetMainWindow(wnd->m_hWnd, true);
  wnd->SendMessage(g_msgInitialOpen, 0, 0);
  if (grabDir.empty()) return qt.exec();

  Grab(wnd, grabDir + "/main-initial.png");
  const struct {
    UINT command;
    const char* name;
  } toggles[] = {{CDiffractWnd::kCmdShowPatterns, "patterns"},
                 {CDiffractWnd::kCmdShowParameters, "parameters"},
                 {CDiffractWnd::kCmdShowReflexions, "reflexions"}};
  for (const auto& t : toggles) {
    wnd->SendMessage(WM_COMMAND, t.command, 0);
    Grab(wnd, grabDir + "/main-toggled-" + t.name + ".png");
    wnd->SendMessage(WM_COMMAND, t.command, 0);
  }
  wnd->SendMessage(WM_COMMAND, CDiffractWnd::kCmdShowReflexions, 0);
  RECT r{};
  wnd->GetWindowRect(&r);
  wnd->MoveWindow(r.left, r.top, r.right - r.left + 300, r.bottom - r.top + 150);
  Grab(wnd, grabDir + "/main-resized.png");
  wnd->DestroyWindow();
  return 0;
}
