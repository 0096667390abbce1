// The script host's output: one compact JSON object per line.
#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/error.h"
#include "platform/value.h"

namespace pellix::script {

using Json = nlohmann::ordered_json;

// A number as the output shows it: a whole value of magnitude up to 2^53 as an integer
// (3, not 3.0); any other in the shortest form that reads back exactly (2.5, 1e+300).
Json JsonNumber(double x);

// A variant as JSON: Empty as null, numbers by JsonNumber, texts as strings, Booleans as
// true or false.
Json JsonValue(const Value& value);

// The error object of a failed statement: {"number":N,"description":"..."}.
Json JsonError(const PlatformError& error);

// Writes whole lines to `out`, flushing each so that a reader on a pipe sees every line as
// soon as it happens.
class JsonLines {
 public:
  explicit JsonLines(std::ostream& out) : out_(out) {}

  void Write(const Json& line);
  // {"line":L,"op":"notify","name":"NAME"}
  void Notify(std::int64_t line, std::string_view name);

 private:
  std::ostream& out_;
};

}  // namespace pellix::script
