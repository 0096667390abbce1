// A live stream made of the bundled examples: one second of faint hiss, then alex's three
// calibration statements and first six answers, each followed by 0.9 s of the same hiss;
// mono 16-bit at 11025 Hz. Utterance 4 (the first answer) lies at 8.10 to 8.52 s.
#pragma once

#include <sndfile.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pellix::testing {

inline constexpr int kExampleStreamRate = 11025;

inline std::vector<short> ReadShorts(const std::filesystem::path& path) {
  SF_INFO info{};
  SNDFILE* in = sf_open(path.c_str(), SFM_READ, &info);
  if (in == nullptr) return {};
  std::vector<short> samples(static_cast<std::size_t>(info.frames));
  sf_readf_short(in, samples.data(), info.frames);
  sf_close(in);
  return samples;
}

inline void WriteShorts(const std::filesystem::path& path, const std::vector<short>& samples) {
  SF_INFO info{};
  info.samplerate = kExampleStreamRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  if (SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &info)) {
    sf_writef_short(out, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(out);
  }
}

inline std::vector<short> ExampleStream() {
  std::uint32_t noise = 1;
  auto hiss = [&noise] {
    noise = noise * 1664525u + 1013904223u;
    return static_cast<short>(static_cast<int>(noise >> 26) - 32);
  };
  std::vector<std::string> names = {"alex_calibrate_1", "alex_calibrate_2", "alex_calibrate_3"};
  for (int i = 1; i <= 6; ++i) names.push_back("alex_check_0" + std::to_string(i));
  std::vector<short> stream;
  for (int i = 0; i < kExampleStreamRate; ++i) stream.push_back(hiss());
  for (const std::string& name : names) {
    const auto path =
        std::filesystem::path(PELLIX_SOURCE_DIR) / "examples/recordings" / (name + ".wav");
    for (short s : ReadShorts(path))
      stream.push_back(static_cast<short>(std::clamp(s + hiss(), -32768, 32767)));
    for (int i = 0; i < kExampleStreamRate * 9 / 10; ++i) stream.push_back(hiss());
  }
  return stream;
}

}  // namespace pellix::testing
