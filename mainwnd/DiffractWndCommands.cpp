// The diffraction window's commands: routing to the visible panes first, and the window-level
// commands it handles itself (pane layout, window state, graphics, fonts, the visualiser).
#include "DiffractWnd.h"
#include "PreferencesDlg.h"
#include "LXApp.h"

#include <vector>

#include "AfxApp.h"
#include "LXApp.h"
#include "LXMessage.h"
#include "LXUtils.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QlwDoc.h"
#include "ScatteringFactors.h"
#include "QlwToolbar.h"
#include "VisualiserHandOver.h"

namespace {
// String-table texts of the layout commands.
constexpr UINT kTextHidePatterns = 2950, kTextShowPatterns = 2951;
constexpr UINT kTextHideParameters = 2952, kTextShowParameters = 2953;
constexpr UINT kTextHideReflexions = 2954, kTextShowReflexions = 2955;
constexpr UINT kTextRestoreWindow = 2958, kTextMinimiseWindow = 2959, kTextMaximiseWindow = 2960;
constexpr UINT kTextHideToolbar = 2963, kTextShowToolbar = 2964;
constexpr UINT kTextEditCrystal = 2965, kTextEditObserved = 2966;
constexpr UINT kCmdNewWindow = 57600;
constexpr UINT kCmdCopy = 57634;
constexpr UINT kCmdCloseWithoutSaving = 33270;
constexpr UINT kCmdExportGraphics = 33280;
constexpr UINT kCmdFileAssociations = 33368;
constexpr UINT kCmdPreferences = 33369;
constexpr UINT kCmdScatteringFactors = 33370;
constexpr UINT kCmdEditPattern = 33371;
constexpr UINT kCmdFonts = 33372;
constexpr UINT kCmdVisualise = 33737;
constexpr UINT kCmdShowToolbar = 33769;
// Enabled by the window whatever the document's state.
constexpr UINT kAlwaysEnabled[] = {33274, 33277, 33280, 33368, 33369, 33370, 33372, 33771, 57605, 57634};

bool IsAlwaysEnabled(UINT id) {
  for (UINT a : kAlwaysEnabled)
    if (a == id) return true;
  return false;
}

// The one selected pattern, looking inside mixtures; null unless exactly one is selected.
CQLPatternPtr OnlySelectedPattern(const CQLPatternList& patterns) {
  const CQLPatternList selected = CollectPatternsOfType<CQLPattern>(patterns, true, false, false);
  return selected.size() == 1 ? selected.front() : nullptr;
}
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
  if (m_pToolbar && m_pToolbar->m_hWnd && m_pToolbar->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) {
    handled = true;
    if (!update) return TRUE;
  }
  // The frame's own handlers come before the active view's, so that for an update the window's
  // rules are applied after the panes' and the document's and decide the item's state.
  if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  if (CView* active = GetActiveView(); active && active->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  if (CCmdTarget* app = qlw::ApplicationCommandTarget(); app && app->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
    return TRUE;
  return handled ? TRUE : FALSE;
}

BOOL CDiffractWnd::OnWindowCommand(UINT id) {
  switch (id) {
    case kCmdNewWindow:
      // An empty window takes the new document itself; otherwise the application opens a window.
      if (HasPatterns()) return FALSE;
      break;
    case kCmdCopy:
      CopyGraphics();
      break;
    case kCmdCloseWithoutSaving:
      if (CQlwDoc* doc = GetDocument()) doc->SetModifiedFlag(FALSE);
      ::PostMessageW(m_hWnd ? m_hWnd : LXAppWindows::GetMainWindow(), WM_CLOSE, 0, 0);
      return TRUE;
    case kCmdExportGraphics:
      ExportGraphics();
      break;
    case kCmdFileAssociations:
      // The chooser (the file-association dialog) asks first; an empty list lets the registry say.
      if (auto* app = dynamic_cast<CLXApp*>(AfxGetApp())) app->RegisterFileTypesElevated({}, true);
      return TRUE;
    case kCmdPreferences:
      CPreferencesDlg::Run(this);
      return TRUE;
    case kCmdScatteringFactors:
      CScatteringFactors::TogglePalette();
      return TRUE;
    case kCmdFonts:
      ChooseFont();
      break;
    case kCmdVisualise:
      SendStructureToVisualiser(*this);
      break;
    case kCmdShowToolbar:
      if (m_pToolbar) ToggleToolbar();
      break;
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
    case kCmdShowToolbar:
      ui->Enable(TRUE);
      CUtils::SetCmdUIText(ui, m_pToolbar && m_pToolbar->m_hWnd && m_pToolbar->IsWindowVisible(), kTextHideToolbar,
                           kTextShowToolbar);
      break;
    case kCmdCloseWithoutSaving: {
      CQlwDoc* doc = GetDocument();
      ui->Enable(doc && doc->IsModified());
      break;
    }
    case kCmdVisualise: {
      CQlwDoc* doc = GetDocument();
      ui->Enable(doc && CountCrystalPatterns(doc->GetPatterns(), true, false, false) == 1);
      break;
    }
    case kCmdEditPattern: {
      CQlwDoc* doc = GetDocument();
      const CQLPatternPtr only = doc ? OnlySelectedPattern(doc->GetPatterns()) : nullptr;
      ui->Enable(only && !dynamic_cast<CQLMixturePattern*>(only.get()));
      const bool noCrystal = !doc || CountCrystalPatterns(doc->GetPatterns(), true, false, false) == 0;
      CUtils::SetCmdUIText(ui, noCrystal, kTextEditObserved, kTextEditCrystal);
      break;
    }
    default:
      if (IsAlwaysEnabled(ui->m_nID)) ui->Enable(TRUE);
      else ui->ContinueRouting();
      break;
  }
}

BOOL CDiffractWnd::OnPrintCommand(UINT id) {
  if (!m_pGraphicsPane || !m_pGraphicsPane->m_hWnd) return FALSE;
  m_pGraphicsPane->SetFocus();
  CLXMsgMenuCmd(m_pGraphicsPane->m_hWnd, id).Send(CLXMessage::kModeAsync);
  return TRUE;
}

void CDiffractWnd::ToggleToolbar() {
  if (!m_pToolbar || !m_pToolbar->m_hWnd) return;
  // The application's toolbar keeps its visibility in the preferences.
  if (auto* bar = dynamic_cast<CLXToolbar*>(m_pToolbar)) {
    bar->ToggleVisible();
    return;
  }
  m_pToolbar->ShowWindow(m_pToolbar->IsWindowVisible() ? SW_HIDE : SW_SHOW);
  RecalcLayout();
}
