// Calibrate: recording calibration rows and keeping the constants, "Resolution" and
// "Break points" rows of the panel.
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "analysis_fixture.h"
#include "engine/tarvo_alg1.h"
#include "error_of.h"
#include "platform/error.h"
#include "take_builder.h"

namespace {

using pellix::Value;
using pellix::testing::ErrorOf;
using pellix::testing::TakeBuilder;
using Row = std::array<std::string, 4>;  // SPT, SPJ, JQ, AVJ

// Two flics of six thorns and jumps of 4 and 6: thorn rate 6 / 300 * 3000 = 60, jump rate 20,
// mean jump length 5, spread sqrt(2 * 1 + 2 * 1) = 2.
TakeBuilder Take60() {
  return TakeBuilder().Flic(6, {4, 6}).Flic(6, {4, 6});
}

class CalibrateTest : public pellix::testing::ControlFixture, public ::testing::Test {
 protected:
  CalibrateTest() { UseTakeSettings(); }

  void SetRow(std::size_t i, const Row& row) {
    auto& p = control.panel();
    p.SPT[i].set_caption(row[0]);
    p.SPJ[i].set_caption(row[1]);
    p.JQ[i].set_caption(row[2]);
    p.AVJ[i].set_caption(row[3]);
  }
  // Rows by number, each as SetRow sets it.
  void SetRows(std::initializer_list<std::pair<std::size_t, Row>> rows) {
    for (const auto& [i, row] : rows) SetRow(i, row);
  }
  // Each row by number reads as given.
  void ExpectRows(std::initializer_list<std::pair<std::size_t, Row>> rows) {
    for (const auto& [i, row] : rows) EXPECT_EQ(GetRow(i), row) << "row " << i;
  }
  Row GetRow(std::size_t i) {
    auto& p = control.panel();
    return {p.SPT[i].caption(), p.SPJ[i].caption(), p.JQ[i].caption(), p.AVJ[i].caption()};
  }

  // Runs Calibrate on `take`, keeping only the notifications it sends.
  void Calibrate(const std::vector<std::uint8_t>& file) {
    UseFile("take.smp", file);
    site.names.clear();
    control.Calibrate();
  }

  Tarvo_alg1::SharedState& s = control.engine_state();
};

TEST_F(CalibrateTest, ThirdCalibrationAveragesAndDerivesTheRows) {
  SetRows({{0, {"40", "20", "4", "5"}},
           {1, {"50", "30", "6", "7"}},
           {5, {"120", "120", "120", "b"}},
           {6, {"0", "0", "0", "r"}}});
  s.ResultCode = Value::Integer(3);
  UseFile("take.smp", Take60().File());
  site.names.clear();
  // What the container can read when it is told of each constant.
  std::vector<std::string> seen;
  site.on_change = [&](std::string_view name) {
    seen.push_back(std::string(name) + "=" + control.get<"CAL_spT">() + "," +
                   control.get<"CAL_spJ">() + "," + control.get<"CAL_JQ">() + "," +
                   control.get<"CAL_AVJ">());
  };

  control.Calibrate();

  ExpectRows({{8, {"60", "20", "2", "5"}}, {2, {"60", "20", "2", "5"}}});
  // 50 / 40, 30 / 20, 6 / 4 over the earlier rows only.
  EXPECT_EQ(GetRow(6), (Row{"1.25", "1.5", "1.5", "r"}));
  // Averages 150 / 3, 70 / 3, 12 / 3, 17 / 3, first as number text, then whole.
  EXPECT_EQ(GetRow(7), (Row{"50", "23", "4", "5"}));
  // 50 / 50, 30 / 23, 6 / 4 in percent.
  EXPECT_EQ(GetRow(5), (Row{"100", "130", "150", "b"}));
  EXPECT_EQ(site.names, (std::vector<std::string>{"CAL_spT", "CAL_spJ", "CAL_JQ", "CAL_AVJ"}));
  // Each constant is notified with the average as number text; the others still hold what
  // they held before (here the seeded "0" and the averages already set).
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0], "CAL_spT=50,0,0,0");
  EXPECT_EQ(seen[1], "CAL_spJ=50,23.3333333333333,0,0");
  EXPECT_EQ(seen[2], "CAL_JQ=50,23.3333333333333,4,0");
  EXPECT_EQ(seen[3], "CAL_AVJ=50,23.3333333333333,4,5.66666666666667");
  EXPECT_EQ(control.get<"CR_msgX">(), "0");
  EXPECT_EQ(s.ResultCode, Value::Integer(3));  // success leaves the code alone
}

TEST_F(CalibrateTest, FirstCalibrationAfterAResetSetsTheConstantsToTheTake) {
  control.ResetAll();
  Calibrate(Take60().File());
  EXPECT_EQ(GetRow(0), (Row{"60", "20", "2", "5"}));
  EXPECT_EQ(GetRow(1)[0], "0");
  ExpectRows(
      {{7, {"60", "20", "2", "5"}}, {5, {"120", "120", "120", "0"}}, {6, {"0", "0", "0", "0"}}});
  EXPECT_EQ(site.names, (std::vector<std::string>{"CAL_spT", "CAL_spJ", "CAL_JQ", "CAL_AVJ"}));
}

TEST_F(CalibrateTest, SecondCalibrationAveragesTwoButLeavesTheDerivedRows) {
  SetRows({{0, {"40", "20", "4", "5"}},
           {5, {"111", "112", "113", "114"}},
           {6, {"2.22", "2.23", "2.24", "2.25"}}});
  Calibrate(Take60().File());
  ExpectRows({{1, {"60", "20", "2", "5"}},
              {7, {"50", "20", "3", "5"}},
              {5, {"111", "112", "113", "114"}},
              {6, {"2.22", "2.23", "2.24", "2.25"}}});
}

TEST_F(CalibrateTest, SixthCalibrationRecordsNothingButAveragesSix) {
  SetRows({{0, {"40", "10", "2", "5"}},
           {1, {"50", "20", "3", "5"}},
           {2, {"60", "30", "4", "5"}},
           {3, {"70", "40", "5", "5"}},
           {4, {"80", "50", "6", "5"}}});
  Calibrate(Take60().File());
  ExpectRows({{4, {"80", "50", "6", "5"}}, {8, {"60", "20", "2", "5"}}});
  // 360 / 6, 170 / 6 = 28.3, 22 / 6 = 3.7, 30 / 6.
  EXPECT_EQ(GetRow(7), (Row{"60", "28", "3", "5"}));
  EXPECT_EQ(GetRow(6)[0], "2");    // 80 / 40
  EXPECT_EQ(GetRow(6)[1], "5");    // 50 / 10
  EXPECT_EQ(GetRow(6)[2], "3");    // 6 / 2
  EXPECT_EQ(GetRow(5)[0], "133");  // 80 / 60
  EXPECT_EQ(GetRow(5)[1], "178");  // 50 / 28
  EXPECT_EQ(GetRow(5)[2], "200");  // 6 / 3
}

TEST_F(CalibrateTest, ResolutionIsTheTrueSpreadOfLargeValues) {
  // The smallest recorded value is the divisor, even above 100: 200 / 150, not 200 / 100.
  SetRows({{0, {"150", "20", "4", "5"}}, {1, {"200", "30", "6", "5"}}});
  Calibrate(Take60().File());
  EXPECT_EQ(GetRow(6)[0], "1.33");
  // (150 + 200 + 60) / 3 = 136.7, kept as 136; 200 / 136 = 147 %.
  EXPECT_EQ(GetRow(7)[0], "136");
  EXPECT_EQ(GetRow(5)[0], "147");
}

// Takes that are refused.

TEST_F(CalibrateTest, NeedsFourHundredFiftySamples) {
  const TakeBuilder take = TakeBuilder().Flic(6, {4, 4, 6, 6});
  SetRow(8, {"r", "r", "r", "r"});
  Calibrate(take.File(449));
  EXPECT_EQ(control.get<"CR_msgX">(), "-1");
  EXPECT_EQ(s.ResultCode, Value::Integer(-1));
  EXPECT_EQ(GetRow(8), (Row{"r", "r", "r", "r"}));  // refused before the scan
  EXPECT_EQ(GetRow(0)[0], "0");
  EXPECT_TRUE(site.names.empty());

  // One flic: 60 thorns, 4 jumps in 300 samples give 40.
  Calibrate(take.File(450));
  EXPECT_EQ(control.get<"CR_msgX">(), "0");
  EXPECT_EQ(GetRow(0), (Row{"60", "40", "2", "5"}));
}

TEST_F(CalibrateTest, AZeroJumpRateIsRefusedAfterTheResultsAreShown) {
  // Flic 2 is empty, so only flic 1 (thorns, no jumps) enters the rates; the jumps of flic 3
  // still give the mean and the spread.
  const TakeBuilder take = TakeBuilder().Flic(6).EmptyFlic().Flic(0, {4, 4, 6, 6});
  Calibrate(take.File());
  EXPECT_EQ(GetRow(8), (Row{"60", "0", "2", "5"}));
  EXPECT_EQ(control.get<"CR_msgX">(), "-1");
  EXPECT_EQ(s.ResultCode, Value::Integer(-1));
  EXPECT_EQ(GetRow(0)[0], "0");
  EXPECT_EQ(GetRow(7), (Row{"0", "0", "0", "0"}));
  EXPECT_TRUE(site.names.empty());
}

TEST_F(CalibrateTest, AFailedCalibrationShowsMinusOneUntilTheNextOne) {
  Calibrate(TakeBuilder().Flic(6, {4, 4, 6, 6}).File(449));
  EXPECT_EQ(control.get<"CR_msgX">(), "-1");
  Calibrate(Take60().File());
  EXPECT_EQ(control.get<"CR_msgX">(), "0");
}

// Errors.

TEST_F(CalibrateTest, ARecordedRowThatIsNoNumberReachesTheHost) {
  // Row 1 reads leniently as 12, but the free test reads it strictly.
  SetRows({{0, {"40", "20", "4", "5"}}, {1, {"12abc", "20", "4", "5"}}});
  EXPECT_EQ(ErrorOf([&] { Calibrate(Take60().File()); }), pellix::kTypeMismatch);
  EXPECT_EQ(GetRow(8), (Row{"60", "20", "2", "5"}));  // shown before the walk
  EXPECT_EQ(GetRow(2)[0], "0");
  EXPECT_TRUE(site.names.empty());
}

TEST_F(CalibrateTest, AFileThatCannotBeReadReachesTheHost) {
  control.put_DATAstr("missing.smp");
  control.panel().LBL_MSG.set_caption("-1");
  EXPECT_EQ(ErrorOf([&] { control.Calibrate(); }), pellix::kFileNotFound);
  EXPECT_EQ(control.get<"CR_msgX">(), "0");
}

TEST_F(CalibrateTest, AFailedRatioWritesZeroAndTheCalibrationGoesOn) {
  // A recorded jump rate of 0 (the row is not free: its thorn rate is 40) makes the smallest
  // jump rate 0, and the jump constant (0 + 0 + 1 + 1) / 4 = 0.5 keeps the whole number 0:
  // both jump ratios divide by zero. Each is skipped and its cell reads "0".
  SetRows({{0, {"40", "0", "4", "5"}},
           {1, {"50", "0", "6", "5"}},
           {2, {"45", "1", "5", "5"}},
           {5, {"120", "130", "120", "0"}},
           {6, {"0", "7.5", "0", "0"}}});
  // Nine flics of six thorns carry one jump of 5 between them: jump rate Int(1.11) = 1. After
  // the empty tenth flic, two jumps each of 4 and 6 make the mean 5 and the spread 2.
  TakeBuilder take;
  take.Flic(6, {5});
  for (int f = 2; f <= 9; ++f) take.Flic(6);
  take.EmptyFlic().Flic(0, {4, 4, 6, 6});
  Calibrate(take.File());

  EXPECT_EQ(control.get<"CR_msgX">(), "0");
  ExpectRows({{3, {"60", "1", "2", "5"}}, {6, {"1.25", "0", "1.5", "0"}}});
  // 195 / 4 = 48.75, 2 / 4, 17 / 4 = 4.25, 20 / 4.
  EXPECT_EQ(GetRow(7), (Row{"48", "0", "4", "5"}));
  EXPECT_EQ(GetRow(5), (Row{"104", "0", "150", "0"}));  // 50 / 48, -, 6 / 4
}

}  // namespace
