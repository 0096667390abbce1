#include "audio/whole_yin.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "audio/whole_yin_forms.h"
#include "platform/instruction_set.h"

namespace pellix {
namespace whole_yin {
namespace {

// How many lags one pass over the frame correlates: each value of the frame's first half is
// loaded once for all of them, and the sums are gathered once a block.
constexpr std::size_t kLagBlock = 8;

// The sums of x[j] * x[t + k + j] for j < n and k < kLagBlock into sums[k], exactly: |x| <= 128
// and n <= kMaxYinLags keep each well inside 32 bits. Written plainly so that the compiler turns
// it into multiply-add instructions (whole numbers: every instruction set gives the same sums).
std::array<std::int32_t, kLagBlock> Correlations(const std::int16_t* x, std::size_t t,
                                                 std::size_t n) {
  const std::int16_t* const y = x + t;
  std::array<std::int32_t, kLagBlock> sums{};
  for (std::size_t j = 0; j < n; ++j) {
    const std::int32_t a = x[j];
    for (std::size_t k = 0; k < kLagBlock; ++k) sums[k] += a * y[j + k];
  }
  return sums;
}

// The vertex of the parabola through (pos - 1, pos, pos + 1) of `d`; `pos` itself at either end.
double RefinedLag(const Normalised& d, std::size_t pos, std::size_t lags) {
  if (pos == 0 || pos + 1 >= lags) return static_cast<double>(pos);
  const double s0 = d[pos - 1];
  const double s1 = d[pos];
  const double s2 = d[pos + 1];
  return static_cast<double>(pos) + 0.5 * (s0 - s2) / (s0 - 2 * s1 + s2);
}

}  // namespace

YinEstimate Conclude(const Normalised& normalised, std::size_t best, std::size_t known,
                     std::span<const std::uint8_t> frame) {
  YinEstimate estimate;
  estimate.confidence = 1 - normalised[best];
  if (NewestHalfSilent(frame)) return estimate;
  estimate.period = RefinedLag(normalised, best, known);
  return estimate;
}

// Compiled for AVX-512 and AVX2 as well, where the processor has them: the correlations become
// multiply-adds of many values at a time, and a block's quotients divisions of several doubles,
// each rounded as a division of one is.
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) YinEstimate EstimatePeriodPlain(
    std::span<const std::uint8_t> frame) {
  const std::size_t lags = std::min(frame.size() / 2, kMaxYinLags);
  // The frame's values, then zeros for the lags past the last that a block computes unused.
  std::array<std::int16_t, 2 * kMaxYinLags + kLagBlock> x;
  for (std::size_t i = 0; i < 2 * lags; ++i) x[i] = static_cast<std::int16_t>(frame[i] - 128);
  std::fill_n(x.begin() + static_cast<std::ptrdiff_t>(2 * lags), kLagBlock, std::int16_t{0});
  // The energy of the first half, and of the window of the same length from lag t, slid along
  // one value at a time as far as the search goes.
  std::int64_t first_half = 0;
  for (std::size_t k = 0; k < lags; ++k) first_half += x[k] * x[k];
  std::int64_t window = first_half;

  // The normalised difference: d'(0) = 1, d'(t) = d(t) * t / (d(1) + ... + d(t)), and 1 where
  // that sum is 0. Lags are added a block at a time, and the search stops at the first dip, as
  // the rest cannot change the outcome; the smallest so far (the first of equals) is kept for
  // a frame without one.
  Normalised normalised;
  normalised[0] = 1;
  std::int64_t running = 0;
  std::size_t best = lags;
  std::size_t smallest = 0;
  double least = normalised[0];
  for (std::size_t first = 1; first < lags && best == lags; first += kLagBlock) {
    const std::array<std::int32_t, kLagBlock> correlations = Correlations(x.data(), first, lags);
    std::array<std::int64_t, kLagBlock> difference, sum_so_far;
    for (std::size_t k = 0; k < kLagBlock; ++k) {
      const std::size_t t = first + k;
      window += x[t + lags - 1] * x[t + lags - 1] - x[t - 1] * x[t - 1];
      difference[k] = first_half + window - 2 * static_cast<std::int64_t>(correlations[k]);
      running += difference[k];
      sum_so_far[k] = running;
    }
    std::array<double, kLagBlock> quotient;
    for (std::size_t k = 0; k < kLagBlock; ++k) {
      quotient[k] = sum_so_far[k] != 0
                        ? static_cast<double>(difference[k]) * static_cast<double>(first + k) /
                              static_cast<double>(sum_so_far[k])
                        : 1.0;
    }
    for (std::size_t t = first; t < std::min(first + kLagBlock, lags); ++t) {
      normalised[t] = quotient[t - first];
      if (normalised[t] < least) {
        least = normalised[t];
        smallest = t;
      }
      // Lag t - 3 is judged once t - 2 is known, from the fifth lag on.
      if (t > 4) {
        const std::size_t period = t - 3;
        if (normalised[period] < kYinThreshold && normalised[period] < normalised[period + 1]) {
          best = period;
          break;
        }
      }
    }
  }
  std::size_t known = lags;
  if (best == lags) {
    best = smallest;
  } else {
    known = best + 2;
  }
  return Conclude(normalised, best, known, frame);
}

}  // namespace whole_yin

bool NewestHalfSilent(std::span<const std::uint8_t> frame) {
  static constexpr auto kSilence = [] {
    std::array<std::uint8_t, kMaxYinLags> silence{};
    silence.fill(128);
    return silence;
  }();
  const std::size_t lags = std::min(frame.size() / 2, kMaxYinLags);
  return lags == 0 || std::memcmp(frame.data() + lags, kSilence.data(), lags) == 0;
}

YinEstimate EstimatePeriod(std::span<const std::uint8_t> frame) {
#if !defined(PELLIX_PORTABLE)
  static const bool has_avx512_form = whole_yin::HasAvx512Form();
  if (has_avx512_form && ActiveInstructionSet() == InstructionSet::kAvx512) {
    return whole_yin::EstimatePeriodAvx512(frame);
  }
#endif
  return whole_yin::EstimatePeriodPlain(frame);
}

}  // namespace pellix
