// The scattering-factors palette: its one instance, layout, rows and their storage, the commands
// of its menus and buttons, and the record it shares with the palettes of other instances.
#include "ScatteringFactors.h"

#include "ASFTableFile.h"
#include "GraphRenderer.h"
#include "LXApp.h"
#include "LXFileDialog.h"
#include "LXMessage.h"
#include "LXUtils.h"
#include "Preferences.h"
#include "WndQt.h"

#include <QLayout>
#include <QWidget>

#include <algorithm>
#include <cstring>

IMPLEMENT_DYNAMIC(CScatteringFactors, CLXPalette)

BEGIN_MESSAGE_MAP(CScatteringFactors, CLXPalette)
  ON_WM_SIZE()
  ON_WM_GETMINMAXINFO()
  ON_REGISTERED_MESSAGE(g_msgToolGetPlotRectSync, &CScatteringFactors::OnToolGetPlotRect)
  ON_REGISTERED_MESSAGE(g_msgToolGetPlotRectAsync, &CScatteringFactors::OnToolGetPlotRect)
  ON_REGISTERED_MESSAGE(g_msgToolUpdateRequestSync, &CScatteringFactors::OnToolUpdateRequest)
  ON_REGISTERED_MESSAGE(g_msgToolUpdateRequestAsync, &CScatteringFactors::OnToolUpdateRequest)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedSync, &CScatteringFactors::OnAlphaButton)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedAsync, &CScatteringFactors::OnAlphaButton)
  ON_MESSAGE(0x7EC, &CScatteringFactors::OnCursorColour)
  ON_MESSAGE(0x7ED, &CScatteringFactors::OnCursorColour)
END_MESSAGE_MAP()

namespace {
CScatteringFactors* g_palette = nullptr;

// The kind of this palette in the record shared between instances.
constexpr UUID kPaletteKind = {0x8c5da8fa, 0x3034, 0x43f5, {0xaa, 0x52, 0xa1, 0x68, 0x2d, 0x17, 0x4d, 0x88}};

// The shared record, 64 bytes.
struct SyncRecord {
  UUID identity;
  std::uint64_t window;
  RECT windowRect;
  std::uint8_t visiblePreference;
  std::uint8_t shown;
  std::uint8_t gridlines;
  std::uint8_t cursorOn;
  RECT splitterRect;
  std::uint8_t reserved[4];
};
static_assert(sizeof(SyncRecord) == 64, "the shared record is 64 bytes");

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 600;
constexpr int kBarThickness = 6;
constexpr int kGraphMinHeight = 120;
constexpr int kMinWidth = 360;
constexpr double kMinListRows = 6.2;
constexpr UINT kFirstToolCommand = 32768, kLastToolCommand = 34577;

CString LoadText(UINT id) {
  CString text;
  text.LoadString(id);
  return text;
}

void Place(CWnd& window, int x, int y, int width, int height) {
  if (window.m_hWnd) window.MoveWindow(x, y, std::max(0, width), std::max(0, height), TRUE);
}
}  // namespace

CScatteringFactors::CScatteringFactors()
    : CLXPalette(kTemplateId),
      m_actionButton(CAlphaButton::kPush, CAlphaButton::kImage, CAlphaButton::kFlat, 0),
      m_addButton(CAlphaButton::kPush, CAlphaButton::kImage, CAlphaButton::kFlat, 0),
      m_deleteButton(CAlphaButton::kPush, CAlphaButton::kImage, CAlphaButton::kFlat, 0) {
  m_identity = kPaletteKind;
  m_syncEnabled = true;
  CDiffractionSettings& s = m_graphSettings;
  s.m_unitName = LoadText(3623);
  s.m_unitSymbol = LoadText(1115);
  s.m_yTitle = LoadText(3624);
  // d* is 1/d: the cursor's d-spacing readout then reads true.
  s.m_axisType = LXTypes::kAxisInverseD;
  s.m_visibleXMin = s.m_defaultXMin = 0.0;
  s.m_visibleXMax = s.m_defaultXMax = 4.0;
  s.m_visibleYMin = 0.0;
  s.m_visibleYMax = 1.0;
  s.m_showGrid = 1;
  s.m_showPlotTitle = true;
  s.m_filmMode = 0;
  s.m_logarithmicYAxis = 0;
  m_graph.m_palette = this;
}

CScatteringFactors::~CScatteringFactors() {
  m_actionButton.AttachMenu(nullptr, nullptr, true, 0);
  if (g_palette == this) {
    g_palette = nullptr;
    CPreferences::SetScatteringFactorsWriter(nullptr);
  }
}

CScatteringFactors* CScatteringFactors::GetPalette() { return g_palette; }

CScatteringFactors* CScatteringFactors::OpenPalette(int mode) {
  CPreferences* prefs = g_pPreferences;
  if (mode == 0) mode = prefs && prefs->m_ScatteringFactorsVisible.Get() ? 1 : 2;
  if (!g_palette) {
    g_palette = new CScatteringFactors;
    CPreferences::SetScatteringFactorsWriter(g_palette);
  }
  RECT rect{0, 0, 0, 0};
  if (prefs) rect = prefs->m_ScatteringFactorsWinRect.Get();
  try {
    g_palette->CreatePalette(&rect, mode);
  } catch (...) {
    // CreatePalette has destroyed the palette.
    g_palette = nullptr;
    CPreferences::SetScatteringFactorsWriter(nullptr);
    throw;
  }
  return g_palette;
}

void CScatteringFactors::TogglePalette() {
  const bool visible = g_palette && g_palette->m_hWnd && g_palette->IsWindowVisible();
  OpenPalette(visible ? 2 : 1);
}

void CScatteringFactors::DoDataExchange(CDataExchange* dx) {
  CLXPalette::DoDataExchange(dx);
  DDX_Control(dx, kListId, m_list);
  DDX_Control(dx, kStatusId, m_status);
}

// ---- Creation and layout -------------------------------------------------------------------
BOOL CScatteringFactors::OnInitDialog() {
  CLXPalette::OnInitDialog();
  // The palette places its children itself.
  if (QWidget* host = qlw::WidgetOf(m_hWnd)) delete host->layout();
  m_graph.SubclassDlgItem(kGraphId, this);
  m_actionButton.SubclassDlgItem(kActionId, this);
  m_addButton.SubclassDlgItem(kAddId, this);
  m_deleteButton.SubclassDlgItem(kDeleteId, this);

  m_list.Initialise(this, kColumnCount, nullptr);
  m_list.SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                     LVS_EX_FULLROWSELECT);
  m_list.ApplySort(1, true);

  if (!m_splitter.Create(L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, kBarThickness), this, kSplitterId))
    throw CLXXScatteringSplitter(kLXSeverityMessage, 0, __LINE__);
  m_splitter.SetStyle(CSplitterControl::kStyleNotify);
  m_splitter.SetCursor(::LoadCursorW(nullptr, IDC_SIZENS));
  m_splitter.SetTrackerColor(RGB(0x78, 0x78, 0x78));
  if (!m_splitter.AddWindow(1, &m_graph) || !m_splitter.AddWindow(0, &m_list))
    throw CLXXScatteringSplitter(kLXSeverityMessage, 0, __LINE__);

  m_actionButton.LoadImages(2002, 2002);
  m_addButton.LoadImages(2003, 2003);
  m_deleteButton.LoadImages(2008, 2008);
  if (!m_actionMenu.LoadMenu(kActionMenuId)) throw CLXXCantLoadResource(kLXSeverityMessage, 0, __LINE__);
  m_actionButton.AttachMenu(&m_actionMenu, this, true, 0);
  m_actionButton.SetMenuKind(CAlphaButton::kMenuOnPress);

  // The first size, and the smallest a user may make it: buttons and status across, the graph
  // above at its least and some rows of the list below.
  m_bottomBand = std::max(24, (3 * GetSystemMetrics(SM_CYMENU)) / 2);
  const int rows = std::max(m_list.GetRowHeight(), 16);
  const int listMin = CSubEditList::MeasureListHeaderHeight() + static_cast<int>(kMinListRows * rows);
  CRect window, client;
  GetWindowRect(&window);
  GetClientRect(&client);
  const int frameX = window.Width() - client.Width(), frameY = window.Height() - client.Height();
  m_minTrackWidth = kMinWidth + frameX;
  m_minTrackHeight = kGraphMinHeight + kBarThickness + listMin + m_bottomBand + frameY;
  SetWindowPos(nullptr, 0, 0, kDefaultWidth + frameX, kDefaultHeight + frameY, SWP_NOMOVE | SWP_NOZORDER);
  GetClientRect(&client);
  const int usable = client.Height() - m_bottomBand - kBarThickness;
  Place(m_splitter, 0, usable / 2, client.Width(), kBarThickness);
  m_initialised = true;
  LayOut();

  RefreshControls();
  if (!m_rows.empty()) SelectOnly(0);
  UpdateControls(false);
  return TRUE;
}

void CScatteringFactors::LayOut() {
  if (!m_initialised) return;
  CRect client;
  GetClientRect(&client);
  const int width = client.Width(), height = client.Height();
  const int band = m_bottomBand;
  const int rows = std::max(m_list.GetRowHeight(), 16);
  const int listMin = CSubEditList::MeasureListHeaderHeight() + static_cast<int>(kMinListRows * rows);
  CRect bar;
  m_splitter.GetWindowRect(&bar);
  ScreenToClient(&bar);
  // The bar keeps its distance from the top, but never comes nearer the bottom than the list needs.
  int barTop = std::min(static_cast<int>(bar.top), height - band - listMin - kBarThickness);
  barTop = std::max(barTop, 0);
  Place(m_graph, 0, 0, width, barTop);
  Place(m_splitter, 0, barTop, width, kBarThickness);
  Place(m_list, 0, barTop + kBarThickness, width, height - band - barTop - kBarThickness);
  const int button = band - 6;
  const int top = height - band + 3;
  Place(m_actionButton, 4, top, button, button);
  Place(m_addButton, 8 + button, top, button, button);
  Place(m_deleteButton, 12 + 2 * button, top, button, button);
  Place(m_status, 20 + 3 * button, top, width - 24 - 3 * button, button);
  m_list.FitColumnsToWidth();
  RepaintGraph();
}

void CScatteringFactors::OnSize(UINT, int, int) {
  Default();
  LayOut();
}

void CScatteringFactors::OnGetMinMaxInfo(MINMAXINFO* info) {
  Default();
  if (!info || !m_initialised) return;
  info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, m_minTrackWidth);
  info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, m_minTrackHeight);
}

// ---- Rows and their storage ----------------------------------------------------------------
void CScatteringFactors::SetItemCount(bool allocation) {
  const int count = static_cast<int>(m_rows.size());
  if (!m_list.SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(count), 0) && count > 0) {
    if (allocation) throw CLXXAllocationFailed(kLXSeverityMessage, count, __LINE__);
    throw CLXXOutOfMemory(kLXSeverityMessage, count, __LINE__);
  }
}

void CScatteringFactors::LoadList(const std::vector<CLXASF>* source) {
  m_rows.clear();
  if (m_list.m_hWnd) m_list.SetItemState(-1, 0, LVIS_SELECTED);
  auto add = [this](const CLXASF& record) { m_rows.push_back(ASFRec{record, 0, &m_list}); };
  if (source) {
    for (const CLXASF& record : *source) add(record);
  } else {
    CASFPrefArray& table = GetScatteringFactorTable();
    CPrefValue::CMutexLock lock(table);
    const size_t count = table.Count();
    m_rows.reserve(count);
    for (size_t i = 0; i < count; ++i) add(*table.At(i));
  }
  if (!m_list.m_hWnd) return;
  SetItemCount(true);
  // The stored table is what the rows now hold: only another source changes anything.
  if (source) MarkTableModified();
  if (!m_rows.empty()) {
    m_list.EnsureVisible(static_cast<int>(m_rows.size()) - 1, FALSE);
    m_list.EnsureVisible(0, FALSE);
  }
  UpdateControls(false);
}

void CScatteringFactors::StoreToPreferences() {
  CPreferences* prefs = g_pPreferences;
  if (!prefs) return;
  if (m_hWnd) {
    RECT rect{};
    GetWindowRect(&rect);
    prefs->m_ScatteringFactorsWinRect.Set(rect);
    prefs->m_ScatteringFactorsVisible.Set(IsWindowVisible() != FALSE);
  }
  if (!m_tableModified) return;
  std::vector<CLXASF> table;
  table.reserve(m_rows.size());
  for (const ASFRec& row : m_rows) table.push_back(row.asf);
  {
    CPrefValue::CMutexLock lock(prefs->m_ASF);
    prefs->m_ASF.Swap(table);
  }
  // "ASF" belongs to no group that the palette's own save writes: without this an import would
  // be gone at the next start.
  prefs->m_ASF.Write();
  m_tableModified = false;
}

void CScatteringFactors::RefreshControls() {
  CLXPalette::RefreshControls();
  // Rows edited but not yet stored are the user's work: a refresh never throws them away.
  if (!m_tableModified) LoadList(nullptr);
  UpdateControls(false);
  RepaintGraph();
}

int CScatteringFactors::GetSelectedCount() const {
  if (!m_list.m_hWnd) return 0;
  return static_cast<int>(const_cast<CASFList&>(m_list).GetSelectedCount());
}

std::vector<CLXASF> CScatteringFactors::CollectSelected() const {
  std::vector<CLXASF> records;
  if (!m_list.m_hWnd) return records;
  CASFList& list = const_cast<CASFList&>(m_list);
  for (int row = list.GetNextItem(-1, LVNI_SELECTED); row >= 0 && row < static_cast<int>(m_rows.size());
       row = list.GetNextItem(row, LVNI_SELECTED))
    records.push_back(m_rows[static_cast<size_t>(row)].asf);
  return records;
}

void CScatteringFactors::SelectOnly(int row) {
  m_list.SetItemState(-1, 0, LVIS_SELECTED);
  m_list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  // A shift-click then reaches from this row, as from a row the user clicked.
  m_list.SendMessage(LVM_SETSELECTIONMARK, 0, row);
  m_list.EnsureVisible(row, FALSE);
}

void CScatteringFactors::UpdateControls(bool) {
  if (!m_initialised) return;
  const int selected = GetSelectedCount();
  const int count = static_cast<int>(m_rows.size());
  // Removing every row would leave the program with no table at all.
  m_deleteButton.EnableWindow(selected > 0 && selected < count);
  m_addButton.EnableWindow(TRUE);
  m_actionButton.EnableWindow(TRUE);
  CString format = LoadText(3622), status;
  status.Format(format.GetString(), selected, count);
  m_status.SetWindowText(status);
  m_list.Invalidate(FALSE);
  RepaintGraph();
}

// ---- Commands ------------------------------------------------------------------------------
void CScatteringFactors::OnAddFactor() {
  m_rows.push_back(ASFRec{CLXASF(), 0, &m_list});
  SetItemCount(false);
  const int row = static_cast<int>(m_rows.size()) - 1;
  SelectOnly(row);
  CLXMsgTarget(m_list.m_hWnd, g_msgEditStart, row, 1).Post();
  MarkTableModified();
  UpdateControls(false);
}

void CScatteringFactors::OnDeleteFactors() {
  const int count = static_cast<int>(m_rows.size());
  int marked = 0;
  for (int i = 0; i < count; ++i) {
    const bool selected = m_list.GetItemState(i, LVIS_SELECTED) != 0;
    m_rows[static_cast<size_t>(i)].marked = selected ? 1 : 0;
    marked += selected;
  }
  if (marked == 0 || marked == count) return;
  m_rows.erase(std::remove_if(m_rows.begin(), m_rows.end(), [](const ASFRec& r) { return r.marked != 0; }),
               m_rows.end());
  m_list.SetItemState(-1, 0, LVIS_SELECTED);
  SetItemCount(false);
  m_list.Invalidate(FALSE);
  MarkTableModified();
  UpdateControls(false);
}

void CScatteringFactors::OnImport() {
  CString filter = LoadText(1325) + LoadText(1310) + L"|";
  CLXFileDialog dialog(TRUE, nullptr, nullptr, OFN_FILEMUSTEXIST, filter, this);
  dialog.SetTitle(LoadText(3617));
  const INT_PTR answer = dialog.DoModal();
  if (answer != IDOK) return;
  std::vector<CLXASF> records;
  // A failed read has been reported; the rows stay as they are.
  if (!ReadASFFile(dialog.GetPathName(), records)) return;
  LoadList(&records);
}

void CScatteringFactors::OnExport() {
  // The table as stored when Export is chosen: rows still being edited are not the program's
  // table, even if an idle moment stores them while the file dialog is open.
  std::vector<CLXASF> table;
  {
    CASFPrefArray& stored = GetScatteringFactorTable();
    CPrefValue::CMutexLock lock(stored);
    const size_t count = stored.Count();
    table.reserve(count);
    for (size_t i = 0; i < count; ++i) table.push_back(*stored.At(i));
  }
  CString filter = LoadText(1325) + L"|";
  CLXFileDialog dialog(FALSE, L"txt", LoadText(3600), OFN_OVERWRITEPROMPT, filter, this);
  dialog.SetTitle(LoadText(3621));
  const INT_PTR answer = dialog.DoModal();
  if (answer != IDOK) return;
  WriteASFFile(dialog.GetPathName(), table);
}

void CScatteringFactors::OnFactoryReset() {
  const std::vector<CLXASF> builtIn = g_ElementTable;
  LoadList(&builtIn);
}

BOOL CScatteringFactors::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) {
  CCursor* cursor = m_graphSettings.GetCursor(true);
  if (code == CN_UPDATE_COMMAND_UI) {
    auto* ui = static_cast<CCmdUI*>(extra);
    if (!ui) return FALSE;
    switch (id) {
      case kCmdShowGridlines:
        ui->SetText(LoadText(m_graphSettings.m_showGrid ? 3049 : 3051));
        ui->Enable(TRUE);
        return TRUE;
      case kCmdShowCursor:
        ui->SetText(LoadText(cursor->IsActive() ? 3048 : 3050));
        ui->Enable(TRUE);
        return TRUE;
      case kCmdExport:
        ui->Enable(!m_rows.empty());
        return TRUE;
      case kCmdImport:
      case kCmdFactoryReset:
      case kCmdCopyGraphics:
      case kCmdExportGraphics:
      case kCmdHelp:
        ui->Enable(TRUE);
        return TRUE;
      default:
        if (id >= kFirstToolCommand && id <= kLastToolCommand && cursor->IsActive()) {
          cursor->OnUpdateMenuCommand(ui);
          return TRUE;
        }
        return CLXPalette::OnCmdMsg(id, code, extra, info);
    }
  }
  if (code != CN_COMMAND) return CLXPalette::OnCmdMsg(id, code, extra, info);
  try {
    switch (id) {
      case kCmdImport: OnImport(); return TRUE;
      case kCmdExport: OnExport(); return TRUE;
      case kCmdFactoryReset: OnFactoryReset(); return TRUE;
      case kCmdShowGridlines:
        m_graphSettings.m_showGrid = m_graphSettings.m_showGrid ? 0 : 1;
        RepaintGraph();
        return TRUE;
      case kCmdShowCursor:
        cursor->m_target = m_hWnd;
        if (cursor->IsActive()) cursor->Hide();
        cursor->ToggleActive();
        RepaintGraph();
        return TRUE;
      case kCmdCopyGraphics: OnCopyGraphics(); return TRUE;
      case kCmdExportGraphics: OnExportGraphics(); return TRUE;
      case kCmdHelp:
        // Help belongs to the main window.
        if (HWND main = LXAppWindows::GetMainWindow()) ::PostMessageW(main, WM_COMMAND, kCmdHelp, 0);
        return TRUE;
      default:
        if (id >= kFirstToolCommand && id <= kLastToolCommand && cursor->IsActive()) {
          cursor->m_target = m_hWnd;
          if (cursor->OnMenuCommand(m_renderer.get(), id)) {
            RepaintGraph();
            return TRUE;
          }
        }
        break;
    }
  } catch (CLXException& e) {
    e.Report();
    return TRUE;
  }
  return CLXPalette::OnCmdMsg(id, code, extra, info);
}

LRESULT CScatteringFactors::OnAlphaButton(WPARAM id, LPARAM) {
  if (!m_initialised) return 0;
  try {
    if (id == kAddId) OnAddFactor();
    else if (id == kDeleteId) OnDeleteFactors();
  } catch (CLXException& e) {
    e.Report();
  }
  return 0;
}

BOOL CScatteringFactors::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
  if (hdr && m_initialised) {
    if (hdr->idFrom == kListId && (hdr->code == LVN_ITEMCHANGED || hdr->code == LVN_ODSTATECHANGED)) {
      UpdateControls(false);
    } else if (hdr->idFrom == kSplitterId && hdr->code == SPN_MOVED) {
      LayOut();
      WriteSyncState();
    }
  }
  return CLXPalette::OnNotify(wParam, lParam, result);
}

// ---- The record shared with other instances ------------------------------------------------
size_t CScatteringFactors::GetSyncStateSize() { return sizeof(SyncRecord); }

void CScatteringFactors::FillSyncState(void* view) {
  SyncRecord record{};
  record.identity = m_identity;
  record.window = reinterpret_cast<std::uint64_t>(m_hWnd);
  GetWindowRect(&record.windowRect);
  record.visiblePreference = g_pPreferences && g_pPreferences->m_ScatteringFactorsVisible.Get() ? 1 : 0;
  record.shown = m_shown ? 1 : 0;
  record.gridlines = m_graphSettings.m_showGrid ? 1 : 0;
  record.cursorOn = m_graphSettings.GetCursor(true)->IsActive() ? 1 : 0;
  if (m_splitter.m_hWnd) {
    m_splitter.GetWindowRect(&record.splitterRect);
    ScreenToClient(&record.splitterRect);
  }
  std::memcpy(view, &record, sizeof record);
}

void CScatteringFactors::ReadSyncState(const void* view) {
  SyncRecord record;
  std::memcpy(&record, view, sizeof record);
  if (!(record.identity == m_identity) || !m_hWnd) return;
  MoveWindow(&record.windowRect, TRUE);
  if (g_pPreferences) g_pPreferences->m_ScatteringFactorsVisible.Set(record.visiblePreference != 0);
  CCursor* cursor = m_graphSettings.GetCursor(true);
  if ((record.cursorOn != 0) != cursor->IsActive()) {
    if (cursor->IsActive()) cursor->Hide();
    cursor->ToggleActive();
  }
  if (m_splitter.m_hWnd) {
    const RECT& r = record.splitterRect;
    m_splitter.MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  }
  LayOut();
  OpenPalette(0);
}
