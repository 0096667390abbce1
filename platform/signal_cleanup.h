// Removing temporary files and folders when a signal ends the process: SIGINT (Ctrl-C),
// SIGTERM (kill) and SIGPIPE (the reader of our output went away). Normal exits and
// exceptions are left to destructors; these signals run no destructor, so a handler removes
// what is registered, then lets the signal end the process as it would have.
#pragma once

#include <cstddef>
#include <string>

namespace pellix {

// Registers a path to remove should one of those signals arrive while the object lives. A
// folder's files are removed with it (one level: the folders registered hold only files).
// The handler is installed by the first registration, only for signals whose action is the
// default (a signal the parent ignores stays ignored). At most kMaxCleanupPaths paths are
// registered at once; beyond that, and for a path longer than the system's limit, registration
// quietly does nothing.
class CleanupOnSignal {
 public:
  enum class Kind { kFile, kFolder };

  CleanupOnSignal(const std::string& path, Kind kind) noexcept;
  ~CleanupOnSignal();
  CleanupOnSignal(const CleanupOnSignal&) = delete;
  CleanupOnSignal& operator=(const CleanupOnSignal&) = delete;

 private:
  int slot_ = -1;
};

inline constexpr std::size_t kMaxCleanupPaths = 64;

}  // namespace pellix
