// A fresh preference store, a document on a file (rutile by default) and its diffraction window,
// shown; and a recorder of the alerts that the window reports while it lives.
#pragma once
#include <QApplication>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "DiffractWnd.h"
#include "FileTypes.h"
#include "GraphicsPane.h"
#include "LXAlert.h"
#include "LXDocTemplate.h"
#include "LXMessage.h"
#include "Preferences.h"
#include "QlwDoc.h"
#include "WidgetApp.h"

namespace qlwtest {
inline const std::string kRutilePath = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";

class MainWindowFixture {
 public:
  explicit MainWindowFixture(const char* path = kRutilePath.c_str()) {
    EnsureWidgetApp("test_mainwnd");
    InstallFileTypeRecogniser();
    CPreferences::Create(true);
    g_pPreferences->m_MainFrameRect.Set(CRect(0, 0, 1000, 600));
    m_template = std::make_unique<CLXDocTemplate>(1030, RUNTIME_CLASS(CQlwDoc), RUNTIME_CLASS(CDiffractWnd),
                                                  RUNTIME_CLASS(CGraphicsPane));
    const CString file(path ? path : "");
    doc = dynamic_cast<CQlwDoc*>(m_template->OpenDocumentFile(path ? file.GetString() : nullptr, TRUE));
    if (!doc) return;
    wnd = dynamic_cast<CDiffractWnd*>(doc->GetDiffractWnd());
    if (!wnd) return;
    LXAppWindows::SetMainWindow(wnd->m_hWnd, true);
    wnd->SendMessage(g_msgInitialOpen, 0, 0);
    QApplication::processEvents();
    QApplication::processEvents();
  }
  ~MainWindowFixture() {
    if (wnd && wnd->m_hWnd) wnd->DestroyWindow();
    LXAppWindows::SetMainWindow(nullptr, false);
    m_template.reset();
    g_silentMode = m_silent;
  }
  void Command(UINT id) { wnd->SendMessage(WM_COMMAND, id, 0); }

  bool m_silent = std::exchange(g_silentMode, false);
  CQlwDoc* doc = nullptr;
  CDiffractWnd* wnd = nullptr;

 private:
  std::unique_ptr<CLXDocTemplate> m_template;
};

// While it lives, alerts are kept (their message line) and answered with `answer`.
class AlertRecorder {
 public:
  explicit AlertRecorder(UINT answer = 1) {
    s_messages.clear();
    s_answer = answer;
    if (const char* quiet = std::getenv("QLW_QUIET")) m_quiet = quiet;
    unsetenv("QLW_QUIET");
    m_previous = CLXAlert::SetPresenter([](const CLXAlert& alert) -> UINT {
      s_messages.push_back(alert.GetPart(CLXException::kMessage).ToUtf8());
      return s_answer;
    });
  }
  ~AlertRecorder() {
    CLXAlert::SetPresenter(m_previous);
    if (!m_quiet.empty()) setenv("QLW_QUIET", m_quiet.c_str(), 1);
  }
  const std::vector<std::string>& Messages() const { return s_messages; }

 private:
  static inline std::vector<std::string> s_messages;
  static inline UINT s_answer = 1;
  CLXAlert::Presenter m_previous = nullptr;
  std::string m_quiet;
};
}  // namespace qlwtest
