// A batch worker runs speaker after speaker on one thread: before each it puts the engine's
// analysis state back as a new thread finds it, so that no speaker meets what the one before
// left (a take's samples, a result code, calibration and constants).
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "analysis/analysis_run.h"
#include "engine/tarvo_alg1.h"

namespace pellix::analysis {
namespace {

TEST(ResetEngineState, LeavesWhatANewThreadFinds) {
  Tarvo_alg1::SharedState& s = Tarvo_alg1::Shared();
  s.DataFileName = "/tmp/earlier.smp";
  s.Gain = 9;
  s.SampleCount = 1800;
  s.TakeEnd = 1900;
  s.Samples[5] = 40;
  s.CalAvJ = 12;
  s.ThornResolution = 3;
  s.ResultCode = Value::Integer(2);
  s.AltBandLow = 51;
  ResetEngineState();

  // What a new thread sees is what the engine promises: every number 0, every text empty.
  bool fresh_code_empty = false;
  double fresh_sample = -1;
  std::thread([&] {
    fresh_code_empty = Tarvo_alg1::Shared().ResultCode.is_empty();
    fresh_sample = Tarvo_alg1::Shared().Samples[5];
  }).join();
  ASSERT_TRUE(fresh_code_empty);
  ASSERT_EQ(fresh_sample, 0);

  EXPECT_TRUE(s.DataFileName.empty());
  EXPECT_EQ(s.Gain, 0);
  EXPECT_EQ(s.SampleCount, 0);
  EXPECT_EQ(s.TakeEnd, 0u);
  EXPECT_EQ(s.Samples[5], 0);
  EXPECT_EQ(s.Samples.high_water(), 0u);
  EXPECT_EQ(s.CalAvJ, 0);
  EXPECT_EQ(s.ThornResolution, 0);
  EXPECT_TRUE(s.ResultCode.is_empty());
  EXPECT_EQ(s.AltBandLow, 0);  // a speaker whose Initalize failed is refused, as it was
  // The same object, remade where it stands: references taken before still reach it.
  EXPECT_EQ(&Tarvo_alg1::Shared(), &s);
}

// One job runs the speakers on the calling thread: the caller's own engine state is put aside
// meanwhile and found as it was after, and the records are those of two jobs' threads.
TEST(RunAnalysis, OneJobOnTheCallingThreadLeavesItsEngineStateAsItWas) {
  const std::string samples = std::string(PELLIX_SOURCE_DIR) + "/examples/samples/";
  auto take = [&samples](const std::string& name) { return Take{samples + name, name}; };
  std::vector<SpeakerTakes> speakers;
  for (const std::string speaker : {"alex", "robin"}) {
    speakers.push_back({speaker,
                        {take(speaker + "_calibrate_1.smp"), take(speaker + "_calibrate_2.smp"),
                         take(speaker + "_calibrate_3.smp")},
                        {take(speaker + "_check_01.smp")}});
  }
  Tarvo_alg1::SharedState& mine = Tarvo_alg1::Shared();
  mine.DataFileName = "the caller's";
  mine.Gain = 7;

  std::string records[2];
  for (unsigned jobs : {1u, 2u}) {
    RunOptions options;
    options.format = ReportFormat::kCsv;
    options.jobs = jobs;
    options.quiet = true;
    std::ostringstream out, err;
    RunAnalysis(speakers, options, out, err);
    records[jobs - 1] = out.str();
    EXPECT_EQ(&Tarvo_alg1::Shared(), &mine);
    EXPECT_EQ(mine.DataFileName, "the caller's");
    EXPECT_EQ(mine.Gain, 7);
  }
  EXPECT_EQ(std::count(records[0].begin(), records[0].end(), '\n'), 1 + 2 * 4);  // header, takes
  EXPECT_EQ(records[0], records[1]);
}

}  // namespace
}  // namespace pellix::analysis
