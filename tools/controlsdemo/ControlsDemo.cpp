// The value-controls demo dialog and its companions.
#include "ControlsDemo.h"

#include <cwchar>
#include <functional>

#include "DiffractionSettings.h"
#include "IDCombo.h"
#include "LXColorButton.h"
#include "LXEdit.h"
#include "LXMessage.h"
#include "LXSlider.h"
#include "LXSpinner.h"

namespace {
std::vector<ControlsDemoPart>& Parts() {
  static std::vector<ControlsDemoPart> parts;
  return parts;
}

// "#AARRGGBB" of a COLORREF, opaque.
CString ColourText(LPARAM colour) {
  const auto c = static_cast<DWORD>(colour);
  CString text;
  text.Format(L"#FF%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  return text;
}

// A label that counts the LXEditUpdate messages of one edit and shows the edit's value.
class CUpdateCounter : public CWnd {
 public:
  std::function<double()> value;
  int count = 0;

 protected:
  LRESULT OnEditUpdate(WPARAM, LPARAM) {
    CString text;
    text.Format(L"updates: %d, last: %g", ++count, value ? value() : 0.0);
    SetWindowText(text);
    return 1;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CUpdateCounter, CWnd)
  ON_REGISTERED_MESSAGE(g_msgLXEditUpdateSync, &CUpdateCounter::OnEditUpdate)
  ON_REGISTERED_MESSAGE(g_msgLXEditUpdateAsync, &CUpdateCounter::OnEditUpdate)
END_MESSAGE_MAP()

template <class T>
void SetUpEdit(CLXEdit<T>& edit, int id, CWnd* dialog, T low, T high, const wchar_t* format, T value) {
  edit.SubclassDlgItem(static_cast<UINT>(id), dialog);
  edit.m_min = low;
  edit.m_max = high;
  if (format) edit.SetFormat(format);
  edit.SetValue(value, true);
}

template <class T>
void SetUpSpinner(CLXSpinner<T>& spinner, int id, CWnd* dialog, CLXEdit<T>& edit, int steps) {
  spinner.SubclassDlgItem(static_cast<UINT>(id), dialog);
  spinner.SetStepCount(steps);
  spinner.SetBuddy(&edit);
  int position = 0;
  if (spinner.ValueToPosition(edit.m_value, position)) spinner.SetPos(position);
}

template <class T>
void SetUpSlider(CLXSlider<T>& slider, int id, CWnd* dialog, CLXEdit<T>& edit) {
  slider.SubclassDlgItem(static_cast<UINT>(id), dialog);
  slider.SetRange(0, slider.m_steps, TRUE);
  slider.m_buddy = &edit;
  edit.AddNotifyTarget(&slider);
  slider.SetFromValue(edit.m_value);
}

class CSelfDeletingDemo : public CControlsDemo {
 public:
  using CControlsDemo::CControlsDemo;

 protected:
  void PostNcDestroy() override { delete this; }
};
}  // namespace

bool RegisterControlsDemoPart(ControlsDemoPart part) {
  if (part) Parts().push_back(part);
  return true;
}

struct CControlsDemo::Controls {
  CLXEdit<double> number, spun, squared, windowed, committed;
  CLXEdit<int> integer, bigSpun;
  CLXEdit<unsigned int> whole;
  CLXSpinner<double> spinner;
  CLXSpinner<int> bigSpinner;
  CLXSlider<double> squaredSlider, windowSlider;
  CUpdateCounter numberUpdates, committedUpdates;
  CColorButton blue, green;
  CIDCombo<LXTypes::QLMarkerStyle> markers;
  CIDCombo<LXTypes::QLProfileType> profiles;
  CIDCombo<LXTypes::QLLineStyle> lines;
  // The value selected in a combo, by control id.
  long SelectedValue(UINT id) const {
    if (id == 9313) return static_cast<long>(markers.GetSelectedID());
    if (id == 9314) return static_cast<long>(profiles.GetSelectedID());
    return static_cast<long>(lines.GetSelectedID());
  }
};

BEGIN_MESSAGE_MAP(CControlsDemo, CToolTipDialog)
  ON_BN_CLICKED(9399, &CControlsDemo::OnPressed)
  ON_CONTROL_RANGE(CBN_SELCHANGE, 9313, 9317, &CControlsDemo::OnComboChanged)
  ON_MESSAGE(WM_USER + 1001, &CControlsDemo::OnColourChange)
  ON_MESSAGE(WM_USER + 1002, &CControlsDemo::OnColourOpen)
  ON_MESSAGE(WM_USER + 1003, &CControlsDemo::OnColourClose)
  ON_MESSAGE(WM_USER + 1004, &CControlsDemo::OnColourAccept)
  ON_MESSAGE(WM_USER + 1005, &CControlsDemo::OnColourCancel)
END_MESSAGE_MAP()

CControlsDemo::CControlsDemo(CWnd* parent) : CToolTipDialog(kTemplateId, parent), m_controls(new Controls) {}

CControlsDemo::~CControlsDemo() = default;

BOOL CControlsDemo::OnInitDialog() {
  CToolTipDialog::OnInitDialog();
  SetDefID(9399);
  Controls& c = *m_controls;
  SetUpEdit(c.number, 9301, this, 0.0, 10.0, L"%0#.1f", 5.0);
  c.numberUpdates.SubclassDlgItem(9351, this);
  c.numberUpdates.value = [&c] { return c.number.m_value; };
  c.number.AddNotifyTarget(&c.numberUpdates);

  SetUpEdit(c.spun, 9302, this, -10.0, 10.0, L"%0#.2f", 0.0);
  SetUpSpinner(c.spinner, 9303, this, c.spun, 20);

  SetUpEdit(c.squared, 9304, this, 0.0, 1.0, L"%0#.4f", 0.0);
  c.squaredSlider.m_exponent = 2;
  SetUpSlider(c.squaredSlider, 9305, this, c.squared);

  SetUpEdit(c.windowed, 9306, this, 0.0, 100.0, L"%0#.2f", 0.0);
  c.windowSlider.m_windowWidth = 2;
  SetUpSlider(c.windowSlider, 9307, this, c.windowed);

  c.integer.SubclassDlgItem(9308, this);
  c.integer.SetValue(0, true);
  c.whole.SubclassDlgItem(9309, this);
  c.whole.SetValue(3000000000u, true);

  SetUpEdit(c.bigSpun, 9310, this, 0, 1000000, nullptr, 0);
  SetUpSpinner(c.bigSpinner, 9311, this, c.bigSpun, 10000);

  c.committed.m_options = CLXEdit<double>::kTrimKeepPoint;
  UINT previous = 0;
  c.committed.AddDisplayFlag(previous);
  SetUpEdit(c.committed, 9312, this, 0.0, 100.0, L"%0#.3f", 1.0);
  c.committedUpdates.SubclassDlgItem(9352, this);
  c.committedUpdates.value = [&c] { return c.committed.m_value; };
  c.committed.AddNotifyTarget(&c.committedUpdates);

  c.blue.SubclassDlgItem(9315, this);
  c.blue.SetColor(0xFF0000FFu);
  c.green.SubclassDlgItem(9316, this);
  c.green.SetColor(0xFF00FF00u);
  c.green.SetLivePreview(true);

  c.markers.SubclassDlgItem(9313, this);
  c.markers.Fill(IDComboTables::kMarkerStyles, false);
  c.profiles.SubclassDlgItem(9314, this);
  c.profiles.Fill(IDComboTables::kProfileTypes, true);
  c.lines.SubclassDlgItem(9317, this);
  c.lines.Fill(IDComboTables::kLineStyles, false);
  for (UINT id : {9313u, 9314u, 9317u}) OnComboChanged(id);
  for (ControlsDemoPart part : Parts()) part(this);
  return TRUE;
}

void CControlsDemo::PostNcDestroy() {}

void CControlsDemo::OnPressed() {
  CString text;
  text.Format(L"Pressed %d", ++m_pressed);
  SetDlgItemText(9399, text);
}

void CControlsDemo::OnComboChanged(UINT id) {
  CString text;
  text.Format(L"value: %ld", m_controls->SelectedValue(id));
  SetDlgItemText(static_cast<int>(id) + 40, text);
}

LRESULT CControlsDemo::OnColourMessage(UINT message, WPARAM, LPARAM colour) {
  const wchar_t* names[] = {L"change", L"open", L"close", L"accept", L"cancel"};
  const wchar_t* name = names[message - (WM_USER + 1001)];
  if (message == WM_USER + 1002) m_colourLog.Empty();
  if (!m_colourLog.IsEmpty()) m_colourLog += L", ";
  m_colourLog += name;
  if (message != WM_USER + 1003) m_colourLog += L" " + ColourText(colour);
  SetDlgItemText(9355, m_colourLog);
  return 0;
}

CControlsDemo* OpenControlsDemo(CWnd* parent, bool deleteOnClose) {
  CControlsDemo* demo = deleteOnClose ? new CSelfDeletingDemo(parent) : new CControlsDemo(parent);
  if (!demo->Create(CControlsDemo::kTemplateId, parent)) {
    delete demo;
    return nullptr;
  }
  return demo;
}
