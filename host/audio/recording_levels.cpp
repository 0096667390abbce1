#include "host/audio/recording_levels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "host/audio/lanes.h"

namespace pellix {
namespace {

double Decibels(double magnitude) noexcept {
  return magnitude > 0 ? 20 * std::log10(magnitude) : -std::numeric_limits<double>::infinity();
}

// Values of a recording of up to 16 bits (or of two such channels averaged) are whole
// multiples of 2^-16. Their squares are then whole multiples of 2^-32 of at most 33 bits, and
// any sum of them below 2^21 is exact in a double, in whatever order it is added up.
constexpr double kExactUnits = 65536.0;             // 2^16
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

namespace {

// A mono value in units of 2^-16 of full scale: within +-65536, its square within 2^32.
template <bool kStereo>
std::int32_t Units(const std::int16_t* frame) noexcept {
  if constexpr (kStereo) return frame[0] + frame[1];
  return 2 * frame[0];
}

constexpr std::uint32_t ClippedUnits() {
  auto units = static_cast<std::uint32_t>(kClippedLevel * kExactUnits);
  while (units / kExactUnits < kClippedLevel) ++units;
  while ((units - 1) / kExactUnits >= kClippedLevel) --units;
  return units;
}
// The least number of units at or beyond kClippedLevel.
constexpr std::uint32_t kClippedUnits = ClippedUnits();

}  // namespace

namespace {

// The figures of a block of whole-number mono values, in units of 2^-16.
struct WholeFigures {
  std::uint32_t peak = 0;
  std::uint64_t squares = 0;  // at most 4096 x 2^32: exact
  std::uint64_t clipped = 0;
  std::size_t done = 0;  // frames taken so far
};

#if defined(__SSE2__)
// Four frames at a time while four are left: magnitudes as 32-bit lanes, their squares (up to
// 2^32) as 64-bit lanes.
template <bool kStereo>
void TakeWhole16Lanes(const std::int16_t* in, std::size_t frames, WholeFigures& figures) {
  constexpr std::size_t kFrames = 4;
  const __m128i pair_sum = _mm_set1_epi16(1);
  const __m128i clipped_below = _mm_set1_epi32(static_cast<std::int32_t>(kClippedUnits - 1));
  __m128i peak = _mm_setzero_si128();
  __m128i clipped = _mm_setzero_si128();  // counted down: a set mask is -1
  __m128i squares = _mm_setzero_si128();
  std::size_t i = figures.done;
  for (; i + kFrames <= frames; i += kFrames) {
    __m128i units;
    if constexpr (kStereo) {
      const __m128i pairs = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i));
      units = _mm_madd_epi16(pairs, pair_sum);  // l + r of each frame
    } else {
      const __m128i values = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i));
      const __m128i wide = _mm_srai_epi32(_mm_unpacklo_epi16(values, values), 16);
      units = _mm_add_epi32(wide, wide);  // 2 s
    }
    const __m128i sign = _mm_srai_epi32(units, 31);
    const __m128i magnitude = _mm_sub_epi32(_mm_xor_si128(units, sign), sign);
    const __m128i higher = _mm_cmpgt_epi32(magnitude, peak);
    peak = _mm_or_si128(_mm_and_si128(higher, magnitude), _mm_andnot_si128(higher, peak));
    clipped = _mm_add_epi32(clipped, _mm_cmpgt_epi32(magnitude, clipped_below));
    squares = _mm_add_epi64(squares, _mm_mul_epu32(magnitude, magnitude));
    const __m128i odd = _mm_srli_epi64(magnitude, 32);
    squares = _mm_add_epi64(squares, _mm_mul_epu32(odd, odd));
  }
  alignas(16) std::uint32_t peaks[4];
  alignas(16) std::int32_t counts[4];
  alignas(16) std::uint64_t sums[2];
  _mm_store_si128(reinterpret_cast<__m128i*>(peaks), peak);
  _mm_store_si128(reinterpret_cast<__m128i*>(counts), clipped);
  _mm_store_si128(reinterpret_cast<__m128i*>(sums), squares);
  for (std::size_t lane = 0; lane < 4; ++lane) {
    figures.peak = std::max(figures.peak, peaks[lane]);
    figures.clipped += static_cast<std::uint64_t>(-counts[lane]);
  }
  figures.squares += sums[0] + sums[1];
  figures.done = i;
}
#endif

}  // namespace

// Whole numbers sum their squares exactly in any order; added to the running sum, that total
// is what adding the mono values' squares one by one gives while the sum stays below 2^21
// (see AddBlock). Beyond, they are added one by one.
template <bool kStereo>
void RecordingLevels::AddWhole16Block(std::span<const std::int16_t> samples) noexcept {
  constexpr std::size_t kChannels = kStereo ? 2 : 1;
  const std::size_t frames = samples.size() / kChannels;
  const std::int16_t* in = samples.data();
  WholeFigures figures;
#if defined(__SSE2__)
  TakeWhole16Lanes<kStereo>(in, frames, figures);
#endif
  for (std::size_t i = figures.done; i < frames; ++i) {
    const std::int32_t units = Units<kStereo>(in + kChannels * i);
    const auto magnitude = static_cast<std::uint32_t>(units < 0 ? -units : units);
    figures.peak = std::max(figures.peak, magnitude);
    figures.squares += std::uint64_t{magnitude} * magnitude;
    figures.clipped += magnitude >= kClippedUnits ? 1 : 0;
  }
  constexpr double kUnit = 1.0 / kExactUnits;
  peak_ = std::max(peak_, figures.peak * kUnit);
  clipped_ += figures.clipped;
  count_ += frames;
  const double sum = static_cast<double>(figures.squares) * (kUnit * kUnit);
  exact_squares_ = exact_squares_ && sum_squares_ + sum < kExactSumLimit;
  if (exact_squares_) {
    sum_squares_ += sum;
    return;
  }
  for (std::size_t i = 0; i < frames; ++i) {
    const double value = Units<kStereo>(in + kChannels * i) * kUnit;
    sum_squares_ += value * value;
  }
}

void RecordingLevels::AddWhole16(std::span<const std::int16_t> samples, bool stereo) noexcept {
  const std::size_t block = stereo ? 2 * kBlock : kBlock;
  while (!samples.empty()) {
    const std::size_t count = std::min(samples.size(), block);
    if (stereo) {
      AddWhole16Block<true>(samples.first(count));
    } else {
      AddWhole16Block<false>(samples.first(count));
    }
    samples = samples.subspan(count);
  }
}

void RecordingLevels::AddSamples(std::span<const std::uint8_t> samples) noexcept {
  std::array<double, kBlock> values;
  while (!samples.empty()) {
    const std::size_t count = std::min(samples.size(), kBlock);
    for (std::size_t i = 0; i < count; ++i) values[i] = (samples[i] - 128) / 128.0;
    AddBlock(std::span(values).first(count));
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
  std::uint64_t clipped = 0;
  for (std::uint8_t sample : samples) clipped += (sample <= 1 || sample == 255) ? 1 : 0;
  return static_cast<double>(clipped) / static_cast<double>(samples.size());
}

}  // namespace pellix
