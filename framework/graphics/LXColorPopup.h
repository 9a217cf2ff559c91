// CColorPopup: the drop-down colour picker: a grid of named swatches with an optional
// "Automatic" entry above and "More Colours..." below (the system colour dialog). It previews
// the colour under the mouse or keyboard cursor to its owner, reports acceptance or
// cancellation, keeps the user's custom colours in "CustomColors", and deletes itself.
#pragma once
#include <vector>

#include "ControlWnds.h"
#include "LXColor.h"

#define WM_COLORPICK_CHANGE (WM_USER + 1001)
#define WM_COLORPICK_OPEN (WM_USER + 1002)
#define WM_COLORPICK_CLOSE (WM_USER + 1003)
#define WM_COLORPICK_ACCEPT (WM_USER + 1004)
#define WM_COLORPICK_CANCEL (WM_USER + 1005)

class CColorPopup : public CWnd {
 public:
  struct Entry {
    LXGraphics::CColor colour;
    CString name;
  };
  static constexpr int kColumns = 8;
  static constexpr int kNamedColours = 40;  // 32 colours and 8 greys
  static constexpr int kCustomSlots = 16;
  static constexpr int kNone = -1, kCustomEntry = -2, kDefaultEntry = -3;
  static constexpr UINT kCustomTextId = 1074;

  CColorPopup(POINT at, DWORD argb, CWnd* owner);
  CColorPopup(POINT at, DWORD argb, CWnd* owner, LPCWSTR defaultText, LPCWSTR customText);
  ~CColorPopup() override;

  // The table shared by the popups of the run: the sorted colours, the greys, then the custom
  // slots, which always exist (a popup without the custom entry does not show them).
  static std::vector<Entry>& Palette();
  // Forgets the table (tests).
  static void ResetPalette();

  int GetColourCount() const { return m_colourCount; }
  int GetCustomColourCount() const { return m_customCount; }
  int GetChosenIndex() const { return m_chosen; }
  int GetHotIndex() const { return m_hot; }
  DWORD GetCurrentColour() const { return m_current; }
  CRect GetSwatchRect(int index) const;
  CRect GetCustomRect() const { return m_customRect; }
  CRect GetDefaultRect() const { return m_defaultRect; }
  // The entry at a client point: an index, kCustomEntry, kDefaultEntry or kNone.
  int HitTest(POINT client) const;
  // The hot entry after an arrow key from `from` (VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT).
  int Move(int from, UINT key) const;

 protected:
  void Open(POINT at, DWORD argb, CWnd* owner, LPCWSTR defaultText, LPCWSTR customText);
  void OnPaint();
  void OnMouseMove(UINT flags, CPoint point);
  void OnLButtonDown(UINT flags, CPoint point);
  void OnLButtonUp(UINT flags, CPoint point);
  void OnKeyDown(UINT key, UINT repeat, UINT flags);
  LRESULT OnActivateApp(WPARAM active, LPARAM);
  // Closed from outside (a click outside the popup): a cancellation.
  void OnClose();
  void PostNcDestroy() override;
  void ChangeHot(int index);
  void EndSelection(bool accept);
  void DrawEntryCell(CDC& dc, const CRect& rect, int index, DWORD colour);
  void DrawTextEntry(CDC& dc, int index);
  DECLARE_MESSAGE_MAP()

  int m_colourCount = 0;
  int m_customCount = 0;
  int m_columns = kColumns;
  int m_rows = 0;
  int m_cell = 18;
  int m_margin = 2;
  int m_hot = kNone;
  int m_chosen = kNone;
  CString m_defaultText, m_customText;
  bool m_hasDefault = false, m_hasCustom = false;
  CRect m_customRect, m_defaultRect, m_windowRect;
  DWORD m_initial = 0xFF000000u, m_current = 0xFF000000u;
  CToolTipCtrl m_tips;
  CWnd* m_owner = nullptr;
  bool m_dialogOpen = false;
  bool m_ended = false;
  bool m_pressSeen = false;
};

namespace lxcolorpopup {
// Makes the popup's window a popup of the window system: it has the keyboard while shown, and a
// click outside it closes it (LXColorPopupQt.cpp).
void MakePopupWindow(HWND popup);
}  // namespace lxcolorpopup
