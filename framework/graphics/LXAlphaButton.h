// CAlphaButton: the framework's owner-drawn image button (push, toggle, latch, auto-repeat, with
// an optional popup menu) that reports its actions on the message bus; CLXHelpButton and
// CDisclosureButton derive from it.
#pragma once
#include <memory>

#include "ControlWnds.h"
#include "GdiPlus.h"
#include "LXException.h"
#include "OwnerDraw.h"
#include "Themes.h"

LX_DECLARE_EXCEPTION(CLXXCantLoadResource, CLXXResource, 20585);

class CAlphaButton : public CButton {
 public:
  enum Mode : UINT { kPush = 0, kToggle = 1, kToggle2 = 2, kLatch = 3, kRepeat = 4 };
  enum Content : UINT { kImageScaled = 0, kImage = 1, kTextOnly = 2 };
  enum Frame : UINT { kFramed = 0, kFramedWhenPushed = 1, kFlat = 2, kCustomFrame = 3 };
  enum MenuKind : UINT { kMenuOnContext = 0, kMenuOnPress = 1, kMenuOnPress2 = 2, kMenuOnHold = 3 };
  static constexpr UINT kRepeatTimer = 1, kMenuTimer = 2;
  static constexpr UINT kRepeatMs = 100, kHoldMs = 500;
  static constexpr UINT kMenuIndicatorId = 2006;

  CAlphaButton();
  CAlphaButton(UINT mode, UINT normalImageId, UINT altImageId);
  CAlphaButton(UINT mode, UINT kind, UINT frame, UINT text);
  ~CAlphaButton() override;

  // A plain child window of the parent, owner-drawn from the start.
  BOOL Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  // Takes over an existing control (a dialog's CUSTOM item).
  BOOL SubclassDlgItem(UINT id, CWnd* parent);

  void LoadImages(UINT normalImageId, UINT altImageId = static_cast<UINT>(-1));
  void SetImages(Gdiplus::Bitmap* normal, Gdiplus::Bitmap* alt);
  void SetPopupMenu(UINT menuId, CWnd* owner);
  void AttachMenu(CMenu* menu, CWnd* owner, bool checks, UINT placement);
  bool SetChecked(bool pressed);
  // Images are drawn inverted in high-contrast mode on a dark button face.
  static bool InvertsImages();
  bool IsChecked() const { return m_pressed != 0; }
  void GetContentRect(const RECT& in, RECT& out);

  virtual CMenu* GetPopupMenu() { return m_menu; }
  virtual void SetHorizontalAlignment(UINT bits);
  virtual void SetVerticalAlignment(UINT bits);
  // Image and text rectangles inside `area`; the indicator's too when the menu shows one.
  virtual void LayoutContent(CDC* dc, const RECT& area, RECT& image, RECT& text, RECT& indicator);
  virtual void OnDoubleClick();
  virtual void OnLButtonDblClk(UINT flags, CPoint point);
  virtual void OnLButtonDown(UINT flags, CPoint point);
  virtual void OnLButtonUp(UINT flags, CPoint point);
  virtual void OnMouseMove(UINT flags, CPoint point);
  virtual void ShowPopupMenu();
  virtual void DrawCustomFrame(CDC*, const RECT&, UINT) {}
  virtual void NotifyTargets();
  virtual void OnRepeat();
  virtual void DrawItem(LPDRAWITEMSTRUCT item);

  void SetMode(UINT mode) { m_mode = mode; }
  // What the button shows (a Content) and where its text goes (0: no text, 3: below the image).
  void SetContent(UINT kind, UINT textPlacement) {
    m_kind = kind;
    m_textPlacement = textPlacement;
  }
  void SetMenuKind(UINT kind) { m_menuKind = kind; }
  void SetMenuPlacement(UINT placement) { m_menuPlacement = placement; }
  void SetMenuReturnsCommand(bool returns) { m_menuReturnsCommand = returns ? 1 : 0; }
  void SetThemesOff(bool off) { m_themesOff = off; }
  UINT GetMode() const { return m_mode; }
  bool IsMouseDown() const { return m_mouseDown; }
  bool IsMenuOpen() const { return m_menuOpen != 0; }
  UINT_PTR GetRepeatTimer() const { return m_repeatTimer; }
  UINT_PTR GetMenuTimer() const { return m_menuTimer; }

  // Where the menu opens for a placement (screen point and TPM_ flags) around the button's
  // screen rectangle.
  static POINT MenuAnchor(const RECT& button, UINT placement, UINT& flags);

 protected:
  void OnTimer(UINT_PTR id);
  void OnKillFocus(CWnd* newFocus);
  void OnContextMenu(CWnd* window, CPoint point);
  void OnPaint();
  LRESULT OnThemeChanged(WPARAM, LPARAM);
  void Prepare();
  void StopTimers();
  void EndGesture();
  void FreeImages();
  void StoreMouse(UINT flags, CPoint point);
  DECLARE_MESSAGE_MAP()

  UINT_PTR m_repeatTimer = 0;
  UINT_PTR m_menuTimer = 0;
  Gdiplus::Bitmap* m_normal = nullptr;
  Gdiplus::Bitmap* m_normalGrey = nullptr;
  Gdiplus::Bitmap* m_alt = nullptr;
  Gdiplus::Bitmap* m_altGrey = nullptr;
  Gdiplus::Bitmap* m_indicator = nullptr;
  CMenu* m_menu = nullptr;
  CWnd* m_menuOwner = nullptr;
  bool m_mouseDown = false;
  POINT m_lastPoint{0, 0};
  UINT m_lastFlags = 0;
  UINT m_mode = 0;
  UINT m_kind = 1;
  UINT m_frame = 0;
  UINT m_textPlacement = 0;
  UINT m_menuKind = 0;
  UINT m_menuPlacement = 0;
  UINT m_menuReturnsCommand = 0;
  BYTE m_pressed = 0;
  BYTE m_menuOpen = 0;
  BYTE m_pressedBefore = 0;
  BYTE m_ownsImages = 1;
  BYTE m_ownsMenu = 0;
  bool m_themesOff = false;
  HTHEME m_theme = nullptr;  // the "Button" class, opened when first drawn
  bool m_menuChecks = true;
};

class CLXHelpButton : public CAlphaButton {
 public:
  using CAlphaButton::CAlphaButton;
  ~CLXHelpButton() override;
};

// The header of an inspector pane: a toggle (on = pane open) drawn with a disclosure triangle
// (the alternate image when on) and the caption beside it.
class CDisclosureButton : public CAlphaButton {
 public:
  using CAlphaButton::CAlphaButton;
  CDisclosureButton() : CAlphaButton(kToggle, kImage, kCustomFrame, 1) {}
  CMenu* GetPopupMenu() override { return nullptr; }
  void DrawItem(LPDRAWITEMSTRUCT item) override;
  // The caption's box: the rectangle less 22.5 px on the left, or a zero-width box at the middle
  // of a narrower button.
  static Gdiplus::RectF TextBox(const Gdiplus::RectF& button);
  Gdiplus::Bitmap* m_closedImage = nullptr;  // not owned
  Gdiplus::Bitmap* m_openImage = nullptr;    // not owned
};
