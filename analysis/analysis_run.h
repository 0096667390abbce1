// An analysis run over one or more speakers: their sessions, on several threads when asked,
// and their reports printed in the order the speakers were given.
#pragma once

#include <functional>
#include <ostream>
#include <vector>

#include "analysis/manifest.h"
#include "analysis/report.h"
#include "analysis/session.h"

namespace pellix::analysis {

struct RunOptions {
  SessionSettings settings;
  ReportFormat format = ReportFormat::kTable;
  unsigned jobs = 1;   // speakers analysed at the same time
  bool quiet = false;  // no warnings and no progress bar; errors still
  bool header = true;  // print the report's header (not when appending to an earlier run's)
};

struct RunResult {
  bool failed = false;
  std::vector<SessionOutcome> sessions;  // one per speaker, in order, controls as left
};

// Runs every speaker's session and prints each speaker's records to `out` and its warnings
// and errors to `err`, speaker after speaker in the order given, whatever order they finish
// in; `out` is flushed after each speaker, so an interrupted run leaves whole speakers. Each
// speaker runs on a thread of its own, so it meets the engine's per-thread analysis state exactly
// as the first speaker of a fresh process would: the results do not depend on `jobs`. A progress
// bar goes to `err` when it is a terminal and there are more than a few files.
RunResult RunAnalysis(const std::vector<SpeakerTakes>& speakers, const RunOptions& options,
                      std::ostream& out, std::ostream& err);

}  // namespace pellix::analysis
