// The report file -o names: a checkpoint puts in place exactly what was flushed (whole
// speakers), never a part of a speaker still being written, and a checkpoint that fails keeps
// the file as it was and gives the cause in words.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/report_file.h"
#include "files/atomic_file.h"
#include "scratch_directory_test_base.h"

namespace pellix {
namespace {

using std::chrono::hours;
using std::chrono::seconds;

using ReportFileTest = ScratchDirectoryTest;

// A speaker's block of `lines` rows; long blocks reach past the buffer's 64 KiB, so that part
// of a speaker is in the temporary file before the speaker ends.
std::string Block(char speaker, int lines) {
  std::string block;
  for (int i = 0; i < lines; ++i)
    block += std::string(1, speaker) + ",row," + std::to_string(i) + "\n";
  return block;
}

TEST_F(ReportFileTest, ACheckpointPutsInPlaceTheWholeSpeakersFlushedSoFar) {
  const std::vector<std::string> blocks = {"speaker,role,n\n", Block('a', 9000), Block('b', 1),
                                           Block('c', 20000)};
  struct Case {
    const char* name;
    seconds interval;  // between checkpoints; no test here reads a clock
    bool checkpoints;
  };
  const Case cases[] = {{"every flush", seconds(0), true}, {"never due", hours(1), false}};
  for (const Case& c : cases) {
    Write("r.csv", "old\n");
    ReportFile file(Path("r.csv"), c.interval);
    std::ostream out(&file);
    std::string written, in_place = "old\n";
    for (const std::string& block : blocks) {
      // A speaker written in pieces, as rows come: nothing of it shows until it is flushed.
      for (std::size_t at = 0; at < block.size(); at += 1000) {
        out << block.substr(at, 1000);
        ASSERT_EQ(Read("r.csv"), in_place) << c.name << " within a block of " << block.size();
      }
      written += block;
      out.flush();
      ASSERT_TRUE(out.good()) << c.name;
      if (c.checkpoints) in_place = written;
      ASSERT_EQ(Read("r.csv"), in_place) << c.name << " after " << written.size() << " bytes";
    }
    EXPECT_EQ(file.checkpointed(), c.checkpoints) << c.name;
    EXPECT_EQ(file.Commit(), "") << c.name;
    EXPECT_EQ(Read("r.csv"), written) << c.name;
    EXPECT_EQ(Names(), std::vector<std::string>{"r.csv"}) << c.name;
  }
}

TEST_F(ReportFileTest, AFailedCheckpointKeepsTheFileAndSaysWhyInWords) {
  struct Case {
    AtomicWriteStep step;
    int errno_value;
    std::string cause;
  };
  const Case cases[] = {
      {AtomicWriteStep::kCreate, EACCES, "Permission denied (error 70)"},
      {AtomicWriteStep::kWrite, ENOSPC, "No space left on device (error 75)"},
      {AtomicWriteStep::kSync, EIO, "Input/output error (error 75)"},
      {AtomicWriteStep::kRename, EXDEV, "Invalid cross-device link (error 75)"},
  };
  for (const Case& c : cases) {
    // A first checkpoint that succeeds, then one that fails, then more speakers and the end:
    // the file keeps the first checkpoint, and the first failure is the one reported.
    Write("r.csv", "old\n");
    {
      ReportFile file(Path("r.csv"), seconds(0));
      std::ostream out(&file);
      out << "speaker\na\n" << std::flush;
      ASSERT_EQ(Read("r.csv"), "speaker\na\n");
      {
        ScopedAtomicWriteFault fault(c.step, c.errno_value);
        out << "b\n" << std::flush;
      }
      EXPECT_TRUE(out.bad()) << c.cause;
      EXPECT_EQ(Read("r.csv"), "speaker\na\n") << c.cause;
      out.clear();
      out << "c\n" << std::flush;
      EXPECT_EQ(file.Commit(), c.cause);
      EXPECT_EQ(Read("r.csv"), "speaker\na\n") << c.cause;
    }
    EXPECT_EQ(Names(), std::vector<std::string>{"r.csv"}) << c.cause;
  }
}

}  // namespace
}  // namespace pellix
