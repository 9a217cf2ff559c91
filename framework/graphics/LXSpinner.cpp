// The spinner: buddy binding, steps, the position-value mappings and the guarded updates.
#include "LXSpinner.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "LXMessage.h"

namespace {
struct Raised {
  explicit Raised(bool& flag) : m_flag(flag), m_was(flag) { flag = true; }
  ~Raised() { m_flag = m_was; }
  bool& m_flag;
  bool m_was;
};
}  // namespace

BEGIN_TEMPLATE_MESSAGE_MAP(CLXSpinner, T, CSpinButtonCtrl)
  ON_WM_VSCROLL_REFLECT_TO(&CLXSpinner::OnScrollReflect)
  ON_WM_HSCROLL_REFLECT_TO(&CLXSpinner::OnScrollReflect)
  ON_REGISTERED_MESSAGE(g_msgLXEditUpdateSync, &CLXSpinner::OnEditUpdate)
  ON_REGISTERED_MESSAGE(g_msgLXEditUpdateAsync, &CLXSpinner::OnEditUpdate)
END_MESSAGE_MAP()

template <class T>
BOOL CLXSpinner<T>::PreCreateWindow(CREATESTRUCTW& cs) {
  cs.style |= UDS_SETBUDDYINT | UDS_HOTTRACK;
  if (!(cs.style & (UDS_ALIGNRIGHT | UDS_ALIGNLEFT))) cs.style |= UDS_ALIGNRIGHT;
  return CSpinButtonCtrl::PreCreateWindow(cs);
}

template <class T>
CLXEdit<T>* CLXSpinner<T>::GetBuddy() const {
  if (!m_hWnd) return nullptr;
  HWND buddy = reinterpret_cast<HWND>(SendMessage(UDM_GETBUDDY));
  return dynamic_cast<CLXEdit<T>*>(CWnd::FromHandlePermanent(buddy));
}

template <class T>
CLXEdit<T>* CLXSpinner<T>::SetBuddy(CLXEdit<T>* edit) {
  CLXEdit<T>* previous = GetBuddy();
  SendMessage(UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit ? edit->m_hWnd : nullptr));
  if (previous) previous->RemoveNotifyTarget(this);
  if (edit) edit->AddNotifyTarget(this);
  return previous;
}

template <class T>
void CLXSpinner<T>::SetStepCount(int n) {
  if (m_settingPos) return;
  m_steps = n == INT_MIN ? INT_MAX : std::abs(n);
  SetRange32(0, m_steps);
  int low = 0, high = 0;
  GetRange32(low, high);
}

template <class T>
void CLXSpinner<T>::Range(T& lo, T& hi) const {
  if (CLXEdit<T>* buddy = GetBuddy()) {
    lo = buddy->m_min;
    hi = buddy->m_max;
  } else {
    lo = 0;
    hi = static_cast<T>(m_steps);
  }
}

template <class T>
bool CLXSpinner<T>::PositionToValue(int position, T& value) const {
  T lo, hi;
  Range(lo, hi);
  if (m_steps <= 0 || !(lo < hi)) return false;
  if constexpr (std::is_floating_point_v<T>) {
    value = (hi - lo) * position / m_steps + lo;
    return std::isfinite(value);
  } else {
    // 64 bits: (hi - lo) × position overflows 32 (0..10^6 in 10^4 steps).
    value = static_cast<T>((std::int64_t(hi) - lo) * position / m_steps + lo);
    return true;
  }
}

template <class T>
bool CLXSpinner<T>::ValueToPosition(T value, int& position) const {
  T lo, hi;
  Range(lo, hi);
  if (m_steps <= 0 || !(lo < hi)) return false;
  if constexpr (std::is_floating_point_v<T>) {
    const double p = (value - lo) * m_steps / (hi - lo);
    if (!std::isfinite(p) || p < INT_MIN || p > INT_MAX) return false;
    const double whole = std::trunc(p);
    position = static_cast<int>(std::fabs(p - whole) < 0.5 ? whole : p > 0 ? whole + 1 : whole - 1);
  } else {
    const std::int64_t p = (std::int64_t(value) - lo) * m_steps / (std::int64_t(hi) - lo);
    if (p < INT_MIN || p > INT_MAX) return false;
    position = static_cast<int>(p);
  }
  return true;
}

template <class T>
int CLXSpinner<T>::SetPos(int position) {
  if (m_settingPos || position < 0 || position > m_steps) return 0;
  Raised settingPos(m_settingPos);
  const int previous = SetPos32(position);
  if (CLXEdit<T>* buddy = GetBuddy()) {
    T value;
    if (PositionToValue(GetPos32(), value)) buddy->SetValue(value, false);
  }
  return previous;
}

template <class T>
void CLXSpinner<T>::OnScroll() {
  if (m_scrolling) return;
  Raised scrolling(m_scrolling);
  CLXEdit<T>* buddy = GetBuddy();
  T value;
  if (buddy && PositionToValue(GetPos32(), value)) buddy->SetValue(value, false);
}

template <class T>
LRESULT CLXSpinner<T>::OnEditUpdate(WPARAM, LPARAM) {
  if (m_followingEdit || m_scrolling) return 1;
  Raised following(m_followingEdit);
  int position = 0;
  if (CLXEdit<T>* buddy = GetBuddy(); buddy && ValueToPosition(buddy->m_value, position)) SetPos(position);
  return 1;
}

template class CLXSpinner<double>;
template class CLXSpinner<int>;
