// A batch worker runs speaker after speaker on one thread, each on a control with an engine
// state of its own, so that no speaker meets what the one before left.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/analysis_run.h"

namespace pellix::analysis {
namespace {

// The bundled takes of `names`, each speaker with three calibrations and one check.
std::vector<SpeakerTakes> Speakers(std::initializer_list<const char*> names) {
  const std::string samples = std::string(PELLIX_SOURCE_DIR) + "/examples/samples/";
  auto take = [&samples](const std::string& name) { return Take{samples + name, name}; };
  std::vector<SpeakerTakes> speakers;
  for (const std::string speaker : names) {
    speakers.push_back({speaker,
                        {take(speaker + "_calibrate_1.smp"), take(speaker + "_calibrate_2.smp"),
                         take(speaker + "_calibrate_3.smp")},
                        {take(speaker + "_check_01.smp")}});
  }
  return speakers;
}

std::string CsvRecords(const std::vector<SpeakerTakes>& speakers, unsigned jobs) {
  RunOptions options;
  options.format = ReportFormat::kCsv;
  options.jobs = jobs;
  options.quiet = true;
  std::ostringstream out, err;
  RunAnalysis(speakers, options, out, err);
  return out.str();
}

// The records without the header line.
std::string Rows(const std::string& records) {
  return records.substr(records.find('\n') + 1);
}

// One job runs the speakers one after another on the calling thread; the records are those of
// two jobs' threads.
TEST(RunAnalysis, OneJobAndTwoJobsGiveTheSameRecords) {
  const std::vector<SpeakerTakes> speakers = Speakers({"alex", "robin"});
  const std::string one_job = CsvRecords(speakers, 1);
  EXPECT_EQ(std::count(one_job.begin(), one_job.end(), '\n'), 1 + 2 * 4);  // header, takes
  EXPECT_EQ(one_job, CsvRecords(speakers, 2));
}

// A speaker run after another on one thread meets none of what the other left in the engine's
// state (a take's samples, a result code, calibration and constants): its rows are those of the
// speaker run alone.
TEST(RunAnalysis, ASpeakerAfterAnotherMeetsAFreshEngineState) {
  const std::string both = CsvRecords(Speakers({"alex", "robin"}), 1);
  const std::string alone = Rows(CsvRecords(Speakers({"robin"}), 1));
  ASSERT_FALSE(alone.empty());
  EXPECT_EQ(both.substr(both.size() - alone.size()), alone);
}

}  // namespace
}  // namespace pellix::analysis
