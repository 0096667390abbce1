// The profile string character by character, for a reader who sees 27 or so characters where
// the report explains nine digits: where each digit and each percentage stands.
//
//   std::cout << ExplainProfileCharacters("211111111" "451000000000000000");
#pragma once

#include <string>
#include <string_view>

namespace pellix {

// Lines saying which positions hold the nine digits and which each percentage (two
// characters, three for one that reaches 100), with the percentage's value, what it counts and
// the digit it supports. Empty for a profile the report cannot read ("0", or no profile).
std::string ExplainProfileCharacters(std::string_view profile);

}  // namespace pellix
