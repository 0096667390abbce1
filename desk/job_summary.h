// What a job at the desk came to, in one line for the status bar: what was done to how many
// takes, what was refused, and whether errors are waiting in the messages.
#pragma once

#include <QString>

#include "analysis/records.h"

namespace pellix::desk {

struct JobCounts {
  QString what = {};  // the job, as SpeakerSession::jobStarted names it ("Check")
  bool cancelled = false;
  int opened = 0;        // takes found readable
  int accepted = 0;      // calibration takes accepted
  int rejected = 0;      // and rejected
  int checked = 0;       // checks made, refused ones among them
  int refused = 0;       // checks refused (code -1 or -2)
  int failed = 0;        // takes that could not be read or analysed
  int errors = 0;        // error messages
  QString profile = {};  // the profile the job reported, with its count of checks
};

// Puts the job's takes, as the run's one tally counted them, into `counts`.
void PutTakes(JobCounts& counts, const analysis::TakeTally& tally);

// "Check: 12 takes checked, 1 refused"; empty when the job made no take or record to tell of
// (Initialise, Save bag: their own notes, or the last error, say what happened).
QString JobSummary(const JobCounts& counts);

}  // namespace pellix::desk
