#include "files/json_property_bag.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <unordered_set>
#include <utility>

#include "files/atomic_file.h"
#include "files/file_error.h"
#include "files/safe_read.h"
#include "platform/error.h"
#include "platform/json_value.h"

namespace pellix {

using Json = nlohmann::json;

// The bag's object: values by key, and the keys in the order first written. A sorted object
// and a list, rather than an object that keeps its order, because finding a key in the latter
// takes a walk along it, which makes loading a bag of many keys quadratic. A number that
// overflows the double range is kept at its key as a binary value holding the number as
// written: JSON text never yields a binary value, so it cannot be mistaken for anything the
// file said.
struct JsonPropertyBag::Store {
  Json object = Json::object();
  std::vector<std::string> order;
};

namespace {

bool IsNumberStart(char c) {
  return c == '-' || (c >= '0' && c <= '9');
}
bool IsNumberPart(char c) {
  return IsNumberStart(c) || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// A document with its overflowing numbers replaced by null.
struct Overflows {
  std::string text;
  std::vector<std::pair<std::size_t, std::string>> at_null;  // null ordinal -> number text
};

// nlohmann refuses a whole document for one number beyond the double range. Such numbers are
// replaced by null here, and the ordinals (among all nulls of the document, in order) of
// the replaced ones are returned with their text, so that the parse can mark them again.
Overflows ReplaceOverflowingNumbers(const std::string& json) {
  Overflows result;
  result.text.reserve(json.size());
  std::size_t nulls = 0;
  for (std::size_t i = 0; i < json.size();) {
    char c = json[i];
    if (c == '"') {  // a string, copied whole
      std::size_t end = i + 1;
      while (end < json.size() && json[end] != '"') end += json[end] == '\\' ? 2 : 1;
      end = std::min(end + 1, json.size());
      result.text.append(json, i, end - i);
      i = end;
    } else if (IsNumberStart(c)) {
      std::size_t end = i;
      while (end < json.size() && IsNumberPart(json[end])) ++end;
      std::string number = json.substr(i, end - i);
      bool overflows = false;
      try {
        Json parsed = Json::parse(number);
        (void)parsed;
      } catch (const Json::out_of_range&) {
        overflows = true;  // 406: number overflow
      } catch (const Json::exception&) {
        // Not a number at all; the parse of the whole document reports it.
      }
      if (overflows) {
        result.at_null.emplace_back(nulls++, std::move(number));
        result.text += "null";
      } else {
        result.text += number;
      }
      i = end;
    } else if (json.compare(i, 4, "null") == 0) {
      ++nulls;
      result.text += "null";
      i += 4;
    } else {
      result.text += c;
      ++i;
    }
  }
  return result;
}

Value FromJson(const Json& j) {
  switch (j.type()) {
    case Json::value_t::null:
      return Value();
    case Json::value_t::string:
      return Value::String(j.get<std::string>());
    case Json::value_t::boolean:
      return Value::Boolean(j.get<bool>());
    case Json::value_t::number_integer:
      return Value::Double(static_cast<double>(j.get<std::int64_t>()));
    case Json::value_t::number_unsigned:
      return Value::Double(static_cast<double>(j.get<std::uint64_t>()));
    case Json::value_t::number_float:
      return Value::Double(j.get<double>());
    case Json::value_t::binary:
      RaiseError(kOverflow);  // a number beyond the double range
    case Json::value_t::array:
    case Json::value_t::object:
    case Json::value_t::discarded:
      break;
  }
  RaiseError(kTypeMismatch);
}

std::string Dump(const Json& j) {
  // Invalid UTF-8 in a text is written as U+FFFD, as it would read back.
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

JsonPropertyBag::JsonPropertyBag() : store_(std::make_unique<Store>()) {}
JsonPropertyBag::~JsonPropertyBag() = default;
JsonPropertyBag::JsonPropertyBag(JsonPropertyBag&&) noexcept = default;
JsonPropertyBag& JsonPropertyBag::operator=(JsonPropertyBag&&) noexcept = default;

JsonPropertyBag JsonPropertyBag::Load(const std::string& path) {
  Overflows prepared = ReplaceOverflowingNumbers(ReadJsonText(path));

  // Notes the top-level keys in order, and marks again, at the top level, the nulls that
  // stood for overflowing numbers.
  std::vector<std::string> order;
  std::unordered_set<std::string> seen;
  std::size_t nulls = 0;
  std::size_t next = 0;
  auto mark = [&](int depth, Json::parse_event_t event, Json& parsed) {
    if (event == Json::parse_event_t::key && depth == 1) {
      std::string key = parsed.get<std::string>();
      if (seen.insert(key).second) order.push_back(std::move(key));
    }
    if (event != Json::parse_event_t::value || !parsed.is_null()) return true;
    std::size_t ordinal = nulls++;
    while (next < prepared.at_null.size() && prepared.at_null[next].first < ordinal) ++next;
    if (next < prepared.at_null.size() && prepared.at_null[next].first == ordinal && depth == 1) {
      const std::string& number = prepared.at_null[next].second;
      parsed = Json::binary(std::vector<std::uint8_t>(number.begin(), number.end()));
    }
    return true;
  };

  Json parsed;
  try {
    parsed = Json::parse(prepared.text, mark);
  } catch (const Json::exception&) {
    RaiseError(kInvalidFileFormat);
  }
  if (!parsed.is_object()) RaiseError(kInvalidFileFormat);

  JsonPropertyBag bag;
  bag.store_->object = std::move(parsed);
  bag.store_->order = std::move(order);
  return bag;
}

Value JsonPropertyBag::ReadProperty(std::string_view name, const Value& default_value) {
  auto it = store_->object.find(std::string(name));
  return it == store_->object.end() ? default_value : FromJson(*it);
}

void JsonPropertyBag::WriteProperty(std::string_view name, const Value& value,
                                    const Value& /*default_value*/) {
  auto [it, added] = store_->object.emplace(std::string(name), nullptr);
  if (added) store_->order.emplace_back(name);
  it.value() = JsonOf<Json>(value);
}

std::vector<std::string> JsonPropertyBag::keys() const {
  return store_->order;
}

std::string JsonPropertyBag::Text() const {
  std::string text = "{";
  bool first = true;
  for (const std::string& key : store_->order) {
    if (!first) text += ',';
    first = false;
    text += Dump(Json(key));
    text += ':';
    const Json& value = store_->object.at(key);
    if (value.is_binary()) {
      // An overflowing number read from a file goes back as it was written.
      const auto& bytes = value.get_binary();
      text.append(bytes.begin(), bytes.end());
    } else {
      text += Dump(value);
    }
  }
  text += "}\n";
  return text;
}

void JsonPropertyBag::Save(const std::string& path) const {
  const std::string text = Text();
  // A bag that Load would refuse is not written: saving it would replace a good bag by one
  // that can never be read again.
  if (text.size() > kMaxTextFileSize) {
    throw FileError(kPathFileAccessError,
                    "the bag would be larger than 64 MiB, more than a bag can be loaded from");
  }
  WriteFileAtomically(path, text);
}

}  // namespace pellix
