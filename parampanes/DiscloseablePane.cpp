// The inspector pane base: header, disclosure, the update lock and the change handlers.
#include "DiscloseablePane.h"

#include <QLayout>
#include <QPushButton>
#include <QWidget>

#include <algorithm>

#include "LXGdiplus.h"
#include "LXImages.h"
#include "LXMessage.h"
#include "LXText.h"
#include "LXUtils.h"
#include "ParametersPane.h"
#include "QlwDoc.h"
#include "Resources.h"
#include "UpdateHint.h"
#include "WndQt.h"

namespace {
constexpr UINT kClosedTriangle = 3004;
constexpr UINT kOpenTriangle = 3006;
constexpr UINT kColourChosen = 0x7EC;

}  // namespace

BEGIN_MESSAGE_MAP(CPaneEditRelay, CWnd)
  ON_REGISTERED_MESSAGE(g_msgLXEditUpdateSync, &CPaneEditRelay::OnEditUpdate)
  ON_REGISTERED_MESSAGE(g_msgLXEditUpdateAsync, &CPaneEditRelay::OnEditUpdate)
END_MESSAGE_MAP()

LRESULT CPaneEditRelay::OnEditUpdate(WPARAM, LPARAM) {
  if (m_pane) m_pane->OnControlChanged();
  return 1;
}

// ---- CDiscloseablePane ---------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CDiscloseablePane, CDialogPane)

BEGIN_MESSAGE_MAP(CDiscloseablePane, CDialogPane)
  ON_WM_ERASEBKGND()
  ON_WM_SIZE()
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedSync, &CDiscloseablePane::OnAlphaButtonChanged)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedAsync, &CDiscloseablePane::OnAlphaButtonChanged)
  ON_MESSAGE(kColourChosen, &CDiscloseablePane::OnColorChosen)
END_MESSAGE_MAP()

CDiscloseablePane::CDiscloseablePane(UINT headerId, UINT templateId, CWnd* parent)
    : CDialogPane(templateId, parent), m_headerId(headerId) {
  m_manageOKButton = false;
  // The dialog pane level (its OnInitDialog frees one) and this one.
  LockUpdates();
  LockUpdates();
}

CWnd* CDiscloseablePane::EditRelay() {
  if (!m_editRelay.m_hWnd) {
    m_editRelay.m_pane = this;
    m_editRelay.CreateEx(0, nullptr, L"", WS_CHILD, CRect(0, 0, 0, 0), this, 0);
  }
  return &m_editRelay;
}

CDiscloseablePane::~CDiscloseablePane() {
  if (m_editRelay.m_hWnd) m_editRelay.DestroyWindow();
  if (m_header.m_hWnd) m_header.DestroyWindow();
  delete m_closedImage;
  delete m_openImage;
}

void CDiscloseablePane::LockUpdates() {
  ++m_refreshGuard.count;
  m_refreshGuard.held = true;
}

void CDiscloseablePane::UnlockUpdates() { m_refreshGuard.Release(); }

void CDiscloseablePane::DoDataExchange(CDataExchange* dx) {
  CDialogPane::DoDataExchange(dx);
  if (!m_header.m_hWnd) m_header.SubclassDlgItem(m_headerId, this);
}

BOOL CDiscloseablePane::OnInitDialog() {
  const BOOL result = CDialogPane::OnInitDialog();
  UpdateData(FALSE);
  m_closedImage = LoadBitmapResource(kClosedTriangle);
  if (!m_closedImage) throw CLXXCantLoadResource(2, 0, __LINE__);
  m_openImage = LoadBitmapResource(kOpenTriangle);
  if (!m_openImage) throw CLXXCantLoadResource(2, 0, __LINE__);
  m_header.m_closedImage = m_closedImage;
  m_header.m_openImage = m_openImage;
  m_header.SetThemesOff(true);
  m_background.CreateSolidBrush(RGB(251, 251, 251));

  // The header sits across the top outside the layout; the controls are laid out below it and
  // the pane takes the height they ask for at the inspector's width.
  QWidget* self = qlw::WidgetOf(m_hWnd);
  QWidget* header = m_header.m_hWnd ? qlw::WidgetOf(m_header.m_hWnd) : nullptr;
  if (self && self->layout()) {
    QLayout* column = self->layout();
    for (int i = 0; header && i < column->count(); ++i)
      if (QLayout* row = column->itemAt(i)->layout(); row && row->indexOf(header) >= 0) {
        row->removeWidget(header);
        break;
      }
    column->setContentsMargins(10, kHeaderHeight + 4, 8, 6);
    column->setSpacing(4);
    // The style gives every push button with a text 80 px; a row of them needs only their texts.
    for (QPushButton* button : self->findChildren<QPushButton*>())
      if (!button->text().isEmpty())
        button->setMinimumWidth(button->fontMetrics().size(Qt::TextShowMnemonic, button->text()).width() + 16);
    column->activate();
    m_fullWidth = std::max(column->minimumSize().width(), int(kPaneWidth));
    m_fullHeight = LayoutHeight(m_fullWidth);
  }
  if (m_fullHeight <= kHeaderHeight) m_fullHeight = kHeaderHeight + 8;
  SetWindowPos(nullptr, 0, 0, m_fullWidth, m_fullHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (m_header.m_hWnd) m_header.MoveWindow(0, 0, m_fullWidth, kHeaderHeight);
  m_header.SetChecked(true);
  UnlockUpdates();
  CUtils::ShowWindowKeepState(m_hWnd, true);
  return result;
}

CQlwDoc* CDiscloseablePane::GetDocument() const {
  CParametersPane* host = GetHost();
  return host ? dynamic_cast<CQlwDoc*>(host->GetDocument()) : nullptr;
}

CParametersPane* CDiscloseablePane::GetHost() const { return dynamic_cast<CParametersPane*>(m_pParentWnd); }

CString CDiscloseablePane::GetCaption() const {
  CString text;
  if (m_header.m_hWnd) m_header.GetWindowText(text);
  return text;
}

bool CDiscloseablePane::WantsUpdate(CView* sender, const void* hint) {
  if (!sender) return hint != nullptr;
  CParametersPane* host = GetHost();
  return !host || host->m_hWnd != sender->m_hWnd;
}

void CDiscloseablePane::RefreshControls() {
  if (IsUpdateLocked()) return;
  LockUpdates();
  CDialogPane::RefreshControls();
  CPrefScalar<bool>* open = OpenPreference();
  Disclose(open ? open->Get() : true, true);
  UpdateControls(true);
  UnlockUpdates();
}

LRESULT CDiscloseablePane::Disclose(bool open, bool redraw) {
  if (CPrefScalar<bool>* preference = OpenPreference()) preference->Set(open);
  ShowPaneControls(open);
  // Controls shown, hidden or refilled since may need more or less height.
  if (open)
    if (const int need = LayoutHeight(m_fullWidth); need > kHeaderHeight) m_fullHeight = need;
  int height = m_fullHeight;
  if (!open) {
    CRect header;
    m_header.GetWindowRect(&header);
    ScreenToClient(&header);
    height = std::abs(header.Height());
  }
  CRect now;
  GetWindowRect(&now);
  // A refresh that leaves the pane as it is need not make the host lay every pane out again.
  if (now.Width() == m_fullWidth && now.Height() == height && m_header.IsChecked() == open) return 1;
  SetWindowPos(nullptr, 0, 0, m_fullWidth, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  if (redraw && m_header.IsChecked() != open) {
    m_header.SetChecked(open);
    m_header.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  }
  LRESULT answer = 0;
  HWND host = GetHost() ? GetHost()->m_hWnd : LXAppWindows::GetMainWindow();
  CLXMsgTarget(host, g_msgParametersPaneConfig, reinterpret_cast<LPARAM>(this), 0, &answer).Send(CLXMessage::kModeKeep);
  return answer;
}

int CDiscloseablePane::LayoutHeight(int width) const {
  QWidget* self = m_hWnd ? qlw::WidgetOf(m_hWnd) : nullptr;
  QLayout* column = self ? self->layout() : nullptr;
  if (!column) return 0;
  // A hidden pane's layout is not activated when its controls are shown, and its rows would answer
  // with the sizes they had while the controls were hidden.
  column->activate();
  // With wrapped texts the preferred size is measured one line high: the height at this width counts.
  return column->hasHeightForWidth() ? column->heightForWidth(width) : column->sizeHint().height();
}

void CDiscloseablePane::SetPaneWidth(int width) {
  m_fullWidth = width;
  // A collapsed pane's controls are hidden and measure nothing: it keeps its height.
  if (IsOpen())
    if (const int height = LayoutHeight(width); height > kHeaderHeight) m_fullHeight = height;
  CRect r;
  GetWindowRect(&r);
  const int shown = IsOpen() ? m_fullHeight : r.Height();
  SetWindowPos(nullptr, 0, 0, width, shown, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDiscloseablePane::EnableControls(const UINT* ids, bool enable) {
  for (; *ids; ++ids)
    if (HWND control = ::GetDlgItem(m_hWnd, static_cast<int>(*ids))) ::EnableWindow(control, enable ? TRUE : FALSE);
}

void CDiscloseablePane::ShowControls(const UINT* ids, bool show) {
  for (; *ids; ++ids)
    if (HWND control = ::GetDlgItem(m_hWnd, static_cast<int>(*ids))) CUtils::ShowWindowKeepState(control, show);
  if (!show) return;
  // Filling the controls is a refresh: the edits it rewrites must not apply their text back.
  LockUpdates();
  UpdateControls(true);
  UnlockUpdates();
}

void CDiscloseablePane::OnHeaderClicked() { Disclose(m_header.IsChecked(), false); }

void CDiscloseablePane::OnControlChanged() {
  if (IsUpdateLocked()) return;
  SetModified(true, false);
  ApplyChanges();
  UpdateControls(false);
}

LRESULT CDiscloseablePane::OnColorChosen(WPARAM, LPARAM) {
  OnControlChanged();
  return 1;
}

void CDiscloseablePane::SendHint(int code) {
  CQlwDoc* doc = GetDocument();
  if (!doc) return;
  CUpdateHint hint(code, doc, GetHost(), false);
  doc->DispatchUpdateHint(hint);
}

bool CDiscloseablePane::ApplyFinished(int code) {
  CDialogPane::ApplyChanges();
  SendHint(code);
  return true;
}

BOOL CDiscloseablePane::OnEraseBkgnd(CDC* dc) {
  CRect client;
  GetClientRect(&client);
  dc->FillSolidRect(&client, RGB(251, 251, 251));
  const int width = std::max(1, int(std::lround(double(g_drawDpi) / g_screenDpi)));
  dc->FillSolidRect(client.left, client.bottom - width, client.Width(), width, RGB(0xEE, 0xEE, 0xEE));
  return TRUE;
}

void CDiscloseablePane::OnSize(UINT type, int cx, int cy) {
  CDialogPane::OnSize(type, cx, cy);
  if (m_header.m_hWnd) m_header.MoveWindow(0, 0, cx, kHeaderHeight);
}

LRESULT CDiscloseablePane::OnAlphaButtonChanged(WPARAM wParam, LPARAM) {
  if (wParam == m_headerId) OnHeaderClicked();
  return 0;
}

LRESULT CDiscloseablePane::OnEditUpdate(WPARAM, LPARAM) {
  OnControlChanged();
  return 1;
}
