#include "host/analysis/sample_source.h"

#include <algorithm>
#include <array>

#include "host/audio/audio_converter.h"
#include "host/audio/input_file.h"
#include "host/audio/sample_file.h"

namespace pellix::analysis {
namespace {

// The samples the intake sees in a sample file: the bytes after the header up to the first 0
// byte, which ends the data whatever the header counts or the file holds after it.
std::uint64_t CountSamples(const std::filesystem::path& path) {
  InputFile file = OpenInputFile(path, "sample file");
  std::array<std::uint8_t, 64 * 1024> block;
  std::uint64_t samples = 0;
  for (;;) {
    const std::size_t got = ReadAt(file, kSampleFileHeaderSize + samples, block, path);
    const auto end = std::find(block.begin(), block.begin() + got, std::uint8_t{0});
    samples += static_cast<std::uint64_t>(end - block.begin());
    if (end != block.begin() + got || got < block.size()) return samples;
  }
}

}  // namespace

PreparedTake SampleSource::Prepare(const Take& take) {
  if (IsSampleFile(take.path)) {
    // Read here rather than by the control, so that a missing or unreadable file is reported
    // by name.
    PreparedTake prepared{take.path, 0, 0, {}};
    if (std::optional<SampleFileHeader> header = ReadSampleFileHeader(take.path)) {
      prepared.rate = header->rate;
    }
    prepared.samples = CountSamples(take.path);
    return prepared;
  }
  // The control reads no more than the window: the rest is counted, not converted.
  const ConvertedRecording converted =
      ConvertToSamples(take.path, kDefaultSampleRate, kSampleWindow);
  return {NewScratchFile(take.path), converted.total_samples, converted.rate,
          EncodeSampleFile(converted.rate, converted.samples)};
}

void SampleSource::Clear() noexcept {
  std::lock_guard lock(mutex_);
  scratch_.reset();
}

std::filesystem::path SampleSource::NewScratchFile(const std::filesystem::path& input) {
  std::lock_guard lock(mutex_);
  if (!scratch_) scratch_.emplace();
  return scratch_->NewFilePath(input.stem().string() + ".smp");
}

}  // namespace pellix::analysis
