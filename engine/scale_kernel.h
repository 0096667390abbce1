// Scaling sample bytes by a whole gain G in 16-bit lanes, written once for any lanes and
// compiled per instruction set in forms_*.cpp: out[j] = floor((bytes[j] - 128) * G / 3).
#pragma once

#include <cstddef>
#include <cstdint>

namespace Tarvo_alg1::kernels {

// floor(y / 3) for y within +-32640: y + 32640 is an unsigned 16-bit u, and for every such u,
// floor(u / 3) is (u * 43691) >> 17. |(b - 128) * G| stays within 16 bits for |G| up to 255.
inline constexpr int kLargestWholeGain = 255;
inline constexpr int kOffsetThirds = 10880;
inline constexpr int kOffset = 3 * kOffsetThirds;
inline constexpr unsigned kThirdMultiplier = 43691;

// Scales whole blocks of bytes; returns how many it scaled.
template <class L>
std::size_t ScaleBlocks(const std::uint8_t* bytes, std::size_t count, int G,
                        std::int16_t* out) noexcept {
  using Shorts = typename L::Shorts;
  const Shorts gain = L::SplatShorts(static_cast<std::int16_t>(G));
  const Shorts centre = L::SplatShorts(128);
  const Shorts offset = L::SplatShorts(static_cast<std::int16_t>(kOffset));
  const Shorts multiplier = L::SplatShorts(static_cast<std::int16_t>(kThirdMultiplier));
  const Shorts offset_thirds = L::SplatShorts(kOffsetThirds);
  std::size_t j = 0;
  for (; j + L::kShorts <= count; j += L::kShorts) {
    const Shorts y = L::MulLow(L::Sub(L::WidenBytes(bytes + j), centre), gain);
    const Shorts third =
        L::ShiftRightUnsigned(L::MulHighUnsigned(L::Add(y, offset), multiplier), 1);
    L::StoreShorts(out + j, L::Sub(third, offset_thirds));
  }
  return j;
}

}  // namespace Tarvo_alg1::kernels
