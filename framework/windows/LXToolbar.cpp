// The framework toolbar: construction, item buttons, metrics, measuring and layout, the labels
// and the idle command-UI update.
#include "LXToolbar.h"

#include <algorithm>
#include <cmath>

#include "LXDocWnd.h"
#include "LXMessage.h"
#include "LXPreferences.h"
#include "LXUtils.h"
#include "Paint.h"
#include "Resources.h"
#include "Status.h"

IMPLEMENT_DYNAMIC(CLXToolbar, CControlBar)

BEGIN_MESSAGE_MAP(CLXToolButton, CAlphaButton)
  ON_WM_CONTEXTMENU()
  ON_MESSAGE(WM_SETFONT, &CLXToolButton::OnSetFont)
  ON_MESSAGE(WM_GETFONT, &CLXToolButton::OnGetFont)
END_MESSAGE_MAP()

BEGIN_MESSAGE_MAP(CLXToolbar, CControlBar)
  ON_WM_SIZE()
  ON_WM_PAINT()
  ON_WM_CONTEXTMENU()
  ON_WM_INITMENUPOPUP()
  ON_REGISTERED_MESSAGE(g_msgDocWndModifiedSync, &CLXToolbar::OnDocWndModified)
  ON_REGISTERED_MESSAGE(g_msgDocWndModifiedAsync, &CLXToolbar::OnDocWndModified)
  ON_REGISTERED_MESSAGE(g_msgNewToolSync, &CLXToolbar::OnNewTool)
  ON_REGISTERED_MESSAGE(g_msgNewToolAsync, &CLXToolbar::OnNewTool)
END_MESSAGE_MAP()

namespace {
// One toolbar paints at a time; a label drawn while another toolbar paints would draw into it.
bool g_toolbarPainting = false;

bool IsSeparator(LXToolCode code) { return code == kToolSepFixed || code == kToolSepFlex; }

constexpr DWORD kStaticOwnerDraw = 0x0D;

int PointsToPixels(int points, int dpi) { return (points * dpi + 36) / 72; }
}  // namespace

// ---- the buttons ----

void CLXToolButton::NotifyTargets() {
  // An auto-repeat button reports the press; the release that follows is the same click.
  if (GetMode() == kRepeat && !IsMouseDown()) return;
  CAlphaButton::NotifyTargets();
}

void CLXToolButton::SetShowText(bool textOnly) {
  SetContent(textOnly ? kTextOnly : kImageScaled, textOnly ? 3 : 0);
  if (m_hWnd) Invalidate();
}

LRESULT CLXToolButton::OnSetFont(WPARAM font, LPARAM redraw) {
  m_hFont = reinterpret_cast<HFONT>(font);
  if (redraw) Invalidate();
  return 0;
}

LRESULT CLXToolButton::OnGetFont(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(m_hFont); }

void CLXToolButton::OnContextMenu(CWnd* window, CPoint point) {
  if (GetPopupMenu()) {
    CAlphaButton::OnContextMenu(window, point);
    return;
  }
  ::SendMessageW(::GetParent(m_hWnd), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(m_hWnd), MAKELPARAM(point.x, point.y));
}

// ---- construction ----

CLXToolbar::CLXToolbar() {
  m_pszToolTip = new wchar_t[kBufferLength];
  m_pszToolTip[0] = 0;
}

CLXToolbar::~CLXToolbar() {
  // The overflow popup is the holder's sub-menu: destroyed with it.
  DestroyButtons();
  if (m_contextMenu.m_hMenu) m_contextMenu.DestroyMenu();
  if (m_overflowMenu.m_hMenu) m_overflowMenu.DestroyMenu();
  delete[] m_pszToolTip;
  m_pszToolTip = nullptr;
}

BOOL CLXToolbar::Create(CWnd* parent, DWORD style, UINT id) {
  m_dwAlign = CBRS_ALIGN_TOP;
  const DWORD windowStyle = ((style & ~(0x40FFFFu | WS_VISIBLE)) | WS_CHILD | WS_CLIPCHILDREN);
  if (!CWnd::CreateEx(0, nullptr, L"", windowStyle, RECT{0, 0, 100, 35}, parent, id)) return FALSE;
  return TRUE;
}

void CLXToolbar::Init(const CLXToolDef* defs, size_t defCount, const CLXToolSeqEntry* sequence, size_t count) {
  for (size_t i = 0; i < defCount; ++i) {
    m_defs[defs[i].code] = defs[i];
    if (defs[i].toggle) m_groups[defs[i].group] = kToolNull;
  }
  CLXToolDef reserved;
  reserved.code = kToolNull;
  reserved.controlId = kOverflowButtonId;
  m_defs[kToolNull] = reserved;
  reserved.code = kToolSepFixed;
  reserved.controlId = kSepFixedId;
  m_defs[kToolSepFixed] = reserved;
  reserved.code = kToolSepFlex;
  reserved.controlId = kSepFlexId;
  m_defs[kToolSepFlex] = reserved;
  TakeShortcutsFromAccelerators();

  RecalcMetrics();
  CRect r(0, 0, m_metrics.itemHeight * 3 / 4, m_metrics.itemHeight);
  if (!m_overflow.Create(L"", WS_CHILD | BS_CENTER, r, this, kOverflowButtonId)) throw CLXXNoToolbar(2, 0, __LINE__);
  m_overflow.LoadImages(kOverflowImage);
  m_overflow.SetMenuKind(CAlphaButton::kMenuOnPress);
  m_overflow.SetMenuPlacement(6);

  m_bToolTipsEnabled = true;
  if (m_toolTip.Create(this, TTS_ALWAYSTIP)) m_toolTip.Activate(TRUE);
  m_buildGuard = 0;
  SetItemLayout(sequence, count, false);
}

void CLXToolbar::DestroyButtons() {
  for (Item& item : m_items) {
    if (item.window && item.window->m_hWnd) item.window->DestroyWindow();
    delete item.window;
    item.window = nullptr;
    item.button = nullptr;
  }
}

void CLXToolbar::CreateButtons() {
  CRect none(0, 0, 0, 0);
  for (Item& item : m_items) {
    if (IsSeparator(item.code)) {
      auto* sep = new CStatic;
      const bool fixed = item.code == kToolSepFixed;
      if (!sep->Create(L"", WS_CHILD | WS_VISIBLE | (fixed ? kStaticOwnerDraw : 0), none, this,
                       fixed ? kSepFixedId : kSepFlexId)) {
        delete sep;
        throw CLXXNoToolbar(2, 0, __LINE__);
      }
      item.window = sep;
      continue;
    }
    item.button = CreateItemButton(item.code, nullptr);
    item.window = item.button;
    if (item.button) {
      item.button->SetFont(&m_font, FALSE);
      item.button->SetShowText(!ShowsIcons());
      if (m_toolTip.m_hWnd) m_toolTip.AddTool(item.button);
    }
  }
  UpdateTexts(true);
}

CLXToolButton* CLXToolbar::CreateItemButton(LXToolCode code, CLXToolButton* existing) {
  const CLXToolDef* def = FindDefinition(code);
  const bool made = existing == nullptr;
  CLXToolButton* button = existing ? existing : new CLXToolButton;
  if (!def || IsSeparator(code) || code == kToolNull) {
    if (made) delete button;
    return nullptr;
  }
  CString label;
  GetItemLabel(code, label);
  CRect r;
  GetButtonRect(r);
  if (!button->m_hWnd && !button->Create(label, WS_CHILD | BS_CENTER | BS_TOP, r, this, def->controlId)) {
    if (made) delete button;
    return nullptr;
  }
  return button;
}

// ---- lookups ----

const CLXToolDef* CLXToolbar::FindDefinition(LXToolCode code) const {
  auto it = m_defs.find(code);
  return it == m_defs.end() ? nullptr : &it->second;
}

LXToolCode CLXToolbar::GetItemCode(UINT id) const {
  if (id == kOverflowButtonId) return kToolNull;
  if (id == kSepFixedId) return kToolSepFixed;
  if (id == kSepFlexId) return kToolSepFlex;
  for (const auto& [code, def] : m_defs)
    if (!IsSeparator(code) && code != kToolNull && def.controlId == id) return code;
  return kToolNull;
}

CLXToolbar::Item* CLXToolbar::FindItem(LXToolCode code) {
  if (code == kToolNull || IsSeparator(code)) return nullptr;
  for (Item& item : m_items)
    if (item.code == code) return &item;
  return nullptr;
}

bool CLXToolbar::GetItemLabel(LXToolCode code, CString& text) {
  const CLXToolDef* def = FindDefinition(code);
  if (!def || !def->labelId) return false;
  return LoadString(def->labelId, text) != FALSE;
}

bool CLXToolbar::GetItemDescription(LXToolCode code, CString& text) {
  const CLXToolDef* def = FindDefinition(code);
  if (!def || !def->descriptionId) return false;
  return LoadString(def->descriptionId, text) != FALSE;
}

int CLXToolbar::GetItemIndexForMenuCommand(UINT id) const {
  if (id < kCmdItemFirst || id > kCmdItemLast) return -1;
  const size_t index = id - kCmdItemFirst;
  return index < m_items.size() ? static_cast<int>(index) : -1;
}

int CLXToolbar::GetItemIndexForOverflowCommand(UINT id) const {
  if (id < kCmdOverflowFirst || id > kCmdOverflowLast) return -1;
  // A stale menu (the sequence was replaced since it was built) may name an index past the end.
  const size_t index = id - kCmdOverflowFirst;
  return index < m_items.size() ? static_cast<int>(index) : -1;
}

// ---- running items ----

bool CLXToolbar::InvokeItem(LXToolCode code) {
  const CLXToolDef* def = FindDefinition(code);
  if (code == kToolNull || !def) return false;
  if (def->toggle) SelectItem(code, true);
  if (def->commandId == -1) return false;
  return RunCommand(static_cast<UINT>(def->commandId));
}

bool CLXToolbar::RunCommand(UINT commandId) {
  CWnd* main = CWnd::FromHandle(LXAppWindows::GetMainWindow());
  CLXDocWnd* docWnd = main ? CLXDocWnd::FromWindow(main) : nullptr;
  HWND target = docWnd && docWnd->m_hWnd ? docWnd->m_hWnd : (main ? main->m_hWnd : nullptr);
  if (!target) return false;
  return CLXMsgMenuCmd(target, commandId).Send(CLXMessage::kModeAsync);
}

void CLXToolbar::OnButtonCommand(UINT id) { InvokeItem(GetItemCode(id)); }

void CLXToolbar::SelectItem(LXToolCode code, bool notify) {
  const CLXToolDef* def = FindDefinition(code);
  if (!def || !def->toggle) return;
  Item* item = FindItem(code);
  auto broadcast = [&] {
    CLXMsgGeneral(g_msgNewTool, reinterpret_cast<LPARAM>(m_hWnd), static_cast<WPARAM>(code)).Post();
  };
  if (!item || !item->button) {
    if (notify) broadcast();
    return;
  }
  if (m_groups[def->group] == code) return;
  m_groups[def->group] = kToolNull;
  for (Item& other : m_items) {
    const CLXToolDef* od = FindDefinition(other.code);
    if (&other == item || !od || !od->toggle || od->group != def->group || !other.button) continue;
    if (other.button->IsChecked()) other.button->SetChecked(false);
  }
  item->button->SetChecked(true);
  m_groups[def->group] = code;
  const bool enabled = item->button->IsWindowEnabled() != FALSE;
  if (notify && enabled) {
    broadcast();
    CString text;
    if (GetItemDescription(code, text)) CStatus::SetMessage(L"%s", text.GetString());
  }
}

LRESULT CLXToolbar::OnNewTool(WPARAM wParam, LPARAM lParam) {
  if (reinterpret_cast<HWND>(lParam) != m_hWnd) SelectItem(static_cast<LXToolCode>(wParam), false);
  return 1;
}

LRESULT CLXToolbar::OnDocWndModified(WPARAM, LPARAM lParam) {
  CLXDocWnd* mine = CLXDocWnd::FromWindow(GetParentFrame());
  if (!mine || reinterpret_cast<HWND>(lParam) != mine->m_hWnd || m_bRefreshing || m_buildGuard) return 1;
  m_bRefreshing = true;
  RefreshItems();
  m_bRefreshing = false;
  return 1;
}

// ---- metrics ----

bool CLXToolbar::ShowsIcons() const { return !g_pStore || g_pStore->m_ToolbarShowIcon.Get(); }
bool CLXToolbar::ShowsText() const { return !g_pStore || g_pStore->m_ToolbarShowText.Get(); }
bool CLXToolbar::IsLarge() const { return g_pStore && g_pStore->m_ToolbarLarge.Get(); }

void CLXToolbar::RecalcMetrics() {
  CClientDC dc(m_hWnd ? this : nullptr);
  const int dpiX = std::max(1, dc.GetDeviceCaps(LOGPIXELSX)), dpiY = std::max(1, dc.GetDeviceCaps(LOGPIXELSY));
  const bool large = IsLarge();
  const int iconPoints = large ? 24 : 18;
  m_metrics.point = std::max(1, PointsToPixels(1, dpiX));
  m_metrics.iconHeight = PointsToPixels(iconPoints, dpiY);
  m_metrics.iconWidth = static_cast<int>(PointsToPixels(iconPoints, dpiX) * 1.25);
  if (m_font.m_hObject) m_font.DeleteObject();
  m_font.CreatePointFont(large ? 80 : 70, L"Arial", &dc);
  CFont* old = dc.SelectObject(&m_font);
  TEXTMETRICW tm{};
  dc.GetTextMetrics(&tm);
  dc.SelectObject(old);
  m_metrics.textHeight = tm.tmHeight + tm.tmInternalLeading;
  if (m_hWnd) SetFont(&m_font, FALSE);
  m_metrics.itemWidth = m_metrics.iconWidth + 6 * GetSystemMetrics(SM_CXBORDER);
  m_metrics.itemHeight = (ShowsIcons() ? m_metrics.iconHeight : m_metrics.textHeight) + 4 * GetSystemMetrics(SM_CYBORDER);
}

void CLXToolbar::GetButtonRect(CRect& rect) const { rect.SetRect(0, 0, m_metrics.itemWidth, m_metrics.itemHeight); }

void CLXToolbar::GetItemRect(CRect& rect) const {
  GetButtonRect(rect);
  if (ShowsLabels()) rect.bottom += m_metrics.textHeight + m_metrics.point;
}

int CLXToolbar::GetBarHeight() const {
  if (m_buildGuard) return 0;
  CRect r;
  GetItemRect(r);
  return static_cast<int>(r.Height() * 1.25);
}

void CLXToolbar::GetItemLayoutRect(LXToolCode code, CRect& rect) {
  CRect item;
  GetItemRect(item);
  if (code == kToolNull) {
    rect.SetRectEmpty();
  } else if (code == kToolSepFixed) {
    rect.SetRect(0, 0, kFixedSeparatorWidth, item.Height());
  } else if (code == kToolSepFlex) {
    rect.SetRect(0, 0, 0, item.Height());
  } else {
    GetButtonRect(rect);
    // Text only: the button is as wide as its text, with the frame's margins.
    Item* it = FindItem(code);
    if (it && it->button && !ShowsIcons())
      rect.right = std::max<LONG>(rect.right, it->textRect.Width() + 6 * GetSystemMetrics(SM_CXBORDER));
  }
}

int CLXToolbar::TextWidth(const CString& text) {
  if (text.IsEmpty()) return 0;
  CClientDC dc(this);
  CFont* old = dc.SelectObject(&m_font);
  const CSize size = dc.GetTextExtent(text);
  dc.SelectObject(old);
  return static_cast<int>(size.cx * 1.1);
}

bool CLXToolbar::UpdateTexts(bool reload) {
  bool changed = false;
  bool relabelled = false;
  for (Item& item : m_items) {
    if (IsSeparator(item.code) || !item.button) continue;
    if (reload) {
      CString label;
      GetItemLabel(item.code, label);
      relabelled = relabelled || label != item.label;
      item.label = label;
    }
    CString now;
    item.button->GetWindowText(now);
    if (now != item.label) {
      item.button->SetWindowText(item.label);
      changed = true;
    }
    const CRect text(0, 0, TextWidth(item.label), m_metrics.textHeight);
    if (text != item.textRect) {
      item.textRect = text;
      changed = true;
    }
  }
  for (MenuRecord& record : m_records) {
    if (!record.labelId) continue;
    CString label;
    LoadString(record.labelId, label);
    const int width = TextWidth(label);
    if (label != record.label || width != record.textWidth) changed = true;
    relabelled = relabelled || label != record.label;
    record.label = label;
    record.textWidth = width;
  }
  // The context menu names the items as they are labelled now (a toggle says what it will do).
  if (relabelled && m_contextMenu.m_hMenu) BuildItemsMenu();
  if (changed && !m_buildGuard && m_hWnd) {
    Layout(false);
    Invalidate();
  }
  return changed;
}

void CLXToolbar::ApplyDisplayMode() {
  const bool icons = ShowsIcons();
  for (Item& item : m_items)
    if (item.button) {
      item.button->SetShowText(!icons);
      item.button->SetFont(&m_font, FALSE);
    }
}

// ---- layout ----

void CLXToolbar::Measure() {
  const bool labels = ShowsLabels();
  const int B = m_metrics.point;
  for (MenuRecord& record : m_records) {
    record.leftGap = 0;
    record.width = 0;
  }
  const Item* previous = nullptr;
  for (size_t v = 0; v < m_visible.size(); ++v) {
    Item& item = m_items[m_visible[v]];
    CRect r;
    GetItemLayoutRect(item.code, r);
    item.width = r.Width();
    item.height = r.Height();
    const bool sep = IsSeparator(item.code);
    if (labels && !sep) {
      item.height += m_metrics.textHeight + B;
      const MenuRecord& record = m_records[item.record];
      size_t shownInRecord = 0;
      for (size_t i : record.items) shownInRecord += m_items[i].visible ? 1 : 0;
      if (!item.label.IsEmpty() && (!record.labelId || shownInRecord == 1))
        item.width = std::max(item.width, static_cast<int>(item.textRect.Width()));
    }
    if (!previous) item.leftGap = 4 * B;
    else if (item.code == kToolSepFixed) item.leftGap = IsSeparator(previous->code) ? 0 : 5 * B;
    else if (item.code == kToolSepFlex) item.leftGap = 0;
    else if (previous->code == kToolSepFixed) item.leftGap = 5 * B;
    else if (previous->code == kToolSepFlex) item.leftGap = 0;
    else item.leftGap = B;
    previous = &item;
  }
  // Records span their visible items, the first one's gap included.
  std::vector<bool> started(m_records.size(), false);
  for (size_t v : m_visible) {
    const Item& item = m_items[v];
    MenuRecord& record = m_records[item.record];
    if (!started[item.record]) {
      started[item.record] = true;
      record.leftGap = item.leftGap;
    }
    record.width += item.leftGap + item.width;
  }
  for (MenuRecord& record : m_records)
    if (record.visible && record.labelId) record.width = std::max(record.width, record.textWidth);

  // Two wide labels side by side get more room between them.
  if (!labels) return;
  for (size_t v = 1; v < m_visible.size(); ++v) {
    Item& left = m_items[m_visible[v - 1]];
    Item& right = m_items[m_visible[v]];
    if (IsSeparator(left.code) || IsSeparator(right.code)) continue;
    const bool sameRecord = left.record == right.record;
    auto wide = [&](const Item& item) {
      const MenuRecord& record = m_records[item.record];
      if (record.labelId) return !sameRecord && record.textWidth >= record.width;
      return item.textRect.Width() >= item.width;
    };
    if (wide(left) && wide(right)) {
      right.leftGap += 4 * B;
      m_records[right.record].width += 4 * B;
    }
  }
}

void CLXToolbar::Layout(bool rebuild) {
  if (m_bInLayout || m_buildGuard || !m_hWnd) return;
  m_bInLayout = true;
  ++m_counters.relayouts;
  const int B = m_metrics.point;
  if (rebuild) {
    NormaliseSeparators(m_items);
    for (MenuRecord& record : m_records) {
      record.visible = false;
      for (size_t i : record.items) record.visible = record.visible || m_items[i].visible;
    }
    m_visible.clear();
    for (size_t i = 0; i < m_items.size(); ++i) {
      if (m_items[i].visible) m_visible.push_back(i);
      else if (m_items[i].window && m_items[i].window->m_hWnd) m_items[i].window->ShowWindow(SW_HIDE);
    }
    BuildItemsMenu();
  }
  Measure();

  std::vector<size_t> records;
  int total = 0;
  bool anyButton = false;
  for (size_t r = 0; r < m_records.size(); ++r) {
    if (!m_records[r].visible) continue;
    records.push_back(r);
    total += m_records[r].width;
    anyButton = anyButton || !m_records[r].separator;
  }
  if (anyButton) total += 4 * B;

  const int clientWidth = m_client.Width();
  std::vector<bool> recordShown(m_records.size(), false);
  for (size_t r : records) recordShown[r] = true;
  size_t shownCount = records.size();
  CRect overflowRect;
  m_overflow.GetWindowRect(&overflowRect);
  if (total > clientWidth) {
    total += overflowRect.Width() + 2 * B;
    while (shownCount > 0 && total > clientWidth) {
      --shownCount;
      recordShown[records[shownCount]] = false;
      total -= m_records[records[shownCount]].width;
    }
    if (shownCount == 0) total -= 2 * B;
  }
  for (Item& item : m_items) item.shown = item.visible && recordShown[item.record];
  LXToolCode firstHidden = kToolNull;
  for (size_t v : m_visible)
    if (!m_items[v].shown) {
      firstHidden = m_items[v].code;
      if (!IsSeparator(firstHidden)) break;
    }
  const bool overflowing = shownCount < records.size() || records.empty();
  if (shownCount < records.size()) {
    // Start at the first hidden item, whatever it is: the menu skips leading separators.
    for (size_t v : m_visible)
      if (!m_items[v].shown) {
        BuildOverflowMenu(m_items[v].code);
        break;
      }
  }

  // Room left over goes to the flexible separators.
  std::vector<Item*> flex;
  for (size_t v : m_visible)
    if (m_items[v].shown && m_items[v].code == kToolSepFlex) flex.push_back(&m_items[v]);
  if (!flex.empty() && clientWidth > total) {
    const int spare = clientWidth - total, each = spare / static_cast<int>(flex.size());
    int remainder = spare - each * static_cast<int>(flex.size());
    for (Item* item : flex) {
      item->width += each + (remainder > 0 ? 1 : 0);
      if (remainder > 0) --remainder;
    }
  }

  const bool labels = ShowsLabels();
  int x = m_client.left;
  for (size_t v : m_visible) {
    Item& item = m_items[v];
    if (!item.shown) {
      if (item.window && item.window->m_hWnd) item.window->ShowWindow(SW_HIDE);
      continue;
    }
    x += item.leftGap;
    CRect cell;
    if (IsSeparator(item.code)) {
      cell.SetRect(x, m_client.top, x + item.width, m_client.bottom);
    } else {
      const int top = m_client.top + (m_client.Height() - item.height) / 2;
      cell.SetRect(x, top, x + item.width, top + item.height);
    }
    x += item.width;
    CRect button = cell;
    if (!IsSeparator(item.code)) {
      CRect size;
      GetItemLayoutRect(item.code, size);
      const int left = static_cast<int>(std::floor(cell.left + (cell.Width() - size.Width()) * 0.5));
      int top = static_cast<int>(std::floor(cell.top + (cell.Height() - size.Height()) * 0.5));
      if (labels) top = cell.bottom - m_metrics.textHeight - B - size.Height();
      button.SetRect(left, top, left + size.Width(), top + size.Height());
      item.labelRect.SetRect(cell.left, cell.bottom - m_metrics.textHeight, cell.right, cell.bottom);
    }
    if (item.window && item.window->m_hWnd) {
      if (button != item.buttonRect) {
        CRect both;
        both.UnionRect(&button, &item.buttonRect);
        // Painted with the next paint of the bar rather than at once: a resize moves half the row.
        item.window->MoveWindow(&button, TRUE);
        InvalidateRect(&both);
      }
      item.window->ShowWindow(SW_SHOWNA);
    }
    item.buttonRect = button;
  }

  m_overflowShown = overflowing;
  if (overflowing) {
    const int w = overflowRect.Width(), h = overflowRect.Height();
    const int left = m_client.Width() - 4 * B - w, top = m_client.top + (m_client.Height() - h) / 2;
    m_overflow.MoveWindow(left, top, w, h, TRUE);
    m_overflow.ShowWindow(SW_SHOWNA);
    m_overflow.EnableWindow(TRUE);
  } else {
    m_overflow.ShowWindow(SW_HIDE);
    m_overflow.EnableWindow(FALSE);
  }
  CRect band(m_client.left, m_client.bottom - m_metrics.textHeight - B, m_client.right, m_client.bottom);
  InvalidateRect(&band);
  m_bInLayout = false;
}

void CLXToolbar::OnSize(UINT, int cx, int cy) {
  Default();
  if (m_buildGuard || cx == m_client.Width()) {
    m_client.SetRect(0, 0, cx, cy);
    return;
  }
  m_client.SetRect(0, 0, cx, cy);
  Layout(false);
}

void CLXToolbar::RecalcParentLayout() {
  if (auto* frame = dynamic_cast<CFrameWnd*>(GetParent())) frame->RecalcLayout();
}

// ---- painting ----

void CLXToolbar::OnPaint() {
  CPaintDC dc(this);
  if (m_buildGuard || g_toolbarPainting) return;
  g_toolbarPainting = true;
  ++m_counters.repaints;
  if (ShowsLabels()) {
    CFont* old = dc.SelectObject(&m_font);
    dc.SetBkMode(TRANSPARENT);
    for (size_t v : m_visible) {
      const Item& item = m_items[v];
      if (!item.shown || !item.button || IsSeparator(item.code) || item.label.IsEmpty()) continue;
      const bool disabled = !item.button->IsWindowEnabled();
      dc.SetTextColor(GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
      // Centred under the button, its left edge on a whole pixel.
      const CSize extent = dc.GetTextExtent(item.label);
      const int centre = (item.buttonRect.left + item.buttonRect.right) / 2;
      const int left = static_cast<int>(std::floor(centre - extent.cx / 2.0));
      CRect r(left, item.labelRect.top, left + extent.cx, item.labelRect.bottom);
      dc.DrawText(item.label, &r, DT_SINGLELINE | DT_NOCLIP | DT_LEFT | DT_TOP);
    }
    dc.SelectObject(old);
  }
  g_toolbarPainting = false;
}

// ---- command-UI at idle ----

void CLXToolCmdUI::Enable(BOOL on) {
  m_bEnableChanged = TRUE;
  if (!m_pOther || !m_pOther->m_hWnd) return;
  // Only a change reaches the window: an unchanged button is not repainted.
  const bool now = m_pOther->IsWindowEnabled() != FALSE;
  if (now == (on != FALSE)) return;
  m_pOther->EnableWindow(on);
  m_bChanged = true;
}

void CLXToolCmdUI::SetText(LPCWSTR text) {
  CString kept(text);
  if (auto* bar = m_pOther ? dynamic_cast<CLXToolbar*>(m_pOther->GetParent()) : nullptr) {
    // The item's label as the toolbar gives it, so that a label that follows the button's state
    // is not overwritten by the menu text of the same command.
    const LXToolCode code = bar->GetItemCode(m_nIndex);
    CString label;
    if (code != kToolNull && bar->GetItemLabel(code, label)) kept = label;
  }
  if (m_pOther && m_pOther->m_hWnd) {
    CString now;
    m_pOther->GetWindowText(now);
    if (now != kept) m_pOther->SetWindowText(kept);
  }
}

void CLXToolbar::OnUpdateCmdUI(CCmdTarget*, BOOL disableIfNoHandler) {
  if (m_buildGuard) return;
  HWND main = LXAppWindows::GetMainWindow();
  CWnd* target = main ? CWnd::FromHandle(main) : GetParentFrame();
  if (!target) return;
  ::SendMessageW(target->m_hWnd, WM_INITMENU, 0, 0);
  CLXToolCmdUI state;
  bool changed = false;
  for (const auto& [code, def] : m_defs) {
    if (def.commandId == -1) continue;
    Item* item = FindItem(code);
    if (!item || !item->button) continue;
    state.m_nID = static_cast<UINT>(def.commandId);
    state.m_nIndex = def.controlId;
    state.m_pOther = item->button;
    state.m_bChanged = false;
    state.DoUpdate(target, disableIfNoHandler);
    changed = changed || state.m_bChanged;
  }
  if (changed || m_bNeedsRelayout) {
    m_bNeedsRelayout = false;
    RefreshItems();
    if (!UpdateTexts(true)) Layout(false);
    Invalidate();
  }
}
