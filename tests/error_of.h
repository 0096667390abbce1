// The platform error number a call raises, or 0 when it returns normally.
#pragma once

#include "platform/error.h"

namespace pellix::testing {

int ErrorOf(auto&& call) {
  try {
    call();
  } catch (const PlatformError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace pellix::testing
