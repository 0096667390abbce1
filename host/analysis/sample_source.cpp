#include "host/analysis/sample_source.h"

#include "host/audio/audio_converter.h"
#include "host/audio/input_file.h"
#include "host/audio/sample_file.h"

namespace pellix::analysis {

PreparedTake SampleSource::Prepare(const Take& take) {
  if (IsSampleFile(take.path)) {
    // Read here rather than by the control, so that a missing or unreadable file is reported
    // by name.
    PreparedTake prepared{take.path, 0, 0, {}};
    if (std::optional<SampleFileHeader> header = ReadSampleFileHeader(take.path)) {
      prepared.samples = header->sample_count;
      prepared.rate = header->rate;
    } else {
      InputFile file = OpenInputFile(take.path, "sample file");
      prepared.samples = file.size > kSampleFileHeaderSize ? file.size - kSampleFileHeaderSize : 0;
    }
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
