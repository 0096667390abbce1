#include "listen/stream_format.h"

#include <cmath>
#include <cstring>

#include "audio/audio_converter.h"

namespace pellix::listen {

std::optional<SampleFormat> ParseSampleFormat(std::string_view name) {
  if (name == "s16le") return SampleFormat::kS16;
  if (name == "f32le") return SampleFormat::kF32;
  return std::nullopt;
}

std::string FormatProblem(const StreamFormat& format) {
  if (format.rate < static_cast<std::uint32_t>(kLowestRecordingRate) ||
      format.rate > static_cast<std::uint32_t>(kHighestRecordingRate)) {
    return "the rate " + std::to_string(format.rate) + " Hz is outside " +
           std::to_string(kLowestRecordingRate) + " to " + std::to_string(kHighestRecordingRate) +
           " Hz";
  }
  if (format.channels < 1 || format.channels > kMostStreamChannels) {
    return std::to_string(format.channels) + " channels are outside 1 to " +
           std::to_string(kMostStreamChannels);
  }
  return {};
}

std::size_t ClearNonFinite(const StreamFormat& format, SoundBlock block) {
  if (format.format != SampleFormat::kF32) return 0;
  std::size_t cleared = 0;
  const std::size_t samples = block.frames * format.channels;
  for (std::size_t i = 0; i < samples; ++i) {
    float value;
    std::memcpy(&value, block.bytes.data() + i * sizeof value, sizeof value);
    if (std::isfinite(value)) continue;
    value = 0;
    std::memcpy(block.bytes.data() + i * sizeof value, &value, sizeof value);
    ++cleared;
  }
  return cleared;
}

void MixDown(const StreamFormat& format, const SoundBlock& block, std::vector<float>& mono) {
  mono.resize(block.frames);
  const std::uint32_t channels = format.channels;
  const std::byte* data = block.bytes.data();
  for (std::size_t frame = 0; frame < block.frames; ++frame) {
    double sum = 0;
    for (std::uint32_t c = 0; c < channels; ++c) {
      const std::size_t at = (frame * channels + c) * format.sample_bytes();
      if (format.format == SampleFormat::kS16) {
        std::int16_t value;
        std::memcpy(&value, data + at, sizeof value);
        sum += value / 32768.0;
      } else {
        float value;
        std::memcpy(&value, data + at, sizeof value);
        sum += value;
      }
    }
    mono[frame] = static_cast<float>(sum / channels);
  }
}

}  // namespace pellix::listen
