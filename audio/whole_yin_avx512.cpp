// The estimate in AVX-512, sixteen lags at a time. The correlations are dot products of four
// bytes (VNNI): each lane of a vector is one lag, and a step adds four products to every lane, so
// no sum is ever gathered across lanes; the four samples each lane reads are spread out once a
// frame (VBMI). The running energy of the window, the running sum of the differences and the
// quotients are taken sixteen lags at a time too, in the same whole numbers and the same double
// operations as the plain form. The correlations of two blocks are worked out together, and the
// search stops with the block of the first dip.

// GCC 12's AVX-512 intrinsics pass an undefined vector where a result has no pass-through
// lanes, and its uninitialised-use warnings take that for a real uninitialised variable in every
// function the intrinsics are inlined into. Nothing in this file reads a variable it did not set.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "audio/whole_yin_forms.h"
#include "engine/target_region.h"
#include "platform/instruction_set.h"

namespace pellix::whole_yin {

bool HasAvx512Form() noexcept {
  return DetectedInstructionSet() == InstructionSet::kAvx512 &&
         __builtin_cpu_supports("avx512vnni") && __builtin_cpu_supports("avx512vbmi");
}

}  // namespace pellix::whole_yin

PELLIX_TARGET_BEGIN("avx512f,avx512bw,avx512vl,avx512dq,avx512vnni,avx512vbmi,avx2,bmi,bmi2")

namespace pellix::whole_yin {
namespace {

// Lags a block works out: the 32-bit lanes of a vector.
constexpr std::size_t kBlock = 16;
static_assert(kBlock <= kLagsPast);
// Blocks whose correlations are worked out together, sharing their loads: more costs more lags
// past the first dip, fewer more loads.
constexpr std::size_t kJoint = 2;
// Places of four samples past the frame's last that the blocks read, and samples past it that
// the vectors read: silence, so that they add nothing.
constexpr std::size_t kWindowsPast = kJoint * kBlock + 32;
constexpr std::size_t kPadding = kWindowsPast + 64;

// Each lane's sum with every lane before it.
__m512i RunningSums(__m512i v) {
  const __m512i zero = _mm512_setzero_si512();
  v = _mm512_add_epi32(v, _mm512_alignr_epi32(v, zero, 15));
  v = _mm512_add_epi32(v, _mm512_alignr_epi32(v, zero, 14));
  v = _mm512_add_epi32(v, _mm512_alignr_epi32(v, zero, 12));
  return _mm512_add_epi32(v, _mm512_alignr_epi32(v, zero, 8));
}

// The last lane in every lane.
__m512i Last(__m512i v) {
  return _mm512_permutexvar_epi32(_mm512_set1_epi32(15), v);
}
__m512d Last(__m512d v) {
  return _mm512_permutexvar_pd(_mm512_set1_epi64(7), v);
}

// The squares of the values of the 16 samples from `samples`.
__m512i Squares(const std::uint8_t* samples) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples));
  const __m512i x = _mm512_sub_epi32(_mm512_cvtepu8_epi32(bytes), _mm512_set1_epi32(128));
  return _mm512_mullo_epi32(x, x);
}

// Lanes `from` to `to` (inclusive) set, of 16; none when `to` < `from`.
std::uint32_t Lanes(std::ptrdiff_t from, std::ptrdiff_t to) {
  from = std::max<std::ptrdiff_t>(from, 0);
  to = std::min<std::ptrdiff_t>(to, kBlock - 1);
  if (to < from) return 0;
  return ((2u << to) - 1) & ~((1u << from) - 1);
}

// The first `count` of 64 bytes, all of them from 64 on.
__mmask64 Bytes(std::size_t count) {
  return count >= 64 ? ~0ull : (1ull << count) - 1;
}

// Into sums[b], for each of kBlocks blocks, the sums of x[j] * s[j + t + i] for j < 4 * count
// into lane i, where t is block b's first lag, `windows` is at block 0's and holds at each place
// k the four samples s[k..k + 3], and quads[q] holds x[4q..4q + 3]. A window a block reads is the
// one the next block read four quads before: each is loaded once for every block.
template <std::size_t kBlocks>
void DotProducts(const std::uint32_t* windows, const std::int32_t* quads, std::size_t count,
                 __m512i* sums) {
  // Quads a pass: a block's windows are the next block's a pass later.
  constexpr std::size_t kStep = kBlock / 4;
  __m512i partial[kBlocks][kStep];
  __m512i ahead[kBlocks][kStep];
  for (std::size_t b = 0; b < kBlocks; ++b) {
    for (std::size_t c = 0; c < kStep; ++c) {
      partial[b][c] = _mm512_setzero_si512();
      if (b > 0) ahead[b - 1][c] = _mm512_loadu_si512(windows + kBlock * (b - 1) + 4 * c);
    }
  }
  for (std::size_t q = 0; q < count; q += kStep) {
    for (std::size_t c = 0; c < kStep; ++c) {
      ahead[kBlocks - 1][c] = _mm512_loadu_si512(windows + kBlock * (kBlocks - 1) + 4 * (q + c));
      const __m512i quad = _mm512_set1_epi32(quads[q + c]);
      for (std::size_t b = 0; b < kBlocks; ++b) {
        partial[b][c] = _mm512_dpbusd_epi32(partial[b][c], ahead[b][c], quad);
      }
      for (std::size_t b = 0; b + 1 < kBlocks; ++b) ahead[b][c] = ahead[b + 1][c];
    }
  }
  for (std::size_t b = 0; b < kBlocks; ++b) {
    sums[b] = _mm512_add_epi32(_mm512_add_epi32(partial[b][0], partial[b][1]),
                               _mm512_add_epi32(partial[b][2], partial[b][3]));
  }
}

// The bytes that spread 16 + 3 bytes to 16 windows of four: byte b of window i is byte i + b.
constexpr std::array<std::uint8_t, 64> SpreadIndex() {
  std::array<std::uint8_t, 64> index{};
  for (std::size_t i = 0; i < 64; ++i) index[i] = static_cast<std::uint8_t>(i / 4 + i % 4);
  return index;
}
constexpr std::array<std::uint8_t, 64> kSpread = SpreadIndex();

// The place of the first smallest of values[0..count).
std::size_t FirstSmallest(const double* values, std::size_t count) {
  const __m512d none = _mm512_set1_pd(std::numeric_limits<double>::infinity());
  __m512d smallest = none;
  for (std::size_t i = 0; i < count; i += 8) {
    const auto in = static_cast<__mmask8>(Lanes(0, static_cast<std::ptrdiff_t>(count - i) - 1));
    smallest = _mm512_min_pd(smallest, _mm512_mask_loadu_pd(none, in, values + i));
  }
  const __m512d least = _mm512_set1_pd(_mm512_reduce_min_pd(smallest));
  for (std::size_t i = 0;; i += 8) {
    const auto in = static_cast<__mmask8>(Lanes(0, static_cast<std::ptrdiff_t>(count - i) - 1));
    const __mmask8 equal =
        _mm512_mask_cmp_pd_mask(in, _mm512_loadu_pd(values + i), least, _CMP_EQ_OQ);
    if (equal != 0) return i + static_cast<std::size_t>(std::countr_zero(equal));
  }
}

// The normalised differences a block at a time from the correlations, and the first dip.
class Search {
 public:
  Search(const std::uint8_t* samples, std::size_t lags, std::int32_t first_half,
         Normalised& normalised)
      : samples_(samples),
        lags_(lags),
        first_half_(_mm512_set1_epi32(first_half)),
        normalised_(normalised),
        window_(first_half_) {}

  // Takes the correlations of lags first to first + 15; the first dip's lag when they show it,
  // else the frame's lags.
  std::size_t Take(std::size_t first, __m512i correlation) {
    const __m512i slid =
        _mm512_sub_epi32(Squares(samples_ + first + lags_ - 1), Squares(samples_ + first - 1));
    window_ = _mm512_add_epi32(Last(window_), RunningSums(slid));
    const __m512i difference = _mm512_sub_epi32(_mm512_add_epi32(first_half_, window_),
                                                _mm512_add_epi32(correlation, correlation));
    // Sixteen differences stay inside 32 bits; their running sum goes on in doubles, exact
    // for whole numbers this size.
    const __m512i block_sums = RunningSums(difference);
    const __m512d sum_low =
        _mm512_add_pd(running_, _mm512_cvtepi32_pd(_mm512_castsi512_si256(block_sums)));
    const __m512d sum_high =
        _mm512_add_pd(running_, _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(block_sums, 1)));
    running_ = Last(sum_high);
    const __m512d lag = _mm512_set1_pd(static_cast<double>(first));
    const __m512d low =
        Quotients(_mm512_castsi512_si256(difference),
                  _mm512_add_pd(lag, _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7)), sum_low);
    const __m512d high =
        Quotients(_mm512_extracti64x4_epi64(difference, 1),
                  _mm512_add_pd(lag, _mm512_setr_pd(8, 9, 10, 11, 12, 13, 14, 15)), sum_high);
    _mm512_storeu_pd(normalised_.data() + first, low);
    _mm512_storeu_pd(normalised_.data() + first + 8, high);

    // Dips at lags first - 1 to first + 14: under the threshold and under the next lag. The
    // rule judges lags 2 to lags - 4 only.
    const std::uint32_t dips =
        Dips(Before(low, before_), low) | (Dips(Before(high, low), high) << 8);
    before_ = high;
    const auto at = static_cast<std::ptrdiff_t>(first) - 1;
    const std::uint32_t judged = dips & Lanes(2 - at, static_cast<std::ptrdiff_t>(lags_) - 4 - at);
    if (judged == 0) return lags_;
    return first - 1 + static_cast<std::size_t>(std::countr_zero(judged));
  }

 private:
  // d * t / s, as the plain form rounds it; 1 where s is 0.
  static __m512d Quotients(__m256i differences, __m512d lags, __m512d sums) {
    const __m512d one = _mm512_set1_pd(1);
    return _mm512_mask_div_pd(one, _mm512_cmp_pd_mask(sums, _mm512_setzero_pd(), _CMP_NEQ_OQ),
                              _mm512_mul_pd(_mm512_cvtepi32_pd(differences), lags), sums);
  }

  // Each lane's value one lag before: the last of `before` first.
  static __m512d Before(__m512d values, __m512d before) {
    return _mm512_castsi512_pd(
        _mm512_alignr_epi64(_mm512_castpd_si512(values), _mm512_castpd_si512(before), 7));
  }

  static std::uint32_t Dips(__m512d values, __m512d next) {
    const __m512d threshold = _mm512_set1_pd(kYinThreshold);
    return _mm512_cmp_pd_mask(values, threshold, _CMP_LT_OQ) &
           _mm512_cmp_pd_mask(values, next, _CMP_LT_OQ);
  }

  const std::uint8_t* samples_;
  std::size_t lags_;
  __m512i first_half_;
  Normalised& normalised_;
  __m512i window_;  // the window's energy of the last lag taken in every lane
  __m512d running_ = _mm512_setzero_pd();
  __m512d before_ = _mm512_set1_pd(1);
};

}  // namespace

YinEstimate EstimatePeriodAvx512(std::span<const std::uint8_t> frame) {
  const std::size_t lags = std::min(frame.size() / 2, kMaxYinLags);

  // The samples (s = x + 128), then silence for the vectors that read past them.
  alignas(64) std::array<std::uint8_t, 2 * kMaxYinLags + kPadding> samples;
  std::copy_n(frame.data(), 2 * lags, samples.data());
  std::fill_n(samples.data() + 2 * lags, kPadding, std::uint8_t{128});

  // The first half's values four to a place, zeros past it, with their sum and energy.
  const std::size_t quad_count = (lags + 3) / 4;
  alignas(64) std::array<std::int32_t, kMaxYinLags / 4 + 16> quads;
  __m512i energy = _mm512_setzero_si512();
  __m512i total = _mm512_setzero_si512();
  const __m512i ones = _mm512_set1_epi16(1);
  for (std::size_t j = 0; j < 4 * quad_count; j += 64) {
    const __m512i bytes = _mm512_loadu_si512(samples.data() + j);
    const __m512i values =
        _mm512_maskz_mov_epi8(Bytes(lags - j), _mm512_xor_si512(bytes, _mm512_set1_epi8(-128)));
    _mm512_store_si512(quads.data() + j / 4, values);
    for (const __m256i part :
         {_mm512_castsi512_si256(values), _mm512_extracti64x4_epi64(values, 1)}) {
      const __m512i wide = _mm512_cvtepi8_epi16(part);
      energy = _mm512_add_epi32(energy, _mm512_madd_epi16(wide, wide));
      total = _mm512_add_epi32(total, _mm512_madd_epi16(wide, ones));
    }
  }
  const std::int32_t first_half = _mm512_reduce_add_epi32(energy);
  // The dot products take the samples as they are, unsigned: each holds 128 times the first
  // half's sum more than the correlation.
  const __m512i offset = _mm512_set1_epi32(128 * _mm512_reduce_add_epi32(total));

  // At each place k the four samples from k, as far as the last block's last lag reaches.
  alignas(64) std::array<std::uint32_t, 2 * kMaxYinLags + kWindowsPast> windows;
  const __m512i spread = _mm512_loadu_si512(kSpread.data());
  for (std::size_t k = 0; k < 2 * lags + kWindowsPast - kBlock; k += kBlock) {
    const __m512i bytes = _mm512_loadu_si512(samples.data() + k);
    _mm512_store_si512(windows.data() + k, _mm512_permutexvar_epi8(spread, bytes));
  }

  Normalised normalised;
  normalised[0] = 1;
  Search search(samples.data(), lags, first_half, normalised);
  std::size_t best = lags;
  const std::size_t quad_steps = (quad_count + 3) / 4 * 4;
  for (std::size_t first = 1; first < lags && best == lags; first += kJoint * kBlock) {
    __m512i dots[kJoint];
    DotProducts<kJoint>(windows.data() + first, quads.data(), quad_steps, dots);
    for (std::size_t b = 0; b < kJoint && first + b * kBlock < lags && best == lags; ++b) {
      best = search.Take(first + b * kBlock, _mm512_sub_epi32(dots[b], offset));
    }
  }

  std::size_t known = best + 2;
  if (best == lags) {
    known = lags;
    // Lag 0 is there even in a frame too short for any other.
    best = FirstSmallest(normalised.data(), std::max<std::size_t>(lags, 1));
  }
  return Conclude(normalised, best, known, frame);
}

}  // namespace pellix::whole_yin

PELLIX_TARGET_END
