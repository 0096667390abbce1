// What a call of PellixAnalysis.h hands back when it fails: a platform error number and a
// message. Nothing else leaves a call: every exception ends here.
#pragma once

#include <exception>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "PellixAnalysis.h"
#include "platform/error.h"

namespace pellix::analysis_c {

struct Failure {
  int number = 0;
  std::string message;
};

// Runs `call`, which gives a failure or nothing, and turns whatever it throws into a failure;
// number 0 when it succeeded. A failure never carries 0, which would read as success.
template <typename Call>
Failure Guarded(Call&& call) noexcept {
  Failure failure;
  try {
    if (std::optional<Failure> failed = std::forward<Call>(call)()) failure = std::move(*failed);
  } catch (const std::bad_alloc&) {
    failure = {PELLIX_OUT_OF_MEMORY, {}};
  } catch (const PlatformError& e) {
    failure = {e.number(), {}};
    try {
      failure.message = e.what();
    } catch (...) {
    }
  } catch (...) {
    failure = {PELLIX_INTERNAL_ERROR, {}};
  }
  if (failure.number == 0 && !failure.message.empty()) failure.number = PELLIX_INTERNAL_ERROR;
  if (failure.number != 0 && failure.message.empty()) {
    try {
      failure.message = failure.number == PELLIX_OUT_OF_MEMORY ? "out of memory" : "internal error";
    } catch (...) {
    }
  }
  return failure;
}

}  // namespace pellix::analysis_c
