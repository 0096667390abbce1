// The engine's limits, stated once: what a take must hold to be analysed, where the intake cuts
// it and what the scan accepts. Hosts that explain a refusal read them from here.
#pragma once

#include <cstddef>

namespace Tarvo_alg1::limits {

// The gain pass stops after the first sample whose level is beyond this, and must have seen at
// least kLoudForGain loud samples by then, or there is no take.
inline constexpr int kPeakStop = 110;
inline constexpr long kLoudForGain = 10;
// The automatic gain is 360 / peak, at most this.
inline constexpr double kMaxAutoGain = 50;

// More quiet stored samples in a row than kPauseLength (1001) end the take at a pause; the
// last kPauseDrop of them are dropped, the 300 before them stay.
inline constexpr long kPauseLength = 1000;
inline constexpr long kPauseDrop = 700;
// A take that ends at a pause with no more than this many samples starts again after it
// (MinSamples and DefaultMinSamples).
inline constexpr double kIntakeMinimum = 850;

// The shortest take each operation analyses: Calibrate needs DefaultMinSamples - 400, Check 800.
inline constexpr double kCalibrateMinimum = kIntakeMinimum - 400;
inline constexpr double kCheckMinimum = 800;

// The scan reads at most this many samples.
inline constexpr std::size_t kScanLimit = 20500;
// A valid take's mean jump length lies from kMinAvgJumpLen to kMaxAvgJumpLen; otherwise the
// scan marks it unusable. MaxJump must not exceed kLongestJump: the histogram has no bin for a
// longer run, and counting one fails.
inline constexpr double kMinAvgJumpLen = 2;
inline constexpr double kMaxAvgJumpLen = 11;
inline constexpr std::size_t kLongestJump = 100;

}  // namespace Tarvo_alg1::limits
