// The desktop's recently-used list: a file opened or saved by the program is added with its type
// and the program's name, other programs' entries stay as they were written, and a list that
// cannot be read is never made worse.
#include <gtest/gtest.h>

#include <QString>
#include <QUrl>
#include <QXmlStreamReader>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "AfxApp.h"
#include "RecentDocuments.h"
#include "RecentFileList.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {
// What the list says of one file.
struct Entry {
  int bookmarks = 0;  // how many entries the file has
  std::string mimeType;
  std::string modified;
  std::map<std::string, int> counts;  // program name: count of uses
};

// The list as a reader of the format sees it; false when it is no well-formed list.
bool ReadList(const std::string& text, std::map<std::string, Entry>& out) {
  const QString bookmarkNs = QStringLiteral("http://www.freedesktop.org/standards/desktop-bookmarks");
  const QString mimeNs = QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info");
  QXmlStreamReader reader(QString::fromStdString(text));
  Entry* current = nullptr;
  while (!reader.atEnd()) {
    if (reader.readNext() != QXmlStreamReader::StartElement) continue;
    if (reader.name() == QLatin1String("bookmark") && reader.namespaceUri().isEmpty()) {
      const std::string path = QUrl::fromEncoded(reader.attributes().value("href").toUtf8()).toLocalFile().toStdString();
      current = &out[path];
      ++current->bookmarks;
      current->modified = reader.attributes().value("modified").toString().toStdString();
    } else if (current && reader.namespaceUri() == mimeNs && reader.name() == QLatin1String("mime-type")) {
      current->mimeType = reader.attributes().value("type").toString().toStdString();
    } else if (current && reader.namespaceUri() == bookmarkNs && reader.name() == QLatin1String("application")) {
      current->counts[reader.attributes().value("name").toString().toStdString()] =
          reader.attributes().value("count").toInt();
    }
  }
  return !reader.hasError();
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

class RecentDocuments : public testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::path(qlwtest::ScratchDir()) / "recent" / testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    setenv("XDG_DATA_HOME", m_dir.c_str(), 1);
  }
  void TearDown() override { setenv("XDG_DATA_HOME", (fs::path(qlwtest::ScratchDir()) / "data").c_str(), 1); }
  std::string List() const { return (m_dir / "recently-used.xbel").string(); }
  qlw::RecentUse Use(const std::string& path, const std::string& mime = "chemical/x-cif") const {
    return {path, mime, "Quillonographic", "'/opt/q/quillonographic' %u", 1800000000};
  }
  void Write(const std::string& text) const { std::ofstream(List(), std::ios::binary) << text; }
  fs::path m_dir;
};

// Another program's list, written with comments and names beyond ASCII, in that program's style.
const char kOthersList[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<xbel version=\"1.0\"\n"
    "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
    "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n"
    ">\n"
    "  <!-- kept by the editor -->\n"
    "  <bookmark href=\"file:///home/u/Na%C3%AFve%20notes.txt\" added=\"2024-01-02T03:04:05.000006Z\" "
    "modified=\"2024-01-02T03:04:05.000006Z\" visited=\"2024-01-02T03:04:05.000006Z\">\n"
    "    <info>\n"
    "      <metadata owner=\"http://freedesktop.org\">\n"
    "        <mime:mime-type type=\"text/plain\"/>\n"
    "        <bookmark:applications>\n"
    "          <bookmark:application name=\"Editor\" exec=\"&apos;editor %u&apos;\" "
    "modified=\"2024-01-02T03:04:05.000006Z\" count=\"2\"/>\n"
    "        </bookmark:applications>\n"
    "      </metadata>\n"
    "    </info>\n"
    "  </bookmark>\n"
    "  <bookmark href=\"file:///data/%E2%98%83/rutile.cif\" added=\"2024-01-02T03:04:05Z\" "
    "modified=\"2024-01-02T03:04:05Z\" visited=\"2024-01-02T03:04:05Z\">\n"
    "    <info>\n"
    "      <metadata owner=\"http://freedesktop.org\">\n"
    "        <mime:mime-type type=\"chemical/x-cif\"/>\n"
    "        <bookmark:applications>\n"
    "          <bookmark:application name=\"Viewer\" exec=\"&apos;viewer %u&apos;\" "
    "modified=\"2024-01-02T03:04:05Z\" count=\"1\"/>\n"
    "        </bookmark:applications>\n"
    "      </metadata>\n"
    "    </info>\n"
    "  </bookmark>\n"
    "</xbel>\n";

// The editor's entry as written above.
std::string EditorsEntry() {
  const std::string all = kOthersList;
  const size_t from = all.find("  <!--");
  const size_t to = all.find("  <bookmark href=\"file:///data");
  return all.substr(from, to - from);
}
}  // namespace

TEST_F(RecentDocuments, AFirstFileStartsTheList) {
  ASSERT_TRUE(qlw::AddRecentlyUsed(Use("/data/a.cif")));
  std::map<std::string, Entry> entries;
  ASSERT_TRUE(ReadList(Slurp(List()), entries)) << Slurp(List());
  ASSERT_EQ(entries.size(), 1u);
  const Entry& e = entries["/data/a.cif"];
  EXPECT_EQ(e.mimeType, "chemical/x-cif");
  EXPECT_EQ(e.counts, (std::map<std::string, int>{{"Quillonographic", 1}}));
  EXPECT_EQ(e.modified.substr(0, 19), "2027-01-15T08:00:00");
  struct stat st {};
  ASSERT_EQ(stat(List().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the list says what the user worked on";
}

// Each case adds one use to the other program's list; what the other program wrote stays.
TEST_F(RecentDocuments, AUseJoinsTheListAndLeavesOtherProgramsEntriesAsWritten) {
  const struct {
    const char* path;
    int bookmarks;
    std::map<std::string, int> counts;
  } cases[] = {
      {"/data/b.cif", 1, {{"Quillonographic", 1}}},                            // a file new to the list
      {"/data/\xE2\x98\x83/rutile.cif", 1, {{"Viewer", 1}, {"Quillonographic", 1}}},  // another program's file
  };
  for (const auto& c : cases) {
    Write(kOthersList);
    ASSERT_TRUE(qlw::AddRecentlyUsed(Use(c.path))) << c.path;
    const std::string after = Slurp(List());
    std::map<std::string, Entry> entries;
    ASSERT_TRUE(ReadList(after, entries)) << after;
    EXPECT_EQ(entries[c.path].bookmarks, c.bookmarks) << c.path;
    EXPECT_EQ(entries[c.path].counts, c.counts) << c.path;
    EXPECT_EQ(entries[c.path].modified.substr(0, 19), "2027-01-15T08:00:00") << c.path;
    EXPECT_NE(after.find(EditorsEntry()), std::string::npos) << after;
    EXPECT_EQ(entries["/home/u/Na\xC3\xAFve notes.txt"].counts, (std::map<std::string, int>{{"Editor", 2}}));
  }
}

TEST_F(RecentDocuments, UsingAFileAgainCountsTheUseInItsOneEntry) {
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(qlw::AddRecentlyUsed(Use("/data/a.cif")));
  std::map<std::string, Entry> entries;
  ASSERT_TRUE(ReadList(Slurp(List()), entries));
  EXPECT_EQ(entries["/data/a.cif"].bookmarks, 1);
  EXPECT_EQ(entries["/data/a.cif"].counts, (std::map<std::string, int>{{"Quillonographic", 3}}));
}

TEST_F(RecentDocuments, AListThatCannotBeReadIsLeftAsItIs) {
  const std::string cases[] = {
      std::string(kOthersList).substr(0, 400),                             // cut short
      "<?xml version=\"1.0\"?>\n<bookmarks><bookmark href=\"file:///x\"/></bookmarks>\n",  // not a list
      std::string(kOthersList).replace(std::string(kOthersList).find("Na%C3%AFve"), 2, "\xFF\xFE"),  // not UTF-8
  };
  for (const std::string& text : cases) {
    Write(text);
    EXPECT_FALSE(qlw::AddRecentlyUsed(Use("/data/a.cif")));
    EXPECT_EQ(Slurp(List()), text);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1) << "no file left beside it";
}

// Writers that meet lose none of each other's files, and nobody reads half a list.
TEST_F(RecentDocuments, UsesAtTheSameTimeAllArrive) {
  Write(kOthersList);
  std::vector<std::thread> writers;
  for (int t = 0; t < 6; ++t)
    writers.emplace_back([this, t] {
      for (int i = 0; i < 5; ++i)
        qlw::AddRecentlyUsed(Use("/data/w" + std::to_string(t) + "-" + std::to_string(i) + ".cif"));
    });
  bool alwaysWhole = true;
  for (int i = 0; i < 50; ++i) {
    std::map<std::string, Entry> seen;
    alwaysWhole = ReadList(Slurp(List()), seen) && alwaysWhole;
  }
  for (std::thread& w : writers) w.join();
  EXPECT_TRUE(alwaysWhole);
  std::map<std::string, Entry> entries;
  ASSERT_TRUE(ReadList(Slurp(List()), entries));
  EXPECT_EQ(entries.size(), 2u + 30u);
}

// The class library's list: ten files at most, newest first, kept in the registry for the next start.
TEST_F(RecentDocuments, TheRecentFileListKeepsTheTenNewestFilesForTheNextStart) {
  CWinApp app(L"RecentTest");
  app.SetRegistryKey(L"Lumaxisworks Software Test");
  app.LoadStdProfileSettings(10);
  for (int i = 1; i <= 12; ++i) app.AddToRecentFileList(CString(("/data/f" + std::to_string(i) + ".cif").c_str()));
  app.AddToRecentFileList(L"/data/f5.cif");
  app.LoadStdProfileSettings(10);  // the next start
  ASSERT_NE(app.m_pRecentFileList, nullptr);
  const CRecentFileList& list = *app.m_pRecentFileList;
  std::vector<std::string> names;
  for (int i = 0; i < list.GetSize(); ++i) names.push_back(list[i].ToUtf8());
  EXPECT_EQ(names, (std::vector<std::string>{"/data/f5.cif", "/data/f12.cif", "/data/f11.cif", "/data/f10.cif",
                                             "/data/f9.cif", "/data/f8.cif", "/data/f7.cif", "/data/f6.cif",
                                             "/data/f4.cif", "/data/f3.cif"}));
  std::map<std::string, Entry> entries;
  ASSERT_TRUE(ReadList(Slurp(List()), entries));
  EXPECT_EQ(entries.size(), 12u) << "the desktop's list has no limit of ten";
  EXPECT_EQ(entries["/data/f5.cif"].counts, (std::map<std::string, int>{{"RecentTest", 2}}));
}
