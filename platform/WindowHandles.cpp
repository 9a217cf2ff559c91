// Window handle numbers. Handles travel between processes as 32-bit numbers (command lines,
// messages), so every handle stays in 0x10000..0x7FFFFFFF: each process reserves blocks of 2^16
// numbers from a per-user allocator in the runtime folder, one file <runtime>/windows/blocks/<n>
// naming the owning process, and the block of a handle tells which process owns the window.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "KernelObjects.h"
#include "WndInternal.h"

namespace {
constexpr unsigned kBlockBits = 16;
constexpr uint32_t kFirstBlock = 1;  // block 0 would give handles that clash with HWND_BOTTOM and the like
constexpr uint32_t kLastBlock = 0x7FFF;
constexpr uint32_t kStep = 4;

std::mutex g_mutex;
DWORD g_owner = 0;              // the process the blocks below belong to: a forked child reserves its own
std::vector<uint32_t> g_blocks;  // reserved by this process; the last one is being filled
uint32_t g_next = 0;             // low half of the next handle in the last block
std::unordered_map<uint32_t, DWORD> g_known;  // other processes' blocks as last read

std::string BlocksFolder() { return qlw::RuntimeFolder() + "/windows/blocks"; }
std::string BlockPath(uint32_t block) { return BlocksFolder() + "/" + std::to_string(block); }

// The process a block file names; 0 when there is no file or it cannot be read.
DWORD ReadOwner(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char text[32];
  ssize_t n;
  while ((n = read(fd, text, sizeof text - 1)) < 0 && errno == EINTR) {
  }
  close(fd);
  if (n <= 0) return 0;
  text[n] = '\0';
  char* end = nullptr;
  const unsigned long pid = std::strtoul(text, &end, 10);
  if (end == text || pid == 0 || pid > INT_MAX) return 0;
  return static_cast<DWORD>(pid);
}

bool Alive(DWORD pid) { return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

bool Mine(uint32_t block) { return std::find(g_blocks.begin(), g_blocks.end(), block) != g_blocks.end(); }

// The lowest block that is free or whose process has ended, recorded as ours; 0 on failure.
uint32_t ReserveBlock(DWORD me) {
  const std::string folder = BlocksFolder();
  if (!qlw::MakeFolders(folder)) return 0;
  const int lock = open((folder + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock < 0) return 0;
  while (flock(lock, LOCK_EX) != 0 && errno == EINTR) {
  }
  uint32_t taken = 0;
  for (uint32_t block = kFirstBlock; block <= kLastBlock; ++block) {
    const DWORD owner = ReadOwner(BlockPath(block));
    // A file naming this process but not among its blocks was left by an ended one of the same id.
    if (owner == me ? Mine(block) : owner != 0 && Alive(owner)) continue;
    // Written aside and renamed, so that a reader never sees a file half written.
    const std::string temp = folder + "/.new-" + std::to_string(me);
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) break;
    const std::string text = std::to_string(me) + "\n";
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    if (written && rename(temp.c_str(), BlockPath(block).c_str()) == 0) taken = block;
    else unlink(temp.c_str());
    break;
  }
  flock(lock, LOCK_UN);
  close(lock);
  return taken;
}
}  // namespace

namespace qlw::wnd {
HWND NewWindowHandle() {
  std::lock_guard<std::mutex> guard(g_mutex);
  const DWORD me = GetCurrentProcessId();
  if (g_owner != me) {
    g_owner = me;
    g_blocks.clear();
    g_known.clear();
  }
  if (g_blocks.empty() || g_next >= (1u << kBlockBits)) {
    uint32_t block = ReserveBlock(me);
    // Without a usable runtime folder no other process reaches these windows anyway: a block
    // of our own keeps the windows of this process working.
    if (!block) block = kFirstBlock + me % (kLastBlock - kFirstBlock + 1);
    g_blocks.push_back(block);
    g_next = kStep;
  }
  const uintptr_t handle = uintptr_t{g_blocks.back()} << kBlockBits | g_next;
  g_next += kStep;
  return reinterpret_cast<HWND>(handle);
}

DWORD ProcessOfHandle(HWND hwnd) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(hwnd);
  if (value >> 31) return 0;
  const auto block = static_cast<uint32_t>(value >> kBlockBits);
  if (block < kFirstBlock) return 0;
  std::lock_guard<std::mutex> guard(g_mutex);
  const DWORD me = GetCurrentProcessId();
  if (g_owner == me && Mine(block)) return me;
  // A block changes hands only once its process has ended, so a living owner is still the owner.
  if (auto it = g_known.find(block); it != g_known.end() && Alive(it->second)) return it->second;
  DWORD owner = ReadOwner(BlockPath(block));
  if (owner == me) owner = 0;  // left by an ended process of the same id
  if (owner && Alive(owner)) g_known[block] = owner;
  else g_known.erase(block);
  return owner;
}
}  // namespace qlw::wnd
