#include "host/audio/whole16_mix.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "host/audio/recording_levels.h"

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

#if defined(__SSE2__)
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
    for (std::size_t lane = 0; lane < 4; ++lane) {
      figures.peak = std::max(figures.peak, static_cast<std::uint32_t>(peaks[lane] / kWhole16Unit));
      figures.clipped += static_cast<std::uint64_t>(-std::int64_t{counts[lane]});
      figures.squares += static_cast<std::uint64_t>(sums[lane] / (kWhole16Unit * kWhole16Unit));
    }
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
#endif

}  // namespace

Whole16Figures MixWhole16(const std::int16_t* in, std::size_t frames, bool stereo,
                          float* mono) noexcept {
  Whole16Figures figures;
  std::size_t i = 0;
#if defined(__SSE2__)
  i = stereo ? MixLanes<true>(in, frames, mono, figures)
             : MixLanes<false>(in, frames, mono, figures);
#endif
  const std::size_t channels = stereo ? 2 : 1;
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
