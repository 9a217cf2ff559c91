// The mixture pane: fractions of the selected mixture's components, their lock and total.
#include "MixturePane.h"

#include "LXMessage.h"
#include "Preferences.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "QlwDoc.h"
#include "ParameterPaneTools.h"

namespace {
constexpr int kShownRows = 4;
constexpr int kCodeSelection = 23;

std::vector<const CQLPattern*> ComponentsOf(const CQLPattern* mixture) {
  std::vector<const CQLPattern*> out;
  if (const CQLPatternList* components = mixture ? mixture->GetComponents() : nullptr)
    for (const CQLPatternPtr& c : *components) out.push_back(c.get());
  return out;
}
}  // namespace

// ---- the fraction list ---------------------------------------------------------------------

void CMixturePane::CFracList::SetMixture(const std::shared_ptr<CQLMixturePattern>& mixture) {
  m_items.clear();
  if (mixture)
    for (const CQLPatternPtr& component : mixture->m_components) m_items.push_back({mixture, component});
  ResetRows(static_cast<int>(m_items.size()), kFirstSlider);
}

double CMixturePane::CFracList::GetShare(int row) const { return m_items[size_t(row)].component->m_fraction; }

void CMixturePane::CFracList::SetShare(int row, double share) {
  const CFracItem& item = m_items[size_t(row)];
  item.component->m_fraction = share;
  item.mixture->BalanceFractions(item.component);
}

CString CMixturePane::CFracList::GetName(int row) const { return m_items[size_t(row)].component->m_title; }

bool CMixturePane::CFracList::SetName(int row, const CString& name) {
  if (name.IsEmpty()) return false;
  m_items[size_t(row)].component->m_title = name;
  return true;
}

void CMixturePane::CFracList::NotifyChanged(Change change) {
  CWnd* parent = GetParent();
  HWND target = dynamic_cast<CMixturePane*>(parent) ? parent->m_hWnd : LXAppWindows::GetMainWindow();
  CLXMsgTarget(target, g_msgParamMixtureModifed, 0, static_cast<WPARAM>(change)).Send(CLXMessage::kModeKeep);
}

// ---- the pane ------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CMixturePane, CDiscloseablePane)
  ON_BN_CLICKED(CMixturePane::kLock, &CMixturePane::OnControlChanged)
  ON_NOTIFY(LVN_ITEMCHANGED, CMixturePane::kList, &CMixturePane::OnListNotify)
  ON_NOTIFY(LVN_ODSTATECHANGED, CMixturePane::kList, &CMixturePane::OnListNotify)
  ON_COMMAND(CMixturePane::kEqualise, &CMixturePane::OnEqualise)
  ON_COMMAND(CMixturePane::kZero, &CMixturePane::OnZero)
  ON_UPDATE_COMMAND_UI(CMixturePane::kEqualise, &CMixturePane::OnUpdateEqualise)
  ON_UPDATE_COMMAND_UI(CMixturePane::kZero, &CMixturePane::OnUpdateZero)
  ON_REGISTERED_MESSAGE(g_msgParamMixtureModifedSync, &CMixturePane::OnMixtureModified)
  ON_REGISTERED_MESSAGE(g_msgParamMixtureModifedAsync, &CMixturePane::OnMixtureModified)
END_MESSAGE_MAP()

CMixturePane::CMixturePane(CWnd* parent)
    : CDiscloseablePane(kHeader, kTemplateId, parent),
      m_action(CAlphaButton::kPush, CAlphaButton::kImage, CAlphaButton::kFlat, 0) {
  LockUpdates();
}

void CMixturePane::DoDataExchange(CDataExchange* dx) {
  CDiscloseablePane::DoDataExchange(dx);
  DDX_Control(dx, kList, m_list);
  DDX_Control(dx, kAction, m_action);
  DDX_Control(dx, kLock, m_lock);
}

BOOL CMixturePane::OnInitDialog() {
  const BOOL result = CDiscloseablePane::OnInitDialog();
  if (const int full = SetUpSliderListPane(this, m_list, kShownRows, m_action, kActionImage, kActionMenu, m_fullWidth);
      full > 0) {
    m_fullHeight = full;
    SetWindowPos(nullptr, 0, 0, m_fullWidth, m_fullHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  UnlockUpdates();
  RefreshControls();
  m_list.SetFocus();
  return result;
}

CPrefScalar<bool>* CMixturePane::OpenPreference() {
  return g_pPreferences ? &g_pPreferences->m_ParamOpenMixture : nullptr;
}

std::shared_ptr<CQLMixturePattern> CMixturePane::ShownMixture() const {
  CQlwDoc* doc = GetDocument();
  return doc ? SoleSelectedPattern<CQLMixturePattern>(doc->GetPatterns()) : nullptr;
}

// Also while the pane is filled from the model: another mixture's total must not stay on show.
void CMixturePane::ShowTotal() {
  const std::shared_ptr<CQLMixturePattern> mixture = ShownMixture();
  if (!mixture || !mixture->IsShown()) return;
  CString total;
  total.Format(L"%0.3f", mixture->GetTotalFraction());
  SetDlgItemText(kTotal, total);
  ShowCheck(m_lock, mixture->m_fillUp != 0);
}

void CMixturePane::UpdateControls(bool fromModel) {
  CQlwDoc* doc = GetDocument();
  const std::shared_ptr<CQLMixturePattern> mixture = ShownMixture();
  if (fromModel) {
    m_list.SetMixture(mixture);
    static const CQLMixturePattern defaults;
    ShowCheck(m_lock, (mixture ? mixture->m_fillUp : defaults.m_fillUp) != 0 && mixture);
    ShowTotal();
  }
  const bool enabled = mixture && mixture->IsShown() && !doc->GetSelectedObservedPattern() &&
                       !doc->GetSelectedCrystalPattern();
  static const UINT ids[] = {kList, kLock, kTotal, kTotalLabel, kFrame, 0};
  EnableControls(ids, enabled);
  m_action.EnableWindow(enabled && m_list.GetRowCount() > 0);
}

void CMixturePane::SendModified(CSliderRowList::Change change) {
  CLXMsgTarget(m_hWnd ? m_hWnd : LXAppWindows::GetMainWindow(), g_msgParamMixtureModifed, 0,
               static_cast<WPARAM>(change))
      .Send(CLXMessage::kModeKeep);
}

LRESULT CMixturePane::OnMixtureModified(WPARAM change, LPARAM) {
  ShowTotal();
  if (IsUpdateLocked()) return 1;
  // A title reaches the lists and the legend as a title change.
  m_hintCode = change == CSliderRowList::kNameChanged ? kHintTitle : kHint;
  SetModified(true, false);
  ApplyChanges();
  m_hintCode = kHint;
  UpdateControls(false);
  return 1;
}

void CMixturePane::OnListNotify(NMHDR*, LRESULT* result) {
  UpdateControls(false);
  if (result) *result = 0;
}

bool CMixturePane::ApplyChanges() {
  CQlwDoc* doc = GetDocument();
  if (!IsModified()) return false;
  if (doc && doc->GetSettings())
    if (const std::shared_ptr<CQLMixturePattern> mixture = FindFirstMixturePattern(doc->GetPatterns(), true, true))
      mixture->m_fillUp = IsChecked(m_lock) ? 1 : 0;
  return ApplyFinished(m_hintCode);
}

void CMixturePane::EqualiseFractions() {
  CQlwDoc* doc = GetDocument();
  if (const auto mixture = doc ? FindFirstMixturePattern(doc->GetPatterns(), true, true) : nullptr) {
    mixture->EqualiseFractions();
    m_list.RefreshSliders();
    SendModified(CSliderRowList::kShareChanged);
  }
}

void CMixturePane::ZeroFractions() {
  CQlwDoc* doc = GetDocument();
  if (const auto mixture = doc ? FindFirstMixturePattern(doc->GetPatterns(), true, true) : nullptr) {
    mixture->m_fillUp = 0;
    for (const CQLPatternPtr& c : mixture->m_components) c->m_fraction = 0.0;
    mixture->ClearProfile();
    m_list.RefreshSliders();
    SendModified(CSliderRowList::kShareChanged);
  }
}

void CMixturePane::OnUpdateEqualise(CCmdUI* ui) { ui->Enable(m_list.GetItemCount() >= 2); }
void CMixturePane::OnUpdateZero(CCmdUI* ui) { ui->Enable(m_list.GetItemCount() >= 1); }

bool CMixturePane::WantsUpdate(CView* sender, const void* hint) {
  if (!hint) return false;
  CQlwDoc* doc = GetDocument();
  const CQLPattern* current = doc ? doc->GetSelectedMixturePattern() : nullptr;
  const std::vector<const CQLPattern*> components = ComponentsOf(current);
  bool answer = false;
  switch (static_cast<const CUpdateHint*>(hint)->code) {
    case 1:
      answer = true;
      break;
    case kHintPatternTree:
      // A drop into the shown mixture changes its components, not the mixture.
      answer = current != m_lastPattern || components != m_lastComponents;
      break;
    case kCodeSelection:
      answer = current != m_lastPattern;
      break;
    case kHintPatternsRecomputed:
    case kHintPatternsShown:
      answer = current != nullptr;
      break;
    default:
      answer = CDiscloseablePane::WantsUpdate(sender, hint);
      break;
  }
  m_lastPattern = current;
  m_lastComponents = components;
  return answer;
}

void CMixturePane::ShowPaneControls(bool show) {
  static const UINT ids[] = {kList, kAction, kLock, kTotal, kTotalLabel, kFrame, 0};
  ShowControls(ids, show);
  m_list.SyncSliders();
}
