#include "engine/position_classes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "engine/instruction_set.h"

namespace Tarvo_alg1 {
namespace {

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

}  // namespace

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

}  // namespace Tarvo_alg1
