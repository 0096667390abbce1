// What the fuzz targets share: a fresh module state per input, and the one rule for what may
// come out of a control call.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>

#include "engine/tarvo_alg1.h"
#include "platform/error.h"

namespace pellix::fuzzing {

[[noreturn]] inline void Fail(const char* target, const char* what) {
  std::fprintf(stderr, "%s: %s\n", target, what);
  std::abort();
}

// Puts this thread's module state back to a freshly loaded library's, so that every input runs
// alone, whatever ran before it.
inline void FreshModuleState() {
  static const auto* fresh = new Tarvo_alg1::SharedState;
  Tarvo_alg1::Shared() = *fresh;
}

// Runs `call`; a platform error must be one of `allowed`, anything else thrown escapes and
// ends the run as a finding. Returns the error number, 0 when the call returned normally.
int ExpectErrors(const char* target, std::initializer_list<int> allowed, auto&& call) {
  try {
    call();
  } catch (const PlatformError& e) {
    for (int number : allowed) {
      if (e.number() == number) return number;
    }
    std::fprintf(stderr, "%s: error %d\n", target, e.number());
    Fail(target, "an error the call does not document");
  }
  return 0;
}

}  // namespace pellix::fuzzing
