// Reading and analysing one take against merely reading its file: the intake and the scan
// should cost little more than the system's own open, read and close of the same bytes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "engine/tarvo_alg1.h"

namespace {

constexpr std::size_t kFileBytes = 30050;  // 49 header bytes and 30001 samples

// A speech-like take at 11025 Hz: a quiet lead-in, then voiced syllables (a 110-140 Hz
// fundamental with falling harmonics under a rise-and-fall envelope) separated by short gaps
// of room noise, loud enough throughout that the take runs to the full store.
std::vector<std::uint8_t> SpeechLikeTake() {
  std::vector<std::uint8_t> file(kFileBytes, 0);
  const char magic[] = "PLXSMP01";
  for (int i = 0; i < 8; ++i) file[i] = static_cast<std::uint8_t>(magic[i]);
  file[8] = 0x11;  // 11025 Hz
  file[9] = 0x2B;
  file[12] = 0x31;  // 30001 samples
  file[13] = 0x75;

  std::uint32_t seed = 12345;
  auto noise = [&seed] {  // -1, 0 or +1
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>(seed >> 30) % 3 - 1;
  };
  constexpr double kRate = 11025;
  constexpr std::size_t kLeadIn = 1500;
  constexpr std::size_t kSyllable = 2600;
  constexpr std::size_t kGap = 400;
  double phase = 0;
  for (std::size_t i = 0; i < 30001; ++i) {
    double value = 128 + noise();
    if (i >= kLeadIn) {
      const std::size_t t = (i - kLeadIn) % (kSyllable + kGap);
      const std::size_t syllable = (i - kLeadIn) / (kSyllable + kGap);
      const double pitch = 110 + 30 * std::sin(0.7 * static_cast<double>(syllable)) +
                           8 * std::sin(static_cast<double>(t) / 400);
      phase += 2 * std::numbers::pi * pitch / kRate;
      if (t < kSyllable) {
        const double envelope = std::sin(std::numbers::pi * static_cast<double>(t) / kSyllable);
        double voiced = 0;
        for (int h = 1; h <= 6; ++h) voiced += std::sin(h * phase) / h;
        value += 95 * envelope * voiced / 2.45;
      }
    }
    file[49 + i] = static_cast<std::uint8_t>(std::lround(std::fmin(255, std::fmax(1, value))));
  }
  return file;
}

const std::string& TakePath() {
  static const std::string path = [] {
    const auto file = std::filesystem::temp_directory_path() /
                      ("pellix_bench_take_" + std::to_string(::getpid()) + ".smp");
    const std::vector<std::uint8_t> bytes = SpeechLikeTake();
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return file.string();
  }();
  // Registered once the path is built, so that it runs before the path is destroyed.
  static const bool removed_at_exit = [] {
    return std::atexit([] { std::filesystem::remove(path); }) == 0;
  }();
  (void)removed_at_exit;
  return path;
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

void BM_LoadAndScan(benchmark::State& state) {
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
  state.counters["SampleCount"] = m.SampleCount;
  state.counters["Gain"] = m.Gain;
  state.counters["ThornRate"] = m.ThornRate;
  state.counters["JumpRate"] = m.JumpRate;
  state.counters["AvgJumpLen"] = m.AvgJumpLen;
}
BENCHMARK(BM_LoadAndScan);

}  // namespace
