// A batch worker runs speaker after speaker on one thread: before each it puts the engine's
// analysis state back as a new thread finds it, so that no speaker meets what the one before
// left (a take's samples, a result code, calibration and constants).
#include <gtest/gtest.h>

#include <thread>

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

}  // namespace
}  // namespace pellix::analysis
