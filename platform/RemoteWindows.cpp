// Top-level windows of other processes: each process that serves its windows listens on a local
// socket <runtime folder>/windows/<pid>; other processes of the user list those windows and
// send them messages (WM_COPYDATA with its data, registered messages with numeric parameters).
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <signal.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QMetaObject>

#include "KernelObjects.h"
#include "WndGeometry.h"
#include "WndInternal.h"

using namespace qlw::wnd;

namespace {
enum Op : uint32_t { kOpList = 1, kOpSend = 2, kOpPost = 3, kOpIsWindow = 4, kOpFront = 5, kOpStyles = 6 };

struct Request {
  uint32_t op;
  uint32_t message;
  uint64_t hwnd;
  uint64_t wParam;
  uint64_t lParam;
  uint32_t timeout;
  uint32_t flags;
  uint64_t copyDataTag;  // dwData of WM_COPYDATA
  uint32_t payloadSize;  // bytes that follow: the data of WM_COPYDATA
  uint32_t reserved;
};

struct Reply {
  uint32_t ok;
  uint32_t error;
  int64_t result;
  uint32_t count;  // handles that follow (kOpList)
  uint32_t reserved;
};

constexpr uint32_t kLargestPayload = 1u << 20;
// The answer to a send: any number of kStillWaiting bytes (about one a second while the window's
// thread works on it), then kAnswer and the Reply.
constexpr char kStillWaiting = 'w';
constexpr char kAnswer = 'r';
// A receiver that sends no sign of life for this long is given up (stopped, or its server stuck).
constexpr auto kSilenceLimit = std::chrono::seconds(10);

std::atomic<int> g_listenFd{-1};
std::atomic<bool> g_serving{false};
std::thread g_serverThread;
std::mutex g_serverLock;

std::string WindowsFolder() { return qlw::RuntimeFolder() + "/windows"; }
std::string SocketPath(DWORD pid) { return WindowsFolder() + "/" + std::to_string(pid); }

bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Waits at most until deadline (none: for ever).
bool ReadAll(int fd, void* data, size_t size, const std::chrono::steady_clock::time_point* deadline) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    int wait = -1;
    if (deadline) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline -
                                                                              std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      wait = static_cast<int>(std::min<long long>(left.count(), 0x7FFFFFFF));
    }
    pollfd pfd{fd, POLLIN, 0};
    const int ready = poll(&pfd, 1, wait);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t n = recv(fd, p, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

int Connect(DWORD pid) {
  const std::string path = SocketPath(pid);
  sockaddr_un addr{};
  if (path.size() >= sizeof addr.sun_path) return -1;
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// One request to the process that owns the handle (or pid); false when it cannot be reached.
bool Call(DWORD pid, const Request& request, const void* payload, Reply& reply, std::vector<uint64_t>* handles,
          DWORD waitMs) {
  const int fd = Connect(pid);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, &request, sizeof request) && (request.payloadSize == 0 || WriteAll(fd, payload, request.payloadSize));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  const auto* limit = waitMs == INFINITE ? nullptr : &deadline;
  ok = ok && ReadAll(fd, &reply, sizeof reply, limit);
  if (ok && handles && reply.count > 0 && reply.count < 100000) {
    handles->resize(reply.count);
    ok = ReadAll(fd, handles->data(), reply.count * sizeof(uint64_t), limit);
  }
  close(fd);
  return ok;
}

std::vector<HWND> LocalTopLevelWindows() {
  std::lock_guard<std::mutex> lock(Lock());
  std::vector<HWND> out;
  for (HWND h : TopLevelWindowsLocked()) {
    auto w = FindWindowLocked(h);
    if (w && !w->messageOnly && !w->destroying) out.push_back(h);
  }
  return out;
}

void Serve(int client) {
  Request request{};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  if (!ReadAll(client, &request, sizeof request, &deadline) || request.payloadSize > kLargestPayload) {
    close(client);
    return;
  }
  std::vector<uint8_t> payload(request.payloadSize);
  if (request.payloadSize && !ReadAll(client, payload.data(), payload.size(), &deadline)) {
    close(client);
    return;
  }
  Reply reply{};
  std::vector<uint64_t> handles;
  const HWND hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(request.hwnd));
  switch (request.op) {
    case kOpList:
      for (HWND h : LocalTopLevelWindows()) handles.push_back(reinterpret_cast<uintptr_t>(h));
      reply.ok = 1;
      reply.count = static_cast<uint32_t>(handles.size());
      break;
    case kOpIsWindow:
      reply.ok = IsWindow(hwnd) ? 1 : 0;
      break;
    case kOpStyles:
      reply.ok = IsWindow(hwnd) ? 1 : 0;
      if (reply.ok)
        reply.result = static_cast<int64_t>((static_cast<uint64_t>(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE))) << 32) |
                                            static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)));
      break;
    case kOpFront:
      reply.ok = IsWindow(hwnd) ? 1 : 0;
      // Widgets are raised on their own thread.
      if (reply.ok && QCoreApplication::instance())
        QMetaObject::invokeMethod(QCoreApplication::instance(), [hwnd] { SetForegroundWindow(hwnd); },
                                  Qt::QueuedConnection);
      else if (reply.ok)
        BringWindowToTop(hwnd);
      break;
    case kOpPost:
      // Answered before it is posted: the message may end this process before a reply could go.
      reply.ok = IsWindow(hwnd) ? 1 : 0;
      reply.error = reply.ok ? 0 : ERROR_INVALID_WINDOW_HANDLE;
      WriteAll(client, &reply, sizeof reply);
      close(client);
      if (reply.ok)
        PostMessageW(hwnd, request.message, static_cast<WPARAM>(request.wParam), static_cast<LPARAM>(request.lParam));
      return;
    case kOpSend: {
      // Held by the message, so that a handler still running when the wait is given up reads valid data.
      struct CopyData {
        std::vector<uint8_t> bytes;
        COPYDATASTRUCT copy{};
      };
      auto data = std::make_shared<CopyData>();
      data->bytes = std::move(payload);
      data->copy = COPYDATASTRUCT{static_cast<ULONG_PTR>(request.copyDataTag), request.payloadSize,
                                  data->bytes.empty() ? nullptr : data->bytes.data()};
      LPARAM lParam = static_cast<LPARAM>(request.lParam);
      if (request.message == WM_COPYDATA) lParam = reinterpret_cast<LPARAM>(&data->copy);
      DWORD_PTR result = 0;
      reply.ok = SendForOtherProcess(hwnd, request.message, static_cast<WPARAM>(request.wParam), lParam, request.flags,
                                     request.timeout, data, [client] { WriteAll(client, &kStillWaiting, 1); },
                                     &result) != 0;
      reply.error = reply.ok ? 0 : GetLastError();
      reply.result = static_cast<int64_t>(result);
      WriteAll(client, &kAnswer, 1);
      break;
    }
    default:
      break;
  }
  WriteAll(client, &reply, sizeof reply) && (handles.empty() || WriteAll(client, handles.data(), handles.size() * 8));
  close(client);
}

void ServerLoop(int listenFd) {
  while (g_serving.load()) {
    const int client = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
      if (errno == EINTR) continue;
      break;
    }
    Serve(client);
  }
}

void StopServerAtExit() { qlw::StopWindowServer(); }
}  // namespace

namespace qlw::wnd {
bool IsRemoteHandle(HWND hwnd) {
  const DWORD pid = ProcessOfHandle(hwnd);
  return pid != 0 && pid != GetCurrentProcessId();
}

LRESULT RemoteSend(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeoutMs,
                   PDWORD_PTR result) {
  Request request{};
  request.op = kOpSend;
  request.message = message;
  request.hwnd = reinterpret_cast<uintptr_t>(hwnd);
  request.wParam = wParam;
  request.lParam = static_cast<uint64_t>(lParam);
  request.timeout = timeoutMs;
  request.flags = flags;
  const void* payload = nullptr;
  if (message == WM_COPYDATA) {
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (!copy || copy->cbData > kLargestPayload) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    request.copyDataTag = copy->dwData;
    request.payloadSize = copy->cbData;
    payload = copy->lpData;
    request.lParam = 0;
  }
  // The receiver applies the time-out, and ends an unlimited wait once its thread hangs; here a
  // little more covers the way there and back, and a receiver that falls silent is given up.
  const bool unlimited = timeoutMs == INFINITE || (flags & SMTO_NOTIMEOUTIFNOTHUNG);
  const int fd = Connect(ProcessOfHandle(hwnd));
  if (fd < 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  bool ok = WriteAll(fd, &request, sizeof request) && (!payload || WriteAll(fd, payload, request.payloadSize));
  const auto start = std::chrono::steady_clock::now();
  const auto end = start + std::chrono::milliseconds(unlimited ? 0 : timeoutMs) + std::chrono::seconds(1);
  auto deadline = unlimited ? start + kSilenceLimit : std::min(end, start + kSilenceLimit);
  char sign = 0;
  while (ok && (ok = ReadAll(fd, &sign, 1, &deadline)) && sign == kStillWaiting) {
    const auto now = std::chrono::steady_clock::now();
    deadline = unlimited ? now + kSilenceLimit : std::min(end, now + kSilenceLimit);
  }
  Reply reply{};
  ok = ok && sign == kAnswer && ReadAll(fd, &reply, sizeof reply, &deadline);
  close(fd);
  if (!ok) {
    // Out of time, or the process went away meanwhile.
    SetLastError(std::chrono::steady_clock::now() >= deadline ? ERROR_TIMEOUT : ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (!reply.ok) {
    SetLastError(reply.error ? reply.error : ERROR_TIMEOUT);
    return 0;
  }
  if (result) *result = static_cast<DWORD_PTR>(reply.result);
  return TRUE;
}

BOOL RemotePost(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    SetLastError(ERROR_INVALID_PARAMETER);  // its data lives only as long as a send
    return FALSE;
  }
  Request request{};
  request.op = kOpPost;
  request.message = message;
  request.hwnd = reinterpret_cast<uintptr_t>(hwnd);
  request.wParam = wParam;
  request.lParam = static_cast<uint64_t>(lParam);
  Reply reply{};
  if (!Call(ProcessOfHandle(hwnd), request, nullptr, reply, nullptr, 5000) || !reply.ok) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

bool RemoteIsWindow(HWND hwnd) {
  Request request{};
  request.op = kOpIsWindow;
  request.hwnd = reinterpret_cast<uintptr_t>(hwnd);
  Reply reply{};
  return Call(ProcessOfHandle(hwnd), request, nullptr, reply, nullptr, 5000) && reply.ok;
}

bool RemoteStyles(HWND hwnd, DWORD* style, DWORD* exStyle) {
  Request request{};
  request.op = kOpStyles;
  request.hwnd = reinterpret_cast<uintptr_t>(hwnd);
  Reply reply{};
  if (!Call(ProcessOfHandle(hwnd), request, nullptr, reply, nullptr, 5000) || !reply.ok) return false;
  const auto both = static_cast<uint64_t>(reply.result);
  *style = static_cast<DWORD>(both & 0xFFFFFFFFu);
  *exStyle = static_cast<DWORD>(both >> 32);
  return true;
}

bool RemoteBringToFront(HWND hwnd) {
  Request request{};
  request.op = kOpFront;
  request.hwnd = reinterpret_cast<uintptr_t>(hwnd);
  Reply reply{};
  return Call(ProcessOfHandle(hwnd), request, nullptr, reply, nullptr, 5000) && reply.ok;
}
}  // namespace qlw::wnd

namespace qlw {
bool StartWindowServer() {
  std::lock_guard<std::mutex> guard(g_serverLock);
  if (g_serving.load()) return true;
  if (!MakeFolders(WindowsFolder())) return false;
  const std::string path = SocketPath(GetCurrentProcessId());
  sockaddr_un addr{};
  if (path.size() >= sizeof addr.sun_path) return false;
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  unlink(path.c_str());  // left by an earlier process of the same id
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 16) != 0) {
    close(fd);
    return false;
  }
  g_listenFd = fd;
  g_serving = true;
  g_serverThread = std::thread(ServerLoop, fd);
  static bool registered = false;
  if (!registered) {
    registered = true;
    std::atexit(StopServerAtExit);
  }
  return true;
}

void StopWindowServer() {
  std::lock_guard<std::mutex> guard(g_serverLock);
  if (!g_serving.exchange(false)) return;
  const int fd = g_listenFd.exchange(-1);
  shutdown(fd, SHUT_RDWR);
  close(fd);
  unlink(SocketPath(GetCurrentProcessId()).c_str());
  if (g_serverThread.joinable()) {
    if (g_serverThread.get_id() == std::this_thread::get_id()) g_serverThread.detach();
    else g_serverThread.join();
  }
}

}  // namespace qlw

BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam) {
  if (!proc) return FALSE;
  for (HWND h : LocalTopLevelWindows())
    if (!proc(h, lParam)) return TRUE;
  const DWORD me = GetCurrentProcessId();
  DIR* dir = opendir(WindowsFolder().c_str());
  if (!dir) return TRUE;
  std::vector<DWORD> pids;
  while (dirent* entry = readdir(dir)) {
    char* end = nullptr;
    const unsigned long pid = std::strtoul(entry->d_name, &end, 10);
    if (end && *end == '\0' && pid != 0 && pid != me) pids.push_back(static_cast<DWORD>(pid));
  }
  closedir(dir);
  for (DWORD pid : pids) {
    Request request{};
    request.op = kOpList;
    Reply reply{};
    std::vector<uint64_t> handles;
    if (!Call(pid, request, nullptr, reply, &handles, 2000)) {
      // Nobody listens there any more: the process ended without removing its socket.
      if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) unlink(SocketPath(pid).c_str());
      continue;
    }
    for (uint64_t h : handles)
      if (!proc(reinterpret_cast<HWND>(static_cast<uintptr_t>(h)), lParam)) return TRUE;
  }
  return TRUE;
}
