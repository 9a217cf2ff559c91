// The inspector host: creating the panes, the tabs, choosing and stacking the panes, scrolling,
// hints, the pane change road and the Expand All / Collapse All commands.
#include "ParametersPane.h"

#include <QAbstractButton>
#include <QLayout>
#include <QScrollBar>
#include <QWidget>

#include <algorithm>
#include <iterator>

#include "DiffractionSettings.h"
#include "DiscloseablePane.h"
#include "LXApp.h"
#include "LXGdiplus.h"
#include "LXMessage.h"
#include "LXOwnerDraw.h"
#include "Paint.h"
#include "LXText.h"
#include "LXUtils.h"
#include "Preferences.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "QLPattern.h"
#include "QlwDoc.h"
#include "Resources.h"
#include "UpdateHint.h"
#include "WndQt.h"

namespace {
// Creation order of the panes.
constexpr UINT kCreationOrder[] = {
    CParametersPane::kInstrumentEDX, CParametersPane::kInstrumentTOF, CParametersPane::kInstrumentTTH,
    CParametersPane::kInstrumentTEM, CParametersPane::kText,          CParametersPane::kFilm,
    CParametersPane::kGraph,         CParametersPane::kOffsets,       CParametersPane::kSmoothing,
    CParametersPane::kBackground,    CParametersPane::kMixture,       CParametersPane::kLabels,
    CParametersPane::kSample,        CParametersPane::kPreferredOrientation, CParametersPane::kUnitCell,
    CParametersPane::kOccupancy,     CParametersPane::kPeakOverlay,   CParametersPane::kGraphOptions,
    CParametersPane::kBackgroundOverlay,
};

// The eight sets: [kind * 2 + tab], kind 0 none, 1 crystal, 2 mixture, 3 observed; tab 0 Parameters.
const std::vector<UINT> kSetTables[8] = {
    {5740, 5742, 5743, 5741, 5800, 5710, 5760, 5790, 5850, 5810, 5770},
    {5840, 5720, 5730, 5780, 5750, 5830, 5820},
    {5740, 5742, 5743, 5741, 5790, 5850, 5810, 5770},
    {5840, 5720, 5730, 5780, 5750, 5830, 5820},
    {5740, 5742, 5743, 5741, 5760},
    {5840, 5720, 5730, 5780, 5750, 5830, 5820},
    {5800, 5710},
    {5840, 5720, 5730, 5780, 5860, 5820},
};
enum { kKindNone = 0, kKindCrystal = 1, kKindMixture = 2, kKindObserved = 3 };

constexpr COLORREF kHostFill = RGB(0xF7, 0xF7, 0xF7);

CString StyledFace(HFONT font) {
  LOGFONTW lf{};
  if (font) ::GetObjectW(font, sizeof lf, &lf);
  CString face = lf.lfFaceName;
  CString word;
  if (lf.lfWeight >= 700 && LoadString(1089, word)) face += L" " + word;
  if (lf.lfItalic && LoadString(1090, word)) face += L" " + word;
  return face;
}

Gdiplus::ARGB Opaque(COLORREF c) {
  return 0xFF000000u | (DWORD(GetRValue(c)) << 16) | (DWORD(GetGValue(c)) << 8) | GetBValue(c);
}

// Text drawn in a window's font face, 2 points larger, in the rectangle.
void DrawCaption(HDC hdc, HWND window, const CString& text, Gdiplus::ARGB colour, const RECT& r) {
  CDC* dc = CDC::FromHandle(hdc);
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
  HGDIOBJ old = font ? ::SelectObject(hdc, font) : nullptr;
  const float size = GetDCFontSize(dc) + 2.0f;
  Gdiplus::Graphics g(hdc);
  g.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
  DrawTextBox(&g, text, StyledFace(font), size, 0x48600, colour,
              LXGraphics::CSyncRect(float(r.left), float(r.top), float(r.right), float(r.bottom)));
  if (old) ::SelectObject(hdc, old);
}
}  // namespace

// ---- header and tabs -------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CParametersPaneHdr, CWnd)
  ON_WM_PAINT()
END_MESSAGE_MAP()

void CParametersPaneHdr::OnPaint() {
  CPaintDC dc(this);
  CRect r;
  GetClientRect(&r);
  dc.FillSolidRect(&r, RGB(0xFB, 0xFB, 0xFB));
  dc.FillSolidRect(r.left, r.bottom - 1, r.Width(), 1, ::GetSysColor(COLOR_BTNSHADOW));
  CString text;
  LoadString(3107, text);
  DrawCaption(dc.GetSafeHdc(), GetParent()->m_hWnd, text, 0xFF888888u, r);
}

BEGIN_MESSAGE_MAP(InspectorTabButton, CButton)
  ON_WM_DRAWITEM_REFLECT()
END_MESSAGE_MAP()

InspectorTabButton::InspectorTabButton() { LXGraphics::EnsureOwnerDrawDC(); }

void InspectorTabButton::DrawItem(LPDRAWITEMSTRUCT item) {
  const RECT& r = item->rcItem;
  Gdiplus::Graphics g(item->hDC);
  const Gdiplus::ARGB fill = m_pushed ? Opaque(::GetSysColor(COLOR_HIGHLIGHT)) : 0xFFFBFBFBu;
  Gdiplus::SolidBrush brush{Gdiplus::Color(fill)};
  g.FillRectangle(&brush, float(r.left), float(r.top), float(r.right - r.left), float(r.bottom - r.top));
  CString text;
  GetWindowText(text);
  DrawCaption(item->hDC, GetParent()->m_hWnd, text, m_pushed ? 0xFFFDFDFDu : 0xFF000000u, r);
}

// ---- CParametersPane -------------------------------------------------------------------------

IMPLEMENT_DYNCREATE(CParametersPane, CFormView)

BEGIN_MESSAGE_MAP(CParametersPane, CFormView)
  ON_WM_SIZE()
  ON_WM_CONTEXTMENU()
  ON_BN_CLICKED(CParametersPane::kFormatTabId, &CParametersPane::OnFormatTab)
  ON_BN_CLICKED(CParametersPane::kParametersTabId, &CParametersPane::OnParametersTab)
  ON_COMMAND(CParametersPane::kExpandAll, &CParametersPane::OnExpandAll)
  ON_COMMAND(CParametersPane::kCollapseAll, &CParametersPane::OnCollapseAll)
  ON_UPDATE_COMMAND_UI(CParametersPane::kExpandAll, &CParametersPane::OnUpdateAll)
  ON_UPDATE_COMMAND_UI(CParametersPane::kCollapseAll, &CParametersPane::OnUpdateAll)
  ON_REGISTERED_MESSAGE(g_msgPaneModifiedSync, &CParametersPane::OnPaneModified)
  ON_REGISTERED_MESSAGE(g_msgPaneModifiedAsync, &CParametersPane::OnPaneModified)
  ON_REGISTERED_MESSAGE(g_msgParametersPaneConfigSync, &CParametersPane::OnParametersPaneConfig)
  ON_REGISTERED_MESSAGE(g_msgParametersPaneConfigAsync, &CParametersPane::OnParametersPaneConfig)
END_MESSAGE_MAP()

CParametersPane::CParametersPane() : CFormView(kTemplateId) {}

CParametersPane::~CParametersPane() {
  for (CDiscloseablePane* pane : m_panes) {
    if (pane->m_hWnd) pane->DestroyWindow();
    delete pane;
  }
}

BOOL CParametersPane::PreCreateWindow(CREATESTRUCTW& cs) {
  cs.style |= WS_CLIPCHILDREN;
  if (!CUtils::UseOwnWindowClass(cs, L"Quillonographic-CParametersPane")) throw CLXXCantLoadResource(4, 0, __LINE__);
  return CFormView::PreCreateWindow(cs);
}

void CParametersPane::OnDraw(CDC* dc) {
  CRect client;
  GetClientRect(&client);
  dc->FillSolidRect(&client, kHostFill);
}

void CParametersPane::OnInitialUpdate() {
  if (!m_bNotInitialised) {
    CFormView::OnInitialUpdate();
    return;
  }
  m_bToolTipsEnabled = true;
  // The template's controls are placed by hand below: no layout.
  if (QWidget* self = qlw::WidgetOf(m_hWnd); self && self->layout()) self->layout()->setEnabled(false);
  CRect client;
  GetClientRect(&client);

  for (UINT id : kCreationOrder) {
    CDiscloseablePane* pane = CreatePane(id, this);
    if (!pane) continue;
    bool created = false;
    try {
      created = pane->Create(id, this) != FALSE;
    } catch (...) {
      delete pane;
      throw;
    }
    if (!created) {
      delete pane;
      throw CLXXCantLoadResource(4, 0, __LINE__);
    }
    m_panes.push_back(pane);
  }

  int paneWidth = CDiscloseablePane::kPaneWidth;
  for (CDiscloseablePane* pane : m_panes) paneWidth = std::max(paneWidth, pane->GetFullWidth());
  for (CDiscloseablePane* pane : m_panes) pane->SetPaneWidth(paneWidth);
  m_nBandHeight = (3 * ::GetSystemMetrics(SM_CYMENU)) / 2 + 1;
  QWidget* self = qlw::WidgetOf(m_hWnd);
  m_scrollBar = new QScrollBar(Qt::Vertical, self);
  m_scrollBar->setObjectName(QStringLiteral("Inspector Scroll Bar"));
  const int barWidth = ::GetSystemMetrics(SM_CXVSCROLL);
  m_scrollBar->setGeometry(paneWidth, m_nBandHeight, barWidth, std::max(0, int(client.Height()) - m_nBandHeight));
  m_scrollBar->show();
  QObject::connect(m_scrollBar, &QScrollBar::actionTriggered, self, [this](int action) { OnScrollBarAction(action); });
  QObject::connect(m_scrollBar, &QScrollBar::valueChanged, self, [this](int) {
    if (!m_inScrollBarUpdate) Relayout(true);
  });
  m_nContentWidth = paneWidth + barWidth;

  m_header.SubclassDlgItem(kHeaderId, this);
  m_header.SetWindowText(L"");
  m_header.MoveWindow(0, 0, m_nContentWidth, m_nBandHeight);
  m_formatTab.SubclassDlgItem(kFormatTabId, this);
  m_parametersTab.SubclassDlgItem(kParametersTabId, this);
  m_formatTab.ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
  m_parametersTab.ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
  m_formatTab.MoveWindow(0, 0, m_nContentWidth / 2, m_nBandHeight - 1);
  m_parametersTab.MoveWindow(m_nContentWidth / 2, 0, m_nContentWidth / 2, m_nBandHeight - 1);
  // The window-script runner finds the tabs by this mark.
  for (CWnd* tab : {static_cast<CWnd*>(&m_formatTab), static_cast<CWnd*>(&m_parametersTab)})
    if (QWidget* w = qlw::WidgetOf(tab->m_hWnd)) w->setProperty("qlwTab", true);

  if (!g_pPreferences || g_pPreferences->m_ParamTabChoice.Get()) ShowParametersTab();
  else ShowFormatTab();
  m_bNotInitialised = false;
  // Every pane shows the document it now has.
  for (CDiscloseablePane* pane : m_panes) pane->RefreshAndSetModified(false);
  Relayout(true);
}

void CParametersPane::ApplyTab(std::uint8_t tab) {
  m_formatTab.m_pushed = tab == 1;
  m_parametersTab.m_pushed = tab == 0;
  m_formatTab.SendMessage(BM_SETSTATE, tab == 1, 0);
  m_parametersTab.SendMessage(BM_SETSTATE, tab == 0, 0);
  m_formatTab.Invalidate();
  m_parametersTab.Invalidate();
  m_nTab = tab;
  if (g_pPreferences) g_pPreferences->m_ParamTabChoice.Set(tab == 0);
  LayoutPanes();
  UpdateScrollBar(true);
}

void CParametersPane::ShowParametersTab() { ApplyTab(0); }
void CParametersPane::ShowFormatTab() { ApplyTab(1); }

void CParametersPane::OnSize(UINT type, int cx, int cy) {
  CFormView::OnSize(type, cx, cy);
  if (!m_bNotInitialised) Relayout(true);
}

LRESULT CParametersPane::OnParametersPaneConfig(WPARAM, LPARAM) {
  Relayout(true);
  return 1;
}

void CParametersPane::Relayout(bool redraw) {
  if (m_bNotInitialised || m_inRelayout) return;
  if (CLXApp::IsBusy()) {
    // Put off, not dropped: the panes are restacked once the busy spell ends.
    CLXApp::SendWhenNotBusy(m_hWnd, g_msgParametersPaneConfig);
    return;
  }
  m_inRelayout = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{m_inRelayout};
  CRect window;
  GetWindowRect(&window);
  if (window.Width() > 0 && window.Height() > 0 && window.Width() != m_nContentWidth)
    SetWindowPos(nullptr, 0, 0, m_nContentWidth, window.Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  CRect client;
  GetClientRect(&client);
  if (m_scrollBar)
    m_scrollBar->setGeometry(m_scrollBar->x(), m_nBandHeight, m_scrollBar->width(),
                             std::max(0, int(client.Height()) - m_nBandHeight));
  LayoutPanes();
  UpdateScrollBar(redraw);
}

std::set<UINT> CParametersPane::ChooseShownIds() {
  if (!m_setsLoaded) {
    for (int i = 0; i < 8; ++i) m_sets[i].insert(kSetTables[i].begin(), kSetTables[i].end());
    m_setsLoaded = true;
  }
  std::set<UINT> shown;
  CQlwDoc* doc = dynamic_cast<CQlwDoc*>(GetDocument());
  CQLPatternPtr first;
  if (doc) doc->GetFirstPattern(first, true);
  if (doc && first) {
    CQLPatternList& patterns = doc->GetPatterns();
    if (FindFirstCrystalPattern(patterns, true, false))
      shown = m_sets[kKindCrystal * 2 + m_nTab];
    else if (FindFirstPatternOfType<CQLObservedPattern>(patterns, true, false))
      shown = m_sets[kKindObserved * 2 + m_nTab];
    if (FindFirstMixturePattern(patterns, false)) shown.insert(m_sets[kKindMixture * 2 + m_nTab].begin(), m_sets[kKindMixture * 2 + m_nTab].end());
  } else {
    shown = m_sets[kKindNone * 2 + m_nTab];
  }
  const CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr;
  if (shown.count(kFilm) && shown.count(kGraph)) {
    const bool film = settings && settings->m_filmMode;
    shown.erase(film ? kGraph : kFilm);
  }
  if (shown.count(kInstrumentEDX) && shown.count(kInstrumentTOF) && shown.count(kInstrumentTTH) &&
      shown.count(kInstrumentTEM)) {
    const UINT kind = settings ? static_cast<UINT>(settings->m_simulationType) : 0;
    const UINT keep = kind == 3 ? kInstrumentEDX : kind == 4 ? kInstrumentTOF : kind == 5 ? kInstrumentTEM : kInstrumentTTH;
    for (UINT id : {kInstrumentEDX, kInstrumentTOF, kInstrumentTTH, kInstrumentTEM})
      if (id != keep) shown.erase(id);
  }
  return shown;
}

void CParametersPane::LayoutPanes() {
  const std::set<UINT> shown = ChooseShownIds();
  m_nContentHeight = 0;
  for (CDiscloseablePane* pane : m_panes)
    if (shown.count(pane->GetTemplateID())) {
      CRect r;
      pane->GetWindowRect(&r);
      m_nContentHeight += r.Height();
    }
  CRect client;
  GetClientRect(&client);
  const int page = client.Height() - m_nBandHeight;
  int p = GetScrollPosition();
  if (page < m_nContentHeight) {
    if (client.bottom > m_nContentHeight + m_nBandHeight - p) p = m_nContentHeight + m_nBandHeight - client.bottom;
  } else {
    p = 0;
  }
  p = std::max(0, p);
  SetScrollPosition(p);
  m_nFirstPaneY = m_nBandHeight - p;
  int y = m_nFirstPaneY;
  for (CDiscloseablePane* pane : m_panes) {
    if (!shown.count(pane->GetTemplateID())) {
      pane->ShowWindow(SW_HIDE);
      continue;
    }
    CRect r;
    pane->GetWindowRect(&r);
    pane->SetWindowPos(&m_header, 0, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    pane->ShowWindow(SW_SHOW);
    y += r.Height();
  }
  // The band stays above the panes that scroll under it.
  m_header.BringWindowToTop();
  m_formatTab.BringWindowToTop();
  m_parametersTab.BringWindowToTop();
  if (m_scrollBar) m_scrollBar->raise();
}

int CParametersPane::GetScrollPosition() const { return m_scrollBar ? m_scrollBar->value() : 0; }

void CParametersPane::SetScrollPosition(int position) {
  if (!m_scrollBar) return;
  const bool was = m_inScrollBarUpdate;
  m_inScrollBarUpdate = true;
  if (position > m_scrollBar->maximum()) m_scrollBar->setMaximum(position);
  m_scrollBar->setValue(position);
  m_inScrollBarUpdate = was;
}

bool CParametersPane::IsScrollBarEnabled() const { return m_scrollBar && m_scrollBar->isEnabled(); }

void CParametersPane::UpdateScrollBar(bool redraw) {
  if (m_bNotInitialised || m_inScrollBarUpdate || !m_scrollBar) return;
  m_inScrollBarUpdate = true;
  CRect client;
  GetClientRect(&client);
  const int page = std::max(0, int(client.Height()) - m_nBandHeight);
  // Qt's maximum is the last top position: content less page.
  if (m_nContentHeight > page) {
    m_scrollBar->setEnabled(true);
    m_scrollBar->setRange(0, m_nContentHeight - page);
    m_scrollBar->setPageStep(std::max(1, page));
    m_scrollBar->setSingleStep(
        LineStep(page, m_nContentHeight, m_scrollBar->height() - 2 * ::GetSystemMetrics(SM_CXVSCROLL)));
    m_scrollBar->setValue(std::clamp(m_scrollBar->value(), 0, m_nContentHeight - page));
  } else {
    m_scrollBar->setRange(0, 0);
    m_scrollBar->setValue(0);
    m_scrollBar->setEnabled(false);
  }
  if (redraw) m_scrollBar->update();
  m_inScrollBarUpdate = false;
}

int CParametersPane::LineStep(int page, int range, int trackLength) {
  if (trackLength <= 0) return 0;
  return (page + range + trackLength - 1) / trackLength;
}

void CParametersPane::OnScrollBarAction(int action) {
  (void)action;
  // Qt moves the value itself; the panes follow in valueChanged.
}

void CParametersPane::OnUpdate(CView* sender, LPARAM hint, CObject* hintObject) {
  if (m_bNotInitialised) return;
  auto* update = reinterpret_cast<CUpdateHint*>(hint);
  const void* given = hintObject ? static_cast<const void*>(hintObject) : static_cast<const void*>(update);
  for (CDiscloseablePane* pane : m_panes) {
    bool refresh = false;
    if (!update && !hintObject) refresh = true;  // a plain update (open, new): every pane
    else if (m_hSenderPane && m_hSenderPane != pane->m_hWnd) refresh = true;
    else refresh = pane->WantsUpdate(sender, given);
    if (refresh) pane->RefreshAndSetModified(false);
  }
  Relayout(true);
  CFormView::OnUpdate(sender, hint, hintObject);
}

LRESULT CParametersPane::OnPaneModified(WPARAM wParam, LPARAM lParam) {
  if (m_bNotInitialised) return 0;
  // The pane's window and a non-zero flag.
  HWND window = reinterpret_cast<HWND>(lParam);
  WPARAM flag = wParam;
  if (!FindPaneForWindow(window)) {
    window = reinterpret_cast<HWND>(wParam);
    flag = static_cast<WPARAM>(lParam);
  }
  CDiscloseablePane* pane = FindPaneForWindow(window);
  if (!pane || !flag) return 0;
  const HWND before = m_hSenderPane;
  m_hSenderPane = window;
  bool applied = false;
  try {
    applied = pane->ApplyChanges();
  } catch (CLXException& e) {
    e.Report();
  }
  // The document does not tell the sending view of its own hint: the other panes learn here.
  if (applied)
    for (CDiscloseablePane* other : m_panes)
      if (other != pane) other->RefreshAndSetModified(false);
  m_hSenderPane = before;
  if (applied) Relayout(true);
  return 1;
}

CDiscloseablePane* CParametersPane::FindPane(UINT templateId) const {
  for (CDiscloseablePane* pane : m_panes)
    if (pane->GetTemplateID() == templateId) return pane;
  return nullptr;
}

CDiscloseablePane* CParametersPane::FindPaneForWindow(HWND window) const {
  if (!window) return nullptr;
  for (CDiscloseablePane* pane : m_panes)
    if (pane->m_hWnd == window) return pane;
  return nullptr;
}

void CParametersPane::DiscloseAll(bool open) {
  for (CDiscloseablePane* pane : m_panes) pane->Disclose(open, true);
}

void CParametersPane::RunDiscloseAll(bool open) {
  DiscloseAll(open);
  if (!g_bKeepFocus) SetFocus();
}

void CParametersPane::OnContextMenu(CWnd*, CPoint point) {
  CMenu menu;
  if (!menu.LoadMenu(kContextMenu)) throw CLXXCantLoadResource(4, 0, __LINE__);
  CMenu* popup = menu.GetSubMenu(0);
  if (!popup) throw CLXXCantLoadResource(4, 0, __LINE__);
  HWND main = LXAppWindows::GetMainWindow();
  CWnd* owner = main ? CWnd::FromHandle(main) : this;
  popup->TrackPopupMenu(TPM_RIGHTBUTTON, point.x, point.y, owner);
}

// Every disclosed pane counts, shown or not: a session reopens by closing every pane not named, so
// a pane open on the other tab (or under a hidden inspector) would otherwise come back closed. The
// instrument panes share one header and are named once.
void CParametersPane::GetOpenPaneNames(std::vector<CString>& names) const {
  for (CDiscloseablePane* pane : m_panes) {
    if (!pane->IsOpen()) continue;
    const CString caption = pane->GetCaption();
    if (std::find(names.begin(), names.end(), caption) == names.end()) names.push_back(caption);
  }
}

void CParametersPane::OpenPaneByName(const CString& name) {
  for (CDiscloseablePane* pane : m_panes)
    if (pane->GetCaption() == name) {
      pane->LockUpdates();
      pane->Disclose(true, true);
      pane->UnlockUpdates();
      return;
    }
}
