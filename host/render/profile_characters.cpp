#include "host/render/profile_characters.h"

#include <optional>

#include "analysis/profile_reading.h"
#include "analysis/result_meanings.h"

namespace pellix {

namespace {

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string Positions(std::size_t first, std::size_t last) {
  return std::to_string(first) + "-" + std::to_string(last);
}

}  // namespace

std::string ExplainProfileCharacters(std::string_view profile) {
  const std::optional<analysis::ProfileReading> reading = analysis::ReadProfile(profile);
  if (!reading) return {};
  const std::size_t digits = reading->digits.size();
  std::string out = "The profile's " + std::to_string(profile.size()) +
                    " characters: " + Positions(1, digits) +
                    " are the digits above, then nine percentages of the checks,\n"
                    "two characters each (three for one that reaches 100):\n";
  std::size_t at = digits;
  for (int i = 0; i < analysis::kProfilePercentages; ++i) {
    const int percent = reading->percentages[static_cast<std::size_t>(i)];
    const std::size_t width = percent >= 100 ? 3 : 2;
    const analysis::PercentageMeaning meaning = analysis::ProfilePercentageMeaning(i);
    out += "  " + Padded(Positions(at + 1, at + width), 7) +
           Padded(std::string(profile.substr(at, width)), 5) + std::string(meaning.name) + ": " +
           std::string(meaning.description) + " (digit " +
           std::to_string(analysis::ProfilePercentageDigit(i)) + ")\n";
    at += width;
  }
  return out;
}

}  // namespace pellix
