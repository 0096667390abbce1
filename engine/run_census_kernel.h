// The run census (run_census.h), written once for any word lanes and compiled per instruction
// set in forms_*.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/position_bits.h"
#include "engine/run_census.h"

namespace Tarvo_alg1::kernels {

// Measures the runs that end at positions 2 to last_end (the set bits of `run_ends`) and whose
// lengths count from `shortest` to `longest` (1 <= shortest <= longest <= 100).
template <class L>
void TakeRunCensus(const PositionBits& nonflat, const PositionBits& run_ends, std::size_t last_end,
                   std::size_t shortest, std::size_t longest, RunCensus& census) noexcept {
  using Words = typename L::Words;
  constexpr std::size_t kGroup = L::kWords;
  constexpr std::size_t kPadded = kWords + kGroup;
  const std::size_t last_word = last_end >> 6;
  // flat[w + 2] is the flat positions of word w; the two words before word 0 are stops, as is
  // position 0. ends[w] is word w's run ends from position 2 to last_end.
  std::array<std::uint64_t, kPadded + 2> flat{};
  std::array<std::uint64_t, kPadded> ends{};
  std::array<std::uint64_t, kPadded> counted{};
  for (std::size_t w = 0; w <= last_word; ++w) {
    flat[w + 2] = ~nonflat[w];
    ends[w] = run_ends[w];
  }
  flat[2] &= ~std::uint64_t{1};
  ends[0] &= ~std::uint64_t{3};
  ends[last_word] &= ~std::uint64_t{0} >> (63 - (last_end & 63));

  typename L::Counts at_least[kLongestRun + 2];
  for (auto& count : at_least) count = L::ZeroCounts();
  std::size_t reached = 1;
  for (std::size_t w = 0; w <= last_word; w += kGroup) {
    Words runs = L::LoadWords(ends.data() + w);
    if (L::NoBits(runs)) continue;
    const Words f0 = L::LoadWords(flat.data() + w + 2);
    const Words f1 = L::LoadWords(flat.data() + w + 1);
    const Words f2 = L::LoadWords(flat.data() + w);
    at_least[1] = L::AddBitCounts(at_least[1], runs);
    Words from_shortest = shortest == 1 ? runs : L::ZeroWords();
    Words past_longest = L::ZeroWords();
    // The last length counted is noted once per group, not once per length.
    std::size_t n = 2;
    for (; n <= longest + 1; ++n) {
      // The flat positions n before each position.
      const Words shifted =
          n < 64    ? L::OrWords(L::ShiftLeftWords(f0, n), L::ShiftRightWords(f1, 64 - n))
          : n == 64 ? f1
                    : L::OrWords(L::ShiftLeftWords(f1, n - 64), L::ShiftRightWords(f2, 128 - n));
      runs = L::AndWords(runs, shifted);
      if (L::NoBits(runs)) break;
      at_least[n] = L::AddBitCounts(at_least[n], runs);
      if (n == shortest) from_shortest = runs;
      if (n == longest + 1) past_longest = runs;
    }
    reached = n - 1 > reached ? n - 1 : reached;
    L::StoreWords(counted.data() + w, L::AndNotWords(past_longest, from_shortest));
  }
  for (std::size_t n = 1; n <= reached; ++n) census.at_least[n] = L::SumCounts(at_least[n]);
  for (std::size_t w = 0; w < kWords; ++w) census.counted_ends[w] = counted[w];
}

}  // namespace Tarvo_alg1::kernels
