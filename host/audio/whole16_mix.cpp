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
// Four frames at a time, as many as there are: magnitudes in 32-bit lanes, their squares (up
// to 2^32) in 64-bit lanes. Returns the frames taken.
template <bool kStereo>
std::size_t MixLanes(const std::int16_t* in, std::size_t frames, float* mono,
                     Whole16Figures& figures) noexcept {
  constexpr std::size_t kFrames = 4;
  const __m128i ones = _mm_set1_epi16(1);
  const __m128i clipped_below = _mm_set1_epi32(static_cast<std::int32_t>(kClippedUnits - 1));
  const __m128 unit = _mm_set1_ps(static_cast<float>(kWhole16Unit));
  __m128i peak = _mm_setzero_si128();
  __m128i clipped = _mm_setzero_si128();  // counted down: a set mask is -1
  __m128i squares = _mm_setzero_si128();
  std::size_t i = 0;
  for (; i + kFrames <= frames; i += kFrames) {
    __m128i units;
    if constexpr (kStereo) {
      const __m128i pairs = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i));
      units = _mm_madd_epi16(pairs, ones);  // l + r
    } else {
      const __m128i values = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i));
      const __m128i wide = _mm_srai_epi32(_mm_unpacklo_epi16(values, values), 16);
      units = _mm_add_epi32(wide, wide);  // 2 s
    }
    if (mono != nullptr) _mm_storeu_ps(mono + i, _mm_mul_ps(_mm_cvtepi32_ps(units), unit));
    const __m128i sign = _mm_srai_epi32(units, 31);
    const __m128i magnitude = _mm_sub_epi32(_mm_xor_si128(units, sign), sign);
    const __m128i higher = _mm_cmpgt_epi32(magnitude, peak);
    peak = _mm_or_si128(_mm_and_si128(higher, magnitude), _mm_andnot_si128(higher, peak));
    clipped = _mm_add_epi32(clipped, _mm_cmpgt_epi32(magnitude, clipped_below));
    squares = _mm_add_epi64(squares, _mm_mul_epu32(magnitude, magnitude));
    const __m128i odd = _mm_srli_epi64(magnitude, 32);
    squares = _mm_add_epi64(squares, _mm_mul_epu32(odd, odd));
  }
  alignas(16) std::uint32_t peaks[kFrames];
  alignas(16) std::int32_t counts[kFrames];
  alignas(16) std::uint64_t sums[2];
  _mm_store_si128(reinterpret_cast<__m128i*>(peaks), peak);
  _mm_store_si128(reinterpret_cast<__m128i*>(counts), clipped);
  _mm_store_si128(reinterpret_cast<__m128i*>(sums), squares);
  for (std::size_t lane = 0; lane < kFrames; ++lane) {
    figures.peak = std::max(figures.peak, peaks[lane]);
    figures.clipped += static_cast<std::uint64_t>(-std::int64_t{counts[lane]});
  }
  figures.squares += sums[0] + sums[1];
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
