// Words one at a time: a single unsigned 64-bit lane, as plain C++ has them and as SSE2, which
// has no 64-bit compare or population count, keeps them. lanes_plain.h and lanes_sse2.h take
// their words from here; lanes_avx2.h has words of its own.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace Tarvo_alg1::lanes {

struct OneWord {
  static constexpr std::size_t kWords = 1;
  using Words = std::uint64_t;

  static Words LoadWords(const std::uint64_t* p) noexcept { return *p; }
  static void StoreWords(std::uint64_t* p, Words v) noexcept { *p = v; }
  static Words ZeroWords() noexcept { return 0; }
  static Words AndWords(Words x, Words y) noexcept { return x & y; }
  static Words OrWords(Words x, Words y) noexcept { return x | y; }
  static Words AndNotWords(Words x, Words y) noexcept { return ~x & y; }
  // The bits of `high` moved up n places (0 < n < 64), the top n bits of `low` filling in. The
  // count is made once (ShiftBy) for the many pairs it shifts.
  using Shift = std::size_t;
  static Shift ShiftBy(std::size_t n) noexcept { return n; }
  static Words ShiftPairsLeft(Words high, Words low, Shift n) noexcept {
    return (high << n) | (low >> (64 - n));
  }
  static bool NoBits(Words x) noexcept { return x == 0; }
  // Counts: the set bits of each lane, summed lane by lane.
  using Counts = std::int64_t;
  static Counts ZeroCounts() noexcept { return 0; }
  static Counts AddBitCounts(Counts counts, Words x) noexcept { return counts + std::popcount(x); }
  static std::int64_t SumCounts(Counts counts) noexcept { return counts; }
};

}  // namespace Tarvo_alg1::lanes
