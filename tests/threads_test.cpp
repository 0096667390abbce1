// Controls on different threads share nothing: eight sessions at once give exactly what the
// same sessions give one after another.
//
// A session is one speaker's whole pattern on the bundled sample files: Initalize with settings
// of its own, a reset, three calibrations, twelve checks, the profile. Everything a host can
// observe is recorded in order: every notification and, after every call, every published
// property.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "analysis_fixture.h"
#include "control/alg_v1s.h"
#include "error_of.h"

namespace pellix::testing {
namespace {

constexpr int kSessions = 8;

std::string SampleFile(const std::string& name) {
  return std::string(PELLIX_SOURCE_DIR) + "/examples/samples/" + name + ".smp";
}

// The parameter string of session `i`: its own background border and volume (0, automatic, for
// half of them).
std::string Parameters(int i) {
  const std::string border = "0" + std::to_string(i % 4);
  const std::string volume = i % 2 == 0 ? "00" : "0" + std::to_string(3 + i % 3);
  return "000" + std::string("0230") + "00" + "0" + border + "00" + volume + "00";
}

std::vector<std::string> RunSession(int i) {
  RecordingSite site;
  std::vector<std::string> seen;
  site.on_change = [&](std::string_view name) { seen.push_back("notify " + std::string(name)); };
  ALG_V1S control(&site);
  control.InitProperties();
  auto publish = [&](const std::string& call, int error) {
    seen.push_back(call + " error " + std::to_string(error) + ": " + control.get<"LIEstress">() +
                   " " + control.get<"GLBstress">() + " " + control.get<"EXCstress">() + " " +
                   control.get<"CR_msgX">() + " | " + control.get<"CR_spT">() + " " +
                   control.get<"CR_SPJ">() + " " + control.get<"CR_JQ">() + " " +
                   control.get<"CR_avJ">() + " | " + control.get<"CAL_spT">() + " " +
                   control.get<"CAL_spJ">() + " " + control.get<"CAL_JQ">() + " " +
                   control.get<"CAL_AVJ">() + " | " + control.get_DATAstr());
  };
  const std::string speaker = i % 4 < 2 ? "alex" : "robin";
  control.put_DATAstr(Parameters(i));
  publish("Initalize", ErrorOf([&] { control.Initalize(); }));
  publish("ResetAll", ErrorOf([&] { control.ResetAll(); }));
  for (int c = 1; c <= 3; ++c) {
    control.put_DATAstr(SampleFile(speaker + "_calibrate_" + std::to_string(c)));
    publish("Calibrate", ErrorOf([&] { control.Calibrate(); }));
  }
  for (int c = 1; c <= 12; ++c) {
    control.put_DATAstr(SampleFile(speaker + "_check_" + (c < 10 ? "0" : "") + std::to_string(c)));
    publish("Check", ErrorOf([&] { control.Check(); }));
  }
  publish("profiler", ErrorOf([&] { control.profiler(); }));
  return seen;
}

TEST(ThreadsTest, EightSessionsAtOnceMatchTheSameSessionsOneAfterAnother) {
  std::vector<std::vector<std::string>> sequential;
  for (int i = 0; i < kSessions; ++i) sequential.push_back(RunSession(i));

  std::vector<std::vector<std::string>> concurrent(kSessions);
  std::vector<std::thread> threads;
  for (int i = 0; i < kSessions; ++i) {
    threads.emplace_back([&concurrent, i] { concurrent[i] = RunSession(i); });
  }
  for (std::thread& t : threads) t.join();

  for (int i = 0; i < kSessions; ++i) {
    SCOPED_TRACE("session " + std::to_string(i));
    // The sessions did real work: constants were calibrated and checks gave verdicts.
    ASSERT_GT(sequential[i].size(), 30u);
    EXPECT_EQ(concurrent[i], sequential[i]);
  }
  // Different settings give different sessions, so a mix-up between threads would show.
  EXPECT_NE(sequential[0], sequential[1]);
  EXPECT_NE(sequential[0], sequential[2]);
}

}  // namespace
}  // namespace pellix::testing
