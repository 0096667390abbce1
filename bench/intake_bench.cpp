// Reading and analysing one take against merely reading its file: the intake and the scan
// should cost little more than the system's own open, read and close of the same bytes.
//
// Cycles per stored sample: the sandbox offers perf no hardware cycle counter, so they are the
// thread's processor time times the rate of the time-stamp counter (constant, the nominal
// clock), measured at start. TscPerSample counts wall time the same way, which includes the
// time other programs held the processor.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <x86intrin.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <span>
#include <string>

#include "bench/speech_take.h"
#include "engine/gain_pass.h"
#include "engine/tarvo_alg1.h"
#include "platform/instruction_set.h"
#include "tests/support/memory_file_system.h"

namespace {

using pellix::bench::kFileBytes;
using pellix::bench::TakePath;

std::uint64_t Nanoseconds(clockid_t clock) {
  timespec t;
  ::clock_gettime(clock, &t);
  return static_cast<std::uint64_t>(t.tv_sec) * 1000000000u + static_cast<std::uint64_t>(t.tv_nsec);
}

// Time-stamp counter ticks per nanosecond, over 20 ms.
double TscPerNanosecond() {
  static const double rate = [] {
    const std::uint64_t ns = Nanoseconds(CLOCK_MONOTONIC);
    const std::uint64_t tsc = __rdtsc();
    while (Nanoseconds(CLOCK_MONOTONIC) - ns < 20000000) {
    }
    return static_cast<double>(__rdtsc() - tsc) /
           static_cast<double>(Nanoseconds(CLOCK_MONOTONIC) - ns);
  }();
  return rate;
}

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

// The intake and the scan as Check runs them, on the take named by `path`, in the form picked by
// the argument (InstructionSet: 0 plain, 1 SSE2, 2 AVX2, 3 AVX-512).
void LoadAndScan(benchmark::State& state, const std::string& path,
                 pellix::FileSystem& files = pellix::NativeFileSystem()) {
  const auto form = static_cast<pellix::InstructionSet>(state.range(0));
  pellix::LimitInstructionSet(form);
  auto state_held = std::make_unique<Tarvo_alg1::SharedState>();
  auto& m = *state_held;
  std::uint64_t cycles = 0;
  const std::uint64_t cpu_start = Nanoseconds(CLOCK_THREAD_CPUTIME_ID);
  for (auto _ : state) {
    const std::uint64_t start = __rdtsc();
    // As Check sets them: the panel's automatic gain and border, the default jump limits.
    m.DataFileName = path;
    m.Gain = 0;
    m.BackgroundBorder = 5;
    Tarvo_alg1::LoadSamples(m, Tarvo_alg1::NamedSampleFile(files, m.DataFileName));
    m.MinJump = 2;
    m.MaxJump = 30;
    Tarvo_alg1::ScanThornsJumps(m);
    benchmark::DoNotOptimize(m.ThornRate);
    cycles += __rdtsc() - start;
  }
  const auto cpu = static_cast<double>(Nanoseconds(CLOCK_THREAD_CPUTIME_ID) - cpu_start);
  if (m.SampleCount < 20500 || m.AvgJumpLen == 0) {
    state.SkipWithError("the take is not long and usable");
  }
  pellix::LimitInstructionSet(pellix::kWidestInstructionSet);
  state.SetLabel(pellix::ActiveInstructionSet() >= form ? "" : "form not available");
  state.counters["SampleCount"] = m.SampleCount;
  state.counters["ThornRate"] = m.ThornRate;
  state.counters["JumpRate"] = m.JumpRate;
  state.counters["AvgJumpLen"] = m.AvgJumpLen;
  const double per_sample = static_cast<double>(state.iterations()) * m.SampleCount;
  state.counters["CyclesPerSample"] = cpu * TscPerNanosecond() / per_sample;
  state.counters["TscPerSample"] = static_cast<double>(cycles) / per_sample;
}

// From the file, as Check reads it.
void BM_LoadAndScan(benchmark::State& state) {
  LoadAndScan(state, TakePath());
}
BENCHMARK(BM_LoadAndScan)->Arg(0)->Arg(1)->Arg(2)->Arg(3);

// From memory: the engine's own cycles, without the system's file calls.
void BM_EngineInMemory(benchmark::State& state) {
  pellix::MemoryFileSystem files;
  files.Add("take", pellix::bench::SpeechLikeTake());
  LoadAndScan(state, "take", files);
}
BENCHMARK(BM_EngineInMemory)->Arg(0)->Arg(1)->Arg(2)->Arg(3);

// The read of BM_EngineInMemory alone: the copy of the take from memory into the intake's buffer,
// which takes the place of the system's read there. Its cycles per stored sample, taken off
// those of BM_EngineInMemory, are the engine's own.
void BM_ReadFromMemory(benchmark::State& state) {
  pellix::MemoryFileSystem files;
  files.Add("take", pellix::bench::SpeechLikeTake());
  Tarvo_alg1::SampleBytes buffer;
  const std::uint64_t cpu_start = Nanoseconds(CLOCK_THREAD_CPUTIME_ID);
  for (auto _ : state) {
    const std::size_t got = files.ReadBlock("take", 49, std::span(buffer));
    std::memset(buffer.data() + got, 0, buffer.size() - got);
    benchmark::DoNotOptimize(buffer.data());
  }
  const auto cpu = static_cast<double>(Nanoseconds(CLOCK_THREAD_CPUTIME_ID) - cpu_start);
  auto state_held = std::make_unique<Tarvo_alg1::SharedState>();
  auto& m = *state_held;
  m.DataFileName = "take";
  m.Gain = 0;
  m.BackgroundBorder = 5;
  Tarvo_alg1::LoadSamples(m, Tarvo_alg1::NamedSampleFile(files, m.DataFileName));
  const double per_sample = static_cast<double>(state.iterations()) * m.SampleCount;
  state.counters["CyclesPerSample"] = cpu * TscPerNanosecond() / per_sample;
}
BENCHMARK(BM_ReadFromMemory);

}  // namespace
