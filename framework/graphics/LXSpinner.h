// CLXSpinner<T>: an up-down control bound to a CLXEdit<T> as its buddy (T = double or int). Its
// positions 0..steps map linearly onto the buddy's range; a click writes the value into the edit,
// and a value typed in the edit moves the position.
#pragma once
#include "LXEdit.h"

template <class T>
class CLXSpinner : public CSpinButtonCtrl {
 public:
  CLXSpinner() = default;
  BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
  // Binds the edit (null: none) and makes the spinner one of its notify targets; answers the
  // buddy before.
  CLXEdit<T>* SetBuddy(CLXEdit<T>* edit);
  // The buddy, when it is a numeric edit of this kind.
  CLXEdit<T>* GetBuddy() const;
  void SetStepCount(int n);
  int GetStepCount() const { return m_steps; }
  virtual void OnScroll();
  // Moves to a position within 0..steps and writes its value into the buddy; answers the
  // position before (0 when refused).
  virtual int SetPos(int position);

  // The mappings; false (nothing to write) without positive steps, for an empty range or a
  // value that is not finite.
  bool PositionToValue(int position, T& value) const;
  bool ValueToPosition(T value, int& position) const;

 protected:
  void OnScrollReflect(UINT, UINT) { OnScroll(); }
  LRESULT OnEditUpdate(WPARAM, LPARAM);
  void Range(T& lo, T& hi) const;

  int m_steps = 0;
  bool m_settingPos = false;
  bool m_followingEdit = false;
  bool m_scrolling = false;
  DECLARE_MESSAGE_MAP()
};

extern template class CLXSpinner<double>;
extern template class CLXSpinner<int>;
