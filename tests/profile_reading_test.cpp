// Reading the profile string into digits and percentages, and the words for every code and
// every digit the profiler can write.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

#include "analysis/profile_reading.h"
#include "analysis/result_meanings.h"

namespace pellix::analysis {
namespace {

using Percentages = std::array<int, kProfilePercentages>;

TEST(ProfileReading, WorkedExample) {
  // n = 20: E = 6, G = 0, C2 = 1, C7 = 2, C8 = 1, the rest 0; digits 2,4,1,1,0,3,0,0,0 and
  // percentages 30,00,00,05,00,10,05,00,00.
  std::optional<ProfileReading> reading = ReadProfile("241103000300000050010050000");
  ASSERT_TRUE(reading);
  EXPECT_EQ(reading->digits, "241103000");
  EXPECT_EQ(reading->percentages, (Percentages{30, 0, 0, 5, 0, 10, 5, 0, 0}));
}

TEST(ProfileReading, TooFewChecksOrNoProfile) {
  EXPECT_FALSE(ReadProfile("0"));
  EXPECT_FALSE(ReadProfile(""));
  EXPECT_FALSE(ReadProfile("24110300030000005001005000"));     // one character short
  EXPECT_FALSE(ReadProfile("2411030003000000500100500x0"));    // not all digits
  EXPECT_FALSE(ReadProfile("/tmp/take.smp"));                  // DATAstr still a file name
  EXPECT_FALSE(ReadProfile(std::string(9 + 3 * 9 + 1, '1')));  // longer than any profile
}

TEST(ProfileReading, PercentagesOfThreeDigits) {
  struct Case {
    std::string profile;
    Percentages percentages;
  };
  const Case cases[] = {
      // n = 10, every check with excitement above 190: E = 30, pct(E) = 300, digit 1 "3"; no
      // global stress (digit 2 "4"); C7 = C8 = 0, so digit 8 is "1".
      {"341000010300" + std::string(16, '0'), {300, 0, 0, 0, 0, 0, 0, 0, 0}},
      // "10100": either E = 101% and G = 00%, or E = 10% and G = 100%; the digits decide. With
      // digit 1 "1" (E at most a fifth of the checks) and digit 2 "3" (G above half) it is the
      // second; with digit 1 "3" and digit 2 "4" (no global stress at all) the first.
      {"131000010" + std::string("10100") + std::string(14, '0'), {10, 100, 0, 0, 0, 0, 0, 0, 0}},
      {"341000010" + std::string("10100") + std::string(14, '0'), {101, 0, 0, 0, 0, 0, 0, 0, 0}},
      // Every check a lie with global stress above 180 and excitement above 190: E 300, G 100,
      // C7 100.
      {"331003010" + std::string("300100000000100000000"), {300, 100, 0, 0, 0, 100, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    std::optional<ProfileReading> reading = ReadProfile(c.profile);
    ASSERT_TRUE(reading) << c.profile;
    EXPECT_EQ(reading->percentages, c.percentages) << c.profile;
  }
}

TEST(ProfileReading, APercentageOtherThanTheExcitementScoreCannotExceed100) {
  // Nine digits and 19 more: one percentage has three digits, but "101" can only be the
  // excitement score, which digit 1 "1" rules out.
  EXPECT_FALSE(
      ReadProfile("111000010"
                  "101" +
                  std::string(16, '0')));
}

TEST(ResultMeanings, EveryPublishedCodeHasAMeaningAndNoOtherCode) {
  for (int code = -2; code <= 9; ++code) {
    std::optional<CodeMeaning> meaning = ResultCodeMeaning(code);
    ASSERT_TRUE(meaning) << code;
    EXPECT_FALSE(meaning->summary.empty()) << code;
    EXPECT_FALSE(meaning->description.empty()) << code;
  }
  for (int code : {-3, 10, 64, 100}) EXPECT_FALSE(ResultCodeMeaning(code)) << code;
  EXPECT_EQ(ResultCodeMeaning(1)->description, "truth: no abnormal feature");
  EXPECT_EQ(ResultCodeMeaning(6)->summary, "voice manipulation");
}

TEST(ResultMeanings, EveryDigitTheProfilerCanWriteHasAMeaningAndNoOther) {
  // What each position can hold once its rules have run: the defaults and every rule's value.
  const std::array<std::string, kProfileDigits> possible = {
      "1234", "1234", "123", "0123", "0123", "01234", "012", "012345", "01"};
  for (int position = 1; position <= kProfileDigits; ++position) {
    EXPECT_FALSE(ProfileDigitTopic(position).empty()) << position;
    for (char digit = '0'; digit <= '9'; ++digit) {
      const bool can_occur =
          possible[static_cast<std::size_t>(position - 1)].find(digit) != std::string::npos;
      EXPECT_EQ(!ProfileDigitMeaning(position, digit).empty(), can_occur)
          << "digit " << position << " = " << digit;
    }
  }
  EXPECT_TRUE(ProfileDigitTopic(0).empty());
  EXPECT_TRUE(ProfileDigitMeaning(10, '1').empty());
}

TEST(ResultMeanings, PercentagesFollowTheirDigits) {
  // pct(E), pct(G), pct(C4), pct(C2), pct(C6), pct(C7), pct(C8), pct(H), pct(L).
  const std::array<int, kProfilePercentages> digit = {1, 2, 3, 4, 5, 6, 6, 7, 7};
  for (int i = 0; i < kProfilePercentages; ++i) {
    EXPECT_EQ(ProfilePercentageDigit(i), digit[static_cast<std::size_t>(i)]) << i;
    EXPECT_FALSE(ProfilePercentageMeaning(i).name.empty()) << i;
  }
  EXPECT_EQ(ProfilePercentageMeaning(5).name, "lie");
  EXPECT_EQ(ProfilePercentageMeaning(8).name, "short jumps");
}

}  // namespace
}  // namespace pellix::analysis
