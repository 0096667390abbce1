// Two doubles at a time, for the conversion's per-sample loops. The compiler's vector types
// give SSE2 on the baseline x86-64 target and plain code elsewhere; every operation rounds
// exactly as the same operation on one double does, so results stay the same to the bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pellix::lanes {

using Lanes = double __attribute__((vector_size(16)));
// Lane-wise comparisons give all-ones or all-zeros lanes.
using Masks = std::int64_t __attribute__((vector_size(16)));

inline constexpr std::size_t kWidth = 2;

inline Lanes Splat(double x) noexcept {
  return Lanes{x, x};
}

inline Lanes Load(const double* p) noexcept {
  Lanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline Lanes Load(const float* p) noexcept {
  return Lanes{p[0], p[1]};
}

// The value at `p` in the first lane, 0 in the second.
inline Lanes LoadOne(const double* p) noexcept {
  return Lanes{*p, 0.0};
}
inline Lanes LoadOne(const float* p) noexcept {
  return Lanes{*p, 0.0};
}

// `yes` where `mask` is set, `no` elsewhere.
inline Lanes Select(Masks mask, Lanes yes, Lanes no) noexcept {
  return reinterpret_cast<Lanes>((mask & reinterpret_cast<Masks>(yes)) |
                                 (~mask & reinterpret_cast<Masks>(no)));
}

// The larger and the smaller of each pair of lanes; `y`'s lane when either is NaN, as the
// processor's own instructions have it.
inline Lanes Max(Lanes x, Lanes y) noexcept {
#if defined(__SSE2__)
  return _mm_max_pd(x, y);
#else
  return Select(x > y, x, y);
#endif
}
inline Lanes Min(Lanes x, Lanes y) noexcept {
#if defined(__SSE2__)
  return _mm_min_pd(x, y);
#else
  return Select(x < y, x, y);
#endif
}

// Stores the lanes of `first` and then of `second`, whole numbers 0 to 255 in their low 32
// bits, as four bytes at `out`.
inline void StoreLowBytes(Masks first, Masks second, std::uint8_t* out) noexcept {
#if defined(__SSE2__)
  // The low 32 bits of each lane side by side, then narrowed twice.
  const __m128i low =
      _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(__m128i(first)),
                                      _mm_castsi128_ps(__m128i(second)), _MM_SHUFFLE(2, 0, 2, 0)));
  const __m128i words = _mm_packs_epi32(low, low);
  const __m128i bytes = _mm_packus_epi16(words, words);
  const auto four = static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes));
  std::memcpy(out, &four, sizeof four);
#else
  out[0] = static_cast<std::uint8_t>(first[0]);
  out[1] = static_cast<std::uint8_t>(first[1]);
  out[2] = static_cast<std::uint8_t>(second[0]);
  out[3] = static_cast<std::uint8_t>(second[1]);
#endif
}

// The magnitudes: the sign bits cleared.
inline Lanes Abs(Lanes x) noexcept {
  constexpr std::int64_t kAllButSign = INT64_MAX;
  return reinterpret_cast<Lanes>(reinterpret_cast<Masks>(x) & Masks{kAllButSign, kAllButSign});
}

}  // namespace pellix::lanes
