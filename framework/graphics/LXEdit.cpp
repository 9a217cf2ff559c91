// The numeric edit: validation, display, key, text-change and focus-loss handling, notification.
#include "LXEdit.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cwchar>
#include <limits>
#include <type_traits>
#include <vector>

#include "LXMessage.h"
#include "LXUtils.h"
#include "NumberLocale.h"

namespace {
// Raises a flag for a scope.
struct Raised {
  explicit Raised(bool& flag) : m_flag(flag), m_was(flag) { flag = true; }
  ~Raised() { m_flag = m_was; }
  bool& m_flag;
  bool m_was;
};

template <class T>
struct Defaults;
template <>
struct Defaults<double> {
  static constexpr double kMin = -DBL_MAX, kMax = DBL_MAX;
  static constexpr const wchar_t* kFormat = L"%0#.1f";
};
template <>
struct Defaults<int> {
  static constexpr int kMin = INT_MIN, kMax = INT_MAX;
  static constexpr const wchar_t* kFormat = L"%0d";
};
template <>
struct Defaults<unsigned int> {
  // "%0u": "%0d" would show 4000000000 as a negative number.
  static constexpr unsigned int kMin = 0, kMax = UINT_MAX;
  static constexpr const wchar_t* kFormat = L"%0u";
};
}  // namespace

BEGIN_TEMPLATE_MESSAGE_MAP(CLXEdit, T, CEdit)
  ON_CONTROL_REFLECT_EX(EN_SETFOCUS, &CLXEdit::OnSetFocusReflect)
  ON_CONTROL_REFLECT_EX(EN_KILLFOCUS, &CLXEdit::OnKillFocusReflect)
  ON_CONTROL_REFLECT_EX(EN_UPDATE, &CLXEdit::OnUpdateReflect)
  ON_WM_SHOWWINDOW()
  ON_WM_ENABLE()
END_MESSAGE_MAP()

template <class T>
CLXEdit<T>::CLXEdit()
    : m_min(Defaults<T>::kMin), m_max(Defaults<T>::kMax), m_value(0), m_accepted(Defaults<T>::kMin),
      m_format(Defaults<T>::kFormat) {}

template <class T>
CString CLXEdit<T>::FormatValue(T value) const {
  CString text;
  text.Format(m_format.GetString(), value);
  return text;
}

template <class T>
bool CLXEdit<T>::SetValue(T value, bool force) {
  if (m_notifying) return true;
  if (!InRange(value)) return false;
  m_value = m_accepted = value;
  CString text = FormatValue(value), shown;
  if (m_hWnd) GetWindowText(shown);
  if (force || text != shown) SetText(text);
  return true;
}

template <class T>
void CLXEdit<T>::SetFormat(const CString& format) {
  Raised updating(m_updating);
  m_format = format;
  SetText(FormatValue(m_value));
}

template <class T>
void CLXEdit<T>::SetText(CString text) {
  Raised settingText(m_settingText);
  // Trimming the zeros of a text without a point would turn 10 into 1.
  if ((m_options & (kTrimKeepPoint | kTrimDropPoint)) && text.Find(L'.') >= 0)
    CUtils::TrimZeros(text, !(m_options & kTrimKeepPoint));
  if (m_hWnd) SetWindowText(text);
}

template <class T>
void CLXEdit<T>::AddDisplayFlag(UINT& previous) {
  previous = m_options;
  m_options |= kCommitOnEnter;
  CString text;
  if (m_hWnd) GetWindowText(text);
  SetText(text);
}

template <class T>
void CLXEdit<T>::AddNotifyTarget(CWnd* target) {
  if (target) m_targets.push_back(target);
}

template <class T>
void CLXEdit<T>::RemoveNotifyTarget(CWnd* target) {
  if (!target) m_targets.clear();
  else m_targets.remove(target);
}

template <class T>
void CLXEdit<T>::SetRange(T minimum, T maximum) {
  m_min = minimum;
  m_max = maximum;
  T value = m_value;
  if (value < m_min) value = m_min;
  if (value > m_max) value = m_max;
  SetValue(value, true);
}

template <class T>
void CLXEdit<T>::ReportRange(T low, T high) {
  // A bound is named as the field shows values, unless that reads as hundreds of digits (a field
  // open at its top) or rounds it outside the range (0.01 shown as "0.0", which invites a 0 that
  // is then refused): then with %g, or with as many more digits as it takes for the named bound
  // to be one the field accepts (%g would show a lower bound of 0.1234564 as 0.123456).
  const auto bound = [this](T value, int outward) {
    CString text = FormatValue(value);
    if constexpr (std::is_floating_point_v<T>) {
      const auto outside = [value, outward](const CString& t) {
        return (std::wcstod(t.GetString(), nullptr) - static_cast<double>(value)) * outward > 0.0;
      };
      if (std::abs(value) >= 1e15 || outside(text))
        for (int digits = 6; digits <= 17; ++digits) {
          text.Format(L"%.*g", digits, static_cast<double>(value));
          if (!outside(text)) break;
        }
    }
    return text;
  };
  CLXXFloatRange error(kLXSeverityMessage, 0, __LINE__, bound(low, -1), bound(high, 1));
  error.SetOwnerWindow(m_hWnd);
  error.Report();
}

template <class T>
void CLXEdit<T>::Restore(T preferred) {
  // A value typed past the range ("11" in 0..10, then a letter) cannot be shown again.
  if (!SetValue(preferred, true) && !SetValue(m_accepted, true)) SetValue(m_min, true);
}

template <class T>
bool CLXEdit<T>::Validate(bool checkRange) {
  if (m_validating) return true;
  Raised validating(m_validating);
  CString text;
  if (m_hWnd) GetWindowText(text);
  text.Trim();
  const int n = text.GetLength();
  const auto take = [this](T v) {
    if (!m_settingText) m_value = v;
  };
  const wchar_t c = n > 0 ? text[0] : L'\0';
  const bool sign = c == L'+' || c == L'-';
  if (n == 0 || (n == 1 && (sign || c == L'.')) || (n == 2 && sign && text[1] == L'.')) {
    const T empty = (m_options & kKeepOnEmpty) ? m_accepted : T(0);
    if (!checkRange) {
      take(empty);
      return true;
    }
    // Left this way the text stands for a value: 0 where the range holds it, else the value in
    // use, never a 0 that the field shows but its owner refuses (a blank wavelength).
    const T kept = InRange(empty) ? empty : m_accepted;
    if (!InRange(kept)) {
      ReportRange(m_min, m_max);
      m_modified = false;
      Restore(m_accepted);
      CUtils::ActivateControl(::GetParent(m_hWnd), m_hWnd);
      return false;
    }
    m_accepted = kept;
    take(kept);
    // The text shows it. In commit-on-Enter mode this reprint announces nothing: the commit that
    // follows Enter or leaving the field announces once.
    if (!m_settingText) {
      const bool updating = m_updating;
      if (m_options & kCommitOnEnter) m_updating = true;
      SetValue(kept, true);
      m_updating = updating;
    }
    return true;
  }
  double number = 0;
  bool readable = false;
  errno = 0;
  if (CUtils::FindFirstNotOf(text, L"+-0123456789") < 0) {
    // Read in 64 bits: a 32-bit read wraps 3000000000 in an int edit and -1 in an unsigned one.
    const wchar_t* start = text.GetString();
    wchar_t* end = nullptr;
    if (c == L'-') number = static_cast<double>(std::wcstoll(start, &end, 10));
    else number = static_cast<double>(std::wcstoull(start, &end, 10));
    readable = end != start;
    if (readable && errno == ERANGE) {
      // Past 64 bits: the number itself, which no integer type holds.
      number = qlw::StringToDouble(std::wstring(start, static_cast<const wchar_t*>(end)).c_str());
      errno = 0;
    }
  } else {
    readable = CUtils::ParseNumber(text, checkRange, &number);
    if (readable && std::is_integral_v<T>) number = std::trunc(number);
  }
  if (!readable) {
    CLXXFloatSyntax error(kLXSeverityMessage, errno, __LINE__);
    error.SetOwnerWindow(m_hWnd);
    error.Report();
    m_modified = false;
    Restore(m_value);
    CUtils::ActivateControl(::GetParent(m_hWnd), m_hWnd);
    return false;
  }
  if constexpr (std::is_integral_v<T>) {
    // A number that T cannot hold ("-1" in an unsigned field) is never converted, which would be
    // undefined or wrap; like any number out of range it is refused on Enter or on leaving the
    // field, with the field's own bounds, and not while it is being typed.
    if (!(number >= static_cast<double>(std::numeric_limits<T>::min()) &&
          number <= static_cast<double>(std::numeric_limits<T>::max()))) {
      if (!checkRange) return true;
      ReportRange(m_min, m_max);
      m_modified = false;
      Restore(m_accepted);
      CUtils::ActivateControl(::GetParent(m_hWnd), m_hWnd);
      return false;
    }
  }
  const T value = static_cast<T>(number);
  if (!checkRange) {
    take(value);
    return true;
  }
  if (InRange(value)) {
    m_accepted = value;
    take(value);
    return true;
  }
  ReportRange(m_min, m_max);
  m_modified = false;
  Restore(m_accepted);
  CUtils::ActivateControl(::GetParent(m_hWnd), m_hWnd);
  return false;
}

template <class T>
BOOL CLXEdit<T>::PreTranslateMessage(MSG* msg) {
  if (msg->message != WM_KEYDOWN || ::GetFocus() != m_hWnd) return CEdit::PreTranslateMessage(msg);
  if (msg->wParam != VK_RETURN) {
    m_modified = true;
    return FALSE;
  }
  if (!m_modified) return FALSE;
  const UINT options = m_options;
  const bool accepted = Validate(true);
  if (accepted && (options & kCommitOnEnter)) {
    m_commitPending = true;
    SetValue(m_value, true);
    // Consumed by the text-change handler unless the text could not be written.
    m_commitPending = false;
  }
  m_modified = false;
  // A refused number keeps the Enter key from the dialog's default button.
  return accepted ? FALSE : TRUE;
}

template <class T>
BOOL CLXEdit<T>::OnSetFocusReflect() {
  m_modified = false;
  return FALSE;
}

template <class T>
BOOL CLXEdit<T>::OnKillFocusReflect() {
  if (m_inFocusLoss) return TRUE;
  Raised inFocusLoss(m_inFocusLoss);
  CWnd* active = GetActiveWindow();
  if (active && active->m_hWnd && ::IsChild(active->m_hWnd, m_hWnd)) {
    if (m_modified) {
      if (!Validate(true)) return TRUE;
      if (m_modified && (m_options & kCommitOnEnter)) {
        // Leaving commits as Enter does: an unforced reprint of a text that already reads as the
        // format prints it ("10") would announce nothing, and the typed value would be lost.
        m_commitPending = true;
        SetValue(m_value, true);
        m_commitPending = false;
      } else if (m_modified) {
        SetValue(m_value, false);
      }
    } else {
      SetFormat(m_format);
    }
  } else {
    // The application or its window lost activation: what was typed is dropped.
    SetValue(m_accepted, false);
    SendMessage(EM_SETSEL, 0, -1);
    SendMessage(EM_SCROLLCARET);
  }
  m_modified = false;
  return FALSE;
}

template <class T>
BOOL CLXEdit<T>::OnUpdateReflect() {
  if (m_inUpdate || m_notifying) return TRUE;
  Raised inUpdate(m_inUpdate);
  if (m_updating) return TRUE;
  bool announce = false;
  if (m_commitPending) {
    m_commitPending = false;
    announce = true;
  } else if (m_options & kCommitOnEnter) {
    announce = Validate(false) && m_settingText;
  } else {
    // A text that reads is announced; one refused has been replaced by the value restored, which
    // the companions must hear of too, as they hold what was typed before it.
    Validate(false);
    announce = true;
  }
  // Companions hear only of values they can take: finite and inside the range.
  if constexpr (std::is_floating_point_v<T>) announce = announce && std::isfinite(m_value);
  announce = announce && InRange(m_value);
  if (!announce) return TRUE;
  Announce();
  return FALSE;
}

template <class T>
void CLXEdit<T>::Announce() {
  Raised notifying(m_notifying);
  // A copy: a receiver may change the list.
  const std::vector<CWnd*> targets(m_targets.begin(), m_targets.end());
  for (CWnd* target : targets) {
    CLXMsgTarget message(target ? target->m_hWnd : nullptr, g_msgLXEditUpdate);
    message.Send(CLXMessage::kModeKeep);
  }
}

template <class T>
void CLXEdit<T>::OnShowWindow(BOOL show, UINT status) {
  CEdit::OnShowWindow(show, status);
  for (CWnd* target : m_targets) {
    if (!target || !target->m_hWnd) continue;
    if (!show) target->ShowWindow(SW_HIDE);
    else target->ShowWindow(target->IsIconic() ? SW_RESTORE : target->IsZoomed() ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  }
}

template <class T>
void CLXEdit<T>::OnEnable(BOOL enable) {
  CEdit::OnEnable(enable);
  for (CWnd* target : m_targets)
    if (target && target->m_hWnd) target->EnableWindow(enable);
}

template class CLXEdit<double>;
template class CLXEdit<int>;
template class CLXEdit<unsigned int>;
