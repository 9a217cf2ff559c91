// CFloatingInfoTip: the small balloon that floats over the plot with information on the point
// under the mouse. A click toggles its compact and expanded heights; a timer hides it once the
// mouse has moved away and is no longer over the balloon. White is see-through (a window mask).
#pragma once
#include "Dialog.h"
#include "GdiPlus.h"

class CFloatingInfoTip : public CDialog {
 public:
  static constexpr UINT kTemplateId = 1013;
  static constexpr UINT_PTR kTimerId = 1;
  static constexpr UINT kExpandedMs = 1500, kCollapsedMs = 750;
  static constexpr Gdiplus::ARGB kArrowColour = 0xFF8C8C8Cu;

  CFloatingInfoTip();
  ~CFloatingInfoTip() override;
  // Creates the hidden tip, owned by the parent's top-level window.
  BOOL Create(CWnd* parent);
  BOOL OnInitDialog() override;

  // Stores the anchor (x in the low, y in the high 32 bits), toggles the state, restarts the
  // timer for the new state and repaints.
  void RestartTimer(ULONGLONG anchor);
  void SetTipSize(float width, float expandedHeight, float collapsedHeight);
  // The owner's drawing inside the balloon; nothing here.
  virtual void DrawContent(Gdiplus::Graphics* graphics, const Gdiplus::RectF& balloon);

  // The balloon's rectangle in client coordinates (its pointer included) for the current state.
  Gdiplus::RectF BalloonRect() const;
  // The balloon: rim, a white line, the inside, and the disclosure arrow.
  void DrawBalloon(Gdiplus::Graphics& graphics, const Gdiplus::RectF& rect) const;
  // Paints the whole client area (white around the balloon) into a bitmap.
  void Render(Gdiplus::Bitmap& target);

  bool IsExpanded() const { return m_expanded; }
  UINT GetTimerInterval() const { return m_interval; }
  float GetCurrentHeight() const { return m_expanded ? m_expandedHeight : m_collapsedHeight; }
  void SetColours(Gdiplus::ARGB first, Gdiplus::ARGB inside, Gdiplus::ARGB rim) {
    m_colour1 = first, m_colour2 = inside, m_colour3 = rim;
  }
  void SetShowArrow(bool show) { m_showArrow = show; }
  // The pointer's enter and leave (from the window's widget).
  void OnMouseEnter() { m_mouseInside = true; }
  void OnMouseLeave() { m_mouseInside = false; }

 protected:
  void OnPaint();
  BOOL OnEraseBkgnd(CDC* dc);
  void OnSetFocus(CWnd* previous);
  void OnLButtonDown(UINT flags, CPoint point);
  void OnLButtonUp(UINT flags, CPoint point);
  void OnTimer(UINT_PTR id);
  void StartTimer(UINT interval);
  // Hidden and its timer stopped; shown again by its owner.
  void Hide();
  // A press on the tip that belongs to the window beneath (point in that window's client
  // coordinates): the tip hides, the window gets the press and the moves and release after it.
  void HandPressTo(CWnd* target, UINT flags, POINT point);
  // Where the pointer rests without the tip hiding (x in the low, y in the high 32 bits).
  void SetAnchor(ULONGLONG anchor) { m_anchor = anchor; }
  DECLARE_MESSAGE_MAP()

  ULONGLONG m_anchor = 0;
  bool m_expanded = false;
  bool m_showArrow = true;
  float m_width = 150, m_expandedWidth = 150, m_collapsedWidth = 150, m_halfWidth = 75;
  float m_collapsedHeight = 40, m_expandedHeight = 115, m_currentHeight = 40;
  Gdiplus::ARGB m_colour1 = 0xFF000000u, m_colour2 = 0xFF000000u, m_colour3 = 0xFF000000u;
  UINT_PTR m_timer = 0;
  UINT m_interval = 0;
  bool m_mouseInside = false;
  // The left button went down on the balloon: only its release there is a click.
  bool m_pressed = false;
};

namespace lxtip {
// Qt side: the window shaped to the non-white pixels of the rendering, frameless and on top,
// and its widget's enter and leave events passed to the tip.
void PrepareTipWindow(CFloatingInfoTip* tip);
// True when the shape changed.
bool ApplyTipMask(HWND window, Gdiplus::Bitmap& rendering);
// The rest of the pointer's press (its moves and release) goes to the window, until the release.
void GrabUntilRelease(HWND window);
}  // namespace lxtip
