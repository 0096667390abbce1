// Classifying the scan's positions on 16-bit samples, written once for any lanes and compiled
// per instruction set in forms_*.cpp. On whole numbers within the narrow limit the rules compare
// exactly as they do in doubles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/fused_result.h"
#include "engine/position_bits.h"
#include "engine/position_rule.h"
#include "engine/scale_kernel.h"

namespace Tarvo_alg1::kernels {

// 16-bit samples as the values of the rules (position_rule.h). A truth is the sign bit of its
// lane (MaskBits reads no other): samples lie within the narrow limit, so every difference of
// two of them or of one and a bound fits 16 bits, and x > y is the sign of y - x. A comparison is
// one difference, whose sign is the truth and which is itself the excess.
template <class L>
struct ShortValues {
  using Values = typename L::Shorts;
  using Mask = typename L::Shorts;
  using Value = std::int16_t;
  static Values Load(const Value* p) noexcept { return L::LoadShorts(p); }
  static Values Min(Values x, Values y) noexcept { return L::Min(x, y); }
  static Values Max(Values x, Values y) noexcept { return L::Max(x, y); }
  static Mask Greater(Values x, Values y) noexcept { return L::Sub(y, x); }
  static Comparison<ShortValues> Compare(Values x, Values y) noexcept {
    const Values difference = L::Sub(x, y);
    return {difference, difference};
  }
  static Mask And(Mask x, Mask y) noexcept { return L::And(x, y); }
  static Mask Or(Mask x, Mask y) noexcept { return L::Or(x, y); }
};

template <class L>
[[gnu::always_inline]] inline PositionTruths<ShortValues<L>> ClassifyShorts(
    const std::int16_t* samples) noexcept {
  const PositionBounds<ShortValues<L>> bounds{L::SplatShorts(5), L::SplatShorts(-5),
                                              L::SplatShorts(2)};
  return ClassifyPosition<ShortValues<L>>(samples, bounds);
}

// Positions in blocks of this many; a block starting at k reads slots k to k + block + 1.
template <class L>
inline constexpr std::size_t kClassifyBlock = 2 * L::kShorts;

// The thorn and not-flat bits of the positions from `first` (a multiple of the block) through
// `last`, in whole blocks: the bits past `last` in the last block are written too, from
// whatever the slots there hold. Bit k % 64 of word k / 64 is bit k % block of block k / block
// on a little-endian machine.
template <class L>
[[gnu::always_inline]] inline void ClassifyBlocks(const std::int16_t* samples, std::size_t first,
                                                  std::size_t last, PositionBits& thorn,
                                                  PositionBits& nonflat) noexcept {
  constexpr std::size_t kBlock = kClassifyBlock<L>;
  for (std::size_t k = first; k <= last; k += kBlock) {
    const auto low = ClassifyShorts<L>(samples + k);
    const auto high = ClassifyShorts<L>(samples + k + L::kShorts);
    StoreBits<kBlock>(thorn, k, L::MaskBits(low.thorn, high.thorn));
    StoreBits<kBlock>(nonflat, k, L::MaskBits(low.nonflat, high.nonflat));
  }
}

// The scaling of a stretch of bytes by the whole gain G into slots `first_slot` on, and the
// classes of the positions whose slots all lie in the stretch, in one pass: each block of
// positions is classified as soon as its slots are stored and a few blocks more, so that it
// reads them from the cache once the stores have reached it. Scales whole blocks of bytes only;
// the positions it classifies start at 0 and end at a multiple of the block, no further than the
// scan ever looks (the block holding position 20500: the bits hold no more).
template <class L>
ScaledAndClassified ScaleAndClassify(const std::uint8_t* bytes, std::size_t count, int G,
                                     std::int16_t* slots, std::size_t first_slot,
                                     PositionBits& thorn, PositionBits& nonflat) noexcept {
  constexpr std::size_t kBlock = kClassifyBlock<L>;
  constexpr std::size_t kLag = 16 * kBlock;  // slots stored ahead of the positions classified
  const WholeGainScaler<L> scale(G);
  ScaledAndClassified done;
  std::size_t& j = done.scaled;
  std::size_t& p = done.classified_end;
  auto store = [&] {
    L::StoreShorts(slots + first_slot + j, scale(bytes + j));
    L::StoreShorts(slots + first_slot + j + L::kShorts, scale(bytes + j + L::kShorts));
  };
  // In three phases, so that no block tests whether to classify: stored only until the stores
  // lead position p by the lag; then one block of positions classified per block stored (the
  // lead stays the same); stored only once the bits are full.
  for (; j + kBlock <= count && first_slot + j < p + 2 + kLag; j += kBlock) store();
  for (; j + kBlock <= count && p <= kMaxPositions; j += kBlock, p += kBlock) {
    store();
    ClassifyBlocks<L>(slots, p, p, thorn, nonflat);
  }
  for (; j + kBlock <= count; j += kBlock) store();
  for (; p <= kMaxPositions && p + kBlock + 2 <= first_slot + j; p += kBlock) {
    ClassifyBlocks<L>(slots, p, p, thorn, nonflat);
  }
  return done;
}

}  // namespace Tarvo_alg1::kernels
