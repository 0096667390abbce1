#include "audio/whole16_mix.h"

#include <algorithm>

// The lanes follow the engine's forms: SSE2 and AVX2 where the engine has them, plain C++ alone
// in a portable build or when the plain forms are chosen.
#if defined(__SSE2__) && !defined(PELLIX_PORTABLE)
#define PELLIX_WHOLE16_LANES 1
#include <immintrin.h>
#endif

#include "audio/recording_levels.h"
#include "platform/instruction_set.h"

namespace pellix {
namespace {

constexpr std::uint32_t ClippedUnits() {
  auto units = static_cast<std::uint32_t>(kClippedLevel / kWhole16Unit);
  while (units * kWhole16Unit < kClippedLevel) ++units;
  while ((units - 1) * kWhole16Unit >= kClippedLevel) --units;
  return units;
}
// The least magnitude in units at or beyond kClippedLevel.
constexpr std::uint32_t kClippedUnits = ClippedUnits();

#if defined(PELLIX_WHOLE16_LANES)
// Adds `lanes` lanes of figures: peaks and squares as floats and doubles of exact units,
// clipped counts counted down.
void Fold(Whole16Figures& figures, const float* peaks, const std::int32_t* counts,
          const double* sums, std::size_t lanes) noexcept {
  for (std::size_t lane = 0; lane < lanes; ++lane) {
    figures.peak = std::max(figures.peak, static_cast<std::uint32_t>(peaks[lane] / kWhole16Unit));
    figures.clipped += static_cast<std::uint64_t>(-std::int64_t{counts[lane]});
    figures.squares += static_cast<std::uint64_t>(sums[lane] / (kWhole16Unit * kWhole16Unit));
  }
}

// The figures of four frames at a time, taken from their floats: the magnitudes compare as the
// units do, and the squares (up to 1, whole multiples of 2^-32) sum exactly in doubles while
// below 2^21.
struct LaneFigures {
  __m128 peak = _mm_setzero_ps();
  __m128i clipped = _mm_setzero_si128();  // counted down: a set mask is -1
  __m128d squares_low = _mm_setzero_pd();
  __m128d squares_high = _mm_setzero_pd();

  // Takes the frames' units, and stores their floats at `mono` when it is given.
  void Take(__m128i units, float* mono) noexcept {
    const __m128 values = _mm_mul_ps(_mm_cvtepi32_ps(units), _mm_set1_ps(kWhole16Unit));
    if (mono != nullptr) _mm_storeu_ps(mono, values);
    const __m128 magnitude = _mm_andnot_ps(_mm_set1_ps(-0.0f), values);
    peak = _mm_max_ps(peak, magnitude);
    const __m128 clipped_from = _mm_set1_ps(static_cast<float>(kClippedUnits * kWhole16Unit));
    clipped = _mm_add_epi32(clipped, _mm_castps_si128(_mm_cmpge_ps(magnitude, clipped_from)));
    const __m128d low = _mm_cvtps_pd(values);
    const __m128d high = _mm_cvtps_pd(_mm_movehl_ps(values, values));
    squares_low = _mm_add_pd(squares_low, _mm_mul_pd(low, low));
    squares_high = _mm_add_pd(squares_high, _mm_mul_pd(high, high));
  }

  void AddTo(Whole16Figures& figures) const noexcept {
    alignas(16) float peaks[4];
    alignas(16) std::int32_t counts[4];
    alignas(16) double sums[4];
    _mm_store_ps(peaks, peak);
    _mm_store_si128(reinterpret_cast<__m128i*>(counts), clipped);
    _mm_store_pd(sums, squares_low);
    _mm_store_pd(sums + 2, squares_high);
    Fold(figures, peaks, counts, sums, 4);
  }
};

// The units of the four frames from frame `i`.
template <bool kStereo>
__m128i LoadUnits(const std::int16_t* in, std::size_t i) noexcept {
  if constexpr (kStereo) {
    const __m128i pairs = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i));
    return _mm_madd_epi16(pairs, _mm_set1_epi16(1));  // l + r
  } else {
    const __m128i values = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i));
    const __m128i wide = _mm_srai_epi32(_mm_unpacklo_epi16(values, values), 16);
    return _mm_add_epi32(wide, wide);  // 2 s
  }
}

// Four frames at a time, as many as there are, in two independent sets of lanes. Returns the
// frames taken.
template <bool kStereo>
std::size_t MixLanes(const std::int16_t* in, std::size_t frames, float* mono,
                     Whole16Figures& figures) noexcept {
  static_assert(kMaxWhole16Frames <= (std::size_t{1} << 21));
  auto at = [mono](std::size_t i) { return mono != nullptr ? mono + i : nullptr; };
  LaneFigures first;
  LaneFigures second;
  std::size_t i = 0;
  for (; i + 8 <= frames; i += 8) {
    first.Take(LoadUnits<kStereo>(in, i), at(i));
    second.Take(LoadUnits<kStereo>(in, i + 4), at(i + 4));
  }
  for (; i + 4 <= frames; i += 4) first.Take(LoadUnits<kStereo>(in, i), at(i));
  first.AddTo(figures);
  second.AddTo(figures);
  return i;
}

// The same eight frames at a time, on processors with AVX2. Returns the frames taken.
template <bool kStereo>
__attribute__((target("avx2"))) std::size_t MixLanesAvx2(const std::int16_t* in, std::size_t frames,
                                                         float* mono,
                                                         Whole16Figures& figures) noexcept {
  constexpr std::size_t kFrames = 8;
  const __m256 unit = _mm256_set1_ps(static_cast<float>(kWhole16Unit));
  const __m256 sign_bits = _mm256_set1_ps(-0.0f);
  const __m256 clipped_from = _mm256_set1_ps(static_cast<float>(kClippedUnits * kWhole16Unit));
  __m256 peak = _mm256_setzero_ps();
  __m256i clipped = _mm256_setzero_si256();  // counted down: a set mask is -1
  __m256d squares_low = _mm256_setzero_pd();
  __m256d squares_high = _mm256_setzero_pd();
  std::size_t i = 0;
  for (; i + kFrames <= frames; i += kFrames) {
    __m256i units;
    if constexpr (kStereo) {
      const __m256i pairs = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * i));
      units = _mm256_madd_epi16(pairs, _mm256_set1_epi16(1));  // l + r
    } else {
      const __m256i wide =
          _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)));
      units = _mm256_add_epi32(wide, wide);  // 2 s
    }
    const __m256 values = _mm256_mul_ps(_mm256_cvtepi32_ps(units), unit);
    if (mono != nullptr) _mm256_storeu_ps(mono + i, values);
    const __m256 magnitude = _mm256_andnot_ps(sign_bits, values);
    peak = _mm256_max_ps(peak, magnitude);
    const __m256 at_clipping = _mm256_cmp_ps(magnitude, clipped_from, _CMP_GE_OQ);
    clipped = _mm256_add_epi32(clipped, _mm256_castps_si256(at_clipping));
    const __m256d low = _mm256_cvtps_pd(_mm256_castps256_ps128(values));
    const __m256d high = _mm256_cvtps_pd(_mm256_extractf128_ps(values, 1));
    squares_low = _mm256_add_pd(squares_low, _mm256_mul_pd(low, low));
    squares_high = _mm256_add_pd(squares_high, _mm256_mul_pd(high, high));
  }
  alignas(32) float peaks[kFrames];
  alignas(32) std::int32_t counts[kFrames];
  alignas(32) double sums[kFrames];
  _mm256_store_ps(peaks, peak);
  _mm256_store_si256(reinterpret_cast<__m256i*>(counts), clipped);
  _mm256_store_pd(sums, squares_low);
  _mm256_store_pd(sums + 4, squares_high);
  Fold(figures, peaks, counts, sums, kFrames);
  return i;
}
#endif

}  // namespace

Whole16Figures MixWhole16(const std::int16_t* in, std::size_t frames, bool stereo,
                          float* mono) noexcept {
  Whole16Figures figures;
  const std::size_t channels = stereo ? 2 : 1;
  std::size_t i = 0;
#if defined(PELLIX_WHOLE16_LANES)
  const pellix::InstructionSet set = pellix::ActiveInstructionSet();
  if (set >= pellix::InstructionSet::kAvx2) {
    i = stereo ? MixLanesAvx2<true>(in, frames, mono, figures)
               : MixLanesAvx2<false>(in, frames, mono, figures);
  }
  // What is left, four frames at a time.
  if (set != pellix::InstructionSet::kPlain) {
    const std::int16_t* const from = in + channels * i;
    float* const out = mono != nullptr ? mono + i : nullptr;
    i += stereo ? MixLanes<true>(from, frames - i, out, figures)
                : MixLanes<false>(from, frames - i, out, figures);
  }
#endif
  for (; i < frames; ++i) {
    const std::int32_t units = Whole16Units(in + channels * i, stereo);
    if (mono != nullptr) mono[i] = static_cast<float>(units) * static_cast<float>(kWhole16Unit);
    const auto magnitude = static_cast<std::uint32_t>(units < 0 ? -units : units);
    figures.peak = std::max(figures.peak, magnitude);
    figures.squares += std::uint64_t{magnitude} * magnitude;
    figures.clipped += magnitude >= kClippedUnits ? 1 : 0;
  }
  return figures;
}

}  // namespace pellix
