// The scan's positions as bits: one bit per position, and the few operations the flic pass
// needs on them. The helpers are always inlined, so that each form of the flic pass (forms.h)
// counts with its own instructions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/limits.h"

namespace Tarvo_alg1 {

// The scan reads positions 1 to kMaxPositions at the most.
inline constexpr std::size_t kMaxPositions = limits::kScanLimit;
inline constexpr std::size_t kWords = kMaxPositions / 64 + 1;  // one bit per position 0 and up

// One bit per position k (bit k % 64 of word k / 64). Position 0 does not exist; its bit is 0.
using PositionBits = std::array<std::uint64_t, kWords>;

// The classes of kCount positions from k on (both multiples of 8), as a kernel's lanes give them:
// bit j of `bits` is position k + j, on the little-endian processors the engine runs on.
template <std::size_t kCount, class Bits>
[[gnu::always_inline]] inline void StoreBits(PositionBits& positions, std::size_t k,
                                             Bits bits) noexcept {
  static_assert(kCount % 8 == 0 && sizeof bits >= kCount / 8);
  std::memcpy(reinterpret_cast<unsigned char*>(positions.data()) + k / 8, &bits, kCount / 8);
}

[[gnu::always_inline]] inline std::int64_t Popcount(std::uint64_t word) noexcept {
  return __builtin_popcountll(word);
}

[[gnu::always_inline]] inline bool Bit(const PositionBits& bits, std::size_t k) noexcept {
  return (bits[k >> 6] >> (k & 63)) & 1;
}

// The number of set bits for positions lo to hi (inclusive, lo <= hi).
[[gnu::always_inline]] inline std::int64_t CountBits(const PositionBits& bits, std::size_t lo,
                                                     std::size_t hi) noexcept {
  const std::size_t first = lo >> 6;
  const std::size_t last = hi >> 6;
  const std::uint64_t low_mask = ~std::uint64_t{0} << (lo & 63);
  const std::uint64_t high_mask = ~std::uint64_t{0} >> (63 - (hi & 63));
  if (first == last) return Popcount(bits[first] & low_mask & high_mask);
  std::int64_t count = Popcount(bits[first] & low_mask);
  for (std::size_t w = first + 1; w < last; ++w) count += Popcount(bits[w]);
  return count + Popcount(bits[last] & high_mask);
}

// The highest position at or below k whose bit is set, or 0 when there is none.
[[gnu::always_inline]] inline std::size_t PreviousSetBit(const PositionBits& bits,
                                                         std::size_t k) noexcept {
  std::size_t w = k >> 6;
  std::uint64_t word = bits[w] & (~std::uint64_t{0} >> (63 - (k & 63)));
  while (word == 0) {
    if (w == 0) return 0;
    word = bits[--w];
  }
  return (w << 6) + 63 - static_cast<std::size_t>(__builtin_clzll(word));
}

// The lowest position from lo to hi whose bit is set, or hi + 1 when there is none.
[[gnu::always_inline]] inline std::size_t NextSetBit(const PositionBits& bits, std::size_t lo,
                                                     std::size_t hi) noexcept {
  std::size_t w = lo >> 6;
  std::uint64_t word = bits[w] & (~std::uint64_t{0} << (lo & 63));
  while (word == 0) {
    if (++w > hi >> 6) return hi + 1;
    word = bits[w];
  }
  const std::size_t k = (w << 6) + static_cast<std::size_t>(__builtin_ctzll(word));
  return k <= hi ? k : hi + 1;
}

}  // namespace Tarvo_alg1
