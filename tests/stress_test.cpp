// ComputeStress: stress levels, deviations and resolution adaptation of a checked take.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "engine/tarvo_alg1.h"
#include "engine_state.h"
#include "state_expectations.h"

namespace pellix::testing {
namespace {

// Starts every case from the balanced take: the measures equal the calibration (jump rate 10
// against 11 = 1.1 x 10, thorn rate 20 against 22), so both deviations are 0.
class StressTest : public EngineStateTest {
 protected:
  void ComputeStress() { Tarvo_alg1::ComputeStress(s); }

  void SetUp() override {
    ResetState();
    s.ScaleProfile = 1;
    s.SampleCount = 1000;
    SetCheckInputs(s, {120, 2.5, {22, 11, 50, 5}});
    s.JumpRate = 10;
    s.AvgJumpLen = 5;
    s.ThornRate = 20;
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
};

// A change to the balanced take and what ComputeStress then leaves in the state.
struct StressCase {
  const char* what;
  StateChange change;
  std::vector<StateExpectation> expected;
};

const StressCase kStressCases[] = {
    {"the balanced take gives the worked example's levels (global: 100 + a spread of 50)",
     {},
     {Is(&S::JumpDeviation, 0), Is(&S::ThornDeviation, 0), Close(&S::JumpResolution, 2.4),
      Close(&S::ThornResolution, 2.4), Is(&S::GlbStress, 150), Is(&S::LieStress, 100),
      Is(&S::ExcStress, 100)}},
    {"a mean jump length of 2 is computed",
     {{&S::AvgJumpLen, 2}},
     {AtLeast(&S::LieStress, 30), AtLeast(&S::GlbStress, 30), AtLeast(&S::ExcStress, 30)}},
    {"a mean jump length of 11 is computed",
     {{&S::AvgJumpLen, 11}},
     {AtLeast(&S::LieStress, 30), AtLeast(&S::GlbStress, 30), AtLeast(&S::ExcStress, 30)}},
    {"a missing thorn rate is computed as 1 and stays 1 (7.2069)",
     {{&S::ThornRate, 0}},
     {Is(&S::ThornRate, 1), Near(&S::ThornDeviation, (22 - 1.1) / 2.9, 1e-12)}},
    {"a missing jump rate is computed as 1: (11 - 1.1) / 2.5 = 3.96, clamped",
     {{&S::JumpRate, 0}},
     {Is(&S::JumpRate, 1), Close(&S::JumpDeviation, 1.2)}},

    // Jump deviation: (3.6 - 1.1) / 2.5 = 1, shrunk by the ratio of mean lengths either way.
    // Lie stress Int(150) = 150, Int(127.5 + 15) = 142, + Int(0 * 1.3).
    {"a longer mean jump than calibrated shrinks the jump deviation",
     {{&S::CalSpJ, 36}, {&S::AvgJumpLen, 10}, {&S::CalAvJ, 5}},
     {Close(&S::JumpDeviation, 0.5), Is(&S::LieStress, 142)}},
    {"a shorter mean jump than calibrated shrinks it too",
     {{&S::CalSpJ, 36}, {&S::AvgJumpLen, 5}, {&S::CalAvJ, 10}},
     {Close(&S::JumpDeviation, 0.5)}},
    {"the jump deviation is clamped below ((-1 - 1.1) / 2.5 = -0.84) and loosens the resolution",
     {{&S::CalSpJ, -10}},
     {Is(&S::JumpDeviation, -0.6), Close(&S::JumpResolution, 2.6)}},
    {"and above ((5 - 1.1) / 2.5 = 1.56)",
     {{&S::CalSpJ, 50}},
     {Is(&S::JumpDeviation, 1.2), Close(&S::JumpResolution, 2.6)}},
    {"the jump rate is taken as a whole number (Int(10.9) = 10: the balanced take)",
     {{&S::JumpRate, 10.9}},
     {Is(&S::JumpDeviation, 0)}},

    // Resolution windows, floors and caps.
    {"a jump deviation of exactly 0.08 keeps the resolution ((1.34 - 1.1) / 2.5 = 0.096, "
     "shrunk by 6 / 5)",
     {{&S::CalSpJ, 1.34}, {&S::JumpRate, 1}, {&S::AvgJumpLen, 6}, {&S::CalAvJ, 5}},
     {Is(&S::JumpDeviation, 0.08), Is(&S::JumpResolution, 2.5)}},
    {"so does exactly -0.08 ((0.1 - 1.1) / 2.5 = -0.4, shrunk by 5 / 1)",
     {{&S::CalSpJ, 0.1}, {&S::JumpRate, 1}, {&S::AvgJumpLen, 5}, {&S::CalAvJ, 1}},
     {Is(&S::JumpDeviation, -0.08), Is(&S::JumpResolution, 2.5)}},
    {"inside the window the resolution tightens ((1.2 - 1.1) / 2.5 = 0.04)",
     {{&S::CalSpJ, 1.2}, {&S::JumpRate, 1}},
     {Near(&S::JumpDeviation, 0.04, 1e-12), Close(&S::JumpResolution, 2.4)}},
    // (1.245 - 1.1) / 2.9 is the first double above 0.05 (0.05 itself cannot come out of this
    // division); one step lower in the thorn constant falls inside the window.
    {"a thorn deviation just above the window edge keeps the resolution",
     {{&S::CalSpT, 1.245}, {&S::ThornRate, 1}},
     {Above(&S::ThornDeviation, 0.05), Is(&S::ThornResolution, 2.5)}},
    {"just below it the resolution tightens",
     {{&S::CalSpT, 1.2449999999999999}, {&S::ThornRate, 1}},
     {Below(&S::ThornDeviation, 0.05), Close(&S::ThornResolution, 2.4)}},
    {"resolutions are raised to their floors after the decrease",
     {{&S::JumpResolution, 1.65}, {&S::ThornResolution, 1.75}},
     {Is(&S::JumpResolution, 1.6), Is(&S::ThornResolution, 1.7)}},
    // Jump deviation below -0.6: floor 1.6, then one step up; thorn deviation 0: 0 - 0.1,
    // raised to the floor.
    {"an empty resolution cell starts from the floor",
     {{&S::JumpResolution, 0}, {&S::ThornResolution, 0}, {&S::CalSpJ, -10}},
     {Close(&S::JumpResolution, 1.7), Is(&S::ThornResolution, 1.7)}},
    // (2 - 1.1) / 2.5 = 0.36 and (1.5 - 1.1) / 2.9 = 0.138: outside the window, inside the
    // clamps.
    {"resolutions are capped without a step",
     {{&S::JumpResolution, 9}, {&S::ThornResolution, 9}, {&S::CalSpJ, 20}, {&S::CalSpT, 30}},
     {Is(&S::JumpResolution, 4.3), Is(&S::ThornResolution, 4.3)}},
    // Jump deviation 1.56, thorn deviation (10 - 1.1) / 2.9 = 3.07.
    {"a step up from the cap is taken back",
     {{&S::JumpResolution, 4.3}, {&S::ThornResolution, 4.3}, {&S::CalSpJ, 50}, {&S::CalSpT, 200}},
     {Is(&S::JumpResolution, 4.3), Is(&S::ThornResolution, 4.3)}},
    {"the thorn deviation is not clamped but loosens the resolution (excitement 253.4, "
     "clamped)",
     {{&S::CalSpT, 200}},
     {Near(&S::ThornDeviation, 8.9 / 2.9, 1e-12), Close(&S::ThornResolution, 2.6),
      Is(&S::ExcStress, 250)}},
    {"nor below ((-1 - 1.1) / 2.9 = -0.72)",
     {{&S::CalSpT, -20}},
     {Near(&S::ThornDeviation, -2.1 / 2.9, 1e-12), Close(&S::ThornResolution, 2.6)}},
    // 2.5 and 8.9 before scaling.
    {"a scale profile of 0 uses the flatter scales",
     {{&S::CalSpJ, 36}, {&S::CalSpT, 200}, {&S::ScaleProfile, 0}},
     {Near(&S::JumpDeviation, 2.5 / 3.1, 1e-12), Near(&S::ThornDeviation, 8.9 / 3.2, 1e-12)}},
    {"so does a scale profile of 2",
     {{&S::CalSpJ, 36}, {&S::CalSpT, 200}, {&S::ScaleProfile, 2}},
     {Near(&S::JumpDeviation, 2.5 / 3.1, 1e-12), Near(&S::ThornDeviation, 8.9 / 3.2, 1e-12)}},
    {"a scale profile of 1 does not",
     {{&S::CalSpJ, 36}, {&S::CalSpT, 200}},
     {Close(&S::JumpDeviation, 1), Near(&S::ThornDeviation, 8.9 / 2.9, 1e-12)}},

    // Levels.
    {"global stress adds no spread of ten",
     {{&S::JumpSpread, 10}, {&S::CalJQ, 5}},
     {Is(&S::GlbStress, 200)}},
    {"global stress adds a spread above ten",
     {{&S::JumpSpread, 11}, {&S::CalJQ, 11}},
     {Is(&S::GlbStress, 111)}},
    {"a very large spread is clamped to the top (800 + 400; 100 + Int(350 * 1.3))",
     {{&S::JumpSpread, 400}},
     {Is(&S::GlbStress, 300), Is(&S::LieStress, 250)}},
    {"lie stress rounds the spread term down ((49 - 50) * 1.3 = -1.3, whose Int is -2; global "
     "Int(98) + 49)",
     {{&S::JumpSpread, 49}},
     {Is(&S::LieStress, 98), Is(&S::GlbStress, 147)}},
    // Jump deviation -0.6: lie stress Int(40); thorn deviation -0.72: excitement 63.8; global
    // Int(10); lie stress Int(34 + 4.1) - 59.
    {"low levels are raised to thirty",
     {{&S::CalSpJ, -10}, {&S::CalSpT, -20}, {&S::JumpSpread, 5}, {&S::CalJQ, 50}},
     {Is(&S::LieStress, 30), Is(&S::GlbStress, 30),
      Near(&S::ExcStress, (-2.1 / 2.9 / 2 + 1) * 100, 1e-9)}},
    {"excitement keeps its fraction (73 / 40 = 1.825: a thorn deviation of 0.25)",
     {{&S::CalSpT, 73}, {&S::ThornRate, 40}},
     {Close(&S::ExcStress, 112.5)}},

    // Resume on error: a failing statement is skipped and its target keeps its value.
    {"without a calibrated mean jump length (5 / 0 fails) the deviation stays uncorrected "
     "(Int(200), Int(170 + 15), + 0)",
     {{&S::CalSpJ, 36}, {&S::CalAvJ, 0}},
     {Close(&S::JumpDeviation, 1), Is(&S::LieStress, 185)}},
    {"without a calibrated spread global stress is the spread alone (100 + Int(50 * 1.3))",
     {{&S::CalJQ, 0}},
     {Is(&S::GlbStress, 50), Is(&S::LieStress, 165)}},
    {"a spread not above ten then stays 0 and is raised to 30",
     {{&S::CalJQ, 0}, {&S::JumpSpread, 8}},
     {Is(&S::GlbStress, 30)}},
    // td = 3.4e307: (td + 1) * 15 and (td / 2 + 1) * 100 overflow, so the lie stress keeps its
    // first value and the excitement stays 0 until the clamp.
    {"an overflowing statement is skipped",
     {{&S::CalSpT, 1e308}, {&S::ThornRate, 1}},
     {Is(&S::LieStress, 100), Is(&S::ExcStress, 30), Is(&S::GlbStress, 150)}},
    // 11 / 1e-308 overflows: jd stays 4e307, clamped; (50 + 1.5e308) * 1.3 overflows: no
    // spread term. Lie stress Int(220), Int(187 + 15).
    {"no overflow reaches the caller",
     {{&S::CalSpJ, 1e308},
      {&S::JumpRate, 1},
      {&S::AvgJumpLen, 11},
      {&S::CalAvJ, 1e-308},
      {&S::CalJQ, -1.5e308}},
     {Is(&S::JumpDeviation, 1.2), Is(&S::LieStress, 202)}},
};

TEST_F(StressTest, EachCaseLeavesItsLevelsDeviationsAndResolutions) {
  for (const StressCase& c : kStressCases) {
    SCOPED_TRACE(c.what);
    SetUp();
    Apply(s, c.change);
    EXPECT_NO_THROW(ComputeStress());
    ExpectState(s, c.expected);
  }
}

// Early stops: the three levels read 0, deviations, resolutions and the rates keep their
// values (a missing rate is not replaced by 1 after a stop).
const std::pair<const char*, StateChange> kStops[] = {
    {"mean jump length below 2", {{&S::AvgJumpLen, 1.9}}},
    {"mean jump length above 11", {{&S::AvgJumpLen, 11.1}}},
    {"no thorns and no jumps", {{&S::ThornRate, 0}, {&S::JumpRate, 0}}},
    {"no samples", {{&S::SampleCount, 0}}},
    {"a zero jump break point", {{&S::JumpBreakpoint, 0}}},
    {"a zero thorn break point", {{&S::ThornBreakpoint, 0}}},
};

TEST_F(StressTest, EarlyStopsZeroTheLevelsAndKeepTheRest) {
  for (const auto& [what, change] : kStops) {
    SCOPED_TRACE(what);
    SetUp();
    MarkOutputs();
    Apply(s, change);
    const double thorn_rate = s.ThornRate;
    const double jump_rate = s.JumpRate;
    ComputeStress();
    ExpectStoppedWithOutputsKept();
    EXPECT_EQ(s.ThornRate, thorn_rate);
    EXPECT_EQ(s.JumpRate, jump_rate);
  }
}

}  // namespace
}  // namespace pellix::testing
