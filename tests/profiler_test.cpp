// profiler: the profile string graded from the check history.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "analysis_fixture.h"
#include "engine/tarvo_alg1.h"
#include "error_of.h"
#include "platform/error.h"

namespace {

using pellix::testing::ErrorOf;

// One recorded check, as the profiler reads it.
struct Check {
  std::int16_t excitement = 100;
  std::int16_t global = 100;
  std::int16_t code = 1;
  std::int16_t jump_length = 10;  // the calibrated length is 10: long above 14, short below 8
};

class ProfilerTest : public pellix::testing::ControlFixture, public ::testing::Test {
 protected:
  ProfilerTest() {
    control.engine_state().CalAvJ = 10;
    control.put_DATAstr("take.smp");
  }

  // Appends `count` copies of `check` to the history.
  void Add(const Check& check, int count = 1) {
    auto& table = control.mutable_profile_table();
    for (int i = 0; i < count; ++i) {
      auto& row = table[static_cast<std::size_t>(control.profile_count())];
      row[1] = 100;
      row[2] = check.global;
      row[3] = check.excitement;
      row[4] = check.code;
      row[5] = check.jump_length;
      control.set_profile_count(static_cast<std::int16_t>(control.profile_count() + 1));
    }
  }
  // Adds plain checks up to `n` rows.
  void FillTo(int n) { Add(Check{}, n - control.profile_count()); }

  // Lies (code 7) and exaggerations (code 8) in `checks` checks, and the digit at `position`.
  struct LieCase {
    int c7;
    int c8;
    char digit;
  };
  void ExpectLieDigits(int position, int checks, std::initializer_list<LieCase> cases) {
    for (const LieCase& c : cases) {
      control.set_profile_count(0);
      Add({.code = 7}, c.c7);
      Add({.code = 8}, c.c8);
      FillTo(checks);
      EXPECT_EQ(Digit(position), c.digit) << c.c7 << " " << c.c8;
    }
  }

  std::string Profile() {
    site.names.clear();
    control.profiler();
    return control.get_DATAstr();
  }
  std::string Digits() { return Profile().substr(0, 9); }
  char Digit(int d) { return Profile()[static_cast<std::size_t>(d - 1)]; }
  std::string Percentages() { return Profile().substr(9); }
};

TEST_F(ProfilerTest, WorkedExample) {
  Add({.excitement = 150}, 3);
  Add({.excitement = 200});
  Add({.code = 2});
  Add({.code = 7}, 2);
  Add({.code = 8});
  FillTo(20);
  // E = 3 + 3 = 6: above 4 (n/5), not above 10; G = 0; C2 = 1 above 0, not above 1.67;
  // C7 = 2 above 1; C8 = 1 is neither below nor above n/20 = 1.
  EXPECT_EQ(Profile(),
            "241103000"
            "30"
            "00"
            "00"
            "05"
            "00"
            "10"
            "05"
            "00"
            "00");
}

TEST_F(ProfilerTest, NeedsTenChecks) {
  FillTo(9);
  EXPECT_EQ(Profile(), "0");
  FillTo(10);
  // Nothing remarkable: no excitement (4), no global stress (4), C8 = 0 below n/20 (digit 8).
  EXPECT_EQ(Profile(),
            "441000010"
            "000000000000000000");
}

TEST_F(ProfilerTest, AnEmptyHistoryGivesZero) {
  EXPECT_EQ(Profile(), "0");
}

TEST_F(ProfilerTest, TheProfileReplacesDATAstrSilently) {
  FillTo(10);
  Profile();
  EXPECT_NE(control.get_DATAstr(), "take.smp");
  EXPECT_TRUE(site.names.empty());

  control.put_DATAstr("take.smp");
  control.set_profile_count(3);
  Profile();
  EXPECT_EQ(control.get_DATAstr(), "0");
  EXPECT_TRUE(site.names.empty());
}

TEST_F(ProfilerTest, ExcitementCountsOneAbove140AndThreeAbove190) {
  Add({.excitement = 141});
  Add({.excitement = 140});
  Add({.excitement = 191});
  Add({.excitement = 190});  // above 140 only
  FillTo(10);
  // E = 1 + 3 + 1 = 5: above n/5 = 2, not above n/2 = 5.
  EXPECT_EQ(Digit(1), '2');
  EXPECT_EQ(Percentages().substr(0, 2), "50");
}

TEST_F(ProfilerTest, EveryCheckAbove190GivesThreeHundredPercent) {
  FillTo(0);
  Add({.excitement = 250}, 10);
  EXPECT_EQ(Digit(1), '3');
  EXPECT_EQ(Percentages(),
            "300"
            "00"
            "00"
            "00"
            "00"
            "00"
            "00"
            "00"
            "00");
}

TEST_F(ProfilerTest, GlobalStressCountsAbove180) {
  Add({.global = 181}, 3);
  Add({.global = 180}, 3);
  FillTo(10);
  EXPECT_EQ(Digit(2), '2');  // 3 above 2, not above 5
  EXPECT_EQ(Percentages().substr(2, 2), "30");

  Add({.global = 181}, 10);  // 13 of 20
  EXPECT_EQ(Digit(2), '3');
}

TEST_F(ProfilerTest, UncertaintyDigitAgainstFifteenthAndTenth) {
  Add({.code = 4});
  FillTo(10);
  EXPECT_EQ(Digit(3), '2');  // 1 above 0.67, not above 1
  Add({.code = 4});
  FillTo(20);
  EXPECT_EQ(Digit(3), '2');  // 2 above 1.33, not above 2
  Add({.code = 4});
  EXPECT_EQ(Digit(3), '3');  // 3 of 21: above 2.1
}

TEST_F(ProfilerTest, SarcasmAndManipulationDigits) {
  // n = 20: C2 against 0, 1.67 and 2.86; C6 against 0.67, 1.67 and 2.86.
  struct Case {
    int count;
    char digit;
  };
  for (const Case c : {Case{0, '0'}, Case{1, '1'}, Case{2, '2'}, Case{3, '3'}}) {
    control.set_profile_count(0);
    Add({.code = 2}, c.count);
    Add({.code = 6}, c.count);
    FillTo(20);
    EXPECT_EQ(Digit(4), c.digit) << c.count;
    EXPECT_EQ(Digit(5), c.digit) << c.count;
  }
}

TEST_F(ProfilerTest, LieDigitLastRuleThatHoldsWins) {
  // n = 10: C8 against n/12 = 0.83 and n/8 = 1.25, C7 against 1 and n/5 = 2.
  ExpectLieDigits(6, 10,
                  {
                      {0, 0, '0'},
                      {0, 1, '2'},  // C8 above n/12
                      {2, 1, '3'},  // C7 above 1
                      {3, 2, '4'},  // C7 above n/5 and C8 above n/8
                      {1, 2, '1'},  // a single lie wins over everything before it
                  });
}

TEST_F(ProfilerTest, SecondLieDigitLastRuleThatHoldsWins) {
  // n = 20: C8 against n/20 = 1, n/10 = 2, n/3 = 6.67, n/2 = 10; C7 against 3, n/4 = 5,
  // n/3 = 6.67, n/2 = 10.
  ExpectLieDigits(8, 20,
                  {
                      {0, 0, '1'},   // few lies, C8 below n/20
                      {2, 1, '0'},   // C8 neither below nor above n/20
                      {0, 2, '2'},   // above n/20, not above n/10
                      {0, 3, '3'},   // above n/10
                      {3, 3, '0'},   // C7 = 3 is neither below 3 nor above it
                      {4, 0, '4'},   // more than 3 lies
                      {6, 7, '5'},   // C7 above n/4 and C8 above n/3
                      {7, 11, '1'},  // C7 above n/3 and C8 above n/2
                      {11, 0, '1'},  // C7 above n/2
                  });
}

TEST_F(ProfilerTest, JumpLengthDigitIsTheBalanceOfLongAndShort) {
  // 20 rows against the calibrated length 10: long above 14, short below 8.
  struct Case {
    int long_rows;
    int short_rows;
    char digit;
    const char* percentages;  // pct(H), pct(L)
  };
  const Case cases[] = {
      {8, 0, '2', "4000"},  // balance 8
      {7, 0, '0', "3500"},  // 7 is not above 7
      {9, 1, '2', "4505"},  // 8 again
      {0, 8, '1', "0040"},  // -8
      {1, 8, '0', "0540"},  // -7
  };
  for (const Case& c : cases) {
    control.set_profile_count(0);
    Add({.jump_length = 20}, c.long_rows);
    Add({.jump_length = 5}, c.short_rows);
    Add({.jump_length = 14});  // neither: the limits are strict
    Add({.jump_length = 8});
    FillTo(20);
    EXPECT_EQ(Digit(7), c.digit) << c.long_rows << " " << c.short_rows;
    EXPECT_EQ(Percentages().substr(14, 4), c.percentages) << c.long_rows << " " << c.short_rows;
  }
}

TEST_F(ProfilerTest, UncertaintyUnderGlobalStressDigit) {
  Add({.global = 181, .code = 4}, 2);
  FillTo(20);
  EXPECT_EQ(Digit(9), '0');  // C4 = 2 is not above n/10 = 2
  control.set_profile_count(0);
  Add({.global = 181, .code = 4}, 3);
  FillTo(20);
  EXPECT_EQ(Digit(9), '1');  // C4 = 3 above 2, G = 3 above 1
}

TEST_F(ProfilerTest, PercentagesAreTakenDownFromTheDoubleQuotient) {
  // 29 / 100 * 100 is 28.999999999999996 in double precision.
  Add({.code = 7}, 29);
  FillTo(100);
  EXPECT_EQ(Percentages().substr(10, 2), "28");
}

TEST_F(ProfilerTest, OnlyRecordedRowsCount) {
  // Row 999 lies outside rows 0 to n - 1 while the count is 999.
  FillTo(999);
  control.mutable_profile_table()[999][3] = 250;
  EXPECT_EQ(Digit(1), '4');
}

TEST_F(ProfilerTest, AnOverflowingReferenceReachesTheHost) {
  FillTo(10);
  control.engine_state().CalAvJ = 1.5e308;  // times 1.4 is beyond the double range
  EXPECT_EQ(ErrorOf([&] { control.profiler(); }), pellix::kOverflow);
  EXPECT_EQ(control.get_DATAstr(), "take.smp");
}

}  // namespace
