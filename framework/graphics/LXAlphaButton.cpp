// The image button: mouse gestures and modes, the popup menu, layout and drawing.
#include "LXAlphaButton.h"

#include <algorithm>
#include <cmath>

#include "LXImages.h"
#include "LXMessage.h"
#include "LXUtils.h"
#include "Paint.h"
#include "Resources.h"
#include "Themes.h"
#include "WndQt.h"

#include <QWidget>

using namespace Gdiplus;

BEGIN_MESSAGE_MAP(CAlphaButton, CButton)
  ON_WM_CONTEXTMENU()
  ON_WM_KILLFOCUS()
  ON_WM_LBUTTONDBLCLK()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONUP()
  ON_WM_MOUSEMOVE()
  ON_WM_TIMER()
  ON_WM_PAINT()
  ON_MESSAGE(WM_THEMECHANGED, &CAlphaButton::OnThemeChanged)
  // On a dialog's owner-drawn push button the drawing comes as the parent's WM_DRAWITEM.
  ON_WM_DRAWITEM_REFLECT()
END_MESSAGE_MAP()

CAlphaButton::CAlphaButton() = default;

CAlphaButton::CAlphaButton(UINT mode, UINT normalImageId, UINT altImageId) : m_mode(mode), m_kind(kImageScaled), m_frame(kFlat) {
  LoadImages(normalImageId, altImageId);
}

CAlphaButton::CAlphaButton(UINT mode, UINT kind, UINT frame, UINT text)
    : m_mode(mode), m_kind(kind), m_frame(frame), m_textPlacement(text) {
  if (m_kind == kTextOnly && m_textPlacement == 0) m_textPlacement = 3;
}

CAlphaButton::~CAlphaButton() {
  if (m_theme) CloseThemeData(m_theme);
  if (m_ownsMenu) delete m_menu;
  delete m_indicator;
  FreeImages();
}

CLXHelpButton::~CLXHelpButton() = default;

void CAlphaButton::FreeImages() {
  delete m_normalGrey;
  delete m_altGrey;
  if (m_ownsImages) {
    delete m_normal;
    delete m_alt;
  }
  m_normal = m_normalGrey = m_alt = m_altGrey = nullptr;
}

BOOL CAlphaButton::Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  if (!CWnd::CreateEx(0, nullptr, text, style | WS_CHILD | BS_OWNERDRAW, rect, parent, id)) return FALSE;
  Prepare();
  return TRUE;
}

BOOL CAlphaButton::SubclassDlgItem(UINT id, CWnd* parent) {
  if (!CWnd::SubclassDlgItem(id, parent)) return FALSE;
  ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
  Prepare();
  return TRUE;
}

void CAlphaButton::Prepare() {
  // The click that closes the button's menu must not press the button again.
  if (QWidget* w = qlw::WidgetOf(m_hWnd)) w->setAttribute(Qt::WA_NoMouseReplay);
  delete m_indicator;
  m_indicator = LoadBitmapResource(kMenuIndicatorId);
  if (!m_indicator) throw CLXXCantLoadResource(kLXSeverityFatal, 0, __LINE__);
}

void CAlphaButton::LoadImages(UINT normalImageId, UINT altImageId) {
  FreeImages();
  m_ownsImages = 1;
  m_normal = LoadBitmapResource(normalImageId);
  if (!m_normal) throw CLXXCantLoadResource(kLXSeverityMessage, 0, __LINE__);
  m_normalGrey = MakeGrayscaleBitmap(m_normal);
  if (altImageId != static_cast<UINT>(-1)) {
    m_alt = LoadBitmapResource(altImageId);
    if (!m_alt) throw CLXXCantLoadResource(kLXSeverityFatal, 0, __LINE__);
    m_altGrey = MakeGrayscaleBitmap(m_alt);
  }
}

void CAlphaButton::SetImages(Bitmap* normal, Bitmap* alt) {
  FreeImages();
  m_ownsImages = 0;
  // The alternate and its greyed copy go together, so a pressed disabled button never lacks one.
  m_normal = normal;
  m_normalGrey = normal ? MakeGrayscaleBitmap(normal) : nullptr;
  m_alt = alt;
  m_altGrey = alt ? MakeGrayscaleBitmap(alt) : nullptr;
  if (m_hWnd) Invalidate();
}

void CAlphaButton::SetPopupMenu(UINT menuId, CWnd* owner) {
  auto* menu = new CMenu;
  if (!menu->LoadMenu(menuId)) {
    delete menu;
    throw CLXXCantLoadResource(kLXSeverityMessage, 0, __LINE__);
  }
  if (m_ownsMenu) delete m_menu;
  m_menu = nullptr;
  AttachMenu(menu, owner, true, 0);
  m_ownsMenu = 1;
}

void CAlphaButton::AttachMenu(CMenu* menu, CWnd* owner, bool checks, UINT placement) {
  if (m_ownsMenu && m_menu != menu) delete m_menu;
  m_menu = menu;
  m_ownsMenu = 0;
  m_menuOwner = owner;
  m_menuChecks = checks;
  m_menuPlacement = placement;
  if (!menu || !menu->m_hMenu) return;
  MENUINFO info{};
  info.cbSize = sizeof info;
  info.fMask = MIM_STYLE | MIM_APPLYTOSUBMENUS;
  info.dwStyle = checks ? MNS_CHECKORBMP : MNS_NOCHECK;
  ::SetMenuInfo(menu->m_hMenu, &info);
}

bool CAlphaButton::InvertsImages() {
  HIGHCONTRASTW contrast{sizeof(HIGHCONTRASTW), 0, nullptr};
  if (!SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0)) return false;
  if (!(contrast.dwFlags & HCF_HIGHCONTRASTON)) return false;
  const COLORREF face = GetThemeSysColor(nullptr, COLOR_BTNFACE);
  return (0.2126 * GetRValue(face) + 0.7152 * GetGValue(face) + 0.0722 * GetBValue(face)) / 255 < 0.1;
}

bool CAlphaButton::SetChecked(bool pressed) {
  bool before = m_pressed != 0;
  if (before != pressed) {
    m_pressed = pressed ? 1 : 0;
    if (m_hWnd) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
  }
  return before;
}

void CAlphaButton::SetHorizontalAlignment(UINT bits) {
  ModifyStyle(0x300, bits & 0x300);
  Invalidate();
}
void CAlphaButton::SetVerticalAlignment(UINT bits) {
  ModifyStyle(0xC00, bits & 0xC00);
  Invalidate();
}

// Mouse gestures.
void CAlphaButton::StoreMouse(UINT flags, CPoint point) {
  m_lastPoint = point;
  m_lastFlags = flags;
  Default();
}

void CAlphaButton::StopTimers() {
  if (m_repeatTimer) KillTimer(kRepeatTimer);
  if (m_menuTimer) KillTimer(kMenuTimer);
  m_repeatTimer = m_menuTimer = 0;
}

void CAlphaButton::OnLButtonDblClk(UINT flags, CPoint point) {
  OnLButtonDown(flags, point);
  if (IsWindowEnabled()) OnDoubleClick();
}

void CAlphaButton::OnLButtonDown(UINT flags, CPoint point) {
  StoreMouse(flags, point);
  if (!IsWindowEnabled()) return;
  m_mouseDown = true;
  CUtils::BeginCapture(m_hWnd);
  m_pressedBefore = m_pressed;
  if (!m_pressed || m_mode == kToggle || m_mode == kToggle2) {
    m_pressed = m_pressed ? 0 : 1;
    RedrawWindow();
  }
  if (m_mode == kRepeat) {
    if (!m_repeatTimer) m_repeatTimer = SetTimer(kRepeatTimer, kRepeatMs);
    NotifyTargets();
    return;
  }
  if (m_menuKind == kMenuOnPress || m_menuKind == kMenuOnPress2) {
    ShowPopupMenu();
  } else if (m_menuKind == kMenuOnHold && GetPopupMenu()) {
    if (!m_menuTimer) m_menuTimer = SetTimer(kMenuTimer, kHoldMs);
  }
}

void CAlphaButton::OnLButtonUp(UINT flags, CPoint point) {
  StoreMouse(flags, point);
  const bool wasDown = m_mouseDown;
  m_mouseDown = false;
  // Always: a button disabled while held would otherwise repeat for ever.
  StopTimers();
  CUtils::EndCapture(m_hWnd);
  if (!IsWindowEnabled()) {
    if (wasDown && (m_mode == kPush || m_mode == kRepeat)) m_pressed = m_pressedBefore;
    Invalidate();
    return;
  }
  // A gesture that left the button (and was reported then) or ends outside it changes nothing:
  // a second report would make a toggling target toggle twice.
  CRect client;
  GetClientRect(&client);
  if (!wasDown || !client.PtInRect(point)) {
    if (wasDown && !m_pressedBefore) m_pressed = 0;
    RedrawWindow();
    return;
  }
  if (m_mode == kPush || m_mode == kRepeat) m_pressed = m_pressedBefore;
  RedrawWindow();
  NotifyTargets();
}

void CAlphaButton::EndGesture() {
  CPoint p(m_lastPoint);
  OnLButtonUp(m_lastFlags, p);
}

void CAlphaButton::OnMouseMove(UINT flags, CPoint point) {
  StoreMouse(flags, point);
  if (!m_mouseDown) return;
  CRect client;
  GetClientRect(&client);
  if (client.PtInRect(point)) return;
  m_mouseDown = false;
  StopTimers();
  CUtils::EndCapture(m_hWnd);
  if (!m_pressedBefore) m_pressed = 0;
  RedrawWindow();
  NotifyTargets();
}

void CAlphaButton::OnTimer(UINT_PTR id) {
  if (id == kRepeatTimer) {
    CWnd* top = GetTopLevelParent();
    if (top && top->IsWindowEnabled()) {
      if (m_pressed && m_mouseDown) OnRepeat();
    } else {
      KillTimer(kRepeatTimer);
      m_repeatTimer = 0;
    }
  } else if (id == kMenuTimer) {
    KillTimer(kMenuTimer);
    m_menuTimer = 0;
    ShowPopupMenu();
  } else {
    Default();
  }
}

void CAlphaButton::OnKillFocus(CWnd* newFocus) {
  Default();
  (void)newFocus;
  CWnd* top = GetTopLevelParent();
  if ((m_menuOpen || m_repeatTimer) && top && top->IsWindowEnabled()) return;
  if (m_mouseDown) EndGesture();
}

void CAlphaButton::OnContextMenu(CWnd*, CPoint) {
  if (m_menuKind == kMenuOnContext && GetPopupMenu()) ShowPopupMenu();
}

// Notifications.
void CAlphaButton::NotifyTargets() {
  CLXMsgTarget(::GetParent(m_hWnd), g_msgAlphaButtonChanged, 0, static_cast<WPARAM>(GetDlgCtrlID())).Post();
}

void CAlphaButton::OnRepeat() {
  ::PostMessageW(::GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), 0), reinterpret_cast<LPARAM>(m_hWnd));
}

void CAlphaButton::OnDoubleClick() {
  ::PostMessageW(::GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), 0), reinterpret_cast<LPARAM>(m_hWnd));
}

// The popup menu.
POINT CAlphaButton::MenuAnchor(const RECT& r, UINT placement, UINT& flags) {
  switch (placement) {
    case 1: flags |= TPM_RIGHTALIGN; return {r.left, r.top};
    case 2: flags |= TPM_RIGHTALIGN | TPM_VCENTERALIGN; return {r.left, (r.top + r.bottom) / 2};
    case 4: return {r.right, r.top};
    case 5: flags |= TPM_VCENTERALIGN; return {r.right, (r.top + r.bottom) / 2};
    case 6: flags |= TPM_RIGHTALIGN | TPM_VERTICAL; return {r.right, r.bottom};
    case 7: flags |= TPM_CENTERALIGN | TPM_VERTICAL; return {(r.left + r.right) / 2, r.bottom};
    default: flags |= TPM_VERTICAL; return {r.left, r.bottom};
  }
}

void CAlphaButton::ShowPopupMenu() {
  CMenu* popup = GetPopupMenu();
  CMenu* sub = popup ? popup->GetSubMenu(0) : nullptr;
  if (!sub) return;
  m_menuOpen = 1;
  RedrawWindow();
  CRect r;
  GetWindowRect(&r);
  UINT flags = TPM_LEFTALIGN | TPM_RIGHTBUTTON;
  POINT at = MenuAnchor(r, m_menuPlacement, flags);
  const bool returns = m_menuReturnsCommand == 1;
  if (returns) flags |= TPM_RETURNCMD;
  HWND owner = m_menuOwner ? m_menuOwner->m_hWnd : ::GetParent(m_hWnd);
  // The menu leaves the button in view.
  TPMPARAMS params{sizeof(TPMPARAMS), r};
  UINT command = static_cast<UINT>(::TrackPopupMenuEx(sub->m_hMenu, flags, at.x, at.y, owner, &params));
  if (!::IsWindow(m_hWnd)) return;
  m_menuOpen = 0;
  // The click that closed the menu does not press the button.
  MSG pending;
  while (::PeekMessageW(&pending, m_hWnd, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE)) {
  }
  if (returns && command)
    CLXMsgTarget(m_menuOwner ? m_menuOwner->m_hWnd : nullptr, g_msgAlphaButtonMenuItem, static_cast<LPARAM>(command),
                 static_cast<WPARAM>(GetDlgCtrlID()))
        .Post();
  if (m_menuKind >= kMenuOnPress && m_menuKind <= kMenuOnHold && m_mouseDown) EndGesture();
  RedrawWindow();
}

// Layout and drawing.
void CAlphaButton::LayoutContent(CDC* dc, const RECT& area, RECT& image, RECT& text, RECT& indicator) {
  image = text = indicator = RECT{area.left, area.top, area.left, area.top};
  const DWORD style = GetStyle();
  const int areaW = area.right - area.left, areaH = area.bottom - area.top;
  const bool hasIndicator = (m_menuKind == kMenuOnPress || m_menuKind == kMenuOnHold) && m_indicator;
  const int indW = hasIndicator ? int(m_indicator->GetWidth()) + 2 : 0;
  const int indH = hasIndicator ? int(m_indicator->GetHeight()) : 0;

  CString caption;
  if (m_textPlacement) GetWindowText(caption);
  CSize textSize(0, 0);
  if (m_textPlacement && dc) textSize = dc->GetTextExtent(caption);

  int imgW = 0, imgH = 0;
  if (m_kind != kTextOnly && m_normal) {
    imgW = int(m_normal->GetWidth());
    imgH = int(m_normal->GetHeight());
    if (m_kind == kImageScaled && imgW > 0 && imgH > 0) {
      int roomW = std::max(0, areaW - indW - (m_textPlacement == 1 || m_textPlacement == 2 ? textSize.cx + 3 * GetSystemMetrics(SM_CXBORDER) : 0));
      int roomH = std::max(0, areaH - (m_textPlacement == 3 ? textSize.cy + 2 * GetSystemMetrics(SM_CYBORDER) : 0));
      double scale = std::min(double(roomW) / imgW, double(roomH) / imgH);
      imgW = int(imgW * scale);
      imgH = int(imgH * scale);
    }
  }
  const int sepX = 3 * GetSystemMetrics(SM_CXBORDER), sepY = 2 * GetSystemMetrics(SM_CYBORDER);
  int blockW = 0, blockH = 0;
  if (m_textPlacement == 1 || m_textPlacement == 2) {
    blockW = imgW + textSize.cx + (imgW && textSize.cx ? sepX : 0);
    blockH = std::max<int>(imgH, textSize.cy);
  } else if (m_textPlacement == 3) {
    blockW = std::max<int>(imgW, textSize.cx);
    blockH = imgH + textSize.cy + (imgH && textSize.cy ? sepY : 0);
  } else {
    blockW = imgW;
    blockH = imgH;
  }
  blockW += indW;
  blockH = std::max(blockH, indH);

  const UINT h = style & 0x300, v = style & 0xC00;
  int x = h == BS_LEFT ? area.left : h == BS_RIGHT ? area.right - blockW : area.left + (areaW - blockW) / 2;
  int y = v == BS_TOP ? area.top : v == BS_BOTTOM ? area.bottom - blockH : area.top + (areaH - blockH) / 2;
  auto placeV = [&](int height) { return v == BS_TOP ? y : v == BS_BOTTOM ? y + blockH - height : y + (blockH - height) / 2; };
  if (m_textPlacement == 1) {
    image = RECT{x, placeV(imgH), x + imgW, placeV(imgH) + imgH};
    int tx = x + imgW + (imgW ? sepX : 0);
    text = RECT{tx, placeV(textSize.cy), tx + textSize.cx, placeV(textSize.cy) + textSize.cy};
  } else if (m_textPlacement == 2) {
    text = RECT{x, placeV(textSize.cy), x + textSize.cx, placeV(textSize.cy) + textSize.cy};
    int ix = x + textSize.cx + (textSize.cx ? sepX : 0);
    image = RECT{ix, placeV(imgH), ix + imgW, placeV(imgH) + imgH};
  } else if (m_textPlacement == 3) {
    int inner = blockW - indW;
    image = RECT{x + (inner - imgW) / 2, y, x + (inner - imgW) / 2 + imgW, y + imgH};
    int ty = y + imgH + (imgH ? sepY : 0);
    text = RECT{x + (inner - textSize.cx) / 2, ty, x + (inner - textSize.cx) / 2 + textSize.cx, ty + textSize.cy};
  } else {
    image = RECT{x, placeV(imgH), x + imgW, placeV(imgH) + imgH};
  }
  if (hasIndicator) {
    int ix = x + blockW - indW + 2;
    indicator = RECT{ix, y + (blockH - indH) / 2, ix + indW - 2, y + (blockH - indH) / 2 + indH};
  }
}

void CAlphaButton::GetContentRect(const RECT& in, RECT& out) {
  RECT image, text, indicator;
  CClientDC dc(this);
  LayoutContent(&dc, in, image, text, indicator);
  RECT all = image;
  if (m_textPlacement) UnionRect(&all, &image, &text);
  out = all;
  InflateRect(&out, -3 * GetSystemMetrics(SM_CXBORDER), -2 * GetSystemMetrics(SM_CYBORDER));
}

void CAlphaButton::OnPaint() {
  CPaintDC dc(this);
  DRAWITEMSTRUCT item{};
  item.CtlType = ODT_BUTTON;
  item.CtlID = static_cast<UINT>(GetDlgCtrlID());
  item.itemAction = ODA_DRAWENTIRE;
  if (!IsWindowEnabled()) item.itemState |= ODS_DISABLED;
  if (::GetFocus() == m_hWnd) item.itemState |= ODS_FOCUS;
  if (m_mouseDown && m_pressed) item.itemState |= ODS_SELECTED;
  item.hwndItem = m_hWnd;
  item.hDC = dc.m_hDC;
  GetClientRect(&item.rcItem);
  DrawItem(&item);
}

namespace {
// Draws the bitmap through a colour matrix (null: as it is).
void DrawThrough(Graphics& g, Bitmap* image, const RECT& dest, const ColorMatrix* matrix) {
  if (!image || dest.right <= dest.left || dest.bottom <= dest.top) return;
  ImageAttributes attributes;
  if (matrix) attributes.SetColorMatrix(matrix);
  g.DrawImage(image, RectF(REAL(dest.left), REAL(dest.top), REAL(dest.right - dest.left), REAL(dest.bottom - dest.top)), 0,
              0, REAL(image->GetWidth()), REAL(image->GetHeight()), UnitPixel, matrix ? &attributes : nullptr);
}
ColorMatrix Diagonal(float r, float g, float b, float a) {
  ColorMatrix m{};
  m.m[0][0] = r, m.m[1][1] = g, m.m[2][2] = b, m.m[3][3] = a, m.m[4][4] = 1;
  return m;
}
}  // namespace

LRESULT CAlphaButton::OnThemeChanged(WPARAM, LPARAM) {
  if (m_theme) CloseThemeData(m_theme);
  m_theme = m_themesOff ? nullptr : OpenThemeData(m_hWnd, L"Button");
  Invalidate();
  return 0;
}

void CAlphaButton::DrawItem(LPDRAWITEMSTRUCT item) {
  CDC* dc = CDC::FromHandle(item->hDC);
  RECT rc = item->rcItem;
  UINT state = item->itemState;
  const bool disabled = (state & (ODS_GRAYED | ODS_DISABLED)) != 0;
  if (disabled) state &= ~ODS_FOCUS;
  const bool pushed = ((m_mode == kToggle || m_mode == kLatch) && m_pressed) || (state & ODS_SELECTED) || m_menuOpen;
  Bitmap* image = (m_pressed && m_alt) ? m_alt : m_normal;
  Bitmap* grey = (m_pressed && m_alt) ? m_altGrey : m_normalGrey;
  if (!m_theme && !m_themesOff) m_theme = OpenThemeData(m_hWnd, L"Button");
  HTHEME theme = m_themesOff ? nullptr : m_theme;

  auto frame = [&]() {
    if (theme) {
      // A pushed button shows pressed; a disabled one disabled, pushed or not.
      const int part = BP_PUSHBUTTON, partState = disabled ? PBS_DISABLED : pushed ? PBS_PRESSED : PBS_NORMAL;
      if (IsThemeBackgroundPartiallyTransparent(theme, part, partState)) DrawThemeParentBackground(m_hWnd, item->hDC, &rc);
      DrawThemeBackground(theme, item->hDC, part, partState, &rc, nullptr);
    } else {
      RECT edge = rc;
      DrawFrameControl(item->hDC, &edge, DFC_BUTTON,
                       DFCS_BUTTONPUSH | (disabled ? DFCS_INACTIVE : 0) | ((state & ODS_FOCUS) ? DFCS_HOT : 0) |
                           ((GetStyle() & BS_FLAT) ? DFCS_FLAT : 0) | (pushed ? DFCS_PUSHED : 0));
    }
  };
  bool darken = false;
  switch (m_frame) {
    case kFramed: frame(); break;
    case kFramedWhenPushed:
      if (pushed) frame();
      else dc->FillSolidRect(&rc, GetSysColor(COLOR_BTNFACE));
      break;
    case kFlat:
      if (theme) DrawThemeParentBackground(m_hWnd, item->hDC, &rc);
      else dc->FillSolidRect(&rc, GetSysColor(COLOR_BTNFACE));
      darken = pushed && !m_alt;
      break;
    default: DrawCustomFrame(dc, rc, state); break;
  }

  RECT area;
  GetClientRect(&area);
  const bool hasIndicator = (m_menuKind == kMenuOnPress || m_menuKind == kMenuOnHold) && m_indicator;
  if (hasIndicator && m_frame != kFlat) {
    int inset = (area.right - area.left < 4 || area.bottom - area.top < 4) ? 1 : 2;
    InflateRect(&area, -inset, -inset);
  }
  CFont* font = GetFont();
  CFont* oldFont = font ? dc->SelectObject(font) : nullptr;
  RECT imageRect, textRect, indicatorRect;
  LayoutContent(dc, area, imageRect, textRect, indicatorRect);
  if (pushed && m_frame != kFlat) OffsetRect(&imageRect, 1, 1), OffsetRect(&textRect, 1, 1);
  {
    Graphics g(item->hDC);
    g.SetCompositingMode(CompositingModeSourceOver);
    g.SetInterpolationMode(InterpolationModeHighQualityBicubic);
    if (m_kind != kTextOnly) {
      // A missing image draws nothing.
      if (disabled) {
        ColorMatrix m = Diagonal(1, 1, 1, 0.4f);
        DrawThrough(g, grey, imageRect, &m);
      } else if (InvertsImages()) {
        ColorMatrix m = Diagonal(-1, -1, -1, 1);
        m.m[4][0] = m.m[4][1] = m.m[4][2] = 1;
        DrawThrough(g, image, imageRect, &m);
      } else if (darken) {
        ColorMatrix m = Diagonal(0.6f, 0.6f, 0.6f, 1);
        DrawThrough(g, image, imageRect, &m);
      } else {
        DrawThrough(g, image, imageRect, nullptr);
      }
    }
    if (hasIndicator) DrawThrough(g, m_indicator, indicatorRect, nullptr);
  }
  if (m_textPlacement) {
    CString caption;
    GetWindowText(caption);
    const int oldMode = dc->SetBkMode(TRANSPARENT);
    const COLORREF oldColour = dc->SetTextColor(GetSysColor(COLOR_BTNTEXT));
    ::DrawStateW(item->hDC, nullptr, nullptr, reinterpret_cast<LPARAM>(caption.GetString()),
                 static_cast<WPARAM>(caption.GetLength()), textRect.left, textRect.top, textRect.right - textRect.left,
                 textRect.bottom - textRect.top,
                 DST_TEXT | (disabled ? DSS_DISABLED : 0) | ((GetStyle() & 0x300) == BS_RIGHT ? DSS_RIGHT : 0));
    dc->SetTextColor(oldColour);
    dc->SetBkMode(oldMode);
  }
  if (oldFont) dc->SelectObject(oldFont);
}
