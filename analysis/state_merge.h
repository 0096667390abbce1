// Two runs sharing a state file: what one saves must keep what the other saved since the first
// read the file. The rule, key by key of the control's bag, for a run saving over the file as
// another run left it:
// - a value the other run did not change is this run's;
// - the three constants a check drifts (CAL_spT, CAL_spJ, CAL_JQ), when this run made no
//   calibration of its own, are the other run's with this run's checks' drift replayed on top,
//   check by check, as if this run's checks had come after the other's: the result is exactly
//   the file a run making all the checks in that order would have saved;
// - any other value the other run changed is the other run's when this run left it alone, and
//   this run's when both changed it (a calibration, the resolutions the checks adapt): the
//   later save wins there, as calibrating again would.
// The check history is the file's rows, then this run's new ones (session.cpp).
#pragma once

#include <optional>
#include <vector>

#include "control/alg_v1s.h"
#include "files/json_property_bag.h"
#include "platform/property_bag.h"

namespace pellix::analysis {

// What a check did to the calibration: the measures Check drifted it towards.
struct CalibrationDrift {
  double thorn_rate = 0;
  double jump_rate = 0;
  double jump_spread = 0;
};

// A run's last meeting with its state file (its read, or its last save), and what it did since.
struct StateSync {
  MemoryPropertyBag control;             // the control's bag then
  std::optional<JsonPropertyBag> file;   // the file's bag then; none when there was no file
  std::vector<CalibrationDrift> drifts;  // every check's drift since, in order
  bool calibrated = false;               // a calibration was accepted since
};

// Writes `control`'s values into `disk`, the bag on disk now (an empty bag when there is
// none), by the rule above.
void MergeState(ALG_V1S& control, StateSync& since, JsonPropertyBag& disk);

}  // namespace pellix::analysis
