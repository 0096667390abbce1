#include "audio/mono_reader.h"

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "files/file_error.h"

namespace pellix {
namespace {

// What one thread's readers reuse: large blocks allocated and freed for every recording keep
// the allocator handing pages back and forth. Each is made when a reader first needs it: a
// command that reads one 16-bit recording never touches the pages of the doubles.
struct Buffers {
  std::vector<double> interleaved;
  std::vector<std::int16_t> whole16;
  std::vector<double> mono;
  std::vector<float> mono_floats;

  static Buffers& Get() {
    thread_local Buffers buffers;
    return buffers;
  }
};

// Sources of 16 bits or fewer with one or two channels: libsndfile hands their samples as
// 16-bit whole numbers s (an 8-bit sample shifted up by 8 bits) and as doubles of exactly
// s / 32768, so that the mono value, s / 32768 or the average (l + r) / 65536 of a pair, is
// the same to the bit from either, and far cheaper to get from the whole numbers. It has at
// most 17 significant bits: a float holds it exactly.
bool ReadsAsWhole16(const SF_INFO& info) {
  const int subtype = info.format & SF_FORMAT_SUBMASK;
  return (info.channels == 1 || info.channels == 2) &&
         (subtype == SF_FORMAT_PCM_16 || subtype == SF_FORMAT_PCM_S8 ||
          subtype == SF_FORMAT_PCM_U8);
}

}  // namespace

MonoReader::MonoReader(SNDFILE* sound, const SF_INFO& info, RecordingLevels* levels)
    : sound_(sound),
      facts_{info.samplerate, info.channels, info.frames, info.seekable != 0},
      channels_(static_cast<std::size_t>(info.channels)),
      levels_(levels),
      whole16_(ReadsAsWhole16(info)) {
  Buffers& buffers = Buffers::Get();
  const std::size_t values = kMonoBlockFrames * channels_;
  if (whole16_) {
    if (buffers.whole16.size() < values) buffers.whole16.resize(values);
    buffers.mono_floats.resize(kMonoBlockFrames);
  } else {
    if (buffers.interleaved.size() < values) buffers.interleaved.resize(values);
    buffers.mono.resize(kMonoBlockFrames);
  }
}

const double* MonoReader::mono() const noexcept {
  return Buffers::Get().mono.data();
}

const float* MonoReader::mono_floats() const noexcept {
  return Buffers::Get().mono_floats.data();
}

std::size_t MonoReader::Read(bool mix) {
  const std::size_t count = whole16_ ? ReadWhole16(mix) : ReadDoubles(mix);
  frames_ += static_cast<std::int64_t>(count);
  return count;
}

std::size_t MonoReader::ReadWhole16(bool mix) {
  Buffers& buffers = Buffers::Get();
  const sf_count_t got =
      sf_readf_short(sound_, buffers.whole16.data(), static_cast<sf_count_t>(kMonoBlockFrames));
  if (got <= 0) return 0;
  const auto count = static_cast<std::size_t>(got);
  if (!mix && levels_ == nullptr) return count;
  // Mixing down comes with the levels' figures, wanted or not.
  RecordingLevels unwanted;
  RecordingLevels& levels = levels_ != nullptr ? *levels_ : unwanted;
  levels.AddWhole16(std::span(buffers.whole16.data(), count * channels_), channels_ == 2,
                    mix ? buffers.mono_floats.data() : nullptr);
  return count;
}

std::size_t MonoReader::ReadDoubles(bool mix) {
  Buffers& buffers = Buffers::Get();
  const sf_count_t got = sf_readf_double(sound_, buffers.interleaved.data(),
                                         static_cast<sf_count_t>(kMonoBlockFrames));
  if (got <= 0) return 0;
  const auto count = static_cast<std::size_t>(got);
  if (!mix && levels_ == nullptr) return count;
  const double* in = buffers.interleaved.data();
  double* mono = buffers.mono.data();
  if (channels_ == 1) {
    std::copy_n(in, count, mono);
  } else if (channels_ == 2) {  // in a loop the compiler vectorises
    for (std::size_t i = 0; i < count; ++i) mono[i] = (0.0 + in[2 * i] + in[2 * i + 1]) * 0.5;
  } else {
    // Dividing by a power of two and multiplying by its inverse round the same exact value,
    // so they agree to the bit; the multiplication is many times quicker.
    const auto divisor = static_cast<double>(channels_);
    const bool power_of_two = (channels_ & (channels_ - 1)) == 0;
    const double inverse = 1.0 / divisor;
    for (std::size_t i = 0; i < count; ++i) {
      double sum = 0;
      const double* frame = in + i * channels_;
      for (std::size_t c = 0; c < channels_; ++c) sum += frame[c];
      mono[i] = power_of_two ? sum * inverse : sum / divisor;
    }
  }
  if (levels_ != nullptr) levels_->Add(std::span(mono, count));
  return count;
}

void MonoReader::CheckRead(const std::string& name) {
  if (sf_error(sound_) != SF_ERR_NO_ERROR) {
    throw FileError::Message(kInvalidFileFormat, "recording '" + name + "' is damaged: " +
                                                     std::string(sf_strerror(sound_)));
  }
}

void MonoReader::RequireLastFrame(const std::string& name) {
  const sf_count_t last = facts_.frames - 1;
  std::vector<double> frame(channels_);
  if (sf_seek(sound_, last, SEEK_SET) != last || sf_readf_double(sound_, frame.data(), 1) != 1) {
    throw FileError::Message(kInvalidFileFormat, "recording '" + name +
                                                     "' is truncated: it announces " +
                                                     std::to_string(facts_.frames) +
                                                     " frames, but its last could not be read");
  }
}

}  // namespace pellix
