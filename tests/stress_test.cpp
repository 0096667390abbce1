// ComputeStress: stress levels, deviations and resolution adaptation of a checked take.
#include <gtest/gtest.h>

#include "analysis_fixture.h"
#include "engine/tarvo_alg1.h"

namespace {

using Tarvo_alg1::ComputeStress;
using Tarvo_alg1::SharedState;

// Starts every case from the balanced take: the measures equal the calibration (jump rate 10
// against 11 = 1.1 x 10, thorn rate 20 against 22), so both deviations are 0.
class StressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pellix::testing::ResetSharedState();
    s.ScaleProfile = 1;
    s.SampleCount = 1000;
    s.ThornBreakpoint = 120;
    s.JumpBreakpoint = 120;
    s.ThornResolution = 2.5;
    s.JumpResolution = 2.5;
    s.CalSpJ = 11;
    s.JumpRate = 10;
    s.AvgJumpLen = 5;
    s.CalAvJ = 5;
    s.CalSpT = 22;
    s.ThornRate = 20;
    s.CalJQ = 50;
    s.JumpSpread = 50;
  }

  // Marks the outputs so that a stop that leaves them alone can be told from one that writes.
  void MarkOutputs() {
    s.LieStress = 77;
    s.GlbStress = 88;
    s.ExcStress = 99;
    s.JumpDeviation = 0.3;
    s.ThornDeviation = -0.2;
  }

  void ExpectStoppedWithOutputsKept() {
    EXPECT_EQ(s.LieStress, 0);
    EXPECT_EQ(s.GlbStress, 0);
    EXPECT_EQ(s.ExcStress, 0);
    EXPECT_EQ(s.JumpDeviation, 0.3);
    EXPECT_EQ(s.ThornDeviation, -0.2);
    EXPECT_EQ(s.JumpResolution, 2.5);
    EXPECT_EQ(s.ThornResolution, 2.5);
  }

  SharedState& s = Tarvo_alg1::Shared();
};

TEST_F(StressTest, BalancedTakeGivesTheWorkedExampleLevels) {
  ComputeStress();
  EXPECT_EQ(s.JumpDeviation, 0);
  EXPECT_EQ(s.ThornDeviation, 0);
  EXPECT_DOUBLE_EQ(s.JumpResolution, 2.4);
  EXPECT_DOUBLE_EQ(s.ThornResolution, 2.4);
  EXPECT_EQ(s.GlbStress, 150);  // 100 + a spread of 50
  EXPECT_EQ(s.LieStress, 100);
  EXPECT_EQ(s.ExcStress, 100);
}

// Early stops: the three levels read 0, deviations and resolutions keep their values.

TEST_F(StressTest, MeanJumpLengthOutsideTwoToElevenStops) {
  for (double length : {1.9, 11.1}) {
    MarkOutputs();
    s.AvgJumpLen = length;
    ComputeStress();
    ExpectStoppedWithOutputsKept();
  }
}

TEST_F(StressTest, MeanJumpLengthOfTwoAndElevenIsComputed) {
  for (double length : {2.0, 11.0}) {
    s.AvgJumpLen = length;
    ComputeStress();
    EXPECT_GE(s.LieStress, 30) << length;
    EXPECT_GE(s.GlbStress, 30) << length;
    EXPECT_GE(s.ExcStress, 30) << length;
  }
}

TEST_F(StressTest, NoThornsNoJumpsOrNoSamplesStops) {
  MarkOutputs();
  s.ThornRate = 0;
  s.JumpRate = 0;
  ComputeStress();
  ExpectStoppedWithOutputsKept();
  EXPECT_EQ(s.ThornRate, 0);  // not replaced by 1 after a stop
  EXPECT_EQ(s.JumpRate, 0);

  SetUp();
  MarkOutputs();
  s.SampleCount = 0;
  ComputeStress();
  ExpectStoppedWithOutputsKept();
}

TEST_F(StressTest, AZeroBreakPointStopsAValidTake) {
  MarkOutputs();
  s.JumpBreakpoint = 0;
  ComputeStress();
  ExpectStoppedWithOutputsKept();

  SetUp();
  MarkOutputs();
  s.ThornBreakpoint = 0;
  ComputeStress();
  ExpectStoppedWithOutputsKept();
}

TEST_F(StressTest, AMissingRateIsComputedAsOneAndStaysOne) {
  s.ThornRate = 0;
  ComputeStress();
  EXPECT_EQ(s.ThornRate, 1);
  EXPECT_NEAR(s.ThornDeviation, (22 - 1.1) / 2.9, 1e-12);  // 7.2069

  SetUp();
  s.JumpRate = 0;
  ComputeStress();
  EXPECT_EQ(s.JumpRate, 1);
  EXPECT_DOUBLE_EQ(s.JumpDeviation, 1.2);  // (11 - 1.1) / 2.5 = 3.96, clamped
}

// Jump deviation.

TEST_F(StressTest, JumpDeviationShrinksByTheRatioOfMeanLengthsEitherWay) {
  s.CalSpJ = 36;  // (3.6 - 1.1) / 2.5 = 1
  s.AvgJumpLen = 10;
  s.CalAvJ = 5;
  ComputeStress();
  EXPECT_DOUBLE_EQ(s.JumpDeviation, 0.5);
  // Int(150) = 150, Int(127.5 + 15) = 142, + Int(0 * 1.3).
  EXPECT_EQ(s.LieStress, 142);

  SetUp();
  s.CalSpJ = 36;
  s.AvgJumpLen = 5;
  s.CalAvJ = 10;
  ComputeStress();
  EXPECT_DOUBLE_EQ(s.JumpDeviation, 0.5);
}

TEST_F(StressTest, JumpDeviationIsClampedAndLoosensTheResolution) {
  s.CalSpJ = -10;  // (-1 - 1.1) / 2.5 = -0.84
  ComputeStress();
  EXPECT_EQ(s.JumpDeviation, -0.6);
  EXPECT_DOUBLE_EQ(s.JumpResolution, 2.6);

  SetUp();
  s.CalSpJ = 50;  // (5 - 1.1) / 2.5 = 1.56
  ComputeStress();
  EXPECT_EQ(s.JumpDeviation, 1.2);
  EXPECT_DOUBLE_EQ(s.JumpResolution, 2.6);
}

TEST_F(StressTest, JumpRateIsTakenAsAWholeNumber) {
  s.JumpRate = 10.9;  // Int gives 10: the balanced take
  ComputeStress();
  EXPECT_EQ(s.JumpDeviation, 0);
}

// Resolution windows, floors and caps.

TEST_F(StressTest, JumpDeviationOfExactlyPlusOrMinusPointZeroEightKeepsTheResolution) {
  // 1.34 / 1 gives (1.34 - 1.1) / 2.5 = 0.096, shrunk by 6 / 5 to exactly 0.08.
  s.CalSpJ = 1.34;
  s.JumpRate = 1;
  s.AvgJumpLen = 6;
  s.CalAvJ = 5;
  ComputeStress();
  EXPECT_EQ(s.JumpDeviation, 0.08);
  EXPECT_EQ(s.JumpResolution, 2.5);

  // 0.1 / 1 gives (0.1 - 1.1) / 2.5 = -0.4, shrunk by 5 / 1 to exactly -0.08.
  SetUp();
  s.CalSpJ = 0.1;
  s.JumpRate = 1;
  s.AvgJumpLen = 5;
  s.CalAvJ = 1;
  ComputeStress();
  EXPECT_EQ(s.JumpDeviation, -0.08);
  EXPECT_EQ(s.JumpResolution, 2.5);

  // Inside the window the resolution tightens.
  SetUp();
  s.CalSpJ = 1.2;  // (1.2 - 1.1) / 2.5 = 0.04
  s.JumpRate = 1;
  ComputeStress();
  EXPECT_NEAR(s.JumpDeviation, 0.04, 1e-12);
  EXPECT_DOUBLE_EQ(s.JumpResolution, 2.4);
}

TEST_F(StressTest, ThornDeviationAtTheWindowEdgeKeepsTheResolution) {
  // (1.245 - 1.1) / 2.9 is the first double above 0.05 (0.05 itself cannot come out of this
  // division); one step lower in the thorn constant falls inside the window.
  s.CalSpT = 1.245;
  s.ThornRate = 1;
  ComputeStress();
  EXPECT_GT(s.ThornDeviation, 0.05);
  EXPECT_EQ(s.ThornResolution, 2.5);

  SetUp();
  s.CalSpT = 1.2449999999999999;
  s.ThornRate = 1;
  ComputeStress();
  EXPECT_LT(s.ThornDeviation, 0.05);
  EXPECT_DOUBLE_EQ(s.ThornResolution, 2.4);
}

TEST_F(StressTest, ResolutionsAreRaisedToTheirFloorsAfterTheDecrease) {
  s.JumpResolution = 1.65;
  s.ThornResolution = 1.75;
  ComputeStress();
  EXPECT_EQ(s.JumpResolution, 1.6);
  EXPECT_EQ(s.ThornResolution, 1.7);
}

TEST_F(StressTest, AnEmptyResolutionCellStartsFromTheFloor) {
  s.JumpResolution = 0;
  s.ThornResolution = 0;
  s.CalSpJ = -10;  // jd below -0.6: floor 1.6, then one step up
  ComputeStress();
  EXPECT_DOUBLE_EQ(s.JumpResolution, 1.7);
  EXPECT_EQ(s.ThornResolution, 1.7);  // td = 0: 0 - 0.1, raised to the floor
}

TEST_F(StressTest, ResolutionsAreCappedOnEveryComputation) {
  // No step at all (deviations outside the window and inside the clamps), still capped.
  s.JumpResolution = 9;
  s.ThornResolution = 9;
  s.CalSpJ = 20;  // (2 - 1.1) / 2.5 = 0.36
  s.CalSpT = 30;  // (1.5 - 1.1) / 2.9 = 0.138
  ComputeStress();
  EXPECT_EQ(s.JumpResolution, 4.3);
  EXPECT_EQ(s.ThornResolution, 4.3);

  // A step up from the cap is taken back.
  SetUp();
  s.JumpResolution = 4.3;
  s.ThornResolution = 4.3;
  s.CalSpJ = 50;   // jd 1.56
  s.CalSpT = 200;  // td (10 - 1.1) / 2.9 = 3.07
  ComputeStress();
  EXPECT_EQ(s.JumpResolution, 4.3);
  EXPECT_EQ(s.ThornResolution, 4.3);
}

TEST_F(StressTest, ThornDeviationIsNotClampedButLoosensTheResolution) {
  s.CalSpT = 200;
  ComputeStress();
  EXPECT_NEAR(s.ThornDeviation, 8.9 / 2.9, 1e-12);
  EXPECT_DOUBLE_EQ(s.ThornResolution, 2.6);
  EXPECT_EQ(s.ExcStress, 250);  // 253.4, clamped

  SetUp();
  s.CalSpT = -20;  // (-1 - 1.1) / 2.9 = -0.72
  ComputeStress();
  EXPECT_NEAR(s.ThornDeviation, -2.1 / 2.9, 1e-12);
  EXPECT_DOUBLE_EQ(s.ThornResolution, 2.6);
}

TEST_F(StressTest, ScaleProfileOtherThanOneUsesTheFlatterScales) {
  s.CalSpJ = 36;   // 2.5 before scaling
  s.CalSpT = 200;  // 8.9 before scaling
  for (double profile : {0.0, 2.0}) {
    s.ScaleProfile = profile;
    ComputeStress();
    EXPECT_NEAR(s.JumpDeviation, 2.5 / 3.1, 1e-12) << profile;
    EXPECT_NEAR(s.ThornDeviation, 8.9 / 3.2, 1e-12) << profile;
  }
  s.ScaleProfile = 1;
  ComputeStress();
  EXPECT_DOUBLE_EQ(s.JumpDeviation, 1);
  EXPECT_NEAR(s.ThornDeviation, 8.9 / 2.9, 1e-12);
}

// Levels.

TEST_F(StressTest, GlobalStressAddsOnlyASpreadAboveTen) {
  s.JumpSpread = 10;
  s.CalJQ = 5;
  ComputeStress();
  EXPECT_EQ(s.GlbStress, 200);

  SetUp();
  s.JumpSpread = 11;
  s.CalJQ = 11;
  ComputeStress();
  EXPECT_EQ(s.GlbStress, 111);
}

TEST_F(StressTest, AVeryLargeSpreadIsClampedToTheTop) {
  s.JumpSpread = 400;
  ComputeStress();
  EXPECT_EQ(s.GlbStress, 300);  // 800 + 400
  EXPECT_EQ(s.LieStress, 250);  // 100 + Int(350 * 1.3)
}

TEST_F(StressTest, LieStressRoundsTheSpreadTermDown) {
  s.JumpSpread = 49;  // (49 - 50) * 1.3 = -1.3, whose Int is -2
  ComputeStress();
  EXPECT_EQ(s.LieStress, 98);
  EXPECT_EQ(s.GlbStress, 147);  // Int(98) + 49
}

TEST_F(StressTest, LowLevelsAreRaisedToThirty) {
  s.CalSpJ = -10;  // jd -0.6: lie stress Int(40)
  s.CalSpT = -20;  // td -0.72: excitement 63.8
  s.JumpSpread = 5;
  s.CalJQ = 50;  // global Int(10); lie stress Int(34 + 4.1) - 59
  ComputeStress();
  EXPECT_EQ(s.LieStress, 30);
  EXPECT_EQ(s.GlbStress, 30);
  EXPECT_NEAR(s.ExcStress, (-2.1 / 2.9 / 2 + 1) * 100, 1e-9);
}

TEST_F(StressTest, ExcitementKeepsItsFraction) {
  s.CalSpT = 73;  // 73 / 40 = 1.825: a thorn deviation of 0.25
  s.ThornRate = 40;
  ComputeStress();
  EXPECT_DOUBLE_EQ(s.ExcStress, 112.5);
}

// Resume on error: a failing statement is skipped and its target keeps its value.

TEST_F(StressTest, WithoutCalibratedMeanJumpLengthTheDeviationStaysUncorrected) {
  s.CalSpJ = 36;
  s.CalAvJ = 0;  // 5 / 0 fails
  ComputeStress();
  EXPECT_DOUBLE_EQ(s.JumpDeviation, 1);
  EXPECT_EQ(s.LieStress, 185);  // Int(200), Int(170 + 15), + 0
}

TEST_F(StressTest, WithoutCalibratedSpreadGlobalStressIsTheSpreadAlone) {
  s.CalJQ = 0;
  ComputeStress();
  EXPECT_EQ(s.GlbStress, 50);
  EXPECT_EQ(s.LieStress, 165);  // 100 + Int(50 * 1.3)

  SetUp();
  s.CalJQ = 0;
  s.JumpSpread = 8;  // not above 10: stays 0, raised to 30
  ComputeStress();
  EXPECT_EQ(s.GlbStress, 30);
}

TEST_F(StressTest, AnOverflowingStatementIsSkipped) {
  // td = 3.4e307: (td + 1) * 15 and (td / 2 + 1) * 100 overflow, so the lie stress keeps its
  // first value and the excitement stays 0 until the clamp.
  s.CalSpT = 1e308;
  s.ThornRate = 1;
  ComputeStress();
  EXPECT_EQ(s.LieStress, 100);
  EXPECT_EQ(s.ExcStress, 30);
  EXPECT_EQ(s.GlbStress, 150);
}

TEST_F(StressTest, NothingReachesTheCaller) {
  s.CalSpJ = 1e308;
  s.JumpRate = 1;
  s.AvgJumpLen = 11;
  s.CalAvJ = 1e-308;   // 11 / 1e-308 overflows: jd stays 4e307, clamped
  s.CalJQ = -1.5e308;  // (50 + 1.5e308) * 1.3 overflows: no spread term
  EXPECT_NO_THROW(ComputeStress());
  EXPECT_EQ(s.JumpDeviation, 1.2);
  EXPECT_EQ(s.LieStress, 202);  // Int(220), Int(187 + 15)
}

}  // namespace
