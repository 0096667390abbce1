// PCM samples held in memory, as a program that records or decodes sound itself has them (a
// NumPy array, a sound card's buffer): interleaved frames of one value per channel.
#pragma once

#include <cstdint>
#include <span>

namespace pellix {

// The most channels a take in memory may have: libsndfile's own limit for a recording.
inline constexpr std::uint32_t kMostPcmChannels = 1024;

// Exactly one of the spans holds the samples; the memory stays its owner's.
struct PcmSamples {
  std::span<const std::int16_t> whole16;  // full scale -32768 to 32767
  std::span<const float> floats;          // full scale -1 to 1
  std::span<const double> doubles;        // full scale -1 to 1
  std::uint32_t rate = 0;                 // frames per second
  std::uint32_t channels = 0;             // values per frame

  // Values held, whichever span holds them.
  std::size_t size() const noexcept { return whole16.size() + floats.size() + doubles.size(); }
};

}  // namespace pellix
