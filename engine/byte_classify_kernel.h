// The intake's fused scaling and classification (classify_kernel.h) for the gains whose rules
// can be decided on the bytes (byte_class_rules.h), written once for any lanes and compiled per
// instruction set in forms_*.cpp. A byte a lane classifies twice the positions a step that
// 16-bit lanes do, and reads the bytes rather than the slots just stored, so that no position
// waits for the stores to reach the cache. At the gain 3, the automatic gain of any take whose
// peak level lies from 91 to 120, each sample is its byte less 128, and storing it is a widening
// and a subtraction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/byte_class_rules.h"
#include "engine/classify_kernel.h"
#include "engine/fused_result.h"
#include "engine/position_bits.h"
#include "engine/position_rule.h"
#include "engine/scale_kernel.h"

namespace Tarvo_alg1::kernels {

inline constexpr int kUnitGain = 3;

// Bytes, unsigned, as the values of the rules (position_rule.h), with the bounds worked out from
// the gain's table (byte_class_rules.h). The excess is a saturated subtraction, which never
// leaves the byte: where y is the larger, it is 0.
template <class L>
struct ByteValues {
  using Values = typename L::Bytes;
  using Mask = typename L::ByteMask;
  using Value = std::uint8_t;
  static Values Load(const Value* p) noexcept { return L::LoadBytes(p); }
  static Values Min(Values x, Values y) noexcept { return L::MinBytes(x, y); }
  static Values Max(Values x, Values y) noexcept { return L::MaxBytes(x, y); }
  static Mask Greater(Values x, Values y) noexcept { return L::Above(x, y); }
  static Comparison<ByteValues> Compare(Values x, Values y) noexcept {
    return {L::Above(y, x), L::SubBytesSaturated(x, y)};
  }
  static Mask And(Mask x, Mask y) noexcept { return L::AndBytes(x, y); }
  static Mask Or(Mask x, Mask y) noexcept { return L::OrBytes(x, y); }
};

template <class L>
struct ByteClassLanes {
  explicit ByteClassLanes(const ByteClassRules& rules) noexcept
      : bounds{L::SplatBytes(rules.above_five), L::SplatBytes(rules.below_minus_five),
               L::SplatBytes(rules.flat_distance)} {}

  // The positions from k (a multiple of L::kBytes / 8), bytes[0] being the byte of slot k.
  [[gnu::always_inline]] inline void Classify(const std::uint8_t* bytes, std::size_t k,
                                              PositionBits& thorn,
                                              PositionBits& nonflat) const noexcept {
    const auto truths = ClassifyPosition<ByteValues<L>>(bytes, bounds);
    StoreBits<L::kBytes>(thorn, k, L::ByteBits(truths.thorn));
    StoreBits<L::kBytes>(nonflat, k, L::ByteBits(truths.nonflat));
  }

  PositionBounds<ByteValues<L>> bounds;
};

// Each sample at the gain 3: its byte less 128.
template <class L>
struct UnitGainScaler {
  static constexpr std::size_t kStep = L::kShorts;
  void operator()(const std::uint8_t* bytes, std::int16_t* out) const noexcept {
    L::StoreShorts(out, L::Sub(L::WidenBytes(bytes), centre));
  }
  typename L::Shorts centre = L::SplatShorts(128);
};

// Any whole gain (scale_kernel.h).
template <class L>
struct AnyGainScaler {
  static constexpr std::size_t kStep = L::kShorts;
  explicit AnyGainScaler(int G) noexcept : scale(G) {}
  void operator()(const std::uint8_t* bytes, std::int16_t* out) const noexcept {
    L::StoreShorts(out, scale(bytes));
  }
  WholeGainScaler<L> scale;
};

// ScaleAndClassify's work, to the same effect: whole blocks of bytes stored into slots
// `first_slot` on, and the positions from 0 whose slots all lie in the store so far, up to the
// block holding position 20500. In one pass: each block of positions is classified one block
// behind the bytes just scaled, while they are still at hand. The blocks that read a slot stored
// before this stretch (the slot before a restart's first) are classified last, from the slots.
template <class L, class Scaler>
ScaledAndClassified ScaleAndClassifyBytesWith(const Scaler& scale, const std::uint8_t* bytes,
                                              std::size_t count, const ByteClassRules& rules,
                                              std::int16_t* slots, std::size_t first_slot,
                                              PositionBits& thorn, PositionBits& nonflat) noexcept {
  constexpr std::size_t kBlock = kClassifyBlock<L>;
  static_assert(kBlock % Scaler::kStep == 0 && kBlock % L::kBytes == 0);
  const ByteClassLanes<L> lanes(rules);
  auto classify = [&](std::size_t p) {
    for (std::size_t i = 0; i < kBlock; i += L::kBytes) {
      lanes.Classify(bytes + (p + i - first_slot), p + i, thorn, nonflat);
    }
  };
  const std::size_t from_bytes = (first_slot + kBlock - 1) / kBlock * kBlock;
  std::size_t p = from_bytes;
  std::size_t j = 0;
  for (; j + kBlock <= count; j += kBlock) {
    for (std::size_t i = 0; i < kBlock; i += Scaler::kStep) {
      scale(bytes + j + i, slots + first_slot + j + i);
    }
    if (p <= kMaxPositions && p + 2 <= first_slot + j) {  // its slots are stored now
      classify(p);
      p += kBlock;
    }
  }
  for (; j + Scaler::kStep <= count; j += Scaler::kStep) scale(bytes + j, slots + first_slot + j);
  for (; p <= kMaxPositions && p + kBlock + 2 <= first_slot + j; p += kBlock) classify(p);
  ScaledAndClassified done;
  done.scaled = j;
  if (p == from_bytes) return done;  // too short a stretch for any block
  for (std::size_t q = 0; q < from_bytes; q += kBlock)
    ClassifyBlocks<L>(slots, q, q, thorn, nonflat);
  done.classified_end = p;
  return done;
}

template <class L>
ScaledAndClassified ScaleAndClassifyBytes(const std::uint8_t* bytes, std::size_t count, int G,
                                          const ByteClassRules& rules, std::int16_t* slots,
                                          std::size_t first_slot, PositionBits& thorn,
                                          PositionBits& nonflat) noexcept {
  if (G == kUnitGain) {
    return ScaleAndClassifyBytesWith<L>(UnitGainScaler<L>{}, bytes, count, rules, slots, first_slot,
                                        thorn, nonflat);
  }
  if constexpr (requires { L::MulAddPairs; }) {
    if (G > 0 && G <= kLargestSmallGain) {
      return ScaleAndClassifyBytesWith<L>(SmallGainScaler<L>(G), bytes, count, rules, slots,
                                          first_slot, thorn, nonflat);
    }
  }
  return ScaleAndClassifyBytesWith<L>(AnyGainScaler<L>(G), bytes, count, rules, slots, first_slot,
                                      thorn, nonflat);
}

}  // namespace Tarvo_alg1::kernels
