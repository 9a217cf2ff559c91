// The diffraction window's commands: routing to the visible panes first, and the window-level
// commands it handles itself (pane layout and window state).
#include "DiffractWnd.h"
#include "LXApp.h"

#include <vector>

#include "LXMessage.h"
#include "LXUtils.h"
#include "QlwDoc.h"

namespace {
// String-table texts of the layout commands.
constexpr UINT kTextHidePatterns = 2950, kTextShowPatterns = 2951;
constexpr UINT kTextHideParameters = 2952, kTextShowParameters = 2953;
constexpr UINT kTextHideReflexions = 2954, kTextShowReflexions = 2955;
constexpr UINT kTextRestoreWindow = 2958, kTextMinimiseWindow = 2959, kTextMaximiseWindow = 2960;
constexpr UINT kCmdNewWindow = 57600;
constexpr UINT kCmdCloseWithoutSaving = 33270;
constexpr UINT kCmdFileAssociations = 33368;
}  // namespace

BOOL CDiffractWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  const bool update = nCode == CN_UPDATE_COMMAND_UI;
  std::vector<CView*> views;
  if (CQlwDoc* doc = GetDocument()) {
    CView* active = GetActiveView();
    auto visible = [](CView* v) { return v && v->m_hWnd && v->IsWindowVisible(); };
    if (visible(active)) views.push_back(active);
    for (CView* v : doc->Views())
      if (v != active && visible(v)) views.push_back(v);
  }
  bool handled = false;
  for (CView* v : views) {
    if (v->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) {
      handled = true;
      if (!update) return TRUE;
    }
  }
  // The toolbar would come next; the window has none yet.
  if (CQlwMainFrame::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) handled = true;
  return handled ? TRUE : FALSE;
}

BOOL CDiffractWnd::OnWindowCommand(UINT id) {
  switch (id) {
    case kCmdNewWindow:
      // An empty window takes the new document itself; otherwise the application opens a window.
      if (HasPatterns()) return FALSE;
      break;
    case kCmdCloseWithoutSaving:
      if (CQlwDoc* doc = GetDocument()) doc->SetModifiedFlag(FALSE);
      ::PostMessageW(m_hWnd ? m_hWnd : LXAppWindows::GetMainWindow(), WM_CLOSE, 0, 0);
      return TRUE;
    case kCmdFileAssociations:
      // The chooser (the file-association dialog) asks first; an empty list lets the registry say.
      if (auto* app = dynamic_cast<CLXApp*>(AfxGetApp())) app->RegisterFileTypesElevated({}, true);
      return TRUE;
    case kCmdShowParameters:
      ToggleParametersPane();
      break;
    case kCmdShowReflexions:
      ToggleReflexionsPane();
      break;
    case kCmdShowPatterns:
      TogglePatternsPane();
      break;
    case kCmdMinimiseWindow:
      if (IsIconic()) CUtils::RestoreWindow(m_hWnd);
      else SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
      break;
    case kCmdMaximiseWindow:
      if (IsZoomed()) CUtils::RestoreWindow(m_hWnd);
      else SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
      break;
    default:
      return FALSE;
  }
  if (!IsAppClosing()) {
    if (m_pGraphicsPane && m_pGraphicsPane->m_hWnd) m_pGraphicsPane->SetFocus();
    RecalcLayout();
    if (HWND main = LXAppWindows::GetMainWindow()) ::RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    else RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  }
  return TRUE;
}

void CDiffractWnd::OnUpdateWindowCommand(CCmdUI* ui) {
  switch (ui->m_nID) {
    case kCmdShowPatterns:
      ui->Enable(TRUE);
      CUtils::SetCmdUIText(ui, IsPatternsPaneShown(), kTextHidePatterns, kTextShowPatterns);
      break;
    case kCmdShowParameters:
      ui->Enable(TRUE);
      CUtils::SetCmdUIText(ui, IsParametersPaneShown(), kTextHideParameters, kTextShowParameters);
      break;
    case kCmdShowReflexions:
      ui->Enable(TRUE);
      CUtils::SetCmdUIText(ui, IsReflexionsPaneShown(), kTextHideReflexions, kTextShowReflexions);
      break;
    case kCmdMinimiseWindow:
      ui->Enable(TRUE);
      CUtils::SetCmdUIText(ui, IsIconic() != FALSE, kTextRestoreWindow, kTextMinimiseWindow);
      break;
    case kCmdMaximiseWindow:
      ui->Enable(TRUE);
      CUtils::SetCmdUIText(ui, IsZoomed() != FALSE, kTextRestoreWindow, kTextMaximiseWindow);
      break;
    case kCmdCloseWithoutSaving: {
      CQlwDoc* doc = GetDocument();
      ui->Enable(doc && doc->IsModified());
      break;
    }
    default:
      ui->ContinueRouting();
      break;
  }
}
