// DecideVerdict: result codes from the stress levels and deviations.
#include <gtest/gtest.h>

#include <vector>

#include "engine/tarvo_alg1.h"
#include "engine_state.h"
#include "error_of.h"
#include "platform/error.h"
#include "state_expectations.h"

namespace pellix::testing {
namespace {

// The levels that set the flags (global stress, jump deviation, excitement), and the score and
// code they give.
struct ScoreCase {
  double global;
  double jump_deviation;
  double excitement;
  double score;
  int code;
};

// The analysis constants as Initalize loads them: truth floor 50, band 120 to 160, sarcasm
// window 0.15 to 0.45, confusion above 0.6, manipulation above 0.9.
class VerdictTest : public EngineStateTest {
 protected:
  void SetUp() override {
    ResetState();
    Tarvo_alg1::LoadAnalysisConstants(s);
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

  void DecideVerdict() { Tarvo_alg1::DecideVerdict(s); }

  // The unremarkable take with `c`'s global stress, jump deviation and excitement: its score and
  // its code.
  void ExpectScoreAndCode(const ScoreCase& c) {
    SetUp();
    s.GlbStress = c.global;
    s.JumpDeviation = c.jump_deviation;
    s.ExcStress = c.excitement;
    DecideVerdict();
    EXPECT_EQ(s.VerdictScore, c.score)
        << c.global << " " << c.jump_deviation << " " << c.excitement;
    EXPECT_EQ(s.ResultCode, Code(c.code))
        << c.global << " " << c.jump_deviation << " " << c.excitement;
  }
};

// A change to the unremarkable take, the code DecideVerdict gives, and what else it leaves.
struct VerdictCase {
  const char* what;
  StateChange change;
  int code;
  std::vector<StateExpectation> expected = {};
};

const VerdictCase kVerdictCases[] = {
    {"an unremarkable take is truth",
     {},
     1,
     {Is(&S::VerdictScore, 1), Is(&S::LowDeviationCount, 0)}},

    // Early stops say "no conclusion" instead of repeating the earlier verdict.
    {"deviations never computed (11 differs from Int(10))",
     {{&S::ThornDeviation, 0}, {&S::JumpDeviation, 0}},
     0},
    {"zero deviations on a matching jump rate (Int(10.7) = 10) are judged",
     {{&S::ThornDeviation, 0}, {&S::JumpDeviation, 0}, {&S::CalSpJ, 10}, {&S::JumpRate, 10.7}},
     1},
    {"a stopped stress computation: no global stress", {{&S::GlbStress, 0}}, 0},
    {"a stopped stress computation: no lie stress", {{&S::LieStress, 0}}, 0},
    {"a stopped stress computation: no excitement", {{&S::ExcStress, 0}}, 0},
    {"a lie stress below ten", {{&S::LieStress, 9}}, 0, {Is(&S::LieStress, 9)}},

    // The truth floor, 50.
    {"far below the truth floor (floor - 20) the lie stress is mirrored",
     {{&S::LieStress, 30}},
     8,
     {Is(&S::LieStress, 170)}},
    {"farther below, mirrored higher", {{&S::LieStress, 10}}, 8, {Is(&S::LieStress, 190)}},
    {"exactly floor - 10 is sarcasm, not mirrored",
     {{&S::LieStress, 40}},
     2,
     {Is(&S::LieStress, 40)}},
    {"just below the truth floor is sarcasm", {{&S::LieStress, 49}}, 2},
    {"at the truth floor the take is judged", {{&S::LieStress, 50}}, 1},

    // The band (120 to 160) and the thorn deviation.
    {"above the band is a lie, tested before the thorn deviation that would give 9",
     {{&S::LieStress, 161}, {&S::ThornDeviation, 2}},
     7},
    {"the band's lower edge is exaggeration", {{&S::LieStress, 120}}, 8, {Is(&S::LieStress, 120)}},
    {"inside the band is exaggeration", {{&S::LieStress, 140}}, 8, {Is(&S::LieStress, 140)}},
    {"the band's upper edge is exaggeration", {{&S::LieStress, 160}}, 8, {Is(&S::LieStress, 160)}},
    {"just below the band is truth", {{&S::LieStress, 119}}, 1},
    {"a thorn deviation of two is trauma", {{&S::ThornDeviation, 2}}, 9},
    {"just below two it is not", {{&S::ThornDeviation, 1.99}}, 1},
    // -0.6 is a level of 40, very low and below 55: it counts once and reads 0.1 from then on,
    // so it never reaches 9. The jump deviation 0.2 inside the sarcasm window decides.
    {"a very low thorn deviation is replaced before the trauma test",
     {{&S::ThornDeviation, -0.6}},
     2,
     {Is(&S::ThornDeviation, 0.1), Is(&S::LowDeviationCount, 1)}},

    // Very low deviations.
    {"a jump level of 65 ((1 - 0.35) * 100) is not very low",
     {{&S::JumpDeviation, -0.35}},
     1,
     {Is(&S::JumpDeviation, -0.35)}},
    {"a jump level of 64 is replaced by 0.1, but not below 55, so not counted",
     {{&S::JumpDeviation, -0.36}},
     1,
     {Is(&S::JumpDeviation, 0.1), Is(&S::LowDeviationCount, 0)}},
    {"a jump level of 55.000000000000007 is not below 55 either",
     {{&S::JumpDeviation, -0.45}},
     1,
     {Is(&S::JumpDeviation, 0.1), Is(&S::LowDeviationCount, 0)}},
    {"both deviations very low is sarcasm",
     {{&S::JumpDeviation, -0.5}, {&S::ThornDeviation, -0.5}},
     2,
     {Is(&S::LowDeviationCount, 2)}},
    {"flags overrule very low deviations (excitement: score 5)",
     {{&S::JumpDeviation, -0.5}, {&S::ThornDeviation, -0.5}, {&S::ExcStress, 140}},
     3},
};

TEST_F(VerdictTest, EachCaseGivesItsCode) {
  for (const VerdictCase& c : kVerdictCases) {
    SCOPED_TRACE(c.what);
    SetUp();
    Apply(s, c.change);
    DecideVerdict();
    EXPECT_EQ(s.ResultCode, Code(c.code));
    ExpectState(s, c.expected);
  }
}

TEST_F(VerdictTest, NoConclusionReplacesAnUnsetCodeToo) {
  s.ResultCode = Value();
  s.GlbStress = 0;
  DecideVerdict();
  EXPECT_EQ(s.ResultCode, Code(0));
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
  for (const ScoreCase& c : cases) ExpectScoreAndCode(c);
}

TEST_F(VerdictTest, FlagLimitsAreStrict) {
  const ScoreCase cases[] = {
      {100, 0.6, 100, 1, 1},  // not above the confusion limit
      {100, 0.9, 100, 9, 4},  // confusion, not manipulation
      {100, 0.2, 120, 1, 1},  // excitement at the band's lower edge: no flag
      {100, 0.2, 160, 5, 3},  // at the upper edge: excitement, not high excitement
      {120, 0.2, 100, 0, 1},  // global stress at the band: not "no stress"
  };
  for (const ScoreCase& c : cases) ExpectScoreAndCode(c);
}

TEST_F(VerdictTest, AnOverflowReachesTheCaller) {
  // A thorn deviation near the double range (from an absurd calibration) overflows the level
  // test; the verdict does not resume on error.
  s.ThornDeviation = 1e307;
  EXPECT_EQ(ErrorOf([&] { DecideVerdict(); }), pellix::kOverflow);
}

}  // namespace
}  // namespace pellix::testing
