// Sample files for the control from whatever the user names: a sample file as it is, any
// recording libsndfile reads converted into a sample file held in memory; a take held in
// memory (bytes or PCM samples) as the file holding it would be.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <vector>

#include "analysis/manifest.h"
#include "audio/input_file.h"
#include "audio/recording_levels.h"
#include "audio/sample_file.h"

namespace pellix::analysis {

// A take ready for the control, with what was measured on the way.
struct PreparedTake {
  std::filesystem::path sample_file;
  std::uint64_t samples = 0;         // samples in the file (the intake reads at most kSampleWindow)
  std::uint32_t rate = 0;            // samples per second; 0 when a sample file does not say
  double duration = 0;               // seconds of the recording (of the source when converted)
  LevelFigures levels;               // of the source as read (of the samples for a sample file)
  double clipped_8bit = 0;           // share of the 8-bit samples clipped at the scale's ends
  std::vector<std::uint8_t> window;  // the samples the intake reads, up to the first 0

  // The rate to count seconds by: the file's, or the converter's default when it says none.
  std::uint32_t seconds_rate() const { return rate != 0 ? rate : kDefaultSampleRate; }
  // A converted recording's sample file (or one handed over as bytes), held in memory: the
  // session hands the control these bytes, DATAstr naming them `sample_file` (a path in a
  // folder of the temporary folder that is never made). Empty for a sample file on disk.
  std::vector<std::uint8_t> converted;
};

// Safe to share between threads: each conversion has a name of its own.
class SampleSource {
 public:
  // The sample file for `take`, converting a recording on the way. Errors are FileError,
  // the message naming the file: 53, 70, 75 when it cannot be opened or read (a directory
  // included), 321 when it is not a recording or is damaged, ...; for a take in memory those of
  // ConvertRecordingBytes and ConvertPcm (5 for PCM samples of an impossible shape or rate).
  PreparedTake Prepare(const Take& take);

  // Starts the names of converted takes afresh, in another folder.
  void Clear() noexcept;

 private:
  static PreparedTake PrepareSampleFile(const InputFile& file, const std::filesystem::path& path);
  PreparedTake PrepareInMemory(const Take& take);
  std::filesystem::path NewScratchFile(const std::filesystem::path& input);

  std::mutex mutex_;
  // The folder converted takes are named in, chosen when the first recording needs converting,
  // and how many have been named there.
  std::filesystem::path names_;
  unsigned named_ = 0;
};

}  // namespace pellix::analysis
