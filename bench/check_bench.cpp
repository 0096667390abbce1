// A whole Check and a profile against merely reading the take's file: a check (intake, scan,
// stress levels, verdict, publishing, history, drift) should cost at most a few raw reads of
// the same bytes, and a profile over a full history far less than a check.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "bench/control_setup.h"
#include "control/alg_v1s.h"
#include "engine/tarvo_alg1.h"
#include "platform/conversions.h"

namespace {

using pellix::bench::Calibrated;

void BM_Check(benchmark::State& state) {
  pellix::ALG_V1S control;
  Calibrated(control);
  if (control.get<"CR_msgX">() != "0") state.SkipWithError("the take does not calibrate");
  for (auto _ : state) {
    control.Check();
    benchmark::DoNotOptimize(control.panel().LBL_MSG.caption().data());
  }
  if (pellix::Val(control.get<"CR_msgX">()) < 0) state.SkipWithError("the take does not check");
  const auto& s = control.engine_state();
  state.counters["SampleCount"] = s.SampleCount;
  state.counters["LieStress"] = s.LieStress;
  state.counters["ResultCode"] = pellix::Val(control.get<"CR_msgX">());
}
BENCHMARK(BM_Check);

// A full history of 999 rows in the ranges checks write: levels 30 to 300, verdict codes 0 to 9,
// mean jump lengths 2 to 11, spread by a fixed pseudo-random sequence.
void FillHistory(pellix::ALG_V1S& control) {
  std::uint32_t seed = 2024;
  auto next = [&seed](int low, int high) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<std::int16_t>(low + static_cast<int>((seed >> 8) % (high - low + 1)));
  };
  auto& table = control.mutable_profile_table();
  for (std::size_t row = 0; row < pellix::kLastProfileRow; ++row) {
    table[row][1] = next(30, 250);
    table[row][2] = next(30, 300);
    table[row][3] = next(30, 250);
    table[row][4] = next(0, 9);
    table[row][5] = next(2, 11);
  }
  control.set_profile_count(pellix::kLastProfileRow);
}

void BM_Profiler999(benchmark::State& state) {
  pellix::ALG_V1S control;
  Calibrated(control);
  FillHistory(control);
  control.engine_state().CalAvJ = pellix::Val(control.get<"CAL_AVJ">());
  for (auto _ : state) {
    control.profiler();
    benchmark::DoNotOptimize(control.get_DATAstr().data());
  }
  if (control.get_DATAstr().size() < 27) state.SkipWithError("no profile");
}
BENCHMARK(BM_Profiler999);

}  // namespace
