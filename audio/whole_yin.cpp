#include "audio/whole_yin.h"

#include <algorithm>
#include <array>

namespace pellix {
namespace {

// The sum of x[j] * y[j] for j < n, exactly: |x|, |y| <= 128 and n <= kMaxYinLags keep it well
// inside 32 bits. Written plainly so that the compiler turns it into multiply-add instructions,
// in an AVX2 form where the processor has it (whole numbers: both forms give the same sums).
__attribute__((target_clones("avx2", "default"))) std::int32_t Correlation(const std::int16_t* x,
                                                                           const std::int16_t* y,
                                                                           std::size_t n) {
  std::int32_t sum = 0;
  for (std::size_t j = 0; j < n; ++j) sum += static_cast<std::int32_t>(x[j]) * y[j];
  return sum;
}

// The vertex of the parabola through (pos - 1, pos, pos + 1) of `d`; `pos` itself at either end.
double RefinedLag(const std::array<double, kMaxYinLags>& d, std::size_t pos, std::size_t lags) {
  if (pos == 0 || pos + 1 >= lags) return static_cast<double>(pos);
  const double s0 = d[pos - 1];
  const double s1 = d[pos];
  const double s2 = d[pos + 1];
  return static_cast<double>(pos) + 0.5 * (s0 - s2) / (s0 - 2 * s1 + s2);
}

}  // namespace

YinEstimate EstimatePeriod(std::span<const std::uint8_t> frame) {
  const std::size_t lags = std::min(frame.size() / 2, kMaxYinLags);
  std::array<std::int16_t, 2 * kMaxYinLags> x;
  for (std::size_t i = 0; i < 2 * lags; ++i) x[i] = static_cast<std::int16_t>(frame[i] - 128);
  // energy[i]: the sum of x[k]^2 for k < i, so any window's energy is a difference.
  std::array<std::int64_t, 2 * kMaxYinLags + 1> energy;
  energy[0] = 0;
  for (std::size_t i = 0; i < 2 * lags; ++i) energy[i + 1] = energy[i] + x[i] * x[i];

  // The normalised difference: d'(0) = 1, d'(t) = d(t) * t / (d(1) + ... + d(t)), and 1 where
  // that sum is 0. Lags are added one at a time, and the search stops at the first dip, as the
  // rest cannot change the outcome.
  std::array<double, kMaxYinLags> normalised;
  normalised[0] = 1;
  std::int64_t running = 0;
  std::size_t best = lags;
  for (std::size_t t = 1; t < lags; ++t) {
    const std::int64_t difference = (energy[lags] - energy[0]) + (energy[t + lags] - energy[t]) -
                                    2 * static_cast<std::int64_t>(Correlation(&x[0], &x[t], lags));
    running += difference;
    normalised[t] = running != 0 ? static_cast<double>(difference) * static_cast<double>(t) /
                                       static_cast<double>(running)
                                 : 1.0;
    // Lag t - 3 is judged once t - 2 is known, from the fifth lag on.
    if (t > 4) {
      const std::size_t period = t - 3;
      if (normalised[period] < kYinThreshold && normalised[period] < normalised[period + 1]) {
        best = period;
        break;
      }
    }
  }
  std::size_t known = lags;
  if (best == lags) {
    best = static_cast<std::size_t>(
        std::min_element(normalised.begin(), normalised.begin() + lags) - normalised.begin());
  } else {
    known = best + 2;
  }
  YinEstimate estimate;
  estimate.confidence = 1 - normalised[best];
  // A silent newest half gives no pitch, whatever the older half held.
  if (energy[2 * lags] == energy[lags]) return estimate;
  estimate.period = RefinedLag(normalised, best, known);
  return estimate;
}

}  // namespace pellix
