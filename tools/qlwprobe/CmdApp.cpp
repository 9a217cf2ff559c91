// `cmdline ARG...`, `shell-register [TYPES...]`, `shell-unregister`, `shell-associated TYPE` and
// `crash`: the program's command line, its shell registration and its crash report.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "LXApp.h"
#include "LXCrashReport.h"
#include "Probe.h"
#include "QlwCommandLineInfo.h"
#include "QlwDocTypes.h"

namespace {
class CProbeApp : public CLXApp {
 public:
  CProbeApp() { LXDocTypes::SetTable(g_DocTypeTable); }
  CLXCommandLineInfo* CreateCommandLineInfo() override { return new CQlwCommandLineInfo(); }
};

const char* Flag(bool on) { return on ? "true" : "false"; }
std::string Text(const CString& s) { return s.ToUtf8(); }

int RunCmdline(const std::vector<std::string>& args) {
  CProbeApp app;
  std::vector<char*> argv;
  static char program[] = "quillonographic";
  argv.push_back(program);
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  app.SetArguments(static_cast<int>(argv.size()), argv.data());
  CQlwCommandLineInfo info;
  app.ParseCommandLine(info);
  std::printf("shell-command %d\n", info.m_nShellCommand);
  std::printf("file-name %s\n", Text(info.m_strFileName).c_str());
  std::printf("files %zu\n", info.m_files.size());
  for (const CString& f : info.m_files) std::printf("file %s\n", Text(f).c_str());
  std::printf("printer %s\ndriver %s\nport %s\n", Text(info.m_strPrinterName).c_str(),
              Text(info.m_strDriverName).c_str(), Text(info.m_strPortName).c_str());
  std::printf("splash %s\nembedded %s\nautomated %s\n", Flag(info.m_bShowSplash), Flag(info.m_bRunEmbedded),
              Flag(info.m_bRunAutomated));
  std::printf("choose-types %s\nno-types %s\n", Flag(info.m_chooseTypes), Flag(info.m_noTypes));
  std::string types;
  for (uint32_t t : info.m_fileTypes) types += (types.empty() ? "" : ",") + std::to_string(t);
  std::printf("types %s\n", types.c_str());
  std::printf("types-text %s\n", Text(CLXCommandLineInfo::GetDefTypesText(info.m_fileTypes)).c_str());
  std::printf("per-user %s\nsave-prefs %s\n", Flag(info.m_perUser), Flag(info.m_savePrefs));
  std::printf("caller %d %s\n", info.m_callerProcessId, Text(info.m_callerExecutable).c_str());
  std::printf("sid %s\n", Text(info.m_userSid).c_str());
  RPC_WSTR uuid = nullptr;
  UuidToStringW(&info.m_sessionId, &uuid);
  std::printf("session %s\n", Text(CString(uuid)).c_str());
  RpcStringFreeW(&uuid);
  std::printf("window %llu\n", static_cast<unsigned long long>(info.m_linkWindow));
  std::printf("block-size %zu\n", info.GetBlockSize());
  return 0;
}

// The types named like "DefTypes=" names them; none: the default ones.
std::vector<uint32_t> TypesOf(const std::vector<std::string>& args) {
  std::string value;
  for (const std::string& a : args) value += (value.empty() ? "" : "+") + a;
  return value.empty() ? std::vector<uint32_t>() : CLXCommandLineInfo::ParseDefTypes(CString(value.c_str()));
}

void PrintTypes(const std::vector<uint32_t>& types) {
  for (const CLXDocTypeRow& row : g_DocTypeTable) {
    if (std::find(types.begin(), types.end(), row.fileType) == types.end()) continue;
    CString progId;
    LXDocTypes::GetDocString(row, LXDocTypes::kRegFileTypeId, progId);
    std::string line = Text(progId);
    for (const CString& ext : LXDocTypes::GetExtensions(row)) line += " " + Text(ext);
    std::printf("%s\n", line.c_str());
  }
}

int RunShellRegister(const std::vector<std::string>& args) {
  CProbeApp app;
  std::vector<uint32_t> types = TypesOf(args);
  if (!args.empty() && types.empty()) {
    std::fprintf(stderr, "qlwprobe: no document type is named by those types\n");
    return 2;
  }
  if (types.empty())
    for (const CLXDocTypeRow& row : g_DocTypeTable)
      if (row.shell) types.push_back(row.fileType);
  if (!app.RegisterFileTypes(types)) {
    std::fprintf(stderr, "qlwprobe: registration failed\n");
    return 1;
  }
  PrintTypes(types);
  return 0;
}

int RunShellUnregister(const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "usage: qlwprobe shell-unregister\n");
    return 2;
  }
  CProbeApp app;
  return app.UnregisterFileTypes({}) ? 0 : 1;
}

int RunShellAssociated(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: qlwprobe shell-associated TYPE\n");
    return 2;
  }
  CProbeApp app;
  char* end = nullptr;
  uint32_t type = static_cast<uint32_t>(std::strtoul(args[0].c_str(), &end, 10));
  if (!end || *end != '\0') {
    const std::vector<uint32_t> named = TypesOf(args);
    type = named.empty() ? 0 : named.front();
  }
  bool associated = false;
  if (!app.IsFileTypeAssociated(type, associated)) {
    std::fprintf(stderr, "qlwprobe: no document type '%s'\n", args[0].c_str());
    return 2;
  }
  std::printf("%s\n", associated ? "yes" : "no");
  return 0;
}

int RunCrash(const std::vector<std::string>&) {
  InstallCrashHandler();
  std::printf("%s\n", Text(GetCrashReportPath()).c_str());
  std::fflush(stdout);
  volatile int* nowhere = nullptr;
  *nowhere = 1;
  return 0;
}
}  // namespace

QLW_PROBE_COMMAND(cmdline, "cmdline", "ARG...", RunCmdline);
QLW_PROBE_COMMAND(shell_register, "shell-register", "[TYPES...]", RunShellRegister);
QLW_PROBE_COMMAND(shell_unregister, "shell-unregister", "", RunShellUnregister);
QLW_PROBE_COMMAND(shell_associated, "shell-associated", "TYPE", RunShellAssociated);
QLW_PROBE_COMMAND(crash, "crash", "", RunCrash);
