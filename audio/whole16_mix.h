// Mixing 16-bit whole-number frames down to mono in one pass with the figures a recording's
// levels need. A mono value is kept in units of 2^-16 of full scale: 2 s for a sample s of
// one channel (s / 32768), l + r for a pair (their average (l + r) / 65536). Units stay within
// +-65536, so that they, their squares and block sums of these are exact in every type used.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pellix {

inline constexpr double kWhole16Unit = 1.0 / 65536.0;

// The mono value of the frame at `frame`, in units.
inline std::int32_t Whole16Units(const std::int16_t* frame, bool stereo) noexcept {
  return stereo ? frame[0] + frame[1] : 2 * frame[0];
}

// Figures of a block of mono values, in units.
struct Whole16Figures {
  std::uint32_t peak = 0;     // the largest magnitude
  std::uint64_t squares = 0;  // the sum of the squares: at most frames x 2^32
  std::uint64_t clipped = 0;  // values whose magnitude is at or beyond kClippedLevel

  // Adds the figures of more values of the same block.
  void Add(const Whole16Figures& more) noexcept;
};

// The most frames MixWhole16 takes at a time.
inline constexpr std::size_t kMaxWhole16Frames = 4096;

// Mixes `frames` frames (at most kMaxWhole16Frames) at `in` (one channel, or two interleaved when
// `stereo`) down and returns their figures; when `mono` is given, the mono values (full scale -1 to
// 1) are written there as floats, which hold them exactly.
Whole16Figures MixWhole16(const std::int16_t* in, std::size_t frames, bool stereo,
                          float* mono) noexcept;

// MixWhole16 of 16-bit little-endian samples as a file holds them, read in place at any address.
Whole16Figures MixLittleEndian16(const std::uint8_t* in, std::size_t frames, bool stereo,
                                 float* mono) noexcept;

// MixWhole16 of the 16-bit whole numbers (std::int16_t) sample << shift of 32-bit samples, as a
// decoder hands them: one channel at `left`, or two when `right` is given.
Whole16Figures MixPlanar32(const std::int32_t* left, const std::int32_t* right, std::size_t frames,
                           int shift, float* mono) noexcept;

}  // namespace pellix
