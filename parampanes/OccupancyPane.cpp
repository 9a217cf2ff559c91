// The occupancy pane: the elements of a site of the selected crystal and their occupancies.
#include "OccupancyPane.h"

#include <cwchar>

#include "LXASF.h"
#include "LXMessage.h"
#include "ParameterPaneTools.h"
#include "Preferences.h"
#include "QLCrystal.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "QLSite.h"
#include "QlwDoc.h"

namespace {
constexpr int kShownRows = 3;
constexpr int kCodeSelection = 23;
constexpr UINT kRefreshLater = WM_APP + 0x2370;

// A record of the scattering-factor table has this symbol (as the look-up compares it).
bool TableHasSymbol(const CString& symbol) {
  CASFPrefArray& table = GetScatteringFactorTable();
  CPrefValue::CMutexLock lock(table);
  for (size_t i = 0; i < table.Count(); ++i)
    if (std::wcsncmp(table.At(i)->m_symbol, symbol.GetString(), CLXASF::kMaxSymbolLength) == 0) return true;
  return false;
}
}  // namespace

// ---- the element list ----------------------------------------------------------------------

void COccupancyPane::COccList::SetSite(const std::weak_ptr<CQLCrystalPattern>& pattern, int site) {
  m_pattern = pattern;
  m_site = site;
  const CQLSite* s = GetSite();
  ResetRows(s ? static_cast<int>(s->m_species.size()) : 0, kFirstSlider);
}

CQLSite* COccupancyPane::COccList::GetSite() const {
  const std::shared_ptr<CQLCrystalPattern> pattern = m_pattern.lock();
  CQLCrystal* crystal = pattern ? pattern->GetCrystal() : nullptr;
  if (!crystal || m_site < 0 || size_t(m_site) >= crystal->m_sites.size()) return nullptr;
  return &crystal->m_sites[size_t(m_site)];
}

double COccupancyPane::COccList::GetShare(int row) const {
  const CQLSite* site = GetSite();
  return site && size_t(row) < site->m_species.size() ? site->m_species[size_t(row)].m_occupancy : 0.0;
}

void COccupancyPane::COccList::SetShare(int row, double share) {
  CQLSite* site = GetSite();
  if (!site || size_t(row) >= site->m_species.size()) return;
  CSiteSpecies& element = site->m_species[size_t(row)];
  element.m_occupancy = share;
  site->BalanceOccupancies(element);
}

CString COccupancyPane::COccList::GetName(int row) const {
  const CQLSite* site = GetSite();
  return site && size_t(row) < site->m_species.size() ? site->m_species[size_t(row)].m_name : CString();
}

bool COccupancyPane::COccList::SetName(int row, const CString& name) {
  CQLSite* site = GetSite();
  if (!site || size_t(row) >= site->m_species.size()) return false;
  // A name the table does not know would compute with the old element's factors.
  if (name.IsEmpty() || !TableHasSymbol(name)) {
    CLXXUnableToMatchScattering(kLXSeverityMessage, 0, __LINE__).Report();
    return false;
  }
  CSiteSpecies& element = site->m_species[size_t(row)];
  element.m_name = name;
  element.LookupScatteringFactors();
  return true;
}

void COccupancyPane::COccList::NotifyChanged(Change change) {
  CWnd* parent = GetParent();
  HWND target = dynamic_cast<COccupancyPane*>(parent) ? parent->m_hWnd : LXAppWindows::GetMainWindow();
  CLXMsgTarget(target, g_msgParamOccupancyModifed, 0, static_cast<WPARAM>(change)).Send(CLXMessage::kModeKeep);
}

// ---- the pane ------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(COccupancyPane, CDiscloseablePane)
  ON_BN_CLICKED(COccupancyPane::kLock, &COccupancyPane::OnControlChanged)
  ON_BN_CLICKED(COccupancyPane::kInclude, &COccupancyPane::OnControlChanged)
  ON_CBN_SELCHANGE(COccupancyPane::kSite, &COccupancyPane::OnSiteChange)
  ON_NOTIFY(LVN_ITEMCHANGED, COccupancyPane::kList, &COccupancyPane::OnListNotify)
  ON_NOTIFY(LVN_ODSTATECHANGED, COccupancyPane::kList, &COccupancyPane::OnListNotify)
  ON_COMMAND(COccupancyPane::kEqualise, &COccupancyPane::OnEqualise)
  ON_COMMAND(COccupancyPane::kZero, &COccupancyPane::OnZero)
  ON_UPDATE_COMMAND_UI(COccupancyPane::kEqualise, &COccupancyPane::OnUpdateEqualise)
  ON_UPDATE_COMMAND_UI(COccupancyPane::kZero, &COccupancyPane::OnUpdateZero)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedSync, &COccupancyPane::OnButton)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedAsync, &COccupancyPane::OnButton)
  ON_MESSAGE(kRefreshLater, &COccupancyPane::OnRefreshLater)
  ON_REGISTERED_MESSAGE(g_msgParamOccupancyModifedSync, &COccupancyPane::OnOccupancyModified)
  ON_REGISTERED_MESSAGE(g_msgParamOccupancyModifedAsync, &COccupancyPane::OnOccupancyModified)
END_MESSAGE_MAP()

COccupancyPane::COccupancyPane(CWnd* parent)
    : CDiscloseablePane(kHeader, kTemplateId, parent),
      m_add(CAlphaButton::kPush, CAlphaButton::kTextOnly, CAlphaButton::kFramed, 0),
      m_remove(CAlphaButton::kPush, CAlphaButton::kTextOnly, CAlphaButton::kFramed, 0),
      m_action(CAlphaButton::kPush, CAlphaButton::kImage, CAlphaButton::kFlat, 0) {
  LockUpdates();
}

void COccupancyPane::DoDataExchange(CDataExchange* dx) {
  CDiscloseablePane::DoDataExchange(dx);
  DDX_Control(dx, kSite, m_siteCombo);
  DDX_Control(dx, kList, m_list);
  DDX_Control(dx, kAdd, m_add);
  DDX_Control(dx, kRemove, m_remove);
  DDX_Control(dx, kAction, m_action);
  DDX_Control(dx, kInclude, m_include);
  DDX_Control(dx, kLock, m_lock);
}

BOOL COccupancyPane::OnInitDialog() {
  const BOOL result = CDiscloseablePane::OnInitDialog();
  for (CAlphaButton* button : {&m_add, &m_remove}) FixControlSize(button->m_hWnd, kPaneButtonSize, kPaneButtonSize);
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

CPrefScalar<bool>* COccupancyPane::OpenPreference() {
  return g_pPreferences ? &g_pPreferences->m_ParamOpenOccupancy : nullptr;
}

CQLSite* COccupancyPane::ChosenSite() const { return m_list.GetSite(); }

bool COccupancyPane::TargetIsShown() const {
  CQlwDoc* doc = GetDocument();
  const std::shared_ptr<CQLCrystalPattern> shown = m_pattern.lock();
  return doc && shown && SoleSelectedPattern<CQLCrystalPattern>(doc->GetPatterns()) == shown;
}

void COccupancyPane::FillSiteCombo() {
  CQlwDoc* doc = GetDocument();
  const std::shared_ptr<CQLCrystalPattern> pattern =
      doc ? SoleSelectedPattern<CQLCrystalPattern>(doc->GetPatterns()) : nullptr;
  // The same crystal keeps the site it showed: every other pane's edit refreshes this one.
  const std::uint32_t previous = pattern && pattern == m_pattern.lock() ? m_siteCombo.GetSelectedID() : 0;
  m_pattern = pattern;
  m_siteCombo.ResetContent();
  if (!pattern) return;
  const std::vector<CQLSite>& sites = pattern->GetCrystal()->m_sites;
  // Ids are the site's index + 1, so that 0 stays "none".
  for (size_t i = 0; i < sites.size(); ++i) m_siteCombo.AddItem(sites[i].m_label, i + 1);
  if (previous >= 1 && previous <= sites.size()) m_siteCombo.SelectID(previous);
  else m_siteCombo.SetCurSel(0);
}

void COccupancyPane::ShowSite() {
  const std::uint32_t id = m_siteCombo.GetCurSel() >= 0 ? m_siteCombo.GetSelectedID() : 0;
  m_list.SetSite(m_pattern, static_cast<int>(id) - 1);
  const CQLSite* site = ChosenSite();
  ShowCheck(m_include, site && site->m_included);
  ShowCheck(m_lock, site && site->m_fillVacancies);
  ShowTotal();
}

void COccupancyPane::ShowTotal() {
  const CQLSite* site = ChosenSite();
  CString total;
  total.Format(L"%0.3f", site ? site->TotalOccupancy() : 0.0);
  SetDlgItemText(kTotal, total);
}

void COccupancyPane::UpdateControls(bool fromModel) {
  CQlwDoc* doc = GetDocument();
  if (fromModel) {
    FillSiteCombo();
    ShowSite();
  }
  const std::shared_ptr<CQLCrystalPattern> pattern = m_pattern.lock();
  const bool enabled = doc && pattern && pattern->IsShown() && !doc->GetSelectedObservedPattern() &&
                       !doc->GetSelectedMixturePattern();
  static const UINT ids[] = {kSite, kSiteLabel, kInclude, kAdd, kList, kListLabel, kLock, kTotalLabel, kTotal, kFrame, 0};
  EnableControls(ids, enabled);
  m_action.EnableWindow(enabled && m_list.GetRowCount() > 0);
  // One element is the least a site holds.
  m_remove.EnableWindow(enabled && m_list.GetSelectedRow() >= 0 && m_list.GetRowCount() > 1);
}

void COccupancyPane::OnSiteChange() {
  if (IsUpdateLocked()) return;
  ShowSite();
  UpdateControls(false);
}

LRESULT COccupancyPane::OnButton(WPARAM id, LPARAM) {
  if (id == m_headerId) OnHeaderClicked();
  else if (id == kAdd) OnAddElement();
  else if (id == kRemove) OnRemoveElement();
  return 0;
}

LRESULT COccupancyPane::OnRefreshLater(WPARAM, LPARAM) {
  RefreshControls();
  return 0;
}

void COccupancyPane::ApplyEdit() {
  if (IsUpdateLocked()) return;
  SetModified(true, false);
  ApplyChanges();
  UpdateControls(false);
}

void COccupancyPane::SendModified() {
  CLXMsgTarget(m_hWnd ? m_hWnd : LXAppWindows::GetMainWindow(), g_msgParamOccupancyModifed, 0, 0)
      .Send(CLXMessage::kModeKeep);
}

LRESULT COccupancyPane::OnOccupancyModified(WPARAM, LPARAM) {
  ShowTotal();
  ApplyEdit();
  return 1;
}

void COccupancyPane::OnListNotify(NMHDR*, LRESULT* result) {
  UpdateControls(false);
  if (result) *result = 0;
}

void COccupancyPane::OnAddElement() {
  CQLSite* site = ChosenSite();
  if (!site) return;
  CString symbol;
  {
    CASFPrefArray& table = GetScatteringFactorTable();
    CPrefValue::CMutexLock lock(table);
    for (size_t i = 0; i < table.Count() && symbol.IsEmpty(); ++i) {
      const CString candidate = table.At(i)->m_symbol;
      bool taken = false;
      for (const CSiteSpecies& s : site->m_species) taken = taken || s.m_name == candidate;
      if (!taken) symbol = candidate;
    }
  }
  // Every element of the table is on the site already.
  if (symbol.IsEmpty()) return;
  site->m_species.emplace_back(symbol.GetString(), 0.5);
  site->NormaliseOccupancies();
  m_list.SetSite(m_pattern, m_list.GetSite() ? static_cast<int>(m_siteCombo.GetSelectedID()) - 1 : -1);
  ShowTotal();
  ApplyEdit();
}

void COccupancyPane::OnRemoveElement() {
  CQLSite* site = ChosenSite();
  const int row = m_list.GetSelectedRow();
  if (!site || row < 0 || size_t(row) >= site->m_species.size() || site->m_species.size() < 2) return;
  site->m_species.erase(site->m_species.begin() + row);
  if (!site->m_species.empty()) site->BalanceOccupancies(site->m_species.front());
  m_list.SetSite(m_pattern, static_cast<int>(m_siteCombo.GetSelectedID()) - 1);
  ShowTotal();
  ApplyEdit();
}

void COccupancyPane::EqualiseOccupancies() {
  CQLSite* site = ChosenSite();
  if (!site) return;
  site->NormaliseOccupancies();
  ShowSite();
  m_list.RefreshSliders();
  SendModified();
}

void COccupancyPane::ZeroOccupancies() {
  CQLSite* site = ChosenSite();
  if (!site) return;
  if (!site->m_species.empty()) {
    site->m_fillVacancies = false;
    for (CSiteSpecies& s : site->m_species) s.m_occupancy = 0.0;
  }
  ShowSite();
  m_list.RefreshSliders();
  SendModified();
}

void COccupancyPane::OnUpdateEqualise(CCmdUI* ui) { ui->Enable(m_list.GetItemCount() >= 2); }
void COccupancyPane::OnUpdateZero(CCmdUI* ui) { ui->Enable(m_list.GetItemCount() >= 1); }

bool COccupancyPane::ApplyChanges() {
  CQLSite* site = ChosenSite();
  if (!IsModified()) return false;
  // No site, or the crystal shown is no longer the one selected: nothing to write to.
  if (!site || !TargetIsShown()) {
    CDialogPane::ApplyChanges();
    if (site) PostMessage(kRefreshLater);
    return false;
  }
  m_busy = true;
  try {
    site->m_included = IsChecked(m_include);
    site->m_fillVacancies = IsChecked(m_lock);
    ApplyFinished(kHint);
  } catch (...) {
    m_busy = false;
    throw;
  }
  m_busy = false;
  return true;
}

bool COccupancyPane::WantsUpdate(CView*, const void* hint) {
  if (m_busy || !hint) return false;
  CQlwDoc* doc = GetDocument();
  // The one selected crystal: a second one selected (by a drop, say) must take the crystal away.
  const void* current = doc ? SoleSelectedPattern<CQLCrystalPattern>(doc->GetPatterns()).get() : nullptr;
  bool answer = false;
  switch (static_cast<const CUpdateHint*>(hint)->code) {
    case 1:
      answer = true;
      break;
    case kHintPatternTree:
    case kHintReflexionSelected:
    case kCodeSelection:
      answer = current != m_lastPattern;
      break;
    case kHintPatternsRecomputed:
    case kHintPatternsShown:
      answer = current != nullptr;
      break;
    default:
      return false;
  }
  m_lastPattern = current;
  return answer;
}

void COccupancyPane::ShowPaneControls(bool show) {
  static const UINT ids[] = {kSite, kSiteLabel, kInclude, kListLabel, kList, kAdd, kRemove, kAction, kLock,
                             kTotalLabel, kTotal, kFrame, 0};
  ShowControls(ids, show);
  m_list.SyncSliders();
}
