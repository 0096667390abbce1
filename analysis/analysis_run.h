// An analysis run over one or more speakers: their sessions, on several threads when asked,
// and their reports printed in the order the speakers were given.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <ostream>
#include <string_view>
#include <vector>

#include "analysis/manifest.h"
#include "analysis/report.h"
#include "analysis/session.h"

namespace pellix::analysis {

// How many recordings longer than the analysis window a run names, each once; beyond these it
// counts them and ends with one line giving the total.
inline constexpr std::size_t kNamedLongRecordings = 5;

struct RunOptions {
  SessionSettings settings;
  ReportFormat format = ReportFormat::kTable;
  unsigned jobs = 1;   // speakers analysed at the same time
  bool quiet = false;  // no warnings and no progress bar; errors still
  bool header = true;  // print the report's header (not when appending to an earlier run's)
  // Text printed just before a speaker's records, by the speaker's index: the rows an earlier
  // run wrote of the speakers between it and the one before, kept by --resume. The caller keeps
  // the text until the run ends.
  std::map<std::size_t, std::string_view> before;
  bool keep_first_control = false;  // hand back the first speaker's control (--panel)
};

struct RunResult {
  bool failed = false;
  TakeTally tally;  // every speaker's takes
  // With keep_first_control: the first speaker's control as its session left it, when the
  // session started.
  std::unique_ptr<ALG_V1S> first_control;
};

// Runs every speaker's session and prints each speaker's records to `out` and its warnings
// and errors to `err`, speaker after speaker in the order given, whatever order they finish
// in; `out` is flushed after each speaker, so an interrupted run leaves whole speakers. A
// speaker's records are dropped once printed and only a few speakers are analysed ahead of
// the one printed next, so memory stays the same however many takes there are. `jobs` threads
// run the speakers in turn (one job runs them on the calling thread), each speaker on a control
// of its own with a fresh engine state, so it meets the analysis state exactly as the first
// speaker of a fresh process would: the results do not depend on `jobs`. A recording longer than
// the analysis window is named once, however many speakers use it. A progress bar goes to `err`
// when it is a terminal and there are more than a few files.
RunResult RunAnalysis(const std::vector<SpeakerTakes>& speakers, const RunOptions& options,
                      std::ostream& out, std::ostream& err);

}  // namespace pellix::analysis
