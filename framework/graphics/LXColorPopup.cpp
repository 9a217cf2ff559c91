// The colour popup: palette, layout, hit testing, keyboard moves, painting and ending.
#include "LXColorPopup.h"

#include <algorithm>
#include <deque>

#include "CommonDialogs.h"
#include "LXPreferences.h"
#include "LXUtils.h"
#include "Paint.h"
#include "Resources.h"

namespace {
struct Named {
  DWORD argb;
  const wchar_t* name;
};
constexpr Named kColours[] = {
    {0xFFAA0000, L"Maroon"},      {0xFF43007F, L"Blue Violet"},   {0xFFFF0000, L"Red"},
    {0xFFFF00FF, L"Magenta"},     {0xFFFF9900, L"Orange"},        {0xFFCC00CC, L"Dark Magenta"},
    {0xFFFFFF00, L"Yellow"},      {0xFF6495ED, L"Cornflower Blue"}, {0xFF7FFF00, L"Lime Green"},
    {0xFF0080C0, L"Dark Cyan"},   {0xFFCCFF66, L"Dark Green"},    {0xFFFF8C00, L"Dark Orange"},
    {0xFF00FF00, L"Green"},       {0xFF008040, L"Dark Teal"},     {0xFF009900, L"Medium Green"},
    {0xFFFFD700, L"Gold"},        {0xFF004400, L"Dark Green"},    {0xFFFF80FF, L"Light Pink"},
    {0xFF66CCFF, L"Light Blue"},  {0xFFFFE0A0, L"Light Orange"},  {0xFF00FFFF, L"Cyan"},
    {0xFF408080, L"Turquoise"},   {0xFF0000FF, L"Blue"},          {0xFFFF8080, L"Light Salmon"},
    {0xFF000044, L"Dark Blue"},   {0xFF8080FF, L"Medium Slate Blue"}, {0xFF2161D7, L"Royal Blue"},
    {0xFF808000, L"Olive"},       {0xFFBB22BB, L"Purple"},        {0xFFFFFFB8, L"Pale Yellow"},
    {0xFF6633CC, L"Mauve"},       {0xFFFF80C0, L"Pink"},
};
constexpr Named kGreys[] = {
    {0xFFFFFFFF, L"White"},       {0xFFEEEEEE, L"Medium White"}, {0xFFCCCCCC, L"Light Grey"},
    {0xFFBBBBBB, L"Medium Grey"}, {0xFF7F7F7F, L"Half Grey"},    {0xFF666666, L"Anthracite"},
    {0xFF444444, L"Carbon"},      {0xFF000000, L"Black"},
};

COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }
DWORD FromColorRef(COLORREF c) { return 0xFF000000u | (DWORD(GetRValue(c)) << 16) | (DWORD(GetGValue(c)) << 8) | GetBValue(c); }
}  // namespace

BEGIN_MESSAGE_MAP(CColorPopup, CWnd)
  ON_WM_PAINT()
  ON_WM_MOUSEMOVE()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONUP()
  ON_WM_KEYDOWN()
  ON_MESSAGE(WM_ACTIVATEAPP, &CColorPopup::OnActivateApp)
  ON_WM_CLOSE()
END_MESSAGE_MAP()

std::vector<CColorPopup::Entry>& CColorPopup::Palette() {
  static std::vector<Entry> palette;
  if (palette.empty()) {
    for (const Named& n : kColours) palette.push_back({LXGraphics::CColor(n.argb), n.name});
    std::stable_sort(palette.begin(), palette.end(),
                     [](const Entry& a, const Entry& b) { return LXGraphics::CColor::LessForPalette(a.colour, b.colour); });
    for (const Named& n : kGreys) palette.push_back({LXGraphics::CColor(n.argb), n.name});
    // Always the 16 slots, whether or not the first popup offered the custom entry: OK in the
    // colour dialog copies 16 colours into them.
    for (int i = 1; i <= kCustomSlots; ++i) {
      CString name;
      name.Format(L"Custom color %d", i);
      palette.push_back({LXGraphics::CColor(0xFFFFFFFFu), name});
    }
  }
  return palette;
}

void CColorPopup::ResetPalette() { Palette().clear(); }

CColorPopup::CColorPopup(POINT at, DWORD argb, CWnd* owner) {
  CString custom;
  LoadString(kCustomTextId, custom);
  Open(at, argb, owner, L"", custom);
}

CColorPopup::CColorPopup(POINT at, DWORD argb, CWnd* owner, LPCWSTR defaultText, LPCWSTR customText) {
  Open(at, argb, owner, defaultText, customText);
}

CColorPopup::~CColorPopup() {
  if (!m_hasCustom || !g_pStore) return;
  // Only the slots' colours are stored.
  std::deque<LXGraphics::CColor> colours;
  const auto& palette = Palette();
  for (int i = 0; i < m_customCount; ++i) colours.push_back(palette[size_t(kNamedColours + i)].colour);
  g_pStore->m_CustomColors.Swap(colours);
}

void CColorPopup::Open(POINT at, DWORD argb, CWnd* owner, LPCWSTR defaultText, LPCWSTR customText) {
  m_owner = owner;
  m_initial = m_current = argb;
  m_defaultText = defaultText ? defaultText : L"";
  m_customText = customText ? customText : L"";
  m_hasDefault = !m_defaultText.IsEmpty();
  m_hasCustom = !m_customText.IsEmpty();
  auto& palette = Palette();
  m_colourCount = m_hasCustom ? int(palette.size()) : kNamedColours;
  if (m_hasCustom && g_pStore && !g_pStore->m_CustomColors.IsEmpty()) {
    m_customCount = int(std::min<size_t>(kCustomSlots, g_pStore->m_CustomColors.Count()));
    for (int i = 0; i < m_customCount; ++i) palette[size_t(kNamedColours + i)].colour = *g_pStore->m_CustomColors.At(size_t(i));
  }
  m_margin = GetSystemMetrics(SM_CXEDGE);
  if (m_cell - 2 * m_margin - 2 < 5) m_cell = 2 * m_margin + 7;

  CRect rect(at.x, at.y, at.x + 10, at.y + 10);
  if (!CreateEx(0, nullptr, L"", WS_POPUP, rect, owner, 0)) return;
  lxcolorpopup::MakePopupWindow(m_hWnd);
  SetFont(CFont::FromHandle(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))), FALSE);

  // Layout.
  m_rows = (m_colourCount + m_columns - 1) / m_columns;
  int width = m_columns * m_cell + 2 * m_margin, height = m_rows * m_cell + 2 * m_margin;
  CSize text(0, 0);
  {
    CClientDC dc(this);
    HGDIOBJ old = dc.SelectObject(GetStockObject(DEFAULT_GUI_FONT));
    for (const CString* t : {&m_defaultText, &m_customText})
      if (!t->IsEmpty()) {
        CSize s = dc.GetTextExtent(*t);
        text.cx = std::max(text.cx, s.cx), text.cy = std::max(text.cy, s.cy);
      }
    dc.SelectObject(old);
  }
  width = std::max<int>(width, text.cx + 2 * m_margin);
  const int entryHeight = text.cy + 5 * m_margin + 2;
  int gridTop = m_margin;
  if (m_hasDefault) {
    m_defaultRect = CRect(m_margin, m_margin, width - m_margin, m_margin + entryHeight);
    gridTop += entryHeight + m_margin;
    height += entryHeight + 2 * m_margin;
  }
  if (m_hasCustom) {
    const int top = gridTop + m_rows * m_cell + m_margin;
    m_customRect = CRect(m_margin, top, width - m_margin, top + entryHeight);
    height += entryHeight + 2 * m_margin;
  }
  m_windowRect = CRect(at.x, at.y, at.x + width, at.y + height);
  CUtils::FitRECTToMonitor(m_windowRect);
  MoveWindow(&m_windowRect, FALSE);

  // Tips and the chosen entry.
  m_tips.Create(this);
  for (int i = 0; i < m_colourCount; ++i) {
    CRect r = GetSwatchRect(i);
    m_tips.AddTool(this, palette[size_t(i)].name, &r, UINT_PTR(i + 1));
  }
  m_chosen = m_hasCustom ? kCustomEntry : kNone;
  for (int i = 0; i < m_colourCount; ++i)
    if (palette[size_t(i)].colour.GetValue() == argb) {
      m_chosen = i;
      break;
    }
  m_pressSeen = (::GetAsyncKeyState(VK_LBUTTON) & 0x8000) == 0;
  CUtils::BeginCapture(m_hWnd);
  ShowWindow(SW_SHOWNOACTIVATE);
}

CRect CColorPopup::GetSwatchRect(int index) const {
  const int row = index / m_columns, column = index % m_columns;
  CRect r(column * m_cell + m_margin, row * m_cell + m_margin, 0, 0);
  if (m_hasDefault) r.OffsetRect(0, m_defaultRect.Height() + m_margin);
  r.right = r.left + m_cell;
  r.bottom = r.top + m_cell;
  return r;
}

int CColorPopup::HitTest(POINT p) const {
  if (m_hasCustom && m_customRect.PtInRect(p)) return kCustomEntry;
  if (m_hasDefault && m_defaultRect.PtInRect(p)) return kDefaultEntry;
  int x = p.x - m_margin, y = p.y - m_margin;
  if (m_hasDefault) y -= m_defaultRect.Height() + m_margin;
  if (x < 0 || y < 0) return kNone;
  const int column = x / m_cell, row = y / m_cell;
  if (column >= m_columns) return kNone;
  const int index = row * m_columns + column;
  return index < m_colourCount ? index : kNone;
}

int CColorPopup::Move(int from, UINT key) const {
  const int first = 0, last = m_colourCount - 1;
  const int afterGrid = m_hasCustom ? kCustomEntry : m_hasDefault ? kDefaultEntry : first;
  const int beforeGrid = m_hasDefault ? kDefaultEntry : m_hasCustom ? kCustomEntry : last;
  if (from == kNone) return first;
  if (from == kDefaultEntry) {
    if (key == VK_DOWN || key == VK_RIGHT) return first;
    return m_hasCustom ? kCustomEntry : last;
  }
  if (from == kCustomEntry) {
    if (key == VK_DOWN || key == VK_RIGHT) return m_hasDefault ? kDefaultEntry : first;
    return last;
  }
  const int row = from / m_columns, column = from % m_columns;
  int to = from;
  switch (key) {
    case VK_DOWN: to = (row + 1) * m_columns + column; return to < m_colourCount ? to : afterGrid;
    case VK_UP: return row > 0 ? (row - 1) * m_columns + column : beforeGrid;
    case VK_RIGHT: to = column < m_columns - 1 ? from + 1 : (row + 1) * m_columns; return to < m_colourCount ? to : afterGrid;
    case VK_LEFT:
      if (from == first) return beforeGrid;
      return column > 0 ? from - 1 : (row - 1) * m_columns + m_columns - 1;
    default: return from;
  }
}

void CColorPopup::ChangeHot(int index) {
  if (index == m_hot) return;
  auto invalidate = [this](int i) {
    if (i >= 0) {
      CRect r = GetSwatchRect(i);
      InvalidateRect(&r, FALSE);
    } else if (i == kCustomEntry) {
      InvalidateRect(&m_customRect, FALSE);
    } else if (i == kDefaultEntry) {
      InvalidateRect(&m_defaultRect, FALSE);
    }
  };
  invalidate(m_hot);
  m_hot = index;
  invalidate(m_hot);
  if (index == kNone) return;
  m_current = index >= 0 ? Palette()[size_t(index)].colour.GetValue() : index == kDefaultEntry ? 0xFF000000u : m_initial;
  // The default entry previews as opaque black in ARGB; accepting it reports COLORREF 0.
  const LPARAM preview = index == kDefaultEntry ? LPARAM(m_current) : LPARAM(ToColorRef(m_current));
  if (m_owner && m_owner->m_hWnd) m_owner->SendMessage(WM_COLORPICK_CHANGE, 0, preview);
}

void CColorPopup::OnMouseMove(UINT, CPoint point) { ChangeHot(HitTest(point)); }

void CColorPopup::OnLButtonDown(UINT, CPoint) { m_pressSeen = true; }

void CColorPopup::OnLButtonUp(UINT, CPoint point) {
  // The release of the press that opened the popup (a list's colour cell opens it on the press)
  // chooses nothing, not even the colour it had.
  if (!m_pressSeen) return;
  CPoint screen = point;
  ClientToScreen(&screen);
  CRect window;
  GetWindowRect(&window);
  EndSelection(window.PtInRect(screen) != FALSE);
}

void CColorPopup::OnKeyDown(UINT key, UINT, UINT) {
  switch (key) {
    case VK_UP:
    case VK_DOWN:
    case VK_LEFT:
    case VK_RIGHT: ChangeHot(Move(m_hot, key)); return;
    case VK_RETURN:
    case VK_SPACE: EndSelection(true); return;
    case VK_ESCAPE:
      m_current = m_initial;
      EndSelection(false);
      return;
    default: Default();
  }
}

LRESULT CColorPopup::OnActivateApp(WPARAM active, LPARAM) {
  if (!active) EndSelection(false);
  return 0;
}

void CColorPopup::OnClose() { EndSelection(false); }

void CColorPopup::EndSelection(bool accept) {
  if (m_ended) return;
  m_ended = true;
  CUtils::EndCapture(m_hWnd);
  if (accept && m_hot == kCustomEntry) {
    auto& palette = Palette();
    COLORREF custom[kCustomSlots];
    for (int i = 0; i < kCustomSlots; ++i) custom[i] = ToColorRef(palette[size_t(kNamedColours + i)].colour.GetValue());
    CColorDialog dialog(ToColorRef(m_current), CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR, this);
    dialog.m_cc.lpCustColors = custom;
    // Out of the way of the dialog, which would otherwise close it as a click outside it.
    ShowWindow(SW_HIDE);
    m_dialogOpen = true;
    if (dialog.DoModal() == IDOK) {
      m_current = FromColorRef(dialog.GetColor());
      for (int i = 0; i < kCustomSlots; ++i) palette[size_t(kNamedColours + i)].colour = LXGraphics::CColor(FromColorRef(custom[i]));
      m_customCount = kCustomSlots;
    } else {
      accept = false;
    }
    m_dialogOpen = false;
  }
  if (!accept) m_current = m_initial;
  if (m_owner && m_owner->m_hWnd)
    m_owner->SendMessage(accept ? WM_COLORPICK_ACCEPT : WM_COLORPICK_CANCEL, 0, LPARAM(ToColorRef(m_current)));
  DestroyWindow();
}

void CColorPopup::PostNcDestroy() { delete this; }

// Painting.
void CColorPopup::DrawEntryCell(CDC& dc, const CRect& rect, int index, DWORD colour) {
  const bool hot = index == m_hot, chosen = index == m_chosen;
  dc.FillSolidRect(&rect, GetSysColor(chosen && !hot ? COLOR_BTNHIGHLIGHT : COLOR_BTNFACE));
  CRect edge = rect;
  if (hot) dc.DrawEdge(&edge, BDR_RAISEDINNER, BF_RECT);
  else if (chosen) dc.DrawEdge(&edge, BDR_SUNKENOUTER, BF_RECT);
  CRect well = rect;
  well.InflateRect(-(m_margin + 1), -(m_margin + 1));
  CPen pen(PS_SOLID, 1, GetSysColor(COLOR_3DSHADOW));
  CBrush brush(ToColorRef(colour));
  CPen* oldPen = dc.SelectObject(&pen);
  CBrush* oldBrush = dc.SelectObject(&brush);
  dc.Rectangle(&well);
  dc.SelectObject(oldPen);
  dc.SelectObject(oldBrush);
}

void CColorPopup::DrawTextEntry(CDC& dc, int index) {
  const CRect rect = index == kCustomEntry ? m_customRect : m_defaultRect;
  const CString& text = index == kCustomEntry ? m_customText : m_defaultText;
  const bool hot = index == m_hot, chosen = index == m_chosen;
  dc.FillSolidRect(&rect, GetSysColor(COLOR_BTNFACE));
  if (index == kCustomEntry) {
    CPen dark(PS_SOLID, 1, GetSysColor(COLOR_3DSHADOW)), light(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    CPen* old = dc.SelectObject(&dark);
    dc.MoveTo(rect.left + 2 * m_margin, rect.top);
    dc.LineTo(rect.right - 2 * m_margin, rect.top);
    dc.SelectObject(&light);
    dc.MoveTo(rect.left + 2 * m_margin, rect.top + 1);
    dc.LineTo(rect.right - 2 * m_margin, rect.top + 1);
    dc.SelectObject(old);
  }
  CRect inner = rect;
  inner.top += index == kCustomEntry ? 2 : 0;
  dc.FillSolidRect(&inner, GetSysColor(chosen && !hot ? COLOR_3DLIGHT : COLOR_BTNFACE));
  CRect edge = inner;
  if (hot) dc.DrawEdge(&edge, BDR_RAISEDINNER, BF_RECT);
  else if (chosen) dc.DrawEdge(&edge, BDR_SUNKENOUTER, BF_RECT);
  if (index == kDefaultEntry) {
    CRect frame = inner;
    frame.InflateRect(-2 * m_margin, -2 * m_margin);
    CPen pen(PS_SOLID, 1, GetSysColor(COLOR_3DSHADOW));
    CPen* old = dc.SelectObject(&pen);
    HGDIOBJ oldBrush = dc.SelectObject(GetStockObject(NULL_BRUSH));
    dc.Rectangle(&frame);
    dc.SelectObject(old);
    dc.SelectObject(oldBrush);
  }
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
  dc.DrawText(text, &inner, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void CColorPopup::OnPaint() {
  CPaintDC dc(this);
  HGDIOBJ oldFont = dc.SelectObject(GetStockObject(DEFAULT_GUI_FONT));
  CRect client;
  GetClientRect(&client);
  dc.FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
  if (m_hasDefault) DrawTextEntry(dc, kDefaultEntry);
  const auto& palette = Palette();
  for (int i = 0; i < m_colourCount; ++i) DrawEntryCell(dc, GetSwatchRect(i), i, palette[size_t(i)].colour.GetValue());
  if (m_hasCustom) DrawTextEntry(dc, kCustomEntry);
  dc.DrawEdge(&client, EDGE_RAISED, BF_RECT);
  dc.SelectObject(oldFont);
}
