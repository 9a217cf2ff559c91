// CColorButton: the framework's colour well, an owner-drawn push button that shows a colour and
// opens CColorPopup below itself when clicked; it tells its parent (wParam its control id, lParam
// a COLORREF) of the popup's opening, previews, choice and closing. Its swatch painter also
// draws the colour cells of the editable list.
#pragma once
#include "ControlWnds.h"
#include "LXColorPopup.h"
#include "OwnerDraw.h"
#include "Themes.h"

class CColorButton : public CButton {
 public:
  CColorButton();
  ~CColorButton() override;

  // The colour (ARGB); the button repaints.
  void SetColor(DWORD argb);
  DWORD GetColor() const { return m_colour; }
  void SetLivePreview(bool on) { m_livePreview = on; }
  void SetDefaultText(LPCWSTR text) { m_defaultText = text ? text : L""; }
  void SetCustomText(LPCWSTR text) { m_customText = text ? text : L""; }
  bool IsPopupOpen() const { return m_popupOpen; }
  // The open popup, null when none.
  CColorPopup* GetPopup() const { return m_popupOpen ? m_popup : nullptr; }

  // Draws a colour well in `rect`: the frame (themed push button, else a flat frame control),
  // then the well with a dark top-left and a light bottom-right rim. State bits: ODS_SELECTED
  // pushed, ODS_DISABLED disabled (veiled, no colour).
  static void DrawSwatch(HDC dc, const RECT& rect, UINT state, DWORD argb, HTHEME theme);
  // The well inside a swatch of that rectangle.
  static RECT WellRect(const RECT& rect, bool themed);

  void PreSubclassWindow() override;
  virtual void DrawItem(LPDRAWITEMSTRUCT item);

 protected:
  BOOL OnClicked();
  LRESULT OnPopupChange(WPARAM, LPARAM colour);
  LRESULT OnPopupAccept(WPARAM, LPARAM colour);
  LRESULT OnPopupCancel(WPARAM, LPARAM colour);
  LRESULT OnThemeChanged(WPARAM, LPARAM);
  void OnDestroy();
  void NotifyParent(UINT message, DWORD colourRef);

  DWORD m_colour = 0xFF000000u;
  CString m_defaultText;
  CString m_customText;
  bool m_popupOpen = false;
  bool m_livePreview = false;
  HTHEME m_theme = nullptr;
  DWORD m_colourAtOpen = 0xFF000000u;
  CColorPopup* m_popup = nullptr;
  DECLARE_MESSAGE_MAP()
};
