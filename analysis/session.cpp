#include "analysis/session.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "analysis/check_history.h"
#include "analysis/report.h"
#include "analysis/result_meanings.h"
#include "analysis/state_file.h"
#include "analysis/state_merge.h"
#include "analysis/take_facts.h"
#include "audio/sample_file.h"
#include "engine/limits.h"
#include "engine/tarvo_alg1.h"
#include "files/file_error.h"
#include "platform/conversions.h"
#include "platform/error.h"

namespace pellix::analysis {
namespace {

// The leading number of a caption, as the control itself reads its cells; 0 for anything
// that is no number.
double Lenient(const std::string& text) {
  try {
    return Val(text);
  } catch (const PlatformError&) {
    return 0;
  }
}

Measures ReadMeasures(const ALG_V1S& control) {
  return {control.get<"CR_spT">(), control.get<"CR_SPJ">(), control.get<"CR_JQ">(),
          control.get<"CR_avJ">()};
}

Constants ReadConstants(const ALG_V1S& control) {
  return {control.get<"CAL_spT">(), control.get<"CAL_spJ">(), control.get<"CAL_JQ">(),
          control.get<"CAL_AVJ">()};
}

// The measures of a refused take. A take refused as silent has its (whole-number) measures
// written to the Results row; a take refused as too short leaves the row as an earlier take
// left it. So only a row that changed is this take's (a silent take that measures exactly as
// the take before it goes unshown, which is the price of never showing another take's values).
std::optional<Measures> RefusedTakeMeasures(const Measures& before, const Measures& after) {
  if (after != before) return after;
  return std::nullopt;
}

using Tarvo_alg1::limits::kCalibrateMinimum;
using Tarvo_alg1::limits::kCheckMinimum;

std::string ErrorDescription(const PlatformError& e) {
  return std::string(e.description().empty() ? e.what() : e.description());
}

std::string ErrorText(const PlatformError& e) {
  return "error " + std::to_string(e.number()) + ": " + ErrorDescription(e);
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds);
  return text;
}

// The cells a check moves and a later check reads: the break points, the resolutions it
// adapts and the calibration constants it drifts. Put back, they make the next check meet the
// control as it was.
class CalibrationSnapshot {
 public:
  explicit CalibrationSnapshot(ALG_V1S& control) {
    Panel& p = control.panel();
    for (std::size_t row : {kBreakPointsRow, kResolutionRow, kConstantsRow}) {
      for (Label* cell : {&p.SPT[row], &p.SPJ[row], &p.JQ[row], &p.AVJ[row]})
        captions_.emplace_back(cell, cell->caption());
    }
  }
  void Restore() const {
    for (const auto& [cell, caption] : captions_) cell->set_caption(caption);
  }

 private:
  std::vector<std::pair<Label*, std::string>> captions_;
};

// Whether `a` and `b` name one file, whether or not it exists yet.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec)) return true;
  const std::filesystem::path left = std::filesystem::weakly_canonical(a, ec);
  if (ec) return false;
  return left == std::filesystem::weakly_canonical(b, ec) && !ec;
}

}  // namespace

class Session::Impl {
 public:
  Impl(std::string speaker, SessionSettings settings, SampleSource& source)
      : speaker_(std::move(speaker)),
        settings_(std::move(settings)),
        source_(source),
        control_(std::make_unique<ALG_V1S>()) {}

  void Finish() {
    if (settings_.state) {
      try {
        Save(*settings_.state);
      } catch (const StateError& e) {
        Fail(FailureRole::kState, settings_.state->string(), e.number(), e.what());
      }
    }
    if (settings_.plotter) DrawTrend();
  }

  void Save(const std::filesystem::path& path) {
    if (frozen_) frozen_->Restore();
    if (!settings_.state || !SameFile(path, *settings_.state)) return SaveAs(path);
    // Under the caller's lock, the file as the other runs left it: the state and the rows they
    // saved since this session last met the file.
    std::string warning;
    std::vector<HistoryRow> rows = LoadHistory(HistoryToRead(path, warning));
    const bool merged =
        rows != history_ || StateText(path) != (sync_.file ? sync_.file->Text() : std::string());
    SaveState(*control_, path, merged ? &sync_ : nullptr);
    std::optional<JsonPropertyBag> saved;
    try {
      saved = JsonPropertyBag::Load(path.string());
    } catch (const PlatformError&) {
      // Written a moment ago under the lock; the next save starts from the file as it is then.
    }
    if (merged && saved) Adopt(*saved);
    sync_ = StateSync();
    control_->WriteProperties(sync_.control);
    sync_.file = std::move(saved);
    // No sidecar until there is a history to keep.
    rows.insert(rows.end(), new_history_.begin(), new_history_.end());
    if (!rows.empty()) SaveHistory(HistoryPath(path), rows);
    if (rows != History()) {
      control_->set_profile_count(0);
      ReplayHistory(*control_, rows);
    }
    history_ = std::move(rows);
    new_history_.clear();
  }

  // Saved elsewhere: this speaker's state and history, nothing of whatever was there.
  void SaveAs(const std::filesystem::path& path) {
    SaveState(*control_, path);
    const std::vector<HistoryRow> rows = History();
    std::string warning;
    std::error_code ec;
    if (!rows.empty() || std::filesystem::exists(HistoryToRead(path, warning), ec)) {
      SaveHistory(HistoryPath(path), rows);
    }
  }

  // The control carries on from the merged state it saved, as if it had read it: the other
  // runs' calibration and settings. Checked on a spare control first, so that a value the
  // control refuses leaves it as it was.
  void Adopt(JsonPropertyBag& saved) {
    try {
      ALG_V1S trial;
      trial.ReadProperties(saved);
      control_->ReadProperties(saved);
    } catch (const PlatformError&) {
      return;
    }
    calibrated_ = calibrated_ || Lenient(control_->get<"CAL_AVJ">()) != 0;
    if (frozen_) frozen_.emplace(*control_);
  }

  std::vector<Event> TakeEvents() { return std::exchange(events_, {}); }

  std::vector<HistoryRow> History() const {
    std::vector<HistoryRow> rows = history_;
    rows.insert(rows.end(), new_history_.begin(), new_history_.end());
    return rows;
  }

  std::vector<HistoryRow> Checks() const {
    std::vector<HistoryRow> rows = history_;
    rows.insert(rows.end(), new_checks_.begin(), new_checks_.end());
    return rows;
  }

  void ClearHistory() {
    history_.clear();
    new_history_.clear();
    new_checks_.clear();
    for (auto& row : control_->mutable_profile_table()) {
      for (std::size_t column = kFirstHistoryColumn; column <= kLastHistoryColumn; ++column)
        row[column] = 0;
    }
    control_->set_profile_count(0);
  }

  // The state (or a new instance), then the parameters. False when the state is unusable.
  bool Start() {
    ALG_V1S& control = *control_;
    if (settings_.state) {
      try {
        JsonPropertyBag loaded;
        if (LoadState(control, *settings_.state, &loaded)) sync_.file = std::move(loaded);
        control.WriteProperties(sync_.control);
        std::string warning;
        history_ = LoadHistory(HistoryToRead(*settings_.state, warning));
        ReplayHistory(control, history_);
        if (!warning.empty()) Warning(warning);
      } catch (const StateError& e) {
        Fail(FailureRole::kState, settings_.state->string(), e.number(), e.what());
        return false;
      }
    } else {
      control.InitProperties();
    }
    // Calibrate always leaves a whole-number CAL_AVJ of at least 1 and Check never changes
    // it, so a non-zero CAL_AVJ means the speaker was calibrated in an earlier run.
    calibrated_ = Lenient(control.get<"CAL_AVJ">()) != 0;
    control.put_DATAstr(settings_.params);
    control.Initalize();
    started_ = true;
    return true;
  }

  // Hands the prepared take to the control, as its sample file's name and, when the session
  // holds the file in memory, its bytes, and runs `analysis` on it. A failure is recorded under
  // `role` with what failed (the "calibration"), and gives false.
  bool RunOnTake(ALG_V1S::Analysis analysis, FailureRole role, const char* what, const Take& take,
                 const PreparedTake& prepared) {
    try {
      control_->put_DATAstr(prepared.sample_file.string());
      if (!prepared.converted.empty()) {
        control_->AnalyseSampleFile(analysis, prepared.converted);
      } else if (analysis == ALG_V1S::Analysis::kCalibrate) {
        control_->Calibrate();
      } else {
        control_->Check();
      }
    } catch (const PlatformError& e) {
      const std::string failed = std::string(what) + " failed";
      Fail(role, take.name, e.number(), failed + ": " + ErrorDescription(e),
           take.name + ": " + failed + " (" + ErrorText(e) + ")");
      return false;
    }
    return true;
  }

  void Calibrate(const Take& take) {
    ALG_V1S& control = *control_;
    // A calibration between checks starts from the calibration the checks were made against.
    if (frozen_) {
      frozen_->Restore();
      frozen_.reset();
    }
    std::optional<PreparedTake> prepared = Prepare(take, FailureRole::kCalibrate);
    if (!prepared) return;
    const Measures before = ReadMeasures(control);
    if (!RunOnTake(ALG_V1S::Analysis::kCalibrate, FailureRole::kCalibrate, "calibration", take,
                   *prepared))
      return;
    CalibrationRecord record{Speaker(), take.name, control.get<"CR_msgX">(), {}, {}, {}};
    const IntakeOutcome intake = ReadIntakeOutcome(control.engine_state());
    record.facts = DescribeTake(*prepared, intake, kCalibrateMinimum, !record.accepted());
    Plot("calibrate", ++calibrations_drawn_, take.name, record.accepted() ? "accepted" : "rejected",
         *prepared, intake, intake.sample_count >= kCalibrateMinimum);
    const Measures after = ReadMeasures(control);
    if (record.accepted()) {
      record.measures = after;
      record.constants = ReadConstants(control);
      calibrated_ = true;
      if (record.facts.pitch_hz) calibration_pitches_.push_back(*record.facts.pitch_hz);
      sync_.calibrated = true;
      sync_.drifts.clear();
    } else {
      record.measures = RefusedTakeMeasures(before, after);
      Warning(take.name + ": calibration take rejected: " + std::string(kCalibrationRejected));
    }
    events_.emplace_back(Record(std::move(record)));
  }

  void Check(const Take& take) {
    ALG_V1S& control = *control_;
    if (settings_.fixed_calibration) {
      if (frozen_) {
        frozen_->Restore();
      } else {
        frozen_.emplace(control);
      }
    }
    if (!calibrated_ && !warned_uncalibrated_) {
      warned_uncalibrated_ = true;
      Warning(std::string(speaker_.empty() ? "" : speaker_ + ": ") +
              "checking without calibration: no calibration take was accepted and no "
              "calibration constants were loaded, so the stress levels mean little");
    }
    std::optional<PreparedTake> prepared = Prepare(take, FailureRole::kCheck);
    if (!prepared) return;
    const Measures before = ReadMeasures(control);
    const std::int16_t count_before = control.profile_count();
    if (!RunOnTake(ALG_V1S::Analysis::kCheck, FailureRole::kCheck, "check", take, *prepared)) {
      return;
    }
    CheckRecord record{Speaker(), take.name, control.get<"CR_msgX">(), {}, {}, {}};
    const IntakeOutcome intake = ReadIntakeOutcome(control.engine_state());
    record.facts =
        DescribeTake(*prepared, intake, kCheckMinimum, record.code.value() == Tarvo_alg1::kRefused);
    if (const std::optional<double> calibration = CalibrationPitch();
        calibration && record.facts.pitch_hz &&
        PitchMismatch(*record.facts.pitch_hz, *calibration)) {
      record.facts.flags.emplace_back(kTakeFlags[5].name);
    }
    Plot(
        "check", ++checks_drawn_, take.name,
        "code " + record.code.caption() + " (" + CodeMeaningText(record.code, true) + ")",
        *prepared, intake,
        intake.sample_count >= kCheckMinimum && record.code.value() != Tarvo_alg1::kNotInitialised);
    const Measures after = ReadMeasures(control);
    if (record.refused()) {
      const Tarvo_alg1::ResultCodeValue code = *record.code.value();
      record.measures = RefusedTakeMeasures(before, after);
      const std::string meaning(ResultCodeMeaning(code)->description);
      if (code == Tarvo_alg1::kRefused) {
        Warning(take.name + ": check take rejected: " + meaning);
      } else {
        Error(take.name + ": check not analysed: " + meaning);
      }
      HistoryRow refused{take.name};
      refused.code = code;
      new_checks_.push_back(std::move(refused));
    } else {
      record.measures = after;
      record.stress = StressLevels{control.get<"LIEstress">(), control.get<"GLBstress">(),
                                   control.get<"EXCstress">()};
      new_history_.push_back(LastHistoryRow(control, count_before, take.name));
      new_checks_.push_back(new_history_.back());
      if (!settings_.fixed_calibration) {
        const Tarvo_alg1::SharedState& s = control.engine_state();
        sync_.drifts.push_back({s.ThornRate, s.JumpRate, s.JumpSpread});
      }
    }
    events_.emplace_back(Record(std::move(record)));
  }

  void Profile() {
    ALG_V1S& control = *control_;
    try {
      control.profiler();
    } catch (const PlatformError& e) {
      Fail(FailureRole::kProfile, "", e.number(), "profiler failed: " + ErrorDescription(e),
           std::string(speaker_.empty() ? "" : speaker_ + ": ") + "profiler failed (" +
               ErrorText(e) + ")");
      return;
    }
    events_.emplace_back(Record(
        ProfileRecord{Speaker(), control.get_DATAstr(), static_cast<int>(History().size())}));
  }

  std::optional<PreparedTake> Prepare(const Take& take, FailureRole role) {
    try {
      PreparedTake prepared = source_.Prepare(take);
      if (prepared.samples > kSampleWindow) {
        const double rate = prepared.rate != 0 ? prepared.rate : kDefaultSampleRate;
        events_.emplace_back(Message{
            false,
            take.name + " is " + Seconds(static_cast<double>(prepared.samples) / rate) + " long (" +
                std::to_string(prepared.samples) + " samples at " +
                std::to_string(static_cast<long>(rate)) +
                " Hz), longer than the analysis window of " + std::to_string(kSampleWindow) +
                " samples (" + Seconds(static_cast<double>(kSampleWindow) / rate) +
                "): only its first utterance is analysed",
            take.path.string()});
      }
      return prepared;
    } catch (const PlatformError& e) {
      if (NamesItsFile(e)) {
        Fail(role, take.name, e.number(), e.what(),
             std::string(e.what()) + " (" + ErrorText(e) + ")");
      } else {
        Fail(role, take.name, e.number(), ErrorDescription(e), take.name + ": " + ErrorText(e));
      }
    } catch (const std::bad_alloc&) {
      Fail(role, take.name, kOutOfMemory, "out of memory", take.name + ": out of memory");
    } catch (const std::exception& e) {
      // A failure without a platform number of its own still needs one: 0 would read as none.
      Fail(role, take.name, kInternalError, e.what(), take.name + ": " + e.what());
    }
    return std::nullopt;
  }

  void Plot(const std::string& role, int number, const std::string& file, const std::string& result,
            const PreparedTake& take, const IntakeOutcome& intake, bool scanned) {
    if (!settings_.plotter) return;
    try {
      settings_.plotter->DrawTake(Speaker(), role, number, file, result, take, intake,
                                  scanned ? &control_->engine_state() : nullptr);
    } catch (const PlatformError& e) {
      Fail(FailureRole::kPlot, file, e.number(), e.what());
    }
  }

  void DrawTrend() {
    try {
      settings_.plotter->DrawTrend(Speaker(), Checks(), control_->engine_state());
    } catch (const PlatformError& e) {
      Fail(FailureRole::kPlot, "", e.number(), e.what());
    }
  }

  std::string Speaker() const { return settings_.show_speaker ? speaker_ : std::string(); }

  // The median pitch of this session's accepted calibration takes; none before the first (a
  // calibration loaded from a state file keeps no pitch).
  std::optional<double> CalibrationPitch() const {
    if (calibration_pitches_.empty()) return std::nullopt;
    std::vector<double> sorted = calibration_pitches_;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t middle = sorted.size() / 2;
    return sorted.size() % 2 == 1 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
  }

  void Warning(std::string text) { events_.emplace_back(Message{false, std::move(text)}); }

  void Error(std::string text) {
    failed_ = true;
    events_.emplace_back(Message{true, std::move(text)});
  }

  // A failure: its row in the report, and `text` (the row's message when empty) on stderr.
  void Fail(FailureRole role, std::string file, int number, std::string message,
            std::string text = {}) {
    Error(text.empty() ? message : std::move(text));
    events_.emplace_back(
        Record(FailureRecord{speaker_, role, std::move(file), number, std::move(message)}));
  }

  const std::string speaker_;
  const SessionSettings settings_;
  SampleSource& source_;
  std::unique_ptr<ALG_V1S> control_;
  std::vector<Event> events_;
  bool started_ = false;
  bool failed_ = false;
  bool calibrated_ = false;
  bool warned_uncalibrated_ = false;
  std::vector<double> calibration_pitches_;  // of the accepted calibrations, in this session
  int calibrations_drawn_ = 0;
  int checks_drawn_ = 0;
  std::optional<CalibrationSnapshot> frozen_;  // with fixed_calibration: before the checks
  std::vector<HistoryRow> history_;            // as the state's sidecar held it when last met
  std::vector<HistoryRow> new_history_;        // this run's checks since
  std::vector<HistoryRow> new_checks_;         // this run's checks with the refused, for the trend
  StateSync sync_;                             // the state file when last met, and the drift since
};

Session::Session(std::string speaker, SessionSettings settings, SampleSource& source)
    : impl_(std::make_unique<Impl>(std::move(speaker), std::move(settings), source)) {}
Session::~Session() = default;
bool Session::Start() {
  return impl_->Start();
}
void Session::Calibrate(const Take& take) {
  impl_->Calibrate(take);
}
void Session::Check(const Take& take) {
  impl_->Check(take);
}
void Session::Profile() {
  impl_->Profile();
}
void Session::Finish() {
  impl_->Finish();
}
void Session::Save(const std::filesystem::path& path) {
  impl_->Save(path);
}
std::vector<Event> Session::TakeEvents() {
  return impl_->TakeEvents();
}
std::vector<HistoryRow> Session::History() const {
  return impl_->History();
}
std::vector<HistoryRow> Session::Checks() const {
  return impl_->Checks();
}
void Session::ClearHistory() {
  impl_->ClearHistory();
}
bool Session::started() const {
  return impl_->started_;
}
bool Session::failed() const {
  return impl_->failed_;
}
bool Session::calibrated() const {
  return impl_->calibrated_;
}
ALG_V1S& Session::control() {
  return *impl_->control_;
}
std::unique_ptr<ALG_V1S> Session::ReleaseControl() {
  return std::move(impl_->control_);
}

SessionOutcome RunSession(const SpeakerTakes& takes, const SessionSettings& settings,
                          SampleSource& source, const std::function<void()>& take_done) {
  Session session(takes.speaker, settings, source);
  const auto done = [&take_done] {
    if (take_done) take_done();
  };
  if (session.Start()) {
    for (const Take& take : takes.calibrations) {
      session.Calibrate(take);
      done();
    }
    for (const Take& take : takes.checks) {
      session.Check(take);
      done();
    }
    if (settings.profile) session.Profile();
    session.Finish();
  } else {
    for (std::size_t i = 0; i < takes.calibrations.size() + takes.checks.size(); ++i) done();
  }
  SessionOutcome outcome;
  outcome.events = session.TakeEvents();
  outcome.failed = session.failed();
  outcome.started = session.started();
  outcome.control = session.ReleaseControl();
  return outcome;
}

}  // namespace pellix::analysis
