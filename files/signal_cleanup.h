// Removing temporary files and folders when a signal ends the process: SIGINT (Ctrl-C),
// SIGTERM (kill) and SIGPIPE (the reader of our output went away). Normal exits and
// exceptions are left to destructors; these signals run no destructor, so a handler removes
// what is registered, then lets the signal end the process as it would have.
#pragma once

#include <signal.h>

#include <cstddef>
#include <string>

namespace pellix {

// Registers a path to remove should one of those signals arrive while the object lives. A
// folder's files are removed with it (one level: the folders registered hold only files).
// The handler is installed by the first registration (or Creation), only for signals whose
// action is the default (a signal the parent ignores stays ignored). At most kMaxCleanupPaths
// paths are registered at once; beyond that, and for a path longer than the system's limit,
// registration quietly does nothing. Movable: the registration goes with the object.
class CleanupOnSignal {
 public:
  enum class Kind { kFile, kFolder };

  // While one lives, a file or folder this thread creates and then registers cannot be left
  // behind by a signal arriving between the two: the signals wait in this thread until it goes,
  // and a handler running on another thread waits for it before removing anything. Nothing
  // under it may allocate or free memory (the signal may have stopped that other thread inside
  // the allocator) or wait on another thread.
  //
  //   { const CleanupOnSignal::Creation creating;
  //     if (::mkdtemp(pattern.data()) != nullptr) cleanup = CleanupOnSignal(pattern, kFolder); }
  class Creation {
   public:
    Creation() noexcept;
    ~Creation();
    Creation(const Creation&) = delete;
    Creation& operator=(const Creation&) = delete;

   private:
    sigset_t mask_;  // the thread's signal mask before
  };

  CleanupOnSignal() noexcept = default;  // registers nothing
  CleanupOnSignal(const std::string& path, Kind kind) noexcept;
  ~CleanupOnSignal();
  CleanupOnSignal(CleanupOnSignal&& other) noexcept;
  CleanupOnSignal& operator=(CleanupOnSignal&& other) noexcept;
  CleanupOnSignal(const CleanupOnSignal&) = delete;
  CleanupOnSignal& operator=(const CleanupOnSignal&) = delete;

 private:
  void Release() noexcept;

  int slot_ = -1;
};

inline constexpr std::size_t kMaxCleanupPaths = 64;

}  // namespace pellix
