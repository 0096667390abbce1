// The flic pass: the scan cuts the classified positions into flics (each flic's last position
// is the next flic's first, so that position is seen twice, and a flat run carries over from one
// flic to the next), counts thorns and jumps per flic and the lengths of the jumps.
//
// Two strategies: by census (flic_census_kernel.h), a word of positions at a time, whenever no
// run past the histogram can count; run by run (flic_runs.cpp) otherwise, where such a run
// must fail as it is met.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/position_bits.h"
#include "engine/run_census.h"

namespace Tarvo_alg1 {

inline constexpr std::size_t kFlicRows = 101;  // flics 0 to 100; only 1 to 99 are stored
inline constexpr std::size_t kStoredFlics = 100;

// One row of the flic table. The table's unused middle column is always 0, so a row is empty
// when both counts are 0.
struct FlicCounts {
  std::int64_t thorns = 0;
  std::int64_t jumps = 0;
};

// What the flic pass counts: thorns and jumps per flic (rows 1 to 99) and the lengths of the
// jumps.
struct FlicPass {
  std::array<FlicCounts, kFlicRows> FlicTable{};
  std::array<std::int64_t, kLongestRun + 1> JumpHistogram{};
  std::size_t F = 0;
};

// Counts the flics starting at 1, 1 + flic, ... up to `last` (positions are classified up to
// last + flic). Raises Subscript out of range (9) for a counted run longer than 100.
void CountFlics(const PositionBits& thorn, const PositionBits& nonflat, std::size_t flic,
                std::size_t last, double MinJump, double MaxJump, FlicPass& pass);

}  // namespace Tarvo_alg1
