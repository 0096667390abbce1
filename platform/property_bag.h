// Property bags: the host's store of named values that a control saves to and loads from.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/value.h"

namespace pellix {

class PropertyBag {
 public:
  virtual ~PropertyBag() = default;
  // The stored value under `name`, or `default_value` when the name is absent. May raise a
  // platform error for a stored value it cannot hand out.
  virtual Value ReadProperty(std::string_view name, const Value& default_value) = 0;
  // Stores `value` under `name`; a later write under the same name replaces it.
  virtual void WriteProperty(std::string_view name, const Value& value,
                             const Value& default_value) = 0;
};

// A bag in memory that keeps every name in the order first written, last value winning,
// and matches names exactly.
class MemoryPropertyBag : public PropertyBag {
 public:
  Value ReadProperty(std::string_view name, const Value& default_value) override;
  void WriteProperty(std::string_view name, const Value& value,
                     const Value& default_value) override;

  const std::vector<std::pair<std::string, Value>>& entries() const noexcept { return entries_; }
  // Every WriteProperty call in order (names only), duplicates included.
  const std::vector<std::string>& write_log() const noexcept { return write_log_; }

 protected:
  std::vector<std::pair<std::string, Value>> entries_;
  std::vector<std::string> write_log_;
};

// Passes every call on to another bag and remembers the last name used, so that a load or a
// save that stops at a key can say which.
class KeyTrackingBag final : public PropertyBag {
 public:
  explicit KeyTrackingBag(PropertyBag& inner) : inner_(inner) {}

  Value ReadProperty(std::string_view name, const Value& default_value) override {
    last_key_ = name;
    return inner_.ReadProperty(name, default_value);
  }
  void WriteProperty(std::string_view name, const Value& value,
                     const Value& default_value) override {
    last_key_ = name;
    inner_.WriteProperty(name, value, default_value);
  }

  const std::string& last_key() const noexcept { return last_key_; }

 private:
  PropertyBag& inner_;
  std::string last_key_;
};

}  // namespace pellix
