// The take the benchmarks read: a full, speech-like sample file written once per run.
#pragma once

#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace pellix::bench {

inline constexpr std::size_t kFileBytes = 30050;  // 49 header bytes and 30001 samples

// A speech-like take at 11025 Hz: a quiet lead-in, then voiced syllables (a 110-140 Hz
// fundamental with falling harmonics under a rise-and-fall envelope) separated by short gaps
// of room noise, loud enough throughout that the take runs to the full store.
inline std::vector<std::uint8_t> SpeechLikeTake() {
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

inline const std::string& TakePath() {
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

}  // namespace pellix::bench
