// LoadSamples: reads one take from the sample file into Samples.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "engine/tarvo_alg1.h"
#include "platform/conversions.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace Tarvo_alg1 {
namespace {

constexpr std::uint64_t kSkippedBytes = 49;  // the file's header, never read
constexpr std::size_t kLastByte = kSampleBufferSize - 1;
constexpr std::size_t kLastSlot = kSampleSlots - 1;
constexpr double kIntakeMinimum = 850;
constexpr double kMaxAutoGain = 50;
constexpr double kPeakStop = 110;     // the gain pass has seen enough once a peak passes this
constexpr long kLoudBeforeStore = 3;  // the take starts with the fourth loud sample
constexpr long kPauseLength = 1000;   // more quiet stored samples than this end the take
constexpr long kPauseDrop = 700;      // of which the take keeps only the first 300
constexpr long kLoudAfterRestart = 2;

bool IsLoud(double s, double border) noexcept {
  return s > border || s < -border;
}

}  // namespace

void LoadSamples() {
  auto& m = Shared();

  // 1-2. No file named, no take.
  m.SampleCount = 0;
  if (m.DataFileName.empty()) return;

  // 3-4.
  m.AutoGain = m.Gain == 0 ? 1 : 0;
  if (m.Gain == 0) m.Gain = 3;
  m.MinSamples = kIntakeMinimum;
  m.DefaultMinSamples = kIntakeMinimum;

  // 5. Bytes 50 to 30050 of the file; what the file lacks stays 0, which ends the data.
  std::array<std::uint8_t, kSampleBufferSize> SampleBuffer;
  std::size_t got =
      pellix::CurrentFileSystem().ReadBlock(m.DataFileName, kSkippedBytes, std::span(SampleBuffer));
  got = std::min(got, SampleBuffer.size());
  std::memset(SampleBuffer.data() + got, 0, SampleBuffer.size() - got);

  // 6. Taken at the gain in force now: in automatic mode that is still 3, not the gain that
  // step 7 computes, so an automatic take always clips at -128.
  const double ClipLevel = pellix::Int(pellix::CheckedResult(-128 * pellix::Divide(m.Gain, 3)));

  // 7. Automatic gain: the peak of the loud samples before the first zero byte or the first
  // peak above 110. This pass centres on 127, not 128, and starts at index 1.
  std::size_t start = 0;
  if (m.AutoGain == 1) {
    const double border = m.BackgroundBorder;
    double PeakLevel = 0;
    std::size_t first = 0;
    long loud = 0;
    for (std::size_t i = 1; i <= kLastByte; ++i) {
      const int raw = SampleBuffer[i];
      if (raw == 0) break;
      const double s = raw - 127;
      if (IsLoud(s, border)) {
        PeakLevel = std::max(PeakLevel, std::abs(s));
        if (first == 0) first = i;
        ++loud;
      }
      if (PeakLevel > kPeakStop) break;
    }
    m.PeakLevel = PeakLevel;
    if (loud < 10) {
      m.SampleCount = 0;
      return;
    }
    // A zero peak (a negative border and a run of 127s) fails with Division by zero.
    m.Gain = pellix::Int(pellix::Divide(360, m.PeakLevel));
    if (m.Gain > kMaxAutoGain) m.Gain = kMaxAutoGain;
    start = first;
  }

  // 8. Main pass. Each statement here resumes on error: a failing one is skipped and its
  // target keeps its value. Two can fail, and both are handled in place rather than by
  // throwing per sample: a non-finite s (Overflow) keeps the previous s, and a slot past the
  // store (Subscript out of range) is not stored; the quiet test that reads it back fails too,
  // and resuming after a failed condition enters its branch, so that slot counts as quiet.
  const double border = m.BackgroundBorder;
  const double gain = m.Gain / 3;
  const double MinSamples = m.MinSamples;
  double* const Samples = m.Samples.data();
  std::size_t stored_end = 0;  // one past the highest slot this call stores
  double s = 0;                // as an unassigned local, it reads 0 until first computed
  long n = 0;
  long loud = 0;
  long quiet = 0;
  for (std::size_t i = start; i <= kLastByte; ++i) {
    const int raw = SampleBuffer[i];
    if (raw == 0) break;
    const double scaled = (raw - 128) * gain;
    if (std::isfinite(scaled)) s = std::floor(scaled);
    if (IsLoud(s, border) && s > ClipLevel) ++loud;
    if (loud > kLoudBeforeStore) {
      bool is_quiet = true;
      if (static_cast<std::size_t>(n) <= kLastSlot) {
        Samples[n] = s;
        stored_end = std::max(stored_end, static_cast<std::size_t>(n) + 1);
        is_quiet = (-border < s && s < border) || s == ClipLevel;
      }
      quiet = is_quiet ? quiet + 1 : 0;
      if (quiet > kPauseLength) {
        n -= kPauseDrop;
        if (static_cast<double>(n) > MinSamples) break;  // the take is complete
        n = 0;  // too short: start again, storing from slot 1
        loud = kLoudAfterRestart;
        quiet = 0;
      }
      ++n;
    }
  }

  // No take reads an earlier take's samples: every slot an earlier call stored must read 0,
  // as in a fresh process. This call's stores cover [0, stored_end) and the pass reads back
  // only the slot it has just stored, so clearing the rest of the earlier take now gives the
  // same store as clearing everything before the pass, at a fraction of the cost.
  const std::size_t earlier_end = std::min(m.StoredHighWater, kSampleSlots);
  if (earlier_end > stored_end) std::fill(Samples + stored_end, Samples + earlier_end, 0.0);
  m.StoredHighWater = stored_end;

  // 9.
  m.SampleCount = static_cast<double>(n);
}

}  // namespace Tarvo_alg1
