// The application's commands in the real window: File > Open and Open in Same Window through the
// file dialog, the update-notice switch and the ids that have no command.
#include "ProbeRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {
const std::string kRutile = std::string(QLW_SOURCE_DIR) + "/examples/rutile.cif";

std::string RunScript(const std::string& name, const std::string& script) {
  const qlwtest::ProbeRun run = qlwtest::RunUiScript(fs::path(qlwtest::ScratchDir()) / ("ui-app-" + name), script);
  EXPECT_EQ(run.status, 0) << run.out;
  return run.out;
}
}  // namespace

// A cancelled Open in Same Window leaves the flag off: the next File > Open of a full window goes
// to a new process, while Open in Same Window adds to this one.
TEST(UiAppCommands, OpenInSameWindowRestoresTheFlag) {
  const std::string quartz = qlwtest::DataPath("Quartz.cif");
  const std::string out = RunScript("same-window",
                                    "state 33278 57601\n"
                                    "files " + kRutile + "\n"
                                    "command 57601\n"
                                    "state 33278\n"
                                    "files\n"
                                    "command 33278\n"
                                    "files " + quartz + "\n"
                                    "command 57601\n"
                                    "files " + quartz + "\n"
                                    "command 33278\n"
                                    "dump\n");
  EXPECT_NE(out.find("> state 33278 57601\ndisabled 33278: Open in Same Window...\n57601: Open...\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("> state 33278\n33278: Open in Same Window...\n"), std::string::npos) << out;
  EXPECT_NE(out.find("> command 57601\nlaunch: quillonographic \"/Embedding\" \"--\" \"" + quartz + "\"\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("> dump\n0 crystal Quartz shown selected\n0 crystal rutile shown selected\nd"), std::string::npos) << out;
}

// The notice switch's check mark follows the preference; two choices give it back. Ids of the
// range without a command are disabled or report that they do not exist yet.
TEST(UiAppCommands, UpdateNoticeSwitchAndUnknownIds) {
  const std::string out = RunScript("range",
                                    "state 32768 32772 32773 32780\n"
                                    "command 32768\n"
                                    "state 32768\n"
                                    "command 32768\n"
                                    "state 32768\n"
                                    "command 32775\n");
  EXPECT_NE(out.find("> state 32768 32772 32773 32780\n32768: [x] \ndisabled 32772: \ndisabled 32773: \ndisabled 32780: \n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("> command 32768\n> state 32768\n32768: \n> command 32768\n> state 32768\n32768: [x] \n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("> command 32775\nalert: The requested feature has not yet been implemented."), std::string::npos)
      << out;
}

// The about box shows the name, the version with the build number (the fourth version part), the
// two notices with a blank line between; Website says that no address is known; OK closes the box.
TEST(UiAppCommands, AboutBoxShowsTheVersionAndClosesWithOK) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-app-about";
  fs::create_directories(folder);
  const fs::path path = folder / "script.txt";
  std::ofstream(path) << "command 57664\nprint 1002 1003 1004\nclick 1012\nclick 1\nprint 1003\n";
  const qlwtest::ProbeRun run = qlwtest::RunShell("cd '" + folder.string() + "' && env -u QLW_REGISTRY_DIR -u QLW_RUNTIME_DIR " +
                                                  qlwtest::ProbeCommand("ui '" + path.string() + "'") + " 2>/dev/null");
  EXPECT_NE(run.out.find("1002: Quillonographic\n1003: version 1.0.0 (300)\n1004: Copyright © 2026 Lumaxisworks "
                         "Software. All rights reserved.\n\nQuillonographic is provided"),
            std::string::npos)
      << run.out;
  // No web site is known: the button says so rather than sending the browser nowhere.
  EXPECT_NE(run.out.find("> click 1012\nalert: " + qlwtest::AlertMessage(20796)), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("launch: "), std::string::npos) << run.out;
  // Once closed, the box's controls are gone.
  EXPECT_NE(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("> print 1003\nerror: "), std::string::npos) << run.out;
}

// F1 and the help pages show in the help viewer from the shipped help folder; web addresses go
// to the desktop; a missing page is reported, and the guides open in the desktop's PDF viewer.
TEST(UiAppCommands, HelpCommandsShowPagesOpenAddressesAndReportWhatIsMissing) {
  const std::string help = std::string(QLW_BIN_DIR) + "/Quillonographic Help/";
  std::string out = RunScript("help",
                              "key F1\nprint 1155\nlink 1155 User's Guide\nlink 1155 Credits\nprint 1155\n"
                              "command 32786\nprint 1155\ncommand 32783\ncommand 32774\nprint 1155\ncommand 32784\ncommand 32782\n"
                              "command 32779\ncommand 32777\n");
  auto url = [&](const std::string& page) {
    std::string encoded = "file://" + help + page;
    for (size_t at = 0; (at = encoded.find(' ', at)) != std::string::npos;) encoded.replace(at, 1, "%20");
    return encoded;
  };
  EXPECT_NE(out.find("> print 1155\n1155: " + url("index.html") + "\n"), std::string::npos) << out;
  EXPECT_NE(out.find("1155: " + url("pages/Credits.html") + "\n"), std::string::npos) << out;
  // The contents page links to the guide beside the help folder, which the desktop opens.
  EXPECT_NE(out.find("> link 1155 User's Guide\nlaunch: xdg-open \"file://" + std::string(QLW_BIN_DIR) +
                     "/Quillonographic%20User's%20Guide.pdf\"\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("> command 32786\n> print 1155\n1155: " + url("pages/EditCrystal.html") + "\n"), std::string::npos)
      << out;
  // Release Notes has no web address: it is the local What's New page. The web site and the
  // support items say plainly that there is no address.
  EXPECT_NE(out.find("> command 32783\nalert: " + qlwtest::AlertMessage(20796)), std::string::npos) << out;
  EXPECT_NE(out.find("> command 32774\n> print 1155\n1155: " + url("pages/WhatsNew.html") + "\n"), std::string::npos) << out;
  EXPECT_NE(out.find("> command 32784\nalert: " + qlwtest::AlertMessage(20796)), std::string::npos) << out;
  EXPECT_NE(out.find("> command 32782\nalert: " + qlwtest::AlertMessage(20796)), std::string::npos) << out;
  // The guides are PDFs that the build lays out beside the program.
  for (const auto& [command, name] : {std::pair{"32779", "Quillonographic User's Guide.pdf"},
                                      std::pair{"32777", "Quillonographic Tutorial.pdf"}}) {
    const std::string path = std::string(QLW_BIN_DIR) + "/" + name;
    EXPECT_NE(out.find(std::string("> command ") + command + "\nlaunch: xdg-open \"" + path + "\"\n"), std::string::npos)
        << out;
    const std::string pdf = qlwtest::Slurp(path);
    EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u) << path;
    size_t pages = 0;
    for (size_t at = 0; (at = pdf.find("/Type /Page\n", at)) != std::string::npos; ++at) ++pages;
    EXPECT_GE(pages, 5u) << path;
  }

  // A help folder that lacks the page of a command.
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "ui-app-help-partial" / "Help";
  fs::create_directories(folder);
  std::ofstream(folder / "index.html") << "<html><body>Home</body></html>";
  const qlwtest::ProbeRun run =
      qlwtest::RunUiScript(folder.parent_path(), "command 32787\nkey F1\nprint 1155\n", "", "",
                           "env -u QLW_REGISTRY_DIR -u QLW_RUNTIME_DIR QLW_HELP_DIR='" + folder.string() + "'");
  EXPECT_NE(run.out.find("> command 32787\nalert: " + qlwtest::AlertMessage(20795)), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("1155: file://" + (folder / "index.html").string()), std::string::npos) << run.out;
}

// F1 in the crystal editor, the data editor and the wavelength dialog shows the page of the
// dialog's Help button, as the button itself does.
TEST(UiAppCommands, F1InADialogShowsThePageOfItsHelpButton) {
  const std::string help = std::string(QLW_BIN_DIR) + "/Quillonographic Help/";
  const struct {
    const char* command;
    const char* page;
  } dialogs[] = {{"33268", "EditCrystal.html"}, {"33269", "ObservedOverview.html"}, {"33485", "ChangeWavelength.html"}};
  std::string script = "open " + kRutile + "\n";
  for (const auto& d : dialogs)
    for (const char* ask : {"key F1", "click 1150"})
      script += std::string("command ") + d.command + "\n" + ask + "\nkey Escape\nprint 1155\n";
  const std::string out = RunScript("dialog-help", script);
  for (const auto& d : dialogs) {
    std::string url = "file://" + help + "pages/" + d.page;
    for (size_t at = 0; (at = url.find(' ', at)) != std::string::npos;) url.replace(at, 1, "%20");
    for (const char* ask : {"key F1", "click 1150"}) {
      const std::string expected = std::string("> command ") + d.command + "\n> " + ask +
                                   "\n> key Escape\n> print 1155\n1155: " + url + "\n";
      EXPECT_NE(out.find(expected), std::string::npos) << d.command << " " << ask << "\n" << out;
    }
  }
}

// A missing or empty help folder: nothing is said at start-up; the first F1 says it once and
// shows the viewer empty with Home disabled; later help commands show it again without a word.
TEST(UiAppCommands, MissingHelpIsReportedOnceAndTheViewerStillComesUp) {
  const fs::path root = fs::path(qlwtest::ScratchDir()) / "ui-app-help-missing";
  fs::create_directories(root / "empty");
  const std::string once = "> key F1\nalert: " + qlwtest::AlertMessage(20795);
  for (const std::string help : {"absent", "empty"}) {
    const qlwtest::ProbeRun run = qlwtest::RunUiScript(
        root / ("run-" + help), "key F1\nprint 1155 1154\nkey F1\ncommand 32785\nprint 1154\n", "", "",
        "env -u QLW_REGISTRY_DIR -u QLW_RUNTIME_DIR QLW_HELP_DIR='" + (root / help).string() + "'");
    EXPECT_EQ(run.status, 0) << help << "\n" << run.out;
    EXPECT_EQ(run.out.rfind(once, 0), 0u) << help << "\n" << run.out;
    EXPECT_EQ(run.out.find("alert: ", once.size()), std::string::npos) << help << "\n" << run.out;
    EXPECT_NE(run.out.find("> print 1155 1154\n1155: \ndisabled 1154: Home\n"), std::string::npos) << help << "\n" << run.out;
  }
}

namespace {
// A version-file server on the loopback interface, answering every request with one file.
class VersionServer {
 public:
  explicit VersionServer(const std::string& body) {
    m_fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    listen(m_fd, 8);
    const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) +
                              "\r\nConnection: close\r\n\r\n" + body;
    m_thread = std::thread([this, reply] {
      for (;;) {
        const int client = accept(m_fd, nullptr, nullptr);
        if (client < 0) return;
        std::string request;
        char buffer[1024];
        ssize_t n;
        while (request.find("\r\n\r\n") == std::string::npos && (n = read(client, buffer, sizeof buffer)) > 0)
          request.append(buffer, static_cast<size_t>(n));
        (void)!write(client, reply.data(), reply.size());
        close(client);
      }
    });
  }
  ~VersionServer() {
    shutdown(m_fd, SHUT_RDWR);
    close(m_fd);
    m_thread.join();
  }
  int port = 0;

 private:
  int m_fd = -1;
  std::thread m_thread;
};
}  // namespace

// The start-up check runs before line 1; Check for Update asks again and offers the update every
// time; a refused connection is reported.
TEST(UiAppCommands, CheckForUpdateAsksTheServerAndOffersTheUpdate) {
  VersionServer server(
      "<?xml version=\"1.0\"?><versionfile version=\"1\"><productlist><product name=\"quillonographic\">"
      "<platform name=\"windows\"><versionlist><version>1.0.1</version><version>2.0.0</version></versionlist>"
      "</platform></product></productlist></versionfile>");
  const std::string offer =
      "alert: A newer version (1.0.1) of Quillonographic is available and can be downloaded. | Would you like to go "
      "to the Lumaxisworks Software website now?\n";
  const std::string env = "env -u QLW_REGISTRY_DIR -u QLW_RUNTIME_DIR QLW_UPDATE_URL=http://127.0.0.1:" + std::to_string(server.port);
  qlwtest::ProbeRun run = qlwtest::RunUiScript(fs::path(qlwtest::ScratchDir()) / "ui-app-update", "command 32769\ncommand 32769\n", "", "", env);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, offer + "> command 32769\n" + offer + "> command 32769\n" + offer);
  // Nobody listens: a manual check says it could not connect.
  run = qlwtest::RunUiScript(fs::path(qlwtest::ScratchDir()) / "ui-app-update-refused", "command 32769\n", "", "",
                             "env -u QLW_REGISTRY_DIR -u QLW_RUNTIME_DIR QLW_UPDATE_URL=http://127.0.0.1:1");
  EXPECT_NE(run.out.find("> command 32769\nalert: " + qlwtest::AlertMessage(20803)), std::string::npos) << run.out;
}

// The file dialog takes full paths typed from several folders: each file opens, none is looked
// for in the first one's folder, and they are listed in the order chosen.
TEST(UiAppCommands, OpenTakesFilesOfSeveralFolders) {
  const std::string quartz = qlwtest::DataPath("Quartz.cif");
  const std::string out = RunScript("folders",
                                    "files " + quartz + " " + kRutile + "\n"
                                    "command 57601\n"
                                    "dump\n");
  EXPECT_NE(out.find("> dump\n0 crystal Quartz shown selected\n0 crystal rutile shown selected\nd"), std::string::npos) << out;
}
