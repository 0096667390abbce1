// One speaker's analysis on one control, driven through the control's interface exactly as
// an embedding host drives it: state or InitProperties, the parameter string and Initalize,
// the calibrations, the checks, the profiler, the state saved.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/analysis/manifest.h"
#include "host/analysis/records.h"
#include "host/analysis/sample_source.h"
#include "host/plot/plot_surface.h"
#include "shell/alg_v1s.h"

namespace pellix::analysis {

// Jumps of 2 to 30 samples, background border 5, automatic gain.
inline constexpr const char* kDefaultParams = "000023000005000000";

struct SessionSettings {
  std::string params = kDefaultParams;         // the packed parameter string for Initalize
  bool profile = false;                        // run profiler after the checks
  std::optional<std::filesystem::path> state;  // a JSON property bag to load and save, with
                                               // the check history in its sidecar
  // Every check is made against the calibration as loaded and calibrated in this run: what a
  // check moves (the calibration drift, the adapted resolutions) is undone before the next
  // check and never saved. The history still grows.
  bool fixed_calibration = false;
  std::optional<std::filesystem::path> plot_folder;  // pictures of each take and the trend
  plot::PlotFormat plot_format = plot::PlotFormat::kSvg;
  bool show_speaker = false;  // name the speaker in the records (batch)
};

struct SessionOutcome {
  std::vector<Event> events;  // records and messages, in the order they arose
  bool failed = false;        // a take or the state could not be analysed, read or written
  bool started = false;       // the state was loaded (or the control is new) and Initalize ran
  std::unique_ptr<ALG_V1S> control;  // as the session left it
};

// Runs the session for `takes` on a new control, on the calling thread (the engine's analysis
// state is per thread, and Initalize loads its constants on this one). `take_done` is called
// after each take, analysed or not. Never throws for a bad take or state file: those become
// error messages and set `failed`.
SessionOutcome RunSession(const SpeakerTakes& takes, const SessionSettings& settings,
                          SampleSource& source, const std::function<void()>& take_done = {});

}  // namespace pellix::analysis
