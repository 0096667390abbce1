#include "audio/recording_levels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "audio/lanes.h"
#include "audio/whole16_mix.h"

namespace pellix {
namespace {

double Decibels(double magnitude) noexcept {
  return magnitude > 0 ? 20 * std::log10(magnitude) : -std::numeric_limits<double>::infinity();
}

// Values of a recording of up to 16 bits (or of two such channels averaged) are whole
// multiples of 2^-16. Their squares are then whole multiples of 2^-32 of at most 33 bits, and
// any sum of them below 2^21 is exact in a double, in whatever order it is added up.
constexpr double kExactUnits = 1.0 / kWhole16Unit;  // 2^16
constexpr double kExactSumLimit = 2097152.0;        // 2^21
constexpr double kWholeShift = 6755399441055744.0;  // 1.5 x 2^52: rounds |x| < 2^51 to whole

// Running figures of a block, in lanes: two pairs, so that no sum waits on the one before it.
struct LaneFigures {
  lanes::Lanes peak{0.0, 0.0};
  lanes::Lanes squares{0.0, 0.0};
  lanes::Masks clipped{0, 0};  // counted down: a set mask is -1
  // Any bit set: a value that is no whole multiple of 2^-16 (or is infinite).
  lanes::Masks fraction{0, 0};

  void Take(lanes::Lanes read) noexcept {
    using lanes::Splat;
    const lanes::Lanes value = lanes::Select(read == read, read, Splat(0.0));  // NaN: silence
    const lanes::Lanes magnitude = lanes::Abs(value);
    peak = lanes::Select(magnitude > peak, magnitude, peak);
    squares += value * value;
    clipped += magnitude >= Splat(kClippedLevel);
    const lanes::Lanes units = value * Splat(kExactUnits);
    fraction |=
        reinterpret_cast<lanes::Masks>(((units + Splat(kWholeShift)) - Splat(kWholeShift)) - units);
  }
};

}  // namespace

// The block's squares are summed in lanes when that sum is provably the one added up value by
// value, in order; otherwise (a float or 24-bit source, or hours of sound) they are added in
// order, as the figure has always been computed. The peak and the clipped count do not depend
// on the order at all. A missing last value is read as 0, which changes none of them.
void RecordingLevels::AddBlock(std::span<const double> mono) noexcept {
  LaneFigures first;
  LaneFigures second;
  constexpr std::size_t kStep = 2 * lanes::kWidth;
  std::size_t i = 0;
  for (; i + kStep <= mono.size(); i += kStep) {
    first.Take(lanes::Load(&mono[i]));
    second.Take(lanes::Load(&mono[i + lanes::kWidth]));
  }
  for (; i + lanes::kWidth <= mono.size(); i += lanes::kWidth) first.Take(lanes::Load(&mono[i]));
  if (i < mono.size()) first.Take(lanes::LoadOne(&mono[i]));

  const lanes::Lanes peak = lanes::Select(first.peak > second.peak, first.peak, second.peak);
  peak_ = std::max({peak_, peak[0], peak[1]});
  const lanes::Masks clipped = first.clipped + second.clipped;
  clipped_ += static_cast<std::uint64_t>(-(clipped[0] + clipped[1]));
  const lanes::Masks fraction = first.fraction | second.fraction;
  count_ += mono.size();

  // Within full scale (the peak at most 1) and all whole multiples of 2^-16.
  exact_squares_ = exact_squares_ && std::max(peak[0], peak[1]) <= 1.0 &&
                   (fraction[0] | fraction[1]) == 0 &&
                   sum_squares_ + static_cast<double>(mono.size()) < kExactSumLimit;
  if (exact_squares_) {
    sum_squares_ += (first.squares[0] + first.squares[1]) + (second.squares[0] + second.squares[1]);
    return;
  }
  for (double read : mono) {
    const double value = std::isnan(read) ? 0.0 : read;
    sum_squares_ += value * value;
  }
}

void RecordingLevels::Add(std::span<const double> mono) noexcept {
  while (!mono.empty()) {
    const std::size_t count = std::min(mono.size(), kBlock);
    AddBlock(mono.first(count));
    mono = mono.subspan(count);
  }
}

// Whole numbers sum their squares exactly in any order; added to the running sum, that total
// is what adding the mono values' squares one by one gives while the sum stays below 2^21
// (see AddBlock). Beyond, they are added one by one.
bool RecordingLevels::AddWhole16Figures(const Whole16Figures& figures,
                                        std::size_t frames) noexcept {
  peak_ = std::max(peak_, figures.peak * kWhole16Unit);
  clipped_ += figures.clipped;
  count_ += frames;
  const double sum = static_cast<double>(figures.squares) * (kWhole16Unit * kWhole16Unit);
  exact_squares_ = exact_squares_ && sum_squares_ + sum < kExactSumLimit;
  if (exact_squares_) sum_squares_ += sum;
  return exact_squares_;
}

void RecordingLevels::AddWhole16Block(std::span<const std::int16_t> samples, bool stereo,
                                      float* mono) noexcept {
  const std::size_t channels = stereo ? 2 : 1;
  const std::size_t frames = samples.size() / channels;
  if (AddWhole16Figures(MixWhole16(samples.data(), frames, stereo, mono), frames)) return;
  for (std::size_t i = 0; i < frames; ++i) {
    const double value = Whole16Units(&samples[channels * i], stereo) * kWhole16Unit;
    sum_squares_ += value * value;
  }
}

// The floats hold the mono values exactly, so their squares one by one are those of the units.
void RecordingLevels::AddMixedWhole16(const Whole16Figures& figures,
                                      std::span<const float> mono) noexcept {
  if (AddWhole16Figures(figures, mono.size())) return;
  for (const float read : mono) {
    const double value = read;
    sum_squares_ += value * value;
  }
}

void RecordingLevels::AddWhole16(std::span<const std::int16_t> samples, bool stereo,
                                 float* mono) noexcept {
  const std::size_t channels = stereo ? 2 : 1;
  while (!samples.empty()) {
    const std::size_t count = std::min(samples.size(), channels * kMaxWhole16Frames);
    AddWhole16Block(samples.first(count), stereo, mono);
    samples = samples.subspan(count);
    if (mono != nullptr) mono += count / channels;
  }
}

// An 8-bit sample b is the mono value (b - 128) / 128, which the 16-bit whole number
// (b - 128) x 256 stands for exactly: AddWhole16's figures are those of the values, to the bit,
// summed as whole numbers rather than converted to doubles one at a time.
void RecordingLevels::AddSamples(std::span<const std::uint8_t> samples) noexcept {
  std::array<std::int16_t, kBlock> whole;
  while (!samples.empty()) {
    const std::size_t count = std::min(samples.size(), kBlock);
    for (std::size_t i = 0; i < count; ++i) {
      whole[i] = static_cast<std::int16_t>((samples[i] - 128) * 256);
    }
    AddWhole16(std::span(whole).first(count), false);
    samples = samples.subspan(count);
  }
}

LevelFigures RecordingLevels::Figures() const noexcept {
  LevelFigures figures;
  figures.samples = count_;
  figures.peak_dbfs = Decibels(peak_);
  figures.rms_dbfs =
      Decibels(count_ > 0 ? std::sqrt(sum_squares_ / static_cast<double>(count_)) : 0);
  figures.clipped_share =
      count_ > 0 ? static_cast<double>(clipped_) / static_cast<double>(count_) : 0;
  return figures;
}

double ClippedShare8Bit(std::span<const std::uint8_t> samples) noexcept {
  if (samples.empty()) return 0;
  // Counted in blocks a 32-bit count holds, which the compiler adds up many samples at a time.
  constexpr std::size_t kCountBlock = std::size_t{1} << 20;
  std::uint64_t clipped = 0;
  for (std::size_t at = 0; at < samples.size(); at += kCountBlock) {
    std::uint32_t block = 0;
    for (std::uint8_t sample : samples.subspan(at, std::min(kCountBlock, samples.size() - at))) {
      block += (sample <= 1) | (sample == 255);
    }
    clipped += block;
  }
  return static_cast<double>(clipped) / static_cast<double>(samples.size());
}

}  // namespace pellix
