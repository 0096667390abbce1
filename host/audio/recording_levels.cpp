#include "host/audio/recording_levels.h"

#include <cmath>
#include <limits>

namespace pellix {
namespace {

double Decibels(double magnitude) noexcept {
  return magnitude > 0 ? 20 * std::log10(magnitude) : -std::numeric_limits<double>::infinity();
}

}  // namespace

void RecordingLevels::AddValue(double value) noexcept {
  if (std::isnan(value)) value = 0;
  const double magnitude = std::fabs(value);
  if (magnitude > peak_) peak_ = magnitude;
  sum_squares_ += value * value;
  if (magnitude >= kClippedLevel) ++clipped_;
  ++count_;
}

void RecordingLevels::Add(std::span<const double> mono) noexcept {
  for (double value : mono) AddValue(value);
}

void RecordingLevels::AddSamples(std::span<const std::uint8_t> samples) noexcept {
  for (std::uint8_t sample : samples) AddValue((sample - 128) / 128.0);
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
  std::uint64_t clipped = 0;
  for (std::uint8_t sample : samples) clipped += (sample <= 1 || sample == 255) ? 1 : 0;
  return static_cast<double>(clipped) / static_cast<double>(samples.size());
}

}  // namespace pellix
