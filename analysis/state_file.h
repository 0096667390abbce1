// The control's state between runs: its property bag kept as a JSON file, so that the
// calibration constants carry over from one run to the next.
#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include "analysis/state_merge.h"
#include "control/alg_v1s.h"
#include "files/json_property_bag.h"
#include "platform/numbered_error.h"

namespace pellix::analysis {

// A state file that cannot be read, used or written. The message names the file, says what
// went wrong and gives the platform error number and description where there is one.
class StateError : public NumberedError {
 public:
  using NumberedError::NumberedError;
};

// Holds the advisory lock (flock) of a state file for the whole read, analysis and save, so
// that runs sharing a state file take turns instead of losing each other's updates. The lock
// is taken on a hidden file beside the state file (".NAME.lock", beside the target of a
// symbolic link), which stays: removing it could let two runs lock different files.
class StateLock {
 public:
  // Blocks until no other run holds the lock; calls `waiting` first when it has to wait.
  // Takes no lock where `path` names something other than a regular file, nor where the lock
  // file may not be created (a missing or read-only folder): no state can be loaded or saved
  // there either. Fails with StateError when locking fails.
  StateLock(const std::filesystem::path& path, const std::function<void()>& waiting);
  // Waits at most `seconds` (not at all for 0), and no longer once a signal arrives, so that a
  // host can say that it waits and let its user give up; busy() then tells that another run
  // still holds the lock, and this one holds nothing.
  StateLock(const std::filesystem::path& path, double seconds);
  ~StateLock();
  StateLock(const StateLock&) = delete;
  StateLock& operator=(const StateLock&) = delete;

  bool busy() const noexcept { return busy_; }

 private:
  // Opens the lock file and takes the lock if no one holds it: false when it is held. True
  // without a lock where none is taken (see above).
  bool Open(const std::filesystem::path& path);
  [[noreturn]] void Fail(int errno_value) const;

  std::filesystem::path path_;
  std::filesystem::path lock_path_;
  int fd_ = -1;
  bool busy_ = false;
};

// Loads `control` from the bag at `path` (ReadProperties), or starts it as a new instance
// (InitProperties) when there is no file there yet. Returns whether a file was loaded. A file
// that cannot be read, is not a JSON object or lacks any of the properties the control saves
// (someone else's JSON), or a value that the control refuses, is a StateError; the file is
// left as it is. When there is no file, the folder it would go in must exist and be
// writable, so that a run is not wasted on results that cannot be kept.
// The bag as read is left in `loaded`, when given and a file was loaded.
bool LoadState(ALG_V1S& control, const std::filesystem::path& path,
               JsonPropertyBag* loaded = nullptr);

// True when `path` is a state file: a JSON object with every property the control saves.
bool IsStateFile(const std::filesystem::path& path);

// Saves `control` (WriteProperties) to `path` with WriteFileAtomically, so a failed save
// leaves the old file whole; keys of the bag on disk that the control does not write stay.
// With `since`, the control's values are merged into the bag on disk by MergeState instead.
// Fails with StateError, the message giving the cause ("No space left on device").
void SaveState(ALG_V1S& control, const std::filesystem::path& path, StateSync* since = nullptr);

// The text of the bag at `path` as it would be saved again; empty when there is none, or
// nothing a bag can be read from.
std::string StateText(const std::filesystem::path& path);

}  // namespace pellix::analysis
