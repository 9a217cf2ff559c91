// The numeric edit with its spinner and slider: reading texts, alerts and restores, the Enter key
// before the dialog's default button, announcements to companions, and the position mappings.
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "AlertRecorder.h"
#include "Dialog.h"
#include "GraphicsTestSupport.h"
#include "LXAlert.h"
#include "LXEdit.h"
#include "LXMessage.h"
#include "LXSlider.h"
#include "LXSpinner.h"
#include "ResourceText.h"
#include "WndQt.h"

namespace {
// Counts the LXEditUpdate messages it receives.
class UpdateCounter : public CWnd {
 public:
  int count = 0;
  UpdateCounter() { EXPECT_TRUE(CreateEx(0, nullptr, L"", WS_POPUP, CRect(0, 0, 1, 1), nullptr, 0)); }
  ~UpdateCounter() override { DestroyWindow(); }
  LRESULT OnUpdate(WPARAM, LPARAM) { return ++count, 1; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(UpdateCounter, CWnd)
  ON_REGISTERED_MESSAGE(g_msgLXEditUpdateSync, &UpdateCounter::OnUpdate)
END_MESSAGE_MAP()

// A dialog with an edit (101), an up-down (102), a trackbar (103) and a default button.
// Shows the window and makes it the active one, as a click on it would; false when it does not become so.
bool ShowActive(CWnd& wnd) {
  wnd.ShowWindow(SW_SHOW);
  QWidget* window = qlw::WidgetOf(wnd.m_hWnd)->window();
  window->activateWindow();
  return QTest::qWaitForWindowActive(window);
}

class Host : public CDialog {
 public:
  int pressed = 0;
  Host() {
    graphicstest::EnsureApp();
    static bool added = qlw::AddResourceText(R"(
DIALOG 9990 "Edit"
  ROW
    EDIT 101 ""
    SPIN 102 ""
    SLIDER 103 ""
  END
  BUTTON 104 "Go" DEFAULT
END
)");
    EXPECT_TRUE(added);
    EXPECT_TRUE(Create(9990, nullptr));
    SetDefID(104);
  }
  ~Host() override {
    if (m_hWnd) DestroyWindow();
  }
  void OnGo() { ++pressed; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Host, CDialog)
  ON_BN_CLICKED(104, &Host::OnGo)
END_MESSAGE_MAP()

QLineEdit* Line(CWnd& edit) { return qobject_cast<QLineEdit*>(qlw::WidgetOf(edit.m_hWnd)); }

CString Text(CWnd& w) {
  CString text;
  w.GetWindowText(text);
  return text;
}

template <class T>
void Attach(CLXEdit<T>& edit, Host& host, T low, T high, const wchar_t* format, T value) {
  ASSERT_TRUE(edit.SubclassDlgItem(101, &host));
  edit.m_min = low;
  edit.m_max = high;
  if (format) edit.SetFormat(format);
  ASSERT_TRUE(edit.SetValue(value, true));
}

// Validates a text put into the edit while it was not listening (typing would validate each prefix).
template <class T>
bool Read(CLXEdit<T>& edit, const wchar_t* text, bool checkRange = true) {
  HWND h = edit.UnsubclassWindow();
  ::SetWindowTextW(h, text);
  edit.SubclassWindow(h);
  return edit.Validate(checkRange);
}

bool Contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }
}  // namespace

TEST(NumericEdit, ReadsNumbersInEveryEditKind) {
  Host host;
  struct Case {
    const wchar_t* text;
    bool accepted;
    double value;
  };
  // Incomplete numbers read as 0 while typing; integer texts are read in 64 bits.
  const Case doubles[] = {{L"", true, 0},       {L"-", true, 0},         {L"+.", true, 0},    {L".", true, 0},
                          {L"1-2", true, 1},    {L"3E2", true, 300},     {L"1/4", true, 0.25}, {L" 7 ", true, 7},
                          {L"12abc", false, 0}, {L"3000000000", true, 3e9}, {L"99999999999999999999", true, 1e20}};
  CLXEdit<double> d;
  Attach(d, host, -1e300, 1e300, nullptr, 0.0);
  qlwtest::AlertRecorder alerts;
  for (const Case& c : doubles) {
    EXPECT_EQ(Read(d, c.text), c.accepted) << c.text;
    if (c.accepted) {
      EXPECT_DOUBLE_EQ(d.m_value, c.value) << c.text;
    }
  }
  d.UnsubclassWindow();

  CLXEdit<int> i;
  Attach(i, host, INT_MIN, INT_MAX, nullptr, 0);
  for (auto [text, value] : {std::pair{L"2.9", 2}, {L"-2.9", -2}, {L"2147483647", 2147483647}, {L"-2147483648", INT_MIN}}) {
    EXPECT_TRUE(Read(i, text)) << text;
    EXPECT_EQ(i.m_value, value) << text;
  }
  alerts.TakeExplanations();
  i.SetValue(-2147483, true);
  // Past an int: left alone while typed, then a range alert with the field's limits on Enter or
  // leaving, never a wrapped value.
  for (const wchar_t* text : {L"3000000000", L"1E20", L"-2147483649"}) {
    EXPECT_TRUE(Read(i, text, false)) << text;
    EXPECT_EQ(i.m_value, -2147483) << text;
    EXPECT_TRUE(alerts.TakeExplanations().empty()) << text;
    EXPECT_FALSE(Read(i, text)) << text;
    const auto seen = alerts.TakeExplanations();
    ASSERT_EQ(seen.size(), 1u) << text;
    EXPECT_TRUE(Contains(seen[0], L"-2147483648 and 2147483647")) << text;
    EXPECT_EQ(Text(i), CString(L"-2147483")) << text;  // the last value shown again
    i.SetValue(-2147483, true);
  }
  i.UnsubclassWindow();

  CLXEdit<unsigned int> u;
  Attach(u, host, 0u, UINT_MAX, nullptr, 4000000000u);
  EXPECT_EQ(Text(u), CString(L"4000000000"));
  EXPECT_FALSE(Read(u, L"-1"));
  EXPECT_EQ(u.m_value, 4000000000u);
  EXPECT_EQ(alerts.TakeExplanations().size(), 1u);
  u.UnsubclassWindow();
}

TEST(NumericEdit, BadTextRestoresAValueTheRangeHolds) {
  Host host;
  CLXEdit<double> edit;
  Attach(edit, host, 0.0, 10.0, L"%0#.1f", 5.0);
  qlwtest::AlertRecorder alerts;
  ::SetFocus(edit.m_hWnd);
  QTest::keyClick(Line(edit), Qt::Key_End);
  QTest::keyClicks(Line(edit), "a");
  EXPECT_EQ(Text(edit), CString(L"5.0"));
  auto seen = alerts.TakeExplanations();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(Contains(seen[0], L"invalid characters"));

  // "11" is out of range but stands while typing; a letter after it brings back 5.0, not "11a".
  edit.SetSel(0, -1);
  QTest::keyClicks(Line(edit), "11");
  EXPECT_EQ(Text(edit), CString(L"11"));
  QTest::keyClicks(Line(edit), "a");
  EXPECT_EQ(Text(edit), CString(L"5.0"));
  EXPECT_EQ(alerts.TakeExplanations().size(), 1u);
}

// The alert names bounds that the field accepts when typed: in the field's format where that
// keeps them inside the range, else with %g, else with the digits it takes.
TEST(NumericEdit, RangeAlertNamesBoundsTheFieldAccepts) {
  Host host;
  struct Case {
    double low, high;
    const wchar_t* format;
    const wchar_t* named;
  };
  for (const Case& c : {Case{0.0, 10.0, L"%0#.1f", L"between 0.0 and 10.0"},
                        Case{0.01, 0.99, L"%0#.1f", L"between 0.01 and 0.99"},
                        Case{0.0087191863361, 0.3876, L"%0#.4f", L"between 0.00871919 and 0.3876"},
                        Case{0.1234564, 0.9876546, L"%0#.2f", L"between 0.1234564 and 0.9876546"}}) {
    CLXEdit<double> edit;
    Attach(edit, host, c.low, c.high, c.format, c.high);
    qlwtest::AlertRecorder alerts;
    EXPECT_FALSE(Read(edit, L"11"));
    const auto seen = alerts.TakeExplanations();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(Contains(seen[0], c.named)) << std::string(seen[0].begin(), seen[0].end());
    edit.UnsubclassWindow();
  }
}

TEST(NumericEdit, EnterChecksTheRangeBeforeTheDefaultButton) {
  Host host;
  CLXEdit<double> edit;
  Attach(edit, host, 0.0, 10.0, L"%0#.1f", 5.0);
  qlwtest::AlertRecorder alerts;
  ::SetFocus(edit.m_hWnd);
  edit.SetSel(0, -1);
  QTest::keyClicks(Line(edit), "11");
  QTest::keyClick(Line(edit), Qt::Key_Return);
  const auto seen = alerts.TakeExplanations();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(Contains(seen[0], L"between 0.0 and 10.0")) << std::string(seen[0].begin(), seen[0].end());
  EXPECT_EQ(Text(edit), CString(L"5.0"));
  EXPECT_EQ(host.pressed, 0);

  edit.SetSel(0, -1);
  QTest::keyClicks(Line(edit), "7");
  QTest::keyClick(Line(edit), Qt::Key_Return);
  EXPECT_TRUE(alerts.TakeExplanations().empty());
  EXPECT_EQ(host.pressed, 1);
  EXPECT_DOUBLE_EQ(edit.m_accepted, 7.0);
}

TEST(NumericEdit, AnnouncesOnlyFiniteValuesInRange) {
  Host host;
  CLXEdit<double> edit;
  Attach(edit, host, 0.0, 10.0, L"%0#.1f", 5.0);
  UpdateCounter counter;
  edit.AddNotifyTarget(&counter);
  qlwtest::AlertRecorder alerts;
  ::SetFocus(edit.m_hWnd);
  edit.SetSel(0, -1);
  QTest::keyClicks(Line(edit), "11");  // "1" is announced, "11" is past the maximum
  EXPECT_EQ(counter.count, 1);
  edit.SetSel(0, -1);
  QTest::keyClicks(Line(edit), "1E999");  // "1" and "1E" read as 1; 1E9 and more are not announced
  EXPECT_EQ(counter.count, 3);
  EXPECT_TRUE(std::isinf(edit.m_value));
  edit.SetSel(0, -1);
  QTest::keyClicks(Line(edit), "7");
  EXPECT_EQ(counter.count, 4);
  EXPECT_DOUBLE_EQ(edit.m_value, 7.0);
  EXPECT_TRUE(alerts.TakeExplanations().empty());
}

TEST(NumericEdit, CommitOnEnterAnnouncesOnceOnEnter) {
  Host host;
  CLXEdit<double> edit;
  Attach(edit, host, 0.0, 100.0, L"%0#.3f", 1.0);
  UINT previous = 99;
  edit.m_options = CLXEdit<double>::kTrimKeepPoint;
  edit.AddDisplayFlag(previous);
  EXPECT_EQ(previous, UINT(CLXEdit<double>::kTrimKeepPoint));
  EXPECT_EQ(Text(edit), CString(L"1.0"));
  UpdateCounter counter;
  edit.AddNotifyTarget(&counter);
  ::SetFocus(edit.m_hWnd);
  edit.SetSel(0, -1);
  QTest::keyClicks(Line(edit), "42.5");
  EXPECT_EQ(counter.count, 0);
  QTest::keyClick(Line(edit), Qt::Key_Return);
  EXPECT_EQ(counter.count, 1);
  EXPECT_EQ(Text(edit), CString(L"42.5"));
  EXPECT_EQ(host.pressed, 1);
}

// Leaving the field for another control of its window commits what was typed as Enter does, also
// when the text already reads as the format prints it ("10" in a whole-number field), where no
// reprint happens to announce it.
TEST(NumericEdit, CommitOnEnterAnnouncesOnceOnLeavingTheField) {
  Host host;
  ASSERT_TRUE(ShowActive(host));
  struct Case {
    const wchar_t* format;
    const char* typed;
    double value;
  };
  for (const Case& c : {Case{L"%0.0f", "10", 10.0}, Case{L"%0#.1f", "2.5", 2.5}, Case{L"%0#.4f", "7", 7.0}}) {
    SCOPED_TRACE(c.typed);
    CLXEdit<double> edit;
    Attach(edit, host, 0.0, 100.0, c.format, 3.0);
    UINT previous = 0;
    edit.AddDisplayFlag(previous);
    UpdateCounter counter;
    edit.AddNotifyTarget(&counter);
    ::SetFocus(edit.m_hWnd);
    edit.SetSel(0, -1);
    QTest::keyClicks(Line(edit), c.typed);
    EXPECT_EQ(counter.count, 0);
    ::SetFocus(host.GetDlgItem(104)->m_hWnd);
    EXPECT_EQ(counter.count, 1);
    EXPECT_DOUBLE_EQ(edit.m_value, c.value);
    // Passing through without typing announces nothing.
    ::SetFocus(edit.m_hWnd);
    ::SetFocus(host.GetDlgItem(104)->m_hWnd);
    EXPECT_EQ(counter.count, 1);
    edit.RemoveNotifyTarget(nullptr);
    edit.UnsubclassWindow();
  }
}

namespace {
// Writes into the edit from inside its announcement.
class Writer : public CWnd {
 public:
  CLXEdit<double>* edit = nullptr;
  bool wrote = false;
  Writer() { EXPECT_TRUE(CreateEx(0, nullptr, L"", WS_POPUP, CRect(0, 0, 1, 1), nullptr, 0)); }
  ~Writer() override { DestroyWindow(); }
  LRESULT OnUpdate(WPARAM, LPARAM) {
    wrote = edit->SetValue(9.0, true);
    return 1;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Writer, CWnd)
  ON_REGISTERED_MESSAGE(g_msgLXEditUpdateSync, &Writer::OnUpdate)
END_MESSAGE_MAP()
}  // namespace

TEST(NumericEdit, SetValueKeepsTheRangeAndIsMuteWhileNotifying) {
  Host host;
  CLXEdit<double> edit;
  Attach(edit, host, 0.0, 10.0, L"%0#.2f", 1.0);
  EXPECT_FALSE(edit.SetValue(11.0, true));
  EXPECT_FALSE(edit.SetValue(NAN, true));
  EXPECT_EQ(Text(edit), CString(L"1.00"));

  Writer writer;
  writer.edit = &edit;
  edit.AddNotifyTarget(&writer);
  ASSERT_TRUE(edit.SetValue(3.0, false));
  EXPECT_TRUE(writer.wrote);
  EXPECT_EQ(Text(edit), CString(L"3.00"));
  EXPECT_DOUBLE_EQ(edit.m_value, 3.0);

  // A new range moves the value inside and shows it.
  edit.RemoveNotifyTarget(nullptr);
  edit.SetRange(4.0, 8.0);
  EXPECT_DOUBLE_EQ(edit.m_value, 4.0);
  EXPECT_EQ(Text(edit), CString(L"4.00"));
}

TEST(NumericEdit, NormalisedTextsKeepTheirWholeNumbers) {
  Host host;
  CLXEdit<double> edit;
  Attach(edit, host, 0.0, 1000.0, L"%0.0f", 0.0);
  edit.m_options = CLXEdit<double>::kTrimDropPoint;
  edit.SetValue(100.0, true);
  EXPECT_EQ(Text(edit), CString(L"100"));  // no point: no zeros to trim
  edit.SetFormat(L"%0#.3f");
  EXPECT_EQ(Text(edit), CString(L"100"));
  edit.m_options = CLXEdit<double>::kTrimKeepPoint;
  edit.SetValue(12.5, true);
  EXPECT_EQ(Text(edit), CString(L"12.5"));
  edit.SetValue(40.0, true);
  EXPECT_EQ(Text(edit), CString(L"40.0"));
}

// A field whose range leaves out 0 (a wavelength): a text that reads as nothing, left by Enter or by
// moving to another control, keeps the value in use and shows it, without an alert.
TEST(NumericEdit, AnEmptiedFieldKeepsAndShowsTheValueInUse) {
  Host host;
  ASSERT_TRUE(ShowActive(host));
  struct Case {
    const char* typed;  // after clearing the field; "" leaves it empty
    bool commitOnEnter;
    bool byEnter;  // else by giving the focus to the button
  };
  const Case cases[] = {{"", true, true},  {".", true, true}, {"-", true, false},  {"", true, false},
                        {"", false, true}, {"-", false, true}, {".", false, false}, {"+.", true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("'") + c.typed + "' " + (c.commitOnEnter ? "commit" : "plain") +
                 (c.byEnter ? " Enter" : " focus"));
    CLXEdit<double> edit;
    Attach(edit, host, 0.1, 5.0, L"%0#.4f", 1.5405);
    UINT previous = 0;
    if (c.commitOnEnter) edit.AddDisplayFlag(previous);
    UpdateCounter counter;
    edit.AddNotifyTarget(&counter);
    qlwtest::AlertRecorder alerts;
    ::SetFocus(edit.m_hWnd);
    edit.SetSel(0, -1);
    QTest::keyClick(Line(edit), Qt::Key_Backspace);
    QTest::keyClicks(Line(edit), c.typed);
    if (c.byEnter) QTest::keyClick(Line(edit), Qt::Key_Return);
    else ::SetFocus(host.GetDlgItem(104)->m_hWnd);
    EXPECT_EQ(Text(edit).ToUtf8(), "1.5405");
    EXPECT_DOUBLE_EQ(edit.m_value, 1.5405);
    EXPECT_TRUE(alerts.TakeExplanations().empty());
    if (c.commitOnEnter) {
      EXPECT_EQ(counter.count, 1) << "the commit is announced once";
    }
    // The field now reads as what it shows: passing through it later changes nothing.
    ::SetFocus(edit.m_hWnd);
    ::SetFocus(host.GetDlgItem(104)->m_hWnd);
    EXPECT_EQ(Text(edit).ToUtf8(), "1.5405");
    EXPECT_DOUBLE_EQ(edit.m_value, 1.5405);
    edit.RemoveNotifyTarget(nullptr);
    edit.UnsubclassWindow();
  }
}

TEST(NumericEdit, LostActivationDropsWhatWasTypedWithoutAlert) {
  Host host;
  CLXEdit<double> edit;
  Attach(edit, host, 0.0, 10.0, L"%0#.1f", 5.0);
  qlwtest::AlertRecorder alerts;
  ::SetFocus(edit.m_hWnd);
  edit.SetSel(0, -1);
  QTest::keyClicks(Line(edit), "8");
  // The focus leaves while no window of the application is active.
  ASSERT_EQ(::GetActiveWindow(), nullptr);
  host.SendMessage(WM_COMMAND, MAKEWPARAM(101, EN_KILLFOCUS), reinterpret_cast<LPARAM>(edit.m_hWnd));
  EXPECT_EQ(Text(edit), CString(L"5.0"));
  EXPECT_TRUE(alerts.TakeExplanations().empty());
}

TEST(NumericEdit, ShowingAndEnablingReachTheCompanions) {
  Host host;
  CLXEdit<double> edit;
  Attach(edit, host, 0.0, 10.0, nullptr, 5.0);
  CSpinButtonCtrl spin;
  ASSERT_TRUE(spin.SubclassDlgItem(102, &host));
  edit.AddNotifyTarget(&spin);
  edit.ShowWindow(SW_HIDE);
  EXPECT_FALSE(spin.GetStyle() & WS_VISIBLE);
  edit.ShowWindow(SW_SHOW);
  EXPECT_TRUE(spin.GetStyle() & WS_VISIBLE);
  edit.EnableWindow(FALSE);
  EXPECT_FALSE(spin.IsWindowEnabled());
  edit.EnableWindow(TRUE);
  EXPECT_TRUE(spin.IsWindowEnabled());
}

TEST(Spinner, MapsPositionsOntoTheBuddyRange) {
  Host host;
  CLXEdit<double> edit;
  Attach(edit, host, -10.0, 10.0, L"%0#.2f", 0.0);
  CLXSpinner<double> spinner;
  ASSERT_TRUE(spinner.SubclassDlgItem(102, &host));
  spinner.SetStepCount(-20);
  EXPECT_EQ(spinner.GetStepCount(), 20);
  EXPECT_EQ(spinner.SetBuddy(&edit), nullptr);
  spinner.SetPos(15);
  EXPECT_EQ(Text(edit), CString(L"5.00"));
  EXPECT_EQ(spinner.SetPos(21), 0);
  EXPECT_EQ(spinner.GetPos32(), 15);
  for (auto [typed, position] : {std::pair{"2.4", 12}, {"2.6", 13}, {"-2.5", 8}}) {
    ::SetFocus(edit.m_hWnd);
    edit.SetSel(0, -1);
    QTest::keyClicks(Line(edit), typed);
    EXPECT_EQ(spinner.GetPos32(), position) << typed;
  }
}

TEST(Spinner, ArrowWritesTheValueOnceWithoutEcho) {
  Host host;
  CLXEdit<double> edit;
  Attach(edit, host, -10.0, 10.0, L"%0#.2f", 0.0);
  CLXSpinner<double> spinner;
  ASSERT_TRUE(spinner.SubclassDlgItem(102, &host));
  spinner.SetStepCount(20);
  spinner.SetBuddy(&edit);
  spinner.SetPos(10);
  UpdateCounter counter;
  edit.AddNotifyTarget(&counter);
  qlw::WidgetOf(spinner.m_hWnd)->findChild<QToolButton*>("up")->click();
  // The edit shows the mapped value in its own format, not the position the up-down holds.
  EXPECT_EQ(Text(edit), CString(L"1.00"));
  EXPECT_EQ(spinner.GetPos32(), 11);
  EXPECT_EQ(counter.count, 1);
}

TEST(Spinner, IntegerRangesComputeInSixtyFourBitsAndDegenerateOnesWriteNothing) {
  Host host;
  CLXEdit<int> edit;
  Attach(edit, host, 0, 1000000, nullptr, 0);
  CLXSpinner<int> spinner;
  ASSERT_TRUE(spinner.SubclassDlgItem(102, &host));
  spinner.SetStepCount(10000);
  spinner.SetBuddy(&edit);
  spinner.SetPos(9999);
  EXPECT_EQ(edit.m_value, 999900);
  edit.SetValue(500000, false);
  EXPECT_EQ(spinner.GetPos32(), 5000);

  int position = 0;
  edit.m_min = edit.m_max = 7;  // empty range
  EXPECT_FALSE(spinner.ValueToPosition(7, position));
  int value = 0;
  EXPECT_FALSE(spinner.PositionToValue(3, value));
  edit.m_max = 100;
  spinner.SetStepCount(0);
  EXPECT_FALSE(spinner.PositionToValue(0, value));
  CLXSpinner<double> unbound;
  double d = 0;
  EXPECT_FALSE(unbound.PositionToValue(1, d));  // no steps yet
}

TEST(Slider, MapsPositionsThroughTheCurveAndBack) {
  Host host;
  CLXEdit<double> edit;
  Attach(edit, host, 0.0, 1.0, L"%0#.4f", 0.0);
  CLXSlider<double> slider;
  ASSERT_TRUE(slider.SubclassDlgItem(103, &host));
  slider.SetRange(0, 100);
  slider.m_buddy = &edit;
  edit.AddNotifyTarget(&slider);
  slider.OnScroll(TB_THUMBTRACK, 37);
  EXPECT_EQ(Text(edit), CString(L"0.3700"));
  edit.SetValue(0.57, false);
  EXPECT_EQ(slider.GetPos(), 57);
  slider.m_exponent = 2;
  slider.OnScroll(TB_THUMBPOSITION, 37);
  EXPECT_EQ(Text(edit), CString(L"0.1369"));
  edit.SetValue(0.25, false);
  EXPECT_EQ(slider.GetPos(), 50);
  slider.OnScroll(TB_ENDTRACK, 90);
  EXPECT_EQ(Text(edit), CString(L"0.2500"));
}

TEST(Slider, WindowFollowsTypedValuesNotThumbMoves) {
  Host host;
  CLXEdit<double> edit;
  Attach(edit, host, 0.0, 100.0, L"%0#.2f", 0.0);
  CLXSlider<double> slider;
  ASSERT_TRUE(slider.SubclassDlgItem(103, &host));
  slider.SetRange(0, 100);
  slider.m_buddy = &edit;
  slider.m_windowWidth = 2;
  edit.AddNotifyTarget(&slider);
  ::SetFocus(edit.m_hWnd);
  edit.SetSel(0, -1);
  QTest::keyClicks(Line(edit), "50");
  EXPECT_DOUBLE_EQ(slider.m_windowLow, 49.0);
  EXPECT_DOUBLE_EQ(slider.m_windowHigh, 51.0);
  EXPECT_EQ(slider.GetPos(), 50);
  slider.OnScroll(TB_THUMBTRACK, 75);
  EXPECT_EQ(Text(edit), CString(L"50.50"));
  EXPECT_DOUBLE_EQ(slider.m_windowLow, 49.0);
  edit.SetSel(0, -1);
  QTest::keyClicks(Line(edit), "0.5");
  EXPECT_DOUBLE_EQ(slider.m_windowLow, 0.0);
  EXPECT_DOUBLE_EQ(slider.m_windowHigh, 2.0);
}

TEST(Slider, RelativeWindowUsesTheMagnitudeAndAZeroWidthTheWholeRange) {
  Host host;
  CLXEdit<double> edit;
  Attach(edit, host, -100.0, 0.0, L"%0#.2f", -50.0);
  CLXSlider<double> slider;
  ASSERT_TRUE(slider.SubclassDlgItem(103, &host));
  slider.SetRange(0, 100);
  slider.m_buddy = &edit;
  slider.m_windowWidth = 1;
  slider.m_relativeWindow = true;
  edit.AddNotifyTarget(&slider);
  edit.SetValue(-50.0, true);
  EXPECT_DOUBLE_EQ(slider.m_windowLow, -55.0);
  EXPECT_DOUBLE_EQ(slider.m_windowHigh, -45.0);
  EXPECT_EQ(slider.GetPos(), 50);
  edit.SetValue(0.0, true);
  EXPECT_DOUBLE_EQ(slider.m_windowLow, -100.0);
  EXPECT_DOUBLE_EQ(slider.m_windowHigh, 0.0);
  EXPECT_EQ(slider.GetPos(), 100);
}

TEST(Slider, SpansItsOwnRangeWithinAWiderEdit) {
  Host host;
  CLXEdit<double> edit;
  Attach(edit, host, 0.0005, 1000.0, L"%0#.4f", 1.0);
  CLXSlider<double> slider;
  ASSERT_TRUE(slider.SubclassDlgItem(103, &host));
  slider.SetRange(0, 100);
  slider.m_buddy = &edit;
  slider.m_exponent = 2;
  slider.m_spanLow = 0.0005;
  slider.m_spanHigh = 1.0;
  edit.AddNotifyTarget(&slider);
  edit.SetValue(0.0005 + 0.9995 * 0.36, false);
  EXPECT_EQ(slider.GetPos(), 60);
  edit.SetValue(1.0, false);
  EXPECT_EQ(slider.GetPos(), 100);
  // The edit takes a value beyond the span; the thumb stays at the end.
  edit.SetValue(500.0, false);
  EXPECT_EQ(edit.m_value, 500.0);
  EXPECT_EQ(slider.GetPos(), 100);
  slider.OnScroll(TB_THUMBTRACK, 50);
  EXPECT_EQ(Text(edit), CString(L"0.2504"));
}

TEST(Slider, IntegerSliderKeepsWholeWindowEnds) {
  Host host;
  CLXEdit<int> edit;
  Attach(edit, host, 0, 1000, nullptr, 0);
  CLXSlider<int> slider;
  ASSERT_TRUE(slider.SubclassDlgItem(103, &host));
  slider.SetRange(0, 100);
  slider.m_buddy = &edit;
  slider.m_windowWidth = 101;  // half width 50 in integer division
  edit.AddNotifyTarget(&slider);
  edit.SetValue(500, true);
  EXPECT_EQ(slider.m_windowLow, 450);
  EXPECT_EQ(slider.m_windowHigh, 550);
  EXPECT_EQ(slider.GetPos(), 50);
  slider.OnScroll(TB_THUMBTRACK, 75);
  EXPECT_EQ(edit.m_value, 525);  // 100 × 0.75 + 450, truncated
  edit.SetValue(990, true);
  EXPECT_EQ(slider.m_windowLow, 899);
  EXPECT_EQ(slider.m_windowHigh, 1000);
}

// Pixels of the edit painted in the selection colour.
int SelectionPixels(QLineEdit* line) {
  const QImage image = line->grab().toImage();
  const QRgb highlight = QApplication::palette().color(QPalette::Active, QPalette::Highlight).rgb();
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == highlight;
  return count;
}

TEST(NumericEdit, ShowsItsSelectionOnlyWhileItHasTheFocus) {
  Host host;
  ASSERT_TRUE(ShowActive(host));
  CLXEdit<double> edit;
  Attach(edit, host, 0.0, 10.0, L"%0#.4f", 1.5);
  edit.SetSel(0, -1);
  ::SetFocus(host.GetDlgItem(104)->m_hWnd);
  // A pane selects a field's text after each refresh: unfocused, it must not look chosen.
  EXPECT_EQ(SelectionPixels(Line(edit)), 0);
  ::SetFocus(edit.m_hWnd);
  edit.SetSel(0, -1);
  EXPECT_GT(SelectionPixels(Line(edit)), 20);
  ::SetFocus(host.GetDlgItem(104)->m_hWnd);
  edit.SetSel(0, -1);
  EXPECT_EQ(SelectionPixels(Line(edit)), 0);
}

// Tab goes from a numeric field to the next field: the spinner's arrows are for the mouse, as an
// up-down beside its buddy is, and a typed number must not land on them.
TEST(Spinner, TabSkipsItsArrows) {
  graphicstest::EnsureApp();
  static const bool added = qlw::AddResourceText(R"(
DIALOG 9989 "Tab"
  ROW
    EDIT 101 ""
    SPIN 102 ""
  END
  ROW
    EDIT 105 ""
    SPIN 106 ""
  END
  BUTTON 1 "OK" DEFAULT
END
)");
  ASSERT_TRUE(added);
  CDialog dialog;
  ASSERT_TRUE(dialog.Create(9989, nullptr));
  ASSERT_TRUE(ShowActive(dialog));
  ::SetFocus(dialog.GetDlgItem(101)->m_hWnd);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(::GetFocus(), dialog.GetDlgItem(105)->m_hWnd);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(::GetFocus(), dialog.GetDlgItem(1)->m_hWnd);
  dialog.DestroyWindow();
}
