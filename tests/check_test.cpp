// Check: one utterance measured against the calibration, published, recorded in the history,
// and the calibration moved towards it.
#include <gtest/gtest.h>

#include <array>
#include <string>
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
using Names = std::vector<std::string>;
using HistoryRow = std::array<std::int16_t, 5>;  // columns 1 to 5

// Five flics with 8 thorns and 16 jumps between them: ten of length 2, five of 25, one of 19.
// Thorn rate Int(8 / 5 / 300 * 3000) = 16, jump rate 32, mean jump length 164 / 16 = 10.25,
// spread sqrt(10 * 8.25 + 5 * 14.75) = sqrt(156.25) = 12.5 (the single 19 has no share).
TakeBuilder TakeA(int thorns_per_flic = 2) {
  const int last_two = thorns_per_flic == 2 ? 1 : thorns_per_flic;
  return TakeBuilder()
      .Flic(thorns_per_flic, {25, 2, 2, 19})
      .Flic(thorns_per_flic, {25, 2, 2})
      .Flic(thorns_per_flic, {25, 2, 2})
      .Flic(last_two, {25, 2, 2})
      .Flic(last_two, {25, 2, 2});
}

// Shortest jump 2, longest 30, background border 0, volume (gain) 3.
const std::string kParameters =
    std::string("PLX") + "02" + "30" + "00" + "0" + "00" + "00" + "03" + "00";

class CheckTest : public pellix::testing::ControlFixture, public ::testing::Test {
 protected:
  CheckTest() {
    control.put_DATAstr(kParameters);
    control.Initalize();
    // Against take A: the jump rate matches (35.2 = 1.1 x 32), the thorn rate is high.
    SetCalibration("10", "35.2", "20", "5");
    control.panel().SPT[6].set_caption("2");
    control.panel().SPJ[6].set_caption("2");
  }

  void SetCalibration(const std::string& spt, const std::string& spj, const std::string& jq,
                      const std::string& avj) {
    control.put<"CAL_spT">(spt);
    control.put<"CAL_spJ">(spj);
    control.put<"CAL_JQ">(jq);
    control.put<"CAL_AVJ">(avj);
  }

  // Runs Check on `file`, keeping only the notifications it sends.
  void Check(const std::vector<std::uint8_t>& file) {
    UseFile("take.smp", file);
    site.names.clear();
    control.Check();
  }

  std::array<std::string, 4> Results() {
    auto& p = control.panel();
    return {p.SPT[8].caption(), p.SPJ[8].caption(), p.JQ[8].caption(), p.AVJ[8].caption()};
  }
  HistoryRow History(std::size_t row) {
    const auto& r = control.profile_table()[row];
    return {r[1], r[2], r[3], r[4], r[5]};
  }
  std::array<std::string, 4> Published() {
    return {control.get<"LIEstress">(), control.get<"GLBstress">(), control.get<"EXCstress">(),
            control.get<"CR_msgX">()};
  }

  Tarvo_alg1::SharedState& s = control.engine_state();
};

TEST_F(CheckTest, ChecksATakeAgainstTheCalibration) {
  Check(TakeA().File());

  // Jump deviation 0, thorn deviation (10 / 16 - 1.1) / 2.9 = -0.164: global stress
  // Int(62.5) + 12.5 = 74.5, lie stress Int(85 + 12.54) + Int(-9.75) = 87, excitement 91.8.
  EXPECT_EQ(Results(), (std::array<std::string, 4>{"16", "32", "12.5", "10.25"}));
  EXPECT_EQ(Published(), (std::array<std::string, 4>{"87", "74", "91", "1"}));
  EXPECT_EQ(control.panel().SPT[6].caption(), "2");    // td outside the window
  EXPECT_EQ(control.panel().SPJ[6].caption(), "1.9");  // jd 0: one step down
  // The history rounds half to even: 74.5 to 74, 91.8 to 92, 10.25 to 10.
  EXPECT_EQ(control.profile_count(), 1);
  EXPECT_EQ(History(0), (HistoryRow{87, 74, 92, 1, 10}));
  // Drift: (10 x 5 + 16) \ 6 = 11; (35.2 x 5 + 32) \ 6 = 34; (20 x 5 + 12.5) rounds to 112,
  // \ 6 = 18. CAL_AVJ stays.
  EXPECT_EQ(control.get<"CAL_spT">(), "11");
  EXPECT_EQ(control.get<"CAL_spJ">(), "34");
  EXPECT_EQ(control.get<"CAL_JQ">(), "18");
  EXPECT_EQ(control.get<"CAL_AVJ">(), "5");
  // Only the calibration drift is notified.
  EXPECT_EQ(site.names, (Names{"CAL_spT", "CAL_spJ", "CAL_JQ"}));
}

TEST_F(CheckTest, NeedsEightHundredSamples) {
  const TakeBuilder take = TakeBuilder().Flic(2, {25, 2, 2}).Flic(2, {25, 2, 2});
  control.panel().LBL_LIE.set_caption("55");
  s.ResultCode = Value::Integer(5);

  Check(take.File(799));
  EXPECT_EQ(control.get<"CR_msgX">(), "-1");
  EXPECT_EQ(control.get<"LIEstress">(), "55");
  EXPECT_EQ(s.ResultCode, Value::Integer(5));
  EXPECT_EQ(Results(), (std::array<std::string, 4>{"0", "0", "0", "0"}));
  EXPECT_EQ(control.profile_count(), 0);
  EXPECT_TRUE(site.names.empty());

  Check(take.File(800));
  EXPECT_NE(control.get<"CR_msgX">(), "-1");
  EXPECT_NE(control.get<"LIEstress">(), "55");
  EXPECT_EQ(control.profile_count(), 1);
}

TEST_F(CheckTest, ASilentTakeIsMinusOneAndNotRecorded) {
  // Thorns but no jumps: the scan zeroes all four measures.
  Check(TakeBuilder().Flic(6).Flic(6).Flic(6).File());
  EXPECT_EQ(Results(), (std::array<std::string, 4>{"0", "0", "0", "0"}));
  EXPECT_EQ(control.get<"CR_msgX">(), "-1");
  EXPECT_EQ(s.ResultCode, Value::Integer(-1));
  EXPECT_EQ(control.profile_count(), 0);
  EXPECT_EQ(control.get<"CAL_spT">(), "10");
  EXPECT_TRUE(site.names.empty());
}

TEST_F(CheckTest, AMissingThornRateDriftsWithOne) {
  // No thorns but jumps: not silent. The Results row shows the 0, the stress computation
  // measures with 1 and the drift uses that 1: (10 x 5 + 1) \ 6 = 8.
  Check(TakeA(0).File());
  EXPECT_EQ(Results(), (std::array<std::string, 4>{"0", "32", "12.5", "10.25"}));
  EXPECT_EQ(s.ThornRate, 1);
  EXPECT_EQ(control.get<"CAL_spT">(), "8");
}

TEST_F(CheckTest, AMirroredLieStressIsPublishedAndRecorded) {
  // A jump constant of -20 against 32 clamps the jump deviation to -0.6 (the mean jump lengths
  // agree, so it is not shrunk): lie stress Int(40), Int(34 + 12.54) = 46, - 10 = 36, below
  // TruthFloor - 10, mirrored to 164 with code 8.
  SetCalibration("10", "-20", "20", "10.25");
  Check(TakeA().File());
  EXPECT_EQ(Published(), (std::array<std::string, 4>{"164", "74", "91", "8"}));
  EXPECT_EQ(History(0), (HistoryRow{164, 74, 92, 8, 10}));
  EXPECT_EQ(control.get<"CAL_spJ">(), "-11");  // (-100 + 32) \ 6, truncated toward zero
}

TEST_F(CheckTest, ExcitementIsShownWholeButRecordedRoundedHalfToEven) {
  // A thorn constant c against the thorn rate 16 gives excitement ((c / 16 - 1.1) / 2.9 / 2
  // + 1) x 100: 29.3856 gives 112.7, 29.2 gives 112.5, 30.128 gives 113.5.
  struct Case {
    const char* constant;
    const char* shown;
    std::int16_t stored;
  };
  const Case cases[] = {{"29.3856", "112", 113}, {"29.2", "112", 112}, {"30.128", "113", 114}};
  std::size_t row = 0;
  for (const Case& c : cases) {
    SetCalibration(c.constant, "35.2", "20", "5");
    Check(TakeA().File());
    EXPECT_EQ(control.get<"EXCstress">(), c.shown) << c.constant;
    EXPECT_EQ(History(row)[2], c.stored) << c.constant;
    ++row;
  }
}

TEST_F(CheckTest, AStoppedComputationPublishesZerosAndNoConclusion) {
  // A "Break points" cell of 0 stops the stress computation; the verdict then says "no
  // conclusion" rather than repeating the earlier code 7. The rest of Check still runs.
  control.panel().SPT[5].set_caption("0");
  s.ResultCode = Value::Integer(7);
  Check(TakeA().File());
  EXPECT_EQ(Published(), (std::array<std::string, 4>{"0", "0", "0", "0"}));
  EXPECT_EQ(History(0), (HistoryRow{0, 0, 0, 0, 10}));
  EXPECT_EQ(control.panel().SPT[6].caption(), "2");  // not adapted
  EXPECT_EQ(control.panel().SPJ[6].caption(), "2");
  EXPECT_EQ(control.get<"CAL_spT">(), "11");
  EXPECT_EQ(site.names, (Names{"CAL_spT", "CAL_spJ", "CAL_JQ"}));
}

TEST_F(CheckTest, AStoppedComputationNeverPublishesAnEmptyCode) {
  control.panel().SPJ[5].set_caption("0");
  ASSERT_TRUE(s.ResultCode.is_empty());
  Check(TakeA().File());
  EXPECT_EQ(control.get<"CR_msgX">(), "0");
}

TEST_F(CheckTest, HistoryRowIndexSaturatesAt999) {
  const std::vector<std::uint8_t> file = TakeA().File();
  for (int i = 0; i < 999; ++i) Check(file);
  EXPECT_EQ(control.profile_count(), 999);
  const HistoryRow row998 = History(998);

  // The 1000th check writes row 999 and the count stays 999; the 1001st rewrites row 999.
  SetCalibration("10", "35.2", "20", "5");
  Check(file);
  EXPECT_EQ(control.profile_count(), 999);
  EXPECT_EQ(History(999), (HistoryRow{87, 74, 92, 1, 10}));

  SetCalibration("10", "-20", "20", "10.25");
  Check(file);
  EXPECT_EQ(control.profile_count(), 999);
  EXPECT_EQ(History(999), (HistoryRow{164, 74, 92, 8, 10}));
  EXPECT_EQ(History(998), row998);
  EXPECT_EQ(History(1000), (HistoryRow{0, 0, 0, 0, 0}));
}

// Failures.

TEST_F(CheckTest, WithoutAnalysisConstantsTheCheckStopsWithMinusTwo) {
  s = Tarvo_alg1::SharedState{};  // as if Initalize had never run on this state
  control.panel().LBL_LIE.set_caption("55");
  Check(TakeA().File());
  EXPECT_EQ(control.get<"CR_msgX">(), "-2");
  EXPECT_EQ(control.get<"LIEstress">(), "55");
  EXPECT_EQ(s.SampleCount, 1601);  // the intake has run
  EXPECT_TRUE(s.ResultCode.is_empty());
  EXPECT_EQ(control.profile_count(), 0);
  EXPECT_EQ(Results(), (std::array<std::string, 4>{"0", "0", "0", "0"}));
}

TEST_F(CheckTest, ACalibrationThatIsNoNumberFailsTheDriftAfterPublishing) {
  // An empty CAL_spJ reads 0 for the stress computation but is a type mismatch for the drift.
  // jd = (0 - 1.1) / 2.5 / (10.25 / 5) = -0.215: lie stress Int(78.5) = 78, Int(66.3 + 12.54)
  // = 78, - 10 = 68.
  SetCalibration("10", "", "20", "5");
  EXPECT_EQ(ErrorOf([&] { Check(TakeA().File()); }), pellix::kTypeMismatch);
  EXPECT_EQ(Published(), (std::array<std::string, 4>{"68", "74", "91", "1"}));
  EXPECT_EQ(History(0), (HistoryRow{68, 74, 92, 1, 10}));
  EXPECT_EQ(control.profile_count(), 1);
  EXPECT_EQ(control.get<"CAL_spT">(), "11");  // drifted before the failure
  EXPECT_EQ(control.get<"CAL_spJ">(), "");
  EXPECT_EQ(control.get<"CAL_JQ">(), "20");
  EXPECT_EQ(site.names, (Names{"CAL_spT"}));
}

TEST_F(CheckTest, AFileThatCannotBeReadReachesTheHost) {
  files.AddFailing("locked.smp", pellix::kPermissionDenied);
  control.put_DATAstr("locked.smp");
  control.panel().LBL_MSG.set_caption("4");
  EXPECT_EQ(ErrorOf([&] { control.Check(); }), pellix::kPermissionDenied);
  EXPECT_EQ(control.get<"CR_msgX">(), "0");
  EXPECT_EQ(control.profile_count(), 0);
}

}  // namespace
