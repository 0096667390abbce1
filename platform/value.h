// Value: the dynamically typed value that crosses the control's interface and its property bag.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace pellix {

enum class ValueType { kEmpty, kInteger, kLong, kDouble, kString, kBoolean };

// A variant in the platform's sense: Empty, a 16-bit Integer, a 32-bit Long, a Double, a
// String (UTF-8) or a Boolean.
class Value {
 public:
  Value() = default;
  static Value Integer(std::int16_t v) { return Value(Storage(std::in_place_index<1>, v)); }
  static Value Long(std::int32_t v) { return Value(Storage(std::in_place_index<2>, v)); }
  static Value Double(double v) { return Value(Storage(std::in_place_index<3>, v)); }
  static Value String(std::string v) {
    return Value(Storage(std::in_place_index<4>, std::move(v)));
  }
  static Value Boolean(bool v) { return Value(Storage(std::in_place_index<5>, v)); }

  ValueType type() const noexcept { return static_cast<ValueType>(storage_.index()); }
  bool is_empty() const noexcept { return type() == ValueType::kEmpty; }
  bool is_number() const noexcept {
    ValueType t = type();
    return t == ValueType::kInteger || t == ValueType::kLong || t == ValueType::kDouble;
  }

  // Accessors for the held alternative; calling the wrong one is a programming error.
  std::int16_t integer() const { return std::get<1>(storage_); }
  std::int32_t long_value() const { return std::get<2>(storage_); }
  double double_value() const { return std::get<3>(storage_); }
  const std::string& string() const { return std::get<4>(storage_); }
  bool boolean() const { return std::get<5>(storage_); }

  // The numeric value of a number alternative (Integer, Long or Double).
  double number() const;

  friend bool operator==(const Value&, const Value&) = default;

 private:
  using Storage =
      std::variant<std::monostate, std::int16_t, std::int32_t, double, std::string, bool>;
  explicit Value(Storage s) : storage_(std::move(s)) {}
  Storage storage_;
};

}  // namespace pellix
