// The control's other operations, each on its own: a calibration, the parameter string's
// Initalize, a property bag saved to a file and loaded again, and the script host's cost per
// statement.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>

#include "bench/control_setup.h"
#include "control/alg_v1s.h"
#include "files/json_property_bag.h"
#include "host/script/script_runner.h"

namespace {

using pellix::bench::Calibrated;
using pellix::bench::Initialised;
using pellix::bench::kParameters;

void BM_Calibrate(benchmark::State& state) {
  pellix::ALG_V1S control;
  Initialised(control);
  for (auto _ : state) {
    control.Calibrate();
    benchmark::DoNotOptimize(control.get<"CR_msgX">().data());
  }
  if (control.get<"CR_msgX">() != "0") state.SkipWithError("the take does not calibrate");
}
BENCHMARK(BM_Calibrate);

void BM_Initalize(benchmark::State& state) {
  pellix::ALG_V1S control;
  control.InitProperties();
  for (auto _ : state) {
    control.put_DATAstr(kParameters);
    control.Initalize();
    benchmark::DoNotOptimize(control.get<"BGbord">().data());
  }
}
BENCHMARK(BM_Initalize);

// A calibrated control's properties written to a bag, saved, loaded and read back.
void BM_BagSaveAndLoad(benchmark::State& state) {
  pellix::ALG_V1S control;
  Calibrated(control);
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("pellix_bench_bag_" + std::to_string(::getpid()) + ".json"))
                               .string();
  pellix::ALG_V1S loaded;
  for (auto _ : state) {
    pellix::JsonPropertyBag bag;
    control.WriteProperties(bag);
    bag.Save(path);
    pellix::JsonPropertyBag read = pellix::JsonPropertyBag::Load(path);
    loaded.ReadProperties(read);
    benchmark::DoNotOptimize(loaded.get<"CAL_spT">().data());
  }
  std::filesystem::remove(path);
  if (loaded.get<"CAL_spT">() != control.get<"CAL_spT">())
    state.SkipWithError("the bag lost a value");
}
BENCHMARK(BM_BagSaveAndLoad);

// A script of set, get and call statements; the time is per statement.
void BM_ScriptStatement(benchmark::State& state) {
  std::string script;
  for (int i = 0; i < 100; ++i) {
    script += "set BGbord \"" + std::to_string(i % 20) + "\"\nget BGbord\ncall Reset\n";
  }
  constexpr int kStatements = 300;
  for (auto _ : state) {
    std::ostringstream out;
    std::ostringstream err;
    std::istringstream in(script);
    pellix::script::ScriptRunner runner(out);
    if (runner.Run(in, err, "bench") != pellix::script::kScriptOk) {
      state.SkipWithError(err.str().c_str());
      break;
    }
    benchmark::DoNotOptimize(out.str().data());
  }
  state.SetItemsProcessed(state.iterations() * kStatements);
}
BENCHMARK(BM_ScriptStatement);

}  // namespace
