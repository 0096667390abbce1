// Measuring the scan's flat runs a word at a time, for jump limits that no run past the
// histogram can meet. A run of at least L flat positions ends at k when k ends a run and k - L
// is flat too (as are the positions between, by induction): the ends of such runs are the run
// ends ANDed with the flat positions shifted by 2, 3, ... L. Counting them gives the histogram,
// and the ends of counted runs give each flic's jumps by a population count, without visiting
// runs one by one. Runs are measured as they lie; one that reaches back over a flic start is put
// right by the flic pass.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/limits.h"
#include "engine/position_bits.h"

namespace Tarvo_alg1 {

inline constexpr std::size_t kLongestRun = limits::kLongestJump;  // the histogram's last bin

struct RunCensus {
  PositionBits counted_ends;  // ends of runs whose length counts, written by every census
  std::array<std::int64_t, kLongestRun + 2> at_least{};  // runs of at least L, L = 1 to 101
};

}  // namespace Tarvo_alg1
