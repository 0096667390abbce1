#include "host/audio/audio_converter.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "host/audio/audio_error.h"
#include "host/audio/input_file.h"

namespace pellix {
namespace {

constexpr sf_count_t kBlockFrames = 4096;

struct SndfileCloser {
  void operator()(SNDFILE* file) const noexcept { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

struct SoxrDeleter {
  void operator()(soxr_t resampler) const noexcept { soxr_delete(resampler); }
};
using SoxrHandle = std::unique_ptr<std::remove_pointer_t<soxr_t>, SoxrDeleter>;

std::string Quoted(const std::filesystem::path& path) {
  return "'" + path.string() + "'";
}

AudioError InvalidRecording(const std::filesystem::path& path, const std::string& problem) {
  return AudioError(kInvalidFileFormat, "recording " + Quoted(path) + " " + problem);
}

// The two container layouts whose announced sound size can be checked against the file:
// RIFF/WAVE (little-endian sizes, sound in "data") and FORM/AIFF or AIFC (big-endian, "SSND").
struct Container {
  bool big_endian = false;
  std::string_view sound_chunk;
};

std::uint32_t Size32(const std::array<std::uint8_t, 12>& bytes, std::size_t at, bool big_endian) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::size_t byte = big_endian ? at + i : at + 3 - i;
    value = (value << 8) | bytes[byte];
  }
  return value;
}

bool HasId(const std::array<std::uint8_t, 12>& bytes, std::size_t at, std::string_view id) {
  return std::equal(id.begin(), id.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

// libsndfile reads a WAV or AIFF file cut short as if it were complete, quietly shortening the
// sound to what is there. A cut recording is damaged, so it is refused: the sound chunk must
// hold the bytes its header announces. Sizes 0 and 0xFFFFFFFF are what streaming writers put
// there when they cannot know the length, and are accepted.
void RejectTruncated(const InputFile& file, const std::filesystem::path& path) {
  std::array<std::uint8_t, 12> bytes{};
  if (ReadAt(file, 0, bytes, path) < bytes.size()) return;
  Container container;
  if (HasId(bytes, 0, "RIFF") && HasId(bytes, 8, "WAVE")) {
    container = {false, "data"};
  } else if (HasId(bytes, 0, "FORM") && (HasId(bytes, 8, "AIFF") || HasId(bytes, 8, "AIFC"))) {
    container = {true, "SSND"};
  } else {
    return;
  }
  const std::uint32_t form_size = Size32(bytes, 4, container.big_endian);

  std::uint64_t offset = 12;
  // A bound on the chunks walked, so that a file of empty chunks costs little.
  for (int chunk = 0; chunk < 1000; ++chunk) {
    if (ReadAt(file, offset, std::span(bytes).first(8), path) < 8) {
      // The file ends before the sound; if the form counts more bytes than there are, it was cut.
      if (form_size != 0xFFFFFFFF && 8 + std::uint64_t{form_size} > file.size) {
        throw InvalidRecording(path, "is truncated: it ends before its sound data");
      }
      return;
    }
    const std::uint32_t size = Size32(bytes, 4, container.big_endian);
    if (HasId(bytes, 0, container.sound_chunk)) {
      const std::uint64_t present = file.size - (offset + 8);
      if (size != 0 && size != 0xFFFFFFFF && size > present) {
        throw InvalidRecording(path, "is truncated: its header announces " + std::to_string(size) +
                                         " bytes of sound, but only " + std::to_string(present) +
                                         " are present");
      }
      return;
    }
    offset += 8 + std::uint64_t{size} + (size & 1u);  // chunks are padded to even sizes
  }
}

// One mono value (full scale -1 to 1) as an unsigned 8-bit sample centred on 128: rounded to
// the nearest step, halves to even so that no direction is favoured, clipped to 1..255 (0
// would end the take for the intake).
std::uint8_t Quantise(double value) noexcept {
  if (std::isnan(value)) return 128;
  double level = std::nearbyint(128.0 + 128.0 * value);
  return static_cast<std::uint8_t>(std::clamp(level, 1.0, 255.0));
}

// Appends quantised samples, refusing to grow past what a sample file can count.
void Append(std::vector<std::uint8_t>& out, const double* values, std::size_t count,
            const std::filesystem::path& path) {
  if (out.size() + count > std::numeric_limits<std::uint32_t>::max()) {
    throw AudioError(kOverflow, "recording " + Quoted(path) +
                                    " is too long: more samples than a sample file can count");
  }
  for (std::size_t i = 0; i < count; ++i) out.push_back(Quantise(values[i]));
}

// Streams mono values through libsoxr at high quality, appending the quantised output.
class Resampler {
 public:
  Resampler(int from, std::uint32_t to, const std::filesystem::path& path) : path_(path) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    // One thread: the same input gives the same samples on every machine.
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    soxr_.reset(soxr_create(from, to, 1, &error, &io, &quality, &runtime));
    if (!soxr_ && error == nullptr) error = "out of memory";
    Check(error, " from " + std::to_string(from) + " Hz to " + std::to_string(to) + " Hz");
  }

  // Feeds `count` values.
  void Feed(const double* in, std::size_t count, std::vector<std::uint8_t>& out) {
    while (count > 0) {
      std::size_t used = 0;
      std::size_t produced = 0;
      Check(soxr_process(soxr_.get(), in, count, &used, block_.data(), block_.size(), &produced));
      Append(out, block_.data(), produced, path_);
      if (used == 0 && produced == 0) Check("the resampler made no progress");
      in += used;
      count -= used;
    }
  }

  // Ends the input and collects what the filter still holds.
  void Finish(std::vector<std::uint8_t>& out) {
    std::size_t produced = 0;
    do {
      Check(
          soxr_process(soxr_.get(), nullptr, 0, nullptr, block_.data(), block_.size(), &produced));
      Append(out, block_.data(), produced, path_);
    } while (produced > 0);
  }

 private:
  void Check(soxr_error_t error, const std::string& detail = {}) const {
    if (error != nullptr) {
      throw AudioError(kInvalidProcedureCall,
                       "cannot resample recording " + Quoted(path_) + detail + ": " + error);
    }
  }

  SoxrHandle soxr_;
  std::vector<double> block_ = std::vector<double>(2 * kBlockFrames);
  const std::filesystem::path& path_;
};

}  // namespace

ConvertedRecording ConvertToSamples(const std::filesystem::path& input, std::uint32_t rate,
                                    RecordingLevels* levels) {
  if (rate == 0) {
    throw AudioError(kInvalidProcedureCall,
                     "cannot convert recording " + Quoted(input) + ": the target rate is 0 Hz");
  }
  InputFile file = OpenInputFile(input, "recording");
  if (file.size == 0) throw InvalidRecording(input, "is empty");
  RejectTruncated(file, input);

  // libsndfile reads through our descriptor, which stays ours to close (after sf_close).
  SF_INFO info{};
  SndfileHandle sound(sf_open_fd(file.fd.get(), SFM_READ, &info, SF_FALSE));
  if (!sound) {
    throw AudioError(
        kInvalidFileFormat,
        Quoted(input) + " is not a recording libsndfile can read: " + sf_strerror(nullptr));
  }
  if (info.samplerate <= 0 || info.channels <= 0) {
    throw InvalidRecording(input, "gives no sample rate or no channels");
  }
  if (info.frames <= 0) throw InvalidRecording(input, "holds no sound");
  if (static_cast<double>(info.frames) * rate / info.samplerate >
      std::numeric_limits<std::uint32_t>::max()) {
    throw AudioError(kOverflow, "recording " + Quoted(input) +
                                    " is too long: more samples than a sample file can count");
  }

  ConvertedRecording result;
  result.rate = rate;
  result.source_rate = info.samplerate;
  result.source_channels = info.channels;
  // A source already at the target rate is not filtered at all: its samples pass unchanged.
  const bool resampling = static_cast<std::uint32_t>(info.samplerate) != rate;
  std::optional<Resampler> resampler;
  if (resampling) resampler.emplace(info.samplerate, rate, input);

  const auto channels = static_cast<std::size_t>(info.channels);
  std::vector<double> interleaved(static_cast<std::size_t>(kBlockFrames) * channels);
  std::vector<double> mono(static_cast<std::size_t>(kBlockFrames));
  std::int64_t frames = 0;
  while (true) {
    const sf_count_t got = sf_readf_double(sound.get(), interleaved.data(), kBlockFrames);
    if (got <= 0) break;
    const auto count = static_cast<std::size_t>(got);
    for (std::size_t i = 0; i < count; ++i) {
      double sum = 0;
      for (std::size_t c = 0; c < channels; ++c) sum += interleaved[i * channels + c];
      mono[i] = sum / static_cast<double>(channels);
    }
    if (levels != nullptr) levels->Add(std::span(mono.data(), count));
    if (resampling) {
      resampler->Feed(mono.data(), count, result.samples);
    } else {
      Append(result.samples, mono.data(), count, input);
    }
    frames += got;
  }
  if (sf_error(sound.get()) != SF_ERR_NO_ERROR) {
    throw InvalidRecording(input, std::string("is damaged: ") + sf_strerror(sound.get()));
  }
  if (frames < info.frames) {
    throw InvalidRecording(input, "is truncated: it announces " + std::to_string(info.frames) +
                                      " frames, but only " + std::to_string(frames) +
                                      " could be read");
  }
  if (resampler) resampler->Finish(result.samples);

  result.source_frames = frames;
  result.duration = static_cast<double>(frames) / info.samplerate;
  return result;
}

ConvertedRecording ConvertToSampleFile(const std::filesystem::path& input,
                                       const std::filesystem::path& output, std::uint32_t rate,
                                       RecordingLevels* levels) {
  ConvertedRecording recording = ConvertToSamples(input, rate, levels);
  WriteSampleFile(output, recording.rate, recording.samples);
  return recording;
}

std::filesystem::path PrepareSampleFile(const std::filesystem::path& input, ScratchFolder& scratch,
                                        std::uint32_t rate) {
  if (IsSampleFile(input)) return input;
  std::filesystem::path output = scratch.NewFilePath(input.stem().string() + ".smp");
  ConvertToSampleFile(input, output, rate);
  return output;
}

}  // namespace pellix
