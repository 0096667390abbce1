// Properties put by name, as a host that binds late puts them (control/late_binding.h), for the
// tests that set many of them to texts at once.
#pragma once

#include <initializer_list>
#include <utility>

#include "control/late_binding.h"
#include "platform/value.h"

namespace pellix::testing {

// Puts each named property its text, in the order given.
inline void PutByName(ALG_V1S& control,
                      std::initializer_list<std::pair<const char*, const char*>> texts) {
  for (const auto& [name, text] : texts) {
    Invoke(control, GetIDOfName(name), InvokeKind::kPropertyPut, Value::String(text));
  }
}

}  // namespace pellix::testing
