// A literal, one-sample-at-a-time model of the intake and the scan, against which the fuzzer
// and the tests check the engine's table-driven passes, and which tells reports where the
// scan found its thorns and jumps. Slow on purpose: every rule is applied per sample in the
// order it is stated, with nothing precomputed.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "engine/tarvo_alg1.h"
#include "platform/conversions.h"
#include "platform/error.h"

namespace reference {

// The model is the yardstick, not the target: the fuzzer's coverage feedback should come from
// the engine's branches only, and tracing every comparison here would slow each run severalfold.
#if defined(__clang__)
#define PELLIX_NOT_FUZZED __attribute__((no_sanitize("coverage")))
#else
#define PELLIX_NOT_FUZZED
#endif

using Tarvo_alg1::kSampleBufferSize;
using Tarvo_alg1::kSampleSlots;
using Tarvo_alg1::SharedState;

PELLIX_NOT_FUZZED inline bool IsLoud(double s, double border) {
  return s > border || s < -border;
}

PELLIX_NOT_FUZZED inline void LoadSamples(SharedState& m, const Tarvo_alg1::TakeReader& take) {
  constexpr std::size_t kLastByte = kSampleBufferSize - 1;
  constexpr std::size_t kLastSlot = kSampleSlots - 1;
  if (!Tarvo_alg1::StartIntake(m)) return;
  std::array<std::uint8_t, kSampleBufferSize> SampleBuffer{};
  take.Read(49, SampleBuffer);
  const double ClipLevel = pellix::Int(pellix::CheckedResult(-128 * pellix::Divide(m.Gain, 3)));
  std::size_t start = 0;
  if (m.AutoGain == 1) {
    const double border = m.BackgroundBorder;
    m.PeakLevel = 0;
    std::size_t first = 0;
    long loud = 0;
    for (std::size_t i = 1; i <= kLastByte; ++i) {
      const int raw = SampleBuffer[i];
      if (raw == 0) break;
      const double s = raw - 127;
      if (IsLoud(s, border)) {
        if (std::abs(s) > m.PeakLevel) m.PeakLevel = std::abs(s);
        if (first == 0) first = i;
        ++loud;
      }
      if (m.PeakLevel > 110) break;
    }
    if (loud < 10) {
      m.SampleCount = 0;
      return;
    }
    m.Gain = pellix::Int(pellix::Divide(360, m.PeakLevel));
    if (m.Gain > 50) m.Gain = 50;
    start = first;
  }
  // Resume on error: a failing s keeps the previous s; a store past the array fails, and so
  // does the quiet test reading it back, whose branch is then entered.
  const double border = m.BackgroundBorder;
  double s = 0;
  long n = 0;
  long loud = 0;
  long quiet = 0;
  bool cleared = false;
  bool stretch_starts = true;  // the next stored sample starts a stretch
  std::size_t take_start = 0;
  for (std::size_t i = start; i <= kLastByte; ++i) {
    const int raw = SampleBuffer[i];
    if (raw == 0) break;
    const double scaled = (raw - 128) * (m.Gain / 3);
    if (std::isfinite(scaled)) s = pellix::Int(scaled);
    if (IsLoud(s, border) && s > ClipLevel) ++loud;
    if (loud > 3) {
      if (!cleared) {  // an earlier take's slots read 0 before this take stores anything
        m.Samples.KeepBelow(0);
        cleared = true;
      }
      if (stretch_starts) take_start = i - static_cast<std::size_t>(n);
      stretch_starts = false;
      bool is_quiet = true;
      if (static_cast<std::size_t>(n) <= kLastSlot) {
        m.Samples[n] = s;
        is_quiet = (-border < m.Samples[n] && m.Samples[n] < border) || m.Samples[n] == ClipLevel;
      }
      if (is_quiet) {
        ++quiet;
      } else {
        quiet = 0;
      }
      if (quiet > 1000) {
        n = n - 700;
        if (static_cast<double>(n) > m.MinSamples) break;
        n = 0;
        loud = 2;
        quiet = 0;
        stretch_starts = true;
      }
      ++n;
    }
  }
  if (!cleared) m.Samples.KeepBelow(0);
  m.SampleCount = static_cast<double>(n);
  if (n > 0) {
    m.TakeStart = take_start;
    m.TakeEnd = take_start + static_cast<std::size_t>(n);
  }
}

// Where the scan found what it counted, for pictures and for tests that check the counts
// against the rates. Positions are slots of Samples; a thorn is marked at its middle sample, a
// jump at the middle sample of the position that ended its flat run. A position shared by two
// flics is marked once for each, as it is counted.
struct ScanMarks {
  struct Mark {
    std::size_t slot;
    std::size_t flic;  // 1-based
  };
  struct Jump {
    std::size_t slot;
    std::size_t flic;
    long length;  // of the flat run
  };
  std::vector<std::size_t> flic_starts;  // the first position of each flic
  std::vector<Mark> thorns;
  std::vector<Jump> jumps;
  std::size_t aggregated_flics = 0;  // the flics the two rates average over
};

// The mean of the jump lengths 1 to 100 that `histogram` counts; 0 when it counts none.
PELLIX_NOT_FUZZED inline double MeanJumpLength(const std::array<double, 101>& histogram) {
  double total = 0;
  double weighted = 0;
  for (std::size_t L = 1; L <= 100; ++L) {
    total += histogram[L];
    weighted += histogram[L] * static_cast<double>(L);
  }
  return total > 0 ? weighted / total : 0;
}

PELLIX_NOT_FUZZED inline void ScanThornsJumps(SharedState& m, ScanMarks* marks = nullptr) {
  double N = m.SampleCount;
  if (N <= 0) return;
  if (m.FlicLength == 0) m.FlicLength = 300;
  if (N > 20500) N = 20500;
  const double FlicLength = m.FlicLength;
  std::array<std::array<double, 6>, 101> FlicTable{};
  std::array<double, 101> JumpHistogram{};
  std::size_t F = 0;
  long run = 0;
  for (double st = 1; st <= N - FlicLength; st += FlicLength) {
    ++F;
    if (marks != nullptr) marks->flic_starts.push_back(static_cast<std::size_t>(st));
    double thorns = 0;
    double jumps = 0;
    for (double kd = st; kd <= st + FlicLength; ++kd) {
      const auto k = static_cast<std::size_t>(kd);
      const double a = m.Samples[k];
      const double b = m.Samples[k + 1];
      const double c = m.Samples[k + 2];
      const bool positive = a < b && b > c && a > 5 && b > 5 && c > 5;
      const bool negative = a > b && b < c && a < -5 && b < -5 && c < -5;
      if (positive) thorns += 1;
      if (negative) thorns += 1;
      if (marks != nullptr && (positive || negative)) marks->thorns.push_back({k + 1, F});
      if (b - 3 < a && a < b + 3 && b - 3 < c && c < b + 3) {
        run += 1;
      } else {
        if (m.MinJump <= static_cast<double>(run) && static_cast<double>(run) <= m.MaxJump) {
          jumps += 1;
          if (marks != nullptr) marks->jumps.push_back({k + 1, F, run});
          if (run > 100) pellix::RaiseError(pellix::kSubscriptOutOfRange);
          JumpHistogram[static_cast<std::size_t>(run)] += 1;
        }
        run = 0;
      }
    }
    if (F < 100) FlicTable[F] = {0, thorns, 0, jumps, 0, 0};
  }
  const double mean = MeanJumpLength(JumpHistogram);
  double deviation = 0;
  for (std::size_t L = 1; L <= 100; ++L) {
    if (JumpHistogram[L] > 1)
      deviation += JumpHistogram[L] * std::abs(mean - static_cast<double>(L));
  }
  double thornSum = 0;
  double jumpSum = 0;
  double used = 0;
  for (std::size_t f = 1; f <= F; ++f) {
    const auto& row = FlicTable[f];
    if (f > 1 && row[1] == 0 && row[2] == 0 && row[3] == 0) break;
    thornSum += row[1];
    jumpSum += row[3];
    used += 1;
  }
  if (marks != nullptr) marks->aggregated_flics = static_cast<std::size_t>(used);
  m.ThornRate = pellix::Int(pellix::Divide(thornSum, used) / FlicLength * 3000);
  m.JumpRate = pellix::Int(pellix::Divide(jumpSum, used) / FlicLength * 3000);
  m.JumpSpread = std::sqrt(deviation);
  m.AvgJumpLen = mean;
  if (m.AvgJumpLen < 2 || m.AvgJumpLen > 11) {
    m.ThornRate = 0;
    m.JumpRate = 0;
    m.JumpSpread = 0;
    m.AvgJumpLen = 0;
  }
}

}  // namespace reference
