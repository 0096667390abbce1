// The pitch reports use (our YIN on whole numbers) against aubio's YIN on generated voices:
// the same decisions within stated tolerances, and a period found exactly where one is exact.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <span>
#include <utility>
#include <vector>

#include "audio/pitch.h"
#include "audio/whole_yin.h"
#include "platform/instruction_set.h"

namespace pellix {
namespace {

constexpr std::uint32_t kRate = 11025;

struct Voice {
  const char* name;
  double pitch_hz;     // the mean of the contour
  double contour;      // how far the pitch moves either way, as a share of it
  double noise;        // white noise, as a share of full scale
  double voiced_time;  // seconds voiced in each syllable; the rest of 0.3 s is a whisper of noise
};

// Syllables of a buzz (a falling series of harmonics) whose pitch rises and falls over the
// take, with unvoiced gaps, quantised to 8 bits as the intake reads them. Noise is a fixed
// sequence, so every run makes the same samples.
std::vector<std::uint8_t> Speak(const Voice& v, double seconds = 2.0) {
  std::vector<std::uint8_t> out;
  std::uint32_t seed = 12345;
  const auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(seed >> 8) / 16777216.0 - 0.5;
  };
  double phase = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(seconds * kRate); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double hz = v.pitch_hz * (1 + v.contour * std::sin(2 * std::numbers::pi * 0.7 * t));
    phase += hz / kRate;
    double value = 0;
    if (std::fmod(t, 0.3) < v.voiced_time) {
      for (int h = 1; h <= 8; ++h) value += std::sin(2 * std::numbers::pi * h * phase) / h;
      value *= 0.3;
    } else {
      value = 0.02 * noise();
    }
    value += v.noise * noise();
    out.push_back(static_cast<std::uint8_t>(std::clamp(std::lround(128 + 127 * value), 1L, 255L)));
  }
  return out;
}

TEST(Pitch, OursKeepsAubiosDecisionsOnGeneratedVoices) {
  // Median within 1 %, voiced share within 2 points, and the flags' decisions the same.
  const Voice voices[] = {
      {"low male", 95, 0.10, 0, 0.22},      {"male", 120, 0.15, 0, 0.2},
      {"female", 210, 0.12, 0, 0.2},        {"child-like", 310, 0.10, 0, 0.18},
      {"noisy male", 115, 0.12, 0.15, 0.2}, {"noisy female", 220, 0.12, 0.25, 0.2},
      {"steady tone", 200, 0, 0, 0.3},      {"breathy", 150, 0.1, 0.6, 0.1},
  };
  for (const Voice& v : voices) {
    SCOPED_TRACE(v.name);
    const std::vector<std::uint8_t> take = Speak(v);
    const PitchFigures ours = TrackPitch(take, kRate, PitchMethod::kWhole);
    const PitchFigures aubio = TrackPitch(take, kRate, PitchMethod::kAubio);
    ASSERT_GT(aubio.frames, 0u) << "aubio's library is missing";
    EXPECT_EQ(ours.frames, aubio.frames);
    EXPECT_NEAR(ours.voiced_share, aubio.voiced_share, 0.02);
    ASSERT_EQ(ours.median_hz.has_value(), aubio.median_hz.has_value());
    if (aubio.median_hz) {
      EXPECT_NEAR(*ours.median_hz, *aubio.median_hz, 0.01 * *aubio.median_hz);
    }
    EXPECT_EQ(ours.steady, aubio.steady);
    EXPECT_EQ(ours.voiced_share < 0.1, aubio.voiced_share < 0.1);
  }
}

TEST(Pitch, APeriodBetweenWholeLagsIsRefinedToATenthOfAPercent) {
  // Steady buzzes whose period falls between lags, at a half, an eighth, a quarter and other
  // places: the nearest whole lag alone is 0.17 % (180 for 180.3) to 1.1 % (45 or 46 for 45.5)
  // away, while the parabola through the lags around the dip lands within 0.05 % in every frame.
  for (const double period : {45.5, 55.125, 73.25, 100.5, 131.6, 180.3}) {
    SCOPED_TRACE(period);
    const double hz = kRate / period;
    const std::vector<std::uint8_t> take = Speak({"steady", hz, 0, 0, 0.3});
    for (std::size_t start = 0; start + 512 <= take.size(); start += 256) {
      const YinEstimate estimate = EstimatePeriod(std::span(take).subspan(start, 512));
      ASSERT_NEAR(estimate.period, period, 0.001 * period) << "frame at " << start;
    }
    const PitchFigures figures = TrackPitch(take, kRate);
    ASSERT_TRUE(figures.median_hz);
    EXPECT_NEAR(*figures.median_hz, hz, 0.001 * hz);
  }
}

TEST(Pitch, AnExactPeriodIsFoundWithFullConfidence) {
  // A pulse every P samples repeats exactly, so the difference at lag P is 0: confidence 1, and
  // the parabola through P's neighbours puts the period within half a sample of P. The lags are
  // worked out four at a time: these periods fall on every place in a block, and 250 in the
  // last, part-filled block of the 256 lags.
  for (const int period : {19, 21, 50, 100, 150, 220, 250}) {
    std::vector<std::uint8_t> frame(512, 128);
    for (std::size_t i = 0; i < frame.size(); i += period) frame[i] = 228;
    const YinEstimate estimate = EstimatePeriod(frame);
    EXPECT_EQ(estimate.confidence, 1.0) << period;
    EXPECT_NEAR(estimate.period, period, 0.5) << period;
  }
}

TEST(Pitch, EveryWholeFrameOfATakeIsLookedAt) {
  // Frames of 512 samples every 256: a take just long enough for one more frame has it.
  const std::vector<std::uint8_t> voice = Speak({"male", 120, 0.15, 0, 0.3});
  const std::pair<std::size_t, std::size_t> cases[] = {{511, 0}, {512, 1},  {767, 1},
                                                       {768, 2}, {1024, 3}, {1279, 3}};
  for (const auto& [samples, frames] : cases) {
    const std::span<const std::uint8_t> take = std::span(voice).first(samples);
    EXPECT_EQ(TrackPitch(take, kRate, PitchMethod::kWhole).frames, frames) << samples;
    EXPECT_EQ(TrackPitch(take, kRate, PitchMethod::kAubio).frames, frames) << samples;
  }
}

TEST(Pitch, SilenceHasNoPitch) {
  // All silent: every difference is 0, so the normalised function is 1 throughout.
  std::vector<std::uint8_t> frame(512, 128);
  EXPECT_EQ(EstimatePeriod(frame).period, 0);
  EXPECT_EQ(EstimatePeriod(frame).confidence, 0);
  // Voiced older half, silent newest half: no pitch, as the frame is judged by its new samples.
  for (std::size_t i = 0; i < 256; i += 50) frame[i] = 228;
  EXPECT_EQ(EstimatePeriod(frame).period, 0);
  EXPECT_FALSE(TrackPitch(std::vector<std::uint8_t>(4096, 128), kRate).median_hz);
  // A tone for 2048 samples, then silence to 4096: of the 15 frames, the 7 up to the one from
  // 1536 are voiced; the 8 from 1792 on have a silent newest half, and no pitch.
  std::vector<std::uint8_t> take = Speak({"steady", 200, 0, 0, 0.3}, 0.2);
  take.resize(2048);
  take.resize(4096, 128);
  const PitchFigures figures = TrackPitch(take, kRate);
  EXPECT_EQ(figures.frames, 15u);
  EXPECT_DOUBLE_EQ(figures.voiced_share, 7.0 / 15);
}

TEST(Pitch, EveryFormGivesTheSameEstimateBitForBit) {
  // The AVX-512 form (where the processor has it) works the lags out sixteen at a time, two
  // blocks together, and looks for the dip a block at a time; the plain form four at a time.
  // Dips in the first block (at 2, the first lag judged), in the second of a pair, in a later
  // pair and near the last lag judged; frames without a dip (noise: the smallest is taken);
  // halves that are no whole number of blocks or of fours, short ones, and the longest, where
  // frames of more than 2 * kMaxYinLags are capped. A square wave repeats exactly: its period
  // has difference 0, confidence 1, and the parabola puts it within half a sample.
  enum class Kind { kSilence, kSquare, kSine, kNoise, kSilentNewestHalf };
  struct Case {
    Kind kind;
    std::size_t size;
    std::size_t period;
  };
  const Case cases[] = {
      {Kind::kSquare, 512, 2},     {Kind::kSquare, 512, 6},
      {Kind::kSquare, 512, 20},    {Kind::kSquare, 512, 45},
      {Kind::kSquare, 512, 250},   {Kind::kSquare, 130, 30},
      {Kind::kSquare, 998, 300},   {Kind::kSquare, 2048, 700},
      {Kind::kSquare, 3001, 1000}, {Kind::kSine, 512, 37},
      {Kind::kSine, 512, 123},     {Kind::kSine, 262, 51},
      {Kind::kNoise, 512, 0},      {Kind::kNoise, 70, 0},
      {Kind::kNoise, 9, 0},        {Kind::kNoise, 2050, 0},
      {Kind::kSilence, 512, 0},    {Kind::kSilence, 3, 0},
      {Kind::kSilence, 0, 0},      {Kind::kSilentNewestHalf, 512, 0},
  };
  std::uint32_t seed = 99;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << static_cast<int>(c.kind) << " of " << c.size << ", period " << c.period);
    std::vector<std::uint8_t> frame(c.size, 128);
    for (std::size_t i = 0; i < c.size; ++i) {
      seed = seed * 1664525u + 1013904223u;
      const double phase =
          2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(c.period);
      switch (c.kind) {
        case Kind::kSquare:
          frame[i] = 2 * (i % c.period) < c.period ? 255 : 0;
          break;
        case Kind::kSine:
          frame[i] = static_cast<std::uint8_t>(128 + std::lround(100 * std::sin(phase)));
          break;
        case Kind::kNoise:
          frame[i] = static_cast<std::uint8_t>(seed >> 24);
          break;
        case Kind::kSilentNewestHalf:
          frame[i] = i < c.size / 2 && i % 50 == 0 ? 228 : 128;
          break;
        case Kind::kSilence:
          break;
      }
    }
    LimitInstructionSet(InstructionSet::kAvx2);
    const YinEstimate plain = EstimatePeriod(frame);
    LimitInstructionSet(kWidestInstructionSet);
    const YinEstimate widest = EstimatePeriod(frame);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(widest.period),
              std::bit_cast<std::uint64_t>(plain.period));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(widest.confidence),
              std::bit_cast<std::uint64_t>(plain.confidence));
    if (c.kind == Kind::kSquare) {
      EXPECT_EQ(widest.confidence, 1.0);
      EXPECT_NEAR(widest.period, static_cast<double>(c.period), 0.5);
    } else if (c.kind == Kind::kSilence || c.kind == Kind::kSilentNewestHalf) {
      EXPECT_EQ(widest.period, 0);
    }
  }
}

}  // namespace
}  // namespace pellix
