// A control as a host leaves it before its checks: the usual parameters, initialised, and
// pointed at the benchmarks' take.
#pragma once

#include "bench/speech_take.h"
#include "control/alg_v1s.h"

namespace pellix::bench {

// Shortest jump 2, longest 30, background border 5, automatic gain: a host's usual settings.
inline constexpr const char* kParameters = "000023000005000000";

inline void Initialised(ALG_V1S& control) {
  control.InitProperties();
  control.put_DATAstr(kParameters);
  control.Initalize();
  control.put_DATAstr(TakePath());
}

inline void Calibrated(ALG_V1S& control) {
  Initialised(control);
  control.Calibrate();
}

}  // namespace pellix::bench
