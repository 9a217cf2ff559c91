// CLXSlider<T>: a trackbar bound to a CLXEdit<T> (T = double or int). Its positions 0..steps map
// onto the edit's range, optionally through a power curve (finer near the low end) and within a
// narrower window that re-centres on a value typed in the edit.
#pragma once
#include "LXEdit.h"

template <class T>
class CLXSlider : public CSliderCtrl {
 public:
  CLXSlider() = default;
  virtual void OnScroll(int code, int position);
  virtual void OnScrollVertical(int code, int position) { OnScroll(code, position); }
  virtual T PositionToValue(int position);
  virtual int ValueToPosition(T value);
  // Moves the thumb to the value's position, when that lies in 0..steps.
  void SetFromValue(T value);

  int m_steps = 100;
  int m_exponent = 1;  // below 2: linear
  T m_windowWidth = 0;  // 0: the whole range of the edit
  T m_windowLow = 0, m_windowHigh = 0;  // equal: not placed yet
  bool m_relativeWindow = false;  // the width is 20 % of the centre value
  CLXEdit<T>* m_buddy = nullptr;  // not owned; the owner adds the slider to its notify targets
  // Values the slider spans, when narrower than its edit's range (low < high); a value of the
  // edit beyond them puts the thumb at that end.
  T m_spanLow = 0, m_spanHigh = 0;  // equal: the edit's range

 protected:
  void OnHScrollReflect(UINT code, UINT position) { OnScroll(static_cast<int>(code), static_cast<int>(position)); }
  void OnVScrollReflect(UINT code, UINT position) { OnScrollVertical(static_cast<int>(code), static_cast<int>(position)); }
  LRESULT OnEditUpdate(WPARAM, LPARAM);
  void Range(T& lo, T& hi) const;

  bool m_settingThumb = false;
  bool m_followingEdit = false;
  bool m_scrolling = false;
  DECLARE_MESSAGE_MAP()
};

extern template class CLXSlider<double>;
extern template class CLXSlider<int>;
