#include "platform/property_bag.h"

#include <algorithm>

namespace pellix {

Value MemoryPropertyBag::ReadProperty(std::string_view name, const Value& default_value) {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [name](const auto& entry) { return entry.first == name; });
  return it == entries_.end() ? default_value : it->second;
}

void MemoryPropertyBag::WriteProperty(std::string_view name, const Value& value,
                                      const Value& /*default_value*/) {
  // Every value is kept, defaults included, so a reader never depends on our defaults.
  write_log_.emplace_back(name);
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [name](const auto& entry) { return entry.first == name; });
  if (it == entries_.end()) {
    entries_.emplace_back(std::string(name), value);
  } else {
    it->second = value;
  }
}

}  // namespace pellix
