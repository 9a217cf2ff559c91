// Shell registration of the document types: the program's registry entries and, because the
// Linux desktop reads neither, a desktop entry and a shared-mime-info package in $XDG_DATA_HOME.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "LXApp.h"
#include "LXException.h"
#include "LXFile.h"
#include "LXRegistry.h"
#include "Resources.h"

namespace {
constexpr wchar_t kAppGuidBraced[] = L"{13dca11d-78cb-484a-892b-10aa643d11ae}";
constexpr char kDesktopFileName[] = "quillonographic.desktop";
constexpr char kMimePackageName[] = "quillonographic.xml";
constexpr char kIconName[] = "quillonographic";
CLXApp::FileTypeChooser g_fileTypeChooser = nullptr;
// Above the shared database's usual 50, so that the desktop settles an extension on our type.
constexpr int kGlobWeight = 60;

struct TypeInfo {
  const CLXDocTypeRow* row;
  CString progId, name;
  std::vector<CString> extensions;
};

bool GetTypeInfo(const CLXDocTypeRow& row, TypeInfo& info) {
  info.row = &row;
  if (!LXDocTypes::GetDocString(row, LXDocTypes::kRegFileTypeId, info.progId)) return false;
  LXDocTypes::GetDocString(row, LXDocTypes::kRegFileTypeName, info.name);
  info.extensions = LXDocTypes::GetExtensions(row);
  return true;
}

std::string Narrow(const CString& s) { return s.ToUtf8(); }

// The MIME type of a registry file-type id: "Qlw.Crystal-5/6" becomes
// "application/x-quillonographic-crystal-5-6", valid as a MIME type and as a file name. CIF is
// the established chemical type, which other programs open too.
constexpr char kCifMimeType[] = "chemical/x-cif";
std::string MimeTypeOf(const TypeInfo& t) {
  if (t.row->fileType == 22) return kCifMimeType;
  std::string name = Narrow(t.progId.Mid(t.progId.ReverseFind(L'.') + 1));
  for (char& c : name) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '+') c = '-';
  }
  return "application/x-quillonographic-" + name;
}

// Extensions that other programs' files carry too (keys and signatures, plain text, other
// structure formats): a glob would take them all, and these types have no signature to check.
bool IsSharedExtension(const CString& ext) {
  static const wchar_t* const kShared[] = {L".asc", L".str", L".txt", L".text", L".dat"};
  for (const wchar_t* shared : kShared)
    if (ext.CompareNoCase(shared) == 0) return true;
  return false;
}

// Every extension the type has, from its document string and from the program's extension table.
std::vector<CString> GlobExtensionsOf(const TypeInfo& t) {
  std::vector<CString> all = t.extensions;
  std::vector<CString> more;
  GetFileTypeExtensions(t.row->fileType, more);
  for (const CString& ext : more)
    if (std::none_of(all.begin(), all.end(), [&](const CString& e) { return e.CompareNoCase(ext) == 0; }))
      all.push_back(ext);
  std::vector<CString> globs;
  for (const CString& ext : all)
    if (!IsSharedExtension(ext)) globs.push_back(ext);
  return globs;
}

// The signature of the binary types as shared-mime-info magic; empty for the text formats.
// Nested matches must all hold; sibling matches are alternatives.
std::string MagicOf(uint32_t fileType) {
  const std::string session =
      "<match type=\"string\" offset=\"0\" value=\"QLSF\"><match type=\"string\" offset=\"8\" "
      "value=\"Quillonographic\"/></match>";
  switch (fileType) {
    case 1:  // current files, and the older ones whose header length comes first
      return "<magic priority=\"60\"><match type=\"string\" offset=\"0\" value=\"LXDF\"/>"
             "<match type=\"string\" offset=\"4\" value=\"LXDF\"><match type=\"string\" offset=\"11\" "
             "value=\"LUMAXISWORKS\"/></match></magic>";
    case 4: return "<magic priority=\"60\"><match type=\"string\" offset=\"0\" value=\"LXD5\"/></magic>";
    // Both session generations share the first record; without an extension the current one wins.
    case 10: return "<magic priority=\"60\">" + session + "</magic>";
    case 11: return "<magic priority=\"55\">" + session + "</magic>";
    default: return {};
  }
}

std::string XmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string DataHome() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data) return data;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.local/share";
}

std::string ConfigHome() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config) return config;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.config";
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> SystemDataDirs() {
  std::vector<std::string> dirs;
  const char* list = std::getenv("XDG_DATA_DIRS");
  std::stringstream paths(list && *list ? list : "/usr/local/share:/usr/share");
  std::string dir;
  while (std::getline(paths, dir, ':'))
    if (!dir.empty()) dirs.push_back(dir);
  return dirs;
}

// Whether the system's MIME database already declares a type, so that ours need not.
bool SystemDeclaresMimeType(const std::string& type) {
  for (const std::string& dir : SystemDataDirs())
    if (FileExists(dir + "/mime/" + type + ".xml")) return true;
  return false;
}

// One argument of a desktop entry's Exec key: quoted only when it holds a reserved character,
// with the characters the quotes leave special escaped, and then backslashes and percent signs
// escaped once more for the entry's string syntax.
std::string ExecArgument(const std::string& arg) {
  const bool quote = arg.empty() || arg.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos;
  std::string out = quote ? "\"" : "";
  for (char c : arg) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    out += c;
  }
  if (quote) out += '"';
  std::string escaped;
  for (char c : out) {
    if (c == '\\') escaped += "\\\\";
    else if (c == '%') escaped += "%%";
    else escaped += c;
  }
  return escaped;
}

// Makes the desktop entry the default of the registered types and withdraws it from the others,
// in the user's mimeapps.list; lines of other programs stay as they are.
void WriteDefaultApplications(const std::set<std::string>& ours, const std::set<std::string>& known) {
  const std::string path = ConfigHome() + "/mimeapps.list";
  std::ifstream in(path);
  std::vector<std::string> lines;
  std::string line;
  bool inDefaults = false, sawDefaults = false;
  std::set<std::string> written;
  auto addOurs = [&]() {
    for (const std::string& type : ours)
      if (!written.count(type)) lines.push_back(type + "=" + kDesktopFileName + ";");
    written = ours;
  };
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '[') {
      if (inDefaults) addOurs();
      inDefaults = line == "[Default Applications]";
      sawDefaults = sawDefaults || inDefaults;
      lines.push_back(line);
      continue;
    }
    if (inDefaults) {
      const size_t eq = line.find('=');
      const std::string type = eq == std::string::npos ? std::string() : line.substr(0, eq);
      if (ours.count(type) || (known.count(type) && line.substr(eq + 1, std::strlen(kDesktopFileName) + 1) ==
                                                        std::string(kDesktopFileName) + ";"))
        continue;
    }
    lines.push_back(line);
  }
  in.close();
  if (inDefaults) addOurs();
  if (!sawDefaults && !ours.empty()) {
    lines.push_back("[Default Applications]");
    addOurs();
  }
  // Drop a section that unregistration left empty, and the file when nothing is left in it.
  std::vector<std::string> kept;
  for (size_t i = 0; i < lines.size(); ++i) {
    const bool emptySection = lines[i] == "[Default Applications]" &&
                              (i + 1 == lines.size() || (!lines[i + 1].empty() && lines[i + 1][0] == '['));
    if (!emptySection) kept.push_back(lines[i]);
  }
  if (kept.empty()) {
    std::remove(path.c_str());
    return;
  }
  qlw::MakeFolders(ConfigHome());
  std::ofstream out(path, std::ios::trunc);
  for (const std::string& l : kept) out << l << "\n";
}

// Runs a desktop database tool when it is installed; nothing when it is not.
void RunTool(const char* tool, const std::string& folder) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string exe = dir + "/" + tool;
    if (access(exe.c_str(), X_OK) != 0) continue;
    const CString commandLine = CString(L"\"") + CString(exe.c_str()) + L"\" \"" + CString(folder.c_str()) + L"\"";
    std::vector<wchar_t> buffer(commandLine.GetString(), commandLine.GetString() + commandLine.GetLength() + 1);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      WaitForSingleObject(process.hProcess, 30000);
      CloseHandle(process.hProcess);
      if (process.hThread) CloseHandle(process.hThread);
    }
    return;
  }
}

CString OpenCommand(const CString& exe) { return CString(L"\"") + exe + L"\" \"%1\""; }

CString ReadDefault(HKEY root, const CString& subKey) {
  LXRegistry::CKey key;
  if (key.Open(root, subKey, KEY_READ) != ERROR_SUCCESS) return CString();
  std::wstring text;
  DWORD type = 0;
  if (qlw::RegQueryStringValue(key, nullptr, &text, &type) != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
    return CString();
  return CString(text.c_str());
}

bool HasValue(HKEY root, const CString& subKey, const CString& name) {
  LXRegistry::CKey key;
  if (key.Open(root, subKey, KEY_READ) != ERROR_SUCCESS) return false;
  DWORD type = 0, bytes = 0;
  return RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS;
}

bool HasSubKey(HKEY root, const CString& subKey) {
  LXRegistry::CKey key;
  return key.Open(root, subKey, KEY_READ) == ERROR_SUCCESS;
}

CString FileNameOf(const CString& path) { return path.Mid(path.ReverseFind(L'/') + 1); }

// The types whose open command is this program's, which the desktop files list.
std::vector<TypeInfo> RegisteredTypes(HKEY root, const CString& exe) {
  std::vector<TypeInfo> types;
  for (const CLXDocTypeRow& row : LXDocTypes::GetTable()) {
    TypeInfo info;
    if (GetTypeInfo(row, info) && ReadDefault(root, info.progId + L"\\shell\\open\\command") == OpenCommand(exe))
      types.push_back(info);
  }
  return types;
}

// Removes folder and then its parents up to (not including) stop, while each is empty.
void RemoveEmptyFolders(const std::string& folder, const std::string& stop) {
  std::error_code error;
  for (std::filesystem::path p(folder); p.string().size() > stop.size() && p.string().compare(0, stop.size(), stop) == 0;
       p = p.parent_path())
    if (!std::filesystem::is_directory(p, error) || !std::filesystem::is_empty(p, error) ||
        !std::filesystem::remove(p, error))
      break;
}

// With no package left in the user's MIME folder, the database that update-mime-database made
// from ours is all that remains in it: remove it rather than leave an empty database behind.
bool RemoveEmptyMimeDatabase(const std::string& mime) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path packages = fs::path(mime) / "packages";
  if (fs::is_directory(packages, error) && !fs::is_empty(packages, error)) return false;
  static const std::set<std::string> generated = {"aliases", "generic-icons", "globs",    "globs2", "icons",
                                                  "magic",   "mime.cache",    "subclasses", "treemagic",
                                                  "types",   "version",       "XMLnamespaces"};
  std::vector<fs::path> doomed;
  for (const fs::directory_entry& entry : fs::directory_iterator(mime, error)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file(error) && generated.count(name)) {
      doomed.push_back(entry.path());
    } else if (entry.is_directory(error) && name != "packages") {
      // A media-type folder holds only the per-type files the tool wrote.
      bool onlyTypes = true;
      for (const fs::directory_entry& file : fs::directory_iterator(entry.path(), error))
        if (!file.is_regular_file(error) || file.path().extension() != ".xml") onlyTypes = false;
      if (onlyTypes) doomed.push_back(entry.path());
    }
  }
  for (const fs::path& p : doomed) fs::remove_all(p, error);
  RemoveEmptyFolders(packages.string(), mime);
  RemoveEmptyFolders(mime, DataHome());
  return true;
}

// The desktop entries' cache, once no entry is left to cache.
bool RemoveEmptyDesktopCache(const std::string& applications) {
  namespace fs = std::filesystem;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(applications, error))
    if (entry.path().filename() != "mimeinfo.cache") return false;
  fs::remove(fs::path(applications) / "mimeinfo.cache", error);
  RemoveEmptyFolders(applications, DataHome());
  return true;
}

// Rewrites (or, with no type left, removes) the desktop entry and the MIME package, makes the
// entry the default of its types, then lets the desktop's databases catch up.
void WriteDesktopFiles(const std::vector<TypeInfo>& types, const CString& exe) {
  const std::string applications = DataHome() + "/applications";
  const std::string mime = DataHome() + "/mime";
  const std::string desktopPath = applications + "/" + kDesktopFileName;
  const std::string packagePath = mime + "/packages/" + kMimePackageName;
  const std::string iconFolder = DataHome() + "/icons/hicolor/scalable/apps";
  const std::string iconPath = iconFolder + "/" + kIconName + ".svg";
  std::set<std::string> ours, known;
  for (const CLXDocTypeRow& row : LXDocTypes::GetTable()) {
    TypeInfo info;
    if (GetTypeInfo(row, info)) known.insert(MimeTypeOf(info));
  }
  for (const TypeInfo& t : types) ours.insert(MimeTypeOf(t));
  if (types.empty()) {
    std::remove(desktopPath.c_str());
    std::remove(packagePath.c_str());
    std::remove(iconPath.c_str());
    RemoveEmptyFolders(iconFolder, DataHome());
  } else {
    // The launcher and the task bar show the program's own icon from the icon theme.
    std::string icon;
    const bool hasIcon = qlw::ReadImageResource("ico1000.svg", icon);
    if (hasIcon) {
      qlw::MakeFolders(iconFolder);
      std::ofstream(iconPath, std::ios::binary | std::ios::trunc) << icon;
    }
    qlw::MakeFolders(applications);
    qlw::MakeFolders(mime + "/packages");
    std::string mimeList;
    std::ofstream package(packagePath, std::ios::trunc);
    package << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const TypeInfo& t : types) {
      const std::string type = MimeTypeOf(t);
      mimeList += type + ";";
      if (type == kCifMimeType && SystemDeclaresMimeType(type)) continue;
      package << "  <mime-type type=\"" << type << "\">\n";
      package << "    <comment>" << XmlEscape(Narrow(t.name.IsEmpty() ? t.progId : t.name)) << "</comment>\n";
      const std::string magic = MagicOf(t.row->fileType);
      // Text editors stay among the programs that open the text formats.
      if (magic.empty()) package << "    <sub-class-of type=\"text/plain\"/>\n";
      for (const CString& ext : GlobExtensionsOf(t))
        package << "    <glob pattern=\"*" << XmlEscape(Narrow(ext)) << "\" weight=\"" << kGlobWeight << "\"/>\n";
      if (!magic.empty()) package << "    " << magic << "\n";
      package << "  </mime-type>\n";
    }
    package << "</mime-info>\n";
    package.close();
    std::ofstream desktop(desktopPath, std::ios::trunc);
    desktop << "[Desktop Entry]\nType=Application\nName=Quillonographic\n"
               "Comment=Simulates powder diffraction patterns from crystal structures\n"
               "Exec="
            << ExecArgument(Narrow(exe)) << " %F\nTerminal=false\nCategories=Science;Physics;Chemistry;\nMimeType="
            << mimeList << "\n";
    // The window's class, so that the desktop matches the running program to this entry.
    desktop << "StartupWMClass=" << kIconName << "\n";
    if (hasIcon) desktop << "Icon=" << kIconName << "\n";
  }
  WriteDefaultApplications(ours, known);
  if (!RemoveEmptyMimeDatabase(mime)) RunTool("update-mime-database", mime);
  if (!RemoveEmptyDesktopCache(applications)) RunTool("update-desktop-database", applications);
}

// The MIME type that the desktop gives a file name, from the globs of the user's database and
// then the system's; the heavier glob wins.
std::string MimeTypeForName(const std::string& fileName) {
  std::vector<std::string> databases = {DataHome() + "/mime"};
  const char* dirs = std::getenv("XDG_DATA_DIRS");
  std::stringstream list(dirs && *dirs ? dirs : "/usr/local/share:/usr/share");
  std::string dir;
  while (std::getline(list, dir, ':'))
    if (!dir.empty()) databases.push_back(dir + "/mime");
  std::string lower = fileName;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  int bestWeight = -1;
  std::string best;
  for (const std::string& database : databases) {
    std::ifstream globs(database + "/globs2");
    std::string line;
    while (std::getline(globs, line)) {
      if (line.empty() || line[0] == '#') continue;
      const size_t a = line.find(':');
      const size_t b = line.find(':', a + 1);
      if (a == std::string::npos || b == std::string::npos) continue;
      const int weight = std::atoi(line.substr(0, a).c_str());
      const std::string type = line.substr(a + 1, b - a - 1);
      std::string pattern = line.substr(b + 1);
      pattern = pattern.substr(0, pattern.find(':'));
      if (pattern.size() < 2 || pattern[0] != '*' || pattern.find_first_of("*?[", 1) != std::string::npos) continue;
      const std::string suffix = pattern.substr(1);
      if (lower.size() < suffix.size() || lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) != 0)
        continue;
      if (weight > bestWeight) {
        bestWeight = weight;
        best = type;
      }
    }
  }
  return best;
}

// The desktop entry that mimeapps.list names as the default for a type; empty when none.
std::string DefaultApplicationFor(const std::string& type) {
  std::ifstream list(ConfigHome() + "/mimeapps.list");
  std::string line;
  bool inDefaults = false;
  while (std::getline(list, line)) {
    if (!line.empty() && line[0] == '[') {
      inDefaults = line == "[Default Applications]";
      continue;
    }
    if (inDefaults && line.compare(0, type.size() + 1, type + "=") == 0) {
      std::string value = line.substr(type.size() + 1);
      return value.substr(0, value.find(';'));
    }
  }
  return {};
}

bool DesktopEntryListsType(const std::string& type) {
  std::ifstream desktop(DataHome() + "/applications/" + kDesktopFileName);
  std::string line;
  while (std::getline(desktop, line))
    if (line.compare(0, 9, "MimeType=") == 0) return (";" + line.substr(9)).find(";" + type + ";") != std::string::npos;
  return false;
}
}  // namespace

void CLXApp::RegisterShellFileTypes(BOOL) {
  RegisterFileTypes(m_cmdInfo ? m_cmdInfo->m_fileTypes : std::vector<uint32_t>());
}

void CLXApp::UnregisterShellFileTypes() {
  UnregisterFileTypes(m_cmdInfo ? m_cmdInfo->m_fileTypes : std::vector<uint32_t>());
}

bool CLXApp::RegisterFileTypes(const std::vector<uint32_t>& fileTypes) {
  std::vector<uint32_t> wanted = fileTypes;
  if (wanted.empty())
    for (const CLXDocTypeRow& row : LXDocTypes::GetTable())
      if (row.shell) wanted.push_back(row.fileType);
  HKEY root = LXRegistry::OpenClassesRoot();
  if (!root) return false;
  const CString exe = GetExecutablePath();
  const CString exeName = FileNameOf(exe);
  HANDLE transaction = CreateTransaction(nullptr, nullptr, 0, 0, 0, 0, nullptr);
  bool ok = true;
  auto set = [&](const CString& key, const CString& data, const wchar_t* name) {
    if (LXRegistry::SetStringValue(root, key, data, name, transaction) != ERROR_SUCCESS) ok = false;
  };
  const auto& table = LXDocTypes::GetTable();
  for (size_t index = 0; index < table.size(); ++index) {
    const CLXDocTypeRow& row = table[index];
    if (std::find(wanted.begin(), wanted.end(), row.fileType) == wanted.end()) continue;
    TypeInfo t;
    if (!GetTypeInfo(row, t)) continue;
    set(t.progId, t.name, nullptr);
    set(t.progId + L"\\DefaultIcon", CString(L"\"") + exe + L"\"," + CString(std::to_string(index).c_str()), nullptr);
    set(t.progId + L"\\shell\\open\\command", OpenCommand(exe), nullptr);
    set(t.progId + L"\\shell\\open\\DropTarget", kAppGuidBraced, L"CLSID");
    set(t.progId + L"\\shell\\print\\command", CString(L"\"") + exe + L"\" /p \"%1\"", nullptr);
    set(t.progId + L"\\shell\\printto\\command", CString(L"\"") + exe + L"\" /pt \"%1\" \"%2\" \"%3\" \"%4\"", nullptr);
    const CString versionless = StripNumericExtension(t.progId);
    if (versionless != t.progId) set(versionless + L"\\CurVer", t.progId, nullptr);
    for (const CString& ext : t.extensions) {
      set(ext, t.progId, nullptr);
      LXRegistry::CKey openWith(transaction);
      if (openWith.Create(root, ext + L"\\OpenWithList\\" + exeName) != ERROR_SUCCESS) ok = false;
      set(ext + L"\\OpenWithProgids", L"", t.progId);
      // Only the session file offers a new empty file from the desktop.
      if (row.main) set(ext + L"\\ShellNew", L"", L"NullFile");
    }
  }
  set(CString(L"CLSID\\") + kAppGuidBraced + L"\\LocalServer32", exe, nullptr);
  set(CString(L"CLSID\\") + kAppGuidBraced, kAppGuidBraced, L"AppID");
  {
    LXRegistry::CKey appId(transaction);
    if (appId.Create(root, CString(L"AppID\\") + kAppGuidBraced) != ERROR_SUCCESS) ok = false;
  }
  const CString appPaths = CString(L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + exeName;
  const HKEY pathRoot = LXRegistry::IsPerUser() ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  LXRegistry::SetStringValue(pathRoot, appPaths, exe, nullptr, transaction);
  LXRegistry::SetStringValue(pathRoot, appPaths, exe.Left(exe.ReverseFind(L'/')), L"Path", transaction);
  LXRegistry::SetStringValue(pathRoot, appPaths, L"", L"NoOpenWith", transaction);
  if (transaction) {
    if (ok) ok = CommitTransaction(transaction) != FALSE;
    else RollbackTransaction(transaction);
    CloseHandle(transaction);
  }
  if (ok) WriteDesktopFiles(RegisteredTypes(root, exe), exe);
  if (root != HKEY_CLASSES_ROOT) RegCloseKey(root);
  return ok;
}

bool CLXApp::UnregisterFileTypes(const std::vector<uint32_t>& fileTypes) {
  std::vector<uint32_t> types = fileTypes;
  if (types.empty())
    for (const CLXDocTypeRow& row : LXDocTypes::GetTable()) types.push_back(row.fileType);
  HKEY root = LXRegistry::OpenClassesRoot();
  if (!root) return false;
  const CString exe = GetExecutablePath();
  const CString exeName = FileNameOf(exe);
  for (const CLXDocTypeRow& row : LXDocTypes::GetTable()) {
    if (std::find(types.begin(), types.end(), row.fileType) == types.end()) continue;
    TypeInfo t;
    if (!GetTypeInfo(row, t)) continue;
    for (const CString& ext : t.extensions) {
      LXRegistry::DeleteKey(root, ext + L"\\OpenWithList\\" + exeName, 0, nullptr);
      LXRegistry::DeleteKeyIfEmpty(root, ext + L"\\OpenWithList", nullptr);
      LXRegistry::DeleteValueAndKey(root, ext + L"\\OpenWithProgids", t.progId, nullptr);
      LXRegistry::DeleteTree(root, ext + L"\\ShellNew", nullptr);
      // The extension's default stays unless it names us; another program may own it now.
      if (ReadDefault(root, ext) == t.progId) LXRegistry::DeleteValueAndKey(root, ext, L"", nullptr);
    }
    if (ReadDefault(root, t.progId + L"\\shell\\open\\command") == OpenCommand(exe)) {
      LXRegistry::DeleteTree(root, t.progId, nullptr);
      const CString versionless = StripNumericExtension(t.progId);
      if (versionless != t.progId) LXRegistry::DeleteTree(root, versionless, nullptr);
    }
  }
  const std::vector<TypeInfo> remaining = RegisteredTypes(root, exe);
  if (remaining.empty()) {
    LXRegistry::DeleteTree(root, CString(L"CLSID\\") + kAppGuidBraced, nullptr);
    LXRegistry::DeleteTree(root, CString(L"AppID\\") + kAppGuidBraced, nullptr);
    const CString appPaths = CString(L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + exeName;
    LXRegistry::DeleteTree(LXRegistry::IsPerUser() ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, appPaths, nullptr);
  }
  WriteDesktopFiles(remaining, exe);
  if (root != HKEY_CLASSES_ROOT) RegCloseKey(root);
  return true;
}

std::string CLXApp::MimeTypeOfFile(const std::wstring& path) {
  const size_t dot = path.rfind(L'.');
  const size_t slash = path.rfind(L'/');
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return {};
  const CString extension(path.substr(dot).c_str());
  for (const CLXDocTypeRow& row : LXDocTypes::GetTable()) {
    TypeInfo info;
    if (!GetTypeInfo(row, info)) continue;
    for (const CString& ext : GlobExtensionsOf(info))
      if (ext.CompareNoCase(extension) == 0) return MimeTypeOf(info);
  }
  return {};
}

bool CLXApp::IsFileTypeAssociated(uint32_t fileType, bool& associated) {
  associated = false;
  const CLXDocTypeRow* row = FindTemplateForFileType(fileType);
  TypeInfo t;
  if (!row || !GetTypeInfo(*row, t) || t.extensions.empty()) return false;
  HKEY root = LXRegistry::OpenClassesRoot();
  if (!root) return false;
  const CString exeName = FileNameOf(GetExecutablePath());
  bool registry = true;
  for (const CString& ext : t.extensions) {
    const bool points = ReadDefault(root, ext) == t.progId || HasSubKey(root, ext + L"\\OpenWithList\\" + exeName) ||
                        HasValue(root, ext + L"\\OpenWithProgids", t.progId);
    if (!points) registry = false;
  }
  if (root != HKEY_CLASSES_ROOT) RegCloseKey(root);
  // What the desktop will use: each extension must resolve to our type, which our entry opens
  // and no other application is the chosen default for.
  const std::string type = MimeTypeOf(t);
  bool desktop = DesktopEntryListsType(type);
  for (const CString& ext : GlobExtensionsOf(t)) {
    if (MimeTypeForName("file" + Narrow(ext)) != type) desktop = false;
  }
  const std::string chosen = DefaultApplicationFor(type);
  if (!chosen.empty() && chosen != kDesktopFileName) desktop = false;
  associated = registry && desktop;
  return true;
}

std::vector<uint32_t> CLXApp::RegisterFileTypesElevated(const std::vector<uint32_t>& fileTypes, bool) {
  std::vector<uint32_t> chosen = fileTypes;
  if (g_fileTypeChooser && !g_fileTypeChooser(chosen)) return {};
  // The user's own folders and hive need no elevation: register here rather than in a second
  // process started with "runas".
  if (!RegisterFileTypes(chosen)) {
    CLXXFileAssocFailed(kLXSeverityMessage, static_cast<LONGLONG>(GetLastError()), __LINE__).Report();
    return {};
  }
  return chosen;
}

void CLXApp::SetFileTypeChooser(FileTypeChooser chooser) { g_fileTypeChooser = chooser; }
