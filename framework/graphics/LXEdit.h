// CLXEdit<T>: the single-line numeric field (T = double, int or unsigned int). It keeps the value
// with the text, checks what is typed against a number syntax and a closed range, restores the
// previous value after an alert when the text is bad, shows the value with a printf format, and
// tells its companions (spinners, sliders, the owner) of each accepted change with LXEditUpdate.
#pragma once
#include <list>

#include "ControlWnds.h"
#include "LXException.h"

// The numeric edit's errors, one family.
LX_DECLARE_EXCEPTION(CLXXFloatEdit, CLXException, 21180);
LX_DECLARE_EXCEPTION(CLXXFloatRange, CLXXFloatEdit, 21181);
LX_DECLARE_EXCEPTION(CLXXFloatSyntax, CLXXFloatEdit, 21182);

template <class T>
class CLXEdit : public CEdit {
 public:
  // Option bits: normalise the text keeping a trailing ".0", normalise dropping a trailing point,
  // announce only on Enter (commit on Enter; set by AddDisplayFlag), and an empty text (or a lone
  // sign or point) keeps the last accepted value instead of counting as 0.
  enum : UINT { kTrimKeepPoint = 1, kTrimDropPoint = 2, kCommitOnEnter = 4, kKeepOnEmpty = 8 };

  CLXEdit();
  ~CLXEdit() override = default;

  // Stores and shows a value inside the range (the text is rewritten when it differs or when
  // forced); false, changing nothing, for one outside. Does nothing while notifying.
  bool SetValue(T value, bool force);
  void SetFormat(const CString& format);
  const CString& GetFormat() const { return m_format; }
  void SetText(CString text);
  // Turns on commit on Enter; answers the option bits before.
  void AddDisplayFlag(UINT& previous);
  void AddNotifyTarget(CWnd* target);
  // Removes every entry of target; null empties the list.
  void RemoveNotifyTarget(CWnd* target);
  // Sets the range; a value outside it moves to the nearer bound and is shown.
  void SetRange(T minimum, T maximum);
  // Reads and checks the text; false (after an alert and a restore) when it is not acceptable.
  virtual bool Validate(bool checkRange);
  BOOL PreTranslateMessage(MSG* msg) override;

  // The value printed with the display format (before normalisation).
  CString FormatValue(T value) const;

  T m_min;
  T m_max;
  T m_value;
  T m_accepted;
  UINT m_options = 0;

 protected:
  BOOL OnSetFocusReflect();
  BOOL OnKillFocusReflect();
  BOOL OnUpdateReflect();
  void OnShowWindow(BOOL show, UINT status);
  void OnEnable(BOOL enable);
  bool InRange(T value) const { return m_min <= value && value <= m_max; }
  void ReportRange(T low, T high);
  // Shows `preferred` again, or the accepted value when that is out of range.
  void Restore(T preferred);
  void Announce();

  std::list<CWnd*> m_targets;
  CString m_format;
  bool m_notifying = false;
  bool m_modified = false;
  bool m_updating = false;
  bool m_commitPending = false;
  bool m_inUpdate = false;
  bool m_settingText = false;
  bool m_inFocusLoss = false;
  bool m_validating = false;
  DECLARE_MESSAGE_MAP()
};

extern template class CLXEdit<double>;
extern template class CLXEdit<int>;
extern template class CLXEdit<unsigned int>;
