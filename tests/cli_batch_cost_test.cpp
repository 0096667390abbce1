// What a batch asks of the system as it grows: twice the speakers start no more threads than
// the --jobs workers, hand no memory back take by take, and read each take in a few calls. The
// calls are counted with strace over the same batch at N and 2N speakers, so that start-up,
// which both pay alike, drops out.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "scratch_directory_test_base.h"
#include "tests/support/program_run.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELLIX_SANITIZED_ALLOCATOR
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define PELLIX_SANITIZED_ALLOCATOR
#endif

namespace {

constexpr int kTakesPerSpeaker = 6;

class BatchCost : public ScratchDirectoryTest {
 protected:
  // A manifest of `speakers` speakers, each calibrated on three bundled recordings and checked
  // on three.
  void WriteManifest(const std::string& name, int speakers) const {
    const std::string recordings = std::string(PELLIX_SOURCE_DIR) + "/examples/recordings/";
    std::string csv = "speaker,role,file\n";
    for (int s = 0; s < speakers; ++s) {
      for (const char* take : {"calibrate_1", "calibrate_2", "calibrate_3"}) {
        csv += "s" + std::to_string(s) + ",calibrate," + recordings + "alex_" + take + ".wav\n";
      }
      for (const char* take : {"check_01", "check_02", "check_03"}) {
        csv += "s" + std::to_string(s) + ",check," + recordings + "alex_" + take + ".wav\n";
      }
    }
    Write(name, csv);
  }

  // How many times the batch of `speakers` speakers on `jobs` workers made each system call.
  std::map<std::string, int> Calls(int speakers, int jobs) const {
    const std::string manifest = "m" + std::to_string(speakers) + ".csv";
    WriteManifest(manifest, speakers);
    const auto run = pellix::testing::RunLine(
        dir_,
        "strace -f -qq -o calls -e trace=clone,clone3,madvise,munmap,read,pread64,lseek "
        "pellix analyze --batch " +
            manifest + " --jobs " + std::to_string(jobs) + " -q >/dev/null");
    EXPECT_EQ(run.status, 0) << run.err;
    std::map<std::string, int> calls;
    std::istringstream lines(Read("calls"));
    for (std::string line; std::getline(lines, line);) {
      // "PID name(arguments) = result", or "name(..." without -f's process number.
      const std::size_t open = line.find('(');
      if (open == std::string::npos || line.find("resumed>") != std::string::npos) continue;
      const std::size_t start = line.find_last_of(' ', open);
      ++calls[line.substr(start == std::string::npos ? 0 : start + 1, open - start - 1)];
    }
    return calls;
  }
};

TEST_F(BatchCost, TwiceTheSpeakersCostOnlyTheirReads) {
#ifdef PELLIX_SANITIZED_ALLOCATOR
  GTEST_SKIP() << "the sanitizer's allocator maps and unmaps memory of its own";
#endif
  if (pellix::testing::RunLine(dir_, "strace -V").status != 0) GTEST_SKIP() << "no strace here";
  constexpr int kSpeakers = 4;
  for (const int jobs : {1, 2}) {
    std::map<std::string, int> once = Calls(kSpeakers, jobs);
    std::map<std::string, int> twice = Calls(2 * kSpeakers, jobs);
    const auto added = [&](std::initializer_list<const char*> names) {
      int count = 0;
      for (const char* name : names) count += twice[name] - once[name];
      return count;
    };
    const int added_takes = kSpeakers * kTakesPerSpeaker;
    // The workers are started once, whatever the speakers.
    EXPECT_EQ(added({"clone", "clone3"}), 0) << "jobs " << jobs;
    EXPECT_LE(twice["clone"] + twice["clone3"], jobs) << "jobs " << jobs;
    // No memory handed back take by take: not even one return for each speaker added.
    EXPECT_LT(added({"madvise", "munmap"}), kSpeakers) << "jobs " << jobs;
    // A take is read in a few calls (its first bytes, then the whole file), not piece by piece.
    EXPECT_LE(added({"read", "pread64", "lseek"}), 3 * added_takes) << "jobs " << jobs;
  }
}

}  // namespace
