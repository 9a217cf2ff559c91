#include "Sound.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include <canberra.h>
#include <dlfcn.h>
#include <unistd.h>

#include "KernelObjects.h"

namespace {
std::atomic<unsigned> g_beeps{0};
std::mutex g_recorderLock;
qlw::SoundRecorderFn g_recorder;

// The desktop's sound library, loaded on the first sound rather than linked: most runs play none,
// and its sound drivers would add to every start.
struct Desktop {
  decltype(&ca_context_change_props) changeProps = nullptr;
  decltype(&ca_context_play) play = nullptr;
  ca_context* context = nullptr;
};

// A function pointer from dlsym's object pointer; false when the library lacks the name.
template <typename Function>
bool Lookup(void* library, const char* name, Function& out) {
  void* symbol = dlsym(library, name);
  static_assert(sizeof out == sizeof symbol);
  std::memcpy(&out, &symbol, sizeof out);
  return symbol != nullptr;
}

// The sound driver library writes every failure to find a device on standard error, several
// lines a sound on a machine without one. Its error handler is replaced by one that drops them
// before the sound library first uses it; the library stays loaded to keep the handler.
void DropDriverMessage(const char*, int, const char*, int, const char*, ...) {}

void SilenceSoundDriver() {
  void* driver = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!driver) return;
  using Handler = void (*)(const char* file, int line, const char* function, int error, const char* format, ...);
  int (*setHandler)(Handler) = nullptr;
  if (Lookup(driver, "snd_lib_error_set_handler", setHandler))
    setHandler(&DropDriverMessage);
}

const Desktop* LoadDesktop() {
  static const Desktop* const loaded = []() -> const Desktop* {
    SilenceSoundDriver();
    void* library = dlopen(QLW_CANBERRA_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    decltype(&ca_context_create) create = nullptr;
    auto* desktop = new Desktop;
    if (!Lookup(library, "ca_context_create", create) || !Lookup(library, "ca_context_change_props", desktop->changeProps) ||
        !Lookup(library, "ca_context_play", desktop->play) || create(&desktop->context) != CA_SUCCESS) {
      delete desktop;
      return nullptr;
    }
    desktop->changeProps(desktop->context, CA_PROP_APPLICATION_NAME, program_invocation_short_name, nullptr);
    // Kept for the whole run: sounds still playing belong to the context.
    return desktop;
  }();
  return loaded;
}

bool Recording(const qlw::SoundRecord& record, int* answer) {
  std::lock_guard<std::mutex> lock(g_recorderLock);
  if (!g_recorder) return false;
  *answer = g_recorder(record);
  return true;
}

bool Quiet() { return std::getenv("QLW_QUIET") != nullptr; }

// The sound library plays files: each wave is written once into the runtime folder under a name
// from its contents, so that every process of the user shares it and a changed sound gets a new file.
bool WaveFile(const std::string& bytes, std::string& path) {
  static std::mutex lock;
  static std::set<std::string> written;
  char name[32];
  std::snprintf(name, sizeof name, "%016zx.wav", std::hash<std::string>{}(bytes));
  const std::string folder = qlw::RuntimeFolder() + "/sounds";
  path = folder + "/" + name;
  std::lock_guard<std::mutex> guard(lock);
  if (written.count(path) && access(path.c_str(), R_OK) == 0) return true;
  if (!qlw::MakeFolders(folder)) return false;
  const std::string partial = path + "." + std::to_string(getpid());
  FILE* out = std::fopen(partial.c_str(), "wb");
  if (!out) return false;
  const bool complete = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (std::fclose(out) != 0 || !complete || std::rename(partial.c_str(), path.c_str()) != 0) {
    std::remove(partial.c_str());
    return false;
  }
  written.insert(path);
  return true;
}
}  // namespace

BOOL MessageBeep(UINT type) {
  ++g_beeps;
  const qlw::SoundRecord record{qlw::BeepEventId(type), {}};
  int answer = 0;
  if (Recording(record, &answer)) return answer == 0;
  if (Quiet()) return TRUE;
  const Desktop* desktop = LoadDesktop();
  if (!desktop) return FALSE;
  return desktop->play(desktop->context, 0, CA_PROP_EVENT_ID, record.eventId.c_str(), nullptr) == CA_SUCCESS;
}

namespace qlw {
unsigned MessageBeepCount() { return g_beeps.load(); }

const char* BeepEventId(UINT type) {
  switch (type) {
    case MB_ICONHAND: return "dialog-error";
    case MB_ICONQUESTION: return "dialog-question";
    case MB_ICONEXCLAMATION: return "dialog-warning";
    case MB_ICONASTERISK: return "dialog-information";
    default: return "bell";
  }
}

bool ReadWaveResource(UINT id, std::string& bytes) {
  QFile file(QStringLiteral(":/sounds/wave%1.wav").arg(id));
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray data = file.readAll();
  bytes.assign(data.constData(), static_cast<size_t>(data.size()));
  return true;
}

int PlayWave(const std::string& bytes, const void** device) {
  if (device) *device = nullptr;
  int answer = 0;
  if (Recording(SoundRecord{{}, bytes}, &answer)) return answer;
  if (Quiet()) return CA_SUCCESS;
  const Desktop* desktop = LoadDesktop();
  if (!desktop) return CA_ERROR_NOTAVAILABLE;
  if (device) *device = desktop->context;
  std::string path;
  if (!WaveFile(bytes, path)) return CA_ERROR_IO;
  return desktop->play(desktop->context, 0, CA_PROP_MEDIA_FILENAME, path.c_str(), nullptr);
}

void SetSoundRecorder(SoundRecorderFn recorder) {
  std::lock_guard<std::mutex> lock(g_recorderLock);
  g_recorder = std::move(recorder);
}
}  // namespace qlw
