// GCC 12's AVX-512 intrinsics pass an undefined vector where a result has no pass-through
// lanes, and its uninitialised-use warnings take that for a real uninitialised variable in every
// function the intrinsics are inlined into. Nothing in this file reads a variable it did not set.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

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

// Where a mix takes its frames from, each giving the units of the frame at `i` (Units), of the
// four from `i` (Units4, with SSE2), of the eight from `i` (Units8, with AVX2) and of the sixteen
// from `i` (Units16, with AVX-512).

#if defined(PELLIX_WHOLE16_LANES)
// The units of the four frames of 16-bit whole numbers in memory at `at`, interleaved when
// kStereo, at any address.
template <bool kStereo>
__m128i Units4At(const void* at) noexcept {
  if constexpr (kStereo) {
    const __m128i pairs = _mm_loadu_si128(static_cast<const __m128i*>(at));
    return _mm_madd_epi16(pairs, _mm_set1_epi16(1));  // l + r
  } else {
    const __m128i values = _mm_loadl_epi64(static_cast<const __m128i*>(at));
    const __m128i wide = _mm_srai_epi32(_mm_unpacklo_epi16(values, values), 16);
    return _mm_add_epi32(wide, wide);  // 2 s
  }
}

// The same for eight frames.
template <bool kStereo>
__attribute__((target("avx2"))) __m256i Units8At(const void* at) noexcept {
  if constexpr (kStereo) {
    const __m256i pairs = _mm256_loadu_si256(static_cast<const __m256i*>(at));
    return _mm256_madd_epi16(pairs, _mm256_set1_epi16(1));  // l + r
  } else {
    const __m256i wide = _mm256_cvtepi16_epi32(_mm_loadu_si128(static_cast<const __m128i*>(at)));
    return _mm256_add_epi32(wide, wide);  // 2 s
  }
}

// The same for sixteen frames.
template <bool kStereo>
__attribute__((target("avx512f,avx512bw,avx512dq"))) __m512i Units16At(const void* at) noexcept {
  if constexpr (kStereo) {
    const __m512i pairs = _mm512_loadu_si512(at);
    return _mm512_madd_epi16(pairs, _mm512_set1_epi16(1));  // l + r
  } else {
    const __m512i wide = _mm512_cvtepi16_epi32(_mm256_loadu_si256(static_cast<const __m256i*>(at)));
    return _mm512_add_epi32(wide, wide);  // 2 s
  }
}
#endif

#if !defined(PELLIX_WHOLE16_LANES)
// 16-bit whole numbers in memory, interleaved when kStereo. With lanes they are read as the
// little-endian bytes they are (MixWhole16).
template <bool kStereo>
struct Interleaved16 {
  static constexpr std::size_t kChannels = kStereo ? 2 : 1;
  const std::int16_t* in;

  std::int32_t Units(std::size_t i) const noexcept {
    return Whole16Units(in + kChannels * i, kStereo);
  }
};
#endif

// 16-bit little-endian samples as a file holds them, interleaved when kStereo, at any address:
// read in place, with no copy into whole numbers first. The lanes load them as whole numbers
// (the processors that have lanes are little-endian); one at a time they are put together from
// their bytes.
template <bool kStereo>
struct LittleEndian16 {
  static constexpr std::size_t kFrameBytes = kStereo ? 4 : 2;
  const std::uint8_t* in;

  static std::int32_t Sample(const std::uint8_t* at) noexcept {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(at[0] | (at[1] << 8)));
  }
  std::int32_t Units(std::size_t i) const noexcept {
    const std::uint8_t* frame = in + kFrameBytes * i;
    return kStereo ? Sample(frame) + Sample(frame + 2) : 2 * Sample(frame);
  }
#if defined(PELLIX_WHOLE16_LANES)
  __m128i Units4(std::size_t i) const noexcept {
    return Units4At<kStereo>(in + kFrameBytes * i);
  }
  __attribute__((target("avx2"))) __m256i Units8(std::size_t i) const noexcept {
    return Units8At<kStereo>(in + kFrameBytes * i);
  }
  __attribute__((target("avx512f,avx512bw,avx512dq"))) __m512i Units16(
      std::size_t i) const noexcept {
    return Units16At<kStereo>(in + kFrameBytes * i);
  }
#endif
};

// 32-bit samples of two channels held apart (one when kStereo is false, in `left`), each made
// the 16-bit whole number s = sample << shift (an 8-bit sample shifted up by 8 bits) as it
// would be stored in 16 bits: a sample beyond its width wraps as it would in a 16-bit store.
template <bool kStereo>
struct Planar32 {
  const std::int32_t* left;
  const std::int32_t* right;
  int shift;

  std::int32_t Sample(std::int32_t value) const noexcept {
    return static_cast<std::int16_t>(
        static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) << shift));
  }
  std::int32_t Units(std::size_t i) const noexcept {
    return kStereo ? Sample(left[i]) + Sample(right[i]) : 2 * Sample(left[i]);
  }
#if defined(PELLIX_WHOLE16_LANES)
  // Shifted up to the top 16 bits and back with the sign: the wrap of a 16-bit store.
  __m128i Samples4(const std::int32_t* from) const noexcept {
    const __m128i values = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    return _mm_srai_epi32(_mm_sll_epi32(values, _mm_cvtsi32_si128(16 + shift)), 16);
  }
  __m128i Units4(std::size_t i) const noexcept {
    const __m128i l = Samples4(left + i);
    return _mm_add_epi32(l, kStereo ? Samples4(right + i) : l);
  }
  __attribute__((target("avx2"))) __m256i Samples8(const std::int32_t* from) const noexcept {
    const __m256i values = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
    return _mm256_srai_epi32(_mm256_sll_epi32(values, _mm_cvtsi32_si128(16 + shift)), 16);
  }
  __attribute__((target("avx2"))) __m256i Units8(std::size_t i) const noexcept {
    const __m256i l = Samples8(left + i);
    return _mm256_add_epi32(l, kStereo ? Samples8(right + i) : l);
  }
  __attribute__((target("avx512f,avx512bw,avx512dq"))) __m512i Samples16(
      const std::int32_t* from) const noexcept {
    const __m512i values = _mm512_loadu_si512(from);
    return _mm512_srai_epi32(_mm512_sll_epi32(values, _mm_cvtsi32_si128(16 + shift)), 16);
  }
  __attribute__((target("avx512f,avx512bw,avx512dq"))) __m512i Units16(
      std::size_t i) const noexcept {
    const __m512i l = Samples16(left + i);
    return _mm512_add_epi32(l, kStereo ? Samples16(right + i) : l);
  }
#endif
};

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

// The frames from `i` four at a time, as many as there are, in two independent sets of lanes.
// Returns where it stopped.
template <typename Frames>
std::size_t MixLanes(const Frames& in, std::size_t i, std::size_t frames, float* mono,
                     Whole16Figures& figures) noexcept {
  static_assert(kMaxWhole16Frames <= (std::size_t{1} << 21));
  auto at = [mono](std::size_t frame) { return mono != nullptr ? mono + frame : nullptr; };
  LaneFigures first;
  LaneFigures second;
  for (; i + 8 <= frames; i += 8) {
    first.Take(in.Units4(i), at(i));
    second.Take(in.Units4(i + 4), at(i + 4));
  }
  for (; i + 4 <= frames; i += 4) first.Take(in.Units4(i), at(i));
  first.AddTo(figures);
  second.AddTo(figures);
  return i;
}

// The same sixteen frames at a time from `i`, on processors with AVX-512. Returns where it
// stopped.
template <typename Frames>
__attribute__((target("avx512f,avx512bw,avx512dq"))) std::size_t MixLanesAvx512(
    const Frames& in, std::size_t i, std::size_t frames, float* mono,
    Whole16Figures& figures) noexcept {
  constexpr std::size_t kFrames = 16;
  const __m512 unit = _mm512_set1_ps(static_cast<float>(kWhole16Unit));
  const __m512 clipped_from = _mm512_set1_ps(static_cast<float>(kClippedUnits * kWhole16Unit));
  __m512 peak = _mm512_setzero_ps();
  __m512i clipped = _mm512_setzero_si512();  // counted down
  __m512d squares_low = _mm512_setzero_pd();
  __m512d squares_high = _mm512_setzero_pd();
  for (; i + kFrames <= frames; i += kFrames) {
    const __m512 values = _mm512_mul_ps(_mm512_cvtepi32_ps(in.Units16(i)), unit);
    if (mono != nullptr) _mm512_storeu_ps(mono + i, values);
    const __m512 magnitude = _mm512_abs_ps(values);
    peak = _mm512_max_ps(peak, magnitude);
    const __mmask16 at_clipping = _mm512_cmp_ps_mask(magnitude, clipped_from, _CMP_GE_OQ);
    clipped = _mm512_mask_sub_epi32(clipped, at_clipping, clipped, _mm512_set1_epi32(1));
    const __m512d low = _mm512_cvtps_pd(_mm512_castps512_ps256(values));
    const __m512d high = _mm512_cvtps_pd(_mm512_extractf32x8_ps(values, 1));
    squares_low = _mm512_add_pd(squares_low, _mm512_mul_pd(low, low));
    squares_high = _mm512_add_pd(squares_high, _mm512_mul_pd(high, high));
  }
  alignas(64) float peaks[kFrames];
  alignas(64) std::int32_t counts[kFrames];
  alignas(64) double sums[kFrames];
  _mm512_store_ps(peaks, peak);
  _mm512_store_si512(counts, clipped);
  _mm512_store_pd(sums, squares_low);
  _mm512_store_pd(sums + 8, squares_high);
  Fold(figures, peaks, counts, sums, kFrames);
  return i;
}

// The same eight frames at a time from `i`, on processors with AVX2. Returns where it stopped.
template <typename Frames>
__attribute__((target("avx2"))) std::size_t MixLanesAvx2(const Frames& in, std::size_t i,
                                                         std::size_t frames, float* mono,
                                                         Whole16Figures& figures) noexcept {
  constexpr std::size_t kFrames = 8;
  const __m256 unit = _mm256_set1_ps(static_cast<float>(kWhole16Unit));
  const __m256 sign_bits = _mm256_set1_ps(-0.0f);
  const __m256 clipped_from = _mm256_set1_ps(static_cast<float>(kClippedUnits * kWhole16Unit));
  __m256 peak = _mm256_setzero_ps();
  __m256i clipped = _mm256_setzero_si256();  // counted down: a set mask is -1
  __m256d squares_low = _mm256_setzero_pd();
  __m256d squares_high = _mm256_setzero_pd();
  for (; i + kFrames <= frames; i += kFrames) {
    const __m256 values = _mm256_mul_ps(_mm256_cvtepi32_ps(in.Units8(i)), unit);
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

// Mixes `frames` frames of `in` down with the processor's widest lanes, the rest one by one.
template <typename Frames>
Whole16Figures Mix(const Frames& in, std::size_t frames, float* mono) noexcept {
  Whole16Figures figures;
  std::size_t i = 0;
#if defined(PELLIX_WHOLE16_LANES)
  const pellix::InstructionSet set = pellix::ActiveInstructionSet();
  if (set >= pellix::InstructionSet::kAvx512) i = MixLanesAvx512(in, i, frames, mono, figures);
  if (set >= pellix::InstructionSet::kAvx2) i = MixLanesAvx2(in, i, frames, mono, figures);
  // What is left, four frames at a time.
  if (set != pellix::InstructionSet::kPlain) i = MixLanes(in, i, frames, mono, figures);
#endif
  for (; i < frames; ++i) {
    const std::int32_t units = in.Units(i);
    if (mono != nullptr) mono[i] = static_cast<float>(units) * static_cast<float>(kWhole16Unit);
    const auto magnitude = static_cast<std::uint32_t>(units < 0 ? -units : units);
    figures.peak = std::max(figures.peak, magnitude);
    figures.squares += std::uint64_t{magnitude} * magnitude;
    figures.clipped += magnitude >= kClippedUnits ? 1 : 0;
  }
  return figures;
}

}  // namespace

void Whole16Figures::Add(const Whole16Figures& more) noexcept {
  peak = std::max(peak, more.peak);
  squares += more.squares;
  clipped += more.clipped;
}

Whole16Figures MixWhole16(const std::int16_t* in, std::size_t frames, bool stereo,
                          float* mono) noexcept {
#if defined(PELLIX_WHOLE16_LANES)
  // The processors with lanes are little-endian: whole numbers in memory are the bytes a file
  // holds.
  return MixLittleEndian16(reinterpret_cast<const std::uint8_t*>(in), frames, stereo, mono);
#else
  return stereo ? Mix(Interleaved16<true>{in}, frames, mono)
                : Mix(Interleaved16<false>{in}, frames, mono);
#endif
}

Whole16Figures MixLittleEndian16(const std::uint8_t* in, std::size_t frames, bool stereo,
                                 float* mono) noexcept {
  return stereo ? Mix(LittleEndian16<true>{in}, frames, mono)
                : Mix(LittleEndian16<false>{in}, frames, mono);
}

Whole16Figures MixPlanar32(const std::int32_t* left, const std::int32_t* right, std::size_t frames,
                           int shift, float* mono) noexcept {
  return right != nullptr ? Mix(Planar32<true>{left, right, shift}, frames, mono)
                          : Mix(Planar32<false>{left, nullptr, shift}, frames, mono);
}

}  // namespace pellix
