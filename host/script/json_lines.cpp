#include "host/script/json_lines.h"

#include <string>

#include "platform/json_value.h"

namespace pellix::script {

Json JsonNumber(double x) {
  return JsonNumberOf<Json>(x);
}

Json JsonValue(const Value& value) {
  return JsonOf<Json>(value);
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
