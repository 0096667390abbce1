#include "analysis/sample_source.h"

#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <utility>

#include "analysis/take_path.h"
#include "audio/audio_converter.h"
#include "audio/input_file.h"
#include "audio/sample_file.h"

namespace pellix::analysis {
namespace {

// The samples the intake sees in a sample file: the bytes after the header up to the first 0
// byte, which ends the data whatever the header counts or the file holds after it. The first
// `known` of them are known to be samples.
std::uint64_t CountSamples(const InputFile& file, const std::filesystem::path& path,
                           std::uint64_t known) {
  std::array<std::uint8_t, 64 * 1024> block;
  std::uint64_t samples = known;
  for (;;) {
    const std::size_t got = ReadAt(file, kSampleFileHeaderSize + samples, block, path);
    const auto end = std::find(block.begin(), block.begin() + got, std::uint8_t{0});
    samples += static_cast<std::uint64_t>(end - block.begin());
    if (end != block.begin() + got || got < block.size()) return samples;
  }
}

// The samples the intake will read: up to kSampleWindow, ending at the first 0.
std::vector<std::uint8_t> Window(std::span<const std::uint8_t> samples) {
  samples = samples.first(std::min(samples.size(), kSampleWindow));
  const auto zero = std::find(samples.begin(), samples.end(), 0);
  return {samples.begin(), zero};
}

// What a sample file's window tells: its levels and clipping, and its duration from its count.
void MeasureWindow(PreparedTake& prepared) {
  RecordingLevels levels;
  levels.AddSamples(prepared.window);
  prepared.levels = levels.Figures();
  prepared.clipped_8bit = ClippedShare8Bit(prepared.window);
  prepared.duration =
      static_cast<double>(prepared.samples) / static_cast<double>(prepared.seconds_rate());
}

// A converted recording as the control will read it from `sample_file`. The converter keeps no
// more than the window and never makes a 0: the samples are the window as they stand.
PreparedTake FromRecording(std::filesystem::path sample_file, ConvertedRecording converted,
                           const RecordingLevels& levels) {
  PreparedTake prepared;
  prepared.sample_file = std::move(sample_file);
  prepared.samples = converted.total_samples;
  prepared.rate = converted.rate;
  prepared.duration = converted.duration;
  prepared.levels = levels.Figures();
  prepared.clipped_8bit = ClippedShare8Bit(converted.samples);
  prepared.converted = EncodeSampleFile(converted.rate, converted.samples);
  prepared.window = std::move(converted.samples);
  return prepared;
}

}  // namespace

PreparedTake SampleSource::Prepare(const Take& take) {
  if (take.bytes || take.pcm) return PrepareInMemory(take);
  // Each take is opened once, whatever it turns out to be. What a file that cannot be opened
  // is called in the message goes by its name.
  const bool named_sample_file = HasSampleFileName(take.path);
  const char* const what = named_sample_file ? "sample file" : "recording";
  const std::filesystem::path path = LocalTakePath(take.path.string(), what);
  const InputFile file = OpenInputFile(path, what);
  if (named_sample_file || HasSampleFileSignature(file, path)) {
    return PrepareSampleFile(file, path);
  }
  // The control reads no more than the window: the rest is counted, not converted, though
  // still read for the recording's levels.
  RecordingLevels levels;
  ConvertedRecording converted =
      ConvertToSamples(file, path, kDefaultSampleRate, kSampleWindow, &levels);
  return FromRecording(NewScratchFile(path), std::move(converted), levels);
}

// Read here rather than by the control, so that a missing or unreadable file is reported by
// name.
PreparedTake SampleSource::PrepareSampleFile(const InputFile& file,
                                             const std::filesystem::path& path) {
  PreparedTake prepared;
  prepared.sample_file = path;
  if (std::optional<SampleFileHeader> header = ReadSampleFileHeader(file, path)) {
    prepared.rate = header->rate;
  }
  // The window is read once, and counted from memory; only data that runs on past it is read
  // again, to count the rest.
  const auto data = std::make_unique_for_overwrite<std::uint8_t[]>(kSampleWindow);
  const std::size_t got =
      ReadAt(file, kSampleFileHeaderSize, std::span(data.get(), kSampleWindow), path);
  prepared.window = Window(std::span(data.get(), got));
  const bool ended = prepared.window.size() < kSampleWindow;
  prepared.samples = ended ? prepared.window.size() : CountSamples(file, path, kSampleWindow);
  MeasureWindow(prepared);
  return prepared;
}

// As Prepare does for the file that would hold the bytes or samples. The take's sample file is
// held in memory under a scratch name, as a converted recording's is.
PreparedTake SampleSource::PrepareInMemory(const Take& take) {
  PreparedTake prepared;
  RecordingLevels levels;
  ConvertedRecording converted;
  if (take.pcm) {
    converted = ConvertPcm(*take.pcm, kDefaultSampleRate, kSampleWindow, &levels, take.name);
  } else {
    const std::span<const std::uint8_t> bytes = *take.bytes;
    const bool signature =
        bytes.size() >= kSampleFileSignature.size() &&
        std::equal(kSampleFileSignature.begin(), kSampleFileSignature.end(), bytes.begin());
    if (signature || (HasSampleFileName(take.name) && !bytes.empty())) {
      if (signature && bytes.size() < kSampleFileHeaderSize) {
        throw FileError::Message(kInvalidFileFormat,
                                 "sample file '" + take.name + "' ends inside its header");
      }
      prepared.sample_file = NewScratchFile(take.name);
      if (signature) prepared.rate = DecodeSampleFileHeader(bytes).rate;
      const std::span<const std::uint8_t> data =
          bytes.subspan(std::min(bytes.size(), kSampleFileHeaderSize));
      prepared.samples =
          static_cast<std::uint64_t>(std::find(data.begin(), data.end(), 0) - data.begin());
      prepared.window = Window(data);
      prepared.converted.assign(bytes.begin(), bytes.end());
      MeasureWindow(prepared);
      return prepared;
    }
    converted = ConvertRecordingBytes(bytes, kDefaultSampleRate, kSampleWindow, take.name, &levels);
  }
  return FromRecording(NewScratchFile(take.name), std::move(converted), levels);
}

void SampleSource::Clear() noexcept {
  std::lock_guard lock(mutex_);
  names_.clear();
  named_ = 0;
}

// Converted takes are named in a folder of the temporary folder that is never made: the control
// reads a converted take only while its session holds it in memory, so nothing needs writing,
// and a run makes no folder to remove (its creation and removal were a tenth of what a
// one-file check cost). The folder's name is drawn at random, so that no file is likely to have
// one of these names either.
std::filesystem::path SampleSource::NewScratchFile(const std::filesystem::path& input) {
  std::lock_guard lock(mutex_);
  if (names_.empty()) {
    const char* tmpdir = std::getenv("TMPDIR");
    const std::filesystem::path parent = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
    // From the kernel's generator, or failing that the process and the clock: the name need
    // only be unlikely to be taken, not secret.
    std::uint64_t random = 0;
    if (::getrandom(&random, sizeof random, GRND_NONBLOCK) != sizeof random) {
      random =
          static_cast<std::uint64_t>(::getpid()) << 32 ^
          static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
    char tag[32];
    std::snprintf(tag, sizeof tag, "pellix-%016llx", static_cast<unsigned long long>(random));
    names_ = parent / tag;
  }
  return names_ / (std::to_string(++named_) + "-" + input.stem().string() + ".smp");
}

}  // namespace pellix::analysis
