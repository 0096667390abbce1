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

// For gains from 1 to 127, where the lanes multiply pairs of bytes and sum them (L::MulAddPairs),
// two steps cheaper: b x G + c is one such product, pairing b with c (and G with 1), when the
// offset is the least multiple of 3 from 128 x G up (c = offset - 128 x G is 0 to 2). Then u =
// b x G + c lies within 0 to 255 x 127 + 2, below 32768, and for every such u floor(u / 3) is
// the high half of u x 21846 (u / 3 + u / 98304, whose excess stays below a third), with no
// shift. Scales L::kBytes bytes a step.
inline constexpr int kLargestSmallGain = 127;
inline constexpr unsigned kSmallThirdMultiplier = 21846;

template <class L>
struct SmallGainScaler {
  static constexpr std::size_t kStep = L::kBytes;

  explicit SmallGainScaler(int G) noexcept
      : filler(L::SplatBytes(static_cast<std::uint8_t>((128 * G + 2) / 3 * 3 - 128 * G))),
        weights(L::SplatShorts(static_cast<std::int16_t>(0x100 | G))),
        multiplier(L::SplatShorts(static_cast<std::int16_t>(kSmallThirdMultiplier))),
        offset_thirds(L::SplatShorts(static_cast<std::int16_t>((128 * G + 2) / 3))) {}

  void operator()(const std::uint8_t* bytes, std::int16_t* out) const noexcept {
    typename L::Shorts first;
    typename L::Shorts second;
    L::PairBytes(L::LoadBytes(bytes), filler, first, second);
    L::StoreShorts(out, Third(first));
    L::StoreShorts(out + L::kShorts, Third(second));
  }

  typename L::Shorts Third(typename L::Shorts pairs) const noexcept {
    return L::Sub(L::MulHighUnsigned(L::MulAddPairs(pairs, weights), multiplier), offset_thirds);
  }

  typename L::Bytes filler;
  typename L::Shorts weights, multiplier, offset_thirds;
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
