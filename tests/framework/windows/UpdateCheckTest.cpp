// The update check: listed versions, the version file's parser, what is told when, the interval,
// and whole checks against a server of our own on the loopback interface.
#include "UpdateCheck.h"
#include "WidgetApp.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "LXUtils.h"
#include "Preferences.h"
#include "TestSupport.h"
#include "testing/ProcessRecorder.h"

namespace {
const uint32_t k620 = CUtils::VersionFromString(L"6.2.0");
const uint32_t k621 = CUtils::VersionFromString(L"6.2.1");
const uint32_t k700 = CUtils::VersionFromString(L"7.0.0");

std::string VersionFile(const std::string& versions, const std::string& root = "versionfile version=\"1\"") {
  return "<?xml version=\"1.0\"?><" + root +
         "><productlist>"
         "<product name=\"other\"><platform name=\"windows\"><versionlist><version>9.0.0</version></versionlist>"
         "</platform></product>"
         "<product name=\"Quillonographic\"><platform name=\"mac\"><versionlist><version>8.0.0</version>"
         "</versionlist></platform><platform name=\"WINDOWS\">" +
         versions + "</platform></product></productlist></versionfile>";
}

// Answers every connection with one HTTP response and keeps the request it got.
class TinyServer {
 public:
  explicit TinyServer(std::string body, int status = 200) : m_body(std::move(body)), m_status(status) {
    m_server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
      QTcpSocket* socket = m_server.nextPendingConnection();
      QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] {
        request += socket->readAll().toStdString();
        if (request.find("\r\n\r\n") == std::string::npos) return;
        const std::string head = "HTTP/1.1 " + std::to_string(m_status) + " X\r\nContent-Type: text/xml\r\nContent-Length: " +
                                 std::to_string(m_body.size()) + "\r\nConnection: close\r\n\r\n";
        socket->write(QByteArray::fromStdString(head + m_body));
        socket->disconnectFromHost();
      });
    });
    setenv("QLW_UPDATE_URL", ("http://127.0.0.1:" + std::to_string(m_server.serverPort())).c_str(), 1);
  }
  ~TinyServer() { unsetenv("QLW_UPDATE_URL"); }
  std::string request;

 private:
  QTcpServer m_server;
  std::string m_body;
  int m_status;
};

// The alert lines a check wrote (quiet mode).
std::string Check(uint32_t own, bool automatic, bool ignoreInterval) {
  testing::internal::CaptureStderr();
  CUpdateCheck::CheckForUpdates(own, automatic, ignoreInterval);
  return testing::internal::GetCapturedStderr();
}

void Fresh() {
  qlwtest::EnsureWidgetApp("test_windows");
  if (!g_pPreferences) CPreferences::Create(true);
  g_pStore->m_UpdateCheckNotify.Set(true);
  g_pStore->m_UpdateCheckHadInternet.Set(true);
  g_pStore->m_UpdateCheckLastUpdate.Set(0);
  g_pStore->m_UpdateCheckLastUpgrade.Set(0);
}

bool Has(const std::string& text, unsigned id) { return text.find(qlwtest::AlertMessage(id)) != std::string::npos; }
}  // namespace

TEST(UpdateCheck, ListedVersionsPackAndRefuseWhatWouldWrap) {
  EXPECT_EQ(CUpdateCheck::ListedVersion("6.2.1"), 0x060201FFu);
  EXPECT_EQ(CUpdateCheck::ListedVersion("7.0.0"), 0x070000FFu);
  const uint32_t beta = CUpdateCheck::ListedVersion("1.2.3b4");
  CString text;
  CUtils::VersionToString(beta, text);
  EXPECT_EQ(text.ToUtf8(), "1.2.3b4");
  for (const char* bad : {"300.0.0", "1.256.0", "1.2.3b64", "garbage", "", "-1.0.0"})
    EXPECT_EQ(CUpdateCheck::ListedVersion(bad), 0u) << bad;
}

TEST(UpdateCheck, ParserReadsOnlyItsOwnProductAndPlatform) {
  CUpdateCheck::Listing listing;
  ASSERT_TRUE(CUpdateCheck::ParseVersionFile(
      VersionFile("<versionlist><version>6.2.1</version><version> 7.0.0 </version><version>300.0.0</version>"
                  "<version>x</version></versionlist>"),
      k620, listing));
  EXPECT_EQ(listing.newest, k700);
  EXPECT_EQ(listing.newestSameMajor, k621);
  // An empty list lists nothing, and what follows it is not read as its own.
  ASSERT_TRUE(CUpdateCheck::ParseVersionFile(VersionFile("<versionlist/><version>6.9.0</version>"), k620, listing));
  EXPECT_EQ(listing.newest, k620);
  EXPECT_EQ(listing.newestSameMajor, k620);

  struct Case {
    const char* what;
    std::string file;
  };
  const Case bad[] = {
      {"wrong root", VersionFile("<versionlist/>", "versions version=\"1\"")},
      {"file version 2", VersionFile("<versionlist/>", "versionfile version=\"2\"")},
      {"no version attribute", VersionFile("<versionlist/>", "versionfile")},
      {"no list on our platform", VersionFile("")},
      {"version without text", VersionFile("<versionlist><version/></versionlist>")},
      {"empty", ""},
      {"truncated", VersionFile("<versionlist><version>6.2.1</version></versionlist>").substr(0, 60)},
      {"odd-length UTF-16", std::string("\xff\xfe<\0v\0e\0r", 9)},
      {"32 KiB of <", std::string(32768, '<')},
  };
  for (const Case& c : bad) EXPECT_FALSE(CUpdateCheck::ParseVersionFile(c.file, k620, listing)) << c.what;
}

// Whatever a server answers, the parser reads only the bytes it got and refuses what is not a
// plain version file. The first case is an answer on which irrXML once read past its buffer: a
// vertical tab, which it does not take for space, left an attribute name without an end.
TEST(UpdateCheck, HostileAnswersAreRefusedAndPlainOnesStillRead) {
  const std::string good = VersionFile("<versionlist><version>6.2.1</version><version>7.0.0</version></versionlist>");
  const auto with = [&good](const std::string& from, const std::string& to) {
    std::string file = good;
    file.replace(file.find(from), from.size(), to);
    return file;
  };
  // As deep as the largest answer read can nest.
  std::string nested;
  for (size_t i = 0; i < CUpdateCheck::kMaxFileBytes / 7; ++i) nested.insert(3 * i, "<a></a>");
  struct Case {
    const char* what;
    std::string file;
  };
  const Case hostile[] = {
      {"vertical tab in a tag", std::string("\v<v\t\v/>")},
      {"form feed before an empty tag's end", "<v\f/>"},
      {"vertical tab in an end tag", with("</version>", "</version\v>")},
      {"form feed between attributes", with("<versionfile version", "<versionfile\fversion")},
      {"tag left open", "<versionfile version=\"1\""},
      {"attribute value left open", "<versionfile version=\"1></versionfile>"},
      {"attribute without quotes", with("version=\"1\"", "version=1")},
      {"attribute without value", "<versionfile version></versionfile>"},
      {"NUL inside", with("6.2.1", std::string("6.2\0.1", 6))},
      {"NUL after the file", good + std::string(1, '\0')},
      {"<< in text", with("6.2.1", "<<6.2.1")},
      {"comment holding <", with("<productlist>", "<productlist><!-- < -->")},
      {"comment holding >", with("<productlist>", "<productlist><!-- > -->")},
      {"comment left open", "<versionfile version=\"1\"><!-- "},
      {"declaration left open", "<?xml version=\"1.0\""},
      {"CDATA left open", "<versionfile version=\"1\"><![CDATA[6.2.1"},
      {"end tag left open", "<versionfile version=\"1\"></versionfile"},
      {"end tag of another element", with("</versionlist>", "</versionlst>")},
      {"byte-order mark of UTF-16", "\xff\xfe" + good},
      {"elements nested as deep as an answer can", nested},
      {"1 MiB of <a", std::string(1 << 20, '<').replace(1, 1, "a")},
  };
  CUpdateCheck::Listing listing;
  for (const Case& c : hostile) EXPECT_FALSE(CUpdateCheck::ParseVersionFile(c.file, k620, listing)) << c.what;
  // Cut short anywhere, the answer is refused.
  for (size_t n = 0; n < good.size(); ++n)
    EXPECT_FALSE(CUpdateCheck::ParseVersionFile(good.substr(0, n), k620, listing)) << "cut at " << n;

  // What XML allows between the parts of a tag, comments, CDATA and a byte-order mark of UTF-8
  // change nothing in what is read.
  const std::string plain[] = {
      good,
      with("<versionfile version=\"1\">", "<versionfile\r\n\tversion = '1' >"),
      with("<version>6.2.1</version>", "<!-- the update --><version><![CDATA[6.2.1]]></version\n>"),
      "\xEF\xBB\xBF" + good,
  };
  for (const std::string& file : plain) {
    ASSERT_TRUE(CUpdateCheck::ParseVersionFile(file, k620, listing)) << file;
    EXPECT_EQ(listing.newest, k700) << file;
    EXPECT_EQ(listing.newestSameMajor, k621) << file;
  }
}

TEST(UpdateCheck, ManualChecksAlwaysOfferTheUpdateQuietOnesEachVersionOnce) {
  const CUpdateCheck::Listing listing{k700, k621};
  using Tell = CUpdateCheck::Tell;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(CUpdateCheck::Decide(k620, listing, false, true, k621, k700), Tell::Update);
  uint32_t lastUpdate = 0, lastUpgrade = 0;
  std::vector<Tell> told;
  for (int i = 0; i < 3; ++i) {
    const Tell tell = CUpdateCheck::Decide(k620, listing, true, true, lastUpdate, lastUpgrade);
    if (tell == Tell::Update) lastUpdate = listing.newestSameMajor;
    if (tell == Tell::Upgrade) lastUpgrade = listing.newest;
    told.push_back(tell);
  }
  EXPECT_EQ(told, (std::vector<Tell>{Tell::Update, Tell::Upgrade, Tell::Nothing}));
  EXPECT_EQ(CUpdateCheck::Decide(k620, listing, true, false, 0, 0), Tell::Nothing);  // notices off
  EXPECT_EQ(CUpdateCheck::Decide(k700, listing, false, true, 0, 0), Tell::UpToDate);
  EXPECT_EQ(CUpdateCheck::Decide(k700, listing, true, true, 0, 0), Tell::Nothing);
}

TEST(UpdateCheck, IntervalCountsWholeSecondsAndAFutureLastCheckIsDue) {
  EXPECT_DOUBLE_EQ(CUpdateCheck::kHalfSecondDays, 0.5 / 86400);
  const SYSTEMTIME last{2026, 12, 4, 10, 9, 0, 0, 0};
  struct Case {
    SYSTEMTIME now;
    bool due;
  };
  const Case cases[] = {
      {{2026, 12, 4, 11, 9, 0, 0, 0}, false},    // exactly a day
      {{2026, 12, 4, 11, 9, 0, 0, 400}, false},  // under half a second more
      {{2026, 12, 4, 11, 9, 0, 1, 0}, true},
      {{2027, 1, 5, 1, 0, 0, 0, 0}, true},       // across a month and a year
      {{2026, 12, 3, 9, 9, 0, 0, 0}, true},      // the clock was set back
  };
  for (const Case& c : cases) EXPECT_EQ(CUpdateCheck::IsCheckDue(c.now, last, 86400), c.due) << c.now.wDay;
  // A stored interval larger than 32 bits of milliseconds still counts.
  EXPECT_FALSE(CUpdateCheck::IsCheckDue(cases[3].now, last, 4000000000u));
}

TEST(UpdateCheck, AsksTheServerWithItsHeadersAndTellsWhatItFinds) {
  Fresh();
  {
    TinyServer server(VersionFile("<versionlist><version>6.2.1</version><version>7.0.0</version></versionlist>"));
    qlw::testing::ProcessRecorder launches;
    const std::string told = Check(k620, false, false);
    EXPECT_NE(told.find("A newer version (6.2.1)"), std::string::npos) << told;
    EXPECT_NE(server.request.find("GET /support/updates/VersionData.xml HTTP/1.1\r\n"), std::string::npos) << server.request;
    EXPECT_NE(server.request.find("Accept: text/xml\r\n"), std::string::npos);
    EXPECT_NE(server.request.find("Pragma: no-cache\r\n"), std::string::npos);
    EXPECT_NE(server.request.find("User-Agent: quillonographic:W:6.2.0:"), std::string::npos) << server.request;
    // The offer is remembered even from a manual check; from a fresh start, quiet checks tell each
    // version once, then nothing.
    EXPECT_EQ(g_pStore->m_UpdateCheckLastUpdate.Get(), k621);
    g_pStore->m_UpdateCheckLastUpdate.Set(0);
    EXPECT_NE(Check(k620, true, true).find("A newer version (6.2.1)"), std::string::npos);
    EXPECT_NE(Check(k620, true, true).find("Quillonographic 7.0.0 is available."), std::string::npos);
    EXPECT_EQ(Check(k620, true, true), "");
    // Quiet mode answers OK: the page of the offer opens.
    ASSERT_FALSE(launches.Records().empty());
    EXPECT_NE(launches.Records()[0].arguments.back().find(L"/support/updates/"), std::wstring::npos);
    EXPECT_NE(Check(k700, false, false).find("Your copy of Quillonographic is up-to-date."), std::string::npos);
  }
  {
    TinyServer server(VersionFile("<versionlist/>", "versionfile version=\"2\""));
    EXPECT_TRUE(Has(Check(k620, false, false), 20804));
  }
  {
    TinyServer server(std::string(CUpdateCheck::kMaxFileBytes + 100, ' '));
    EXPECT_TRUE(Has(Check(k620, false, false), 20804));
  }
  {
    TinyServer server("\v<v\t\v/>");
    EXPECT_TRUE(Has(Check(k620, false, false), 20804));
  }
  // A server that answers with an error status still answered: its body is no version file.
  for (int status : {404, 500}) {
    TinyServer server("<html><body>Not here</body></html>", status);
    EXPECT_TRUE(Has(Check(k620, false, false), 20804)) << status;
    EXPECT_TRUE(Has(Check(k620, true, true), 20804)) << status << " at start";
    EXPECT_TRUE(g_pStore->m_UpdateCheckHadInternet.Get());
  }
}

TEST(UpdateCheck, WithoutAServerAutomaticChecksReportOnceManualOnesEveryTime) {
  Fresh();
  {
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(closed.serverPort());
    closed.close();  // nobody listens there now: the connection is refused
    setenv("QLW_UPDATE_URL", url.c_str(), 1);
  }
  EXPECT_TRUE(Has(Check(k620, true, true), 20803));
  EXPECT_FALSE(g_pStore->m_UpdateCheckHadInternet.Get());
  EXPECT_EQ(Check(k620, true, true), "");
  EXPECT_TRUE(Has(Check(k620, false, false), 20803));
  EXPECT_TRUE(Has(Check(k620, false, false), 20803));
  // No server named at all: no request; a manual check says it could not ask.
  unsetenv("QLW_UPDATE_URL");
  EXPECT_EQ(Check(k620, true, true), "");
  EXPECT_TRUE(Has(Check(k620, false, false), 20803));
}
