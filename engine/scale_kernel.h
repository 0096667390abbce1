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

// The scaling of one block of L::kShorts bytes. The centring is folded into the offset:
// b x G + (kOffset - 128 x G) equals (b - 128) x G + kOffset modulo 2^16, and that lies within
// 0 to 65280, so the wrapped 16-bit sum is the unsigned u itself.
template <class L>
struct WholeGainScaler {
  using Shorts = typename L::Shorts;

  explicit WholeGainScaler(int G) noexcept
      : gain(L::SplatShorts(static_cast<std::int16_t>(G))),
        offset(L::SplatShorts(static_cast<std::int16_t>(kOffset - 128 * G))),
        multiplier(L::SplatShorts(static_cast<std::int16_t>(kThirdMultiplier))),
        offset_thirds(L::SplatShorts(kOffsetThirds)) {}

  Shorts operator()(const std::uint8_t* bytes) const noexcept {
    const Shorts u = L::Add(L::MulLow(L::WidenBytes(bytes), gain), offset);
    const Shorts third = L::ShiftRightUnsigned(L::MulHighUnsigned(u, multiplier), 1);
    return L::Sub(third, offset_thirds);
  }

  Shorts gain, offset, multiplier, offset_thirds;
};

// Scales whole blocks of bytes; returns how many it scaled.
template <class L>
std::size_t ScaleBlocks(const std::uint8_t* bytes, std::size_t count, int G,
                        std::int16_t* out) noexcept {
  const WholeGainScaler<L> scale(G);
  std::size_t j = 0;
  for (; j + L::kShorts <= count; j += L::kShorts) L::StoreShorts(out + j, scale(bytes + j));
  return j;
}

}  // namespace Tarvo_alg1::kernels
