// The thorns-and-jumps scan on takes written straight into the sample store.
//
// Most takes below are built on one pattern, P6: 30 in every slot j with j % 6 == 5 and 10
// elsewhere. Its positions k repeat with period 6: k % 6 of 0, 1 and 2 are flat, 3 ends a
// flat run (10, 10, 30), 4 is a thorn (10, 30, 10) and 5 is neither (30, 10, 10). A flic
// of positions 1 to 301 therefore holds 50 thorns (k = 4 ... 298) and 50 jumps (k = 3 ...
// 297), the first of length 2 (positions 1 and 2) and the rest of length 3. Every flic starts
// at a k with k % 6 == 1, evaluated at the end of one flic and again at the start of the next,
// so the first jump of every later flic has length 4.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <functional>

#include <string>

#include "engine/tarvo_alg1.h"
#include "engine_state.h"
#include "platform/error.h"

namespace {

double P6(std::size_t j) {
  return j % 6 == 5 ? 30 : 10;
}

class ScanTest : public pellix::testing::EngineStateTest {
 protected:
  void SetUp() override {
    s.MinJump = 2;
    s.MaxJump = 30;
  }

  void ScanThornsJumps() { Tarvo_alg1::ScanThornsJumps(s); }

  // Writes value(j) into slots 1 to last and sets the sample count.
  void Take(double count, std::size_t last, const std::function<double(std::size_t)>& value) {
    auto& m = s;
    for (std::size_t j = 1; j <= last; ++j) m.Samples[j] = value(j);
    m.SampleCount = count;
  }

  // The error number the scan raises, or 0.
  int ScanError() {
    try {
      ScanThornsJumps();
    } catch (const pellix::PlatformError& e) {
      return e.number();
    }
    return 0;
  }

  void ExpectResults(double thorn_rate, double jump_rate, double avg_jump_len, double jump_spread) {
    auto& m = s;
    EXPECT_EQ(m.ThornRate, thorn_rate);
    EXPECT_EQ(m.JumpRate, jump_rate);
    EXPECT_EQ(m.AvgJumpLen, avg_jump_len);
    EXPECT_EQ(m.JumpSpread, jump_spread);
  }
};

// --- Flics --------------------------------------------------------------------------------

TEST_F(ScanTest, TakeOf850SamplesHasTwoFlicsAndReadsNoFurtherThanSlot603) {
  // Flics start at 1 and 301; the last position is 601, reading slots 601 to 603. Slots 604
  // on, and slot 0, hold thorns that must not count.
  Take(850, 603, P6);
  auto& m = s;
  m.Samples[0] = 50;
  for (std::size_t j = 604; j < 850; ++j) m.Samples[j] = j % 2 == 0 ? 10 : 50;
  ScanThornsJumps();
  // 100 thorns and 100 jumps over m = 2 flics: (100/2)/300*3000 = 500. Jumps: one of length
  // 2, 98 of 3 and one of 4 (the run over the shared position 301): mean 300/100 = 3. Bins 2
  // and 4 hold one jump each and add nothing to the deviation: 98 x |3 - 3| = 0.
  ExpectResults(500, 500, 3, 0);
  EXPECT_EQ(m.FlicLength, 300);
}

TEST_F(ScanTest, LongTakeIsCappedAt20500Samples) {
  // N = 20500 gives flics starting at 1 ... 20101 (68 of them); the last position is 20401.
  // Slots past 20403 hold thorns that a longer scan would count.
  Take(25000, 20403, P6);
  auto& m = s;
  for (std::size_t j = 20404; j < Tarvo_alg1::kSampleSlots; ++j) {
    m.Samples[j] = j % 2 == 0 ? 10 : 50;
  }
  ScanThornsJumps();
  // 68 x 50 thorns and jumps over 68 flics: 500. Jumps: one of length 2, 67 of length 4 (one
  // per shared boundary), 68 x 50 - 68 = 3332 of length 3.
  // mean = (2 + 3 x 3332 + 4 x 67) / 3400 = 10266 / 3400; deviation over bins 3 and 4 only.
  const double mean = 10266.0 / 3400.0;
  const double deviation = 3332 * std::abs(mean - 3) + 67 * std::abs(mean - 4);
  ExpectResults(500, 500, mean, std::sqrt(deviation));
  EXPECT_DOUBLE_EQ(m.JumpSpread, 11.418380435276546);
}

TEST_F(ScanTest, RatesStopAtTheFirstEmptyFlicButLengthsCoverEveryFlic) {
  // Seven flics (N = 2104: starts 1 ... 1801). Flics 1 to 5 are P6 (slots up to 1503), flic
  // 6 (positions 1501 to 1801) is flat: no thorn, no jump. Flic 7 has a 30 every 12 slots
  // from slot 1815: its first non-flat position, 1813, ends a run of some 300 positions,
  // longer than MaxJump; then thorns at 1814 + 12t and jumps of length 9 at 1825 + 12t, 24 of
  // each up to position 2101.
  Take(2104, 2103, [](std::size_t j) -> double {
    if (j <= 1503) return P6(j);
    if (j >= 1815 && (j - 1815) % 12 == 0) return 30;
    return 10;
  });
  ScanThornsJumps();
  // Rates over flics 1 to 5 only: 250 / 5 = 50 per flic: 500 each.
  // Lengths over all flics: bin 2: 1, bin 3: 49 + 4 x 49 = 245, bin 4: 4, bin 9: 24.
  // mean = (2 + 735 + 16 + 216) / 274 = 969 / 274.
  const double mean = 969.0 / 274.0;
  const double deviation =
      245 * std::abs(mean - 3) + 4 * std::abs(mean - 4) + 24 * std::abs(mean - 9);
  ExpectResults(500, 500, mean, std::sqrt(deviation));
  EXPECT_DOUBLE_EQ(s.AvgJumpLen, 3.5364963503649633);
  EXPECT_DOUBLE_EQ(s.JumpSpread, 16.26098730179681);
}

TEST_F(ScanTest, FirstFlicCountsEvenWhenEmpty) {
  // Two flics (N = 601). Flic 1 is flat; P6 starts at slot 306, so flic 2 has thorns at
  // 310 ... 598 (49) and jumps of length 3 at 315 ... 597 (48); the run that position 309
  // ends is far longer than MaxJump. Rates over both flics: (49/2)/300*3000 = 245 and 240.
  Take(601, 603, [](std::size_t j) { return j >= 306 ? P6(j) : 10.0; });
  ScanThornsJumps();
  ExpectResults(245, 240, 3, 0);
}

TEST_F(ScanTest, RatesDivideByFlicsThenByFlicLengthThenMultiply) {
  // One flic with 23 thorns and 23 jumps of length 3: a 30 at slots 6, 12, ... 138, 10
  // elsewhere. (23 / 1) / 300 * 3000 is 229.99999999999997 in doubles, so the rate is 229,
  // not the 230 that 23 * 10 would give.
  Take(301, 303, [](std::size_t j) -> double { return j % 6 == 0 && j <= 138 ? 30 : 10; });
  ScanThornsJumps();
  ExpectResults(229, 229, 3, 0);
}

// --- Thorns and flatness ------------------------------------------------------------------

// Every rule row below runs twice: on the 16-bit path that takes of small whole numbers take,
// and on the wide path, which a fraction in slot 0 (never read by the rules) forces.
constexpr double kNarrowPath = 0;
constexpr double kWidePath = 0.5;

TEST_F(ScanTest, ThornsMustStandAwayFromTheZeroLine) {
  // One flic of P6 (50 thorns: 500) with the thorn at position 4 (slots 4 to 6) replaced.
  // The replacement disturbs the flat runs nearby, but leaves a mean between 2 and 11.
  struct Row {
    double a, b, c, sign, thorn_rate;
  };
  const Row rows[] = {
      {4, 9, 8, 1, 490},                         // a must exceed 5 too
      {5, 9, 8, 1, 490},                         // exactly 5 is not above 5
      {6, 9, 8, 1, 500},     {6, 9, 5, 1, 490},  // nor for c
      {6, 9, 6, 1, 500},     {-6, -9, -6, -1, 500}, {-6, -9, -9, -1, 490},  // b < c must be strict
      {-5, -9, -8, -1, 490},  // exactly -5 is not below -5
      {-6, -9, -5, -1, 490},
  };
  for (double path : {kNarrowPath, kWidePath}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(::testing::Message()
                   << "path " << path << ", triple " << row.a << " " << row.b << " " << row.c);
      Take(301, 303, [&](std::size_t j) { return row.sign * P6(j); });
      auto& m = s;
      m.Samples[0] = path;
      m.Samples[4] = row.a;
      m.Samples[5] = row.b;
      m.Samples[6] = row.c;
      ScanThornsJumps();
      EXPECT_EQ(m.ThornRate, row.thorn_rate);
    }
  }
}

TEST_F(ScanTest, FlatMeansWithinTwoOfTheMiddleSample) {
  // Blocks of p, q, r, r, 30 from slot 1, repeated: per block, position (r, r, 30) ends the run
  // that positions (p, q, r) and (q, r, r) make when flat, (r, 30, p) is a thorn and ends a run
  // of 0, and (30, p, q) ends another run of 0. Positions 1 to 300 are 60 blocks: 60 thorns
  // (600), and 60 jumps of length 2 (600, mean 2) exactly when both are flat. A run of 1 or 0
  // is no jump, and a take with no jump has no results at all.
  struct Row {
    double p, q, r;
    double thorn_rate, jump_rate, avg_jump_len;
  };
  const Row rows[] = {
      {10, 11, 12, 600, 600, 2}, {9, 11, 12, 600, 600, 2},  // a exactly 2 below b is flat
      {8, 11, 12, 0, 0, 0},                                 // 3 below is not
      {13, 11, 12, 600, 600, 2},                            // 2 above
      {14, 11, 12, 0, 0, 0},                                // 3 above
      {10, 10, 12, 600, 600, 2},  // c exactly 2 above b, and a 2 below in (10, 12, 12)
      {10, 10, 13, 0, 0, 0},      // 3 above, and 3 below
      {15, 14, 12, 600, 600, 2},  // c exactly 2 below b
      {15, 14, 11, 0, 0, 0},      // 3 below, and 3 above in (14, 11, 11)
      {10, 9, 12, 0, 0, 0},       // (10, 9, 12) and (9, 12, 12): c and a 3 from b
  };
  for (double path : {kNarrowPath, kWidePath}) {
    for (double sign : {1.0, -1.0}) {
      for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "path " << path << ", block " << sign * row.p << " "
                                          << sign * row.q << " " << sign * row.r);
        const double block[] = {row.p, row.q, row.r, row.r, 30};
        Take(301, 303, [&](std::size_t j) { return sign * block[(j - 1) % 5]; });
        s.Samples[0] = path;
        ScanThornsJumps();
        ExpectResults(row.thorn_rate, row.jump_rate, row.avg_jump_len, 0);
      }
    }
  }
}

// --- Jump limits --------------------------------------------------------------------------

TEST_F(ScanTest, JumpLimitsAreInclusiveAndMayBeFractionalOrNegative) {
  auto block = [](std::size_t j) -> double {
    constexpr double kBlock[] = {10, 11, 12, 12, 30};
    return kBlock[(j - 1) % 5];
  };
  auto& m = s;
  // MinJump 0: the 120 runs of length 0 are jumps too, for the rate, but have no length.
  Take(301, 303, block);
  m.MinJump = 0;
  ScanThornsJumps();
  ExpectResults(600, 1800, 2, 0);
  m.MinJump = -1e300;
  ScanThornsJumps();
  ExpectResults(600, 1800, 2, 0);

  // A run of 2 is no jump when MinJump is 3 or 2.5, or MaxJump 1.9, and no run is one when
  // either limit is NaN, which no length reaches: no jump, no take.
  const double nan = std::nan("");
  for (auto [min_jump, max_jump] :
       {std::pair{3.0, 30.0}, {2.5, 30.0}, {2.0, 1.9}, {nan, 30.0}, {2.0, nan}}) {
    m.ThornRate = 77;
    m.MinJump = min_jump;
    m.MaxJump = max_jump;
    ScanThornsJumps();
    ExpectResults(0, 0, 0, 0);
  }
}

TEST_F(ScanTest, MeanOutsideTwoToElevenMarksAnUnusableTake) {
  // Period 9 from slot 0: 10, 10, 10, 30, 10, 10, 10, 10, 30. Runs of 1 end at k % 9 == 1,
  // runs of 2 at k % 9 == 6, thorns at k % 9 == 2 and 7. Positions 1 to 301 hold 33 of each
  // run (position 1 ends a run of 0) and 34 + 33 thorns.
  auto period9 = [](std::size_t j) -> double { return j % 9 == 3 || j % 9 == 8 ? 30 : 10; };
  Take(301, 303, period9);
  auto& m = s;
  m.MinJump = 1;
  ScanThornsJumps();
  ExpectResults(0, 0, 0, 0);  // mean (33 + 66) / 66 = 1.5

  m.MinJump = 2;  // only the runs of 2
  ScanThornsJumps();
  ExpectResults(670, 330, 2, 0);

  // One run of 100 (a 30 at slot 103): counted with MaxJump 100, but a mean of 100 is no take.
  Take(301, 303, [](std::size_t j) -> double { return j == 103 ? 30 : 10; });
  m.MaxJump = 100;
  ScanThornsJumps();
  ExpectResults(0, 0, 0, 0);
}

TEST_F(ScanTest, LengthSeenOnceAddsToTheMeanButNotToTheSpread) {
  // A 30 at slots 8, 19 and 30: runs of 5 (positions 1 to 5), 8 and 8; then flat to the end.
  Take(301, 303, [](std::size_t j) -> double { return j == 8 || j == 19 || j == 30 ? 30 : 10; });
  ScanThornsJumps();
  // 3 thorns, 3 jumps: 3 / 300 * 3000 = 30. Mean (5 + 16) / 3 = 7; spread from bin 8 only:
  // 2 x |7 - 8| = 2.
  ExpectResults(30, 30, 7, std::sqrt(2.0));
}

TEST_F(ScanTest, CountedRunLongerThan100IsSubscriptOutOfRange) {
  // A 30 at slot 123 ends a run of 120.
  Take(301, 303, [](std::size_t j) -> double { return j == 123 ? 30 : 10; });
  auto& m = s;
  m.ThornRate = 77;
  m.MaxJump = 150;
  EXPECT_EQ(ScanError(), pellix::kSubscriptOutOfRange);
  EXPECT_EQ(m.ThornRate, 77);  // nothing written
  m.MaxJump = 1e300;
  EXPECT_EQ(ScanError(), pellix::kSubscriptOutOfRange);
  // Not counted, no error.
  m.MaxJump = 100;
  EXPECT_EQ(ScanError(), 0);
  m.MaxJump = 150;
  m.MinJump = 121;
  EXPECT_EQ(ScanError(), 0);
}

// --- Takes the callers never pass ---------------------------------------------------------

TEST_F(ScanTest, EmptyTakeChangesNothing) {
  auto& m = s;
  m.ThornRate = 1;
  m.JumpRate = 2;
  m.AvgJumpLen = 3;
  m.JumpSpread = 4;
  for (double count : {0.0, -5.0}) {
    m.SampleCount = count;
    ScanThornsJumps();
    ExpectResults(1, 2, 3, 4);
    EXPECT_EQ(m.FlicLength, 0);  // returned before the flic length was set
  }
}

TEST_F(ScanTest, FlicLengthThatIsNotAWholeNumberIsRefused) {
  // Only the scan sets the flic length, to 300; anything else would cut flics between slots.
  Take(850, 603, P6);
  auto& m = s;
  m.ThornRate = 77;
  for (double length : {150.5, -300.0}) {
    m.FlicLength = length;
    EXPECT_EQ(ScanError(), pellix::kInvalidProcedureCall);
    EXPECT_EQ(m.ThornRate, 77);
  }
}

TEST_F(ScanTest, TakeShorterThanOneFlicIsADivisionByZero) {
  // N = 300: the first flic would start at 1 > 300 - 300.
  Take(300, 303, P6);
  auto& m = s;
  m.ThornRate = 77;
  EXPECT_EQ(ScanError(), pellix::kDivisionByZero);
  EXPECT_EQ(m.ThornRate, 77);
  EXPECT_EQ(m.FlicLength, 300);
  // N = 301 is one flic.
  m.SampleCount = 301;
  EXPECT_EQ(ScanError(), 0);
  EXPECT_EQ(m.ThornRate, 500);
}

// --- A bundled take, start to end ---------------------------------------------------------

// examples/samples/alex_calibrate_1.smp read and scanned with the usual settings (jumps of 2 to 30,
// border 5, automatic gain). The figures were worked out apart from this program: a throwaway
// script applied the intake and the scan exactly as their rules read, one sample and one
// position at a time, to the file's bytes. It found the peak above 110 (gain Int(360 / peak) =
// 3), a take of 10787 samples, 191 thorns and 76 jumps per 3000 samples, jump spread
// 28.32535688560039 and mean jump length 5.314606741573034. Any drift of the intake or the scan
// on real speech shows here.
TEST_F(ScanTest, ResultsOfAKnownRecording) {
  // As Check hands them over for that parameter string: automatic gain, border 5, jumps 2 to 30.
  const std::string path =
      std::string(PELLIX_SOURCE_DIR) + "/examples/samples/alex_calibrate_1.smp";
  s.DataFileName = path;
  s.Gain = 0;
  s.BackgroundBorder = 5;
  Tarvo_alg1::LoadSamples(s, Tarvo_alg1::NamedSampleFile(pellix::NativeFileSystem(), path));
  ScanThornsJumps();
  using pellix::testing::Is;
  using pellix::testing::S;
  pellix::testing::ExpectState(
      s, {Is(&S::Gain, 3), Is(&S::SampleCount, 10787), Is(&S::ThornRate, 191), Is(&S::JumpRate, 76),
          Is(&S::JumpSpread, 28.32535688560039), Is(&S::AvgJumpLen, 5.314606741573034)});
}

}  // namespace
