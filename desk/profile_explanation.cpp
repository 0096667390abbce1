#include "desk/profile_explanation.h"

#include <optional>

#include "analysis/profile_reading.h"
#include "analysis/result_meanings.h"

namespace pellix::desk {

std::vector<ProfileLine> ExplainProfile(std::string_view profile) {
  std::vector<ProfileLine> lines;
  const std::optional<analysis::ProfileReading> reading = analysis::ReadProfile(profile);
  if (!reading) return lines;
  for (int position = 1; position <= analysis::kProfileDigits; ++position) {
    ProfileLine line;
    line.position = position;
    line.digit = reading->digits[static_cast<std::size_t>(position - 1)];
    line.topic = analysis::ProfileDigitTopic(position);
    line.meaning = analysis::ProfileDigitMeaning(position, line.digit);
    for (int i = 0; i < analysis::kProfilePercentages; ++i) {
      if (analysis::ProfilePercentageDigit(i) != position) continue;
      if (!line.shares.empty()) line.shares += ", ";
      line.shares += std::string(analysis::ProfilePercentageMeaning(i).name) + " " +
                     std::to_string(reading->percentages[static_cast<std::size_t>(i)]) + "%";
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace pellix::desk
