// What a live stream of sound holds: its rate, channels and sample format, checked before a
// single sample is read, and the mix-down of its frames for the segmenter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pellix::listen {

// Stream samples as the listener keeps them: whole 16-bit numbers where the source has them
// (so a take converts exactly as a 16-bit recording of it would), else 32-bit floats.
enum class SampleFormat { kS16, kF32 };

// "s16le" or "f32le"; nothing for any other name.
std::optional<SampleFormat> ParseSampleFormat(std::string_view name);

// The most channels a live stream may have: beyond this it is a damaged header or a typing
// slip, and every utterance would cost that many times the memory.
inline constexpr std::uint32_t kMostStreamChannels = 64;

struct StreamFormat {
  std::uint32_t rate = 0;      // frames per second
  std::uint32_t channels = 0;  // samples per frame
  SampleFormat format = SampleFormat::kS16;

  std::size_t sample_bytes() const { return format == SampleFormat::kS16 ? 2 : 4; }
  std::size_t frame_bytes() const { return sample_bytes() * channels; }
};

// What is wrong with the format in words ("the rate 5 Hz is outside 1000 to 768000 Hz"), or
// nothing.
std::string FormatProblem(const StreamFormat& format);

// Frames of a stream, interleaved, in its sample format (host byte order).
struct SoundBlock {
  std::span<std::byte> bytes;  // whole frames
  std::size_t frames = 0;
};

// Replaces every NaN or infinite float sample of `block` by 0 (silence) and returns how many
// there were; 16-bit blocks have none.
std::size_t ClearNonFinite(const StreamFormat& format, SoundBlock block);

// The mean of each frame's channels, full scale -1 to 1, into `mono` (resized to the frames).
void MixDown(const StreamFormat& format, const SoundBlock& block, std::vector<float>& mono);

}  // namespace pellix::listen
