// The enumeration combo's shared part: items and their values, owner drawing, the drop-down's
// height and the selection by typed text.
#include "IDCombo.h"

#include <algorithm>
#include <cmath>

#include "LXImages.h"
#include "LXOwnerDraw.h"
#include "Paint.h"
#include "Resources.h"

BEGIN_MESSAGE_MAP(CIDComboBase, CComboBox)
  ON_CONTROL_REFLECT_EX(CBN_DROPDOWN, &CIDComboBase::AdjustDropHeight)
  ON_CONTROL_REFLECT_EX(CBN_KILLFOCUS, &CIDComboBase::SelectByText)
  ON_WM_DRAWITEM_REFLECT()
  ON_WM_MEASUREITEM_REFLECT()
  ON_WM_COMPAREITEM_REFLECT()
  ON_WM_DELETEITEM_REFLECT()
  ON_MESSAGE(WM_THEMECHANGED, &CIDComboBase::OnThemeChanged)
END_MESSAGE_MAP()

CIDComboBase::CIDComboBase() { LXGraphics::EnsureOwnerDrawDC(); }

CIDComboBase::~CIDComboBase() {
  if (m_theme) CloseThemeData(m_theme);
}

int CIDComboBase::AddItem(const CString& text, std::uint64_t id) {
  const int index = AddString(text);
  if (index < 0) return index;
  m_ids.push_back(id);
  SetItemData(index, m_ids.size() - 1);
  return index;
}

int CIDComboBase::AddItemUnique(const CString& text, std::uint64_t id, bool unique) {
  if (unique)
    for (int i = 0; i < GetCount(); ++i) {
      CString item;
      GetLBText(i, item);
      if (item == text) return i;
    }
  return AddItem(text, id);
}

int CIDComboBase::FillRows(const IDComboEntry* table, bool unique, bool addPlainly) {
  if (!table) return -1;
  m_table = table;
  const IDComboEntry* row = table;
  for (; row->nameId != 0; ++row) {
    CString name;
    if (!LoadString(row->nameId, name) || name.IsEmpty()) return -1;
    if (addPlainly) AddItem(name, row->value);
    else AddItemUnique(name, row->value, unique);
    if (row->bitmapId != kIDComboNoBitmap && !m_images.count(row->value))
      if (Gdiplus::Bitmap* image = LoadBitmapResource(row->bitmapId)) m_images[row->value].reset(image);
  }
  int selected = -1;
  for (int i = 0; i < GetCount() && selected < 0; ++i)
    if (std::uint64_t value; ValueOf(i, value) && value == row->value) selected = i;
  SetCurSel(selected >= 0 ? selected : 0);
  return GetCurSel();
}

bool CIDComboBase::ValueOf(int index, std::uint64_t& value) const {
  if (index < 0 || index >= GetCount()) return false;
  const DWORD_PTR slot = GetItemData(index);
  // The item data index the ids; an item added behind our back has none.
  if (slot >= m_ids.size()) return false;
  value = m_ids[slot];
  return true;
}

std::uint64_t CIDComboBase::SelectedValue() const {
  std::uint64_t value = 0;
  return ValueOf(GetCurSel(), value) ? value : 0;
}

int CIDComboBase::SelectValue(std::uint64_t wanted, const CString& unknownName) {
  for (int i = 0; i < GetCount(); ++i)
    if (std::uint64_t value; ValueOf(i, value) && value == wanted) {
      SetCurSel(i);
      return i;
    }
  if ((GetStyle() & 0x3) == 0) SetWindowText(unknownName);
  else SetCurSel(-1);
  return -1;
}

CString CIDComboBase::TableName(std::uint64_t value) const {
  CString name;
  for (const IDComboEntry* row = m_table; row && row->nameId != 0; ++row)
    if (row->value == value) {
      LoadString(row->nameId, name);
      break;
    }
  return name;
}

BOOL CIDComboBase::AdjustDropHeight() {
  const int itemHeight = std::max(1, static_cast<int>(SendMessage(CB_GETITEMHEIGHT)));
  const int rows = m_visibleItems > 0 ? std::max(2, m_visibleItems) : std::max(2, GetCount());
  int height = (rows + 2) * itemHeight;
  if (m_visibleItems < 0) {
    CRect window;
    GetWindowRect(&window);
    const int screen = GetSystemMetrics(SM_CYSCREEN);
    if (!(window.top - height >= 0 && window.bottom + height <= screen)) {
      const int below = (screen - window.bottom) / itemHeight, above = window.top / itemHeight;
      height = std::max(below, above) * itemHeight;
    }
  }
  // The list is a window of its own beside the box: its height becomes a number of rows.
  SendMessage(CB_SETMINVISIBLE, static_cast<WPARAM>(std::max(1, height / itemHeight - 2)));
  return FALSE;
}

BOOL CIDComboBase::SelectByText() {
  CString text;
  GetWindowText(text);
  for (int i = 0; i < GetCount(); ++i) {
    CString item;
    GetLBText(i, item);
    if (item == text) {
      SetCurSel(i);
      return FALSE;
    }
  }
  return TRUE;
}

LRESULT CIDComboBase::OnThemeChanged(WPARAM, LPARAM) {
  if (m_theme) {
    CloseThemeData(m_theme);
    m_theme = OpenThemeData(m_hWnd, L"COMBOBOXSTYLE");
  }
  Invalidate();
  return 0;
}

bool CIDComboBase::InvertsPictures(COLORREF window) {
  HIGHCONTRASTW contrast{sizeof(HIGHCONTRASTW), 0, nullptr};
  if (!SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0)) return false;
  if (!(contrast.dwFlags & HCF_HIGHCONTRASTON)) return false;
  const double luminance = (0.2126 * GetRValue(window) + 0.7152 * GetGValue(window) + 0.0722 * GetBValue(window)) / 255.0;
  return luminance < 0.1;
}

void CIDComboBase::DrawItem(LPDRAWITEMSTRUCT item) {
  UINT state = item->itemState;
  if (state & ODS_DISABLED) state &= ~(ODS_SELECTED | ODS_FOCUS);
  if (!m_theme) m_theme = OpenThemeData(m_hWnd, L"COMBOBOXSTYLE");
  const COLORREF window = GetThemeSysColor(m_theme, COLOR_WINDOW), highlight = GetThemeSysColor(m_theme, COLOR_HIGHLIGHT);
  const auto argb = [](COLORREF c) { return Gdiplus::Color(255, GetRValue(c), GetGValue(c), GetBValue(c)); };
  Gdiplus::Graphics g(item->hDC);
  g.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
  g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
  const RECT& r = item->rcItem;
  const Gdiplus::REAL x = Gdiplus::REAL(r.left), y = Gdiplus::REAL(r.top);
  const Gdiplus::REAL w = Gdiplus::REAL(r.right - r.left), h = Gdiplus::REAL(r.bottom - r.top);
  Gdiplus::SolidBrush background(argb(window));
  Gdiplus::Pen frame(argb(highlight), 1.0f);
  const UINT action = item->itemAction;
  if (action & (ODA_DRAWENTIRE | ODA_FOCUS)) {
    if (!(state & ODS_FOCUS)) g.FillRectangle(&background, x, y, w, h);
    else g.DrawRectangle(&frame, x, y, w - 1, h - 1);
  }
  if (action & (ODA_DRAWENTIRE | ODA_SELECT)) {
    if (!(state & ODS_SELECTED)) g.FillRectangle(&background, x, y, w, h);
    else g.DrawRectangle(&frame, x, y, w - 2, h - 2);
  }
  std::uint64_t value = 0;
  const bool known = ValueOf(static_cast<int>(item->itemID), value);
  RECT content = r;
  const int insetX = r.right - r.left < 4 ? (r.right - r.left) / 2 : 2, insetY = r.bottom - r.top < 4 ? (r.bottom - r.top) / 2 : 2;
  InflateRect(&content, -insetX, -insetY);
  auto image = known ? m_images.find(value) : m_images.end();
  if (image == m_images.end() || !image->second) {
    CString text;
    if (static_cast<int>(item->itemID) >= 0 && static_cast<int>(item->itemID) < GetCount()) GetLBText(static_cast<int>(item->itemID), text);
    if (text.IsEmpty()) return;
    g.FillRectangle(&background, Gdiplus::REAL(content.left), Gdiplus::REAL(content.top),
                    Gdiplus::REAL(content.right - content.left), Gdiplus::REAL(content.bottom - content.top));
    const COLORREF oldColour = SetTextColor(item->hDC, GetSysColor(COLOR_WINDOWTEXT));
    HGDIOBJ oldFont = SelectObject(item->hDC, reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
    DrawState(item->hDC, nullptr, nullptr, reinterpret_cast<LPARAM>(text.GetString()), 0, content.left, content.top, 0, 0,
              DST_TEXT | ((item->itemState & ODS_DISABLED) ? DSS_DISABLED : 0));
    if (oldFont) SelectObject(item->hDC, oldFont);
    SetTextColor(item->hDC, oldColour);
    return;
  }
  Gdiplus::Bitmap* picture = image->second.get();
  const double iw = picture->GetWidth(), ih = picture->GetHeight();
  const double cw = content.right - content.left, ch = content.bottom - content.top;
  if (iw <= 0 || ih <= 0 || cw <= 0 || ch <= 0) return;
  double dw = cw, dh = cw * ih / iw;
  if (dh > ch) dh = ch, dw = ch * iw / ih;
  const double dx = std::floor(content.left + (cw - dw) / 2), dy = std::floor(content.top + (ch - dh) / 2);
  const Gdiplus::RectF dest{Gdiplus::REAL(dx), Gdiplus::REAL(dy), Gdiplus::REAL(dw), Gdiplus::REAL(dh)};
  if (InvertsPictures(window)) {
    Gdiplus::ColorMatrix invert{};
    for (int i = 0; i < 3; ++i) invert.m[i][i] = -1, invert.m[4][i] = 1;
    invert.m[3][3] = 1, invert.m[4][4] = 1;
    Gdiplus::ImageAttributes attributes;
    attributes.SetColorMatrix(&invert);
    g.DrawImage(picture, dest, 0, 0, Gdiplus::REAL(iw), Gdiplus::REAL(ih), Gdiplus::UnitPixel, &attributes);
  } else {
    g.DrawImage(picture, dest);
  }
}

void CIDComboBase::MeasureItem(LPMEASUREITEMSTRUCT item) {
  const int index = static_cast<int>(item->itemID);
  std::uint64_t value = 0;
  if (ValueOf(index, value) && m_images.count(value)) return;  // the proposed size stands
  CString text;
  if (index >= 0 && index < GetCount()) GetLBText(index, text);
  if (text.IsEmpty()) return;
  CClientDC dc(this);
  HGDIOBJ old = dc.SelectObject(reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
  const CSize extent = dc.GetTextExtent(text);
  if (old) dc.SelectObject(old);
  item->itemWidth = static_cast<UINT>(extent.cx);
  item->itemHeight = static_cast<UINT>(extent.cy);
}

int CIDComboBase::CompareItem(LPCOMPAREITEMSTRUCT item) {
  const auto valueOf = [this](UINT index, ULONG_PTR data) -> std::uint64_t {
    if (static_cast<int>(index) < 0 || data >= m_ids.size()) return 0;
    return m_ids[data];
  };
  const std::uint64_t a = valueOf(item->itemID1, item->itemData1), b = valueOf(item->itemID2, item->itemData2);
  return a < b ? -1 : a > b ? 1 : 0;
}

void CIDComboBase::DeleteItem(LPDELETEITEMSTRUCT item) {
  // The id entry stays, so the item data of the items after it keep pointing at their own.
  if (item->itemData < m_ids.size()) m_images.erase(m_ids[item->itemData]);
}
