// The diffraction window's toolbar: its items, default sequence, button kinds, state-dependent
// labels and tooltips, and the toggles kept in step with the document.
#include "QlwToolbar.h"

#include "DiffractWnd.h"
#include "DiffractionSettings.h"
#include "LXDocWnd.h"
#include "LXMessage.h"
#include "QlwDoc.h"
#include "Resources.h"

IMPLEMENT_DYNCREATE(CQlwToolbar, CLXToolbar)

BEGIN_MESSAGE_MAP(CQlwToolbar, CLXToolbar)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedSync, &CQlwToolbar::OnAlphaButtonChanged)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedAsync, &CQlwToolbar::OnAlphaButtonChanged)
  ON_REGISTERED_MESSAGE(g_msgDatasetReadSync, &CQlwToolbar::OnDatasetRead)
  ON_REGISTERED_MESSAGE(g_msgDatasetReadAsync, &CQlwToolbar::OnDatasetRead)
  ON_REGISTERED_MESSAGE(g_msgSplitterRecalcLayoutSync, &CQlwToolbar::OnSplitterRecalcLayout)
  ON_REGISTERED_MESSAGE(g_msgSplitterRecalcLayoutAsync, &CQlwToolbar::OnSplitterRecalcLayout)
END_MESSAGE_MAP()

namespace {
constexpr LXToolCode C(const char (&s)[5]) { return LXMakeToolCode(s); }
constexpr UINT kNone = static_cast<UINT>(-1);

// Documents' commands that a toggle follows.
constexpr UINT kCmdFilm = 33569, kCmdGraph = 33576, kCmdLogY = 33579, kCmdPeakTips = 33587;
constexpr UINT kCmdFirst = 32768, kCmdLast = 34577;

// Labels and tooltips of the toggles' two states.
constexpr UINT kLabelDisplayFilm = 4008, kLabelDisplayGraph = 4009;
constexpr UINT kLabelLinScale = 4012, kLabelLogScale = 4013;
constexpr UINT kLabelHideTips = 4016, kLabelShowTips = 4017;
constexpr UINT kTipGraph = 12313, kTipFilm = 12323, kTipLog = 12309, kTipLin = 12322;
constexpr UINT kCtlPlotType = 3813, kCtlLogScale = 3809, kCtlPlotTypeAlias = 3823;

// Each item its own menu record (group 0) of kind 1; the tooltip string is the description.
constexpr CLXToolDef Def(const char (&code)[5], UINT label, UINT tip, UINT image, UINT alt, int command, UINT control) {
  CLXToolDef d;
  d.code = LXMakeToolCode(code);
  d.menuGroup = 0;
  d.menuKind = 1;
  d.labelId = label;
  d.descriptionId = tip;
  d.imageId = image;
  d.altImageId = alt;
  d.commandId = command;
  d.controlId = control;
  return d;
}
}  // namespace

const CLXToolSeqEntry CQlwToolbar::kDefaultSequence[kDefaultCount] = {
    {C("strc"), true},  {C("fact"), true},  {C("sepx"), true}, {C("curs"), true},  {C("dist"), true},
    {C("loup"), true},  {C("tips"), true},  {C("sepf"), true}, {C("mag-"), true},  {C("mag+"), true},
    {C("ascy"), true},  {C("asxy"), true},  {C("ctry"), false}, {C("expy"), false}, {C("stck"), true},
    {C("unst"), true},  {C("sepf"), true},  {C("rest"), false}, {C("sepf"), true}, {C("scrl"), false},
    {C("scrr"), false}, {C("sepf"), true},  {C("ptyp"), true},  {C("lnlg"), true},  {C("sepx"), true},
    {C("parm"), true},
};

const CLXToolDef CQlwToolbar::kDefinitions[kDefinitionCount] = {
    Def("asxy", 4001, 12301, 3501, kNone, 34468, 3801), Def("ascy", 4002, 12302, 3502, kNone, 34469, 3802),
    Def("ctry", 4003, 12303, 3503, kNone, 34470, 3803), Def("curs", 4004, 12304, 3504, kNone, 33582, 3804),
    Def("dist", 4005, 12305, 3505, kNone, 33590, 3805), Def("expy", 4006, 12306, 3506, kNone, 34471, 3806),
    Def("fact", 4007, 12307, 3507, kNone, 33370, 3807), Def("lnlg", 4013, 12309, 3510, 3523, 33579, 3809),
    Def("loup", 4014, 12310, 3511, kNone, 33585, 3810), Def("parm", 4015, 12311, 3512, kNone, 33586, 3811),
    Def("tips", 4016, 12312, 3513, 3513, 33587, 3812),  Def("ptyp", 4009, 12313, 3522, 3508, 33576, 3813),
    Def("rest", 4018, 12314, 3514, kNone, 34472, 3814), Def("scrl", 4019, 12315, 3515, kNone, 34473, 3815),
    Def("scrr", 4020, 12316, 3516, kNone, 34474, 3816), Def("stck", 4021, 12317, 3517, kNone, 33592, 3817),
    Def("strc", 4022, 12318, 3518, kNone, 33591, 3818), Def("unst", 4023, 12319, 3519, kNone, 33568, 3819),
    Def("mag+", 4024, 12320, 3520, kNone, 34475, 3820), Def("mag-", 4025, 12321, 3521, kNone, 34476, 3821),
};

BOOL CQlwToolbar::Create(CWnd* parent, DWORD style, UINT id) {
  if (!CLXToolbar::Create(parent, style, id)) return FALSE;
  Init(kDefinitions, kDefinitionCount, kDefaultSequence, kDefaultCount);
  return TRUE;
}

void CQlwToolbar::BuildItemsMenu() {
  CLXToolbar::BuildItemsMenu();
  CMenu* popup = m_contextMenu.GetSubMenu(0);
  CString text;
  LoadString(kStandardToolsetText, text);
  if (!popup || !popup->AppendMenu(MF_SEPARATOR) || !popup->AppendMenu(MF_STRING, kCmdStandardToolset, text))
    throw CLXXNoToolbar(2, 0, __LINE__);
}

CLXToolButton* CQlwToolbar::CreateItemButton(LXToolCode code, CLXToolButton* existing) {
  UINT mode;
  switch (code) {
    case C("ascy"): case C("asxy"): case C("curs"): case C("dist"): case C("fact"): case C("loup"):
    case C("parm"): case C("rest"): case C("stck"): case C("strc"): case C("unst"):
      mode = CAlphaButton::kPush;
      break;
    case C("lnlg"): case C("ptyp"): case C("tips"):
      mode = CAlphaButton::kToggle;
      break;
    case C("ctry"): case C("expy"): case C("mag-"): case C("mag+"): case C("scrl"): case C("scrr"):
      mode = CAlphaButton::kRepeat;
      break;
    default:
      return nullptr;
  }
  const CLXToolDef* def = FindDefinition(code);
  if (!def) return nullptr;
  auto* button = existing ? existing : new CLXToolButton(mode, def->imageId, def->altImageId);
  CLXToolButton* made = CLXToolbar::CreateItemButton(code, button);
  if (!made && !existing) delete button;
  return made;
}

CLXToolButton* CQlwToolbar::ButtonOf(LXToolCode code) {
  Item* item = FindItem(code);
  return item ? item->button : nullptr;
}

bool CQlwToolbar::GetItemLabel(LXToolCode code, CString& text) {
  UINT checked = 0, unchecked = 0;
  switch (code) {
    case C("lnlg"): checked = kLabelLinScale, unchecked = kLabelLogScale; break;
    case C("ptyp"): checked = kLabelDisplayGraph, unchecked = kLabelDisplayFilm; break;
    case C("tips"): checked = kLabelHideTips, unchecked = kLabelShowTips; break;
    default: return CLXToolbar::GetItemLabel(code, text);
  }
  CLXToolButton* button = ButtonOf(code);
  return LoadString(button && button->IsChecked() ? checked : unchecked, text) != FALSE;
}

LXToolCode CQlwToolbar::GetItemCode(UINT id) const {
  return CLXToolbar::GetItemCode(id == kCtlPlotTypeAlias ? kCtlPlotType : id);
}

bool CQlwToolbar::GetToolTipText(UINT id, CString& text) {
  auto checked = [&](LXToolCode code) {
    CLXToolButton* b = ButtonOf(code);
    return b && b->IsChecked();
  };
  if (id == kCtlPlotType) {
    LoadString(checked(C("ptyp")) ? kTipGraph : kTipFilm, text);
    return !text.IsEmpty();
  }
  if (id == kCtlLogScale) {
    LoadString(checked(C("lnlg")) ? kTipLin : kTipLog, text);
    return !text.IsEmpty();
  }
  return CToolTipHelper::GetToolTipText(id, text);
}

CDiffractWnd* CQlwToolbar::DiffractWindow() const {
  CLXDocWnd* frame = DYNAMIC_DOWNCAST(CLXDocWnd, GetParentFrame());
  if (!frame) frame = CLXDocWnd::FromWindow(nullptr);
  return DYNAMIC_DOWNCAST(CDiffractWnd, frame);
}

CDiffractionSettings* CQlwToolbar::Settings() const {
  CDiffractWnd* wnd = DiffractWindow();
  return wnd ? wnd->GetDocSettings() : nullptr;
}

bool CQlwToolbar::SyncButton(LXToolCode code, bool checked) {
  CLXToolButton* button = ButtonOf(code);
  if (!button || button->IsChecked() == checked) return false;
  button->SetChecked(checked);
  button->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  return true;
}

BOOL CQlwToolbar::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  if (nID >= kCmdFirst && nID <= kCmdLast && !pHandlerInfo) {
    if (nCode == CN_COMMAND) {
      if (nID == kCmdStandardToolset) {
        // Saved first: Rebuild applies the saved visibility over the sequence.
        SetItemLayout(kDefaultSequence, kDefaultCount, true);
        return TRUE;
      }
      return OnToolbarCommand(nID) ? TRUE : FALSE;
    }
    if (nCode == CN_UPDATE_COMMAND_UI && pExtra) {
      // The toggles follow the settings; the menu's own state is left to the document.
      if (CDiffractionSettings* s = Settings()) {
        bool changed = false;
        switch (nID) {
          case kCmdFilm:
          case kCmdGraph: changed = SyncButton(C("ptyp"), s->m_filmMode != 0); break;
          case kCmdLogY: changed = SyncButton(C("lnlg"), s->m_logarithmicYAxis != 0); break;
          case kCmdPeakTips: changed = SyncButton(C("tips"), s->m_showPeakTips != 0); break;
          default: break;
        }
        if (changed) m_bNeedsRelayout = true;
      }
      // The toggles stay enabled (the state refresh says so): their own idle update ends here,
      // so the document's rule does not disable them between two refreshes.
      auto* ui = static_cast<CCmdUI*>(pExtra);
      if ((nID == kCmdFilm || nID == kCmdGraph || nID == kCmdLogY || nID == kCmdPeakTips) &&
          dynamic_cast<CLXToolCmdUI*>(ui) && ui->m_pOther && ui->m_pOther->GetParent() == this) {
        ui->Enable(TRUE);
        return TRUE;
      }
      return OnUpdateToolbarCommand(ui) ? TRUE : FALSE;
    }
  }
  return CLXToolbar::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CQlwToolbar::RefreshItems() {
  if (m_buildGuard || m_bInRefresh || !DiffractWindow()) return;
  m_bInRefresh = true;
  for (Item& item : m_items) {
    if (item.code == kToolSepFixed || item.code == kToolSepFlex) {
      if (item.window && item.window->m_hWnd) item.window->EnableWindow(FALSE);
    } else if (item.button && (item.code == C("lnlg") || item.code == C("ptyp") || item.code == C("tips"))) {
      if (!item.button->IsWindowEnabled()) item.button->EnableWindow(TRUE);
    }
  }
  m_bInRefresh = false;
}

LRESULT CQlwToolbar::OnAlphaButtonChanged(WPARAM wParam, LPARAM) {
  InvokeItem(GetItemCode(static_cast<UINT>(wParam)));
  RefreshItems();
  // A toggle pressed itself: its label follows at once.
  UpdateTexts(true);
  return 1;
}

LRESULT CQlwToolbar::OnDatasetRead(WPARAM, LPARAM) {
  if (m_buildGuard) return 1;
  if (CDiffractionSettings* s = Settings(); s && SyncButton(C("ptyp"), s->m_filmMode != 0)) UpdateTexts(true);
  return 1;
}

LRESULT CQlwToolbar::OnSplitterRecalcLayout(WPARAM, LPARAM) {
  if (CDiffractWnd* wnd = DiffractWindow()) SyncButton(C("strc"), wnd->IsPatternsPaneShown());
  return 1;
}
