// The help viewer: which addresses are help pages, where links go, Back and Fwd, the missing help
// folder, and the record it shares with other instances.
#include "LXHelpViewer.h"
#include "WidgetApp.h"

#include <QTextBrowser>
#include <QUrl>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "Preferences.h"
#include "StaticInit.h"
#include "TestSupport.h"
#include "Utf16.h"
#include "WndQt.h"
#include "testing/ProcessRecorder.h"

namespace fs = std::filesystem;

namespace {
void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

// A help folder with a home page, one page, a text file, and a link that leads outside; beside it
// folders whose names begin like the help folder's.
struct HelpFixture {
  fs::path root, help;
  HelpFixture() {
    root = fs::path(qlwtest::ScratchDir()) / "helpviewer";
    help = root / "Help";
    fs::remove_all(root);
    Write(help / "index.html",
          "<html><body><a href=\"pages/a.html\">A</a> <a href=\"https://example.org/x\">web</a>"
          " <a href=\"javascript:void(0)\">script</a></body></html>");
    Write(help / "pages" / "a.html", "<html><body>Page A</body></html>");
    Write(help / "notes.txt", "text");
    Write(root / "Help-old" / "x.html", "<html></html>");
    Write(root / "help" / "x.html", "<html></html>");
    Write(root / "outside.html", "<html></html>");
    fs::create_symlink(root / "outside.html", help / "link.html");
    setenv("QLW_HELP_DIR", help.c_str(), 1);
  }
  ~HelpFixture() { unsetenv("QLW_HELP_DIR"); }
  std::string Url(const fs::path& path) const { return QUrl::fromLocalFile(QString::fromStdString(path.string())).toString(QUrl::FullyEncoded).toStdString(); }
};

void EnsureApp() {
  qlwtest::EnsureWidgetApp("test_windows");
  if (!g_pPreferences) CPreferences::Create(true);
}

QTextBrowser* BrowserOf(CLXHelpViewer* viewer) {
  QWidget* host = qlw::WidgetOf(::GetDlgItem(viewer->m_hWnd, CLXHelpViewer::kBrowserId));
  return host ? host->findChild<QTextBrowser*>() : nullptr;
}

std::string Location(CLXHelpViewer* viewer) { return viewer->GetLocationURL().ToUtf8(); }
bool Enabled(CLXHelpViewer* viewer, int id) { return ::IsWindowEnabled(::GetDlgItem(viewer->m_hWnd, id)) != FALSE; }

// The viewer of the process is kept for the run; each test starts it afresh.
CLXHelpViewer* FreshViewer() {
  if (CLXHelpViewer* old = CLXHelpViewer::Get()) old->DestroyWindow();
  return CLXHelpViewer::ShowHelp();
}
}  // namespace

TEST(LXHelpViewer, HelpPagesAreFilesOfTheFolderComparedByWholeCanonicalPath) {
  EnsureApp();
  HelpFixture fixture;
  CLXHelpViewer* viewer = FreshViewer();
  ASSERT_NE(viewer, nullptr);
  struct Case {
    std::string url;
    bool help;
  };
  const Case cases[] = {
      {(fixture.help / "index.html").string(), true},
      {fixture.Url(fixture.help / "pages" / "a.html"), true},
      {(fixture.help / "pages" / ".." / "index.html").string(), true},
      {(fixture.root / "Help-old" / "x.html").string(), false},  // a sibling that shares the prefix
      {(fixture.root / "help" / "x.html").string(), false},      // another folder in another case
      {(fixture.help / "link.html").string(), false},            // leads outside
      {(fixture.help / "notes.txt").string(), false},            // not a page
      {(fixture.help / "missing.html").string(), false},
      {fixture.help.string(), false},
      {"https://example.org/index.html", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(viewer->IsHelpPage(CString(c.url.c_str())), c.help) << c.url;
}

TEST(LXHelpViewer, FollowsHelpLinksAndHandsOthersToTheDesktop) {
  EnsureApp();
  HelpFixture fixture;
  CLXHelpViewer* viewer = FreshViewer();
  ASSERT_NE(viewer, nullptr);
  QTextBrowser* browser = BrowserOf(viewer);
  ASSERT_NE(browser, nullptr);
  const std::string home = fixture.Url(fixture.help / "index.html");
  EXPECT_EQ(Location(viewer), home);
  EXPECT_FALSE(Enabled(viewer, CLXHelpViewer::kBackId));
  EXPECT_FALSE(Enabled(viewer, CLXHelpViewer::kForwardId));
  EXPECT_TRUE(Enabled(viewer, CLXHelpViewer::kHomeId));
  EXPECT_FALSE(::IsWindowVisible(viewer->m_hWnd));  // "HelpWinVisible" is off

  qlw::testing::ProcessRecorder launches;
  // A page outside the folder goes to the desktop; the viewer stays where it was.
  browser->setSource(QUrl(QStringLiteral("https://example.org/x")));
  EXPECT_EQ(Location(viewer), home);
  ASSERT_EQ(launches.Records().size(), 1u);
  EXPECT_EQ(launches.Records()[0].program, L"xdg-open");
  // A script link is let through but has nothing to run.
  browser->setSource(QUrl(QStringLiteral("javascript:void(0)")));
  EXPECT_EQ(Location(viewer), home);
  EXPECT_EQ(launches.Records().size(), 1u);

  browser->setSource(QUrl::fromLocalFile(QString::fromStdString((fixture.help / "pages" / "a.html").string())));
  EXPECT_EQ(Location(viewer), fixture.Url(fixture.help / "pages" / "a.html"));
  EXPECT_TRUE(Enabled(viewer, CLXHelpViewer::kBackId));
  viewer->GoBack();
  EXPECT_EQ(Location(viewer), home);
  EXPECT_FALSE(Enabled(viewer, CLXHelpViewer::kBackId));
  EXPECT_TRUE(Enabled(viewer, CLXHelpViewer::kForwardId));
  viewer->GoForward();
  viewer->GoHome();
  EXPECT_EQ(Location(viewer), home);

  // ShowPage shows help pages only.
  EXPECT_FALSE(viewer->ShowPage(CString((fixture.root / "outside.html").c_str()), true));
  EXPECT_FALSE(::IsWindowVisible(viewer->m_hWnd));
  EXPECT_TRUE(viewer->ShowPage(CString((fixture.help / "pages" / "a.html").c_str()), true));
  EXPECT_TRUE(::IsWindowVisible(viewer->m_hWnd));
  EXPECT_TRUE(viewer->m_shown);
}

// The viewer is made hidden at start-up: only showing it reports the missing help, and only once;
// it then comes up empty with Home disabled.
TEST(LXHelpViewer, WithoutAHelpFolderShowsEmptyAndReportsOnce) {
  EnsureApp();
  setenv("QLW_HELP_DIR", (fs::path(qlwtest::ScratchDir()) / "no-such-help").c_str(), 1);
  testing::internal::CaptureStderr();
  CLXHelpViewer* viewer = FreshViewer();
  const std::string atCreation = testing::internal::GetCapturedStderr();
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(atCreation.find(qlwtest::AlertMessage(20795)), std::string::npos) << atCreation;

  testing::internal::CaptureStderr();
  EXPECT_FALSE(viewer->ShowPage(CString(), true));
  const std::string firstShow = testing::internal::GetCapturedStderr();
  EXPECT_NE(firstShow.find(qlwtest::AlertMessage(20795)), std::string::npos) << firstShow;
  EXPECT_TRUE(::IsWindowVisible(viewer->m_hWnd));
  testing::internal::CaptureStderr();
  viewer->ShowPage(CString(), true);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  unsetenv("QLW_HELP_DIR");
  EXPECT_TRUE(viewer->GetHomePage().IsEmpty());
  EXPECT_FALSE(Enabled(viewer, CLXHelpViewer::kHomeId));
  EXPECT_TRUE(Location(viewer).empty());
}

TEST(LXHelpViewer, SharedRecordCarriesPlaceVisibilityAndPageAndAdoptsHelpPagesOnly) {
  EnsureApp();
  HelpFixture fixture;
  CLXHelpViewer* viewer = FreshViewer();
  ASSERT_NE(viewer, nullptr);
  ASSERT_EQ(viewer->GetSyncStateSize(), 4216u);
  viewer->MoveWindow(40, 50, 300, 200, FALSE);
  std::vector<uint8_t> record(4216, 0xEE);
  viewer->FillSyncState(record.data());
  EXPECT_EQ(std::memcmp(record.data(), &g_helpViewerGuid.Get(), 16), 0);
  int32_t rect[4];
  std::memcpy(rect, record.data() + 24, 16);
  RECT window{};
  viewer->GetWindowRect(&window);
  EXPECT_EQ(rect[0], window.left);
  EXPECT_EQ(rect[3], window.bottom);
  EXPECT_EQ(record[41], 0);  // not shown
  const std::wstring url = qlw::FromUtf16LE(record.data() + 42, 2 * 2083).c_str();
  EXPECT_EQ(qlw::ToUtf8(url), fixture.Url(fixture.help / "index.html"));
  EXPECT_EQ(record[4210], 0);
  EXPECT_EQ(record[4215], 0);

  // Another instance's record: its page is adopted and shown, at its place.
  auto put = [&](const std::string& page, bool visible) {
    std::fill(record.begin() + 42, record.end(), 0);
    const std::vector<uint8_t> bytes = qlw::ToUtf16LE(qlw::FromUtf8(page));
    std::memcpy(record.data() + 42, bytes.data(), std::min<size_t>(bytes.size(), 4168));
    const int32_t placed[4] = {60, 70, 420, 370};
    std::memcpy(record.data() + 24, placed, 16);
    record[40] = visible ? 1 : 0;
    record[41] = visible ? 1 : 0;
  };
  put(fixture.Url(fixture.help / "pages" / "a.html"), true);
  viewer->ReadSyncState(record.data());
  EXPECT_EQ(Location(viewer), fixture.Url(fixture.help / "pages" / "a.html"));
  EXPECT_TRUE(::IsWindowVisible(viewer->m_hWnd));
  viewer->GetWindowRect(&window);
  EXPECT_EQ(window.left, 60);
  EXPECT_EQ(window.top, 70);
  EXPECT_TRUE(g_pStore->m_HelpWinVisible.Get());

  // An address that is no help page here is not followed, and nothing is launched for it.
  qlw::testing::ProcessRecorder launches;
  put("file:///etc/passwd", true);
  viewer->ReadSyncState(record.data());
  put(std::string(3000, 'x'), true);  // no terminator within the record's URL field
  viewer->ReadSyncState(record.data());
  EXPECT_EQ(Location(viewer), fixture.Url(fixture.help / "pages" / "a.html"));
  EXPECT_TRUE(launches.Records().empty());

  // Another kind of palette's record is ignored; a hidden viewer hides this one.
  record[0] ^= 0xFF;
  put(fixture.Url(fixture.help / "index.html"), false);
  viewer->ReadSyncState(record.data());
  EXPECT_TRUE(::IsWindowVisible(viewer->m_hWnd));
  record[0] ^= 0xFF;
  viewer->ReadSyncState(record.data());
  EXPECT_FALSE(::IsWindowVisible(viewer->m_hWnd));
  EXPECT_FALSE(g_pStore->m_HelpWinVisible.Get());
}
