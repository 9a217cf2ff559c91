// The Preferences dialog: its pages as tabs, Save, Reset and Cancel on the store in place, and
// the layout that keeps the buttons at the bottom and the height fitted to the page shown.
#include "PreferencesDlg.h"

#include <algorithm>
#include <cmath>

#include "LXGdiplus.h"
#include "LXMessage.h"
#include "PrefsPages.h"
#include "PreferencesQt.h"

namespace {
constexpr UINT kResetId = 2900;
constexpr UINT kTabLabels[CPreferencesDlg::kPageCount] = {3424, 3422, 3426, 3423, 3428, 3427, 3425};
// Values that pages show outside the preference group; Reset and Save treat them with it.
constexpr const wchar_t* kPageValuesOutsideGroup[] = {L"FilmMode", L"ShowStructures", L"ShowReflexions",
                                                      L"ShowParameters", L"ShowPeakTips"};

bool IsPageValueOutsideGroup(const CPrefValue& value) {
  for (const wchar_t* name : kPageValuesOutsideGroup)
    if (value.GetName().CompareNoCase(name) == 0) return true;
  return false;
}

// Both stores list their values in declaration order: value i of one is value i of the other.
template <class Fn>
void ForPairs(CPreferences& a, CPreferences& b, Fn fn) {
  const auto& x = a.GetValues();
  const auto& y = b.GetValues();
  for (size_t i = 0; i < x.size() && i < y.size(); ++i)
    if (x[i]->GetName() == y[i]->GetName()) fn(*x[i], *y[i]);
}
}  // namespace

BEGIN_MESSAGE_MAP(CPreferencesDlg, CTabbedDialog<CLXDialog>)
  ON_BN_CLICKED(2900, &CPreferencesDlg::OnReset)
  ON_WM_SIZE()
END_MESSAGE_MAP()

CPreferencesDlg::CPreferencesDlg(CWnd*)
    : CTabbedDialog<CLXDialog>(kTemplateId, CWnd::FromHandle(LXAppWindows::GetMainWindow())), m_layout(this) {
  m_manageOKButton = true;
  RaiseLock();
  if (CPreferences* store = g_pPreferences) {
    store->SaveGroup(CLXPreferences::kGroupFiles | CLXPreferences::kGroupFilesMore, false);
    m_before = std::make_unique<CPreferences>(CLXPreferences::DetachedTag{});
    ForPairs(*m_before, *store, [](CPrefValue& copy, CPrefValue& live) { copy.CopyFrom(live); });
  }
}

CPreferencesDlg::~CPreferencesDlg() {
  for (int i = kPageCount - 1; i >= 0; --i) {
    delete m_pages[i];
    m_pages[i] = nullptr;
  }
  delete m_pBoldFont;
  m_pBoldFont = nullptr;
}

void CPreferencesDlg::DoDataExchange(CDataExchange* dx) {
  CTabbedDialog<CLXDialog>::DoDataExchange(dx);
  DDX_Control(dx, kResetId, m_resetButton);
  DDX_Control(dx, IDCANCEL, m_cancelButton);
}

CPreferencesPane* CPreferencesDlg::MakePage(int tab) {
  switch (tab) {
    case 0: return new CGeneralPrefsPane(this);
    case 1: return new CDiffractionPrefsPane(this);
    case 2: return new CProfilePrefsPane(this);
    case 3: return new CDisplayPrefsPane(this);
    case 4: return new CStylesPrefsPane(this);
    case 5: return new CSamplePrefsPane(this);
    case 6: return new CLabelsPrefsPane(this);
    default: return nullptr;
  }
}

BOOL CPreferencesDlg::OnInitDialog() {
  CTabbedDialog<CLXDialog>::OnInitDialog();
  // The tab control and the buttons are placed by this code, not by the template's layout.
  PrefsLayout::ReleaseTemplateLayout(m_hWnd);
  delete m_pBoldFont;
  m_pBoldFont = CreateBoldWindowFont(this);
  if (!m_pBoldFont) {
    LOGFONTW lf{};
    lf.lfHeight = -12;
    lf.lfWeight = FW_BOLD;
    std::wcsncpy(lf.lfFaceName, L"MS Shell Dlg 2", LF_FACESIZE - 1);
    m_pBoldFont = CreateFontFromLogFont(lf);
  }
  RECT tab{}, window{};
  m_tabCtrl.GetWindowRect(&tab);
  GetWindowRect(&window);
  m_bottomMargin = static_cast<float>(window.bottom - tab.bottom);

  for (int i = 0; i < kPageCount; ++i) m_pages[i] = MakePage(i);
  for (int i = 0; i < kPageCount; ++i) {
    CString label;
    label.LoadString(kTabLabels[i]);
    CPreferencesPane* page = m_pages[i];
    if (!page || m_tabCtrl.AddPage(label, page->GetTemplateID(), page) == -1)
      throw CLXXPrefsDlg(kLXSeverityMessage, 0, 0);
  }
  LayOutForPages();

  for (CWnd* button : {static_cast<CWnd*>(&m_resetButton), static_cast<CWnd*>(&m_cancelButton),
                       static_cast<CWnd*>(&GetOKButton())})
    if (button->m_hWnd) m_layout.Add(button, CAdjustWindows::kMoveDown);
  RECT client{};
  GetClientRect(&client);
  m_layout.Init(client);

  m_tabCtrl.SelectPage(CGeneralPrefsPane::kTemplateId);
  m_tabCtrl.ShowPages();
  m_refreshGuard.Release();
  m_layout.Adjust();
  CenterWindow();
  return FALSE;
}

void CPreferencesDlg::LayOutForPages() {
  int width = 0;
  for (CPreferencesPane* page : m_pages) width = std::max<int>(width, PrefsLayout::FitPageToContents(page->m_hWnd, 0).cx);
  for (CPreferencesPane* page : m_pages) PrefsLayout::FitPageToContents(page->m_hWnd, width);

  RECT tab{}, window{}, client{};
  m_tabCtrl.GetWindowRect(&tab);
  ScreenToClient(&tab);
  GetWindowRect(&window);
  GetClientRect(&client);
  const int margin = std::max<int>(tab.left, 8);
  const int tabWidth = width + 4 * ::GetSystemMetrics(SM_CXEDGE);
  const int frame = (window.right - window.left) - (client.right - client.left);
  const int clientWidth = margin + tabWidth + margin;
  SetWindowPos(nullptr, 0, 0, clientWidth + frame, window.bottom - window.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // The buttons in a row at the bottom right, where the template's layout put them in height.
  int right = clientWidth - margin;
  for (CWnd* button : {static_cast<CWnd*>(&GetOKButton()), static_cast<CWnd*>(&m_cancelButton),
                       static_cast<CWnd*>(&m_resetButton)}) {
    if (!button->m_hWnd) continue;
    RECT r{};
    button->GetWindowRect(&r);
    ScreenToClient(&r);
    const int w = r.right - r.left;
    button->MoveWindow(right - w, r.top, w, r.bottom - r.top);
    right -= w + 6;
  }
  GetWindowRect(&window);
  m_minTrackWidth = window.right - window.left;
}

void CPreferencesDlg::RefreshControls() {
  if (m_refreshGuard.held) return;
  ++m_refreshGuard.count;
  if (g_pPreferences) SelectTab(*g_pPreferences->m_PrefsTabChoice.GetRef(), kTemplateId);
  CLXDialog::RefreshControls();
  Invalidate(TRUE);
  m_refreshGuard.Release();
}

void CPreferencesDlg::OnTabChanged() {
  CDialogPane* page = m_tabCtrl.GetCurrentPage();
  SetModified(page && page->IsModified(), false);
  OnTabSelected();
  // The tab on screen is the tab choice, so a refresh does not jump to another one.
  if (g_pPreferences && m_tabCtrl.GetCurSel() >= 0) g_pPreferences->m_PrefsTabChoice.Set(m_tabCtrl.GetCurSel());
  RECT tab{}, window{};
  m_tabCtrl.GetWindowRect(&tab);
  GetWindowRect(&window);
  const int height = static_cast<int>(std::floor(static_cast<float>(tab.bottom) + m_bottomMargin)) - window.top;
  SetWindowPos(nullptr, 0, 0, window.right - window.left, height, 0x216);
}

void CPreferencesDlg::OnSize(UINT type, int cx, int cy) {
  CTabbedDialog<CLXDialog>::OnSize(type, cx, cy);
  if (m_refreshGuard.held) return;
  ++m_refreshGuard.count;
  m_layout.Adjust();
  UpdateControls(false);
  m_refreshGuard.Release();
}

bool CPreferencesDlg::ApplyChanges() {
  bool applied = false;
  for (int i = 0; i < m_tabCtrl.GetItemCount(); ++i) {
    TCITEMW item{};
    item.mask = TCIF_PARAM;
    if (!m_tabCtrl.GetItem(i, &item)) continue;
    const CLXTabCtrl::PageRecord* record = m_tabCtrl.FindPage(static_cast<UINT>(item.lParam));
    if (record && record->page && record->page->ApplyChanges()) applied = true;
  }
  if (CPreferences* store = g_pPreferences) {
    store->SaveSettings();
    // The pages' values outside the preference group are written too, when they changed: left in
    // memory only, the next start would lose them.
    if (applied && m_before)
      ForPairs(*store, *m_before, [](CPrefValue& live, CPrefValue& before) {
        if (IsPageValueOutsideGroup(live) && !(live.GetGroups() & CLXPreferences::kGroupSettings) &&
            live.Checksum(0) != before.Checksum(0))
          live.Write();
      });
  }
  SetModified(false, true);
  return true;
}

void CPreferencesDlg::OnReset() {
  if (CPreferences* store = g_pPreferences) {
    CPreferences factory(CLXPreferences::DetachedTag{});
    ForPairs(*store, factory, [](CPrefValue& live, CPrefValue& defaults) {
      if (live.GetName().CompareNoCase(L"PrefsTabChoice") == 0) return;
      if ((live.GetGroups() & CLXPreferences::kGroupSettings) || IsPageValueOutsideGroup(live)) live.CopyFrom(defaults);
    });
  }
  CLXMsgChild(m_hWnd, g_msgResetPane, 0, 0).Send(CLXMessage::kModeSync);
  SetModified(true, false);
}

void CPreferencesDlg::OnCancel() {
  // What the dialog changed goes back; the tab choice stays as the user left it.
  if (CPreferences* store = g_pPreferences; store && m_before) {
    ForPairs(*store, *m_before, [](CPrefValue& live, CPrefValue& before) {
      if (live.GetName().CompareNoCase(L"PrefsTabChoice") == 0) return;
      if (live.Checksum(0) != before.Checksum(0)) live.CopyFrom(before);
    });
  }
  CTabbedDialog<CLXDialog>::OnCancel();
}

INT_PTR CPreferencesDlg::Run(CWnd* parent) {
  CPreferencesDlg dialog(parent);
  try {
    return dialog.DoModal();
  } catch (CLXXPrefsDlg& error) {
    if (dialog.m_hWnd) dialog.DestroyWindow();
    error.Report();
    return IDCANCEL;
  }
}
