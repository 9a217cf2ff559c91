// The slider: its window, power curve and the guarded updates between thumb and edit.
#include "LXSlider.h"

#include <algorithm>
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
// Keeps steps × t = 57 from truncating to 56 when t is 0.57 less a rounding error.
constexpr double kPositionNudge = 1e-9;
}  // namespace

BEGIN_TEMPLATE_MESSAGE_MAP(CLXSlider, T, CSliderCtrl)
  ON_WM_HSCROLL_REFLECT_TO(&CLXSlider::OnHScrollReflect)
  ON_WM_VSCROLL_REFLECT_TO(&CLXSlider::OnVScrollReflect)
  ON_REGISTERED_MESSAGE(g_msgLXEditUpdateSync, &CLXSlider::OnEditUpdate)
  ON_REGISTERED_MESSAGE(g_msgLXEditUpdateAsync, &CLXSlider::OnEditUpdate)
END_MESSAGE_MAP()

template <class T>
void CLXSlider<T>::Range(T& lo, T& hi) const {
  if (m_spanLow < m_spanHigh) {
    lo = m_spanLow;
    hi = m_spanHigh;
  } else if (m_buddy) {
    lo = m_buddy->m_min;
    hi = m_buddy->m_max;
  } else {
    lo = 0;
    hi = static_cast<T>(m_steps);
  }
}

template <class T>
void CLXSlider<T>::OnScroll(int code, int position) {
  if (m_scrolling || code == TB_ENDTRACK) return;
  // Held for the whole write, so that the edit's announcement does not re-centre the window.
  Raised scrolling(m_scrolling);
  const int at = code == TB_THUMBPOSITION || code == TB_THUMBTRACK ? position : GetPos();
  const T value = PositionToValue(at);
  if (m_buddy) m_buddy->SetValue(value, false);
}

template <class T>
T CLXSlider<T>::PositionToValue(int position) {
  const double t = m_steps > 0 ? std::clamp(double(position) / m_steps, 0.0, 1.0) : 0.0;
  T lo, hi;
  Range(lo, hi);
  if (m_buddy && m_windowWidth > 0) {
    if (m_windowLow == m_windowHigh) {
      // |centre|: 20 % of a negative centre would turn the window inside out.
      double width = m_relativeWindow ? 0.2 * std::fabs((double(lo) + double(hi)) / 2) : double(m_windowWidth);
      if constexpr (std::is_integral_v<T>) {
        const std::int64_t centre = (std::int64_t(lo) + hi) / 2, half = std::int64_t(width) / 2;
        m_windowLow = static_cast<T>(std::max<std::int64_t>(centre - half, lo));
        m_windowHigh = static_cast<T>(std::min<std::int64_t>(centre + half, hi));
        if (centre - half < lo || centre + half > hi || half <= 0) m_windowLow = lo, m_windowHigh = hi;
      } else {
        const double centre = (double(lo) + hi) / 2;
        m_windowLow = centre - width / 2, m_windowHigh = centre + width / 2;
        if (width <= 0 || m_windowLow < lo || m_windowHigh > hi) m_windowLow = lo, m_windowHigh = hi;
      }
    }
    lo = m_windowLow, hi = m_windowHigh;
  }
  const double span = double(hi) - double(lo);
  const double value = t > 0 && m_exponent >= 2 ? span * std::pow(t, m_exponent) + lo : span * t + lo;
  if constexpr (std::is_integral_v<T>) return static_cast<T>(std::trunc(value));
  else return value;
}

template <class T>
int CLXSlider<T>::ValueToPosition(T value) {
  T lo, hi;
  Range(lo, hi);
  if (m_buddy && m_windowWidth > 0) {
    if (m_followingEdit) {
      const double full = double(hi) - double(lo);
      double width = m_relativeWindow ? 0.2 * std::fabs(double(value)) : double(m_windowWidth);
      width = std::min(width, full);
      if (width <= 0) {
        // No width left: the whole range.
        m_windowLow = lo, m_windowHigh = hi;
      } else if constexpr (std::is_integral_v<T>) {
        const std::int64_t w = std::int64_t(width), half = w / 2;
        std::int64_t low = std::int64_t(value) - half, high = std::int64_t(value) + half;
        if (low < lo) low = lo, high = std::int64_t(lo) + w;
        if (high > hi) high = hi, low = std::int64_t(hi) - w;
        m_windowLow = static_cast<T>(low), m_windowHigh = static_cast<T>(high);
      } else {
        double low = value - width / 2, high = value + width / 2;
        if (low < lo) low = lo, high = lo + width;
        if (high > hi) high = hi, low = hi - width;
        m_windowLow = low, m_windowHigh = high;
      }
    }
    if (m_windowLow != m_windowHigh) lo = m_windowLow, hi = m_windowHigh;
  }
  const double span = double(hi) - double(lo);
  double t = span > 0 ? (double(value) - lo) / span : 0.0;
  if (!(t > 0)) t = 0;
  if (t > 1) t = 1;
  if (t > 0 && m_exponent > 1) t = std::pow(t, 1.0 / m_exponent);
  const double position = std::trunc(m_steps * t + kPositionNudge);
  return static_cast<int>(std::clamp(position, 0.0, double(std::max(m_steps, 0))));
}

template <class T>
void CLXSlider<T>::SetFromValue(T value) {
  if (m_settingThumb) return;
  Raised settingThumb(m_settingThumb);
  const int position = ValueToPosition(value);
  if (position >= 0 && position <= m_steps) SetPos(position);
}

template <class T>
LRESULT CLXSlider<T>::OnEditUpdate(WPARAM, LPARAM) {
  if (m_followingEdit || m_scrolling) return 1;
  Raised following(m_followingEdit);
  if (m_buddy) SetFromValue(m_buddy->m_value);
  return 1;
}

template class CLXSlider<double>;
template class CLXSlider<int>;
