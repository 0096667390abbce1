// Sample files for the control from whatever the user names: a sample file as it is, any
// recording libsndfile reads converted into one private scratch folder for the whole run.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <vector>

#include "host/analysis/manifest.h"
#include "host/audio/scratch_folder.h"

namespace pellix::analysis {

// A take ready for the control.
struct PreparedTake {
  std::filesystem::path sample_file;
  // Samples of the take: in the sample file, or in the whole recording converted (of which
  // the scratch file holds only what the intake reads, kSampleWindow at most).
  std::uint64_t samples = 0;
  std::uint32_t rate = 0;  // samples per second; 0 when a sample file does not say
  // A converted recording's sample file, held in memory under the name `sample_file` (a path
  // in the run's private scratch folder that no file takes); empty for a sample file on disk.
  std::vector<std::uint8_t> converted;
};

// Safe to share between threads: each conversion has a name of its own.
class SampleSource {
 public:
  // The sample file for `take`, converting a recording on the way. Errors are AudioError,
  // the message naming the file: 53, 70, 75 when it cannot be opened or read (a directory
  // included), 321 when it is not a recording or is damaged, ...
  PreparedTake Prepare(const Take& take);

  // Removes the scratch folder and the converted files now (the destructor does too).
  void Clear() noexcept;

 private:
  std::filesystem::path NewScratchFile(const std::filesystem::path& input);

  std::mutex mutex_;
  std::optional<ScratchFolder> scratch_;  // made when the first recording needs converting
};

}  // namespace pellix::analysis
