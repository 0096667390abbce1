// DecideVerdict: result codes from the stress levels and deviations.
#include <gtest/gtest.h>

#include "analysis_fixture.h"
#include "engine/tarvo_alg1.h"
#include "platform/error.h"

namespace {

using pellix::Value;
using Tarvo_alg1::DecideVerdict;
using Tarvo_alg1::SharedState;

// The analysis constants as the product loads them: truth floor 50, band 120 to 160, sarcasm
// window 0.15 to 0.45, confusion above 0.6, manipulation above 0.9.
class VerdictTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pellix::testing::ResetSharedState();
    s.TruthFloor = 50;
    s.BandLow = 120;
    s.BandHigh = 160;
    s.AltBandLow = 100;
    s.SarcasmLow = 0.15;
    s.SarcasmHigh = 0.45;
    s.ConfusionLimit = 0.6;
    s.ManipulationLimit = 0.9;
    // An unremarkable take: no flag but "no stress", no very low deviation.
    s.LieStress = 100;
    s.GlbStress = 100;
    s.ExcStress = 100;
    s.ThornDeviation = 0.2;
    s.JumpDeviation = 0.2;
    s.CalSpJ = 11;
    s.JumpRate = 10;
    s.ResultCode = Value::Integer(5);  // an earlier check's verdict
  }

  Value Code(int code) { return Value::Integer(static_cast<std::int16_t>(code)); }

  SharedState& s = Tarvo_alg1::Shared();
};

TEST_F(VerdictTest, UnremarkableTakeIsTruth) {
  DecideVerdict();
  EXPECT_EQ(s.ResultCode, Code(1));
  EXPECT_EQ(s.VerdictScore, 1);
  EXPECT_EQ(s.LowDeviationCount, 0);
}

// Early stops say "no conclusion" instead of repeating the earlier verdict.

TEST_F(VerdictTest, DeviationsNeverComputedGiveNoConclusion) {
  s.ThornDeviation = 0;
  s.JumpDeviation = 0;  // and 11 differs from Int(10)
  DecideVerdict();
  EXPECT_EQ(s.ResultCode, Code(0));
}

TEST_F(VerdictTest, ZeroDeviationsOnAMatchingJumpRateAreJudged) {
  s.ThornDeviation = 0;
  s.JumpDeviation = 0;
  s.CalSpJ = 10;
  s.JumpRate = 10.7;  // Int gives 10
  DecideVerdict();
  EXPECT_EQ(s.ResultCode, Code(1));
}

TEST_F(VerdictTest, AStoppedStressComputationGivesNoConclusion) {
  for (double SharedState::*level :
       {&SharedState::GlbStress, &SharedState::LieStress, &SharedState::ExcStress}) {
    SetUp();
    s.*level = 0;
    DecideVerdict();
    EXPECT_EQ(s.ResultCode, Code(0));
  }
}

TEST_F(VerdictTest, ALieStressBelowTenGivesNoConclusion) {
  s.LieStress = 9;
  DecideVerdict();
  EXPECT_EQ(s.ResultCode, Code(0));
  EXPECT_EQ(s.LieStress, 9);
}

TEST_F(VerdictTest, NoConclusionReplacesAnUnsetCodeToo) {
  s.ResultCode = Value();
  s.GlbStress = 0;
  DecideVerdict();
  EXPECT_EQ(s.ResultCode, Code(0));
}

// The truth floor.

TEST_F(VerdictTest, FarBelowTheTruthFloorTheLieStressIsMirrored) {
  s.LieStress = 30;  // TruthFloor - 20
  DecideVerdict();
  EXPECT_EQ(s.ResultCode, Code(8));
  EXPECT_EQ(s.LieStress, 170);  // 220 - TruthFloor

  SetUp();
  s.LieStress = 10;
  DecideVerdict();
  EXPECT_EQ(s.ResultCode, Code(8));
  EXPECT_EQ(s.LieStress, 190);
}

TEST_F(VerdictTest, JustBelowTheTruthFloorIsSarcasm) {
  s.LieStress = 40;  // exactly TruthFloor - 10: not mirrored
  DecideVerdict();
  EXPECT_EQ(s.ResultCode, Code(2));
  EXPECT_EQ(s.LieStress, 40);

  SetUp();
  s.LieStress = 49;
  DecideVerdict();
  EXPECT_EQ(s.ResultCode, Code(2));
}

TEST_F(VerdictTest, AtTheTruthFloorTheTakeIsJudged) {
  s.LieStress = 50;
  DecideVerdict();
  EXPECT_EQ(s.ResultCode, Code(1));
}

// The band and the thorn deviation.

TEST_F(VerdictTest, LieStressAboveTheBandIsALie) {
  s.LieStress = 161;
  s.ThornDeviation = 2;  // would be 9, but the band is tested first
  DecideVerdict();
  EXPECT_EQ(s.ResultCode, Code(7));
}

TEST_F(VerdictTest, LieStressInsideTheBandIsExaggeration) {
  for (double level : {120.0, 140.0, 160.0}) {
    SetUp();
    s.LieStress = level;
    DecideVerdict();
    EXPECT_EQ(s.ResultCode, Code(8)) << level;
    EXPECT_EQ(s.LieStress, level);
  }
  SetUp();
  s.LieStress = 119;
  DecideVerdict();
  EXPECT_EQ(s.ResultCode, Code(1));
}

TEST_F(VerdictTest, AThornDeviationOfTwoIsTrauma) {
  s.ThornDeviation = 2;
  DecideVerdict();
  EXPECT_EQ(s.ResultCode, Code(9));

  SetUp();
  s.ThornDeviation = 1.99;
  DecideVerdict();
  EXPECT_EQ(s.ResultCode, Code(1));
}

TEST_F(VerdictTest, AVeryLowThornDeviationIsReplacedBeforeTheTraumaTest) {
  // -0.6 is a level of 40, very low and below 55: it counts once and reads 0.1 from then on,
  // so it never reaches 9. The jump deviation 0.2 inside the sarcasm window decides.
  s.ThornDeviation = -0.6;
  DecideVerdict();
  EXPECT_EQ(s.ThornDeviation, 0.1);
  EXPECT_EQ(s.LowDeviationCount, 1);
  EXPECT_EQ(s.ResultCode, Code(2));
}

// Very low deviations.

TEST_F(VerdictTest, AJumpLevelOfSixtyFiveIsNotVeryLow) {
  s.JumpDeviation = -0.35;  // (1 - 0.35) * 100 = 65
  DecideVerdict();
  EXPECT_EQ(s.JumpDeviation, -0.35);
  EXPECT_EQ(s.ResultCode, Code(1));
}

TEST_F(VerdictTest, AJumpLevelBelowSixtyFiveIsReplacedByPointOne) {
  s.JumpDeviation = -0.36;  // 64: replaced, but not below 55, so not counted
  DecideVerdict();
  EXPECT_EQ(s.JumpDeviation, 0.1);
  EXPECT_EQ(s.LowDeviationCount, 0);
  EXPECT_EQ(s.ResultCode, Code(1));

  SetUp();
  s.JumpDeviation = -0.45;  // 55.000000000000007: still not below 55
  DecideVerdict();
  EXPECT_EQ(s.JumpDeviation, 0.1);
  EXPECT_EQ(s.LowDeviationCount, 0);
}

TEST_F(VerdictTest, BothDeviationsVeryLowIsSarcasm) {
  s.JumpDeviation = -0.5;
  s.ThornDeviation = -0.5;
  DecideVerdict();
  EXPECT_EQ(s.LowDeviationCount, 2);
  EXPECT_EQ(s.ResultCode, Code(2));
}

// One very low deviation: the other one, against the sarcasm window.
struct SarcasmCase {
  double jump;   // jump deviation
  double thorn;  // thorn deviation
  int code;
};

TEST_F(VerdictTest, OneVeryLowDeviationTestsTheOtherAgainstTheSarcasmWindow) {
  const SarcasmCase cases[] = {
      {-0.5, 0.3, 2},                   // thorn inside the window
      {-0.5, 0.5, 7},                   // thorn above it
      {-0.5, 0.15, 0},                  // the window is open: neither inside nor above
      {-0.5, 0.45, 0}, {0.3, -0.5, 2},  // jump inside the window
      {0.5, -0.5, 7},                   // jump above it
      {0.45, -0.5, 0}, {0.15, -0.5, 0},
  };
  for (const SarcasmCase& c : cases) {
    SetUp();
    s.JumpDeviation = c.jump;
    s.ThornDeviation = c.thorn;
    DecideVerdict();
    EXPECT_EQ(s.LowDeviationCount, 1) << c.jump << " " << c.thorn;
    EXPECT_EQ(s.ResultCode, Code(c.code)) << c.jump << " " << c.thorn;
  }
}

TEST_F(VerdictTest, FlagsOverruleVeryLowDeviations) {
  s.JumpDeviation = -0.5;
  s.ThornDeviation = -0.5;
  s.ExcStress = 140;  // excitement: score 5
  DecideVerdict();
  EXPECT_EQ(s.ResultCode, Code(3));
}

// Scores.
struct ScoreCase {
  double global;
  double jump_deviation;
  double excitement;
  double score;
  int code;
};

TEST_F(VerdictTest, EveryReachableScoreMapsToItsCode) {
  // Lie stress 100 is below the band; a global stress of 100 adds "no stress" (1), 130 not.
  const ScoreCase cases[] = {
      {130, 0.2, 100, 0, 1},   {100, 0.2, 100, 1, 1},   {130, 0.2, 140, 4, 3},
      {100, 0.2, 140, 5, 3},   {130, 0.7, 100, 8, 4},   {100, 0.7, 100, 9, 4},
      {130, 0.7, 140, 12, 4},  {100, 0.7, 140, 13, 4},  {130, 0.2, 200, 32, 5},
      {100, 0.2, 200, 33, 5},  {130, 0.7, 200, 40, 5},  {100, 0.7, 200, 41, 5},
      {130, 0.95, 100, 64, 6}, {100, 0.95, 100, 65, 6}, {130, 0.95, 140, 68, 9},
      {100, 0.95, 140, 69, 9}, {130, 0.95, 200, 96, 9}, {100, 0.95, 200, 97, 9},
  };
  for (const ScoreCase& c : cases) {
    SetUp();
    s.GlbStress = c.global;
    s.JumpDeviation = c.jump_deviation;
    s.ExcStress = c.excitement;
    DecideVerdict();
    EXPECT_EQ(s.VerdictScore, c.score) << c.score;
    EXPECT_EQ(s.ResultCode, Code(c.code)) << c.score;
  }
}

TEST_F(VerdictTest, FlagLimitsAreStrict) {
  const ScoreCase cases[] = {
      {100, 0.6, 100, 1, 1},  // not above the confusion limit
      {100, 0.9, 100, 9, 4},  // confusion, not manipulation
      {100, 0.2, 120, 1, 1},  // excitement at the band's lower edge: no flag
      {100, 0.2, 160, 5, 3},  // at the upper edge: excitement, not high excitement
      {120, 0.2, 100, 0, 1},  // global stress at the band: not "no stress"
  };
  for (const ScoreCase& c : cases) {
    SetUp();
    s.GlbStress = c.global;
    s.JumpDeviation = c.jump_deviation;
    s.ExcStress = c.excitement;
    DecideVerdict();
    EXPECT_EQ(s.VerdictScore, c.score) << c.global << " " << c.jump_deviation;
    EXPECT_EQ(s.ResultCode, Code(c.code)) << c.global << " " << c.jump_deviation;
  }
}

TEST_F(VerdictTest, AnOverflowReachesTheCaller) {
  // A thorn deviation near the double range (from an absurd calibration) overflows the level
  // test; the verdict does not resume on error.
  s.ThornDeviation = 1e307;
  try {
    DecideVerdict();
    FAIL() << "no error";
  } catch (const pellix::PlatformError& e) {
    EXPECT_EQ(e.number(), pellix::kOverflow);
  }
}

}  // namespace
