// The intake at a gain of 3, written once for any lanes and compiled per instruction set in
// forms_*.cpp. The factor Gain / 3 is then 1 and every sample is its byte less 128: storing it
// is a widening and a subtraction, and as the sample follows its byte one for one, the scan's
// rules can be decided on the bytes themselves, a byte a lane. That classifies twice the
// positions a step that 16-bit lanes do, and reads the bytes rather than the slots just stored.
// An automatic gain is 3 whenever the peak level lies from 91 to 120, as it does for most takes
// of ordinary speech.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/classify_kernel.h"
#include "engine/fused_result.h"
#include "engine/position_bits.h"

namespace Tarvo_alg1::kernels {

inline constexpr int kUnitGain = 3;

// The rules of classify_kernel.h on bytes b = sample + 128, unsigned: a sample is above 5 when
// its byte is above 133 and below -5 when its byte is below 123. Low and high are the smaller
// and larger neighbour; a position is not flat when high - b or b - low is more than 2, which
// saturated subtractions give without leaving the byte (the one that would be negative is 0).
template <class L>
[[gnu::always_inline]] inline void ClassifyByteLanes(const std::uint8_t* bytes, std::size_t k,
                                                     PositionBits& thorn,
                                                     PositionBits& nonflat) noexcept {
  using Bytes = typename L::Bytes;
  const Bytes a = L::LoadBytes(bytes);
  const Bytes b = L::LoadBytes(bytes + 1);
  const Bytes c = L::LoadBytes(bytes + 2);
  const Bytes low = L::MinBytes(a, c);
  const Bytes high = L::MaxBytes(a, c);
  const auto positive = L::AndBytes(L::Above(b, high), L::Above(low, L::SplatBytes(128 + 5)));
  const auto negative = L::AndBytes(L::Below(b, low), L::Below(high, L::SplatBytes(128 - 5)));
  const Bytes step = L::MaxBytes(L::SubBytesSaturated(high, b), L::SubBytesSaturated(b, low));
  const auto thorns = L::ByteBits(L::OrBytes(positive, negative));
  const auto steps = L::ByteBits(L::Above(step, L::SplatBytes(2)));
  std::memcpy(reinterpret_cast<unsigned char*>(thorn.data()) + k / 8, &thorns, L::kBytes / 8);
  std::memcpy(reinterpret_cast<unsigned char*>(nonflat.data()) + k / 8, &steps, L::kBytes / 8);
}

// One block of positions from k (a multiple of kClassifyBlock<L>, so that the bits written are
// the ones ClassifyBlocks would write), bytes[0] being the byte of slot k. Reads bytes 0 to
// block + 1.
template <class L>
[[gnu::always_inline]] inline void ClassifyBytesBlock(const std::uint8_t* bytes, std::size_t k,
                                                      PositionBits& thorn,
                                                      PositionBits& nonflat) noexcept {
  static_assert(kClassifyBlock<L> % L::kBytes == 0);
  for (std::size_t i = 0; i < kClassifyBlock<L>; i += L::kBytes) {
    ClassifyByteLanes<L>(bytes + i, k + i, thorn, nonflat);
  }
}

// ScaleAndClassify (classify_kernel.h) at the gain 3, to the same effect: whole blocks of bytes
// stored into slots `first_slot` on, and the positions from 0 whose slots all lie in the store
// so far, up to the block holding position 20500. A block that reads slots stored before this
// stretch (the slot before a restart's first) takes their bytes back from the slots, which an
// earlier stretch of the same take stored at the same gain; should one not be a byte less 128,
// classifying stops there and the scan classifies the rest.
template <class L>
ScaledAndClassified ScaleAndClassifyUnitGain(const std::uint8_t* bytes, std::size_t count,
                                             std::int16_t* slots, std::size_t first_slot,
                                             PositionBits& thorn, PositionBits& nonflat) noexcept {
  constexpr std::size_t kBlock = kClassifyBlock<L>;
  ScaledAndClassified done;
  std::size_t& j = done.scaled;
  const typename L::Shorts centre = L::SplatShorts(128);
  for (; j + L::kShorts <= count; j += L::kShorts) {
    L::StoreShorts(slots + first_slot + j, L::Sub(L::WidenBytes(bytes + j), centre));
  }
  std::size_t& p = done.classified_end;
  const std::size_t end = first_slot + j;  // one past the last slot stored
  for (; p < first_slot && p <= kMaxPositions && p + kBlock + 2 <= end; p += kBlock) {
    std::array<std::uint8_t, kBlock + 2> earlier;
    for (std::size_t i = 0; i < earlier.size(); ++i) {
      const int byte = slots[p + i] + 128;
      if (byte < 0 || byte > 255) return done;
      earlier[i] = static_cast<std::uint8_t>(byte);
    }
    ClassifyBytesBlock<L>(earlier.data(), p, thorn, nonflat);
  }
  for (; p <= kMaxPositions && p + kBlock + 2 <= end; p += kBlock) {
    ClassifyBytesBlock<L>(bytes + (p - first_slot), p, thorn, nonflat);
  }
  return done;
}

}  // namespace Tarvo_alg1::kernels
