// Variants as JSON, for every JSON type that writes them (the property bag's file, the script
// host's lines): one rule for numbers, so that a value reads the same wherever it is shown.
#pragma once

#include <cmath>
#include <cstdint>

#include "platform/value.h"

namespace pellix {

// A number as JSON: a whole value of magnitude up to 2^53 as an integer (3, not 3.0; a
// negative zero as 0), any other as a double.
template <typename Json>
Json JsonNumberOf(double x) {
  constexpr double kLargestExactWhole = 9007199254740992.0;  // 2^53
  if (std::isfinite(x) && std::trunc(x) == x && std::fabs(x) <= kLargestExactWhole) {
    return static_cast<std::int64_t>(x);
  }
  return x;
}

// A variant as JSON: Empty as null, numbers by JsonNumberOf, texts as strings, Booleans as
// true or false.
template <typename Json>
Json JsonOf(const Value& value) {
  switch (value.type()) {
    case ValueType::kEmpty:
      return nullptr;
    case ValueType::kInteger:
      return static_cast<std::int64_t>(value.integer());
    case ValueType::kLong:
      return static_cast<std::int64_t>(value.long_value());
    case ValueType::kDouble:
      return JsonNumberOf<Json>(value.double_value());
    case ValueType::kString:
      return value.string();
    case ValueType::kBoolean:
      return value.boolean();
  }
  return nullptr;
}

}  // namespace pellix
