// What the report says about a take, at and beside every threshold: the analysed stretch to
// the sample (at 1000 Hz one sample is the report's last decimal), the flags' edges, and the
// steady tone judged by the spread of its pitch as a share of the median.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/take_facts.h"
#include "audio/pitch.h"

namespace pellix::analysis {
namespace {

PreparedTake Quiet1000Hz() {
  PreparedTake take;
  take.rate = 1000;
  take.levels.peak_dbfs = -6;
  return take;
}

TEST(TakeFacts, TheStretchIsTheStoredTakeToTheSampleAsFarAsTheScanReads) {
  struct Case {
    std::size_t start, end;  // the stored take
    double start_s, end_s;
  };
  const Case cases[] = {
      {123, 624, 0.123, 0.624},
      {0, 1, 0.0, 0.001},
      {7, 7 + kScannedSlots, 0.007, 0.007 + 20.501},
      {7, 8 + kScannedSlots, 0.007, 0.007 + 20.501},  // one slot beyond what the scan reads
      {7, 6 + kScannedSlots, 0.007, 0.007 + 20.500},
  };
  for (const Case& c : cases) {
    const TakeFacts facts = DescribeTake(Quiet1000Hz(), {1000, c.start, c.end}, 800, false);
    ASSERT_TRUE(facts.stretch_start_s && facts.stretch_end_s) << c.start;
    EXPECT_NEAR(*facts.stretch_start_s, c.start_s, 1e-9) << c.start;
    EXPECT_NEAR(*facts.stretch_end_s, c.end_s, 1e-9) << c.end;
  }
  // Nothing stored: no stretch.
  EXPECT_FALSE(DescribeTake(Quiet1000Hz(), {0, 5, 5}, 800, true).stretch_start_s);
}

TEST(TakeFacts, FlagsAtAndBesideTheirThresholds) {
  struct Case {
    double clipped_source, clipped_8bit, peak_dbfs;
    std::size_t stretch;  // samples at 1000 Hz
    std::vector<std::string> flags;
  };
  const Case cases[] = {
      {0.001, 0.001, -24, 500, {}},
      {0.0010001, 0, -24, 500, {"clipped"}},
      {0, 0.0010001, -24, 500, {"clipped"}},
      {0.001, 0.001, -24.0001, 500, {"very_quiet"}},
      {0, 0, -23.9999, 499, {"short_stretch"}},
      {1, 1, -30, 1, {"clipped", "very_quiet", "short_stretch"}},
  };
  for (const Case& c : cases) {
    PreparedTake take = Quiet1000Hz();
    take.levels.clipped_share = c.clipped_source;
    take.clipped_8bit = c.clipped_8bit;
    take.levels.peak_dbfs = c.peak_dbfs;
    const TakeFacts facts = DescribeTake(take, {1000, 100, 100 + c.stretch}, 800, false);
    EXPECT_EQ(facts.flags, c.flags)
        << c.clipped_source << " " << c.clipped_8bit << " " << c.peak_dbfs << " " << c.stretch;
  }
}

// A tone of `hz` whose pitch swings by `depth` (a share) around it three times a second, as
// the intake's 8-bit samples at 11025 Hz.
std::vector<std::uint8_t> Vibrato(double hz, double depth) {
  std::vector<std::uint8_t> samples(22050);
  double phase = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(i) / 11025;
    phase +=
        2 * std::numbers::pi * hz * (1 + depth * std::sin(2 * std::numbers::pi * 3 * t)) / 11025;
    samples[i] = static_cast<std::uint8_t>(std::lround(128 + 90 * std::sin(phase)));
  }
  return samples;
}

TEST(TakeFacts, ASteadyToneIsJudgedByItsSpreadAsAShareOfTheMedian) {
  // The middle 80% of a swing of depth d spans 2 sin(72°) d = 1.9 d of the median: steady
  // up to d = 1.05%. At 400 Hz a swing of 0.5% spans 3.8 Hz: far more than 2% would be in
  // absolute Hertz, far less than 2% of the median.
  struct Case {
    double hz, depth;
    bool steady;
  };
  const Case cases[] = {
      {200, 0, true},      {400, 0.005, true}, {100, 0.008, true},
      {400, 0.014, false}, {200, 0.03, false},
  };
  for (const Case& c : cases) {
    const PitchFigures pitch = TrackPitch(Vibrato(c.hz, c.depth), 11025);
    if (pitch.frames == 0) GTEST_SKIP() << "no pitch tracker on this machine";
    ASSERT_TRUE(pitch.median_hz) << c.hz;
    EXPECT_NEAR(*pitch.median_hz, c.hz, c.hz * 0.01) << c.hz;
    EXPECT_EQ(pitch.steady, c.steady) << c.hz << " Hz, swing " << c.depth;
  }
}

// Half again above the calibration, or a third below it, either way round; nothing without
// a pitch on both sides.
TEST(TakeFacts, APitchMismatchIsMoreThanHalfAgainEitherWay) {
  const struct {
    double check_hz, calibration_hz;
    bool mismatch;
  } cases[] = {
      {150, 100, false}, {151, 100, true}, {100, 150, false}, {100, 151, true},
      {67, 100, false},  {66, 100, true},  {245, 80, true},   {92.1, 102, false},
      {0, 100, false},   {100, 0, false},  {NAN, 100, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PitchMismatch(c.check_hz, c.calibration_hz), c.mismatch)
        << c.check_hz << " Hz against " << c.calibration_hz << " Hz";
  }
}

}  // namespace
}  // namespace pellix::analysis
