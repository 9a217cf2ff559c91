// The application's own drop target and its factory.
#include "LXAppDropTarget.h"

#include <memory>

#include "LXApp.h"
#include "LXException.h"
#include "LXMessage.h"
#include "LXUtils.h"
#include "ShellFolders.h"

namespace {
std::unique_ptr<CLXAppDropTarget::CFactory> g_appDropTargetFactory;
DWORD g_nextRegistration = 0;
constexpr size_t kLotsOfFiles = 20;

HWND MainWindow() {
  if (CWinApp* app = AfxGetApp(); app && app->GetMainWnd()) return app->GetMainWnd()->m_hWnd;
  return LXAppWindows::GetMainWindow();
}
}  // namespace

bool CLXAppDropTarget::CFactory::Register() {
  if (!m_dwRegister) m_dwRegister = ++g_nextRegistration;
  return true;
}

bool CLXAppDropTarget::RegisterFactory(bool multipleInstances) {
  if (!g_appDropTargetFactory) g_appDropTargetFactory = std::make_unique<CFactory>(multipleInstances);
  if (!g_appDropTargetFactory->IsRegistered()) g_appDropTargetFactory->Register();
  return g_appDropTargetFactory->IsRegistered();
}

void CLXAppDropTarget::RevokeFactory() { g_appDropTargetFactory.reset(); }

CLXAppDropTarget::CFactory* CLXAppDropTarget::GetFactory() { return g_appDropTargetFactory.get(); }

CLXAppDropTarget::CLXAppDropTarget() : m_hMainWnd(MainWindow()) {
  if (m_hMainWnd && ::IsWindow(m_hMainWnd)) CLXMsgTarget(m_hMainWnd, g_msgInitialOpen).Send(CLXMessage::kModeSync);
}

CLXAppDropTarget::~CLXAppDropTarget() {
  m_hMainWnd = nullptr;
  m_files.clear();
}

bool CLXAppDropTarget::DropFiles(const std::vector<CString>& paths, bool asked) {
  if (paths.empty() || !GetFactory() || !GetFactory()->IsRegistered()) return false;
  std::unique_ptr<CLXAppDropTarget> target(GetFactory()->CreateObject());
  target->m_bAskedAboutMany = asked;
  CLXDropData data(paths);
  const CPoint nowhere(0, 0);
  target->OnDragEnter(nullptr, &data, 0, nowhere);
  return target->OnDrop(nullptr, &data, DROPEFFECT_COPY, nowhere) != FALSE;
}

DWORD CLXAppDropTarget::OnDragEnter(CWnd*, CLXDropData*, DWORD, CPoint) {
  m_bDragActive = m_bAccepted = true;
  return DROPEFFECT_COPY;
}

DWORD CLXAppDropTarget::OnDragOver(CWnd* window, CLXDropData* data, DWORD keyState, CPoint point) {
  return OnDragEnter(window, data, keyState, point);
}

BOOL CLXAppDropTarget::OnDrop(CWnd* window, CLXDropData* data, DWORD effect, CPoint point) {
  try {
    m_bDragActive = m_bAccepted = true;
    if (!CLXDropTarget::OnDrop(window, data, effect, point)) return FALSE;
    CUtils::BringToFront(window ? window->m_hWnd : m_hMainWnd);
    return TRUE;
  } catch (...) {
    // Nothing of a failed drop goes back to whoever dropped.
    return FALSE;
  }
}

bool CLXAppDropTarget::BeginDrop(CWnd* window, FileList& list) {
  if (list.size() > 1) {
    CLXApp* app = CLXApp::GetApp();
    if (app && !app->AcceptsSeveralFiles()) list.resize(1);
  }
  if (list.size() > kLotsOfFiles && !m_bAskedAboutMany) {
    CLXXFileLotsOfFiles question(kLXSeverityUser, 0, 0, static_cast<int>(list.size()));
    if (!question.Report()) {
      list.clear();
      return false;
    }
  }
  if (list.size() > 1) m_nCancelCookie = CLXApp::BeginCancellable(nullptr, &m_bCancelled, false);
  const HWND to = window && window->m_hWnd ? window->m_hWnd : MainWindow();
  CLXMsgTarget(to, g_msgInitialOpen).Send(CLXMessage::kModeSync);
  return true;
}

void CLXAppDropTarget::EndDragTracking(CWnd* window) {
  CLXDropTarget::EndDragTracking(window);
  if (m_files.empty()) return;
  // The receiver owns the list.
  auto* copy = new std::vector<CString>(m_files.begin(), m_files.end());
  const DWORD thread = ::GetCurrentThreadId();
  if (!CLXMsgThread(thread, g_msgOpenDocumentFiles, reinterpret_cast<LPARAM>(copy)).Send(CLXMessage::kModeAsync))
    delete copy;
}

bool CLXAppDropTarget::IsAcceptableFile(CWnd*, const CString& path) { return PathFileExistsW(path) != FALSE; }
