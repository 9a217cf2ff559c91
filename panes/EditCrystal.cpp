// The crystal editor's dialog: symbol, origin and cell, the status lines, "+" and "-", and OK's
// checks and write-back. The site list and the occupancy text are in EditCrystalSites.cpp.
#include "EditCrystal.h"

#include <algorithm>
#include <cmath>

#include "EditorSupport.h"
#include "LXMessage.h"
#include "LXUtils.h"
#include "SpaceGroups.h"

namespace {
const IDComboEntry kOriginChoices[] = {
    {2411, CEditCrystal::kOriginDefault, kIDComboNoBitmap},
    {2412, CEditCrystal::kOrigin1, kIDComboNoBitmap},
    {2413, CEditCrystal::kOrigin2, kIDComboNoBitmap},
    {0, CEditCrystal::kOriginDefault, 0},
};

// Cell ranges shared with the unit cell pane: edges in Å, angles in degrees.
constexpr double kEdgeMin = 0.0001, kEdgeMax = 10000.0, kAngleMin = 1.0, kAngleMax = 179.0;
// An origin offset smaller than this is no offset (2^-39).
constexpr double kOffsetTolerance = 1.8189894035458565e-12;
// Uiso in Å².
constexpr double kUisoMax = 100.0;

// The number typed in an edit, else the edit's last accepted value.
double TypedValue(CLXEdit<double>& edit) {
  CString text;
  edit.GetWindowText(text);
  double value = 0.0;
  return editors::ParseFiniteNumber(text, value) ? value : edit.m_value;
}

const wchar_t* SystemName(int system) {
  switch (system) {
    case 1: return L"Triclinic";
    case 2: return L"Monoclinic";
    case 3: return L"Orthorhombic";
    case 4: return L"Tetragonal";
    case 5:
    case 6: return L"Trigonal";
    case 7: return L"Hexagonal";
    case 8: return L"Cubic";
    default: return L"Unknown";
  }
}
}  // namespace

BEGIN_MESSAGE_MAP(CEditCrystal, CToolTipDialog)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedSync, &CEditCrystal::OnAlphaButton)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedAsync, &CEditCrystal::OnAlphaButton)
  ON_EN_CHANGE(CEditCrystal::kSymbol, &CEditCrystal::OnSymbolChanged)
  ON_CBN_SELCHANGE(CEditCrystal::kOrigin, &CEditCrystal::OnOriginChanged)
  ON_CONTROL(EN_UPDATE, CEditCrystal::kAlpha, &CEditCrystal::LookupSymbol)
  ON_CONTROL(EN_UPDATE, CEditCrystal::kBeta, &CEditCrystal::LookupSymbol)
  ON_CONTROL(EN_UPDATE, CEditCrystal::kGamma, &CEditCrystal::LookupSymbol)
  ON_NOTIFY(LVN_ITEMCHANGED, CEditCrystal::kList, &CEditCrystal::OnListChanged)
  ON_NOTIFY(LVN_ODSTATECHANGED, CEditCrystal::kList, &CEditCrystal::OnListChanged)
  ON_WM_GETMINMAXINFO()
  ON_COMMAND(ID_HELP, &CEditCrystal::OnHelpCommand)
  ON_MESSAGE(WM_HELP, &CEditCrystal::OnHelpRequest)
END_MESSAGE_MAP()

CEditCrystal::CEditCrystal(CQLCrystal* crystal, CWnd* parent)
    : CToolTipDialog(kTemplateId, parent),
      m_crystal(crystal),
      m_add(CAlphaButton::kPush, CAlphaButton::kImage, CAlphaButton::kFramed, 0),
      m_delete(CAlphaButton::kPush, CAlphaButton::kImage, CAlphaButton::kFramed, 0),
      m_help(CAlphaButton::kPush, CAlphaButton::kImage, CAlphaButton::kFramed, 0) {}

void CEditCrystal::DoDataExchange(CDataExchange* dx) {
  CToolTipDialog::DoDataExchange(dx);
  DDX_Control(dx, kList, m_list);
  DDX_Control(dx, kSymbol, m_symbol);
  DDX_Control(dx, kOrigin, m_origin);
  DDX_Control(dx, kA, m_a);
  DDX_Control(dx, kB, m_b);
  DDX_Control(dx, kC, m_c);
  DDX_Control(dx, kAlpha, m_alpha);
  DDX_Control(dx, kBeta, m_beta);
  DDX_Control(dx, kGamma, m_gamma);
}

int CEditCrystal::GetHelpCommand(LPARAM) { return kHelpCommand; }

BOOL CEditCrystal::OnInitDialog() {
  CToolTipDialog::OnInitDialog();
  m_writingSymbol = true;  // the controls are being filled: no look-ups yet
  const CQLCrystal& c = *m_crystal;
  // U comes from β through the reciprocal lengths of the cell as it stands now.
  std::array<double, 3> star = {c.m_aStar, c.m_bStar, c.m_cStar};
  try {
    CQLCrystal cell;
    cell.m_a = c.m_a, cell.m_b = c.m_b, cell.m_c = c.m_c;
    cell.m_alpha = c.m_alpha, cell.m_beta = c.m_beta, cell.m_gamma = c.m_gamma;
    cell.ComputeMetrics();
    star = {cell.m_aStar, cell.m_bStar, cell.m_cStar};
  } catch (CLXXDegenerateCell&) {
  }
  m_rows.reserve(c.m_sites.size() + 1);
  for (const CQLSite& site : c.m_sites) m_rows.push_back(SiteRec::FromSite(site, star, m_counter++));

  m_origin.Fill(kOriginChoices, true);
  m_origin.SelectID(static_cast<OriginChoice>(c.m_originChoice));

  struct Cell {
    CLXEdit<double>* edit;
    double value;
    bool angle;
  } cells[] = {{&m_a, c.m_a, false},    {&m_b, c.m_b, false},     {&m_c, c.m_c, false},
               {&m_alpha, c.m_alpha, true}, {&m_beta, c.m_beta, true}, {&m_gamma, c.m_gamma, true}};
  for (Cell& cell : cells) {
    cell.edit->SetFormat(cell.angle ? L"%.3f" : L"%.5f");
    if (cell.angle) cell.edit->SetRange(kAngleMin, kAngleMax);
    else cell.edit->SetRange(kEdgeMin, kEdgeMax);
    const double value = std::isfinite(cell.value) ? std::clamp(cell.value, cell.edit->m_min, cell.edit->m_max)
                                                   : cell.edit->m_min;
    cell.edit->SetValue(value, true);
    if (cell.angle) {
      UINT previous = 0;
      cell.edit->AddDisplayFlag(previous);
    }
  }
  const std::pair<UINT, UINT> angleLabels[] = {{kAlphaLabel, 2401}, {kBetaLabel, 2402}, {kGammaLabel, 2404}};
  for (const auto& [control, string] : angleLabels) {
    CString text;
    if (text.LoadString(string)) SetDlgItemText(control, text);
  }
  if (CWnd* icon = GetDlgItem(kWarning)) {
    editors::ShowWarningIcon(icon->m_hWnd);
    icon->ShowWindow(SW_HIDE);
  }
  SetUpSiteList();
  // The image buttons take over their template items themselves (they prepare their drawing).
  m_add.SubclassDlgItem(kAdd, this);
  m_delete.SubclassDlgItem(kDelete, this);
  m_help.SubclassDlgItem(kHelp, this);
  for (CAlphaButton* button : {&m_add, &m_delete, &m_help}) editors::KeepButtonNarrow(button->m_hWnd);
  m_add.LoadImages(2003, 2003);
  m_delete.LoadImages(2008, 2008);
  m_help.LoadImages(2013, 2013);
  for (UINT id : {kLayoutStatic, kLayoutStatic2})
    if (CWnd* w = GetDlgItem(id)) w->ShowWindow(SW_HIDE);
  CUtils::SetAppIcon(m_hWnd);
  editors::FitDialogToList(*this, m_list, 10);
  CRect window;
  GetWindowRect(&window);
  m_minTrack = {window.Width(), window.Height() * 3 / 4};

  m_originOffset = c.m_originShift;
  CString cue;
  if (cue.LoadString(2407)) m_symbol.SendMessage(EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(cue.GetString()));
  m_currentSymbol = c.m_spaceGroupSymbol;
  m_writingSymbol = false;
  m_initialising = false;
  UpdateState();
  CUtils::ActivateControl(m_hWnd, m_list.m_hWnd);
  if (c.m_state == 1) OnAddSite();
  return FALSE;
}

void CEditCrystal::SetUpSiteList() {
  m_list.Initialise(this, 14, nullptr);
  m_list.SetExtendedStyle((m_list.SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE) & ~LVS_EX_GRIDLINES) | LVS_EX_FULLROWSELECT);
  m_list.SetRowHeight(m_list.UpdateRowHeight(GetSystemMetrics(SM_CYSMICON)));
  m_list.SortBy(2, true);
  SetItemCountOrThrow(true);
  if (!m_rows.empty()) {
    m_list.EnsureVisible(static_cast<int>(m_rows.size()) - 1, FALSE);
    m_list.EnsureVisible(0, FALSE);
  }
}

void CEditCrystal::SetItemCountOrThrow(bool atInit) {
  const auto count = static_cast<LONGLONG>(m_rows.size());
  if (m_list.SendMessage(LVM_SETITEMCOUNT, m_rows.size(), LVSICF_NOINVALIDATEALL)) return;
  if (atInit) throw CLXXAllocationFailed(kLXSeverityMessage, count, __LINE__);
  throw CLXXOutOfMemory(kLXSeverityMessage, count, __LINE__);
}

CEditCrystal::OriginChoice CEditCrystal::SelectedOrigin() const {
  return m_origin.GetCurSel() < 0 ? kOriginDefault : m_origin.GetSelectedID();
}

// ---- the space group ----

void CEditCrystal::OnSymbolChanged() {
  if (!m_writingSymbol) LookupSymbol();
}

void CEditCrystal::OnOriginChanged() {
  m_originOffset = {0.0, 0.0, 0.0};
  LookupSymbol();
}

void CEditCrystal::LookupSymbol() {
  if (m_initialising) return;
  CString text;
  m_symbol.GetWindowText(text);
  text.Trim();
  int system = 0;
  const bool found = LookupSpaceGroupSymbol(text, static_cast<int>(SelectedOrigin()), static_cast<float>(TypedValue(m_alpha)),
                                            static_cast<float>(TypedValue(m_beta)),
                                            static_cast<float>(TypedValue(m_gamma)), system);
  CString status;
  if (found) {
    m_currentSymbol = text;
    FormatSpaceGroupStatus(system, status);
  } else {
    status.LoadString(1564);
  }
  SetDlgItemText(kSymbolStatus, status);
  if (CWnd* icon = GetDlgItem(kWarning)) icon->ShowWindow(found ? SW_HIDE : SW_SHOW);
  if (!found) {
    m_originOffset = {0.0, 0.0, 0.0};
    m_symbolValid = false;
  } else {
    m_symbolValid = true;
    if (m_currentSymbol != m_crystal->m_spaceGroupSymbol) m_originOffset = {0.0, 0.0, 0.0};
  }
  if (CWnd* ok = GetDlgItem(IDOK)) ok->EnableWindow(!m_rows.empty() && m_symbolValid);
}

void CEditCrystal::FormatSpaceGroupStatus(int system, CString& out) {
  CString symbol = m_currentSymbol;
  int origin = static_cast<int>(SelectedOrigin());
  ParseSpaceGroupSymbol(symbol, origin);
  int setting = 0;
  if (!symbol.IsEmpty() && symbol[0] == L'R') setting = system == 6 ? 111 : system == 5 ? 112 : 0;
  const int index = FindSpaceGroupIndex(symbol, origin, setting);
  const int number = index >= 0 ? g_SpaceGroupTable[index].number : 0;
  const int operators = index >= 0 ? g_SpaceGroupTable[index].operatorCount : 0;
  out.Format(L"%s spacegroup (No. %d): ", SystemName(system), number);
  const CString note = GetSettingNote(setting);
  if (!note.IsEmpty()) out += note + L"; ";
  out.AppendFormat(L"%d general equivalent positions.", operators);
  if (std::any_of(m_originOffset.begin(), m_originOffset.end(),
                  [](double v) { return std::fabs(v) >= kOffsetTolerance; })) {
    CString format;
    format.LoadString(2410);
    out += L" ";
    out.AppendFormat(format, m_originOffset[0], m_originOffset[1], m_originOffset[2]);
  }
}

// ---- rows ----

void CEditCrystal::UpdateState() {
  if (CWnd* ok = GetDlgItem(IDOK)) ok->EnableWindow(!m_rows.empty() && m_symbolValid);
  if (!m_writingSymbol) {
    m_writingSymbol = true;
    m_symbol.SetWindowText(m_currentSymbol);
    CString text = m_currentSymbol;
    int system = 0;
    if (LookupSpaceGroupSymbol(text, static_cast<int>(SelectedOrigin()), static_cast<float>(TypedValue(m_alpha)),
                               static_cast<float>(TypedValue(m_beta)), static_cast<float>(TypedValue(m_gamma)),
                               system)) {
      CString status;
      FormatSpaceGroupStatus(system, status);
      SetDlgItemText(kSymbolStatus, status);
    }
    m_writingSymbol = false;
  }
  CString format, status;
  format.LoadString(2408);
  status.Format(format, static_cast<int>(m_list.GetSelectedCount()), static_cast<int>(m_rows.size()));
  SetDlgItemText(kStatus, status);
  m_list.Invalidate();
}

LRESULT CEditCrystal::OnAlphaButton(WPARAM id, LPARAM) {
  try {
    if (id == kAdd) OnAddSite();
    else if (id == kDelete) OnDeleteSites();
    else if (id == kHelp) editors::PostHelpCommand(kHelpCommand);
  } catch (CLXException& e) {
    e.Report();
  }
  return 0;
}

void CEditCrystal::OnHelpCommand() { editors::PostHelpCommand(kHelpCommand); }

LRESULT CEditCrystal::OnHelpRequest(WPARAM, LPARAM) {
  SendMessage(WM_COMMAND, ID_HELP, 0);
  return TRUE;
}

void CEditCrystal::OnAddSite() {
  m_rows.push_back(SiteRec::NewRow(m_counter++));
  SetItemCountOrThrow(false);
  editors::SelectAndEditLastRow(m_list, static_cast<int>(m_rows.size()) - 1);
  UpdateState();
}

void CEditCrystal::OnDeleteSites() {
  if (!m_rows.empty()) {
    try {
      editors::EraseSelectedRows(m_list, m_rows);
      m_list.SetItemState(-1, 0, LVIS_SELECTED);
      SetItemCountOrThrow(false);
      m_list.Invalidate();
    } catch (CLXXProduct& e) {
      e.Report();
    }
  }
  UpdateState();
}

void CEditCrystal::OnListChanged(NMHDR*, LRESULT* result) {
  if (result) *result = 0;
  if (!m_initialising) UpdateState();
}

void CEditCrystal::OnGetMinMaxInfo(MINMAXINFO* info) {
  Default();
  if (m_initialising) return;
  info->ptMinTrackSize = POINT{m_minTrack.cx, m_minTrack.cy};
}

// ---- OK ----

BOOL CEditCrystal::PreTranslateMessage(MSG* msg) {
  // Return means OK even while the button is disabled, so that an unknown symbol is reported
  // (the list has taken the Return that edits its cells before it gets here).
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
    CWnd* ok = GetDlgItem(IDOK);
    if (ok && !ok->IsWindowEnabled()) {
      OnOK();
      return TRUE;
    }
  }
  return CToolTipDialog::PreTranslateMessage(msg);
}

void CEditCrystal::OnOK() {
  // Return reaches here even while OK is disabled, and an unknown symbol is then reported below;
  // a crystal without sites is never written.
  if (m_rows.empty()) return;
  for (CLXEdit<double>* e : {&m_a, &m_b, &m_c, &m_alpha, &m_beta, &m_gamma})
    if (!e->Validate(true)) return;
  const double a = m_a.m_value, b = m_b.m_value, c = m_c.m_value;
  const double alpha = m_alpha.m_value, beta = m_beta.m_value, gamma = m_gamma.m_value;
  CString text;
  m_symbol.GetWindowText(text);
  text.Trim();
  const OriginChoice origin = SelectedOrigin();

  int system = 0;
  CString symbol = text;
  if (!LookupSpaceGroupSymbol(symbol, static_cast<int>(origin), static_cast<float>(alpha), static_cast<float>(beta),
                              static_cast<float>(gamma), system)) {
    CLXXBadSpacegroup(kLXSeverityMessage, 0, __LINE__).Report();
    m_writingSymbol = true;
    m_symbol.SetWindowText(text);
    m_writingSymbol = false;
    return;
  }
  // A cell that cannot close (γ = 180, α + β = γ) is refused here, before anything is written,
  // rather than failing every recompute afterwards.
  CQLCrystal cell;
  cell.m_a = a, cell.m_b = b, cell.m_c = c;
  cell.m_alpha = alpha, cell.m_beta = beta, cell.m_gamma = gamma;
  try {
    cell.ComputeMetrics();
  } catch (CLXXDegenerateCell& e) {
    e.Report();
    return;
  }

  if (system >= 5 && system <= 8) {
    for (SiteRec& r : m_rows) {
      r.x = SnapCoordinate(r.x);
      r.y = SnapCoordinate(r.y);
      r.z = SnapCoordinate(r.z);
    }
    m_list.Invalidate();
  }

  for (const SiteRec& r : m_rows) {
    if (r.adpType == kADPUij) {
      if (!IsPositiveDefinite3x3(r.u.data())) {
        CLXXBadADPAnisotropic(kLXSeverityMessage, 0, __LINE__, r.label.GetString()).Report();
        return;
      }
    } else if (r.adpType == kADPUiso) {
      if (!(r.uiso >= 0.0 && r.uiso <= kUisoMax)) {
        CLXXBadADPUIso(kLXSeverityMessage, 0, __LINE__, r.label.GetString()).Report();
        return;
      }
    }
  }

  CQLCrystal& crystal = *m_crystal;
  crystal.m_operators.clear();
  crystal.m_a = a, crystal.m_b = b, crystal.m_c = c;
  crystal.m_alpha = alpha, crystal.m_beta = beta, crystal.m_gamma = gamma;
  crystal.m_spaceGroupSymbol = m_currentSymbol;
  crystal.m_latticeLetter = m_currentSymbol.IsEmpty() ? 'P' : static_cast<char>(m_currentSymbol[0]);
  crystal.m_originChoice = static_cast<std::int32_t>(origin);
  // The offset belongs to the setting it was found for; a changed symbol or origin has cleared it.
  crystal.m_originShift = m_originOffset;
  // Anisotropic sites are built from the new cell's reciprocal lengths, not the old ones.
  crystal.ComputeMetrics();
  crystal.ComputeReciprocalMetric();

  crystal.m_sites.clear();
  crystal.m_hasDisplacements = false;
  crystal.m_sites.reserve(m_rows.size());
  for (const SiteRec& r : m_rows) {
    CQLSite site;
    site.m_species = r.species;
    site.m_label = r.label;
    site.m_x = r.x, site.m_y = r.y, site.m_z = r.z;
    site.m_included = r.on;
    if (r.adpType == kADPUiso) {
      site.m_displacement = std::make_unique<CQLThermalEllipsoid>(r.uiso);
      crystal.m_hasDisplacements = true;
    } else if (r.adpType == kADPUij) {
      site.m_displacement =
          std::make_unique<CQLAnisoThermalEllipsoid>(r.u.data(), crystal.m_aStar, crystal.m_bStar, crystal.m_cStar);
      crystal.m_hasDisplacements = true;
    }
    crystal.m_sites.push_back(std::move(site));
  }
  crystal.ExpandSitesBySymmetry();
  crystal.m_state = 0;
  EndDialog(IDOK);
}
