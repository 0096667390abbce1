// What the control's result codes and the digits and percentages of its profile mean, in
// words, for reports to people.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace pellix::analysis {

// The meaning of a result code that Check or Calibrate publishes in CR_msgX.
struct CodeMeaning {
  std::string_view summary;      // a few words, for tables
  std::string_view description;  // the whole meaning
};

// The codes the control publishes: -2, -1, 0 and the verdicts 1 to 9. Nothing for others.
std::optional<CodeMeaning> ResultCodeMeaning(int code);

// Every code the control publishes with its meaning, in ascending order.
struct ResultCodeEntry {
  int code;
  CodeMeaning meaning;
};
std::span<const ResultCodeEntry> ResultCodes();

// Why Calibrate refused a take ("-1" in CR_msgX).
inline constexpr std::string_view kCalibrationRejected =
    "too short or silent: fewer than 450 samples of speech, or a measure of 0";

// The profile's nine digits, numbered 1 to 9.
inline constexpr int kProfileDigits = 9;

// What digit `position` (1 to 9) of a profile is about ("excitement").
std::string_view ProfileDigitTopic(int position);

// What `digit` means at `position`; empty for a digit that the profiler never writes there.
std::string_view ProfileDigitMeaning(int position, char digit);

// The profile's nine percentages, numbered 0 to 8 in the order they follow the digits.
inline constexpr int kProfilePercentages = 9;

// A short name of percentage `index` ("excitement score") and what it counts.
struct PercentageMeaning {
  std::string_view name;
  std::string_view description;
};
PercentageMeaning ProfilePercentageMeaning(int index);

// The digits whose grade the percentage at `index` supports (1-based), for reports that show
// each percentage beside its digit: 1, 2, 3, 4, 5, 6, 6, 7, 7.
int ProfilePercentageDigit(int index);

// What a profile of "0" means.
inline constexpr std::string_view kProfileUnavailable =
    "no profile yet: it needs at least ten checks since the control was created or reset";

}  // namespace pellix::analysis
