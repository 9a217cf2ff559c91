// The help viewer: one per process, its navigation rules, its preferences and its shared record.
#include "LXHelpViewer.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "LXApp.h"
#include "LXMessage.h"
#include "LXUtils.h"
#include "StaticInit.h"
#include "Utf16.h"

namespace {
CLXHelpViewer* g_helpViewer = nullptr;
constexpr UINT kOpeningLinkText = 1352;

std::filesystem::path PathOf(const CString& text) { return std::filesystem::path(text.ToUtf8()); }

// The help folder: the application's (which QLW_HELP_DIR overrides), or QLW_HELP_DIR alone.
bool FindHelpFolder(CString& out) {
  if (CLXApp* app = CLXApp::GetApp()) return app->GetHelpFolder(out);
  if (const char* forced = std::getenv("QLW_HELP_DIR"); forced && *forced) {
    std::error_code error;
    if (!std::filesystem::is_directory(forced, error)) return false;
    out = CString(forced);
    return true;
  }
  return false;
}

bool IsHtml(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return std::tolower(c); });
  return extension == ".html" || extension == ".htm";
}

void PutInt32(uint8_t* at, int32_t value) { std::memcpy(at, &value, 4); }
int32_t GetInt32(const uint8_t* at) {
  int32_t value = 0;
  std::memcpy(&value, at, 4);
  return value;
}
}  // namespace

IMPLEMENT_DYNAMIC(CLXHelpViewer, CLXPalette)

BEGIN_MESSAGE_MAP(CLXHelpViewer, CLXPalette)
  ON_COMMAND(CLXHelpViewer::kBackId, &CLXHelpViewer::OnBack)
  ON_COMMAND(CLXHelpViewer::kForwardId, &CLXHelpViewer::OnForward)
  ON_COMMAND(CLXHelpViewer::kHomeId, &CLXHelpViewer::OnHome)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedSync, &CLXHelpViewer::OnButton)
  ON_REGISTERED_MESSAGE(g_msgAlphaButtonChangedAsync, &CLXHelpViewer::OnButton)
END_MESSAGE_MAP()

// The image buttons report a click on the bus with their id.
LRESULT CLXHelpViewer::OnButton(WPARAM id, LPARAM) {
  switch (id) {
    case kBackId: GoBack(); break;
    case kForwardId: GoForward(); break;
    case kHomeId: GoHome(); break;
    default: break;
  }
  return 1;
}

CLXHelpViewer::CLXHelpViewer()
    : CLXPalette(kTemplateId),
      m_back(CAlphaButton::kPush, CAlphaButton::kImage, CAlphaButton::kFlat, 0),
      m_forward(CAlphaButton::kPush, CAlphaButton::kImage, CAlphaButton::kFlat, 0),
      m_home(CAlphaButton::kPush, CAlphaButton::kImage, CAlphaButton::kFlat, 0) {
  m_manageOKButton = false;
}

CLXHelpViewer::~CLXHelpViewer() {
  if (g_helpViewer == this) {
    g_helpViewer = nullptr;
    CLXPreferences::SetHelpViewerWriter(nullptr);
  }
}

CLXHelpViewer* CLXHelpViewer::Get() { return g_helpViewer; }

CLXHelpViewer* CLXHelpViewer::ShowHelp() {
  try {
    if (!g_helpViewer) {
      g_helpViewer = new CLXHelpViewer;
      CLXPreferences::SetHelpViewerWriter(g_helpViewer);
    }
    const CRect saved = g_pStore ? g_pStore->m_HelpWinRect.Get() : CRect(0, 0, 0, 0);
    const bool visible = g_pStore && g_pStore->m_HelpWinVisible.Get();
    const RECT rect{saved.left, saved.top, saved.right, saved.bottom};
    g_helpViewer->CreatePalette(&rect, visible ? 1 : 2);
    if (visible) g_helpViewer->ReportMissingHelpOnce();
  } catch (...) {
    // CreatePalette has deleted the viewer; the next call tries again.
    g_helpViewer = nullptr;
    CLXPreferences::SetHelpViewerWriter(nullptr);
    throw;
  }
  return g_helpViewer;
}

void CLXHelpViewer::DoDataExchange(CDataExchange* dx) {
  CLXPalette::DoDataExchange(dx);
  DDX_Control(dx, kBackId, m_back);
  DDX_Control(dx, kForwardId, m_forward);
  DDX_Control(dx, kHomeId, m_home);
}

BOOL CLXHelpViewer::OnInitDialog() {
  CLXPalette::OnInitDialog();
  m_browser = LXHelpViewerQt::AttachBrowser(this, ::GetDlgItem(m_hWnd, kBrowserId), m_back.m_hWnd, m_forward.m_hWnd,
                                            m_home.m_hWnd);
  if (FindHelpFolder(m_helpFolder)) {
    if (m_helpFolder.Right(1) != L"/") m_helpFolder += L"/";
    m_homePage = m_helpFolder + L"index.html";
  }
  m_back.LoadImages(2011);
  m_forward.LoadImages(2012);
  m_home.LoadImages(2014);
  m_back.EnableWindow(FALSE);
  m_forward.EnableWindow(FALSE);
  // The first page loads quietly: a link that is no help page is dropped, not opened.
  m_refreshGuard.Take();
  if (HasHomePage()) Navigate(m_homePage);
  UpdateControls(true);
  m_refreshGuard.Release();
  return FALSE;
}

void CLXHelpViewer::RefreshControls() {
  CLXPalette::RefreshControls();
  UpdateControls(true);
}

void CLXHelpViewer::UpdateControls(bool fromModel) {
  CLXPalette::UpdateControls(fromModel);
  if (m_home.m_hWnd) m_home.EnableWindow(HasHomePage() ? TRUE : FALSE);
}

bool CLXHelpViewer::HasHomePage() const {
  std::error_code error;
  return !m_homePage.IsEmpty() && std::filesystem::is_regular_file(PathOf(m_homePage), error);
}

// The viewer is made hidden at every start; only a viewer that comes into sight says that its help
// is missing, and it says so once in the run.
void CLXHelpViewer::ReportMissingHelpOnce() {
  if (m_missingHelpReported || HasHomePage()) return;
  m_missingHelpReported = true;
  CLXXNoHelp(kLXSeverityMessage, 0, __LINE__).Report();
}

bool CLXHelpViewer::IsHelpPage(const CString& url) const {
  if (url.IsEmpty() || m_helpFolder.IsEmpty()) return false;
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::canonical(PathOf(m_helpFolder), error);
  if (error || !std::filesystem::is_directory(folder, error)) return false;
  CString local;
  if (!CUtils::FileURLToPath(url, local)) local = url;
  const std::filesystem::path page = std::filesystem::canonical(PathOf(local), error);
  if (error || !std::filesystem::is_regular_file(page, error) || !IsHtml(page)) return false;
  // Whole path components: "…/Help-old/x.html" is not inside "…/Help".
  auto p = page.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++p)
    if (p == page.end() || *p != *f) return false;
  return p != page.end();
}

void CLXHelpViewer::Navigate(const CString& url) {
  if (m_browser) LXHelpViewerQt::Navigate(m_browser, url);
}

bool CLXHelpViewer::ShowPage(CString url, bool show) {
  if (url.IsEmpty() && HasHomePage()) url = m_homePage;
  if (!url.IsEmpty()) Navigate(url);
  const bool helpPage = IsHelpPage(url);
  // Without a help folder, or in an empty one, the viewer still comes up, empty, with Home disabled.
  const bool empty = url.IsEmpty();
  if ((helpPage || empty) && show && m_hWnd) {
    m_shown = true;
    ShowWindow(IsIconic() ? SW_RESTORE : (IsZoomed() ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL));
    EnableWindow(TRUE);
    WriteSyncState();
    if (empty) ReportMissingHelpOnce();
  }
  return helpPage;
}

void CLXHelpViewer::GoBack() {
  if (m_browser) LXHelpViewerQt::GoBack(m_browser);
}

void CLXHelpViewer::GoForward() {
  if (m_browser) LXHelpViewerQt::GoForward(m_browser);
}

void CLXHelpViewer::GoHome() { Navigate(m_homePage); }

CString CLXHelpViewer::GetLocationURL() const { return m_browser ? LXHelpViewerQt::LocationURL(m_browser) : CString(); }

bool CLXHelpViewer::BeforeNavigate(const CString& url) {
  if (IsHelpPage(url) || url.Left(11) == L"javascript:") return true;
  if (!m_refreshGuard.held) {
    // A link that nothing opens is said as the Help menu says it; the browser's event is no place
    // for an exception to leave by.
    try {
      CLXApp::OpenHelpDocument(url, kOpeningLinkText);
    } catch (CLXException& error) {
      error.Report();
    }
  }
  return false;
}

void CLXHelpViewer::CommandStateChange(int command, bool enable) {
  CAlphaButton* button = command == kNavigateForward ? &m_forward : (command == kNavigateBack ? &m_back : nullptr);
  if (button && button->m_hWnd) button->EnableWindow(enable ? TRUE : FALSE);
}

void CLXHelpViewer::SaveState() {
  if (m_refreshGuard.held || !g_pStore || !m_hWnd) return;
  RECT rect{};
  GetWindowRect(&rect);
  g_pStore->m_HelpWinRect.Set(CRect(rect.left, rect.top, rect.right, rect.bottom));
  if (m_activeLook) g_pStore->m_HelpWinVisible.Set(IsWindowVisible() != FALSE);
}

void CLXHelpViewer::FillSyncState(void* view) {
  auto* record = static_cast<uint8_t*>(view);
  std::memset(record, 0, kRecordSize);
  std::memcpy(record, &g_helpViewerGuid.Get(), 16);
  const auto handle = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(m_hWnd));
  std::memcpy(record + 16, &handle, 8);
  RECT rect{};
  GetWindowRect(&rect);
  PutInt32(record + 24, rect.left);
  PutInt32(record + 28, rect.top);
  PutInt32(record + 32, rect.right);
  PutInt32(record + 36, rect.bottom);
  record[40] = g_pStore && g_pStore->m_HelpWinVisible.Get() ? 1 : 0;
  record[41] = m_shown ? 1 : 0;
  std::vector<uint8_t> url = qlw::ToUtf16LE(std::wstring_view(GetLocationURL().GetString()));
  size_t bytes = std::min(url.size(), (kUrlUnits - 1) * 2);
  // A pair of surrogates is never cut in two.
  if (bytes >= 2 && bytes < url.size()) {
    const unsigned last = url[bytes - 2] | (url[bytes - 1] << 8);
    if (last >= 0xD800 && last <= 0xDBFF) bytes -= 2;
  }
  std::memcpy(record + kUrlOffset, url.data(), bytes);
}

void CLXHelpViewer::ReadSyncState(const void* view) {
  const auto* record = static_cast<const uint8_t*>(view);
  if (std::memcmp(record, &g_helpViewerGuid.Get(), 16) != 0 || !m_hWnd) return;
  RECT rect{GetInt32(record + 24), GetInt32(record + 28), GetInt32(record + 32), GetInt32(record + 36)};
  // Another instance's screen may be larger: the window is brought onto this one.
  if (!::IsRectEmpty(&rect)) {
    CUtils::FitRECTToMonitor(rect);
    MoveWindow(&rect, TRUE);
  }
  const bool visible = record[40] != 0;
  m_shown = record[41] != 0;
  if (g_pStore) g_pStore->m_HelpWinVisible.Set(visible);
  size_t units = 0;
  while (units < kUrlUnits && (record[kUrlOffset + 2 * units] | record[kUrlOffset + 2 * units + 1]) != 0) ++units;
  const CString url(qlw::FromUtf16LE(record + kUrlOffset, units * 2).c_str());
  // Only pages of this instance's help folder are adopted; any other address is not followed.
  if (IsHelpPage(url)) ShowPage(url, visible);
  if (!m_shown && IsWindowVisible()) ShowWindow(SW_HIDE);
}
