// YIN on 8-bit samples in whole numbers: the pitch period of one frame and how sure it is.
//
// The frame's values (sample - 128) are whole numbers, so YIN's difference function is
// computed exactly in integers as energies minus twice a correlation, which vectorises and
// costs a fraction of the sums of squared differences in floating point; only the normalised
// function and the interpolation are in doubles. The rules are YIN's as aubio applies them
// (tests/pitch_test.cpp holds this to aubio's own YIN): the period is the first lag whose
// normalised difference is under kYinThreshold and under the next lag's, else the lag of the
// smallest; it is refined by the parabola through its neighbours, and the confidence is one
// minus the normalised difference there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pellix {

inline constexpr double kYinThreshold = 0.15;

struct YinEstimate {
  double period = 0;      // in samples, refined; 0 when the frame's newest half is silent
  double confidence = 0;  // 0 to 1
};

// The estimate for a frame of 2 * lags samples: lags 1 to lags - 1 are compared over the
// frame's first half. `lags` is at most kMaxYinLags.
inline constexpr std::size_t kMaxYinLags = 1024;
YinEstimate EstimatePeriod(std::span<const std::uint8_t> frame);

// Whether the newest half of `frame` (as EstimatePeriod halves it) is silence, every sample 128:
// then the estimate has no period, whatever the older half held, and the frame no pitch.
bool NewestHalfSilent(std::span<const std::uint8_t> frame);

}  // namespace pellix
