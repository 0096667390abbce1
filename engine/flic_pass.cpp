#include "engine/flic_pass.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "engine/instruction_set.h"
#include "platform/error.h"

namespace Tarvo_alg1 {
namespace {

bool IsJump(double length, double MinJump, double MaxJump) noexcept {
  return MinJump <= length && length <= MaxJump;
}

// The jumps among the run lengths handed to it: whether each counts, and a histogram of the
// lengths that do.
struct JumpTally {
  JumpTally(double MinJump, double MaxJump) noexcept : min_jump(MinJump), max_jump(MaxJump) {
    for (std::size_t length = 0; length <= kLongestRun; ++length) {
      counted[length] = IsJump(static_cast<double>(length), MinJump, MaxJump) ? 1 : 0;
    }
  }

  // 1 when a run of this length is a jump, else 0. Counted without a branch, since whether a
  // run counts follows no pattern.
  // `turn` picks one of four histograms: runs of one length, which often follow each other,
  // then do not wait on each other's update.
  [[gnu::always_inline]] inline std::int64_t Add(std::size_t length, std::size_t turn) {
    if (__builtin_expect(length > kLongestRun, 0)) {
      if (IsJump(static_cast<double>(length), min_jump, max_jump)) {
        pellix::RaiseError(pellix::kSubscriptOutOfRange);  // no histogram bin for it
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

// Tallies the runs ending at the set bits of `run_ends` from lo to hi, each run reaching back
// to the last position before it whose `nonflat` bit is set. Returns how many are jumps.
[[gnu::always_inline]] inline std::int64_t TallyRuns(const PositionBits& run_ends,
                                                     const PositionBits& nonflat, std::size_t lo,
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

// Runs measured a word at a time, for jump limits that no run past the histogram can meet. A
// run of at least L flat positions ends at k when k ends a run and k - L is flat too (as are the
// positions between, by induction): the ends of such runs are the run ends ANDed with the flat
// positions shifted by 2, 3, ... L. Counting them gives the histogram, and the ends of counted
// runs give each flic's jumps by a population count, without visiting runs one by one. Runs
// are measured as they lie; one that reaches back over a flic start is put right by the caller.
struct RunCensus {
  PositionBits counted_ends{};                           // ends of runs whose length counts
  std::array<std::int64_t, kLongestRun + 2> at_least{};  // runs of at least L, L = 1 to 101
};

// Measures the runs that end at positions 2 to last_end and whose lengths count from
// `shortest` to `longest` (1 <= shortest <= longest <= 100).
[[gnu::always_inline]] inline void TakeRunCensus(const PositionBits& nonflat,
                                                 const PositionBits& run_ends, std::size_t last_end,
                                                 std::size_t shortest, std::size_t longest,
                                                 RunCensus& census) noexcept {
  // Position 0 does not exist and ends every run reaching back to it, like a position that is
  // not flat; so do the positions before it.
  auto flat = [&nonflat](std::size_t w) {
    return ~nonflat[w] & (w == 0 ? ~std::uint64_t{1} : ~std::uint64_t{0});
  };
  const std::size_t last_word = last_end >> 6;
  for (std::size_t w = 0; w <= last_word; ++w) {
    std::uint64_t ends = run_ends[w];
    if (w == 0) ends &= ~std::uint64_t{3};
    if (w == last_word) ends &= ~std::uint64_t{0} >> (63 - (last_end & 63));
    if (ends == 0) continue;
    const std::uint64_t f0 = flat(w);
    const std::uint64_t f1 = w >= 1 ? flat(w - 1) : 0;
    const std::uint64_t f2 = w >= 2 ? flat(w - 2) : 0;
    std::uint64_t at_least = ends;
    std::uint64_t from_shortest = shortest == 1 ? ends : 0;
    std::uint64_t past_longest = 0;
    census.at_least[1] += Popcount(ends);
    for (std::size_t L = 2; L <= longest + 1; ++L) {
      const std::uint64_t shifted = L < 64    ? (f0 << L) | (f1 >> (64 - L))
                                    : L == 64 ? f1
                                              : (f1 << (L - 64)) | (f2 >> (128 - L));
      at_least &= shifted;
      if (at_least == 0) break;
      census.at_least[L] += Popcount(at_least);
      if (L == shortest) from_shortest = at_least;
      if (L == longest + 1) past_longest = at_least;
    }
    census.counted_ends[w] = from_shortest & ~past_longest;
  }
}

#if defined(__x86_64__)
// Four words' population counts at once: a table of the counts of 4-bit values, looked up for
// both halves of every byte, then the bytes of each word summed.
__attribute__((target("avx2"))) __m256i WordPopcounts(__m256i words) noexcept {
  const __m256i nibble_counts = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0,
                                                 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
  const __m256i low_nibbles = _mm256_set1_epi8(0x0F);
  const __m256i low = _mm256_and_si256(words, low_nibbles);
  const __m256i high = _mm256_and_si256(_mm256_srli_epi16(words, 4), low_nibbles);
  const __m256i bytes = _mm256_add_epi8(_mm256_shuffle_epi8(nibble_counts, low),
                                        _mm256_shuffle_epi8(nibble_counts, high));
  return _mm256_sad_epu8(bytes, _mm256_setzero_si256());
}

// TakeRunCensus four words at a time.
__attribute__((target("avx2"))) void TakeRunCensusAvx2(const PositionBits& nonflat,
                                                       const PositionBits& run_ends,
                                                       std::size_t last_end, std::size_t shortest,
                                                       std::size_t longest,
                                                       RunCensus& census) noexcept {
  constexpr std::size_t kGroup = 4;
  constexpr std::size_t kPadded = kWords + kGroup;
  const std::size_t last_word = last_end >> 6;
  // flat[w + 2] is the flat positions of word w; the two words before word 0 are stops, as is
  // position 0. ends[w] is word w's run ends from position 2 to last_end.
  alignas(32) std::array<std::uint64_t, kPadded + 2> flat{};
  alignas(32) std::array<std::uint64_t, kPadded> ends{};
  alignas(32) std::array<std::uint64_t, kPadded> counted{};
  for (std::size_t w = 0; w <= last_word; ++w) {
    flat[w + 2] = ~nonflat[w];
    ends[w] = run_ends[w];
  }
  flat[2] &= ~std::uint64_t{1};
  ends[0] &= ~std::uint64_t{3};
  ends[last_word] &= ~std::uint64_t{0} >> (63 - (last_end & 63));

  __m256i at_least[kLongestRun + 2];
  std::fill(std::begin(at_least), std::end(at_least), _mm256_setzero_si256());
  std::size_t reached = 1;
  for (std::size_t w = 0; w <= last_word; w += kGroup) {
    __m256i runs = _mm256_load_si256(reinterpret_cast<const __m256i*>(ends.data() + w));
    if (_mm256_testz_si256(runs, runs) != 0) continue;
    const __m256i f0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(flat.data() + w + 2));
    const __m256i f1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(flat.data() + w + 1));
    const __m256i f2 = _mm256_load_si256(reinterpret_cast<const __m256i*>(flat.data() + w));
    at_least[1] = _mm256_add_epi64(at_least[1], WordPopcounts(runs));
    __m256i from_shortest = shortest == 1 ? runs : _mm256_setzero_si256();
    __m256i past_longest = _mm256_setzero_si256();
    for (std::size_t L = 2; L <= longest + 1; ++L) {
      __m256i shifted;
      if (L < 64) {
        shifted = _mm256_or_si256(
            _mm256_sll_epi64(f0, _mm_cvtsi64_si128(static_cast<long long>(L))),
            _mm256_srl_epi64(f1, _mm_cvtsi64_si128(static_cast<long long>(64 - L))));
      } else {
        shifted = _mm256_or_si256(
            _mm256_sll_epi64(f1, _mm_cvtsi64_si128(static_cast<long long>(L - 64))),
            _mm256_srl_epi64(f2, _mm_cvtsi64_si128(static_cast<long long>(128 - L))));
      }
      runs = _mm256_and_si256(runs, shifted);
      if (_mm256_testz_si256(runs, runs) != 0) break;
      at_least[L] = _mm256_add_epi64(at_least[L], WordPopcounts(runs));
      reached = std::max(reached, L);
      if (L == shortest) from_shortest = runs;
      if (L == longest + 1) past_longest = runs;
    }
    _mm256_store_si256(reinterpret_cast<__m256i*>(counted.data() + w),
                       _mm256_andnot_si256(past_longest, from_shortest));
  }
  for (std::size_t L = 1; L <= reached; ++L) {
    alignas(32) std::array<std::int64_t, kGroup> lanes;
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes.data()), at_least[L]);
    census.at_least[L] = lanes[0] + lanes[1] + lanes[2] + lanes[3];
  }
  std::copy_n(counted.begin(), kWords, census.counted_ends.begin());
}
#endif

// The flic pass when no run longer than the histogram counts (MaxJump below 101), so that
// nothing can fail: the runs are measured by census, and each flic's first run, when it began
// at or before the flic's start, is measured again with the positions seen twice.
template <typename Repeated>
[[gnu::always_inline]] inline void CountFlicsByCensus(
    const PositionBits& thorn, const PositionBits& nonflat, const PositionBits& after_nonflat,
    const PositionBits& after_flat, std::size_t flic, std::size_t last, Repeated repeated_positions,
    JumpTally& tally, FlicPass& pass, bool wide) {
  std::size_t shortest = 1;
  while (shortest <= kLongestRun && tally.counted[shortest] == 0) ++shortest;
  std::size_t longest = kLongestRun;
  while (longest >= shortest && tally.counted[longest] == 0) --longest;

  const std::size_t last_end = 1 + (last - 1) / flic * flic + flic;
  RunCensus census;
  if (shortest <= longest) {
#if defined(__x86_64__)
    if (wide) {
      TakeRunCensusAvx2(nonflat, after_flat, last_end, shortest, longest, census);
    } else {
      TakeRunCensus(nonflat, after_flat, last_end, shortest, longest, census);
    }
#else
    TakeRunCensus(nonflat, after_flat, last_end, shortest, longest, census);
#endif
    for (std::size_t L = shortest; L <= longest; ++L) {
      tally.bins[L][0] = census.at_least[L] - census.at_least[L + 1];
    }
  }

  std::size_t& F = pass.F;
  for (std::size_t st = 1; st <= last; st += flic) {
    ++F;
    const std::size_t end = st + flic;
    const std::int64_t thorns = CountBits(thorn, st, end);
    std::int64_t jumps = CountBits(census.counted_ends, st + 1, end);
    if (tally.counted[0] != 0) {
      jumps += (Bit(nonflat, st) ? 1 : 0) + CountBits(after_nonflat, st + 1, end);
    }
    const std::size_t k = NextSetBit(after_flat, st + 1, end);
    if (k <= end) {
      const std::size_t previous = PreviousSetBit(nonflat, k - 1);
      if (previous < st) {
        const std::size_t measured = k - previous - 1;
        const std::size_t length = measured + repeated_positions(previous + 1, st, F - 1);
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

// The flics start at 1, 1 + flic, ... up to `last`; positions are classified up to last + flic.
[[gnu::always_inline]] inline void CountFlicsBody(const PositionBits& thorn,
                                                  const PositionBits& nonflat, std::size_t flic,
                                                  std::size_t last, double MinJump, double MaxJump,
                                                  FlicPass& pass, bool wide) {
  // A run ends at every position that is not flat. It has length 0 when the position seen
  // just before was not flat either; for the first position of a flic that is the same
  // position, seen as the last of the flic before (the scan's first position starts with a
  // run of 0 as well). Otherwise the run is the flat stretch back to the last position that
  // is not flat, each flic start in it counted twice.
  PositionBits after_nonflat;  // not flat, and the position before is not flat
  PositionBits after_flat;     // not flat, and the position before is flat
  std::uint64_t carry = 0;
  for (std::size_t w = 0; w < kWords; ++w) {
    const std::uint64_t before = (nonflat[w] << 1) | carry;
    carry = nonflat[w] >> 63;
    after_nonflat[w] = nonflat[w] & before;
    after_flat[w] = nonflat[w] & ~before;
  }
  // Flic starts after the first within the flat stretch from lo up to a run end in the flic
  // that starts at st, the t-th start after the first: each is seen twice. The stretch ends at
  // st or later, so st is the last start it can hold; stretches seldom reach back a whole
  // flic, and only those need the division.
  auto repeated_positions = [flic](std::size_t lo, std::size_t st, std::size_t t) -> std::size_t {
    if (t == 0 || lo > st) return 0;
    if (lo + flic > st) return 1;
    const std::size_t t_low = std::max<std::size_t>((lo - 1 + flic - 1) / flic, 1);
    return t >= t_low ? t - t_low + 1 : 0;
  };

  // Which run lengths count as jumps; a run longer than 100 is looked at on its own.
  JumpTally tally(MinJump, MaxJump);
  if (!(MaxJump >= kLongestRun + 1)) {
    CountFlicsByCensus(thorn, nonflat, after_nonflat, after_flat, flic, last, repeated_positions,
                       tally, pass, wide);
    return;
  }
  std::size_t& F = pass.F;
  for (std::size_t st = 1; st <= last; st += flic) {
    ++F;
    const std::size_t end = st + flic;
    const std::int64_t thorns = CountBits(thorn, st, end);
    std::int64_t jumps = 0;
    if (tally.counted[0] != 0) {
      jumps += (Bit(nonflat, st) ? 1 : 0) + CountBits(after_nonflat, st + 1, end);
    }
    // Only the first run to end in the flic can have begun before its start: any later one
    // begins after the position that ended the first.
    const std::size_t k = NextSetBit(after_flat, st + 1, end);
    if (k <= end) {
      const std::size_t previous = PreviousSetBit(nonflat, k - 1);
      std::size_t length = k - previous - 1;
      if (previous < st) length += repeated_positions(previous + 1, st, F - 1);
      jumps += tally.Add(length, 0);
      jumps += TallyRuns(after_flat, nonflat, k + 1, end, tally);
    }
    if (F < kStoredFlics) pass.FlicTable[F] = {thorns, jumps};
  }
  pass.JumpHistogram = tally.Histogram();
}

void CountFlicsBaseline(const PositionBits& thorn, const PositionBits& nonflat, std::size_t flic,
                        std::size_t last, double MinJump, double MaxJump, FlicPass& pass) {
  CountFlicsBody(thorn, nonflat, flic, last, MinJump, MaxJump, pass, false);
}

#if defined(__x86_64__)
__attribute__((target("avx2,popcnt,bmi,bmi2,lzcnt"))) void CountFlicsAvx2(
    const PositionBits& thorn, const PositionBits& nonflat, std::size_t flic, std::size_t last,
    double MinJump, double MaxJump, FlicPass& pass) {
  CountFlicsBody(thorn, nonflat, flic, last, MinJump, MaxJump, pass, true);
}
#endif

}  // namespace

void CountFlics(const PositionBits& thorn, const PositionBits& nonflat, std::size_t flic,
                std::size_t last, double MinJump, double MaxJump, FlicPass& pass) {
#if defined(__x86_64__)
  if (ActiveInstructionSet() == InstructionSet::kAvx2) {
    CountFlicsAvx2(thorn, nonflat, flic, last, MinJump, MaxJump, pass);
    return;
  }
#endif
  CountFlicsBaseline(thorn, nonflat, flic, last, MinJump, MaxJump, pass);
}

}  // namespace Tarvo_alg1
