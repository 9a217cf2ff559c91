#include "Frame.h"

#include <algorithm>

#include "AfxApp.h"
#include "AfxGdi.h"
#include "Dialog.h"
#include "Paint.h"
#include "Resources.h"

// ---- Control bars -------------------------------------------------------------------------
IMPLEMENT_DYNAMIC(CControlBar, CWnd)
IMPLEMENT_DYNAMIC(CStatusBar, CControlBar)

BEGIN_MESSAGE_MAP(CControlBar, CWnd)
ON_MESSAGE(WM_IDLEUPDATECMDUI, &CControlBar::OnIdleUpdateCmdUI)
END_MESSAGE_MAP()

LRESULT CControlBar::OnIdleUpdateCmdUI(WPARAM disableIfNoHandler, LPARAM) {
  if (!(GetStyle() & WS_VISIBLE)) return 0;
  CWnd* target = GetParentFrame();
  if (!target) target = GetOwner();
  if (target) OnUpdateCmdUI(target, static_cast<BOOL>(disableIfNoHandler));
  return 0;
}

void CControlBar::OnUpdateCmdUI(CCmdTarget*, BOOL) {}

int CControlBar::BarExtent() const {
  RECT r{};
  ::GetWindowRect(m_hWnd, &r);
  return r.bottom - r.top;
}

BOOL CStatusBar::Create(CWnd* parent, DWORD style, UINT id) {
  m_dwAlign = CBRS_ALIGN_BOTTOM;
  if (!CWnd::CreateEx(0, nullptr, L"", (style & ~(CBRS_ALIGN_BOTTOM | CBRS_ALIGN_TOP)) | WS_CHILD, RECT{0, 0, 100, 22},
                      parent, id))
    return FALSE;
  if (auto* frame = dynamic_cast<CFrameWnd*>(parent)) frame->AddControlBar(this);
  return TRUE;
}

int CStatusBar::BarExtent() const { return 22; }

BEGIN_MESSAGE_MAP(CStatusBar, CControlBar)
ON_WM_SIZE()
END_MESSAGE_MAP()

BOOL CStatusBar::SetIndicators(const UINT* ids, int count) {
  for (HWND l : m_labels) ::DestroyWindow(l);
  m_labels.clear();
  m_ids.assign(ids, ids + std::max(0, count));
  m_panes.assign(m_ids.size(), CString());
  for (size_t i = 0; i < m_ids.size(); ++i) {
    CString text;
    if (m_ids[i]) LoadString(m_ids[i], text);
    m_panes[i] = text;
    HWND label = ::CreateWindowExW(0, WC_STATIC, text, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, m_hWnd,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(i + 1)), nullptr, nullptr);
    m_labels.push_back(label);
  }
  LayoutPanes();
  return TRUE;
}

void CStatusBar::LayoutPanes() {
  RECT r{};
  ::GetClientRect(m_hWnd, &r);
  // The first pane takes what the others leave.
  const int width = r.right - r.left, n = static_cast<int>(m_labels.size());
  int x = 4;
  for (int i = 0; i < n; ++i) {
    const int w = i == 0 ? std::max(40, width - 8 - 124 * (n - 1)) : 120;
    ::MoveWindow(m_labels[static_cast<size_t>(i)], x, 2, w, 18, TRUE);
    x += w + 4;
  }
}

void CStatusBar::OnSize(UINT, int, int) {
  Default();
  LayoutPanes();
}

void CStatusBar::OnUpdateCmdUI(CCmdTarget* target, BOOL) {
  // A pane's command state: disabled shows no text, SetText shows the handler's text.
  struct PaneCmdUI : CCmdUI {
    CStatusBar* bar;
    void Enable(BOOL on) override {
      m_bEnableChanged = TRUE;
      if (!on) bar->SetPaneText(static_cast<int>(m_nIndex), L"");
    }
    void SetCheck(int) override {}
    void SetRadio(BOOL) override {}
    void SetText(LPCWSTR text) override { bar->SetPaneText(static_cast<int>(m_nIndex), text); }
  } state;
  state.bar = this;
  state.m_pOther = this;
  state.m_nIndexMax = static_cast<UINT>(m_ids.size());
  for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; ++state.m_nIndex) {
    state.m_nID = m_ids[state.m_nIndex];
    // Panes are indicators, not commands: none is disabled for want of a command handler.
    if (state.m_nID) state.DoUpdate(target, FALSE);
  }
}

BOOL CStatusBar::SetPaneText(int index, LPCWSTR text, BOOL) {
  if (index < 0 || index >= static_cast<int>(m_panes.size())) return FALSE;
  m_panes[static_cast<size_t>(index)] = text;
  ::SetWindowTextW(m_labels[static_cast<size_t>(index)], text);
  return TRUE;
}

CString CStatusBar::GetPaneText(int index) const {
  return index >= 0 && index < static_cast<int>(m_panes.size()) ? m_panes[static_cast<size_t>(index)] : CString();
}

// ---- Frame --------------------------------------------------------------------------------
IMPLEMENT_DYNCREATE(CFrameWnd, CWnd)

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
ON_WM_CREATE()
ON_WM_INITMENUPOPUP()
ON_WM_SIZE()
ON_WM_CLOSE()
ON_WM_SETFOCUS()
END_MESSAGE_MAP()

CFrameWnd::CFrameWnd() {
  // The application's idle time updates the bars of the main window.
  AfxSetIdleUpdateHandler([](CWnd* main) {
    if (main && main->m_hWnd) main->SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE);
  });
}

BOOL CFrameWnd::Create(LPCWSTR className, LPCWSTR title, DWORD style, const RECT& rect, CWnd* parent, LPCWSTR menuName,
                       DWORD exStyle, CCreateContext* context) {
  HMENU menu = menuName ? ::LoadMenuW(nullptr, menuName) : nullptr;
  m_strTitle = title;
  m_pCreating = context;
  const BOOL ok = CWnd::CreateEx(exStyle, className, title, style & ~WS_VISIBLE, rect.left, rect.top,
                                 rect.right - rect.left, rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr, menu,
                                 context);
  m_pCreating = nullptr;
  if (!ok) {
    if (menu) ::DestroyMenu(menu);
    return FALSE;
  }
  if (style & WS_VISIBLE) ShowWindow(SW_SHOW);
  return TRUE;
}

BOOL CFrameWnd::LoadFrame(UINT id, DWORD style, CWnd* parent, CCreateContext* context) {
  CString title;
  LoadString(id, title);
  // The title string may carry the document-type fields after a line end: the first line is the caption.
  const int end = title.Find(L'\n');
  if (end >= 0) title = title.Left(end);
  m_nIDHelp = id;
  if (!Create(nullptr, title, style, RECT{0, 0, 800, 600}, parent, MAKEINTRESOURCEW(id), 0, context)) return FALSE;
  if (!m_hAccelTable) m_hAccelTable = ::LoadAcceleratorsW(nullptr, MAKEINTRESOURCEW(id));
  return TRUE;
}

int CFrameWnd::OnCreate(LPCREATESTRUCT cs) {
  if (Default() == -1) return -1;
  return OnCreateClient(cs, m_pCreating) ? 0 : -1;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCT, CCreateContext* context) {
  if (context && context->m_pNewViewClass && !CreateView(context)) return FALSE;
  return TRUE;
}

CWnd* CFrameWnd::CreateView(CCreateContext* context, UINT id) {
  CObject* made = context->m_pNewViewClass->CreateObject();
  auto* view = dynamic_cast<CWnd*>(made);
  if (!view) {
    delete made;
    return nullptr;
  }
  if (!view->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, RECT{0, 0, 0, 0}, this, id, context)) return nullptr;
  if (auto* v = dynamic_cast<CView*>(view); v && !m_pViewActive) m_pViewActive = v;
  RecalcLayout();
  return view;
}

void CFrameWnd::PostNcDestroy() { delete this; }

CDocument* CFrameWnd::GetActiveDocument() { return m_pViewActive ? m_pViewActive->GetDocument() : nullptr; }

void CFrameWnd::SetActiveView(CView* view, BOOL notify) {
  CView* old = m_pViewActive;
  if (old == view) return;
  m_pViewActive = view;
  if (notify && old) old->OnActivateView(FALSE, view, old);
  if (notify && view) view->OnActivateView(TRUE, view, old);
}

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  // The active view (and through it its document) first, then the frame, then the application.
  if (m_pViewActive && m_pViewActive->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  if (CCmdTarget* app = qlw::ApplicationCommandTarget()) return app->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
  return FALSE;
}

BOOL CFrameWnd::PreTranslateMessage(MSG* msg) {
  if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && m_hAccelTable)
    return ::TranslateAcceleratorW(m_hWnd, m_hAccelTable, msg) ? TRUE : FALSE;
  return FALSE;
}

void CFrameWnd::OnInitMenuPopup(CMenu* popup, UINT, BOOL sysMenu) {
  if (sysMenu || !popup) return;
  CCmdUI state;
  state.m_pMenu = popup;
  state.m_nIndexMax = popup->GetMenuItemCount();
  for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; ++state.m_nIndex) {
    state.m_nID = popup->GetMenuItemID(static_cast<int>(state.m_nIndex));
    if (state.m_nID == 0 || state.m_nID == static_cast<UINT>(-1)) continue;
    // System commands (0xF000 and above) are never disabled for want of a handler.
    state.DoUpdate(this, m_bAutoMenuEnable && state.m_nID < 0xF000);
  }
}

void CFrameWnd::AddControlBar(CControlBar* bar) {
  if (std::find(m_bars.begin(), m_bars.end(), bar) == m_bars.end()) m_bars.push_back(bar);
  RecalcLayout();
}

void CFrameWnd::RemoveControlBar(CControlBar* bar) {
  m_bars.erase(std::remove(m_bars.begin(), m_bars.end(), bar), m_bars.end());
  RecalcLayout();
}

void CFrameWnd::RecalcLayout(BOOL) {
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  for (CControlBar* bar : m_bars) {
    // The bar's own style decides: the frame may not be on screen yet.
    if (!bar->m_hWnd || !(bar->GetStyle() & WS_VISIBLE)) continue;
    const int extent = bar->BarExtent();
    if (bar->m_dwAlign & CBRS_ALIGN_BOTTOM) {
      bar->MoveWindow(client.left, client.bottom - extent, client.right - client.left, extent);
      client.bottom -= extent;
    } else {
      bar->MoveWindow(client.left, client.top, client.right - client.left, extent);
      client.top += extent;
    }
  }
  if (HWND pane = ::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST))
    ::MoveWindow(pane, client.left, client.top, client.right - client.left, client.bottom - client.top, TRUE);
}

void CFrameWnd::OnSize(UINT type, int, int) {
  Default();
  if (type != SIZE_MINIMIZED) RecalcLayout();
}

void CFrameWnd::OnClose() {
  // The user may keep the window and the work: the document's save question is asked first.
  CDocument* active = GetActiveDocument();
  if (active && !active->CanCloseFrame(this)) return;
  if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this && !active && !app->SaveAllModified()) return;
  if (CDocument* doc = GetActiveDocument(); doc && doc->m_bAutoDelete) {
    DestroyWindow();
    doc->OnCloseDocument();
    return;
  }
  DestroyWindow();
}

void CFrameWnd::OnSetFocus(CWnd*) {
  if (m_pViewActive) m_pViewActive->SetFocus();
}

void CFrameWnd::OnUpdateFrameTitle(BOOL addToTitle) {
  CDocument* doc = GetActiveDocument();
  if (addToTitle && doc) {
    CString title = doc->GetTitle();
    if (!m_strTitle.IsEmpty()) title += L" - " + m_strTitle;
    SetWindowText(title);
  } else {
    SetWindowText(m_strTitle);
  }
}

void CFrameWnd::InitialUpdateFrame(CDocument* doc, BOOL makeVisible) {
  if (m_pViewActive) m_pViewActive->OnInitialUpdate();
  (void)doc;
  OnUpdateFrameTitle(TRUE);
  RecalcLayout();
  if (makeVisible) ActivateFrame();
}

void CFrameWnd::ActivateFrame(int cmdShow) {
  if (cmdShow == -1) cmdShow = IsIconic() ? SW_RESTORE : SW_SHOW;
  ShowWindow(cmdShow);
  BringWindowToTop();
}

// ---- View ---------------------------------------------------------------------------------
IMPLEMENT_DYNAMIC(CView, CWnd)

BEGIN_MESSAGE_MAP(CView, CWnd)
ON_WM_PAINT()
ON_WM_CREATE()
END_MESSAGE_MAP()

int CView::OnCreate(LPCREATESTRUCT cs) {
  if (Default() == -1) return -1;
  auto* context = static_cast<CCreateContext*>(cs->lpCreateParams);
  if (context && context->m_pCurrentDoc) context->m_pCurrentDoc->AddView(this);
  return 0;
}

CView::~CView() {
  if (m_pDocument) m_pDocument->RemoveView(this);
}

void CView::PostNcDestroy() { delete this; }

void CView::OnUpdate(CView*, LPARAM, CObject*) { Invalidate(TRUE); }

void CView::OnActivateView(BOOL activate, CView*, CView*) {
  if (activate) SetFocus();
}

void CView::OnPaint() {
  CPaintDC dc(this);
  OnDraw(&dc);
}

BOOL CView::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  return m_pDocument ? m_pDocument->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo) : FALSE;
}

IMPLEMENT_DYNAMIC(CFormView, CView)

BOOL CFormView::Create(LPCWSTR, LPCWSTR, DWORD style, const RECT& rect, CWnd* parent, UINT id, void* context) {
  if (!CWnd::CreateEx(0, nullptr, L"", style | WS_CHILD, rect, parent, id, context)) return FALSE;
  if (!qlw::BuildFromTemplate(this, m_nIDTemplate)) return FALSE;
  UpdateData(FALSE);
  return TRUE;
}

LRESULT CFormView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NEXTDLGCTL) {
    qlw::MoveDialogFocus(this, wParam, lParam);
    return 0;
  }
  return CView::WindowProc(message, wParam, lParam);
}

BOOL CFormView::UpdateData(BOOL saveAndValidate) { return qlw::ExchangeData(this, saveAndValidate, [this](CDataExchange* dx) { DoDataExchange(dx); }); }

// ---- Document and template ----------------------------------------------------------------
IMPLEMENT_DYNAMIC(CDocument, CCmdTarget)

CDocument::~CDocument() {
  for (CView* v : m_views) v->m_pDocument = nullptr;
  // A template must not keep a document that deleted itself on closing.
  if (m_pDocTemplate) m_pDocTemplate->RemoveDocument(this);
}

void CDocument::AddView(CView* view) {
  if (std::find(m_views.begin(), m_views.end(), view) != m_views.end()) return;
  m_views.push_back(view);
  view->m_pDocument = this;
}

void CDocument::RemoveView(CView* view) {
  m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
  if (view->m_pDocument == this) view->m_pDocument = nullptr;
}

void CDocument::UpdateAllViews(CView* sender, LPARAM hint, CObject* hintObject) {
  const std::vector<CView*> views = m_views;  // a view may go away while it updates
  for (CView* v : views)
    if (v != sender) v->OnUpdate(sender, hint, hintObject);
}

BOOL CDocument::OnNewDocument() {
  DeleteContents();
  m_strPathName.Empty();
  SetModifiedFlag(FALSE);
  return TRUE;
}

BOOL CDocument::OnOpenDocument(LPCWSTR path) {
  DeleteContents();
  SetPathName(path, FALSE);  // the template that opens it names it recent
  SetModifiedFlag(FALSE);
  return TRUE;
}

BOOL CDocument::OnSaveDocument(LPCWSTR path) {
  SetPathName(path);
  SetModifiedFlag(FALSE);
  return TRUE;
}

BOOL CDocument::SaveModified() {
  if (!IsModified()) return TRUE;
  CString name = m_strTitle;
  if (name.IsEmpty() && !LoadString(1120, name)) name = L"Untitled";
  CString prompt;
  prompt.Format(L"Save changes to %s?", name.GetString());
  switch (AfxMessageBox(prompt, MB_YESNOCANCEL | MB_ICONEXCLAMATION, AFX_IDP_ASK_TO_SAVE)) {
    case IDCANCEL:
      return FALSE;
    case IDNO:
      return TRUE;
    default:
      return DoFileSave();
  }
}

BOOL CDocument::CanCloseFrame(CFrameWnd* frame) {
  for (CView* v : m_views)
    if (v->GetParentFrame() != frame) return TRUE;
  return SaveModified();
}

BOOL CDocument::DoFileSave() { return !m_strPathName.IsEmpty() && OnSaveDocument(m_strPathName); }

void CDocument::OnCloseDocument() {
  const std::vector<CView*> views = m_views;
  for (CView* v : views)
    if (CWnd* frame = v->GetParentFrame()) frame->DestroyWindow();
  DeleteContents();
  if (m_bAutoDelete) delete this;
}

void CDocument::SetTitle(LPCWSTR title) {
  m_strTitle = title;
  // The frames showing the document carry its title in their captions.
  for (CView* v : m_views)
    if (auto* frame = dynamic_cast<CFrameWnd*>(v->GetParentFrame()); frame && frame->m_hWnd)
      if (frame->GetActiveDocument() == this) frame->OnUpdateFrameTitle(TRUE);
}

void CDocument::SetPathName(LPCWSTR path, BOOL addToMru) {
  m_strPathName = path;
  // The title is the file name; only the last component counts, so a dotted folder is no extension.
  std::wstring p = path ? path : L"";
  const size_t slash = p.find_last_of(L"/\\");
  SetTitle(p.substr(slash == std::wstring::npos ? 0 : slash + 1).c_str());
  if (addToMru && !p.empty())
    if (CWinApp* app = AfxGetApp()) app->AddToRecentFileList(p.c_str());
}

BOOL CDocument::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  if (CCmdTarget::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  return m_pDocTemplate ? m_pDocTemplate->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo) : FALSE;
}

IMPLEMENT_DYNAMIC(CDocTemplate, CCmdTarget)

CDocTemplate::CDocTemplate(UINT resourceId, CRuntimeClass* docClass, CRuntimeClass* frameClass, CRuntimeClass* viewClass)
    : m_nIDResource(resourceId), m_pDocClass(docClass), m_pFrameClass(frameClass), m_pViewClass(viewClass) {}

CDocument* CDocTemplate::CreateNewDocument() {
  CObject* made = m_pDocClass ? m_pDocClass->CreateObject() : nullptr;
  auto* doc = dynamic_cast<CDocument*>(made);
  if (!doc) {
    delete made;
    return nullptr;
  }
  doc->m_pDocTemplate = this;
  return doc;
}

CFrameWnd* CDocTemplate::CreateNewFrame(CDocument* doc, CFrameWnd*) {
  CCreateContext context;
  context.m_pCurrentDoc = doc;
  context.m_pNewViewClass = m_pViewClass;
  context.m_pNewDocTemplate = this;
  CObject* made = m_pFrameClass ? m_pFrameClass->CreateObject() : nullptr;
  auto* frame = dynamic_cast<CFrameWnd*>(made);
  if (!frame) {
    delete made;
    return nullptr;
  }
  if (!frame->LoadFrame(m_nIDResource, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, &context)) return nullptr;
  return frame;
}

void CDocTemplate::InitialUpdateFrame(CFrameWnd* frame, CDocument* doc, BOOL makeVisible) {
  frame->InitialUpdateFrame(doc, makeVisible);
}

BOOL CDocTemplate::GetDocString(CString& text, int index) const {
  text.Empty();
  CString all;
  if (!all.LoadString(m_nIDResource)) return FALSE;
  int start = 0;
  for (int i = 0; i < index; ++i) {
    start = all.Find(L'\n', start);
    if (start < 0) return FALSE;
    ++start;
  }
  const int end = all.Find(L'\n', start);
  text = end < 0 ? all.Mid(start) : all.Mid(start, end - start);
  return TRUE;
}

void CDocTemplate::SetDefaultTitle(CDocument* doc) {
  CString title;
  if (!GetDocString(title, 1) || title.IsEmpty()) {
    if (!LoadString(1120, title)) title = L"Untitled";
  }
  doc->SetTitle(title);
}

IMPLEMENT_DYNAMIC(CSingleDocTemplate, CDocTemplate)

void CSingleDocTemplate::AddDocument(CDocument* doc) {
  CDocTemplate::AddDocument(doc);
  m_pOnlyDoc = doc;
}

void CSingleDocTemplate::RemoveDocument(CDocument* doc) {
  CDocTemplate::RemoveDocument(doc);
  if (m_pOnlyDoc == doc) m_pOnlyDoc = nullptr;
}

CSingleDocTemplate::~CSingleDocTemplate() {
  if (m_pOnlyDoc) m_pOnlyDoc->m_bAutoDelete = FALSE;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(LPCWSTR path, BOOL makeVisible) {
  CDocument* doc = m_pOnlyDoc;
  CFrameWnd* frame = nullptr;
  // The one document is about to be emptied for the new one.
  if (doc && !doc->SaveModified()) return nullptr;
  if (!doc) {
    doc = CreateNewDocument();
    if (!doc) return nullptr;
    frame = CreateNewFrame(doc, nullptr);
    if (!frame) {
      delete doc;
      return nullptr;
    }
    m_pOnlyDoc = doc;
  } else if (!doc->Views().empty()) {
    frame = dynamic_cast<CFrameWnd*>(doc->Views().front()->GetParentFrame());
  }
  const BOOL ok = path ? doc->OnOpenDocument(path) : doc->OnNewDocument();
  if (!ok) return nullptr;
  if (!path) {
    CString untitled;
    if (!LoadString(1120, untitled)) untitled = L"Untitled";
    doc->SetTitle(untitled);
  }
  if (frame) InitialUpdateFrame(frame, doc, makeVisible);
  return doc;
}
