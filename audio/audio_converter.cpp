#include "audio/audio_converter.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "audio/flac_decoder.h"
#include "audio/input_file.h"
#include "audio/mono_reader.h"
#include "audio/mono_source.h"
#include "audio/recording_bytes.h"
#include "audio/recording_reader.h"
#include "audio/wav_pcm.h"
#include "files/file_error.h"

namespace pellix {
namespace {

constexpr std::size_t kBlockFrames = kMonoBlockFrames;

struct SndfileCloser {
  void operator()(SNDFILE* file) const noexcept { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

struct SoxrDeleter {
  void operator()(soxr_t resampler) const noexcept { soxr_delete(resampler); }
};
using SoxrHandle = std::unique_ptr<std::remove_pointer_t<soxr_t>, SoxrDeleter>;

std::string Quoted(const std::string& name) {
  return "'" + name + "'";
}

FileError InvalidRecording(const std::string& name, const std::string& problem) {
  return FileError::Message(kInvalidFileFormat, "recording " + Quoted(name) + " " + problem);
}

FileError TooLong(const std::string& name) {
  return FileError::Message(
      kOverflow,
      "recording " + Quoted(name) + " is too long: more samples than a sample file can count");
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
// there when they cannot know the length, and are accepted. `read_at(offset, span)` reads the
// recording's bytes, as many as there are; `size` is its length in bytes.
template <typename ReadAtFunction>
void RejectTruncated(std::uint64_t size, const ReadAtFunction& read_at, const std::string& name) {
  std::array<std::uint8_t, 12> bytes{};
  if (read_at(0, std::span(bytes)) < bytes.size()) return;
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
    if (read_at(offset, std::span(bytes).first(8)) < 8) {
      // The file ends before the sound; if the form counts more bytes than there are, it was cut.
      if (form_size != 0xFFFFFFFF && 8 + std::uint64_t{form_size} > size) {
        throw InvalidRecording(name, "is truncated: it ends before its sound data");
      }
      return;
    }
    const std::uint32_t chunk_size = Size32(bytes, 4, container.big_endian);
    if (HasId(bytes, 0, container.sound_chunk)) {
      const std::uint64_t present = size - (offset + 8);
      if (chunk_size != 0 && chunk_size != 0xFFFFFFFF && chunk_size > present) {
        throw InvalidRecording(name, "is truncated: its header announces " +
                                         std::to_string(chunk_size) + " bytes of sound, but only " +
                                         std::to_string(present) + " are present");
      }
      return;
    }
    offset += 8 + std::uint64_t{chunk_size} + (chunk_size & 1u);  // chunks are padded to even sizes
  }
}

// Mono values (full scale -1 to 1) as unsigned 8-bit samples centred on 128: rounded to the
// nearest step, halves to even so that no direction is favoured, clipped to 1..255 (0 would end
// the take for the intake); NaN is silence. Clipping before rounding gives the same as after, the
// bounds being whole. Adding 2^52 then rounds to a whole number exactly as nearbyint does, and
// leaves that number in the low bits. Written plainly, one value a step, so that the compiler
// works on as many at a time as the processor holds; each rounds as it would alone.
template <typename Value>
inline void QuantiseValues(const Value* values, std::size_t count, std::uint8_t* out) noexcept {
  constexpr double kRoundingShift = 4503599627370496.0;  // 2^52
  for (std::size_t i = 0; i < count; ++i) {
    const double value = values[i];
    double level = 128.0 + 128.0 * value;
    level = level > 1.0 ? level : 1.0;
    level = level < 255.0 ? level : 255.0;
    level = value == value ? level : 128.0;
    out[i] = static_cast<std::uint8_t>(std::bit_cast<std::uint64_t>(level + kRoundingShift));
  }
}

__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void Quantise(
    const float* values, std::size_t count, std::uint8_t* out) noexcept {
  QuantiseValues(values, count, out);
}
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void Quantise(
    const double* values, std::size_t count, std::uint8_t* out) noexcept {
  QuantiseValues(values, count, out);
}

// Appends quantised samples, refusing to grow past what a sample file can count.
template <typename Value>
void Append(std::vector<std::uint8_t>& out, const Value* values, std::size_t count,
            const std::string& name) {
  if (out.size() + count > std::numeric_limits<std::uint32_t>::max()) throw TooLong(name);
  const std::size_t at = out.size();
  out.resize(at + count);
  Quantise(values, count, out.data() + at);
}

// Streams mono values through libsoxr at high quality, appending the quantised output. The
// values come as doubles or, when they are whole multiples of 2^-16 of full scale, as floats,
// which hold them exactly: either way the filter is handed the same numbers.
class Resampler {
 public:
  Resampler(int from, std::uint32_t to, bool floats, const std::string& name)
      : from_(from), to_(to), floats_(floats) {
    const std::string rates =
        " from " + std::to_string(from) + " Hz to " + std::to_string(to) + " Hz";
    soxr_ = Create(SOXR_FLOAT32_I, name, rates);
    // libsoxr's 32-bit engines filter in floats, which is what high quality picks: their
    // output is taken as the floats it is, where doubles would only widen it at twice the
    // memory traffic. Any other engine hands over doubles.
    if (std::string_view(soxr_engine(soxr_.get())).starts_with("cr32")) {
      float_block_.resize(2 * kBlockFrames);
    } else {
      soxr_ = Create(SOXR_FLOAT64_I, name, rates);
      double_block_.resize(2 * kBlockFrames);
    }
  }

  // The samples a whole recording of `frames` frames resamples to, once the filter is drained:
  // the exact number of frames x to / from, rounded half up (libsoxr's count).
  static std::uint64_t OutputLength(std::int64_t frames, int from, std::uint32_t to) noexcept {
    return static_cast<std::uint64_t>(std::llround(static_cast<double>(frames) * to / from));
  }

  // Feeds `count` values: floats when made for floats, doubles otherwise.
  void Feed(const void* in, std::size_t count, std::vector<std::uint8_t>& out,
            const std::string& name) {
    const std::size_t value_size = floats_ ? sizeof(float) : sizeof(double);
    while (count > 0) {
      const auto [used, produced] = Process(in, count, out, name);
      if (used == 0 && produced == 0) Check("the resampler made no progress", name);
      in = static_cast<const std::byte*>(in) + used * value_size;
      count -= used;
    }
  }

  // Ends the input and collects what the filter still holds.
  void Finish(std::vector<std::uint8_t>& out, const std::string& name) {
    while (Process(nullptr, 0, out, name).second > 0) {
    }
  }

 private:
  static void Check(soxr_error_t error, const std::string& name, const std::string& detail = {}) {
    if (error != nullptr) {
      throw FileError::Message(kInvalidProcedureCall,
                               "cannot resample recording " + Quoted(name) + detail + ": " + error);
    }
  }

  SoxrHandle Create(soxr_datatype_t output, const std::string& name, const std::string& rates) {
    const soxr_io_spec_t io = soxr_io_spec(floats_ ? SOXR_FLOAT32_I : SOXR_FLOAT64_I, output);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    // One thread: the same input gives the same samples on every machine.
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    SoxrHandle soxr(soxr_create(from_, to_, 1, &error, &io, &quality, &runtime));
    if (!soxr && error == nullptr) error = "out of memory";
    Check(error, name, rates);
    return soxr;
  }

  // One call of the resampler on `count` values at `in` (none to drain it), its output
  // quantised onto `out`: the values used and the samples made.
  std::pair<std::size_t, std::size_t> Process(const void* in, std::size_t count,
                                              std::vector<std::uint8_t>& out,
                                              const std::string& name) {
    std::size_t used = 0;
    std::size_t produced = 0;
    size_t* const used_out = in != nullptr ? &used : nullptr;
    if (!float_block_.empty()) {
      Check(soxr_process(soxr_.get(), in, count, used_out, float_block_.data(), float_block_.size(),
                         &produced),
            name);
      Append(out, float_block_.data(), produced, name);
    } else {
      Check(soxr_process(soxr_.get(), in, count, used_out, double_block_.data(),
                         double_block_.size(), &produced),
            name);
      Append(out, double_block_.data(), produced, name);
    }
    return {used, produced};
  }

  int from_;
  std::uint32_t to_;
  bool floats_;
  SoxrHandle soxr_;
  // The output block of the engine's type; the other stays empty.
  std::vector<float> float_block_;
  std::vector<double> double_block_;
};

void RejectTargetRateZero(std::uint32_t rate, const std::string& name) {
  if (rate == 0) {
    throw FileError::Message(kInvalidProcedureCall, "cannot convert recording " + Quoted(name) +
                                                        ": the target rate is 0 Hz");
  }
}

SndfileHandle Opened(SNDFILE* sound, const std::string& name) {
  if (sound == nullptr) {
    throw FileError::Message(
        kInvalidFileFormat,
        Quoted(name) + " is not a recording libsndfile can read: " + sf_strerror(nullptr));
  }
  return SndfileHandle(sound);
}

// Decodes, mixes down, resamples and quantises a recording from its source.
ConvertedRecording Convert(MonoSource& reader, const std::string& name, std::uint32_t rate,
                           std::size_t keep, RecordingLevels* levels) {
  const SourceFacts& info = reader.facts();
  if (info.rate <= 0 || info.channels <= 0) {
    throw InvalidRecording(name, "gives no sample rate or no channels");
  }
  if (info.frames <= 0) throw InvalidRecording(name, "holds no sound");
  if (info.rate < kLowestRecordingRate || info.rate > kHighestRecordingRate) {
    throw InvalidRecording(name, "claims a sample rate of " + std::to_string(info.rate) +
                                     " Hz; recordings from " +
                                     std::to_string(kLowestRecordingRate) + " to " +
                                     std::to_string(kHighestRecordingRate) + " Hz can be read");
  }
  if (static_cast<double>(info.frames) * rate / info.rate >
      std::numeric_limits<std::uint32_t>::max()) {
    throw TooLong(name);
  }
  // Stopping early needs a seek to the end, which only a seekable recording allows; such a
  // recording is converted whole, and still only `asked` samples are kept.
  const std::size_t asked = keep;
  if (!info.seekable) keep = kWholeRecording;

  ConvertedRecording result;
  result.rate = rate;
  result.source_rate = info.rate;
  result.source_channels = info.channels;
  // A source already at the target rate is not filtered at all: its samples pass unchanged.
  const bool resampling = static_cast<std::uint32_t>(info.rate) != rate;
  // A resampler for each recording: libsoxr designs its filters when one is made and again
  // when one is cleared for reuse, so keeping one would spare nothing.
  std::optional<Resampler> resampler;
  if (resampling) resampler.emplace(info.rate, rate, reader.floats(), name);
  const std::uint64_t announced = resampling ? Resampler::OutputLength(info.frames, info.rate, rate)
                                             : static_cast<std::uint64_t>(info.frames);
  constexpr std::uint64_t kLargestReservation = std::uint64_t{1} << 22;
  result.samples.reserve(static_cast<std::size_t>(
      std::min({announced + kBlockFrames, std::uint64_t{keep}, kLargestReservation})));

  while (result.samples.size() < keep) {
    const std::size_t count = reader.Read(true);
    if (count == 0) break;
    if (resampling) {
      resampler->Feed(reader.floats() ? static_cast<const void*>(reader.mono_floats())
                                      : static_cast<const void*>(reader.mono()),
                      count, result.samples, name);
    } else if (reader.floats()) {
      Append(result.samples, reader.mono_floats(), count, name);
    } else {
      Append(result.samples, reader.mono(), count, name);
    }
  }
  std::int64_t frames = reader.frames();
  const bool stopped = result.samples.size() >= keep && frames < info.frames;
  // The levels are of the whole recording: the rest is read for them, though not converted.
  if (stopped && levels != nullptr) {
    while (reader.Read(false) > 0) {
    }
    frames = reader.frames();
  }
  reader.CheckRead(name);
  if (stopped) {
    // Stopped with the samples kept: the rest of the recording is counted, not converted.
    if (frames < info.frames) reader.RequireLastFrame(name);
    frames = info.frames;
    result.total_samples = announced;
  } else {
    if (frames < info.frames) {
      throw InvalidRecording(name, "is truncated: it announces " + std::to_string(info.frames) +
                                       " frames, but only " + std::to_string(frames) +
                                       " could be read");
    }
    if (resampler) resampler->Finish(result.samples, name);
    result.total_samples = result.samples.size();
  }
  if (result.samples.size() > asked) result.samples.resize(asked);

  result.source_frames = frames;
  result.duration = static_cast<double>(frames) / info.rate;
  return result;
}

// Converts a recording opened with libsndfile.
ConvertedRecording Convert(SNDFILE* sound, const SF_INFO& info, const std::string& name,
                           std::uint32_t rate, std::size_t keep, RecordingLevels* levels) {
  MonoReader reader(sound, info, levels);
  return Convert(reader, name, rate, keep, levels);
}

// Converts a plain PCM WAV or a FLAC recording read straight from its bytes, sparing
// libsndfile's start-up and its copies of the samples; nothing for any other, or for one that
// turns out not to be read here exactly as libsndfile reads it, which libsndfile then reads
// from its start (with the levels as they were before) so that it fails or succeeds as it
// always has. A failed read of the file is raised as it is.
std::optional<ConvertedRecording> ConvertDirectly(RecordingBytes& bytes, const std::string& name,
                                                  std::uint32_t rate, std::size_t keep,
                                                  RecordingLevels* levels) {
  const std::optional<RecordingLevels> before =
      levels != nullptr ? std::optional(*levels) : std::nullopt;
  try {
    std::unique_ptr<MonoSource> source = OpenWavPcm(bytes, levels);
    if (!source) source = OpenFlac(bytes, levels);
    if (!source) return std::nullopt;
    return Convert(*source, name, rate, keep, levels);
  } catch (const ReadThroughLibsndfile&) {
    if (levels != nullptr) *levels = *before;
    return std::nullopt;
  }
}

// A recording held in memory, read by libsndfile through these callbacks.
struct MemoryRecording {
  std::span<const std::uint8_t> bytes;
  sf_count_t position = 0;

  static MemoryRecording& Of(void* user) { return *static_cast<MemoryRecording*>(user); }
  static sf_count_t Length(void* user) { return static_cast<sf_count_t>(Of(user).bytes.size()); }
  static sf_count_t Seek(sf_count_t offset, int whence, void* user) {
    MemoryRecording& m = Of(user);
    sf_count_t base = 0;
    if (whence == SEEK_CUR) base = m.position;
    if (whence == SEEK_END) base = Length(user);
    if (offset < -base || offset > std::numeric_limits<sf_count_t>::max() - base) return -1;
    m.position = base + offset;
    return m.position;
  }
  static sf_count_t Read(void* out, sf_count_t count, void* user) {
    MemoryRecording& m = Of(user);
    const sf_count_t left = std::max<sf_count_t>(Length(user) - m.position, 0);
    const sf_count_t n = std::clamp<sf_count_t>(count, 0, left);
    if (n > 0) std::memcpy(out, m.bytes.data() + m.position, static_cast<std::size_t>(n));
    m.position += n;
    return n;
  }
  static sf_count_t Write(const void*, sf_count_t, void*) { return 0; }
  static sf_count_t Tell(void* user) { return Of(user).position; }
};

FileError InvalidPcm(const std::string& name, const std::string& problem) {
  return FileError::Message(kInvalidProcedureCall,
                            "cannot take PCM samples " + Quoted(name) + ": " + problem);
}

// Rejects PCM samples whose description cannot be right, before anything reads them.
void CheckPcmShape(const PcmSamples& pcm, const std::string& name) {
  const int held = int{!pcm.whole16.empty()} + int{!pcm.floats.empty()} + int{!pcm.doubles.empty()};
  if (held > 1) throw InvalidPcm(name, "they are given in more than one form");
  if (pcm.rate < static_cast<std::uint32_t>(kLowestRecordingRate) ||
      pcm.rate > static_cast<std::uint32_t>(kHighestRecordingRate)) {
    throw InvalidPcm(name, "the rate is " + std::to_string(pcm.rate) + " Hz; rates from " +
                               std::to_string(kLowestRecordingRate) + " to " +
                               std::to_string(kHighestRecordingRate) + " Hz can be taken");
  }
  if (pcm.channels == 0 || pcm.channels > kMostPcmChannels) {
    throw InvalidPcm(name, "they have " + std::to_string(pcm.channels) + " channels; 1 to " +
                               std::to_string(kMostPcmChannels) + " can be taken");
  }
  if (pcm.size() % pcm.channels != 0) {
    throw InvalidPcm(name, std::to_string(pcm.size()) +
                               " values are not a whole number of frames of " +
                               std::to_string(pcm.channels) + " channels");
  }
  if (pcm.size() == 0) throw InvalidRecording(name, "holds no sound");
}

template <typename Value>
std::span<const std::uint8_t> AsBytes(std::span<const Value> values) noexcept {
  return {reinterpret_cast<const std::uint8_t*>(values.data()), values.size_bytes()};
}

// Whether every float sample is a 16-bit sample s / 32768; if so, `whole16` receives the s.
// A sample that is not a number or infinite is refused: it has no level to convert.
template <typename Value>
bool WholeSixteenths(std::span<const Value> values, std::vector<std::int16_t>& whole16,
                     const std::string& name) {
  bool whole = true;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const Value value = values[i];
    if (!std::isfinite(value)) {
      throw InvalidRecording(
          name, "holds a sample that is " +
                    std::string(std::isnan(value) ? "not a number" : "infinite") + " (value " +
                    std::to_string(i) + ")");
    }
    const double units = static_cast<double>(value) * 32768.0;
    whole = whole && units >= -32768.0 && units <= 32767.0 && units == std::nearbyint(units);
  }
  if (!whole) return false;
  whole16.resize(values.size());
  std::transform(values.begin(), values.end(), whole16.begin(), [](Value value) {
    return static_cast<std::int16_t>(static_cast<double>(value) * 32768.0);
  });
  return true;
}

}  // namespace

ConvertedRecording ConvertToSamples(const std::filesystem::path& input, std::uint32_t rate,
                                    std::size_t keep, RecordingLevels* levels) {
  RejectTargetRateZero(rate, input.string());
  return ConvertToSamples(OpenInputFile(input, "recording"), input, rate, keep, levels);
}

ConvertedRecording ConvertToSamples(const InputFile& file, const std::filesystem::path& input,
                                    std::uint32_t rate, std::size_t keep, RecordingLevels* levels) {
  const std::string name = input.string();
  RejectTargetRateZero(rate, name);
  if (file.size == 0) throw InvalidRecording(name, "is empty");
  RecordingReader reader(file, input);
  RejectTruncated(
      file.size,
      [&](std::uint64_t offset, std::span<std::uint8_t> out) { return reader.ReadAt(offset, out); },
      name);
  if (std::optional<ConvertedRecording> converted =
          ConvertDirectly(reader, name, rate, keep, levels)) {
    return std::move(*converted);
  }

  SF_VIRTUAL_IO io = RecordingReader::Callbacks();
  SF_INFO info{};
  // A read that failed under libsndfile looks to it like the end of the data: what it then
  // says (truncated, damaged) gives way to the failure itself.
  try {
    SndfileHandle sound = Opened(sf_open_virtual(&io, SFM_READ, &info, &reader), name);
    ConvertedRecording converted = Convert(sound.get(), info, name, rate, keep, levels);
    reader.RaiseReadFailure();
    return converted;
  } catch (const FileError&) {
    reader.RaiseReadFailure();
    throw;
  }
}

ConvertedRecording ConvertRecordingBytes(std::span<const std::uint8_t> bytes, std::uint32_t rate,
                                         std::size_t keep, const std::string& name,
                                         RecordingLevels* levels) {
  RejectTargetRateZero(rate, name);
  if (bytes.empty()) throw InvalidRecording(name, "is empty");
  RejectTruncated(
      bytes.size(),
      [&](std::uint64_t offset, std::span<std::uint8_t> out) -> std::size_t {
        if (offset >= bytes.size()) return 0;
        const std::size_t n = std::min<std::uint64_t>(out.size(), bytes.size() - offset);
        std::memcpy(out.data(), bytes.data() + offset, n);
        return n;
      },
      name);
  MemoryBytes memory(bytes);
  if (std::optional<ConvertedRecording> converted =
          ConvertDirectly(memory, name, rate, keep, levels)) {
    return std::move(*converted);
  }

  SF_VIRTUAL_IO io{&MemoryRecording::Length, &MemoryRecording::Seek, &MemoryRecording::Read,
                   &MemoryRecording::Write, &MemoryRecording::Tell};
  MemoryRecording recording{bytes};
  SF_INFO info{};
  SndfileHandle sound = Opened(sf_open_virtual(&io, SFM_READ, &info, &recording), name);
  return Convert(sound.get(), info, name, rate, keep, levels);
}

ConvertedRecording ConvertPcm(const PcmSamples& pcm, std::uint32_t rate, std::size_t keep,
                              RecordingLevels* levels, const std::string& name) {
  RejectTargetRateZero(rate, name);
  CheckPcmShape(pcm, name);
  // Float samples that a 16-bit recording decodes to go as the whole numbers they came from,
  // which are mixed down as the recording's own are; any others as the floats they are.
  std::vector<std::int16_t> whole16;
  std::span<const std::int16_t> whole = pcm.whole16;
  if (!pcm.floats.empty()) {
    if (WholeSixteenths(pcm.floats, whole16, name)) whole = whole16;
  } else if (!pcm.doubles.empty()) {
    if (WholeSixteenths(pcm.doubles, whole16, name)) whole = whole16;
  }
  // Read as a headerless recording through libsndfile, so that the samples take the very path
  // a recording file's do.
  SF_INFO info{};
  info.samplerate = static_cast<int>(pcm.rate);
  info.channels = static_cast<int>(pcm.channels);
  std::span<const std::uint8_t> bytes;
  if (!whole.empty()) {
    info.format = SF_FORMAT_RAW | SF_FORMAT_PCM_16 | SF_ENDIAN_CPU;
    bytes = AsBytes(whole);
  } else if (!pcm.floats.empty()) {
    info.format = SF_FORMAT_RAW | SF_FORMAT_FLOAT | SF_ENDIAN_CPU;
    bytes = AsBytes(pcm.floats);
  } else {
    info.format = SF_FORMAT_RAW | SF_FORMAT_DOUBLE | SF_ENDIAN_CPU;
    bytes = AsBytes(pcm.doubles);
  }
  SF_VIRTUAL_IO io{&MemoryRecording::Length, &MemoryRecording::Seek, &MemoryRecording::Read,
                   &MemoryRecording::Write, &MemoryRecording::Tell};
  MemoryRecording recording{bytes};
  SndfileHandle sound = Opened(sf_open_virtual(&io, SFM_READ, &info, &recording), name);
  return Convert(sound.get(), info, name, rate, keep, levels);
}

ConvertedRecording ConvertToSampleFile(const std::filesystem::path& input,
                                       const std::filesystem::path& output, std::uint32_t rate,
                                       RecordingLevels* levels) {
  ConvertedRecording recording = ConvertToSamples(input, rate, kWholeRecording, levels);
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
