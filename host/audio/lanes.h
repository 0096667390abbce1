// Two doubles at a time, for the conversion's per-sample loops. The compiler's vector types
// give SSE2 on the baseline x86-64 target and plain code elsewhere; every operation rounds
// exactly as the same operation on one double does, so results stay the same to the bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

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

// The magnitudes: the sign bits cleared.
inline Lanes Abs(Lanes x) noexcept {
  constexpr std::int64_t kAllButSign = INT64_MAX;
  return reinterpret_cast<Lanes>(reinterpret_cast<Masks>(x) & Masks{kAllButSign, kAllButSign});
}

}  // namespace pellix::lanes
