#include "engine/flic_runs.h"

#include <cstddef>
#include <cstdint>

namespace Tarvo_alg1 {
namespace {

// Tallies the runs ending at the set bits of `run_ends` from lo to hi, each run reaching back
// to the last position before it whose `nonflat` bit is set. Returns how many are jumps.
std::int64_t TallyRuns(const PositionBits& run_ends, const PositionBits& nonflat, std::size_t lo,
                       std::size_t hi, JumpTally& tally) {
  std::int64_t jumps = 0;
  std::size_t turn = 1;
  if (lo > hi) return jumps;
  for (std::size_t w = lo >> 6; w <= hi >> 6; ++w) {
    std::uint64_t word = run_ends[w];
    if (w == lo >> 6) word &= ~std::uint64_t{0} << (lo & 63);
    if (w == hi >> 6) word &= ~std::uint64_t{0} >> (63 - (hi & 63));
    for (; word != 0; word &= word - 1) {
      const std::size_t k = (w << 6) + static_cast<std::size_t>(__builtin_ctzll(word));
      jumps += tally.Add(k - PreviousSetBit(nonflat, k - 1) - 1, turn++);
    }
  }
  return jumps;
}

}  // namespace

void CountFlicsRunByRun(const PositionBits& thorn, const PositionBits& nonflat, const RunEnds& ends,
                        std::size_t flic, std::size_t last, JumpTally& tally, FlicPass& pass) {
  std::size_t& F = pass.F;
  for (std::size_t st = 1; st <= last; st += flic) {
    ++F;
    const std::size_t end = st + flic;
    const std::int64_t thorns = CountBits(thorn, st, end);
    std::int64_t jumps = 0;
    if (tally.counted[0] != 0) {
      jumps += (Bit(nonflat, st) ? 1 : 0) + CountBits(ends.after_nonflat, st + 1, end);
    }
    // Only the first run to end in the flic can have begun before its start: any later one
    // begins after the position that ended the first.
    const std::size_t k = NextSetBit(ends.after_flat, st + 1, end);
    if (k <= end) {
      const std::size_t previous = PreviousSetBit(nonflat, k - 1);
      std::size_t length = k - previous - 1;
      if (previous < st) length += RepeatedPositions(flic, previous + 1, st, F - 1);
      jumps += tally.Add(length, 0);
      jumps += TallyRuns(ends.after_flat, nonflat, k + 1, end, tally);
    }
    if (F < kStoredFlics) pass.FlicTable[F] = {thorns, jumps};
  }
  pass.JumpHistogram = tally.Histogram();
}

}  // namespace Tarvo_alg1
