// The demo's account of the profile's characters: where each digit and percentage stands,
// worked by hand for profiles whose percentages are all two characters or one of them three.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/render/profile_characters.h"

namespace pellix {
namespace {

TEST(ProfileCharacters, EveryPercentageAtItsPositionsWithItsDigit) {
  struct Case {
    std::string profile;
    std::vector<std::string> lines;  // the start of each line after the first
  };
  const Case cases[] = {
      {"111111111"
       "101112131415161718",
       {"  10-11  10   excitement score: ", "  12-13  11   high global stress: ",
        "  14-15  12   uncertainty: ", "  16-17  13   low stress or sarcasm: ",
        "  18-19  14   voice manipulation: ", "  20-21  15   lie: ", "  22-23  16   exaggeration: ",
        "  24-25  17   long jumps: ", "  26-27  18   short jumps: "}},
      // An excitement score of 150 takes three characters; the rest move one on.
      {"311111111"
       "150"
       "1010101010101010",
       {"  10-12  150  excitement score: ", "  13-14  10   high global stress: ",
        "  15-16  10   uncertainty: ", "  17-18  10   low stress or sarcasm: ",
        "  19-20  10   voice manipulation: ", "  21-22  10   lie: ", "  23-24  10   exaggeration: ",
        "  25-26  10   long jumps: ", "  27-28  10   short jumps: "}},
  };
  for (const Case& c : cases) {
    const std::string text = ExplainProfileCharacters(c.profile);
    EXPECT_TRUE(text.starts_with("The profile's " + std::to_string(c.profile.size()) +
                                 " characters: 1-9 are the digits above, then nine percentages"))
        << text;
    std::size_t at = text.find("\n  ") + 1;
    for (const std::string& line : c.lines) {
      EXPECT_EQ(text.substr(at, line.size()), line) << text;
      at = text.find('\n', at) + 1;
    }
    EXPECT_EQ(at, text.size()) << text;
  }
  // The digits each percentage supports: 1 to 5, then 6, 6, 7, 7.
  const std::string text = ExplainProfileCharacters(cases[0].profile);
  EXPECT_NE(text.find("uncertainty: checks with code 4 (uncertainty) (digit 3)\n"),
            std::string::npos);
  EXPECT_NE(text.find("short jumps: checks whose average jump length is below 0.8 times the "
                      "calibrated one (digit 7)\n"),
            std::string::npos);
}

TEST(ProfileCharacters, NothingForAProfileThatCannotBeRead) {
  for (const char* profile : {"0", "", "12345", "abcdefghijklmnopqrstuvwxyz0"}) {
    EXPECT_EQ(ExplainProfileCharacters(profile), "") << profile;
  }
}

}  // namespace
}  // namespace pellix
