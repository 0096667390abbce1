#include "files/signal_cleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>
#include <utility>

namespace pellix {
namespace {

enum SlotState : int { kFree = 0, kFilling = 1, kFile = 2, kFolder = 3 };

struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX]{};
};

// Zero from the start, with no code run at start-up: an initialiser that wrote each slot's
// state would touch every page of the table (a quarter of a megabyte) in every process.
constinit Slot slots[kMaxCleanupPaths];

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGPIPE};

// Creations under way (CleanupOnSignal::Creation), and whether a handler has begun: from then
// on no creation starts, and the handler waits for those under way to end.
std::atomic<int> creating{0};
std::atomic<bool> ending{false};
thread_local int creations_here = 0;  // this thread's, one inside another

// Only async-signal-safe calls from here to the end of OnSignal: the signal may have
// interrupted anything, a memory allocation included.
void RemoveFolder(const char* path) noexcept {
  // Removing entries while reading the folder may hide some from the listing; a few passes
  // find them.
  for (int pass = 0; pass < 3; ++pass) {
    const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    alignas(dirent64) char buffer[4096];
    for (;;) {
      const ssize_t got = ::getdents64(fd, buffer, sizeof buffer);
      if (got <= 0) break;
      for (ssize_t offset = 0; offset < got;) {
        const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
          ::unlinkat(fd, name, 0);
        }
        offset += entry->d_reclen;
      }
    }
    ::close(fd);
    if (::rmdir(path) == 0 || errno != ENOTEMPTY) return;
  }
}

void OnSignal(int signal_number) {
  const int saved_errno = errno;
  // What another thread is making now is registered before anything is removed.
  ending.store(true);
  while (creating.load() != 0) {
    const timespec moment{0, 100000};
    ::nanosleep(&moment, nullptr);
  }
  for (Slot& slot : slots) {
    const int state = slot.state.load();
    if (state == kFile) ::unlink(slot.path);
    if (state == kFolder) RemoveFolder(slot.path);
  }
  // End the process as the signal would have: it is delivered again once this handler
  // returns, now with its default action.
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(signal_number, &action, nullptr);
  ::raise(signal_number);
  errno = saved_errno;
}

void InstallHandlers() {
  for (int signal_number : kSignals) {
    struct sigaction old {};
    if (::sigaction(signal_number, nullptr, &old) != 0) continue;
    if ((old.sa_flags & SA_SIGINFO) != 0 || old.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    ::sigfillset(&action.sa_mask);  // no other signal interrupts the cleanup
    action.sa_flags = SA_RESTART;
    ::sigaction(signal_number, &action, nullptr);
  }
}

// Whether the handlers are installed; installs them on the first call.
bool Installed() noexcept {
  static std::once_flag installed;
  try {
    std::call_once(installed, InstallHandlers);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

CleanupOnSignal::Creation::Creation() noexcept {
  Installed();
  // Touched first here, outside the creation: a thread's first use of it may allocate.
  const bool outermost = creations_here++ == 0;
  sigset_t signals;
  ::sigemptyset(&signals);
  for (int signal_number : kSignals) ::sigaddset(&signals, signal_number);
  ::pthread_sigmask(SIG_BLOCK, &signals, &mask_);
  creating.fetch_add(1);
  // A handler is removing what was made and will end the process: nothing more is made. (One
  // inside another goes on, as the handler waits for the outer one.)
  if (outermost && ending.load()) {
    creating.fetch_sub(1);
    for (;;) ::pause();
  }
}

CleanupOnSignal::Creation::~Creation() {
  creating.fetch_sub(1);
  --creations_here;
  ::pthread_sigmask(SIG_SETMASK, &mask_, nullptr);
}

CleanupOnSignal::CleanupOnSignal(const std::string& path, Kind kind) noexcept {
  if (!Installed()) return;  // no handler: nothing to register
  if (path.empty() || path.size() >= PATH_MAX || path.find('\0') != std::string::npos) return;
  // A slot freed and taken again is not rewritten while a handler reads it.
  const Creation registering;
  for (int i = 0; i < static_cast<int>(kMaxCleanupPaths); ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
    slots[i].state.store(kind == Kind::kFile ? kFile : kFolder);
    slot_ = i;
    return;
  }
}

CleanupOnSignal::CleanupOnSignal(CleanupOnSignal&& other) noexcept
    : slot_(std::exchange(other.slot_, -1)) {}

CleanupOnSignal& CleanupOnSignal::operator=(CleanupOnSignal&& other) noexcept {
  if (this != &other) {
    Release();
    slot_ = std::exchange(other.slot_, -1);
  }
  return *this;
}

CleanupOnSignal::~CleanupOnSignal() {
  Release();
}

void CleanupOnSignal::Release() noexcept {
  if (slot_ >= 0) slots[std::exchange(slot_, -1)].state.store(kFree);
}

}  // namespace pellix
