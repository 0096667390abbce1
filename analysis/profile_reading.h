// Reading the profile string that profiler leaves in DATAstr: nine digits, then nine
// percentages written one after another.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "analysis/result_meanings.h"

namespace pellix::analysis {

struct ProfileReading {
  std::string digits;                                  // nine characters, '0' to '9'
  std::array<int, kProfilePercentages> percentages{};  // in the order they are written
};

// Splits a profile into its digits and percentages. Nothing for "0" (too few checks) or a
// text that is no profile.
//
// The percentages have no separators and are at least two digits wide; one that reaches 100
// takes three (the excitement score up to 300, the others exactly 100). Where the widths leave
// more than one split, the digits decide (an excitement digit of 3 needs a score above half
// the checks, ...); what still remains ambiguous goes to the reading that gives the earliest
// percentage the three digits, the excitement score first, since it is the one that most
// often passes 100.
std::optional<ProfileReading> ReadProfile(std::string_view text);

}  // namespace pellix::analysis
