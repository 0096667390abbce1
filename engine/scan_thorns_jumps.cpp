// ScanThornsJumps: thorn and jump rates, mean jump length and jump spread of the stored take.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "engine/instruction_set.h"
#include "engine/tarvo_alg1.h"
#include "platform/conversions.h"
#include "platform/error.h"

namespace Tarvo_alg1 {
namespace {

constexpr double kDefaultFlicLength = 300;
constexpr double kScanLimit = 20500;    // the scan reads at most slots 1 to 20502
constexpr std::size_t kFlicRows = 101;  // flics 0 to 100; only 1 to 99 are stored
constexpr std::size_t kStoredFlics = 100;
constexpr std::size_t kLongestRun = 100;  // the histogram's last bin
constexpr double kRatePer = 3000;
constexpr double kMinAvgJumpLen = 2;
constexpr double kMaxAvgJumpLen = 11;

// One row of the flic table. The table's unused middle column is always 0, so a row is empty
// when both counts are 0.
struct FlicCounts {
  std::int64_t thorns = 0;
  std::int64_t jumps = 0;
};

constexpr std::size_t kMaxPositions = 20500;
constexpr std::size_t kWords = kMaxPositions / 64 + 1;  // one bit per position 0 to 20500

bool IsJump(double length, double MinJump, double MaxJump) noexcept {
  return MinJump <= length && length <= MaxJump;
}

// One bit per position k (bit k % 64 of word k / 64). Position 0 does not exist; its bit is 0.
using PositionBits = std::array<std::uint64_t, kWords>;

// The bit helpers are inlined into each form of the flic pass, so that the AVX2 form counts
// with the processor's own population-count and bit-scan instructions.
#define PELLIX_BIT_HELPER inline __attribute__((always_inline))

PELLIX_BIT_HELPER std::int64_t Popcount(std::uint64_t word) noexcept {
  return __builtin_popcountll(word);
}

PELLIX_BIT_HELPER bool Bit(const PositionBits& bits, std::size_t k) noexcept {
  return (bits[k >> 6] >> (k & 63)) & 1;
}

// The number of set bits for positions lo to hi (inclusive, lo <= hi).
PELLIX_BIT_HELPER std::int64_t CountBits(const PositionBits& bits, std::size_t lo,
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
PELLIX_BIT_HELPER std::size_t PreviousSetBit(const PositionBits& bits, std::size_t k) noexcept {
  std::size_t w = k >> 6;
  std::uint64_t word = bits[w] & (~std::uint64_t{0} >> (63 - (k & 63)));
  while (word == 0) {
    if (w == 0) return 0;
    word = bits[--w];
  }
  return (w << 6) + 63 - static_cast<std::size_t>(__builtin_clzll(word));
}

// Two positions at a time: lane-wise comparisons give all-ones or all-zeros lanes.
using Lanes = double __attribute__((vector_size(16)));
using Masks = std::int64_t __attribute__((vector_size(16)));

Lanes LoadLanes(const double* p) noexcept {
  Lanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

Lanes Min(Lanes x, Lanes y) noexcept {
#if defined(__SSE2__)
  return _mm_min_pd(x, y);
#else
  return x < y ? x : y;
#endif
}
Lanes Max(Lanes x, Lanes y) noexcept {
#if defined(__SSE2__)
  return _mm_max_pd(x, y);
#else
  return x < y ? y : x;
#endif
}

// The two lanes of a mask as bits 0 and 1.
std::uint64_t PairBits(Masks mask) noexcept {
#if defined(__SSE2__)
  return static_cast<std::uint64_t>(_mm_movemask_pd(reinterpret_cast<__m128d>(mask)));
#else
  return static_cast<std::uint64_t>((mask[0] & 1) | (mask[1] & 2));
#endif
}

#if defined(__SSE2__)
// On whole numbers within the narrow limit the rules compare exactly the same in 16 bits: eight
// positions per step instead of two. The intake mostly stores takes that way; a take written
// wide is narrowed here when it can be.
constexpr std::size_t kNarrowLanes = 8;
// Slots 0 to 20500 + 33: the last block of positions starts at or below 20500 and reads 34 slots.
constexpr std::size_t kNarrowBlock = 4 * kNarrowLanes;
constexpr std::size_t kNarrowSlots =
    (kMaxPositions + 34 + kNarrowBlock - 1) / kNarrowBlock * kNarrowBlock;
static_assert(kNarrowSlots <= kSampleSlots);

using NarrowSamples = std::array<std::int16_t, kNarrowSlots>;

// Copies slots 0 to count - 1 (a multiple of 8) to 16 bits. False when any of them is not a
// whole number within the limit (NaN included); `out` is then of no use.
bool Narrow(const double* Samples, std::size_t count, NarrowSamples& out) noexcept {
  __m128d whole = _mm_cmpeq_pd(_mm_setzero_pd(), _mm_setzero_pd());
  __m128i low = _mm_setzero_si128();
  __m128i high = _mm_setzero_si128();
  for (std::size_t i = 0; i < count; i += kNarrowLanes) {
    __m128i pairs[4];
    for (std::size_t j = 0; j < 4; ++j) {
      const __m128d x = _mm_loadu_pd(Samples + i + 2 * j);
      pairs[j] = _mm_cvttpd_epi32(x);  // out of the 32-bit range: INT_MIN, which differs from x
      whole = _mm_and_pd(whole, _mm_cmpeq_pd(x, _mm_cvtepi32_pd(pairs[j])));
    }
    // Saturates what does not fit, which the limit test then refuses.
    const __m128i values = _mm_packs_epi32(_mm_unpacklo_epi64(pairs[0], pairs[1]),
                                           _mm_unpacklo_epi64(pairs[2], pairs[3]));
    low = _mm_min_epi16(low, values);
    high = _mm_max_epi16(high, values);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out.data() + i), values);
  }
  const std::int16_t limit = kNarrowSampleLimit;
  const __m128i outside = _mm_or_si128(_mm_cmpgt_epi16(high, _mm_set1_epi16(limit)),
                                       _mm_cmplt_epi16(low, _mm_set1_epi16(-limit)));
  return _mm_movemask_pd(whole) == 3 && _mm_movemask_epi8(outside) == 0;
}

// ClassifyPositions on 16-bit samples: positions 0 to `last` in blocks of sixteen, written two
// bytes at a time (bit k % 64 of word k / 64 is bit k % 16 of 16-bit unit k / 16 on a
// little-endian machine). Reads slots up to last + 17. Position 0 and the positions past
// `last` are cleared afterwards.
//
// Per lane: low and high are the smaller and larger neighbour; a thorn is a < b > c above 5 or
// a > b < c below -5, and a position is not flat when a or c is more than 2 away from b.
void ClearOutside(std::size_t last, PositionBits& thorn, PositionBits& nonflat) noexcept {
  const std::uint64_t through_last = ~std::uint64_t{0} >> (63 - (last & 63));
  thorn[last >> 6] &= through_last;
  nonflat[last >> 6] &= through_last;
  thorn[0] &= ~std::uint64_t{1};
  nonflat[0] &= ~std::uint64_t{1};
}

void StoreUnit(PositionBits& bits, std::size_t k, unsigned unit) noexcept {
  const auto value = static_cast<std::uint16_t>(unit);
  std::memcpy(reinterpret_cast<unsigned char*>(bits.data()) + k / 8, &value, sizeof value);
}

struct NarrowMasks {
  __m128i thorn;
  __m128i steep;
};

NarrowMasks ClassifyLanes(const std::int16_t* samples) noexcept {
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 1));
  const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 2));
  const __m128i low = _mm_min_epi16(a, c);
  const __m128i high = _mm_max_epi16(a, c);
  const __m128i two = _mm_set1_epi16(2);
  const __m128i positive =
      _mm_and_si128(_mm_cmpgt_epi16(b, high), _mm_cmpgt_epi16(low, _mm_set1_epi16(5)));
  const __m128i negative =
      _mm_and_si128(_mm_cmpgt_epi16(low, b), _mm_cmpgt_epi16(_mm_set1_epi16(-5), high));
  const __m128i steep = _mm_or_si128(_mm_cmpgt_epi16(_mm_sub_epi16(high, b), two),
                                     _mm_cmpgt_epi16(_mm_sub_epi16(b, low), two));
  return {_mm_or_si128(positive, negative), steep};
}

void ClassifyNarrowBaseline(const std::int16_t* samples, std::size_t last, PositionBits& thorn,
                            PositionBits& nonflat) noexcept {
  for (std::size_t k = 0; k <= last; k += 2 * kNarrowLanes) {
    const NarrowMasks first = ClassifyLanes(samples + k);
    const NarrowMasks second = ClassifyLanes(samples + k + kNarrowLanes);
    StoreUnit(thorn, k,
              static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(first.thorn, second.thorn))));
    StoreUnit(nonflat, k,
              static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(first.steep, second.steep))));
  }
  ClearOutside(last, thorn, nonflat);
}

struct WideMasks {
  __m256i thorn;
  __m256i steep;
};

__attribute__((target("avx2"))) WideMasks ClassifyWideLanes(const std::int16_t* samples) noexcept {
  const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples));
  const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples + 1));
  const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples + 2));
  const __m256i low = _mm256_min_epi16(a, c);
  const __m256i high = _mm256_max_epi16(a, c);
  const __m256i two = _mm256_set1_epi16(2);
  const __m256i positive =
      _mm256_and_si256(_mm256_cmpgt_epi16(b, high), _mm256_cmpgt_epi16(low, _mm256_set1_epi16(5)));
  const __m256i negative =
      _mm256_and_si256(_mm256_cmpgt_epi16(low, b), _mm256_cmpgt_epi16(_mm256_set1_epi16(-5), high));
  const __m256i steep = _mm256_or_si256(_mm256_cmpgt_epi16(_mm256_sub_epi16(high, b), two),
                                        _mm256_cmpgt_epi16(_mm256_sub_epi16(b, low), two));
  return {_mm256_or_si256(positive, negative), steep};
}

__attribute__((target("avx2"))) std::uint32_t InOrderBits(__m256i first, __m256i second) noexcept {
  return static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_permute4x64_epi64(_mm256_packs_epi16(first, second), 0xD8)));
}

// Thirty-two positions a step (reads slots up to last + 33). Packing two masks works within
// each half of the register, so the packed quarters are put back in order before their bits
// are taken.
__attribute__((target("avx2"))) void ClassifyNarrowAvx2(const std::int16_t* samples,
                                                        std::size_t last, PositionBits& thorn,
                                                        PositionBits& nonflat) noexcept {
  for (std::size_t k = 0; k <= last; k += 4 * kNarrowLanes) {
    const WideMasks first = ClassifyWideLanes(samples + k);
    const WideMasks second = ClassifyWideLanes(samples + k + 2 * kNarrowLanes);
    const std::uint32_t thorns = InOrderBits(first.thorn, second.thorn);
    const std::uint32_t steps = InOrderBits(first.steep, second.steep);
    std::memcpy(reinterpret_cast<unsigned char*>(thorn.data()) + k / 8, &thorns, sizeof thorns);
    std::memcpy(reinterpret_cast<unsigned char*>(nonflat.data()) + k / 8, &steps, sizeof steps);
  }
  ClearOutside(last, thorn, nonflat);
}

void ClassifyNarrow(const std::int16_t* samples, std::size_t last, PositionBits& thorn,
                    PositionBits& nonflat) noexcept {
  if (ActiveInstructionSet() == InstructionSet::kAvx2) {
    ClassifyNarrowAvx2(samples, last, thorn, nonflat);
  } else {
    ClassifyNarrowBaseline(samples, last, thorn, nonflat);
  }
}
#endif

// Sets the thorn and non-flat bits of positions 1 to `last` (slots k, k+1 and k+2). Reads no
// slot past last + 2.
void ClassifyPositions(const SampleStore& store, std::size_t last, PositionBits& thorn,
                       PositionBits& nonflat) noexcept {
  thorn.fill(0);
  nonflat.fill(0);
#if defined(__SSE2__)
  if (store.is_narrow()) {
    ClassifyNarrow(store.narrow_slots(), last, thorn, nonflat);
    return;
  }
  {
    // Slots 0 to last + 33 are read in blocks; every slot the rules look at is among them.
    const std::size_t count = (last + 34 + kNarrowBlock - 1) / kNarrowBlock * kNarrowBlock;
    NarrowSamples narrow;
    if (Narrow(store.wide_slots(), count, narrow)) {
      ClassifyNarrow(narrow.data(), last, thorn, nonflat);
      return;
    }
  }
#endif
  auto one = [&](std::size_t k) {
    const double a = store[k];
    const double b = store[k + 1];
    const double c = store[k + 2];
    const bool positive = a < b && b > c && a > 5 && b > 5 && c > 5;
    const bool negative = a > b && b < c && a < -5 && b < -5 && c < -5;
    const bool flat = b - 3 < a && a < b + 3 && b - 3 < c && c < b + 3;
    thorn[k >> 6] |= std::uint64_t{positive || negative} << (k & 63);
    nonflat[k >> 6] |= std::uint64_t{!flat} << (k & 63);
  };
  if (store.is_narrow()) {  // only without the 16-bit lanes above
    for (std::size_t k = 1; k <= last; ++k) one(k);
    return;
  }
  const double* const Samples = store.wide_slots();
  if (last >= 1) one(1);
  // Pairs from an even position never straddle two words. Fewer comparisons than the plain
  // rules, to the same effect: a > 5 and b > a already give b > 5, and min(a, c) > b - 3
  // holds exactly when both a and c do (samples are never NaN).
  const Lanes five = {5, 5};
  const Lanes three = {3, 3};
  std::uint64_t thorn_word = 0;
  std::uint64_t nonflat_word = 0;
  std::size_t k = 2;
  for (; k + 1 <= last; k += 2) {
    const Lanes a = LoadLanes(Samples + k);
    const Lanes b = LoadLanes(Samples + k + 1);
    const Lanes c = LoadLanes(Samples + k + 2);
    const Lanes low = Min(a, c);
    const Lanes high = Max(a, c);
    const Masks positive = (a < b) & (c < b) & (low > five);
    const Masks negative = (a > b) & (c > b) & (high < -five);
    // Written as the bounds, not as |a - b| <= 2: the two differ for samples too large for a
    // difference of 3 to register.
    const Masks flat = (low > b - three) & (high < b + three);
    thorn_word |= PairBits(positive | negative) << (k & 63);
    nonflat_word |= (PairBits(flat) ^ 3) << (k & 63);
    if ((k & 63) == 62) {
      thorn[k >> 6] |= thorn_word;
      nonflat[k >> 6] |= nonflat_word;
      thorn_word = 0;
      nonflat_word = 0;
    }
  }
  thorn[(k - 2) >> 6] |= thorn_word;
  nonflat[(k - 2) >> 6] |= nonflat_word;
  if (k <= last) one(k);
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
  PELLIX_BIT_HELPER std::int64_t Add(std::size_t length, std::size_t turn) {
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

// The lowest position from lo to hi whose bit is set, or hi + 1 when there is none.
PELLIX_BIT_HELPER std::size_t NextSetBit(const PositionBits& bits, std::size_t lo,
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

// Tallies the runs ending at the set bits of `run_ends` from lo to hi, each run reaching back
// to the last position before it whose `nonflat` bit is set. Returns how many are jumps.
PELLIX_BIT_HELPER std::int64_t TallyRuns(const PositionBits& run_ends, const PositionBits& nonflat,
                                         std::size_t lo, std::size_t hi, JumpTally& tally) {
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
PELLIX_BIT_HELPER void TakeRunCensus(const PositionBits& nonflat, const PositionBits& run_ends,
                                     std::size_t last_end, std::size_t shortest,
                                     std::size_t longest, RunCensus& census) noexcept {
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

// What the flic pass counts: thorns and jumps per flic (rows 1 to 99) and the lengths of the
// jumps.
struct FlicPass {
  std::array<FlicCounts, kFlicRows> FlicTable{};
  std::array<std::int64_t, kLongestRun + 1> JumpHistogram{};
  std::size_t F = 0;
};

// The flic pass when no run longer than the histogram counts (MaxJump below 101), so that
// nothing can fail: the runs are measured by census, and each flic's first run, when it began
// at or before the flic's start, is measured again with the positions seen twice.
template <typename Repeated>
PELLIX_BIT_HELPER void CountFlicsByCensus(const PositionBits& thorn, const PositionBits& nonflat,
                                          const PositionBits& after_nonflat,
                                          const PositionBits& after_flat, std::size_t flic,
                                          std::size_t last, Repeated repeated_positions,
                                          JumpTally& tally, FlicPass& pass) {
  std::size_t shortest = 1;
  while (shortest <= kLongestRun && tally.counted[shortest] == 0) ++shortest;
  std::size_t longest = kLongestRun;
  while (longest >= shortest && tally.counted[longest] == 0) --longest;

  const std::size_t last_end = 1 + (last - 1) / flic * flic + flic;
  RunCensus census;
  if (shortest <= longest) {
    TakeRunCensus(nonflat, after_flat, last_end, shortest, longest, census);
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
PELLIX_BIT_HELPER void CountFlicsBody(const PositionBits& thorn, const PositionBits& nonflat,
                                      std::size_t flic, std::size_t last, double MinJump,
                                      double MaxJump, FlicPass& pass) {
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
                       tally, pass);
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
  CountFlicsBody(thorn, nonflat, flic, last, MinJump, MaxJump, pass);
}

#if defined(__x86_64__)
__attribute__((target("avx2,popcnt,bmi,bmi2,lzcnt"))) void CountFlicsAvx2(
    const PositionBits& thorn, const PositionBits& nonflat, std::size_t flic, std::size_t last,
    double MinJump, double MaxJump, FlicPass& pass) {
  CountFlicsBody(thorn, nonflat, flic, last, MinJump, MaxJump, pass);
}
#endif

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

}  // namespace

void ScanThornsJumps() {
  auto& m = Shared();

  // 1-3.
  double N = m.SampleCount;
  if (N <= 0) return;
  if (m.FlicLength == 0) m.FlicLength = kDefaultFlicLength;
  if (N > kScanLimit) N = kScanLimit;

  // Nothing but this scan sets FlicLength, so it is 300; a length that cuts no whole number of
  // positions would index between slots, and is refused rather than guessed at.
  const double FlicLength = m.FlicLength;
  if (!(FlicLength >= 1 && FlicLength == std::floor(FlicLength))) {
    pellix::RaiseError(pellix::kInvalidProcedureCall);
  }

  // 4. Flic pass. A flic's last position is the next flic's first, so that position is seen
  // twice, and the flat run carries over from one flic to the next.
  FlicPass pass;
  const auto& FlicTable = pass.FlicTable;
  const auto& JumpHistogram = pass.JumpHistogram;
  const std::size_t& F = pass.F;
  const double last_start = N - FlicLength;  // N is NaN only if SampleCount was set to NaN
  if (last_start >= 1) {
    // Both at most 20500 here, so every position is at most 20500 and every slot read at most
    // 20502.
    const auto flic = static_cast<std::size_t>(FlicLength);
    const auto last = static_cast<std::size_t>(last_start);

    // What each position is does not depend on the flic that sees it: classify every position
    // once, then count per flic.
    PositionBits thorn;
    PositionBits nonflat;
    ClassifyPositions(m.Samples, last + flic, thorn, nonflat);

    CountFlics(thorn, nonflat, flic, last, m.MinJump, m.MaxJump, pass);
  }

  // 5. Jump lengths over bins 1 to 100: runs of length 0 count as jumps but have no length.
  // A length seen only once adds to the mean but not to the deviation.
  double total = 0;
  double weighted = 0;
  for (std::size_t L = 1; L <= kLongestRun; ++L) {
    total += static_cast<double>(JumpHistogram[L]);
    weighted += static_cast<double>(JumpHistogram[L]) * static_cast<double>(L);
  }
  const double mean = total > 0 ? weighted / total : 0;
  double deviation = 0;
  for (std::size_t L = 1; L <= kLongestRun; ++L) {
    if (JumpHistogram[L] > 1) {
      deviation += static_cast<double>(JumpHistogram[L]) * std::abs(mean - static_cast<double>(L));
    }
  }

  // 6. Rates over the leading flics up to the first empty one after flic 1. Row 100 is never
  // stored, so the loop stops there at the latest.
  double thornSum = 0;
  double jumpSum = 0;
  std::size_t flics_used = 0;
  for (std::size_t f = 1; f <= F && f < kFlicRows; ++f) {
    const FlicCounts& row = FlicTable[f];
    if (f > 1 && row.thorns == 0 && row.jumps == 0) break;
    thornSum += static_cast<double>(row.thorns);
    jumpSum += static_cast<double>(row.jumps);
    ++flics_used;
  }

  // 7. Divided in this order, in doubles: by the flics, by the flic length, times 3000. A take
  // too short for one flic has no rate: Division by zero, before any output is written.
  const auto used = static_cast<double>(flics_used);
  m.ThornRate = pellix::Int(pellix::Divide(thornSum, used) / FlicLength * kRatePer);
  m.JumpRate = pellix::Int(pellix::Divide(jumpSum, used) / FlicLength * kRatePer);
  m.JumpSpread = std::sqrt(deviation);
  m.AvgJumpLen = mean;
  if (m.AvgJumpLen < kMinAvgJumpLen || m.AvgJumpLen > kMaxAvgJumpLen) {
    m.ThornRate = 0;
    m.JumpRate = 0;
    m.JumpSpread = 0;
    m.AvgJumpLen = 0;
  }
}

}  // namespace Tarvo_alg1
