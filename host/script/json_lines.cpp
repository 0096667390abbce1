#include "host/script/json_lines.h"

#include <cmath>
#include <string>

namespace pellix::script {

Json JsonNumber(double x) {
  constexpr double kLargestExactWhole = 9007199254740992.0;  // 2^53
  if (std::isfinite(x) && std::trunc(x) == x && std::fabs(x) <= kLargestExactWhole) {
    return static_cast<std::int64_t>(x);  // also prints a negative zero as 0
  }
  return x;
}

Json JsonValue(const Value& value) {
  switch (value.type()) {
    case ValueType::kEmpty:
      return nullptr;
    case ValueType::kInteger:
      return static_cast<std::int64_t>(value.integer());
    case ValueType::kLong:
      return static_cast<std::int64_t>(value.long_value());
    case ValueType::kDouble:
      return JsonNumber(value.double_value());
    case ValueType::kString:
      return value.string();
    case ValueType::kBoolean:
      return value.boolean();
  }
  return nullptr;
}

Json JsonError(const PlatformError& error) {
  Json object;
  object["number"] = error.number();
  object["description"] = std::string(error.description());
  return object;
}

void JsonLines::Write(const Json& line) {
  // Texts are valid UTF-8 already (script input is sanitised); replacing is only a guard so
  // that no byte sequence can make the output fail.
  out_ << line.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
  out_.flush();
}

void JsonLines::Notify(std::int64_t line, std::string_view name) {
  Json object;
  object["line"] = line;
  object["op"] = "notify";
  object["name"] = std::string(name);
  Write(object);
}

}  // namespace pellix::script
