// libPellixAnalysis.so when a take fails with no platform number of its own: memory runs out
// while a long take is converted. The call must say so by a number that is not 0, and the
// take's report row must carry the very number the call returned. The global allocation
// functions are replaced by ones that refuse large blocks on demand; the library, loaded into
// this program, allocates through them.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "PellixAnalysis.h"
#include "replaced_allocation.h"

namespace {

// Blocks of this many bytes or more are refused while a test asks for it.
std::atomic<std::size_t> refused_from{std::numeric_limits<std::size_t>::max()};

}  // namespace

void* TestAllocate(std::size_t size) noexcept {
  if (size >= refused_from.load(std::memory_order_relaxed)) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

void* TestAllocateAligned(std::size_t size, std::align_val_t alignment) noexcept {
  if (size >= refused_from.load(std::memory_order_relaxed)) return nullptr;
  const auto align = static_cast<std::size_t>(alignment);
  const std::size_t rounded = (size + align - 1) / align * align;
  return std::aligned_alloc(align, rounded == 0 ? align : rounded);
}

namespace {

// Refuses blocks of `bytes` or more for its life.
class RefusedFrom {
 public:
  explicit RefusedFrom(std::size_t bytes) { refused_from = bytes; }
  ~RefusedFrom() { refused_from = std::numeric_limits<std::size_t>::max(); }
  RefusedFrom(const RefusedFrom&) = delete;
  RefusedFrom& operator=(const RefusedFrom&) = delete;
};

TEST(AnalysisCFailure, RunningOutOfMemoryIsNumberSevenInTheCallAndInTheRow) {
  // Four seconds of a 16-bit recording at 44100 Hz decoded to floats: the converter takes them
  // back as whole numbers, 350 KiB of them, which is refused. Everything smaller is allowed, so
  // the failure can still be reported.
  std::vector<float> take(4 * 44100);
  for (std::size_t i = 0; i < take.size(); ++i) {
    const double value = 0.5 * std::sin(2 * M_PI * 150 * static_cast<double>(i) / 44100);
    take[i] = static_cast<float>(std::round(value * 32768) / 32768);
  }
  const PellixTake pcm{PELLIX_TAKE_PCM_FLOAT32, "long take", take.data(), take.size(), 44100, 1};
  PellixSpeaker* speaker = nullptr;
  ASSERT_EQ(PellixSpeakerOpen(nullptr, nullptr, &speaker), 0);
  for (const bool check : {false, true}) {
    SCOPED_TRACE(check ? "check" : "calibrate");
    PellixTakeResult result;
    int number;
    {
      const RefusedFrom large(256 * 1024);
      number = check ? PellixSpeakerCheck(speaker, &pcm, &result)
                     : PellixSpeakerCalibrate(speaker, &pcm, &result);
    }
    EXPECT_EQ(number, PELLIX_OUT_OF_MEMORY);
    EXPECT_EQ(result.error_number, number);
    EXPECT_NE(std::string(result.json).find("\"error_number\":7,"), std::string::npos)
        << result.json;
    EXPECT_NE(std::string(result.csv).find(",7,"), std::string::npos) << result.csv;
    EXPECT_NE(std::string(result.error_message).find("out of memory"), std::string::npos)
        << result.error_message;
  }
  // With memory again, the speaker takes the same take as if nothing had happened.
  PellixTakeResult result;
  EXPECT_EQ(PellixSpeakerCalibrate(speaker, &pcm, &result), 0) << result.error_message;
  EXPECT_EQ(result.error_number, 0);
  PellixSpeakerClose(speaker);
}

}  // namespace
