// Synthesises sample files whose scan results are known in advance.
//
// The file is meant to be read with a given gain of 3 ("3" in the Volume cell) and a background
// border of 0: every sample is then stored as raw - 128, every non-zero sample is loud and no
// stored sample is ever quiet, so the take runs from the fourth loud sample to the end of the
// file without a pause. Three loud lead-in samples are not stored; the fourth goes to slot 0,
// which the scan never reads; each flic then fills slots 1 + 300 (f - 1) to 300 f, and a tail
// of background completes the requested sample count.
//
// Inside a flic the background alternates 0 and 4: every position is steep (not flat) and no
// value exceeds 5, so it holds neither thorns nor jumps. A thorn is the run 6 9 6 (one positive
// peak above 5), a jump of length r is r + 2 zeros between two 4s (r flat positions, ended by
// the steep one that follows). Every flic starts with background, so the position shared by
// two flics is always plain background and nothing is counted twice.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace pellix::testing {

inline constexpr std::size_t kTestFlicLength = 300;

class TakeBuilder {
 public:
  // Adds a flic with `thorns` thorns and one jump of each listed length (2 to 30).
  TakeBuilder& Flic(int thorns, const std::vector<int>& jump_lengths = {}) {
    std::vector<int> flic = {0, 4, 0, 4};
    for (int t = 0; t < thorns; ++t) flic.insert(flic.end(), {6, 9, 6, 0, 4});
    for (int r : jump_lengths) {
      flic.insert(flic.end(), static_cast<std::size_t>(r) + 2, 0);
      flic.push_back(4);
    }
    if (flic.size() > kTestFlicLength - 4) throw std::length_error("too much in one flic");
    while (flic.size() < kTestFlicLength) flic.push_back(flic.back() == 4 ? 0 : 4);
    slots_.insert(slots_.end(), flic.begin(), flic.end());
    return *this;
  }

  // Adds a flic with neither thorns nor jumps: it ends the flics that enter the rates.
  TakeBuilder& EmptyFlic() { return Flic(0); }

  std::size_t flic_count() const { return slots_.size() / kTestFlicLength; }

  // The sample file of a take of exactly `sample_count` slots. The tail after the last flic
  // must be long enough to hold the last flic's final positions (3 slots) and too short to
  // make another flic.
  std::vector<std::uint8_t> File(std::size_t sample_count) const {
    const std::size_t flic_slots = 1 + slots_.size();
    if (sample_count < flic_slots + 3 || sample_count >= flic_slots + kTestFlicLength) {
      throw std::invalid_argument("sample count does not fit the flics");
    }
    std::vector<std::uint8_t> file(49, 0);
    const std::string_view signature = "PLXSMP01";
    std::copy(signature.begin(), signature.end(), file.begin());
    file.insert(file.end(), {129, 129, 129});  // loud lead-in, not stored
    file.push_back(129);                       // slot 0
    for (int v : slots_) file.push_back(static_cast<std::uint8_t>(v + 128));
    for (std::size_t i = 0; i + flic_slots < sample_count; ++i) {
      file.push_back(static_cast<std::uint8_t>(i % 2 == 0 ? 128 : 132));  // 0 4 0 4 ...
    }
    return file;
  }

  // A file of the same flics with the shortest tail.
  std::vector<std::uint8_t> File() const { return File(1 + slots_.size() + 100); }

 private:
  std::vector<int> slots_;
};

}  // namespace pellix::testing
