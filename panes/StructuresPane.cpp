// The structures pane: layout and title band, rows from the document, selection both ways,
// hints, and the pane's commands.
#include "StructuresPane.h"

#include "LXApp.h"
#include "LXGdiplus.h"
#include "LXMessage.h"
#include "LXText.h"
#include "LXUtils.h"
#include "MenuXP.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "FileTypes.h"
#include "Preferences.h"
#include "QlwDoc.h"
#include "RedrawLock.h"
#include "WndQt.h"

#include <QLayout>
#include <QWidget>

#include <algorithm>
#include <filesystem>

IMPLEMENT_DYNCREATE(CStructuresPane, CFormView)

namespace {
// Posted after a chosen reflexion's hint, so the other panes hear of the new selection.
constexpr UINT kMsgPostedSelection = WM_USER + 0x325;
}  // namespace

BEGIN_MESSAGE_MAP(CStructuresPane, CFormView)
  ON_WM_SIZE()
  ON_WM_SETFOCUS()
  ON_WM_CONTEXTMENU()
  ON_WM_KEYDOWN()
  ON_REGISTERED_MESSAGE(g_msgDatasetReadSync, &CStructuresPane::OnDatasetRead)
  ON_REGISTERED_MESSAGE(g_msgDatasetReadAsync, &CStructuresPane::OnDatasetRead)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedSync, &CStructuresPane::OnAlphaButtonMenuItem)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedAsync, &CStructuresPane::OnAlphaButtonMenuItem)
  ON_MESSAGE(kMsgPostedSelection, &CStructuresPane::OnPostedSelection)
END_MESSAGE_MAP()

namespace {
constexpr DWORD kBandColour = 0xFFFBFBFBu;
constexpr DWORD kTitleGrey = 0xFF888888u;
// The file types "+" offers, in order.
const std::vector<uint32_t> kAddFileTypes = {10, 11, 4, 4, 6, 12, 22, 3, 34, 37, 13};

bool HoldsComponent(const CQLPatternList& list, const CQLPattern* target) {
  for (const CQLPatternPtr& p : list)
    if (const CQLPatternList* components = p->GetComponents()) {
      for (const CQLPatternPtr& c : *components)
        if (c.get() == target) return true;
      if (HoldsComponent(*components, target)) return true;
    }
  return false;
}

void DeselectComponents(CQLPattern& mixture) {
  if (CQLPatternList* components = mixture.GetComponents())
    for (const CQLPatternPtr& c : *components) {
      c->SetSelected(false);
      DeselectComponents(*c);
    }
}

void CollectComponentFlags(CQLPattern& mixture, std::vector<std::pair<CQLPattern*, bool>>& out) {
  if (CQLPatternList* components = mixture.GetComponents())
    for (const CQLPatternPtr& c : *components) {
      out.emplace_back(c.get(), c->IsSelected());
      CollectComponentFlags(*c, out);
    }
}

struct UpdatingScope {
  bool& flag;
  bool before;
  explicit UpdatingScope(bool& f) : flag(f), before(f) { flag = true; }
  ~UpdatingScope() { flag = before; }
};
}  // namespace

CStructuresPane::CStructuresPane()
    : CFormView(kTemplateId),
      m_addButton(CAlphaButton::kPush, CAlphaButton::kImage, CAlphaButton::kFlat, 0),
      m_actionButton(CAlphaButton::kPush, CAlphaButton::kImage, CAlphaButton::kFlat, 0) {}

CStructuresPane::~CStructuresPane() {
  m_addButton.AttachMenu(nullptr, nullptr, true, 0);
  m_actionButton.AttachMenu(nullptr, nullptr, true, 0);
}

CQlwDoc* CStructuresPane::GetDocument() const { return dynamic_cast<CQlwDoc*>(m_pDocument); }

BOOL CStructuresPane::PreCreateWindow(CREATESTRUCTW& cs) {
  if (!CUtils::UseOwnWindowClass(cs, L"Quillonographic-CStructuresPane"))
    throw CLXXMFC(L"Unable to register the patterns pane's window class.", kLXSeverityMessage, 0, __LINE__);
  cs.style |= WS_CLIPCHILDREN;
  return CFormView::PreCreateWindow(cs);
}

void CStructuresPane::DoDataExchange(CDataExchange* dx) {
  CFormView::DoDataExchange(dx);
  DDX_Control(dx, kActionButtonId, m_actionButton);
  DDX_Control(dx, kAddButtonId, m_addButton);
  DDX_Control(dx, kStaticId, m_static);
  DDX_Control(dx, kTitleId, m_title);
  DDX_Control(dx, kListId, m_list);
}

void CStructuresPane::GetMinSize(SIZE& out) const {
  if (m_bNotInitialised) {
    out.cx = g_pPreferences ? g_pPreferences->m_StructuresWinWidth.Get() : 200;
    out.cy = 150;
    return;
  }
  CRect add, action;
  m_addButton.GetWindowRect(&add);
  m_actionButton.GetWindowRect(&action);
  // The title, both buttons and a few rows of the list.
  out.cx = add.Width() + action.Width() + 80;
  out.cy = m_separatorY + 1 + 3 * std::max(m_list.GetRowHeight(), 1);
}

void CStructuresPane::OnInitialUpdate() {
  if (m_bNotInitialised) {
    CMenuXP::SetWindowMenuProp(this);
    // The pane places its children itself.
    if (QWidget* host = qlw::WidgetOf(m_hWnd)) delete host->layout();
    m_list.Initialise(this, 4, nullptr);
    m_actionButton.LoadImages(2002, 2002);
    m_addButton.LoadImages(2003, 2003);
    if (!m_actionMenu.LoadMenu(144) || !m_addMenu.LoadMenu(145)) throw CLXXCantLoadResource(kLXSeverityFatal, 0, __LINE__);
    // Menu commands go to the frame, whose routing reaches this pane and the document.
    m_actionButton.AttachMenu(&m_actionMenu, GetParentFrame(), true, 0);
    m_actionButton.SetMenuKind(CAlphaButton::kMenuOnPress);
    m_addButton.AttachMenu(&m_addMenu, GetParentFrame(), true, 0);
    m_addButton.SetMenuKind(CAlphaButton::kMenuOnHold);
    if (CFont* font = m_title.GetFont()) {
      LOGFONTW lf{};
      font->GetLogFont(&lf);
      lf.lfWeight = 700;
      m_boldFont.CreateFontIndirect(&lf);
      m_title.SetFont(&m_boldFont);
    }
    // The band's own drawing shows the title: the label keeps its place for the layout only.
    m_title.ShowWindow(SW_HIDE);
    m_static.ShowWindow(SW_HIDE);
    if (!m_bToolTipsEnabled) m_bToolTipsEnabled = true;
    CFormView::OnInitialUpdate();
    m_bNotInitialised = false;
    Refresh();
    LayOut();
    return;
  }
  CFormView::OnInitialUpdate();
}

void CStructuresPane::LayOut() {
  if (m_bNotInitialised) return;
  CRect client;
  GetClientRect(&client);
  const int band = (3 * GetSystemMetrics(SM_CYMENU)) / 2;
  m_separatorY = band;
  const int button = std::max(band - 6, 12);
  const int top = (band - button) / 2;
  m_actionButton.MoveWindow(client.right - 4 - button, top, button, button);
  m_addButton.MoveWindow(client.right - 8 - 2 * button, top, button, button);
  m_title.MoveWindow(4, 0, std::max(0, static_cast<int>(client.right) - 16 - 2 * button), band);
  m_static.MoveWindow(0, band + 1, client.Width(), std::max(0, static_cast<int>(client.bottom) - band - 1));
  m_list.MoveWindow(0, band + 1, client.Width(), std::max(0, static_cast<int>(client.bottom) - band - 1));
  m_list.FitColumnsToWidth();
}

void CStructuresPane::OnSize(UINT, int, int) {
  Default();
  LayOut();
  Invalidate(FALSE);
}

void CStructuresPane::OnSetFocus(CWnd*) {
  Default();
  if (!m_bNotInitialised && m_list.m_hWnd) m_list.SetFocus();
}

void CStructuresPane::OnDraw(CDC* dc) {
  if (!dc) return;
  CRect client;
  GetClientRect(&client);
  Gdiplus::Graphics g(dc->m_hDC);
  Gdiplus::SolidBrush band{Gdiplus::Color(kBandColour)};
  g.FillRectangle(&band, 0, 0, client.Width(), m_separatorY);
  Gdiplus::SolidBrush below{Gdiplus::Color(CStructuresList::kBackground)};
  g.FillRectangle(&below, 0, m_separatorY, client.Width(), std::max(0, static_cast<int>(client.bottom) - m_separatorY));
  const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
  Gdiplus::Pen line(Gdiplus::Color(0xFF, GetRValue(shadow), GetGValue(shadow), GetBValue(shadow)), 1.0f);
  g.DrawLine(&line, 0.0f, static_cast<float>(m_separatorY), static_cast<float>(client.right), static_cast<float>(m_separatorY));
  if (!m_title.m_hWnd) return;
  CString text;
  m_title.GetWindowText(text);
  LOGFONTW lf{};
  CString face = L"Liberation Sans";
  float size = 9.0f;
  UINT style = 0x48601;
  if (CFont* font = m_title.GetFont(); font && font->GetLogFont(&lf)) {
    face = lf.lfFaceName;
    if (lf.lfHeight != 0) size = std::abs(static_cast<float>(lf.lfHeight)) * 72.0f / static_cast<float>(g_screenDpi);
    if (lf.lfItalic) style |= 0x2;
  }
  CRect label;
  m_title.GetWindowRect(&label);
  ScreenToClient(&label);
  DrawTextBox(&g, text.GetString(), face, size + 1.0f, style, kTitleGrey,
              LXGraphics::CSyncRect(static_cast<float>(label.left), static_cast<float>(label.top),
                                    static_cast<float>(label.right), static_cast<float>(label.bottom)));
}

// ---- Rows --------------------------------------------------------------------------------
void CStructuresPane::Refresh() {
  if (m_bNotInitialised) return;
  RebuildRows();
  m_title.EnableWindow(TRUE);
  m_list.EnableWindow(TRUE);
  m_addButton.EnableWindow(TRUE);
  m_actionButton.EnableWindow(TRUE);
}

void CStructuresPane::RebuildRows() {
  {
    CRedrawLock lock(&m_list);
    UpdatingScope updating(m_bUpdating);
    const int top = m_list.GetTopIndex();
    m_list.BuildRows();
    const int count = static_cast<int>(m_list.GetRows().size());
    // The row count changes without a reset of the view, so the selection is set from the flags.
    if (!m_list.SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(count), LVSICF_NOINVALIDATEALL) && count > 0)
      throw CLXXStructuresMemErr(kLXSeverityMessage, count, __LINE__);
    m_list.SyncSelection();
    if (top > 0 && top < count && m_list.GetTopIndex() != top) m_list.ScrollRowToTop(top);
  }
  m_list.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// The rows follow the document; only a change the pane made itself is announced, so reading a
// saved session does not leave it modified.
void CStructuresPane::NotifyListChanged() {
  Refresh();
  SendHint(kHintPatternTree, true);
  if (m_list.m_hWnd) m_list.SetFocus();
}

void CStructuresPane::SendHint(std::int32_t code, bool fromPane) {
  CQlwDoc* doc = GetDocument();
  if (!doc) return;
  CUpdateHint hint(code, doc, fromPane ? this : nullptr, false);
  doc->DispatchUpdateHint(hint);
}

// ---- Selection ---------------------------------------------------------------------------
BOOL CStructuresPane::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  auto* hdr = reinterpret_cast<NMHDR*>(lParam);
  if (hdr && hdr->idFrom == kListId && !m_bNotInitialised && !m_bUpdating) {
    try {
      if (hdr->code == LVN_ITEMCHANGED) {
        auto* nm = reinterpret_cast<NMLISTVIEW*>(lParam);
        if (nm->uChanged & LVIF_STATE) {
          const int count = static_cast<int>(m_list.GetRows().size());
          if (nm->iItem < 0) OnListStateChanged(0, count - 1, nm->uOldState, nm->uNewState);
          else OnListStateChanged(nm->iItem, nm->iItem, nm->uOldState, nm->uNewState);
        }
      } else if (hdr->code == LVN_ODSTATECHANGED) {
        auto* nm = reinterpret_cast<NMLVODSTATECHANGE*>(lParam);
        OnListStateChanged(nm->iFrom, nm->iTo, nm->uOldState, nm->uNewState);
      }
    } catch (CLXException& e) {
      e.Report();
    }
  }
  BOOL answer = FALSE;
  if (AnswerToolTipNotify(lParam, result, answer)) return answer;
  return CFormView::OnNotify(wParam, lParam, result);
}

void CStructuresPane::OnListStateChanged(int first, int last, UINT oldState, UINT newState) {
  if (((oldState ^ newState) & LVIS_SELECTED) == 0) return;
  const bool selected = (newState & LVIS_SELECTED) != 0;
  const bool modifiers = ::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_SHIFT) < 0;
  const auto& rows = m_list.GetRows();
  first = std::max(first, 0);
  last = std::min(last, static_cast<int>(rows.size()) - 1);
  for (int r = first; r <= last; ++r) {
    CQLPattern& p = *rows[static_cast<size_t>(r)].pattern;
    // Clearing a mixture's flag clears its components' too; with Ctrl or Shift they keep theirs.
    std::vector<std::pair<CQLPattern*, bool>> kept;
    if (!selected && modifiers) CollectComponentFlags(p, kept);
    p.SetSelected(selected);
    if (!selected && !modifiers && p.GetComponents()) DeselectComponents(p);
    for (const auto& [component, flag] : kept) component->SetSelected(flag);
  }
  SendHint(kHintPaneSelection, true);
}

LRESULT CStructuresPane::OnPostedSelection(WPARAM, LPARAM) {
  if (!m_bNotInitialised) SendHint(kHintPaneSelection, true);
  return 0;
}

// ---- Hints -------------------------------------------------------------------------------
void CStructuresPane::OnUpdate(CView* sender, LPARAM hint, CObject* hintObject) {
  auto* update = reinterpret_cast<CUpdateHint*>(hint);
  if (m_bNotInitialised) return;
  if (!update) {
    // A plain update of every view: a document was just read.
    Refresh();
    CFormView::OnUpdate(sender, hint, hintObject);
    return;
  }
  if (update->document != GetDocument()) return;
  try {
    switch (update->code) {
      case kHintColours: m_list.Invalidate(FALSE); break;
      case kHintPatternTree: Refresh(); break;
      case CUHReflexionSelected::kCode: {
        auto* chosen = dynamic_cast<CUHReflexionSelected*>(update);
        bool changed = false;
        {
          UpdatingScope updating(m_bUpdating);
          changed = m_list.SelectForReflexion(chosen ? chosen->pattern : nullptr, chosen ? chosen->reflexion : nullptr);
        }
        // The other panes follow a new selection once this hint has reached them all.
        if (changed) ::PostMessageW(m_hWnd, kMsgPostedSelection, 0, 0);
        break;
      }
      case kHintPaneSelection:
        if (!m_bUpdating) {
          UpdatingScope updating(m_bUpdating);
          m_list.SyncSelection();
        }
        break;
      default: break;
    }
  } catch (CLXException& e) {
    e.Report();
  }
}

// ---- Commands ----------------------------------------------------------------------------
BOOL CStructuresPane::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  const bool inRange = (nID >= 32768 && nID <= 34577) || nID == kCmdClear || nID == kCmdSelectAll;
  if (inRange && !m_bNotInitialised && !pHandlerInfo) {
    if (nCode == CN_UPDATE_COMMAND_UI) {
      if (UpdatePaneCommand(static_cast<CCmdUI*>(pExtra))) return TRUE;
    } else if (nCode == CN_COMMAND) {
      bool handled = false;
      try {
        handled = OnPaneCommand(nID);
      } catch (CLXException& e) {
        e.Report();
        handled = true;
      }
      if (handled) {
        auto* app = dynamic_cast<CLXApp*>(AfxGetApp());
        if (!(app && app->IsClosing()) && m_hWnd) SetFocus();
        return TRUE;
      }
    }
  }
  return CFormView::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

bool CStructuresPane::UpdatePaneCommand(CCmdUI* ui) {
  if (!ui) return false;
  bool selectedShown = false, selectedHidden = false, anyShown = false, anyHidden = false, selectedCrystal = false;
  const auto& rows = m_list.GetRows();
  for (const CStructuresList::Row& row : rows) {
    const CQLPattern& p = *row.pattern;
    (p.IsShown() ? anyShown : anyHidden) = true;
    if (!p.IsSelected()) continue;
    (p.IsShown() ? selectedShown : selectedHidden) = true;
    if (p.GetPatternType() == kPatternCrystal) selectedCrystal = true;
  }
  const int selectedRows = static_cast<int>(m_list.GetSelectedCount());
  const bool anyRows = !rows.empty();
  switch (ui->m_nID) {
    case 33268:
    case 33269:
    case kCmdAddFromFile:
    case 34372: ui->Enable(TRUE); return true;
    case 33737: ui->Enable(selectedCrystal && selectedRows == 1); return true;
    case kCmdShow: ui->Enable(selectedHidden); return true;
    case kCmdHide: ui->Enable(selectedShown); return true;
    case kCmdDuplicate:
    case kCmdNewMixtureWithSelection:
    case kCmdDelete:
    case kCmdClear: ui->Enable(selectedRows > 0); return true;
    case 34370:
    case 34376:
    case 34379:
    case 34380:
    case 34381:
    case 34382:
    case kCmdSelectAll: ui->Enable(anyRows); return true;
    case kCmdSelectHidden: ui->Enable(anyHidden); return true;
    case kCmdSelectVisible: ui->Enable(anyShown); return true;
    default: return false;
  }
}

bool CStructuresPane::OnPaneCommand(UINT id) {
  CQlwDoc* doc = GetDocument();
  if (!doc) return false;
  switch (id) {
    case kCmdAddFromFile: AddFromFileCommand(); return true;
    case kCmdShow: ShowSelected(); return true;
    case kCmdDuplicate: {
      const CQLPatternList selected = m_list.SelectedPatterns();
      if (!selected.empty()) doc->DuplicatePatterns(selected);
      return true;
    }
    case kCmdNewMixtureWithSelection: NewMixtureWithSelection(); return true;
    case kCmdDelete:
    case kCmdClear: DeleteSelected(); return true;
    case kCmdHide: HideSelected(); return true;
    case kCmdSelectHidden: SelectByShown(false); return true;
    case kCmdSelectVisible: SelectByShown(true); return true;
    case kCmdSelectAll: m_list.SelectRange(0, m_list.GetItemCount() - 1, 0, true); return true;
    default: return false;
  }
}

void CStructuresPane::AddFromFileCommand() {
  auto* app = dynamic_cast<CLXApp*>(AfxGetApp());
  if (!app) return;
  const std::vector<CString> paths = app->ChooseFilesToOpen(kAddFileTypes);
  if (paths.empty()) return;
  AddPatternsFromFiles(paths);
}

// Every file goes through the document's readers, which know every pattern file the dialog
// offers (a CIF among them) and read the patterns in with this document's settings.
int CStructuresPane::AddPatternsFromFiles(const std::vector<CString>& paths) {
  CQlwDoc* doc = GetDocument();
  if (!doc) return 0;
  std::vector<CString> readable;
  CString refused;
  for (const CString& path : paths) {
    const uint32_t type = IdentifyFileType(path.GetString(), true);
    if (type != 0 && !IsMoleculeFileType(type)) {
      readable.push_back(path);
      continue;
    }
    if (!refused.IsEmpty()) refused += L", ";
    refused += CString(std::filesystem::path(path.ToUtf8()).filename().wstring().c_str());
  }
  const size_t before = CountPatternsOfType<CQLPattern>(doc->GetPatterns(), false, false, false);
  if (!readable.empty()) doc->AddFilesFromDrop(readable);
  NotifyListChanged();
  if (!refused.IsEmpty()) CLXXStructuresNoPattern(kLXSeverityMessage, 0, __LINE__, refused).Report();
  const size_t after = CountPatternsOfType<CQLPattern>(doc->GetPatterns(), false, false, false);
  return static_cast<int>(after > before ? after - before : 0);
}

void CStructuresPane::ShowSelected() {
  CQlwDoc* doc = GetDocument();
  if (!doc) return;
  CQLPatternList hidden;
  for (const CStructuresList::Row& row : m_list.GetRows())
    if (row.pattern->IsSelected() && !row.pattern->IsShown()) hidden.push_back(row.pattern);
  if (hidden.empty()) return;
  if (hidden.size() > kLotsToShow && !CLXXStructuresAddLots(kLXSeverityUser, 0, __LINE__).Report()) return;
  doc->ShowPatterns(hidden);
}

void CStructuresPane::HideSelected() {
  CQlwDoc* doc = GetDocument();
  if (!doc) return;
  bool any = false;
  for (const CStructuresList::Row& row : m_list.GetRows())
    if (row.pattern->IsSelected() && row.pattern->IsShown()) {
      row.pattern->SetShown(false);
      any = true;
    }
  if (!any) return;
  doc->UpdateDataRange();
  SendHint(kHintPatternsShown, false);
}

void CStructuresPane::DeleteSelected() {
  CQlwDoc* doc = GetDocument();
  if (!doc) return;
  if (!CLXXStructuresDestroySelected(kLXSeverityUser, 0, __LINE__).Report()) return;
  const CQLPatternList selected = m_list.SelectedPatterns();
  bool removed = false;
  for (const CQLPatternPtr& p : selected) removed = RemovePatternFromTree(p.get(), doc->GetPatterns()) || removed;
  if (removed) SendHint(kHintPatternTree, false);
}

void CStructuresPane::NewMixtureWithSelection() {
  CQlwDoc* doc = GetDocument();
  if (!doc) return;
  const CQLPatternList selected = m_list.SelectedPatterns();
  for (const CQLPatternPtr& p : selected) {
    if (p->GetPatternType() == kPatternMixture) {
      CLXXStructuresInvalidMixture(kLXSeverityMessage, 0, __LINE__).Report();
      return;
    }
    if (HoldsComponent(doc->GetPatterns(), p.get())) {
      CLXXStructuresNestedMixture(kLXSeverityMessage, 0, __LINE__).Report();
      return;
    }
  }
  if (selected.empty()) return;
  doc->NewMixtureFromPatterns(selected);
}

void CStructuresPane::SelectByShown(bool shown) {
  for (const CStructuresList::Row& row : m_list.GetRows()) row.pattern->SetSelected(row.pattern->IsShown() == shown);
  {
    UpdatingScope updating(m_bUpdating);
    m_list.SyncSelection();
  }
  SendHint(kHintPaneSelection, true);
}

// ---- Input -------------------------------------------------------------------------------
void CStructuresPane::OnContextMenu(CWnd*, CPoint point) {
  CMenu menu;
  if (!menu.LoadMenu(146)) throw CLXXCantLoadResource(kLXSeverityFatal, 0, __LINE__);
  if (CMenu* sub = menu.GetSubMenu(0)) sub->TrackPopupMenu(TPM_RIGHTBUTTON, point.x, point.y, GetParentFrame());
}

void CStructuresPane::OnKeyDown(UINT key, UINT, UINT) {
  Default();
  if ((key == VK_BACK || key == VK_DELETE) && m_list.GetSelectedCount() > 0)
    CLXMsgMenuCmd(m_hWnd, kCmdDelete).Post();
}

void CStructuresPane::OnAddButton() { AddFromFileCommand(); }

LRESULT CStructuresPane::OnAlphaButtonMenuItem(WPARAM wParam, LPARAM) {
  if (wParam == kAddButtonId && !m_bNotInitialised) {
    try {
      OnAddButton();
    } catch (CLXException& e) {
      e.Report();
    }
  }
  return 0;
}

LRESULT CStructuresPane::OnDatasetRead(WPARAM, LPARAM) {
  CQlwDoc* doc = GetDocument();
  if (m_bNotInitialised || !doc || doc->IsAddingSeveral()) return 0;
  try {
    Refresh();
    // The other panes follow the patterns just read, which is no change of the user's work.
    const BOOL modified = doc->IsModified();
    SendHint(kHintPaneSelection, true);
    if (!modified) doc->SetModifiedFlag(FALSE);
  } catch (CLXException& e) {
    e.Report();
  }
  return 0;
}
