// The flic pass by census, for jump limits under which no run longer than the histogram counts
// (MaxJump below 101), so that nothing can fail: the runs are measured a word at a time
// (run_census_kernel.h), each flic's thorns and jumps are population counts, and each flic's
// first run, when it began at or before the flic's start, is measured again with the positions
// seen twice. Written once and compiled per instruction set in forms_*.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/flic_pass.h"
#include "engine/jump_tally.h"
#include "engine/position_bits.h"
#include "engine/run_census.h"
#include "engine/run_census_kernel.h"

namespace Tarvo_alg1::kernels {

template <class L>
void CountFlicsByCensus(const PositionBits& thorn, const PositionBits& nonflat, const RunEnds& ends,
                        std::size_t flic, std::size_t last, JumpTally& tally, FlicPass& pass) {
  std::size_t shortest = 1;
  while (shortest <= kLongestRun && tally.counted[shortest] == 0) ++shortest;
  std::size_t longest = kLongestRun;
  while (longest >= shortest && tally.counted[longest] == 0) --longest;

  const std::size_t last_end = 1 + (last - 1) / flic * flic + flic;
  RunCensus census;
  if (shortest <= longest) {
    TakeRunCensus<L>(nonflat, ends.after_flat, last_end, shortest, longest, census);
    for (std::size_t n = shortest; n <= longest; ++n) {
      tally.bins[n][0] = census.at_least[n] - census.at_least[n + 1];
    }
  } else {
    census.counted_ends.fill(0);
  }

  std::size_t& F = pass.F;
  for (std::size_t st = 1; st <= last; st += flic) {
    ++F;
    const std::size_t end = st + flic;
    const std::int64_t thorns = CountBits(thorn, st, end);
    std::int64_t jumps = CountBits(census.counted_ends, st + 1, end);
    if (tally.counted[0] != 0) {
      jumps += (Bit(nonflat, st) ? 1 : 0) + CountBits(ends.after_nonflat, st + 1, end);
    }
    const std::size_t k = NextSetBit(ends.after_flat, st + 1, end);
    if (k <= end) {
      const std::size_t previous = PreviousSetBit(nonflat, k - 1);
      if (previous < st) {
        const std::size_t measured = k - previous - 1;
        const std::size_t length = measured + RepeatedPositions(flic, previous + 1, st, F - 1);
        if (length != measured) {
          if (measured <= kLongestRun && tally.counted[measured] != 0) {
            --jumps;
            --tally.bins[measured][1];
          }
          jumps += tally.Add(length, 2);
        }
      }
    }
    if (F < kStoredFlics) pass.FlicTable[F] = {thorns, jumps};
  }
  pass.JumpHistogram = tally.Histogram();
}

}  // namespace Tarvo_alg1::kernels
