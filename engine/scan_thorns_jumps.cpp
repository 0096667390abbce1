// ScanThornsJumps: thorn and jump rates, mean jump length and jump spread of the stored take.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "engine/flic_pass.h"
#include "engine/limits.h"
#include "engine/position_bits.h"
#include "engine/position_classes.h"
#include "engine/tarvo_alg1.h"
#include "platform/conversions.h"
#include "platform/error.h"

namespace Tarvo_alg1 {
namespace {

constexpr double kDefaultFlicLength = 300;
constexpr double kRatePer = 3000;
// The scan reads at most slots 1 to 20502.
constexpr auto kScanLimit = static_cast<double>(limits::kScanLimit);
using limits::kMaxAvgJumpLen;
using limits::kMinAvgJumpLen;

}  // namespace

void ScanThornsJumps(SharedState& m) {
  // An empty take measures nothing; the flic length defaults to 300, and the scan reads at
  // most its limit of samples.
  double N = m.SampleCount;
  if (N <= 0) return;
  if (m.FlicLength == 0) m.FlicLength = kDefaultFlicLength;
  if (N > kScanLimit) N = kScanLimit;

  // Nothing but this scan sets FlicLength, so it is 300; a length that cuts no whole number of
  // positions would index between slots, and is refused rather than guessed at.
  const double FlicLength = m.FlicLength;
  if (!(FlicLength >= 1 && FlicLength == std::floor(FlicLength))) {
    pellix::RaiseError(pellix::kInvalidProcedureCall);
  }

  // Flic pass. A flic's last position is the next flic's first, so that position is seen
  // twice, and the flat run carries over from one flic to the next.
  FlicPass pass;
  const auto& FlicTable = pass.FlicTable;
  const auto& JumpHistogram = pass.JumpHistogram;
  const std::size_t& F = pass.F;
  const double last_start = N - FlicLength;  // N is NaN only if SampleCount was set to NaN
  if (last_start >= 1) {
    // Both at most 20500 here, so every position is at most 20500 and every slot read at most
    // 20502.
    const auto flic = static_cast<std::size_t>(FlicLength);
    const auto last = static_cast<std::size_t>(last_start);

    // What each position is does not depend on the flic that sees it: classify every position
    // once, then count per flic.
    PositionBits thorn;
    PositionBits nonflat;
    ClassifyPositions(m.Samples, last + flic, thorn, nonflat);

    CountFlics(thorn, nonflat, flic, last, m.MinJump, m.MaxJump, pass);
  }

  // Jump lengths over bins 1 to 100: runs of length 0 count as jumps but have no length.
  // A length seen only once adds to the mean but not to the deviation. The sums of counts and
  // of counts times lengths are whole numbers far below 2^53, which doubles add exactly in any
  // order: they are added as integers, without a chain of hundreds of dependent additions.
  std::int64_t count_total = 0;
  std::int64_t length_total = 0;
  for (std::size_t L = 1; L <= kLongestRun; ++L) {
    count_total += JumpHistogram[L];
    length_total += JumpHistogram[L] * static_cast<std::int64_t>(L);
  }
  const auto total = static_cast<double>(count_total);
  const auto weighted = static_cast<double>(length_total);
  const double mean = total > 0 ? weighted / total : 0;
  double deviation = 0;
  for (std::size_t L = 1; L <= kLongestRun; ++L) {
    if (JumpHistogram[L] > 1) {
      deviation += static_cast<double>(JumpHistogram[L]) * std::abs(mean - static_cast<double>(L));
    }
  }

  // Rates over the leading flics up to the first empty one after flic 1. Row 100 is never
  // stored, so the loop stops there at the latest.
  // Whole numbers again, summed exactly as integers.
  std::int64_t thorn_total = 0;
  std::int64_t jump_total = 0;
  std::size_t flics_used = 0;
  for (std::size_t f = 1; f <= F && f < kFlicRows; ++f) {
    const FlicCounts& row = FlicTable[f];
    if (f > 1 && row.thorns == 0 && row.jumps == 0) break;
    thorn_total += row.thorns;
    jump_total += row.jumps;
    ++flics_used;
  }
  const auto thornSum = static_cast<double>(thorn_total);
  const auto jumpSum = static_cast<double>(jump_total);

  // Divided in this order, in doubles: by the flics, by the flic length, times 3000. A take
  // too short for one flic has no rate: Division by zero, before any output is written.
  const auto used = static_cast<double>(flics_used);
  m.ThornRate = pellix::Int(pellix::Divide(thornSum, used) / FlicLength * kRatePer);
  m.JumpRate = pellix::Int(pellix::Divide(jumpSum, used) / FlicLength * kRatePer);
  m.JumpSpread = std::sqrt(deviation);
  m.AvgJumpLen = mean;
  if (m.AvgJumpLen < kMinAvgJumpLen || m.AvgJumpLen > kMaxAvgJumpLen) {
    m.ThornRate = 0;
    m.JumpRate = 0;
    m.JumpSpread = 0;
    m.AvgJumpLen = 0;
  }
}

}  // namespace Tarvo_alg1
