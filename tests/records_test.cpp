// A published code's caption and the code it names, the one rule for a refused take, a
// published figure's caption and its number, and the tally every face's summary counts with.
#include "analysis/records.h"

#include <gtest/gtest.h>

#include <cmath>

namespace pellix::analysis {
namespace {

TEST(PublishedCode, NamesOnlyTheCodesTheControlPublishesAndRefusesMinusOneAndMinusTwo) {
  const struct {
    const char* caption;
    std::optional<int> value;
    bool refused;
  } cases[] = {
      {"-2", -2, true},  // a check without analysis constants
      {"-1", -1, true},  // too short or silent; a calibration take rejected
      {"0", 0, false},
      {"1", 1, false},
      {"9", 9, false},
      {"10", {}, false},
      {"-3", {}, false},
      {"", {}, false},
      {"-1.0", {}, false},  // the control's caption is
                            // "-1", never a fraction
      {" -1", {}, false},
      {"-1 ", {}, false},
      {"x", {}, false},
  };
  for (const auto& c : cases) {
    const PublishedCode code(c.caption);
    EXPECT_EQ(code.caption(), c.caption);
    EXPECT_EQ(code.value(), c.value) << c.caption;
    EXPECT_EQ(code.refused(), c.refused) << c.caption;
  }
}

TEST(PublishedFigure, ReadsTheCaptionAsThePlatformReadsANumberStrictly) {
  const struct {
    const char* caption;
    std::optional<double> value;
  } cases[] = {
      {"12.5", 12.5},   // as the control prints its figures
      {"-3", -3.0},     // a whole one
      {"1E-05", 1e-5},  // a small one, as the platform prints it
      {"1E+15", 1e15},  // a large one
      {" 7 ", 7.0},     // blanks stand around a number, not inside it
      {"&H1F", 31.0},   // a host may put one in hexadecimal
      {"", {}},         // a cell never written
      {"1.#INF", {}},   // infinity is no number here
      {"1e400", {}},    // beyond a double
      {"12,5", {}},     // a comma is no decimal point
      {"1 2", {}},     {"abc", {}},
  };
  for (const auto& c : cases) {
    const PublishedFigure figure(c.caption);
    EXPECT_EQ(figure.caption(), c.caption);
    EXPECT_EQ(figure.value(), c.value) << c.caption;
  }
  // A negative zero a host put keeps its sign, and the caption that shows it.
  const PublishedFigure zero("-0");
  ASSERT_TRUE(zero.value());
  EXPECT_TRUE(std::signbit(*zero.value()));
  EXPECT_EQ(zero.caption(), "-0");
}

CheckRecord Check(const char* code) {
  return {"", "c.wav", code, {}, {}, {}};
}
CalibrationRecord Calibration(const char* code) {
  return {"", "k.wav", code, {}, {}, {}};
}
FailureRecord Failure(FailureRole role) {
  return {"", role, "x.wav", 53, "cannot open"};
}

TEST(TakeTally, CountsEachRecordByTheOneRule) {
  const struct {
    Record record;
    std::size_t calibrations, rejected, checks, refused, failed;
  } cases[] = {
      {Calibration("0"), 1, 0, 0, 0, 0},
      {Calibration("-1"), 1, 1, 0, 1, 0},  // calibration refused
      {Check("-1"), 0, 0, 1, 1, 0},        // check refused
      {Check("-2"), 0, 0, 1, 1, 0},        // not analysed: refused too
      {Check("0"), 0, 0, 1, 0, 0},
      {Check("7"), 0, 0, 1, 0, 0},
      {Check("?"), 0, 0, 1, 0, 0},  // no code: analysed, not refused
      {Failure(FailureRole::kCalibrate), 0, 0, 0, 0, 1},
      {Failure(FailureRole::kCheck), 0, 0, 0, 0, 1},
      {Failure(FailureRole::kState), 0, 0, 0, 0, 0},  // no take failed
      {Failure(FailureRole::kProfile), 0, 0, 0, 0, 0},
      {Failure(FailureRole::kPlot), 0, 0, 0, 0, 0},
      {ProfileRecord{"", "0", 3}, 0, 0, 0, 0, 0},
  };
  TakeTally all;
  for (const auto& c : cases) {
    TakeTally one;
    one.Add(c.record);
    all.Add(c.record);
    EXPECT_EQ(one.calibrations, c.calibrations) << &c - cases;
    EXPECT_EQ(one.rejected, c.rejected) << &c - cases;
    EXPECT_EQ(one.checks, c.checks) << &c - cases;
    EXPECT_EQ(one.refused, c.refused) << &c - cases;
    EXPECT_EQ(one.failed, c.failed) << &c - cases;
  }
  // 2 calibrations, 5 checks and 2 failed takes; refused: 1 calibration and 2 checks.
  EXPECT_EQ(all.takes(), 9u);
  EXPECT_EQ(all.accepted(), 1u);
  EXPECT_EQ(all.refused, 3u);
}

TEST(FailureRecord, RoleNamesAsTheReportsWriteThem) {
  const std::pair<FailureRole, const char*> cases[] = {{FailureRole::kCalibrate, "calibrate"},
                                                       {FailureRole::kCheck, "check"},
                                                       {FailureRole::kProfile, "profile"},
                                                       {FailureRole::kState, "state"},
                                                       {FailureRole::kPlot, "plot"}};
  for (const auto& [role, name] : cases) EXPECT_EQ(RoleName(role), name);
}

}  // namespace
}  // namespace pellix::analysis
