// Reading and analysing one take against merely reading its file: the intake and the scan
// should cost little more than the system's own open, read and close of the same bytes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "bench/speech_take.h"
#include "engine/instruction_set.h"
#include "engine/tarvo_alg1.h"

namespace {

using pellix::bench::kFileBytes;
using pellix::bench::TakePath;

void BM_RawRead(benchmark::State& state) {
  const std::string& path = TakePath();
  std::array<std::uint8_t, kFileBytes> buffer;
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::size_t total = 0;
    while (total < buffer.size()) {
      const ssize_t got = ::read(fd, buffer.data() + total, buffer.size() - total);
      if (got <= 0) break;
      total += static_cast<std::size_t>(got);
    }
    ::close(fd);
    benchmark::DoNotOptimize(buffer.data());
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_RawRead);

// Argument 0: the baseline vector loops; 1: the widest this processor has.
void BM_LoadAndScan(benchmark::State& state) {
  Tarvo_alg1::LimitInstructionSet(state.range(0) == 0 ? Tarvo_alg1::InstructionSet::kBaseline
                                                      : Tarvo_alg1::InstructionSet::kAvx2);
  auto& m = Tarvo_alg1::Shared();
  for (auto _ : state) {
    // As Check sets them: the panel's automatic gain and border, the default jump limits.
    m.DataFileName = TakePath();
    m.Gain = 0;
    m.BackgroundBorder = 5;
    Tarvo_alg1::LoadSamples();
    m.MinJump = 2;
    m.MaxJump = 30;
    Tarvo_alg1::ScanThornsJumps();
    benchmark::DoNotOptimize(m.ThornRate);
  }
  if (m.SampleCount < 20500 || m.AvgJumpLen == 0) {
    state.SkipWithError("the take is not long and usable");
  }
  Tarvo_alg1::LimitInstructionSet(Tarvo_alg1::InstructionSet::kAvx2);
  state.counters["SampleCount"] = m.SampleCount;
  state.counters["Gain"] = m.Gain;
  state.counters["ThornRate"] = m.ThornRate;
  state.counters["JumpRate"] = m.JumpRate;
  state.counters["AvgJumpLen"] = m.AvgJumpLen;
}
BENCHMARK(BM_LoadAndScan)->Arg(0)->Arg(1);

}  // namespace
