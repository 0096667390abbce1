// The analysis allocates nothing: the intake, the scan, the stress computation and the verdict
// run on fixed-size state and stack arrays, so a check costs no trip to the heap (only the
// captions that publish its results may allocate). The global allocation functions are replaced
// by counting ones, and the four procedures are called directly on a state of the test's own
// with every input set beforehand.
#include <stdlib.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/tarvo_alg1.h"
#include "engine_state.h"
#include "files/file_system.h"
#include "platform/value.h"
#include "replaced_allocation.h"
#include "take_builder.h"
#include "tests/support/memory_file_system.h"

namespace {

std::atomic<long> allocations{0};

}  // namespace

// Every allocation, counted.
void* TestAllocate(std::size_t size) noexcept {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}

void* TestAllocateAligned(std::size_t size, std::align_val_t alignment) noexcept {
  allocations.fetch_add(1, std::memory_order_relaxed);
  const auto align = static_cast<std::size_t>(alignment);
  const std::size_t rounded = (size + align - 1) / align * align;
  return std::aligned_alloc(align, rounded == 0 ? align : rounded);
}

namespace {

using pellix::testing::TakeBuilder;

// Allocations made from construction to the call of count().
class AllocationCount {
 public:
  AllocationCount() : start_(allocations.load()) {}
  long count() const { return allocations.load() - start_; }

 private:
  long start_;
};

// Keeps the compiler from dropping an allocation whose result is never used.
void* volatile sink = nullptr;

// An automatic-gain take of 30001 samples: a short silence, then a voiced pattern that never
// pauses, so the take runs past the end of the store. Each period of 25 samples rises to a
// plateau (a flat stretch: one jump), dips and peaks (a thorn), and mirrors that below.
std::vector<std::uint8_t> LoudFullTake() {
  const int period[] = {10,  30,  50,  60,  60,  60,  60,  60,  50,  55,  40,  20, 0,
                        -20, -40, -60, -60, -60, -60, -60, -50, -55, -40, -20, -5};
  std::vector<std::uint8_t> file(49, 0);
  for (int i = 0; i < 300; ++i) file.push_back(128);
  for (std::size_t i = 0; file.size() < 49 + 30001; ++i) {
    file.push_back(static_cast<std::uint8_t>(128 + period[i % std::size(period)]));
  }
  return file;
}

class NoAllocation : public pellix::testing::EngineStateTest {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "pellix-noalloc-XXXXXX");
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Settings and a calibration as Check would copy them from the panel, before the procedures
  // run: the analysis constants loaded, break points 120, resolutions 2.
  void SetAnalysisInputs(double gain, double border) {
    Tarvo_alg1::LoadAnalysisConstants(s);
    s.Gain = gain;
    s.BackgroundBorder = border;
    s.MinJump = 2;
    s.MaxJump = 30;
    pellix::testing::SetCheckInputs(s, {120, 2, {90, 150, 12, 4}});
  }

  // The four procedures of one check, in Check's order, reading the take through `files`.
  void Analyse(pellix::FileSystem& files = pellix::NativeFileSystem()) {
    Tarvo_alg1::LoadSamples(s, Tarvo_alg1::NamedSampleFile(files, s.DataFileName));
    Tarvo_alg1::ScanThornsJumps(s);
    Tarvo_alg1::ComputeStress(s);
    Tarvo_alg1::DecideVerdict(s);
  }

  std::string WriteTake(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  // The analysis reached a verdict on a complete computation, so every stage ran.
  void ExpectCompleteAnalysis() const {
    EXPECT_GE(s.SampleCount, 800);
    EXPECT_GE(s.AvgJumpLen, 2);
    EXPECT_GT(s.LieStress, 0);
    EXPECT_GT(s.GlbStress, 0);
    EXPECT_GT(s.ExcStress, 0);
    EXPECT_EQ(s.ResultCode.type(), pellix::ValueType::kInteger);
  }

  std::filesystem::path dir_;
};

TEST_F(NoAllocation, TheCounterSeesAllocations) {
  AllocationCount counted;
  sink = new std::vector<int>(100);
  EXPECT_GE(counted.count(), 2);  // the vector and its elements
  delete static_cast<std::vector<int>*>(sink);
}

TEST_F(NoAllocation, FullTakeFromANativeFileWithAutomaticGain) {
  s.DataFileName = WriteTake("loud.smp", LoudFullTake());
  SetAnalysisInputs(0, 5);

  AllocationCount counted;
  Analyse();
  EXPECT_EQ(counted.count(), 0);

  ExpectCompleteAnalysis();
  EXPECT_GT(s.SampleCount, 20500);  // the whole store and beyond
}

TEST_F(NoAllocation, GivenGainFromTheInMemoryFileLayer) {
  pellix::MemoryFileSystem files;
  TakeBuilder take;
  for (int f = 0; f < 68; ++f) take.Flic(3, {4, 6, 9});
  files.Add("take.smp", take.File());
  s.DataFileName = "take.smp";
  SetAnalysisInputs(3, 0);

  AllocationCount counted;
  Analyse(files);
  EXPECT_EQ(counted.count(), 0);

  ExpectCompleteAnalysis();
}

// A second take clears what the first stored beyond it; that costs no allocation either.
TEST_F(NoAllocation, AShorterTakeAfterALongerOne) {
  pellix::MemoryFileSystem files;
  files.Add("long.smp", LoudFullTake());
  files.Add("short.smp", TakeBuilder().Flic(2, {3}).Flic(2, {5}).Flic(2, {4}).File());
  s.DataFileName = "long.smp";
  SetAnalysisInputs(0, 5);
  Analyse(files);
  s.DataFileName = "short.smp";
  SetAnalysisInputs(3, 0);

  AllocationCount counted;
  Analyse(files);
  EXPECT_EQ(counted.count(), 0);

  ExpectCompleteAnalysis();
}

// Steps of the stress computation that fail (no calibrated jump length or spread: divisions by
// zero) are skipped on the way; the platform error raised and caught there is not a heap object.
TEST_F(NoAllocation, StepsSkippedOnErrorInTheStressComputation) {
  s.DataFileName = WriteTake("loud.smp", LoudFullTake());
  SetAnalysisInputs(0, 5);
  s.CalAvJ = 0;
  s.CalJQ = 0;

  AllocationCount counted;
  Analyse();
  EXPECT_EQ(counted.count(), 0);

  EXPECT_GT(s.LieStress, 0);
}

}  // namespace
