// Resume-on-error: run one step; when it raises a platform error, skip it and go on.
#pragma once

#include "platform/error.h"

namespace pellix {

// Runs `step`. A platform error it raises ends only that step: the step's target keeps
// whatever the step had not yet assigned. Returns whether the step completed.
template <typename Step>
bool ResumeNext(Step&& step) {
  try {
    step();
    return true;
  } catch (const PlatformError&) {
    return false;
  }
}

}  // namespace pellix
