// The run census (run_census.h), written once for any word lanes and compiled per instruction
// set in forms_*.cpp.
#pragma once

#include <algorithm>
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
  // The groups read words up to groups_end - 1; nothing past them is written, let alone read,
  // so the arrays are not cleared first: on the widest form that alone took a fifth of the census.
  const std::size_t groups_end = (last_word / kGroup + 1) * kGroup;
  // flat[w + 2] is the flat positions of word w; the two words before word 0 are stops, as is
  // position 0. ends[w] is word w's run ends from position 2 to last_end.
  std::array<std::uint64_t, kPadded + 2> flat;
  std::array<std::uint64_t, kPadded> ends;
  flat[0] = 0;
  flat[1] = 0;
  for (std::size_t w = 0; w <= last_word; ++w) {
    flat[w + 2] = ~nonflat[w];
    ends[w] = run_ends[w];
  }
  for (std::size_t w = last_word + 1; w < groups_end; ++w) {
    flat[w + 2] = 0;
    ends[w] = 0;
  }
  flat[2] &= ~std::uint64_t{1};
  ends[0] &= ~std::uint64_t{3};
  ends[last_word] &= ~std::uint64_t{0} >> (63 - (last_end & 63));

  typename L::Counts at_least[kLongestRun + 2];
  for (auto& count : at_least) count = L::ZeroCounts();
  // The shifts by 1 to 63 places, as many as the lengths measured use.
  typename L::Shift shifts[64];
  for (std::size_t n = 1; n < 64 && n <= longest + 1; ++n) shifts[n] = L::ShiftBy(n);
  std::size_t reached = 1;
  // The last group may reach past the census's words: it is stored here and copied in part.
  std::array<std::uint64_t, kGroup> last_group;
  for (std::size_t w = 0; w <= last_word; w += kGroup) {
    std::uint64_t* counted =
        w + kGroup <= kWords ? census.counted_ends.data() + w : last_group.data();
    Words runs = L::LoadWords(ends.data() + w);
    if (L::NoBits(runs)) {
      L::StoreWords(counted, runs);
      continue;
    }
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
      const Words shifted = n < 64    ? L::ShiftPairsLeft(f0, f1, shifts[n])
                            : n == 64 ? f1
                                      : L::ShiftPairsLeft(f1, f2, shifts[n - 64]);
      runs = L::AndWords(runs, shifted);
      if (L::NoBits(runs)) break;
      at_least[n] = L::AddBitCounts(at_least[n], runs);
      if (n == shortest) from_shortest = runs;
      if (n == longest + 1) past_longest = runs;
    }
    reached = n - 1 > reached ? n - 1 : reached;
    L::StoreWords(counted, L::AndNotWords(past_longest, from_shortest));
  }
  const std::size_t stored = groups_end < kWords ? groups_end : kWords;
  if (groups_end > kWords) {
    std::copy_n(last_group.begin(), kWords - (groups_end - kGroup),
                census.counted_ends.begin() + (groups_end - kGroup));
  }
  std::fill(census.counted_ends.begin() + stored, census.counted_ends.end(), 0);
  for (std::size_t n = 1; n <= reached; ++n) census.at_least[n] = L::SumCounts(at_least[n]);
}

}  // namespace Tarvo_alg1::kernels
