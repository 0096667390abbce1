#include "analysis/profile_reading.h"

#include <cstddef>

namespace pellix::analysis {
namespace {

constexpr std::size_t kExcitement = 0;
constexpr std::size_t kGlobalStress = 1;

bool AllDigits(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

int Number(std::string_view digits) {
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

// Whether a percentage of `value` agrees with the grade `digit` of digits 1 and 2, which grade
// a count against a fifth and a half of the checks ("4": none). The bounds allow a point of
// rounding either way, so they only rule out readings that are far off.
bool AgreesWithGrade(char digit, int value) {
  switch (digit) {
    case '1':
      return value <= 21;
    case '2':
      return value >= 19 && value <= 51;
    case '3':
      return value >= 49;
    case '4':
      return value == 0;
    default:
      return true;
  }
}

bool Plausible(std::size_t index, std::string_view token, std::string_view digits) {
  const int value = Number(token);
  if (token.size() == 3) {
    if (index == kExcitement) {
      if (value < 100 || value > 300) return false;
    } else if (value != 100) {
      return false;
    }
  }
  if (index == kExcitement) return AgreesWithGrade(digits[0], value);
  if (index == kGlobalStress) return AgreesWithGrade(digits[1], value);
  return true;
}

// Tries the widths of percentage `index` onwards, three digits before two.
bool Split(std::string_view rest, std::size_t index, std::string_view digits, ProfileReading& out) {
  if (index == kProfilePercentages) return rest.empty();
  for (std::size_t width : {std::size_t{3}, std::size_t{2}}) {
    if (rest.size() < width) continue;
    std::string_view token = rest.substr(0, width);
    if (!Plausible(index, token, digits)) continue;
    if (Split(rest.substr(width), index + 1, digits, out)) {
      out.percentages[index] = Number(token);
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<ProfileReading> ReadProfile(std::string_view text) {
  constexpr std::size_t kShortest = kProfileDigits + 2 * kProfilePercentages;
  constexpr std::size_t kLongest = kProfileDigits + 3 * kProfilePercentages;
  if (text.size() < kShortest || text.size() > kLongest || !AllDigits(text)) return std::nullopt;
  ProfileReading reading;
  reading.digits = std::string(text.substr(0, kProfileDigits));
  if (!Split(text.substr(kProfileDigits), 0, reading.digits, reading)) return std::nullopt;
  return reading;
}

}  // namespace pellix::analysis
