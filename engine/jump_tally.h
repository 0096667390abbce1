// What both strategies of the flic pass share: which run lengths count as jumps, the histogram
// of those that do, and how often a run that reaches back over flic starts sees a position twice.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/run_census.h"
#include "platform/error.h"

namespace Tarvo_alg1 {

inline bool IsJump(double length, double MinJump, double MaxJump) noexcept {
  return MinJump <= length && length <= MaxJump;
}

// The jumps among the run lengths handed to it: whether each counts, and a histogram of the
// lengths that do.
struct JumpTally {
  // The lengths that count run from the first at or above MinJump up to the first above
  // MaxJump (none when either is NaN), so a walk over the counted lengths finds them all
  // without testing the other lengths.
  JumpTally(double MinJump, double MaxJump) noexcept : min_jump(MinJump), max_jump(MaxJump) {
    std::size_t first = 0;
    while (first <= kLongestRun && !(static_cast<double>(first) >= MinJump)) ++first;
    std::size_t end = first;
    while (end <= kLongestRun && static_cast<double>(end) <= MaxJump) ++end;
    counted.fill(0);
    std::fill(counted.begin() + static_cast<std::ptrdiff_t>(first),
              counted.begin() + static_cast<std::ptrdiff_t>(end), 1);
  }

  // 1 when a run of this length is a jump, else 0. Counted without a branch, since whether a
  // run counts follows no pattern. `turn` picks one of four histograms: runs of one length,
  // which often follow each other, then do not wait on each other's update. Raises Subscript
  // out of range (9) for a counted run longer than the histogram.
  [[gnu::always_inline]] inline std::int64_t Add(std::size_t length, std::size_t turn) {
    if (__builtin_expect(length > kLongestRun, 0)) {
      if (IsJump(static_cast<double>(length), min_jump, max_jump)) {
        pellix::RaiseError(pellix::kSubscriptOutOfRange);
      }
      return 0;
    }
    bins[length][turn & 3] += counted[length];
    return counted[length];
  }

  std::array<std::int64_t, kLongestRun + 1> Histogram() const noexcept {
    std::array<std::int64_t, kLongestRun + 1> histogram;
    for (std::size_t length = 0; length <= kLongestRun; ++length) {
      histogram[length] = bins[length][0] + bins[length][1] + bins[length][2] + bins[length][3];
    }
    return histogram;
  }

  double min_jump;
  double max_jump;
  std::array<std::int64_t, kLongestRun + 1> counted;
  std::array<std::array<std::int64_t, 4>, kLongestRun + 1> bins{};
};

// Flic starts after the first within the flat stretch from lo up to a run end in the flic that
// starts at st, the t-th start after the first: each is seen twice. The stretch ends at st or
// later, so st is the last start it can hold; stretches seldom reach back a whole flic, and
// only those need the division.
inline std::size_t RepeatedPositions(std::size_t flic, std::size_t lo, std::size_t st,
                                     std::size_t t) noexcept {
  if (t == 0 || lo > st) return 0;
  if (lo + flic > st) return 1;
  const std::size_t t_low = std::max<std::size_t>((lo - 1 + flic - 1) / flic, 1);
  return t >= t_low ? t - t_low + 1 : 0;
}

// The positions where a run ends, split by what came just before. A run ends at every position
// that is not flat. It has length 0 when the position seen just before was not flat either;
// for the first position of a flic that is the same position, seen as the last of the flic
// before (the scan's first position starts with a run of 0 as well). Otherwise the run is the
// flat stretch back to the last position that is not flat, each flic start in it counted twice.
struct RunEnds {
  PositionBits after_nonflat;  // not flat, and the position before is not flat
  PositionBits after_flat;     // not flat, and the position before is flat
};

// Each word reads its own bits and the top bit of the word before, with no carry from one step
// to the next, so that the compiler can run several words at a time: always inlined, so that
// each form (forms.h) runs as many as its registers hold.
[[gnu::always_inline]] inline void FindRunEnds(const PositionBits& nonflat,
                                               RunEnds& ends) noexcept {
  ends.after_nonflat[0] = nonflat[0] & (nonflat[0] << 1);
  ends.after_flat[0] = nonflat[0] & ~(nonflat[0] << 1);
  for (std::size_t w = 1; w < kWords; ++w) {
    const std::uint64_t before = (nonflat[w] << 1) | (nonflat[w - 1] >> 63);
    ends.after_nonflat[w] = nonflat[w] & before;
    ends.after_flat[w] = nonflat[w] & ~before;
  }
}

}  // namespace Tarvo_alg1
