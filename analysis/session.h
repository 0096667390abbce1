// One speaker's analysis on one control, driven through the control's interface exactly as
// an embedding host drives it: state or InitProperties, the parameter string and Initalize,
// the calibrations, the checks, the profiler, the state saved with its check history.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/check_history.h"
#include "analysis/manifest.h"
#include "analysis/records.h"
#include "analysis/sample_source.h"
#include "analysis/take_facts.h"
#include "control/alg_v1s.h"

namespace pellix::analysis {

// Jumps of 2 to 30 samples, background border 5, automatic gain.
inline constexpr const char* kDefaultParams = "000023000005000000";

class SessionPlotter;

struct SessionSettings {
  std::string params = kDefaultParams;         // the packed parameter string for Initalize
  bool profile = false;                        // run profiler after the checks
  std::optional<std::filesystem::path> state;  // a JSON property bag to load and save, with
                                               // the check history in its sidecar
  // Every check is made against the calibration as loaded and calibrated in this run: what a
  // check moves (the calibration drift, the adapted resolutions) is undone before the next
  // check and never saved. The history still grows.
  bool fixed_calibration = false;
  const SessionPlotter* plotter = nullptr;  // draws each take and the trend when given
  bool show_speaker = false;                // name the speaker in the records (batch)
};

// Pictures of a session's takes (pellix analyze --plot). Called on the session's thread, by
// many sessions at once in a batch. A PlatformError it throws becomes the session's "plot"
// failure row.
class SessionPlotter {
 public:
  virtual ~SessionPlotter() = default;
  // After the take `file`, the `number`th of its `role` ("calibrate" or "check") in this
  // session, with `result` in words. `scanned`: the engine state the scan ran on, still holding
  // the stored take it saw; nullptr when the scan did not run.
  virtual void DrawTake(const std::string& speaker, const std::string& role, int number,
                        const std::string& file, const std::string& result,
                        const PreparedTake& take, const IntakeOutcome& intake,
                        const Tarvo_alg1::SharedState* scanned) const = 0;
  // At the end of the session: every check in the speaker's history, oldest first, with this
  // session's refused checks (code -1 or -2, no stress levels) in their places, and the engine
  // state holding the verdict's thresholds.
  virtual void DrawTrend(const std::string& speaker, const std::vector<HistoryRow>& rows,
                         const Tarvo_alg1::SharedState& engine) const = 0;
};

// One speaker's session on its own control, a take at a time: what `pellix analyze` does for a
// speaker, and what a program that analyses takes as they come (the desk, a live listener, the
// C and Python interfaces) drives step by step. The session's control holds an engine state of
// its own, so sessions on one thread or many never meet; each step runs on the calling thread,
// one at a time. No step throws for a bad take or state file: those
// become failure records and error messages, and set failed().
class Session {
 public:
  // `speaker` names the records when settings.show_speaker is set, and the pictures.
  Session(std::string speaker, SessionSettings settings, SampleSource& source);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Loads the state with its history (or starts a new control), then puts the parameter
  // string and runs Initalize. False, with a "state" failure, when the state is unusable: the
  // session then analyses nothing.
  bool Start();
  void Calibrate(const Take& take);
  void Check(const Take& take);
  // Runs profiler over the control's history and records the profile.
  void Profile();
  // Saves the state and its history when the settings name a state file, and draws the trend.
  void Finish();
  // Saves the state and its history to `path`; the caller holds the file's StateLock. Saved to
  // the session's own state file (settings.state), it loses nothing another run saved there
  // since this session read it or last saved: see MergeState. Saved anywhere else, the file
  // gets this speaker's state and whole history, and no other history stays beside it.
  // Fails with StateError, leaving what was saved before the failure.
  void Save(const std::filesystem::path& path);

  // The records and messages since the last call, in the order they arose.
  std::vector<Event> TakeEvents();
  // Every check in the speaker's history: the state's, then this session's, oldest first.
  std::vector<HistoryRow> History() const;
  // What the trend draws: History() with this session's refused checks (code -1 or -2, no
  // stress levels) in their places.
  std::vector<HistoryRow> Checks() const;
  // Sets the check history aside, the state's and this session's, on the control too: the
  // profiler, the trend and the next save see only the checks made from now on. The
  // calibration stays.
  void ClearHistory();
  bool started() const;
  bool failed() const;
  // True once a calibration was accepted, in this session or one whose state it loaded.
  bool calibrated() const;
  ALG_V1S& control();
  // The control as the session leaves it, for a caller that keeps it; the session is then done.
  std::unique_ptr<ALG_V1S> ReleaseControl();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

struct SessionOutcome {
  std::vector<Event> events;  // records and messages, in the order they arose
  bool failed = false;        // a take or the state could not be analysed, read or written
  bool started = false;       // the state was loaded (or the control is new) and Initalize ran
  std::unique_ptr<ALG_V1S> control;  // as the session left it
};

// Runs a whole session for `takes` on a new control, on the calling thread: start, the
// calibrations, the checks, the profile when asked, finish. `take_done` is called after each
// take, analysed or not.
SessionOutcome RunSession(const SpeakerTakes& takes, const SessionSettings& settings,
                          SampleSource& source, const std::function<void()>& take_done = {});

}  // namespace pellix::analysis
