// The graphics pane: making the canvas and the band, hints, commands and the band's controls.
#include "GraphicsPane.h"

#include "GraphicsPaneBand.h"
#include "LXCursors.h"
#include "LXGdiplus.h"
#include "LXMessage.h"
#include "QLCrystalPattern.h"
#include "QlwDoc.h"
#include "Resources.h"

#include <algorithm>
#include <cwctype>

IMPLEMENT_DYNCREATE(CGraphicsPane, CFormView)

BEGIN_MESSAGE_MAP(CGraphicsPane, CFormView)
  ON_WM_SIZE()
  ON_WM_SETFOCUS()
  ON_WM_SETCURSOR()
  ON_EN_CHANGE(CGraphicsPane::kHKLFieldId, &CGraphicsPane::OnChangeHKL)
  ON_COMMAND(ID_FILE_PAGE_SETUP, &CGraphicsPane::OnFilePageSetup)
  ON_COMMAND(ID_FILE_PRINT, &CGraphicsPane::OnFilePrint)
  ON_COMMAND(ID_FILE_PRINT_PREVIEW, &CGraphicsPane::OnFilePrintPreview)
  ON_REGISTERED_MESSAGE(g_msgGraphicsDoFindHKLSync, &CGraphicsPane::OnDoFindHKLMessage)
  ON_REGISTERED_MESSAGE(g_msgGraphicsDoFindHKLAsync, &CGraphicsPane::OnDoFindHKLMessage)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonMenuItemSync, &CGraphicsPane::OnAlphaButtonMenuItemMessage)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonMenuItemAsync, &CGraphicsPane::OnAlphaButtonMenuItemMessage)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedSync, &CGraphicsPane::OnAlphaButtonChangedMessage)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedAsync, &CGraphicsPane::OnAlphaButtonChangedMessage)
END_MESSAGE_MAP()

namespace {
constexpr wchar_t kHKLCharacters[] = L"0123456789+- ";
constexpr Gdiplus::ARGB kBackground = 0xFFFBFBFBu;
// Room beside the band controls' texts: the menu mark, the reflexions image, an hkl of "-10 -10 -10".
constexpr int kMenuMarkWidth = 9;
constexpr int kReflexionsImageWidth = 19;
constexpr int kHKLFieldWidth = 72;
constexpr UINT kBandCursorId = 2105;

bool IsHKLCharacter(wchar_t c) { return c != 0 && std::wcschr(kHKLCharacters, c) != nullptr; }

// The crystal patterns the band can search: those shown, in the order of its menu. A hidden
// pattern that is still selected is never searched, nor counted, since the band could not name it.
CQLPatternList SearchableCrystals(const CQLPatternList& patterns) {
  return CollectPatternsOfType<CQLCrystalPattern>(patterns, false, true, true);
}

std::int64_t CountSelectedCrystals(const CQLPatternList& patterns) {
  const CQLPatternList searchable = SearchableCrystals(patterns);
  return std::count_if(searchable.begin(), searchable.end(), [](const CQLPatternPtr& p) { return p->IsSelected(); });
}

// Reads one index at `i`: an optional sign, then (spaced form) optional spaces and digits, or
// (compact form) exactly one digit. Trailing spaces are taken too in the spaced form.
bool ReadIndex(const std::wstring& s, size_t& i, bool spaced, int& out) {
  int sign = 1;
  if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) sign = s[i++] == L'-' ? -1 : 1;
  if (spaced)
    while (i < s.size() && s[i] == L' ') ++i;
  int value = 0, digits = 0;
  while (i < s.size() && std::iswdigit(s[i])) {
    if (++digits > CGraphicsPane::kMaxIndexDigits) return false;
    value = value * 10 + (s[i++] - L'0');
    if (!spaced) break;
  }
  if (digits == 0) return false;
  if (spaced)
    while (i < s.size() && s[i] == L' ') ++i;
  out = sign * value;
  return true;
}
}  // namespace

CGraphicsPane::CGraphicsPane()
    : CFormView(kTemplateId),
      m_patternButton(CAlphaButton::kPush, CAlphaButton::kTextOnly, CAlphaButton::kFramed, 3),
      m_reflexionsButton(CAlphaButton::kPush, CAlphaButton::kImage, CAlphaButton::kFramed, 1),
      m_dropTarget(this) {
  // The printer's defaults are asked for when the page is set up, not here: making the printer
  // loads the print system, which took a tenth of the program's start.
}

CGraphicsPane::~CGraphicsPane() {
  m_dropTarget.Revoke();
  m_patternButton.AttachMenu(nullptr, nullptr, true, 0);
}

CQlwDoc* CGraphicsPane::GetDocument() const { return dynamic_cast<CQlwDoc*>(m_pDocument); }

int CGraphicsPane::BandHeight() { return (3 * GetSystemMetrics(SM_CYMENU)) / 2; }

void CGraphicsPane::GetCanvasRect(RECT& out) const {
  GetClientRect(&out);
  out.top = std::min<LONG>(out.bottom, out.top + BandHeight() + 1);
}

BOOL CGraphicsPane::PreCreateWindow(CREATESTRUCTW& cs) {
  cs.style |= WS_CLIPCHILDREN;
  return CFormView::PreCreateWindow(cs);
}

// ---- Initial update, size and focus -------------------------------------------------------
void CGraphicsPane::OnInitialUpdate() {
  CFormView::OnInitialUpdate();
  if (m_bNotInitialised) {
    m_dropTarget.Register(this);
    if (!m_toolTip.m_hWnd && m_toolTip.Create(this, TTS_ALWAYSTIP)) {
      m_toolTip.SetMaxTipWidth(MaxTipWidth(320));
      m_bToolTipsEnabled = true;
    }

    RECT canvasRect;
    GetCanvasRect(canvasRect);
    // No document is pinned on the canvas: it asks this view each time, since a file opened into
    // the same window moves the view to a new document and deletes the old one.
    if (!m_canvas.Create(this, canvasRect)) throw CLXXDiffWindow(kLXSeverityFatal, 0, __LINE__);
    // Shown like its frame, except that a maximised child would cover the band: a zoomed frame
    // shows it normally, at the rectangle just given.
    CWnd* frame = GetParentFrame();
    m_canvas.ShowWindow(frame && frame->IsIconic() ? SW_RESTORE : SW_SHOWNORMAL);

    m_bandFrame.SubclassDlgItem(kBandFrameId, this);
    m_patternButton.SubclassDlgItem(kPatternButtonId, this);
    m_hklField.SubclassDlgItem(kHKLFieldId, this);
    m_reflexionsButton.SubclassDlgItem(kReflexionsButtonId, this);
    // Tab walks the band: pattern button, hkl field, Reflexions button.
    m_patternButton.ModifyStyle(0, WS_TABSTOP);
    m_reflexionsButton.ModifyStyle(0, WS_TABSTOP);
    RECT band{};
    m_bandFrame.GetClientRect(&band);
    m_nBandLineY = BandHeight() + band.top;

    m_patternButton.SetMenuKind(CAlphaButton::kMenuOnPress);
    m_patternButton.SetMenuReturnsCommand(true);
    m_patternButton.AttachMenu(&m_patternMenu, this, true, 0);
    m_reflexionsButton.LoadImages(kReflexionsImageId, kReflexionsImageId);
    CString cue;
    cue.LoadString(2700);
    m_hklField.SetCueBanner(cue);
    if (m_toolTip.m_hWnd) {
      AddChildTools(m_toolTip, m_hWnd);
      m_toolTip.Activate(TRUE);
    }

    qlwplot::FitBandControl(&m_hklField, kHKLFieldWidth);
    qlwplot::FitBandControl(&m_reflexionsButton, kReflexionsImageWidth);
    m_bNotInitialised = false;
    RefreshControls();
    LayOutBand();
  }
  m_canvas.SetFocus();
  // The initial update announces the document, which may have been read before the pane was
  // made: the canvas hears of it here, or it would wait for the next change to show anything.
  if (CQlwDoc* doc = GetDocument()) {
    CUHRequestPlotUpdate announce(doc, this, false, CUHRequestPlotUpdate::kRedrawAll);
    m_canvas.OnDocumentUpdate(&announce);
  }
  m_canvas.InvalidateLayers(CImagingPane::kLayerAll, false);
}

void CGraphicsPane::LayOutBand() {
  if (m_bNotInitialised) return;
  RECT client;
  GetClientRect(&client);
  m_bandFrame.MoveWindow(0, 0, client.right, BandHeight(), FALSE);
  qlwplot::LayOutBand(this, BandHeight(), {&m_patternButton, &m_hklField, &m_reflexionsButton});
}

void CGraphicsPane::OnSize(UINT type, int cx, int cy) {
  Default();
  (void)type, (void)cx, (void)cy;
  if (m_bNotInitialised) return;
  RECT canvasRect;
  GetCanvasRect(canvasRect);
  m_canvas.MoveWindow(&canvasRect, TRUE);
  LayOutBand();
  m_canvas.SetFocus();
}

void CGraphicsPane::OnSetFocus(CWnd* old) {
  Default();
  (void)old;
  if (!m_bNotInitialised && m_canvas.m_hWnd) m_canvas.SetFocus();
}

BOOL CGraphicsPane::OnSetCursor(CWnd* window, UINT hitTest, UINT message) {
  (void)hitTest, (void)message;
  // The band's own area; the canvas and the controls choose their cursors themselves.
  if (window == this && (SetCursorById(kBandCursorId) || g_cursorCache.count(kBandCursorId))) return TRUE;
  return static_cast<BOOL>(Default());
}

void CGraphicsPane::GetMinSize(SIZE& out) const {
  out.cx = kMinWidth;
  out.cy = kMinHeight;
  if (m_bNotInitialised || !m_patternButton.m_hWnd) return;
  RECT client, button;
  GetClientRect(&client);
  m_patternButton.GetWindowRect(&button);
  ScreenToClient(&button);
  out.cx = std::max<LONG>(out.cx, client.right - button.left + 5);
}

// ---- Drawing ------------------------------------------------------------------------------
void CGraphicsPane::OnDraw(CDC* dc) {
  if (!dc) return;
  if (dc->IsPrinting()) {
    // Qt's preview pages are printer pages of the printer's own resolution, so a preview is drawn
    // exactly as the print; scaling its text once more would make it many times too large.
    if (m_pPrintInfo) m_canvas.PrintPlot(dc, CImagingPane::PrintPage{m_pPrintInfo->m_rectDraw, false});
    return;
  }
  RECT client;
  GetClientRect(&client);
  Gdiplus::Graphics g(dc->m_hDC);
  Gdiplus::SolidBrush background{Gdiplus::Color(kBackground)};
  g.FillRectangle(&background, 0, 0, client.right - client.left, client.bottom - client.top);
  const float scale = static_cast<float>(g_drawDpi) / static_cast<float>(g_screenDpi);
  Gdiplus::Pen line(Gdiplus::Color(LXGraphics::CColor::FromThemeSysColor(nullptr, COLOR_BTNSHADOW).GetValue()), scale);
  g.DrawLine(&line, static_cast<float>(client.left), static_cast<float>(m_nBandLineY), static_cast<float>(client.right),
             static_cast<float>(m_nBandLineY));
  // The canvas, a child window, is painted right after this paint; asking for it here would
  // nest one paint inside another.
}

// ---- Hints and commands -------------------------------------------------------------------
void CGraphicsPane::OnUpdate(CView* sender, LPARAM hint, CObject* hintObject) {
  auto* update = reinterpret_cast<CUpdateHint*>(hint);
  if (!m_bNotInitialised && !update) {
    // A plain update of every view (a document just opened): the band and the plot both anew.
    RefreshControls();
    m_canvas.InvalidateLayers(CImagingPane::kLayerAll, false);
    CFormView::OnUpdate(sender, hint, hintObject);
    return;
  }
  if (!m_bNotInitialised && update && dynamic_cast<CQlwDoc*>(update->document)) {
    // The menu's items index the shown crystal patterns, so every change of that list rebuilds it.
    if (update->code == kHintPatternTree || update->code == kHintSelection || update->code == kHintPatternsShown)
      RefreshControls();
    m_canvas.OnDocumentUpdate(update);
  }
  (void)sender, (void)hintObject;
}

BOOL CGraphicsPane::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  if (m_canvas.m_hWnd && m_canvas.OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  return CFormView::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

BOOL CGraphicsPane::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  BOOL answer = FALSE;
  if (AnswerToolTipNotify(lParam, result, answer)) return answer;
  return CFormView::OnNotify(wParam, lParam, result);
}

BOOL CGraphicsPane::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN && m_hklField.m_hWnd && msg->hwnd == m_hklField.m_hWnd) {
    CLXMsgTarget(m_hWnd, g_msgGraphicsDoFindHKL).Post();
    return TRUE;
  }
  return CFormView::PreTranslateMessage(msg);
}

void CGraphicsPane::OnReflexionsButton() { CLXMsgMenuCmd(nullptr, kShowReflexionsCommand).Send(CLXMessage::kModeAsync); }

LRESULT CGraphicsPane::OnAlphaButtonChangedMessage(WPARAM wParam, LPARAM) {
  if (wParam == kReflexionsButtonId) OnReflexionsButton();
  return 0;
}

// ---- The pattern button -------------------------------------------------------------------
void CGraphicsPane::RefreshControls() {
  if (m_bNotInitialised) return;
  CQlwDoc* doc = GetDocument();
  const bool anyCrystal = doc && doc->GetAnyCrystalPattern();
  const std::int64_t selected = anyCrystal ? CountSelectedCrystals(doc->GetPatterns()) : 0;
  BuildPatternMenu(selected);
  m_hklField.SetWindowText(L"");
  m_patternButton.EnableWindow(anyCrystal);
  m_hklField.EnableWindow(selected == 1);
  m_reflexionsButton.EnableWindow(TRUE);
}

void CGraphicsPane::BuildPatternMenu(std::int64_t selectedCrystals) {
  m_menuPatterns.clear();
  m_patternMenu.DestroyMenu();
  m_patternMenu.CreateMenu();
  CMenu popup;
  popup.CreatePopupMenu();
  CString name;
  if (CQlwDoc* doc = GetDocument()) {
    const CQLPatternList shown = SearchableCrystals(doc->GetPatterns());
    bool checked = false;
    for (const CQLPatternPtr& p : shown) {
      m_menuPatterns.push_back(p);
      const UINT id = static_cast<UINT>(m_menuPatterns.size());
      UINT flags = MF_STRING;
      if (selectedCrystals == 1 && !checked && p->IsSelected()) {
        flags |= MF_CHECKED;
        checked = true;
        name = p->m_title;
      }
      popup.AppendMenu(flags, id, p->m_title);
    }
  }
  CString caption;
  if (selectedCrystals >= 2) caption.LoadString(2701);
  else caption.Format(2702u, name.GetString());
  m_patternButton.SetWindowText(caption);
  m_patternMenu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(popup.Detach()), L"");
  qlwplot::FitBandControl(&m_patternButton, kMenuMarkWidth);
}

LRESULT CGraphicsPane::OnAlphaButtonMenuItemMessage(WPARAM, LPARAM lParam) {
  OnAlphaButtonMenuItem(static_cast<UINT>(lParam));
  return 0;
}

void CGraphicsPane::OnAlphaButtonMenuItem(UINT item) {
  CQlwDoc* doc = GetDocument();
  if (m_bNotInitialised || item == 0 || !doc) return;
  // The menu may be older than the pattern list: an item past its end or naming a pattern that
  // has gone or been hidden since chooses nothing.
  CQLPatternPtr chosen = item <= m_menuPatterns.size() ? m_menuPatterns[item - 1].lock() : nullptr;
  const CQLPatternList shown = CollectPatterns(doc->GetPatterns(), false, true, true);
  if (!chosen || std::find(shown.begin(), shown.end(), chosen) == shown.end()) {
    RefreshControls();
    return;
  }
  // The chosen pattern becomes the only one selected, hidden ones included: one left selected
  // out of sight would make a multiple selection of it.
  for (const CQLPatternPtr& p : CollectPatterns(doc->GetPatterns(), false, false, true)) p->SetSelected(false);
  chosen->SetSelected(true);
  CUpdateHint hint(kHintSelection, doc, this);
  doc->UpdateAllViews(this, reinterpret_cast<LPARAM>(&hint));
  // The broadcast skips its sender; the plot shows the selection too.
  m_canvas.OnDocumentUpdate(&hint);
  RefreshControls();
}

// ---- The hkl field ------------------------------------------------------------------------
bool CGraphicsPane::ParseHKL(const CString& text, int& h, int& k, int& l) {
  CString trimmed = text;
  trimmed.Trim();
  const std::wstring s(trimmed.GetString());
  for (wchar_t c : s)
    if (!IsHKLCharacter(c)) return false;
  const bool spaced = s.find(L' ') != std::wstring::npos;
  int indices[3] = {};
  size_t i = 0;
  int count = 0;
  while (i < s.size()) {
    if (count == 3 || !ReadIndex(s, i, spaced, indices[count])) return false;
    ++count;
  }
  if (count != 3) return false;
  h = indices[0], k = indices[1], l = indices[2];
  return true;
}

void CGraphicsPane::OnChangeHKL() {
  if (m_bNotInitialised) return;
  CString text;
  m_hklField.GetWindowText(text);
  for (int i = 0; i < text.GetLength(); ++i) {
    if (!IsHKLCharacter(text[i])) {
      m_hklField.SetSel(i, text.GetLength());
      MessageBeep(MB_ICONEXCLAMATION);
      return;
    }
  }
}

LRESULT CGraphicsPane::OnDoFindHKLMessage(WPARAM, LPARAM) {
  OnDoFindHKL();
  return 0;
}

void CGraphicsPane::OnDoFindHKL() {
  CQlwDoc* doc = GetDocument();
  if (m_bNotInitialised || !doc) return;
  CString text;
  m_hklField.GetWindowText(text);
  int h = 0, k = 0, l = 0;
  if (!ParseHKL(text, h, k, l)) {
    m_hklField.SetSel(0, -1);
    MessageBeep(MB_ICONEXCLAMATION);
    return;
  }
  const std::shared_ptr<CQLCrystalPattern> pattern = FindFirstCrystalPattern(doc->GetPatterns(), true, true);
  if (!pattern) return;
  const std::shared_ptr<CQLReflexion> reflexion = pattern->m_crystal.FindReflexion(h, k, l);
  if (!reflexion) {
    CLXXFindPeakNoReflexion(kLXSeverityMessage, 0, __LINE__, h, k, l).Report();
    return;
  }
  // The document centres on a d spacing and converts it to the axis unit itself.
  doc->CentrePlotOn(reflexion->d);
  CUHReflexionSelected hint(doc, this, reflexion.get(), pattern.get());
  doc->DispatchUpdateHint(hint);
}
