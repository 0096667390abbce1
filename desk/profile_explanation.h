// A profile explained digit by digit, for the desk's profile table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pellix::desk {

struct ProfileLine {
  int position = 0;     // 1 to 9
  char digit = '0';     // as the profile has it
  std::string topic;    // what the digit is about
  std::string meaning;  // what this digit says
  std::string shares;   // the percentages behind the digit ("excitement score 25%"), if any
};

// The nine lines of `profile`; none when it is no profile (too few checks, or a text the
// reading does not understand).
std::vector<ProfileLine> ExplainProfile(std::string_view profile);

}  // namespace pellix::desk
