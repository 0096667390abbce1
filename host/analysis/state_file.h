// The control's state between runs: its property bag kept as a JSON file, so that the
// calibration constants carry over from one run to the next.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "shell/alg_v1s.h"

namespace pellix::analysis {

// A state file that cannot be read, used or written. The message names the file, says what
// went wrong and gives the platform error number and description where there is one.
class StateError : public std::runtime_error {
 public:
  StateError(const std::string& message, int number)
      : std::runtime_error(message), number_(number) {}
  int number() const noexcept { return number_; }  // the platform error number

 private:
  int number_;
};

// Loads `control` from the bag at `path` (ReadProperties), or starts it as a new instance
// (InitProperties) when there is no file there yet. Returns whether a file was loaded. A file
// that is not a JSON object, or a value that the control refuses, is a StateError; the file
// is left as it is. When there is no file, the folder it would go in must exist and be
// writable, so that a run is not wasted on results that cannot be kept.
bool LoadState(ALG_V1S& control, const std::filesystem::path& path);

// Saves `control` (WriteProperties) to `path` through a temporary file and a rename, so a
// failed save leaves the old file whole. Fails with StateError.
void SaveState(ALG_V1S& control, const std::filesystem::path& path);

}  // namespace pellix::analysis
