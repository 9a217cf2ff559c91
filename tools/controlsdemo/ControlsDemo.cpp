// The value-controls demo dialog and its companions.
#include "ControlsDemo.h"

#include <cwchar>

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

struct CControlsDemo::Controls {};

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
  text.Format(L"value: %d", static_cast<int>(SendDlgItemMessage(static_cast<int>(id), CB_GETCURSEL)));
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
